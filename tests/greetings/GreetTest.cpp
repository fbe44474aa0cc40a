// The greetings with the show's own pictures: the men, their tints and
// flashes, the list and the mosaic, and the captions against the music.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/PartLinks.h"
#include "parts/gretPart.h"
#include "system/Xrand.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"
#include "tests/common/ShowStart.h"
#include "tests/common/TestZip.h"
#include "tests/images/ImageWriters.h"

namespace {

uint32_t rgb(uint32_t p) { return p & 0xFFFFFFu; }
uint32_t& at(int x, int y) { return g_picture[y * 640 + x]; }
int litIn(int x, int y, int w, int h)
{
    int n = 0;
    for (int r = y; r < y + h; r++)
        for (int c = x; c < x + w; c++)
            n += rgb(at(c, r)) != 0;
    return n;
}

// A sprite of its own pixels, all of one colour.
x2dSprite* solid(int w, int h, uint32_t argb)
{
    xImage image;
    image.sizeX = w;
    image.sizeY = h;
    image.mode = XIMAGE_ARGB32;
    image.palette = nullptr;
    image.pixels = (uint8_t*)malloc((size_t)w * h * 4);
    for (int i = 0; i < w * h; i++)
        ((uint32_t*)image.pixels)[i] = argb;
    x2dSprite* s = x2dSpriteCreate();
    s->SetImage(image);
    return s;
}

class Greetings : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(startGreetings(QH_DEMO_PAK));
    }

    void SetUp() override
    {
        g_frameTime = 0; // the list stands still unless a test moves it
        g_musicOrder = 17;
        g_musicRow = 1;
        g_greet = GreetStartState();
        parkAll();
    }

    // Everybody far below the letterbox, unflashed, unplaced.
    static void parkAll()
    {
        for (CgreetMan* m : g_greetPart.men) {
            m->y = 1000;
            m->flash = 0;
            m->placed = 0;
            m->reveal = 0;
        }
    }

    static void frame(int order, int row)
    {
        g_musicOrder = order;
        g_musicRow = row;
        GreetDraw();
    }
};

TEST_F(Greetings, InitGivesEveryManHisOwnPhotoNameAndCell)
{
    const CgreetPart& p = g_greetPart;
    std::set<int> photos, cells;
    for (int k = 0; k < GREET_MEN; k++) {
        const CgreetMan* m = p.men[k];
        ASSERT_NE(m, nullptr);
        ptrdiff_t offset = (uint8_t*)m->photo->pixels - p.photos.pixels;
        ASSERT_EQ(offset % 23408, 0) << "man " << k;
        int c = (int)(offset / 23408);
        ASSERT_GE(c, 0);
        ASSERT_LT(c, GREET_PHOTOS);
        photos.insert(c);
        cells.insert(m->slot);
        EXPECT_GE(m->slot, 0);
        EXPECT_LT(m->slot, GREET_CELLS);
        // The name belongs to the same person as the photo.
        EXPECT_EQ(m->name->pixels, p.names->pixels + (size_t)c * 44 * p.names->sizeX) << "man " << k;
        EXPECT_EQ(m->name->sizeY, 44);
        EXPECT_EQ(m->photo->sizeX, 77);
        EXPECT_EQ(m->photo->sizeY, 76);
        EXPECT_EQ(m->photo->ownsMemory, 0);
        EXPECT_EQ(m->name->ownsMemory, 0);
        EXPECT_EQ(m->tint->ownsMemory, 1);
        EXPECT_NE((void*)m->tint->pixels, (void*)m->photo->pixels);
    }
    EXPECT_EQ(photos.size(), 16u);
    EXPECT_EQ(cells.size(), 16u);
}

