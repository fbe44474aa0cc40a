// Backgrounds: the harbour at dusk, the greetings wall, the calm sea, the
// morning street, the lit window, the panorama and the water texture.
#include <algorithm>

#include "tools/makedata/Looks.h"
#include "tools/makedata/Type.h"

namespace qhd {

namespace {

struct Light {
    float x, y, strength;
    Color col;
};

// A row of houses standing on `base`; with `wrap` > 0 every shape is also
// drawn one wrap to the left and right so the row tiles horizontally.
void Skyline(Canvas& c, Rng& rng, float base, float x0, float x1, float scale, Color body, Color lit, float litChance,
             std::vector<Light>* lights, int wrap = 0)
{
    float x = x0;
    while (x < x1) {
        float w = rng.Range(16, 38) * scale, hgt = rng.Range(14, 34) * scale;
        int roof = rng.Int(0, 2);
        float top = base - hgt;
        Color tone = Mix(body, Hex(0x000000), rng.Range(0.0f, 0.25f));
        for (int k = -1; k <= 1; ++k) {
            if (k != 0 && wrap == 0)
                continue;
            float ox = x + k * wrap;
            FillIn(c, Box(ox, top, ox + w, base + 2), tone, ox, top, ox + w, base + 2);
            if (roof == 0) {
                Sdf r = Polygon({ox - 1, top + 0.5f, ox + w * 0.5f, top - hgt * 0.45f, ox + w + 1, top + 0.5f});
                FillIn(c, r, tone, ox - 1, top - hgt * 0.5f, ox + w + 1, top + 1);
            } else if (roof == 1) {
                FillIn(c, Box(ox + w * 0.15f, top - 4 * scale, ox + w * 0.85f, top + 1), tone, ox, top - 5 * scale,
                       ox + w, top + 1);
            }
        }
        // Windows in a grid, some of them lit.
        float ww = 2.2f * scale, wh = 3.0f * scale;
        for (float wy = top + 4 * scale; wy < base - 5 * scale; wy += 7 * scale)
            for (float wx = x + 4 * scale; wx < x + w - 4 * scale; wx += 6 * scale) {
                if (rng.Unit() > litChance)
                    continue;
                Color col = Mix(lit, Hex(0xfff1c8), rng.Unit() * 0.5f);
                for (int k = -1; k <= 1; ++k) {
                    if (k != 0 && wrap == 0)
                        continue;
                    float ox = wx + k * wrap;
                    FillIn(c, Box(ox, wy, ox + ww, wy + wh), col, ox, wy, ox + ww, wy + wh);
                    Glow(c, ox + ww * 0.5f, wy + wh * 0.5f, 3.5f * scale, lit, 0.10f);
                }
                if (lights && rng.Unit() < 0.25f)
                    lights->push_back({wx + ww * 0.5f, wy, 0.35f, col});
            }
        x += w + rng.Range(-3, 4) * scale;
    }
}

// Sea below `top`: sky reflection, ripples and broken streaks of light.
void Water(Canvas& c, float top, Color nearCol, Color farCol, const std::vector<Light>& lights, uint32_t seed,
           int wrap = 0)
{
    Canvas sky = c;
    Blur(sky, 2);
    int periodBase = wrap > 0 ? wrap : 0;
    for (int y = int(top); y < c.h; ++y) {
        float t = (y - top) / std::max(1.0f, c.h - top);
        float persp = 0.15f + t * 0.85f;
        for (int x = 0; x < c.w; ++x) {
            float sx = 40.0f * persp;
            int px = periodBase > 0 ? std::max(1, int(periodBase / sx)) : 0;
            float n = Fbm(x / sx, y / (1.2f + 3.5f * t), seed, 3, px, 0);
            float mirrorY = top - (y - top) * 0.7f - 2.0f + (n - 0.5f) * 10.0f * persp;
            Color refl = sky.Sample(float(x), std::max(top * 0.35f, mirrorY));
            Color base = Mix(farCol, nearCol, Smooth(0.0f, 1.0f, t));
            Color col = Mix(base, refl, 0.55f * (1.0f - t * 0.6f));
            float ripple = (n - 0.5f) * 0.35f;
            col = Add(col, {ripple * 0.5f, ripple * 0.6f, ripple * 0.7f});
            for (const Light& l : lights) {
                int xs[3] = {0, wrap, -wrap};
                for (int k = 0; k < (wrap ? 3 : 1); ++k) {
                    float dx = x + xs[k] - l.x;
                    float width = (2.0f + 26.0f * t) * l.strength;
                    if (std::fabs(dx) > width * 3)
                        continue;
                    float streak = std::exp(-(dx * dx) / (width * width)) * Smooth(0.42f, 0.7f, n);
                    float fade = std::exp(-(y - top) / (70.0f * l.strength * l.strength + 8.0f));
                    col = Add(col, Scale(l.col, streak * fade * std::min(l.strength, 1.0f) * 0.9f));
                }
            }
            c.At(x, y) = col;
        }
    }
}

void Stars(Canvas& c, Rng& rng, float bottom, int count)
{
    for (int i = 0; i < count; ++i) {
        float x = rng.Range(0, float(c.w)), y = rng.Range(0, bottom);
        float b = rng.Range(0.1f, 0.6f) * (1.0f - y / bottom);
        Glow(c, x, y, rng.Range(0.5f, 1.1f), Hex(0xe8eeff), b);
    }
}

void Clouds(Canvas& c, uint32_t seed, float y0, float y1, Color lit, float amount, int wrap = 0)
{
    for (int y = int(y0); y < int(y1); ++y)
        for (int x = 0; x < c.w; ++x) {
            int px = wrap > 0 ? wrap / 90 : 0;
            float n = Fbm(x / 90.0f, y / 9.0f, seed, 4, px, 0);
            float band = Smooth(0.52f, 0.75f, n) * Smooth(y0, y0 + 12, float(y)) * (1.0f - Smooth(y1 - 15, y1, float(y)));
            c.At(x, y) = Mix(c.At(x, y), lit, band * amount);
        }
}

void Lighthouse(Canvas& c, float x, float base, float hgt, float beamAngle, Color body, bool lit)
{
    float top = base - hgt;
    Sdf tower = Polygon({x - hgt * 0.11f, base, x - hgt * 0.065f, top, x + hgt * 0.065f, top, x + hgt * 0.11f, base});
    FillIn(c, tower, body, x - hgt * 0.12f, top, x + hgt * 0.12f, base);
    for (int b = 1; b < 4; b += 2) {
        float y0 = base - hgt * (b * 0.22f), y1 = y0 - hgt * 0.12f;
        Sdf band = Intersect(tower, Box(x - hgt, y1, x + hgt, y0));
        FillIn(c, band, Mix(body, Hex(0xb8322a), 0.6f), x - hgt * 0.12f, y1, x + hgt * 0.12f, y0);
    }
    float lampY = top - hgt * 0.09f;
    FillIn(c, Box(x - hgt * 0.08f, top - 2, x + hgt * 0.08f, top + 1), body, x - hgt * 0.1f, top - 3, x + hgt * 0.1f,
           top + 2);
    FillIn(c, Box(x - hgt * 0.05f, lampY - hgt * 0.05f, x + hgt * 0.05f, top - 1), lit ? Hex(0xfff0c0) : body,
           x - hgt * 0.06f, lampY - hgt * 0.06f, x + hgt * 0.06f, top);
    FillIn(c, Polygon({x - hgt * 0.07f, lampY - hgt * 0.05f, x, lampY - hgt * 0.13f, x + hgt * 0.07f, lampY - hgt * 0.05f}),
           body, x - hgt * 0.08f, lampY - hgt * 0.14f, x + hgt * 0.08f, lampY - hgt * 0.04f);
    if (!lit)
        return;
    Glow(c, x, lampY, hgt * 0.12f, Hex(pal::LampLight), 0.9f);
    Glow(c, x, lampY, hgt * 0.4f, Hex(pal::LampSoft), 0.25f);
    if (beamAngle < -10.0f)
        return; // no beam: it would not wrap across a tiling picture's seam
    // The beam: a soft wedge of light fading with distance.
    float dx = std::cos(beamAngle), dy = std::sin(beamAngle) * 0.25f;
    for (int y = 0; y < c.h; ++y)
        for (int xx = 0; xx < c.w; ++xx) {
            float px = xx - x, py = y - lampY;
            float along = px * dx + py * dy;
            if (along <= 0)
                continue;
            float across = std::fabs(-px * dy + py * dx);
            float spread = 2.0f + along * 0.12f;
            float k = std::exp(-(across * across) / (spread * spread)) * std::exp(-along / 260.0f) * 0.35f;
            c.At(xx, y) = Add(c.At(xx, y), Scale(Hex(0xfff2d0), k));
        }
}

void Boat(Canvas& c, float x, float base, float len, Color col, bool mast)
{
    Sdf hull = Polygon({x - len * 0.5f, base - len * 0.12f, x + len * 0.5f, base - len * 0.14f, x + len * 0.38f, base,
                        x - len * 0.4f, base});
    FillIn(c, hull, col, x - len * 0.55f, base - len * 0.2f, x + len * 0.55f, base + 1);
    FillIn(c, Box(x - len * 0.2f, base - len * 0.27f, x + len * 0.08f, base - len * 0.12f), col, x - len * 0.25f,
           base - len * 0.3f, x + len * 0.1f, base - len * 0.1f);
    if (mast)
        FillIn(c, Capsule(x + len * 0.02f, base - len * 0.12f, x + len * 0.02f, base - len * 0.9f, 0.6f), col,
               x - 2, base - len, x + len * 0.1f, base);
}

} // namespace

Canvas HarbourAtDusk()
{
    const int W = 640, H = 250;
    const float horizon = 66;
    Canvas c(W, H);
    VerticalGradient(c, {{0.0f, Hex(0x151d3d)}, {0.12f, Hex(0x34396e)}, {0.2f, Hex(0x8a5a7c)}, {0.25f, Hex(0xe8955a)},
                         {0.27f, Hex(0xf5bf7f)}, {1.0f, Hex(0xf5bf7f)}});
    Rng rng(11);
    Stars(c, rng, 30, 50);
    Clouds(c, 21, 8, horizon - 4, Hex(0xf2a77e), 0.55f);
    Glow(c, 410, horizon, 60, Hex(0xffb070), 0.35f);
    Glow(c, 410, horizon, 14, Hex(0xffe0b0), 0.5f);
    std::vector<Light> lights = {{410, horizon, 1.6f, Hex(0xffb070)}};
    Skyline(c, rng, horizon + 1, 0, 330, 0.75f, Hex(0x25294a), Hex(pal::Lamp), 0.35f, &lights);
    Skyline(c, rng, horizon + 1, 470, 540, 0.6f, Hex(0x2a2c50), Hex(pal::Lamp), 0.3f, &lights);
    Lighthouse(c, 585, horizon + 1, 52, 3.4f, Hex(0x2a2c50), true);
    lights.push_back({585, horizon, 1.0f, Hex(0xfff0c0)});
    Boat(c, 360, horizon + 1, 26, Hex(0x23254a), true);
    Boat(c, 450, horizon + 1, 18, Hex(0x23254a), false);
    Water(c, horizon + 1, Hex(0x0e2a40), Hex(0x5a5a7a), lights, 31);
    // A near mooring post and rope, dark against the water.
    FillIn(c, Box(18, 150, 30, 250, 3), Hex(0x10182a), 14, 148, 34, 250);
    FillIn(c, Box(610, 170, 624, 250, 3), Hex(0x10182a), 606, 168, 628, 250);
    Grain(c, 41, 0.025f);
    Vignette(c, 0.25f);
    return c;
}

Canvas GreetingsWall()
{
    const int W = 640, H = 250;
    Canvas c(W, H);
    // Weathered blue boards with warm light from a lamp at the upper left.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int board = x / 32;
            float bx = float(x % 32);
            float grain = Fbm(x / 3.0f + board * 17.0f, y / 40.0f, 7u + uint32_t(board), 4);
            float paint = Smooth(0.22f, 0.3f, Fbm(x / 9.0f, y / 6.0f, 99u + uint32_t(board), 4));
            Color wood = Mix(Hex(0x5b4632), Hex(0x8a6a48), grain);
            Color blue = Mix(Hex(0x2c5078), Hex(0x3f6c94), Fbm(x / 50.0f, y / 30.0f, 5, 3));
            blue = Mix(blue, Hex(0x5a84a8), 0.25f * Fbm(x / 4.0f, y / 60.0f, 6u + uint32_t(board), 3));
            Color col = Mix(wood, blue, paint * 0.9f + 0.05f);
            float seam = 1.0f - 0.55f * (1.0f - Smooth(0.0f, 1.6f, bx)) - 0.35f * Smooth(30.0f, 32.0f, bx);
            col = Scale(col, seam * (0.9f + 0.12f * grain));
            c.At(x, y) = col;
        }
    // Lamp light: a warm pool from above.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float dx = (x - 90.0f) / 260.0f, dy = (y + 30.0f) / 240.0f;
            float k = std::exp(-(dx * dx + dy * dy) * 2.2f);
            c.At(x, y) = Add(Scale(c.At(x, y), 0.55f + 0.7f * k), Scale(Hex(0xffa850), 0.18f * k));
        }
    // A string of small bulbs sagging across the top.
    for (int i = 0; i <= 24; ++i) {
        float x = 10.0f + i * 26.0f, y = 10.0f + 10.0f * std::sin((x / 640.0f) * kPi * 3.0f) + 6.0f;
        Color bulb = (i % 3 == 0) ? Hex(pal::LampLight) : (i % 3 == 1 ? Hex(0xffc880) : Hex(0xfff0d8));
        Glow(c, x, y, 9, Hex(0xffa040), 0.35f);
        FillIn(c, Circle(x, y, 2.2f), bulb, x - 3, y - 3, x + 3, y + 3);
    }
    for (int x = 0; x < W; ++x) {
        float y = 10.0f + 10.0f * std::sin((x / 640.0f) * kPi * 3.0f) + 3.0f;
        c.Blend(x, int(y), Hex(0x1a1410), 0.8f);
    }
    Grain(c, 12, 0.03f);
    Vignette(c, 0.35f);
    return c;
}

