// The credits with the show's own pictures, driven by a music position and
// frame time set by hand: the photo steps and the slide, the bubbles, the
// clip windows of the plate's order, the white fade, and what the part
// leaves below the captions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "files/xFileIO.h"
#include "parts/Credits.h"
#include "parts/PartLinks.h"
#include "parts/gretPart.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"
#include "tests/common/ShowStart.h"
#include "tests/common/TestZip.h"
#include "tests/images/ImageWriters.h"
#include "tests/x3d/SceneKit.h"

namespace {

uint32_t& at(int x, int y) { return g_picture[y * 640 + x]; }

void expectWholeClipWindow(const char* where)
{
    EXPECT_EQ(x2dClipLeft, 0) << where;
    EXPECT_EQ(x2dClipTop, 0) << where;
    EXPECT_EQ(x2dClipRight, 640) << where;
    EXPECT_EQ(x2dClipBottom, 250) << where;
}

class Credits : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(startCredits(QH_DEMO_PAK));
    }

    void SetUp() override
    {
        g_credits = CreditsStartState();
        g_frameTime = 35;
        x2dSetClipWindow(0, 0, 640, 250);
    }

    // One frame of a credit at the position; true when it turned the photo
    // (the roto-zoom clears the whole scratch, mark included).
    static bool frame(void (*draw)(), int order, int row)
    {
        const uint32_t mark = 0xDEADBEEFu;
        g_creditsScratch->pixels[0] = mark;
        g_musicOrder = order;
        g_musicRow = row;
        draw();
        expectWholeClipWindow("after a credits frame");
        return g_creditsScratch->pixels[0] != mark;
    }
};

TEST_F(Credits, PhotosTurnOnlyOnTheirStepRowsAndThenSlide)
{
    int turns = 0;
    for (int row = 0; row <= 40; row++)
        turns += frame(Credits1Draw, 22, row);
    EXPECT_EQ(turns, 3);
    for (int row = 0; row < 64; row += 3)
        turns += frame(Credits1Draw, 23, row);
    EXPECT_EQ(turns, 3) << "the first photo slides as it is in the scene's order";

    turns = 0;
    for (int row = 0; row <= 40; row++)
        turns += frame(Credits2Draw, 24, row);
    EXPECT_EQ(turns, 4) << "the second photo turns once more for its slide";
    for (int row = 0; row < 59; row += 3)
        turns += frame(Credits2Draw, 25, row);
    EXPECT_EQ(turns, 4);

    // The first photo's slide starts at 10 and keeps going from there.
    g_credits = CreditsStartState();
    for (int row = 16; row < 24; row++)
        frame(Credits1Draw, 22, row);
    EXPECT_EQ(g_credits.y1, 0.0f);
    for (int i = 0; i < 20; i++)
        frame(Credits1Draw, 22, 30);
    EXPECT_NEAR(g_credits.y1, 13.5, 1e-4);
    // The second from -25.
    for (int i = 0; i < 10; i++)
        frame(Credits2Draw, 24, 16);
    EXPECT_EQ(g_credits.y2, -30.0f);
    for (int i = 0; i < 10; i++)
        frame(Credits2Draw, 24, 30);
    EXPECT_NEAR(g_credits.y2, -25.0 + 10 * 0.175, 1e-4);
}

TEST_F(Credits, WhiteFadeStartsOnItsRow)
{
    g_credits.musicPos = g_credits.designPos = -5000;
    frame(Credits2Draw, 25, 58);
    EXPECT_EQ(g_credits.white, 0);
    // The name mask is black where it is drawn solid.
    int black = 0;
    for (int y = 0; y < 250; y++)
        for (int x = 0; x < 640; x++)
            black += (at(x, y) & 0xFFFFFF) == 0;
    EXPECT_GT(black, 100);

    for (int row = 59; row < 64; row++) {
        frame(Credits2Draw, 25, row);
        EXPECT_EQ(g_credits.white, std::min(50 * (row - 58), 255));
    }
    frame(Credits2Draw, 25, 63);
    EXPECT_EQ(g_credits.white, 255);
    for (int i = 0; i < 640 * 250; i++)
        ASSERT_EQ(g_picture[i] & 0xFFFFFF, 0xFFFFFFu) << "pixel " << i;
}

