// Read optimisation: which fields may share PLC read requests, and the read requests of a
// type 1 image, in which the fields of each page share requests of at most 60 bytes.
#pragma once

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
    unsigned add(std::size_t page, std::uint8_t dataBlock, std::uint16_t start,
                 std::uint16_t length);
    void markDataBlock(std::uint8_t dataBlock);
    // The section: a bitmap of the data blocks in use, the offset of each page's list inside
    // the section's 32 KB block, and the lists.
    std::size_t sectionSize() const;
    void write(std::uint8_t* section, std::size_t sectionOffset) const;

    const std::vector<ReadRequest>& page(std::size_t index) const { return pages_[index]; }

  private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;
    // Chains the requests of a page by data block, so that an item is tried against the
    // requests of its own data block only (in the order they were made).
    void chain(std::size_t page);
    // Appends request i of the chained page to its data block's chain.
    void link(std::uint32_t i, std::uint8_t dataBlock);

    std::vector<std::vector<ReadRequest>> pages_;
    std::uint8_t dataBlocks_[32] = {};
    unsigned bytesPerRequest_;
    // The chains of one page: each data block's first and last request, and each request's
    // next one of the same data block.
    std::size_t chained_ = static_cast<std::size_t>(-1);
    std::uint32_t first_[256] = {}, last_[256] = {};
    std::vector<std::uint32_t> next_;
};

}  // namespace kestra::s5
