// The pixel-format converter's SDL side: conversions between differing
// layouts through SDL's blitters, with the SDL surfaces and palette of each
// converter kept from one copy to the next.
#include <SDL.h>

#include <vector>

#include "platform/internal/HermesBackend.h"

namespace {

struct Converter {
    bool indexedSource = false;
    Uint32 sourceFormat = SDL_PIXELFORMAT_UNKNOWN;
    Uint32 destFormat = SDL_PIXELFORMAT_UNKNOWN;
    int sourceBytes = 0, destBytes = 0;
    uint32_t unusedBits = 0; // bits of a 32-bit destination no mask covers
    SDL_Palette* sdlPalette = nullptr; // built on the first indexed copy
    // Kept from one copy to the next and pointed at each copy's pixels, so a
    // copy allocates nothing once SDL has chosen its blitter.
    SDL_Surface* source = nullptr;
    SDL_Surface* dest = nullptr;
};

std::vector<Converter> g_converters;

Converter& converterAt(int index)
{
    if ((size_t)index >= g_converters.size())
        g_converters.resize(index + 1);
    return g_converters[index];
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

// Sets the converter's palette from the Hermes palette, as it is now.
bool updatePalette(Converter& c, const int32_t* entries)
{
    if (!c.sdlPalette && !(c.sdlPalette = SDL_AllocPalette(256)))
        return false;
    SDL_Color colors[256];
    bool same = true;
    for (int i = 0; i < 256; i++) {
        uint32_t e = (uint32_t)entries[i];
        colors[i] = SDL_Color{(Uint8)(e >> 16), (Uint8)(e >> 8), (Uint8)e, 255};
        const SDL_Color& old = c.sdlPalette->colors[i];
        same = same && old.r == colors[i].r && old.g == colors[i].g && old.b == colors[i].b && old.a == 255;
    }
    // An unchanged palette keeps SDL's colour map.
    if (!same)
        SDL_SetPaletteColors(c.sdlPalette, colors, 0, 256);
    return SDL_SetSurfacePalette(c.source, c.sdlPalette) == 0;
}

bool blit(Converter& c, const Uint8* src, int width, int height, int srcPitch, Uint8* dst, int dstPitch,
          const int32_t* palette)
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
    if (c.indexedSource && (!palette || !updatePalette(c, palette)))
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

bool hermesBackendRequest(int index, const HermesFormat& source, const HermesFormat& dest)
{
    Converter& c = converterAt(index);
    freeSurfaces(c);
    Uint32 sf = sdlFormatOf(source), df = sdlFormatOf(dest);
    if (sf == SDL_PIXELFORMAT_UNKNOWN || df == SDL_PIXELFORMAT_UNKNOWN)
        return false;
    c.sourceFormat = sf;
    c.destFormat = df;
    c.sourceBytes = source.bits / 8;
    c.destBytes = dest.bits / 8;
    c.indexedSource = source.indexed != 0;
    c.unusedBits = dest.bits == 32 ? ~(uint32_t)(dest.r | dest.g | dest.b | dest.a) : 0;
    return true;
}

bool hermesBackendCopy(int index, const uint8_t* src, int width, int height, int srcPitch, uint8_t* dst,
                       int dstPitch, const int32_t* palette)
{
    Converter& c = converterAt(index);
    if (!blit(c, src, width, height, srcPitch, dst, dstPitch, palette))
        return false;
    // SDL fills the spare byte of a 32-bit pixel with 0xff or leaves it as it
    // was, depending on the pair; a pixel without alpha gets 0 there.
    if (c.unusedBits) {
        uint32_t keep = ~c.unusedBits;
        for (int y = 0; y < height; y++, dst += dstPitch) {
            uint32_t* p = (uint32_t*)dst;
            for (int x = 0; x < width; x++)
                p[x] &= keep;
        }
    }
    return true;
}

void hermesBackendReturn(int index)
{
    Converter& c = converterAt(index);
    freeSurfaces(c);
    if (c.sdlPalette)
        SDL_FreePalette(c.sdlPalette);
    c = Converter();
}
