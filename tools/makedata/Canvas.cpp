#include "tools/makedata/Canvas.h"

#include <algorithm>

namespace qhd {

Color Hex(uint32_t rgb)
{
    return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f};
}

Color Mix(Color a, Color b, float t)
{
    return {Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t)};
}

Color Scale(Color a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Color Add(Color a, Color b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
float Luma(Color c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float Smooth(float e0, float e1, float x)
{
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

uint32_t Rng::Next()
{
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return uint32_t((z ^ (z >> 31)) >> 32);
}

float Rng::Unit() { return (Next() >> 8) * (1.0f / 16777216.0f); }
float Rng::Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
int Rng::Int(int lo, int hi) { return lo + int(Next() % uint32_t(hi - lo + 1)); }

static float Lattice(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffffff) * (1.0f / 16777215.0f);
}

static int Wrap(int v, int period)
{
    if (period <= 0)
        return v;
    int m = v % period;
    return m < 0 ? m + period : m;
}

float Noise(float x, float y, uint32_t seed, int periodX, int periodY)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    int x0 = Wrap(ix, periodX), x1 = Wrap(ix + 1, periodX);
    int y0 = Wrap(iy, periodY), y1 = Wrap(iy + 1, periodY);
    float a = Lattice(x0, y0, seed), b = Lattice(x1, y0, seed);
    float c = Lattice(x0, y1, seed), d = Lattice(x1, y1, seed);
    return Lerp(Lerp(a, b, tx), Lerp(c, d, tx), ty);
}

float Fbm(float x, float y, uint32_t seed, int octaves, int periodX, int periodY)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * Noise(x, y, seed + o * 101u, periodX, periodY);
        norm += amp;
        x *= 2;
        y *= 2;
        periodX *= 2;
        periodY *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

float Mask::Sample(float x, float y) const
{
    x = std::min(std::max(x, 0.0f), float(w - 1));
    y = std::min(std::max(y, 0.0f), float(h - 1));
    int x0 = int(x), y0 = int(y);
    int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    float tx = x - x0, ty = y - y0;
    return Lerp(Lerp(At(x0, y0), At(x1, y0), tx), Lerp(At(x0, y1), At(x1, y1), tx), ty);
}

Color Canvas::Sample(float x, float y) const
{
    x = std::min(std::max(x, 0.0f), float(w - 1));
    y = std::min(std::max(y, 0.0f), float(h - 1));
    int x0 = int(x), y0 = int(y);
    int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
    float tx = x - x0, ty = y - y0;
    return Mix(Mix(At(x0, y0), At(x1, y0), tx), Mix(At(x0, y1), At(x1, y1), tx), ty);
}

void Canvas::Blend(int x, int y, Color c, float a)
{
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0)
        return;
    Color& d = At(x, y);
    d = Mix(d, c, std::min(a, 1.0f));
}

Sdf Circle(float cx, float cy, float r)
{
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Sdf Ellipse(float cx, float cy, float rx, float ry)
{
    return [=](float x, float y) {
        float nx = (x - cx) / rx, ny = (y - cy) / ry;
        float k = std::sqrt(nx * nx + ny * ny);
        return (k - 1.0f) * std::min(rx, ry);
    };
}

Sdf Box(float x0, float y0, float x1, float y1, float radius)
{
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    return [=](float x, float y) {
        float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
        return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0f) - radius;
    };
}

Sdf Capsule(float ax, float ay, float bx, float by, float r)
{
    return [=](float x, float y) {
        float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
        float len2 = dx * dx + dy * dy;
        float t = len2 > 0 ? Clamp01((px * dx + py * dy) / len2) : 0.0f;
        return std::hypot(px - dx * t, py - dy * t) - r;
    };
}

Sdf Polygon(std::vector<float> xy)
{
    return [xy](float x, float y) {
        size_t n = xy.size() / 2;
        float d = 1e30f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
            float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
            float len2 = ex * ex + ey * ey;
            float t = len2 > 0 ? Clamp01((wx * ex + wy * ey) / len2) : 0.0f;
            float qx = wx - ex * t, qy = wy - ey * t;
            d = std::min(d, qx * qx + qy * qy);
            if ((ay > y) != (by > y) && x < ax + (y - ay) * ex / ey)
                inside = !inside;
        }
        d = std::sqrt(d);
        return inside ? -d : d;
    };
}

