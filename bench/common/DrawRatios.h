// The main of a benchmark program of the show's drawing: runs the
// benchmarks, then prints each one's time as a ratio to the baseline's
// (memcpy of the same bytes) measured in the same run, and which drawing
// path the sprites took. Header-only: each program includes it once.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "X2d/X2d.h"

namespace qhbench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(bool cpuTime) : cpu(cpuTime) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                ns[r.benchmark_name()] = cpu ? r.GetAdjustedCPUTime() : r.GetAdjustedRealTime();
    }
    bool cpu;
    std::map<std::string, double> ns;
};

// cpuTime: ratios of processor time rather than wall time.
inline int drawRatiosMain(int argc, char** argv, const char* baseline, bool cpuTime)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(cpuTime);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double base = reporter.ns[baseline];
    printf("\n%-16s %12s  (%s path)\n", "frame", "ratio/memcpy", x2dMMX ? "MMX" : "plain");
    for (const auto& e : reporter.ns)
        if (e.first != baseline && base > 0)
            printf("%-16s %12.2f\n", e.first.c_str() + 3, e.second / base);
    return 0;
}

} // namespace qhbench
