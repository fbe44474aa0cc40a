// The set-up and the report of a benchmark of the show's parts: the show's
// screen and archive, and every benchmark's time as a ratio to a baseline
// measured in the same run.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "files/xFileIO.h"
#include "tests/common/ShowStart.h"

// The screen as the show sets it up and the show's archive as the parts'
// file source; false the second time.
inline bool benchShowSetUp()
{
    static bool done = false;
    if (done)
        return false;
    done = true;
    startShowScreen();
    if (g_fileIO.Open(QH_DEMO_PAK) != 0) {
        fprintf(stderr, "no %s: build the data first\n", QH_DEMO_PAK);
        exit(1);
    }
    g_pFileIO = &g_fileIO;
    return true;
}

// Keeps each benchmark's time: the median where runs are repeated, else the
// one run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.repetitions <= 1)
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                times[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    // Every time but the baseline's, with its ratio to the baseline.
    void PrintRatios(const char* baseline, bool withTime) const
    {
        auto base = times.find(baseline);
        if (base == times.end() || base->second <= 0)
            return;
        printf("\n%-16s ", "benchmark");
        if (withTime)
            printf("%10s ", "median");
        printf("%14s  (%s path)\n", "ratio/baseline", x2dMMX ? "MMX" : "plain");
        for (const auto& e : times)
            if (e.first != baseline) {
                printf("%-16s ", e.first.c_str() + 3);
                if (withTime)
                    printf("%10.3f ", e.second);
                printf("%14.2f\n", e.second / base->second);
            }
    }
    std::map<std::string, double> times; // in each benchmark's unit
};

// Runs the benchmarks named on the command line and prints their ratios.
inline int benchRunWithRatios(int argc, char** argv, const char* baseline, bool withTime)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(baseline, withTime);
    return 0;
}