Canvas CalmSea()
{
    const int W = 640, H = 250;
    const float horizon = 96;
    Canvas c(W, H);
    VerticalGradient(c, {{0.0f, Hex(0x7fa6c9)}, {0.25f, Hex(0xb9cfe0)}, {0.37f, Hex(0xf2dcc8)}, {0.385f, Hex(0xf7e4cf)},
                         {1.0f, Hex(0xf7e4cf)}});
    Clouds(c, 77, 10, horizon - 8, Hex(0xfdf3ea), 0.6f);
    Glow(c, 200, horizon - 10, 50, Hex(0xfff0dc), 0.2f);
    std::vector<Light> lights = {{200, horizon, 0.9f, Hex(0xfff3e0)}};
    // A far headland with a lighthouse, and a small sail.
    Sdf land = Polygon({430, horizon + 1, 470, horizon - 9, 530, horizon - 13, 600, horizon - 8, 660, horizon - 5, 660,
                        horizon + 1});
    FillIn(c, land, Hex(0x8d9fb4), 420, horizon - 15, 640, horizon + 2);
    Lighthouse(c, 545, horizon - 11, 20, 0, Hex(0x8d9fb4), false);
    Sdf sail = Polygon({150, horizon - 1, 158, horizon - 22, 164, horizon - 1});
    FillIn(c, sail, Hex(0xfaf7f0), 148, horizon - 24, 166, horizon);
    Boat(c, 157, horizon + 1, 14, Hex(0x5a6a80), false);
    Water(c, horizon + 1, Hex(0x2f6f8a), Hex(0x9fbccc), lights, 61);
    // Distant gulls.
    Rng rng(5);
    for (int i = 0; i < 5; ++i) {
        float x = rng.Range(260, 420), y = rng.Range(20, 60), s = rng.Range(3, 5);
        Sdf g = Union(Capsule(x - s, y - s * 0.4f, x, y, 0.5f), Capsule(x, y, x + s, y - s * 0.4f, 0.5f));
        FillIn(c, g, Hex(0x55606e), x - s - 2, y - s, x + s + 2, y + 2);
    }
    Grain(c, 3, 0.015f);
    return c;
}

