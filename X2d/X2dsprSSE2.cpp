// The processor path of the sprite operations (x2dSpriteMMX): the MMX
// arithmetic, computed four pixels a step in SSE2 lanes. The browser build
// compiles the same source to WebAssembly SIMD.
//
// Blends work on all four bytes of a pixel: with e = (p - d) >> 1, each byte
// becomes d + ((e x w) >> 7), clamped to 0..255; every result is the byte the
// MMX instructions gave. A row's last one to three pixels go through the same
// four-pixel step on a copy, so no pixel has arithmetic of its own.
#include "X2dspr.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>

#include "X2d.h"
#include "X2dsprDraw.h"

using namespace x2ddraw;

namespace {

inline __m128i load4(const uint32_t* p) { return _mm_loadu_si128((const __m128i*)p); }
inline void store4(uint32_t* p, __m128i v) { _mm_storeu_si128((__m128i*)p, v); }

// Four layer weights, one in each 32-bit lane.
inline __m128i load4(const uint8_t* p)
{
    int32_t w;
    memcpy(&w, p, 4);
    const __m128i z = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(w), z), z);
}

inline bool allOf(__m128i mask) { return _mm_movemask_epi8(mask) == 0xffff; }
inline bool noneOf(__m128i mask) { return _mm_movemask_epi8(mask) == 0; }
inline __m128i select(__m128i mask, __m128i a, __m128i b)
{
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// (e x w) >> 7 for e held in the high byte of a 16-bit lane (e x 256), as
// MMX shifted its product. On the processor the high half of the product
// with 2w is exactly that: (e x 256 x 2w) >> 16. WebAssembly SIMD has no
// multiply-high (emscripten builds one from two widening multiplies and a
// shuffle), so there e comes down to its byte and the low half of e x w (it
// fits 16 bits) is shifted.
#if defined(__wasm_simd128__)
const int kWeightScale = 1;
inline __m128i productShifted(__m128i eHigh, __m128i w)
{
    return _mm_srai_epi16(_mm_mullo_epi16(_mm_srai_epi16(eHigh, 8), w), 7);
}
#else
const int kWeightScale = 2;
inline __m128i productShifted(__m128i eHigh, __m128i w2) { return _mm_mulhi_epi16(eHigh, w2); }
#endif

// The weights of one blend step: pixels 0 and 1 in lo, 2 and 3 in hi, each
// pixel's weight (times kWeightScale) in its four 16-bit lanes.
struct Weights {
    __m128i lo, hi;
};

inline Weights constantWeight(uint32_t w)
{
    const __m128i v = _mm_set1_epi16((short)(kWeightScale * w));
    return {v, v};
}

// From one weight (0..255) in each 32-bit lane.
inline Weights pixelWeights(__m128i w32)
{
    __m128i w = kWeightScale == 2 ? _mm_add_epi32(w32, w32) : w32;
    w = _mm_or_si128(w, _mm_slli_epi32(w, 16));
    return {_mm_unpacklo_epi32(w, w), _mm_unpackhi_epi32(w, w)};
}

// Four pixels p laid over d with the MMX rule. e = (p - d) >> 1 comes from
// one byte average: avg(p, 255 - d) = e + 128 exactly; unpacked above a zero
// byte it is e x 256. The sum with d is clamped by the unsigned pack.
inline __m128i blend4(__m128i p, __m128i d, const Weights& w)
{
    const __m128i z = _mm_setzero_si128();
    const __m128i e = _mm_xor_si128(_mm_avg_epu8(p, _mm_xor_si128(d, _mm_set1_epi8(-1))), _mm_set1_epi8(-128));
    const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(d, z), productShifted(_mm_unpacklo_epi8(z, e), w.lo));
    const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(d, z), productShifted(_mm_unpackhi_epi8(z, e), w.hi));
    return _mm_packus_epi16(lo, hi);
}

// Four source values in lanes: pixels as they are, layer weights one in
// each 32-bit lane.
inline __m128i sources(const uint32_t* s) { return load4(s); }
inline __m128i sources(const uint8_t* s) { return load4(s); }

