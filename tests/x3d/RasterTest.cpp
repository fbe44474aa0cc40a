// The 36 fillers against an independent reference rasterizer, meshes that
// must come out watertight, the depth test, wireframe lines and lens flares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "X2d/X2d.h"
#include "X3d/Polygons.h"
#include "X3d/Raster.h"
#include "X3d/X3d.h"
#include "tests/x3d/RenderTarget.h"

namespace {

using qh3d::GuardedTarget;

const uint32_t kBackground = 0x00102030;
const uint8_t kRed = 200, kGreen = 120, kBlue = 60;

// Texel (u, v) names itself: red u, green v, blue a marker that keeps
// every additive sum visible.
std::vector<uint32_t> selfTexture()
{
    std::vector<uint32_t> t(65536);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++)
            t[(size_t)v * 256 + u] = (uint32_t)u << 16 | (uint32_t)v << 8 | 0x80;
    return t;
}

class Raster : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        x3dInit(640, 480, nullptr);
        x2dInit(640, 480);
        x3dSetFogColor(90.0f, 160.0f, 220.0f);
    }
    void SetUp() override
    {
        memset(&cam, 0, sizeof cam);
        x3dSetScreenSize(640, 480);
        g_x3d.pixelCount = 640 * 480;
    }
    void TearDown() override
    {
        g_x3d.zbuffer = nullptr; // the targets' buffers go with the test
        g_x3d.zbufferPixels = 0;
        g_x3d.camera = nullptr;
    }
    x3dCamera cam;
};

// Camera-space point that the fillers project to (sx, sy) at depth z,
// nudged float by float until the projection lands exactly on it.
void placeVertex(x3dPolyVertex& p, double sx, double sy, float z, const x3dCamera& cam)
{
    const float cx = cam.centreX, cy = cam.centreY, kx = cx - 0.1f, ky = cy - 0.1f;
    p.z = z;
    const float r = 1.0f / z;
    float x = (float)((sx + 0.5 - cx) * z / kx), y = (float)((cy - sy - 0.5) * z / ky);
    for (int i = 0; i < 64; i++) {
        double got = cx + x * r * kx - 0.5f;
        if (got == (float)sx)
            break;
        x = nextafterf(x, got < sx ? INFINITY : -INFINITY);
    }
    for (int i = 0; i < 64; i++) {
        double got = cy - y * r * ky - 0.5f;
        if (got == (float)sy)
            break;
        y = nextafterf(y, got > sy ? INFINITY : -INFINITY);
    }
    p.x = x;
    p.y = y;
}

// The reference: exact geometry in double on the 16.16 vertices the filler
// used, the top-left rule at pixel centres, barycentric attributes.
struct RefTri {
    double X[3], Y[3];
    double area;

    explicit RefTri(const x3dPolygon& poly, int a = 0, int b = 1, int c = 2)
    {
        const int idx[3] = {a, b, c};
        for (int i = 0; i < 3; i++) {
            X[i] = std::llround((double)poly.v[idx[i]].screenX * 65536.0) / 65536.0;
            Y[i] = std::llround((double)poly.v[idx[i]].screenY * 65536.0) / 65536.0;
        }
        area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    }

    // 1 covered, 0 not, -1 the centre lies within 1/256 pixel of an edge.
    int cover(double px, double py) const
    {
        if (area == 0.0)
            return 0;
        for (int i = 0; i < 3; i++) {
            int j = (i + 1) % 3;
            double ex = X[j] - X[i], ey = Y[j] - Y[i];
            double len2 = ex * ex + ey * ey;
            double t = len2 > 0 ? std::clamp(((px - X[i]) * ex + (py - Y[i]) * ey) / len2, 0.0, 1.0) : 0.0;
            double dx = px - (X[i] + t * ex), dy = py - (Y[i] + t * ey);
            if (dx * dx + dy * dy < 1.0 / (256.0 * 256.0))
                return -1;
        }
        int o[3] = {0, 1, 2};
        std::sort(o, o + 3, [&](int p, int q) { return Y[p] < Y[q]; });
        double x0 = X[o[0]], y0 = Y[o[0]], x1 = X[o[1]], y1 = Y[o[1]], x2 = X[o[2]], y2 = Y[o[2]];
        if (!(py >= y0 && py < y2))
            return 0;
        double xLong = x0 + (py - y0) * (x2 - x0) / (y2 - y0);
        double xShort = py < y1 ? x0 + (py - y0) * (x1 - x0) / (y1 - y0) : x1 + (py - y1) * (x2 - x1) / (y2 - y1);
        double cross = (x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0);
        double left = cross > 0 ? xLong : xShort, right = cross > 0 ? xShort : xLong;
        return left <= px && px < right ? 1 : 0;
    }

    void weights(double px, double py, double w[3]) const
    {
        w[0] = ((X[1] - px) * (Y[2] - py) - (X[2] - px) * (Y[1] - py)) / area;
        w[1] = ((X[2] - px) * (Y[0] - py) - (X[0] - px) * (Y[2] - py)) / area;
        w[2] = 1.0 - w[0] - w[1];
    }
};

const uint8_t* modulateRow(int i, bool fullLight)
{
    static uint8_t identity[256];
    for (int k = 0; k < 256; k++)
        identity[k] = (uint8_t)k;
    return fullLight && i == 255 ? identity : g_x3d.modulate + i * 256;
}

uint32_t modulate(uint32_t c, int i, bool fullLight)
{
    const uint8_t* m = modulateRow(i, fullLight);
    return (uint32_t)m[(c >> 16) & 255] << 16 | (uint32_t)m[(c >> 8) & 255] << 8 | m[c & 255];
}

