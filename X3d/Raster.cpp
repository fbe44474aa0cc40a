#include "X3d/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <cstring>

#include "X2d/X2d.h"
#include "X3d/Material.h"
#include "X3d/X3d.h"
#include "system/Xerror.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const char* const kModule = "X3d/Raster.cpp";

// Screen positions are kept within 8192 pixels of the origin so the 64-bit
// edge arithmetic cannot overflow. Clipped geometry never comes near this;
// only broken input is bent by it.
const int32_t kScreenLimit = 8192 << 16;

// The modulate table with row 255 holding the colour itself: gouraud, fog and
// the affine lit texture write full light unchanged, without a test per pixel.
uint8_t g_modulateFull[65536];
bool g_modulateFullReady = false;

void buildModulateFull()
{
    for (int k = 0; k < 256; k++)
        for (int i = 0; i < 256; i++)
            g_modulateFull[k * 256 + i] = (uint8_t)(k == 255 ? i : (k * i) >> 8);
    g_modulateFullReady = true;
}

// The state of one polygon: where it draws and with what.
struct Ctx {
    uint8_t* frame;
    uint8_t* zbuf;
    const int32_t* lines;
    int width, height;
    const uint8_t* modulate;
    const uint8_t* fogR;
    const uint8_t* fogG;
    const uint8_t* fogB;
    const uint32_t* texels;
    uint32_t red, green, blue;
    uint32_t flat;     // the current fan triangle's colour
    bool fogWhole;     // the fog tables are the integer blend (g_x3d.fogWhole)
    uint32_t lut[256]; // the flat colour at each light, rows lo..hi of the triangle
};

// A projected vertex: 16.16 screen position and the attributes in the units
// the span loops step (16.16 values, or floats for the perspective family).
struct Vtx {
    int32_t x, y;
    double depth; // z x 65536
    double shade; // x 65536
    double light; // the u slot of untextured fogged faces, x 65536
    double u, v;  // texels
    double rz;    // 1 / z
    float shadeRaw;
};

struct Plane {
    double a, b, c; // value at (x, y) = a + b x + c y
    double at(double x, double y) const { return a + b * x + c * y; }
};

struct Edge {
    int64_t x;    // 2^-32 pixel
    int64_t step; // per row
};

inline int ceil16(int32_t a) { return (int)((a + 0xFFFF) >> 16); }
inline int ceil32(int64_t a) { return (int)((a + 0xFFFFFFFFll) >> 32); }

// The edge from p down to q at its first row: x exact to 2^-32 pixel, the
// sub-pixel prestep taken at the upper end. Two triangles sharing the edge
// compute the same values, so they meet without gap or overlap.
inline void edgeStart(Edge& e, const Vtx* p, const Vtx* q, int row)
{
    double slope = (double)(q->x - p->x) / (double)(q->y - p->y);
    e.step = (int64_t)(slope * 4294967296.0);
    e.x = (int64_t)p->x * 65536 + (int64_t)(((double)row * 65536.0 - p->y) * slope * 65536.0);
}

// A span's start and step of a table index (shade, light, fog) or a depth.
// Interpolated values can overshoot their vertices' range by a step; the
// span's two ends are brought into [lo, hi] so every pixel between stays a
// valid index.
inline void spanClamped(double start, int32_t grad, int n, int64_t lo, int64_t hi, uint32_t& value, uint32_t& step)
{
    int64_t s = x3dRoundSat(start);
    int64_t e = s + (int64_t)grad * (n - 1);
    if (s >= lo && s <= hi && e >= lo && e <= hi) {
        value = (uint32_t)s;
        step = (uint32_t)grad;
        return;
    }
    s = s < lo ? lo : s > hi ? hi : s;
    e = e < lo ? lo : e > hi ? hi : e;
    value = (uint32_t)s;
    step = (uint32_t)(n > 1 ? (int32_t)((e - s) / (n - 1)) : 0);
}

const int64_t kIndexMax = 0xFFFFFF;    // 255.99 in 16.16
const int64_t kDepthMax = 0x7FFFFFFF;

// Per-channel saturating add of src onto dst; src's fourth byte is 0, so
// the destination keeps its own.
[[maybe_unused]] inline uint32_t addSaturate(uint32_t d, uint32_t s)
{
    uint64_t dw = (d & 0xFF) | (uint64_t)(d & 0xFF00) << 8 | (uint64_t)(d & 0xFF0000) << 16;
    uint64_t sw = (s & 0xFF) | (uint64_t)(s & 0xFF00) << 8 | (uint64_t)(s & 0xFF0000) << 16;
    uint64_t sum = dw + sw;
    uint64_t over = (sum >> 8) & 0x000100010001ull;
    sum = (sum | (over * 0xFF)) & 0x00FF00FF00FFull;
    return (d & 0xFF000000u) | (uint32_t)(sum & 0xFF) | (uint32_t)(sum >> 8 & 0xFF00) | (uint32_t)(sum >> 16 & 0xFF0000);
}

} // namespace

void x3dAddRow(uint32_t* dst, const uint32_t* src, int n)
{
    int i = 0;
#ifdef __SSE2__
    for (; i + 4 <= n; i += 4) {
        __m128i d = _mm_loadu_si128((const __m128i*)(dst + i));
        __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
        _mm_storeu_si128((__m128i*)(dst + i), _mm_adds_epu8(d, s));
    }
    for (; i < n; i++)
        dst[i] = (uint32_t)_mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128((int)dst[i]), _mm_cvtsi32_si128((int)src[i])));
#else
    for (; i < n; i++)
        dst[i] = addSaturate(dst[i], src[i]);
#endif
}

