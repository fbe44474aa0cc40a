// The pipeline on scenes built in code: culling, facing, lighting, the sort
// and the pass order, every render type in both modes with and without fog,
// and geometry anywhere around the camera drawn only inside the viewport.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "X2d/X2d.h"
#include "X3d/Material.h"
#include "X3d/Polygons.h"
#include "X3d/X3d.h"
#include "tests/x3d/RenderTarget.h"
#include "tests/x3d/SceneKit.h"

namespace {

using qh3d::GuardedTarget;
using qh3d::MeshSpec;
using qh3d::SceneKit;
using qh3d::Vec3;

int32_t* g_engineZ = nullptr;

class Pipeline : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        x3dInit(640, 480, nullptr);
        x2dInit(640, 480);
        x3dInitZBuffer();
        g_engineZ = g_x3d.zbuffer;
    }
    void TearDown() override
    {
        x3dSetScreenSize(640, 480);
        g_x3d.pixelCount = g_x3d.zbufferPixels = 640 * 480;
        g_x3d.zbuffer = g_engineZ;
        g_x3d.camera = nullptr;
        g_x3d.scene = nullptr;
        x3dSetShadeTable(1, 2);
    }
};

std::set<int> listedFaces(const x3dScene& scene, const x3dObject& o)
{
    std::set<int> faces;
    for (int i = 0; i < scene.drawCount; i++)
        if (scene.drawListA[i].kind == X3D_DRAW_FACE)
            faces.insert((int)((x3dFace*)scene.drawListA[i].item - o.faces));
    return faces;
}

TEST_F(Pipeline, CubeListsExactlyItsVisibleFaces)
{
    struct View {
        Vec3 eye;
        std::set<int> sides; // cube() sides: z-, z+, x-, x+, y-, y+
    };
    const View views[] = {{{0, 0, -10}, {0}}, {{0, 0, 10}, {1}}, {{10, 10, -10}, {0, 3, 5}}, {{-10, -10, 10}, {1, 2, 4}}};
    for (const View& v : views) {
        SceneKit kit;
        kit.addMaterial(0x02, 200, 200, 200);
        kit.addObject(qh3d::cube(1.0f), 0);
        kit.finish(v.eye, {0, 0, 0}, 60, 320, 240, false);
        x3dTransformScene();
        std::set<int> want;
        for (int s : v.sides) {
            want.insert(2 * s);
            want.insert(2 * s + 1);
        }
        EXPECT_EQ(listedFaces(kit.scene, kit.object(0)), want);
        // Listed faces carry the visible flag and their vertices are marked.
        for (int f : want) {
            EXPECT_TRUE(kit.object(0).faces[f].drawFlags & 4);
            EXPECT_TRUE(kit.object(0).faces[f].vertices[0]->flags & 1);
        }
    }
}

TEST_F(Pipeline, ObjectsAreCulledOrClippedByTheirTrueSphere)
{
    struct Case {
        Vec3 at;
        float scale;
        bool drawn;
        int clipBit; // a plane the object must be clipped against, or 0
    };
    // Camera at the origin looking down z with f = 1: the view is |x| <= z,
    // |y| <= z; far 100.
    const Case cases[] = {
        {{0, 0, 200}, 1, false, 0},    {{0, 0, -10}, 1, false, 0},    {{0, 0, 1.2f}, 1, false, 0},
        {{-30, 0, 10}, 1, false, 0},   {{30, 0, 10}, 1, false, 0},    {{0, 30, 10}, 1, false, 0},
        {{0, -30, 10}, 1, false, 0},   {{0, 0, 20}, 1, true, 0},      {{-10, 0, 10}, 1, true, 1},
        {{10, 0, 10}, 1, true, 2},     {{0, 10, 10}, 1, true, 4},     {{0, -10, 10}, 1, true, 8},
        // A small cube scaled up tenfold reaches across the left plane
        // although its own sphere would lie outside the view.
        {{-10.8f, 0, 10}, 10, true, 1},
    };
    for (const Case& c : cases) {
        SceneKit kit;
        kit.addMaterial(0x02, 200, 200, 200);
        kit.addObject(qh3d::cube(c.scale == 1 ? 1.0f : 0.1f), 0);
        kit.addLight(1, {0, 0, 0});
        kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, false, false, 100);
        x3dObject& obj = kit.object(0);
        SceneKit::scale(obj, c.scale);
        SceneKit::translate(obj, c.at);
        GuardedTarget target(160, 120);
        target.install(&kit.camera);
        target.clear(0);
        kit.frame(target.frame);
        bool listed = listedFaces(kit.scene, obj).size() > 0;
        EXPECT_EQ(listed, c.drawn) << c.at.x << "," << c.at.y << "," << c.at.z;
        if (!c.drawn) {
            for (int i = 0; i < obj.vertexCount; i++)
                EXPECT_EQ(obj.vertices[i].flags & 1, 0) << "a culled object's vertices are not lit";
        }
        if (c.clipBit) {
            EXPECT_TRUE(obj.clipCode & c.clipBit) << c.at.x << "," << c.at.y << "," << c.at.z;
        }
        EXPECT_EQ(target.spoiltGuards(), 0);
        int drawn = 0;
        for (int y = 0; y < 120; y++)
            for (int x = 0; x < 160; x++)
                drawn += target.at(x, y) != 0;
        EXPECT_EQ(drawn > 0, c.drawn);
    }
}

