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
        if (!c.drawn)
            for (int i = 0; i < obj.vertexCount; i++)
                EXPECT_EQ(obj.vertices[i].flags & 1, 0) << "a culled object's vertices are not lit";
        if (c.clipBit)
            EXPECT_TRUE(obj.clipCode & c.clipBit) << c.at.x << "," << c.at.y << "," << c.at.z;
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
            if (deg <= hot / 2)
                EXPECT_NEAR(factor, 1.0f, 0.01f) << deg;
            else if (deg > fall / 2)
                EXPECT_EQ(factor, 0.0f) << deg;
            else if (deg < fall / 2) // on the cone itself the table square root decides
                EXPECT_TRUE(factor > 0.0f && factor < 1.0f && factor <= lastFactor) << deg << " " << factor;
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

} // namespace
