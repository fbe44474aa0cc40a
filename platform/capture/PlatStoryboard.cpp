#include "platform/capture/PlatStoryboard.h"
#include "platform/PlatGlyphs.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const int kFrameW = 640, kFrameH = 480;
const int kShrink = 5; // each thumbnail pixel is the mean of 5 x 5 frame pixels
const int kThumbW = kFrameW / kShrink, kThumbH = kFrameH / kShrink;
const int kColumns = 8;
const int kMargin = 12, kGap = 8;
// The label strip under a thumbnail: glyphs of 5 x 7 drawn twice their size.
const int kGlyphScale = 2, kLabelTop = 5, kLabelH = 24;
const int kCellW = kThumbW + kGap, kCellH = kThumbH + kLabelH + kGap;
const uint32_t kBackground = 0x1B2129, kTimeInk = 0xE8ECF0, kMusicInk = 0xF5BF7F;

struct Thumb {
    uint32_t ms, position;
    std::vector<uint8_t> rgb; // kThumbW x kThumbH x 3
};

std::vector<Thumb> g_thumbs;

const int kAdvance = 6 * kGlyphScale;

struct Canvas {
    int w, h;
    std::vector<uint8_t> rgb;
    void fill(uint32_t colour)
    {
        for (size_t i = 0; i < rgb.size(); i += 3) {
            rgb[i] = (uint8_t)(colour >> 16);
            rgb[i + 1] = (uint8_t)(colour >> 8);
            rgb[i + 2] = (uint8_t)colour;
        }
    }
    void text(int x, int y, const char* s, uint32_t colour)
    {
        for (; *s; s++, x += kAdvance) {
            const uint8_t* rows = platGlyph5x7(*s);
            if (!rows)
                continue;
            for (int r = 0; r < 7 * kGlyphScale; r++)
                for (int c = 0; c < 5 * kGlyphScale; c++)
                    if (rows[r / kGlyphScale] & (0x10 >> (c / kGlyphScale))) {
                        uint8_t* p = &rgb[((size_t)(y + r) * w + x + c) * 3];
                        p[0] = (uint8_t)(colour >> 16);
                        p[1] = (uint8_t)(colour >> 8);
                        p[2] = (uint8_t)colour;
                    }
        }
    }
};

void putBig32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((uint8_t)(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size)
{
    putBig32(out, (uint32_t)size);
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    putBig32(out, (uint32_t)crc32(0, out.data() + start, (uInt)(size + 4)));
}

int paeth(int a, int b, int c)
{
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}
} // namespace

void platStoryboardAdd(const uint32_t* frame, uint32_t ms, uint32_t position)
{
    Thumb t{ms, position, std::vector<uint8_t>((size_t)kThumbW * kThumbH * 3)};
    uint8_t* out = t.rgb.data();
    for (int y = 0; y < kThumbH; y++)
        for (int x = 0; x < kThumbW; x++, out += 3) {
            uint32_t r = 0, g = 0, b = 0;
            const uint32_t* block = frame + (size_t)y * kShrink * kFrameW + x * kShrink;
            for (int dy = 0; dy < kShrink; dy++)
                for (int dx = 0; dx < kShrink; dx++) {
                    uint32_t p = block[dy * kFrameW + dx];
                    r += (p >> 16) & 255;
                    g += (p >> 8) & 255;
                    b += p & 255;
                }
            const uint32_t n = kShrink * kShrink;
            out[0] = (uint8_t)((r + n / 2) / n);
            out[1] = (uint8_t)((g + n / 2) / n);
            out[2] = (uint8_t)((b + n / 2) / n);
        }
    g_thumbs.push_back(std::move(t));
}

int platStoryboardCount() { return (int)g_thumbs.size(); }

std::vector<uint8_t> platStoryboardPng()
{
    const int count = (int)g_thumbs.size();
    const int rows = count ? (count + kColumns - 1) / kColumns : 1;
    Canvas c{2 * kMargin + kColumns * kCellW - kGap, 2 * kMargin + rows * kCellH - kGap, {}};
    c.rgb.resize((size_t)c.w * c.h * 3);
    c.fill(kBackground);
    for (int i = 0; i < count; i++) {
        const Thumb& t = g_thumbs[i];
        const int x = kMargin + (i % kColumns) * kCellW, y = kMargin + (i / kColumns) * kCellH;
        for (int row = 0; row < kThumbH; row++)
            memcpy(&c.rgb[((size_t)(y + row) * c.w + x) * 3], &t.rgb[(size_t)row * kThumbW * 3], kThumbW * 3);
        char time[16], music[16] = "";
        snprintf(time, sizeof time, "%u:%02u", t.ms / 60000, t.ms / 1000 % 60);
        if (t.position != 0xFFFFFFFFu)
            snprintf(music, sizeof music, "%02u/%02u", t.position & 0xFFFF, t.position >> 16);
        const int textY = y + kThumbH + kLabelTop;
        c.text(x, textY, time, kTimeInk);
        c.text(x + kThumbW - (int)strlen(music) * kAdvance + kGlyphScale, textY, music, kMusicInk);
    }
    g_thumbs.clear();
    return platPngEncode(c.rgb.data(), c.w, c.h);
}

std::vector<uint8_t> platPngEncode(const uint8_t* rgb, int width, int height)
{
    // Each row goes through the filter that leaves the smallest sum of
    // magnitudes, the usual guess at what deflate packs best.
    const size_t stride = (size_t)width * 3;
    std::vector<uint8_t> filtered((stride + 1) * height), trial(stride);
    const std::vector<uint8_t> zero(stride, 0);
    for (int y = 0; y < height; y++) {
        const uint8_t* row = rgb + y * stride;
        const uint8_t* up = y ? row - stride : zero.data();
        uint8_t* best = &filtered[y * (stride + 1)];
        uint64_t bestCost = UINT64_MAX;
        for (int f = 0; f < 5; f++) {
            uint64_t cost = 0;
            for (size_t i = 0; i < stride; i++) {
                int a = i >= 3 ? row[i - 3] : 0, b = up[i], cc = i >= 3 ? up[i - 3] : 0;
                int predicted = f == 0 ? 0 : f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : paeth(a, b, cc);
                trial[i] = (uint8_t)(row[i] - predicted);
                cost += (uint64_t)abs((int8_t)trial[i]);
            }
            if (cost < bestCost) {
                bestCost = cost;
                best[0] = (uint8_t)f;
                memcpy(best + 1, trial.data(), stride);
            }
        }
    }
    uLongf packedSize = compressBound((uLong)filtered.size());
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, filtered.data(), (uLong)filtered.size(), 9) != Z_OK)
        return {};
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t header[13] = {0, 0, 0, 0, 0, 0, 0, 0, 8, 2, 0, 0, 0}; // 8 bits, RGB, no interlace
    for (int i = 0; i < 4; i++) {
        header[i] = (uint8_t)((uint32_t)width >> (24 - 8 * i));
        header[4 + i] = (uint8_t)((uint32_t)height >> (24 - 8 * i));
    }
    chunk(out, "IHDR", header, sizeof header);
    chunk(out, "IDAT", packed.data(), packedSize);
    chunk(out, "IEND", nullptr, 0);
    return out;
}
