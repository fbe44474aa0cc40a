#include "Hermes.h"

#include <SDL.h>
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
    Uint32 sourceFormat = SDL_PIXELFORMAT_UNKNOWN;
    Uint32 destFormat = SDL_PIXELFORMAT_UNKNOWN;
    int sourceBytes = 0, destBytes = 0;
    uint32_t unusedBits = 0; // bits of a 32-bit destination no mask covers
    HermesHandle palette = 0;
    SDL_Palette* sdlPalette = nullptr; // built on the first indexed copy
    // Kept from one copy to the next and pointed at each copy's pixels, so a
    // copy allocates nothing once SDL has chosen its blitter.
    SDL_Surface* source = nullptr;
    SDL_Surface* dest = nullptr;
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

// The SDL format of a record, or UNKNOWN when SDL has no such layout or its
// pixel size disagrees with the record's bits.
Uint32 sdlFormatOf(const HermesFormat& f)
{
    if (f.indexed)
        return f.bits == 8 ? SDL_PIXELFORMAT_INDEX8 : SDL_PIXELFORMAT_UNKNOWN;
    if (f.bits != 8 && f.bits != 16 && f.bits != 24 && f.bits != 32)
        return SDL_PIXELFORMAT_UNKNOWN;
    Uint32 fmt = SDL_MasksToPixelFormatEnum(f.bits, (Uint32)f.r, (Uint32)f.g, (Uint32)f.b, (Uint32)f.a);
    if (fmt == SDL_PIXELFORMAT_UNKNOWN || SDL_ISPIXELFORMAT_INDEXED(fmt) || (int)SDL_BYTESPERPIXEL(fmt) * 8 != f.bits)
        return SDL_PIXELFORMAT_UNKNOWN;
    return fmt;
}

void freeSurfaces(Converter& c)
{
    if (c.source)
        SDL_FreeSurface(c.source);
    if (c.dest)
        SDL_FreeSurface(c.dest);
    c.source = c.dest = nullptr;
}

// Sets the converter's palette from its Hermes palette, as it is now.
bool updatePalette(Converter& c)
{
    Palette* pal = paletteOf(c.palette);
    if (!pal)
        return false;
    if (!c.sdlPalette && !(c.sdlPalette = SDL_AllocPalette(256)))
        return false;
    SDL_Color colors[256];
    bool same = true;
    for (int i = 0; i < 256; i++) {
        uint32_t e = (uint32_t)pal->entries[i];
        colors[i] = SDL_Color{(Uint8)(e >> 16), (Uint8)(e >> 8), (Uint8)e, 255};
        const SDL_Color& old = c.sdlPalette->colors[i];
        same = same && old.r == colors[i].r && old.g == colors[i].g && old.b == colors[i].b && old.a == 255;
    }
    // An unchanged palette keeps SDL's colour map.
    if (!same)
        SDL_SetPaletteColors(c.sdlPalette, colors, 0, 256);
    return SDL_SetSurfacePalette(c.source, c.sdlPalette) == 0;
}

bool blit(Converter& c, const Uint8* src, int width, int height, int srcPitch, Uint8* dst, int dstPitch)
{
    if (!c.source) {
        static Uint32 dummy;
        c.source = SDL_CreateRGBSurfaceWithFormatFrom(&dummy, 1, 1, c.sourceBytes * 8, 4, c.sourceFormat);
        c.dest = SDL_CreateRGBSurfaceWithFormatFrom(&dummy, 1, 1, c.destBytes * 8, 4, c.destFormat);
        if (!c.source || !c.dest || SDL_SetSurfaceBlendMode(c.source, SDL_BLENDMODE_NONE) != 0) {
            freeSurfaces(c);
            return false;
        }
    }
    if (c.indexedSource && !updatePalette(c))
        return false;
    c.source->pixels = (void*)src;
    c.source->w = width;
    c.source->h = height;
    c.source->pitch = srcPitch;
    c.dest->pixels = dst;
    c.dest->w = width;
    c.dest->h = height;
    c.dest->pitch = dstPitch;
    SDL_SetClipRect(c.dest, nullptr);
    SDL_Rect from{0, 0, width, height}, to{0, 0, width, height};
    return SDL_LowerBlit(c.source, &from, c.dest, &to) == 0;
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
    freeSurfaces(*c);
    if (c->sdlPalette)
        SDL_FreePalette(c->sdlPalette);
    *c = Converter();
}

int Hermes_ConverterRequest(HermesHandle converter, HermesFormat* source, HermesFormat* dest)
{
    Converter* c = converterOf(converter);
    if (!c)
        return 0;
    c->requested = false;
    freeSurfaces(*c);
    if (!source || !dest)
        return 0;
    Uint32 sf = sdlFormatOf(*source), df = sdlFormatOf(*dest);
    if (sf == SDL_PIXELFORMAT_UNKNOWN || df == SDL_PIXELFORMAT_UNKNOWN)
        return 0;
    bool sameLayout = sf == df || (!source->indexed && !dest->indexed && source->bits == dest->bits &&
                                   source->r == dest->r && source->g == dest->g && source->b == dest->b);
    // Nothing here quantises colours down to a palette.
    if (dest->indexed && !sameLayout)
        return 0;
    c->sourceFormat = sf;
    c->destFormat = df;
    c->sourceBytes = source->bits / 8;
    c->destBytes = dest->bits / 8;
    c->straight = sameLayout;
    c->indexedSource = source->indexed != 0;
    c->unusedBits = dest->bits == 32 ? ~(uint32_t)(dest->r | dest->g | dest->b | dest->a) : 0;
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
    const Uint8* src = (const Uint8*)s_pixels + (size_t)s_y * s_pitch + (size_t)s_x * c->sourceBytes;
    Uint8* dst = (Uint8*)d_pixels + (size_t)d_y * d_pitch + (size_t)d_x * c->destBytes;

    if (c->straight) {
        if (sRow == (size_t)s_pitch && dRow == (size_t)d_pitch) {
            memcpy(dst, src, sRow * s_height);
        } else {
            for (int y = 0; y < s_height; y++, src += s_pitch, dst += d_pitch)
                memcpy(dst, src, sRow);
        }
        return 1;
    }
    if (!blit(*c, src, s_width, s_height, s_pitch, dst, d_pitch))
        return 0;
    // SDL fills the spare byte of a 32-bit pixel with 0xff or leaves it as it
    // was, depending on the pair; a pixel without alpha gets 0 there.
    if (c->unusedBits) {
        uint32_t keep = ~c->unusedBits;
        for (int y = 0; y < d_height; y++, dst += d_pitch) {
            uint32_t* p = (uint32_t*)dst;
            for (int x = 0; x < d_width; x++)
                p[x] &= keep;
        }
    }
    return 1;
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
