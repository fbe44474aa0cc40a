// The panel animations, the credits backdrops, the darkening grids, the
// tint palettes and the floating circle shapes.
#include <algorithm>

#include "tools/makedata/Looks.h"

namespace qhd {

namespace {

// Every motion in a loop turns a whole number of times per loop, so the
// frame after the last is the first again.
float Phase(int f, int frames) { return 2.0f * kPi * f / frames; }

} // namespace

std::vector<Canvas> WavesLoop(int w, int h, int frames)
{
    std::vector<Canvas> out;
    const float horizon = h * 0.38f;
    struct Layer {
        float base, amp, len;
        int cycles;
        uint32_t col;
    };
    const Layer layers[] = {{0.42f, 1.5f, 23, 1, 0x5a86a8}, {0.52f, 2.5f, 37, 1, 0x3f7296},
                            {0.64f, 4.0f, 53, 2, 0x2a5a80}, {0.8f, 6.0f, 70, 1, 0x1f4a6c},
                            {0.95f, 8.0f, 140, 1, 0x163a58}};
    for (int f = 0; f < frames; ++f) {
        float ph = Phase(f, frames);
        Canvas c(w, h);
        VerticalGradient(c, {{0.0f, Hex(0xf2b98a)}, {0.3f, Hex(0xf8d2a4)}, {0.38f, Hex(0xfde8d0)}, {1.0f, Hex(0xfde8d0)}});
        Glow(c, w * 0.68f, horizon - 6, 10, Hex(0xffffff), 0.9f);
        Glow(c, w * 0.68f, horizon - 6, 30, Hex(0xffc080), 0.3f);
        for (int y = int(horizon); y < h; ++y)
            for (int x = 0; x < w; ++x)
                c.At(x, y) = Mix(Hex(0xe8b890), Hex(0x6a8cb8), Smooth(horizon, horizon + 12, float(y)));
        for (const Layer& L : layers) {
            for (int x = 0; x < w; ++x) {
                float crest = h * L.base - L.amp * std::sin(x / L.len * 2 * kPi * 0.5f - ph * L.cycles) -
                              L.amp * 0.4f * std::sin(x / L.len * 2 * kPi * 1.3f + ph * L.cycles * 2);
                for (int y = std::max(0, int(crest) - 1); y < h; ++y) {
                    float a = Clamp01(y + 1 - crest);
                    float d = y - crest;
                    Color col = Mix(Hex(L.col), Mix(Hex(L.col), Hex(0xffffff), 0.45f), std::exp(-d / 2.0f));
                    float glint = std::exp(-std::pow((x - w * 0.68f) / 14.0f, 2)) * std::exp(-d / 3.0f) * 0.5f;
                    col = Add(col, Scale(Hex(0xfff0d0), glint));
                    c.Blend(x, y, col, a);
                }
            }
        }
        out.push_back(c);
    }
    return out;
}

std::vector<Canvas> BeamLoop(int w, int h, int frames)
{
    std::vector<Canvas> out;
    Rng rng(4242);
    std::vector<std::pair<float, float>> stars;
    for (int i = 0; i < 40; ++i)
        stars.push_back({rng.Range(0, float(w)), rng.Range(0, h * 0.55f)});
    const float lx = w * 0.42f, lampY = h * 0.3f, rock = h * 0.72f;
    for (int f = 0; f < frames; ++f) {
        float th = Phase(f, frames);
        Canvas c(w, h);
        VerticalGradient(c, {{0.0f, Hex(0x0b1026)}, {0.7f, Hex(0x24305e)}, {0.72f, Hex(0x1a2a48)}, {1.0f, Hex(0x0c1a2c)}});
        for (auto& s : stars)
            Glow(c, s.first, s.second, 0.6f, Hex(0xdfe8ff), 0.5f);
        // The beam turns about the tower: its length on screen follows the
        // cosine, the glare when it faces us the sine.
        float side = std::cos(th), toward = std::max(0.0f, std::sin(th));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float px = x - lx, py = y - lampY;
                float along = px * (side >= 0 ? 1.0f : -1.0f);
                float reach = std::fabs(side) * w * 1.2f;
                if (along > 0) {
                    float spread = 1.5f + along * (0.16f + 0.25f * (1.0f - std::fabs(side)));
                    float k = std::exp(-(py * py) / (spread * spread)) * Smooth(reach, reach * 0.3f, along) * 0.6f;
                    c.At(x, y) = Add(c.At(x, y), Scale(Hex(0xfff0c8), k));
                }
            }
        Glow(c, lx, lampY, 4 + 10 * std::pow(toward, 6.0f), Hex(0xfff6e0), 0.8f + 1.5f * std::pow(toward, 8.0f));
        Glow(c, lx, lampY, 30, Hex(0xffc070), 0.15f + 0.5f * std::pow(toward, 8.0f));
        // Rock and tower.
        Fill(c, Polygon({0, float(h), 0, rock + 6, lx - 30, rock - 4, lx + 10, rock - 8, lx + 50, rock, float(w) * 0.8f,
                         float(h)}),
             Hex(0x0a0e1a));
        Sdf tower = Polygon({lx - 9, rock - 5, lx - 6, lampY + 6, lx + 6, lampY + 6, lx + 9, rock - 5});
        Fill(c, tower, Hex(0x1a1e30));
        Fill(c, Intersect(tower, Box(0, lampY + 22, float(w), lampY + 30)), Hex(0x3a1a20));
        Fill(c, Box(lx - 5, lampY - 5, lx + 5, lampY + 6), Hex(0xfff0c8));
        Fill(c, Polygon({lx - 7, lampY - 5, lx, lampY - 12, lx + 7, lampY - 5}), Hex(0x1a1e30));
        // Its light on the water.
        for (int y = int(h * 0.72f); y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float ripple = 0.5f + 0.5f * std::sin(y * 1.7f + std::sin(x * 0.2f + th * 2) * 2 + th);
                float k = std::exp(-std::pow((x - lx) / (6 + (y - h * 0.72f) * 0.8f), 2)) * ripple * (0.1f + 0.5f * toward);
                c.At(x, y) = Add(c.At(x, y), Scale(Hex(0xffd8a0), k * 0.5f));
            }
        out.push_back(c);
    }
    return out;
}