Canvas MorningStreet()
{
    const int W = 640, H = 250;
    Canvas c(W, H);
    VerticalGradient(c, {{0.0f, Hex(0xbcd6ea)}, {0.5f, Hex(0xf4e7d6)}, {1.0f, Hex(0xf4e7d6)}});
    Clouds(c, 8, 5, 70, Hex(0xffffff), 0.5f);
    Rng rng(202);
    const uint32_t facades[] = {0xe9c7b0, 0xb9d3cf, 0xf2dfa7, 0xc9b8d8, 0xf0b8a8, 0xcfe0b8, 0xe8e0d0};
    float x = -10;
    int i = 0;
    const float street = 205;
    while (x < W) {
        float w = rng.Range(70, 110), top = rng.Range(40, 90);
        Color f = Hex(facades[i++ % 7]);
        FillIn(c, Box(x, top, x + w, street), f, x, top, x + w, street);
        // Roof and cornice.
        Color roof = Mix(f, Hex(0x5a4040), 0.55f);
        if (rng.Unit() < 0.6f)
            FillIn(c, Polygon({x - 3, top + 1, x + w * 0.5f, top - 26, x + w + 3, top + 1}), roof, x - 4, top - 27,
                   x + w + 4, top + 2);
        else
            FillIn(c, Box(x - 3, top - 6, x + w + 3, top + 1), roof, x - 4, top - 7, x + w + 4, top + 2);
        // Shade on the right side of each house.
        FillIn(c, Box(x + w - 8, top, x + w, street), Hex(0x000000), x + w - 9, top, x + w, street, 0.08f);
        for (float wy = top + 14; wy < street - 50; wy += 38)
            for (float wx = x + 12; wx < x + w - 24; wx += 30) {
                FillIn(c, Box(wx - 2, wy - 2, wx + 18, wy + 26, 1), Hex(0xfdfbf6), wx - 3, wy - 3, wx + 19, wy + 27);
                FillIn(c, Box(wx, wy, wx + 16, wy + 24), Mix(Hex(0x7fa6c9), Hex(0x2a3a58), 0.35f), wx, wy, wx + 16,
                       wy + 24);
                FillIn(c, Box(wx, wy, wx + 16, wy + 10), Hex(0xe8f2ff), wx, wy, wx + 16, wy + 10, 0.35f);
                FillIn(c, Box(wx + 7.5f, wy, wx + 8.5f, wy + 24), Hex(0xfdfbf6), wx + 7, wy, wx + 9, wy + 24);
                if (rng.Unit() < 0.5f)
                    FillIn(c, Box(wx - 3, wy + 26, wx + 19, wy + 30), Hex(0xc85a48), wx - 4, wy + 25, wx + 20, wy + 31);
            }
        float dx = x + w * 0.5f - 10;
        FillIn(c, Box(dx, street - 40, dx + 20, street, 8), Mix(f, Hex(0x3a2a30), 0.6f), dx, street - 42, dx + 20, street);
        x += w;
    }
    // Cobbled street with long morning shadows.
    for (int y = int(street); y < H; ++y)
        for (int xx = 0; xx < W; ++xx) {
            float t = (y - street) / (H - street);
            float row = (y - street) / (4.0f + t * 6.0f);
            float off = (int(row) % 2) * 0.5f;
            float cx = xx / (8.0f + t * 14.0f) + off;
            float edge = std::min(std::fabs(cx - std::floor(cx) - 0.5f), std::fabs(row - std::floor(row) - 0.5f));
            Color stone = Mix(Hex(0xa89c90), Hex(0xd2c6b6), Noise(std::floor(cx), std::floor(row), 3));
            stone = Mix(Hex(0x6e665e), stone, Smooth(0.0f, 0.12f, 0.5f - edge));
            c.At(xx, y) = stone;
        }
    FillIn(c, Box(0, street, W, street + 3), Hex(0x8a8078), 0, street, W, street + 3);
    // Street lamp.
    FillIn(c, Box(520, 60, 524, street), Hex(0x2e3440), 518, 58, 526, street);
    FillIn(c, Polygon({512, 62, 532, 62, 528, 48, 516, 48}), Hex(0x2e3440), 510, 46, 534, 64);
    FillIn(c, Box(517, 52, 527, 61), Hex(0xfff4d8), 516, 50, 528, 62);
    Grain(c, 4, 0.02f);
    return c;
}

