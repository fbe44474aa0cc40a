// The renderer on scenes read from bytes: camera, far distance and fog,
// lights with lens flares, and triangles of every render type anywhere
// around the camera, drawn into buffers with guard bands in both modes.
// A write outside the viewport aborts; the sanitizers catch reads outside
// the tables and textures and float-to-integer conversions that overflow.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "X2d/X2d.h"
#include "X3d/Material.h"
#include "X3d/Polygons.h"
#include "X3d/X3d.h"
#include "fuzz/common/FuzzStop.h"
#include "fuzz/x3d/RenderInput.h"
#include "tests/x3d/RenderTarget.h"
#include "tests/x3d/SceneKit.h"

namespace {

using namespace qhfuzz;

std::vector<uint32_t>* g_texture;

void render(const uint8_t* data, size_t size)
{
    ByteReader in(data, size);
    const uint8_t flags = in.byte();
    const bool raw = flags & FUZZ_RAW_FLOATS, big = flags & FUZZ_BIG_VIEW;
    const float fov = 10.0f + in.byte() * 0.65f;
    qh3d::Vec3 eye = {in.coord(raw), in.coord(raw), in.coord(raw)};
    qh3d::Vec3 target = {in.coord(raw), in.coord(raw), in.coord(raw)};
    const float far = in.coord(raw);

    qh3d::SceneKit kit;
    // One material per render type, and faces without one.
    for (int t = 0; t < X3D_RENDER_TYPES; t++)
        kit.addMaterial(x3dRenderTypes[t].flags, 200, 150, 90, g_texture->data(), t % 2 ? g_texture->data() : nullptr);
    std::vector<qh3d::MeshSpec> meshes(X3D_RENDER_TYPES + 1);
    std::vector<float> scales(meshes.size(), 1.0f);

    // Lights: up to three, with flares whose textures are exactly their size.
    std::vector<std::vector<uint32_t>> flareTexels;
    flareTexels.reserve(3);
    const int lights = in.byte() % 4;
    for (int i = 0; i < lights; i++) {
        const uint8_t type = in.byte();
        x3dLight& l = kit.addLight(type & 7, {in.coord(raw), in.coord(raw), in.coord(raw)}, in.byte() / 255.0f,
                                   in.byte() / 255.0f, in.byte() / 255.0f);
        if (type & 2)
            qh3d::SceneKit::spot(l, {in.coord(raw), in.coord(raw), in.coord(raw)}, in.byte() * 0.7f, in.byte() * 0.7f);
        l.innerRange = in.coord(raw);
        l.outerRange = in.coord(raw);
        if (type & 8) {
            int w = 1 + in.byte() % 64, h = 1 + in.byte() % 64;
            flareTexels.emplace_back((size_t)w * h, 0x00102030);
            kit.addFlare(l, flareTexels.back().data(), w, h, in.coord(raw) * 16.0f);
        }
    }
    while (!in.done()) {
        const uint8_t kind = in.byte() % (X3D_RENDER_TYPES + 1);
        qh3d::MeshSpec& m = meshes[kind];
        int base = (int)m.points.size();
        if (base > 60000)
            break;
        for (int v = 0; v < 3; v++) {
            m.points.push_back({in.coord(raw), in.coord(raw), in.coord(raw)});
            m.uv.push_back({in.coord(raw) * 8.0f, in.coord(raw) * 8.0f});
        }
        m.tris.push_back({base, base + 1, base + 2});
        uint8_t s = in.byte();
        if (s > 200)
            scales[kind] = (s - 200) * 0.5f;
    }
    for (size_t k = 0; k < meshes.size(); k++) {
        if (meshes[k].tris.empty())
            continue;
        x3dObject& o = kit.addObject(meshes[k], k < X3D_RENDER_TYPES ? (int)k : -1);
        if (scales[k] > 3.0f)
            o.flags |= 16; // unlit
    }
    const int w = big ? 640 : 140, h = big ? 480 : 105;
    kit.finish(eye, target, fov, w, h, flags & FUZZ_ZBUFFER, flags & FUZZ_FOG, far);
    for (size_t i = 0; i < kit.objectArray.size(); i++)
        qh3d::SceneKit::scale(kit.objectArray[i], 1.0f + (float)(i % 3));
    if (flags & FUZZ_FOG)
        x3dSetFogColor(90.0f, 120.0f, 140.0f);
    x3dSetShadeTable(flags & FUZZ_SOFT_LINES ? 1 : 0, 2);

    int32_t* engineZ = g_x3d.zbuffer;
    {
        qh3d::GuardedTarget t(w, h);
        t.install(&kit.camera);
        t.clear(0);
        x3dTransformScene();
        x3dLightScene();
        x3dRenderScene(t.frame);
        // The flare scene's way of drawing: a flare at every face centre.
        x3dLight* fl = lights ? kit.scene.visibleLights[0] : nullptr;
        for (int i = 0; fl && fl->lensFlare && i < kit.scene.drawCount && i < 64; i++) {
            if (kit.scene.drawListA[i].kind != X3D_DRAW_FACE)
                continue;
            x3dFace* f = (x3dFace*)kit.scene.drawListA[i].item;
            for (int c = 0; c < 3; c++)
                fl->viewPosition[c] = (f->vertices[0]->viewPosition[c] + f->vertices[1]->viewPosition[c] +
                                       f->vertices[2]->viewPosition[c]) / 3.0f;
            x3dDrawFlare(fl, t.frame);
        }
        if (t.spoiltGuards() != 0)
            abort();
    }
    g_x3d.zbuffer = engineZ;
    g_x3d.zbufferPixels = g_x3d.pixelCount = 640 * 480;
    x3dSetScreenSize(640, 480);
    free(kit.scene.drawListA);
    free(kit.scene.drawListB);
    free(kit.scene.visibleLights);
    g_x3d.camera = nullptr;
    g_x3d.scene = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qhfuzz::setUp();
    x3dInit(640, 480, nullptr);
    x2dInit(640, 480);
    x3dInitZBuffer();
    g_texture = new std::vector<uint32_t>(65536);
    for (size_t i = 0; i < g_texture->size(); i++)
        (*g_texture)[i] = (uint32_t)(i * 2654435761u) & 0xFFFFFF;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    render(data, size);
    return 0;
}
