// A console reporter that also keeps each run's processor time in
// nanoseconds, for the ratio tables the benchmark programs print at the end.
// Processor time, not wall time: the machines they run on are shared, and
// waiting for a core says nothing about the loops. With
// --benchmark_repetitions the median of the repetitions counts.
#pragma once
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

class RunTimesReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const std::string name = r.run_name.str();
            const double ns = r.GetAdjustedCPUTime() * unitNs(r.time_unit);
            if (r.run_type == Run::RT_Iteration && !medians.count(name))
                times[name] = ns;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                times[name] = ns;
                medians[name] = true;
            }
        }
    }

    // The run's time, 0 when it did not run.
    double at(const std::string& name) const
    {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> times;
    std::map<std::string, bool> medians;

private:
    static double unitNs(benchmark::TimeUnit u)
    {
        return u == benchmark::kMillisecond ? 1e6 : u == benchmark::kMicrosecond ? 1e3 : u == benchmark::kSecond ? 1e9 : 1.0;
    }
};