std::vector<Canvas> TunnelLoop(int w, int h, int frames)
{
    std::vector<Canvas> out;
    for (int f = 0; f < frames; ++f) {
        float t = float(f) / frames;
        Canvas c(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float dx = (x - w * 0.5f) / h, dy = (y - h * 0.5f) / h;
                float r = std::sqrt(dx * dx + dy * dy) + 1e-4f;
                float a = std::atan2(dy, dx) / (2 * kPi) + 0.5f; // 0..1 around
                float depth = 0.25f / r;
                // One ring of the texture passes per loop; the twist turns once.
                float v = depth + t * 1.0f * 2.0f;
                float uu = a * 12.0f + depth * 0.5f + t * 0.0f;
                float ring = v - std::floor(v);
                float seg = uu - std::floor(uu);
                float planks = Smooth(0.0f, 0.06f, ring) * Smooth(1.0f, 0.94f, ring);
                float gaps = Smooth(0.0f, 0.08f, seg) * Smooth(1.0f, 0.92f, seg);
                int cell = (int(std::floor(v)) + int(std::floor(uu))) & 1;
                Color col = cell ? Hex(0x2e8c8c) : Hex(0x1f5a73);
                col = Mix(Hex(0x0a1420), col, planks * gaps);
                // Lamps on every other ring, at the top.
                float lamp = std::exp(-std::pow((ring - 0.5f) / 0.08f, 2)) * std::exp(-std::pow((seg - 0.5f) / 0.12f, 2)) *
                             float(int(std::floor(uu)) % 3 == 0);
                col = Add(col, Scale(Hex(pal::Lamp), lamp * 1.2f));
                float fog = Clamp01(r * 2.2f);
                col = Mix(Hex(0x050810), col, fog);
                c.At(x, y) = Add(col, Scale(Hex(0xffd8a0), std::exp(-r * 30.0f) * 0.6f));
            }
        out.push_back(c);
    }
    return out;
}

