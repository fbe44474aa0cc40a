// The pixel-format converter's browser side: every pixel is read through
// its format's masks (or the palette) into 8-bit red, green and blue, and
// written through the destination's masks.
#include <vector>

#include "platform/internal/HermesBackend.h"

namespace {

struct Pair {
    HermesFormat source{}, dest{};
};

std::vector<Pair> g_pairs;

bool valid(const HermesFormat& f)
{
    if (f.indexed)
        return f.bits == 8;
    return (f.bits == 16 || f.bits == 24 || f.bits == 32) && f.r && f.g && f.b;
}

int shiftOf(uint32_t mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}

int bitsOf(uint32_t top)
{
    int bits = 0;
    for (; top; top >>= 1)
        bits++;
    return bits;
}

// An 8-bit channel value from the bits under mask.
uint32_t channelIn(uint32_t pixel, uint32_t mask)
{
    if (!mask)
        return 0;
    uint32_t top = mask >> shiftOf(mask), v = (pixel & mask) >> shiftOf(mask);
    return top >= 255 ? v >> (bitsOf(top) - 8) : (v * 255 + top / 2) / top;
}

// The bits under mask of an 8-bit channel value.
uint32_t channelOut(uint32_t value, uint32_t mask)
{
    if (!mask)
        return 0;
    int bits = bitsOf(mask >> shiftOf(mask));
    uint32_t v = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (v << shiftOf(mask)) & mask;
}

} // namespace

bool hermesBackendRequest(int index, const HermesFormat& source, const HermesFormat& dest)
{
    if ((size_t)index >= g_pairs.size())
        g_pairs.resize(index + 1);
    g_pairs[index] = Pair{source, dest};
    return valid(source) && valid(dest);
}

bool hermesBackendCopy(int index, const uint8_t* src, int width, int height, int srcPitch, uint8_t* dst,
                       int dstPitch, const int32_t* palette)
{
    const HermesFormat &sf = g_pairs[index].source, &df = g_pairs[index].dest;
    int sb = sf.bits / 8, db = df.bits / 8;
    uint32_t alpha = df.bits == 32 ? (uint32_t)df.a : 0; // opaque where the destination has alpha
    for (int y = 0; y < height; y++) {
        const uint8_t* in = src + (size_t)y * srcPitch;
        uint8_t* out = dst + (size_t)y * dstPitch;
        for (int x = 0; x < width; x++, in += sb, out += db) {
            uint32_t p = in[0] | (sb > 1 ? in[1] << 8 : 0) | (sb > 2 ? in[2] << 16 : 0) |
                         (sb > 3 ? (uint32_t)in[3] << 24 : 0);
            uint32_t r, g, b;
            if (sf.indexed) {
                uint32_t e = (uint32_t)palette[p & 0xff];
                r = e >> 16 & 0xff;
                g = e >> 8 & 0xff;
                b = e & 0xff;
            } else {
                r = channelIn(p, (uint32_t)sf.r);
                g = channelIn(p, (uint32_t)sf.g);
                b = channelIn(p, (uint32_t)sf.b);
            }
            uint32_t q = channelOut(r, (uint32_t)df.r) | channelOut(g, (uint32_t)df.g) |
                         channelOut(b, (uint32_t)df.b) | alpha;
            for (int k = 0; k < db; k++)
                out[k] = (uint8_t)(q >> (8 * k));
        }
    }
    return true;
}

void hermesBackendReturn(int) {}