TEST_F(Greetings, InitStartsTheListBelowTheLetterbox)
{
    // A fresh object: the men of the fixture have been moved around.
    xSrand(7);
    CgreetPart part;
    part.Init();
    for (int k = 0; k < GREET_MEN; k++) {
        EXPECT_EQ(part.men[k]->y, 260 + 80 * k);
        EXPECT_EQ(part.men[k]->reveal, 0);
        EXPECT_EQ(part.men[k]->flash, 0);
        EXPECT_EQ(part.men[k]->placed, 0);
    }
    // Every photo pixel carries the photo mask as its alpha: the centre is
    // opaque, the corner clear.
    const uint32_t* px = part.men[3]->photo->pixels;
    EXPECT_EQ(px[38 * 77 + 38] >> 24, 255u);
    EXPECT_EQ(px[0] >> 24, 0u);
}

// Each pixel of a man's tint is one of the five palettes at the photo
// pixel's luminance, the same palette for the whole tint.
TEST_F(Greetings, TintsMapPhotoLuminanceThroughOnePalette)
{
    const CgreetPart& p = g_greetPart;
    for (int k = 0; k < GREET_MEN; k++) {
        const CgreetMan* m = p.men[k];
        int found = -1;
        for (int pal = 0; pal < GREET_PALETTES && found < 0; pal++) {
            bool all = true;
            for (int i = 0; i < 77 * 76 && all; i++) {
                const uint8_t* s = (const uint8_t*)&m->photo->pixels[i];
                int index = (int)(0.587 * s[1] + 0.299 * s[2] + 0.114 * s[0]);
                const uint8_t* c = p.palettes[pal] + 3 * index;
                all = rgb(m->tint->pixels[i]) == ((uint32_t)c[0] << 16 | c[1] << 8 | c[2]);
            }
            if (all)
                found = pal;
        }
        EXPECT_GE(found, 0) << "man " << k << " has a tint of no palette";
    }
    // The palettes are the ones of the files, intact after all the tints.
    xFile f;
    ASSERT_EQ(g_fileIO.Read("colpal_3.gif", &f), 0);
    xImage image;
    xImageLoad(&f, image);
    g_fileIO.Free(&f);
    ASSERT_NE(image.palette, nullptr);
    EXPECT_EQ(memcmp(image.palette, p.palettes[2], 768), 0);
    free(image.pixels);
    free(image.palette);
}

TEST_F(Greetings, TintIndexIsTruncatedInDouble)
{
    // B, G, R bytes of each photo pixel; the alpha byte plays no part.
    const uint32_t photo[] = {0xFF808080, 0x00010101, 0x7FFEFEFE, 0xFFFFFFFF, 0x00000000,
                              0xFF0AC81E, 0xFFC80A1E, 0xFF1E0AC8};
    const int expected[] = {127, 0, 253, 255, 0, 123, 69, 37};
    x2dSprite* src = solid(4, 2, 0);
    memcpy(src->pixels, photo, sizeof photo);
    uint8_t palette[768];
    for (int i = 0; i < 256; i++) {
        palette[3 * i] = (uint8_t)i;
        palette[3 * i + 1] = (uint8_t)(255 - i);
        palette[3 * i + 2] = (uint8_t)(i ^ 0x5a);
    }
    x2dSprite* tint = x2dSpriteCreate();
    g_greetPart.MakeTint(src, tint, palette);
    ASSERT_EQ(tint->sizeX, 4);
    ASSERT_EQ(tint->sizeY, 2);
    for (int i = 0; i < 8; i++) {
        int n = expected[i];
        EXPECT_EQ(rgb(tint->pixels[i]), (uint32_t)(n << 16 | (255 - n) << 8 | (n ^ 0x5a))) << "pixel " << i;
    }
    // The palette is the caller's: it is neither kept nor released, so one
    // palette serves any number of tints.
    uint8_t before[768];
    memcpy(before, palette, 768);
    x2dSprite* again = x2dSpriteCreate();
    g_greetPart.MakeTint(src, again, palette);
    EXPECT_EQ(memcmp(before, palette, 768), 0);
    palette[3 * 127] = 0;
    EXPECT_EQ(rgb(tint->pixels[0]), (uint32_t)(127u << 16 | 128u << 8 | (127 ^ 0x5a)));
    EXPECT_EQ(memcmp(tint->pixels, again->pixels, 8 * 4), 0);
    delete src;
    delete tint;
    delete again;
}

