// A 4 MB file written to and read back from a simulated 16 MB card through the card file
// system, the card interface's direct port path and the simulated reader.
//
// Reported for each direction, against the least that the card's format needs for the file
// (its 8192 pages of 512 bytes each written or read once, its 256 blocks erased once):
//   page_ops_per_data_page   page reads, programs and erases the file system made, per page
//   least_page_ops_ratio     those operations over the least
//   port_accesses_per_byte   port accesses per byte of the file
//   least_port_ratio         port accesses over the least (the least pages and erases, each
//                            at the port accesses the same operation takes alone)
//   ratio_to_real_port       processor time over the time the same port accesses take on a
//                            real parallel port at 1 microsecond each
//   real_port_seconds        what the operation would take on such a port
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "card_access/ssfdc_interface.h"
#include "card_service/card_file_system.h"
#include "card_service/interface_page_device.h"
#include "devices/card_reader.h"
#include "devices/sim_card.h"
#include "devices/sim_reader.h"
#include "platform/files.h"

namespace pf = kestra::platform;
namespace kc = kestra::card;

namespace {

constexpr std::size_t kFileBytes = 4 << 20;
constexpr double kRealPortAccessSeconds = 1e-6;

double ProcessorSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

struct Bench {
    std::string folder;
    std::shared_ptr<pf::SimParallelReader> reader;
    std::unique_ptr<pf::PortScope> ports;
    std::unique_ptr<CSSFDCInterface> card;
    CSSFDCStatus status;

    Bench() {
        folder = (std::filesystem::temp_directory_path() / "kestra-bench-XXXXXX").string();
        folder = mkdtemp(folder.data());
        setenv(pf::kWindowsFolderVariable, folder.c_str(), 1);
        setenv(pf::kCardReaderVariable, "sim", 1);
        setenv(pf::kSimCardVariable, "none", 1);
        auto sim =
            pf::SimCard::Create(folder + "/card.img", *pf::SimCardGeometry::ForDeviceCode(0x73));
        reader = std::make_shared<pf::SimParallelReader>(0x378, sim);
        ports = std::make_unique<pf::PortScope>(reader);
        card = std::make_unique<CSSFDCInterface>((pf::ProgramFolder() + "/").c_str());
        if (!card->initSSFDC(0x378) || !card->getSSFDCInfo(status)) std::abort();
    }
    ~Bench() {
        ports.reset();
        std::filesystem::remove_all(folder);
    }
    std::uint64_t accesses() const { return reader->accesses().total(); }

    // Port accesses of one page read, one page program and one block erase, alone.
    struct Unit {
        double read = 0, program = 0, erase = 0;
    };
    Unit unitCosts() {
        Unit unit;
        std::vector<char> page(kc::kRawPage, 0x5A);
        bool failed = false;
        std::uint64_t before = accesses();
        card->deleteBlock(1000 * 32, failed);
        unit.erase = double(accesses() - before);
        before = accesses();
        card->writePage(1000 * 32, page.data(), kc::kRawPage, 0);
        unit.program = double(accesses() - before);
        before = accesses();
        card->readPage(1000 * 32, page.data(), kc::kRawPage, 0);
        unit.read = double(accesses() - before);
        card->deleteBlock(1000 * 32, failed);
        return unit;
    }
};

std::vector<std::uint8_t> FileContents() {
    std::vector<std::uint8_t> bytes(kFileBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    return bytes;
}

void Report(benchmark::State& state, const kc::CardStatistics& before,
            const kc::CardStatistics& after, std::uint64_t accesses, double seconds,
            const Bench::Unit& unit, bool writing) {
    constexpr double kDataPages = kFileBytes / kc::kPageData;
    constexpr double kBlocks = kDataPages / 32;
    const double reads = double(after.pageReads - before.pageReads);
    const double programs = double(after.pagePrograms - before.pagePrograms);
    const double erases = double(after.blockErases - before.blockErases);
    const double leastOps = writing ? kDataPages + kBlocks : kDataPages;
    const double leastAccesses =
        writing ? kDataPages * unit.program + kBlocks * unit.erase : kDataPages * unit.read;
    state.counters["page_reads"] = reads;
    state.counters["page_programs"] = programs;
    state.counters["block_erases"] = erases;
    state.counters["page_ops_per_data_page"] = (reads + programs + erases) / kDataPages;
    state.counters["least_page_ops_ratio"] = (reads + programs + erases) / leastOps;
    state.counters["port_accesses_per_byte"] = double(accesses) / kFileBytes;
    state.counters["least_port_ratio"] = double(accesses) / leastAccesses;
    state.counters["ratio_to_real_port"] = seconds / (double(accesses) * kRealPortAccessSeconds);
    state.counters["real_port_seconds"] = double(accesses) * kRealPortAccessSeconds;
}

// Writes the file to a freshly formatted card, or reads it back through a file system that
// mounts the card anew (its scan is part of reading a file), and reports the operation.
void Measure(benchmark::State& state, bool writing) {
    const std::vector<std::uint8_t> contents = FileContents();
    kc::CardFile meta;
    meta.key = {17, 0};
    for (auto _ : state) {
        state.PauseTiming();
        Bench bench;
        const Bench::Unit unit = bench.unitCosts();
        kc::InterfacePageDevice device(*bench.card, bench.status);
        kc::CardFileSystem fs(device);
        fs.mount();
        fs.format();
        if (!writing) fs.store(meta, contents, "bench");
        const kc::CardStatistics before = fs.blockMap().statistics();
        const std::uint64_t accesses = bench.accesses();
        const double start = ProcessorSeconds();
        state.ResumeTiming();
        if (writing) {
            fs.store(meta, contents, "bench");
        } else {
            fs.mount();
            if (fs.load(meta.key, "bench") != contents) std::abort();
        }
        state.PauseTiming();
        Report(state, before, fs.blockMap().statistics(), bench.accesses() - accesses,
               ProcessorSeconds() - start, unit, writing);
        state.ResumeTiming();
    }
}

void WriteFile4MB(benchmark::State& state) {
    Measure(state, true);
}
void ReadFile4MB(benchmark::State& state) {
    Measure(state, false);
}

}  // namespace

BENCHMARK(WriteFile4MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ReadFile4MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
