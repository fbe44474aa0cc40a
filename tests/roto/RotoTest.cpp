// The roto-zoom, the circles' return and the falling letters with the show's
// own pictures: where the turned copies live, what the music position
// starts, and the falling letters drawn as the closing words' background.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "X2d/X2dspr.h"
#include "X3d/X3d.h"
#include "parts/Part_1.h"
#include "app/Timeline.h"
#include "parts/Credits.h"
#include "parts/PartLinks.h"
#include "parts/rotoPart.h"
#include "platform/Plat.h"
#include "system/Xrand.h"
#include "tests/common/ShowStart.h"

namespace {

uint32_t g_now = 1000;
bool g_walking = false; // every reading moves the clock on, as a busy wait does
uint32_t testTicks() { return g_walking ? g_now++ : g_now; }
int g_presents = 0;
void countPresent(void*) { g_presents++; }

const uint32_t kGuard = 0xA5C35A3Cu;

class RotoParts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platSetClock(testTicks, nullptr);
        ASSERT_TRUE(startCredits(QH_DEMO_PAK));
        Part1Init();
        CirclesInit();
        FallInit();
        RotoInit();
        xSysAddResponder(countPresent, XEV_PRESENT_BEGIN, 0);
    }

    void SetUp() override
    {
        g_roto = RotoStartState();
        memset(g_circleGrid, 0, sizeof g_circleGrid);
    }

    static int activeCells()
    {
        int n = 0;
        for (auto& row : g_circleGrid)
            for (const CircleCell& c : row)
                n += c.active;
        return n;
    }
};

TEST_F(RotoParts, TurnedCopiesStayInTheirTwoBuffersOfTheBlock)
{
    // The greetings' background block, a guard pixel everywhere.
    std::vector<uint32_t> saved(g_greetScratch, g_greetScratch + SHOW_LETTERBOX_PIXELS);
    uint32_t* const block = g_greetScratch;
    std::fill(block, block + SHOW_LETTERBOX_PIXELS, kGuard);
    EXPECT_EQ(g_rotoBufferA->pixels, block);
    EXPECT_EQ((uint8_t*)g_rotoBufferB->pixels - (uint8_t*)block, 264000);
    g_musicOrder = 28;
    g_musicRow = 0;
    std::vector<uint8_t> drawn(SHOW_LETTERBOX_PIXELS, 0);
    for (int frame = 0; frame < 220; frame++) { // angle A wraps past 4.0 at frame 200
        RotoDraw();
        for (size_t i = 0; i < drawn.size(); i++)
            drawn[i] |= block[i] != kGuard;
    }
    EXPECT_FLOAT_EQ(g_roto.angleA, 0.1f + 19 * 0.02f);
    EXPECT_EQ(g_roto.swing, 100);
    const size_t aEnd = 256 * 256, bBegin = 264000 / 4, bEnd = bBegin + 128 * 128;
    size_t outside = 0, insideA = 0, insideB = 0;
    for (size_t i = 0; i < drawn.size(); i++) {
        if (i < aEnd)
            insideA += drawn[i];
        else if (i >= bBegin && i < bEnd)
            insideB += drawn[i];
        else
            outside += block[i] != kGuard;
    }
    EXPECT_EQ(outside, 0u);
    EXPECT_EQ(insideA, aEnd); // cleared every frame
    EXPECT_EQ(insideB, bEnd - bBegin);
    // Buffer B's centre: the swing counter moves it down only.
    const xRotoCentres c = RotoCentres(g_roto.angleA, g_roto.angleB, g_roto.swing);
    const xRotoCentres c40 = RotoCentres(g_roto.angleA, g_roto.angleB, 40);
    EXPECT_EQ(c.yB - c40.yB, 60);
    EXPECT_EQ(c.xB, c40.xB);
    EXPECT_EQ(c.yA, c40.yA);
    std::copy(saved.begin(), saved.end(), block);
}

TEST_F(RotoParts, CaptionsAndFlashFollowTheMusic)
{
    g_musicOrder = 28;
    g_musicRow = 63;
    RotoDraw();
    EXPECT_EQ(g_roto.captionLevel, 0);
    g_musicOrder = 29;
    for (int row = 0; row <= 56; row++) {
        g_musicRow = row;
        RotoDraw();
    }
    EXPECT_EQ(g_roto.flash, 0);
    EXPECT_EQ(g_roto.captionLevel, 255);
    g_musicRow = 57;
    RotoDraw();
    EXPECT_EQ(g_roto.flash, 20);
    EXPECT_EQ(g_roto.captionLevel, 230);
    for (int i = 0; i < 20; i++)
        RotoDraw();
    EXPECT_EQ(g_roto.flash, 255);
    EXPECT_EQ(g_roto.captionLevel, 0);
    EXPECT_EQ(g_picture[100 * SHOW_WIDTH + 5] & 0xFFFFFFu, 0xFFFFFFu);

    // "see you soon" again: up on rows 19-49 of order 31 only.
    int expected = 0;
    for (int order = 30; order <= 31; order++)
        for (int row = 0; row < 64; row++) {
            g_musicOrder = order;
            g_musicRow = row;
            CirclesDraw();
            if (order == 31)
                expected = row >= 19 && row <= 49 ? std::min(expected + 25, 255) : std::max(expected - 10, 0);
            ASSERT_EQ(g_roto.circlesCaption, expected) << order << "/" << row;
        }
    EXPECT_EQ(expected, 255 - 14 * 10); // falling over rows 50-63
}