TEST_F(Greetings, TintWithoutMemoryIsReportedWithItsLine)
{
    // A photo larger than any address space: its pixels are never read.
    x2dSprite huge;
    huge.sizeX = 1 << 30;
    huge.sizeY = 1 << 30;
    huge.ownsMemory = 0;
    uint8_t palette[768] = {};
    x2dSprite* tint = x2dSpriteCreate();
    EXPECT_EXIT(g_greetPart.MakeTint(&huge, tint, palette), ::testing::ExitedWithCode(1),
                "Error: Can't allocate memory, 1\nFile parts/gretPart.cpp\nLine 231");
    delete tint;
}

TEST_F(Greetings, FlashCircleSaturatesOnlyPixelsWithAlpha)
{
    CgreetPart part;
    part.circle = solid(4, 1, 0);
    const uint32_t frame[] = {0x00406080, 0x01FA0A00, 0xFF10F0FF, 0x80000000};
    memcpy(part.circle->pixels, frame, sizeof frame);
    part.brightCircle = x2dSpriteCreate();
    part.brightCircle->Copy(*part.circle);
    part.brightCircle->pixels[0] = 0x00123456; // where the frame has no alpha

    part.FlashCircle(20);
    EXPECT_EQ(part.brightCircle->pixels[0], 0x00123456u);
    EXPECT_EQ(part.brightCircle->pixels[1], 0x01FF1E14u);
    EXPECT_EQ(part.brightCircle->pixels[2], 0xFF24FFFFu);
    EXPECT_EQ(part.brightCircle->pixels[3], 0x80141414u);
    // Each call starts from the frame, not from the last bright one.
    part.FlashCircle(255);
    part.FlashCircle(0);
    for (int i = 1; i < 4; i++)
        EXPECT_EQ(part.brightCircle->pixels[i], frame[i]);
    delete part.circle;
    delete part.brightCircle;
}

TEST_F(Greetings, FlashesGoOnlyToVisibleMenOnTheListedRows)
{
    CgreetMan** men = g_greetPart.men;
    // Inside by a pixel at both ends, outside by a pixel at both ends.
    men[0]->y = -9;
    men[1]->y = 183;
    men[2]->y = -10;
    men[3]->y = 184;
    const std::set<int> rows(std::begin(kGreetFlashRows), std::end(kGreetFlashRows));
    for (int row = 0; row < 64; row++) {
        for (int round = 0; round < 20; round++) {
            for (CgreetMan* m : g_greetPart.men)
                m->flash = 0;
            g_musicRow = row;
            g_greetPart.Update();
            int given = 0;
            for (int k = 0; k < GREET_MEN; k++) {
                if (k < 2) {
                    // drawn this frame: 255 less one step
                    EXPECT_TRUE(men[k]->flash == 0 || men[k]->flash == 235);
                    given += men[k]->flash != 0;
                } else {
                    ASSERT_EQ(men[k]->flash, 0) << "man " << k << " row " << row;
                }
            }
            ASSERT_EQ(given, rows.count(row) ? 1 : 0) << "row " << row;
        }
    }
}

