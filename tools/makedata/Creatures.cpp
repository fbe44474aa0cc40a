// Fish, the gull, the question mark, the title card, the ring pop and the
// calendar cells: pictures with their own weights.
#include <algorithm>
#include <cstdio>

#include "tools/makedata/Looks.h"
#include "tools/makedata/Type.h"

namespace qhd {

namespace {

Sprite Downsampled(const Canvas& c, const Mask& m, int w, int h)
{
    // Colours under zero weight would bleed into the edge when the sprite is
    // shown; pre-multiply while shrinking and divide back.
    Canvas pre(c.w, c.h);
    for (size_t i = 0; i < c.px.size(); ++i)
        pre.px[i] = Scale(c.px[i], m.v[i]);
    Canvas small = Resize(pre, w, h);
    Mask a = Resize(m, w, h);
    for (size_t i = 0; i < small.px.size(); ++i)
        if (a.v[i] > 0.004f)
            small.px[i] = Scale(small.px[i], 1.0f / a.v[i]);
    return {small, a};
}

// The outline of a fish body along its length, 0..1 from nose to tail root.
std::vector<float> BodyOutline(float x0, float len, float cy, float depth, float belly, float hump)
{
    std::vector<float> pts;
    const int n = 24;
    for (int i = 0; i <= n; ++i) {
        float t = float(i) / n;
        // sin(pi) comes out a hair below zero; pow of a negative is NaN.
        float top = depth * std::pow(std::max(0.0f, std::sin(kPi * std::pow(t, 0.8f))), 0.9f) * (1.0f + hump * (0.6f - t));
        pts.push_back(x0 + len * t);
        pts.push_back(cy - top * 0.5f);
    }
    for (int i = n; i >= 0; --i) {
        float t = float(i) / n;
        float bot = depth * belly * std::pow(std::max(0.0f, std::sin(kPi * std::pow(t, 0.8f))), 0.9f);
        pts.push_back(x0 + len * t);
        pts.push_back(cy + bot * 0.5f);
    }
    return pts;
}

} // namespace

Sprite Fish(int kind)
{
    // Facing right: the fish swim from left to right.
    struct Kind {
        int w, h;
        float depth, belly, hump;
        uint32_t back, side, belly2, fin;
        int pattern; // 0 stripes, 1 bands, 2 spots
    };
    const Kind kinds[3] = {
        {104, 48, 0.62f, 0.85f, 0.1f, 0x1f5a73, 0x4aa0b0, 0xe8f0f0, 0x2e6f86, 0},
        {84, 62, 0.9f, 1.0f, 0.3f, 0xd0601a, 0xec870e, 0xfff0d8, 0xb84a10, 1},
        {76, 72, 1.1f, 1.1f, 0.5f, 0x6a3ea0, 0xe487fa, 0xfbc3c6, 0x4a2a80, 2},
    };
    const Kind& k = kinds[kind % 3];
    const int ss = 3, W = k.w * ss, H = k.h * ss;
    Canvas c(W, H, Hex(k.side));
    Mask m(W, H);
    float cy = H * 0.5f, len = W * 0.74f, x0 = W * 0.22f;
    float depth = H * 0.62f * k.depth / std::max(1.0f, k.depth);
    Sdf body = Polygon(BodyOutline(x0, len, cy, depth, k.belly, k.hump));
    // Tail: a forked fan at the left end.
    float tx = x0 + W * 0.02f;
    Sdf tail = Polygon({tx, cy - depth * 0.06f, W * 0.02f, cy - depth * 0.55f, W * 0.08f, cy, W * 0.02f,
                        cy + depth * 0.55f, tx, cy + depth * 0.06f});
    Sdf dorsal = Polygon({x0 + len * 0.3f, cy - depth * 0.38f, x0 + len * 0.42f, cy - depth * 0.78f, x0 + len * 0.62f,
                          cy - depth * 0.4f});
    Sdf ventral = Polygon({x0 + len * 0.35f, cy + depth * 0.38f, x0 + len * 0.45f, cy + depth * 0.7f, x0 + len * 0.58f,
                           cy + depth * 0.4f});
    Color fin = Hex(k.fin);
    auto finColor = [&](float x, float y) {
        float rays = 0.5f + 0.5f * std::sin((x * 0.3f + y * 0.6f));
        return Mix(fin, Hex(0xffffff), 0.15f * rays);
    };
    FillWith(c, tail, finColor);
    FillWith(c, dorsal, finColor);
    FillWith(c, ventral, finColor);
    Stamp(m, tail, 0.92f);
    Stamp(m, dorsal, 0.92f);
    Stamp(m, ventral, 0.92f);
    Color back = Hex(k.back), side = Hex(k.side), under = Hex(k.belly2);
    FillWith(c, body, [&](float x, float y) {
        float t = (y - (cy - depth * 0.5f)) / depth; // 0 at the back, 1 at the belly
        Color col = t < 0.5f ? Mix(back, side, Smooth(0.1f, 0.5f, t)) : Mix(side, under, Smooth(0.5f, 0.85f, t));
        float along = (x - x0) / len;
        if (k.pattern == 0) {
            float wave = std::sin(along * 40.0f + std::sin(y * 0.05f) * 2.0f);
            if (t < 0.45f)
                col = Mix(col, Hex(0x0c2a3a), 0.45f * Smooth(0.3f, 0.9f, wave));
        } else if (k.pattern == 1) {
            float band = std::fabs(along - 0.35f) < 0.05f || std::fabs(along - 0.62f) < 0.045f ? 1.0f : 0.0f;
            col = Mix(col, Hex(0xfffaf0), band * 0.9f);
        } else {
            // Round pale spots on a jittered grid.
            float gx = std::floor(x / 16.0f), gy = std::floor(y / 16.0f);
            float sx = (gx + 0.3f + 0.4f * Noise(gx, gy, 91)) * 16.0f, sy = (gy + 0.3f + 0.4f * Noise(gx, gy, 92)) * 16.0f;
            float r = 2.5f + 2.5f * Noise(gx, gy, 93);
            col = Mix(col, Hex(0xfff4ff), Coverage(std::hypot(x - sx, y - sy) - r, 1.5f) * 0.8f);
        }
        // Scales: a faint pattern of arcs.
        float sx = x / 9.0f, sy = y / 9.0f + (int(std::floor(x / 9.0f)) % 2) * 0.5f;
        float fy = sy - std::floor(sy);
        col = Scale(col, 0.94f + 0.06f * Smooth(0.7f, 0.95f, fy) + 0.0f * sx);
        return col;
    });
    Stamp(m, body, 1.0f);
    // Darker rim for volume.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            float d = body(x + 0.5f, y + 0.5f);
            if (d < 0)
                c.At(x, y) = Scale(c.At(x, y), 0.75f + 0.25f * Smooth(-2.0f, -14.0f, d));
        }
    // Gill line, pectoral fin, eye.
    float ex = x0 + len * 0.84f, ey = cy - depth * 0.08f;
    Fill(c, Ring(Circle(x0 + len * 0.92f, cy, depth * 0.32f), 1.2f * ss * 0.6f), Mix(side, Hex(0), 0.35f), 0.5f);
    Fill(c, Intersect(body, Rotated(Ellipse(x0 + len * 0.68f, cy + depth * 0.1f, depth * 0.18f, depth * 0.07f),
                                    x0 + len * 0.68f, cy + depth * 0.1f, 0.5f)),
         fin, 0.85f);
    float er = std::max(depth * 0.1f, 4.5f * ss * 0.5f);
    Fill(c, Circle(ex, ey, er), Hex(0xfff8e0));
    Fill(c, Circle(ex + er * 0.15f, ey, er * 0.62f), Hex(0x0a0a10));
    Fill(c, Circle(ex - er * 0.1f, ey - er * 0.3f, er * 0.22f), Hex(0xffffff));
    Fill(c, Capsule(x0 + len * 0.97f, cy + depth * 0.08f, x0 + len * 0.92f, cy + depth * 0.1f, 1.0f), Hex(0x301010), 0.6f);
    return Downsampled(c, m, k.w, k.h);
}

