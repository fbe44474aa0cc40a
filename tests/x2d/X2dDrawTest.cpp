// The drawing operations of both code paths against a per-pixel reference of
// their rules, and the edge cases of placement, weights and shortcuts. The
// processor path is held to all 32 bits of the MMX arithmetic (its lanes
// must give exactly the bytes the MMX instructions gave); the plain path to
// the colour, its fourth byte being free.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"

namespace {

enum Kind { COPY, KEY, ADD, BLEND, ALPHA, ALPHABLEND, LAYER, LAYERBLEND, NONE };
enum Place { NOCLIP, CLIP, SCALED };

struct Op {
    const char* name;
    Kind kind;
    Place place;
};

const Op kOps[] = {
    {"Draw", COPY, CLIP},
    {"DrawNoClip", COPY, NOCLIP},
    {"DrawAddNoClip", ADD, NOCLIP},
    {"DrawBlendNoClip", BLEND, NOCLIP},
    {"DrawAlphaNoClip", ALPHA, NOCLIP},
    {"DrawAlphaBlendNoClip", ALPHABLEND, NOCLIP},
    {"DrawKeyNoClip", KEY, NOCLIP},
    {"DrawLayerNoClip", LAYER, NOCLIP},
    {"DrawLayerBlendNoClip", LAYERBLEND, NOCLIP},
    {"DrawAdd", ADD, CLIP},
    {"DrawBlendScaled", BLEND, SCALED},
    {"DrawBlend", BLEND, CLIP},
    {"DrawAlphaScaled", ALPHA, SCALED},
    {"DrawAlpha", ALPHA, CLIP},
    {"DrawAlphaBlendScaled", ALPHABLEND, SCALED},
    {"DrawAlphaBlend", ALPHABLEND, CLIP},
    {"DrawKey", KEY, CLIP},
    {"DrawLayerScaled", LAYER, SCALED},
    {"DrawLayer", LAYER, CLIP},
    {"DrawLayerBlend", LAYERBLEND, CLIP},
};

void call(x2dSprite* s, const std::string& op, int x, int y, uint32_t a, float scale, uint32_t* dst)
{
    if (op == "Draw") s->Draw(x, y, dst);
    else if (op == "DrawNoClip") s->DrawNoClip(x, y, dst);
    else if (op == "DrawAddNoClip") s->DrawAddNoClip(x, y, dst);
    else if (op == "DrawBlendNoClip") s->DrawBlendNoClip(x, y, a, dst);
    else if (op == "DrawAlphaNoClip") s->DrawAlphaNoClip(x, y, dst);
    else if (op == "DrawAlphaBlendNoClip") s->DrawAlphaBlendNoClip(x, y, a, dst);
    else if (op == "DrawKeyNoClip") s->DrawKeyNoClip(x, y, dst);
    else if (op == "DrawLayerNoClip") s->DrawLayerNoClip(x, y, dst);
    else if (op == "DrawLayerBlendNoClip") s->DrawLayerBlendNoClip(x, y, a, dst);
    else if (op == "DrawAdd") s->DrawAdd(x, y, dst);
    else if (op == "DrawBlendScaled") s->DrawBlendScaled(x, y, scale, a, dst);
    else if (op == "DrawBlend") s->DrawBlend(x, y, a, dst);
    else if (op == "DrawAlphaScaled") s->DrawAlphaScaled(x, y, scale, dst);
    else if (op == "DrawAlpha") s->DrawAlpha(x, y, dst);
    else if (op == "DrawAlphaBlendScaled") s->DrawAlphaBlendScaled(x, y, scale, a, dst);
    else if (op == "DrawAlphaBlend") s->DrawAlphaBlend(x, y, a, dst);
    else if (op == "DrawKey") s->DrawKey(x, y, dst);
    else if (op == "DrawLayerScaled") s->DrawLayerScaled(x, y, scale, dst);
    else if (op == "DrawLayer") s->DrawLayer(x, y, dst);
    else if (op == "DrawLayerBlend") s->DrawLayerBlend(x, y, a, dst);
    else FAIL() << op;
}

// ---- the reference: the rules written out per pixel, no tables ----

uint32_t refBlend(uint32_t p, uint32_t d, int w, bool mmx)
{
    uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        int pc = (p >> sh) & 255, dc = (d >> sh) & 255, r;
        if (mmx) {
            int e = (int)std::floor((pc - dc) / 2.0);
            r = dc + (int)std::floor(e * w / 128.0);
            r = r < 0 ? 0 : r > 255 ? 255 : r;
        } else {
            if (sh == 24)
                break; // the plain rule leaves 0 in the fourth byte
            r = dc + (int)std::floor(w * (pc - dc) / 256.0);
        }
        out |= (uint32_t)r << sh;
    }
    return out;
}

