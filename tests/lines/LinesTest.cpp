// The swinging lines against models of their own: the records that xRand()
// gives, frames of lines and trail, the darkening grid and its scroll, the
// letters' windows and zoom, and the part's refusals of broken data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "parts/Cues.h"
#include "parts/Part_3.h"
#include "parts/PartLinks.h"
#include "system/Xrand.h"
#include "system/Xsystem.h"
#include "tests/common/ShowFolder.h"
#include "tests/common/ShowStart.h"
#include "tests/x3d/SceneKit.h"
#include "tests/common/TestZip.h"
#include "tests/images/ImageWriters.h"

namespace {

const uint32_t kColors[4] = {0xFFF4FF, 0xA9FDFF, 0xE487FA, 0xFBC3C6};

class Lines : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        startShowScreen();
        x3dInit(640, 480, nullptr);
    }
};

TEST_F(Lines, InitDrawsWidthsColoursThenDirectionsThenLimits)
{
    // The sequence replayed: all widths and colours, then the directions
    // (drawn until one differs from the last), then right and left limits.
    xSrand(7);
    std::vector<xLine> want(LINES_COUNT);
    for (xLine& l : want) {
        l.width = xRand() % 15;
        l.color = (int32_t)kColors[xRand() % 4];
    }
    want[0].direction = -1;
    for (int i = 1; i < LINES_COUNT; i++)
        for (want[i].direction = 0; want[i].direction == 0 || want[i].direction == want[i - 1].direction;)
            want[i].direction = xRand() % 3 - 1;
    for (int i = 0; i < LINES_COUNT; i++) {
        want[i].right = xRand() % 7 + 3 * i + 10;
        want[i].left = 3 * i - xRand() % 7 - 10;
    }
    const int after = xRand();

    xSrand(7);
    LinesEffect e;
    e.Init();
    EXPECT_EQ(xRand(), after);
    for (int i = 0; i < LINES_COUNT; i++) {
        want[i].home = want[i].x = 3 * i;
        EXPECT_EQ(memcmp(&e.lines[i], &want[i], sizeof(xLine)), 0) << "line " << i;
    }
    // Whatever the seed: directions alternate, limits lie 10-16 from home.
    for (int i = 1; i < LINES_COUNT; i++) {
        const xLine& l = e.lines[i];
        EXPECT_EQ(l.direction, -e.lines[i - 1].direction) << i;
        EXPECT_TRUE(l.right - l.home >= 10 && l.right - l.home <= 16 && l.home - l.left >= 10 && l.home - l.left <= 16) << i;
    }
}

// A frame as the effect is meant to draw it: lines moved and bounced, drawn
// where they start inside 0-638, then five trail passes with the floor of
// alpha x (line - trail) / 256 per colour channel.
void modelFrame(std::vector<xLine>& lines, std::vector<uint32_t>& trail)
{
    std::vector<uint32_t> line(640, 0xFFFFFFFFu);
    for (xLine& l : lines) {
        l.x += l.direction;
        if (l.x > l.right || l.x < l.left)
            l.direction = -l.direction;
        if (l.x >= 0 && l.x <= 638)
            for (int k = 0; k < l.width && l.x + k < 640; k++)
                line[l.x + k] = (uint32_t)l.color;
    }
    const int passes[5][2] = {{204, 1}, {179, 2}, {153, 3}, {128, 4}, {102, 5}};
    for (const auto& p : passes)
        for (int i = 0; i < 640; i++) {
            uint32_t& t = trail[i + p[1]];
            uint32_t out = t & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                const int tc = (t >> shift) & 255, lc = (line[i] >> shift) & 255;
                const int v = tc + (int)std::floor(p[0] * (lc - tc) / 256.0);
                out |= (uint32_t)(v & 255) << shift;
            }
            t = out;
        }
}

