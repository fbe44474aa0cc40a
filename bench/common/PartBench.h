// The set-up and the table of a benchmark of the show's parts: the show's
// screen and archive, and every benchmark's median processor time in ms with
// its ratio to a baseline measured in the same run.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "X2d/X2d.h"
#include "bench/common/RunTimes.h"
#include "files/xFileIO.h"
#include "tests/common/ShowStart.h"

// The screen as the show sets it up, the show's archive as the parts' file
// source, and its folder the working one; false the second time.
inline bool benchShowSetUp()
{
    static bool done = false;
    if (done)
        return false;
    done = true;
    startShowScreen();
    if (!enterFolderOf(QH_DEMO_PAK) || g_fileIO.Open(QH_DEMO_PAK) != 0) {
        fprintf(stderr, "no %s: build the data first\n", QH_DEMO_PAK);
        exit(1);
    }
    g_pFileIO = &g_fileIO;
    return true;
}

// Runs the benchmarks named on the command line (each one repeated, its
// median kept) and prints their times and ratios to the baseline's.
inline int benchRunWithRatios(int argc, char** argv, const char* baseline)
{
    benchmark::Initialize(&argc, argv);
    RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double base = 0;
    for (const auto& e : reporter.times)
        if (e.first.rfind(baseline, 0) == 0)
            base = e.second;
    if (base <= 0)
        return 1;
    printf("\n%-16s %10s %14s  (%s path)\n", "benchmark", "median ms", "ratio/baseline", x2dMMX ? "SSE2" : "plain");
    for (const auto& e : reporter.times)
        if (e.first.rfind(baseline, 0) != 0) {
            const std::string name = e.first.substr(3, e.first.find('/') - 3);
            printf("%-16s %10.3f %14.2f\n", name.c_str(), e.second / 1e6, e.second / base);
        }
    return 0;
}
