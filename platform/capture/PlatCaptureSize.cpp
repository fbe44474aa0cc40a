// The video's frame at the size a capture asked for: the 640 x 480 picture
// enlarged by a whole factor, nearest pixel, centred on black. The picture
// is converted to YUV at its own size and the planes are enlarged, so the
// conversion never works on the larger frame; the chroma that comes out is
// still that of the enlarged picture converted as a whole (4:2:0 of 2 x 2
// blocks): the picture's corner sits on even rows and columns, so with an
// even factor every block lies inside one pixel of the picture, with the
// factor 1 every block is a block of the picture, and only an odd factor
// from 3 up averages blocks that straddle pixels.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/capture/PlatCaptureSink.h"

namespace {

const int kWidth = PLAT_CAPTURE_WIDTH, kHeight = PLAT_CAPTURE_HEIGHT;

int g_width = kWidth, g_height = kHeight, g_factor = 1, g_left = 0, g_top = 0;
std::vector<uint8_t> g_frame; // Y, U, V planes of the whole frame; the border stays black
std::vector<uint8_t> g_small; // the picture's own planes (factor 1) or one row of luma
std::vector<uint8_t> g_chroma; // a row of U then V a pixel each (even factors)
std::vector<int> g_columns; // odd factors: the picture's columns under each chroma column, in pairs

uint8_t clampByte(int x) { return (uint8_t)(x < 0 ? 0 : x > 255 ? 255 : x); }

// Chroma of red, green and blue each summed over four pixels, as the
// picture's own conversion computes it.
uint8_t blueOf(int r, int g, int b) { return clampByte((-11059 * r - 21709 * g + 32768 * b + (128 << 18) + (1 << 17)) >> 18); }
uint8_t redOf(int r, int g, int b) { return clampByte((32768 * r - 27439 * g - 5329 * b + (128 << 18) + (1 << 17)) >> 18); }

// n samples, each written k times.
template <int k>
void widen(const uint8_t* __restrict in, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; i++, out += k)
        for (int j = 0; j < k; j++)
            out[j] = in[i];
}

void widen(const uint8_t* in, uint8_t* out, int n, int k)
{
    switch (k) {
    case 1: memcpy(out, in, (size_t)n); break;
    case 2: widen<2>(in, out, n); break;
    case 3: widen<3>(in, out, n); break;
    case 4: widen<4>(in, out, n); break;
    default:
        for (int i = 0; i < n; i++, out += k)
            memset(out, in[i], (size_t)k);
    }
}

// A plane of the frame at (x, y): stride is the plane's width.
uint8_t* at(uint8_t* plane, int stride, int x, int y) { return plane + (size_t)y * stride + x; }

} // namespace

void platCaptureSetSize(int width, int height)
{
    g_width = width > kWidth ? width & ~1 : kWidth;
    g_height = height > kHeight ? height & ~1 : kHeight;
    g_factor = std::min(g_width / kWidth, g_height / kHeight);
    g_left = (g_width - kWidth * g_factor) / 2 & ~1;
    g_top = (g_height - kHeight * g_factor) / 2 & ~1;
}

int platCaptureVideoWidth() { return g_width; }
int platCaptureVideoHeight() { return g_height; }
size_t platCaptureVideoBytes() { return (size_t)g_width * g_height * 3 / 2; }

void platCaptureVideoOpen()
{
    const size_t luma = (size_t)g_width * g_height;
    g_frame.assign(luma * 3 / 2, 128);
    memset(g_frame.data(), 0, luma);
    g_small.assign(g_factor == 1 ? (size_t)kWidth * kHeight * 3 / 2 : (size_t)kWidth, 0);
    g_chroma.assign(g_factor % 2 == 0 ? (size_t)kWidth * 2 : 0, 0);
    g_columns.clear();
    if (g_factor % 2 && g_factor > 1)
        for (int x = 0; x < kWidth * g_factor; x++)
            g_columns.push_back(x / g_factor);
}

