// One frame of the lines in three moments of the part, each reported as the
// median processor time of five runs in ms and as a ratio to memcpy of the
// whole frame (640 x 480 pixels) measured in the same run. QH_NO_MMX=1
// measures the plain drawing path.
#include <cstring>

#include "bench/common/DrawRatios.h"
#include "bench/common/PartBench.h"
#include "parts/Part_3.h"

namespace {

void setUp()
{
    if (benchShowSetUp())
        Part3Init();
}

// The part at a music position: risen from black, the grid at full
// darkness, the caption in; the letters given are zooming at these scales.
void pose(int order, int row, int counter, std::initializer_list<std::pair<int, float>> letters)
{
    g_linesState = LinesStartState();
    g_linesState.fadeIn = 0;
    g_linesState.gridLevel = 0;
    g_linesState.captionLevel = 255;
    g_linesState.gridCounter = counter;
    LinesResetLetters();
    for (const auto& l : letters) {
        g_zoomLetters[l.first].active = 1;
        g_zoomLetters[l.first].scale = l.second;
        g_zoomLetters[l.first].alpha = 200;
    }
    g_musicOrder = order;
    g_musicRow = row;
    g_frameTime = 0; // the letters keep their size
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    qhbench::memcpyFrame(state);
}

void frame(benchmark::State& state, int order, int row, int counter,
           std::initializer_list<std::pair<int, float>> letters)
{
    setUp();
    for (auto _ : state) {
        pose(order, row, counter, letters);
        Part3Draw();
        benchmark::ClobberMemory();
    }
}
void BM_twoLetters(benchmark::State& state) { frame(state, 13, 26, 0, {{0, 1.6f}, {1, 0.6f}}); }
void BM_gridAndCaption(benchmark::State& state) { frame(state, 15, 40, 0, {{7, 1.2f}, {8, 0.4f}}); }
void BM_black(benchmark::State& state) { frame(state, 16, 63, 4, {}); }

#define LINES_BENCH(f) BENCHMARK(f)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond)
LINES_BENCH(BM_memcpy);
LINES_BENCH(BM_twoLetters);
LINES_BENCH(BM_gridAndCaption);
LINES_BENCH(BM_black);

} // namespace

int main(int argc, char** argv) { return benchRunWithRatios(argc, argv, "BM_memcpy"); }
