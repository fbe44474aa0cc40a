// Generated portraits: head and shoulders, varied skin, hair, hats, glasses.
#include <algorithm>

#include "tools/makedata/Looks.h"

namespace qhd {

namespace {

const uint32_t kSkins[] = {0x8d5524, 0xc68642, 0xe0ac69, 0xf1c27d, 0xffdbac, 0x6b4226, 0xa0674b, 0xd9a17e, 0xf3cfb3};
const uint32_t kHair[] = {0x1c1410, 0x4a2f1c, 0x8a3b1e, 0xd9b56a, 0xa8a8a8, 0xe8e4dc, 0x3a6ea5, 0xc8557e, 0x2a2220};
const uint32_t kClothes[] = {0x1f3a5f, 0xb8322a, 0x2e8c8c, 0xe8e0d0, 0x3b3b48, 0xec870e, 0x6a4c93, 0x3f6b3a};
const uint32_t kBackdrops[][2] = {{0x2b3a67, 0x6a8cb8}, {0xf5bf7f, 0xec870e}, {0xa9fdff, 0x4aa0b0},
                                  {0xe487fa, 0x7a3ea0}, {0xfbc3c6, 0xd07a80}, {0x2e8c8c, 0x123a48},
                                  {0xf4eee2, 0xbfb2a0}, {0x121a30, 0x3a4a7a}};

} // namespace

FaceLook RandomFace(uint32_t seed)
{
    Rng r(seed * 7919u + 17u);
    FaceLook f;
    f.seed = seed;
    f.skin = r.Int(0, 8);
    f.hair = r.Int(0, 8);
    f.hairStyle = r.Int(0, 6);
    f.hat = r.Unit() < 0.35f ? r.Int(1, 4) : 0;
    f.clothes = r.Int(0, 7);
    f.backdrop = r.Int(0, 7);
    f.glasses = r.Unit() < 0.35f;
    f.beard = r.Unit() < 0.22f;
    f.earring = r.Unit() < 0.25f;
    f.smile = r.Range(0.0f, 1.0f);
    return f;
}

Canvas Portrait(const FaceLook& f, int outW, int outH)
{
    const int ss = 3;
    const int W = outW * ss, H = outH * ss;
    Canvas c(W, H);
    Rng rng(f.seed * 31u + 5u);
    const float u = float(std::min(W, H));
    const float ox = (W - u) * 0.5f, oy = (H - u) * 0.5f;
    auto X = [&](float fx) { return ox + fx * u; };
    auto Y = [&](float fy) { return oy + fy * u; };
    auto R = [&](float fr) { return fr * u; };

    // Backdrop: two colours, soft light, a few out-of-focus lamps.
    Color b0 = Hex(kBackdrops[f.backdrop][0]), b1 = Hex(kBackdrops[f.backdrop][1]);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float t = Clamp01((x * 0.4f + y) / (W * 0.4f + H));
            c.At(x, y) = Mix(b0, b1, t);
        }
    for (int i = 0; i < 5; ++i)
        Glow(c, rng.Range(0, float(W)), rng.Range(0, H * 0.7f), R(rng.Range(0.04f, 0.09f)), Hex(0xffffff),
             rng.Range(0.08f, 0.2f));

    Color skin = Hex(kSkins[f.skin]);
    Color hair = Hex(kHair[f.hair]);
    Color cloth = Hex(kClothes[f.clothes]);
    const float hx = 0.5f + rng.Range(-0.02f, 0.02f), hy = 0.44f;
    const float hrx = 0.19f + rng.Range(-0.015f, 0.02f), hry = 0.25f + rng.Range(-0.015f, 0.015f);
    auto headAt = [&](float grow) { return Ellipse(X(hx), Y(hy), R(hrx + grow), R(hry + grow)); };