namespace {

constexpr bool isTextured(int k) { return k >= X3D_FILL_TEX; }
constexpr bool isPerspective(int k) { return k >= X3D_FILL_TEXP; }
constexpr bool hasShade(int k)
{
    return k == X3D_FILL_GOURAUD || k == X3D_FILL_FOG || k == X3D_FILL_TEX_LIT || k == X3D_FILL_TEX_FOG ||
           k == X3D_FILL_TEXP_LIT || k == X3D_FILL_TEXP_FOG;
}
constexpr bool usesFog(int k) { return k == X3D_FILL_FOG || k == X3D_FILL_TEX_FOG || k == X3D_FILL_TEXP_FOG; }
// Kinds whose light reads a per-triangle table of the shaded flat colour.
constexpr bool lightTable(int k) { return k == X3D_FILL_GOURAUD || k == X3D_FILL_FOG; }

// The interpolated values of one span, stepped per pixel. Unsigned, so the
// step past the last pixel wraps harmlessly; the span clamps keep every
// value used in range.
struct SpanState {
    uint32_t d, dd; // depth
    uint32_t s, ds; // light or fog, 16.16
    uint32_t l, dl; // the light of untextured fogged faces
    uint32_t u, du, v, dv;
};

enum { kChunk = 64, kShortSpan = 12 };

// 1 / count for the last run of a perspective span, so that run costs a
// multiplication instead of two integer divisions. A hair above 1 / count,
// so whole quotients come out whole; no other quotient of a 32-bit value
// comes within that of a whole number.
struct Reciprocals {
    double r[33];
    constexpr Reciprocals() : r()
    {
        for (int i = 1; i <= 32; i++)
            r[i] = 1.0 / i + 1e-12;
    }
    double operator[](int i) const { return r[i]; }
};
constexpr Reciprocals kReciprocal;

// The span loop, in three steps over chunks of up to 64 pixels: the
// stepped values become table indices and a depth mask (plain integer
// loops the compiler turns into vector code), the tables are read, and the
// colours are written or added.
inline uint32_t addPixel(uint32_t d, uint32_t s)
{
#ifdef __SSE2__
    return (uint32_t)_mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128((int)d), _mm_cvtsi32_si128((int)s)));
#else
    return addSaturate(d, s);
#endif
}

// Adds one colour (fourth byte 0) to n pixels with saturation.
inline void addConstant(uint32_t* dst, uint32_t c, int n)
{
    int i = 0;
#ifdef __SSE2__
    const __m128i s = _mm_set1_epi32((int)c);
    for (; i + 4 <= n; i += 4)
        _mm_storeu_si128((__m128i*)(dst + i), _mm_adds_epu8(_mm_loadu_si128((const __m128i*)(dst + i)), s));
#endif
    for (; i < n; i++)
        dst[i] = addSaturate(dst[i], c);
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pixels are read as bytes B, G, R in memory");

// The colours of k pixels from their table indices. The texel and light
// table bytes are read one by one (B, G, R in memory), which saves the
// shifts and masks of taking a pixel apart.
template <int K>
inline void colourPhase(uint32_t* __restrict out, int k, const uint32_t* texel, const uint32_t* shade,
                        const uint32_t* light, const Ctx& ctx)
{
    if constexpr (K == X3D_FILL_FLAT) {
        for (int i = 0; i < k; i++)
            out[i] = ctx.flat;
    } else if constexpr (K == X3D_FILL_GOURAUD) {
        for (int i = 0; i < k; i++)
            out[i] = ctx.lut[shade[i]];
    } else if constexpr (K == X3D_FILL_FOG) {
        const uint8_t *fr = ctx.fogR, *fg = ctx.fogG, *fb = ctx.fogB;
        const uint8_t* lut = (const uint8_t*)ctx.lut;
        for (int i = 0; i < k; i++) {
            const uint8_t* c = lut + 4 * light[i];
            const uint8_t *rr = fr + shade[i], *rg = fg + shade[i], *rb = fb + shade[i];
            out[i] = (uint32_t)rr[c[2]] << 16 | (uint32_t)rg[c[1]] << 8 | rb[c[0]];
        }
    } else if constexpr (K == X3D_FILL_TEX || K == X3D_FILL_TEXP) {
        const uint32_t* tex = ctx.texels;
        for (int i = 0; i < k; i++)
            out[i] = tex[texel[i]];
    } else if constexpr (K == X3D_FILL_TEX_LIT || K == X3D_FILL_TEXP_LIT) {
        // Full light writes the texel itself in the affine family, and
        // (255 x c) >> 8 in the perspective one.
        const uint8_t* m = K == X3D_FILL_TEX_LIT ? g_modulateFull : ctx.modulate;
        const uint8_t* tex = (const uint8_t*)ctx.texels;
        for (int i = 0; i < k; i++) {
            const uint8_t* t = tex + 4 * texel[i];
            const uint8_t* row = m + shade[i];
            out[i] = (uint32_t)row[t[2]] << 16 | (uint32_t)row[t[1]] << 8 | row[t[0]];
        }
    } else {
        const uint8_t *fr = ctx.fogR, *fg = ctx.fogG, *fb = ctx.fogB;
        const uint8_t* tex = (const uint8_t*)ctx.texels;
        for (int i = 0; i < k; i++) {
            const uint8_t* t = tex + 4 * texel[i];
            out[i] = (uint32_t)fr[shade[i] + t[2]] << 16 | (uint32_t)fg[shade[i] + t[1]] << 8 | fb[shade[i] + t[0]];
        }
    }
}

#ifdef __SSE2__
// Four pixels a step. The byte tables are arithmetic that gives the same
// bytes: the modulate table is (k x c) >> 8, with row 255 written as
// (256 x c) >> 8 = c where full light keeps the colour; a fog table built
// from a whole-numbered colour F is (c x (256 - l) + F x l) >> 8. A pixel's
// channels are worked on where they lie, in two halves: B and R in the low
// bytes of its two 16-bit lanes, G (and the fourth byte) shifted down to
// them; every product and every blend stays below 65536. Shifts and
// shuffles share few execution units, so the halves avoid unpacking and
// repacking the pixels. The texels are still read one at a time: SSE2 has
// no gather.
struct Lanes {
    __m128i even, odd;        // the flat colour's B, R and G in 16-bit lanes
    __m128i fogEven, fogOdd;  // the fog colour's, the same way
    const uint32_t* texels;
};

inline __m128i ramp(uint32_t start, uint32_t step)
{
    return _mm_setr_epi32((int)start, (int)(start + step), (int)(start + 2 * step), (int)(start + 3 * step));
}

const uint32_t kEven = 0x00FF00FF, kOddHigh = 0x0000FF00;

// The table row of each pixel in both its 16-bit lanes: the integer part of
// the 16.16 value, which the span clamps keep within 0..255 for every drawn
// pixel, so no mask is needed.
inline __m128i row16(__m128i value)
{
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(value, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1));
}

