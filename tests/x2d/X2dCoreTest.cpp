// Screen set-up, tables, clip window, fills and span fades.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "platform/PlatCpu.h"
#include "system/Xerror.h"
#include "tests/common/Scratch.h"

namespace {

// Opens the system log on a fresh file and returns its text after fn ran.
template <class Fn>
std::string logOf(Fn fn)
{
    std::string name = scratchFile("x2d.log");
    g_xLog.Open(name.c_str());
    fn();
    fclose(g_xLog.file);
    g_xLog.file = nullptr;
    free(g_xLog.name);
    g_xLog.name = nullptr;
    return readWholeFile(name);
}

struct Screen {
    int w, h;
    std::vector<uint32_t> px;
    Screen(int width, int height, uint32_t fill = 0x11223344u) : w(width), h(height), px((size_t)width * height, fill) {}
    uint32_t& at(int x, int y) { return px[(size_t)y * w + x]; }
    uint32_t* data() { return px.data(); }
};

} // namespace

TEST(X2dCore, BlendTableHoldsTheShiftedProductOfEveryRowAndDifference)
{
    x2dInit(640, 280);
    ASSERT_NE(x2dBlendTable, nullptr);
    EXPECT_EQ(x2dBlendRow(128)[255], 127);
    EXPECT_EQ(x2dBlendRow(128)[-255], 0x80);
    EXPECT_EQ(x2dBlendRow(255)[1], 0);
    EXPECT_EQ(x2dBlendRow(255)[-1], 0xff);
    for (int a = 0; a < 256; a++) {
        for (int d = -255; d <= 255; d++) {
            int expected = (int)std::floor(a * d / 256.0) & 255;
            ASSERT_EQ(x2dBlendRow(a)[d], expected) << "a=" << a << " d=" << d;
        }
        EXPECT_EQ(x2dBlendTable[a * 512 + 511], 0) << a;
    }
    // Blending through the table stays between the two values for any weight.
    for (int a = 0; a < 256; a += 17)
        for (int s = 0; s < 256; s += 5)
            for (int t = 0; t < 256; t += 7) {
                int r = (uint8_t)(t + x2dBlendRow(a)[s - t]);
                ASSERT_GE(r, std::min(s, t));
                ASSERT_LE(r, std::max(s, t));
            }
}

TEST(X2dCore, InitSetsGeometryLineTableAndFullClipWindow)
{
    x2dInit(640, 280);
    EXPECT_EQ(x2dScreenWidth, 640);
    EXPECT_EQ(x2dScreenHeight, 280);
    EXPECT_EQ(x2dScreenPitch, 2560);
    EXPECT_EQ(x2dLineOffset[0], 0);
    EXPECT_EQ(x2dLineOffset[1], 2560);
    EXPECT_EQ(x2dLineOffset[279], 279 * 2560);
    EXPECT_EQ(x2dClipLeft, 0);
    EXPECT_EQ(x2dClipTop, 0);
    EXPECT_EQ(x2dClipRight, 640);
    EXPECT_EQ(x2dClipBottom, 280);
    // A second set-up replaces the tables with ones of the new geometry.
    x2dInit(140, 105);
    EXPECT_EQ(x2dLineOffset[104], 104 * 560);
    EXPECT_EQ(x2dClipRight, 140);
    EXPECT_EQ(x2dClipBottom, 105);
}

TEST(X2dCore, ClipWindowIsClampedToTheScreenAndLogged)
{
    x2dInit(640, 280);
    std::string log = logOf([] { x2dSetClipWindow(-5, -5, 700, 300); });
    EXPECT_EQ(x2dClipLeft, 0);
    EXPECT_EQ(x2dClipTop, 0);
    EXPECT_EQ(x2dClipRight, 640);
    EXPECT_EQ(x2dClipBottom, 280);
    EXPECT_EQ(log, "XLOG: Set Cliping Window : Left = 0 Top = 0 Right = 640 Bottom = 280\n");
    // An empty or inverted window is stored as given.
    x2dSetClipWindow(300, 200, 100, 50);
    EXPECT_EQ(x2dClipLeft, 300);
    EXPECT_EQ(x2dClipRight, 100);
    EXPECT_EQ(x2dClipTop, 200);
    EXPECT_EQ(x2dClipBottom, 50);
}

