// The large benchmark project (200 pages of 100 fields, 5,000 texts, three languages, 50
// bitmaps) as an editor holds it after opening its file, with its image; loading and saving
// it, the baselines of the store's own benchmarks and of the JSON form's (and the reporter of
// their ratios, for the benchmark programs that measure against them).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>

#include "project_store/project_store.h"
#include "project_store/store.h"
#include "ratio_reporter.h"
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

}  // namespace kestra::bench