// The modulate factor of full light: 255 becomes 256.
inline __m128i fullLight(__m128i i) { return _mm_sub_epi16(i, _mm_cmpeq_epi16(i, _mm_set1_epi16(255))); }

// (c x m) >> 8 per channel from the halves of the pixels; fourth byte 0.
inline __m128i modulateHalves(__m128i even, __m128i odd, __m128i m)
{
    const __m128i e = _mm_srli_epi16(_mm_mullo_epi16(even, m), 8);
    const __m128i o = _mm_and_si128(_mm_mullo_epi16(odd, m), _mm_set1_epi32((int)kOddHigh));
    return _mm_or_si128(e, o);
}

inline __m128i modulate4(__m128i p, __m128i m)
{
    return modulateHalves(_mm_and_si128(p, _mm_set1_epi32((int)kEven)), _mm_srli_epi16(p, 8), m);
}

// (c x (256 - f) + F x f) >> 8 per channel as (256 c + (F - c) f) >> 8: the
// terms wrap in 16 bits, the sum does not. Fourth byte 0.
inline __m128i fog4(__m128i p, __m128i f, const Lanes& c)
{
    const __m128i even = _mm_and_si128(p, _mm_set1_epi32((int)kEven)), odd = _mm_srli_epi16(p, 8);
    const __m128i e = _mm_srli_epi16(
        _mm_add_epi16(_mm_slli_epi16(even, 8), _mm_mullo_epi16(_mm_sub_epi16(c.fogEven, even), f)), 8);
    const __m128i o = _mm_and_si128(
        _mm_add_epi16(_mm_and_si128(p, _mm_set1_epi32((int)kOddHigh)), _mm_mullo_epi16(_mm_sub_epi16(c.fogOdd, odd), f)),
        _mm_set1_epi32((int)kOddHigh));
    return _mm_or_si128(e, o);
}

// The four texels of u and v, fourth bytes as stored. Each index, v's
// integer byte over u's, is built in the upper 16-bit lane of its pixel and
// moved down, then leaves the vector two at a time where 64-bit lanes reach
// the integer registers in one move.
inline __m128i texels4(const uint32_t* tex, __m128i u, __m128i v)
{
    const __m128i idx =
        _mm_srli_epi32(_mm_or_si128(_mm_and_si128(u, _mm_set1_epi32((int)kEven)), _mm_slli_epi16(v, 8)), 16);
#if defined(__x86_64__) || defined(__wasm__)
    const uint64_t i01 = (uint64_t)_mm_cvtsi128_si64(idx), i23 = (uint64_t)_mm_cvtsi128_si64(_mm_unpackhi_epi64(idx, idx));
    const uint32_t i0 = (uint32_t)i01, i1 = (uint32_t)(i01 >> 32), i2 = (uint32_t)i23, i3 = (uint32_t)(i23 >> 32);
#else
    const uint32_t i0 = (uint32_t)_mm_cvtsi128_si32(idx), i1 = (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi32(idx, 0x55)),
                   i2 = (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi32(idx, 0xAA)),
                   i3 = (uint32_t)_mm_cvtsi128_si32(_mm_shuffle_epi32(idx, 0xFF));
#endif
    const __m128i a = _mm_cvtsi32_si128((int)tex[i0]), b = _mm_cvtsi32_si128((int)tex[i1]);
    const __m128i c = _mm_cvtsi32_si128((int)tex[i2]), d = _mm_cvtsi32_si128((int)tex[i3]);
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
}

// The colours of four pixels from their stepped values.
template <int K>
inline __m128i colour4(const Lanes& c, __m128i u, __m128i v, __m128i s, __m128i l)
{
    if constexpr (K == X3D_FILL_GOURAUD) {
        return modulateHalves(c.even, c.odd, fullLight(row16(s)));
    } else if constexpr (K == X3D_FILL_FOG) {
        const __m128i lit = modulateHalves(c.even, c.odd, fullLight(row16(l)));
        return fog4(lit, row16(s), c);
    } else if constexpr (K == X3D_FILL_TEX || K == X3D_FILL_TEXP) {
        return texels4(c.texels, u, v);
    } else if constexpr (K == X3D_FILL_TEX_LIT || K == X3D_FILL_TEXP_LIT) {
        // Full light keeps the texel in the affine family only.
        const __m128i i = row16(s);
        return modulate4(texels4(c.texels, u, v), K == X3D_FILL_TEX_LIT ? fullLight(i) : i);
    } else {
        return fog4(texels4(c.texels, u, v), row16(s), c);
    }
}

// One step of four pixels at dst and zb; every value steps by four pixels.
template <int K, bool Z, bool ADD>
inline void step4(uint32_t* dst, int32_t* zb, const Lanes& c, __m128i d, __m128i u, __m128i v, __m128i s,
                  __m128i l, __m128i flat)
{
    // Texels copied as they are lose their fourth byte before they are added.
    constexpr bool maskTexel = K == X3D_FILL_TEX || K == X3D_FILL_TEXP;
    __m128i hidden = _mm_setzero_si128();
    if (Z) {
        // Drawn where the stored depth is not below the new one; the stored
        // depth becomes the smaller of the two.
        const __m128i old = _mm_loadu_si128((const __m128i*)zb);
        hidden = _mm_cmpgt_epi32(d, old);
        if (_mm_movemask_epi8(hidden) == 0xFFFF)
            return;
        _mm_storeu_si128((__m128i*)zb, _mm_or_si128(_mm_and_si128(hidden, old), _mm_andnot_si128(hidden, d)));
    }
    __m128i colour = K == X3D_FILL_FLAT ? flat : colour4<K>(c, u, v, s, l);
    const __m128i old = _mm_loadu_si128((const __m128i*)dst);
    if (ADD) {
        if (maskTexel)
            colour = _mm_and_si128(colour, _mm_set1_epi32(0xFFFFFF));
        if (Z)
            colour = _mm_andnot_si128(hidden, colour);
        colour = _mm_adds_epu8(old, colour);
    } else if (Z) {
        colour = _mm_or_si128(_mm_and_si128(hidden, old), _mm_andnot_si128(hidden, colour));
    }
    _mm_storeu_si128((__m128i*)dst, colour);
}

