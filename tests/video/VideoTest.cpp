#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <tuple>

#include "VideoHelpers.h"
#include "platform/Hermes.h"

using ::testing::ExitedWithCode;

namespace {

const PlatDisplayMode kNo640[] = {{800, 600, 32}, {1024, 768, 16}, {320, 200, 8}};

int g_begins = 0, g_ends = 0, g_modeEvents = 0;
uint32_t g_lastModeFlag = 99;
void onBegin(void*) { g_begins++; }
void onEnd(void*) { g_ends++; }
void onMode(void* data)
{
    g_modeEvents++;
    g_lastModeFlag = *(uint32_t*)data;
}

// Runs in a child process: the mode choice for a request against a list.
void chooseAndReport(std::vector<PlatDisplayMode> modes, int bpp)
{
    startVideo(modes.data(), (int)modes.size());
    int r = xVideoGetActualMode(640, 480, bpp);
    fprintf(stderr, "result=%d depth=%d\n", r, xVideoDisplayDepth());
    exit(0);
}

TEST(VideoModes, ExactSubstituteOrMissing)
{
    EXPECT_EXIT(chooseAndReport({{640, 480, 16}, {640, 480, 32}}, 32), ExitedWithCode(0), "result=0 depth=32");
    EXPECT_EXIT(chooseAndReport({{640, 480, 16}, {800, 600, 32}}, 32), ExitedWithCode(0), "result=2 depth=16");
    // The order of preference, whatever the order of the list.
    EXPECT_EXIT(chooseAndReport({{640, 480, 16}, {640, 480, 24}}, 32), ExitedWithCode(0), "result=2 depth=24");
    EXPECT_EXIT(chooseAndReport({{640, 480, 24}, {640, 480, 32}}, 16), ExitedWithCode(0), "result=2 depth=32");
    EXPECT_EXIT(chooseAndReport({{640, 480, 16}, {640, 480, 32}}, 24), ExitedWithCode(0), "result=2 depth=32");
    EXPECT_EXIT(chooseAndReport({{640, 480, 16}}, 24), ExitedWithCode(0), "result=2 depth=16");
    EXPECT_EXIT(chooseAndReport({{800, 600, 32}}, 32), ExitedWithCode(0), "result=1 depth=32");
    EXPECT_EXIT(chooseAndReport({}, 16), ExitedWithCode(0), "result=1 depth=16");
}

TEST(VideoModes, UnusableRequestsAreAssertions)
{
    EXPECT_EXIT(chooseAndReport({{640, 480, 32}}, 15), ExitedWithCode(3),
                "Error: xVideoGetActualMode:: 15bpp not supported\nFile system/Xvideo.cpp\nLine 718");
    EXPECT_EXIT(chooseAndReport({{640, 480, 8}}, 32), ExitedWithCode(3), "please report.*\nFile system/Xvideo.cpp\nLine 787");
}

TEST(VideoModes, SixtyFourModesAtMost)
{
    std::vector<PlatDisplayMode> modes;
    for (int i = 0; i < 64; i++)
        modes.push_back(PlatDisplayMode{320 + i * 8, 240, 32});
    auto run = [](std::vector<PlatDisplayMode> list) {
        startVideo(list.data(), (int)list.size());
        fprintf(stderr, "modes=%d\n", xVideoModeCount());
        exit(0);
    };
    EXPECT_EXIT(run(modes), ExitedWithCode(0), "modes=64");
    modes.push_back(PlatDisplayMode{640, 480, 32});
    EXPECT_EXIT(run(modes), ExitedWithCode(3), "Error: DDraw_DisplayModesCallBack:: Limit of 64 video modes exceeded");
}

typedef std::set<std::tuple<int, int, int>> ModeSet;
bool collectMode(const PlatDisplayMode& m, void* ctx)
{
    ((ModeSet*)ctx)->insert(std::make_tuple(m.width, m.height, m.bpp));
    return true;
}

void reportSystemList()
{
    startVideo();
    // Under the dummy driver the system offers only its desktop mode.
    ModeSet seen;
    platDisplayEnumModes(collectMode, &seen);
    bool dup = (int)seen.size() != xVideoModeCount();
    fprintf(stderr, "dup=%d 16=%d 24=%d 32=%d\n", dup, (int)seen.count(std::make_tuple(640, 480, 16)),
            (int)seen.count(std::make_tuple(640, 480, 24)), (int)seen.count(std::make_tuple(640, 480, 32)));
    exit(0);
}

TEST(VideoModes, SystemListHas640x480AndNoDuplicates)
{
    EXPECT_EXIT(reportSystemList(), ExitedWithCode(0), "dup=0 16=1 24=1 32=1");
    EXPECT_EXIT(
        {
            setenv("QH_DISPLAY_DEPTH", "16", 1);
            startVideo();
            int r = xVideoGetActualMode(640, 480, 32);
            fprintf(stderr, "result=%d depth=%d\n", r, xVideoDisplayDepth());
            exit(0);
        },
        ExitedWithCode(0), "result=2 depth=16");
}

// A display without 640 x 480: full-screen asks, windowed never does.
TEST(VideoModes, QuestionBoxWithout640x480)
{
    const char* question =
        "Requied video mode : 640x480x32bpp not supported in fullscreen by hardware,procceed in window\\?";
    EXPECT_EXIT(
        {
            setenv("QH_DIALOG_ANSWER", "yes", 1);
            startVideo(kNo640, 3);
            xVideoSetMode(640, 480, 1, 32, 0xff0000, 0xff00, 0xff);
            fprintf(stderr, "fullscreen=%d depth=%d exist=%d\n", xVideoIsFullscreen(), xVideoDisplayDepth(),
                    xVideoObjectsExist());
            exit(0);
        },
        ExitedWithCode(0), std::string(question) + "\n+fullscreen=0 depth=32 exist=1");
    EXPECT_EXIT(
        {
            setenv("QH_DIALOG_ANSWER", "no", 1);
            startVideo(kNo640, 3);
            xVideoSetMode(640, 480, 1, 32, 0xff0000, 0xff00, 0xff);
            exit(0);
        },
        ExitedWithCode(3), std::string(question) + "\n+Error: No supporting video modes found");
    EXPECT_EXIT(
        {
            setenv("QH_DIALOG_ANSWER", "no", 1);
            startVideo(kNo640, 3);
            xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
            fprintf(stderr, "windowed without asking\n");
            exit(0);
        },
        ExitedWithCode(0), "^windowed without asking");
}

TEST(VideoErrors, NamesOfDirectDrawResults)
{
    EXPECT_STREQ("DDERR_SURFACELOST", xVideoErrorName((int32_t)0x887601C2));
    EXPECT_STREQ("DDERR_GENERIC", xVideoErrorName((int32_t)0x80004005));
    EXPECT_STREQ("DDERR_UNSUPPORTED", xVideoErrorName((int32_t)0x80004001));
    EXPECT_STREQ("DDERR_OUTOFMEMORY", xVideoErrorName((int32_t)0x8007000E));
    EXPECT_STREQ("DDERR_INVALIDPARAMS", xVideoErrorName((int32_t)0x80070057));
    EXPECT_STREQ("DDERR_NOTINITIALIZED", xVideoErrorName((int32_t)0x800401F0));
    EXPECT_STREQ("DDERR_ALREADYINITIALIZED", xVideoErrorName((int32_t)0x88760005));
    EXPECT_STREQ("DDERR_CLIPLIST", xVideoErrorName((int32_t)0x887600CD));
    EXPECT_STREQ("DDERR_NOPALETTIZED", xVideoErrorName((int32_t)0x8876024D));
    EXPECT_STREQ("DDERR_NOTPAGELOCKED", xVideoErrorName((int32_t)0x887602A8));
    EXPECT_STREQ("DDERR_UNKNOWN", xVideoErrorName(0));
    EXPECT_STREQ("DDERR_UNKNOWN", xVideoErrorName((int32_t)0x88760246)); // a gap in the numbering
    // 99 different names over the DirectDraw facility and the five COM codes.
    std::set<std::string> names;
    for (uint32_t c = 0x88760000; c < 0x88760300; c++)
        names.insert(xVideoErrorName((int32_t)c));
    for (uint32_t c : {0x80004001u, 0x80004005u, 0x800401F0u, 0x8007000Eu, 0x80070057u})
        names.insert(xVideoErrorName((int32_t)c));
    names.erase("DDERR_UNKNOWN");
    EXPECT_EQ(99u, names.size());
}

TEST(VideoErrors, KeyboardNames)
{
    EXPECT_STREQ("DIERR_OLDDIRECTINPUTVERISON", xKeyboardErrorName(0x8007047E));
    EXPECT_STREQ("DIERR_OTHERAPPHASPRIO", xKeyboardErrorName(0x80070005));
    EXPECT_STREQ("DIERR_INPUTLOST", xKeyboardErrorName(0x8007001E));
    EXPECT_STREQ("DIERR_NOTACQUIRED", xKeyboardErrorName(0x8007000C));
    EXPECT_STREQ("DIERR_BETADIRECTINPUTVERSION", xKeyboardErrorName(0x80070481));
    EXPECT_STREQ("DIERR_UNKNOWN", xKeyboardErrorName(0));
    EXPECT_STREQ("DIERR_UNKNOWN", xKeyboardErrorName(1));
}

TEST(VideoErrors, SurfacesBeforeDirectDraw)
{
    EXPECT_EXIT(xVideoInitSurfaces(), ExitedWithCode(3),
                "Error: xVideoInitSurfaces::DirectDraw7 interface not initialized");
}

// One set of drivers for the rest, as in the program: set up once, modes set
// again and switched by the tests.
class Video : public ::testing::Test {
protected:
    static std::string logName;
    static void SetUpTestSuite()
    {
        logName = scratchFile("video_log.txt");
        startVideo(nullptr, -1, logName.c_str());
        xSysAddResponder(onBegin, XEV_PRESENT_BEGIN, 1);
        xSysAddResponder(onEnd, XEV_PRESENT_END, 1);
        xSysAddResponder(onMode, XEV_VIDEOMODE, 1);
    }
    void SetUp() override
    {
        unsetenv("QH_DISPLAY_DEPTH");
        fflush(g_xLog.file);
        logStart = readWholeFile(logName).size();
        g_begins = g_ends = g_modeEvents = 0;
    }
    std::string newLog()
    {
        fflush(g_xLog.file);
        return readWholeFile(logName).substr(logStart);
    }
    size_t logStart = 0;
};
std::string Video::logName;

TEST_F(Video, WindowedPresentShowsTheFrameBuffer)
{
    xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
    EXPECT_FALSE(xVideoIsFullscreen());
    EXPECT_EQ(1, g_xSys.active);
    EXPECT_EQ(1, g_modeEvents);
    EXPECT_EQ(0u, g_lastModeFlag);
    // A new frame buffer is cleared.
    for (int i = 0; i < 640 * 480; i++)
        ASSERT_EQ(0u, g_frameBuffer[i]) << i;
    drawTestPicture();
    xVideoPresent();
    EXPECT_EQ(1, g_begins);
    EXPECT_EQ(1, g_ends);
    std::vector<uint32_t> shown = readPrimary();
    ASSERT_EQ(640u * 480u, shown.size());
    EXPECT_EQ(0, memcmp(shown.data(), g_frameBuffer, 640 * 480 * 4));

    std::string log = newLog();
    EXPECT_NE(std::string::npos, log.find("XLOG: * video modes found -----------------\n"));
    EXPECT_NE(std::string::npos, log.find("XLOG: enum mode   0: "));
    EXPECT_NE(std::string::npos, log.find("XLOG: ---------------------------------\nXLOG: selected mode : 640 x 480 x 32bpp\n"));
    EXPECT_NE(std::string::npos, log.find("XLOG: videomode: direct\n"));
    EXPECT_NE(std::string::npos, log.find("XLOG: mask.r = 0xFF0000 mask.g = 0xFF00 mask.b = 0xFF .mask.alpha = 0x0\n"));
}

TEST_F(Video, PresentRectShowsOnlyItsRectangle)
{
    for (int fullscreen = 0; fullscreen < 2; fullscreen++) {
        xVideoSetMode(640, 480, fullscreen, 32, 0xff0000, 0xff00, 0xff);
        xVideoPresent();
        for (int i = 0; i < 640 * 480; i++)
            g_frameBuffer[i] = 0x00ffffff;
        xVideoPresentRect(600, 10, 30, 40);
        // A rectangle reaching past the buffer shows its part inside.
        xVideoPresentRect(620, 460, 100, 100);
        std::vector<uint32_t> shown = readPrimary();
        ASSERT_EQ(640u * 480u, shown.size());
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                bool inside = (x >= 600 && x < 630 && y >= 10 && y < 50) || (x >= 620 && y >= 460);
                ASSERT_EQ(inside ? 0xffffffu : 0u, shown[y * 640 + x]) << fullscreen << ": " << x << "," << y;
            }
    }
    g_begins = g_ends = 0;
    xVideoPresentRect(700, 0, 10, 10); // nothing of it inside
    EXPECT_EQ(1, g_begins);
    EXPECT_EQ(1, g_ends);
}

