// Ear clipping of letter outlines: holes are joined to their outer contour
// by a bridge to the nearest vertex that sees them, then ears are cut off
// the one polygon that remains.
#include <algorithm>
#include <cmath>

#include "tools/makedata/Scenes.h"

namespace qhd {

namespace {

using P = std::array<float, 2>;

float Cross(const P& o, const P& a, const P& b) { return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]); }

float Area(const std::vector<P>& pts, const std::vector<int>& ring)
{
    float a = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const P& p = pts[size_t(ring[i])];
        const P& q = pts[size_t(ring[(i + 1) % ring.size()])];
        a += p[0] * q[1] - q[0] * p[1];
    }
    return a * 0.5f;
}

bool Inside(const std::vector<P>& pts, const std::vector<int>& ring, const P& p)
{
    bool in = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const P& a = pts[size_t(ring[i])];
        const P& b = pts[size_t(ring[j])];
        if ((a[1] > p[1]) != (b[1] > p[1]) && p[0] < (b[0] - a[0]) * (p[1] - a[1]) / (b[1] - a[1]) + a[0])
            in = !in;
    }
    return in;
}

bool Same(const P& a, const P& b) { return a[0] == b[0] && a[1] == b[1]; }

// Proper crossing of segments ab and cd (touching at shared ends is not one).
bool Crosses(const P& a, const P& b, const P& c, const P& d)
{
    if (Same(a, c) || Same(a, d) || Same(b, c) || Same(b, d))
        return false;
    float d1 = Cross(a, b, c), d2 = Cross(a, b, d), d3 = Cross(c, d, a), d4 = Cross(c, d, b);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

bool InTriangle(const P& p, const P& a, const P& b, const P& c)
{
    return Cross(a, b, p) >= 0 && Cross(b, c, p) >= 0 && Cross(c, a, p) >= 0;
}

} // namespace

std::vector<std::array<int, 3>> TriangulateOutline(const std::vector<Contour>& contours)
{
    std::vector<P> pts;
    std::vector<std::vector<int>> rings;
    for (const Contour& c : contours) {
        std::vector<int> ring;
        for (const auto& p : c) {
            ring.push_back(int(pts.size()));
            pts.push_back(p);
        }
        rings.push_back(ring);
    }
    // Nesting depth decides outer (even) and hole (odd).
    const size_t n = rings.size();
    std::vector<int> depth(n, 0), owner(n, -1);
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            if (i != j && Inside(pts, rings[j], pts[size_t(rings[i][0])])) {
                depth[i]++;
                if (owner[i] < 0 || std::fabs(Area(pts, rings[j])) < std::fabs(Area(pts, rings[size_t(owner[i])])))
                    owner[i] = int(j);
            }
    std::vector<std::array<int, 3>> tris;
    for (size_t o = 0; o < n; ++o) {
        if (depth[o] % 2)
            continue;
        std::vector<int> poly = rings[o];
        if (Area(pts, poly) < 0)
            std::reverse(poly.begin(), poly.end());
        std::vector<std::vector<int>> holes;
        for (size_t h = 0; h < n; ++h)
            if (depth[h] % 2 && owner[h] == int(o)) {
                std::vector<int> ring = rings[h];
                if (Area(pts, ring) > 0)
                    std::reverse(ring.begin(), ring.end());
                holes.push_back(ring);
            }
        // Rightmost holes first, each bridged from its rightmost vertex.
        auto rightmost = [&](const std::vector<int>& r) {
            size_t best = 0;
            for (size_t i = 1; i < r.size(); ++i)
                if (pts[size_t(r[i])][0] > pts[size_t(r[best])][0])
                    best = i;
            return best;
        };
        std::sort(holes.begin(), holes.end(), [&](const std::vector<int>& a, const std::vector<int>& b) {
            return pts[size_t(a[rightmost(a)])][0] > pts[size_t(b[rightmost(b)])][0];
        });
        for (size_t h = 0; h < holes.size(); ++h) {
            const std::vector<int>& hole = holes[h];
            size_t m = rightmost(hole);
            const P& mp = pts[size_t(hole[m])];
            int bestAt = -1;
            float bestD = 0;
            for (size_t v = 0; v < poly.size(); ++v) {
                const P& vp = pts[size_t(poly[v])];
                float d = (vp[0] - mp[0]) * (vp[0] - mp[0]) + (vp[1] - mp[1]) * (vp[1] - mp[1]);
                if (bestAt >= 0 && d >= bestD)
                    continue;
                bool clear = true;
                auto blocks = [&](const std::vector<int>& r) {
                    for (size_t i = 0; i < r.size() && clear; ++i)
                        if (Crosses(mp, vp, pts[size_t(r[i])], pts[size_t(r[(i + 1) % r.size()])]))
                            clear = false;
                };
                blocks(poly);
                for (size_t k = h; k < holes.size(); ++k)
                    blocks(holes[k]);
                // The bridge must run inside the polygon.
                P mid{(mp[0] + vp[0]) * 0.5f, (mp[1] + vp[1]) * 0.5f};
                if (clear && Inside(pts, poly, mid) && !Inside(pts, hole, mid)) {
                    bestAt = int(v);
                    bestD = d;
                }
            }
            if (bestAt < 0)
                continue; // cannot happen for a proper outline; the hole is filled instead
            std::vector<int> merged(poly.begin(), poly.begin() + bestAt + 1);
            for (size_t i = 0; i <= hole.size(); ++i)
                merged.push_back(hole[(m + i) % hole.size()]);
            merged.insert(merged.end(), poly.begin() + bestAt, poly.end());
            poly = merged;
        }
        // Ear clipping.
        while (poly.size() > 3) {
            const size_t k = poly.size();
            size_t ear = k;
            for (size_t i = 0; i < k && ear == k; ++i) {
                const P& a = pts[size_t(poly[(i + k - 1) % k])];
                const P& b = pts[size_t(poly[i])];
                const P& c = pts[size_t(poly[(i + 1) % k])];
                if (Cross(a, b, c) <= 0)
                    continue;
                bool empty = true;
                for (size_t j = 0; j < k && empty; ++j) {
                    const P& p = pts[size_t(poly[j])];
                    if (Same(p, a) || Same(p, b) || Same(p, c))
                        continue;
                    if (InTriangle(p, a, b, c))
                        empty = false;
                }
                if (empty)
                    ear = i;
            }
            if (ear == k) {
                // Only degenerate corners are left: cut the flattest one.
                float best = -1e30f;
                for (size_t i = 0; i < k; ++i) {
                    float c = Cross(pts[size_t(poly[(i + k - 1) % k])], pts[size_t(poly[i])], pts[size_t(poly[(i + 1) % k])]);
                    if (c > best) {
                        best = c;
                        ear = i;
                    }
                }
            }
            int a = poly[(ear + k - 1) % k], b = poly[ear], c = poly[(ear + 1) % k];
            if (Cross(pts[size_t(a)], pts[size_t(b)], pts[size_t(c)]) > 1e-6f)
                tris.push_back({a, b, c});
            poly.erase(poly.begin() + long(ear));
        }
        if (poly.size() == 3 && Cross(pts[size_t(poly[0])], pts[size_t(poly[1])], pts[size_t(poly[2])]) > 1e-6f)
            tris.push_back({poly[0], poly[1], poly[2]});
    }
    return tris;
}

} // namespace qhd
