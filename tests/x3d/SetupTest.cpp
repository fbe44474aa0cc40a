#include <gtest/gtest.h>

#include <cmath>
#include <malloc.h>

#include "X3d/X3d.h"

namespace {

class Engine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { x3dInit(640, 480, nullptr); }
};

TEST_F(Engine, ScreenAndModulateTables)
{
    EXPECT_EQ(g_x3d.halfWidth, 320);
    EXPECT_EQ(g_x3d.pixelCount, 307200);
    EXPECT_EQ(g_x3d.scanLines[479], 479 * 2560);
    EXPECT_EQ(g_x3d.linePitch, 2560);
    EXPECT_EQ(g_x3d.modulate[255 * 256 + 255], 254);
    EXPECT_EQ(g_x3d.modulate[128 * 256 + 200], 100);
    EXPECT_EQ(g_x3d.modulate[0 * 256 + 255], 0);
    EXPECT_EQ(g_x3d.zbuffer, nullptr);

    x3dSetScreenSize(140, 105);
    EXPECT_EQ(g_x3d.scanLines[104], 104 * 560);
    EXPECT_EQ(g_x3d.linePitch, 560);
    x3dSetScreenSize(640, 480);
    // A viewport taller than the table is refused rather than written past it.
    EXPECT_EXIT(x3dSetScreenSize(640, 481), ::testing::ExitedWithCode(3), "Assertion failed");
}

TEST_F(Engine, ShadeTableModes)
{
    x3dSetShadeTable(1, 2); // the start-up ramp
    EXPECT_EQ(g_x3d.falloff[0], 63);
    EXPECT_EQ(g_x3d.falloff[191], 0);
    EXPECT_EQ(g_x3d.falloff[96], (255 - 96 * 255 / 192) >> 2);
    x3dSetShadeTable(0, 1); // "-slow": the ramp stays, halved, and lines go plain
    EXPECT_EQ(g_x3d.lineMode, 0);
    EXPECT_EQ(g_x3d.falloff[0], 31);
    x3dSetShadeTable(3, 0);
    EXPECT_EQ(g_x3d.falloff[0], 255);
    EXPECT_EQ(g_x3d.falloff[40], (int)(255.0 * exp(-1.0)));
    x3dSetShadeTable(3, 33); // shift counts wrap at 32
    EXPECT_EQ(g_x3d.falloff[0], 127);
    x3dSetShadeTable(1, 2);
}

TEST_F(Engine, FogTablesBlendTowardTheColour)
{
    x3dSetFogColor(200.0f, 100.0f, 10.7f);
    EXPECT_EQ(g_x3d.fogPacked, 200 << 16 | 100 << 8 | 10);
    EXPECT_TRUE(g_x3d.fogOn);
    for (int i = 0; i < 256; i++) // level 0 leaves the channel as it is
        ASSERT_EQ(g_x3d.fogTables[0][i], i);
    // Level 255: 255/256 of the fog colour plus 1/256 of the channel.
    EXPECT_EQ(g_x3d.fogTables[0][255 * 256 + 0], (int)(200.0f * 255 / 256));
    EXPECT_EQ(g_x3d.fogTables[1][255 * 256 + 255], (int)(255.0f / 256 + 100.0f * 255 / 256));
    EXPECT_FALSE(g_x3d.fogWhole);

    // A whole-numbered colour makes every entry the integer blend, which
    // the fillers compute in place of reading the table.
    x3dSetFogColor(0.0f, 128.0f, 255.0f);
    EXPECT_TRUE(g_x3d.fogWhole);
    const int colour[3] = {0, 128, 255};
    int wrong = 0;
    for (int c = 0; c < 3; c++)
        for (int l = 0; l < 256; l++)
            for (int i = 0; i < 256; i++)
                wrong += g_x3d.fogTables[c][l * 256 + i] != (i * (256 - l) + colour[c] * l) >> 8;
    EXPECT_EQ(wrong, 0);
    for (float off : {255.5f, 256.0f, -1.0f}) {
        x3dSetFogColor(10.0f, off, 10.0f);
        EXPECT_FALSE(g_x3d.fogWhole) << off;
    }
    x3dBuildTables(); // fresh tables hold nothing yet
    EXPECT_FALSE(g_x3d.fogWhole);
}