// Checks made in a child process, reported as one line for the parent.
std::string g_childFailures;
#define CHILD_CHECK(cond) \
    do { if (!(cond)) g_childFailures += " [" #cond "]"; } while (0)
void childReport()
{
    fprintf(stderr, "failures:%s\n", g_childFailures.empty() ? " none" : g_childFailures.c_str());
    exit(0);
}

void forcedSixteenBits()
{
    setenv("QH_DISPLAY_DEPTH", "16", 1);
    std::string logName = scratchFile("video_log16.txt");
    startVideo(nullptr, -1, logName.c_str());
    xVideoSetMode(640, 480, 1, 32, 0xff0000, 0xff00, 0xff);
    CHILD_CHECK(xVideoIsFullscreen());
    CHILD_CHECK(xVideoDisplayDepth() == 16);
    drawTestPicture();
    g_frameBuffer[0] = 0x00123456;
    xVideoPresent();
    std::vector<uint32_t> shown = readPrimary();
    CHILD_CHECK(shown.size() == 640u * 480u);
    CHILD_CHECK(shown == frameAt16Bits());
    CHILD_CHECK((shown[0] & 0xff00ff) == 0x100052u); // 5-6-5 on the display

    fflush(g_xLog.file);
    std::string log = readWholeFile(logName);
    CHILD_CHECK(log.find("XLOG: selected mode : 640 x 480 x 16bpp\n") != std::string::npos);
    CHILD_CHECK(log.find("XLOG: entering mode: size_x = 640 size_y = 480 bpp = 16\n") != std::string::npos);
    CHILD_CHECK(log.find("XLOG: videomode: converted\n") != std::string::npos);
    CHILD_CHECK(log.find("XLOG: mask.r = 0xF800 mask.g = 0x7E0 mask.b = 0x1F .mask.alpha = 0x0\n") !=
                std::string::npos);

    // The picture keeps its 4:3 shape, centred, on the whole display.
    PlatRect r = platDisplayPictureRect();
    int ow, oh;
    platDisplayOutputSize(&ow, &oh);
    CHILD_CHECK((r.right - r.left) * 3 == (r.bottom - r.top) * 4);
    CHILD_CHECK(ow - r.right == r.left);
    CHILD_CHECK(oh - r.bottom == r.top);

    // Windowed at the same depth converts as well.
    xVideoChangeCoopLevel(xVideoMainWindow(), 0);
    CHILD_CHECK(readPrimary() == frameAt16Bits());
    childReport();
}

TEST(VideoDepth, FullscreenAtForcedSixteenBitsIsConverted)
{
    EXPECT_EXIT(forcedSixteenBits(), ExitedWithCode(0), "failures: none");
}

void twentyFourBits()
{
    setenv("QH_DISPLAY_DEPTH", "24", 1);
    std::string logName = scratchFile("video_log24.txt");
    startVideo(nullptr, -1, logName.c_str());
    xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
    drawTestPicture();
    g_frameBuffer[5] = 0x00123456;
    xVideoPresent();
    std::vector<uint32_t> shown = readPrimary();
    CHILD_CHECK(shown.size() == 640u * 480u && memcmp(shown.data(), g_frameBuffer, 640 * 480 * 4) == 0);
    xVideoChangeCoopLevel(xVideoMainWindow(), 1);
    CHILD_CHECK(xVideoDisplayDepth() == 24);
    shown = readPrimary();
    CHILD_CHECK(shown.size() == 640u * 480u && memcmp(shown.data(), g_frameBuffer, 640 * 480 * 4) == 0);
    fflush(g_xLog.file);
    CHILD_CHECK(readWholeFile(logName).find("XLOG: videomode: direct\n") != std::string::npos); // same red mask
    childReport();
}

TEST(VideoDepth, TwentyFourBitDisplay)
{
    EXPECT_EXIT(twentyFourBits(), ExitedWithCode(0), "failures: none");
}

TEST_F(Video, ChangeCoopLevelKeepsThePicture)
{
    xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
    drawTestPicture();
    xVideoPresent();
    g_modeEvents = 0;
    g_begins = 0;
    xVideoChangeCoopLevel(xVideoMainWindow(), 0); // already windowed: nothing
    EXPECT_EQ(0, g_modeEvents);
    EXPECT_EQ(0, g_begins);

    xVideoChangeCoopLevel(xVideoMainWindow(), 1);
    EXPECT_TRUE(xVideoIsFullscreen());
    EXPECT_EQ(1, g_modeEvents);
    EXPECT_EQ(1u, g_lastModeFlag);
    EXPECT_EQ(1, g_begins); // the switch presents the picture again
    EXPECT_EQ(1, g_xSys.active);
    EXPECT_EQ(0, memcmp(readPrimary().data(), g_frameBuffer, 640 * 480 * 4));

    xVideoChangeCoopLevel(xVideoMainWindow(), 0);
    EXPECT_FALSE(xVideoIsFullscreen());
    EXPECT_EQ(0u, g_lastModeFlag);
    EXPECT_EQ(0, memcmp(readPrimary().data(), g_frameBuffer, 640 * 480 * 4));
    std::string log = newLog();
    size_t full = log.find("XLOG: change coop level: fullscreen\nXLOG: new mask         : r = 0xFF0000 , g = 0xFF00, b = 0xFF, alpha = 0x0\n");
    size_t win = log.find("XLOG: change coop level: windowed\n");
    EXPECT_NE(std::string::npos, full);
    EXPECT_NE(std::string::npos, win);
    EXPECT_LT(full, win);
}

TEST_F(Video, LostSurfacesAreRestoredAtTheNextPresent)
{
    xVideoSetMode(640, 480, 1, 32, 0xff0000, 0xff00, 0xff);
    drawTestPicture();
    xVideoPresent();
    // Switched away: minimised, surfaces lost; a present drops its frame.
    pushWindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    pumpMessages();
    g_begins = g_ends = 0;
    for (int i = 0; i < 640 * 480; i++)
        g_frameBuffer[i] = 0x000000ff;
    xVideoPresent();
    EXPECT_EQ(1, g_begins);
    EXPECT_EQ(1, g_ends);
    EXPECT_EQ(testPixel(0, 0), readPrimary()[0]); // the dropped frame never showed
    // Back again: the first present restores and shows.
    pushWindowEvent(SDL_WINDOWEVENT_RESTORED);
    pumpMessages();
    g_begins = g_ends = 0;
    xVideoPresent();
    EXPECT_EQ(0xffu, readPrimary()[0]);
    EXPECT_EQ(0xffu, readPrimary()[640 * 480 - 1]);

    // Losing focus loses a full-screen display; a window keeps its own.
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pumpMessages();
    g_frameBuffer[0] = 0x00ff0000;
    xVideoPresent();
    EXPECT_EQ(0xffu, readPrimary()[0]);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pumpMessages();
    xVideoPresent();
    EXPECT_EQ(0xff0000u, readPrimary()[0]);
    g_xSys.active = 1; // the activation messages above do not concern this test
}

TEST_F(Video, PresentBeforeAnyModeDoesNothing)
{
    EXPECT_EXIT(
        {
            startVideo();
            g_begins = 0;
            xSysAddResponder(onBegin, XEV_PRESENT_BEGIN, 1);
            xVideoPresent();
            xVideoPresentRect(0, 0, 10, 10);
            fprintf(stderr, "begins=%d\n", g_begins);
            exit(0);
        },
        ExitedWithCode(0), "begins=0");
}

} // namespace
