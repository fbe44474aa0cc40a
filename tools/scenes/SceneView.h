// Draws a loaded scene the way the show's effects draw it: into the frame
// buffer through the full viewport, or into a smaller buffer (the flare
// scene's 640 x 250 letterbox, the 140 x 105 panels). A scene whose lights
// carry a lens flare is drawn as one flare at the centre of every visible
// face, never rasterised.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "X3d/X3d.h"

namespace qhscene {

struct ViewTarget {
    int width = 640, height = 480; // the frame buffer, or a smaller buffer
};

// The engines as the show sets them up: the 2D engine (whose blend table
// the wireframe lines use) and the 3D engine at 640 x 480.
void initEngines();

// The light whose lens flare the face-centre flares use, or none.
x3dLight* flareLight(x3dScene* scene);
// The buffer the effect draws the scene into: the frame buffer for
// rasterised scenes, the 640 x 250 letterbox for the flare scene.
ViewTarget defaultTarget(x3dScene* scene);
// The flare size the effects set for a target: 4000 on 640 x 250, 800 on
// 140 x 105, in proportion to the height otherwise.
float flareSize(const ViewTarget& target);

// The scene at a frame into pixels (0x00RRGGBB, width x height), over the
// background the effect draws it on (the fog colour in the letterbox rows
// for a fogged scene, black otherwise). Uses the scene's active camera.
std::vector<uint32_t> renderScene(x3dScene* scene, float frame, const ViewTarget& target);
// The same drawing onto pixels the caller owns and has filled: the effect's
// calls of one frame and nothing more.
void drawScene(x3dScene* scene, float frame, const ViewTarget& target, uint32_t* pixels);

// A 3DS file drawn without a scene script: the file's camera and lights when
// it has them, else a camera and lights of our own; every material gouraud
// shaded in its colour, or its texture when the map is found under
// texturePath; faces without a material grey; the z-buffer on.
struct ModelView {
    bool ownCamera = false, ownLights = false;
    float centre[3] = {0, 0, 0}; // of the scene's bounds at the frame (engine space)
    float radius = 0;            // of the sphere around centre through the farthest vertex
    float scale = 1;             // a small scene is enlarged by this to clear the near plane
    std::vector<std::string> missing; // maps not found
};
// Call on a scene as loaded (before x3dPrepareScene): makes it ready and
// current, aimed at a three-quarter view when the camera is ours.
ModelView prepareModel(x3dScene* scene, const std::string& texturePath, float frame);
// Moves our own camera (the active one) and our lights with it around the bounds: azimuth
// in degrees about the vertical, 0 the three-quarter view.
void orbitModel(x3dScene* scene, const ModelView& view, float azimuth);

} // namespace qhscene
