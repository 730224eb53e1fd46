// Export and import of the JSON form of the large benchmark project, each measured against
// loading and saving the same image in the same run, and the floors beneath them (writing the
// document's text, parsing it); the ratios of the medians of five repetitions are printed at
// the end.
#include <benchmark/benchmark.h>

#include <simdjson.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "kestra/project_json.h"
#include "large_project.h"
#include "platform/huge_pages.h"
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

// ---- Floors: what any export or import of the document pays at least. Export writes a
// fresh text of the document's size (advised as huge pages, as export's is), where the same
// bytes copied into memory written before cost only their copy; import parses the text (stage
// 1 finds its structure, stage 2 builds the tape the import reads).

void FloorFreshText(benchmark::State& state) {
    for (auto _ : state) {
        std::string text;
        text.reserve(Document().size());
        platform::AdviseHugePages(text.data(), text.capacity());
        text.append(Document());
        benchmark::DoNotOptimize(text.data());
    }
}

void FloorTouchedText(benchmark::State& state) {
    std::string text(Document().size(), ' ');
    for (auto _ : state) {
        std::memcpy(text.data(), Document().data(), text.size());
        benchmark::ClobberMemory();
    }
}

void FloorParseStage1(benchmark::State& state) {
    simdjson::dom::parser parser;
    if (parser.allocate(PaddedDocument().size())) state.SkipWithError("no room for the parse");
    const auto* text = reinterpret_cast<const std::uint8_t*>(PaddedDocument().data());
    for (auto _ : state)
        if (parser.implementation->stage1(text, PaddedDocument().size(),
                                          simdjson::stage1_mode::regular))
            state.SkipWithError("stage 1 failed");
}

void FloorParseTape(benchmark::State& state) {
    simdjson::dom::parser parser;
    const auto* text = reinterpret_cast<const std::uint8_t*>(PaddedDocument().data());
    for (auto _ : state) {
        simdjson::dom::element root;
        if (parser.parse(text, PaddedDocument().size(), false).get(root))
            state.SkipWithError("the document does not parse");
    }
}

BENCHMARK(LoadProject)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveLoadedProject)->Unit(benchmark::kMillisecond);
BENCHMARK(ExportJson)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportJson)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorFreshText)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorTouchedText)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorParseStage1)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorParseTape)->Unit(benchmark::kMillisecond);

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
        if (t["FloorFreshText"] > 0 && t["FloorParseTape"] > 0 && t["LoadProject"] > 0)
            std::printf(
                "%s floors / load: fresh text %.1f, touched text %.1f, parse stage 1 %.1f, "
                "stages 1 and 2 %.1f\n",
                what, t["FloorFreshText"] / t["LoadProject"], t["FloorTouchedText"] / t["LoadProject"],
                t["FloorParseStage1"] / t["LoadProject"], t["FloorParseTape"] / t["LoadProject"]);
    }
    benchmark::Shutdown();
    return 0;
}
