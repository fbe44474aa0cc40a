// The show's four 3D scenes, built from code, with the scene scripts that
// set them up: the group logo in lines, the brass title, the paper gulls
// over the first credit and the festoon lamps over the water.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Scene3ds.h"
#include "tools/makedata/Type.h"

namespace qhd {

struct ShowScene {
    qhscene::Scene scene;
    std::string script; // CR LF lines
};

ShowScene LogoScene();
ShowScene TitleScene();
// fog: the colour the far gulls melt into (the first credit's backdrop fill).
ShowScene GullScene(const std::array<uint8_t, 3>& fog);
ShowScene FestoonScene();

// Faces of all meshes of a scene.
int FaceCount(const qhscene::Scene& s);

// Triangles covering a letter outline (outer contours and their holes, any
// orientation): indices into the contours' points taken one after another.
std::vector<std::array<int, 3>> TriangulateOutline(const std::vector<Contour>& contours);

} // namespace qhd