uint32_t fog(uint32_t c, int f)
{
    return (uint32_t)g_x3d.fogTables[0][f * 256 + ((c >> 16) & 255)] << 16 |
           (uint32_t)g_x3d.fogTables[1][f * 256 + ((c >> 8) & 255)] << 8 | g_x3d.fogTables[2][f * 256 + (c & 255)];
}

uint32_t addSat(uint32_t d, uint32_t s)
{
    uint32_t out = d & 0xFF000000u;
    for (int sh = 0; sh < 24; sh += 8)
        out |= (uint32_t)std::min(255u, ((d >> sh) & 255) + ((s >> sh) & 255)) << sh;
    return out;
}

int clampIndex(int i) { return i < 0 ? 0 : i > 255 ? 255 : i; }

// Whether the pixel is what the kind paints for attributes within the
// fixed-point step of the reference values.
bool colourAgrees(int kind, bool add, uint32_t got, const double shade, const double light, double u, double v,
                  int flatIndex, int uvTolerance)
{
    const uint32_t colour = (uint32_t)kRed << 16 | (uint32_t)kGreen << 8 | kBlue;
    auto accept = [&](uint32_t c) {
        uint32_t want = add ? addSat(kBackground, c & 0xFFFFFF) : c;
        return want == got;
    };
    if (kind == X3D_FILL_FLAT)
        return accept(modulate(colour, flatIndex, false));
    const int is = (int)std::floor(shade), il = (int)std::floor(light);
    const int iu = (int)std::floor(u), iv = (int)std::floor(v);
    const bool textured = kind >= X3D_FILL_TEX;
    const int ut = textured ? uvTolerance : 0;
    for (int ds = -1; ds <= 1; ds++)
        for (int dl = -1; dl <= 1; dl++)
            for (int du = -ut; du <= ut; du++)
                for (int dv = -ut; dv <= ut; dv++) {
                    int s = clampIndex(is + ds), l = clampIndex(il + dl);
                    uint32_t t = (uint32_t)((iu + du) & 255) << 16 | (uint32_t)((iv + dv) & 255) << 8 | 0x80;
                    uint32_t c = 0;
                    switch (kind) {
                    case X3D_FILL_GOURAUD: c = modulate(colour, s, true); break;
                    case X3D_FILL_FOG: c = fog(modulate(colour, l, true), s); break;
                    case X3D_FILL_TEX:
                    case X3D_FILL_TEXP: c = t; break;
                    case X3D_FILL_TEX_LIT: c = modulate(t, s, true); break;
                    case X3D_FILL_TEXP_LIT: c = modulate(t, s, false); break;
                    default: c = fog(t, s); break;
                    }
                    if (accept(c))
                        return true;
                }
    return false;
}

struct RandomTri {
    double sx[3], sy[3];
    float z[3], shade[3], light[3], u[3], v[3];
};

// Random triangles over a 160 x 120 viewport and its surroundings:
// anywhere, slivers, horizontal and vertical edges, vertices on pixel
// centres and edges through them.
std::vector<RandomTri> randomTriangles(int count, uint32_t seed, bool gentleDepth)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> X(-30, 190), Y(-30, 150);
    std::uniform_int_distribution<int> IX(-5, 165), IY(-5, 125), kindOf(0, 5);
    std::uniform_real_distribution<float> Z(gentleDepth ? 2.0f : 1.0f, gentleDepth ? 3.0f : 8.0f);
    std::uniform_real_distribution<float> S(40.0f, 255.0f), UV(-300.0f, 600.0f), small(-3.0f, 3.0f);
    std::vector<RandomTri> out;
    for (int n = 0; n < count; n++) {
        RandomTri t;
        int kind = kindOf(rng);
        for (int i = 0; i < 3; i++) {
            t.sx[i] = X(rng);
            t.sy[i] = Y(rng);
        }
        if (kind == 1) { // sliver
            t.sx[1] = t.sx[0] + small(rng);
            t.sy[1] = t.sy[0] + small(rng) * 20;
            t.sx[2] = t.sx[0] + (t.sx[1] - t.sx[0]) * 7 + small(rng) * 0.05;
            t.sy[2] = t.sy[0] + (t.sy[1] - t.sy[0]) * 7 + small(rng) * 0.05;
        } else if (kind == 2) { // horizontal and vertical edges
            t.sy[1] = t.sy[0];
            t.sx[2] = t.sx[1];
        } else if (kind >= 3) { // pixel centres, edges through centres
            for (int i = 0; i < 3; i++) {
                t.sx[i] = IX(rng);
                t.sy[i] = IY(rng);
            }
            if (kind == 4) {
                t.sx[1] = t.sx[0] + 2 * (IX(rng) % 20);
                t.sy[1] = t.sy[0] + (IY(rng) % 20);
            }
        }
        // Maps up to a texel a pixel, anywhere from -300 to 600.
        std::uniform_real_distribution<float> density(-1.0f, 1.0f);
        const float baseU = UV(rng), baseV = UV(rng), a = density(rng), b = density(rng), c = density(rng),
                    d = density(rng);
        for (int i = 0; i < 3; i++) {
            t.z[i] = Z(rng);
            t.shade[i] = S(rng);
            t.light[i] = S(rng);
            t.u[i] = baseU + a * (float)t.sx[i] + b * (float)t.sy[i] + small(rng);
            t.v[i] = baseV + c * (float)t.sx[i] + d * (float)t.sy[i] + small(rng);
        }
        out.push_back(t);
    }
    return out;
}

x3dPolygon polygonOf(const RandomTri& t, const x3dCamera& cam)
{
    x3dPolygon p{};
    p.count = 3;
    for (int i = 0; i < 3; i++) {
        placeVertex(p.v[i], t.sx[i], t.sy[i], t.z[i], cam);
        p.v[i].shade = t.shade[i];
        p.v[i].u = t.u[i];
        p.v[i].v = t.v[i];
    }
    return p;
}

