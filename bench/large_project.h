// The large benchmark project (200 pages of 100 fields, 5,000 texts, three languages, 50
// bitmaps) as an editor holds it after opening its file, with its image; loading and saving
// it, the baselines of the store's own benchmarks and of the JSON form's; and a reporter that
// keeps each benchmark's time per iteration in seconds, for the ratios printed at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "project_store/project_store.h"
#include "project_store/store.h"
#include "support/project_builder.h"
#include "utilities/services.h"

namespace kestra::bench {

struct LargeProject {
    HGLOBAL project = 0;
    HGLOBAL image = 0;
    std::size_t size = 0;

    LargeProject() {
        SetAppFmalloc(&mem::HostAllocate);
        HGLOBAL built = testing::BuildProject(testing::kBenchmarkShape);
        HGLOBAL first = 0;
        SaveProject(built, 0, &first);
        project = GetProject(first, 0);
        size = SaveProject(project, 0, &image);
        store::ReleaseProject(built);
        GlobalFree(first);
    }

    std::span<const std::uint8_t> bytes() const {
        return {reinterpret_cast<const std::uint8_t*>(mem::Bytes(image).data()), size};
    }
};

inline LargeProject& Large() {
    static LargeProject instance;
    return instance;
}

inline void LoadProject(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL project = GetProject(Large().image, 0);
        benchmark::DoNotOptimize(project);
        state.PauseTiming();
        store::ReleaseProject(project);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Large().size));
}

inline void SaveLoadedProject(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL image = 0;
        benchmark::DoNotOptimize(SaveProject(Large().project, 0, &image));
        state.PauseTiming();
        GlobalFree(image);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Large().size));
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // With repetitions, a benchmark's time is the median of them.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median =
                run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const std::string name = median ? run.run_name.str() : run.benchmark_name();
            seconds[name] = run.GetAdjustedRealTime() / multiplier(run.time_unit);
            cpuSeconds[name] = run.GetAdjustedCPUTime() / multiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
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
};

}  // namespace kestra::bench