// The strips and their shadows of the plate's order show between x 220 and
// 419 only: a frame with the strips across the letterbox differs from one
// without them inside that band alone.
TEST_F(Credits, PlateOrderShowsTheStripsInItsBandOnly)
{
    g_frameTime = 0; // nothing slides between the two frames
    const FloatingCircles circles = g_floatingCircles;
    std::vector<uint32_t> without(640 * 250), with(640 * 250);

    g_credits.musicPos = -5000;
    g_credits.designPos = 5000;
    frame(Credits2Draw, 25, 20);
    memcpy(without.data(), g_picture, without.size() * 4);

    g_floatingCircles = circles;
    g_credits.musicPos = 0;    // 480 wide: across both edges of the band
    g_credits.designPos = 160; // to the right edge of the letterbox
    frame(Credits2Draw, 25, 20);
    memcpy(with.data(), g_picture, with.size() * 4);

    int inside = 0, nearLeft = 0, nearRight = 0;
    for (int y = 0; y < 250; y++)
        for (int x = 0; x < 640; x++) {
            if ((with[y * 640 + x] & 0xFFFFFF) == (without[y * 640 + x] & 0xFFFFFF))
                continue;
            ASSERT_TRUE(x >= 220 && x < 420) << "strip drawn at (" << x << ", " << y << ")";
            inside++;
            nearLeft += x < 240;
            nearRight += x >= 400;
        }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(nearLeft, 0);
    EXPECT_GT(nearRight, 0);
}

// The scene plays in its order, its time looping from 10, and whatever it
// draws below the captions is cleared: a wall across the whole view.
TEST_F(Credits, SceneOrderPlaysTheSceneAndLeavesNothingBelowTheCaptions)
{
    qh3d::SceneKit kit;
    kit.addMaterial(0x01, 200, 180, 160);
    qh3d::MeshSpec wall;
    wall.points = {{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}};
    wall.tris = {{0, 1, 2}, {0, 2, 3}};
    qh3d::orientInward(wall, {{0, 0, 5}});
    kit.addObject(wall, 0);
    kit.addLight(1, {0, 0, -10});
    kit.finish({0, 0, -10}, {0, 0, 0}, 60, 640, 480, false);
    kit.scene.firstFrame = 0.0f;
    kit.scene.lastFrame = 10.5f;
    x3dScene* const credits = g_creditsScene;
    g_creditsScene = &kit.scene;

    for (int i = 0; i < 640 * 480; i++)
        g_frameBuffer[i] = 0xFFFFFFFFu;
    frame(Credits1Draw, 22, 40);
    EXPECT_EQ(g_credits.sceneTime, 10.0f) << "the scene waits for its order";
    EXPECT_EQ(g_frameBuffer[50 * 640 + 320], 0xFFFFFFFFu);

    frame(Credits1Draw, 23, 10);
    EXPECT_NEAR(g_credits.sceneTime, 10.35, 1e-5);
    EXPECT_NE(g_frameBuffer[50 * 640 + 320] & 0xFFFFFF, 0xFFFFFFu) << "the scene is drawn over the whole view";
    EXPECT_NE(g_frameBuffer[50 * 640 + 320] & 0xFFFFFF, 0u);
    for (int line = 365; line < 465; line++)
        for (int x = 0; x < 640; x++)
            ASSERT_EQ(g_frameBuffer[line * 640 + x], 0u) << "line " << line << " x " << x;
    EXPECT_NE(g_frameBuffer[470 * 640 + 320], 0u) << "the scene reaches past the cleared rows";

    frame(Credits1Draw, 23, 11);
    EXPECT_EQ(g_credits.sceneTime, 10.0f) << "past the last frame the time starts again at 10";
    g_creditsScene = credits;
    showSelectScene(credits);
}