    // Hair behind the head.
    if (f.hairStyle == 1)
        Fill(c, Union(Ellipse(X(hx), Y(hy - 0.02f), R(hrx + 0.07f), R(hry + 0.05f)),
                      Box(X(hx - hrx - 0.07f), Y(hy), X(hx + hrx + 0.07f), Y(0.9f), R(0.08f))),
             hair);
    else if (f.hairStyle == 5)
        Fill(c, Box(X(hx - hrx - 0.05f), Y(hy - hry - 0.04f), X(hx + hrx + 0.05f), Y(hy + 0.18f), R(0.12f)), hair);

    // Shoulders and neck.
    Sdf shoulders = Ellipse(X(0.5f), Y(1.1f), R(0.46f), R(0.36f));
    bool stripes = f.clothes == 0 || f.clothes == 3;
    FillWith(c, shoulders, [&](float x, float y) {
        Color col = cloth;
        if (stripes && int((y - Y(0.74f)) / R(0.045f)) % 2 == 1)
            col = f.clothes == 0 ? Hex(0xf4eee2) : Hex(0x1f3a5f);
        float shade = Clamp01((x - X(0.5f)) / R(0.5f));
        return Mix(col, Hex(0x000000), 0.25f * shade);
    });
    Sdf neck = Box(X(hx - 0.065f), Y(hy + 0.12f), X(hx + 0.065f), Y(0.8f), R(0.03f));
    Fill(c, neck, Mix(skin, Hex(0x000000), 0.22f));
    Fill(c, Polygon({X(hx - 0.09f), Y(0.76f), X(hx + 0.09f), Y(0.76f), X(hx), Y(0.88f)}), Mix(skin, Hex(0), 0.12f));

    // Ears, head with light from the left.
    for (float s : {-1.0f, 1.0f}) {
        Fill(c, Ellipse(X(hx + s * hrx), Y(hy + 0.02f), R(0.035f), R(0.058f)), Mix(skin, Hex(0), 0.12f));
        if (f.earring)
            Fill(c, Circle(X(hx + s * hrx), Y(hy + 0.085f), R(0.012f)), Hex(0xf0c84a));
    }
    Sdf head = headAt(0);
    FillWith(c, head, [&](float x, float y) {
        float dx = (x - X(hx - 0.06f)) / R(hrx), dy = (y - Y(hy - 0.08f)) / R(hry);
        float light = 1.0f - 0.28f * Clamp01(dx * dx * 0.8f + dy * dy * 0.6f);
        return Scale(skin, light);
    });
    // Cheeks and chin.
    for (float s : {-1.0f, 1.0f})
        Fill(c, Circle(X(hx + s * 0.1f), Y(hy + 0.07f), R(0.04f)), Hex(0xe07a6a), 0.18f, R(0.05f));

    // Eyes, brows, nose, mouth.
    float ey = hy - 0.01f, es = 0.075f;
    Color iris = Mix(Hex(0x3a2a1a), Hex(rng.Unit() < 0.3f ? 0x3a6ea5 : 0x5a3a20), 0.7f);
    for (float s : {-1.0f, 1.0f}) {
        float ex = hx + s * es;
        Fill(c, Ellipse(X(ex), Y(ey), R(0.032f), R(0.019f)), Hex(0xf6f2ee));
        Fill(c, Circle(X(ex + 0.004f), Y(ey), R(0.015f)), iris);
        Fill(c, Circle(X(ex + 0.004f), Y(ey), R(0.007f)), Hex(0x0c0a08));
        Fill(c, Circle(X(ex - 0.003f), Y(ey - 0.006f), R(0.004f)), Hex(0xffffff));
        float tilt = rng.Range(-0.004f, 0.008f);
        Fill(c, Capsule(X(ex - 0.035f), Y(ey - 0.045f + s * tilt), X(ex + 0.035f), Y(ey - 0.05f - s * tilt), R(0.009f)),
             Mix(hair, Hex(0), 0.3f));
    }
    Fill(c, Capsule(X(hx + 0.005f), Y(hy + 0.02f), X(hx + 0.018f), Y(hy + 0.085f), R(0.01f)), Mix(skin, Hex(0), 0.25f),
         0.6f, R(0.02f));
    Fill(c, Ellipse(X(hx), Y(hy + 0.095f), R(0.03f), R(0.012f)), Mix(skin, Hex(0), 0.3f), 0.5f);
    float my = hy + 0.15f, mw = 0.055f + 0.02f * f.smile, curve = 0.01f + 0.035f * f.smile;
    Sdf mouth = Intersect(Ellipse(X(hx), Y(my - curve), R(mw), R(curve + 0.02f)), Box(X(hx - 1), Y(my - 0.005f), X(hx + 1), Y(my + 1)));
    Fill(c, mouth, Hex(0x9a3a3a));
    if (f.smile > 0.6f)
        Fill(c, Intersect(mouth, Box(X(hx - 1), Y(my - 0.005f), X(hx + 1), Y(my + 0.008f))), Hex(0xf8f4f0));