struct Result {
    bool write = false;
    uint32_t value = 0;
    bool whole = false; // all 32 bits are specified, not just the colour
};

Result rule(Kind kind, uint32_t s, uint8_t l, uint32_t d, uint32_t k, int a, bool mmx)
{
    Result r;
    const int sa = s >> 24;
    auto put = [&](uint32_t v, bool whole) {
        r.write = true;
        r.value = v;
        r.whole = whole;
    };
    switch (kind) {
    case NONE:
        break;
    case COPY:
        put(s, true);
        break;
    case KEY:
        if (s != k)
            put(s, true);
        break;
    case ADD: {
        if (!mmx && s == 0)
            break;
        uint32_t v = 0;
        for (int sh = 0; sh < (mmx ? 32 : 24); sh += 8)
            v |= (uint32_t)std::min<int>(((d >> sh) & 255) + ((s >> sh) & 255), 255) << sh;
        put(v, mmx);
        break;
    }
    case BLEND:
        put(refBlend(s, d, a, mmx), mmx);
        break;
    case ALPHA:
        if (sa == 255)
            put(s, true);
        else if (sa)
            put(refBlend(s, d, sa, mmx), mmx);
        break;
    case ALPHABLEND:
        if (sa)
            put(refBlend(s, d, sa == 255 ? a : (a * sa) >> 8, mmx), mmx);
        break;
    case LAYER:
        if (l == 255)
            put(k, true);
        else if (l)
            put(refBlend(k, d, l, mmx), mmx);
        break;
    case LAYERBLEND:
        if (l)
            put(refBlend(k, d, l == 255 ? a : (a * l) >> 8, mmx), mmx);
        break;
    }
    return r;
}

// The constant-alpha shortcuts, as each operation takes them.
Kind effectiveKind(const Op& op, int a, bool mmx)
{
    bool mmxDrawBlend = mmx && std::string(op.name) == "DrawBlend";
    if (op.kind == BLEND && op.place != SCALED && !mmxDrawBlend) {
        if (a == 0)
            return NONE;
        if (a == 255)
            return COPY;
    }
    if (op.kind == ALPHABLEND || op.kind == LAYERBLEND) {
        if (a == 0)
            return NONE;
        if (a == 255)
            return op.kind == ALPHABLEND ? ALPHA : LAYER;
    }
    return op.kind;
}

struct Picture {
    int w, h;
    std::vector<uint32_t> px;
    std::vector<uint8_t> layer;
    uint32_t key;
};

// Expected screen after the operation; screen is the buffer, origin the
// offset of line 0, sw the screen width.
void reference(const Op& op, const Picture& p, int x, int y, int a, float scale, bool mmx,
               std::vector<uint32_t>& screen, std::vector<bool>& whole, size_t origin, int sw)
{
    Kind kind = effectiveKind(op, a, mmx);
    auto apply = [&](int X, int Y, int i, int j) {
        size_t at = origin + (size_t)Y * sw + X;
        Result r = rule(kind, p.px[(size_t)j * p.w + i], p.layer[(size_t)j * p.w + i], screen[at], p.key, a, mmx);
        if (r.write) {
            screen[at] = r.value;
            whole[at] = r.whole;
        }
    };
    auto inClip = [](int X, int Y) {
        return X >= x2dClipLeft && X < x2dClipRight && Y >= x2dClipTop && Y < x2dClipBottom;
    };
    if (op.place == NOCLIP || op.place == CLIP) {
        for (int j = 0; j < p.h; j++)
            for (int i = 0; i < p.w; i++)
                if (op.place == NOCLIP || inClip(x + i, y + j))
                    apply(x + i, y + j, i, j);
        return;
    }
    int W = (int)((float)p.w * scale), H = (int)((float)p.h * scale);
    if (W <= 0 || H <= 0)
        return;
    int stepX = (int)((float)p.w / (float)W * 65536.0f);
    int stepY = (int)((float)p.h / (float)H * 65536.0f);
    for (int Y = y; Y < y + H; Y++)
        for (int X = x; X < x + W; X++)
            if (inClip(X, Y)) {
                int i = (int)(((int64_t)(X - x) * stepX) >> 16), j = (int)(((int64_t)(Y - y) * stepY) >> 16);
                ASSERT_LT(i, p.w);
                ASSERT_LT(j, p.h);
                apply(X, Y, i, j);
            }
}

