// The whole show as one program, against real time measured in the same run:
// how many times faster than real time it captures itself into each kind of
// output, its start-up time and peak memory (the program's own -figures),
// and, live on SDL's dummy drivers, how closely the picture keeps to the
// sound at every hand-over (the -trace lines).
//
// The live run plays the show in real time (about five minutes); run the
// captures alone with --benchmark_filter=capture.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/common/ShowRun.h"

namespace {

// The number before the last " frames" the capture said: how many it wrote.
double framesSaid(const std::string& err)
{
    size_t end = err.rfind(" frames");
    size_t start = end;
    while (start != std::string::npos && start > 0 && isdigit((unsigned char)err[start - 1]))
        start--;
    return end == std::string::npos || start == end ? 0 : atof(err.substr(start, end - start).c_str());
}

// "start-up: ... first frame after N ms" and "peak memory: N MB (N MB ...)".
void countFigures(benchmark::State& state, const std::string& err)
{
    unsigned loading = 0, first = 0, peak = 0, atFirst = 0;
    size_t s = err.find("start-up: "), m = err.find("peak memory: ");
    if (s == std::string::npos || m == std::string::npos ||
        sscanf(err.c_str() + s, "start-up: loading picture after %u ms, first frame after %u ms", &loading,
               &first) != 2 ||
        sscanf(err.c_str() + m, "peak memory: %u MB (%u MB", &peak, &atFirst) != 2) {
        state.SkipWithError("the program said no figures");
        return;
    }
    state.counters["startup_ms"] = first;
    state.counters["loading_ms"] = loading;
    state.counters["peak_MB"] = peak;
    state.counters["first_frame_MB"] = atFirst;
}

void capture(benchmark::State& state, const std::string& out, int fps)
{
    std::string folder = showFolder("show-" + std::to_string(fps) + "-" + out.substr(out.find_last_of("./") + 1));
    if (folder.empty()) {
        state.SkipWithError("no show folder (is demo.pak built?)");
        return;
    }
    if (out.size() > 4 && out.compare(out.size() - 4, 4, ".mp4") == 0 && system("command -v ffmpeg >/dev/null") != 0) {
        state.SkipWithError("no ffmpeg here");
        return;
    }
    std::string args = "-figures -capture " + out + " -fps " + std::to_string(fps);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        ShowRun r = runShow(folder, args);
        double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.status != 0) {
            state.SkipWithError(("capture failed: " + r.err).c_str());
            return;
        }
        double shown = framesSaid(r.err) / fps;
        state.SetIterationTime(real);
        state.counters["times_real_time"] = shown / real;
        state.counters["show_seconds"] = shown;
        countFigures(state, r.err);
    }
    system(("rm -f '" + folder + "'/show.*").c_str());
}

// Every frame converted to YUV and the music rendered, nothing kept.
void captureDiscarded(benchmark::State& state) { capture(state, "/dev/null", 60); }
void captureY4m(benchmark::State& state) { capture(state, "show.y4m", 60); }
// As a user would: the frames through ffmpeg's encoder, the music muxed in.
void captureMp4(benchmark::State& state) { capture(state, "show.mp4", 60); }
// Mostly the music: one small frame a second beside the WAV file.
void captureMusic(benchmark::State& state) { capture(state, "show.y4m", 1); }

// The whole show live on the dummy drivers, in real time.
void live(benchmark::State& state)
{
    std::string folder = showFolder("live");
    if (folder.empty()) {
        state.SkipWithError("no show folder (is demo.pak built?)");
        return;
    }
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        ShowRun r = runShow(folder, "-windowed -figures -trace trace.txt",
                            "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy");
        double real = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r.status != 0) {
            state.SkipWithError(("the live show failed: " + r.err).c_str());
            return;
        }
        state.SetIterationTime(real);
        countFigures(state, r.err);
        // Each hand-over: the music heard by the show's reading against what
        // the device had taken, in ms.
        std::istringstream trace(readWholeFile(folder + "/trace.txt"));
        std::string name;
        int order, row;
        long read, taken;
        int handOvers = 0;
        long largest = 0, first = 0, last = 0;
        while (trace >> name >> order >> row >> read >> taken) {
            long offset = taken - read;
            if (handOvers++ == 0)
                first = offset;
            last = offset;
            largest = std::max(largest, std::labs(offset));
        }
        if (handOvers != 11) {
            state.SkipWithError("the trace holds no eleven hand-overs with positions");
            return;
        }
        state.counters["largest_offset_ms"] = (double)largest;
        state.counters["first_offset_ms"] = (double)first;
        state.counters["drift_ms"] = (double)(last - first);
    }
}
} // namespace

BENCHMARK(captureDiscarded)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(captureY4m)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(captureMp4)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(captureMusic)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(live)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_MAIN();
