// The logical blocks of a card that a USB reader shows as a disk.
//
// The reader's own translation layer does the error correction, the bad blocks and the copies
// of a block being rewritten; the disk is the card's logical blocks one after the other. The
// card file system keeps the same directory and files there as on a card whose pages it reads
// itself. A block is written whole in one request, so that the reader replaces it in one step.
#pragma once

#include <optional>
#include <vector>

#include "card_service/block_store.h"
#include "devices/logical_disk.h"

namespace kestra::card {

// Bytes of the disk a reader shows for a card of this geometry (its logical blocks).
std::uint64_t LogicalBytes(const CardGeometry& geometry);

class LogicalStore : public BlockStore {
  public:
    // `geometry` is the physical geometry of the card type whose logical size the disk has.
    LogicalStore(platform::LogicalDisk& disk, CardGeometry geometry);

    void scan() override;
    const CardGeometry& geometry() const override { return geometry_; }
    const std::vector<Zone>& zones() const override { return zones_; }
    unsigned logicalBlocks() const override { return logicalBlocks_; }

    std::vector<unsigned> copies(unsigned logical) const override;
    void choose(unsigned, std::optional<unsigned>) override {}
    ReadResult readPage(unsigned logical, unsigned page, std::span<std::uint8_t, kPageData> out,
                        std::optional<unsigned> copy = std::nullopt) override;
    void write(unsigned logical, std::span<const std::uint8_t> data) override;
    void release(unsigned logical) override;
    // The reader does not tell which blocks hold data.
    std::vector<unsigned> mappedLogicalBlocks() const override { return {}; }
    void dropStaleCopies() override {}
    // Formatting leaves the blocks as they are: no directory names them any more.
    void clearAllBut(unsigned keep, const std::function<void(unsigned)>& step) override;
    unsigned badBlocks() const override { return 0; }
    unsigned unusableBlocks(unsigned) const override { return 0; }

  private:
    std::uint64_t offsetOf(unsigned logical, unsigned page = 0) const;

    platform::LogicalDisk& disk_;
    CardGeometry geometry_;
    std::vector<Zone> zones_;
    unsigned logicalBlocks_ = 0;
};

}  // namespace kestra::card