x2dSprite* makeSprite(const Picture& p, bool mmx)
{
    x2dMMX = mmx ? 1 : 0;
    x2dSprite* s = x2dSpriteCreate();
    xImage image{p.w, p.h, XIMAGE_ARGB32, (uint8_t*)malloc(p.px.size() * 4), nullptr};
    memcpy(image.pixels, p.px.data(), p.px.size() * 4);
    s->SetImage(image);
    s->alphaLayer = (uint8_t*)malloc(p.layer.size());
    memcpy(s->alphaLayer, p.layer.data(), p.layer.size());
    s->color = p.key;
    return s;
}

uint8_t pickByte(std::mt19937& rng)
{
    switch (rng() % 4) {
    case 0:
        return 0;
    case 1:
        return 255;
    default:
        return (uint8_t)rng();
    }
}

Picture randomPicture(std::mt19937& rng)
{
    Picture p;
    // Every remainder of a row after steps of 4, 8 and 16 pixels.
    static const int widths[] = {1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 16, 17, 24, 25, 27, 31, 37, 42, 44, 48, 63};
    p.w = widths[rng() % 21];
    p.h = 1 + (int)(rng() % 23);
    p.px.resize((size_t)p.w * p.h);
    p.layer.resize(p.px.size());
    // Half the pictures come in runs of equal pixels, as drawn pictures do:
    // whole steps of clear, opaque or keyed pixels next to mixed ones.
    const bool runs = rng() % 2;
    for (size_t i = 0; i < p.px.size(); i++) {
        if (runs && i > 0 && rng() % 12) {
            p.px[i] = p.px[i - 1];
            p.layer[i] = p.layer[i - 1];
            continue;
        }
        p.px[i] = (uint32_t)pickByte(rng) << 24 | (rng() & 0xffffff);
        if (rng() % 8 == 0)
            p.px[i] = 0;
        p.layer[i] = pickByte(rng);
    }
    p.key = rng() % 2 ? p.px[rng() % p.px.size()] : 0;
    return p;
}

std::vector<bool> variants()
{
    std::vector<bool> v{false};
    if (x2dSpriteHasMMXPath())
        v.push_back(true);
    return v;
}

const int SW = 72, SH = 48;
const int kAbove = 16, kBelow = 24; // guard rows; rows below the table are used by NoClip

} // namespace

TEST(X2dDraw, EveryOperationOfBothPathsMatchesTheReference)
{
    x2dInit(SW, SH);
    std::mt19937 rng(1234);
    static const float scales[] = {0.5f, 1.0f, 2.0f, 0.3f, 1.7f, 0.05f, 3.25f};
    int draws = 0;
    for (bool mmx : variants()) {
        for (const Op& op : kOps) {
            for (int iter = 0; iter < 250; iter++) {
                Picture p = randomPicture(rng);
                x2dSprite* s = makeSprite(p, mmx);
                ASSERT_STREQ(s->className, mmx ? "x2dSpriteMMX" : "x2dSpriteX86");
                if (rng() % 3)
                    x2dSetClipWindow(-4 + (int)(rng() % 30), -4 + (int)(rng() % 20), SW - 25 + (int)(rng() % 30),
                                     SH - 15 + (int)(rng() % 20));
                else
                    x2dSetClipWindow(0, 0, SW, SH);
                int x, y;
                if (op.place == NOCLIP) {
                    x = (int)(rng() % (SW - p.w + 1));
                    // The first row is inside the line table; the sprite may
                    // reach below it.
                    y = (int)(rng() % (std::min(SH - 1, SH + kBelow - p.h) + 1));
                } else {
                    x = -p.w - 3 + (int)(rng() % (SW + p.w + 6));
                    y = -p.h - 3 + (int)(rng() % (SH + p.h + 6));
                }
                int a = iter % 5 == 0 ? 0 : iter % 5 == 1 ? 255 : (int)(rng() % 256);
                float scale = scales[rng() % 7];

                std::vector<uint32_t> screen((size_t)(kAbove + SH + kBelow) * SW);
                for (auto& v : screen)
                    v = rng();
                std::vector<uint32_t> expected = screen;
                std::vector<bool> whole(screen.size(), true);
                const size_t origin = (size_t)kAbove * SW;
                reference(op, p, x, y, a, scale, mmx, expected, whole, origin, SW);
                call(s, op.name, x, y, (uint32_t)a, scale, screen.data() + origin);
                draws++;
                for (size_t i = 0; i < screen.size(); i++) {
                    uint32_t mask = whole[i] ? 0xffffffffu : 0xffffffu;
                    ASSERT_EQ(screen[i] & mask, expected[i] & mask)
                        << op.name << (mmx ? " MMX" : " plain") << " iter " << iter << " sprite " << p.w << "x"
                        << p.h << " at " << x << "," << y << " a=" << a << " scale=" << scale << " clip "
                        << x2dClipLeft << "," << x2dClipTop << "," << x2dClipRight << "," << x2dClipBottom
                        << " screen pixel " << (long)(i % SW) << "," << (long)(i / SW) - kAbove;
                }
                delete s;
            }
        }
    }
    EXPECT_GT(draws, 0);
}

