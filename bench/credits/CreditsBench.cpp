// One frame of the credits at three moments, each reported as a ratio to
// memcpy of the letterbox (640 x 250 pixels) measured in the same run:
// both credits sliding (22/40, 24/40) and the first in the scene's order
// with the credits scene (23/32). The ratios are of processor time (one thread: on a busy machine
// wall time would measure the neighbours). QH_NO_MMX=1 measures the plain
// drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/common/DrawRatios.h"
#include "parts/Credits.h"
#include "tests/common/ShowStart.h"

namespace {

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qhbench::needData(startCredits(QH_DEMO_PAK), QH_DEMO_PAK);
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyLetterbox(state);
}
BENCHMARK(BM_memcpy);

// The credit as it stands at the position; the strips are held in view and
// nothing slides (frame time 0), so every iteration draws the same frame.
void frame(benchmark::State& state, void (*draw)(), int order, int row)
{
    setUp();
    g_credits = CreditsStartState();
    g_frameTime = 0;
    g_musicOrder = order;
    for (int r = 0; r <= row; r++) {
        g_musicRow = r;
        draw();
    }
    g_credits.progPos = -300;
    g_credits.codePos = 200;
    g_credits.musicPos = 100;
    g_credits.designPos = 60;
    for (auto _ : state) {
        draw();
        benchmark::ClobberMemory();
    }
}
void BM_credit1_22_40(benchmark::State& state) { frame(state, Credits1Draw, 22, 40); }
void BM_credit1_23_32(benchmark::State& state) { frame(state, Credits1Draw, 23, 32); }

void BM_credit2_24_40(benchmark::State& state) { frame(state, Credits2Draw, 24, 40); }
BENCHMARK(BM_credit1_22_40);
BENCHMARK(BM_credit1_23_32);
BENCHMARK(BM_credit2_24_40);

} // namespace

int main(int argc, char** argv) { return qhbench::drawRatiosMain(argc, argv, "BM_memcpy"); }