TEST_F(Raster, EveryFillerAgreesWithTheReference)
{
    GuardedTarget target(160, 120);
    target.install(&cam);
    std::vector<uint32_t> texels = selfTexture();
    const x3dPaint paint{kRed, kGreen, kBlue, texels.data()};
    std::vector<RandomTri> tris = randomTriangles(70, 1234, true);
    int checked = 0, ambiguous = 0;
    for (size_t n = 0; n < tris.size(); n++) {
        std::vector<uint8_t> firstCoverage;
        for (int f = 0; f < X3D_FILLERS; f++) {
            const int kind = f / 4;
            const bool add = (f & 2) != 0;
            x3dPolygon poly = polygonOf(tris[n], cam);
            if (kind == X3D_FILL_FOG) // the light rides in the u slot
                for (int i = 0; i < 3; i++)
                    poly.v[i].u = tris[n].light[i];
            target.clear(kBackground);
            for (int32_t& z : target.depth)
                z = qh3d::kGuardDepth;
            for (int y = 0; y < target.h; y++)
                for (int x = 0; x < target.w; x++)
                    target.zAt(x, y) = 2147483647;
            x3dFillers[f].fill(&poly, target.frame, &paint);
            ASSERT_EQ(target.spoiltGuards(), 0) << x3dFillers[f].name << " triangle " << n;

            RefTri ref(poly);
            std::vector<uint8_t> coverage((size_t)target.w * target.h);
            double mean = ((double)poly.v[0].shade + poly.v[1].shade + poly.v[2].shade) * 0.3333333333333333;
            int flatIndex = mean >= 255 ? 255 : mean > 0 ? (int)mean : 0;
            for (int y = 0; y < target.h; y++)
                for (int x = 0; x < target.w; x++) {
                    uint32_t got = target.at(x, y);
                    bool drawn = got != kBackground;
                    coverage[(size_t)y * target.w + x] = drawn;
                    int want = ref.cover(x, y);
                    if (want < 0) {
                        ambiguous++;
                        continue;
                    }
                    ASSERT_EQ(drawn, want == 1) << x3dFillers[f].name << " triangle " << n << " pixel " << x << "," << y;
                    if (!drawn)
                        continue;
                    double w[3];
                    ref.weights(x, y, w);
                    double shade = 0, light = 0, u = 0, v = 0, uz = 0, vz = 0, rz = 0;
                    for (int i = 0; i < 3; i++) {
                        shade += w[i] * poly.v[i].shade;
                        light += w[i] * poly.v[i].u;
                        u += w[i] * poly.v[i].u;
                        v += w[i] * poly.v[i].v;
                        double r = 1.0 / poly.v[i].z;
                        uz += w[i] * poly.v[i].u * r;
                        vz += w[i] * poly.v[i].v * r;
                        rz += w[i] * r;
                    }
                    int tolerance = 1;
                    if (kind >= X3D_FILL_TEXP) {
                        u = uz / rz;
                        v = vz / rz;
                        tolerance = 2;
                    }
                    ASSERT_TRUE(colourAgrees(kind, add, got, shade, light, u, v, flatIndex, tolerance))
                        << x3dFillers[f].name << " triangle " << n << " pixel " << x << "," << y << " u " << u
                        << " v " << v << " shade " << shade << std::hex << " got " << got;
                    checked++;
                }
            // Coverage is one rule for all: every filler draws the very same
            // pixels, the depth-tested ones included.
            if (f == 0)
                firstCoverage = coverage;
            else
                ASSERT_EQ(coverage, firstCoverage) << x3dFillers[f].name << " triangle " << n;
        }
    }
    EXPECT_GT(checked, 100000);
    EXPECT_LT(ambiguous, checked / 100);
}

// Rows walked as a float edge whose sub-pixel fraction is taken at the
// lower end lose the edge: from (0, 0.2) to (27, 2.9) the edge crosses row 1
// at x = 8, such a walk puts it near 1.35. The fillers follow the edge on
// every row, for all families alike.
TEST_F(Raster, PerspectiveEdgesFollowTheEdge)
{
    const double px = 0, py = 0.2, qx = 27, qy = 2.9;
    const int rows = (int)std::ceil(qy) - (int)std::ceil(py);
    const double step = (qx - px) / rows;
    const double lowerEndWalk = px + step * (std::ceil(qy) - qy);
    const double onEdge = px + (1.0 - py) * (qx - px) / (qy - py);
    EXPECT_NEAR(onEdge, 8.0, 1e-9);
    EXPECT_GT(std::fabs(lowerEndWalk - onEdge), 6.0);

    GuardedTarget target(64, 16);
    target.install(&cam);
    std::vector<uint32_t> texels = selfTexture();
    const x3dPaint paint{kRed, kGreen, kBlue, texels.data()};
    for (int f : {x3dFillerIndex(X3D_FILL_TEXP, false, false), x3dFillerIndex(X3D_FILL_GOURAUD, false, false)}) {
        target.clear(kBackground);
        x3dPolygon poly{};
        poly.count = 3;
        placeVertex(poly.v[0], px, py, 2.0f, cam);
        placeVertex(poly.v[1], qx, qy, 5.0f, cam);
        placeVertex(poly.v[2], 0, 10, 3.0f, cam);
        for (int i = 0; i < 3; i++)
            poly.v[i].shade = 200;
        x3dFillers[f].fill(&poly, target.frame, &paint);
        // Row 1 runs from column 0 to the last column before x = 8.
        EXPECT_NE(target.at(7, 1), kBackground) << x3dFillers[f].name;
        EXPECT_EQ(target.at(9, 1), kBackground) << x3dFillers[f].name;
    }
}

