// 3DS loading and animation against lib3ds on the same bytes, measured in the
// same run: x3dLoad3dsMem against lib3ds_file_read from memory, 1000 frames
// of x3dAnimateScene against lib3ds_file_eval at the same frames, on a scene
// of the show's size and a large one. And the cost of one spline evaluation
// on a 1000-key track against a 4-key one, played forwards (the cursor keeps
// it constant) and backwards (every evaluation searches from the start).
// Ratios (ours / baseline, lower is faster) are printed after the table.
#include <benchmark/benchmark.h>

#include <lib3ds/file.h>
#include <lib3ds/node.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/RatioReporter.h"
#include "SceneSamples.h"
#include "X3d/File3ds.h"
#include "X3d/Spline.h"

using qhtest::Bytes;

namespace {

// 0: of the show's size; 1: 200 nodes of 50 keys, 20000 faces.
const Bytes& sceneBytes(int which)
{
    static const Bytes show = qhscene::write3ds(qhtest::largeScene(24, 30, 3000));
    static const Bytes large = qhscene::write3ds(qhtest::largeScene(200, 50, 20000));
    return which ? large : show;
}

void BM_LoadOurs(benchmark::State& state)
{
    const Bytes& bytes = sceneBytes((int)state.range(0));
    xFile file = {(char*)"bench.3ds", (int32_t)bytes.size(), (uint8_t*)bytes.data()};
    for (auto _ : state) {
        x3dScene scene{};
        x3dLoad3dsMem(&file, &scene);
        benchmark::DoNotOptimize(scene.objects);
        x3dFreeScene(&scene);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes.size());
}

void BM_LoadLib3ds(benchmark::State& state)
{
    const Bytes& bytes = sceneBytes((int)state.range(0));
    for (auto _ : state) {
        Lib3dsFile* f = qhtest::lib3dsRead(bytes);
        benchmark::DoNotOptimize(f);
        lib3ds_file_free(f);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes.size());
}

void BM_AnimateOurs(benchmark::State& state)
{
    const Bytes& bytes = sceneBytes((int)state.range(0));
    xFile file = {(char*)"bench.3ds", (int32_t)bytes.size(), (uint8_t*)bytes.data()};
    x3dScene scene{};
    x3dLoad3dsMem(&file, &scene);
    x3dSetScene(&scene);
    float step = scene.lastFrame / 1000.0f;
    for (auto _ : state) {
        for (int i = 0; i < 1000; i++) {
            scene.frame = i * step;
            x3dAnimateScene();
        }
        benchmark::DoNotOptimize(scene.objects[0].matrix[0][3]);
    }
    x3dFreeScene(&scene);
}

void BM_AnimateLib3ds(benchmark::State& state)
{
    Lib3dsFile* f = qhtest::lib3dsRead(sceneBytes((int)state.range(0)));
    float step = (float)f->segment_to / 1000.0f;
    for (auto _ : state) {
        for (int i = 0; i < 1000; i++)
            lib3ds_file_eval(f, i * step);
        benchmark::DoNotOptimize(f->nodes->matrix[3][0]);
    }
    lib3ds_file_free(f);
}

// A position track of `keys` keys, 4 frames apart, evaluated 4096 times over
// its length, forwards or backwards.
void BM_SplineEval(benchmark::State& state)
{
    int keys = (int)state.range(0);
    bool backwards = state.range(1) != 0;
    std::vector<x3dKey> k((size_t)keys);
    for (int i = 0; i < keys; i++) {
        k[i].frame = i * 4.0f;
        k[i].value[0] = (float)(i % 7);
        k[i].value[1] = (float)(i % 3);
        k[i].previous = i ? &k[i - 1] : nullptr;
        k[i].next = i + 1 < keys ? &k[i + 1] : nullptr;
    }
    x3dTrack track{0, keys, k.back().frame, k.data(), nullptr};
    x3dSplineInit(&track);
    float step = track.length / 4096.0f, out[3];
    for (auto _ : state) {
        for (int i = 0; i < 4096; i++) {
            float frame = (backwards ? 4095 - i : i) * step;
            x3dSplineEval(&track, frame, out);
        }
        benchmark::DoNotOptimize(out[0]);
    }
}

BENCHMARK(BM_LoadOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLib3ds)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimateOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnimateLib3ds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplineEval)->Args({4, 0})->Args({1000, 0})->Args({4, 1})->Args({1000, 1});

} // namespace

int main(int argc, char** argv)
{
    x3dInit(640, 480, nullptr);
    benchmark::Initialize(&argc, argv);
    qhbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\n");
    reporter.ratio("load, show size, ours/lib3ds (goal <= 1)", "BM_LoadOurs/0", "BM_LoadLib3ds/0");
    reporter.ratio("load, large, ours/lib3ds (goal <= 1)", "BM_LoadOurs/1", "BM_LoadLib3ds/1");
    reporter.ratio("1000 frames, show size, ours/lib3ds (goal <= 0.5)", "BM_AnimateOurs/0", "BM_AnimateLib3ds/0");
    reporter.ratio("1000 frames, large, ours/lib3ds (goal <= 0.5)", "BM_AnimateOurs/1", "BM_AnimateLib3ds/1");
    reporter.ratio("spline forwards, 1000 keys/4 keys (goal <= 1.2)", "BM_SplineEval/1000/0", "BM_SplineEval/4/0");
    reporter.ratio("spline backwards, 1000 keys/4 keys", "BM_SplineEval/1000/1", "BM_SplineEval/4/1");
    benchmark::Shutdown();
    return 0;
}