// The one to three pixels after a span's last group of four.
inline void copyPixels(uint32_t* to, const uint32_t* from, int k)
{
    to[0] = from[0];
    if (k > 1)
        to[1] = from[1];
    if (k > 2)
        to[2] = from[2];
}

// The span loop four pixels a step, in runs: nextRun(n, st) sets u, v and
// their steps for the next run of the n pixels left and returns its length,
// a multiple of four but for the last. A span that ends inside a group of
// four runs its last step on a copy of its last pixels. Kept out of line:
// inlined into the triangle set-up, the loop loses its constants to the
// stack.
template <int K, bool Z, bool ADD, class NextRun>
__attribute__((noinline)) void spanLanes(uint32_t* __restrict dst, int32_t* __restrict zb, int n, SpanState& st,
                                         const Ctx& ctx, NextRun nextRun)
{
    if (K == X3D_FILL_FLAT && !Z) {
        if (ADD)
            addConstant(dst, ctx.flat, n);
        else
            std::fill_n(dst, n, ctx.flat);
        return;
    }
    Lanes c;
    const uint32_t fog = (uint32_t)g_x3d.fogPacked & 0xFFFFFF;
    c.even = _mm_set1_epi32((int)(ctx.red << 16 | ctx.blue));
    c.odd = _mm_set1_epi32((int)ctx.green);
    c.fogEven = _mm_set1_epi32((int)(fog & kEven));
    c.fogOdd = _mm_set1_epi32((int)(fog >> 8 & 0xFF));
    c.texels = ctx.texels;
    const __m128i flat = _mm_set1_epi32((int)ctx.flat);
    __m128i d = ramp(st.d, st.dd), s = ramp(st.s, st.ds), l = ramp(st.l, st.dl), u, v;
    const __m128i dd = _mm_set1_epi32((int)(st.dd * 4)), ds = _mm_set1_epi32((int)(st.ds * 4)),
                  dl = _mm_set1_epi32((int)(st.dl * 4));
    __m128i du, dv;
    auto advance = [&]() {
        if (Z)
            d = _mm_add_epi32(d, dd);
        if (isTextured(K)) {
            u = _mm_add_epi32(u, du);
            v = _mm_add_epi32(v, dv);
        }
        if (hasShade(K))
            s = _mm_add_epi32(s, ds);
        if (K == X3D_FILL_FOG)
            l = _mm_add_epi32(l, dl);
    };
    while (n > 0) {
        const int k = nextRun(n, st);
        u = ramp(st.u, st.du);
        v = ramp(st.v, st.dv);
        du = _mm_set1_epi32((int)(st.du * 4));
        dv = _mm_set1_epi32((int)(st.dv * 4));
        const int whole = k & ~3;
        int i = 0;
        // Two steps a turn where the registers hold both; the fogged kinds
        // would lose their constants to the stack.
        if constexpr (K != X3D_FILL_FOG && K != X3D_FILL_TEX_FOG && K != X3D_FILL_TEXP_FOG) {
            for (; i + 8 <= whole; i += 8) {
                step4<K, Z, ADD>(dst + i, Z ? zb + i : nullptr, c, d, u, v, s, l, flat);
                advance();
                step4<K, Z, ADD>(dst + i + 4, Z ? zb + i + 4 : nullptr, c, d, u, v, s, l, flat);
                advance();
            }
        }
        for (; i < whole; i += 4) {
            step4<K, Z, ADD>(dst + i, Z ? zb + i : nullptr, c, d, u, v, s, l, flat);
            advance();
        }
        if (const int rest = k - whole) {
            uint32_t pixels[4] = {};
            int32_t depths[4] = {};
            copyPixels(pixels, dst + whole, rest);
            if (Z)
                copyPixels((uint32_t*)depths, (const uint32_t*)zb + whole, rest);
            step4<K, Z, ADD>(pixels, depths, c, d, u, v, s, l, flat);
            copyPixels(dst + whole, pixels, rest);
            if (Z)
                copyPixels((uint32_t*)zb + whole, (const uint32_t*)depths, rest);
        }
        dst += k;
        if (Z)
            zb += k;
        n -= k;
    }
}
#endif

