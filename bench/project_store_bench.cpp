// Loading and saving a large project (200 pages of 100 fields, 5,000 texts, three languages,
// 50 bitmaps), each measured against copying as many bytes as the image holds, in the same
// run; the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "project_store/project_store.h"
#include "project_store/store.h"
#include "support/project_builder.h"
#include "utilities/services.h"

using namespace kestra;

namespace {

struct LargeProject {
    HGLOBAL project = 0;
    HGLOBAL image = 0;
    std::size_t size = 0;

    LargeProject() {
        SetAppFmalloc(&mem::HostAllocate);
        HGLOBAL built = testing::BuildProject(testing::kBenchmarkShape);
        HGLOBAL first = 0;
        SaveProject(built, 0, &first);
        // The project as an editor holds it after opening the file.
        project = GetProject(first, 0);
        size = SaveProject(project, 0, &image);
        store::ReleaseProject(built);
        GlobalFree(first);
    }
};

LargeProject& large() {
    static LargeProject instance;
    return instance;
}

void CopyImage(benchmark::State& state) {
    const auto source = mem::Bytes(large().image);
    std::vector<std::byte> destination(source.size());
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

void LoadProject(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL project = GetProject(large().image, 0);
        benchmark::DoNotOptimize(project);
        state.PauseTiming();
        store::ReleaseProject(project);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * large().size));
}

void SaveLoadedProject(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL image = 0;
        benchmark::DoNotOptimize(SaveProject(large().project, 0, &image));
        state.PauseTiming();
        GlobalFree(image);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * large().size));
}

BENCHMARK(CopyImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveLoadedProject)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) {
                seconds[run.benchmark_name()] =
                    run.GetAdjustedRealTime() / multiplier(run.time_unit);
                cpuSeconds[run.benchmark_name()] =
                    run.GetAdjustedCPUTime() / multiplier(run.time_unit);
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

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nimage: %zu bytes, %u pages\n", large().size,
                testing::ProjectAt(large().project).record.pageCount.get());
    for (auto [what, times] : {std::pair{"real time", &reporter.seconds},
                               std::pair{"processor time", &reporter.cpuSeconds}}) {
        const double copy = (*times)["CopyImage"];
        if (copy > 0)
            std::printf("%s: load / copy %.0f, save / copy %.0f\n", what,
                        (*times)["LoadProject"] / copy, (*times)["SaveLoadedProject"] / copy);
    }
    benchmark::Shutdown();
    return 0;
}