// ---- edge cases ----

namespace {

struct Fixture {
    std::vector<uint32_t> screen;
    uint32_t* dst;
    Fixture(int w, int h, uint32_t fill) : screen((size_t)w * h, fill), dst(screen.data()) {}
    uint32_t at(int x, int y) const { return screen[(size_t)y * x2dScreenWidth + x]; }
};

x2dSprite* solidSprite(int w, int h, uint32_t c, bool mmx)
{
    Picture p{w, h, std::vector<uint32_t>((size_t)w * h, c), std::vector<uint8_t>((size_t)w * h, 0), 0};
    return makeSprite(p, mmx);
}

// Sprite whose pixel (i, j) is its own coordinates.
x2dSprite* coordSprite(int w, int h, bool mmx)
{
    Picture p{w, h, {}, std::vector<uint8_t>((size_t)w * h, 0), 0};
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++)
            p.px.push_back(0x00010000u * (uint32_t)(j + 1) + (uint32_t)(i + 1));
    return makeSprite(p, mmx);
}

} // namespace

TEST(X2dDraw, ClippingAtTheLeftEdgeAndOutsideTheWindow)
{
    x2dInit(640, 280);
    x2dSetClipWindow(0, 0, 640, 250);
    for (bool mmx : variants()) {
        x2dSprite* s = coordSprite(32, 4, mmx);
        Fixture f(640, 280, 0);
        s->Draw(-10, 5, f.dst);
        for (int X = 0; X < 30; X++)
            EXPECT_EQ(f.at(X, 5), X < 22 ? 0x00010000u + (uint32_t)(X + 11) : 0u) << X;
        Fixture g(640, 280, 0);
        s->Draw(640, 5, g.dst);
        s->Draw(100, 250, g.dst);
        s->DrawBlend(640, 0, 100, g.dst);
        s->DrawAlphaScaled(0, 250, 2.0f, g.dst);
        EXPECT_EQ(g.screen, std::vector<uint32_t>(640 * 280, 0));
        delete s;

        // At y = 240 only the first 10 rows are inside the window.
        x2dSprite* tall = solidSprite(8, 30, 0xffffff, mmx);
        Fixture h(640, 280, 0);
        tall->Draw(0, 240, h.dst);
        for (int Y = 238; Y < 280; Y++)
            EXPECT_EQ(h.at(0, Y), Y >= 240 && Y < 250 ? 0xffffffu : 0u) << Y;
        delete tall;
    }
}

