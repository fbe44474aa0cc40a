#include "X2d.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "X2dspr.h"
#include "platform/PlatCpu.h"
#include "system/Xerror.h"

int32_t* x2dLineOffset = nullptr;
uint8_t* x2dBlendTable = nullptr;
int32_t x2dScreenHeight = 0;
int32_t x2dScreenPitch = 0;
int32_t x2dClipTop = 0;
int32_t x2dClipLeft = 0;
int32_t x2dClipRight = 0;
int32_t x2dClipBottom = 0;
int32_t x2dScreenWidth = 0;
uint8_t x2dMMX = 0;

namespace {
// The tables x2dInit made; render targets install tables of their own in the
// globals, so a second x2dInit releases these and never theirs.
int32_t* s_lineTable = nullptr;
uint8_t* s_blendTable = nullptr;

bool mmxForcedOff()
{
    const char* value = getenv("QH_NO_MMX");
    return value && *value && strcmp(value, "0") != 0;
}
} // namespace

void x2dInit(int width, int height)
{
    x2dScreenWidth = width;
    x2dScreenHeight = height;
    x2dScreenPitch = width * 4;

    free(s_lineTable);
    s_lineTable = (int32_t*)malloc(sizeof(int32_t) * (height > 0 ? height : 1));
    if (!s_lineTable)
        g_xError.Raise("X2d/X2d.cpp", __LINE__, 1, nullptr);
    for (int y = 0; y < height; y++)
        s_lineTable[y] = y * width * 4;
    x2dLineOffset = s_lineTable;

    x2dDetectMMX();
    x2dSetClipWindow(0, 0, width, height);

    free(s_blendTable);
    s_blendTable = (uint8_t*)calloc(256 * 512, 1);
    if (!s_blendTable)
        g_xError.Raise("X2d/X2d.cpp", __LINE__, 1, nullptr);
    for (int a = 0; a < 256; a++)
        for (int d = -255; d <= 255; d++)
            s_blendTable[a * 512 + 255 + d] = (uint8_t)((a * d) >> 8);
    x2dBlendTable = s_blendTable;
}

uint8_t x2dDetectMMX()
{
    x2dMMX = 0;
    if (mmxForcedOff() || !x2dSpriteHasMMXPath() || !platCpuHasSSE2())
        return x2dMMX;
    g_xLog.Print("Pentium MMX detected... switcing to MMX technology");
    x2dMMX = 1;
    return x2dMMX;
}

x2dScreen x2dGetScreen()
{
    return x2dScreen{x2dScreenWidth, x2dScreenHeight, x2dScreenPitch, x2dLineOffset,
                     x2dClipLeft,    x2dClipTop,      x2dClipRight,   x2dClipBottom};
}

void x2dSetScreen(const x2dScreen& screen)
{
    x2dScreenWidth = screen.width;
    x2dScreenHeight = screen.height;
    x2dScreenPitch = screen.pitch;
    x2dLineOffset = screen.lineOffset;
    x2dClipLeft = screen.clipLeft;
    x2dClipTop = screen.clipTop;
    x2dClipRight = screen.clipRight;
    x2dClipBottom = screen.clipBottom;
}

void x2dSetClipWindow(int left, int top, int right, int bottom)
{
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right > x2dScreenWidth)
        right = x2dScreenWidth;
    if (bottom > x2dScreenHeight)
        bottom = x2dScreenHeight;
    x2dClipLeft = left;
    x2dClipTop = top;
    x2dClipRight = right;
    x2dClipBottom = bottom;
    g_xLog.Print(xFormat("Set Cliping Window : Left = %d Top = %d Right = %d Bottom = %d", left, top, right,
                         bottom));
}

static inline uint32_t* lineAt(uint32_t* dst, int y)
{
    return (uint32_t*)((uint8_t*)dst + x2dLineOffset[y]);
}

static inline void fillPixels(uint32_t* p, uint32_t color, int count)
{
    for (int i = 0; i < count; i++)
        p[i] = color;
}

void x2dHLine(int x1, int x2, int y, uint32_t color, uint32_t* dst)
{
    if (y < x2dClipTop || y >= x2dClipBottom)
        return;
    if (x1 > x2) {
        int t = x1;
        x1 = x2;
        x2 = t;
    }
    if (x1 < x2dClipLeft)
        x1 = x2dClipLeft;
    if (x2 > x2dClipRight)
        x2 = x2dClipRight;
    if (x2 - x1 <= 0)
        return;
    fillPixels(lineAt(dst, y) + x1, color, x2 - x1);
}