TEST_F(Raster, PerspectiveFollowsASteepPlaneAndAffineDoesNot)
{
    GuardedTarget target(320, 240);
    target.install(&cam);
    std::vector<uint32_t> texels = selfTexture();
    const x3dPaint paint{kRed, kGreen, kBlue, texels.data()};
    // A floor seen at a grazing angle: depth from 1 to 40 up the picture.
    const float corners[4][5] = {{-1.2f, -1.0f, 1.0f, 0, 0},
                                 {1.2f, -1.0f, 1.0f, 255, 0},
                                 {40.0f, 30.0f, 40.0f, 255, 255},
                                 {-40.0f, 30.0f, 40.0f, 0, 255}};
    double worst[2] = {0, 0};
    for (int family = 0; family < 2; family++) {
        target.clear(kBackground);
        x3dPolygon poly{};
        poly.count = 4;
        for (int i = 0; i < 4; i++) {
            poly.v[i].x = corners[i][0];
            poly.v[i].y = corners[i][1];
            poly.v[i].z = corners[i][2];
            poly.v[i].u = corners[i][3];
            poly.v[i].v = corners[i][4];
        }
        const int kind = family == 0 ? X3D_FILL_TEXP : X3D_FILL_TEX;
        x3dFillers[x3dFillerIndex(kind, false, false)].fill(&poly, target.frame, &paint);
        for (int t = 1; t <= 2; t++) {
            RefTri ref(poly, 0, t, t + 1);
            for (int y = 0; y < target.h; y++)
                for (int x = 0; x < target.w; x++) {
                    if (ref.cover(x, y) != 1)
                        continue;
                    double w[3];
                    ref.weights(x, y, w);
                    const int idx[3] = {0, t, t + 1};
                    double uz = 0, vz = 0, rz = 0;
                    for (int i = 0; i < 3; i++) {
                        double r = 1.0 / poly.v[idx[i]].z;
                        uz += w[i] * poly.v[idx[i]].u * r;
                        vz += w[i] * poly.v[idx[i]].v * r;
                        rz += w[i] * r;
                    }
                    uint32_t got = target.at(x, y);
                    ASSERT_NE(got, kBackground);
                    auto miss = [](double want, int have) {
                        double d = std::fabs(have - std::floor(want));
                        return std::min(d, 256 - d);
                    };
                    worst[family] = std::max(worst[family], miss(uz / rz, (got >> 16) & 255));
                    worst[family] = std::max(worst[family], miss(vz / rz, (got >> 8) & 255));
                }
        }
    }
    EXPECT_LE(worst[0], 2.0);
    EXPECT_GT(worst[1], 8.0);
}

// Random triangulations of a convex region drawn with additive fillers in
// 1/1/1 onto black: every pixel once, none twice, none missing.
TEST_F(Raster, MeshesAreWatertight)
{
    GuardedTarget target(200, 150);
    target.install(&cam);
    std::vector<uint32_t> grey(65536, 0x010101);
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f), tilt(-0.6f, 0.6f);
    struct Family {
        int kind;
        uint8_t colour;
    };
    // Flat reaches M[255][c] = (255 c) >> 8: colour 2 gives 1.
    const Family families[] = {{X3D_FILL_FLAT, 2}, {X3D_FILL_GOURAUD, 1}, {X3D_FILL_TEX, 0}, {X3D_FILL_TEXP, 0}};
    for (int round = 0; round < 12; round++) {
        // A grid of jittered points on a tilted plane; the outer rows and
        // columns stay on straight lines, so the region is convex. Odd
        // rounds reach past the view and go through the clipper, whose new
        // vertices the neighbouring faces share.
        const bool beyond = round % 2 == 1;
        const int gw = 9, gh = 7;
        const float extent = beyond ? 2.5f : 0.8f;
        const float a = tilt(rng), b = tilt(rng);
        std::vector<x3dPolyVertex> pts;
        for (int j = 0; j <= gh; j++)
            for (int i = 0; i <= gw; i++) {
                float gx = (float)i + ((i > 0 && i < gw && j > 0 && j < gh) ? jitter(rng) : 0.0f);
                float gy = (float)j + ((i > 0 && i < gw && j > 0 && j < gh) ? jitter(rng) : 0.0f);
                x3dPolyVertex p{};
                float px = (gx / gw * 2 - 1) * extent, py = (gy / gh * 2 - 1) * extent * 0.75f;
                p.z = 4.0f + a * px + b * py;
                p.x = px * p.z;
                p.y = py * p.z;
                p.u = gx * 40;
                p.v = gy * 40;
                p.shade = 255.0f;
                p.outcode = x3dOutcode(p.x, p.y, p.z);
                pts.push_back(p);
            }
        for (const Family& fam : families) {
            for (bool z : {false, true}) {
                const x3dPaint paint{fam.colour, fam.colour, fam.colour, grey.data()};
                target.clear(0);
                for (int y = 0; y < target.h; y++)
                    for (int x = 0; x < target.w; x++)
                        target.zAt(x, y) = 2147483647;
                std::vector<x3dPolygon> outline;
                for (int j = 0; j < gh; j++)
                    for (int i = 0; i < gw; i++) {
                        int p = j * (gw + 1) + i;
                        int quad[4] = {p, p + 1, p + gw + 2, p + gw + 1};
                        bool flip = ((i * 7 + j * 3 + round) % 3) == 0;
                        int tris[2][3] = {{quad[0], quad[1], quad[2]}, {quad[0], quad[2], quad[3]}};
                        if (flip) {
                            int alt[2][3] = {{quad[0], quad[1], quad[3]}, {quad[1], quad[2], quad[3]}};
                            memcpy(tris, alt, sizeof tris);
                        }
                        for (auto& t : tris) {
                            x3dPolygon poly{};
                            poly.count = 3;
                            uint32_t mask = 0;
                            for (int k = 0; k < 3; k++) {
                                poly.v[k] = pts[(size_t)t[k]];
                                mask |= poly.v[k].outcode;
                            }
                            const x3dPolygon* c = x3dClipPolygon(&poly, mask);
                            if (c->count < 3)
                                continue;
                            x3dPolygon drawn = *c;
                            x3dFillers[x3dFillerIndex(fam.kind, true, z)].fill(&drawn, target.frame, &paint);
                        }
                    }
                ASSERT_EQ(target.spoiltGuards(), 0);
                // The region: the grid's outline, as two reference triangles.
                x3dPolygon outer{};
                outer.count = 4;
                outer.v[0] = pts[0];
                outer.v[1] = pts[(size_t)gw];
                outer.v[2] = pts[(size_t)((gh + 1) * (gw + 1) - 1)];
                outer.v[3] = pts[(size_t)(gh * (gw + 1))];
                for (int k = 0; k < 4; k++) {
                    const float cx = cam.centreX, cy = cam.centreY;
                    float r = 1.0f / outer.v[k].z;
                    outer.v[k].screenX = cx + outer.v[k].x * r * (cx - 0.1f) - 0.5f;
                    outer.v[k].screenY = cy - outer.v[k].y * r * (cy - 0.1f) - 0.5f;
                }
                RefTri r1(outer, 0, 1, 2), r2(outer, 0, 2, 3);
                int overdraw = 0, cracks = 0;
                for (int y = 0; y < target.h; y++)
                    for (int x = 0; x < target.w; x++) {
                        uint32_t got = target.at(x, y);
                        if (got == 0x020202 || (got & 0xFF) > 1)
                            overdraw++;
                        int c1 = r1.cover(x, y), c2 = r2.cover(x, y);
                        bool inRegion = beyond || c1 == 1 || c2 == 1;
                        bool nearOutline = !beyond && (c1 < 0 || c2 < 0) && c1 != 1 && c2 != 1;
                        if (inRegion && !nearOutline && got != 0x010101)
                            cracks++;
                    }
                EXPECT_EQ(overdraw, 0) << "kind " << fam.kind << " z " << z << " round " << round;
                if (overdraw)
                    for (int y = 0; y < target.h; y++)
                        for (int x = 0; x < target.w; x++)
                            if ((target.at(x, y) & 0xFF) > 1) {
                                printf("at %d,%d %06x\n", x, y, target.at(x, y));
                                y = target.h;
                                break;
                            }
                EXPECT_EQ(cracks, 0) << "kind " << fam.kind << " z " << z << " round " << round;
            }
        }
    }
}

