// The closing words and the end scroller with the show's own pictures: the
// panel buffers in the greetings' block, the animations' pace, the column's
// loop, the particle swarm, the panorama's seam and the falling letters run
// underneath for the first frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2danim.h"
#include "X2d/X2dspr.h"
#include "parts/Part_10.h"
#include "parts/PartLinks.h"
#include "parts/pstdemop.h"
#include "parts/rotoPart.h"
#include "tests/common/ShowStart.h"

namespace {

const uint32_t kGuard = 0xA5C35A3Cu;

class Closing : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(startCredits(QH_DEMO_PAK));
        RotoInit();
        g_panelTarget.Init(PANEL_W, PANEL_H);
        Part10Init();
        EndInit();
    }
    void SetUp() override
    {
        g_closing = ClosingStartState();
        g_frameTime = 35;
        g_musicOrder = 34;
        g_musicRow = 10;
    }
};

std::vector<const x2dSpriteOps*> drawingPaths()
{
    std::vector<const x2dSpriteOps*> paths = {&x2dSpriteX86Ops};
    if (x2dSpriteHasMMXPath() && x2dDetectMMX())
        paths.push_back(&x2dSpriteMMXOps);
    return paths;
}

TEST_F(Closing, BlendIntoAPanelWritesThatPanelOnlyOnBothPaths)
{
    PanelColumn& c = g_panelColumn;
    uint32_t* const block = g_greetScratch;
    for (int b = 0; b < 4; b++)
        EXPECT_EQ((uint8_t*)c.buffers[b]->pixels - (uint8_t*)block, b * 58800);
    std::vector<uint32_t> saved(block, block + SHOW_LETTERBOX_PIXELS);
    const size_t panel = PANEL_W * PANEL_H;
    x2dSprite* work = c.buffers[3];
    const x2dSpriteOps* ops = work->ops;
    for (const x2dSpriteOps* path : drawingPaths()) {
        std::fill(block, block + SHOW_LETTERBOX_PIXELS, kGuard);
        for (size_t i = 0; i < panel; i++)
            work->pixels[i] = (uint32_t)(i * 2654435761u) & 0xFFFFFF;
        std::vector<uint32_t> before(block, block + SHOW_LETTERBOX_PIXELS);
        work->ops = path;
        for (uint32_t level = 1; level <= 254; level++) {
            g_panelTarget.Begin2D();
            work->DrawBlendNoClip(0, 0, level, c.buffers[0]->pixels);
            g_panelTarget.End2D();
        }
        size_t changedInside = 0, changedOutside = 0;
        for (size_t i = 0; i < before.size(); i++)
            (i < panel ? changedInside : changedOutside) += block[i] != before[i];
        EXPECT_EQ(changedOutside, 0u);
        EXPECT_EQ(changedInside, panel);
    }
    work->ops = ops;
    std::copy(saved.begin(), saved.end(), block);
}

TEST_F(Closing, AnimationsAdvanceAtTheirStepsPace)
{
    PanelColumn& c = g_panelColumn;
    const int steps[4] = {70, 25, 50, 80};
    const int buffer[4] = {0, 1, 1, 2};
    int advances[4] = {};
    for (int32_t& level : c.levels)
        level = 255;
    for (int frame = 0; frame < 44; frame++)
        for (int a = 0; a < 4; a++) {
            const int32_t was = c.animations[a]->current;
            c.StepAnimation(a, steps[a], c.buffers[buffer[a]]);
            advances[a] += c.animations[a]->current != was;
        }
    EXPECT_EQ(advances[0], 11); // step 70
    EXPECT_EQ(advances[2], 8);  // step 50
    EXPECT_EQ(advances[3], 11); // step 80
    EXPECT_EQ(advances[1], 4);  // step 25
}

TEST_F(Closing, ColumnSkipsPanelsAboveAndStopsBelowTheLetterbox)
{
    PanelColumn& c = g_panelColumn;
    struct Case {
        int32_t y;
        bool drawn[9];
    } cases[] = {
        // Panels 0 and 1 wholly above (tops -216, -106), 2-4 on, 5 below.
        {-216, {false, false, true, true, true, false, false, false, false}},
        // Panel 0's top at -105 is drawn, panel 4's at 335 ends the loop.
        {-105, {true, true, true, true, false, false, false, false, false}},
        // Panel 0 above; panel 4's top at 250 is drawn, panel 5's ends it.
        {-190, {false, true, true, true, true, false, false, false, false}},
        // The last panel alone.
        {-880, {false, false, false, false, false, false, false, false, true}},
    };
    for (const Case& k : cases) {
        for (int32_t& level : c.levels)
            level = 0;
        const int32_t phase = g_particleBox.phaseB;
        c.Draw(k.y, g_picture);
        EXPECT_EQ(c.levels[0] != 0, k.drawn[0]) << k.y;
        EXPECT_EQ(c.levels[2] != 0, k.drawn[2]) << k.y;
        EXPECT_EQ(g_particleBox.phaseB != phase, k.drawn[3]) << k.y;
        EXPECT_EQ(c.levels[3] != 0, k.drawn[4]) << k.y;
        EXPECT_EQ(c.levels[1] != 0, k.drawn[8]) << k.y;
    }
}