TEST_F(Lines, DrawMatchesTheModelFrameByFrame)
{
    xSrand(3);
    LinesEffect e;
    e.Init();
    e.SetHeight(250);
    // Lines at and over both edges, and a trail that starts bright so the
    // differences run negative too.
    for (int i = 190; i < LINES_COUNT; i++)
        e.lines[i].width = 0; // nothing else reaches the spare half
    e.lines[5] = {700, -50, 15, -1, (int32_t)kColors[1], -1, 14};
    e.lines[200] = {700, 600, 637, 636, (int32_t)kColors[2], 1, 14};
    e.lines[210] = {700, 600, 637, 637, (int32_t)kColors[3], 1, 3};
    for (int i = 0; i < LINES_BUFFER; i++)
        e.trail[i] = (uint32_t)(i * 2654435761u) & 0x00FFFFFFu;
    std::vector<xLine> lines(e.lines, e.lines + LINES_COUNT);
    std::vector<uint32_t> trail(e.trail, e.trail + LINES_BUFFER);

    std::vector<uint32_t> picture(640 * 252, 0x12345678u);
    for (int frame = 0; frame < 12; frame++) {
        e.Draw(picture.data() + 640);
        modelFrame(lines, trail);
        ASSERT_EQ(memcmp(e.trail, trail.data(), LINES_BUFFER * 4), 0) << "frame " << frame;
        for (int r = 0; r < 250; r++)
            ASSERT_EQ(memcmp(&picture[640 * (r + 1)], trail.data(), 640 * 4), 0) << "row " << r;
        EXPECT_EQ(picture[639], 0x12345678u);
        EXPECT_EQ(picture[640 * 251], 0x12345678u);
        EXPECT_EQ(e.trail[0], trail[0]); // column 0 is never blended
        // A 14-wide line at 638 runs to 651 and no further.
        for (int i = 652; i < LINES_BUFFER; i++)
            ASSERT_EQ(e.lineBuffer[i], 0u) << i;
    }
    // Line 200 started at 637 and went right: at 638 it drew its 14 pixels
    // (two shown), at 639 nothing.
    EXPECT_EQ(e.lineBuffer[651], (uint32_t)kColors[2]);
}

// The darkening grid on a known picture, through a model of the mask: a
// darkened pixel loses its fourth byte.
uint32_t darkened(uint32_t c, int s)
{
    if (s >= 255)
        return c;
    if (s <= 0)
        return 0;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int v = (int)((c >> shift) & 255) + s - 255;
        out |= (uint32_t)(v < 0 ? 0 : v) << shift;
    }
    return out;
}

TEST_F(Lines, GridDarkensInsideTheClipWindowOnlyAndReadsOnlyItsOwnBytes)
{
    const int w = 80, h = 40, guard = 64;
    // The grid lies between guard bytes of 0, which would blacken wherever
    // they were read.
    std::vector<uint8_t> block(guard + w * h + guard, 0);
    for (int i = 0; i < w * h; i++)
        block[guard + i] = (uint8_t)((i % w) * 7 + (i / w) * 13);
    LinesEffect e;
    e.grids[1] = {w, h, block.data() + guard};

    const int rows = 280, guardRows = 4;
    std::vector<uint32_t> before(640 * (rows + 2 * guardRows));
    for (size_t i = 0; i < before.size(); i++)
        before[i] = 0xFF000000u | ((uint32_t)(i * 40503u) & 0xFFFFFF);

    x2dSetClipWindow(0, 0, 640, 250);
    const int places[][2] = {{-70, -5}, {-82, 100}, {-2, 30}, {600, 230}, {300, 249}, {639, -39}};
    for (int level : {0, 100, 255}) {
        std::vector<uint32_t> screen(before);
        for (const auto& p : places)
            e.DrawGrid(p[0], p[1], level, 1, screen.data() + 640 * guardRows);
        std::vector<uint32_t> want = before;
        for (const auto& p : places)
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    const int px = p[0] + x, py = p[1] + y;
                    if (px < 0 || px >= 640 || py < 0 || py >= 250)
                        continue;
                    uint32_t& c = want[640 * (py + guardRows) + px];
                    c = darkened(c, level + block[guard + y * w + x]);
                }
        ASSERT_EQ(screen, want) << "level " << level;
    }
    // s = 0 blackens whole pixels; 255 and above keeps them as they are.
    EXPECT_EQ(darkened(0xFFFFFF, 0), 0u);
    EXPECT_EQ(darkened(0x80FF10, 254), 0x7FFE0Fu);
}

TEST_F(Lines, ScrolledTilesCoverTheLetterboxAtEveryStepOfTheirCycle)
{
    std::vector<uint32_t> picture(640 * 280);
    uint32_t* const saved = g_picture;
    g_picture = picture.data();
    LinesEffect e;
    LinesEffect* const savedEffect = g_linesEffect;
    g_linesEffect = &e;
    // The smallest grid that still covers, and the show's own size.
    for (const auto& size : {std::make_pair(72, 37), std::make_pair(80, 40)}) {
        const int w = size.first, h = size.second;
        std::vector<uint8_t> black((size_t)w * h, 0);
        for (xLinesGrid& g : e.grids)
            g = {w, h, black.data()};
        g_linesState = LinesStartState();
        std::vector<int> seen;
        for (int frame = 0; frame < 3 * w; frame++) {
            std::fill(picture.begin(), picture.end(), 0x00FFFFFFu);
            g_linesState.gridLevel = 5; // the mask's 0 then blackens whole pixels
            const int x = g_linesState.scrollX;
            seen.push_back(x);
            LinesScrollGrid();
            for (int i = 0; i < 640 * 250; i++)
                ASSERT_EQ(picture[i], 0u) << w << " x " << h << ", scroll " << x << ", pixel " << i;
            ASSERT_EQ(picture[640 * 250], 0x00FFFFFFu);
            ASSERT_TRUE(x <= 0 && x >= -w - 2) << x;
        }
        // 0, -2, ... down to one tile and a step, then back by one tile.
        EXPECT_EQ(seen[(w + 2) / 2], -w - 2);
        EXPECT_EQ(seen[(w + 2) / 2 + 1], -4);
    }
    g_linesEffect = savedEffect;
    g_picture = saved;
}