TEST_F(Greetings, AFlashingCircleIsNotFlashedAgain)
{
    CgreetMan** men = g_greetPart.men;
    for (int k = 0; k < GREET_MEN; k++)
        men[k]->y = 100;
    g_musicRow = 18;
    // All flashing: nobody gets a new one.
    for (CgreetMan* m : g_greetPart.men)
        m->flash = 100;
    g_greetPart.Update();
    for (CgreetMan* m : g_greetPart.men)
        EXPECT_EQ(m->flash, 80);
    // One man of sixteen free: five picks find him only now and then.
    int given = 0;
    for (int round = 0; round < 400; round++) {
        for (CgreetMan* m : g_greetPart.men)
            m->flash = 100;
        men[5]->flash = 0;
        g_greetPart.Update();
        for (int k = 0; k < GREET_MEN; k++) {
            if (k != 5) {
                ASSERT_EQ(men[k]->flash, 80);
            }
        }
        ASSERT_TRUE(men[5]->flash == 0 || men[5]->flash == 235);
        given += men[5]->flash == 235;
    }
    // 1 - (15/16)^5 of the frames, about 110 of 400.
    EXPECT_GT(given, 70);
    EXPECT_LT(given, 160);
}

TEST_F(Greetings, ListDrawsWhileAnyRowIsOnScreen)
{
    CgreetMan* m = g_greetPart.men[4];
    x2dSprite* photo = m->photo;
    x2dSprite* name = m->name;
    x2dSprite* plate = solid(77, 76, 0xFF102030);
    x2dSprite* label = solid(50, 44, 0xFF405060);
    m->photo = plate;
    m->name = label;
    auto drawAt = [&](int y) {
        for (int i = 0; i < 640 * 250; i++)
            g_picture[i] = 0;
        m->y = y;
        g_greetPart.Update();
    };
    drawAt(249);
    EXPECT_EQ(rgb(at(45, 249)), 0x102030u);
    EXPECT_EQ(rgb(at(121, 249)), 0x102030u);
    EXPECT_EQ(at(122, 249), 0u);
    drawAt(250);
    EXPECT_EQ(at(45, 249), 0u);
    drawAt(-75);
    EXPECT_EQ(rgb(at(45, 0)), 0x102030u);
    EXPECT_EQ(at(45, 1), 0u);
    drawAt(-76);
    EXPECT_EQ(at(45, 0), 0u);
    drawAt(100); // the name beside the photo
    EXPECT_EQ(rgb(at(125, 116)), 0x405060u);
    EXPECT_EQ(rgb(at(174, 159)), 0x405060u);
    EXPECT_EQ(at(125, 115), 0u);
    m->photo = photo;
    m->name = name;
    delete plate;
    delete label;
}

TEST_F(Greetings, ListRisesByTheTruncatedFrameTime)
{
    CgreetMan* m = g_greetPart.men[0];
    const int32_t times[][2] = {{35, 3}, {39, 3}, {40, 4}, {9, 0}, {1000, 100}};
    for (const auto& t : times) {
        m->y = 500;
        g_frameTime = (uint32_t)t[0];
        g_greetPart.Update();
        EXPECT_EQ(m->y, 500 - t[1]) << t[0] << " ms";
    }
}

TEST_F(Greetings, MenArePlacedOnABarLineAfterLeavingTheTop)
{
    CgreetMan* m = g_greetPart.men[2];
    m->y = -70;
    g_musicRow = 8;
    g_greetPart.Update();
    EXPECT_EQ(m->placed, 0); // still touching the letterbox
    m->y = -71;
    g_musicRow = 7;
    g_greetPart.Update();
    EXPECT_EQ(m->placed, 0); // not on a bar line
    g_musicRow = 16;
    g_greetPart.Update();
    EXPECT_EQ(m->placed, 1);
    EXPECT_EQ(m->reveal, 0); // shown from the next frame on
}