std::vector<Canvas> PlanktonLoop(int w, int h, int frames)
{
    std::vector<Canvas> out;
    Rng rng(777);
    struct Mote {
        float x, y, ax, ay, size, bright, ph;
        int kx, ky, rise;
        Color col;
    };
    std::vector<Mote> motes;
    for (int i = 0; i < 70; ++i) {
        Mote m;
        m.x = rng.Range(0, float(w));
        m.y = rng.Range(0, float(h));
        m.ax = rng.Range(2, 8);
        m.ay = rng.Range(1, 5);
        m.size = rng.Range(0.6f, 2.2f);
        m.bright = rng.Range(0.3f, 1.0f);
        m.ph = rng.Range(0, 2 * kPi);
        m.kx = rng.Int(1, 2);
        m.ky = rng.Int(1, 3);
        m.rise = rng.Int(0, 1);
        m.col = rng.Unit() < 0.5f ? Hex(pal::Line2) : (rng.Unit() < 0.5f ? Hex(pal::LampLight) : Hex(pal::Line3));
        motes.push_back(m);
    }
    for (int f = 0; f < frames; ++f) {
        float ph = Phase(f, frames);
        Canvas c(w, h);
        VerticalGradient(c, {{0.0f, Hex(0x1f6f86)}, {0.5f, Hex(0x0f3a56)}, {1.0f, Hex(0x061628)}});
        // Shafts of light from the surface, swaying once per loop.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float s = std::sin(x * 0.09f + y * 0.03f + std::sin(ph) * 0.8f) * std::sin(x * 0.05f - ph);
                float k = Smooth(0.5f, 1.0f, s) * (1.0f - float(y) / h) * 0.18f;
                c.At(x, y) = Add(c.At(x, y), Scale(Hex(0xc8f0ff), k));
            }
        for (const Mote& m : motes) {
            float x = m.x + m.ax * std::sin(ph * m.kx + m.ph);
            float y = m.y + m.ay * std::cos(ph * m.ky + m.ph) - m.rise * h * float(f) / frames;
            y = y - std::floor(y / h) * h;
            for (int k = -1; k <= 1; ++k)
                for (int j = -1; j <= 1; ++j) {
                    Glow(c, x + k * w, y + j * h, m.size * 2.5f, m.col, 0.12f * m.bright);
                    Glow(c, x + k * w, y + j * h, m.size * 0.7f, Hex(0xffffff), 0.6f * m.bright);
                }
        }
        out.push_back(c);
    }
    return out;
}

Canvas CircleBackdrop(int w, int h, Color bg)
{
    Canvas c(w, h, bg);
    // A low sun in rings of the show's colours.
    float cx = w * 0.55f, cy = h * 0.62f;
    const uint32_t rings[] = {0x2b3a67, 0x1f5a73, 0x2e8c8c, 0xf5bf7f, 0xec870e, 0xf8d2a4};
    for (int i = 0; i < 6; ++i) {
        float r = 150.0f - i * 22.0f;
        FillWith(c, Circle(cx, cy, r), [&](float x, float y) {
            float n = Fbm(x / 18.0f, y / 18.0f, 600u + i, 3);
            return Mix(Hex(rings[i]), Hex(0xffffff), 0.12f * n);
        });
    }
    Glow(c, cx, cy, 40, Hex(0xfff0d0), 0.5f);
    // Horizontal bands of calm water over the lower half.
    for (int y = int(cy); y < h; y += 9)
        Fill(c, Box(0, float(y), float(w), y + 3.0f), Mix(bg, Hex(0x0e2a40), 0.4f), 0.55f);
    // Fade into the credit's own colour at every edge: the fill around it must not show a seam.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float e = Smooth(0, 36, float(std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y))));
            c.At(x, y) = Mix(bg, c.At(x, y), e);
        }
    return c;
}