    // Beard.
    if (f.beard) {
        Sdf beard = Subtract(Intersect(headAt(0.012f), Box(X(hx - 1), Y(hy + 0.07f), X(hx + 1), Y(hy + 1))),
                             Ellipse(X(hx), Y(my), R(mw + 0.01f), R(0.022f)));
        Fill(c, beard, Mix(hair, skin, 0.1f), 0.95f);
    }

    // Hair on top of the head.
    Sdf cap = Intersect(headAt(0.018f), Box(X(0), Y(0), X(1), Y(hy - 0.09f - 0.03f * (f.hairStyle == 5))));
    switch (f.hairStyle) {
    case 0: // short, parted
        Fill(c, Union(cap, Ellipse(X(hx - 0.08f), Y(hy - 0.17f), R(0.12f), R(0.07f))), hair);
        break;
    case 1: // long
        Fill(c, Union(cap, Ellipse(X(hx + 0.05f), Y(hy - 0.16f), R(0.16f), R(0.08f))), hair);
        break;
    case 2: // bun
        Fill(c, Union(cap, Circle(X(hx), Y(hy - hry - 0.05f), R(0.08f))), hair);
        break;
    case 3: // bald with a little at the sides
        for (float s : {-1.0f, 1.0f})
            Fill(c, Ellipse(X(hx + s * (hrx - 0.01f)), Y(hy - 0.05f), R(0.035f), R(0.07f)), hair, 0.9f);
        break;
    case 4: { // curls
        Sdf curls = cap;
        for (int i = 0; i < 14; ++i) {
            float a = kPi * (1.05f + i * 0.9f / 13.0f);
            curls = Union(curls, Circle(X(hx + std::cos(a) * (hrx + 0.02f)), Y(hy - 0.04f + std::sin(a) * (hry + 0.01f)), R(0.05f)));
        }
        Fill(c, curls, hair);
        break;
    }
    case 5: // bob with a straight fringe
        Fill(c, cap, hair);
        break;
    default: { // spikes
        std::vector<float> pts;
        for (int i = 0; i <= 10; ++i) {
            float t = i / 10.0f, x = hx - hrx - 0.01f + t * (2 * hrx + 0.02f);
            float yb = hy - hry * 0.55f - std::sin(t * kPi) * hry * 0.4f;
            pts.push_back(X(x));
            pts.push_back(Y(yb - (i % 2 ? 0.08f : 0.0f)));
        }
        pts.push_back(X(hx + hrx));
        pts.push_back(Y(hy - 0.06f));
        pts.push_back(X(hx - hrx));
        pts.push_back(Y(hy - 0.06f));
        Fill(c, Union(cap, Polygon(pts)), hair);
        break;
    }
    }
    // A soft sheen on the hair.
    Glow(c, X(hx - 0.07f), Y(hy - hry + 0.03f), R(0.05f), Hex(0xffffff), f.hairStyle == 3 ? 0.15f : 0.08f);

