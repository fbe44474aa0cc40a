// The flare scene's drawing: one letterbox warp, one 140 x 105 panel, and
// the whole frame at two moments of the part (26/32: warp, calendar and
// flares; 27/44: the cross-fade part-way), each against memcpy of the
// letterbox measured in the same run. Prints the flares of the measured
// frame. QH_NO_MMX=1 measures the plain drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "X3d/X3d.h"
#include "bench/common/DrawRatios.h"
#include "bench/common/RatioReporter.h"
#include "parts/pstdemop.h"
#include "parts/rotoPart.h"
#include "tests/common/ShowStart.h"

namespace {

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    startShowScreen();
    x3dInit(SHOW_WIDTH, SHOW_HEIGHT, nullptr);
    qhbench::needData(enterFolderOf(QH_DEMO_PAK) && g_fileIO.Open(QH_DEMO_PAK) == 0, QH_DEMO_PAK);
    g_pFileIO = &g_fileIO;
    RotoInit();
    FlareInit();
    FlareSceneCreate(140, 105);
    g_flareScene->SelectCamera();
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyLetterbox(state);
}
BENCHMARK(BM_memcpy);

void BM_warpFull(benchmark::State& state)
{
    setUp();
    for (auto _ : state) {
        g_flareScene->WarpFull(100000, -60000, 60000, 100000, g_picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_warpFull);

void BM_panel(benchmark::State& state)
{
    setUp();
    std::vector<uint32_t> panel(140 * 105);
    for (auto _ : state) {
        g_flareScene->RenderPanel(panel.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_panel);

int g_flares = 0;

void frame(benchmark::State& state, int order, int row, int crossFade, int caption)
{
    setUp();
    for (auto _ : state) {
        g_flare = FlareStartState();
        g_flare.whiteFlash = 0;
        g_flare.warpAngle = 200;
        g_flare.calendarY = 20;
        g_flare.sceneTime = 60.0f;
        g_flare.crossFade = crossFade;
        g_flare.caption = caption;
        g_musicOrder = order;
        g_musicRow = row;
        g_frameTime = 35;
        FlareDraw();
        benchmark::ClobberMemory();
    }
    g_flares = g_flare.flares;
}
void BM_frame26_32(benchmark::State& state) { frame(state, 26, 32, 0, 0); }
void BM_frame27_44(benchmark::State& state) { frame(state, 27, 44, 100, 80); }
BENCHMARK(BM_frame26_32);
BENCHMARK(BM_frame27_44);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    qhbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.ratio("warp 640 x 250", "BM_warpFull", "BM_memcpy");
    reporter.ratio("panel 140 x 105", "BM_panel", "BM_memcpy");
    reporter.ratio("flare frame 26/32", "BM_frame26_32", "BM_memcpy");
    reporter.ratio("flare frame 27/44", "BM_frame27_44", "BM_memcpy");
    printf("flares in the measured frame: %d (%s path)\n", g_flares,
           x2dMMX ? "SSE2" : "plain");
    return 0;
}
