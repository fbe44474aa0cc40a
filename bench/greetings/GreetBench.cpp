// One frame of the greetings in three moments of the part, each reported as a
// ratio to memcpy of the letterbox (640 x 250 pixels) measured in the same
// run. QH_NO_MMX=1 measures the plain drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/common/DrawRatios.h"
#include "tests/common/ShowStart.h"

namespace {

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qhbench::needData(startGreetings(QH_DEMO_PAK), QH_DEMO_PAK);
}

// Four men in the list (one flashing), the others in the mosaic at the given
// reveal level; the music at the given position.
void pose(int reveal, int order, int row)
{
    for (int k = 0; k < GREET_MEN; k++) {
        CgreetMan* m = g_greetPart.men[k];
        m->y = k < 4 ? -20 + 80 * k : -500;
        m->placed = k >= 4;
        m->reveal = reveal;
        m->flash = k == 1 ? 200 : 0;
    }
    g_greet = GreetStartState();
    g_greet.whiteFlash = 0;
    g_greet.firstLevel = 120;
    g_musicOrder = order;
    g_musicRow = row;
    g_frameTime = 0;
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyLetterbox(state);
}
BENCHMARK(BM_memcpy);

void frame(benchmark::State& state, int reveal, int order, int row)
{
    setUp();
    for (auto _ : state) {
        pose(reveal, order, row);
        GreetDraw();
        benchmark::ClobberMemory();
    }
}
void BM_crossFade(benchmark::State& state) { frame(state, 120, 18, 3); }
void BM_fullMosaic(benchmark::State& state) { frame(state, 255, 19, 3); }
void BM_darkening(benchmark::State& state) { frame(state, 255, 20, 40); }
BENCHMARK(BM_crossFade);
BENCHMARK(BM_fullMosaic);
BENCHMARK(BM_darkening);

} // namespace

int main(int argc, char** argv) { return qhbench::drawRatiosMain(argc, argv, "BM_memcpy"); }
