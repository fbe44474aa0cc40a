// Whole-frame present conversion (640 x 480 from the 32-bit frame buffer)
// against memcpy of the same 1228800 source bytes, reported as ratios.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/Hermes.h"

namespace {

const int W = 640, H = 480;
const HermesFormat kSource = {0xff0000, 0xff00, 0xff, 0, 32, 0, 0, 0};

std::vector<uint32_t>& frame()
{
    static std::vector<uint32_t> f = [] {
        std::vector<uint32_t> v(W * H);
        uint32_t s = 12345;
        for (auto& p : v) {
            s = s * 1664525u + 1013904223u;
            p = s >> 8;
        }
        return v;
    }();
    return f;
}

void BM_Memcpy(benchmark::State& state)
{
    std::vector<uint8_t> dst(W * H * 4);
    for (auto _ : state) {
        memcpy(dst.data(), frame().data(), dst.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * W * H * 4);
}

void present(benchmark::State& state, HermesFormat dest)
{
    Hermes_Init();
    HermesHandle c = Hermes_ConverterInstance(0);
    if (!Hermes_ConverterRequest(c, (HermesFormat*)&kSource, &dest)) {
        state.SkipWithError("pair not convertible");
        return;
    }
    int pitch = W * dest.bits / 8;
    std::vector<uint8_t> dst((size_t)pitch * H);
    for (auto _ : state) {
        Hermes_ConverterCopy(c, frame().data(), 0, 0, W, H, W * 4, dst.data(), 0, 0, W, H, pitch);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * W * H * 4);
    Hermes_ConverterReturn(c);
}

void BM_Present32(benchmark::State& s) { present(s, HermesFormat{0xff0000, 0xff00, 0xff, 0, 32, 0, 0, 0}); }
void BM_Present32Swapped(benchmark::State& s) { present(s, HermesFormat{0xff, 0xff00, 0xff0000, 0, 32, 0, 0, 0}); }
void BM_Present16(benchmark::State& s) { present(s, HermesFormat{0xf800, 0x7e0, 0x1f, 0, 16, 0, 0, 0}); }
void BM_Present24(benchmark::State& s) { present(s, HermesFormat{0xff0000, 0xff00, 0xff, 0, 24, 0, 0, 0}); }

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Present32);
BENCHMARK(BM_Present32Swapped);
BENCHMARK(BM_Present16);
BENCHMARK(BM_Present24);

// Prints, after the usual table, each present's time over memcpy's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs)
            if (!r.error_occurred && r.iterations > 0)
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto base = times.find("BM_Memcpy");
        if (base == times.end() || base->second <= 0)
            return;
        printf("\nratio to memcpy of the same %d bytes (1.0 = as fast as memcpy):\n", W * H * 4);
        for (const auto& t : times)
            if (t.first != "BM_Memcpy")
                printf("  %-22s %6.2f\n", t.first.c_str(), t.second / base->second);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
