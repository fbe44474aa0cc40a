#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "X2d/X2d.h"
#include "app/Timeline.h"
#include "parts/Part_10.h"
#include "parts/rotoPart.h"
#include "system/Xsystem.h"
#include "tests/common/ShowStart.h"
#include "tests/common/TestClock.h"

namespace {

std::vector<decltype(xChainStep::draw)> g_draws; // the chain's own while the suite runs

class Timeline : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        startShowScreen();
        // No part's pictures are loaded here: every step clears its
        // rectangle instead of drawing, until the suite ends.
        g_draws.resize((size_t)g_chainSteps);
        for (int i = 0; i < g_chainSteps; i++)
            g_draws[(size_t)i] = std::exchange(g_chain[i].draw, nullptr);
    }
    static void TearDownTestSuite()
    {
        for (int i = 0; i < g_chainSteps; i++)
            g_chain[i].draw = g_draws[(size_t)i];
    }
    void SetUp() override
    {
        platSetClock(walkingClock, nullptr);
        g_readMusicPosition = fixedPosition;
        g_now = 1000;
        g_position = 0;
        g_lastFrameTick = 1000;
        g_roto.fallEnded = 0;
        g_closing.endLevel = 255;
        memset(g_chainStarted, 0, (size_t)g_chainSteps);
        while (xSysTimerCount())
            xSysRemoveTimer(g_xSys.timers[0].callback);
        g_xSys.active = 1;
        trace.clear();
    }
    void TearDown() override
    {
        platSetClock(nullptr, nullptr);
        g_readMusicPosition = nullptr;
        g_chainTrace = nullptr;
    }

    // Runs the main loop with the position timer and the given frame timer
    // until the show quits or the pass limit ends it.
    int runShow(xSysTimer first, int passLimit)
    {
        passes = 0;
        limit = passLimit;
        traceFile = tmpfile();
        g_chainTrace = traceFile;
        // In the show's order: the keyboard's place, the position, the frame.
        xSysAddTimer(countPasses, 0);
        xSysAddTimer(UpdateMusicPosition, 0);
        xSysAddTimer(first, 0);
        xSysRun();
        rewind(traceFile);
        char line[128];
        while (fgets(line, sizeof line, traceFile))
            trace.push_back(std::string(line, strcspn(line, "\n")));
        fclose(traceFile);
        g_chainTrace = nullptr;
        return passes;
    }
    static void countPasses(uint32_t)
    {
        if (++passes >= limit)
            platPostQuitMessage(0);
    }

    static int passes, limit;
    static FILE* traceFile;
    std::vector<std::string> trace;
};
int Timeline::passes, Timeline::limit;
FILE* Timeline::traceFile;

TEST_F(Timeline, PacingMeasuresAtLeastTheMinimumAndTakesAFreshTick)
{
    g_now = 1010;
    WaitNextFrame(35);
    EXPECT_EQ(g_frameTime, 35u);
    // The tick that ended the wait was 1035; the frame starts at a new reading.
    EXPECT_EQ(g_lastFrameTick, 1036u);

    g_now = g_lastFrameTick + 80; // a slow frame: no waiting, the true time is kept
    WaitNextFrame(50);
    EXPECT_EQ(g_frameTime, 80u);
}

TEST_F(Timeline, HandOverBeforePacingKeepsTheLastFrameTick)
{
    g_position = at(10, 0);
    UpdateMusicPosition(); // the opening tests the position read on the last pass
    xSysAddTimer(ChainTimer("Part1Frame"), 0);
    g_now = 5000;
    ChainTimer("Part1Frame")(1);
    EXPECT_EQ(g_lastFrameTick, 1000u);
    EXPECT_FALSE(xSysFindTimer(ChainTimer("Part1Frame")));
    EXPECT_TRUE(xSysFindTimer(ChainTimer("Part2Frame")));

    // The fish test after pacing: the pace runs, then the hand-over.
    g_position = at(13, 0);
    UpdateMusicPosition();
    ChainTimer("Part2Frame")(1);
    EXPECT_GT(g_lastFrameTick, 5000u);
    EXPECT_TRUE(xSysFindTimer(ChainTimer("Part3Frame")));
}

