// Painting surfaces of the data generator: float colour canvases, coverage
// masks, shapes as signed distances, value noise and a seeded random source.
// Everything here is deterministic: no clock, no threads, no locale.
#pragma once
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace qhd {

constexpr float kPi = 3.14159265358979f;

struct Color {
    float r = 0, g = 0, b = 0;
};

Color Hex(uint32_t rgb);
Color Mix(Color a, Color b, float t);
Color Scale(Color a, float k);
Color Add(Color a, Color b);
float Luma(Color c);

float Clamp01(float v);
float Smooth(float e0, float e1, float x);
inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }

// Seeded source of numbers (splitmix64): the same seed gives the same
// sequence everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed) {}
    uint32_t Next();
    float Unit();                     // [0, 1)
    float Range(float lo, float hi);  // [lo, hi)
    int Int(int lo, int hi);          // [lo, hi]
private:
    uint64_t state;
};

// Value noise in [0, 1]. A period (in lattice cells) makes the noise wrap
// so that pictures built from it tile seamlessly; 0 means no wrap.
float Noise(float x, float y, uint32_t seed, int periodX = 0, int periodY = 0);
float Fbm(float x, float y, uint32_t seed, int octaves, int periodX = 0, int periodY = 0);

// Coverage or weight per pixel, 0..1.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> v;
    Mask() = default;
    Mask(int width, int height, float fill = 0.0f) : w(width), h(height), v(size_t(width) * height, fill) {}
    float& At(int x, int y) { return v[size_t(y) * w + x]; }
    float At(int x, int y) const { return v[size_t(y) * w + x]; }
    float Sample(float x, float y) const; // bilinear, clamped to the edges
};

struct Canvas {
    int w = 0, h = 0;
    std::vector<Color> px;
    Canvas() = default;
    Canvas(int width, int height, Color fill = {}) : w(width), h(height), px(size_t(width) * height, fill) {}
    Color& At(int x, int y) { return px[size_t(y) * w + x]; }
    const Color& At(int x, int y) const { return px[size_t(y) * w + x]; }
    Color Sample(float x, float y) const; // bilinear, clamped
    void Blend(int x, int y, Color c, float a);
};

// Signed distance in pixels: negative inside, positive outside.
using Sdf = std::function<float(float x, float y)>;

Sdf Circle(float cx, float cy, float r);
Sdf Ellipse(float cx, float cy, float rx, float ry);
Sdf Box(float x0, float y0, float x1, float y1, float radius = 0.0f);
Sdf Capsule(float ax, float ay, float bx, float by, float r);
Sdf Polygon(std::vector<float> xy); // x0, y0, x1, y1, ...
Sdf Union(Sdf a, Sdf b);
Sdf Subtract(Sdf a, Sdf b);
Sdf Intersect(Sdf a, Sdf b);
Sdf Ring(Sdf shape, float halfWidth);
Sdf Rotated(Sdf s, float cx, float cy, float angle);

// Area a shape covers at one pixel, with a soft edge of `soft` pixels.
float Coverage(float d, float soft = 1.0f);

// Paints the colour over the canvas where the shape covers it.
void Fill(Canvas& c, const Sdf& s, Color col, float opacity = 1.0f, float soft = 1.0f);
// The same, visiting only the pixels of the rectangle (x0, y0)-(x1, y1).
void FillIn(Canvas& c, const Sdf& s, Color col, float x0, float y0, float x1, float y1, float opacity = 1.0f,
            float soft = 1.0f);
// Paints with a colour that depends on the position.
void FillWith(Canvas& c, const Sdf& s, const std::function<Color(float, float)>& col, float opacity = 1.0f,
              float soft = 1.0f);
// Raises the mask to at least the shape's coverage times the weight.
void Stamp(Mask& m, const Sdf& s, float weight = 1.0f, float soft = 1.0f);
// Lowers the mask where the shape covers it.
void Erase(Mask& m, const Sdf& s, float soft = 1.0f);

// Additive light with a gaussian falloff.
void Glow(Canvas& c, float cx, float cy, float radius, Color col, float strength);

void VerticalGradient(Canvas& c, const std::vector<std::pair<float, Color>>& stops);
void Grain(Canvas& c, uint32_t seed, float amount);
void Vignette(Canvas& c, float strength);
void Blur(Canvas& c, int radius);
void Blur(Mask& m, int radius);
// Lays a colour over the canvas through a mask placed at (x, y).
void Paint(Canvas& c, const Mask& m, int x, int y, Color col, float opacity = 1.0f);
Canvas Resize(const Canvas& src, int w, int h); // area average when shrinking
Mask Resize(const Mask& src, int w, int h);
Canvas Crop(const Canvas& src, int x, int y, int w, int h);
Mask Crop(const Mask& src, int x, int y, int w, int h);
void Place(Canvas& dst, const Canvas& src, int x, int y);
void Place(Mask& dst, const Mask& src, int x, int y);

// 8-bit conversions.
std::vector<uint8_t> ToRgb8(const Canvas& c);
std::vector<uint8_t> ToGray8(const Mask& m);
uint8_t ToByte(float v);

} // namespace qhd
