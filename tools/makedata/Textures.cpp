// The 3D scenes' maps: brass for the title's faces, the harbour in a curved
// mirror for its walls, a page of code for the paper gulls and the lamp
// flare. All 256 x 256, the size the rasterizers wrap at.
#include <algorithm>
#include <cmath>
#include <string>

#include "tools/makedata/Looks.h"
#include "tools/makedata/Type.h"

namespace qhd {

Canvas BrassTexture(int size)
{
    Canvas c(size, size);
    const float s = float(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // Brushing: fine streaks along x, every noise period a whole
            // number of cells across the picture, so it tiles.
            float streak = Fbm(x / s * 3.0f, y / s * 96.0f, 71, 3, 3, 96);
            float broad = Fbm(x / s * 4.0f, y / s * 4.0f, 72, 3, 4, 4);
            // A warm lamp reflection running diagonally, periodic too.
            float band = 0.5f + 0.5f * std::cos(2.0f * kPi * (x + y) / s);
            float k = 0.42f + 0.30f * streak + 0.18f * broad + 0.22f * band * band * band;
            Color dark = Hex(0x5a3a14), mid = Hex(0xb8862e), light = Hex(0xffe2a0);
            Color col = k < 0.6f ? Mix(dark, mid, Smooth(0.2f, 0.6f, k)) : Mix(mid, light, Smooth(0.6f, 1.05f, k));
            c.At(x, y) = col;
        }
    return c;
}

Canvas HarbourMirror(int size)
{
    Canvas c(size, size);
    const float h = size * 0.5f;
    // Lamps along the quay: the same seed always gives the same row.
    Rng rng(4242);
    struct Lamp {
        float x, lift, r;
        Color col;
    };
    std::vector<Lamp> lamps;
    for (int i = 0; i < 34; ++i) {
        float x = -1.0f + 2.0f * (i + rng.Range(0.15f, 0.85f)) / 34.0f;
        Color col = rng.Unit() < 0.75f ? Hex(pal::Lamp) : Hex(pal::LampLight);
        if (rng.Unit() < 0.15f)
            col = Hex(0x9fd0ff);
        lamps.push_back({x, rng.Range(0.0f, 0.05f), rng.Range(0.010f, 0.022f), col});
    }
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float nx = (x + 0.5f - h) / h, ny = (y + 0.5f - h) / h;
            float r2 = nx * nx + ny * ny;
            // The mirror bends the horizon into an arc and squeezes the edges.
            float bulge = 1.0f / (1.0f + 0.35f * r2);
            float horizon = 0.08f + 0.22f * nx * nx;
            float v = (ny - horizon) * bulge; // < 0 sky, > 0 water
            Color col;
            if (v < 0.0f) {
                float t = Clamp01(-v / 1.1f);
                col = Mix(Hex(0x2a3560), Hex(0x060914), std::sqrt(t));
                // A few stars high up.
                float star = Noise(x * 0.9f, y * 0.9f, 73);
                if (star > 0.93f && t > 0.25f)
                    col = Add(col, Scale(Hex(0xc8d4ff), (star - 0.93f) * 8.0f));
            } else {
                float t = Clamp01(v / 1.1f);
                col = Mix(Hex(0x12284a), Hex(0x03060c), std::sqrt(t));
                float ripple = Fbm(nx * 3.0f, v * 24.0f, 74, 2);
                col = Add(col, Scale(Hex(0x1f5a73), 0.25f * ripple * (1.0f - t)));
            }
            // The quay: a dark band just above the waterline.
            float quay = Smooth(-0.07f, -0.05f, v) * Smooth(0.0f, -0.01f, v);
            col = Mix(col, Hex(0x05070d), 0.85f * quay);
            for (const Lamp& l : lamps) {
                float dx = (nx - l.x) * bulge;
                // The lamp itself just above the quay...
                float dy = v + 0.065f + l.lift;
                float d2 = (dx * dx + dy * dy) / (l.r * l.r);
                if (d2 < 40.0f)
                    col = Add(col, Scale(l.col, 1.3f * std::exp(-d2) + 0.18f * std::exp(-d2 * 0.08f)));
                // ...and its reflection, a broken streak down the water.
                if (v > 0.0f && std::fabs(dx) < l.r * 2.5f) {
                    float along = v / 0.45f;
                    float broken = Noise(nx * 40.0f, v * 60.0f, 75);
                    float w = std::exp(-(dx * dx) / (l.r * l.r * 0.8f)) * std::exp(-along * 2.5f);
                    col = Add(col, Scale(l.col, 0.75f * w * Smooth(0.35f, 0.75f, broken)));
                }
            }
            // The rim of the mirror darkens.
            col = Scale(col, 1.0f - 0.45f * Smooth(0.7f, 1.45f, std::sqrt(r2)));
            c.At(x, y) = col;
        }
    return c;
}

