// The show's four scenes from the built archive and texture folder:
// loading the four scene scripts (archive, 3DS, textures) against reading
// the same entries and files with xFileIO::Read, and each scene's frame as
// its effect draws it, at frames across its range, against a memcpy of the
// letterbox (640 x 250 x 4 bytes) in the same run. Prints the ratios and
// each scene's median and 99th percentile; the goal is 3 ms median a scene.
//
//   cd build && bench/x3d/bench_x3d_scenes [--benchmark_repetitions=3]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "File3ds.h"
#include "SceneView.h"
#include "X3d/X3dscr.h"
#include "files/xFileIO.h"

namespace {

const char* const kScripts[4] = {"logo3d.x3d", "test.x3d", "scene3.x3d", "scene4.x3d"};
const char* const kFiles[8] = {"logo3d.x3d", "logo3d.3ds", "test.x3d", "test.3ds",
                               "scene3.x3d", "scene3.3ds", "scene4.x3d", "scene4.3ds"};
const char* const kTextures[4] = {"textures/brass.tga", "textures/harbenv.pcx", "textures/codepage.gif",
                                  "textures/flare.jpg"};

xFileIO& archive()
{
    static xFileIO io(1);
    static bool open = io.Open("demo.pak") == 0;
    if (!open) {
        fprintf(stderr, "bench_x3d_scenes: run it in the build folder, beside demo.pak\n");
        exit(2);
    }
    return io;
}

void BM_LoadScripts(benchmark::State& state)
{
    for (auto _ : state) {
        for (const char* name : kScripts) {
            x3dScene scene{};
            x3dLoadSceneScript(name, &scene, &archive());
            benchmark::DoNotOptimize(scene.objects);
            x3dFreeScene(&scene);
        }
    }
}
BENCHMARK(BM_LoadScripts)->Unit(benchmark::kMillisecond);

void BM_ReadFiles(benchmark::State& state)
{
    static xFileIO disk(0);
    for (auto _ : state) {
        for (const char* name : kFiles) {
            xFile f{};
            archive().Read(name, &f);
            benchmark::DoNotOptimize(f.data);
            archive().Free(&f);
        }
        for (const char* name : kTextures) {
            xFile f{};
            disk.Read(name, &f);
            benchmark::DoNotOptimize(f.data);
            disk.Free(&f);
        }
    }
}
BENCHMARK(BM_ReadFiles)->Unit(benchmark::kMillisecond);

void BM_LetterboxMemcpy(benchmark::State& state)
{
    std::vector<uint32_t> a(640 * 250, 0x123456), b(640 * 250);
    for (auto _ : state) {
        memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LetterboxMemcpy);

// Frame times of each scene over all runs, for the median and p99.
std::map<int, std::vector<double>> g_times;

void BM_SceneFrame(benchmark::State& state)
{
    static x3dScene scenes[4];
    static bool loaded = false;
    if (!loaded) {
        for (int i = 0; i < 4; i++)
            x3dLoadSceneScript(kScripts[i], &scenes[i], &archive());
        loaded = true;
    }
    const int which = (int)state.range(0);
    x3dScene* scene = &scenes[which];
    x3dSetScene(scene);
    x3dSetActiveCamera(x3dFindCamera("Camera01", scene));
    qhscene::ViewTarget target = qhscene::defaultTarget(scene);
    std::vector<uint32_t> pixels((size_t)target.width * target.height);
    // Thirty frames spread over the range, in turn.
    const float first = scene->firstFrame, span = scene->lastFrame - scene->firstFrame;
    int k = 0;
    for (auto _ : state) {
        float frame = first + span * (float)(k++ % 30) / 30.0f;
        auto t0 = std::chrono::steady_clock::now();
        qhscene::drawScene(scene, frame, target, pixels.data());
        auto t1 = std::chrono::steady_clock::now();
        g_times[which].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetLabel(kScripts[which]);
}
BENCHMARK(BM_SceneFrame)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's processor time per iteration.
class Collect : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                ns[r.benchmark_name()] = r.GetAdjustedCPUTime() * 1e9 /
                                         benchmark::GetTimeUnitMultiplier(r.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> ns;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, (size_t)(p * (double)(v.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv)
{
    qhscene::initEngines();
    benchmark::Initialize(&argc, argv);
    Collect reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double load = reporter.ns["BM_LoadScripts"], read = reporter.ns["BM_ReadFiles"],
                 copy = reporter.ns["BM_LetterboxMemcpy"];
    printf("\nloading the four scripts: %.2f ms, %.1f x reading their files (%.2f ms)\n", load / 1e6,
           read > 0 ? load / read : 0, read / 1e6);
    printf("letterbox memcpy: %.1f us\n", copy / 1e3);
    printf("%-12s %10s %10s %14s %6s\n", "scene", "median ms", "p99 ms", "median/memcpy", "goal");
    for (int i = 0; i < 4; i++) {
        double median = percentile(g_times[i], 0.5), p99 = percentile(g_times[i], 0.99);
        printf("%-12s %10.3f %10.3f %14.1f %6s\n", kScripts[i], median, p99, copy > 0 ? median * 1e6 / copy : 0,
               median <= 3.0 ? "ok" : "SLOW");
    }
    return 0;
}
