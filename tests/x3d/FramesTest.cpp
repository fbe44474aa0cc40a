// Reference frames of the renderer: scenes built in code, drawn at 320 x 240
// and compared exactly with the hashes kept in frames.txt. A frame that
// differs is written as <name>-seen.png beside the test for a person to
// look at.
//
// QH_UPDATE_FRAMES=1 writes frames.txt anew and every frame as <name>.png
// beside the test to look at (the build target x3d_frames does that), for a
// change of the picture that is meant.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X3d/Polygons.h"
#include "X3d/X3d.h"
#include "tests/x3d/FrameFiles.h"
#include "tests/x3d/RenderTarget.h"
#include "tests/x3d/SceneKit.h"

namespace {

using qh3d::GuardedTarget;
using qh3d::SceneKit;

const int W = 320, H = 240;

// Harbour-coloured textures: planks, a sky for reflections, a soft glow.
std::vector<uint32_t> planks()
{
    std::vector<uint32_t> t(65536);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++) {
            int board = v / 32, grain = (u * 3 + board * 41 + (int)(8 * std::sin(v * 0.3))) % 23;
            int base = 120 + board * 9 % 40 + grain;
            bool seam = v % 32 == 0 || (u + board * 64) % 128 == 0;
            int r = seam ? 40 : base, g = seam ? 30 : base * 3 / 4, b = seam ? 25 : base / 2;
            t[(size_t)v * 256 + u] = (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
        }
    return t;
}

std::vector<uint32_t> sky()
{
    std::vector<uint32_t> t(65536);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++) {
            double dx = (u - 128) / 128.0, dy = (v - 128) / 128.0, d = std::sqrt(dx * dx + dy * dy);
            int r = (int)(60 + 150 * std::max(0.0, 1 - d)), g = (int)(90 + 120 * std::max(0.0, 1 - d * 0.8));
            int b = (int)std::min(255.0, 170 + 80 * (1 - d * 0.5));
            t[(size_t)v * 256 + u] = (uint32_t)r << 16 | (uint32_t)g << 8 | (uint32_t)b;
        }
    return t;
}

std::vector<uint32_t> glow()
{
    std::vector<uint32_t> t(65536);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++) {
            double dx = (u - 128) / 128.0, dy = (v - 128) / 128.0, d = std::sqrt(dx * dx + dy * dy);
            double a = std::max(0.0, 1 - d);
            a = a * a + (std::fabs(dx) < 0.03 || std::fabs(dy) < 0.03 ? 0.3 * (1 - d) : 0.0);
            a = std::max(0.0, std::min(1.0, a));
            t[(size_t)v * 256 + u] = (uint32_t)(255 * a) << 16 | (uint32_t)(220 * a) << 8 | (uint32_t)(160 * a);
        }
    return t;
}

struct Frames : public ::testing::Test {
    static void SetUpTestSuite()
    {
        x3dInit(640, 480, nullptr);
        x2dInit(640, 480);
        x3dInitZBuffer();
    }
};

std::map<std::string, std::string> readReferences()
{
    std::map<std::string, std::string> refs;
    std::ifstream in(QH_X3D_FRAMES);
    std::string name, hash;
    while (in >> name >> hash)
        refs[name] = hash;
    return refs;
}

// Draws the scene at its camera and returns the frame's hash; a frame that
// differs from its reference is written out.
std::string shoot(const std::string& name, SceneKit& kit, uint32_t background, int lineMode = 1)
{
    GuardedTarget target(W, H);
    target.install(&kit.camera);
    target.clear(background);
    x3dSetShadeTable(lineMode, lineMode ? 0 : 2);
    x3dTransformScene();
    x3dLightScene();
    x3dRenderScene(target.frame);
    x3dSetShadeTable(1, 2);
    EXPECT_EQ(target.spoiltGuards(), 0) << name;
    std::string hash = qh3d::frameHash(target.frame, W, H, target.pitch);
    static std::map<std::string, std::string> refs = readReferences();
    if (getenv("QH_UPDATE_FRAMES"))
        qh3d::writeFramePng(name + ".png", target.frame, W, H, target.pitch);
    else if (refs[name] != hash)
        qh3d::writeFramePng(name + "-seen.png", target.frame, W, H, target.pitch);
    return hash;
}