TEST_F(Closing, ParticlesStayInRangeAndInsideTheirPanel)
{
    ParticleBox box = g_particleBox;
    const int32_t phaseA = box.phaseA, phaseB = box.phaseB;
    EXPECT_EQ(box.sine[0], 128);
    EXPECT_EQ(box.sine[64], 255);
    EXPECT_EQ(box.cosine[0], 0); // trunc(128 cos 0) - 128 = 0
    for (int i = 0; i < 256; i++)
        EXPECT_GE(box.sine[i] + box.cosine[i], 1) << i;
    const size_t panel = PANEL_W * PANEL_H, guard = 700;
    std::vector<uint32_t> buffer(panel + 2 * guard, kGuard);
    for (int frame = 0; frame < 1000; frame++)
        box.Update(buffer.data() + guard);
    for (int k = 0; k < PARTICLE_COUNT; k++) {
        ASSERT_TRUE(box.x[k] >= 0 && box.x[k] < PARTICLE_X_RANGE) << k;
        ASSERT_TRUE(box.y[k] >= 0 && box.y[k] < PARTICLE_Y_RANGE) << k;
    }
    for (size_t i = 0; i < guard; i++) {
        ASSERT_EQ(buffer[i], kGuard);
        ASSERT_EQ(buffer[guard + panel + i], kGuard);
    }
    EXPECT_EQ(box.phaseA - phaseA, 2000);
    EXPECT_EQ(box.phaseB - phaseB, -1000);
    // The particles are drawn over the background in their greys.
    size_t grey = 0;
    for (size_t i = 0; i < panel; i++) {
        const uint32_t p = buffer[guard + i] & 0xFFFFFF;
        grey += (p & 0xFF) >= 128 && p == 0x010101u * (p & 0xFF) && p != (box.background[i] & 0xFFFFFF);
    }
    EXPECT_GT(grey, 100u);
}

TEST_F(Closing, PanoramaCoversTheLetterboxWithoutASeam)
{
    std::vector<uint32_t> picture(SHOW_PICTURE_PIXELS);
    for (int32_t x : {0, 1, 639, 640}) {
        std::fill(picture.begin(), picture.end(), kGuard);
        EndScrollDraw(x, picture.data());
        for (int col = 0; col < SHOW_WIDTH; col++) {
            // The panorama's column (col - x) mod 1200, drawn alone at the
            // left edge, is what must be there.
            const int source = ((col - x) % END_SCROLL_W + END_SCROLL_W) % END_SCROLL_W;
            std::vector<uint32_t> alone(SHOW_PICTURE_PIXELS, kGuard);
            EndScrollDraw(-source, alone.data());
            for (int row = 0; row < SHOW_LETTERBOX_ROWS; row += 7)
                ASSERT_EQ(picture[row * SHOW_WIDTH + col], alone[row * SHOW_WIDTH]) << x << " " << col;
        }
        for (size_t i = SHOW_LETTERBOX_PIXELS; i < picture.size(); i++)
            ASSERT_EQ(picture[i], kGuard);
    }
}

int g_fallCalls = 0;
bool g_fallPictureRight = true;
void countFall(uint32_t)
{
    g_fallCalls++;
    g_fallPictureRight &= g_picture == g_rotoBack->pixels;
}

TEST_F(Closing, FallingLettersRunUnderTheFirstElevenFrames)
{
    void (*fall)(uint32_t) = g_runFallStep;
    g_runFallStep = countFall;
    uint32_t* const picture = g_picture;
    for (int frame = 0; frame < 20; frame++) {
        Part10Draw();
        EXPECT_EQ(g_picture, picture);
    }
    g_runFallStep = fall;
    EXPECT_EQ(g_fallCalls, 11);
    EXPECT_TRUE(g_fallPictureRight);
    EXPECT_EQ(g_closing.fallLevel, 0);
    EXPECT_EQ(g_closing.columnY, SHOW_LETTERBOX_ROWS - 20 * 3); // trunc(35 x -0.11) = -3
    // Lines 45-114 above the letterbox hold only "we".
    for (int line = 45; line < 67; line++)
        for (int x = 0; x < SHOW_WIDTH; x++)
            ASSERT_EQ(g_frameBuffer[line * SHOW_WIDTH + x] & 0xFFFFFF, 0u);
}

} // namespace
