// The renderer's speed, each figure against a baseline measured in the same
// run: the 36 fillers on two triangles covering the 640 x 250 letterbox
// (the span loops) and on a mesh of 50-pixel triangles over it (set-up per
// triangle), against memset (untextured) or memcpy (textured) of the same
// pixels; wireframe lines and flares; the radix sort against
// std::stable_sort; and whole frames of a 20 000-triangle torus against the
// show's 35 ms frame.
//
//   build/bench/x3d/bench_x3d_render [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X3d/Polygons.h"
#include "X3d/Raster.h"
#include "X3d/X3d.h"
#include "bench/common/RunTimes.h"
#include "tests/x3d/SceneKit.h"

namespace {

const int W = 640, H = 250;
const int kPixels = W * H;

struct Stage {
    std::vector<uint32_t> frame;
    std::vector<uint32_t> source;
    std::vector<uint32_t> texture;
    x3dCamera camera{};
    x3dPolygon screen{};             // the letterbox as one quad
    std::vector<x3dPolygon> mesh;    // ~50-pixel triangles over it
    uint32_t* picture;

    Stage() : frame(640 * 480), source(kPixels), texture(65536)
    {
        x3dInit(640, 480, nullptr);
        x2dInit(640, 480);
        x3dInitZBuffer();
        x3dSetFogColor(100.0f, 120.0f, 140.0f);
        picture = frame.data() + 115 * 640;
        for (int v = 0; v < 256; v++)
            for (int u = 0; u < 256; u++)
                texture[(size_t)v * 256 + u] = (uint32_t)((u ^ v) & 255) << 16 | (uint32_t)(u * 3 & 255) << 8 | (uint32_t)v;
        for (int i = 0; i < kPixels; i++)
            source[(size_t)i] = (uint32_t)i * 2654435761u;
        useLetterbox();
        // The quad x = +-z, y = +-z covers every pixel of the viewport; it
        // leans back a little so depth and perspective have work to do.
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        screen.count = 4;
        for (int i = 0; i < 4; i++)
            screen.v[i] = vertexAt(corners[i][0], corners[i][1]);
        // A grid of 64 x 25 cells, two triangles each: 50 pixels a triangle.
        const int gw = 64, gh = 25;
        for (int j = 0; j < gh; j++)
            for (int i = 0; i < gw; i++) {
                float x0 = -1 + 2.0f * i / gw, x1 = -1 + 2.0f * (i + 1) / gw;
                float y0 = -1 + 2.0f * j / gh, y1 = -1 + 2.0f * (j + 1) / gh;
                x3dPolygon a{}, b{};
                a.count = b.count = 3;
                a.v[0] = vertexAt(x0, y0);
                a.v[1] = vertexAt(x1, y0);
                a.v[2] = vertexAt(x1, y1);
                b.v[0] = vertexAt(x0, y0);
                b.v[1] = vertexAt(x1, y1);
                b.v[2] = vertexAt(x0, y1);
                mesh.push_back(a);
                mesh.push_back(b);
            }
    }

    void useLetterbox()
    {
        x3dCameraSetSize(W, H, &camera);
        x3dSetActiveCamera(&camera);
    }

