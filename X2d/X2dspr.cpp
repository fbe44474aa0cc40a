#include "X2dspr.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "X2d.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"
#include "system/Xmath.h"

namespace {

const char* const kModule = "X2d/X2dspr.cpp";

// The table of the abstract base: drawing a sprite that did not come from
// x2dSpriteCreate is a program error.
[[noreturn]] void noVariant() { g_xError.Assert(kModule, __LINE__, "Assertion failed"); }
void baseDraw(x2dSprite*, int, int, uint32_t*) { noVariant(); }
void baseFill(x2dSprite*, uint32_t) { noVariant(); }
void baseClear(x2dSprite*) { noVariant(); }
void baseBlend(x2dSprite*, int, int, uint32_t, uint32_t*) { noVariant(); }
void baseScaled(x2dSprite*, int, int, float, uint32_t*) { noVariant(); }
void baseBlendScaled(x2dSprite*, int, int, float, uint32_t, uint32_t*) { noVariant(); }

const x2dSpriteOps kBaseOps = {
    baseDraw, baseFill, baseClear, baseDraw, baseDraw, baseBlend, baseDraw, baseBlend,
    baseDraw, baseDraw, baseBlend, baseDraw, baseBlendScaled, baseBlend,
    baseScaled, baseDraw, baseBlendScaled, baseBlend, baseDraw, baseScaled, baseDraw,
    baseBlend,
};

// Reads and decodes a picture file; the file's bytes are released at once.
// false when the file cannot be read.
bool readImage(const char* name, xFileIO* files, xImage& image)
{
    xFile file;
    memset(&file, 0, sizeof file);
    if (!files || files->Read(name, &file) != 0)
        return false;
    memset(&image, 0, sizeof image);
    xImageLoad(&file, image);
    files->Free(&file);
    return true;
}

void releaseImage(xImage& image)
{
    free(image.pixels);
    free(image.palette);
    image.pixels = nullptr;
    image.palette = nullptr;
}

// The fourth byte of every pixel from an 8-bit picture of the sprite's size.
void applyAlphaChannel(x2dSprite& s, const xImage& image, const char* wrongText)
{
    X_ASSERT(image.pixels, kModule, __LINE__);
    if (image.mode != XIMAGE_INDEXED || image.sizeX != s.sizeX || image.sizeY != s.sizeY)
        g_xError.Fatal(wrongText);
    X_ASSERT(s.pixels, kModule, __LINE__);
    const size_t n = (size_t)s.sizeX * (size_t)s.sizeY;
    for (size_t i = 0; i < n; i++)
        s.pixels[i] = (uint32_t)image.pixels[i] << 24 | (s.pixels[i] & 0xffffffu);
}

} // namespace

x2dSprite::x2dSprite()
    : ops(&kBaseOps), className(nullptr), sizeX(0), sizeY(0), pixels(nullptr), pitch(0), skip(0), color(0),
      alphaLayer(nullptr), ownsMemory(1)
{
}

x2dSprite::~x2dSprite()
{
    if (!ownsMemory)
        return;
    free(pixels);
    free(alphaLayer);
    pixels = nullptr;
    alphaLayer = nullptr;
    skip = 0;
    pitch = 0;
    sizeY = 0;
    sizeX = 0;
}

x2dSprite* x2dSpriteCreate()
{
    x2dSprite* s = new (std::nothrow) x2dSprite();
    if (!s)
        g_xError.Fatal("x2dSpriteCreate() -> Can't create class object x2dSprite");
    if (x2dMMX == 1 && x2dSpriteHasMMXPath()) {
        s->ops = &x2dSpriteMMXOps;
        s->className = "x2dSpriteMMX";
    } else {
        s->ops = &x2dSpriteX86Ops;
        s->className = "x2dSpriteX86";
    }
    return s;
}

void x2dSprite::SetImage(xImage& image)
{
    X_ASSERT(image.pixels, kModule, __LINE__);
    // Blocks this sprite owned before would otherwise be lost.
    if (ownsMemory) {
        if (pixels != (uint32_t*)image.pixels)
            free(pixels);
        free(alphaLayer);
    }
    sizeX = image.sizeX;
    sizeY = image.sizeY;
    pitch = sizeX * 4;
    color = 0;
    skip = x2dScreenWidth - sizeX;
    pixels = (uint32_t*)image.pixels;
    alphaLayer = nullptr;
    ownsMemory = 1;
}

