// Read optimisation: which fields may share PLC read requests, and the read requests of a
// type 1 image, in which the fields of each page share requests of at most 60 bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "kestra/project.h"
#include "plc_s5/tables.h"

namespace kestra::s5 {

// The number of bytes a field contributes to a shared read request, when it takes part.
std::optional<std::uint8_t> OptimisationLength(const uPLCSETUP* setup, const FieldRecord& field);

// Whether a field reads PLC data: class 2, or class 3 with an attribute read from the PLC.
bool ReadsPlcData(const FieldRecord& field);
inline constexpr std::uint8_t kAttributeFromPlc = 0x80;  // field record offset 62
inline std::uint8_t& AttributeByte(FieldRecord& field) {
    return field.r50[62 - 50];
}
inline std::uint8_t AttributeByte(const FieldRecord& field) {
    return field.r50[62 - 50];
}

struct ReadRequest {
    std::uint8_t dataBlock;
    std::uint16_t start;
    std::uint16_t length;
};

// Collects the read requests of the pages of one image.
class ReadRequestPlan {
  public:
    ReadRequestPlan(std::size_t pageCount, unsigned bytesPerRequest);

    // Adds an item of a page; returns the 1-based number of the request that holds it.
    // Inline: the image's writer adds every field that reads the PLC.
    unsigned add(std::size_t page, std::uint8_t dataBlock, std::uint16_t start,
                 std::uint16_t length) {
        markDataBlock(dataBlock);
        if (page != current_) begin(page);
        Block& block = blocks_[dataBlock];
        const std::uint32_t end = start + std::max<unsigned>(length, 1) - 1u;
        // The first request of the data block that the item fits in with takes it.
        const std::size_t from = end >= block.skipStart + bytesPerRequest_ ? skip(block, end) : 0;
        for (std::size_t j = from; j < block.spans.size(); ++j) {
            Span& s = block.spans[j];
            const std::uint32_t low = std::min<std::uint32_t>(s.start, start);
            const std::uint32_t high = std::max(s.end, end);
            if (high - low < bytesPerRequest_) {
                s.start = low;
                s.end = high;
                ReadRequest& r = pages_[page][s.index];
                r.start = static_cast<std::uint16_t>(low);
                r.length = static_cast<std::uint16_t>(high - low + 1);
                return static_cast<unsigned>(s.index + 1);
            }
        }
        return append(page, dataBlock, start, end);
    }
    void markDataBlock(std::uint8_t dataBlock) {
        dataBlocks_[dataBlock / 8] =
            static_cast<std::uint8_t>(dataBlocks_[dataBlock / 8] | (1u << (dataBlock % 8)));
    }
    // The section: a bitmap of the data blocks in use, the offset of each page's list inside
    // the section's 32 KB block, and the lists.
    std::size_t sectionSize() const;
    void write(std::uint8_t* section, std::size_t sectionOffset) const;

    const std::vector<ReadRequest>& page(std::size_t index) const { return pages_[index]; }

  private:
    // A request of the page being planned, as its data block's list keeps it.
    struct Span {
        std::uint32_t start, end;  // the first and last byte it reads
        std::size_t index;         // its place in the page's list
    };
    // The requests of one data block on the page being planned, in the order they were made.
    // A request's start only moves down and its end only up, so the first `skip` of them,
    // none starting after `skipStart`, cannot take an item that ends at skipStart plus the
    // request size or later: items at rising addresses are tried against the last few only.
    struct Block {
        std::vector<Span> spans;
        std::size_t skip = 0;
        std::uint32_t skipStart = 0;
    };
    // Lists the requests of a page by data block, so that an item is tried against the
    // requests of its own data block only.
    void begin(std::size_t page);
    // Moves the block's skipped requests on past those that start a whole request size
    // before `end`; returns the first one left.
    std::size_t skip(Block& block, std::uint32_t end) const;
    // A new request of the page for an item; returns its number.
    unsigned append(std::size_t page, std::uint8_t dataBlock, std::uint16_t start,
                    std::uint32_t end);

    std::vector<std::vector<ReadRequest>> pages_;
    std::uint8_t dataBlocks_[32] = {};
    unsigned bytesPerRequest_;
    // The page being planned and its requests by data block (only the data blocks in `used_`
    // hold any).
    std::size_t current_ = static_cast<std::size_t>(-1);
    Block blocks_[256];
    std::vector<std::uint8_t> used_;
};

}  // namespace kestra::s5
