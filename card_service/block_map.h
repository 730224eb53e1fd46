// Logical blocks on physical blocks: the translation layer of the card.
//
// The card is divided into zones of up to 1024 physical blocks; a zone offers 1000 logical
// blocks per 1024 physical ones (125 per 128), so that bad blocks and copies in progress have
// room. Every page of a physical block carries the number of its logical block within the
// zone and the generation of the write (see spare_area.h).
//
// A logical block is never overwritten in place: a write goes to a free physical block of the
// same zone with the next generation, every page is read back and compared, and only then is
// the previous copy erased. After a power cut the card may hold two copies; the scan keeps the
// newest one that was written to its last page. A block whose erase fails, or whose pages do
// not read back as written, is marked bad and the write moves to another block. Blocks marked
// bad by the maker (block status in the first or second page) are never erased or written.
//
// The scan reads only the first page of every block (and the last page of competing copies);
// it never writes, so a card can be looked at without changing it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "card_service/page_device.h"
#include "card_service/spare_area.h"

namespace kestra::card {

struct Zone {
    unsigned firstPhysical = 0;
    unsigned physicalCount = 0;
    unsigned firstLogical = 0;
    unsigned logicalCount = 0;
};

// Zones of a card of this geometry.
std::vector<Zone> ZonesFor(const CardGeometry& geometry);

struct CardStatistics {
    std::uint64_t pageReads = 0;
    std::uint64_t pagePrograms = 0;
    std::uint64_t blockErases = 0;
    std::uint64_t correctedPages = 0;  // pages read with a bit error put right by the ECC
    unsigned grownBadBlocks = 0;       // blocks marked bad since the scan
};

class BlockMap {
  public:
    explicit BlockMap(PageDevice& device);

    // Reads the card's labels and rebuilds the map. Throws CardError on a reader fault.
    void scan();

    const CardGeometry& geometry() const { return geometry_; }
    const std::vector<Zone>& zones() const { return zones_; }
    unsigned logicalBlocks() const { return logicalBlocks_; }
    std::size_t blockBytes() const { return geometry_.blockDataBytes(); }
    unsigned zoneOf(unsigned logical) const;

    bool mapped(unsigned logical) const { return mapping_[logical].has_value(); }
    std::optional<unsigned> physicalOf(unsigned logical) const;
    std::vector<unsigned> mappedLogicalBlocks() const;

    // Every copy of a logical block that the scan found, the chosen one first, then the others
    // from newest to oldest. A caller that can judge the contents (the directory) may choose
    // another copy, or none.
    std::vector<unsigned> copies(unsigned logical) const;
    void choose(unsigned logical, std::optional<unsigned> physical);

    enum class ReadResult { Good, Corrected, Damaged };
    // Reads the data of one page of a copy of `logical` (of its chosen copy when `physical` is
    // not given), correcting single-bit errors. Damaged when the page does not belong to that
    // copy or its errors cannot be corrected.
    ReadResult readPage(unsigned logical, unsigned page, std::span<std::uint8_t, kPageData> out,
                        std::optional<unsigned> physical = std::nullopt);

    // Writes `data` (at most blockBytes(); the rest of the block reads 0xFF) as the new
    // contents of `logical`. Throws CardError when no good block of the zone can take it.
    void write(unsigned logical, std::span<const std::uint8_t> data);

    // Forgets a logical block and erases every copy of it.
    void release(unsigned logical);
    // Erases the copies that lost to a newer one (they hold no room for new data until then).
    void dropStaleCopies();
    // Erases every good block except the chosen copy of `keep` and forgets all other logical
    // blocks. `step` is called after each block.
    template <typename Step>
    void eraseAllBut(unsigned keep, Step step);

    // Physical blocks of the zone that are free to take.
    unsigned freeBlocks(unsigned zone) const { return freeCount_[zone]; }
    unsigned badBlocks() const;
    unsigned badBlocks(unsigned zone) const;
    const CardStatistics& statistics() const { return stats_; }

    // Raw access for whole-card images; the map must be scanned again afterwards.
    PageDevice& device() { return device_; }

  private:
    enum class State : std::uint8_t { Free, Mapped, Stale, Bad };
    struct Physical {
        State state = State::Free;
        bool checked = false;  // both pages that may carry a maker's bad-block mark were read
        std::uint16_t generation = 0;
    };

    unsigned row(unsigned physical, unsigned page) const {
        return physical * geometry_.pagesPerBlock + page;
    }
    void read(unsigned row, RawPage page);
    bool complete(unsigned physical, unsigned zoneAddress, std::uint16_t generation);
    std::optional<std::uint16_t> lastPageGeneration(unsigned physical, unsigned zoneAddress);
    void resolve(unsigned logical, std::vector<unsigned>& candidates);
    std::optional<unsigned> takeFree(unsigned zone);
    bool prepare(unsigned physical);
    bool programAndVerify(unsigned physical, unsigned zoneAddress, std::uint16_t generation,
                          std::span<const std::uint8_t> data);
    void eraseToFree(unsigned physical);
    void retire(unsigned logical, unsigned physical);
    void markBad(unsigned physical, bool grown = true);
    void setState(unsigned physical, State state);
    void dropStaleCopies(unsigned logical);

    PageDevice& device_;
    CardGeometry geometry_;
    std::vector<Zone> zones_;
    unsigned logicalBlocks_ = 0;
    std::vector<Physical> physical_;
    std::vector<std::optional<unsigned>> mapping_;           // logical -> physical
    std::map<unsigned, std::vector<unsigned>> staleCopies_;  // logical -> losing copies
    std::vector<unsigned> freeCount_;
    std::vector<unsigned> cursor_;  // next free block to try, per zone
    CardStatistics stats_;
    std::vector<std::uint8_t> pageBuffer_;
};

template <typename Step>
void BlockMap::eraseAllBut(unsigned keep, Step step) {
    const std::optional<unsigned> kept = mapping_[keep];
    for (unsigned physical = 0; physical < geometry_.blocks; ++physical) {
        if (physical != kept && physical_[physical].state != State::Bad && prepare(physical))
            setState(physical, State::Free);
        step(physical);
    }
    for (unsigned logical = 0; logical < logicalBlocks_; ++logical)
        if (logical != keep) mapping_[logical].reset();
    staleCopies_.clear();
}

}  // namespace kestra::card