TEST_F(Greetings, PlacedPhotoTurnsIntoItsTintThreeStepsAFrame)
{
    CgreetMan* m = g_greetPart.men[6];
    m->y = -500;
    m->placed = 1;
    const int x = g_greetCells[m->slot][0], y = g_greetCells[m->slot][1];
    g_musicRow = 1;
    g_greetPart.Update();
    EXPECT_EQ(m->reveal, 3);
    // The photo still, a few steps towards the tint at most.
    int tintLike = 0;
    for (int r = 0; r < 76; r++)
        for (int i = 0; i < 77; i++) {
            uint32_t seen = at(x + i, y + r), photo = m->photo->pixels[r * 77 + i];
            for (int shift = 0; shift < 24; shift += 8)
                ASSERT_LE(abs((int)(seen >> shift & 255) - (int)(photo >> shift & 255)), 3) << i << "," << r;
            tintLike += rgb(seen) == rgb(m->tint->pixels[r * 77 + i]);
        }
    EXPECT_LT(tintLike, 77 * 76 / 2);
    for (int f = 1; f < 85; f++)
        g_greetPart.Update();
    EXPECT_EQ(m->reveal, 255);
    g_greetPart.Update();
    EXPECT_EQ(m->reveal, 255);
    for (int r = 0; r < 76; r++)
        for (int i = 0; i < 77; i++)
            ASSERT_EQ(rgb(at(x + i, y + r)), rgb(m->tint->pixels[r * 77 + i])) << i << "," << r;
}

// Per man the mosaic comes before the list: a later man's cell covers an
// earlier man's name, an earlier man's cell lies under a later man's name.
TEST_F(Greetings, EachManDrawsHisCellBeforeHisListEntry)
{
    CgreetMan** men = g_greetPart.men;
    x2dSprite* label = solid(320, 44, 0xFF0000FF);
    auto run = [&](int listed, int placed) {
        x2dSprite* name = men[listed]->name;
        int8_t slot = men[placed]->slot;
        men[listed]->name = label;
        men[listed]->y = 0; // name on rows 16-59, x 125-444
        men[placed]->y = -1000;
        men[placed]->placed = 1;
        men[placed]->reveal = 255;
        men[placed]->slot = 0; // cell (145, 3)
        g_greetPart.Update();
        uint32_t seen = rgb(at(200, 30));
        uint32_t tint = rgb(men[placed]->tint->pixels[27 * 77 + 55]);
        men[listed]->name = name;
        men[placed]->slot = slot;
        parkAll();
        return seen == tint ? 'T' : seen == 0xFFu ? 'N' : '?';
    };
    EXPECT_EQ(run(0, 1), 'T');
    EXPECT_EQ(run(1, 0), 'N');
    delete label;
}

TEST_F(Greetings, FrameStartsFromTheBackgroundWithTheCaptionRowsCleared)
{
    for (int i = 0; i < 640 * 300; i++)
        g_picture[i] = 0x00FFFFFF;
    g_greet.whiteFlash = 0;
    frame(20, 0); // no caption at all: "the monsters" is at level 0
    EXPECT_EQ(memcmp(g_picture, g_greetScratch, 640 * 250 * 4), 0);
    for (int i = 250 * 640; i < 300 * 640; i++)
        ASSERT_EQ(g_picture[i], 0u) << i;
    frame(17, 0); // "greetings to" whole
    int lit = 0;
    for (int i = 250 * 640; i < 300 * 640; i++)
        lit += g_picture[i] != 0;
    EXPECT_GT(lit, 500);
}

TEST_F(Greetings, WhiteFlashOpensThePart)
{
    frame(17, 0);
    EXPECT_EQ(g_greet.whiteFlash, 190);
    uint32_t back = g_greetScratch[240 * 640 + 600];
    uint32_t seen = at(600, 240);
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t b = back >> shift & 255, s = seen >> shift & 255;
        EXPECT_EQ(s, b + 200 > 255 ? 255 : b + 200);
    }
    for (int i = 1; i < 19; i++)
        frame(17, 0);
    EXPECT_EQ(g_greet.whiteFlash, 10);
    frame(17, 1);
    EXPECT_EQ(g_greet.whiteFlash, 0);
    frame(17, 2);
    EXPECT_EQ(g_greet.whiteFlash, 0);
    EXPECT_EQ(at(600, 240), back);
}