// The span loop, over chunks of up to 64 pixels: the stepped values become
// table indices and a depth mask (plain integer loops the compiler turns
// into vector code), the tables are read, and the colours are written or
// added. A chunk the depth test wholly rejects costs no table reads; one it
// wholly passes is written like a painter span.
template <int K, bool Z, bool ADD>
void spanLoop(uint32_t* __restrict dst, int32_t* __restrict zb, int n, SpanState& st, const Ctx& ctx)
{
    alignas(16) uint32_t colour[kChunk];
    alignas(16) uint32_t mask[kChunk];
    alignas(16) uint32_t texel[kChunk];
    alignas(16) uint32_t shade[kChunk];
    alignas(16) uint32_t light[kChunk];
    // Computed colours have a fourth byte of 0; texels copied as they are
    // lose theirs before they are added.
    constexpr bool maskTexel = K == X3D_FILL_TEX || K == X3D_FILL_TEXP;
    if (n <= kShortSpan) {
        // The spans of small triangles: one pixel at a time costs less than
        // setting up the vector steps.
        for (int i = 0; i < n; i++) {
            bool draw = true;
            if (Z) {
                draw = zb[i] >= (int32_t)st.d;
                if (draw)
                    zb[i] = (int32_t)st.d;
                st.d += st.dd;
            }
            const uint32_t ti = ((st.v >> 8) & 0xFF00) | ((st.u >> 16) & 0xFF);
            const uint32_t si = K == X3D_FILL_GOURAUD ? (st.s >> 16) & 0xFF : (st.s >> 8) & 0xFF00;
            const uint32_t li = (st.l >> 16) & 0xFF;
            st.u += st.du;
            st.v += st.dv;
            st.s += st.ds;
            st.l += st.dl;
            if (!draw)
                continue;
            uint32_t c;
            colourPhase<K>(&c, 1, &ti, &si, &li, ctx);
            if (ADD)
                dst[i] = addPixel(dst[i], maskTexel ? c & 0xFFFFFF : c);
            else
                dst[i] = c;
        }
        return;
    }
    while (n > 0) {
        const int k = n < kChunk ? n : kChunk;
        uint32_t passed = ~0u, any = 0;
        if (Z) {
            uint32_t d = st.d;
            for (int i = 0; i < k; i++) {
                const int32_t old = zb[i], z = (int32_t)d;
                const uint32_t m = old >= z ? ~0u : 0u;
                zb[i] = (int32_t)(((uint32_t)z & m) | ((uint32_t)old & ~m));
                mask[i] = m;
                passed &= m;
                any |= m;
                d += st.dd;
            }
            st.d = d;
        }
        if constexpr (isTextured(K)) {
            uint32_t u = st.u, v = st.v;
            for (int i = 0; i < k; i++) {
                texel[i] = ((v >> 8) & 0xFF00) | ((u >> 16) & 0xFF);
                u += st.du;
                v += st.dv;
            }
            st.u = u;
            st.v = v;
        }
        if constexpr (hasShade(K)) {
            // The light table is indexed by the light itself, the 256 x 256
            // tables by row offset.
            uint32_t sh = st.s;
            constexpr int shift = K == X3D_FILL_GOURAUD ? 16 : 8;
            constexpr uint32_t rowMask = K == X3D_FILL_GOURAUD ? 0xFF : 0xFF00;
            for (int i = 0; i < k; i++) {
                shade[i] = (sh >> shift) & rowMask;
                sh += st.ds;
            }
            st.s = sh;
        }
        if constexpr (K == X3D_FILL_FOG) {
            uint32_t l = st.l;
            for (int i = 0; i < k; i++) {
                light[i] = (l >> 16) & 0xFF;
                l += st.dl;
            }
            st.l = l;
        }

        if (Z && !any) {
            // Hidden: nothing to draw.
        } else if (!ADD && (!Z || passed)) {
            if (K == X3D_FILL_FLAT)
                std::fill_n(dst, k, ctx.flat);
            else
                colourPhase<K>(dst, k, texel, shade, light, ctx);
        } else if (!ADD) {
            colourPhase<K>(colour, k, texel, shade, light, ctx);
            for (int i = 0; i < k; i++)
                dst[i] = (colour[i] & mask[i]) | (dst[i] & ~mask[i]);
        } else if (K == X3D_FILL_FLAT && (!Z || passed)) {
            addConstant(dst, ctx.flat, k);
        } else {
            colourPhase<K>(colour, k, texel, shade, light, ctx);
            if (Z && !passed)
                for (int i = 0; i < k; i++)
                    colour[i] &= mask[i] & 0xFFFFFF;
            else if (maskTexel)
                for (int i = 0; i < k; i++)
                    colour[i] &= 0xFFFFFF;
            x3dAddRow(dst, colour, k);
        }
        dst += k;
        if (Z)
            zb += k;
        n -= k;
    }
}

// The attribute planes and fixed-point x-gradients of one triangle.
struct TriPlanes {
    Plane depth, shade, light, u, v, uz, vz, rz;
    int32_t dDepth, dShade, dLight, dU, dV;
    int64_t shadeLo, shadeHi, lightLo, lightHi; // span clamps: the rows of the light table filled
};

template <int K, bool Z, bool ADD>
inline void drawSpan(const Ctx& ctx, const TriPlanes& t, int y, int x0, int n)
{
    uint32_t* dst = (uint32_t*)(ctx.frame + ctx.lines[y]) + x0;
    int32_t* zb = Z ? (int32_t*)(ctx.zbuf + ctx.lines[y]) + x0 : nullptr;
    const double fx = x0, fy = y;
    SpanState st{};
    if (Z)
        spanClamped(t.depth.at(fx, fy), t.dDepth, n, 0, kDepthMax, st.d, st.dd);
    if constexpr (hasShade(K))
        spanClamped(t.shade.at(fx, fy), t.dShade, n, t.shadeLo, t.shadeHi, st.s, st.ds);
    if constexpr (K == X3D_FILL_FOG)
        spanClamped(t.light.at(fx, fy), t.dLight, n, t.lightLo, t.lightHi, st.l, st.dl);
    if constexpr (isTextured(K) && !isPerspective(K)) {
        st.u = (uint32_t)x3dRoundSat(t.u.at(fx, fy));
        st.v = (uint32_t)x3dRoundSat(t.v.at(fx, fy));
        st.du = (uint32_t)t.dU;
        st.dv = (uint32_t)t.dV;
    }
    // Four pixels a step where the lanes compute what the tables hold;
    // short spans a pixel at a time, which costs less than setting up the
    // lanes.
    const bool lanes = n > kShortSpan && (!usesFog(K) || ctx.fogWhole);
    (void)lanes;
    if constexpr (!isPerspective(K)) {
#ifdef __SSE2__
        if (lanes) {
            spanLanes<K, Z, ADD>(dst, zb, n, st, ctx, [](int left, SpanState&) { return left; });
            return;
        }
#endif
        spanLoop<K, Z, ADD>(dst, zb, n, st, ctx);
    } else {
        // u and v exact every 32 pixels (one divide), linear between.
        double uz = t.uz.at(fx, fy), vz = t.vz.at(fx, fy), rz = t.rz.at(fx, fy);
        double z = 1.0 / rz;
        int32_t u0 = x3dRoundSat(uz * z * 65536.0), v0 = x3dRoundSat(vz * z * 65536.0);
        auto nextRun = [&](int left, SpanState& st) {
            const int k = left < 32 ? left : 32;
            uz += t.uz.b * k;
            vz += t.vz.b * k;
            rz += t.rz.b * k;
            z = 1.0 / rz;
            int32_t u1 = x3dRoundSat(uz * z * 65536.0), v1 = x3dRoundSat(vz * z * 65536.0);
            int32_t du = (int32_t)((uint32_t)u1 - (uint32_t)u0), dv = (int32_t)((uint32_t)v1 - (uint32_t)v0);
            st.u = (uint32_t)u0;
            st.v = (uint32_t)v0;
            if (k == 32) {
                st.du = (uint32_t)(du >> 5);
                st.dv = (uint32_t)(dv >> 5);
            } else { // the last, shorter run: (end - start) / count
                st.du = (uint32_t)(int32_t)((double)du * kReciprocal[k]);
                st.dv = (uint32_t)(int32_t)((double)dv * kReciprocal[k]);
            }
            u0 = u1;
            v0 = v1;
            return k;
        };
#ifdef __SSE2__
        if (lanes) {
            spanLanes<K, Z, ADD>(dst, zb, n, st, ctx, nextRun);
            return;
        }
#endif
        while (n > 0) {
            const int k = nextRun(n, st);
            spanLoop<K, Z, ADD>(dst, zb, k, st, ctx);
            dst += k;
            if (Z)
                zb += k;
            n -= k;
        }
    }
}

