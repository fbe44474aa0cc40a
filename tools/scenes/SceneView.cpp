#include "SceneView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "X2d/X2d.h"
#include "X3d/Material.h"
#include "X3d/Polygons.h"
#include "X3d/Spline.h"
#include "system/Xerror.h"

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

namespace qhscene {

namespace {

const float kFov = 45.0f;        // our camera's lens (degrees)
const float kElevation = 25.0f;  // above the bounds' centre (degrees)
const float kThreeQuarter = 35.0f; // turned from the front (degrees)
const float kLeastRadius = 50.0f;  // smaller scenes are enlarged to this

char* copyOf(const char* text)
{
    char* p = strdup(text);
    if (!p)
        g_xError.Raise("tools/scenes/SceneView.cpp", __LINE__, 1, nullptr);
    return p;
}

template <typename T> T* records(int count)
{
    T* p = (T*)calloc((size_t)count, sizeof(T));
    if (!p)
        g_xError.Raise("tools/scenes/SceneView.cpp", __LINE__, 1, nullptr);
    return p;
}

// World positions of every drawn vertex at the scene's frame.
template <typename F> void eachWorldVertex(x3dScene* scene, F f)
{
    for (int i = 0; i < scene->objectCount; i++) {
        const x3dObject& o = scene->objects[i];
        if (o.flags & (X3D_OF_HIDDEN | X3D_OF_FILE_HIDDEN | X3D_OF_DUMMY))
            continue;
        for (int k = 0; k < o.vertexCount; k++) {
            const float* p = o.vertices[k].position;
            float w[3];
            for (int r = 0; r < 3; r++)
                w[r] = o.matrix[r][0] * p[0] + o.matrix[r][1] * p[1] + o.matrix[r][2] * p[2] + o.matrix[r][3];
            f(w);
        }
    }
}

// A scene no node moves, uniformly larger about the origin: its meshes'
// poses, and the lights and cameras of the file.
void enlarge(x3dScene* scene, float s)
{
    for (int i = 0; i < scene->objectCount; i++) {
        x3dObject& o = scene->objects[i];
        for (int k = 0; k < o.vertexCount; k++)
            for (float& c : o.vertices[k].position)
                c *= s;
        for (float& c : o.centre)
            c *= s;
        for (float& c : o.pivot)
            c *= s;
        o.radius *= s;
        for (int r = 0; r < 3; r++) {
            o.matrix[r][3] *= s;
            o.restMatrix[r][3] *= s;
        }
    }
    for (int i = 0; i < scene->lightCount; i++) {
        x3dLight& l = scene->lights[i];
        for (int c = 0; c < 3; c++) {
            l.position[c] *= s;
            l.target[c] *= s;
            l.basePosition[c] *= s;
            l.baseTarget[c] *= s;
        }
        l.innerRange *= s;
        l.outerRange *= s;
    }
    for (int i = 0; i < scene->cameraCount; i++) {
        x3dCamera& c = scene->cameras[i];
        for (int k = 0; k < 3; k++) {
            c.position[k] *= s;
            c.target[k] *= s;
            c.basePosition[k] *= s;
            c.baseTarget[k] *= s;
        }
        x3dCameraUpdate(&c);
    }
}

void bounds(x3dScene* scene, ModelView& view)
{
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    bool any = false;
    eachWorldVertex(scene, [&](const float* w) {
        any = true;
        for (int c = 0; c < 3; c++) {
            lo[c] = std::min(lo[c], w[c]);
            hi[c] = std::max(hi[c], w[c]);
        }
    });
    if (!any)
        return;
    for (int c = 0; c < 3; c++)
        view.centre[c] = (lo[c] + hi[c]) * 0.5f;
    float r2 = 0;
    eachWorldVertex(scene, [&](const float* w) {
        float d[3] = {w[0] - view.centre[0], w[1] - view.centre[1], w[2] - view.centre[2]};
        r2 = std::max(r2, d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    });
    view.radius = sqrtf(r2);
}

// A point at distance from the centre, turned azimuth about the vertical
// from the front (the file's -y, the engine's -z) and raised by elevation.
void around(const ModelView& v, float azimuth, float elevation, float distance, float* out)
{
    const float a = azimuth * 0.017453292f, e = elevation * 0.017453292f;
    out[0] = v.centre[0] + distance * cosf(e) * sinf(a);
    out[1] = v.centre[1] + distance * sinf(e);
    out[2] = v.centre[2] - distance * cosf(e) * cosf(a);
}

} // namespace

ModelView prepareModel(x3dScene* scene, const std::string& texturePath, float frame)
{
    ModelView view;
    view.ownCamera = scene->cameraCount == 0;
    view.ownLights = scene->lightCount == 0;
    // Nothing points at these records yet: they may be replaced whole.
    if (view.ownCamera) {
        free(scene->cameras);
        scene->cameras = records<x3dCamera>(1);
        scene->cameraCount = 1;
        scene->cameras[0].name = copyOf("Inspector");
        scene->cameras[0].lensFov = kFov;
    }
    if (view.ownLights) {
        free(scene->lights);
        scene->lights = records<x3dLight>(2);
        scene->lightCount = 2;
        const char* names[2] = {"Key", "Fill"};
        const float strength[2] = {0.95f, 0.4f};
        for (int i = 0; i < 2; i++) {
            x3dLight& l = scene->lights[i];
            l.name = copyOf(names[i]);
            l.type = X3D_LIGHT_OMNI;
            for (float& c : l.colour)
                c = strength[i];
        }
    }
    // Faces without a material take a grey one of our own, added to the
    // scene's list (the faces' pointers follow the list as it moves).
    bool bare = false;
    for (int i = 0; i < scene->objectCount; i++)
        for (int k = 0; k < scene->objects[i].faceCount; k++)
            bare = bare || !scene->objects[i].faces[k].material;
    if (bare) {
        x3dMaterial* old = scene->materials;
        x3dMaterial* grown = records<x3dMaterial>(scene->materialCount + 1);
        if (scene->materialCount)
            memcpy(grown, old, sizeof(x3dMaterial) * (size_t)scene->materialCount);
        x3dMaterial& grey = grown[scene->materialCount];
        grey.name = copyOf("Inspector grey");
        grey.id = -1;
        for (int c = 0; c < 3; c++) {
            grey.ambient[c] = 0.2f;
            grey.diffuse[c] = 0.7f;
        }
        for (int i = 0; i < scene->objectCount; i++)
            for (int k = 0; k < scene->objects[i].faceCount; k++) {
                x3dFace& f = scene->objects[i].faces[k];
                f.material = f.material ? grown + (f.material - old) : &grey;
            }
        free(old);
        scene->materials = grown;
        scene->materialCount++;
    }

    x3dPrepareScene(scene);
    x3dSetScene(scene);
    scene->zbuffer = 1;
    x3dInitZBuffer();
    for (int i = 0; i < scene->materialCount; i++) {
        x3dMaterial& m = scene->materials[i];
        x3dMaterialColour(&m);
        m.renderFlags = X3D_RF_GOURAUD;
        m.reflection.pixels = nullptr;
        if (!m.texture.name)
            continue;
        if (x3dLoadTexture(m.texture.name, texturePath.c_str(), &m.texture) == 0)
            m.renderFlags = X3D_RF_TEXTURED | X3D_RF_PERSPECTIVE;
        else
            view.missing.push_back(texturePath + m.texture.name);
    }

    x3dSetFrame(frame);
    x3dAnimateScene();
    bounds(scene, view);
    if (view.ownCamera && scene->nodeCount == 0 && view.radius > 0 && view.radius < kLeastRadius) {
        // The engine drops what comes nearer than a few units: a scene
        // measured in small units is looked at enlarged.
        view.scale = kLeastRadius / view.radius;
        enlarge(scene, view.scale);
        bounds(scene, view);
    }

    x3dCamera* camera = x3dFindCamera("Camera01", scene);
    if (!camera)
        camera = &scene->cameras[0];
    x3dCameraResetSize(camera);
    x3dSetActiveCamera(camera);
    orbitModel(scene, view, 0);
    return view;
}

void orbitModel(x3dScene* scene, const ModelView& view, float azimuth)
{
    const float turn = kThreeQuarter + azimuth;
    if (view.ownCamera) {
        x3dCamera& c = *g_x3d.camera;
        // The bounding sphere fits the picture's height, with a margin.
        const float half = atanf(tanf(kFov * 0.5f * 0.017453292f) * 0.75f);
        const float distance = std::max(view.radius, 1.0f) / sinf(half) * 1.08f;
        around(view, turn, kElevation, distance, c.position);
        memcpy(c.target, view.centre, sizeof c.target);
        memcpy(c.basePosition, c.position, sizeof c.basePosition);
        memcpy(c.baseTarget, c.target, sizeof c.baseTarget);
        c.roll = 0;
        x3dCameraSetFov(&c, kFov);
        x3dCameraUpdate(&c);
    }
    if (view.ownLights) {
        // The key light over the viewer's left shoulder, the fill low from
        // the right: no face the camera sees is left black. The viewer is
        // the active camera, ours or the file's.
        const float* eye = g_x3d.camera->position;
        const float d[3] = {eye[0] - view.centre[0], eye[1] - view.centre[1], eye[2] - view.centre[2]};
        const float length = sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const float seen = length > 0 ? atan2f(d[0], -d[2]) * 57.29578f : turn;
        const float above = length > 0 ? asinf(std::max(-1.0f, std::min(1.0f, d[1] / length))) * 57.29578f : kElevation;
        const float distance = std::max(std::max(view.radius, 1.0f) * 4.0f, length * 1.5f);
        around(view, seen - 40.0f, std::min(above + 30.0f, 85.0f), distance, scene->lights[0].position);
        around(view, seen + 70.0f, above, distance, scene->lights[1].position);
        for (int i = 0; i < 2; i++) {
            memcpy(scene->lights[i].basePosition, scene->lights[i].position, sizeof scene->lights[i].position);
            memcpy(scene->lights[i].target, view.centre, sizeof view.centre);
        }
    }
}

} // namespace qhscene