// Every rule is a step on four pixels, step(d, s) with the four sources in
// lanes. Its row form serves the unclipped and clipped placements: eight
// pixels a step (two independent steps), then a four, then the last one to
// three pixels through the same step on a copy. Its sampled form serves the
// scaled placement, the four samples gathered straight into lanes.
template <class Rule, class Src>
struct Rows {
    const Rule& rule() const { return *static_cast<const Rule*>(this); }

    // The last n < 4 pixels; src holds their sources.
    void tail(uint32_t* d, const Src* src, int n) const
    {
        uint32_t dt[4] = {0, 0, 0, 0};
        Src st[4] = {0, 0, 0, 0};
        memcpy(dt, d, (size_t)n * 4);
        memcpy(st, src, (size_t)n * sizeof(Src));
        rule().step(dt, sources(st));
        memcpy(d, dt, (size_t)n * 4);
    }

    void operator()(uint32_t* d, const Src* s, int n) const
    {
        int i = 0;
        for (; i + 8 <= n; i += 8) {
            rule().step(d + i, sources(s + i));
            rule().step(d + i + 4, sources(s + i + 4));
        }
        if (i + 4 <= n) {
            rule().step(d + i, sources(s + i));
            i += 4;
        }
        if (i < n)
            tail(d + i, s + i, n - i);
    }

    void sampled(uint32_t* d, const Src* line, uint64_t u, uint32_t du, int64_t n) const
    {
        // A step of exactly one source pixel samples a plain row.
        if (du == 0x10000) {
            (*this)(d, line + (u >> 16), (int)n);
            return;
        }
        int64_t i = 0;
        for (; i + 4 <= n; i += 4, u += 4 * (uint64_t)du) {
            const __m128i v = _mm_set_epi32((int)line[(u + 3 * (uint64_t)du) >> 16], (int)line[(u + 2 * (uint64_t)du) >> 16],
                                            (int)line[(u + du) >> 16], (int)line[u >> 16]);
            rule().step(d + i, v);
        }
        if (i < n) {
            Src st[4] = {0, 0, 0, 0};
            for (int k = 0; k < n - i; k++, u += du)
                st[k] = line[u >> 16];
            tail(d + i, st, (int)(n - i));
        }
    }
};

// The C library's copy is the fastest natively; in the browser a row is too
// short for emscripten's (it leaves wasm for rows of 512 bytes and more), and
// the lanes copy it.
struct Copy : Rows<Copy, uint32_t> {
    void step(uint32_t* d, __m128i s) const { store4(d, s); }
#if !defined(__wasm_simd128__)
    void operator()(uint32_t* d, const uint32_t* s, int n) const { memcpy(d, s, (size_t)n * 4); }
#endif
};