// Clamps a rectangle to the screen; false when nothing is left of it.
static bool clampToScreen(int& x1, int& y1, int& x2, int& y2)
{
    if (x1 < 0)
        x1 = 0;
    if (y1 < 0)
        y1 = 0;
    if (x2 > x2dScreenWidth)
        x2 = x2dScreenWidth;
    if (y2 > x2dScreenHeight)
        y2 = x2dScreenHeight;
    return x2 - x1 > 0 && y2 - y1 > 0;
}

void x2dFillRect(int x1, int y1, int x2, int y2, uint32_t color, uint32_t* dst)
{
    if (y1 == y2) {
        x2dHLine(x1, x2, y1, color, dst);
        return;
    }
    if (!clampToScreen(x1, y1, x2, y2))
        return;
    for (int y = y1; y < y2; y++)
        fillPixels(lineAt(dst, y) + x1, color, x2 - x1);
}

void x2dDiffRect(int x1, int y1, int x2, int y2, int v, uint32_t* dst)
{
    if (!clampToScreen(x1, y1, x2, y2))
        return;
    // One table per call instead of three absolute values per pixel.
    uint8_t diff[256];
    for (int c = 0; c < 256; c++)
        diff[c] = (uint8_t)(v > c ? v - c : c - v);
    for (int y = y1; y < y2; y++) {
        uint32_t* p = lineAt(dst, y) + x1;
        for (int i = 0; i < x2 - x1; i++) {
            uint32_t c = p[i];
            p[i] = (uint32_t)diff[(c >> 16) & 255] << 16 | (uint32_t)diff[(c >> 8) & 255] << 8 | diff[c & 255];
        }
    }
}

// The span fades work on the three colour bytes of a pixel at once: the top
// bit of each byte is kept out of the arithmetic so that no carry or borrow
// crosses into the next byte, and the bytes that overflowed are then forced
// to 255 (add) or 0 (subtract). The fourth byte is never part of it.
static const uint32_t kHigh = 0x808080u;
static const uint32_t kLow = 0x7f7f7fu;

// Four pixels a step where SSE2 lanes (or WebAssembly SIMD) are built in:
// a byte-wise saturating add or subtract of (v, v, v, 0) gives the same
// bytes as the word arithmetic, which takes the last pixels.
#if defined(__SSE2__)
template <class Lanes>
static int spanLanes(int v, int count, uint32_t* p, Lanes lanes)
{
    const uint32_t b = (uint32_t)v & 255u;
    const __m128i by = _mm_set1_epi32((int)(b | b << 8 | b << 16));
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i* q = (__m128i*)(p + i);
        _mm_storeu_si128(q, lanes(_mm_loadu_si128(q), by));
        _mm_storeu_si128(q + 1, lanes(_mm_loadu_si128(q + 1), by));
    }
    return i;
}
#endif

static uint32_t addWord(uint32_t c, uint32_t add)
{
    uint32_t sum = ((c & kLow) + (add & kLow)) ^ ((c ^ add) & kHigh);
    uint32_t carry = ((c & add) | ((c | add) & ~sum)) & kHigh;
    uint32_t full = (carry << 1) - (carry >> 7);
    return (c & 0xff000000u) | ((sum | full) & 0xffffffu);
}

static uint32_t subWord(uint32_t c, uint32_t sub)
{
    uint32_t diff = ((c | kHigh) - (sub & kLow)) ^ ((c ^ ~sub) & kHigh);
    uint32_t borrow = ((~c & sub) | ((~c | sub) & diff)) & kHigh;
    uint32_t empty = (borrow << 1) - (borrow >> 7);
    return (c & 0xff000000u) | (diff & ~empty & 0xffffffu);
}

void x2dAddSpan(int v, int count, uint32_t* p)
{
    uint32_t b = (uint32_t)v & 255u;
    uint32_t add = b | b << 8 | b << 16;
    int i = 0;
#if defined(__SSE2__)
    i = spanLanes(v, count, p, [](__m128i c, __m128i by) { return _mm_adds_epu8(c, by); });
#endif
    for (; i < count; i++)
        p[i] = addWord(p[i], add);
}

void x2dSubSpan(int v, int count, uint32_t* p)
{
    uint32_t b = (uint32_t)v & 255u;
    uint32_t sub = b | b << 8 | b << 16;
    int i = 0;
#if defined(__SSE2__)
    i = spanLanes(v, count, p, [](__m128i c, __m128i by) { return _mm_subs_epu8(c, by); });
#endif
    for (; i < count; i++)
        p[i] = subWord(p[i], sub);
}