void x2dSprite::Load(const char* name, xFileIO* files)
{
    xImage image;
    if (!name || !readImage(name, files, image))
        g_xError.Fatal(xFormat("x2dSprite::Load(..) -> Error loading %s", name ? name : "(null)"));
    xImageConvert(&image, XIMAGE_ARGB32);
    SetImage(image);
}

void x2dSprite::LoadAlphaChannel(const char* name, xFileIO* files)
{
    X_ASSERT(name, kModule, __LINE__);
    xImage image;
    if (!readImage(name, files, image))
        g_xError.Fatal(xFormat("x2dSprite::LoadAlphaChannel() -> Can't load %s", name));
    applyAlphaChannel(*this, image, xFormat("x2dSprite::LoadAlphaChannel() -> Incorrect mode or size -> %s", name));
    releaseImage(image);
}

void x2dSprite::LoadAlphaChannel(xImage& image)
{
    applyAlphaChannel(*this, image, "x2dSprite::LoadAlphaChannel( xImage & ) -> Incorrect mode or size");
}

void x2dSprite::LoadAlphaLayer(const char* name, xFileIO* files, int newColor)
{
    X_ASSERT(name, kModule, __LINE__);
    xImage image;
    if (!readImage(name, files, image))
        g_xError.Fatal(xFormat("x2dSprite::LoadAlphaLayer() -> Can't load %s", name));
    if (image.mode != XIMAGE_INDEXED)
        g_xError.Fatal(xFormat("x2dSprite::LoadAlphaLayer() -> Wrong format %s", name));
    X_ASSERT(image.pixels, kModule, __LINE__);
    free(image.palette);
    image.palette = nullptr;
    // A pixel block of another size than the new layer would be read past its
    // end by the pixel modes; it goes, and those modes then draw nothing.
    if (pixels && (image.sizeX != sizeX || image.sizeY != sizeY)) {
        if (ownsMemory)
            free(pixels);
        pixels = nullptr;
    }
    if (ownsMemory)
        free(alphaLayer);
    sizeX = image.sizeX;
    sizeY = image.sizeY;
    pitch = 0;
    skip = x2dScreenWidth - sizeX;
    alphaLayer = image.pixels;
    if (newColor != -1)
        color = (uint32_t)newColor;
}

void x2dSprite::Copy(x2dSprite& src)
{
    X_ASSERT(src.pixels && src.sizeX >= 1 && src.sizeY >= 1, kModule, __LINE__);
    if (&src == this)
        return;
    sizeX = src.sizeX;
    sizeY = src.sizeY;
    pitch = src.pitch;
    skip = src.skip;
    color = src.color;
    // A view's blocks belong to someone else: they are let go, not released.
    if (ownsMemory) {
        free(alphaLayer);
        free(pixels);
    }
    alphaLayer = nullptr;
    pixels = nullptr;
    ownsMemory = 1;
    const size_t bytes = (size_t)sizeX * (size_t)sizeY * 4;
    pixels = (uint32_t*)malloc(bytes);
    if (!pixels)
        g_xError.Fatal(xFormat("x2dSprite::Copy( x2dSprite &) -> can't allocate memory block = %d bytes", (int)bytes));
    memcpy(pixels, src.pixels, bytes);
}

void x2dSprite::RotoZoom(float angle, x2dSprite& dst, float zoom)
{
    X_ASSERT(pixels && dst.pixels, kModule, __LINE__);
    const double t = -(double)angle;
    const int64_t C = (int64_t)(xCos(t) * zoom * 65536.0);
    const int64_t S = (int64_t)(xSin(t) * zoom * 65536.0);
    // 16.16 half sizes of even values.
    const int64_t halfSrcX = (int64_t)(sizeX & ~1) * 32768, halfSrcY = (int64_t)(sizeY & ~1) * 32768;
    const int64_t halfDstX = (int64_t)(dst.sizeX & ~1) * 32768, halfDstY = (int64_t)(dst.sizeY & ~1) * 32768;
    const int64_t su = halfSrcX - ((halfDstX * (C + S)) >> 16);
    const int64_t sv = halfSrcY - ((halfDstY * (C - S)) >> 16);

    uint32_t* out = dst.pixels;
    for (int r = 0; r < dst.sizeY; r++) {
        int64_t u = su + r * S;
        int64_t v = sv + r * C;
        for (int c = 0; c < dst.sizeX; c++, out++, u += C, v -= S) {
            const int64_t iu = u >> 16, iv = v >> 16;
            if (iu >= 0 && iu < sizeX && iv >= 0 && iv < sizeY)
                *out = pixels[iv * sizeX + iu];
        }
    }
}
