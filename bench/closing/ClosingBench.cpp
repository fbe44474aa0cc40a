// One frame of the closing words and of the end scroller, each reported as
// a ratio to memcpy of the letterbox (640 x 250 pixels) measured in the
// same run: the closing words with the falling letters' picture faded out
// and panels 2-4 on screen (the particle swarm), with panels 4-6 on screen
// (the small flare-scene render), with the falling letters drawn underneath
// (their pacing left out), and the end scroller. Processor time, one
// thread; QH_NO_MMX=1 measures the plain drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "X2d/X2danim.h"
#include "X2d/X2dspr.h"
#include "bench/common/DrawRatios.h"
#include "parts/Part_1.h"
#include "parts/Part_10.h"
#include "parts/PartLinks.h"
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
    qhbench::needData(startCredits(QH_DEMO_PAK), QH_DEMO_PAK);
    qhbench::needData(enterFolderOf(QH_DEMO_PAK), QH_DEMO_PAK);
    Part1Init();
    CirclesInit();
    FallInit();
    RotoInit();
    FlareInit();
    Part10Init();
    EndInit();
    FlareSceneCreate(140, 105);
    g_flareScene->SelectCamera();
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyLetterbox(state);
}
BENCHMARK(BM_memcpy);

void fallDraw(uint32_t) { FallDraw(); }

// The closing words with panel 0's top at y (the column held there), the
// falling letters' picture at fall.
void closing(benchmark::State& state, int32_t y, int32_t fall)
{
    setUp();
    g_musicOrder = 34;
    g_musicRow = 40;
    g_frameTime = 0; // the column stays
    g_runFallStep = fallDraw;
    g_closing = ClosingStartState();
    for (auto _ : state) {
        g_closing.columnY = y;
        g_closing.fallLevel = fall;
        Part10Draw();
        benchmark::ClobberMemory();
    }
}
void BM_closing_panels_2_4(benchmark::State& state) { closing(state, -220 + 4, 0); }
void BM_closing_panels_4_6(benchmark::State& state) { closing(state, -440 + 4, 0); }
void BM_closing_with_fall(benchmark::State& state) { closing(state, 140, 255); }

void BM_end_scroller(benchmark::State& state)
{
    setUp();
    g_musicOrder = 37;
    g_musicRow = 10;
    g_closing = ClosingStartState();
    for (auto _ : state) {
        EndDraw();
        benchmark::ClobberMemory();
    }
}

// The JPEG decode of one animation frame into the work buffer: two of them
// in a frame with panels 2-4 on screen (panels 2 and 4).
void BM_panel_decode(benchmark::State& state)
{
    setUp();
    for (auto _ : state) {
        g_panelColumn.animations[2]->drawFrame(g_panelColumn.buffers[3]->pixels);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_closing_panels_2_4);
BENCHMARK(BM_closing_panels_4_6);
BENCHMARK(BM_closing_with_fall);
BENCHMARK(BM_end_scroller);
BENCHMARK(BM_panel_decode);

} // namespace

int main(int argc, char** argv) { return qhbench::drawRatiosMain(argc, argv, "BM_memcpy"); }