TEST_F(Raster, DepthTestKeepsTheNearerSurface)
{
    GuardedTarget target(120, 90);
    target.install(&cam);
    // Two triangles crossing each other: A leans back to the right, B to the
    // left; they meet on a vertical line near the middle.
    auto tri = [&](float zl, float zr, float shade) {
        x3dPolygon p{};
        p.count = 3;
        placeVertex(p.v[0], 10, 10, zl, cam);
        placeVertex(p.v[1], 110, 45, zr, cam);
        placeVertex(p.v[2], 10, 80, zl, cam);
        for (int i = 0; i < 3; i++)
            p.v[i].shade = shade;
        return p;
    };
    const int flat = x3dFillerIndex(X3D_FILL_GOURAUD, false, true);
    auto render = [&](bool aFirst) {
        target.clear(0);
        for (int y = 0; y < target.h; y++)
            for (int x = 0; x < target.w; x++)
                target.zAt(x, y) = 2147483647;
        x3dPaint white{255, 255, 255, nullptr};
        x3dPolygon a = tri(2.0f, 6.0f, 255), b = tri(6.0f, 2.0f, 128);
        if (aFirst) {
            x3dFillers[flat].fill(&a, target.frame, &white);
            x3dFillers[flat].fill(&b, target.frame, &white);
        } else {
            x3dFillers[flat].fill(&b, target.frame, &white);
            x3dFillers[flat].fill(&a, target.frame, &white);
        }
        std::vector<uint32_t> img;
        for (int y = 0; y < target.h; y++)
            for (int x = 0; x < target.w; x++)
                img.push_back(target.at(x, y));
        return img;
    };
    std::vector<uint32_t> ab = render(true), ba = render(false);
    EXPECT_EQ(ab, ba);
    // Left of the crossing A is nearer, right of it B, with a margin for
    // the depth's interpolation in screen space.
    EXPECT_EQ(target.at(20, 45), 0xFFFFFFu & 0xFFFFFF);
    EXPECT_EQ(target.at(95, 45), (uint32_t)(128 * 255 >> 8) * 0x010101u);
    EXPECT_EQ(ab[(size_t)45 * target.w + 20], 0xFFFFFFu);
    EXPECT_EQ(ab[(size_t)45 * target.w + 95], (uint32_t)(128 * 255 >> 8) * 0x010101u);

    // Equal depth draws, the additive fillers included, which store depth.
    for (int f = 1; f < X3D_FILLERS; f += 2) {
        target.clear(0);
        for (int y = 0; y < target.h; y++)
            for (int x = 0; x < target.w; x++)
                target.zAt(x, y) = 2147483647;
        x3dPolygon p = tri(3.0f, 3.0f, 200);
        std::vector<uint32_t> texels(65536, 0x00406080);
        x3dPaint paint{90, 90, 90, texels.data()};
        x3dFillers[f].fill(&p, target.frame, &paint);
        int32_t stored = target.zAt(40, 45);
        EXPECT_EQ(stored, 3 * 65536) << x3dFillers[f].name;
        target.clear(0);
        x3dFillers[f].fill(&p, target.frame, &paint);
        EXPECT_NE(target.at(40, 45), 0u) << x3dFillers[f].name;
        target.zAt(40, 45) = stored - 1; // nearer: kept
        target.at(40, 45) = 0;
        x3dFillers[f].fill(&p, target.frame, &paint);
        EXPECT_EQ(target.at(40, 45), 0u) << x3dFillers[f].name;
    }
}