TEST_F(RotoParts, CirclesPopOnTheDropletRowsOnly)
{
    const int quiet[5][2] = {{11, 15}, {23, 25}, {31, 33}, {43, 47}, {55, 57}};
    for (int order = 30; order <= 31; order++)
        for (int row = 0; row < 64; row++) {
            bool listed = row % 2 == 0;
            for (const auto& q : quiet)
                listed = listed && (row < q[0] || row > q[1]);
            memset(g_circleGrid, 0, sizeof g_circleGrid);
            g_musicOrder = order;
            g_musicRow = row;
            CirclesDraw();
            // The band's rows of the opening are free again: all ten rows take cells.
            ASSERT_EQ(activeCells(), listed ? 1 : 0) << order << "/" << row;
        }
    // The picture rises a row a frame over white.
    EXPECT_EQ(g_roto.slideY, 250 - 128);
    EXPECT_EQ(g_picture[121 * SHOW_WIDTH + 5] & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_NE(g_picture[122 * SHOW_WIDTH + 5] & 0xFFFFFFu, 0xFFFFFFu);
}

TEST_F(RotoParts, FallingLettersDrawnAsTheClosingBackgroundStayInTheirBlock)
{
    // The closing words' way: the once-flag set, g_picture at a 640 x 250
    // block with guard rows after it, the music past the hand-over.
    const int guardRows = 8;
    std::vector<uint32_t> block((size_t)SHOW_WIDTH * (SHOW_LETTERBOX_ROWS + guardRows), kGuard);
    std::vector<uint32_t> screen(g_frameBuffer, g_frameBuffer + SHOW_SCREEN_PIXELS);
    uint32_t* const picture = g_picture;
    g_picture = block.data();
    g_roto.fallEnded = 1;
    g_readMusicPosition = [] { return 35u | 10u << 16; };
    while (xSysTimerCount())
        xSysRemoveTimer(g_xSys.timers[0].callback);
    xSysAddTimer(ChainTimer("Part10Frame"), 0);
    const int presents = g_presents;
    g_walking = true;
    g_lastFrameTick = g_now;
    for (int frame = 0; frame < 30; frame++) { // past the cross-fade
        const uint32_t before = g_now;
        ChainTimer("FallFrame")(1);
        EXPECT_GE(g_now - before, 50u);
    }
    g_walking = false;
    g_readMusicPosition = nullptr;
    g_picture = picture;
    g_roto.fallEnded = 0;

    EXPECT_EQ(g_presents, presents);
    EXPECT_TRUE(xSysFindTimer(ChainTimer("Part10Frame")));
    EXPECT_EQ(xSysTimerCount(), 1); // no hand-over
    EXPECT_TRUE(std::equal(screen.begin(), screen.end(), g_frameBuffer));
    size_t drawn = 0, guards = 0;
    for (size_t i = 0; i < block.size(); i++) {
        if (i < (size_t)SHOW_LETTERBOX_PIXELS)
            drawn += block[i] != kGuard;
        else
            guards += block[i] == kGuard;
    }
    EXPECT_EQ(drawn, (size_t)SHOW_LETTERBOX_PIXELS);
    EXPECT_EQ(guards, (size_t)SHOW_WIDTH * guardRows);
    EXPECT_EQ(g_roto.fallLevel, 255);
    for (const Bubble& b : g_bubbles)
        EXPECT_LT(b.x, 200);
    xSysRemoveTimer(ChainTimer("Part10Frame"));
}

TEST_F(RotoParts, ALetterThatLeftTheTopNeverComesBack)
{
    FallingLetters saved = g_fallingLetters;
    FallingLetters& f = g_fallingLetters;
    f.y[3] = -f.sprites[3]->sizeY; // just above the top
    f.speed[3] = 2;
    f.y[4] = 10; // on the letterbox, drifting up and out
    f.speed[4] = -2;
    std::vector<uint32_t> block(SHOW_LETTERBOX_PIXELS, 0xFFFFFF);
    for (int i = 0; i < 100; i++)
        f.Update(block.data());
    EXPECT_EQ(f.y[3], -f.sprites[3]->sizeY);
    EXPECT_LE(f.y[4] + f.sprites[4]->sizeY, 0);
    EXPECT_GT(f.y[4] + f.sprites[4]->sizeY, -2); // stopped on its first step out
    EXPECT_EQ(f.level, 255);
    // Nothing of letter 3's column is drawn, left of letter 4's.
    for (int y = 0; y < SHOW_LETTERBOX_ROWS; y++)
        for (int x = 38 * 4; x < 38 * 5; x++)
            ASSERT_EQ(block[y * SHOW_WIDTH + x], 0xFFFFFFu) << x << "," << y;
    g_fallingLetters = saved;
}

TEST_F(RotoParts, LettersArePlacedFromRandInTheirOrder)
{
    FallingLetters saved = g_fallingLetters;
    xSrand(7);
    std::vector<int> draws(64);
    for (int& d : draws)
        d = xRand();
    xSrand(7);
    g_fallingLetters.Init();
    size_t k = 0;
    int speed = draws[k++] % 2 + 1;
    const int a = draws[k++] % 300;
    EXPECT_EQ(g_fallingLetters.y[0], a - 50);
    EXPECT_EQ(g_fallingLetters.speed[0], a > 175 ? -speed : speed);
    for (int i = 1; i < FALL_LETTERS; i++) {
        const int y = draws[k++] % 300 - 50;
        int b;
        do
            b = draws[k++] % 2;
        while (b + 1 == g_fallingLetters.speed[i - 1]);
        ASSERT_EQ(g_fallingLetters.y[i], y) << i;
        ASSERT_EQ(g_fallingLetters.speed[i], y > 125 ? -(b + 1) : b + 1) << i;
    }
    EXPECT_EQ(xRand(), draws[k]); // no draw more
    g_fallingLetters = saved;
}

} // namespace
