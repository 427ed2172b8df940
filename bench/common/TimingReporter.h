#pragma once
// A console reporter that also keeps each benchmark's time per iteration in nanoseconds, so a
// program can print its own summary (ratios, shares of a block period) after the runs.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TimingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> nsPerIteration;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                nsPerIteration[run.benchmark_name()] =
                    run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }

    // The time of `name`, or a negative value when it did not run.
    double ns(const std::string& name) const
    {
        const auto it = nsPerIteration.find(name);
        return it == nsPerIteration.end() ? -1.0 : it->second;
    }
};