// One vertex lit by the scene's lights: a 2 x 2 grid facing the camera at
// z = 10 whose centre vertex is at (0, 0, 10) with its normal along +z.
struct LightRig {
    SceneKit kit;
    explicit LightRig(bool unlit = false, float far = 0.0f, bool fog = false, float z = 10.0f, float half = 1.0f)
    {
        kit.addMaterial(0x02, 255, 255, 255);
        kit.addObject(qh3d::grid(-half, -half, half, half, 2, 2), 0);
        if (unlit)
            kit.objects.back().flags |= 16;
        zAt = z;
        farDistance = far;
        fogOn = fog;
    }
    float zAt, farDistance;
    bool fogOn;
    void finish()
    {
        kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, false, fogOn, farDistance);
        SceneKit::translate(kit.object(0), {0, 0, zAt});
    }
    // The centre vertex after transform and lighting.
    const x3dVertex& centre()
    {
        x3dTransformScene();
        x3dLightScene();
        return kit.object(0).vertices[4];
    }
};

TEST_F(Pipeline, LightingFollowsItsRules)
{
    const float w = 1.0f / 1.286f; // light colour whose weights sum to 1
    {
        LightRig r;
        r.kit.addLight(1, {0, 0, 20}, w, w, w); // behind the surface
        r.finish();
        EXPECT_EQ(r.centre().light, 0.0f);
    }
    { // the cosine falloff: brightest head-on, darker as the light swings away
        float last = 2.0f;
        for (int deg = 0; deg <= 85; deg += 5) {
            LightRig r;
            float a = deg * 0.017453292f;
            r.kit.addLight(1, {-5 * sinf(a), 0, 10 - 5 * cosf(a)}, w, w, w);
            r.finish();
            float l = r.centre().light;
            EXPECT_LT(l, last) << deg;
            EXPECT_NEAR(l, cosf(a), 0.01f) << deg;
            last = l;
        }
    }
    { // a spot pointing along +z: its cone factor is 1 inside the hotspot,
      // falls across the falloff ring and is 0 outside it
        const float hot = 20, fall = 40;
        float lastFactor = 2.0f;
        for (int deg = 0; deg <= 30; deg += 2) {
            LightRig r;
            float a = deg * 0.017453292f;
            Vec3 at = {-5 * sinf(a), 0, 10 - 5 * cosf(a)};
            x3dLight& l = r.kit.addLight(1, at, w, w, w);
            SceneKit::spot(l, {at.x, at.y, at.z + 1}, hot, fall);
            r.finish();
            float factor = r.centre().light / cosf(a);
            if (deg <= hot / 2) {
                EXPECT_NEAR(factor, 1.0f, 0.01f) << deg;
            } else if (deg > fall / 2) {
                EXPECT_EQ(factor, 0.0f) << deg;
            } else if (deg < fall / 2) { // on the cone itself the table square root decides
                EXPECT_TRUE(factor > 0.0f && factor < 1.0f && factor <= lastFactor) << deg << " " << factor;
            }
            lastFactor = factor;
        }
    }
    { // attenuation: full within the inner range, none beyond the outer
        float last = 2.0f;
        for (float d = 2; d <= 20; d += 1) {
            LightRig r;
            x3dLight& l = r.kit.addLight(1 | 4, {0, 0, 10 - d}, w, w, w);
            l.innerRange = 5;
            l.outerRange = 15;
            r.finish();
            float light = r.centre().light;
            if (d < 5)
                EXPECT_NEAR(light, 1.0f, 0.01f) << d;
            else if (d > 15.1f)
                EXPECT_EQ(light, 0.0f) << d;
            else
                EXPECT_LE(light, last) << d;
            last = light;
        }
    }
    { // unlit objects
        LightRig r(true);
        r.kit.addLight(1, {0, 0, 0}, 1, 1, 1);
        r.finish();
        EXPECT_FLOAT_EQ(r.centre().light, 0.7f);
    }
    { // many bright lights are clamped
        LightRig r;
        for (int i = 0; i < 5; i++)
            r.kit.addLight(1, {0, 0, (float)i}, 1, 1, 1);
        r.finish();
        EXPECT_EQ(r.centre().light, 1.0f);
    }
    { // dimming joins the undimmed light at the dim start (75 for far 100)
        LightRig before(true, 100.0f, false, 74.99f), after(true, 100.0f, false, 75.01f);
        before.finish();
        float a = before.centre().light;
        after.finish();
        float b = after.centre().light;
        EXPECT_NEAR(a, b, 0.002f);
        EXPECT_LT(b, 0.7f);
    }
    { // fog: none before the fog start, all of it at the far distance
        LightRig nearRig(false, 100.0f, true, 40.0f);
        nearRig.kit.addLight(1, {0, 0, 0}, 1, 1, 1);
        nearRig.finish();
        EXPECT_EQ(nearRig.centre().fog, 0.0f);
        LightRig edge(false, 100.0f, true, 99.99f, 0.01f);
        edge.finish();
        EXPECT_NEAR(edge.centre().fog, 1.0f, 0.001f);
        LightRig beyond(false, 100.0f, true, 100.0f, 0.01f);
        beyond.finish();
        const x3dVertex& v = beyond.centre();
        EXPECT_EQ(v.fog, 1.0f);
        EXPECT_EQ(v.light, 0.0f);
        EXPECT_TRUE(v.flags & 8);
    }
    { // no far distance: no dimming, no fog, nothing beyond, nothing NaN
        LightRig r(false, 0.0f, true, 5000.0f, 100.0f);
        r.kit.addLight(1, {0, 0, 0}, w, w, w);
        r.finish();
        const x3dVertex& v = r.centre();
        EXPECT_NEAR(v.light, 1.0f, 0.01f);
        EXPECT_EQ(v.fog, 0.0f);
        EXPECT_FALSE(v.flags & 8);
    }
}