Sprite Gull(int size)
{
    const int ss = 2, S = size * ss;
    Canvas c(S, S, Hex(0xf4f4f0));
    Mask m(S, S);
    float cx = S * 0.5f, cy = S * 0.5f, u = S / 256.0f;
    auto P = [&](float x, float y) { return std::vector<float>{cx + x * u, cy + y * u}; };
    // Wings spread, seen from above; the picture turns, so it stays within a circle.
    for (float s : {-1.0f, 1.0f}) {
        std::vector<float> wing;
        // Seen from above: the arm reaches forward to the wrist, the hand
        // sweeps back to a pointed tip, the trailing edge is ragged.
        const float pts[][2] = {{8, -16}, {30, -26}, {55, -32}, {72, -30}, {96, -22}, {122, -6}, {108, -4},
                                {96, 0},  {84, 2},   {72, 6},   {56, 12},  {36, 14}, {10, 16}};
        for (auto& p : pts) {
            auto q = P(s * p[0], p[1]);
            wing.insert(wing.end(), q.begin(), q.end());
        }
        Sdf w = Polygon(wing);
        FillWith(c, w, [&](float x, float y) {
            float t = std::fabs(x - cx) / (118 * u);
            Color col = Mix(Hex(0xdfe3e8), Hex(0x9aa4b0), Smooth(0.2f, 0.7f, t));
            col = Mix(col, Hex(0x1a1c22), Smooth(0.78f, 0.86f, t));
            float feathers = std::sin((x - cx) * 0.5f / u) * Smooth(0.6f, 0.9f, t);
            col = Scale(col, 0.92f + 0.08f * feathers);
            float lead = Smooth(6 * u, 0, (y - cy) + 30 * u - t * 20 * u);
            return Mix(col, Hex(0xffffff), 0.3f * lead);
        });
        Stamp(m, w);
        // White spots on the black tips.
        Fill(c, Circle(cx + s * 108 * u, cy - 10 * u, 3 * u), Hex(0xffffff));
    }
    Sdf body = Ellipse(cx, cy + 4 * u, 15 * u, 36 * u);
    Sdf tail = Intersect(Circle(cx, cy + 20 * u, 38 * u),
                         Polygon({cx - 8 * u, cy + 26 * u, cx + 8 * u, cy + 26 * u, cx + 17 * u, cy + 60 * u, cx - 17 * u, cy + 60 * u}));
    Sdf headS = Circle(cx, cy - 36 * u, 12 * u);
    FillWith(c, Union(body, Union(tail, headS)), [&](float x, float y) {
        return Mix(Hex(0xffffff), Hex(0xc8ccd4), Clamp01((x - cx) / (14 * u) * 0.5f + 0.3f));
    });

    Stamp(m, Union(body, Union(tail, headS)));
    Sdf beak = Polygon({cx - 4 * u, cy - 45 * u, cx + 4 * u, cy - 45 * u, cx + 1 * u, cy - 60 * u, cx - 1 * u, cy - 60 * u});
    Fill(c, beak, Hex(0xf0b020));
    Fill(c, Circle(cx, cy - 55 * u, 1.6f * u), Hex(0xd03020));
    Stamp(m, beak);
    for (float s : {-1.0f, 1.0f})
        Fill(c, Circle(cx + s * 6.5f * u, cy - 39 * u, 2 * u), Hex(0x101010));
    return Downsampled(c, m, size, size);
}

