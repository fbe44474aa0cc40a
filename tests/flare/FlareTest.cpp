// The flare scene: render targets give every engine field back, the warp
// matches a texel-by-texel walk and stays inside its texture and its
// destination, flares come from the listed faces only, and the part follows
// the music with the show's own data.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "X2d/X2d.h"
#include "X3d/Spline.h"
#include "X3d/X3d.h"
#include "app/Timeline.h"
#include "parts/Cues.h"
#include "parts/PartLinks.h"
#include "parts/pstdemop.h"
#include "parts/rotoPart.h"
#include "platform/Plat.h"
#include "tests/common/ShowFolder.h"
#include "tests/common/ShowStart.h"
#include "tests/common/TestClock.h"

namespace {

x3dCamera g_camera;

// The screen and both engines, once for the whole program.
void startEngines()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    startShowScreen();
    x3dInit(SHOW_WIDTH, SHOW_HEIGHT, nullptr);
}

class Flare : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        startEngines();
        g_panelTarget.Init(140, 105);
    }
    void SetUp() override
    {
        memset(&g_camera, 0, sizeof g_camera);
        x3dCameraSetSize(640, 480, &g_camera);
        x3dCameraSetFov(&g_camera, 45.0f);
        x3dSetActiveCamera(&g_camera);
    }
};

TEST_F(Flare, TargetsSwitchEveryRowAddressAndGiveItAllBack)
{
    RenderTarget letterbox;
    letterbox.Init(640, 250);
    for (RenderTarget* t : {&g_panelTarget, &letterbox}) {
        const int32_t w2 = x2dScreenWidth, h2 = x2dScreenHeight, p2 = x2dScreenPitch;
        const int32_t clip[4] = {x2dClipLeft, x2dClipTop, x2dClipRight, x2dClipBottom};
        int32_t* const lines2 = x2dLineOffset;
        t->Begin2D();
        EXPECT_EQ(x2dScreenWidth, t->width);
        EXPECT_EQ(x2dScreenHeight, t->height);
        EXPECT_EQ(x2dScreenPitch, t->width * 4);
        EXPECT_EQ(x2dClipRight, t->width);
        EXPECT_EQ(x2dClipBottom, t->height);
        EXPECT_EQ(x2dLineOffset[t->height - 1], (t->height - 1) * t->width * 4);
        t->End2D();
        EXPECT_EQ(x2dScreenWidth, w2);
        EXPECT_EQ(x2dScreenHeight, h2);
        EXPECT_EQ(x2dScreenPitch, p2);
        const int32_t after[4] = {x2dClipLeft, x2dClipTop, x2dClipRight, x2dClipBottom};
        EXPECT_EQ(memcmp(clip, after, sizeof clip), 0);
        EXPECT_EQ(x2dLineOffset, lines2);

        const x3dEngine engine = g_x3d;
        const x3dCamera camera = g_camera;
        t->Begin3D();
        EXPECT_EQ(g_x3d.width, t->width);
        EXPECT_EQ(g_x3d.height, t->height);
        EXPECT_EQ(g_x3d.halfWidth, t->width / 2);
        EXPECT_EQ(g_x3d.pixelCount, t->width * t->height);
        EXPECT_EQ(g_x3d.linePitch, t->width * 4);
        EXPECT_EQ(g_x3d.scanLineCount, t->height);
        EXPECT_EQ(g_x3d.scanLines[t->height - 1], (t->height - 1) * t->width * 4);
        EXPECT_EQ(g_camera.centreX, (float)(t->width / 2));
        EXPECT_EQ(g_camera.width, (float)t->width);
        EXPECT_EQ(g_camera.projectedFov, 0.0f);
        x3dCameraSetFov(&g_camera, 60.0f); // what an animation step does meanwhile
        t->End3D();
        EXPECT_EQ(memcmp(&g_x3d, &engine, sizeof engine), 0);
        EXPECT_EQ(memcmp(&g_camera, &camera, sizeof camera), 0);
    }
}

// The warp as written: one column at a time, texel by texel.
void walkWarp(const FlareScene& fs, const uint32_t* tex, int32_t a, int32_t b, int32_t c, int32_t d, uint32_t* dst,
              int columns, int columnWidth, int rows, int pitch)
{
    uint32_t U = 0, V = 0;
    for (int i = 0; i < columns; i++) {
        uint16_t u = (uint16_t)(U >> 8), v = (uint16_t)(V >> 8);
        for (int r = 0; r < rows; r++) {
            for (int k = 0; k < columnWidth; k++)
                dst[r * pitch + i * columnWidth + k] = tex[(v & 0xFF00) | (u >> 8)];
            u = (uint16_t)(u + (c >> 8));
            v = (uint16_t)(v + (d >> 8) + (fs.sine[r & 127] >> 8));
        }
        U += (uint32_t)a + (uint32_t)fs.cosine[i & 127];
        V += (uint32_t)b;
    }
}

