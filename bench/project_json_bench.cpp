// Export and import of the JSON form of the large benchmark project (200 pages of 100 fields,
// 5,000 texts, three languages, 50 bitmaps), each measured against loading and saving the
// same image in the same run; the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "kestra/project_json.h"
#include "project_store/project_store.h"
#include "project_store/store.h"
#include "support/project_builder.h"
#include "utilities/services.h"

using namespace kestra;

namespace {

struct LargeProject {
    HGLOBAL project = 0;
    std::vector<std::uint8_t> image;
    HGLOBAL imageBlock = 0;
    std::string document;

    LargeProject() {
        SetAppFmalloc(&mem::HostAllocate);
        HGLOBAL built = testing::BuildProject(testing::kBenchmarkShape);
        HGLOBAL first = 0;
        SaveProject(built, 0, &first);
        project = GetProject(first, 0);
        const std::size_t size = SaveProject(project, 0, &imageBlock);
        const auto bytes = mem::Bytes(imageBlock);
        image.assign(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                     reinterpret_cast<const std::uint8_t*>(bytes.data()) + size);
        document = json::ExportProjectJson(image);
        store::ReleaseProject(built);
        GlobalFree(first);
    }
};

LargeProject& large() {
    static LargeProject instance;
    return instance;
}

void LoadProject(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL project = GetProject(large().imageBlock, 0);
        benchmark::DoNotOptimize(project);
        state.PauseTiming();
        store::ReleaseProject(project);
        state.ResumeTiming();
    }
}

void SaveProjectImage(benchmark::State& state) {
    for (auto _ : state) {
        HGLOBAL image = 0;
        benchmark::DoNotOptimize(SaveProject(large().project, 0, &image));
        state.PauseTiming();
        GlobalFree(image);
        state.ResumeTiming();
    }
}

void ExportJson(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(json::ExportProjectJson(large().image));
}

void ImportJson(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(json::ImportProjectJson(large().document));
}

BENCHMARK(LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveProjectImage)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportJson)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportJson)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                seconds[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;  // processor time per iteration, all in ms
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.seconds;
    std::printf("\nimage: %zu bytes; document: %zu bytes\n", large().image.size(),
                large().document.size());
    if (t["LoadProject"] > 0 && t["SaveProjectImage"] > 0)
        std::printf(
            "processor time: export / load %.1f, export / save %.1f, "
            "import / load %.1f, import / save %.1f\n",
            t["ExportJson"] / t["LoadProject"], t["ExportJson"] / t["SaveProjectImage"],
            t["ImportJson"] / t["LoadProject"], t["ImportJson"] / t["SaveProjectImage"]);
    benchmark::Shutdown();
    return 0;
}
