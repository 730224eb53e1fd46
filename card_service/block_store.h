// The logical blocks that the card file system stands on.
//
// On a card in a page-level reader the file system's own translation layer (block_map.h)
// maps logical blocks to physical blocks; on a card in a USB reader the reader does that and
// shows the logical blocks as a disk (logical_store.h). The file system sees both through
// this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "card_service/page_device.h"

namespace kestra::card {

struct Zone {
    unsigned firstPhysical = 0;
    unsigned physicalCount = 0;
    unsigned firstLogical = 0;
    unsigned logicalCount = 0;
};

// Zones of a card of this geometry: up to 1024 physical blocks each, offering 1000 logical
// blocks per 1024 physical ones (125 per 128).
std::vector<Zone> ZonesFor(const CardGeometry& geometry);

class BlockStore {
  public:
    enum class ReadResult { Good, Corrected, Damaged };

    virtual ~BlockStore() = default;

    // Looks at the card afresh; never writes. Throws CardError on a reader fault.
    virtual void scan() = 0;

    // The card's physical geometry (zones and the size of a block follow from it).
    virtual const CardGeometry& geometry() const = 0;
    virtual const std::vector<Zone>& zones() const = 0;
    virtual unsigned logicalBlocks() const = 0;
    std::size_t blockBytes() const { return geometry().blockDataBytes(); }

    // The copies of a logical block that may hold its contents, the preferred one first, for
    // a caller that can judge the contents (the directory); and the copy it chose (or none).
    virtual std::vector<unsigned> copies(unsigned logical) const = 0;
    virtual void choose(unsigned logical, std::optional<unsigned> copy) = 0;
    // Reads one page of the data of a copy of `logical` (of the chosen one when no copy is
    // given).
    virtual ReadResult readPage(unsigned logical, unsigned page,
                                std::span<std::uint8_t, kPageData> out,
                                std::optional<unsigned> copy = std::nullopt) = 0;

    // Writes `data` (at most blockBytes(); the rest reads 0xFF) as the new contents of
    // `logical`; the old contents stay readable until the new ones are complete.
    virtual void write(unsigned logical, std::span<const std::uint8_t> data) = 0;
    // Forgets a logical block: it reads erased afterwards.
    virtual void release(unsigned logical) = 0;
    // Logical blocks that hold something (as far as the store can tell).
    virtual std::vector<unsigned> mappedLogicalBlocks() const = 0;
    // Erases the copies that lost to a newer one.
    virtual void dropStaleCopies() = 0;
    // Empties the card except the chosen copy of `keep`; `step` is called for each physical
    // block.
    virtual void clearAllBut(unsigned keep, const std::function<void(unsigned)>& step) = 0;

    virtual unsigned badBlocks() const = 0;
    // Physical blocks of the zone that can never take data: bad ones and reserved ones.
    virtual unsigned unusableBlocks(unsigned zone) const = 0;

    // Whether the card still answers: a card taken out of the reader reads as erased, which
    // must not be taken for a damaged file.
    virtual bool cardPresent() { return true; }

    // Where the next writes begin, so that wear spreads from one mount to the next.
    virtual void spreadWrites(std::uint32_t) {}
    // Whether the card is not yet fully in the current layout (no card information structure,
    // or blocks labelled the earlier way), and bringing it there. Called before a change.
    virtual bool needsLayoutUpdate() const { return false; }
    virtual void updateLayout() {}
};

}  // namespace kestra::card