Canvas CodePage(int size)
{
    Canvas c(size, size, Hex(0xefe6d2));
    // Paper fibre and a little foxing, tiling.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float f = Fbm(x / 32.0f, y / 32.0f, 81, 3, size / 32, size / 32);
            float fibre = Fbm(x / 4.0f, y / 64.0f, 82, 2, size / 4, size / 64);
            c.At(x, y) = Mix(Hex(0xf7f1e3), Hex(0xd9caa8), 0.55f * f + 0.2f * fibre);
        }
    static const char* const lines[] = {
        "static void wing(float t)",
        "{",
        "    float a = sin(t * 0.8f);",
        "    for (int i = 0; i < 5; i++) {",
        "        gull[i].lift += a * 0.2f;",
        "        gull[i].x -= drift;",
        "    }",
        "    if (lamp.on)",
        "        glow(lamp, 0.35f);",
        "}",
        "",
        "int main(void)",
        "{",
        "    harbour_init(640, 480);",
        "    while (!tide_out()) {",
        "        draw_sea(frame++);",
        "        fold(paper, 3);",
        "    }",
        "    return 0;",
        "}",
        "/* kittiwake, after midnight */",
    };
    const int rows = int(sizeof lines / sizeof lines[0]);
    const float lineH = float(size) / rows;
    const Color ink = Hex(pal::Ink), red = Hex(0x8a2a22), blue = Hex(0x24407a);
    const float advance = float(RenderText("M", Face::Mono, lineH * 0.82f).advance);
    for (int i = 0; i < rows; ++i) {
        std::string text = lines[i];
        if (text.empty())
            continue;
        Text t = RenderText(text, Face::Mono, lineH * 0.82f);
        Color col = ink;
        if (text.find("/*") != std::string::npos)
            col = red;
        else if (text.find("for") != std::string::npos || text.find("while") != std::string::npos ||
                 text.find("if") != std::string::npos)
            col = blue;
        int y = int(i * lineH + lineH * 0.8f) - t.baseline;
        int indent = int(text.find_first_not_of(' '));
        Paint(c, t.mask, 12 + int(indent * advance), y, col, 0.9f);
    }
    // A margin rule.
    Fill(c, Box(6.0f, 0.0f, 7.0f, float(size)), Hex(0xc06a5a), 0.5f);
    return c;
}

Canvas FlareTexture(int size)
{
    Canvas c(size, size);
    const float h = size * 0.5f;
    // Everything fades out well inside the border: past this radius the
    // picture is exactly black, so compression leaves no faint squares
    // near the edge to add up over the screen.
    const float reach = h * 0.76f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = (x + 0.5f - h) / reach, dy = (y + 0.5f - h) / reach;
            float r = std::sqrt(dx * dx + dy * dy);
            if (r >= 1.0f)
                continue;
            Color col;
            col = Add(col, Scale(Hex(0xfff8ec), 1.6f * std::exp(-r * r / 0.0030f)));  // core
            col = Add(col, Scale(Hex(0xffc070), 0.70f * std::exp(-r * r / 0.020f)));  // warm glow
            col = Add(col, Scale(Hex(0xe86a10), 0.45f * std::exp(-r * r / 0.09f)));   // orange halo
            float ring = std::exp(-(r - 0.62f) * (r - 0.62f) / 0.0012f);
            col = Add(col, Scale(Hex(0xff9a58), 0.10f * ring));                       // faint ring
            // Four soft streaks, along the axes.
            float sx = std::exp(-dy * dy / 0.00035f) * std::pow(1.0f - std::min(1.0f, std::fabs(dx)), 2.0f);
            float sy = std::exp(-dx * dx / 0.00035f) * std::pow(1.0f - std::min(1.0f, std::fabs(dy)), 2.0f);
            col = Add(col, Scale(Hex(0xffe0b0), 0.55f * (sx + sy)));
            float fade = 1.0f - Smooth(0.8f, 1.0f, r);
            col = Scale(col, fade);
            c.At(x, y) = {Clamp01(col.r), Clamp01(col.g), Clamp01(col.b)};
        }
    return c;
}

} // namespace qhd