TEST_F(Flare, WarpReadsOnlyTheTextureAndWritesExactlyItsDestination)
{
    const int G = 4096;
    const uint32_t kGuard = 0x7EEEEEEEu;
    std::vector<uint32_t> texels(G + 65536 + G, kGuard);
    for (int i = 0; i < 65536; i++)
        texels[G + i] = 0x80000000u | (uint32_t)i;
    FlareScene fs;
    fs.MakeTables();
    EXPECT_EQ(fs.sine[32], 65536);
    EXPECT_EQ(fs.cosine[64], -65536);
    EXPECT_EQ(fs.sine[1], 3215); // trunc(sin(2 pi / 128) x 65536)
    fs.texture = texels.data() + G;
    const int32_t extremes[] = {INT32_MAX, INT32_MIN, 0, 120000, -120000, 180000, -180000, 0x12345678, -0x789ABC};
    for (bool full : {true, false}) {
        const int w = full ? 640 : 140, h = full ? 250 : 105;
        std::vector<uint32_t> dst(w * h + G), expect(w * h);
        for (int n = 0; n < 40; n++) {
            int32_t v[4];
            for (int k = 0; k < 4; k++)
                v[k] = extremes[(n * 7 + k * 3 + (n >> 2)) % 9];
            std::fill(dst.begin(), dst.end(), 0u);
            if (full)
                fs.WarpFull(v[0], v[1], v[2], v[3], dst.data());
            else
                fs.WarpSmall(v[0], v[1], v[2], v[3], dst.data());
            walkWarp(fs, fs.texture, v[0], v[1], v[2], v[3], expect.data(), full ? 320 : 140, full ? 2 : 1, h, w);
            ASSERT_TRUE(std::equal(expect.begin(), expect.end(), dst.begin())) << w << " " << v[0] << " " << v[1];
            for (int i = 0; i < w * h; i++)
                ASSERT_TRUE(dst[i] & 0x80000000u) << "not a texture texel at " << i;
            for (int i = w * h; i < w * h + G; i++)
                ASSERT_EQ(dst[i], 0u) << "written past the destination at " << i;
        }
    }
}

// A scene of three listed faces: one in front, one beyond the far limit
// (every vertex flag bit 3), one whose centre is behind the camera.
struct TinyScene {
    x3dVertex vertices[9];
    x3dFace faces[3];
    x3dDrawItem items[4];
    x3dScene scene;
    x3dLight light;
    x3dLensFlare lens;
    uint32_t flareTexels[16];

    TinyScene()
    {
        memset(this, 0, sizeof *this);
        const float pos[9][3] = {{-1, -1, 9}, {2, 0, 10}, {-1, 1, 11},  // centre (0, 0, 10)
                                 {4, 0, 10},  {5, 1, 10}, {6, -1, 10},  // centre (5, 0, 10)
                                 {-1, 0, 1},  {1, 0, 1},  {0, 0, -20}}; // centre z -6
        for (int i = 0; i < 9; i++) {
            memcpy(vertices[i].viewPosition, pos[i], sizeof pos[i]);
            vertices[i].flags = (i >= 3 && i < 6) ? 8 : 0;
        }
        for (int f = 0; f < 3; f++) {
            for (int k = 0; k < 3; k++)
                faces[f].vertices[k] = &vertices[f * 3 + k];
            items[f] = {&faces[f], 0, X3D_DRAW_FACE};
        }
        items[3] = {&light, 0, X3D_DRAW_FLARE};
        scene.drawListA = items;
        scene.drawCount = 4;
        for (uint32_t& t : flareTexels)
            t = 0x00101010u;
        lens.width = lens.height = 4;
        lens.slot.pixels = flareTexels;
        lens.scale = 100.0f;
        light.lensFlare = &lens;
    }
};

TEST_F(Flare, OnlyTheFaceInFrontGetsAFlareAtItsCentre)
{
    static TinyScene tiny;
    FlareScene fs;
    fs.flareLight = &tiny.light;
    g_x3d.scene = &tiny.scene;
    const int G = 1024;
    std::vector<uint32_t> buffer(G + 140 * 105 + G, 0u);
    uint32_t* panel = buffer.data() + G;
    g_panelTarget.Begin3D();
    fs.DrawFaceFlares(panel);
    g_panelTarget.End3D();
    // Size 100 / 10 = 10 around (70, 52): columns 65-74, rows 47-56.
    for (int y = 0; y < 105; y++)
        for (int x = 0; x < 140; x++) {
            bool inside = x >= 65 && x < 75 && y >= 47 && y < 57;
            ASSERT_EQ(panel[y * 140 + x], inside ? 0x00101010u : 0u) << x << ", " << y;
        }
    EXPECT_EQ(tiny.light.viewPosition[0], 0.0f);
    EXPECT_EQ(tiny.light.viewPosition[2], 10.0f);

    // A flare far larger than the panel, close to the camera, stays inside.
    tiny.lens.scale = 1e9f;
    for (int i = 0; i < 3; i++)
        tiny.vertices[i].viewPosition[2] = 0.5f;
    g_panelTarget.Begin3D();
    fs.DrawFaceFlares(panel);
    g_panelTarget.End3D();
    for (int i = 0; i < G; i++) {
        ASSERT_EQ(buffer[i], 0u);
        ASSERT_EQ(buffer[G + 140 * 105 + i], 0u);
    }
    EXPECT_EQ(panel[0], 0x00101010u);
    EXPECT_EQ(panel[140 * 105 - 1], 0x00101010u);
    g_x3d.scene = nullptr;
}

