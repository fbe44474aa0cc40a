// The pixel-format converter's handles, palettes, checks and straight
// copies; conversions between differing layouts go to the backend
// (HermesBackend.h).
#include "platform/internal/HermesBackend.h"

#include <cstring>
#include <vector>

namespace {

struct Palette {
    bool inUse = false;
    int32_t entries[256] = {};
};

struct Converter {
    bool inUse = false;
    bool requested = false;
    bool straight = false; // same layout on both sides: rows are copied
    bool indexedSource = false;
    int sourceBytes = 0, destBytes = 0;
    HermesHandle palette = 0;
};

int g_initCount = 0;
std::vector<Converter> g_converters;
std::vector<Palette> g_palettes;

Converter* converterOf(HermesHandle h)
{
    if (h <= 0 || (size_t)h > g_converters.size() || !g_converters[h - 1].inUse)
        return nullptr;
    return &g_converters[h - 1];
}

Palette* paletteOf(HermesHandle h)
{
    if (h <= 0 || (size_t)h > g_palettes.size() || !g_palettes[h - 1].inUse)
        return nullptr;
    return &g_palettes[h - 1];
}

} // namespace

int Hermes_Init()
{
    g_initCount++;
    return 1;
}

int Hermes_Done()
{
    if (g_initCount > 0)
        g_initCount--;
    return 1;
}

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
    Converter* c = converterOf(converter);
    if (!c)
        return;
    hermesBackendReturn(converter - 1);
    *c = Converter();
}

int Hermes_ConverterRequest(HermesHandle converter, HermesFormat* source, HermesFormat* dest)
{
    Converter* c = converterOf(converter);
    if (!c)
        return 0;
    c->requested = false;
    if (!source || !dest || !hermesBackendRequest(converter - 1, *source, *dest))
        return 0;
    bool sameLayout = (source->indexed && dest->indexed) ||
                      (!source->indexed && !dest->indexed && source->bits == dest->bits && source->r == dest->r &&
                       source->g == dest->g && source->b == dest->b);
    // Nothing here quantises colours down to a palette.
    if (dest->indexed && !sameLayout)
        return 0;
    c->sourceBytes = source->bits / 8;
    c->destBytes = dest->bits / 8;
    c->straight = sameLayout;
    c->indexedSource = source->indexed != 0;
    c->requested = true;
    return 1;
}

int Hermes_ConverterPalette(HermesHandle converter, HermesHandle sourcePalette, HermesHandle destPalette)
{
    Converter* c = converterOf(converter);
    if (!c)
        return 0;
    c->palette = sourcePalette;
    return 1;
}

int Hermes_ConverterCopy(HermesHandle converter, void* s_pixels, int s_x, int s_y, int s_width, int s_height,
                         int s_pitch, void* d_pixels, int d_x, int d_y, int d_width, int d_height, int d_pitch)
{
    Converter* c = converterOf(converter);
    if (!c || !c->requested || !s_pixels || !d_pixels)
        return 0;
    if (s_width != d_width || s_height != d_height || s_width < 0 || s_height < 0)
        return 0;
    if (s_x < 0 || s_y < 0 || d_x < 0 || d_y < 0)
        return 0;
    if (s_width == 0 || s_height == 0)
        return 1;
    size_t sRow = (size_t)s_width * c->sourceBytes, dRow = (size_t)d_width * c->destBytes;
    if (s_pitch < 0 || d_pitch < 0 || (size_t)s_pitch < sRow || (size_t)d_pitch < dRow)
        return 0;
    const uint8_t* src = (const uint8_t*)s_pixels + (size_t)s_y * s_pitch + (size_t)s_x * c->sourceBytes;
    uint8_t* dst = (uint8_t*)d_pixels + (size_t)d_y * d_pitch + (size_t)d_x * c->destBytes;

    if (c->straight) {
        if (sRow == (size_t)s_pitch && dRow == (size_t)d_pitch) {
            memcpy(dst, src, sRow * s_height);
        } else {
            for (int y = 0; y < s_height; y++, src += s_pitch, dst += d_pitch)
                memcpy(dst, src, sRow);
        }
        return 1;
    }
    const Palette* pal = c->indexedSource ? paletteOf(c->palette) : nullptr;
    if (c->indexedSource && !pal)
        return 0;
    return hermesBackendCopy(converter - 1, src, s_width, s_height, s_pitch, dst, d_pitch,
                             pal ? pal->entries : nullptr)
               ? 1
               : 0;
}

HermesHandle Hermes_PaletteInstance()
{
    size_t i = 0;
    while (i < g_palettes.size() && g_palettes[i].inUse)
        i++;
    if (i == g_palettes.size())
        g_palettes.emplace_back();
    g_palettes[i] = Palette();
    g_palettes[i].inUse = true;
    return (HermesHandle)(i + 1);
}

void Hermes_PaletteReturn(HermesHandle palette)
{
    if (Palette* p = paletteOf(palette))
        *p = Palette();
}

void Hermes_PaletteSet(HermesHandle palette, const int32_t* entries)
{
    Palette* p = paletteOf(palette);
    if (p && entries)
        memcpy(p->entries, entries, sizeof p->entries);
}

const int32_t* Hermes_PaletteGet(HermesHandle palette)
{
    Palette* p = paletteOf(palette);
    return p ? p->entries : nullptr;
}
