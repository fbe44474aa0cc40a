// The ".y4m" output: YUV4MPEG2 at the capture's rate, 4:2:0 in full-range
// BT.601, the music in a WAV file beside it.
#include <string>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/capture/PlatCaptureSink.h"

namespace {

const int kWidth = PLAT_CAPTURE_WIDTH, kHeight = PLAT_CAPTURE_HEIGHT;

PlatCaptureFile g_video;
const uint8_t* g_planes = nullptr;

} // namespace

// Y = (19595 R + 38470 G + 7471 B + 32768) >> 16 for a row of pixels.
void platCaptureLumaRow(const uint32_t* __restrict in, uint8_t* __restrict out)
{
#ifdef __SSE2__
    // Eight pixels a step, in 16-bit pairs: green weighs more than a signed
    // 16-bit factor holds, so it goes in twice, in place of the fourth byte:
    // (B, G) x (7471, 19235) + (R, G) x (19595, 19235).
    const __m128i factors = _mm_setr_epi16(7471, 19235, 19595, 19235, 7471, 19235, 19595, 19235);
    const __m128i colour = _mm_set1_epi32(0xffffff), green = _mm_set1_epi32(0xff00);
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(32768);
    static_assert(kWidth % 8 == 0, "whole steps of eight pixels");
    for (int col = 0; col < kWidth; col += 8) {
        __m128i sums[2];
        for (int h = 0; h < 2; h++) {
            __m128i p = _mm_loadu_si128((const __m128i*)(in + col + 4 * h));
            p = _mm_or_si128(_mm_and_si128(p, colour), _mm_slli_epi32(_mm_and_si128(p, green), 16));
            __m128 first = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(p, zero), factors));
            __m128 second = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(p, zero), factors));
            __m128i blueSide = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
            __m128i redSide = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
            sums[h] = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(blueSide, redSide), half), 16);
        }
        __m128i words = _mm_packs_epi32(sums[0], sums[1]);
        _mm_storel_epi64((__m128i*)(out + col), _mm_packus_epi16(words, words));
    }
#else
    for (int col = 0; col < kWidth; col++) {
        uint32_t p = in[col], r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        out[col] = (uint8_t)((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
    }
#endif
}

namespace {

uint8_t clampByte(int x) { return (uint8_t)(x < 0 ? 0 : x > 255 ? 255 : x); }

// BT.601 full-range RGB to YUV 4:2:0, in integers so the bytes never depend
// on the compiler's floating point. Two rows at a time: their luma, then the
// chroma of their 2 x 2 blocks in a loop simple enough to be vectorised.
} // namespace

void platCaptureYuv(const uint32_t* picture, uint8_t* planes)
{
    uint8_t* y = planes;
    uint8_t* u = y + kWidth * kHeight;
    uint8_t* v = u + kWidth * kHeight / 4;
    for (int row = 0; row < kHeight; row += 2) {
        const uint32_t* __restrict top = picture + row * kWidth;
        const uint32_t* __restrict bottom = top + kWidth;
        uint8_t* __restrict yTop = y + row * kWidth;
        uint8_t* __restrict yBottom = yTop + kWidth;
        platCaptureLumaRow(top, yTop);
        platCaptureLumaRow(bottom, yBottom);
        uint8_t* __restrict uRow = u + (row / 2) * (kWidth / 2);
        uint8_t* __restrict vRow = v + (row / 2) * (kWidth / 2);
        for (int col = 0; col < kWidth / 2; col++) {
            uint32_t a = top[2 * col], b = top[2 * col + 1], c = bottom[2 * col], d = bottom[2 * col + 1];
            // Red and blue summed side by side: four bytes never carry out of 16
            // bits.
            uint32_t redBlue = (a & 0xff00ffu) + (b & 0xff00ffu) + (c & 0xff00ffu) + (d & 0xff00ffu);
            int g = (int)(((a >> 8) & 255) + ((b >> 8) & 255) + ((c >> 8) & 255) + ((d >> 8) & 255));
            int r = (int)(redBlue >> 16), bl = (int)(redBlue & 0xffff);
            uRow[col] = clampByte((-11059 * r - 21709 * g + 32768 * bl + (128 << 18) + (1 << 17)) >> 18);
            vRow[col] = clampByte((32768 * r - 27439 * g - 5329 * bl + (128 << 18) + (1 << 17)) >> 18);
        }
    }
}

namespace {

void open(const std::string& path, int fps)
{
    g_video.path = path;
    platCaptureOpenMusic(path);
    g_video.f = platCaptureCreate(path);
    std::string header = "YUV4MPEG2 W" + std::to_string(platCaptureVideoWidth()) + " H" +
                         std::to_string(platCaptureVideoHeight()) + " F" +
                         std::to_string(fps) + ":1 Ip A1:1 C420jpeg\n";
    platCapturePut(header.data(), header.size(), g_video.f, g_video.path);
    platCaptureVideoOpen();
}

void frame(uint32_t* picture, bool changed, uint32_t)
{
    if (changed)
        g_planes = platCaptureVideoFrame(picture);
    platCapturePut("FRAME\n", 6, g_video.f, g_video.path);
    platCapturePut(g_planes, platCaptureVideoBytes(), g_video.f, g_video.path);
}

void finish(uint64_t, uint64_t) { g_video.finish(); }

void abandon() { g_video.abandon(); }

uint64_t frameBytes() { return 6 + platCaptureVideoBytes(); }
} // namespace

const PlatCaptureSink g_platCaptureY4m = {open, frame, finish, abandon, 0, frameBytes};
