#include "platform/internal/PlatCommon.h"
#include "platform/PlatDisplay.h"
#include "platform/sdl/PlatSdl.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <vector>

using ::testing::ExitedWithCode;

namespace {

std::vector<PlatDisplayMode> listModes()
{
    std::vector<PlatDisplayMode> out;
    platDisplayEnumModes(
        [](const PlatDisplayMode& m, void* ctx) {
            ((std::vector<PlatDisplayMode>*)ctx)->push_back(m);
            return true;
        },
        &out);
    return out;
}

bool has(const std::vector<PlatDisplayMode>& l, int w, int h, int b)
{
    for (const PlatDisplayMode& m : l)
        if (m.width == w && m.height == h && m.bpp == b)
            return true;
    return false;
}

void sendWindowEvent(PlatWindow* w, Uint8 event)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    e.window.windowID = SDL_GetWindowID(platSdlWindow(w));
    SDL_PushEvent(&e);
    PlatMsg msg;
    while (platPeekMessage(&msg)) {
    }
}

class Display : public ::testing::Test {
protected:
    static PlatWindow* window;
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(platInit());
        window = platCreateWindow("test", nullptr, 0, 0, 640, 480);
        ASSERT_NE(nullptr, window);
        ASSERT_EQ(PD_OK, platDisplayCreate());
    }
    void TearDown() override
    {
        platDisplaySetModeList(nullptr, -1);
        unsetenv("QH_DISPLAY_MODES");
        unsetenv("QH_DISPLAY_DEPTH");
        platDisplayRestoreMode();
        platDisplaySetCooperativeLevel(window, false);
    }
    // A fresh full-screen chain: primary, back buffer and an off-screen surface.
    void fullscreen(PlatSurface** primary, PlatSurface** back, PlatSurface** off)
    {
        ASSERT_EQ(PD_OK, platDisplaySetCooperativeLevel(window, true));
        ASSERT_EQ(PD_OK, platDisplaySetMode(640, 480, 32));
        ASSERT_EQ(PD_OK, platDisplayCreatePrimary(true, primary));
        ASSERT_EQ(PD_OK, platDisplayGetBackBuffer(*primary, back));
        ASSERT_EQ(PD_OK, platDisplayCreateOffscreen(640, 480, off));
    }
};
PlatWindow* Display::window = nullptr;

TEST_F(Display, ModeLists)
{
    // The system's list always offers 640 x 480, at each depth.
    std::vector<PlatDisplayMode> sys = listModes();
    EXPECT_TRUE(has(sys, 640, 480, 16) && has(sys, 640, 480, 24) && has(sys, 640, 480, 32));
    setenv("QH_DISPLAY_DEPTH", "16", 1);
    for (const PlatDisplayMode& m : listModes())
        EXPECT_EQ(16, m.bpp);
    EXPECT_TRUE(has(listModes(), 640, 480, 16));
    unsetenv("QH_DISPLAY_DEPTH");

    setenv("QH_DISPLAY_MODES", "800x600x32,1024x768x16", 1);
    std::vector<PlatDisplayMode> env = listModes();
    ASSERT_EQ(2u, env.size());
    EXPECT_TRUE(has(env, 800, 600, 32) && has(env, 1024, 768, 16));
    setenv("QH_DISPLAY_MODES", "none", 1);
    EXPECT_TRUE(listModes().empty());
    setenv("QH_DISPLAY_MODES", "800x600", 1); // unreadable: the system's list
    EXPECT_TRUE(has(listModes(), 640, 480, 32));

    PlatDisplayMode one = {320, 200, 8};
    platDisplaySetModeList(&one, 1);
    ASSERT_EQ(1u, listModes().size());
    EXPECT_EQ(8, listModes()[0].bpp);
}

TEST_F(Display, SetModeNeedsExclusiveLevelAndAListedMode)
{
    EXPECT_EQ(PDERR_NOHWND, platDisplaySetCooperativeLevel(nullptr, true));
    ASSERT_EQ(PD_OK, platDisplaySetCooperativeLevel(window, false));
    EXPECT_EQ(PDERR_NOEXCLUSIVEMODE, platDisplaySetMode(640, 480, 32));
    PlatSurface* p = nullptr;
    EXPECT_EQ(PDERR_NOEXCLUSIVEMODE, platDisplayCreatePrimary(true, &p)); // no flipping in a window
    ASSERT_EQ(PD_OK, platDisplaySetCooperativeLevel(window, true));
    EXPECT_EQ(PDERR_INVALIDMODE, platDisplaySetMode(641, 480, 32));
    setenv("QH_DISPLAY_DEPTH", "16", 1);
    EXPECT_EQ(PDERR_INVALIDMODE, platDisplaySetMode(640, 480, 32));
    EXPECT_EQ(PD_OK, platDisplaySetMode(640, 480, 16));
    ASSERT_EQ(PD_OK, platDisplayCreatePrimary(true, &p));
    PlatSurface* q = nullptr;
    EXPECT_EQ(PDERR_PRIMARYSURFACEALREADYEXISTS, platDisplayCreatePrimary(true, &q));
    PlatPixelFormat f;
    ASSERT_EQ(PD_OK, platSurfaceGetPixelFormat(p, &f));
    EXPECT_EQ(16, f.bits);
    EXPECT_EQ(0xf800u, f.red);
    int w, h, pitch;
    ASSERT_EQ(PD_OK, platSurfaceGetSize(p, &w, &h, &pitch));
    EXPECT_EQ(640, w);
    EXPECT_EQ(480, h);
    EXPECT_GE(pitch, 1280);
    platSurfaceRelease(p);
}