TEST_F(Pipeline, RadixSortIsAscendingAndStable)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> depth(-50.0f, 5000.0f);
    std::vector<x3dDrawItem> a(20000), b(20000);
    for (size_t i = 0; i < a.size(); i++) {
        float d = i % 7 == 0 ? 12.5f : depth(rng); // many equal keys
        memcpy(&a[i].depth, &d, 4);
        a[i].item = (void*)(uintptr_t)(i + 1);
        a[i].kind = 1;
    }
    std::vector<x3dDrawItem> want = a;
    std::stable_sort(want.begin(), want.end(), [](const x3dDrawItem& p, const x3dDrawItem& q) { return p.depth < q.depth; });
    x3dRadixSort(a.data(), b.data(), (int)a.size());
    for (size_t i = 0; i < a.size(); i++) {
        ASSERT_EQ(a[i].item, want[i].item) << i;
        ASSERT_EQ(a[i].depth, want[i].depth) << i;
    }
    // Negative depths come after every positive one.
    float last;
    memcpy(&last, &a.back().depth, 4);
    EXPECT_LT(last, 0.0f);
}

TEST_F(Pipeline, FlareItemsAndPassOrder)
{
    std::vector<uint32_t> flareTexels(65536, 0x00202020);
    for (bool zbuffer : {false, true}) {
        // An opaque square at z 20, an additive one in front of it at z 10,
        // and a flare light between them: the flare must show through the
        // additive face, which therefore comes after it.
        SceneKit kit;
        kit.addMaterial(0x01, 100, 100, 100);
        kit.addMaterial(0x101, 0, 0, 100);
        kit.addObject(qh3d::grid(-8, -8, 8, 8, 1, 1), 0);
        kit.addObject(qh3d::grid(-2, -2, 2, 2, 1, 1), 1);
        x3dLight& l = kit.addLight(1, {0, 0, 15});
        kit.addFlare(l, flareTexels.data(), 256, 256, 100.0f);
        kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, zbuffer);
        SceneKit::translate(kit.object(0), {0, 0, 20});
        SceneKit::translate(kit.object(1), {0, 0, 10});
        GuardedTarget target(160, 120);
        target.install(&kit.camera);
        target.clear(0);
        x3dTransformScene();
        int flares = 0;
        for (int i = 0; i < kit.scene.drawCount; i++)
            flares += kit.scene.drawListA[i].kind == X3D_DRAW_FLARE;
        EXPECT_EQ(flares, zbuffer ? 0 : 1);
        // No lighting pass: the frame draws with the light the vertices
        // hold, full light here.
        for (int o = 0; o < 2; o++)
            for (int i = 0; i < kit.object(o).vertexCount; i++)
                kit.object(o).vertices[i].light = 1.0f;
        x3dRenderScene(target.frame);
        // 99 grey (M[255][100]), + 0x20 flare, + 99 blue.
        EXPECT_EQ(target.at(80, 60), 0x8383E6u) << std::hex << target.at(80, 60) << (zbuffer ? " z-buffer" : " painter");
        EXPECT_EQ(target.at(55, 60), 0x636363u);
        EXPECT_EQ(target.spoiltGuards(), 0);
    }
}