// Every byte of every filler, locked: seeded triangles of every width (the
// spans of one to a few pixels and those that end inside a group of four
// among them) drawn over a noisy picture and a z-buffer that lets part of
// each group of four through, with texels whose fourth byte is noise, shades
// past both ends of the table, and fog in a whole-numbered colour and in one
// that is not. Picture, depths and guards reduce to one hash per filler,
// kept from the fillers as they were written one pixel at a time; any
// change of a pixel's bytes or coverage shows here.
uint64_t fnv(uint64_t h, const void* data, size_t bytes)
{
    const uint8_t* p = (const uint8_t*)data;
    for (size_t i = 0; i < bytes; i++)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

TEST_F(Raster, EveryFillerKeepsItsBytes)
{
    const uint64_t kWant[X3D_FILLERS] = {
        0x6cfca0da5dc4affbull, // x3dFillFlat
        0x2fe555f19c4513b3ull, // x3dFillFlatZ
        0x8e8101a9973449dfull, // x3dFillFlatAdd
        0xa38c584c2faf8ebbull, // x3dFillFlatAddZ
        0x394979b0ffdd78d7ull, // x3dFillGouraud
        0xb61692492aebdb07ull, // x3dFillGouraudZ
        0x55266fa95226d10full, // x3dFillGouraudAdd
        0xed027b4ab8dec203ull, // x3dFillGouraudAddZ
        0x7e8aebbea0a3c656ull, // x3dFillFog
        0x2b7ba99b397b8b9dull, // x3dFillFogZ
        0x4187d393614eda0cull, // x3dFillFogAdd
        0xee17a8a323dfad3dull, // x3dFillFogAddZ
        0x65ebfc993babe30full, // x3dFillTex
        0x1d0276a01eb19597ull, // x3dFillTexZ
        0xf6e09f6002f05933ull, // x3dFillTexAdd
        0x224e66efe21da10bull, // x3dFillTexAddZ
        0xb45a053e7b0d37d3ull, // x3dFillTexLit
        0x2065f8e2b5d3a2cfull, // x3dFillTexLitZ
        0xcbf6b2b43a4a5087ull, // x3dFillTexLitAdd
        0xd063ced4bd1206cbull, // x3dFillTexLitAddZ
        0x100e42c7f4d313bdull, // x3dFillTexFog
        0x81336f608bb34be8ull, // x3dFillTexFogZ
        0x9b3b5652c82ca3f5ull, // x3dFillTexFogAdd
        0x2ad21cc0936dcd22ull, // x3dFillTexFogAddZ
        0x7ed40c47450718c3ull, // x3dFillTexP
        0xba9be7d41fcbbd47ull, // x3dFillTexPZ
        0x84b13fe323b6196full, // x3dFillTexPAdd
        0x28a6c74cdd9379c7ull, // x3dFillTexPAddZ
        0x72bec2ce1ae1cdb7ull, // x3dFillTexPLit
        0x1b1c3aa027c8e5e3ull, // x3dFillTexPLitZ
        0x8e33e112bb107503ull, // x3dFillTexPLitAdd
        0xc6e459f5fda0757bull, // x3dFillTexPLitAddZ
        0xd4ffaab1bd8753c5ull, // x3dFillTexPFog
        0x1b2fdae455d9bf55ull, // x3dFillTexPFogZ
        0x04baad2f1d493d97ull, // x3dFillTexPFogAdd
        0x3441afa60dbb1109ull, // x3dFillTexPFogAddZ
    };
    GuardedTarget target(77, 45);
    target.install(&cam);
    std::mt19937 rng(77);
    std::vector<uint32_t> texels(65536);
    for (uint32_t& t : texels)
        t = (uint32_t)rng();
    std::vector<uint32_t> picture((size_t)target.w * target.h);
    std::vector<int32_t> depths(picture.size());
    for (size_t i = 0; i < picture.size(); i++) {
        picture[i] = (uint32_t)rng();
        depths[i] = (int32_t)(2 * 65536 + rng() % (3 * 65536)); // the triangles' depths lie in 2..5
    }
    std::uniform_real_distribution<double> X(-6, 83), Y(-6, 51), size(0.3, 14), middling(8, 40);
    std::uniform_real_distribution<float> Z(2.0f, 5.0f), S(-30.0f, 290.0f), UV(-400.0f, 700.0f), slope(-3.0f, 3.0f);
    struct Tri {
        double sx[3], sy[3];
        float z[3], shade[3], u[3], v[3];
    };
    std::vector<Tri> tris(200);
    for (size_t n = 0; n < tris.size(); n++) {
        Tri& t = tris[n];
        // Small ones, drawn a pixel at a time; middling ones whose spans run
        // a few groups of four and stop anywhere in one; every fourth
        // crosses the target, in runs of 32 for the perspective family.
        const double r = n % 4 == 0 ? 60 : n % 4 == 1 ? middling(rng) : size(rng);
        t.sx[0] = X(rng);
        t.sy[0] = Y(rng);
        const float u0 = UV(rng), v0 = UV(rng), a = slope(rng), b = slope(rng), c = slope(rng), d = slope(rng);
        for (int i = 0; i < 3; i++) {
            if (i > 0) {
                t.sx[i] = t.sx[0] + std::uniform_real_distribution<double>(-r, r)(rng);
                t.sy[i] = t.sy[0] + std::uniform_real_distribution<double>(-r, r)(rng);
            }
            t.z[i] = Z(rng);
            // Shades at and past both ends of the table: 0, 255 and the clamps.
            const int pick = (int)(rng() % 6);
            t.shade[i] = pick == 0 ? 255.0f : pick == 1 ? 0.0f : pick == 2 ? 255.9f : S(rng);
            t.u[i] = u0 + a * (float)t.sx[i] + b * (float)t.sy[i];
            t.v[i] = v0 + c * (float)t.sx[i] + d * (float)t.sy[i];
        }
    }
    const float fogColours[2][3] = {{90.0f, 160.0f, 220.0f}, {17.9f, 200.5f, 3.25f}};
    bool same = true;
    for (int f = 0; f < X3D_FILLERS; f++) {
        uint64_t h = 1469598103934665603ull;
        for (const float* fogColour : fogColours) {
            x3dSetFogColor(fogColour[0], fogColour[1], fogColour[2]);
            for (int y = 0; y < target.h; y++)
                for (int x = 0; x < target.w; x++) {
                    target.at(x, y) = picture[(size_t)y * target.w + x];
                    target.zAt(x, y) = depths[(size_t)y * target.w + x];
                }
            const x3dPaint paint{kRed, kGreen, kBlue, texels.data()};
            for (const Tri& t : tris) {
                x3dPolygon poly{};
                poly.count = 3;
                for (int i = 0; i < 3; i++) {
                    placeVertex(poly.v[i], t.sx[i], t.sy[i], t.z[i], cam);
                    poly.v[i].shade = t.shade[i];
                    poly.v[i].u = f / 4 == X3D_FILL_FOG ? std::fabs(t.u[i]) * 0.4f : t.u[i];
                    poly.v[i].v = t.v[i];
                }
                x3dFillers[f].fill(&poly, target.frame, &paint);
            }
            ASSERT_EQ(target.spoiltGuards(), 0) << x3dFillers[f].name;
            h = fnv(h, target.pixels.data(), target.pixels.size() * 4);
            h = fnv(h, target.depth.data(), target.depth.size() * 4);
        }
        if (getenv("QH_PRINT_HASHES"))
            printf("        0x%016llxull, // %s\n", (unsigned long long)h, x3dFillers[f].name);
        if (h != kWant[f]) {
            same = false;
            ADD_FAILURE() << x3dFillers[f].name << " draws other bytes: " << std::hex << h;
        }
    }
    x3dSetFogColor(90.0f, 160.0f, 220.0f);
    EXPECT_TRUE(same);
}

// The additive row of flares and fillers: every length around the groups of
// four, at every alignment, saturating per channel and keeping the
// destination's fourth byte.
TEST_F(Raster, AddRowSaturatesEachChannel)
{
    std::mt19937 rng(5);
    std::vector<uint32_t> dst(40), src(40), want(40);
    for (int n = 0; n <= 13; n++)
        for (int at = 0; at < 4; at++) {
            for (int i = 0; i < 40; i++) {
                // Bytes near both ends, so sums overflow and stay in range.
                uint32_t d = 0, s = 0;
                for (int b = 0; b < 4; b++) {
                    d |= (uint32_t)(rng() % 2 ? 200 + rng() % 56 : rng() % 60) << (8 * b);
                    s |= (uint32_t)(rng() % 2 ? 200 + rng() % 56 : rng() % 60) << (8 * b);
                }
                dst[i] = d;
                src[i] = s & 0xFFFFFF;
                want[i] = i >= at && i < at + n ? addSat(d, src[i]) : d;
            }
            x3dAddRow(dst.data() + at, src.data() + at, n);
            ASSERT_EQ(dst, want) << n << " pixels at " << at;
        }
}

// Mode 0: one pixel per step along the major axis, both ends, 8-connected.
// Other modes: each touched pixel is blended by the falloff of its true
// distance from the line.
TEST_F(Raster, LinesPlainAndSoft)
{
    GuardedTarget target(140, 105);
    target.install(&cam);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> X(0, 139), Y(0, 104);
    for (int n = 0; n < 200; n++) {
        int x0 = X(rng), y0 = Y(rng), x1 = X(rng), y1 = Y(rng);
        if (n == 0)
            x1 = x0, y1 = y0;
        x3dSetShadeTable(0, 0);
        target.clear(0);
        x3dDrawLine(x0, y0, x1, y1, 10, 20, 30, target.frame);
        int major = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        std::vector<std::pair<int, int>> lit;
        for (int y = 0; y < target.h; y++)
            for (int x = 0; x < target.w; x++)
                if (target.at(x, y)) {
                    ASSERT_EQ(target.at(x, y), 0x0A141Eu);
                    lit.push_back({x, y});
                }
        ASSERT_EQ((int)lit.size(), major + 1) << x0 << "," << y0 << " " << x1 << "," << y1;
        EXPECT_NE(target.at(x0, y0), 0u);
        EXPECT_NE(target.at(x1, y1), 0u);
        // Each pixel but the ends has a neighbour before and after it.
        for (auto [x, y] : lit) {
            int neighbours = 0;
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++)
                    if ((dx || dy) && x + dx >= 0 && x + dx < target.w && y + dy >= 0 && y + dy < target.h &&
                        target.at(x + dx, y + dy))
                        neighbours++;
            bool end = (x == x0 && y == y0) || (x == x1 && y == y1);
            EXPECT_GE(neighbours, major == 0 ? 0 : end ? 1 : 2);
        }

        x3dSetShadeTable(1, 0);
        target.clear(0);
        x3dDrawLine(x0, y0, x1, y1, 255, 255, 255, target.frame);
        double dx = x1 - x0, dy = y1 - y0, len = std::sqrt(dx * dx + dy * dy);
        for (int y = 0; y < target.h; y++)
            for (int x = 0; x < target.w; x++) {
                uint32_t got = target.at(x, y) & 255;
                if (!got)
                    continue;
                double d = len == 0 ? 0 : std::fabs(dx * (y - y0) - dy * (x - x0)) / len;
                int index = std::min(191, (int)std::lround(128 * d));
                // Blending white over black with weight a gives a - 1.
                bool agrees = false;
                for (int k = std::max(0, index - 1); k <= std::min(191, index + 1); k++)
                    agrees |= (int)got == std::max(0, g_x3d.falloff[k] - 1);
                ASSERT_TRUE(agrees) << "line " << x0 << "," << y0 << " " << x1 << "," << y1 << " pixel " << x << ","
                                    << y << " weight " << got + 1 << " index " << index;
            }
    }
    x3dSetShadeTable(1, 2);
    // Ends far outside are clipped to the viewport before the walk.
    target.clear(0);
    x3dDrawLine(-100000, 50, 100000, 52, 255, 255, 255, target.frame);
    x3dDrawLine(70, -2000000000, 71, 2000000000, 255, 255, 255, target.frame);
    EXPECT_EQ(target.spoiltGuards(), 0);
    EXPECT_NE(target.at(0, 50), 0u);
    EXPECT_NE(target.at(70, 104), 0u);
}