TEST_F(Display, LocksFlipsAndBlits)
{
    PlatSurface *primary, *back, *off;
    fullscreen(&primary, &back, &off);
    void* pixels;
    int pitch;
    ASSERT_EQ(PD_OK, platSurfaceLock(back, &pixels, &pitch));
    EXPECT_EQ(PDERR_SURFACEBUSY, platSurfaceLock(back, &pixels, &pitch));
    EXPECT_EQ(PDERR_SURFACEBUSY, platSurfaceFlip(primary)); // not while the back buffer is locked
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            ((uint32_t*)((uint8_t*)pixels + y * pitch))[x] = (uint32_t)(y * 640 + x);
    ASSERT_EQ(PD_OK, platSurfaceUnlock(back));
    EXPECT_EQ(PDERR_NOTLOCKED, platSurfaceUnlock(back));
    ASSERT_EQ(PD_OK, platSurfaceFlip(primary));
    std::vector<uint32_t> shown(640 * 480);
    ASSERT_TRUE(platDisplayReadPrimary(shown.data(), 640, 480));
    EXPECT_EQ(641u, shown[641]);
    EXPECT_EQ(640u * 480u - 1, shown.back());

    // BltFast never clips: rectangles outside either surface are refused.
    PlatRect inside = {600, 400, 640, 480};
    EXPECT_EQ(PDERR_INVALIDRECT, platSurfaceBltFast(primary, 601, 0, off, &inside));
    EXPECT_EQ(PDERR_INVALIDRECT, platSurfaceBltFast(primary, -1, 0, off, &inside));
    PlatRect outside = {600, 400, 641, 480};
    EXPECT_EQ(PDERR_INVALIDRECT, platSurfaceBltFast(primary, 0, 0, off, &outside));
    PlatRect empty = {5, 5, 5, 9};
    EXPECT_EQ(PDERR_INVALIDRECT, platSurfaceBltFast(primary, 0, 0, off, &empty));
    // The off-screen surface is black: a 40 x 80 block of it lands at (0, 0).
    EXPECT_EQ(PD_OK, platSurfaceBltFast(primary, 0, 0, off, &inside));
    ASSERT_TRUE(platDisplayReadPrimary(shown.data(), 640, 480));
    EXPECT_EQ(0u, shown[79 * 640 + 39]);
    EXPECT_EQ(40u, shown[40]);
    EXPECT_EQ(80u * 640u, shown[80 * 640]);

    // Blt clips to both surfaces: 40 x 30 of the 100 x 100 land in the corner.
    PlatRect src = {100, 100, 200, 200}, dst = {600, 450, 700, 550};
    EXPECT_EQ(PD_OK, platSurfaceBlt(off, &dst, primary, &src));
    ASSERT_EQ(PD_OK, platSurfaceLock(off, &pixels, &pitch));
    auto at = [&](int x, int y) { return ((uint32_t*)((uint8_t*)pixels + y * pitch))[x]; };
    EXPECT_EQ(100u * 640u + 100u, at(600, 450));
    EXPECT_EQ(129u * 640u + 139u, at(639, 479));
    EXPECT_EQ(0u, at(599, 450));
    EXPECT_EQ(0u, at(600, 449));
    platSurfaceUnlock(off);

    platSurfaceRelease(off);
    platSurfaceRelease(primary);
    EXPECT_EQ(PDERR_INVALIDPARAMS, platSurfaceLock(back, &pixels, &pitch)); // went with its primary
}