Sprite QuestionMark(int w, int h)
{
    Text t = FitText("?", Face::SerifBold, w - 8, h - 6);
    Canvas c(w, h);
    Mask m(w, h);
    int x = (w - t.mask.w) / 2, y = (h - t.mask.h) / 2;
    // A soft dark halo under the glyph so it reads over any photo.
    Mask halo(w, h);
    Place(halo, t.mask, x, y);
    Blur(halo, 3);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            float g = Clamp01(i >= x && j >= y && i < x + t.mask.w && j < y + t.mask.h ? t.mask.At(i - x, j - y) : 0.0f);
            Color ink = Mix(Hex(pal::LampLight), Hex(pal::Lamp), float(j) / h);
            c.At(i, j) = Mix(Hex(0x1b2236), ink, g);
            m.At(i, j) = std::max(g, Clamp01(halo.At(i, j) * 1.6f) * 0.7f);
        }
    return {c, m};
}

Sprite TitleCard(int w, int h)
{
    Canvas c(w, h);
    Mask m(w, h);
    // A glowing lighthouse emblem above the show's name, on a soft dark plate.
    Stamp(m, Box(6, 6, w - 6.0f, h - 6.0f, 28), 0.55f, 10.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.At(x, y) = Mix(Hex(0x0e1428), Hex(0x22305a), float(y) / h);
    float lx = w * 0.5f, base = h * 0.5f;
    Sdf tower = Polygon({lx - 14, base, lx - 9, base - 62, lx + 9, base - 62, lx + 14, base});
    Sdf lamp = Box(lx - 8, base - 78, lx + 8, base - 62, 2);
    Sdf roof = Polygon({lx - 11, base - 78, lx, base - 90, lx + 11, base - 78});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float dx = x - lx, dy = y - (base - 70);
            float ang = std::atan2(dy, dx);
            float beam = std::max(std::exp(-std::pow((ang - 0.0f) / 0.1f, 2)), std::exp(-std::pow((std::fabs(ang) - kPi) / 0.1f, 2)));
            float k = beam * std::exp(-std::fabs(dx) / 160.0f) * 0.8f;
            c.At(x, y) = Add(c.At(x, y), Scale(Hex(0xffe8b8), k));
            m.At(x, y) = std::max(m.At(x, y), k * 0.8f);
        }
    Fill(c, tower, Hex(0xf4eee2));
    Fill(c, Intersect(tower, Box(0, base - 42, float(w), base - 30)), Hex(0xc84030));
    Fill(c, Intersect(tower, Box(0, base - 18, float(w), base - 6)), Hex(0xc84030));
    Fill(c, lamp, Hex(0xfff2c0));
    Fill(c, roof, Hex(0xc84030));
    Glow(c, lx, base - 70, 12, Hex(0xffd890), 0.8f);
    Stamp(m, Union(tower, Union(lamp, roof)));
    // Waves under the tower.
    for (int i = 0; i < 3; ++i) {
        float y = base + 6 + i * 6;
        for (int x = int(lx - 60 + i * 10); x < int(lx + 60 - i * 10); ++x) {
            float yy = y + 2 * std::sin(x * 0.25f + i);
            c.Blend(x, int(yy), Hex(0x9fd6e6), 0.9f);
            m.At(x, int(yy)) = std::max(m.At(x, int(yy)), 0.9f);
        }
    }
    Text title = FitText("quiet harbor", Face::SerifBold, w - 40, 44);
    Text sub = FitText("a show by salt marine", Face::Sans, w - 120, 16, 400.0f, 0.15f);
    int ty = int(base + 28), sy = ty + title.mask.h + 8;
    Paint(c, title.mask, (w - title.mask.w) / 2, ty, Hex(0xfff4e6));
    Paint(c, sub.mask, (w - sub.mask.w) / 2, sy, Hex(pal::LampSoft));
    for (int j = 0; j < title.mask.h; ++j)
        for (int i = 0; i < title.mask.w; ++i) {
            float& a = m.At((w - title.mask.w) / 2 + i, ty + j);
            a = std::max(a, title.mask.At(i, j));
        }
    for (int j = 0; j < sub.mask.h; ++j)
        for (int i = 0; i < sub.mask.w; ++i) {
            float& a = m.At((w - sub.mask.w) / 2 + i, sy + j);
            a = std::max(a, sub.mask.At(i, j));
        }
    return {c, m};
}