    // A point of the plane seen at view direction (dx, dy), |d| <= 1.
    static x3dPolyVertex vertexAt(float dx, float dy)
    {
        x3dPolyVertex p{};
        p.z = 2.0f + 0.5f * (dx + 1.0f);
        p.x = dx * p.z;
        p.y = dy * p.z;
        p.u = (dx + 1.0f) * 255.9f;
        p.v = (dy + 1.0f) * 255.9f;
        p.shade = 60.0f + 90.0f * (dx + dy + 2.0f) * 0.5f; // light or fog, 60..240
        return p;
    }
};

Stage& stage()
{
    static Stage s;
    return s;
}

void BM_memset(benchmark::State& state)
{
    Stage& s = stage();
    for (auto _ : state) {
        memset(s.picture, 0x40, (size_t)kPixels * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_memset);

void BM_memcpy(benchmark::State& state)
{
    Stage& s = stage();
    for (auto _ : state) {
        memcpy(s.picture, s.source.data(), (size_t)kPixels * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_memcpy);

// Filler f on the letterbox: argument 0 two big triangles, 1 the mesh.
void BM_fill(benchmark::State& state)
{
    Stage& s = stage();
    s.useLetterbox();
    const int f = (int)state.range(0);
    const bool mesh = state.range(1) != 0;
    const x3dPaint paint{200, 150, 90, s.texture.data()};
    const x3dFiller fill = x3dFillers[f].fill;
    // Each run starts on a clear z-buffer: after the first call every pixel
    // meets its own depth again, which draws.
    std::fill(g_x3d.zbuffer, g_x3d.zbuffer + g_x3d.zbufferPixels, 2147483647);
    for (auto _ : state) {
        if (mesh)
            for (x3dPolygon& p : s.mesh)
                fill(&p, s.picture, &paint);
        else
            fill(&s.screen, s.picture, &paint);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
    state.SetLabel(x3dFillers[f].name);
}
BENCHMARK(BM_fill)->ArgsProduct({benchmark::CreateDenseRange(0, X3D_FILLERS - 1, 1), {0, 1}});

// 1000 lines of 100-odd pixels in every direction.
void BM_lines(benchmark::State& state)
{
    Stage& s = stage();
    s.useLetterbox();
    x3dSetShadeTable((int)state.range(0), 2);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> X(0, W - 1), Y(0, H - 1);
    std::vector<int> ends;
    for (int i = 0; i < 1000; i++) {
        int x = X(rng), y = Y(rng);
        double a = i * 0.7;
        ends.insert(ends.end(), {x, y, std::clamp(x + (int)(100 * cos(a)), 0, W - 1), std::clamp(y + (int)(100 * sin(a)), 0, H - 1)});
    }
    for (auto _ : state) {
        for (size_t i = 0; i < ends.size(); i += 4)
            x3dDrawLine(ends[i], ends[i + 1], ends[i + 2], ends[i + 3], 120, 200, 255, s.picture);
        benchmark::ClobberMemory();
    }
    x3dSetShadeTable(1, 2);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_lines)->Arg(0)->Arg(1);

// A 250-pixel flare, 10 times across the letterbox: 625 000 pixels a call.
void BM_flare(benchmark::State& state)
{
    Stage& s = stage();
    s.useLetterbox();
    x3dLensFlare lf{};
    lf.width = lf.height = 256;
    lf.slot.pixels = s.texture.data();
    lf.scale = 500.0f;
    x3dLight light{};
    light.lensFlare = &lf;
    light.viewPosition[2] = 2.0f;
    const bool z = state.range(0) != 0;
    for (int y = 0; y < H; y++) // nothing in front: every pixel drawn
        for (int x = 0; x < W; x++)
            g_x3d.zbuffer[y * W + x] = 2147483647;
    for (auto _ : state) {
        for (int i = 0; i < 10; i++) {
            light.viewPosition[0] = (i - 4.5f) * 0.4f;
            light.viewPosition[1] = (i % 2) * 0.2f;
            z ? x3dDrawFlareZ(&light, s.picture) : x3dDrawFlare(&light, s.picture);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 625000);
}
BENCHMARK(BM_flare)->Arg(0)->Arg(1);

std::vector<x3dDrawItem> sortInput()
{
    std::vector<x3dDrawItem> items(20000);
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> d(3.0f, 400.0f);
    for (size_t i = 0; i < items.size(); i++) {
        float f = d(rng);
        memcpy(&items[i].depth, &f, 4);
        items[i].item = &items[i];
        items[i].kind = 1;
    }
    return items;
}

void BM_stableSort(benchmark::State& state)
{
    const std::vector<x3dDrawItem> input = sortInput();
    std::vector<x3dDrawItem> a(input.size());
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), a.begin());
        std::stable_sort(a.begin(), a.end(), [](const x3dDrawItem& p, const x3dDrawItem& q) { return p.depth < q.depth; });
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_stableSort);

void BM_radixSort(benchmark::State& state)
{
    const std::vector<x3dDrawItem> input = sortInput();
    std::vector<x3dDrawItem> a(input.size()), b(input.size());
    for (auto _ : state) {
        std::copy(input.begin(), input.end(), a.begin());
        x3dRadixSort(a.data(), b.data(), (int)a.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_radixSort);

// The whole pipeline on a 20 000-triangle torus at 640 x 480: lit gouraud
// in painter mode (0), perspective lit texture with the z-buffer (1).
void BM_torus(benchmark::State& state)
{
    Stage& s = stage();
    const bool textured = state.range(0) != 0;
    qh3d::SceneKit kit;
    kit.addMaterial(textured ? 0x48 : 0x02, 230, 190, 120, s.texture.data());
    kit.addObject(qh3d::torus(3.0f, 1.2f, 100, 100, 4.0f), 0);
    kit.addLight(1, {-6, 6, -8}, 0.9f, 0.8f, 0.7f);
    kit.addLight(1, {6, 3, -6}, 0.4f, 0.5f, 0.8f);
    kit.finish({0, 5, -9}, {0, 0, 0}, 60, 640, 480, textured);
    std::vector<uint32_t> frame(640 * 480);
    int drawn = 0;
    for (auto _ : state) {
        x3dTransformScene();
        x3dLightScene();
        x3dRenderScene(frame.data());
        drawn = kit.scene.drawCount;
        benchmark::ClobberMemory();
    }
    state.counters["front faces"] = drawn;
    state.SetItemsProcessed(state.iterations() * kit.object(0).faceCount);
    s.useLetterbox();
}
BENCHMARK(BM_torus)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

const char* verdict(double ratio, double goal) { return ratio <= 0 ? "" : ratio >= goal ? "ok" : "BELOW"; }

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RunTimesReporter r;
    benchmark::RunSpecifiedBenchmarks(&r);
    const double memsetNs = r.at("BM_memset"), memcpyNs = r.at("BM_memcpy");
    if (memsetNs <= 0 || memcpyNs <= 0) {
        benchmark::Shutdown();
        return 0;
    }
    auto mpix = [](double ns, double pixels) { return ns > 0 ? pixels / ns * 1e3 : 0.0; };
    printf("\nFillers on the 640 x 250 letterbox (%d pixels), processor time\n", kPixels);
    printf("baselines: memset %.1f Mpixel/s, memcpy %.1f Mpixel/s\n", mpix(memsetNs, kPixels), mpix(memcpyNs, kPixels));
    printf("%-20s %9s %8s %6s %10s %7s %6s %-8s %5s\n", "filler", "Mpixel/s", "x base", "goal", "mesh Mpx/s",
           "Mtri/s", "vs", "", "goal");
    double big[X3D_FILLERS] = {};
    for (int f = 0; f < X3D_FILLERS; f++)
        big[f] = r.at("BM_fill/" + std::to_string(f) + "/0");
    for (int f = 0; f < X3D_FILLERS; f++) {
        const int kind = f / 4;
        const bool add = f & 2, z = f & 1, textured = kind >= X3D_FILL_TEX;
        const double ns = big[f], meshNs = r.at("BM_fill/" + std::to_string(f) + "/1");
        // Untextured fillers against memset, textured ones against memcpy;
        // the goals of gouraud, fog and lit textures are set against memcpy.
        const double base = textured ? memcpyNs : memsetNs;
        const double ratio = ns > 0 ? base / ns : 0;
        double goal = 0, goalRatio = 0, vs = 0, vsGoal = 0;
        const char* what = "";
        if (!add && !z && kind < X3D_FILL_TEXP) {
            goal = kind == X3D_FILL_FLAT ? 0.5 : kind == X3D_FILL_TEX ? 0.25 : 0.125;
            goalRatio = kind == X3D_FILL_FLAT ? ratio : memcpyNs / ns;
        }
        if (!add && !z && kind >= X3D_FILL_TEXP) {
            vs = big[f - 12] / ns;
            vsGoal = 0.5;
            what = "affine";
        } else if (z) {
            vs = big[f - 1] / ns;
            vsGoal = 2.0 / 3.0;
            what = "painter";
        } else if (add) {
            vs = big[f - 2] / ns;
            vsGoal = 0.5;
            what = "copy";
        }
        char goalText[16] = "";
        if (goal > 0)
            snprintf(goalText, sizeof goalText, "%s", verdict(goalRatio, goal));
        printf("%-20s %9.1f %8.3f %6s %10.1f %7.2f %6.2f %-8s %5s\n", x3dFillers[f].name, mpix(ns, kPixels), ratio,
               goalText, mpix(meshNs, kPixels), meshNs > 0 ? 3200.0 / meshNs * 1e3 : 0.0, vs, what,
               vsGoal > 0 ? verdict(vs, vsGoal) : "");
    }
    printf("goals: flat >= 1/2 memset; affine texture >= 1/4 memcpy; gouraud, fog, lit and fogged texture >= 1/8 memcpy\n");
    const double flat = r.at("BM_fill/0/1");
    printf("small flat triangles: %.2f M/s (goal 4 M/s: %s)\n", flat > 0 ? 3200.0 / flat * 1e3 : 0.0,
           flat > 0 && 3200.0 / flat * 1e3 >= 4.0 ? "ok" : "BELOW");

    printf("\nlines, 1000 of ~100 pixels: plain %.2f Mlines/s, soft %.2f Mlines/s\n",
           r.at("BM_lines/0") > 0 ? 1000.0 / r.at("BM_lines/0") * 1e3 : 0.0,
           r.at("BM_lines/1") > 0 ? 1000.0 / r.at("BM_lines/1") * 1e3 : 0.0);
    for (int z = 0; z < 2; z++) {
        double ns = r.at("BM_flare/" + std::to_string(z));
        printf("flares%s: %.1f Mpixel/s, %.3f x memcpy\n", z ? " (z-buffer)" : "", mpix(ns, 625000),
               ns > 0 ? memcpyNs / kPixels * 625000 / ns : 0.0);
    }
    const double stable = r.at("BM_stableSort"), radix = r.at("BM_radixSort");
    printf("radix sort of 20 000 items: %.1f us, %.2f x std::stable_sort (goal 3: %s)\n", radix / 1e3,
           radix > 0 ? stable / radix : 0.0, verdict(radix > 0 ? stable / radix : 0, 3.0));
    const char* names[2] = {"lit gouraud torus, painter", "textured torus, z-buffer"};
    const double goals[2] = {2.2, 2.7};
    for (int t = 0; t < 2; t++) {
        double ns = r.at("BM_torus/" + std::to_string(t));
        if (ns <= 0)
            continue;
        double ms = ns / 1e6;
        printf("%-28s %6.2f ms/frame %6.2f M triangles/s %5.1f%% of a 35 ms frame (goal %.1f ms: %s)\n", names[t], ms,
               20000.0 / ns * 1e3, ms / 35.0 * 100.0, goals[t], ms <= goals[t] ? "ok" : "BELOW");
    }
    benchmark::Shutdown();
    return 0;
}