TEST(FlareTime, SceneStepsByWholeFramesAtTwentyFiveASecond)
{
    uint32_t carry = 0;
    int frames = 0;
    for (int i = 0; i < 8; i++)
        frames += FlareSceneFrames(35, carry);
    EXPECT_EQ(frames, 7);
    EXPECT_EQ(carry, 0u);
    EXPECT_EQ(FlareSceneFrames(40, carry), 1);
    EXPECT_EQ(FlareSceneFrames(39, carry), 0);
    EXPECT_EQ(FlareSceneFrames(1000 - 39 + 1, carry), 25);
}

// The part with the show's archive, against a music position the test sets.

class FlarePart : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        startEngines();
        std::string folder = showFolder("flare");
        ASSERT_FALSE(folder.empty());
        ASSERT_EQ(chdir(folder.c_str()), 0);
        ASSERT_EQ(g_fileIO.Open("demo.pak"), 0);
        g_pFileIO = &g_fileIO;
        RotoInit();
        FlareInit();
        FlareSceneCreate(140, 105);
        loaded = true;
    }
    void SetUp() override
    {
        ASSERT_TRUE(loaded);
        platSetClock(walkingClock, nullptr);
        g_readMusicPosition = fixedPosition;
        g_now = 1000;
        g_lastFrameTick = 1000;
        g_flare = FlareStartState();
        memset(g_chainStarted, 0, (size_t)g_chainSteps);
        while (xSysTimerCount())
            xSysRemoveTimer(g_xSys.timers[0].callback);
        xSysAddTimer(ChainTimer("FlareFrame"), 0);
    }
    void TearDown() override
    {
        platSetClock(nullptr, nullptr);
        g_readMusicPosition = nullptr;
    }
    static void moveTo(int order, int row)
    {
        g_position = at(order, row);
        UpdateMusicPosition();
    }
    static bool loaded;
};
bool FlarePart::loaded = false;

TEST_F(FlarePart, LoadsTheSceneWithItsCameraAndFlareLight)
{
    ASSERT_TRUE(g_flareScene && g_flareScene->flareLight);
    EXPECT_EQ(g_flareScene->flareLight->lensFlare->scale, 1000.0f);
    ASSERT_TRUE(g_setFlareSize);
    g_setFlareSize(800.0f);
    EXPECT_EQ(g_flareScene->flareLight->lensFlare->scale, 800.0f);
    EXPECT_EQ(g_flareScene->target.width, 640);
    EXPECT_EQ(g_panelTarget.height, 105);
}

TEST_F(FlarePart, OpensWhiteAndCrossFadesToTheNextPartInOrder27)
{
    moveTo(CUE_FLARE, 0);
    ChainTimer("FlareFrame")(1);
    EXPECT_EQ(g_flare.whiteFlash, 245);
    EXPECT_EQ(g_x3d.scene, g_flareScene->scene);
    moveTo(kFlareCrossFade.order, kFlareCrossFade.row - 1);
    ChainTimer("FlareFrame")(1);
    EXPECT_EQ(g_flare.caption, 10);
    EXPECT_EQ(g_flare.crossFade, 0);
    moveTo(kFlareCrossFade.order, kFlareCrossFade.row);
    for (int frame = 1; frame <= 13; frame++) {
        ChainTimer("FlareFrame")(1);
        EXPECT_EQ(g_flare.crossFade, frame < 13 ? frame * 20 : 255);
        ASSERT_TRUE(xSysFindTimer(ChainTimer("FlareFrame"))) << frame;
    }
    EXPECT_EQ(g_flare.caption, 0);
    ChainTimer("FlareFrame")(1); // hands over before drawing
    EXPECT_FALSE(xSysFindTimer(ChainTimer("FlareFrame")));
    EXPECT_TRUE(xSysFindTimer(ChainTimer("RotoFrame")));
}

TEST_F(FlarePart, SceneTimeFollowsTheShowsPace)
{
    g_flareScene->SelectCamera();
    moveTo(CUE_FLARE, 32);
    g_frameTime = 35;
    for (int i = 0; i < 8; i++)
        FlareDraw();
    EXPECT_EQ(g_flare.sceneTime, 7.0f);
    EXPECT_EQ(g_flare.calendarY, 250 - 8);
    g_frameTime = 40;
    FlareDraw();
    EXPECT_EQ(g_flare.sceneTime, 8.0f);
}

TEST_F(FlarePart, AShowStartedLaterStillLeavesTheFlareSceneCurrent)
{
    static x3dScene other;
    g_x3d.scene = &other;
    moveTo(CUE_ROTO, 0);
    ChainTimer("FlareFrame")(1);
    EXPECT_FALSE(xSysFindTimer(ChainTimer("FlareFrame")));
    EXPECT_EQ(g_x3d.scene, g_flareScene->scene);
    EXPECT_EQ(g_x3d.camera, x3dFindCamera("Camera01", g_flareScene->scene));
}

} // namespace