Canvas LitWindow()
{
    const int W = 640, H = 250;
    Canvas c(W, H);
    // Light plaster inside, a tall window onto a bright morning sea.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float n = Fbm(x / 30.0f, y / 30.0f, 19, 4);
            c.At(x, y) = Mix(Hex(0xe9dcc8), Hex(0xf6eee2), n);
        }
    const float wx0 = 190, wx1 = 450, wy0 = 20, wy1 = 205;
    Canvas view(W, H);
    VerticalGradient(view, {{0.0f, Hex(0xa9cde6)}, {0.45f, Hex(0xe4f0f6)}, {0.5f, Hex(0x9cc4d4)}, {1.0f, Hex(0x5f9ab4)}});
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (x < wx0 || x >= wx1 || y < wy0 || y >= wy1)
                continue;
            Color v = view.At(x, y);
            if (y > 112) {
                float n = Fbm(x / 25.0f, y / 3.0f, 44, 3);
                v = Add(v, Scale(Hex(0xffffff), Smooth(0.6f, 0.8f, n) * 0.35f));
            }
            c.At(x, y) = v;
        }
    Glow(c, 360, 70, 40, Hex(0xffffff), 0.5f);
    // Frame, cross bars and sill.
    Color frame = Hex(0xfbf8f2);
    Sdf outer = Subtract(Box(wx0 - 10, wy0 - 10, wx1 + 10, wy1 + 6), Box(wx0, wy0, wx1, wy1));
    Fill(c, outer, frame);
    Fill(c, Box((wx0 + wx1) / 2 - 4, wy0, (wx0 + wx1) / 2 + 4, wy1), frame);
    Fill(c, Box(wx0, 100, wx1, 107), frame);
    Fill(c, Box(wx0 - 24, wy1 + 4, wx1 + 24, wy1 + 14, 2), Hex(0xd8cbb6));
    // Curtains with soft folds.
    for (int side = 0; side < 2; ++side) {
        float x0 = side ? wx1 - 8 : wx0 - 60, x1 = side ? wx1 + 60 : wx0 + 8;
        for (int y = 0; y < int(wy1 + 30); ++y)
            for (int x = int(x0); x < int(x1); ++x) {
                float fold = 0.5f + 0.5f * std::sin((x - x0) * 0.35f + y * 0.02f);
                float edge = side ? Smooth(x0, x0 + 6, float(x)) : 1.0f - Smooth(x1 - 6, x1, float(x));
                c.Blend(x, y, Mix(Hex(0xe8b7a6), Hex(0xf8dccf), fold), 0.9f * edge);
            }
    }
    // Plant on the sill.
    Fill(c, Polygon({280, 215, 300, 215, 297, 232, 283, 232}), Hex(0xb86a4a));
    Rng rng(8);
    for (int i = 0; i < 9; ++i) {
        float a = -kPi * 0.5f + rng.Range(-1.0f, 1.0f);
        float len = rng.Range(18, 34);
        Fill(c, Rotated(Ellipse(290, 214 - len * 0.5f, 4, len * 0.5f), 290, 214, a + kPi * 0.5f), Hex(0x4f8a5a));
    }
    // Sunlight falling into the room.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float u = (x - 0.6f * y) - 120;
            float k = Smooth(0, 30, u) * (1 - Smooth(280, 320, u)) * Smooth(150, 250, float(y)) * 0.12f;
            c.At(x, y) = Add(c.At(x, y), Scale(Hex(0xfff0d0), k));
        }
    Vignette(c, 0.2f);
    Grain(c, 9, 0.015f);
    return c;
}