uint32_t addSat(uint32_t d, uint32_t s)
{
    uint32_t out = d & 0xFF000000u;
    for (int sh = 0; sh < 24; sh += 8)
        out |= (uint32_t)std::min(255u, ((d >> sh) & 255) + ((s >> sh) & 255)) << sh;
    return out;
}

bool channelsAtMost(uint32_t p, uint32_t limit)
{
    for (int sh = 0; sh < 24; sh += 8)
        if (((p >> sh) & 255) > ((limit >> sh) & 255))
            return false;
    return true;
}

double distanceToSegment(double px, double py, double ax, double ay, double bx, double by)
{
    double ex = bx - ax, ey = by - ay, l2 = ex * ex + ey * ey;
    double t = l2 > 0 ? std::clamp(((px - ax) * ex + (py - ay) * ey) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(px - ax - t * ex, py - ay - t * ey);
}

// A square facing the camera over a known background, once for every
// render type and for faces without a material, painter and z-buffer, fog
// off and on.
TEST_F(Pipeline, EveryRenderTypeDrawsSensibly)
{
    std::vector<uint32_t> tex(65536, 0x00C08040), refl(65536, 0x0040A0C0);
    const uint32_t bg = 0x00604020, colour = 0x00C8783C;
    x3dSetShadeTable(0, 0); // plain lines: wire pixels carry the exact colour
    for (int type = -1; type < X3D_RENDER_TYPES; type++)
        for (int mode = 0; mode < 4; mode++) {
            const bool zbuffer = mode & 1, fog = (mode & 2) != 0;
            SceneKit kit;
            int mat = -1;
            if (type >= 0) {
                kit.addMaterial(x3dRenderTypes[type].flags, 200, 120, 60, tex.data(), refl.data());
                mat = 0;
            }
            kit.addObject(qh3d::grid(-3, -3, 3, 3, 1, 1), mat);
            kit.addLight(1, {0, 0, 0}, 0.5f, 0.5f, 0.5f);
            kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, zbuffer, fog, fog ? 15.0f : 0.0f);
            if (fog)
                x3dSetFogColor(40, 80, 200);
            SceneKit::translate(kit.object(0), {0, 0, 10});
            GuardedTarget target(160, 120);
            target.install(&kit.camera);
            target.clear(bg);
            kit.frame(target.frame);
            const std::string what = "type " + std::to_string(type) + (zbuffer ? " z" : " painter") + (fog ? " fog" : "");
            ASSERT_EQ(target.spoiltGuards(), 0) << what;

            const uint32_t flags = type >= 0 ? x3dRenderTypes[type].flags : 0x20;
            const bool wire = flags & 0x20, add = flags & 0x100, textured = flags & 0x08;
            const uint32_t map = (flags & 0x10) ? 0x0040A0C0 : 0x00C08040;
            // The square covers columns 56..103 and rows 42..77.
            int inner = 0, changed = 0;
            for (int y = 0; y < target.h; y++)
                for (int x = 0; x < target.w; x++) {
                    uint32_t p = target.at(x, y);
                    bool in = x >= 56 && x <= 103 && y >= 42 && y <= 77;
                    if (p != bg)
                        changed++;
                    if (!(x >= 53 && x <= 106 && y >= 39 && y <= 80)) {
                        ASSERT_EQ(p, bg) << what << " outside at " << x << "," << y;
                    }
                    if (wire) {
                        if (p == bg)
                            continue;
                        // Only along the square's sides and the diagonals.
                        double d = std::min({distanceToSegment(x, y, 56, 42, 103, 42), distanceToSegment(x, y, 103, 42, 103, 77),
                                             distanceToSegment(x, y, 103, 77, 56, 77), distanceToSegment(x, y, 56, 77, 56, 42),
                                             distanceToSegment(x, y, 56, 42, 103, 77), distanceToSegment(x, y, 56, 77, 103, 42)});
                        ASSERT_LE(d, 2.0) << what << " wire pixel at " << x << "," << y;
                        uint32_t want = type >= 0 ? colour : zbuffer ? 0xFFFFFF : 0xEC920E;
                        ASSERT_EQ(p, want) << what;
                        continue;
                    }
                    if (!in || x < 58 || x > 101 || y < 44 || y > 75)
                        continue;
                    inner++;
                    ASSERT_NE(p, bg) << what << " at " << x << "," << y;
                    if (add) {
                        ASSERT_TRUE(channelsAtMost(bg, p)) << what;
                    }
                    if (fog)
                        continue;
                    if (textured && (flags & 0x80))
                        ASSERT_EQ(p, add ? addSat(bg, map) : map) << what << std::hex << " got " << p;
                    else if (textured)
                        ASSERT_TRUE(channelsAtMost(p, add ? addSat(bg, map) : map)) << what << std::hex << " got " << p;
                    else
                        ASSERT_TRUE(channelsAtMost(p, add ? addSat(bg, colour) : colour)) << what << std::hex << " got " << p;
                }
            if (wire)
                EXPECT_GT(changed, 100) << what;
            else
                EXPECT_EQ(inner, 44 * 32) << what;
        }
    // Additive faces saturate: the texture's red 0xC0 onto the background's
    // 0x60 is full red.
    EXPECT_EQ(addSat(bg, 0x00C08040) >> 16, 0xFFu);
}

