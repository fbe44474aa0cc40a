// The fish with the show's own pictures: the colour variants, respawning,
// and the end of the part.
#include <cstdlib>
#include <cstring>
#include <set>

#include "OpeningFixture.h"
#include "X2d/X2dspr.h"
#include "parts/Part_2.h"
#include "parts/PartLinks.h"
#include "system/Xrand.h"
#include "tests/images/ImageWriters.h"

namespace {

using Fish = OpeningParts;

TEST_F(Fish, VariantsExchangeTwoChannelsAndKeepAlpha)
{
    // Copy of, and the bytes exchanged (0 blue, 1 green, 2 red).
    const int table[9][3] = {{0, 1, 0}, {2, 2, 1}, {1, 2, 0}, {2, 1, 0}, {0, 2, 0},
                             {1, 2, 1}, {0, 2, 1}, {1, 1, 0}, {2, 2, 0}};
    for (int i = 3; i < 12; i++) {
        const x2dSprite* v = g_fishSprites[i];
        const x2dSprite* f = g_fishSprites[table[i - 3][0]];
        ASSERT_EQ(v->sizeX, f->sizeX);
        ASSERT_EQ(v->sizeY, f->sizeY);
        ASSERT_NE(v->pixels, f->pixels);
        int differ = 0;
        for (int p = 0; p < f->sizeX * f->sizeY; p++) {
            uint8_t want[4];
            memcpy(want, &f->pixels[p], 4);
            std::swap(want[table[i - 3][1]], want[table[i - 3][2]]);
            ASSERT_EQ(memcmp(want, &v->pixels[p], 4), 0) << "F" << i << " pixel " << p;
            differ += v->pixels[p] != f->pixels[p];
        }
        EXPECT_GT(differ, 0) << "F" << i << " looks like its picture";
    }
}

TEST_F(Fish, RespawnAvoidsTheNeighboursSpriteAndStartsLeftOfTheScreen)
{
    xSrand(11);
    FishSwimmer s{};
    for (int k = 0; k < 12; k++) {
        std::set<x2dSprite*> taken;
        for (int n = 0; n < 200; n++) {
            const int offset = 50 * (n % 5);
            s.Respawn(offset, g_fishSprites[k]);
            ASSERT_NE(s.sprite, g_fishSprites[k]);
            ASSERT_EQ(s.x, -offset - s.sprite->sizeX);
            ASSERT_TRUE(s.baseY >= 50 && s.baseY < 150 && s.speed >= 2 && s.speed <= 3 && s.amplitude >= 3 &&
                        s.amplitude <= 6);
            taken.insert(s.sprite);
        }
        EXPECT_EQ(taken.size(), 11u) << "avoiding F" << k;
    }
}

TEST_F(Fish, SwimmerRespawnsOnlyOncePastTheRightEdge)
{
    FishSwimmer s{};
    s.sprite = g_fishSprites[0];
    s.x = 636;
    s.speed = 2;
    s.amplitude = 3;
    s.baseY = 100;
    s.Move(g_fishSprites[1]);
    s.Move(g_fishSprites[1]);
    EXPECT_EQ(s.x, 640);
    s.Move(g_fishSprites[1]);
    EXPECT_NE(s.sprite, g_fishSprites[1]);
    EXPECT_EQ(s.x, -200 - s.sprite->sizeX);
}

TEST_F(Fish, PictureFadesToBlackInSixFramesThenTheTitleFadesOut)
{
    g_openingSlideY = 0.0f;
    g_fish = FishStartState();
    g_fish.titleLevel = 255;
    g_musicOrder = 12;
    g_musicRow = 56;
    for (FishSwimmer& s : g_fishSwimmers)
        s.x = 100;
    const int fades[] = {50, 100, 150, 200, 250, 255};
    for (int f = 0; f < 6; f++) {
        Part2Draw();
        EXPECT_EQ(g_fish.fadeOut, fades[f]);
        EXPECT_EQ(g_fishSwimmers[0].x, 100 + (f + 1) * g_fishSwimmers[0].speed);
    }
    EXPECT_EQ(g_fish.titleLevel, 240);
    int x[FISH_SWIMMERS];
    for (int i = 0; i < FISH_SWIMMERS; i++)
        x[i] = g_fishSwimmers[i].x;
    for (int level = 225; level >= 0; level -= 15) {
        Part2Draw();
        EXPECT_EQ(g_fish.titleLevel, level);
        for (int i = 0; i < FISH_SWIMMERS; i++)
            ASSERT_EQ(g_fishSwimmers[i].x, x[i]) << "fish " << i << " moved";
        EXPECT_EQ(at(0, 0), 0u);
        EXPECT_EQ(at(2, 240), 0u);
        // The title stays over the black while it lasts.
        EXPECT_EQ(at(218 + 200, 32 + 100) != 0, level != 0) << level;
    }
}

void part2Init() { Part2Init(); }

TEST_F(Fish, RefusesACaptionTooLargeAndAMissingSprite)
{
    using namespace qhtest;
    EXPECT_EXIT(initFrom(showArchiveWith("happy.tga", makeTga(469, 20, 24, Bytes(469 * 20 * 3, 9))), part2Init),
                ::testing::ExitedWithCode(3), "Part2Init\\(\\) -> Picture too large for its place -> happy.tga");
    EXPECT_EXIT(
        {
            memset(g_fishSprites, 0, sizeof g_fishSprites);
            g_fishSwimmers[0].Respawn(0, nullptr);
        },
        ::testing::ExitedWithCode(3), "Error: Assertion failed\nFile parts/Part_2.cpp\nLine 68");
}

} // namespace