// Keyed pixels keep the screen's. Rows go sixteen pixels a step, decided
// once for all sixteen: none keyed is a copy, all keyed is nothing, and only
// a mixed step reads the screen.
struct Key : Rows<Key, uint32_t> {
    __m128i k;
    explicit Key(uint32_t key) : k(_mm_set1_epi32((int)key)) {}
    void step(uint32_t* d, __m128i sv) const
    {
        const __m128i keyed = _mm_cmpeq_epi32(sv, k);
        store4(d, select(keyed, load4(d), sv));
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const
    {
        int i = 0;
        for (; i + 16 <= n; i += 16) {
            const __m128i s0 = load4(s + i), s1 = load4(s + i + 4), s2 = load4(s + i + 8), s3 = load4(s + i + 12);
            const __m128i k0 = _mm_cmpeq_epi32(s0, k), k1 = _mm_cmpeq_epi32(s1, k), k2 = _mm_cmpeq_epi32(s2, k),
                          k3 = _mm_cmpeq_epi32(s3, k);
            const __m128i any = _mm_or_si128(_mm_or_si128(k0, k1), _mm_or_si128(k2, k3));
            if (noneOf(any)) {
                store4(d + i, s0);
                store4(d + i + 4, s1);
                store4(d + i + 8, s2);
                store4(d + i + 12, s3);
                continue;
            }
            if (allOf(_mm_and_si128(_mm_and_si128(k0, k1), _mm_and_si128(k2, k3))))
                continue;
            store4(d + i, select(k0, load4(d + i), s0));
            store4(d + i + 4, select(k1, load4(d + i + 4), s1));
            store4(d + i + 8, select(k2, load4(d + i + 8), s2));
            store4(d + i + 12, select(k3, load4(d + i + 12), s3));
        }
        Rows<Key, uint32_t>::operator()(d + i, s + i, n - i);
    }
};

// All four bytes added with saturation; a zero source pixel needs no test.
struct Add : Rows<Add, uint32_t> {
    void step(uint32_t* d, __m128i sv) const { store4(d, _mm_adds_epu8(load4(d), sv)); }
};

struct Blend : Rows<Blend, uint32_t> {
    Weights w;
    explicit Blend(uint32_t a) : w(constantWeight(a)) {}
    void step(uint32_t* d, __m128i sv) const { store4(d, blend4(sv, load4(d), w)); }
};

// A weight of 0 leaves the screen's bytes as they are (d + 0), so only the
// opaque pixels need a choice of their own.
struct Alpha : Rows<Alpha, uint32_t> {
    void step(uint32_t* d, __m128i sv) const
    {
        const __m128i top = _mm_set1_epi32((int)0xff000000u);
        const __m128i sa = _mm_and_si128(sv, top);
        const __m128i opaque = _mm_cmpeq_epi32(sa, top);
        if (allOf(_mm_cmpeq_epi32(sa, _mm_setzero_si128())))
            return;
        if (allOf(opaque)) {
            store4(d, sv);
            return;
        }
        const __m128i blended = blend4(sv, load4(d), pixelWeights(_mm_srli_epi32(sa, 24)));
        store4(d, select(opaque, sv, blended));
    }
};

// The weights of the rules times a constant a: a where the pixel's own
// weight w is 255 (four such pixels take the constant's weights whole), else
// (a x w) >> 8.
struct TimesConstant {
    __m128i a32;
    Weights whole;
    explicit TimesConstant(uint32_t a) : a32(_mm_set1_epi32((int)a)), whole(constantWeight(a)) {}
    Weights operator()(__m128i w32) const
    {
        const __m128i full = _mm_cmpeq_epi32(w32, _mm_set1_epi32(255));
        if (allOf(full))
            return whole;
        const __m128i product = _mm_srli_epi32(_mm_mullo_epi16(w32, a32), 8); // below 65536: exact in 16 bits
        return pixelWeights(select(full, a32, product));
    }
};

struct AlphaBlend : Rows<AlphaBlend, uint32_t> {
    TimesConstant times;
    explicit AlphaBlend(uint32_t a) : times(a) {}
    void step(uint32_t* d, __m128i sv) const
    {
        const __m128i sa = _mm_srli_epi32(sv, 24);
        if (allOf(_mm_cmpeq_epi32(sa, _mm_setzero_si128())))
            return;
        store4(d, blend4(sv, load4(d), times(sa)));
    }
};

struct Layer : Rows<Layer, uint8_t> {
    __m128i k;
    explicit Layer(uint32_t key) : k(_mm_set1_epi32((int)key)) {}
    void step(uint32_t* d, __m128i w32) const
    {
        if (allOf(_mm_cmpeq_epi32(w32, _mm_setzero_si128())))
            return;
        const __m128i full = _mm_cmpeq_epi32(w32, _mm_set1_epi32(255));
        if (allOf(full)) {
            store4(d, k);
            return;
        }
        store4(d, select(full, k, blend4(k, load4(d), pixelWeights(w32))));
    }
};

struct LayerBlend : Rows<LayerBlend, uint8_t> {
    __m128i k;
    TimesConstant times;
    LayerBlend(uint32_t key, uint32_t a) : k(_mm_set1_epi32((int)key)), times(a) {}
    void step(uint32_t* d, __m128i w32) const
    {
        if (allOf(_mm_cmpeq_epi32(w32, _mm_setzero_si128())))
            return;
        store4(d, blend4(k, load4(d), times(w32)));
    }
};

// See the plain path: these two step by the installed screen width.
inline int screenSkip(const x2dSprite* s) { return x2dScreenWidth - s->sizeX; }

void Draw(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Copy()); }