Sprite RingPop(int size, int frames)
{
    const int ss = 4, S = size * ss;
    Canvas strip(size, size * frames);
    Mask alpha(size, size * frames);
    for (int f = 0; f < frames; ++f) {
        float t = frames > 1 ? float(f) / (frames - 1) : 0.0f;
        Canvas c(S, S, Hex(pal::Lamp));
        Mask m(S, S);
        float cx = S * 0.5f, cy = S * 0.5f, maxR = S * 0.5f - ss;
        // A dot swells, opens into a ring, the ring widens, thins and fades.
        float r = maxR * (0.2f + 0.8f * std::sqrt(t));
        float width = t < 0.25f ? r : std::max(ss * 0.8f, r * (0.55f - 0.45f * t));
        float fade = 1.0f - Smooth(0.6f, 1.0f, t);
        Sdf ring = t < 0.2f ? Circle(cx, cy, r) : Ring(Circle(cx, cy, r - width * 0.5f), width * 0.5f);
        FillWith(c, ring, [&](float x, float y) {
            float k = Clamp01(1.0f - std::hypot(x - cx + r * 0.3f, y - cy + r * 0.3f) / (2 * r + 1));
            return Mix(Hex(pal::Lamp), Hex(pal::LampLight), k);
        });
        Stamp(m, ring, fade, ss);
        if (t > 0.3f) // a thin echo just outside
            Stamp(m, Ring(Circle(cx, cy, std::min(maxR, r * 1.15f)), ss * 0.35f), 0.5f * fade, ss);
        Canvas sc = Resize(c, size, size);
        Mask sm = Resize(m, size, size);
        Place(strip, sc, 0, f * size);
        Place(alpha, sm, 0, f * size);
    }
    return {strip, alpha};
}

