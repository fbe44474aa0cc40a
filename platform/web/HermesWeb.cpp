// The pixel-format converter without SDL: every pixel is read through its
// format's masks (or the palette) into 8-bit red, green and blue, and written
// through the destination's masks. Straight copies where both sides agree.
#include <cstring>
#include <vector>

#include "platform/Hermes.h"

namespace {

struct Converter {
    bool inUse = false;
    bool requested = false;
    HermesFormat source{}, dest{};
    HermesHandle palette = 0;
};

std::vector<Converter> g_converters;
std::vector<std::vector<int32_t>> g_palettes; // empty: free

template <class T> T* slot(std::vector<T>& v, HermesHandle h)
{
    return h > 0 && (size_t)h <= v.size() ? &v[h - 1] : nullptr;
}

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

int Hermes_Init() { return 1; }
int Hermes_Done() { return 1; }

HermesHandle Hermes_ConverterInstance(unsigned long)
{
    size_t i = 0;
    while (i < g_converters.size() && g_converters[i].inUse)
        i++;
    if (i == g_converters.size())
        g_converters.emplace_back();
    g_converters[i] = Converter();
    g_converters[i].inUse = true;
    return (HermesHandle)(i + 1);
}

void Hermes_ConverterReturn(HermesHandle converter)
{
    if (Converter* c = slot(g_converters, converter))
        *c = Converter();
}

int Hermes_ConverterRequest(HermesHandle converter, HermesFormat* source, HermesFormat* dest)
{
    Converter* c = slot(g_converters, converter);
    if (!c || !c->inUse)
        return 0;
    c->requested = false;
    if (!source || !dest || !valid(*source) || !valid(*dest))
        return 0;
    // Nothing here quantises colours down to a palette.
    if (dest->indexed && !source->indexed)
        return 0;
    c->source = *source;
    c->dest = *dest;
    c->requested = true;
    return 1;
}

int Hermes_ConverterPalette(HermesHandle converter, HermesHandle sourcePalette, HermesHandle)
{
    Converter* c = slot(g_converters, converter);
    if (!c || !c->inUse)
        return 0;
    c->palette = sourcePalette;
    return 1;
}

int Hermes_ConverterCopy(HermesHandle converter, void* s_pixels, int s_x, int s_y, int s_width, int s_height,
                         int s_pitch, void* d_pixels, int d_x, int d_y, int d_width, int d_height, int d_pitch)
{
    Converter* c = slot(g_converters, converter);
    if (!c || !c->inUse || !c->requested || !s_pixels || !d_pixels)
        return 0;
    if (s_width != d_width || s_height != d_height || s_width < 0 || s_height < 0)
        return 0;
    if (s_x < 0 || s_y < 0 || d_x < 0 || d_y < 0)
        return 0;
    if (s_width == 0 || s_height == 0)
        return 1;
    const HermesFormat &sf = c->source, &df = c->dest;
    int sb = sf.bits / 8, db = df.bits / 8;
    if (s_pitch < s_width * sb || d_pitch < d_width * db)
        return 0;
    const int32_t* pal = nullptr;
    if (sf.indexed && !df.indexed) {
        std::vector<int32_t>* p = slot(g_palettes, c->palette);
        if (!p || p->empty())
            return 0;
        pal = p->data();
    }
    bool straight = sf.bits == df.bits && sf.indexed == df.indexed && sf.r == df.r && sf.g == df.g && sf.b == df.b;
    uint32_t alpha = df.bits == 32 ? (uint32_t)df.a : 0; // opaque where the destination has alpha
    for (int y = 0; y < s_height; y++) {
        const uint8_t* in = (const uint8_t*)s_pixels + (size_t)(s_y + y) * s_pitch + (size_t)s_x * sb;
        uint8_t* out = (uint8_t*)d_pixels + (size_t)(d_y + y) * d_pitch + (size_t)d_x * db;
        if (straight) {
            memcpy(out, in, (size_t)s_width * sb);
            continue;
        }
        for (int x = 0; x < s_width; x++, in += sb, out += db) {
            uint32_t p = in[0] | (sb > 1 ? in[1] << 8 : 0) | (sb > 2 ? in[2] << 16 : 0) |
                         (sb > 3 ? (uint32_t)in[3] << 24 : 0);
            uint32_t r, g, b;
            if (pal) {
                uint32_t e = (uint32_t)pal[p & 0xff];
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
    return 1;
}

HermesHandle Hermes_PaletteInstance()
{
    size_t i = 0;
    while (i < g_palettes.size() && !g_palettes[i].empty())
        i++;
    if (i == g_palettes.size())
        g_palettes.emplace_back();
    g_palettes[i].assign(256, 0);
    return (HermesHandle)(i + 1);
}

void Hermes_PaletteReturn(HermesHandle palette)
{
    if (std::vector<int32_t>* p = slot(g_palettes, palette))
        p->clear();
}

void Hermes_PaletteSet(HermesHandle palette, const int32_t* entries)
{
    std::vector<int32_t>* p = slot(g_palettes, palette);
    if (p && !p->empty() && entries)
        memcpy(p->data(), entries, 256 * sizeof(int32_t));
}

const int32_t* Hermes_PaletteGet(HermesHandle palette)
{
    std::vector<int32_t>* p = slot(g_palettes, palette);
    return p && !p->empty() ? p->data() : nullptr;
}