TEST_F(Raster, FlaresSizePlaceClipAndOcclusion)
{
    GuardedTarget target(140, 105);
    target.install(&cam);
    // Four quadrants in stored order: the first stored rows are drawn at
    // the top of the square.
    std::vector<uint32_t> quad(65536);
    for (int v = 0; v < 256; v++)
        for (int u = 0; u < 256; u++)
            quad[(size_t)v * 256 + u] = v < 128 ? (u < 128 ? 0x400000u : 0x004000u) : (u < 128 ? 0x000040u : 0x404040u);
    x3dLensFlare lf{};
    lf.width = lf.height = 256;
    lf.slot.pixels = quad.data();
    lf.scale = 100.0f;
    x3dLight light{};
    light.lensFlare = &lf;
    light.viewPosition[0] = 1.0f;
    light.viewPosition[1] = 0.5f;
    light.viewPosition[2] = 5.0f; // size 20, centre (70 + 0.2 * 68, 52.5 - 0.1 * 50.5)

    target.clear(0);
    x3dDrawFlare(&light, target.frame);
    const int cx = (int)std::floor(70 + 0.2f * 68.0f + 0.5f), cy = (int)std::floor(52.5f - 0.1f * 50.5f + 0.5f);
    int minX = 999, maxX = -1, minY = 999, maxY = -1;
    for (int y = 0; y < target.h; y++)
        for (int x = 0; x < target.w; x++)
            if (target.at(x, y)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    EXPECT_EQ(minX, cx - 10);
    EXPECT_EQ(maxX, cx + 9);
    EXPECT_EQ(minY, cy - 10);
    EXPECT_EQ(maxY, cy + 9);
    EXPECT_EQ(target.at(cx - 5, cy - 5), 0x400000u);
    EXPECT_EQ(target.at(cx + 5, cy - 5), 0x004000u);
    EXPECT_EQ(target.at(cx - 5, cy + 5), 0x000040u);
    EXPECT_EQ(target.at(cx + 5, cy + 5), 0x404040u);
    x3dDrawFlare(&light, target.frame); // added, not copied
    EXPECT_EQ(target.at(cx + 5, cy + 5), 0x808080u);

    // Big flares at every edge and corner stay inside; behind the camera,
    // tiny or far off, nothing is drawn.
    lf.scale = 2000.0f;
    for (float x : {-1.0f, 0.0f, 1.0f})
        for (float y : {-1.0f, 0.0f, 1.0f}) {
            light.viewPosition[0] = x * 5.0f;
            light.viewPosition[1] = y * 5.0f;
            light.viewPosition[2] = 5.0f;
            x3dDrawFlare(&light, target.frame);
            x3dDrawFlareZ(&light, target.frame);
        }
    EXPECT_EQ(target.spoiltGuards(), 0);
    target.clear(0);
    for (float z : {-5.0f, 0.0f, 1e-6f, 1e9f}) {
        light.viewPosition[2] = z;
        x3dDrawFlare(&light, target.frame);
    }
    light.viewPosition[2] = 1e-3f; // tiny z: centre miles away
    light.viewPosition[0] = 3.0f;
    x3dDrawFlare(&light, target.frame);
    EXPECT_EQ(target.spoiltGuards(), 0);
    for (int y = 0; y < target.h; y++)
        for (int x = 0; x < target.w; x++)
            ASSERT_EQ(target.at(x, y), 0u);

    // Occluded where the z-buffer is nearer than the light.
    lf.scale = 100.0f;
    light.viewPosition[0] = 0;
    light.viewPosition[1] = 0;
    light.viewPosition[2] = 5.0f;
    for (int y = 0; y < target.h; y++)
        for (int x = 0; x < target.w; x++)
            target.zAt(x, y) = x < 70 ? 4 * 65536 : 5 * 65536;
    x3dDrawFlareZ(&light, target.frame);
    EXPECT_EQ(target.at(65, 52), 0u);
    EXPECT_NE(target.at(75, 52), 0u);

    // A texture wider than tall is stepped by its height down the rows:
    // guard texels after its end never show.
    std::vector<uint32_t> wide(64 * 16 + 64, 0x00FF00FFu);
    for (int i = 0; i < 64 * 16; i++)
        wide[(size_t)i] = 0x00010101;
    lf.width = 64;
    lf.height = 16;
    lf.slot.pixels = wide.data();
    lf.scale = 400.0f;
    target.clear(0);
    x3dDrawFlare(&light, target.frame);
    for (int y = 0; y < target.h; y++)
        for (int x = 0; x < target.w; x++)
            ASSERT_NE(target.at(x, y) & 0xFF00FF, 0xFF00FFu) << x << "," << y;
    EXPECT_EQ(target.at(70, 52), 0x010101u);
}

} // namespace
