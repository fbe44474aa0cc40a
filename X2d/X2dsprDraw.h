// Placement of a sprite on the 2D screen, shared by both code paths: which
// source pixels land on which screen pixels. The code paths supply only what
// happens to one row, rule(d, s, n), for the unclipped and clipped
// placements, and for the scaled one either that (on gathered samples) or
// what happens to one pixel, rule(d, s).
// Internal to X2d.
#pragma once
#include <cstdint>

#include "X2d.h"
#include "X2dspr.h"

namespace x2ddraw {

inline uint32_t* screenLine(uint32_t* dst, int y)
{
    return (uint32_t*)((uint8_t*)dst + x2dLineOffset[y]);
}

// A constant alpha above 255 would address past the blend table.
inline uint32_t clampAlpha(uint32_t a) { return a > 255 ? 255 : a; }

// Unclipped: the line table is read for the first row only; each following
// row is rowSkip pixels on from the end of the previous one. (Captions are
// drawn at row 260 of a 280-line table: a lookup per row would run past it.)
template <class Src, class Row>
inline void noClip(const x2dSprite* s, const Src* src, int x, int y, uint32_t* dst, int rowSkip, Row row)
{
    if (!src || s->sizeX <= 0 || s->sizeY <= 0)
        return;
    uint32_t* d = screenLine(dst, y) + x;
    const int w = s->sizeX;
    const intptr_t step = (intptr_t)w + rowSkip;
    for (int j = 0; j < s->sizeY; j++) {
        row(d, src, w);
        d += step;
        src += w;
    }
}

// Clipped against the clip window (right and bottom exclusive).
template <class Src, class Row>
inline void clipped(const x2dSprite* s, const Src* src, int x, int y, uint32_t* dst, Row row)
{
    if (!src)
        return;
    int64_t w = s->sizeX, h = s->sizeY;
    int64_t px = x, py = y;
    if (px + s->sizeX > x2dClipRight)
        w = x2dClipRight - px;
    if (py + s->sizeY > x2dClipBottom)
        h = x2dClipBottom - py;
    int64_t firstCol = 0, firstRow = 0;
    if (px < x2dClipLeft) {
        w -= x2dClipLeft - px;
        firstCol = x2dClipLeft - px;
        px = x2dClipLeft;
    }
    if (py < x2dClipTop) {
        h -= x2dClipTop - py;
        firstRow = x2dClipTop - py;
        py = x2dClipTop;
    }
    if (w <= 0 || h <= 0)
        return;
    const int sw = s->sizeX;
    src += firstRow * sw + firstCol;
    uint32_t* d = screenLine(dst, (int)py) + px;
    for (int64_t j = 0; j < h; j++) {
        row(d, src, (int)w);
        d += x2dScreenWidth;
        src += sw;
    }
}

// The part of the screen a scaled drawing covers, clipped: W x H pixels from
// d, sampling source column u >> 16 and row v >> 16, u from su by stepX per
// column, v from sv by stepY per row.
struct ScaledArea {
    uint32_t* d;
    int64_t W, H;
    uint64_t su, sv;
    uint32_t stepX, stepY;
};

// Nearest-pixel scaling in 16.16 fixed point, clipped; the float work is done
// once per call. False when nothing is drawn.
inline bool scaledArea(const x2dSprite* s, int x, int y, float scale, uint32_t* dst, ScaledArea& a)
{
    if (s->sizeX <= 0 || s->sizeY <= 0)
        return false;
    float fw = (float)s->sizeX * scale;
    float fh = (float)s->sizeY * scale;
    // Below one pixel (or not a number) nothing is drawn; a huge scale is
    // held to a size the clip window cuts down anyway.
    if (!(fw >= 1.0f) || !(fh >= 1.0f))
        return false;
    const float most = 1073741824.0f;
    if (fw > most)
        fw = most;
    if (fh > most)
        fh = most;
    int64_t W = (int64_t)fw, H = (int64_t)fh;
    const uint32_t stepX = (uint32_t)((float)s->sizeX / (float)W * 65536.0f);
    const uint32_t stepY = (uint32_t)((float)s->sizeY / (float)H * 65536.0f);

    int64_t px = x, py = y;
    if (px + W > x2dClipRight)
        W = x2dClipRight - px;
    if (py + H > x2dClipBottom)
        H = x2dClipBottom - py;
    uint64_t su = 0, sv = 0;
    if (px < x2dClipLeft) {
        su = (uint64_t)(x2dClipLeft - px) * stepX;
        W -= x2dClipLeft - px;
        px = x2dClipLeft;
    }
    if (py < x2dClipTop) {
        sv = (uint64_t)(x2dClipTop - py) * stepY;
        H -= x2dClipTop - py;
        py = x2dClipTop;
    }
    // Float rounding in the steps must never carry the last sample past the
    // picture.
    const uint64_t endU = (uint64_t)s->sizeX << 16, endV = (uint64_t)s->sizeY << 16;
    if (su >= endU || sv >= endV)
        return false;
    if (stepX > 0 && W > (int64_t)((endU - 1 - su) / stepX) + 1)
        W = (int64_t)((endU - 1 - su) / stepX) + 1;
    if (stepY > 0 && H > (int64_t)((endV - 1 - sv) / stepY) + 1)
        H = (int64_t)((endV - 1 - sv) / stepY) + 1;
    if (W <= 0 || H <= 0)
        return false;
    a = ScaledArea{screenLine(dst, (int)py) + px, W, H, su, sv, stepX, stepY};
    return true;
}

// Scaled placement a pixel at a time: pixel(d, s).
template <class Src, class Pixel>
inline void scaled(const x2dSprite* s, const Src* src, int x, int y, float scale, uint32_t* dst, Pixel pixel)
{
    ScaledArea a;
    if (!src || !scaledArea(s, x, y, scale, dst, a))
        return;
    uint32_t* d = a.d;
    uint64_t v = a.sv;
    for (int64_t j = 0; j < a.H; j++) {
        const Src* line = src + (size_t)(v >> 16) * (size_t)s->sizeX;
        uint64_t u = a.su;
        for (int64_t i = 0; i < a.W; i++) {
            pixel(d + i, line + (u >> 16));
            u += a.stepX;
        }
        d += x2dScreenWidth;
        v += a.stepY;
    }
}

// Scaled placement a row at a time, for rules that work on several pixels a
// step: rule.sampled(d, line, u, stepX, n) draws n pixels from d, sampling
// column u >> 16 of the source line, u growing by stepX.
template <class Src, class Rule>
inline void scaledRows(const x2dSprite* s, const Src* src, int x, int y, float scale, uint32_t* dst, const Rule& rule)
{
    ScaledArea a;
    if (!src || !scaledArea(s, x, y, scale, dst, a))
        return;
    uint32_t* d = a.d;
    uint64_t v = a.sv;
    for (int64_t j = 0; j < a.H; j++) {
        rule.sampled(d, src + (size_t)(v >> 16) * (size_t)s->sizeX, a.su, a.stepX, a.W);
        d += x2dScreenWidth;
        v += a.stepY;
    }
}

} // namespace x2ddraw