TEST(X2dDraw, UnclippedDrawingBelowTheLineTableReadsOnlyItsFirstEntry)
{
    // The loading picture and the captions are drawn at row 260 of a
    // 280-line screen into the taller frame buffer.
    x2dInit(640, 280);
    for (bool mmx : variants()) {
        x2dSprite* s = solidSprite(300, 100, 0xff804020, mmx);
        for (int i = 0; i < 300 * 100; i += 7)
            s->alphaLayer[i] = 255;
        std::vector<uint32_t> frame(640 * 480, 0);
        uint32_t* picture = frame.data() + 115 * 640;
        s->DrawNoClip(170, 260, picture);
        EXPECT_EQ(frame[(115 + 260) * 640 + 170], 0xff804020u);
        EXPECT_EQ(frame[(115 + 359) * 640 + 469], 0xff804020u);
        EXPECT_EQ(frame[(115 + 359) * 640 + 470], 0u);
        EXPECT_EQ(frame[(115 + 259) * 640 + 170], 0u);
        s->DrawBlendNoClip(170, 260, 128, picture);
        s->DrawAlphaBlendNoClip(170, 260, 128, picture);
        s->DrawLayerNoClip(170, 260, picture);
        EXPECT_EQ(frame[(115 + 359) * 640 + 470], 0u);
        delete s;
    }
}

TEST(X2dDraw, DrawBlendShortcutsDifferBetweenThePaths)
{
    x2dInit(64, 16);
    for (bool mmx : variants()) {
        x2dSprite* s = solidSprite(4, 4, 0xffffffff, mmx);
        Fixture drawn(64, 16, 0), blended(64, 16, 0);
        s->Draw(3, 3, drawn.dst);
        s->DrawBlend(3, 3, 255, blended.dst);
        if (mmx) {
            // weight 255 is blended: white over black comes out as 253
            EXPECT_EQ(blended.at(3, 3) & 0xffffff, 0xfdfdfdu);
        } else {
            EXPECT_EQ(blended.screen, drawn.screen);
        }
        Fixture zero(64, 16, 0x00123456);
        s->DrawBlend(3, 3, 0, zero.dst);
        EXPECT_EQ(zero.at(3, 3) & 0xffffff, 0x123456u);
        // The scaled blend never takes a shortcut.
        Fixture sc(64, 16, 0);
        s->DrawBlendScaled(3, 3, 1.0f, 255, sc.dst);
        EXPECT_EQ(sc.at(3, 3) & 0xffffff, mmx ? 0xfdfdfdu : 0xfefefeu);
        delete s;
    }
}

TEST(X2dDraw, AlphaWeightsAndLayerPaint)
{
    x2dInit(64, 16);
    for (bool mmx : variants()) {
        // No alpha channel: nothing is drawn.
        x2dSprite* plain = solidSprite(5, 3, 0x00ffffff, mmx);
        Fixture f(64, 16, 0x00101010);
        plain->DrawAlpha(1, 1, f.dst);
        plain->DrawAlphaNoClip(1, 1, f.dst);
        plain->DrawAlphaBlend(1, 1, 200, f.dst);
        EXPECT_EQ(f.screen, std::vector<uint32_t>(64 * 16, 0x00101010));
        delete plain;

        // sa = 255 blends with a, sa = 128 with (a x 128) >> 8 = 64.
        x2dSprite* s = solidSprite(2, 1, 0, mmx);
        s->pixels[0] = 0xffffffff;
        s->pixels[1] = 0x80ffffff;
        Fixture g(64, 16, 0);
        s->DrawAlphaBlend(0, 0, 128, g.dst);
        EXPECT_EQ(g.at(0, 0) & 255, refBlend(0xffffff, 0, 128, mmx) & 255);
        EXPECT_EQ(g.at(1, 0) & 255, refBlend(0xffffff, 0, 64, mmx) & 255);
        EXPECT_EQ(g.at(0, 0) & 255, mmx ? 127u : 127u);
        EXPECT_EQ(g.at(1, 0) & 255, mmx ? 63u : 63u);
        delete s;

        // The layer paints the colour where it is 255, nothing where it is 0,
        // and never looks at the pixels (there are none).
        x2dMMX = mmx;
        x2dSprite* layer = x2dSpriteCreate();
        layer->sizeX = 3;
        layer->sizeY = 1;
        layer->skip = x2dScreenWidth - 3;
        layer->alphaLayer = (uint8_t*)malloc(3);
        layer->alphaLayer[0] = 255;
        layer->alphaLayer[1] = 0;
        layer->alphaLayer[2] = 255;
        layer->color = 0x00abcdef;
        Fixture h(64, 16, 0x00111111);
        layer->DrawLayer(10, 2, h.dst);
        layer->DrawLayerNoClip(10, 3, h.dst);
        layer->DrawLayerScaled(10, 4, 1.0f, h.dst);
        for (int row = 2; row <= 4; row++) {
            EXPECT_EQ(h.at(10, row), 0x00abcdefu);
            EXPECT_EQ(h.at(11, row), 0x00111111u);
            EXPECT_EQ(h.at(12, row), 0x00abcdefu);
        }
        // The pixel modes of a layer-only sprite draw nothing.
        Fixture none(64, 16, 7);
        layer->Draw(0, 0, none.dst);
        layer->DrawNoClip(0, 0, none.dst);
        layer->DrawAlphaScaled(0, 0, 2.0f, none.dst);
        layer->Fill(5);
        EXPECT_EQ(none.screen, std::vector<uint32_t>(64 * 16, 7));
        delete layer;
    }
}