Canvas Panorama(int W, int H)
{
    const float horizon = H * 0.56f;
    Canvas c(W, H);
    VerticalGradient(c, {{0.0f, Hex(0x0f1630)}, {0.3f, Hex(0x2b3a67)}, {0.5f, Hex(0x8a5a8c)}, {0.56f, Hex(0xe89a7a)},
                         {1.0f, Hex(0xe89a7a)}});
    Rng rng(1200);
    for (int i = 0; i < 120; ++i) {
        float x = rng.Range(0, float(W)), y = rng.Range(0, horizon * 0.6f);
        float b = rng.Range(0.15f, 0.6f);
        for (int k = -1; k <= 1; ++k)
            Glow(c, x + k * W, y, 0.7f, Hex(0xe8eeff), b);
    }
    Clouds(c, 333, 30, horizon - 10, Hex(0xd08aa0), 0.4f, W);
    std::vector<Light> lights;
    Skyline(c, rng, horizon + 1, 0, float(W), 0.9f, Hex(0x1c2040), Hex(pal::Lamp), 0.4f, &lights, W);
    Lighthouse(c, 900, horizon + 1, 70, -100.0f, Hex(0x1c2040), true);
    lights.push_back({900, horizon, 1.2f, Hex(0xfff0c0)});
    // Cranes of the port.
    for (float cx : {300.0f, 340.0f}) {
        Fill(c, Box(cx, horizon - 70, cx + 4, horizon + 1), Hex(0x1c2040));
        Fill(c, Box(cx - 40, horizon - 72, cx + 30, horizon - 68), Hex(0x1c2040));
        Fill(c, Capsule(cx - 36, horizon - 70, cx - 36, horizon - 40, 0.6f), Hex(0x1c2040));
    }
    Boat(c, 620, horizon + 1, 40, Hex(0x161a36), true);
    Boat(c, 700, horizon + 1, 22, Hex(0x161a36), false);
    Boat(c, 1100, horizon + 1, 30, Hex(0x161a36), true);
    Water(c, horizon + 1, Hex(0x0c1a30), Hex(0x4a3a60), lights, 1201, W);
    // The lights have to wrap as well: a streak crossing the seam is drawn twice.
    Grain(c, 1202, 0.02f);
    return c;
}