TEST(X2dCore, MmxProbeLogsOnlyWhenItSwitches)
{
    setenv("QH_NO_MMX", "1", 1);
    std::string off = logOf([] { EXPECT_EQ(x2dDetectMMX(), 0); });
    EXPECT_EQ(x2dMMX, 0);
    EXPECT_EQ(off.find("MMX"), std::string::npos);
    unsetenv("QH_NO_MMX");
    bool has = platCpuHasSSE2() && x2dSpriteHasMMXPath();
    std::string on = logOf([] { x2dDetectMMX(); });
    EXPECT_EQ(x2dMMX, has ? 1 : 0);
    if (has)
        EXPECT_EQ(on, "XLOG: Pentium MMX detected... switcing to MMX technology\n");
    else
        EXPECT_EQ(on, "");
#if defined(__x86_64__)
    EXPECT_TRUE(platCpuHasSSE2()); // every 64-bit x86 processor has it
    EXPECT_TRUE(x2dSpriteHasMMXPath());
    EXPECT_EQ(x2dMMX, 1);
#endif
}

TEST(X2dCore, HLineSwapsEndsAndClipsToTheWindow)
{
    x2dInit(64, 32);
    x2dSetClipWindow(4, 2, 60, 30);
    Screen s(64, 32, 0);
    x2dHLine(50, 10, 5, 0xabcdef, s.data());
    for (int x = 0; x < 64; x++)
        EXPECT_EQ(s.at(x, 5), x >= 10 && x < 50 ? 0xabcdefu : 0u) << x;
    // Clipped at both ends of the window.
    x2dHLine(-100, 100, 6, 7, s.data());
    for (int x = 0; x < 64; x++)
        EXPECT_EQ(s.at(x, 6), x >= 4 && x < 60 ? 7u : 0u) << x;
    // The bottom line of the window is outside, the one above it inside;
    // the top line is inside, the one above it outside.
    x2dHLine(10, 20, 30, 9, s.data());
    x2dHLine(10, 20, 1, 9, s.data());
    x2dHLine(10, 20, 29, 9, s.data());
    x2dHLine(10, 20, 2, 9, s.data());
    EXPECT_EQ(s.at(10, 30), 0u);
    EXPECT_EQ(s.at(10, 1), 0u);
    EXPECT_EQ(s.at(10, 29), 9u);
    EXPECT_EQ(s.at(10, 2), 9u);
    // Equal ends and spans fully outside draw nothing.
    Screen before = s;
    x2dHLine(20, 20, 10, 1, s.data());
    x2dHLine(0, 4, 10, 1, s.data());
    x2dHLine(60, 64, 10, 1, s.data());
    EXPECT_EQ(s.px, before.px);
}

TEST(X2dCore, FillRectClampsToTheScreenButItsOneLineCaseToTheClipWindow)
{
    x2dInit(64, 32);
    x2dSetClipWindow(8, 0, 40, 20);
    Screen s(64, 32, 0);
    // y1 == y2: one line, clipped to the window.
    x2dFillRect(2, 20, 50, 20, 5, s.data());
    for (int x = 0; x < 64; x++)
        EXPECT_EQ(s.at(x, 20), 0u) << "line 20 is below the window";
    x2dFillRect(2, 19, 50, 19, 5, s.data());
    for (int x = 0; x < 64; x++)
        EXPECT_EQ(s.at(x, 19), x >= 8 && x < 40 ? 5u : 0u) << x;
    // A real rectangle ignores the window and is clamped to the screen.
    Screen r(64, 32, 0);
    x2dFillRect(-3, 25, 70, 40, 6, r.data());
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 64; x++)
            ASSERT_EQ(r.at(x, y), y >= 25 ? 6u : 0u) << x << "," << y;
    // Corners are not swapped: an inverted rectangle is empty.
    Screen e(64, 32, 0);
    x2dFillRect(30, 10, 20, 15, 1, e.data());
    x2dFillRect(20, 15, 30, 10, 1, e.data());
    EXPECT_EQ(e.px, std::vector<uint32_t>(64 * 32, 0));
}