// Triangles everywhere around the camera, through it, on the view planes,
// miles away and scaled up, in every render type and both modes, two
// viewport sizes and both line modes: nothing is written outside the
// viewport.
TEST_F(Pipeline, ClippingTorture)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> U(-20.0f, 20.0f), small(-0.5f, 0.5f), huge(-1e7f, 1e7f), t(-1.0f, 1.0f);
    MeshSpec soup;
    for (int i = 0; i < 60; i++) {
        qh3d::Vec3 p[3];
        for (auto& v : p)
            v = {U(rng), U(rng), U(rng)};
        switch (i % 6) {
        case 1: p[0].z = -std::fabs(p[0].z); p[1].z = std::fabs(p[1].z); break;
        case 2: p[0] = {U(rng), U(rng), 0.0f}; p[1] = {0, 0, 0}; break;
        case 3:
            for (auto& v : p) {
                float z = std::fabs(v.z) + 1;
                v = {(t(rng) < 0 ? -z : z), t(rng) * z, z};
            }
            p[2].y = p[2].z;
            break;
        case 4: p[0] = {huge(rng), huge(rng), huge(rng)}; p[1].z = 1e7f; break;
        case 5:
            for (auto& v : p)
                v = {small(rng), small(rng), small(rng)};
            break;
        default: break;
        }
        int base = (int)soup.points.size();
        for (auto& v : p) {
            soup.points.push_back(v);
            soup.uv.push_back({U(rng) * 100, U(rng) * 100});
        }
        soup.tris.push_back({base, base + 1, base + 2});
        soup.tris.push_back({base, base + 2, base + 1}); // one of the two faces the camera
    }
    std::vector<uint32_t> tex(65536, 0x00808080);
    for (int type = -1; type < X3D_RENDER_TYPES; type++)
        for (int mode = 0; mode < 4; mode++) {
            const bool zbuffer = mode & 1, fog = (mode & 2) != 0, big = (type + mode) % 2 == 0;
            x3dSetShadeTable((type + mode / 2) % 2, 2);
            SceneKit kit;
            int mat = -1;
            if (type >= 0) {
                kit.addMaterial(x3dRenderTypes[type].flags, 200, 120, 60, tex.data(), tex.data());
                mat = 0;
            }
            kit.addObject(soup, mat);
            kit.addObject(soup, mat);
            kit.addLight(1, {0, 0, 0});
            kit.finish({0, 0, 0}, {0, 0, 1}, 90, big ? 640 : 140, big ? 480 : 105, zbuffer, fog, fog ? 30.0f : 0.0f);
            SceneKit::scale(kit.object(1), 10.0f);
            GuardedTarget target(big ? 640 : 140, big ? 480 : 105);
            target.install(&kit.camera);
            target.clear(0);
            kit.frame(target.frame);
            ASSERT_EQ(target.spoiltGuards(), 0) << "type " << type << " mode " << mode;
        }
}