Canvas WaterTexture(int size)
{
    Canvas c(size, size);
    const float k = 2.0f * kPi / size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // Integer frequencies only, so the pattern repeats every `size` pixels.
            float u = x * k, v = y * k;
            float a = std::sin(3 * u + 2 * std::sin(2 * v)) + std::sin(4 * v + 2 * std::sin(3 * u + v));
            float b = std::sin(5 * u - 3 * v + std::sin(u + 2 * v)) + std::sin(2 * u + 5 * v);
            float web = std::pow(1.0f - std::fabs(std::sin(a * 1.3f + b * 0.7f)), 6.0f);
            float n = Fbm(x / 32.0f, y / 32.0f, 71, 3, size / 32, size / 32);
            Color deep = Mix(Hex(0x0c3550), Hex(0x1f6f86), n);
            Color col = Add(deep, Scale(Hex(0x9ff0f0), web * 0.8f));
            col = Add(col, Scale(Hex(pal::Lamp), std::pow(web, 3.0f) * 0.45f));
            c.At(x, y) = col;
        }
    return c;
}

Canvas LoadingLine(int w, int h)
{
    Canvas c(w, h, Hex(0x000000));
    Text t = RenderText("loading", Face::Sans, float(h) * 0.8f, 0.12f);
    int tx = (w - t.mask.w) / 2, ty = (h - t.mask.h) / 2;
    Paint(c, t.mask, tx, ty, Hex(pal::LampLight));
    // A thin line either side of the word, brightest near it.
    for (int x = 0; x < w; ++x) {
        if (x > tx - 8 && x < tx + t.mask.w + 8)
            continue;
        float d = x < tx ? float(tx - x) : float(x - tx - t.mask.w);
        float k = std::exp(-d / 60.0f);
        c.Blend(x, h / 2, Hex(pal::Lamp), 0.3f + 0.7f * k);
    }
    return c;
}

