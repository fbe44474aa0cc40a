// The opening with the show's own pictures: where and when circles pop and
// how long they live, the band, the letters, the shake, the logo's
// material, and the pictures it refuses.
#include <cstdlib>
#include <cstring>
#include <set>

#include "OpeningFixture.h"
#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "X3d/X3d.h"
#include "parts/Cues.h"
#include "parts/Part_1.h"
#include "parts/PartLinks.h"
#include "system/Xrand.h"
#include "system/Xvideo.h"
#include "tests/images/ImageWriters.h"

namespace {

int activeCells()
{
    int n = 0;
    for (auto& row : g_circleGrid)
        for (const CircleCell& c : row)
            n += c.active;
    return n;
}

class Opening : public OpeningParts {
protected:
    void SetUp() override
    {
        memset(g_circleGrid, 0, sizeof g_circleGrid);
        g_opening = OpeningStartState();
        g_frameTime = 35;
    }
};

// A simulated opening, three frames a row, a cell spawned on every cue row:
// each new cell is apart from the cells alive before it and off the band's
// rows while the band is up, and no more than eleven live at once.
TEST_F(Opening, SpawnedCellsKeepApartAndOffTheBand)
{
    for (unsigned seed : {1u, 7u, 1234u}) {
        xSrand(seed);
        memset(g_circleGrid, 0, sizeof g_circleGrid);
        int spawned = 0;
        for (int order = 0; order < 10; order++)
            for (int row = 0; row < 64; row++)
                for (int f = 0; f < 3; f++) {
                    g_musicOrder = order;
                    g_musicRow = row;
                    g_testNow += 35;
                    CircleCell before[CIRCLE_ROWS][CIRCLE_COLUMNS];
                    memcpy(before, g_circleGrid, sizeof before);
                    if (cueCircleRow(order, row))
                        SpawnCircleCell();
                    auto was = [&](int c, int r) {
                        return c >= 0 && c < CIRCLE_COLUMNS && r >= 0 && r < CIRCLE_ROWS && before[r][c].active;
                    };
                    for (int r = 0; r < CIRCLE_ROWS; r++)
                        for (int c = 0; c < CIRCLE_COLUMNS; c++) {
                            if (!g_circleGrid[r][c].active || before[r][c].active)
                                continue;
                            spawned++;
                            ASSERT_FALSE(was(c - 1, r) || was(c + 1, r) || was(c, r - 1) || was(c, r + 1))
                                << "seed " << seed << " at " << order << "/" << row << ": (" << c << ", " << r << ")";
                            if (order >= 3 && order <= 8) {
                                ASSERT_FALSE(r >= 3 && r <= 6) << order << "/" << row;
                            }
                            if (order >= 5 && order <= 6) {
                                ASSERT_FALSE(r >= 2 && r <= 6) << order << "/" << row;
                            }
                        }
                    DrawCircleCells();
                    ASSERT_LE(activeCells(), 11);
                }
        EXPECT_GT(spawned, 500) << "seed " << seed;
    }
}

TEST_F(Opening, FirstSpawnTakesColumnThenRowOfTheSequence)
{
    g_musicOrder = 1;
    for (unsigned seed : {3u, 99u, 4242u}) {
        xSrand(seed);
        const int c = xRand() % 20;
        const int r = xRand() % 10;
        memset(g_circleGrid, 0, sizeof g_circleGrid);
        xSrand(seed);
        SpawnCircleCell();
        EXPECT_EQ(activeCells(), 1);
        EXPECT_TRUE(g_circleGrid[r][c].active) << "seed " << seed;
        EXPECT_EQ(g_circleGrid[r][c].tick, g_testNow);
    }
}

// The last cell of a row and the first of the next are no neighbours.
TEST_F(Opening, CellsAtTheGridsSidesOnlyCheckNeighboursInside)
{
    g_musicOrder = 1;
    for (int side : {0, 19}) {
        unsigned seed = 1;
        int r = 0;
        for (;; seed++) {
            xSrand(seed);
            const int c = xRand() % 20;
            r = xRand() % 10;
            if (c == side && r > 0 && r < 9)
                break;
        }
        memset(g_circleGrid, 0, sizeof g_circleGrid);
        if (side == 0)
            g_circleGrid[r - 1][19].active = 1;
        else
            g_circleGrid[r + 1][0].active = 1;
        xSrand(seed);
        SpawnCircleCell();
        EXPECT_TRUE(g_circleGrid[r][side].active) << "column " << side << " row " << r;
    }
}

// Which music positions pop a cell, over a whole frame of the opening.
TEST_F(Opening, CellsPopOnTheDropletRows)
{
    const std::set<int> quiet = {12, 14, 24, 32, 44, 46, 56};
    const std::set<int> burst = {0, 20, 26, 34, 36, 40, 42, 50, 55, 61};
    for (int order = 0; order < 10; order++)
        for (int row = 0; row < 64; row++) {
            const bool want = order == 0   ? false
                              : order == 9 ? burst.count(row) > 0
                                           : row % 2 == 0 && !quiet.count(row);
            memset(g_circleGrid, 0, sizeof g_circleGrid);
            g_opening = OpeningStartState();
            g_musicOrder = order;
            g_musicRow = row;
            Part1Draw();
            ASSERT_EQ(activeCells(), want ? 1 : 0) << order << "/" << row;
        }
}

// On 35 ms frames a cell shows its ten frames on ten frames and is freed on
// the eleventh.
TEST_F(Opening, CellPlaysTenFramesThenFrees)
{
    g_musicOrder = 1;
    xSrand(5);
    SpawnCircleCell();
    for (int f = 0; f < 10; f++) {
        DrawCircleCells();
        ASSERT_EQ(activeCells(), 1) << "frame " << f;
        for (auto& row : g_circleGrid)
            for (const CircleCell& c : row)
                if (c.active) {
                    EXPECT_EQ(c.frame, f);
                    EXPECT_EQ(g_circleAnim.frame->pixels, g_circleAnim.frameTable[f]);
                }
        g_testNow += 35;
    }
    DrawCircleCells();
    EXPECT_EQ(activeCells(), 0);
    // One spawned every frame: eleven at most, and that many soon.
    int most = 0;
    for (int f = 0; f < 100; f++) {
        g_testNow += 35;
        SpawnCircleCell();
        most = std::max(most, activeCells());
        DrawCircleCells();
    }
    EXPECT_EQ(most, 11);
}

TEST_F(Opening, BandOpensToRows112To137In24Frames)
{
    g_opening.white = 1;
    g_musicOrder = kOpeningBand.order;
    g_musicRow = kOpeningBand.row; // odd: no circles
    auto column = [](int x, int y0, int y1, uint32_t colour) {
        for (int y = y0; y <= y1; y++)
            if (at(x, y) != colour)
                return false;
        return true;
    };
    for (int f = 1; f <= 40; f++) {
        Part1Draw();
        if (f == 23) {
            EXPECT_EQ(at(300, 112), 0xFFFFFFu) << "full a frame early";
        }
        if (f < 24)
            continue;
        for (int x : {0, 300, 639}) {
            EXPECT_TRUE(column(x, 0, 111, 0xFFFFFF)) << "frame " << f;
            EXPECT_EQ(at(x, 112), 0xF8D2A4u);
            EXPECT_TRUE(column(x, 113, 136, 0xEC870E)) << "frame " << f;
            EXPECT_EQ(at(x, 137), 0xF5BF7Fu);
            EXPECT_TRUE(column(x, 138, 249, 0xFFFFFF)) << "frame " << f;
        }
    }
}

// A show started at order 7 turns white and opens its band as order 3 would.
TEST_F(Opening, LateStartStillTurnsWhiteAndOpensTheBand)
{
    g_musicOrder = 7;
    g_musicRow = 1;
    for (int f = 1; f <= 13; f++) {
        Part1Draw();
        EXPECT_EQ(g_opening.white, f == 13 ? 1 : 0) << "frame " << f;
    }
    for (int f = 0; f < 30; f++)
        Part1Draw();
    EXPECT_EQ(g_opening.bandTop, 113);
    EXPECT_EQ(g_opening.bandBottom, 137);
}

TEST_F(Opening, HalfBlendAveragesInsideTheScreenOnly)
{
    for (int i = 0; i < 640 * 480; i++)
        g_frameBuffer[i] = (uint32_t)i * 2654435761u;
    HalfBlendRect(-10, -3, 700, 300, 0xEC, 0x87, 0x0E, g_picture);
    for (int i = 0; i < 640 * 480; i++) {
        const uint32_t was = (uint32_t)i * 2654435761u;
        const int line = i / 640;
        if (line < 115 || line >= 115 + 280) {
            ASSERT_EQ(g_frameBuffer[i], was) << "line " << line;
            continue;
        }
        const uint32_t want = (((was >> 16 & 255) + 0xEC) / 2) << 16 | (((was >> 8 & 255) + 0x87) / 2) << 8 |
                              ((was & 255) + 0x0E) / 2;
        ASSERT_EQ(g_frameBuffer[i], want) << "line " << line;
    }
}

TEST_F(Opening, LetterGrowsForFiftyOneFramesThenStandsOnTheBand)
{
    LogoLetters& l = g_logoLetters;
    memset(l.shown, 0, sizeof l.shown);
    memset(l.scale, 0, sizeof l.scale);
    l.shown[3] = 1;
    for (int f = 1; f <= 50; f++) {
        l.Draw();
        ASSERT_LT(l.scale[3], 1.0f) << "frame " << f;
    }
    l.Draw();
    EXPECT_EQ(l.scale[3], 1.0f);
    memset(g_picture, 0, 640 * 250 * 4);
    l.Draw();
    int lit = 0, left = 640, right = 0, top = 250, bottom = 0;
    for (int y = 0; y < 250; y++)
        for (int x = 0; x < 640; x++)
            if (at(x, y)) {
                lit++;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(lit, 100);
    EXPECT_GE(left, 232 - 31);
    EXPECT_LT(right, 232 + 31);
    EXPECT_GE(top, 91);
    EXPECT_LT(bottom, 91 + 68);
}

TEST_F(Opening, ShakeMovesTheLetterboxDownAndKeepsItsTop)
{
    const int rows = 270;
    auto v = [](int x, int y) { return (uint32_t)(y * 1000 + x); };
    for (int k = 0; k < 8; k++) {
        for (int y = 0; y < rows; y++)
            for (int x = 0; x < 640; x++)
                g_picture[y * 640 + x] = v(x, y);
        OpeningShake(k, g_picture);
        for (int y = 0; y < rows; y++)
            for (int x = 0; x < 640; x += 13) {
                const bool moved = y >= k && y < 250 + k;
                ASSERT_EQ(g_picture[y * 640 + x], moved ? v(x, y - k) : v(x, y)) << "k " << k << " row " << y;
            }
    }
}

TEST_F(Opening, LogoMaterialWhitensWithoutWrapping)
{
    x3dMaterial m{};
    m.red = 253;
    m.green = 100;
    m.blue = 251;
    BrightenLogoMaterial(&m);
    EXPECT_EQ(m.red, 255);
    EXPECT_EQ(m.green, 105);
    EXPECT_EQ(m.blue, 255);
    EXPECT_EQ(m.packedColour, 0xFF69FFu);
    for (int i = 0; i < 40; i++)
        BrightenLogoMaterial(&m);
    EXPECT_EQ(m.packedColour, 0xFFFFFFu);
    // The logo's time runs at 0.04 frames a millisecond and holds at 350
    // once past the scene's last frame.
    EXPECT_FLOAT_EQ(AdvanceLogoTime(10.0f, 35, 100.0f), 11.4f);
    EXPECT_EQ(AdvanceLogoTime(99.0f, 35, 100.0f), 350.0f);
    EXPECT_EQ(AdvanceLogoTime(350.0f, 35, 100.0f), 350.0f);
}

// The logo step clears picture rows 250-349 after rendering: rows 300-349,
// which nothing else touches, tell whether it ran.
TEST_F(Opening, LogoRendersFromOrder7UntilItsMaterialIsWhite)
{
    ASSERT_NE(g_logoMaterial, nullptr);
    const x3dMaterial kept = *g_logoMaterial;
    auto rendered = [](int order, int red) {
        g_logoMaterial->red = (uint8_t)red;
        for (int i = 300 * 640; i < 350 * 640; i++)
            g_picture[i] = 0x123456;
        g_musicOrder = order;
        g_musicRow = 1;
        Part1Draw();
        return g_picture[320 * 640 + 320] == 0;
    };
    EXPECT_FALSE(rendered(6, 40));
    EXPECT_TRUE(rendered(7, 40));
    EXPECT_TRUE(rendered(8, 254));
    EXPECT_FALSE(rendered(8, 255));
    // Order 9 whitens first: 250 + 5 renders no more.
    EXPECT_FALSE(rendered(9, 250));
    EXPECT_EQ(g_logoMaterial->packedColour >> 16, 255u);
    *g_logoMaterial = kept;
}

TEST_F(Opening, LogoSceneNeedsItsMaterial)
{
    char name[] = "MATERIAL_1", other[] = "MATERIAL_2";
    x3dMaterial materials[2]{};
    materials[0].name = other;
    materials[1].name = name;
    x3dScene scene{};
    scene.materials = materials;
    scene.materialCount = 2;
    x3dScene* const shown = g_openingScene;
    x3dMaterial* const logo = g_logoMaterial;
    OpeningUseLogoScene(&scene);
    EXPECT_EQ(g_logoMaterial, &materials[1]);
    EXPECT_EQ(g_openingScene, &scene);
    g_logoMaterial = logo;
    g_openingScene = shown;
    scene.materialCount = 1;
    EXPECT_EXIT(OpeningUseLogoScene(&scene), ::testing::ExitedWithCode(3),
                "Error: Assertion failed\nFile parts/Part_1.cpp\nLine 216");
}

void part1Init() { Part1Init(); }

TEST_F(Opening, RefusesPicturesThatDoNotFitTheirPlaces)
{
    using namespace qhtest;
    // A circle frame of 91 x 25 would be drawn past the right edge.
    EXPECT_EXIT(initFrom(showArchiveWith("circles.tga", makeTga(91, 250, 24, Bytes(91 * 250 * 3, 9))), part1Init),
                ::testing::ExitedWithCode(3), "Part1Init\\(\\) -> Picture too large for its place -> circles.tga");
    Bytes grey(768);
    for (int i = 0; i < 768; i++)
        grey[i] = (uint8_t)(i / 3);
    EXPECT_EXIT(initFrom(showArchiveWith("grplogo.gif", makeGif(62, 679, Bytes(62 * 679, 200), grey)), part1Init),
                ::testing::ExitedWithCode(3), "LogoLetters::Init\\(\\) -> Wrong size of grplogo.gif");
    EXPECT_EXIT(initFrom(showArchiveWith("grplogo.gif", makeGif(63, 680, Bytes(63 * 680, 200), grey)), part1Init),
                ::testing::ExitedWithCode(3), "LogoLetters::Init\\(\\) -> Wrong size of grplogo.gif");
    EXPECT_EXIT(initFrom(showArchiveWith("mart.tga", makeTga(640, 249, 24, Bytes(640 * 249 * 3, 9))), part1Init),
                ::testing::ExitedWithCode(3), "Part1Init\\(\\) -> Wrong size of mart.tga");
    EXPECT_EXIT(initFrom(showArchiveWith("cusoon.tga", makeTga(471, 20, 24, Bytes(471 * 20 * 3, 9))), part1Init),
                ::testing::ExitedWithCode(3), "Part1Init\\(\\) -> Picture too large for its place -> cusoon.tga");
    // The show's own pictures come through.
    EXPECT_EXIT(initFrom(showArchiveWith("none", Bytes()), part1Init), ::testing::ExitedWithCode(0), "");
}

} // namespace