TEST(X2dDraw, KeyAddAndScaleExamples)
{
    x2dInit(64, 32);
    for (bool mmx : variants()) {
        // Key colour 0 leaves black pixels out.
        x2dSprite* k = solidSprite(3, 1, 0, mmx);
        k->pixels[1] = 0x00000001;
        Fixture f(64, 32, 0x00555555);
        k->DrawKey(0, 0, f.dst);
        k->DrawKeyNoClip(0, 1, f.dst);
        for (int row = 0; row < 2; row++) {
            EXPECT_EQ(f.at(0, row), 0x00555555u);
            EXPECT_EQ(f.at(1, row), 0x00000001u);
            EXPECT_EQ(f.at(2, row), 0x00555555u);
        }
        delete k;

        // 0x80 + 0xc0 saturates to 255 in every channel.
        x2dSprite* a = solidSprite(3, 2, 0x00808080, mmx);
        Fixture g(64, 32, 0x00c0c0c0);
        a->DrawAddNoClip(1, 1, g.dst);
        EXPECT_EQ(g.at(1, 1) & 0xffffff, 0xffffffu);
        EXPECT_EQ(g.at(3, 2) & 0xffffff, 0xffffffu);
        EXPECT_EQ(g.at(4, 2) & 0xffffff, 0xc0c0c0u);
        delete a;

        // Scale 2 repeats each pixel in a 2 x 2 block.
        x2dSprite* c = coordSprite(10, 10, mmx);
        Fixture h(64, 32, 0);
        c->DrawBlendScaled(5, 5, 2.0f, 255, h.dst);
        for (int Y = 4; Y < 26; Y++)
            for (int X = 4; X < 26; X++) {
                bool inside = X >= 5 && X < 25 && Y >= 5 && Y < 25;
                uint32_t expected = inside ? refBlend(c->pixels[((Y - 5) / 2) * 10 + (X - 5) / 2], 0, 255, mmx) : 0;
                ASSERT_EQ(h.at(X, Y) & 0xffffff, expected & 0xffffff) << X << "," << Y;
            }
        // A scale that makes the drawn size 0 draws nothing.
        Fixture z(64, 32, 0);
        c->DrawBlendScaled(5, 5, 0.09f, 200, z.dst);
        c->DrawAlphaScaled(5, 5, 0.0f, z.dst);
        c->DrawLayerScaled(5, 5, -1.0f, z.dst);
        c->DrawAlphaBlendScaled(5, 5, std::nanf(""), 100, z.dst);
        EXPECT_EQ(z.screen, std::vector<uint32_t>(64 * 32, 0));
        delete c;
    }
}