// A sprite of its own pixels, all of one colour, opaque.
x2dSprite* solid(int w, int h, uint32_t argb)
{
    xImage image = {w, h, XIMAGE_ARGB32, (uint8_t*)malloc((size_t)w * h * 4), nullptr};
    for (int i = 0; i < w * h; i++)
        ((uint32_t*)image.pixels)[i] = argb;
    x2dSprite* s = x2dSpriteCreate();
    s->SetImage(image);
    return s;
}

TEST_F(Lines, LettersStartInTheirWindowsAndZoomToTwicePlusAFifth)
{
    // Which letter each row starts; row 60 starts nothing.
    struct Window {
        int first, last, letter;
    } windows[] = {{2, 17, 0}, {18, 33, 1}, {34, 43, 2}, {44, 45, 3}, {46, 53, 4}, {54, 59, 5}, {61, 63, 6}};
    for (int order = 12; order <= 15; order++)
        for (int row = 0; row < 64; row++) {
            int want = -1;
            if (order == 13 || order == 14)
                for (const Window& win : windows)
                    if (row >= win.first && row <= win.last)
                        want = win.letter + (order == 14 ? 7 : 0);
            LinesResetLetters();
            LinesZoomTriggers(order, row);
            for (int k = 0; k < 14; k++)
                ASSERT_EQ(g_zoomLetters[k].active != 0, k == want) << order << "/" << row << " letter " << k + 1;
        }

    std::vector<uint32_t> picture(640 * 280, 0);
    uint32_t* const saved = g_picture;
    g_picture = picture.data();
    for (x2dSprite*& s : g_zoomSprites)
        s = solid(20, 10, 0xFF00FF00u);
    LinesResetLetters();
    g_frameTime = 50;
    LinesZoomTriggers(13, 3);
    std::vector<int32_t> alphas;
    int frames = 0;
    while (g_zoomLetters[0].active && frames < 100) {
        LinesZoomLetters();
        frames++;
        alphas.push_back(g_zoomLetters[0].alpha);
        if (frames == 10) {
            // Still zooming: the open window does not restart it.
            LinesZoomTriggers(13, 10);
            EXPECT_FLOAT_EQ(g_zoomLetters[0].scale, 0.5f);
            // Half its size, centred on (200, 50).
            EXPECT_NE(picture[640 * 50 + 200], 0u);
            EXPECT_NE(picture[640 * 48 + 196], 0u);
            EXPECT_EQ(picture[640 * 47 + 200], 0u);
            EXPECT_EQ(picture[640 * 50 + 194], 0u);
        }
    }
    // 0.05 a frame, summed in float: just past 1.0 on frame 20, past 2.2 on
    // frame 45.
    ASSERT_EQ(frames, 45);
    EXPECT_EQ(alphas[18], 255);
    for (int f = 19; f < 44; f++)
        EXPECT_EQ(alphas[f], 255 - 20 * (f - 18) < 0 ? 0 : 255 - 20 * (f - 18)) << f;
    EXPECT_EQ(alphas[44], 0);
    EXPECT_FLOAT_EQ(g_zoomLetters[0].scale, 2.2f);
    // Ended with its window still open: it starts again.
    LinesZoomTriggers(13, 17);
    EXPECT_TRUE(g_zoomLetters[0].active);
    EXPECT_EQ(g_zoomLetters[0].scale, 0.0f);
    EXPECT_EQ(g_zoomLetters[0].alpha, 255);
    for (x2dSprite*& s : g_zoomSprites) {
        delete s;
        s = nullptr;
    }
    g_picture = saved;
}

