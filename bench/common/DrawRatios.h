// The main of a benchmark program of the show's drawing: runs the
// benchmarks, then prints each one's processor time as a ratio to the
// baseline's (memcpy of the same bytes) measured in the same run, and which
// drawing path the sprites took. Header-only: each program includes it once.
#pragma once
#include <cstdio>

#include "X2d/X2d.h"
#include "bench/common/RatioReporter.h"

namespace qhbench {

inline int drawRatiosMain(int argc, char** argv, const char* baseline)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\n%s path\n", x2dMMX ? "MMX" : "plain");
    for (const auto& e : reporter.times)
        if (e.first != baseline)
            reporter.ratio(e.first.c_str() + 3, e.first, baseline);
    return 0;
}

} // namespace qhbench
