// The console table of a benchmark program, keeping each run's processor
// time per iteration (the machine is shared, so wall time says more about the
// neighbours; with --benchmark_repetitions the median counts) for the ratios
// printed after it.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace qhbench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            const std::string name = r.run_name.str();
            if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !medians.count(name))
                times[name] = r.GetAdjustedCPUTime();
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                times[name] = r.GetAdjustedCPUTime();
                medians[name] = true;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // "ratio <label> <ours / base>", when both ran.
    void ratio(const char* label, const std::string& ours, const std::string& base)
    {
        if (times.count(ours) && times.count(base))
            printf("ratio %-48s %.3f  (%s / %s)\n", label, times[ours] / times[base], ours.c_str(), base.c_str());
    }
    std::map<std::string, double> times;
    std::map<std::string, bool> medians;
};

} // namespace qhbench
