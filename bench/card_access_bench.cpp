// Whole-card write and read through the direct port path.
//
// Each run reports the software time per byte and the port accesses per byte, and from
// them what a real parallel port would give at 1 microsecond per access: the ratio of the
// software time to that port time, and the card's write or read rate in kilobytes per
// second. "library" runs against ports that answer at once (the library's own cost);
// "simulated" runs against the simulated reader and card.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "card_access/ssfdc_interface.h"
#include "devices/card_reader.h"
#include "devices/sim_card.h"
#include "devices/sim_reader.h"
#include "platform/files.h"

namespace pf = kestra::platform;

namespace {

constexpr unsigned kPages = 1024 * 32;  // a 16 MB card
constexpr unsigned kPageSize = 528;
constexpr double kRealPortAccessSeconds = 1e-6;

// The software time is the process's processor time, so that other work on the machine
// does not count.
struct Clock {
    using time_point = std::clock_t;
    static time_point now() { return std::clock(); }
};
double secondsSince(Clock::time_point start) {
    return double(Clock::now() - start) / CLOCKS_PER_SEC;
}

// Ports that are always ready and read 0: the register sequences with nothing behind them.
struct IdlePorts final : pf::PortIo {
    std::uint64_t accesses = 0;
    BYTE in(WORD) override {
        ++accesses;
        return 0x00;
    }
    void out(WORD, BYTE) override { ++accesses; }
};

struct Bench {
    std::string folder;
    std::shared_ptr<pf::SimParallelReader> reader;
    std::shared_ptr<IdlePorts> idle;
    std::unique_ptr<pf::PortScope> scope;
    std::unique_ptr<CSSFDCInterface> card;

    explicit Bench(bool simulated) {
        folder = (std::filesystem::temp_directory_path() / "kestra-bench-XXXXXX").string();
        folder = mkdtemp(folder.data());
        setenv(pf::kWindowsFolderVariable, folder.c_str(), 1);
        setenv(pf::kCardReaderVariable, "sim", 1);
        setenv(pf::kSimCardVariable, "none", 1);
        auto sim =
            pf::SimCard::Create(folder + "/card.img", *pf::SimCardGeometry::ForDeviceCode(0x73));
        reader = std::make_shared<pf::SimParallelReader>(0x378, sim);
        scope = std::make_unique<pf::PortScope>(reader);
        card = std::make_unique<CSSFDCInterface>((pf::ProgramFolder() + "/").c_str());
        if (!card->initSSFDC(0x378)) std::abort();
        if (!simulated) {
            idle = std::make_shared<IdlePorts>();
            scope.reset();
            scope = std::make_unique<pf::PortScope>(idle);
        }
    }
    ~Bench() {
        scope.reset();
        std::filesystem::remove_all(folder);
    }
    std::uint64_t accesses() const { return idle ? idle->accesses : reader->accesses().total(); }
};

void report(benchmark::State& state, std::uint64_t accesses, double seconds) {
    const double bytes = double(kPages) * kPageSize * double(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    const double perByte = double(accesses) / bytes;
    state.counters["port_accesses_per_byte"] = perByte;
    state.counters["real_port_KB_per_s"] = 1.0 / (perByte * kRealPortAccessSeconds) / 1024;
    // Software time over the time the same accesses take on a real port.
    state.counters["ratio_to_real_port"] = seconds / (double(accesses) * kRealPortAccessSeconds);
}

void WholeCardWrite(benchmark::State& state) {
    Bench bench(state.range(0) != 0);
    std::vector<char> page(kPageSize);
    for (unsigned i = 0; i < kPageSize; ++i) page[i] = static_cast<char>(i * 7);
    const std::uint64_t before = bench.accesses();
    const auto start = Clock::now();
    for (auto _ : state)
        for (unsigned row = 0; row < kPages; ++row)
            if (!bench.card->writePage(row, page.data(), kPageSize, 0)) std::abort();
    report(state, bench.accesses() - before, secondsSince(start));
}

void WholeCardRead(benchmark::State& state) {
    Bench bench(state.range(0) != 0);
    std::vector<char> page(kPageSize);
    const std::uint64_t before = bench.accesses();
    const auto start = Clock::now();
    for (auto _ : state)
        for (unsigned row = 0; row < kPages; ++row) {
            if (!bench.card->readPage(row, page.data(), kPageSize, 0)) std::abort();
            benchmark::DoNotOptimize(page.data());
        }
    report(state, bench.accesses() - before, secondsSince(start));
}

}  // namespace

BENCHMARK(WholeCardWrite)
    ->ArgName("simulated")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(WholeCardRead)
    ->ArgName("simulated")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_MAIN();
