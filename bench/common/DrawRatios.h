// The main of a benchmark program of the show's drawing: runs the
// benchmarks, then prints each one's processor time as a ratio to the
// baseline's (memcpy of the same bytes) measured in the same run, and which
// drawing path the sprites took. Header-only: each program includes it once.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "X2d/X2d.h"
#include "bench/common/RatioReporter.h"
#include "parts/ShowState.h"
#include "system/Xvideo.h"

namespace qhbench {

// Ends the program when the show's data could not be opened.
inline void needData(bool opened, const char* pak)
{
    if (!opened) {
        fprintf(stderr, "no %s: build the data first\n", pak);
        exit(1);
    }
}

// The baseline of the parts' drawing: memcpy of the 640 x 250 letterbox
// into the picture.
inline void memcpyLetterbox(benchmark::State& state)
{
    std::vector<uint32_t> from(SHOW_LETTERBOX_PIXELS, 0x123456);
    for (auto _ : state) {
        memcpy(g_picture, from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
}

// The baseline of a whole frame's drawing: memcpy of 640 x 480 pixels into
// the frame buffer.
inline void memcpyFrame(benchmark::State& state)
{
    std::vector<uint32_t> from(SHOW_SCREEN_PIXELS, 0x123456);
    for (auto _ : state) {
        memcpy(g_frameBuffer, from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
}

inline int drawRatiosMain(int argc, char** argv, const char* baseline)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\n%s path\n", x2dMMX ? "SSE2" : "plain");
    for (const auto& e : reporter.times)
        if (e.first != baseline)
            reporter.ratio(e.first.c_str() + 3, e.first, baseline);
    return 0;
}

} // namespace qhbench