// The table row of a 16.16 light, clamped to the table (NaN to 0).
inline int lightIndex(double value)
{
    double i = std::floor(value / 65536.0);
    return !(i > 0.0) ? 0 : i > 255.0 ? 255 : (int)i;
}

inline Plane makePlane(double A0, double A1, double A2, double X0, double X1, double X2, double Y0, double Y1,
                       double Y2, double invH)
{
    Plane p;
    p.b = ((A0 - A2) * (Y1 - Y2) - (A1 - A2) * (Y0 - Y2)) * invH;
    p.c = ((A1 - A2) * (X0 - X2) - (A0 - A2) * (X1 - X2)) * invH;
    p.a = A2 - X2 * p.b - Y2 * p.c;
    return p;
}

template <int K, bool Z, bool ADD>
void drawTriangle(const Vtx* v0, const Vtx* v1, const Vtx* v2, Ctx& ctx)
{
    if (v1->y < v0->y)
        std::swap(v0, v1);
    if (v2->y < v1->y)
        std::swap(v1, v2);
    if (v1->y < v0->y)
        std::swap(v0, v1);
    int64_t cross = (int64_t)(v1->x - v0->x) * (v2->y - v0->y) - (int64_t)(v2->x - v0->x) * (v1->y - v0->y);
    if (cross == 0)
        return;
    int yTop = ceil16(v0->y), yMid = ceil16(v1->y), yBot = ceil16(v2->y);
    int yStart = yTop > 0 ? yTop : 0;
    int yEnd = yBot < ctx.height ? yBot : ctx.height;
    if (yStart >= yEnd)
        return;

    const double X0 = v0->x / 65536.0, X1 = v1->x / 65536.0, X2 = v2->x / 65536.0;
    const double Y0 = v0->y / 65536.0, Y1 = v1->y / 65536.0, Y2 = v2->y / 65536.0;
    const double H = (X0 - X2) * (Y1 - Y2) - (X1 - X2) * (Y0 - Y2);
    const double invH = 1.0 / H;
    TriPlanes t;
#define QH_PLANE(field) makePlane(v0->field, v1->field, v2->field, X0, X1, X2, Y0, Y1, Y2, invH)
    if (Z) {
        t.depth = QH_PLANE(depth);
        t.dDepth = x3dRoundSat(t.depth.b);
    }
    if constexpr (hasShade(K)) {
        t.shade = QH_PLANE(shade);
        t.dShade = x3dRoundSat(t.shade.b);
        t.shadeLo = 0;
        t.shadeHi = kIndexMax;
    }
    if constexpr (K == X3D_FILL_FOG) {
        t.light = QH_PLANE(light);
        t.dLight = x3dRoundSat(t.light.b);
    }
    if constexpr (lightTable(K)) {
        // The flat colour at every light the triangle can reach (its
        // vertices' range and a step either side); the spans are clamped to
        // the same rows.
        double a = K == X3D_FILL_FOG ? v0->light : v0->shade, b = K == X3D_FILL_FOG ? v1->light : v1->shade,
               c = K == X3D_FILL_FOG ? v2->light : v2->shade;
        int lo = lightIndex(std::min(a, std::min(b, c))) - 1, hi = lightIndex(std::max(a, std::max(b, c))) + 1;
        lo = lo < 0 ? 0 : lo;
        hi = hi > 255 ? 255 : hi;
        for (int i = lo; i <= hi; i++) {
            const uint8_t* row = g_modulateFull + i * 256;
            ctx.lut[i] = (uint32_t)row[ctx.red] << 16 | (uint32_t)row[ctx.green] << 8 | row[ctx.blue];
        }
        int64_t& rangeLo = K == X3D_FILL_FOG ? t.lightLo : t.shadeLo;
        int64_t& rangeHi = K == X3D_FILL_FOG ? t.lightHi : t.shadeHi;
        rangeLo = (int64_t)lo << 16;
        rangeHi = (int64_t)hi << 16 | 0xFFFF;
    }
    if constexpr (isTextured(K) && !isPerspective(K)) {
        // Tiled maps: one multiple of 256 off all three vertices keeps the
        // values near 0 without changing a texel.
        double base = floor(std::min(v0->u, std::min(v1->u, v2->u)) / 256.0) * 256.0;
        t.u = makePlane((v0->u - base) * 65536.0, (v1->u - base) * 65536.0, (v2->u - base) * 65536.0, X0, X1, X2, Y0, Y1,
                        Y2, invH);
        base = floor(std::min(v0->v, std::min(v1->v, v2->v)) / 256.0) * 256.0;
        t.v = makePlane((v0->v - base) * 65536.0, (v1->v - base) * 65536.0, (v2->v - base) * 65536.0, X0, X1, X2, Y0, Y1,
                        Y2, invH);
        t.dU = x3dRoundSat(t.u.b);
        t.dV = x3dRoundSat(t.v.b);
    }
    if constexpr (isPerspective(K)) {
        double base = floor(std::min(v0->u, std::min(v1->u, v2->u)) / 256.0) * 256.0;
        t.uz = makePlane((v0->u - base) * v0->rz, (v1->u - base) * v1->rz, (v2->u - base) * v2->rz, X0, X1, X2, Y0, Y1,
                         Y2, invH);
        base = floor(std::min(v0->v, std::min(v1->v, v2->v)) / 256.0) * 256.0;
        t.vz = makePlane((v0->v - base) * v0->rz, (v1->v - base) * v1->rz, (v2->v - base) * v2->rz, X0, X1, X2, Y0, Y1,
                         Y2, invH);
        t.rz = QH_PLANE(rz);
    }
#undef QH_PLANE
    if constexpr (K == X3D_FILL_FLAT) {
        double mean = ((double)v0->shadeRaw + v1->shadeRaw + v2->shadeRaw) * 0.3333333333333333;
        int i = mean >= 255.0 ? 255 : mean > 0.0 ? (int)mean : 0;
        const uint8_t* row = ctx.modulate + i * 256;
        ctx.flat = (uint32_t)row[ctx.red] << 16 | (uint32_t)row[ctx.green] << 8 | row[ctx.blue];
    }

    // The long edge runs top to bottom; the middle vertex on its right
    // makes it the left edge.
    Edge longEdge, shortEdge;
    edgeStart(longEdge, v0, v2, yStart);
    bool upper = yStart < yMid;
    if (upper)
        edgeStart(shortEdge, v0, v1, yStart);
    else
        edgeStart(shortEdge, v1, v2, yStart);
    Edge* left = cross > 0 ? &longEdge : &shortEdge;
    Edge* right = cross > 0 ? &shortEdge : &longEdge;
    const int width = ctx.width;
    for (int y = yStart; y < yEnd; y++) {
        if (upper && y == yMid) {
            edgeStart(shortEdge, v1, v2, y);
            upper = false;
        }
        int xl = ceil32(left->x), xr = ceil32(right->x);
        if (xl < 0)
            xl = 0;
        if (xr > width)
            xr = width;
        if (xl < xr)
            drawSpan<K, Z, ADD>(ctx, t, y, xl, xr - xl);
        longEdge.x += longEdge.step;
        shortEdge.x += shortEdge.step;
    }
}