Canvas StillBoat(int w, int h)
{
    // A fishing boat at night with its deck lamp on.
    Canvas c(w, h);
    const float horizon = h * 0.55f;
    VerticalGradient(c, {{0.0f, Hex(0x0b1026)}, {0.5f, Hex(0x2b3a67)}, {0.55f, Hex(0x4a4a7a)}, {1.0f, Hex(0x4a4a7a)}});
    Rng rng(90);
    Stars(c, rng, horizon * 0.8f, 25);
    Glow(c, w * 0.8f, h * 0.18f, 5, Hex(0xfff6e0), 0.9f);
    Glow(c, w * 0.8f, h * 0.18f, 18, Hex(0xc8d8ff), 0.15f);
    std::vector<Light> lights = {{w * 0.45f + 6, horizon - 12, 0.7f, Hex(pal::LampLight)}, {w * 0.8f, horizon, 0.6f, Hex(0xc8d8ff)}};
    Water(c, horizon + 1, Hex(0x081424), Hex(0x2b3a67), lights, 91);
    Boat(c, w * 0.45f, horizon + 3, 60, Hex(0x0e1020), true);
    Glow(c, w * 0.45f + 6, horizon - 12, 3, Hex(0xfff0c0), 1.0f);
    Glow(c, w * 0.45f + 6, horizon - 12, 12, Hex(pal::Lamp), 0.3f);
    return c;
}