Sprite CircleOverlay(int w, int h)
{
    Canvas c(w, h, Hex(pal::Line2));
    Mask m(w, h);
    const float cx = w * 0.45f, cy = h * 0.55f;
    for (int i = 0; i < 5; ++i) {
        float r = 40.0f + i * 26.0f;
        Stamp(m, Ring(Circle(cx, cy, r), 1.5f + (i % 2) * 1.5f), 0.7f - i * 0.08f);
    }
    Stamp(m, Ring(Circle(w * 0.8f, h * 0.25f, 30), 6), 0.5f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.At(x, y) = Mix(Hex(pal::Line2), Hex(pal::Line1), float(x) / w);
    return {c, m};
}

Canvas CircleDetail(int w, int h)
{
    // A brass porthole looking out on the sea.
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.At(x, y) = Mix(Hex(0x8a6a30), Hex(0xd8b060), Fbm(x / 12.0f, y / 12.0f, 31, 3));
    float cx = w * 0.5f, cy = h * 0.5f, r = std::min(w, h) * 0.42f;
    FillWith(c, Circle(cx, cy, r), [&](float x, float y) {
        if (y < cy + 4)
            return Mix(Hex(0xa9cde6), Hex(0xfde8d0), (y - (cy - r)) / r);
        return Mix(Hex(0x2e8c8c), Hex(0x123a48), (y - cy) / r);
    });
    Glow(c, cx + r * 0.3f, cy - 6, 8, Hex(0xffffff), 0.7f);
    Fill(c, Ring(Circle(cx, cy, r), 4), Hex(0xf0d080));
    Fill(c, Ring(Circle(cx, cy, r + 5), 1.5f), Hex(0x5a4020));
    for (int i = 0; i < 8; ++i) {
        float a = i * kPi / 4;
        Fill(c, Circle(cx + std::cos(a) * (r + 10), cy + std::sin(a) * (r + 10), 3), Hex(0x5a4020));
    }
    Fill(c, Ring(Box(1, 1, w - 1.0f, h - 1.0f), 1.0f), Hex(0x3a2a10));
    return c;
}

Canvas RectBackdrop(int w, int h, Color bg)
{
    Canvas c(w, h, bg);
    // Shipping containers stacked on the quay, in the show's colours.
    const uint32_t cols[] = {0x2e8c8c, 0xec870e, 0x2b3a67, 0xfbc3c6, 0xf4eee2, 0x6a3ea0, 0x1f5a73, 0xf5bf7f};
    const float boxH = 46, boxW = 118;
    Rng rng(5150);
    int k = 0;
    for (int row = 0; row < 4; ++row) {
        float y1 = h - 24.0f - row * boxH, y0 = y1 - boxH + 3;
        float offset = row % 2 ? boxW * 0.45f : 10.0f;
        int count = 3 - row / 2;
        for (int i = 0; i < count; ++i, ++k) {
            float x0 = 24 + offset + i * (boxW + 4), x1 = x0 + boxW;
            if (row > 0 && rng.Unit() < 0.15f)
                continue; // a gap in the stack (never in the bottom row: nothing floats)
            Color col = Hex(cols[(k * 3 + row) % 8]);
            FillWith(c, Box(x0, y0, x1, y1, 1.5f), [&](float x, float y) {
                // Corrugated walls: a ridge every 6 pixels, light from the left.
                float ridge = 0.5f + 0.5f * std::sin((x - x0) * 2 * kPi / 6.0f);
                Color v = Scale(col, 0.82f + 0.18f * ridge);
                v = Mix(v, Hex(0x3a2a20), 0.18f * Fbm(x / 5.0f, y / 9.0f, 70u + uint32_t(k), 3));
                return Mix(v, Hex(0xffffff), 0.12f * Smooth(y0 + 6, y0, y));
            });
            Fill(c, Box(x0, y0, x1, y0 + 3), Mix(col, Hex(0), 0.35f));
            Fill(c, Box(x0, y1 - 3, x1, y1), Mix(col, Hex(0), 0.45f));
            // Doors at the right end with their locking bars.
            Fill(c, Box(x1 - 30, y0 + 5, x1 - 29, y1 - 5), Mix(col, Hex(0), 0.5f));
            for (float bx : {x1 - 24, x1 - 18, x1 - 10, x1 - 4})
                Fill(c, Box(bx, y0 + 5, bx + 1.2f, y1 - 5), Mix(col, Hex(0xffffff), 0.35f));
        }
    }
    // The quay's edge and a long shadow under the stack.
    Fill(c, Box(0, h - 24.0f, float(w), h - 20.0f), Mix(bg, Hex(0), 0.35f));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float e = Smooth(0, 20, float(std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y))));
            c.At(x, y) = Mix(bg, c.At(x, y), e);
        }
    return c;
}

Sprite RectOverlay(int w, int h)
{
    // A tall window frame with four panes of evening sky.
    Canvas c(w, h);
    Mask m(w, h, 1.0f);
    VerticalGradient(c, {{0.0f, Hex(0x2b3a67)}, {0.6f, Hex(0xe89a7a)}, {1.0f, Hex(0xf5bf7f)}});
    Glow(c, w * 0.7f, h * 0.7f, 20, Hex(0xfff0d0), 0.6f);
    Color frame = Hex(0xf4eee2);
    Fill(c, Ring(Box(4, 4, w - 4.0f, h - 4.0f), 5), frame);
    Fill(c, Box(w * 0.5f - 3, 4, w * 0.5f + 3, h - 4.0f), frame);
    Fill(c, Box(4, h * 0.48f - 3, w - 4.0f, h * 0.48f + 3), frame);
    // The edges fade out when it first appears over the backdrop.
    Mask edge(w, h);
    Stamp(edge, Box(0, 0, float(w), float(h), 10), 1.0f, 6.0f);
    m = edge;
    return {c, m};
}

Sprite RectDetail(int w, int h)
{
    Canvas c(w, h, Hex(pal::Paper));
    Mask m(w, h);
    // A luggage tag: paper, a punched hole, a string.
    Sdf tag = Polygon({0, h * 0.25f, w * 0.25f, 0, float(w), 0, float(w), float(h), w * 0.25f, float(h), 0, h * 0.75f});
    Stamp(m, tag);
    Erase(m, Circle(w * 0.18f, h * 0.5f, 5));
    for (int y = 0; y < h; y += 8)
        Fill(c, Box(w * 0.35f, y + 3.0f, w - 8.0f, y + 4.0f), Hex(0xb8c8d8));
    Fill(c, Ring(Circle(w * 0.18f, h * 0.5f, 6), 1.5f), Hex(0xc8a060));
    return {c, m};
}

