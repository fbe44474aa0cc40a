// A 3DS file drawn without a script, as most files in the wild come: no
// camera, no light. Our camera must frame the whole scene from every side.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SceneSamples.h"
#include "SceneView.h"
#include "X3d/File3ds.h"
#include "tests/common/Scratch.h"

namespace {

struct Coverage {
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    size_t lit = 0;
};

Coverage coverage(const std::vector<uint32_t>& px, int w, int h)
{
    Coverage c;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (px[(size_t)y * w + x] & 0xFFFFFF) {
                c.lit++;
                c.left = std::min(c.left, x);
                c.right = std::max(c.right, x);
                c.top = std::min(c.top, y);
                c.bottom = std::max(c.bottom, y);
            }
    return c;
}

TEST(ModelView, ACameralessLightlessSceneIsFramedFromEverySide)
{
    const std::string dir = scratchFolder("model-view");
    qhscene::Bytes b = qhscene::write3ds(qhtest::lighthouseScene());
    ASSERT_TRUE(writeFile(dir + "/lighthouse.3ds", std::string(b.begin(), b.end())));
    qhscene::initEngines();
    static x3dScene scene;
    x3dLoad3ds((dir + "/lighthouse.3ds").c_str(), &scene);
    ASSERT_EQ(scene.cameraCount, 0);
    ASSERT_EQ(scene.lightCount, 0);
    qhscene::ModelView view = qhscene::prepareModel(&scene, dir + "/", 0);
    EXPECT_TRUE(view.ownCamera);
    EXPECT_TRUE(view.ownLights);
    EXPECT_EQ(view.missing, std::vector<std::string>{dir + "/planks.tga"});

    const qhscene::ViewTarget target;
    const int w = target.width, h = target.height;
    for (float azimuth : {0.0f, 90.0f, 180.0f, 270.0f}) {
        qhscene::orbitModel(&scene, view, azimuth);
        std::vector<uint32_t> px = qhscene::renderScene(&scene, 0, target);
        Coverage c = coverage(px, w, h);
        SCOPED_TRACE("azimuth " + std::to_string(azimuth));
        ASSERT_GT(c.lit, 0u);
        // The tower stands upright: taller than wide, between a third and
        // all of the picture's height, its box centred within a tenth.
        const int bw = c.right - c.left + 1, bh = c.bottom - c.top + 1;
        EXPECT_GT(bh, bw);
        EXPECT_GT(bh, h / 2);
        EXPECT_LT(bh, h - 4) << "touches the edges";
        EXPECT_GT(c.left, 0);
        EXPECT_GT(c.top, 0);
        EXPECT_NEAR((c.left + c.right) / 2.0, w / 2.0, w / 10.0);
        EXPECT_NEAR((c.top + c.bottom) / 2.0, h / 2.0, h / 10.0);
        // Lit from where the camera stands: most of what shows is not dark.
        size_t bright = 0;
        for (uint32_t p : px)
            bright += ((p >> 16 & 255) + (p >> 8 & 255) + (p & 255)) > 3 * 60;
        EXPECT_GT(bright, c.lit / 2);
    }
    x3dFreeScene(&scene);
}

// A file with a camera and lights keeps them: the view is the file's.
TEST(ModelView, AFilesCameraAndLightsAreKept)
{
    const std::string dir = scratchFolder("model-view-own");
    qhscene::Bytes b = qhscene::write3ds(qhtest::harbourScene());
    ASSERT_TRUE(writeFile(dir + "/harbour.3ds", std::string(b.begin(), b.end())));
    qhscene::initEngines();
    static x3dScene scene;
    x3dLoad3ds((dir + "/harbour.3ds").c_str(), &scene);
    qhscene::ModelView view = qhscene::prepareModel(&scene, dir + "/", 60);
    EXPECT_FALSE(view.ownCamera);
    EXPECT_FALSE(view.ownLights);
    EXPECT_EQ(view.scale, 1.0f);
    EXPECT_STREQ(g_x3d.camera->name, "Camera01");
    EXPECT_GT(coverage(qhscene::renderScene(&scene, 60, qhscene::ViewTarget{}), 640, 480).lit, 1000u);
    x3dFreeScene(&scene);
}

} // namespace
