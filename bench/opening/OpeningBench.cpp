// One frame of the opening and of the fish in posed moments, each reported
// as its median in ms and as a ratio to memcpy of the 640 x 480 frame
// measured in the same run. QH_NO_MMX=1 measures the plain drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "X3d/X3d.h"
#include "bench/common/DrawRatios.h"
#include "parts/Part_1.h"
#include "parts/Part_2.h"
#include "parts/PartLinks.h"
#include "platform/Plat.h"
#include "system/Xrand.h"
#include "tests/common/ShowStart.h"

namespace {

x3dMaterial g_logoAsLoaded;

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    startShowScreen();
    x3dInit(640, 480, nullptr);
    qhbench::needData(g_fileIO.Open(QH_DEMO_PAK) == 0, QH_DEMO_PAK);
    g_pFileIO = &g_fileIO;
    xSrand(20);
    Part1Init();
    Part2Init();
    g_logoAsLoaded = *g_logoMaterial;
}

// Eleven cells at their frames 0-10 (the last one about to be freed), the
// band full, letters, the harbour and the logo as the moment has them.
void pose(int order, int row, float slideY)
{
    memset(g_circleGrid, 0, sizeof g_circleGrid);
    const uint32_t now = platGetTickCount();
    for (int i = 0; i < 11; i++) {
        CircleCell& c = g_circleGrid[i % 2 ? 1 : 8][i * 2 % 20 + (i % 2)];
        c.active = 1;
        c.frame = (int8_t)(i % 10);
        c.tick = now;
    }
    xOpeningState& s = g_opening;
    s = OpeningStartState();
    s.white = order >= 3;
    s.fadeIn = s.white ? 255 : 0;
    s.bandMode = order == 4 ? -1 : order >= 5 ? 2 : 1;
    s.bandTop = 113;
    s.bandBottom = 137;
    s.lettersShown = 10;
    g_openingSlideY = slideY;
    for (int i = 0; i < LOGO_LETTERS; i++) {
        g_logoLetters.shown[i] = 1;
        g_logoLetters.scale[i] = order == 4 ? 0.1f * (float)i : 1.0f;
    }
    // The logo in its colour as loaded: order 9 whitens it from there.
    *g_logoMaterial = g_logoAsLoaded;
    g_musicOrder = order;
    g_musicRow = row;
    g_frameTime = 35;
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyFrame(state);
}
BENCHMARK(BM_memcpy)->Repetitions(9)->ReportAggregatesOnly(true);

void opening(benchmark::State& state, int order, int row, float slideY)
{
    setUp();
    for (auto _ : state) {
        state.PauseTiming();
        pose(order, row, slideY);
        state.ResumeTiming();
        Part1Draw();
        benchmark::ClobberMemory();
    }
}

void fish(benchmark::State& state, int order, int row, float slideY, int fadeOut, int title)
{
    setUp();
    for (auto _ : state) {
        state.PauseTiming();
        g_openingSlideY = slideY;
        g_fish = FishStartState();
        g_fish.fadeOut = fadeOut;
        g_fish.titleLevel = title;
        g_fish.captionLevel = 200;
        for (int i = 0; i < FISH_SWIMMERS; i++)
            g_fishSwimmers[i].x = 60 + 110 * i;
        g_musicOrder = order;
        g_musicRow = row;
        g_frameTime = 35;
        state.ResumeTiming();
        Part2Draw();
        benchmark::ClobberMemory();
    }
}

void BM_circles_1_20(benchmark::State& s) { opening(s, 1, 20, 250.0f); }
void BM_letters_4_16(benchmark::State& s) { opening(s, 4, 16, 250.0f); }
void BM_shake_5_5(benchmark::State& s) { opening(s, 5, 5, 250.0f); }
void BM_logo_7_18(benchmark::State& s) { opening(s, 7, 18, 250.0f); }
void BM_slide_9_30(benchmark::State& s) { opening(s, 9, 30, 120.0f); }
void BM_fish_10_28(benchmark::State& s) { fish(s, 10, 28, 60.0f, 0, 0); }
void BM_fish_11_40(benchmark::State& s) { fish(s, 11, 40, 0.0f, 0, 0); }
void BM_title_12_60(benchmark::State& s) { fish(s, 12, 60, 0.0f, 255, 200); }
BENCHMARK(BM_circles_1_20)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_letters_4_16)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_shake_5_5)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_logo_7_18)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_slide_9_30)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_fish_10_28)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_fish_11_40)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_title_12_60)->Repetitions(9)->ReportAggregatesOnly(true);

// Keeps the median of every benchmark.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                ns[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> ns;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double base = reporter.ns["BM_memcpy"];
    printf("\n%-16s %10s %14s  (%s path)\n", "frame", "median ms", "ratio/memcpy", x2dMMX ? "SSE2" : "plain");
    for (const auto& e : reporter.ns)
        if (e.first != "BM_memcpy" && base > 0)
            printf("%-16s %10.3f %14.2f\n", e.first.c_str() + 3, e.second / 1e6, e.second / base);
    return 0;
}