TEST_F(Display, WindowedBlitsUseScreenCoordinates)
{
    platSetWindowRect(window, 100, 50, 640, 480);
    ASSERT_EQ(PD_OK, platDisplaySetCooperativeLevel(window, false));
    PlatSurface *primary, *off;
    ASSERT_EQ(PD_OK, platDisplayCreatePrimary(false, &primary));
    ASSERT_EQ(PD_OK, platDisplayCreateOffscreen(640, 480, &off));
    PlatClipper* clipper;
    ASSERT_EQ(PD_OK, platDisplayCreateClipper(&clipper));
    EXPECT_EQ(PDERR_NOHWND, platSurfaceSetClipper(primary, clipper));
    ASSERT_EQ(PD_OK, platClipperSetWindow(clipper, window));
    ASSERT_EQ(PD_OK, platSurfaceSetClipper(primary, clipper));
    platClipperRelease(clipper); // the primary keeps its own reference

    void* pixels;
    int pitch;
    ASSERT_EQ(PD_OK, platSurfaceLock(off, &pixels, &pitch));
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            ((uint32_t*)((uint8_t*)pixels + y * pitch))[x] = 0x00ffffff;
    ASSERT_EQ(PD_OK, platSurfaceUnlock(off));
    // 30 x 20 pixels to client (10, 20), given in screen coordinates; a second
    // rectangle half outside the client area is cut at its edge.
    PlatRect src = {0, 0, 30, 20}, dst = {110, 70, 140, 90};
    ASSERT_EQ(PD_OK, platSurfaceBlt(primary, &dst, off, &src));
    PlatRect edge = {100 + 630, 50 + 470, 100 + 660, 50 + 490};
    ASSERT_EQ(PD_OK, platSurfaceBlt(primary, &edge, off, &src));
    std::vector<uint32_t> shown(640 * 480);
    ASSERT_TRUE(platDisplayReadPrimary(shown.data(), 640, 480));
    int lit = 0;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            bool inside = (x >= 10 && x < 40 && y >= 20 && y < 40) || (x >= 630 && y >= 470);
            EXPECT_EQ(inside ? 0xffffffu : 0u, shown[y * 640 + x]) << x << "," << y;
            lit += shown[y * 640 + x] != 0;
        }
    EXPECT_EQ(30 * 20 + 10 * 10, lit);
    platSurfaceRelease(off);
    platSurfaceRelease(primary);
}

// The default window on desktops of several shapes, and where the picture
// goes in areas of several shapes.
TEST(WindowSize, DefaultAndPicturePlace)
{
    struct {
        int desktopWidth, desktopHeight, width, height;
    } sizes[] = {
        {1920, 1080, 1280, 960}, {3840, 2160, 2560, 1920}, {2560, 1440, 1280, 960}, {1366, 768, 640, 480},
        {1280, 1024, 640, 480},  {1080, 1920, 640, 480} /* portrait: the width decides */,
        {1423, 1067, 1280, 960}, {1422, 1067, 640, 480} /* 90 % exactly, and just below */,
        {320, 200, 640, 480} /* never below the picture's own size */,
    };
    for (const auto& c : sizes) {
        int w, h;
        platDefaultShownSize(640, 480, c.desktopWidth, c.desktopHeight, &w, &h);
        EXPECT_EQ(c.width, w) << c.desktopWidth << "x" << c.desktopHeight;
        EXPECT_EQ(c.height, h) << c.desktopWidth << "x" << c.desktopHeight;
    }
    struct {
        int areaWidth, areaHeight;
        PlatBox box;
    } places[] = {
        {640, 480, {0, 0, 640, 480}},   {1920, 1080, {240, 0, 1440, 1080}}, {700, 900, {0, 187, 700, 525}},
        {801, 599, {1, 0, 798, 599}},   {1280, 1024, {0, 32, 1280, 960}},   {320, 240, {0, 0, 320, 240}},
        {0, 600, {0, 0, 0, 0}},
    };
    for (const auto& c : places) {
        PlatBox b = platFitPicture(640, 480, c.areaWidth, c.areaHeight);
        EXPECT_TRUE(b.x == c.box.x && b.y == c.box.y && b.width == c.box.width && b.height == c.box.height)
            << c.areaWidth << "x" << c.areaHeight << ": " << b.x << "," << b.y << " " << b.width << "x" << b.height;
    }
}

TEST_F(Display, LostWhileMinimisedOrInTheBackground)
{
    PlatSurface *primary, *back, *off;
    fullscreen(&primary, &back, &off);
    void* pixels;
    int pitch;
    sendWindowEvent(window, SDL_WINDOWEVENT_MINIMIZED);
    EXPECT_TRUE(platSurfaceIsLost(primary));
    EXPECT_TRUE(platSurfaceIsLost(back));
    EXPECT_TRUE(platSurfaceIsLost(off));
    EXPECT_EQ(PDERR_SURFACELOST, platSurfaceLock(back, &pixels, &pitch));
    EXPECT_EQ(PDERR_SURFACELOST, platSurfaceFlip(primary));
    EXPECT_LT(platSurfaceRestore(primary), 0);
    sendWindowEvent(window, SDL_WINDOWEVENT_RESTORED);
    EXPECT_EQ(PD_OK, platSurfaceRestore(primary));
    EXPECT_FALSE(platSurfaceIsLost(back)); // restored with its primary
    EXPECT_TRUE(platSurfaceIsLost(off));
    EXPECT_EQ(PD_OK, platSurfaceRestore(off));

    // Full-screen loses its surfaces with the focus, and gets them back with it.
    sendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_TRUE(platSurfaceIsLost(primary));
    EXPECT_EQ(PDERR_NOEXCLUSIVEMODE, platSurfaceRestore(primary));
    sendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(PD_OK, platSurfaceRestore(primary));
    EXPECT_EQ(PD_OK, platSurfaceRestore(off));
    platSurfaceRelease(off);
    platSurfaceRelease(primary);

    // A window keeps its surfaces when another window takes the focus.
    ASSERT_EQ(PD_OK, platDisplaySetCooperativeLevel(window, false));
    ASSERT_EQ(PD_OK, platDisplayCreatePrimary(false, &primary));
    sendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_FALSE(platSurfaceIsLost(primary));
    sendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    platSurfaceRelease(primary);
}

} // namespace
