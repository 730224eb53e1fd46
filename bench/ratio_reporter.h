// Running a benchmark program as its figures are reported: every benchmark repeated five
// times and only the mean, median and spread printed (unless the command line asks for
// something else), and a reporter that keeps each benchmark's median time per iteration in
// seconds (or its one time, when it ran once), for the ratio lines printed at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const std::string name = run.run_name.str();
            // Repeated runs are represented by their median alone.
            if (run.run_type == Run::RT_Iteration && medians_.count(name)) continue;
            if (median) medians_[name] = true;
            seconds[name] = run.GetAdjustedRealTime() / multiplier(run.time_unit);
            cpuSeconds[name] = run.GetAdjustedCPUTime() / multiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Times per iteration by benchmark name: real (wall-clock) and processor time.
    std::map<std::string, double> seconds;
    std::map<std::string, double> cpuSeconds;

  private:
    static double multiplier(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e9;
            case benchmark::kMicrosecond:
                return 1e6;
            case benchmark::kMillisecond:
                return 1e3;
            default:
                return 1;
        }
    }
    std::map<std::string, bool> medians_;
};

// Initialises the benchmark library with five repetitions and aggregates only, unless the
// command line names a number of repetitions itself.
inline void InitializeWithMedians(int* argc, char** argv) {
    static std::vector<char*> args;
    static std::string repetitions = "--benchmark_repetitions=5";
    static std::string aggregatesOnly = "--benchmark_report_aggregates_only=true";
    args.assign(argv, argv + *argc);
    bool chosen = false;
    for (int i = 1; i < *argc; ++i)
        chosen = chosen || std::string_view(argv[i]).starts_with("--benchmark_repetitions");
    if (!chosen) {
        args.push_back(repetitions.data());
        args.push_back(aggregatesOnly.data());
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
}

}  // namespace kestra::bench
