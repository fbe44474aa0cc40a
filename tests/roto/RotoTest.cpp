// The roto-zoom and the circles' return with the show's own pictures: where
// the turned copies live, and what the music position starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "X2d/X2dspr.h"
#include "X3d/X3d.h"
#include "parts/Part_1.h"
#include "parts/ShowState.h"
#include "parts/rotoPart.h"
#include "platform/Plat.h"
#include "tests/common/ShowStart.h"

namespace {

uint32_t g_now = 1000;
uint32_t testTicks() { return g_now; }

const uint32_t kGuard = 0xA5C35A3Cu;
// The greetings' background block, a guard pixel everywhere.
std::vector<uint32_t> g_block(SHOW_LETTERBOX_PIXELS, kGuard);

class RotoParts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platSetClock(testTicks, nullptr);
        startShowScreen();
        x3dInit(640, 480, nullptr);
        ASSERT_EQ(g_fileIO.Open(QH_DEMO_PAK), 0);
        g_pFileIO = &g_fileIO;
        srand(20);
        Part1Init();
        g_greetScratch = g_block.data();
        CirclesInit();
        RotoInit();
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
    EXPECT_EQ(g_rotoBufferA->pixels, g_block.data());
    EXPECT_EQ((uint8_t*)g_rotoBufferB->pixels - (uint8_t*)g_block.data(), 264000);
    g_musicOrder = 28;
    g_musicRow = 0;
    std::vector<uint8_t> drawn(g_block.size(), 0);
    for (int frame = 0; frame < 220; frame++) { // angle A wraps past 4.0 at frame 200
        RotoDraw();
        for (size_t i = 0; i < g_block.size(); i++)
            drawn[i] |= g_block[i] != kGuard;
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
            outside += g_block[i] != kGuard;
    }
    EXPECT_EQ(outside, 0u);
    EXPECT_EQ(insideA, aEnd); // cleared every frame
    EXPECT_EQ(insideB, bEnd - bBegin);
    // The gull is drawn over the sea near buffer A's centre.
    const xRotoCentres c = RotoCentres(g_roto.angleA, g_roto.angleB, g_roto.swing);
    EXPECT_NE(g_picture[c.yA * SHOW_WIDTH + c.xA], g_rotoBackground->pixels[c.yA * SHOW_WIDTH + c.xA]);
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

} // namespace
