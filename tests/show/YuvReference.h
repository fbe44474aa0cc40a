// The capture's YUV frames computed the plain way, pixel by pixel: what
// its conversion must give.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>

// BT.601 full range, 4:2:0 of 2 x 2 blocks, in the capture's integers, pixel
// by pixel from B, G, R, 255.
inline std::string yuvOf(const uint8_t* bgra, int w, int h)
{
    std::string out((size_t)w * h * 3 / 2, '\0');
    auto at = [&](int x, int y, int c) { return (int)bgra[((size_t)y * w + x) * 4 + c]; };
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            out[(size_t)y * w + x] = (char)((19595 * at(x, y, 2) + 38470 * at(x, y, 1) + 7471 * at(x, y, 0) + 32768) >> 16);
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2) {
            int r = 0, g = 0, b = 0;
            for (int i = 0; i < 4; i++) {
                r += at(x + i % 2, y + i / 2, 2);
                g += at(x + i % 2, y + i / 2, 1);
                b += at(x + i % 2, y + i / 2, 0);
            }
            int cb = (-11059 * r - 21709 * g + 32768 * b + (128 << 18) + (1 << 17)) >> 18;
            int cr = (32768 * r - 27439 * g - 5329 * b + (128 << 18) + (1 << 17)) >> 18;
            size_t i = (size_t)(y / 2) * (w / 2) + x / 2;
            out[(size_t)w * h + i] = (char)std::min(255, std::max(0, cb));
            out[(size_t)w * h * 5 / 4 + i] = (char)std::min(255, std::max(0, cr));
        }
    return out;
}