Sprite CalendarCells(int w, int h, int count)
{
    Canvas strip(w, h * count);
    Mask alpha(w, h * count);
    for (int i = 0; i < count; ++i) {
        Canvas c(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                c.At(x, y) = Mix(Hex(0xfbf6ec), Hex(0xe9dfcc), Fbm(x / 8.0f, (y + i * h) / 8.0f, 55, 3) * 0.6f +
                                                                    float(y) / h * 0.4f);
        // Ring binding at the top and a torn-off look at the bottom.
        Fill(c, Box(0, 0, float(w), 5), Hex(pal::Lamp));
        bool sunday = (i + 1) % 7 == 5; // the month starts on a Wednesday
        char num[16];
        std::snprintf(num, sizeof num, "%d", i + 1);
        Text t = FitText(num, Face::SerifBold, w - 24, h - 12);
        Paint(c, t.mask, w - t.mask.w - 6, h - t.mask.h - 4, sunday ? Hex(0xb8322a) : Hex(pal::Ink));
        Text day = RenderText(std::string(1, "wtfssmt"[i % 7]), Face::Sans, 9);
        Paint(c, day.mask, 5, 9, Hex(0x7a7064));
        Mask m(w, h);
        Stamp(m, Box(0.5f, 0.5f, w - 0.5f, h - 0.5f, 3));
        for (int x = 0; x < w; ++x) // perforation
            if (x % 4 < 2)
                m.At(x, h - 1) *= 0.3f;
        Place(strip, c, 0, i * h);
        Place(alpha, m, 0, i * h);
    }
    return {strip, alpha};
}

} // namespace qhd
