// How many times faster than real time the channel renders music in capture
// mode: the baseline is the real time the same frames last when heard.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/Plat.h"
#include "platform/PlatMusic.h"
#include "tests/music-channel/XmWriter.h"

using namespace testxm;

namespace {

uint32_t g_now = 0;
uint32_t fakeTicks() { return g_now; }
uint32_t fakeSeconds() { return 0; }

// Eight channels with a note every second row: busier than the show's music.
std::vector<uint8_t> busySong()
{
    XmSong song;
    song.channels = 8;
    int p = song.AddPattern(64);
    for (int row = 0; row < 64; row += 2)
        for (int ch = 0; ch < 8; ch++) {
            XmCell& c = song.Cell(p, row, ch);
            c.note = (uint8_t)(37 + (row + ch * 5) % 36);
            c.instrument = 1;
        }
    song.orders.assign(40, 0);
    return WriteXm(song);
}

void sinkToNothing(const int16_t* frames, int count, void* user)
{
    benchmark::DoNotOptimize(frames[2 * count - 1]);
}

// Ten seconds of music per iteration, in 5 ms steps as the capture takes them.
void captureSeconds(benchmark::State& state, PlatMusicSink sink)
{
    std::vector<uint8_t> bytes = busySong();
    platSetClock(fakeTicks, fakeSeconds);
    for (auto _ : state) {
        state.PauseTiming();
        g_now = 0;
        platMusicSetCapture(sink, nullptr);
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        HMUSIC music = BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5);
        BASS_MusicPlay(music);
        state.ResumeTiming();
        for (g_now = 5; g_now <= 10000; g_now += 5) {
            platMusicAdvanceTo(g_now);
            benchmark::DoNotOptimize(BASS_ChannelGetPosition(music));
        }
        state.PauseTiming();
        BASS_Free();
        state.ResumeTiming();
    }
    // Seconds of music per second of work: the factor over real time.
    state.counters["times_real_time"] = benchmark::Counter(10.0 * state.iterations(), benchmark::Counter::kIsRate);
    platSetClock(nullptr, nullptr);
}

void BM_CaptureToSink(benchmark::State& state) { captureSeconds(state, sinkToNothing); }
void BM_CaptureNoSink(benchmark::State& state) { captureSeconds(state, nullptr); }

BENCHMARK(BM_CaptureToSink)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CaptureNoSink)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