    // Hats.
    float crown = hy - hry;
    switch (f.hat) {
    case 1: { // knitted beanie with a pompom
        Color wool = Hex(kClothes[(f.clothes + 3) % 8]);
        Fill(c, Intersect(headAt(0.03f), Box(X(0), Y(0), X(1), Y(crown + 0.13f))), wool);
        Fill(c, Box(X(hx - hrx - 0.03f), Y(crown + 0.09f), X(hx + hrx + 0.03f), Y(crown + 0.15f), R(0.02f)),
             Mix(wool, Hex(0), 0.2f));
        Fill(c, Circle(X(hx), Y(crown - 0.03f), R(0.05f)), Mix(wool, Hex(0xffffff), 0.5f));
        break;
    }
    case 2: // captain's cap
        Fill(c, Ellipse(X(hx), Y(crown + 0.03f), R(hrx + 0.06f), R(0.08f)), Hex(0xf6f4ee));
        Fill(c, Box(X(hx - hrx - 0.01f), Y(crown + 0.06f), X(hx + hrx + 0.01f), Y(crown + 0.11f), R(0.01f)), Hex(0x1b2236));
        Fill(c, Ellipse(X(hx), Y(crown + 0.12f), R(hrx * 0.9f), R(0.025f)), Hex(0x10141e));
        Fill(c, Circle(X(hx), Y(crown + 0.05f), R(0.02f)), Hex(0xe8b830));
        break;
    case 3: // sou'wester
        Fill(c, Ellipse(X(hx), Y(crown + 0.1f), R(hrx + 0.14f), R(0.05f)), Hex(0xe8b020));
        Fill(c, Ellipse(X(hx), Y(crown + 0.04f), R(hrx + 0.02f), R(0.1f)), Hex(0xf4c030));
        break;
    case 4: // flat cap
        Fill(c, Ellipse(X(hx + 0.02f), Y(crown + 0.05f), R(hrx + 0.05f), R(0.075f)), Hex(0x6a5a48));
        Fill(c, Ellipse(X(hx + 0.08f), Y(crown + 0.11f), R(0.12f), R(0.025f)), Hex(0x54463a));
        break;
    default:
        break;
    }

    // Glasses last: over everything on the face.
    if (f.glasses) {
        Color frame = rng.Unit() < 0.5f ? Hex(0x1a1a1a) : Hex(0x7a3a20);
        for (float s : {-1.0f, 1.0f}) {
            Fill(c, Circle(X(hx + s * es), Y(ey), R(0.05f)), Hex(0xdfefff), 0.15f);
            Fill(c, Ring(Circle(X(hx + s * es), Y(ey), R(0.05f)), R(0.007f)), frame);
        }
        Fill(c, Capsule(X(hx - es + 0.05f), Y(ey), X(hx + es - 0.05f), Y(ey), R(0.006f)), frame);
    }
    Vignette(c, 0.25f);
    return Resize(c, outW, outH);
}

Canvas GlowPortrait(const FaceLook& f, int w, int h, Color tint)
{
    Canvas p = Portrait(f, w, h);
    Canvas out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float dx = (x + 0.5f) / w - 0.5f, dy = (y + 0.5f) / h - 0.45f;
            float fall = std::exp(-(dx * dx * 5.0f + dy * dy * 4.0f));
            float l = Luma(p.At(x, y));
            Color col = Mix(Scale(tint, l), p.At(x, y), 0.35f);
            out.At(x, y) = Scale(col, fall * 0.75f);
        }
    return out;
}

Mask OvalMask(int w, int h, float soft)
{
    Mask m(w, h);
    Stamp(m, Ellipse(w * 0.5f, h * 0.5f, w * 0.5f - soft, h * 0.5f - soft), 1.0f, soft);
    return m;
}

} // namespace qhd