TEST_F(Greetings, CaptionLevelsFollowTheMusic)
{
    xGreetState& s = g_greet;
    for (int row = 0; row < 64; row++)
        frame(17, row);
    EXPECT_EQ(s.firstLevel, 0);
    // "the monsters" comes in over "greetings to" from order 18.
    frame(18, 0);
    EXPECT_EQ(s.firstLevel, 5);
    for (int i = 0; i < 60; i++)
        frame(18, 1 + i);
    EXPECT_EQ(s.firstLevel, 255);
    // The question marks, and nothing darkens during order 19.
    frame(19, 53);
    EXPECT_FALSE(s.question1);
    frame(19, 54);
    EXPECT_TRUE(s.question1);
    EXPECT_FALSE(s.question2);
    frame(19, 59);
    EXPECT_FALSE(s.question2);
    frame(19, 60);
    EXPECT_TRUE(s.question2);
    EXPECT_EQ(s.darkLevel, 0);
    EXPECT_EQ(s.secondLevel, 0);
    // "two are missing" and the darkening from order 20 row 32.
    frame(20, 31);
    EXPECT_EQ(s.darkLevel, 0);
    EXPECT_EQ(s.firstLevel, 255);
    frame(20, 32);
    EXPECT_EQ(s.darkLevel, 10);
    EXPECT_EQ(s.secondLevel, 10);
    EXPECT_EQ(s.firstLevel, 240);
    for (int i = 0; i < 26; i++)
        frame(20, 33 + i);
    EXPECT_EQ(s.darkLevel, 255);
    EXPECT_EQ(s.secondLevel, 255);
    EXPECT_EQ(s.firstLevel, 0);
    EXPECT_EQ(s.thirdLevel, 0);
    EXPECT_EQ(s.questionLevel, 255);
    // The letterbox is black now, but for the two question marks.
    EXPECT_EQ(at(10, 10), 0u);
    EXPECT_EQ(at(600, 249), 0u);
    EXPECT_GT(litIn(245, 88, 60, 74), 300);
    EXPECT_GT(litIn(411, 88, 60, 74), 300);
    EXPECT_EQ(litIn(0, 0, 245, 250), 0);
    // "guess who" from row 61 while the rest fades.
    frame(20, 60);
    EXPECT_EQ(s.thirdLevel, 0);
    frame(20, 61);
    EXPECT_EQ(s.thirdLevel, 25);
    EXPECT_EQ(s.questionLevel, 230);
    EXPECT_EQ(s.secondLevel, 230);
    for (int i = 0; i < 10; i++)
        frame(21, i);
    EXPECT_EQ(s.thirdLevel, 255);
    EXPECT_EQ(s.questionLevel, 0);
    EXPECT_EQ(s.secondLevel, 0);
    // The marks were drawn at the last level above 0 on this frame; gone on
    // the next, which changes no level.
    EXPECT_GT(litIn(245, 88, 60, 74), 0);
    frame(21, 20);
    EXPECT_EQ(litIn(0, 0, 640, 250), 0);
    EXPECT_EQ(s.thirdLevel, 255);
    EXPECT_EQ(s.secondLevel, 0);
    EXPECT_EQ(s.darkLevel, 255);
}

// Started late, the two fades meet on one frame: no level goes below 0.
TEST_F(Greetings, LateStartKeepsLevelsInRange)
{
    xGreetState& s = g_greet;
    for (int i = 0; i < 30; i++) {
        frame(21, i);
        ASSERT_GE(s.secondLevel, 0);
        ASSERT_LE(s.secondLevel, 255);
        ASSERT_GE(s.questionLevel, 0);
        ASSERT_GE(s.firstLevel, 0);
    }
    EXPECT_EQ(s.secondLevel, 0);
    EXPECT_EQ(s.thirdLevel, 255);
    // "two are missing" never came in whole: its rows stay clear.
    EXPECT_EQ(litIn(0, 250, 240, 50), 0);
}

TEST_F(Greetings, InitPublishesTheBackgroundAsScratch)
{
    EXPECT_EQ(g_greetScratch, g_greetBack->pixels);
}

