// How many times faster than real time the show captures itself: the whole
// show on the virtual clock, against the real time the same run takes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string folder()
{
    static std::string dir;
    if (dir.empty()) {
        char templ[] = "/tmp/qh-bench-show-XXXXXX";
        dir = mkdtemp(templ);
        symlink(QH_DEMO_PAK, (dir + "/demo.pak").c_str());
    }
    return dir;
}

// Video at fps frames a second (0: the music only, written to a WAV file).
void captureShow(benchmark::State& state)
{
    int fps = (int)state.range(0);
    std::string out = folder() + (fps ? "/show.y4m" : "/show.wav");
    std::string cmd = "cd " + folder() + " && '" QH_PROGRAM "' -capture " + out + " -fps " +
                      std::to_string(fps ? fps : 1) + " 2>/dev/null";
    double shown = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (system(cmd.c_str()) != 0)
            state.SkipWithError("capture failed");
        double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        FILE* wav = fopen((out + ".wav").c_str(), "rb");
        if (wav) {
            fseek(wav, 0, SEEK_END);
            shown = (ftell(wav) - 44) / (44100.0 * 4);
            fclose(wav);
        }
        state.SetIterationTime(real);
        state.counters["times_real_time"] = shown / real;
    }
    state.counters["show_seconds"] = shown;
    remove(out.c_str());
    remove((out + ".wav").c_str());
}
} // namespace

BENCHMARK(captureShow)->Arg(1)->Arg(60)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
