// The sprites' lanes as the browser runs them (WebAssembly SIMD), against the
// MMX arithmetic written out in integers: every source byte, screen byte and
// weight through the constant, per-pixel and layer weights, and the copy, the
// key and the saturating add of every byte pair. Built by the
// browser build beside the program, run by node (lanes.test.mjs); prints
// "lanes: D of N pixels differ" and fails on any.
//
// It takes the lane path's source whole, with the few engine globals it reads
// defined here, so that nothing of the program's page set-up comes along.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"

int32_t* x2dLineOffset;
uint8_t* x2dBlendTable;
int32_t x2dScreenHeight, x2dScreenPitch, x2dClipTop, x2dClipLeft, x2dClipRight, x2dClipBottom, x2dScreenWidth;
uint8_t x2dMMX;
const x2dSpriteOps x2dSpriteX86Ops = {};
x2dSprite::x2dSprite() : ops(nullptr), className(nullptr), sizeX(0), sizeY(0), pixels(nullptr), pitch(0), skip(0),
                         color(0), alphaLayer(nullptr), ownsMemory(0) {}
x2dSprite::~x2dSprite() {}

#include "X2d/X2dsprSSE2.cpp"

namespace {

uint32_t mmx(int p, int d, int w)
{
    const int e = (p - d) >> 1, r = d + ((e * w) >> 7);
    return (uint32_t)(r < 0 ? 0 : r > 255 ? 255 : r);
}

} // namespace

int main()
{
    if (!x2dSpriteHasMMXPath()) {
        printf("lanes: not built\n");
        return 1;
    }
    const int n = 65536; // pixel i: source byte i & 255 over screen byte i >> 8
    std::vector<int32_t> lines(256);
    for (int y = 0; y < 256; y++)
        lines[y] = y * 1024;
    std::vector<uint8_t> table(256 * 512);
    for (int a = 0; a < 256; a++)
        for (int d = -255; d <= 255; d++)
            table[a * 512 + 255 + d] = (uint8_t)((a * d) >> 8);
    x2dLineOffset = lines.data();
    x2dBlendTable = table.data();
    x2dScreenWidth = x2dClipRight = 256;
    x2dScreenHeight = x2dClipBottom = 256;

    std::vector<uint32_t> px(n), screen(n);
    std::vector<uint8_t> layer(n);
    x2dSprite s;
    s.ops = &x2dSpriteMMXOps;
    s.sizeX = s.sizeY = 256;
    s.pixels = px.data();
    s.alphaLayer = layer.data();
    auto under = [&] {
        for (int i = 0; i < n; i++)
            screen[i] = 0x01010101u * (uint32_t)(i >> 8);
    };
    long wrong = 0, seen = 0;
    auto expect = [&](int i, uint32_t want) {
        seen++;
        wrong += screen[i] != want;
    };
    for (int w = 0; w < 256; w++) {
        // A constant weight (DrawBlend blends even 0 and 255 on this path).
        for (int i = 0; i < n; i++)
            px[i] = 0x01010101u * (uint32_t)(i & 255);
        under();
        s.DrawBlend(0, 0, (uint32_t)w, screen.data());
        for (int i = 0; i < n; i++)
            expect(i, 0x01010101u * mmx(i & 255, i >> 8, w));
        // The pixel's own alpha w as its weight.
        for (int i = 0; i < n; i++)
            px[i] = (uint32_t)w << 24 | 0x010101u * (uint32_t)(i & 255);
        under();
        s.DrawAlpha(0, 0, screen.data());
        for (int i = 0; i < n; i++)
            expect(i, w == 0     ? 0x01010101u * (uint32_t)(i >> 8)
                      : w == 255 ? px[i]
                                 : mmx(w, i >> 8, w) << 24 | 0x010101u * mmx(i & 255, i >> 8, w));
        // The layer w times a constant 200, painting a colour.
        for (int i = 0; i < n; i++)
            layer[i] = (uint8_t)w;
        const int k = w * 7 & 255, lw = w == 255 ? 200 : (200 * w) >> 8;
        s.color = 0x01010101u * (uint32_t)k;
        under();
        s.DrawLayerBlend(0, 0, 200, screen.data());
        for (int i = 0; i < n; i++)
            expect(i, w == 0 ? 0x01010101u * (uint32_t)(i >> 8) : 0x01010101u * mmx(k, i >> 8, lw));
    }
    // Copy, key (the key is byte 77 in all four) and add, at an odd column
    // so that rows end in the middle of a step.
    for (int i = 0; i < n; i++)
        px[i] = 0x01010101u * (uint32_t)(i & 255);
    s.sizeX = 255;
    s.skip = 1;
    s.color = 0x01010101u * 77;
    const uint32_t outside = 0xdeadbeef;
    for (int op = 0; op < 3; op++) {
        under();
        for (int y = 0; y < 256; y++)
            screen[(size_t)y * 256] = outside;
        if (op == 0)
            s.DrawNoClip(1, 0, screen.data());
        else if (op == 1)
            s.DrawKey(1, 0, screen.data());
        else
            s.DrawAddNoClip(1, 0, screen.data());
        for (int y = 0; y < 256; y++) {
            expect(y * 256, outside);
            for (int x = 1; x < 256; x++) {
                const int p = (y * 255 + x - 1) & 255, d = y;
                const uint32_t pv = 0x01010101u * (uint32_t)p, dv = 0x01010101u * (uint32_t)d;
                const uint32_t want = op == 0 ? pv : op == 1 ? (p == 77 ? dv : pv) : 0x01010101u * (uint32_t)std::min(255, p + d);
                expect(y * 256 + x, want);
            }
        }
    }
    printf("lanes: %ld of %ld pixels differ\n", wrong, seen);
    return wrong != 0;
}