void Fill(x2dSprite* s, uint32_t color)
{
    if (!s->pixels)
        return;
    const size_t n = (size_t)(s->sizeX > 0 ? s->sizeX : 0) * (size_t)(s->sizeY > 0 ? s->sizeY : 0);
    if (color == 0) {
        memset(s->pixels, 0, n * 4);
        return;
    }
    const __m128i c = _mm_set1_epi32((int)color);
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        store4(s->pixels + i, c);
    for (; i < n; i++)
        s->pixels[i] = color;
}

void Clear(x2dSprite* s) { Fill(s, 0); }

void DrawNoClip(x2dSprite* s, int x, int y, uint32_t* dst) { noClip(s, s->pixels, x, y, dst, screenSkip(s), Copy()); }

void DrawAddNoClip(x2dSprite* s, int x, int y, uint32_t* dst) { noClip(s, s->pixels, x, y, dst, screenSkip(s), Add()); }

void DrawBlendNoClip(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawNoClip(x, y, dst);
        return;
    }
    noClip(s, s->pixels, x, y, dst, s->skip, Blend(a));
}

void DrawAlphaNoClip(x2dSprite* s, int x, int y, uint32_t* dst) { noClip(s, s->pixels, x, y, dst, s->skip, Alpha()); }

void DrawAlphaBlendNoClip(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawAlphaNoClip(x, y, dst);
        return;
    }
    noClip(s, s->pixels, x, y, dst, s->skip, AlphaBlend(a));
}

void DrawKeyNoClip(x2dSprite* s, int x, int y, uint32_t* dst) { noClip(s, s->pixels, x, y, dst, s->skip, Key(s->color)); }

void DrawLayerNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->alphaLayer, x, y, dst, s->skip, Layer(s->color));
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
    noClip(s, s->alphaLayer, x, y, dst, s->skip, LayerBlend(s->color, a));
}

void DrawAdd(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Add()); }

// No shortcuts here: weight 0 and 255 are blended like any other.
void DrawBlendScaled(x2dSprite* s, int x, int y, float scale, uint32_t a, uint32_t* dst)
{
    scaledRows(s, s->pixels, x, y, scale, dst, Blend(clampAlpha(a)));
}

void DrawBlend(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    clipped(s, s->pixels, x, y, dst, Blend(clampAlpha(a)));
}

void DrawAlphaScaled(x2dSprite* s, int x, int y, float scale, uint32_t* dst)
{
    scaledRows(s, s->pixels, x, y, scale, dst, Alpha());
}

void DrawAlpha(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Alpha()); }

void DrawAlphaBlendScaled(x2dSprite* s, int x, int y, float scale, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawAlphaScaled(x, y, scale, dst);
        return;
    }
    scaledRows(s, s->pixels, x, y, scale, dst, AlphaBlend(a));
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
    clipped(s, s->pixels, x, y, dst, AlphaBlend(a));
}

void DrawKey(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Key(s->color)); }

void DrawLayerScaled(x2dSprite* s, int x, int y, float scale, uint32_t* dst)
{
    scaledRows(s, s->alphaLayer, x, y, scale, dst, Layer(s->color));
}

void DrawLayer(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->alphaLayer, x, y, dst, Layer(s->color)); }

void DrawLayerBlend(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->DrawLayer(x, y, dst);
        return;
    }
    clipped(s, s->alphaLayer, x, y, dst, LayerBlend(s->color, a));
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

// Without SSE2 lanes the table is the plain one, and the factory never picks
// it.
const x2dSpriteOps x2dSpriteMMXOps = x2dSpriteX86Ops;
bool x2dSpriteHasMMXPath() { return false; }

#endif
