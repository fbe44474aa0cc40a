// The MMX code path of the sprite operations. Blends work on all four bytes
// of a pixel in 16-bit lanes: with e = (p - d) >> 1, each byte becomes
// d + ((e x w) >> 7), clamped to 0..255. The copy, key and add loops and the
// two constant-alpha blends take two pixels a step (an odd last pixel of a
// row singly); the other blends one pixel a step. Every operation ends its
// MMX use before returning, so floating-point code can follow.
#include "X2dspr.h"

#if defined(__MMX__)
#include <mmintrin.h>

#include <cstring>

#include "X2d.h"
#include "X2dsprDraw.h"

using namespace x2ddraw;

namespace {

inline __m64 load2(const uint32_t* p)
{
    __m64 v;
    memcpy(&v, p, 8);
    return v;
}

inline void store2(uint32_t* p, __m64 v) { memcpy(p, &v, 8); }

inline __m64 one(uint32_t p) { return _mm_cvtsi32_si64((int)p); }

inline uint32_t lowPixel(__m64 v) { return (uint32_t)_mm_cvtsi64_si32(v); }

// One pixel's four bytes in 16-bit lanes, blended with the weight w4.
inline __m64 blendLanes(__m64 p16, __m64 d16, __m64 w4)
{
    __m64 e = _mm_srai_pi16(_mm_sub_pi16(p16, d16), 1);
    return _mm_add_pi16(d16, _mm_srai_pi16(_mm_mullo_pi16(e, w4), 7));
}

inline uint32_t blend1(uint32_t p, uint32_t d, __m64 w4)
{
    const __m64 z = _mm_setzero_si64();
    __m64 r = blendLanes(_mm_unpacklo_pi8(one(p), z), _mm_unpacklo_pi8(one(d), z), w4);
    return lowPixel(_mm_packs_pu16(r, r));
}

inline __m64 blend2(const uint32_t* p, const uint32_t* d, __m64 w4)
{
    const __m64 z = _mm_setzero_si64();
    __m64 lo = blendLanes(_mm_unpacklo_pi8(one(p[0]), z), _mm_unpacklo_pi8(one(d[0]), z), w4);
    __m64 hi = blendLanes(_mm_unpacklo_pi8(one(p[1]), z), _mm_unpacklo_pi8(one(d[1]), z), w4);
    return _mm_packs_pu16(lo, hi);
}

inline __m64 weight(uint32_t w) { return _mm_set1_pi16((short)w); }

struct Copy {
    void operator()(uint32_t* d, const uint32_t* s) const { *d = *s; }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            __m64 a = load2(s + i), b = load2(s + i + 2);
            store2(d + i, a);
            store2(d + i + 2, b);
        }
        for (; i + 2 <= n; i += 2)
            store2(d + i, load2(s + i));
        if (i < n)
            d[i] = s[i];
    }
};

struct Key {
    uint32_t k;
    void operator()(uint32_t* d, const uint32_t* s) const
    {
        if (*s != k)
            *d = *s;
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        const __m64 k2 = _mm_set1_pi32((int)k);
        int i = 0;
        for (; i + 2 <= n; i += 2) {
            __m64 sv = load2(s + i);
            __m64 keep = _mm_cmpeq_pi32(sv, k2);
            store2(d + i, _mm_or_si64(_mm_and_si64(keep, load2(d + i)), _mm_andnot_si64(keep, sv)));
        }
        if (i < n)
            (*this)(d + i, s + i);
    }
};

// All four bytes added with saturation; a zero source pixel needs no test.
struct Add {
    void operator()(uint32_t* d, const uint32_t* s) const { *d = lowPixel(_mm_adds_pu8(one(*d), one(*s))); }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        int i = 0;
        for (; i + 2 <= n; i += 2)
            store2(d + i, _mm_adds_pu8(load2(d + i), load2(s + i)));
        if (i < n)
            (*this)(d + i, s + i);
    }
};

struct Blend {
    __m64 w4;
    void operator()(uint32_t* d, const uint32_t* s) const { *d = blend1(*s, *d, w4); }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        int i = 0;
        for (; i + 2 <= n; i += 2)
            store2(d + i, blend2(s + i, d + i, w4));
        if (i < n)
            d[i] = blend1(s[i], d[i], w4);
    }
};

struct Alpha {
    void operator()(uint32_t* d, const uint32_t* sp) const
    {
        const uint32_t s = *sp, sa = s >> 24;
        if (sa == 255)
            *d = s;
        else if (sa)
            *d = blend1(s, *d, weight(sa));
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        for (int i = 0; i < n; i++)
            (*this)(d + i, s + i);
    }
};

struct AlphaBlend {
    uint32_t a;
    const uint8_t* ra; // entry sa of blend-table row a is (a x sa) >> 8
    void operator()(uint32_t* d, const uint32_t* sp) const
    {
        const uint32_t s = *sp, sa = s >> 24;
        if (sa)
            *d = blend1(s, *d, weight(sa == 255 ? a : ra[sa]));
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        for (int i = 0; i < n; i++)
            (*this)(d + i, s + i);
    }
};

struct Layer {
    uint32_t k;
    void operator()(uint32_t* d, const uint8_t* lp) const
    {
        const uint32_t l = *lp;
        if (l == 255)
            *d = k;
        else if (l)
            *d = blend1(k, *d, weight(l));
    }
    void operator()(uint32_t* d, const uint8_t* l, int n) const
    {
        for (int i = 0; i < n; i++)
            (*this)(d + i, l + i);
    }
};