TEST_F(Timeline, SkippedOrdersStillRunEveryTimerOnce)
{
    g_position = at(30, 5); // the music is already at the circles
    runShow(ChainTimer("Part1Frame"), 12);
    std::vector<std::string> expected = {"Part1Frame 30 5", "Part2Frame 30 5", "Part3Frame 30 5",
                                         "GreetFrame 30 5", "Credits1Frame 30 5", "Credits2Frame 30 5",
                                         "FlareFrame 30 5", "RotoFrame 30 5"};
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(xSysFindTimer(ChainTimer("CirclesFrame")));
    EXPECT_EQ(xSysTimerCount(), 3); // the pass counter, position, circles
}

TEST_F(Timeline, EndedMusicRunsTheChainToItsEnd)
{
    g_position = 0xFFFFFFFFu;
    int used = runShow(ChainTimer("Part1Frame"), 200);
    EXPECT_LT(used, 200); // the show quit by itself
    ASSERT_EQ(trace.size(), 11u);
    EXPECT_EQ(trace[0], "Part1Frame 65535 65535");
    EXPECT_EQ(trace[10], "Part10Frame 65535 65535");
    EXPECT_TRUE(g_roto.fallEnded);
}

TEST_F(Timeline, EndingFadesForEighteenFramesThenQuits)
{
    static int firstCalls = 0;
    g_chain[g_chainSteps - 1].firstCall = [] { firstCalls++; };
    g_position = at(38, 10);
    xSysAddTimer(ChainTimer("EndFrame"), 0);
    // Before the last phrase the level falls from 255 by 25 a frame.
    for (int i = 0; i < 3; i++)
        ChainTimer("EndFrame")(1);
    EXPECT_EQ(g_closing.endLevel, 255 - 75);
    EXPECT_EQ(firstCalls, 1);
    g_chain[g_chainSteps - 1].firstCall = nullptr;
    for (int i = 0; i < 20; i++)
        ChainTimer("EndFrame")(1);
    EXPECT_EQ(g_closing.endLevel, 0);

    g_position = at(38, 41);
    int frames = 0;
    PlatMsg msg;
    while (platPeekMessage(&msg)) {
    }
    bool quit = false;
    while (!quit && frames < 40) {
        ChainTimer("EndFrame")(1);
        frames++;
        while (platPeekMessage(&msg))
            quit = quit || msg.message == WM_QUIT;
    }
    EXPECT_EQ(frames, 18);
    for (int i = 0; i < 640 * 480; i++)
        ASSERT_EQ(g_frameBuffer[i], 0u);
}

TEST_F(Timeline, UnbuiltPartsDrawBlackOverTheirRectangle)
{
    for (int i = 0; i < 640 * 480; i++)
        g_frameBuffer[i] = 0x00FFFFFF;
    g_position = at(34, 0);
    UpdateMusicPosition();
    ChainTimer("Part10Frame")(1); // presents lines 67 to 433
    EXPECT_EQ(g_frameBuffer[67 * 640], 0u);
    EXPECT_EQ(g_frameBuffer[433 * 640 + 639], 0u);
    EXPECT_EQ(g_frameBuffer[66 * 640], 0x00FFFFFFu);
    EXPECT_EQ(g_frameBuffer[434 * 640], 0x00FFFFFFu);
}

TEST_F(Timeline, EndAtOrderQuitsWhenTheMusicGetsThere)
{
    g_endAtOrder = 12;
    g_position = at(11, 63);
    UpdateMusicPosition();
    PlatMsg msg;
    bool quit = false;
    while (platPeekMessage(&msg))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_FALSE(quit);
    g_position = at(12, 0);
    UpdateMusicPosition();
    while (platPeekMessage(&msg))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_TRUE(quit);
    EXPECT_EQ(g_musicOrder, 12);
    EXPECT_EQ(g_musicRow, 0);
    EXPECT_EQ(g_endAtOrder, -1);
}
} // namespace