std::map<std::string, std::string> renderAll()
{
    std::map<std::string, std::string> got;
    std::vector<uint32_t> wood = planks(), clouds = sky(), flare = glow();
    {
        // Gouraud rings lit by an omni and a spot, flat crates, painter.
        SceneKit kit;
        kit.addMaterial(0x02, 230, 190, 120);
        kit.addMaterial(0x01, 90, 140, 200);
        kit.addObject(qh3d::torus(3.0f, 1.1f, 32, 16), 0);
        kit.addObject(qh3d::cube(1.2f), 1);
        kit.addLight(1, {-6, 6, -8}, 0.9f, 0.8f, 0.6f);
        x3dLight& spot = kit.addLight(1, {5, 8, -4}, 0.6f, 0.7f, 1.0f);
        SceneKit::spot(spot, {1, 0, 0}, 25, 50);
        kit.finish({0, 4, -12}, {0, 0, 0}, 60, W, H, false);
        SceneKit::translate(kit.object(1), {4.5f, -1.0f, -1.0f});
        got["gouraud"] = shoot("gouraud", kit, 0x000A1420);
    }
    {
        // A perspective deck, a lit textured crate and a mirror ring, z-buffer.
        SceneKit kit;
        kit.addMaterial(0xC8, 255, 255, 255, wood.data());
        kit.addMaterial(0x48, 255, 255, 255, wood.data());
        kit.addMaterial(0x18, 255, 255, 255, wood.data(), clouds.data());
        qh3d::MeshSpec deck = qh3d::grid(-12, -12, 12, 12, 6, 6, 255.9f * 3);
        for (auto& p : deck.points) { // lay it flat under the objects
            float y = p.y;
            p.y = -2.0f;
            p.z = y;
        }
        qh3d::orientInward(deck, {{0, -10, 0}});
        kit.addObject(deck, 0);
        kit.addObject(qh3d::cube(1.5f), 1);
        kit.addObject(qh3d::torus(2.6f, 0.8f, 28, 14), 2);
        kit.addLight(1, {-4, 8, -10}, 1.0f, 0.95f, 0.85f);
        kit.finish({2, 3, -11}, {0, 0, 2}, 60, W, H, true);
        SceneKit::translate(kit.object(1), {-3.0f, -0.5f, 1.5f});
        SceneKit::translate(kit.object(2), {2.5f, 0.8f, 1.0f});
        got["textured"] = shoot("textured", kit, 0x00101820);
    }
    {
        // Posts fading into sea fog, and an additive glowing ring.
        SceneKit kit;
        kit.addMaterial(0x02, 200, 170, 140);
        kit.addMaterial(0x102, 60, 90, 160);
        kit.addMaterial(0x108, 255, 255, 255, clouds.data());
        for (int i = 0; i < 10; i++)
            kit.addObject(qh3d::cube(0.8f), 0);
        kit.addObject(qh3d::torus(2.0f, 0.5f, 24, 10), 1);
        kit.addObject(qh3d::cube(1.0f), 2);
        kit.addLight(1, {0, 10, -10}, 1, 1, 1);
        kit.finish({0, 2, -6}, {0, 0, 10}, 70, W, H, false, true, 40.0f);
        x3dSetFogColor(120.0f, 140.0f, 150.0f);
        for (int i = 0; i < 10; i++)
            SceneKit::translate(kit.object(i), {(i % 2 ? 3.0f : -3.0f), -0.5f, 2.0f + i * 4.0f});
        SceneKit::translate(kit.object(10), {0.0f, 1.0f, 8.0f});
        SceneKit::translate(kit.object(11), {0.0f, -1.0f, 14.0f});
        got["fog"] = shoot("fog", kit, 0x00788C96);
    }
    for (int mode = 0; mode < 2; mode++) {
        // Wireframe rings in both line modes, with lens flares.
        SceneKit kit;
        kit.addMaterial(0x20, 120, 220, 255);
        kit.addObject(qh3d::torus(3.0f, 1.0f, 20, 10), 0);
        kit.addObject(qh3d::cube(1.0f), -1); // no material: the default colour
        x3dLight& a = kit.addLight(1, {-2, 2, -3});
        x3dLight& b = kit.addLight(1, {3, -1, 2});
        kit.addFlare(a, flare.data(), 256, 256, 400.0f);
        kit.addFlare(b, flare.data(), 256, 256, 250.0f);
        kit.finish({0, 3, -10}, {0, 0, 0}, 60, W, H, mode == 1);
        const char* name = mode ? "wire-soft" : "wire-plain";
        got[name] = shoot(name, kit, 0x00050A10, mode);
    }
    return got;
}

TEST_F(Frames, MatchTheReferences)
{
    std::map<std::string, std::string> got = renderAll();
    if (getenv("QH_UPDATE_FRAMES")) {
        std::ofstream out(QH_X3D_FRAMES);
        for (auto& [name, hash] : got)
            out << name << " " << hash << "\n";
        SUCCEED() << "wrote " << QH_X3D_FRAMES;
        return;
    }
    std::map<std::string, std::string> refs = readReferences();
    for (auto& [name, hash] : got)
        EXPECT_EQ(refs[name], hash) << name << " differs: see " << name << "-seen.png";
    // Drawing twice gives the same pictures: nothing carries over.
    EXPECT_EQ(renderAll(), got);
}

} // namespace
