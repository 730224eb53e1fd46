// Loading and saving a large project (200 pages of 100 fields, 5,000 texts, three languages,
// 50 bitmaps), each measured against copying as many bytes as the image holds, in the same
// run, and a load with its release (what closing a project after opening it costs) against
// the load alone; the ratios of the medians of five repetitions are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "large_project.h"
#include "ratio_reporter.h"

using namespace kestra;
using namespace kestra::bench;

namespace {

void CopyImage(benchmark::State& state) {
    const auto source = mem::Bytes(Large().image);
    std::vector<std::byte> destination(source.size());
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// A load and the release of what it loaded, both timed.
void LoadAndReleaseProject(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL project = GetProject(Large().image, 0);
        benchmark::DoNotOptimize(project);
        store::ReleaseProject(project);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Large().size));
}

BENCHMARK(CopyImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveLoadedProject)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadAndReleaseProject)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    InitializeWithMedians(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nimage: %zu bytes, %u pages\n", Large().size,
                testing::ProjectAt(Large().project).record.pageCount.get());
    for (auto [what, times] : {std::pair{"real time", &reporter.seconds},
                               std::pair{"processor time", &reporter.cpuSeconds}}) {
        const double copy = (*times)["CopyImage"];
        const double load = (*times)["LoadProject"];
        if (copy > 0)
            std::printf("%s: load / copy %.1f, save / copy %.1f\n", what, load / copy,
                        (*times)["SaveLoadedProject"] / copy);
        if (load > 0)
            std::printf("%s: load and release / load %.2f\n", what,
                        (*times)["LoadAndReleaseProject"] / load);
    }
    benchmark::Shutdown();
    return 0;
}