struct LayerBlend {
    uint32_t k;
    uint32_t a;
    const uint8_t* ra;
    void operator()(uint32_t* d, const uint8_t* lp) const
    {
        const uint32_t l = *lp;
        if (l)
            *d = blend1(k, *d, weight(l == 255 ? a : ra[l]));
    }
    void operator()(uint32_t* d, const uint8_t* l, int n) const
    {
        for (int i = 0; i < n; i++)
            (*this)(d + i, l + i);
    }
};

// See the plain path: these two step by the installed screen width.
inline int screenSkip(const x2dSprite* s) { return x2dScreenWidth - s->sizeX; }

void Draw(x2dSprite* s, int x, int y, uint32_t* dst)
{
    clipped(s, s->pixels, x, y, dst, Copy());
    _mm_empty();
}

void Fill(x2dSprite* s, uint32_t color)
{
    if (!s->pixels)
        return;
    const size_t n = (size_t)(s->sizeX > 0 ? s->sizeX : 0) * (size_t)(s->sizeY > 0 ? s->sizeY : 0);
    const __m64 c2 = _mm_set1_pi32((int)color);
    size_t i = 0;
    for (; i + 2 <= n; i += 2)
        store2(s->pixels + i, c2);
    if (i < n)
        s->pixels[i] = color;
    _mm_empty();
}

void Clear(x2dSprite* s) { Fill(s, 0); }

void DrawNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->pixels, x, y, dst, screenSkip(s), Copy());
    _mm_empty();
}

void DrawAddNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->pixels, x, y, dst, screenSkip(s), Add());
    _mm_empty();
}

void DrawBlendNoClip(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawNoClip(x, y, dst);
        return;
    }
    noClip(s, s->pixels, x, y, dst, s->skip, Blend{weight(a)});
    _mm_empty();
}

void DrawAlphaNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->pixels, x, y, dst, s->skip, Alpha());
    _mm_empty();
}

void DrawAlphaBlendNoClip(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawAlphaNoClip(x, y, dst);
        return;
    }
    noClip(s, s->pixels, x, y, dst, s->skip, AlphaBlend{a, x2dBlendRow(a)});
    _mm_empty();
}

void DrawKeyNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->pixels, x, y, dst, s->skip, Key{s->color});
    _mm_empty();
}

void DrawLayerNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->alphaLayer, x, y, dst, s->skip, Layer{s->color});
    _mm_empty();
}

void DrawLayerBlendNoClip(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawLayerNoClip(x, y, dst);
        return;
    }
    noClip(s, s->alphaLayer, x, y, dst, s->skip, LayerBlend{s->color, a, x2dBlendRow(a)});
    _mm_empty();
}

void DrawAdd(x2dSprite* s, int x, int y, uint32_t* dst)
{
    clipped(s, s->pixels, x, y, dst, Add());
    _mm_empty();
}

// No shortcuts here: weight 0 and 255 are blended like any other.
void DrawBlendScaled(x2dSprite* s, int x, int y, float scale, uint32_t a, uint32_t* dst)
{
    scaled(s, s->pixels, x, y, scale, dst, Blend{weight(clampAlpha(a))});
    _mm_empty();
}

void DrawBlend(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    clipped(s, s->pixels, x, y, dst, Blend{weight(clampAlpha(a))});
    _mm_empty();
}

void DrawAlphaScaled(x2dSprite* s, int x, int y, float scale, uint32_t* dst)
{
    scaled(s, s->pixels, x, y, scale, dst, Alpha());
    _mm_empty();
}

void DrawAlpha(x2dSprite* s, int x, int y, uint32_t* dst)
{
    clipped(s, s->pixels, x, y, dst, Alpha());
    _mm_empty();
}

void DrawAlphaBlendScaled(x2dSprite* s, int x, int y, float scale, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawAlphaScaled(x, y, scale, dst);
        return;
    }
    scaled(s, s->pixels, x, y, scale, dst, AlphaBlend{a, x2dBlendRow(a)});
    _mm_empty();
}

void DrawAlphaBlend(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawAlpha(x, y, dst);
        return;
    }
    clipped(s, s->pixels, x, y, dst, AlphaBlend{a, x2dBlendRow(a)});
    _mm_empty();
}

void DrawKey(x2dSprite* s, int x, int y, uint32_t* dst)
{
    clipped(s, s->pixels, x, y, dst, Key{s->color});
    _mm_empty();
}

void DrawLayerScaled(x2dSprite* s, int x, int y, float scale, uint32_t* dst)
{
    scaled(s, s->alphaLayer, x, y, scale, dst, Layer{s->color});
    _mm_empty();
}

void DrawLayer(x2dSprite* s, int x, int y, uint32_t* dst)
{
    clipped(s, s->alphaLayer, x, y, dst, Layer{s->color});
    _mm_empty();
}

void DrawLayerBlend(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawLayer(x, y, dst);
        return;
    }
    clipped(s, s->alphaLayer, x, y, dst, LayerBlend{s->color, a, x2dBlendRow(a)});
    _mm_empty();
}

} // namespace

const x2dSpriteOps x2dSpriteMMXOps = {
    Draw, Fill, Clear, DrawNoClip, DrawAddNoClip, DrawBlendNoClip, DrawAlphaNoClip, DrawAlphaBlendNoClip,
    DrawKeyNoClip, DrawLayerNoClip, DrawLayerBlendNoClip, DrawAdd, DrawBlendScaled, DrawBlend,
    DrawAlphaScaled, DrawAlpha, DrawAlphaBlendScaled, DrawAlphaBlend, DrawKey, DrawLayerScaled, DrawLayer,
    DrawLayerBlend,
};

bool x2dSpriteHasMMXPath() { return true; }

#else

// Without MMX the table is the plain one, and the factory never picks it.
const x2dSpriteOps x2dSpriteMMXOps = x2dSpriteX86Ops;
bool x2dSpriteHasMMXPath() { return false; }

#endif