// A big triangle cutting three corners of the view is a seven-sided polygon
// after clipping; all of it is drawn.
TEST_F(Pipeline, SevenSidedClipLeavesNoHole)
{
    const double r = 2.3, pi = 3.14159265358979;
    MeshSpec m;
    for (double deg : {225.0, 345.0, 105.0})
        m.points.push_back({(float)(5 * r * cos(deg * pi / 180)), (float)(5 * r * sin(deg * pi / 180)), 5.0f});
    m.tris.push_back({0, 1, 2});
    qh3d::orientInward(m, {{0, 0, 10}});
    for (bool zbuffer : {false, true}) {
        SceneKit kit;
        kit.addMaterial(0x01, 255, 255, 255);
        kit.addObject(m, 0);
        kit.finish({0, 0, 0}, {0, 0, 1}, 90, 140, 105, zbuffer);
        GuardedTarget target(140, 105);
        target.install(&kit.camera);
        target.clear(0);
        x3dTransformScene();
        for (int i = 0; i < 3; i++)
            kit.object(0).vertices[i].light = 1.0f;
        x3dRenderScene(target.frame);
        ASSERT_EQ(target.spoiltGuards(), 0);
        int missing = 0, extra = 0;
        const double cx = 70, cy = 52.5;
        for (int y = 0; y < target.h; y++)
            for (int x = 0; x < target.w; x++) {
                // The pixel centre's direction, and its place against the
                // triangle's three edges at unit depth.
                double dx = (x + 0.5 - cx) / (cx - 0.1), dy = (cy - y - 0.5) / (cy - 0.1);
                double edge = 1e9;
                bool inside = true;
                for (int i = 0; i < 3; i++) {
                    const qh3d::Vec3 &a = m.points[(size_t)i], &b = m.points[(size_t)(i + 1) % 3];
                    double ax = a.x / 5, ay = a.y / 5, bx = b.x / 5, by = b.y / 5;
                    double c = ((bx - ax) * (dy - ay) - (by - ay) * (dx - ax)) / std::hypot(bx - ax, by - ay);
                    edge = std::min(edge, std::fabs(c) * (cx - 0.1));
                    inside &= c > 0;
                }
                bool drawn = target.at(x, y) != 0;
                if (edge < 1.0)
                    continue;
                missing += inside && !drawn;
                extra += !inside && drawn;
            }
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(extra, 0);
    }
}