// A bubble darkens exactly its rectangle inside the clip window by the
// blend rule, keeping the fourth byte; one that has left is born again in
// its ranges.
TEST_F(Credits, BubblesDarkenTheirClippedRectangleAndComeBack)
{
    auto inRanges = [](const Bubble& b, int xMin) {
        return b.width >= 28 && b.width <= 39 && b.height >= 25 && b.height <= 34 && b.height <= b.width &&
               b.x >= xMin && b.x < xMin + 200 && b.y >= 100 && b.y < 150 &&
               (b.direction == 1 || b.direction == -1) && b.speed * b.direction >= 1 && b.speed * b.direction <= 3;
    };
    for (const Bubble& b : g_bubbles)
        EXPECT_TRUE(b.width > 0 && b.speed != 0 && b.xRange == 200) << "a bubble that never moves";

    auto pattern = [](int x, int y) {
        return 0xAB000000u | (uint32_t)((x * 7 + y * 13) & 0xFF) << 16 | (uint32_t)((x * 3) & 0xFF) << 8 |
               (uint32_t)((y * 5 + 255) & 0xFF);
    };
    auto darker = [](uint32_t p) {
        uint32_t out = p & 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            int c = (int)(p >> shift & 0xFF);
            int floorDiv = -((51 * c + 255) / 256); // floor(51 (0 - c) / 256)
            out |= (uint32_t)(c + floorDiv) << shift;
        }
        return out;
    };
    struct Case {
        int x, y, left, top, right, bottom;
    } cases[] = {
        {290, 190, 290, 190, 300, 200}, // over the bottom-right corner
        {85, 40, 100, 50, 115, 65},     // over the top-left corner
    };
    x2dSetClipWindow(100, 50, 300, 200);
    for (const Case& c : cases) {
        for (int y = 0; y < 250; y++)
            for (int x = 0; x < 640; x++)
                at(x, y) = pattern(x, y);
        Bubble b;
        b.x = c.x;
        b.y = c.y;
        b.width = 30;
        b.height = 25;
        b.speed = 0;
        b.Update();
        for (int y = c.y - 5; y < c.y + 35; y++)
            for (int x = c.x - 5; x < c.x + 40; x++) {
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                ASSERT_EQ(at(x, y), inside ? darker(pattern(x, y)) : pattern(x, y)) << x << ", " << y;
            }
    }

    Bubble up;
    up.y = 50 - 25 + 1; // leaves the top with its next step
    up.height = 25;
    up.speed = -3;
    up.xMin = 0;
    up.Update();
    EXPECT_TRUE(inRanges(up, 0)) << up.x << " " << up.y << " " << up.width << "x" << up.height;
    Bubble down;
    down.y = 200;
    down.speed = 1;
    down.Update();
    EXPECT_TRUE(inRanges(down, 400));
    x2dSetClipWindow(0, 0, 640, 250);
}

// Archives with credits pictures that would be drawn past their places are
// refused at start-up.
class CreditsData : public ::testing::Test {
protected:
    static void initFrom(const std::vector<TestZipEntry>& entries)
    {
        startOnEntries(entries);
        static uint32_t scratch[640 * 250];
        g_greetScratch = scratch;
        x3dInit(640, 480, nullptr);
        if (!enterFolderOf(QH_DEMO_PAK))
            exit(98);
        CreditsInit();
        exit(0);
    }
};

TEST_F(CreditsData, RefusesPicturesThatDoNotFitTheirPlaces)
{
    const std::vector<std::string> names = {
        "cpcir1.tga",   "cpcir2.tga",  "cpcir2m.gif", "cpcir3.tga",  "cprec1.tga",  "cprec2.tga",  "cprec2m.gif",
        "cprec3.tga",   "cprec3m.gif", "auth1.jpg",   "auth1m.gif",  "auth2.jpg",   "auth2m.gif",  "auth3.tga",
        "auth3m.gif",   "progmask.gif", "codem.gif",  "musicm.gif",  "designm.gif", "mus_col.gif", "des_col.gif",
        "plate.tga",    "name1m.gif",  "mail1m.gif",  "name2m.gif",  "mail2m.gif",  "cpcir.gif",   "scene3.x3d",
        "scene3.3ds"};
    std::vector<TestZipEntry> all;
    for (const TestZipEntry& e : readTestZip(QH_DEMO_PAK))
        if (std::find(names.begin(), names.end(), e.name) != names.end())
            all.push_back(e);
    ASSERT_EQ(all.size(), names.size());
    EXPECT_EXIT(initFrom(all), ::testing::ExitedWithCode(0), "");

    auto replaced = [&](const char* name, const qhtest::Bytes& bytes) { return replacedEntry(all, name, bytes); };
    qhtest::Bytes grey(768);
    for (int i = 0; i < 768; i++)
        grey[i] = (uint8_t)(i / 3);
    // One pixel wider than the room right of its place.
    EXPECT_EXIT(initFrom(replaced("cpcir1.tga", qhtest::makeTga(496, 250, 24, qhtest::Bytes(496 * 250 * 3, 90)))),
                ::testing::ExitedWithCode(3), "CreditsInit\\(\\) -> Picture too large for its place -> cpcir1.tga");
    // One row taller than the room below it.
    EXPECT_EXIT(initFrom(replaced("mail2m.gif", qhtest::makeGif(320, 36, qhtest::Bytes(320 * 36, 255), grey))),
                ::testing::ExitedWithCode(3), "CreditsInit\\(\\) -> Picture too large for its place -> mail2m.gif");
    // Seven circle shapes where eight are read.
    EXPECT_EXIT(initFrom(replaced("cpcir.gif", qhtest::makeGif(50, 350, qhtest::Bytes(50 * 350, 128), grey))),
                ::testing::ExitedWithCode(3), "CreditsInit\\(\\) -> Wrong size of cpcir.gif");
}

} // namespace
