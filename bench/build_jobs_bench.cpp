// What the workbench's hosted work adds to the libraries' own work, on large projects, as
// ratios measured in one run:
//   - telling whether a dialog changed the project (two saves through the store and a
//     comparison) against one save as the hosts make it (the image taken into bytes of their
//     own), and that against the store's save alone, on the large benchmark project;
//   - the panel image checked as `kestra panel-image --check` checks it (built, read back
//     through the driver and compared) against building it alone, on an S5 project of 200
//     pages made of the sample project's pages;
//   - the PLC list of that project printed on a recording surface against building its image.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "kestra/driver.h"
#include "kestra/host.h"
#include "kestra/panel_image.h"
#include "kestra/print.h"
#include "kestra/project_json.h"
#include "large_project.h"
#include "platform/files.h"
#include "windows/print_surface.h"
#include "workbench/hosted/hosted_project.h"

using namespace kestra;
using namespace kestra::bench;

namespace {

constexpr std::size_t kS5Pages = 200;

// The sample project with its pages repeated to 200 (the field records copied).
struct S5Project {
    host::LoadedProject project;
    std::optional<host::Driver> driver;
    std::size_t fields = 0;

    S5Project() {
        const std::string sample =
            platform::JoinPath(platform::ProgramFolder(), "samples/sample-project.json");
        const host::Bytes text = host::ReadInput(sample);
        project = host::Store::Get().load(
            sample, json::ImportProjectJson(std::string(text.begin(), text.end())));
        ProjectBlock& p = project.block();
        const auto pages = workbench::PagesOf(p);
        const mem::Ref many = mem::HostAllocate(kS5Pages * sizeof(PageRecord));
        auto* copies = reinterpret_cast<PageRecord*>(mem::Data(many));
        for (std::size_t i = 0; i < kS5Pages; ++i) {
            const PageRecord& from = pages[i % pages.size()];
            copies[i] = from;
            const auto count = std::size_t{from.fieldCount};
            copies[i].fields =
                mem::HostAllocate(static_cast<std::uint32_t>(count * sizeof(FieldRecord)));
            std::memcpy(mem::Data(copies[i].fields), mem::Data(from.fields),
                        count * sizeof(FieldRecord));
            fields += count;
        }
        p.record.pages = many;
        p.record.pageCount = static_cast<std::uint16_t>(kS5Pages);
        p.record.imageSizeClass = 20;  // room for the larger image
        p.ext.languageCount = 1;       // the sample's second language covers its own three pages
        driver.emplace(host::Driver::ForProjectCode(p.record.projectType, p.record.plcType, "s5"));
    }
};

S5Project& S5() {
    static S5Project instance;
    return instance;
}

const host::LoadedProject& LargeLoaded() {
    static const host::LoadedProject project{Large().project};
    return project;
}

// A save as the hosts make it: the image taken into their own bytes, the block freed.
void HostSave(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(workbench::SavedImage(LargeLoaded()));
}

void ChangedByUnchangedEdit(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(workbench::ChangedBy(LargeLoaded(), [] { return true; }));
}

void BuildPanelImage(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(S5().driver->buildPanelImage("s5", S5().project));
}

void BuildPanelImageChecked(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(host::BuildPanelImage("s5", S5().project, *S5().driver, true));
}

void PrintPlcList(benchmark::State& state) {
    for (auto _ : state) {
        platform::RecordingPrintSurface surface;
        benchmark::DoNotOptimize(host::PrintPlcLines(*S5().driver, S5().project.block(), surface));
    }
}

BENCHMARK(SaveLoadedProject)->Unit(benchmark::kMillisecond);
BENCHMARK(HostSave)->Unit(benchmark::kMillisecond);
BENCHMARK(ChangedByUnchangedEdit)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildPanelImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildPanelImageChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(PrintPlcList)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The driver list's copy goes to a registry file of the run's own.
    const auto registry = std::filesystem::temp_directory_path() / "build-jobs-bench.reg";
    setenv("KESTRA_REGISTRY", registry.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nlarge project: %zu bytes; S5 project: %zu pages, %zu fields\n", Large().size,
                kS5Pages, S5().fields);
    for (auto [what, times] : {std::pair{"real time", &reporter.seconds},
                               std::pair{"processor time", &reporter.cpuSeconds}}) {
        auto& t = *times;
        if (t["SaveLoadedProject"] > 0 && t["BuildPanelImage"] > 0)
            std::printf(
                "%s: host save / save %.2f, changed-by / host save %.2f, checked panel image / "
                "panel image %.2f, PLC list / panel image %.2f\n",
                what, t["HostSave"] / t["SaveLoadedProject"],
                t["ChangedByUnchangedEdit"] / t["HostSave"],
                t["BuildPanelImageChecked"] / t["BuildPanelImage"],
                t["PrintPlcList"] / t["BuildPanelImage"]);
    }
    std::filesystem::remove(registry);
    benchmark::Shutdown();
    return 0;
}
