// How many times faster than real time the show captures itself: the whole
// show on the virtual clock, against the real time the same run takes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/common/ShowRun.h"

namespace {

// Video at fps frames a second (0: the music only, written to a WAV file).
void captureShow(benchmark::State& state)
{
    int fps = (int)state.range(0);
    std::string folder = showFolder("show" + std::to_string(fps));
    std::string out = fps ? "show.y4m" : "show.wav";
    std::string args = "-capture " + out + " -fps " + std::to_string(fps ? fps : 1);
    double shown = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (runShow(folder, args).status != 0)
            state.SkipWithError("capture failed");
        double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        shown = (readWholeFile(folder + "/" + out + ".wav").size() - 44) / (44100.0 * 4);
        state.SetIterationTime(real);
        state.counters["times_real_time"] = shown / real;
    }
    state.counters["show_seconds"] = shown;
}
} // namespace

BENCHMARK(captureShow)->Arg(1)->Arg(60)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