Canvas StillGulls(int w, int h)
{
    // Gulls over a pier on a bright afternoon.
    Canvas c(w, h);
    VerticalGradient(c, {{0.0f, Hex(0x7fb6d9)}, {0.7f, Hex(0xdcecf4)}, {0.72f, Hex(0x5f9ab4)}, {1.0f, Hex(0x2f6f8a)}});
    Clouds(c, 17, 5, h * 0.6f, Hex(0xffffff), 0.7f);
    Fill(c, Box(0, h * 0.66f, w * 0.7f, h * 0.72f), Hex(0x5a4a3a));
    for (int i = 0; i < 7; ++i) {
        float x = 6 + i * 14.0f;
        Fill(c, Box(x, h * 0.7f, x + 3, float(h)), Hex(0x3a3028));
    }
    Rng rng(23);
    for (int i = 0; i < 6; ++i) {
        float x = rng.Range(15, w - 15.0f), y = rng.Range(10, h * 0.5f), s = rng.Range(5, 10), lift = rng.Range(0.2f, 0.7f);
        Sdf g = Union(Capsule(x - s, y - s * lift, x, y, 1.0f), Capsule(x, y, x + s, y - s * lift, 1.0f));
        Fill(c, g, Hex(0xffffff));
        Fill(c, Capsule(x - s, y - s * lift, x - s * 0.7f, y - s * lift * 0.7f, 1.0f), Hex(0x30343c));
        Fill(c, Capsule(x + s * 0.7f, y - s * lift * 0.7f, x + s, y - s * lift, 1.0f), Hex(0x30343c));
    }
    return c;
}

Canvas StillFog(int w, int h)
{
    // The lighthouse in morning fog.
    Canvas c(w, h);
    VerticalGradient(c, {{0.0f, Hex(0xcfd8e0)}, {0.6f, Hex(0xe8e4dc)}, {1.0f, Hex(0xb8c4cc)}});
    Lighthouse(c, w * 0.62f, h * 0.78f, h * 0.62f, 3.3f, Hex(0x6a7480), true);
    Fill(c, Polygon({0, float(h), 0, h * 0.8f, w * 0.4f, h * 0.76f, w * 0.8f, h * 0.77f, float(w), h * 0.82f, float(w), float(h)}),
         Hex(0x5a646e));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float n = Fbm(x / 30.0f, y / 12.0f, 66, 4);
            c.At(x, y) = Mix(c.At(x, y), Hex(0xf0eee8), Smooth(0.35f, 0.8f, n) * 0.6f * (float(y) / h + 0.3f));
        }
    return c;
}

Canvas ParticleBackdrop(int w, int h)
{
    Canvas c(w, h);
    VerticalGradient(c, {{0.0f, Hex(0x2b1a4a)}, {0.6f, Hex(0x121a30)}, {1.0f, Hex(0x060810)}});
    Glow(c, w * 0.5f, h * 0.55f, w * 0.35f, Hex(pal::Violet), 0.18f);
    Glow(c, w * 0.3f, h * 0.3f, w * 0.2f, Hex(pal::Cyan), 0.1f);
    Vignette(c, 0.5f);
    return c;
}

} // namespace qhd
