// Export and import of the JSON form of the large benchmark project, each measured against
// loading and saving the same image in the same run; the ratios of the medians of five
// repetitions are printed at the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "kestra/project_json.h"
#include "large_project.h"
#include "ratio_reporter.h"

using namespace kestra;
using namespace kestra::bench;

namespace {

const std::string& Document() {
    static const std::string document = json::ExportProjectJson(Large().bytes());
    return document;
}

void ExportJson(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(json::ExportProjectJson(Large().bytes()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Large().size));
}

// The document with room after it, read in place as `kestra import` reads its file.
std::string_view PaddedDocument() {
    static const std::string padded = [] {
        std::string text;
        text.reserve(Document().size() + json::kDocumentPadding);
        text.assign(Document());
        return text;
    }();
    return padded;
}

void ImportJson(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(json::ImportProjectJsonInPlace(PaddedDocument()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Large().size));
}

BENCHMARK(LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveLoadedProject)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportJson)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportJson)->Unit(benchmark::kMillisecond);

// With KESTRA_BENCH_FILES naming a folder, the large project's image and document are written
// there as large.kpr and large.json, for measuring the `kestra` commands on them.
void WriteFiles() {
    const char* folder = std::getenv("KESTRA_BENCH_FILES");
    if (!folder) return;
    const std::string base = std::string(folder) + "/large";
    std::ofstream(base + ".kpr", std::ios::binary)
        .write(reinterpret_cast<const char*>(Large().bytes().data()),
               static_cast<std::streamsize>(Large().size));
    std::ofstream(base + ".json", std::ios::binary) << Document();
}

}  // namespace

int main(int argc, char** argv) {
    InitializeWithMedians(&argc, argv);
    WriteFiles();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nimage: %zu bytes; document: %zu bytes\n", Large().size, Document().size());
    for (auto [what, times] : {std::pair{"real time", &reporter.seconds},
                               std::pair{"processor time", &reporter.cpuSeconds}}) {
        auto& t = *times;
        if (t["LoadProject"] > 0 && t["SaveLoadedProject"] > 0)
            std::printf(
                "%s: export / load %.1f, export / save %.1f, import / load %.1f, "
                "import / save %.1f\n",
                what, t["ExportJson"] / t["LoadProject"], t["ExportJson"] / t["SaveLoadedProject"],
                t["ImportJson"] / t["LoadProject"], t["ImportJson"] / t["SaveLoadedProject"]);
    }
    benchmark::Shutdown();
    return 0;
}
