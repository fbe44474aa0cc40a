// One frame of the roto-zoom, the circles and the falling letters at the
// moments of their reference frames, each reported as a ratio to memcpy of
// the letterbox (640 x 250 pixels) measured in the same run: the two gulls
// (28/32), the flash (29/60), the street rising with circles playing (30/41,
// and 31/31 with "see you soon" under them: rows without a new circle, so
// the grid never fills however many iterations run), the cross-fade (32/2)
// and the letters at full level (33/32). Processor time, one thread;
// QH_NO_MMX=1 measures the plain drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/common/DrawRatios.h"
#include "parts/Part_1.h"
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
    Part1Init();
    CirclesInit();
    FallInit();
    RotoInit();
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyLetterbox(state);
}
BENCHMARK(BM_memcpy);

// The part's state after frames frames at the position, then one frame
// timed per iteration.
void lead(void (*draw)(), int order, int row, int frames)
{
    setUp();
    g_roto = RotoStartState();
    g_musicOrder = order;
    g_musicRow = row;
    for (int i = 0; i < frames; i++)
        draw();
}

void BM_roto_28_32(benchmark::State& state)
{
    lead(RotoDraw, 28, 32, 40);
    for (auto _ : state) {
        RotoDraw();
        benchmark::ClobberMemory();
    }
}

void BM_roto_29_60(benchmark::State& state)
{
    lead(RotoDraw, 29, 60, 20);
    for (auto _ : state) {
        RotoDraw();
        benchmark::ClobberMemory();
    }
}

void circles(benchmark::State& state, int order, int row)
{
    memset(g_circleGrid, 0, sizeof g_circleGrid);
    lead(CirclesDraw, order, row, 60);
    for (int i = 0; i < 8; i++) // eight cells playing
        SpawnCircleCell();
    for (auto _ : state) {
        CirclesDraw();
        benchmark::ClobberMemory();
    }
}
void BM_circles_30_41(benchmark::State& state) { circles(state, 30, 41); }
void BM_circles_31_31(benchmark::State& state) { circles(state, 31, 31); }

void fall(benchmark::State& state, int order, int row, int level)
{
    lead(FallDraw, order, row, 1);
    const FallingLetters letters = g_fallingLetters;
    for (auto _ : state) {
        g_roto.fallLevel = level;
        g_fallingLetters = letters; // every letter where it started
        FallDraw();
        benchmark::ClobberMemory();
    }
}
void BM_fall_32_2(benchmark::State& state) { fall(state, 32, 2, 120); }
void BM_fall_33_32(benchmark::State& state) { fall(state, 33, 32, 255); }

BENCHMARK(BM_roto_28_32);
BENCHMARK(BM_roto_29_60);
BENCHMARK(BM_circles_30_41);
BENCHMARK(BM_circles_31_31);
BENCHMARK(BM_fall_32_2);
BENCHMARK(BM_fall_33_32);

} // namespace

int main(int argc, char** argv) { return qhbench::drawRatiosMain(argc, argv, "BM_memcpy"); }