TEST(X2dDraw, UnclippedCopyAndAddStepByTheInstalledScreenWidth)
{
    // A sprite made under the 640-wide screen drawn into a 140 x 105 render
    // target must stay inside the target's buffer.
    x2dInit(640, 280);
    for (bool mmx : variants()) {
        x2dSprite* s = solidSprite(140, 105, 0x00204080, mmx);
        EXPECT_EQ(s->skip, 500);
        int32_t* savedTable = x2dLineOffset;
        int32_t savedW = x2dScreenWidth, savedH = x2dScreenHeight, savedPitch = x2dScreenPitch;
        std::vector<int32_t> table(105);
        for (int y = 0; y < 105; y++)
            table[y] = y * 560;
        x2dLineOffset = table.data();
        x2dScreenWidth = 140;
        x2dScreenHeight = 105;
        x2dScreenPitch = 560;
        std::vector<uint32_t> target(140 * 105 + 64, 0x01010101);
        s->DrawNoClip(0, 0, target.data());
        for (int i = 0; i < 140 * 105; i++)
            ASSERT_EQ(target[i], 0x00204080u) << i;
        for (int i = 140 * 105; i < 140 * 105 + 64; i++)
            ASSERT_EQ(target[i], 0x01010101u) << i;
        s->DrawAddNoClip(0, 0, target.data());
        for (int i = 0; i < 140 * 105; i++)
            ASSERT_EQ(target[i] & 0xffffff, 0x004080ffu & 0xffffff) << i;
        for (int i = 140 * 105; i < 140 * 105 + 64; i++)
            ASSERT_EQ(target[i], 0x01010101u) << i;
        x2dLineOffset = savedTable;
        x2dScreenWidth = savedW;
        x2dScreenHeight = savedH;
        x2dScreenPitch = savedPitch;
        delete s;
    }
}

TEST(X2dDraw, FillAndClearCoverOddSizes)
{
    x2dInit(64, 16);
    for (bool mmx : variants()) {
        for (int w : {1, 3, 4, 7}) {
            x2dSprite* s = solidSprite(w, 3, 0x5a5a5a5a, mmx);
            s->Fill(0xdeadbeef);
            for (int i = 0; i < w * 3; i++)
                ASSERT_EQ(s->pixels[i], 0xdeadbeefu);
            s->Clear();
            for (int i = 0; i < w * 3; i++)
                ASSERT_EQ(s->pixels[i], 0u);
            delete s;
        }
    }
}

TEST(X2dDraw, ConstantAlphaAboveTheRangeActsAsFull)
{
    x2dInit(32, 8);
    for (bool mmx : variants()) {
        x2dSprite* s = coordSprite(5, 3, mmx);
        Fixture full(32, 8, 0x00777777), over(32, 8, 0x00777777);
        s->DrawBlend(2, 2, 255, full.dst);
        s->DrawBlend(2, 2, 1000, over.dst);
        s->DrawBlendNoClip(10, 2, 255, full.dst);
        s->DrawBlendNoClip(10, 2, 256, over.dst);
        for (size_t i = 0; i < full.screen.size(); i++)
            ASSERT_EQ(over.screen[i] & 0xffffff, full.screen[i] & 0xffffff) << i;
        delete s;
    }
}

TEST(X2dDraw, EveryByteAndWeightBlendsOnTheProcessorPathAsTheMmxInstructionsDid)
{
    if (!x2dSpriteHasMMXPath())
        GTEST_SKIP() << "no processor path in this build";
    // Sprite pixel (i, j) holds i in all four bytes and the screen pixel
    // under it j: one DrawBlend (no shortcuts on this path) covers every
    // source and screen byte with one weight, in every byte of a lane.
    x2dInit(256, 256);
    std::vector<uint32_t> px(256 * 256);
    for (int j = 0; j < 256; j++)
        for (int i = 0; i < 256; i++)
            px[(size_t)j * 256 + i] = 0x01010101u * (uint32_t)i;
    Picture p{256, 256, px, std::vector<uint8_t>(px.size(), 0), 0};
    x2dSprite* s = makeSprite(p, true);
    std::vector<uint32_t> screen(px.size());
    int wrong = 0;
    for (int w = 0; w < 256; w++) {
        for (int j = 0; j < 256; j++)
            for (int i = 0; i < 256; i++)
                screen[(size_t)j * 256 + i] = 0x01010101u * (uint32_t)j;
        s->DrawBlend(0, 0, (uint32_t)w, screen.data());
        for (int d = 0; d < 256; d++)
            for (int c = 0; c < 256; c++) {
                // e = (p - d) >> 1; d + ((e x w) >> 7), clamped: as integers.
                const int e = (c - d) >> 1, r = std::min(255, std::max(0, d + ((e * w) >> 7)));
                const uint32_t seen = screen[(size_t)d * 256 + c];
                if (seen != 0x01010101u * (uint32_t)r && wrong++ < 5)
                    ADD_FAILURE() << "p " << c << " d " << d << " w " << w << ": " << std::hex << seen;
            }
    }
    EXPECT_EQ(wrong, 0);
    delete s;
}
