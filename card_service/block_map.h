// Logical blocks on physical blocks: the translation layer of the card.
//
// The card is divided into zones of up to 1024 physical blocks; a zone offers 1000 logical
// blocks per 1024 physical ones (125 per 128), so that bad blocks and copies in progress have
// room. Every page of a physical block carries the number of its logical block within the
// zone (see spare_area.h). The first good block of zone 0 holds the card information
// structure (CIS) that standard readers look for; it is never given to a logical block.
//
// A logical block is never overwritten in place: a write goes to a free physical block of the
// same zone, every page is read back and compared, and only then is the previous copy erased.
// After a power cut the card may hold two copies. The scan keeps the first one in block order
// that was written to its last page, as a standard reader does (on a card of the earlier
// layout, the one with the newest write generation); the copies stay known, so that a caller
// that can tell which contents are newer (the directory, by its commit number) can choose
// another. A block whose erase fails, or whose pages do not read back as written, is marked
// bad and the write moves to another block. Blocks marked bad by the maker (block status in
// the first or second page) are never erased or written.
//
// The scan reads only the first page of every block (and the last page of competing copies);
// it never writes, so a card can be looked at without changing it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "card_service/block_store.h"
#include "card_service/page_device.h"
#include "card_service/spare_area.h"

namespace kestra::card {

struct CardStatistics {
    std::uint64_t pageReads = 0;
    std::uint64_t pagePrograms = 0;
    std::uint64_t blockErases = 0;
    std::uint64_t correctedPages = 0;  // pages read with a bit error put right by the ECC
    unsigned grownBadBlocks = 0;       // blocks marked bad since the scan
};

class BlockMap : public BlockStore {
  public:
    explicit BlockMap(PageDevice& device);

    // Reads the card's labels and rebuilds the map. Throws CardError on a reader fault.
    void scan() override;

    const CardGeometry& geometry() const override { return geometry_; }
    const std::vector<Zone>& zones() const override { return zones_; }
    unsigned logicalBlocks() const override { return logicalBlocks_; }
    unsigned zoneOf(unsigned logical) const;

    bool mapped(unsigned logical) const { return mapping_[logical].has_value(); }
    std::optional<unsigned> physicalOf(unsigned logical) const;
    std::vector<unsigned> mappedLogicalBlocks() const override;

    // Every copy of a logical block that the scan found, the chosen one first, then the others
    // in the order the scan ranked them.
    std::vector<unsigned> copies(unsigned logical) const override;
    void choose(unsigned logical, std::optional<unsigned> physical) override;

    // Reads the data of one page of a copy of `logical` (of its chosen copy when `physical` is
    // not given), correcting single-bit errors. Damaged when the page does not belong to that
    // copy or its errors cannot be corrected.
    ReadResult readPage(unsigned logical, unsigned page, std::span<std::uint8_t, kPageData> out,
                        std::optional<unsigned> physical = std::nullopt) override;

    // Writes `data` (at most blockBytes(); the rest of the block reads 0xFF) as the new
    // contents of `logical`. Throws CardError when no good block of the zone can take it.
    void write(unsigned logical, std::span<const std::uint8_t> data) override;

    // Forgets a logical block and erases every copy of it.
    void release(unsigned logical) override;
    bool cardPresent() override { return device_.cardPresent(); }
    // Erases the copies that lost to a newer one (they hold no room for new data until then).
    void dropStaleCopies() override;
    // Erases every good block except the chosen copy of `keep` and the CIS and forgets all
    // other logical blocks. `step` is called after each block.
    void clearAllBut(unsigned keep, const std::function<void(unsigned)>& step) override;

    // Physical blocks of the zone that are free to take.
    unsigned freeBlocks(unsigned zone) const { return freeCount_[zone]; }
    unsigned badBlocks() const override;
    unsigned badBlocks(unsigned zone) const;
    unsigned unusableBlocks(unsigned zone) const override;
    const CardStatistics& statistics() const { return stats_; }

    void spreadWrites(std::uint32_t seed) override;
    // The block of the card information structure (or the one it is to go to), and whether
    // it is there.
    std::optional<unsigned> cisBlock() const { return cisBlock_; }
    bool hasCis() const { return cisPresent_; }
    // Writes the CIS where it is missing (moving the logical block that lies there away) and
    // moves every block labelled the earlier way to a block labelled the current way.
    bool needsLayoutUpdate() const override;
    void updateLayout() override;

    // Raw access for whole-card images; the map must be scanned again afterwards.
    PageDevice& device() { return device_; }

  private:
    enum class State : std::uint8_t { Free, Mapped, Stale, Bad, Reserved };
    struct Physical {
        State state = State::Free;
        bool checked = false;  // both pages that may carry a maker's bad-block mark were read
        std::optional<std::uint16_t> legacyGeneration;  // labelled the earlier way
        // Left over with spare bytes 0-3 in use (from the earlier layout): a standard reader
        // cannot read the zone while such a block is there.
        bool reservedInUse = false;
    };

    unsigned row(unsigned physical, unsigned page) const {
        return physical * geometry_.pagesPerBlock + page;
    }
    void read(unsigned row, RawPage page);
    bool isCis(RawPage firstPage);
    void findCisBlock();
    std::optional<unsigned> nextCisCandidate(unsigned after) const;
    bool complete(unsigned physical, unsigned zoneAddress);
    std::optional<std::uint16_t> lastPageGeneration(unsigned physical, unsigned zoneAddress);
    void resolve(unsigned logical, std::vector<unsigned>& candidates);
    std::optional<unsigned> takeFree(unsigned zone);
    bool prepare(unsigned physical);
    bool programAndVerify(unsigned physical, unsigned pages, std::span<const std::uint8_t> data,
                          const std::function<void(RawPage)>& label);
    bool relocate(unsigned logical);
    bool writeCis(unsigned physical);
    void eraseToFree(unsigned physical);
    void freed(unsigned physical);
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
    std::optional<unsigned> cisBlock_;
    bool cisPresent_ = false;
    CardStatistics stats_;
    std::vector<std::uint8_t> pageBuffer_;
};

}  // namespace kestra::card