TEST_F(Lines, TitleDrawsItsSceneOverTheFrameAStepAFrame)
{
    x3dScene* const saved = g_linesScene;
    g_linesScene = nullptr; // not loaded: nothing drawn
    memset(g_frameBuffer, 0, 640 * 480 * 4);
    LinesTitle();
    EXPECT_EQ(g_frameBuffer[240 * 640 + 320], 0u);

    qh3d::SceneKit kit;
    kit.addMaterial(0x02, 200, 200, 200);
    kit.addObject(qh3d::cube(1.0f), 0);
    kit.addLight(1, {0, 0, -10});
    kit.finish({0, 0, -5}, {0, 0, 0}, 60, 640, 480, true);
    kit.scene.lastFrame = 3;
    g_linesScene = &kit.scene;
    g_linesState = LinesStartState();
    std::vector<float> times;
    for (int f = 0; f < 5; f++) {
        memset(g_frameBuffer, 0, 640 * 480 * 4);
        LinesTitle();
        times.push_back(g_linesState.titleTime);
        EXPECT_NE(g_frameBuffer[240 * 640 + 320] & 0xFFFFFF, 0u) << "frame " << f;
        EXPECT_EQ(g_frameBuffer[0], 0u);
    }
    EXPECT_EQ(times, (std::vector<float>{1, 2, 3, 0, 1}));
    g_linesScene = saved;
}

// Broken data ends the program with its message. The part is loaded from
// an archive in memory, of small pictures of the right kinds.
std::string bytes(const qhtest::Bytes& b) { return std::string(b.begin(), b.end()); }

std::string gif(int w, int h, uint8_t index)
{
    qhtest::Bytes ramp(768);
    for (int i = 0; i < 768; i++)
        ramp[i] = (uint8_t)(i / 3);
    return bytes(qhtest::makeGif(w, h, qhtest::Bytes((size_t)w * h, index), ramp));
}

void initFrom(const std::vector<TestZipEntry>& entries)
{
    writeTestZip(scratchFile("demo.pak"), entries);
    static std::string archive;
    archive = readWholeFile(scratchFile("demo.pak"));
    // The title's textures are read from the disk, beside the archive.
    if (g_fileIO.OpenMemory(archive.data(), archive.size()) != 0 || chdir(showFolder("part").c_str()) != 0)
        exit(99);
    g_pFileIO = &g_fileIO;
    Part3Init();
    exit(g_linesEffect->grids[3].sizeX == 80 && g_linesEffect->grids[3].pixels[0] == 200 ? 0 : 98);
}

TEST_F(Lines, RefusesMissingAndMisshapenData)
{
    // The title scene is the show's own.
    std::vector<TestZipEntry> all;
    for (const TestZipEntry& e : readTestZip(QH_DEMO_PAK))
        if (e.name == "test.x3d" || e.name == "test.3ds")
            all.push_back(e);
    ASSERT_EQ(all.size(), 2u);
    for (int i = 1; i <= 14; i++) {
        all.push_back({"n" + std::to_string(i) + ".tga", bytes(qhtest::makeTga(2, 2, 24, qhtest::Bytes(12, 90)))});
        all.push_back({"n" + std::to_string(i) + ".gif", gif(2, 2, 255)});
    }
    all.push_back({"3dstuff.tga", bytes(qhtest::makeTga(244, 40, 24, qhtest::Bytes(244 * 40 * 3, 200)))});
    for (int i = 1; i <= 4; i++)
        all.push_back({"grid" + std::to_string(i) + ".gif", gif(80, 40, 200)});
    EXPECT_EXIT(initFrom(all), ::testing::ExitedWithCode(0), "");

    std::vector<TestZipEntry> v(all.begin(), all.end() - 2);
    v.push_back(all.back());
    EXPECT_EXIT(initFrom(v), ::testing::ExitedWithCode(3), "LinesEffect::LoadGrid\\(\\) -> Can't load 3");
    v = all;
    v[v.size() - 2].data = gif(80, 39, 200);
    EXPECT_EXIT(initFrom(v), ::testing::ExitedWithCode(3), "LinesEffect::LoadGrid\\(\\) -> Wrong size of grid3.gif");
    // A caption one row too tall for the rows below the letterbox (it comes
    // after the scene's two files and the letters' 28).
    v = all;
    v[2 + 28].data = bytes(qhtest::makeTga(244, 41, 24, qhtest::Bytes(244 * 41 * 3, 200)));
    EXPECT_EXIT(initFrom(v), ::testing::ExitedWithCode(3),
                "Part3Init\\(\\) -> Picture too large for its place -> 3dstuff.tga");
    LinesEffect e;
    EXPECT_EXIT(e.SetHeight(0), ::testing::ExitedWithCode(3), "Assertion failed.*parts/Part_3\\.cpp.*Line 130");
}

} // namespace