TEST_F(Engine, ZBufferIsAllocatedOnce)
{
    x3dInitZBuffer();
    int32_t* first = g_x3d.zbuffer;
    ASSERT_NE(first, nullptr);
    x3dInitZBuffer();
    EXPECT_EQ(g_x3d.zbuffer, first);
}

TEST_F(Engine, SceneSelectionFramesAndLookups)
{
    x3dCamera cams[3] = {};
    char a[] = "Camera01", b[] = "Camera02", c[] = "Camera01";
    cams[0].name = a;
    cams[1].name = b;
    cams[2].name = c;
    x3dMaterial mats[1] = {};
    char m[] = "MATERIAL_1";
    mats[0].name = m;
    x3dObject objs[2] = {};
    objs[0].faceCount = 10;
    objs[1].faceCount = 5;
    x3dLight lights[2] = {};
    x3dScene scene = {};
    scene.lights = lights;
    scene.cameras = cams;
    scene.cameraCount = 3;
    scene.materials = mats;
    scene.materialCount = 1;
    scene.objects = objs;
    scene.objectCount = 2;
    scene.lightCount = 2;
    scene.firstFrame = 0;
    scene.lastFrame = 100;
    scene.fogDistance = 1000;

    EXPECT_EQ(x3dFindCamera("Camera01", &scene), &cams[2]); // the last match
    EXPECT_EQ(x3dFindCamera("camera01", &scene), nullptr);  // case matters
    EXPECT_EQ(x3dFindMaterial("MATERIAL_1", &scene), &mats[0]);
    EXPECT_EQ(x3dFindLight("Omni01", &scene), nullptr);

    EXPECT_EXIT(x3dSetScene(nullptr), ::testing::ExitedWithCode(3), "Assertion failed");
    x3dSetScene(&scene);
    EXPECT_FLOAT_EQ(g_x3d.dimStart, 750.0f);
    EXPECT_FLOAT_EQ(g_x3d.fogStart, 500.0f);
    EXPECT_FLOAT_EQ(g_x3d.dimScale, 1.0f / 250.0f);
    EXPECT_FLOAT_EQ(g_x3d.fogScale, 1.0f / 500.0f);
    EXPECT_FALSE(g_x3d.fogOn);

    x3dSetFrame(50.5f);
    EXPECT_EQ(scene.frame, 50.5f);
    x3dSetFrame(100.0f); // the last frame itself is outside the range
    EXPECT_EQ(scene.frame, 50.5f);
    x3dSetFrame(-1.0f);
    EXPECT_EQ(scene.frame, 50.5f);
    scene.lastFrame = 0; // empty range
    x3dSetFrame(0.0f);
    EXPECT_EQ(scene.frame, 50.5f);

    x3dPrepareScene(&scene);
    EXPECT_NE(scene.drawListB, scene.drawListA);
    for (x3dDrawItem* list : {scene.drawListA, scene.drawListB}) // room for 15 faces and 2 lights
        EXPECT_GE(malloc_usable_size(list), 17 * sizeof(x3dDrawItem));
    EXPECT_EQ(scene.drawCount, 0);

    x3dCameraSetSize(140, 105, &cams[0]);
    EXPECT_FLOAT_EQ(cams[0].aspect, 140.0f / 105.0f * 0.75f);
    EXPECT_EQ(g_x3d.linePitch, 560);
    x3dCameraResetSize(&cams[0]);
    EXPECT_EQ(g_x3d.linePitch, 2560);
}

TEST_F(Engine, TableSquareRootIsClose)
{
    for (float v : {1.0f, 2.0f, 3.0f, 10.0f, 0.25f, 12345.0f, 1e-3f})
        EXPECT_NEAR(x3dTableSqrt(v), std::sqrt(v), std::sqrt(v) * 0.01f) << v;
    EXPECT_EQ(g_x3d.sqrtTable[128], 0x3504F3);
}
} // namespace