// Archives with broken greetings pictures are refused before anything is
// drawn from them.
class GreetingsData : public ::testing::Test {
protected:
    static std::string entry(const char* name)
    {
        xFileIO files;
        files.Open(QH_DEMO_PAK);
        xFile f;
        if (files.Read(name, &f) != 0)
            return std::string();
        std::string data((const char*)f.data, (size_t)f.size);
        files.Free(&f);
        return data;
    }
    static void initFrom(const std::vector<TestZipEntry>& entries)
    {
        startOnEntries(entries);
        GreetInit();
        exit(0);
    }
};

TEST_F(GreetingsData, RefusesMissingAndMisshapenPictures)
{
    std::vector<TestZipEntry> all;
    for (const char* name : {"greets.jpg", "photos.jpg", "colpal_1.gif", "colpal_2.gif", "colpal_3.gif",
                             "colpal_4.gif", "colpal_5.gif", "photmask.gif", "gname.tga", "gnmask.gif",
                             "circle2.tga", "circmask.gif", "greetsto.tga", "monstrs.tga", "twomiss.tga",
                             "guesswho.tga", "vopros.tga", "vprsmask.gif"}) {
        all.push_back({name, entry(name)});
        ASSERT_FALSE(all.back().data.empty()) << name;
    }
    EXPECT_EXIT(initFrom(all), ::testing::ExitedWithCode(0), "");

    auto without = [&](const char* name) {
        std::vector<TestZipEntry> v;
        for (const TestZipEntry& e : all)
            if (e.name != name)
                v.push_back(e);
        return v;
    };
    auto replaced = [&](const char* name, const qhtest::Bytes& bytes) { return replacedEntry(all, name, bytes); };
    EXPECT_EXIT(initFrom(without("colpal_4.gif")), ::testing::ExitedWithCode(3),
                "CgreetPart::Init\\(\\) -> Can't load colpal_4.gif");
    // One photo short of the 22 the men are chosen from.
    qhtest::Bytes grey((size_t)77 * 76 * 21 * 3, 128);
    EXPECT_EXIT(initFrom(replaced("photos.jpg", qhtest::makeJpeg(77, 76 * 21, 3, grey))),
                ::testing::ExitedWithCode(3), "CgreetPart::Init\\(\\) -> Wrong size of photos.jpg");
    qhtest::Bytes wide((size_t)640 * 249 * 3, 60);
    EXPECT_EXIT(initFrom(replaced("greets.jpg", qhtest::makeJpeg(640, 249, 3, wide))),
                ::testing::ExitedWithCode(3), "GreetInit\\(\\) -> Wrong size of greets.jpg");
    // A caption one pixel wider than the room right of its place.
    qhtest::Bytes caption((size_t)467 * 20 * 3, 200);
    EXPECT_EXIT(initFrom(replaced("greetsto.tga", qhtest::makeTga(467, 20, 24, caption))),
                ::testing::ExitedWithCode(3), "GreetInit\\(\\) -> Picture too large for its place -> greetsto.tga");
    // Names for 21 people only.
    qhtest::Bytes names((size_t)320 * 44 * 21 * 3, 90), mask((size_t)320 * 44 * 21, 255), ramp(768);
    for (int i = 0; i < 768; i++)
        ramp[i] = (uint8_t)(i / 3);
    std::vector<TestZipEntry> short21 = replaced("gname.tga", qhtest::makeTga(320, 44 * 21, 24, names));
    for (TestZipEntry& e : short21)
        if (e.name == "gnmask.gif") {
            qhtest::Bytes gif = qhtest::makeGif(320, 44 * 21, mask, ramp);
            e.data.assign(gif.begin(), gif.end());
        }
    EXPECT_EXIT(initFrom(short21), ::testing::ExitedWithCode(3), "CgreetPart::Init\\(\\) -> Wrong size of gname.tga");
}

} // namespace