inline int32_t screenFixed(float v)
{
    int32_t f = x3dRoundSat((double)v * 65536.0);
    return f < -kScreenLimit ? -kScreenLimit : f > kScreenLimit ? kScreenLimit : f;
}

template <int K, bool Z, bool ADD>
void fillPolygon(x3dPolygon* poly, uint32_t* buffer, const x3dPaint* paint)
{
    const x3dCamera* cam = g_x3d.camera;
    if (!cam || !poly || poly->count < 3)
        return;
    Ctx ctx;
    ctx.frame = (uint8_t*)buffer;
    ctx.zbuf = (uint8_t*)g_x3d.zbuffer;
    ctx.lines = g_x3d.scanLines;
    if (Z && !ctx.zbuf)
        return;
    ctx.texels = paint->texels;
    if (isTextured(K) && !ctx.texels)
        return;
    // The viewport, never wider or taller than the engine's screen and its
    // scan-line table: spans and rows are clamped to it.
    int w = (int)cam->width, h = (int)cam->height;
    ctx.width = w < g_x3d.width ? w : g_x3d.width;
    ctx.height = h < g_x3d.height ? h : g_x3d.height;
    if (ctx.height > g_x3d.scanLineCount)
        ctx.height = g_x3d.scanLineCount;
    if (ctx.width <= 0 || ctx.height <= 0)
        return;
    if (!g_modulateFullReady)
        buildModulateFull();
    ctx.modulate = g_x3d.modulate;
    ctx.fogR = g_x3d.fogTables[0];
    ctx.fogG = g_x3d.fogTables[1];
    ctx.fogB = g_x3d.fogTables[2];
    ctx.red = paint->red;
    ctx.green = paint->green;
    ctx.blue = paint->blue;
    ctx.flat = 0;
    ctx.fogWhole = g_x3d.fogWhole != 0;

    const float cx = cam->centreX, cy = cam->centreY;
    const float kx = cx - 0.1f, ky = cy - 0.1f;
    int n = poly->count < X3D_POLY_MAX ? poly->count : X3D_POLY_MAX;
    Vtx vt[X3D_POLY_MAX];
    for (int i = 0; i < n; i++) {
        x3dPolyVertex& p = poly->v[i];
        if (!(p.z > 0.0f) || !std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            return;
        float r = 1.0f / p.z;
        p.screenX = cx + p.x * r * kx - 0.5f;
        p.screenY = cy - p.y * r * ky - 0.5f;
        p.invZ = r;
        Vtx& v = vt[i];
        v.x = screenFixed(p.screenX);
        v.y = screenFixed(p.screenY);
        v.depth = (double)p.z * 65536.0;
        v.shade = (double)p.shade * 65536.0;
        v.shadeRaw = p.shade;
        v.light = (double)p.u * 65536.0;
        v.u = std::isfinite(p.u) ? p.u : 0.0;
        v.v = std::isfinite(p.v) ? p.v : 0.0;
        v.rz = r;
    }
    for (int i = 1; i + 1 < n; i++)
        drawTriangle<K, Z, ADD>(&vt[0], &vt[i], &vt[i + 1], ctx);
}

#define QH_FILLERS(kind, name)                                                                                    \
    {name, fillPolygon<kind, false, false>}, {name "Z", fillPolygon<kind, true, false>},                          \
        {name "Add", fillPolygon<kind, false, true>}, {name "AddZ", fillPolygon<kind, true, true>}

} // namespace

const x3dFillerEntry x3dFillers[X3D_FILLERS] = {
    QH_FILLERS(X3D_FILL_FLAT, "x3dFillFlat"),         QH_FILLERS(X3D_FILL_GOURAUD, "x3dFillGouraud"),
    QH_FILLERS(X3D_FILL_FOG, "x3dFillFog"),           QH_FILLERS(X3D_FILL_TEX, "x3dFillTex"),
    QH_FILLERS(X3D_FILL_TEX_LIT, "x3dFillTexLit"),    QH_FILLERS(X3D_FILL_TEX_FOG, "x3dFillTexFog"),
    QH_FILLERS(X3D_FILL_TEXP, "x3dFillTexP"),         QH_FILLERS(X3D_FILL_TEXP_LIT, "x3dFillTexPLit"),
    QH_FILLERS(X3D_FILL_TEXP_FOG, "x3dFillTexPFog"),
};

int32_t x3dRoundSat(double value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0)
        return 2147483647;
    if (value <= -2147483648.0)
        return -2147483647 - 1;
    return (int32_t)(value < 0.0 ? value - 0.5 : value + 0.5);
}