const uint8_t* platCaptureVideoFrame(const uint32_t* picture)
{
    const int k = g_factor, w = g_width, cw = g_width / 2;
    uint8_t* y = g_frame.data();
    uint8_t* u = y + (size_t)w * g_height;
    uint8_t* v = u + (size_t)cw * (g_height / 2);
    if (k == 1) {
        if (g_width == kWidth && g_height == kHeight) {
            platCaptureYuv(picture, y);
            return y;
        }
        platCaptureYuv(picture, g_small.data());
        const uint8_t* sy = g_small.data();
        const uint8_t* su = sy + kWidth * kHeight;
        const uint8_t* sv = su + kWidth * kHeight / 4;
        for (int row = 0; row < kHeight; row++)
            memcpy(at(y, w, g_left, g_top + row), sy + row * kWidth, kWidth);
        for (int row = 0; row < kHeight / 2; row++) {
            memcpy(at(u, cw, g_left / 2, g_top / 2 + row), su + row * kWidth / 2, kWidth / 2);
            memcpy(at(v, cw, g_left / 2, g_top / 2 + row), sv + row * kWidth / 2, kWidth / 2);
        }
        return y;
    }
    const int wide = kWidth * k;
    for (int row = 0; row < kHeight; row++) {
        const uint32_t* line = picture + (size_t)row * kWidth;
        platCaptureLumaRow(line, g_small.data());
        uint8_t* first = at(y, w, g_left, g_top + row * k);
        widen(g_small.data(), first, kWidth, k);
        for (int copy = 1; copy < k; copy++)
            memcpy(first + (size_t)copy * w, first, (size_t)wide);
        if (k % 2 == 0) {
            // Each pixel's chroma as a block of four of it; a pixel spans
            // k / 2 chroma samples each way.
            uint8_t* cu = g_chroma.data();
            uint8_t* cv = cu + kWidth;
            for (int col = 0; col < kWidth; col++) {
                uint32_t p = line[col];
                int r = (int)((p >> 16) & 255) * 4, g = (int)((p >> 8) & 255) * 4, b = (int)(p & 255) * 4;
                cu[col] = blueOf(r, g, b);
                cv[col] = redOf(r, g, b);
            }
            const int half = k / 2;
            for (int copy = 0; copy < half; copy++) {
                int crow = g_top / 2 + row * half + copy;
                uint8_t* ou = at(u, cw, g_left / 2, crow);
                uint8_t* ov = at(v, cw, g_left / 2, crow);
                if (copy == 0) {
                    widen(cu, ou, kWidth, half);
                    widen(cv, ov, kWidth, half);
                } else {
                    memcpy(ou, ou - cw, (size_t)wide / 2);
                    memcpy(ov, ov - cw, (size_t)wide / 2);
                }
            }
        }
    }
    if (k % 2) {
        // Blocks that straddle the picture's pixels: each averages the four
        // pixels under it.
        const int* cols = g_columns.data();
        for (int crow = 0; crow < kHeight * k / 2; crow++) {
            const uint32_t* top = picture + (size_t)((2 * crow) / k) * kWidth;
            const uint32_t* bottom = picture + (size_t)((2 * crow + 1) / k) * kWidth;
            uint8_t* ou = at(u, cw, g_left / 2, g_top / 2 + crow);
            uint8_t* ov = at(v, cw, g_left / 2, g_top / 2 + crow);
            for (int c = 0; c < wide / 2; c++) {
                int x0 = cols[2 * c], x1 = cols[2 * c + 1];
                uint32_t a = top[x0], b = top[x1], cc = bottom[x0], d = bottom[x1];
                uint32_t redBlue = (a & 0xff00ffu) + (b & 0xff00ffu) + (cc & 0xff00ffu) + (d & 0xff00ffu);
                int g = (int)(((a >> 8) & 255) + ((b >> 8) & 255) + ((cc >> 8) & 255) + ((d >> 8) & 255));
                int r = (int)(redBlue >> 16), bl = (int)(redBlue & 0xffff);
                ou[c] = blueOf(r, g, bl);
                ov[c] = redOf(r, g, bl);
            }
        }
    }
    return y;
}