Mask CircleShapes(int size, int count)
{
    Mask strip(size, size * count);
    for (int i = 0; i < count; ++i) {
        Mask m(size, size);
        float c = size * 0.5f, r = size * 0.5f - 2;
        const float weight = 0.45f; // translucent: the picture shows through
        switch (i % 8) {
        case 0: Stamp(m, Circle(c, c, r), weight); break;
        case 1: Stamp(m, Ring(Circle(c, c, r - 3), 3), weight); break;
        case 2: Stamp(m, Subtract(Circle(c, c, r), Circle(c + r * 0.4f, c - r * 0.2f, r * 0.85f)), weight); break;
        case 3:
            Stamp(m, Ring(Circle(c, c, r - 2), 2), weight);
            Stamp(m, Circle(c, c, r * 0.35f), weight);
            break;
        case 4:
            for (int k = 0; k < 12; ++k) {
                float a = k * kPi / 6;
                Stamp(m, Circle(c + std::cos(a) * (r - 4), c + std::sin(a) * (r - 4), 3.5f), weight);
            }
            break;
        case 5: Stamp(m, Ring(Circle(c, c, r * 0.7f), r * 0.3f), weight); break;
        case 6:
            Stamp(m, Circle(c - 8, c - 6, 9), weight);
            Stamp(m, Circle(c + 9, c + 2, 12), weight);
            Stamp(m, Circle(c - 4, c + 12, 7), weight);
            break;
        default: Stamp(m, Intersect(Circle(c, c, r), Box(0, c, float(size), float(size))), weight); break;
        }
        Place(strip, m, 0, i * size);
    }
    return strip;
}

Indexed GridPattern(int w, int h, int stage)
{
    // Weights: 255 keeps the picture, 0 turns it black. Each stage is darker,
    // the last nearly black.
    Indexed img;
    img.w = w;
    img.h = h;
    img.palette.resize(768);
    for (int i = 0; i < 256; ++i)
        img.palette[3 * i] = img.palette[3 * i + 1] = img.palette[3 * i + 2] = uint8_t(i);
    img.index.resize(size_t(w) * h);
    const float line[4] = {2.0f, 5.0f, 11.0f, 30.0f};
    const float floorV[4] = {70, 40, 15, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // A diamond lattice whose cells are one tile: it tiles seamlessly.
            float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
            float du = std::fabs(u - 0.5f) * w, dv = std::fabs(v - 0.5f) * h * (float(w) / h);
            float d = std::fabs(du + dv - w * 0.5f) / std::sqrt(2.0f);
            float k = Smooth(line[stage], line[stage] + 2.5f, d);
            float dot = std::hypot(du, dv) < 3.0f + stage * 3 ? 0.0f : 1.0f;
            float val = floorV[stage] + (255.0f - floorV[stage]) * k * dot;
            if (stage == 3)
                val *= 0.25f;
            img.index[size_t(y) * w + x] = uint8_t(std::lround(std::min(255.0f, std::max(0.0f, val))));
        }
    return img;
}

Indexed PaletteRamp(int which)
{
    const uint32_t stops[5][3] = {{0x1a1008, 0x8a5a30, 0xfff0d8},
                                  {0x06142a, 0x2e8c8c, 0xe8ffff},
                                  {0x200800, 0xec870e, 0xfff4e0},
                                  {0x100828, 0xa000fc, 0xfbe8ff},
                                  {0x081a10, 0x4f8a5a, 0xf0fff0}};
    Indexed img;
    img.w = 256;
    img.h = 16;
    img.palette.resize(768);
    for (int i = 0; i < 256; ++i) {
        float t = i / 255.0f;
        Color c = t < 0.5f ? Mix(Hex(stops[which][0]), Hex(stops[which][1]), t * 2)
                           : Mix(Hex(stops[which][1]), Hex(stops[which][2]), (t - 0.5f) * 2);
        img.palette[3 * i] = ToByte(c.r);
        img.palette[3 * i + 1] = ToByte(c.g);
        img.palette[3 * i + 2] = ToByte(c.b);
    }
    img.index.resize(256 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 256; ++x)
            img.index[size_t(y) * 256 + x] = uint8_t(x);
    return img;
}

} // namespace qhd