TEST(X2dCore, FillRectWithTopEqualToBottomFillsThatRowUpToTheRightEdge)
{
    x2dInit(640, 280);
    x2dSetClipWindow(0, 0, 640, 250);
    Screen s(640, 280, 0);
    x2dFillRect(10, 20, 50, 20, 0xff00ff, s.data());
    for (int y = 19; y <= 21; y++)
        for (int x = 0; x < 640; x++)
            ASSERT_EQ(s.at(x, y), y == 20 && x >= 10 && x < 50 ? 0xff00ffu : 0u) << x << "," << y;
}

TEST(X2dCore, DiffRectTakesTheDistanceOfEveryChannel)
{
    x2dInit(16, 8);
    Screen s(16, 8, 0);
    std::mt19937 rng(5);
    for (auto& p : s.px)
        p = rng();
    Screen before = s;
    x2dDiffRect(2, 1, 30, 5, 100, s.data());
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++) {
            uint32_t c = before.at(x, y);
            uint32_t expected = c;
            if (x >= 2 && y >= 1 && y < 5) {
                auto d = [](int v, uint32_t ch) { return (uint32_t)std::abs(v - (int)(ch & 255)); };
                expected = d(100, c >> 16) << 16 | d(100, c >> 8) << 8 | d(100, c);
            }
            ASSERT_EQ(s.at(x, y), expected) << x << "," << y;
        }
    // v = 255 inverts the colours.
    Screen w(16, 8, 0x12345678);
    x2dDiffRect(0, 0, 16, 8, 255, w.data());
    EXPECT_EQ(w.at(3, 3), 0x00cba987u);
}

TEST(X2dCore, SpanFadesSaturateEveryChannelAndKeepTheFourthByte)
{
    std::mt19937 rng(7);
    std::vector<uint32_t> px(4096), orig;
    for (auto& p : px)
        p = rng();
    // Channels at the saturation edges.
    px[0] = 0xff000000;
    px[1] = 0x00ffffff;
    px[2] = 0x807f80ff;
    px[3] = 0x01010101;
    for (int v : {0, 1, 2, 127, 128, 129, 200, 254, 255, 256 + 3, -1}) {
        orig = px;
        std::vector<uint32_t> up = px, down = px;
        x2dAddSpan(v, (int)up.size(), up.data());
        x2dSubSpan(v, (int)down.size(), down.data());
        int b = v & 255;
        for (size_t i = 0; i < px.size(); i++) {
            uint32_t add = orig[i] & 0xff000000u, sub = orig[i] & 0xff000000u;
            for (int sh = 0; sh < 24; sh += 8) {
                int c = (orig[i] >> sh) & 255;
                add |= (uint32_t)std::min(c + b, 255) << sh;
                sub |= (uint32_t)std::max(c - b, 0) << sh;
            }
            ASSERT_EQ(up[i], add) << "v=" << v << " pixel " << std::hex << orig[i];
            ASSERT_EQ(down[i], sub) << "v=" << v << " pixel " << std::hex << orig[i];
        }
        // Short spans at an odd start, ending inside and after the steps of
        // eight pixels: the same pixels as the long span, and none beyond.
        for (int count = 1; count <= 19; count++) {
            std::vector<uint32_t> shortUp = orig, shortDown = orig;
            x2dAddSpan(v, count, shortUp.data() + 3);
            x2dSubSpan(v, count, shortDown.data() + 3);
            for (size_t i = 0; i < 32; i++) {
                bool inside = i >= 3 && i < 3 + (size_t)count;
                ASSERT_EQ(shortUp[i], inside ? up[i] : orig[i]) << "v=" << v << " count " << count << " at " << i;
                ASSERT_EQ(shortDown[i], inside ? down[i] : orig[i]) << "v=" << v << " count " << count << " at " << i;
            }
        }
    }
    // Exactly count pixels change; a count of 0 changes nothing.
    std::vector<uint32_t> row(8, 0x40404040);
    x2dAddSpan(255, 3, row.data() + 2);
    EXPECT_EQ(row[1], 0x40404040u);
    EXPECT_EQ(row[2], 0x40ffffffu);
    EXPECT_EQ(row[4], 0x40ffffffu);
    EXPECT_EQ(row[5], 0x40404040u);
    x2dSubSpan(255, 0, row.data());
    EXPECT_EQ(row[0], 0x40404040u);
    x2dSubSpan(255, 8, row.data());
    EXPECT_EQ(row[7], 0x40000000u);
}
