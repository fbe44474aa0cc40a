// One frame of the credits at three moments, each reported as a ratio to
// memcpy of the letterbox (640 x 250 pixels) measured in the same run:
// both credits sliding (22/40, 24/40) and the first in the scene's order
// (23/32). The ratios are of processor time (one thread: on a busy machine
// wall time would measure the neighbours). QH_NO_MMX=1 measures the plain
// drawing path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "files/xFileIO.h"
#include "parts/Credits.h"
#include "parts/ShowState.h"
#include "parts/gretPart.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"

namespace {

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    xSysInit("Quiet Harbor", nullptr, nullptr);
    xVideoInit();
    xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
    x2dInit(640, 280);
    x2dSetClipWindow(0, 0, 640, 250);
    g_picture = g_frameBuffer + 115 * 640;
    if (g_fileIO.Open(QH_DEMO_PAK) != 0) {
        fprintf(stderr, "no %s: build the data first\n", QH_DEMO_PAK);
        exit(1);
    }
    g_pFileIO = &g_fileIO;
    GreetInit();
    CreditsInit();
}

void BM_memcpy(benchmark::State& state)
{
    setUp();
    std::vector<uint32_t> from(640 * 250, 0x123456);
    for (auto _ : state) {
        memcpy(g_picture, from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
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

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                ns[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
    std::map<std::string, double> ns;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double base = reporter.ns["BM_memcpy"];
    printf("\n%-16s %12s  (%s path)\n", "frame", "ratio/memcpy", x2dMMX ? "MMX" : "plain");
    for (const auto& e : reporter.ns)
        if (e.first != "BM_memcpy" && base > 0)
            printf("%-16s %12.2f\n", e.first.c_str() + 3, e.second / base);
    return 0;
}