Sdf Union(Sdf a, Sdf b)
{
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Sdf Subtract(Sdf a, Sdf b)
{
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf Intersect(Sdf a, Sdf b)
{
    return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Sdf Ring(Sdf s, float halfWidth)
{
    return [=](float x, float y) { return std::fabs(s(x, y)) - halfWidth; };
}

Sdf Rotated(Sdf s, float cx, float cy, float angle)
{
    float c = std::cos(-angle), sn = std::sin(-angle);
    return [=](float x, float y) {
        float dx = x - cx, dy = y - cy;
        return s(cx + dx * c - dy * sn, cy + dx * sn + dy * c);
    };
}

float Coverage(float d, float soft) { return Clamp01(0.5f - d / soft); }

void Fill(Canvas& c, const Sdf& s, Color col, float opacity, float soft)
{
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float a = Coverage(s(x + 0.5f, y + 0.5f), soft) * opacity;
            if (a > 0)
                c.Blend(x, y, col, a);
        }
}

void FillIn(Canvas& c, const Sdf& s, Color col, float x0, float y0, float x1, float y1, float opacity, float soft)
{
    int ix0 = std::max(0, int(std::floor(x0)) - 2), iy0 = std::max(0, int(std::floor(y0)) - 2);
    int ix1 = std::min(c.w - 1, int(std::ceil(x1)) + 2), iy1 = std::min(c.h - 1, int(std::ceil(y1)) + 2);
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            float a = Coverage(s(x + 0.5f, y + 0.5f), soft) * opacity;
            if (a > 0)
                c.Blend(x, y, col, a);
        }
}

void FillWith(Canvas& c, const Sdf& s, const std::function<Color(float, float)>& col, float opacity, float soft)
{
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float a = Coverage(s(x + 0.5f, y + 0.5f), soft) * opacity;
            if (a > 0)
                c.Blend(x, y, col(x + 0.5f, y + 0.5f), a);
        }
}

void Stamp(Mask& m, const Sdf& s, float weight, float soft)
{
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float a = Coverage(s(x + 0.5f, y + 0.5f), soft) * weight;
            m.At(x, y) = std::max(m.At(x, y), a);
        }
}

void Erase(Mask& m, const Sdf& s, float soft)
{
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            m.At(x, y) *= 1.0f - Coverage(s(x + 0.5f, y + 0.5f), soft);
}

void Glow(Canvas& c, float cx, float cy, float radius, Color col, float strength)
{
    int x0 = std::max(0, int(cx - radius * 3)), x1 = std::min(c.w - 1, int(cx + radius * 3));
    int y0 = std::max(0, int(cy - radius * 3)), y1 = std::min(c.h - 1, int(cy + radius * 3));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float dx = (x + 0.5f - cx) / radius, dy = (y + 0.5f - cy) / radius;
            float k = strength * std::exp(-(dx * dx + dy * dy));
            c.At(x, y) = Add(c.At(x, y), Scale(col, k));
        }
}

void VerticalGradient(Canvas& c, const std::vector<std::pair<float, Color>>& stops)
{
    for (int y = 0; y < c.h; ++y) {
        float t = c.h > 1 ? float(y) / (c.h - 1) : 0.0f;
        Color col = stops.front().second;
        for (size_t i = 1; i < stops.size(); ++i)
            if (t <= stops[i].first) {
                float span = stops[i].first - stops[i - 1].first;
                float k = span > 0 ? (t - stops[i - 1].first) / span : 1.0f;
                col = Mix(stops[i - 1].second, stops[i].second, Smooth(0, 1, k));
                break;
            } else {
                col = stops[i].second;
            }
        for (int x = 0; x < c.w; ++x)
            c.At(x, y) = col;
    }
}

void Grain(Canvas& c, uint32_t seed, float amount)
{
    Rng rng(seed);
    for (auto& p : c.px) {
        float n = (rng.Unit() - 0.5f) * amount;
        p = Add(p, {n, n, n});
    }
}

void Vignette(Canvas& c, float strength)
{
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            float dx = (x + 0.5f) / c.w * 2 - 1, dy = (y + 0.5f) / c.h * 2 - 1;
            float k = 1.0f - strength * Smooth(0.3f, 1.6f, dx * dx + dy * dy);
            c.At(x, y) = Scale(c.At(x, y), k);
        }
}

