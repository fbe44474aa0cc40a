// The plain code path of the sprite operations: integer code, every blend
// through x2dBlendTable (three lookups and three byte additions a pixel).
#include <cstring>

#include "X2d.h"
#include "X2dspr.h"
#include "X2dsprDraw.h"

using namespace x2ddraw;

namespace {

// Pixels are handled as their bytes in memory: B, G, R, A.
inline uint8_t* bytes(uint32_t* p) { return (uint8_t*)p; }
inline const uint8_t* bytes(const uint32_t* p) { return (const uint8_t*)p; }

// p laid over d with the weight of blend-table row w: each colour channel
// becomes d + floor(w x (p - d) / 256); the fourth byte is 0.
inline void blend(uint8_t* d, const uint8_t* p, const uint8_t* w)
{
    const int db = d[0], dg = d[1], dr = d[2];
    d[0] = (uint8_t)(db + w[p[0] - db]);
    d[1] = (uint8_t)(dg + w[p[1] - dg]);
    d[2] = (uint8_t)(dr + w[p[2] - dr]);
    d[3] = 0;
}

inline uint8_t addByte(int d, int s) { return (uint8_t)(d + s > 255 ? 255 : d + s); }

// Every rule has the pixel form (for the scaled placement) and a row form
// built from it.
template <class Rule, class Src>
inline void eachPixel(const Rule& rule, uint32_t* d, const Src* s, int n)
{
    for (int i = 0; i < n; i++)
        rule(d + i, s + i);
}

struct Copy {
    void operator()(uint32_t* d, const uint32_t* s) const { *d = *s; }
    void operator()(uint32_t* d, const uint32_t* s, int n) const { memcpy(d, s, (size_t)n * 4); }
};

struct Key {
    uint32_t k;
    void operator()(uint32_t* d, const uint32_t* s) const
    {
        if (*s != k)
            *d = *s;
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const { eachPixel(*this, d, s, n); }
};

// min(d + s, 255) per colour channel where s is not 0; the destination keeps
// its fourth byte.
struct Add {
    void operator()(uint32_t* d, const uint32_t* s) const
    {
        if (!*s)
            return;
        uint8_t* d8 = bytes(d);
        const uint8_t* s8 = bytes(s);
        d8[0] = addByte(d8[0], s8[0]);
        d8[1] = addByte(d8[1], s8[1]);
        d8[2] = addByte(d8[2], s8[2]);
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const { eachPixel(*this, d, s, n); }
};

struct Blend {
    const uint8_t* w;
    void operator()(uint32_t* d, const uint32_t* s) const { blend(bytes(d), bytes(s), w); }
    void operator()(uint32_t* d, const uint32_t* s, int n) const { eachPixel(*this, d, s, n); }
};

struct Alpha {
    void operator()(uint32_t* d, const uint32_t* s) const
    {
        const uint32_t sa = bytes(s)[3];
        if (sa == 255)
            *d = *s;
        else if (sa)
            blend(bytes(d), bytes(s), x2dBlendRow(sa));
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const { eachPixel(*this, d, s, n); }
};

// Weight a when sa is 255, else (a x sa) >> 8, read from row a of the blend
// table (its entry sa is exactly that product).
struct AlphaBlend {
    uint32_t a;
    const uint8_t* ra;
    void operator()(uint32_t* d, const uint32_t* s) const
    {
        const uint32_t sa = bytes(s)[3];
        if (sa)
            blend(bytes(d), bytes(s), x2dBlendRow(sa == 255 ? a : ra[sa]));
    }
    void operator()(uint32_t* d, const uint32_t* s, int n) const { eachPixel(*this, d, s, n); }
};

struct Layer {
    uint32_t k;
    void operator()(uint32_t* d, const uint8_t* l) const
    {
        if (*l == 255)
            *d = k;
        else if (*l)
            blend(bytes(d), bytes(&k), x2dBlendRow(*l));
    }
    void operator()(uint32_t* d, const uint8_t* l, int n) const { eachPixel(*this, d, l, n); }
};

struct LayerBlend {
    uint32_t k;
    uint32_t a;
    const uint8_t* ra;
    void operator()(uint32_t* d, const uint8_t* l) const
    {
        if (*l)
            blend(bytes(d), bytes(&k), x2dBlendRow(*l == 255 ? a : ra[*l]));
    }
    void operator()(uint32_t* d, const uint8_t* l, int n) const { eachPixel(*this, d, l, n); }
};

// Rows step by the installed screen width, so that these two also draw
// correctly into a render target of another width than the sprite was made
// under; the others step by the sprite's own skip.
inline int screenSkip(const x2dSprite* s) { return x2dScreenWidth - s->sizeX; }

void Draw(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Copy()); }

void Fill(x2dSprite* s, uint32_t color)
{
    if (!s->pixels)
        return;
    const size_t n = (size_t)(s->sizeX > 0 ? s->sizeX : 0) * (size_t)(s->sizeY > 0 ? s->sizeY : 0);
    for (size_t i = 0; i < n; i++)
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
    noClip(s, s->pixels, x, y, dst, s->skip, Blend{x2dBlendRow(a)});
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
    noClip(s, s->pixels, x, y, dst, s->skip, AlphaBlend{a, x2dBlendRow(a)});
}

void DrawKeyNoClip(x2dSprite* s, int x, int y, uint32_t* dst) { noClip(s, s->pixels, x, y, dst, s->skip, Key{s->color}); }

void DrawLayerNoClip(x2dSprite* s, int x, int y, uint32_t* dst)
{
    noClip(s, s->alphaLayer, x, y, dst, s->skip, Layer{s->color});
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
}

void DrawAdd(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Add()); }

void DrawBlendScaled(x2dSprite* s, int x, int y, float scale, uint32_t a, uint32_t* dst)
{
    scaled(s, s->pixels, x, y, scale, dst, Blend{x2dBlendRow(clampAlpha(a))});
}

void DrawBlend(x2dSprite* s, int x, int y, uint32_t a, uint32_t* dst)
{
    a = clampAlpha(a);
    if (a == 0)
        return;
    if (a == 255) {
        s->Draw(x, y, dst);
        return;
    }
    clipped(s, s->pixels, x, y, dst, Blend{x2dBlendRow(a)});
}

void DrawAlphaScaled(x2dSprite* s, int x, int y, float scale, uint32_t* dst)
{
    scaled(s, s->pixels, x, y, scale, dst, Alpha());
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
    scaled(s, s->pixels, x, y, scale, dst, AlphaBlend{a, x2dBlendRow(a)});
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
}

void DrawKey(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->pixels, x, y, dst, Key{s->color}); }

void DrawLayerScaled(x2dSprite* s, int x, int y, float scale, uint32_t* dst)
{
    scaled(s, s->alphaLayer, x, y, scale, dst, Layer{s->color});
}

void DrawLayer(x2dSprite* s, int x, int y, uint32_t* dst) { clipped(s, s->alphaLayer, x, y, dst, Layer{s->color}); }

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
}

} // namespace

const x2dSpriteOps x2dSpriteX86Ops = {
    Draw, Fill, Clear, DrawNoClip, DrawAddNoClip, DrawBlendNoClip, DrawAlphaNoClip, DrawAlphaBlendNoClip,
    DrawKeyNoClip, DrawLayerNoClip, DrawLayerBlendNoClip, DrawAdd, DrawBlendScaled, DrawBlend,
    DrawAlphaScaled, DrawAlpha, DrawAlphaBlendScaled, DrawAlphaBlend, DrawKey, DrawLayerScaled, DrawLayer,
    DrawLayerBlend,
};
