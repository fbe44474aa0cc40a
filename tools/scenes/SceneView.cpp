#include "SceneView.h"

#include <algorithm>

#include "X2d/X2d.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"

namespace qhscene {

void initEngines()
{
    x2dInit(640, 280);
    x3dInit(640, 480, nullptr);
}

x3dLight* flareLight(x3dScene* scene)
{
    for (int i = 0; i < scene->lightCount; i++)
        if (scene->lights[i].lensFlare && scene->lights[i].lensFlare->slot.pixels)
            return &scene->lights[i];
    return nullptr;
}

ViewTarget defaultTarget(x3dScene* scene)
{
    ViewTarget t;
    if (flareLight(scene))
        t.height = 250;
    return t;
}

float flareSize(const ViewTarget& target)
{
    if (target.width == 140 && target.height == 105)
        return 800.0f;
    return 4000.0f * (float)target.height / 250.0f;
}

std::vector<uint32_t> renderScene(x3dScene* scene, float frame, const ViewTarget& target)
{
    const int w = target.width, h = target.height;
    std::vector<uint32_t> pixels((size_t)w * h, 0);
    const bool full = w == g_x3d.width && h == g_x3d.height;
    if (scene->fog) {
        // The letterbox (rows 115-364 of the frame buffer) shows the colour
        // the scene fogs into.
        uint32_t fill = (uint32_t)(((int)scene->fogColour[0] << 16) | ((int)scene->fogColour[1] << 8) |
                                   (int)scene->fogColour[2]);
        int top = full ? 115 : 0, bottom = full ? 365 : h;
        std::fill(pixels.begin() + (size_t)top * w, pixels.begin() + (size_t)bottom * w, fill);
    }
    drawScene(scene, frame, target, pixels.data());
    return pixels;
}

void drawScene(x3dScene* scene, float frame, const ViewTarget& target, uint32_t* pixels)
{
    const int w = target.width, h = target.height;
    x3dLight* flare = flareLight(scene);
    x3dSetScene(scene);
    x3dCamera* camera = g_x3d.camera;
    x3dCameraSetSize(w, h, camera);
    x3dSetFrame(frame);
    x3dAnimateScene();
    x3dTransformScene();
    if (flare) {
        // Each visible face gives one flare at its centre, nearest last.
        flare->lensFlare->scale = flareSize(target);
        for (int i = scene->drawCount - 1; i >= 0; i--) {
            const x3dDrawItem& item = scene->drawListA[i];
            if (item.kind != X3D_DRAW_FACE)
                continue;
            const x3dFace* face = (const x3dFace*)item.item;
            if ((face->vertices[0]->flags & face->vertices[1]->flags & face->vertices[2]->flags) & 8)
                continue;
            for (int k = 0; k < 3; k++)
                flare->viewPosition[k] = (face->vertices[0]->viewPosition[k] + face->vertices[1]->viewPosition[k] +
                                          face->vertices[2]->viewPosition[k]) /
                                         3.0f;
            x3dDrawFlare(flare, pixels);
        }
    } else {
        if (scene->lightCount > 0)
            x3dLightScene();
        x3dRenderScene(pixels);
    }
    x3dCameraResetSize(camera);
}

} // namespace qhscene