// One box pass along rows then columns; three passes approach a gaussian.
template <class T, class AddF, class ScaleF>
static void BoxBlur(std::vector<T>& px, int w, int h, int r, AddF add, ScaleF scale)
{
    if (r <= 0)
        return;
    std::vector<T> tmp(px.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                T sum{};
                for (int k = -r; k <= r; ++k)
                    sum = add(sum, px[size_t(y) * w + std::min(std::max(x + k, 0), w - 1)]);
                tmp[size_t(y) * w + x] = scale(sum, 1.0f / (2 * r + 1));
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                T sum{};
                for (int k = -r; k <= r; ++k)
                    sum = add(sum, tmp[size_t(std::min(std::max(y + k, 0), h - 1)) * w + x]);
                px[size_t(y) * w + x] = scale(sum, 1.0f / (2 * r + 1));
            }
    }
}

void Blur(Canvas& c, int radius)
{
    BoxBlur(c.px, c.w, c.h, radius, [](Color a, Color b) { return Add(a, b); },
            [](Color a, float k) { return Scale(a, k); });
}

void Blur(Mask& m, int radius)
{
    BoxBlur(m.v, m.w, m.h, radius, [](float a, float b) { return a + b; }, [](float a, float k) { return a * k; });
}

void Paint(Canvas& c, const Mask& m, int x, int y, Color col, float opacity)
{
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i)
            c.Blend(x + i, y + j, col, m.At(i, j) * opacity);
}

template <class Img, class T>
static Img ResizeArea(const Img& src, int w, int h, T zero)
{
    Img out(w, h);
    float sx = float(src.w) / w, sy = float(src.h) / h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (sx <= 1.0f && sy <= 1.0f) {
                if constexpr (std::is_same_v<Img, Canvas>)
                    out.px[size_t(y) * w + x] = src.Sample((x + 0.5f) * sx - 0.5f, (y + 0.5f) * sy - 0.5f);
                else
                    out.v[size_t(y) * w + x] = src.Sample((x + 0.5f) * sx - 0.5f, (y + 0.5f) * sy - 0.5f);
                continue;
            }
            int x0 = int(x * sx), x1 = std::max(x0 + 1, int((x + 1) * sx));
            int y0 = int(y * sy), y1 = std::max(y0 + 1, int((y + 1) * sy));
            T sum = zero;
            int n = 0;
            for (int j = y0; j < y1 && j < src.h; ++j)
                for (int i = x0; i < x1 && i < src.w; ++i, ++n) {
                    if constexpr (std::is_same_v<Img, Canvas>)
                        sum = Add(sum, src.At(i, j));
                    else
                        sum += src.At(i, j);
                }
            if constexpr (std::is_same_v<Img, Canvas>)
                out.px[size_t(y) * w + x] = Scale(sum, 1.0f / std::max(n, 1));
            else
                out.v[size_t(y) * w + x] = sum / std::max(n, 1);
        }
    return out;
}

Canvas Resize(const Canvas& src, int w, int h) { return ResizeArea(src, w, h, Color{}); }
Mask Resize(const Mask& src, int w, int h) { return ResizeArea(src, w, h, 0.0f); }

Canvas Crop(const Canvas& src, int x, int y, int w, int h)
{
    Canvas out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            out.At(i, j) = src.At(std::min(std::max(x + i, 0), src.w - 1), std::min(std::max(y + j, 0), src.h - 1));
    return out;
}

Mask Crop(const Mask& src, int x, int y, int w, int h)
{
    Mask out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            int sx = x + i, sy = y + j;
            out.At(i, j) = (sx < 0 || sy < 0 || sx >= src.w || sy >= src.h) ? 0.0f : src.At(sx, sy);
        }
    return out;
}

void Place(Canvas& dst, const Canvas& src, int x, int y)
{
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i)
            if (x + i >= 0 && y + j >= 0 && x + i < dst.w && y + j < dst.h)
                dst.At(x + i, y + j) = src.At(i, j);
}

void Place(Mask& dst, const Mask& src, int x, int y)
{
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i)
            if (x + i >= 0 && y + j >= 0 && x + i < dst.w && y + j < dst.h)
                dst.At(x + i, y + j) = src.At(i, j);
}

uint8_t ToByte(float v) { return uint8_t(std::lround(Clamp01(v) * 255.0f)); }

std::vector<uint8_t> ToRgb8(const Canvas& c)
{
    std::vector<uint8_t> out;
    out.reserve(c.px.size() * 3);
    for (const Color& p : c.px) {
        out.push_back(ToByte(p.r));
        out.push_back(ToByte(p.g));
        out.push_back(ToByte(p.b));
    }
    return out;
}

std::vector<uint8_t> ToGray8(const Mask& m)
{
    std::vector<uint8_t> out(m.v.size());
    for (size_t i = 0; i < m.v.size(); ++i)
        out[i] = ToByte(m.v[i]);
    return out;
}

} // namespace qhd