int x3dSelectFiller(uint32_t flags, bool zbuffer, bool fog)
{
    if (flags & X3D_RF_WIRE)
        return X3D_SELECT_WIRE;
    int kind;
    if (fog) {
        if (flags & X3D_RF_TEXTURED)
            kind = (flags & X3D_RF_PERSPECTIVE) ? X3D_FILL_TEXP_FOG : X3D_FILL_TEX_FOG;
        else if (flags & (X3D_RF_FLAT | X3D_RF_GOURAUD))
            kind = X3D_FILL_FOG;
        else
            return X3D_SELECT_NONE;
    } else if (flags & X3D_RF_TEXTURED) {
        if (flags & X3D_RF_UNLIT)
            kind = (flags & X3D_RF_PERSPECTIVE) ? X3D_FILL_TEXP : X3D_FILL_TEX;
        else
            kind = (flags & X3D_RF_PERSPECTIVE) ? X3D_FILL_TEXP_LIT : X3D_FILL_TEX_LIT;
    } else if (flags & X3D_RF_FLAT) {
        kind = X3D_FILL_FLAT;
    } else if (flags & X3D_RF_GOURAUD) {
        kind = X3D_FILL_GOURAUD;
    } else {
        return X3D_SELECT_NONE;
    }
    return x3dFillerIndex(kind, (flags & X3D_RF_ADDITIVE) != 0, zbuffer);
}

namespace {

// Clips the segment to the rectangle [0, w-1] x [0, h-1]; false when it
// misses it.
bool clipLine(int& x0, int& y0, int& x1, int& y1, int w, int h)
{
    if (x0 >= 0 && x0 < w && y0 >= 0 && y0 < h && x1 >= 0 && x1 < w && y1 >= 0 && y1 < h)
        return true;
    double dx = (double)x1 - x0, dy = (double)y1 - y0;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {(double)x0, (double)(w - 1) - x0, (double)y0, (double)(h - 1) - y0};
    for (int i = 0; i < 4; i++) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1)
                return false;
            if (r > t0)
                t0 = r;
        } else {
            if (r < t0)
                return false;
            if (r < t1)
                t1 = r;
        }
    }
    double ax = x0 + t0 * dx, ay = y0 + t0 * dy, bx = x0 + t1 * dx, by = y0 + t1 * dy;
    x0 = (int)floor(ax + 0.5);
    y0 = (int)floor(ay + 0.5);
    x1 = (int)floor(bx + 0.5);
    y1 = (int)floor(by + 0.5);
    auto inside = [&](int x, int y) { return x >= 0 && x < w && y >= 0 && y < h; };
    return inside(x0, y0) && inside(x1, y1);
}

struct LineTarget {
    uint8_t* frame;
    const int32_t* lines;
    int w, h;
    uint32_t r, g, b;

    void blend(int x, int y, int a) const
    {
        if ((unsigned)x >= (unsigned)w || (unsigned)y >= (unsigned)h)
            return;
        uint32_t* p = (uint32_t*)(frame + lines[y]) + x;
        const uint8_t* row = x2dBlendRow((uint32_t)a);
        uint32_t d = *p;
        int dr = (d >> 16) & 255, dg = (d >> 8) & 255, db = d & 255;
        uint32_t nr = (uint8_t)(dr + row[(int)r - dr]);
        uint32_t ng = (uint8_t)(dg + row[(int)g - dg]);
        uint32_t nb = (uint8_t)(db + row[(int)b - db]);
        *p = (d & 0xFF000000u) | nr << 16 | ng << 8 | nb;
    }
};

inline int falloffIndex(float distance)
{
    int i = (int)(distance * 128.0f + 0.5f);
    return i > 191 ? 191 : i;
}

} // namespace

void x3dDrawLine(int x0, int y0, int x1, int y1, uint8_t red, uint8_t green, uint8_t blue, uint32_t* buffer)
{
    int w = g_x3d.width, h = g_x3d.height;
    if (g_x3d.camera) {
        int cw = (int)g_x3d.camera->width, ch = (int)g_x3d.camera->height;
        w = cw < w ? cw : w;
        h = ch < h ? ch : h;
    }
    if (h > g_x3d.scanLineCount)
        h = g_x3d.scanLineCount;
    if (w <= 0 || h <= 0 || !clipLine(x0, y0, x1, y1, w, h))
        return;
    uint8_t* frame = (uint8_t*)buffer;
    const int32_t* lines = g_x3d.scanLines;
    int dx = x1 - x0, dy = y1 - y0;
    int adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    bool xMajor = adx >= ady;
    int major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    int stepMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
    int stepMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
    int x = x0, y = y0;

    if (g_x3d.lineMode == 0) {
        uint32_t colour = (uint32_t)red << 16 | (uint32_t)green << 8 | blue;
        *((uint32_t*)(frame + lines[y]) + x) = colour;
        int m = 2 * minor - major;
        for (int i = 0; i < major; i++) {
            if (m >= 1) {
                (xMajor ? y : x) += stepMinor;
                m -= 2 * major;
            }
            m += 2 * minor;
            (xMajor ? x : y) += stepMajor;
            *((uint32_t*)(frame + lines[y]) + x) = colour;
        }
        return;
    }

    X_ASSERT(x2dBlendTable != nullptr, kModule, __LINE__);
    LineTarget target{frame, lines, w, h, red, green, blue};
    const uint8_t* falloff = g_x3d.falloff;
    if (major == 0) {
        target.blend(x, y, falloff[0]);
        return;
    }
    // Each step blends the pixel on the line and its two neighbours across
    // it by their distance from the ideal line: e is twice the major extent
    // times the offset along the minor axis.
    float len = x3dTableSqrt((float)major * major + (float)minor * minor);
    float k = 1.0f / (2.0f * len);
    float span = 2.0f * major * k;
    int nx = xMajor ? 0 : stepMinor, ny = xMajor ? stepMinor : 0;
    auto draw3 = [&](int e) {
        float ek = e * k;
        target.blend(x, y, falloff[falloffIndex(std::fabs(ek))]);
        target.blend(x + nx, y + ny, falloff[falloffIndex(std::fabs(span - ek))]);
        target.blend(x - nx, y - ny, falloff[falloffIndex(std::fabs(span + ek))]);
    };
    draw3(0);
    int m = 2 * minor - major;
    for (int i = 0; i < major; i++) {
        int e;
        if (m < 1) {
            e = m + major;
        } else {
            e = m - major;
            (xMajor ? y : x) += stepMinor;
            m -= 2 * major;
        }
        m += 2 * minor;
        (xMajor ? x : y) += stepMajor;
        draw3(e);
    }
}
