// Building the type 1 image of a large project (200 pages of 100 fields, 256 alarms), against
// copying as many bytes as the image has, measured in the same run. The medians of five
// repetitions are printed as the time per field and the ratio of the two times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kestra/project.h"
#include "platform/memory.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "ratio_reporter.h"
#include "string_table/string_table.h"
#include "utilities/services.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

constexpr std::size_t kPages = 200;
constexpr std::size_t kFieldsPerPage = 100;

// A project of numeric, message, bit and text fields spread over a few data blocks.
HGLOBAL BuildLargeProject() {
    SetAppFmalloc(&mem::HostAllocate);
    HGLOBAL handle = GlobalAlloc(GHND, kProjectBlockSize);
    auto* p = static_cast<ProjectBlock*>(GlobalLock(handle));
    ProjectRecord& r = p->record;
    r.plcType = 20;
    r.imageSizeClass = 20;
    r.titleId = StrTabAddText("Large project", p);
    r.section2aCount = kAlarmCount;
    r.section2a = GlobalAlloc(GHND, kAlarmCount * sizeof(AlarmRecord));
    auto* alarms = reinterpret_cast<AlarmRecord*>(mem::Data(r.section2a));
    for (std::size_t i = 0; i < kAlarmCount; ++i) {
        alarms[i].flags = 0x54;
        alarms[i].priority = static_cast<std::uint8_t>(i % 8);
        alarms[i].textId = StrTabAddText(("Alarm number " + std::to_string(i + 1)).c_str(), p);
    }
    const std::uint16_t on = StrTabAddText("Running", p), off = StrTabAddText("Stopped", p);
    r.pageCount = kPages;
    r.pages = mem::HostAllocate(kPages * sizeof(PageRecord));
    auto* pages = reinterpret_cast<PageRecord*>(mem::Data(r.pages));
    for (std::size_t pg = 0; pg < kPages; ++pg) {
        PageRecord& page = pages[pg];
        page.setNameId(StrTabAddText(("Page " + std::to_string(pg + 1)).c_str(), p));
        page.fieldCount = kFieldsPerPage;
        page.fields = mem::HostAllocate(kFieldsPerPage * sizeof(FieldRecord));
        auto* fields = reinterpret_cast<FieldRecord*>(mem::Data(page.fields));
        for (std::size_t i = 0; i < kFieldsPerPage; ++i) {
            FieldRecord& f = fields[i];
            f.fieldClass = 2;
            f.r0[0] = static_cast<std::uint8_t>(i % 16);
            f.r0[1] = static_cast<std::uint8_t>(i % 40);
            f.width = 8;
            f.height = 1;
            f.display.format = 2 << 3;
            f.display.maximum = 1000;
            f.plc.dataBlock = static_cast<std::uint8_t>(10 + i % 4);
            f.plc.byteOffset = static_cast<std::uint16_t>(i * 4 % 500);
            f.plc.dataType = 1;
            f.plc.dataFormat = i % 10 == 0 ? kBit : i % 10 == 1 ? kAscii : kWord;
            f.display.fieldType = i % 10 == 1 ? kAsciiField : i % 10 == 2 ? kMessage : kNumeric;
            if (f.display.fieldType == kMessage) {
                f.display.maximum = 1;
                f.list1.count = 2;
                f.list1.block = GlobalAlloc(GHND, 2 * sizeof(ListEntry));
                auto* ranges = reinterpret_cast<ListEntry*>(mem::Data(f.list1.block));
                ranges[0].textId = off;
                ranges[1].firstKey = ranges[1].lastKey = 1;
                ranges[1].textId = on;
            }
        }
    }
    GlobalUnlock(handle);
    return handle;
}

HGLOBAL Project() {
    static HGLOBAL project = BuildLargeProject();
    return project;
}

std::size_t ImageSize() {
    static std::size_t size = [] {
        HGLOBAL image = 0;
        const std::size_t n = SaveProject(Project(), 0, &image);
        GlobalFree(image);
        return n;
    }();
    return size;
}

void BM_SaveType1Image(benchmark::State& state) {
    const HGLOBAL project = Project();
    for (auto _ : state) {
        HGLOBAL image = 0;
        benchmark::DoNotOptimize(SaveProject(project, 0, &image));
        state.PauseTiming();
        GlobalFree(image);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * ImageSize()));
}
BENCHMARK(BM_SaveType1Image)->Unit(benchmark::kMillisecond);

void BM_CopyImageBytes(benchmark::State& state) {
    std::vector<std::uint8_t> source(ImageSize(), 0x5A), target(ImageSize());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * ImageSize()));
}
BENCHMARK(BM_CopyImageBytes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    kestra::bench::InitializeWithMedians(&argc, argv);
    kestra::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("type 1 image of %zu pages x %zu fields and %zu alarms: %zu bytes\n", kPages,
                kFieldsPerPage, kAlarmCount, ImageSize());
    constexpr double kFields = kPages * kFieldsPerPage;
    for (auto [what, times] : {std::pair{"real time", &reporter.seconds},
                               std::pair{"processor time", &reporter.cpuSeconds}}) {
        const double save = (*times)["BM_SaveType1Image"], copy = (*times)["BM_CopyImageBytes"];
        if (save > 0)
            std::printf("%s: %.1f ns per field, %.3f ms per image%s", what, save / kFields * 1e9,
                        save * 1e3, copy > 0 ? "" : "\n");
        if (save > 0 && copy > 0) std::printf(", build / copy %.0f\n", save / copy);
    }
    benchmark::Shutdown();
    return 0;
}