// Scene data the renderer cannot draw as given is drawn safely instead.
TEST_F(Pipeline, BrokenSceneDataDrawsSafely)
{
    std::vector<uint32_t> tex(65536, 0x00336699);
    { // textured flags with no maps: the reflection falls back to the
      // texture, and a face with no pixels at all is a wireframe
        SceneKit kit;
        kit.addMaterial(0x98, 10, 200, 30, tex.data(), nullptr);
        kit.addMaterial(0x08, 10, 200, 30, nullptr, nullptr);
        kit.addObject(qh3d::grid(-3, -3, 0, 3, 1, 1), 0);
        kit.addObject(qh3d::grid(0.5f, -3, 3, 3, 1, 1), 1);
        kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, false);
        SceneKit::translate(kit.object(0), {0, 0, 10});
        SceneKit::translate(kit.object(1), {0, 0, 10});
        x3dSetShadeTable(0, 0);
        GuardedTarget target(160, 120);
        target.install(&kit.camera);
        target.clear(0);
        kit.frame(target.frame);
        EXPECT_EQ(target.at(70, 60), 0x336699u);
        int wire = 0;
        for (int y = 0; y < target.h; y++)
            for (int x = 82; x < target.w; x++)
                wire += target.at(x, y) == 0x0AC81Eu;
        EXPECT_GT(wire, 50);
    }
    { // morph sources that are too small or missing: drawn unmorphed
        for (int source : {1, 7}) {
            SceneKit kit;
            kit.addMaterial(0x01, 255, 255, 255);
            kit.addObject(qh3d::grid(-3, -3, 3, 3, 4, 4), 0);
            kit.addObject(qh3d::grid(-3, -3, 3, 3, 1, 1), 0);
            kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, false);
            x3dObject& o = kit.object(0);
            SceneKit::translate(o, {0, 0, 10});
            kit.object(1).flags |= 2; // the small source itself is hidden
            o.flags |= 8;
            o.morphSource = (int16_t)source;
            o.morphTarget = 0;
            o.morphFactor = 0.5f;
            GuardedTarget target(160, 120);
            target.install(&kit.camera);
            target.clear(0);
            kit.frame(target.frame);
            EXPECT_EQ(kit.scene.drawCount, o.faceCount);
            EXPECT_EQ(o.vertices[0].position[0], -3.0f);
        }
    }
    { // a vertex that is not a number: its faces are left out
        SceneKit kit;
        kit.addMaterial(0x02, 255, 255, 255);
        kit.addObject(qh3d::grid(-3, -3, 3, 3, 2, 2), 0);
        kit.finish({0, 0, 0}, {0, 0, 1}, 90, 160, 120, true);
        SceneKit::translate(kit.object(0), {0, 0, 10});
        kit.object(0).vertices[4].position[0] = NAN;
        GuardedTarget target(160, 120);
        target.install(&kit.camera);
        target.clear(0);
        kit.frame(target.frame);
        EXPECT_EQ(target.spoiltGuards(), 0);
    }
    { // frames that cannot be drawn stop with an assertion
        SceneKit kit;
        kit.addMaterial(0x02, 255, 255, 255);
        kit.addObject(qh3d::cube(1), 0);
        kit.finish({0, 0, -5}, {0, 0, 0}, 60, 160, 120, true);
        SceneKit::translate(kit.object(0), {0, 0, 10});
        std::vector<uint32_t> frame(640 * 480);
        g_x3d.camera = nullptr;
        x3dTransformScene(); // objects as they are, camera at the origin
        EXPECT_GT(kit.scene.drawCount, 0);
        EXPECT_EXIT(x3dRenderScene(frame.data()), ::testing::ExitedWithCode(3), "Assertion failed");
        x3dSetActiveCamera(&kit.camera);
        g_x3d.zbuffer = nullptr;
        EXPECT_EXIT(x3dRenderScene(frame.data()), ::testing::ExitedWithCode(3), "Assertion failed");
        g_x3d.zbuffer = g_engineZ;
        g_x3d.zbufferPixels = 160 * 120 - 1;
        EXPECT_EXIT(x3dRenderScene(frame.data()), ::testing::ExitedWithCode(3), "Assertion failed");
        EXPECT_EXIT(x3dSetScreenSize(641, 100), ::testing::ExitedWithCode(3), "Assertion failed");
    }
}

} // namespace
