// The page and block operations that the card file system stands on.
//
// A SmartMedia card is a NAND flash chip: pages of 512 data bytes followed by a 16-byte spare
// area, grouped into erase blocks. Programming can only clear bits; erasing sets every bit of
// a block. A page device reads and programs whole pages (data and spare together) by row
// address (block * pages per block + page) and erases whole blocks. It knows nothing of the
// layout of the spare area or of files: that is the card file system's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kestra::card {

inline constexpr std::size_t kPageData = 512;
inline constexpr std::size_t kPageSpare = 16;
inline constexpr std::size_t kRawPage = kPageData + kPageSpare;

using RawPage = std::span<std::uint8_t, kRawPage>;
using ConstRawPage = std::span<const std::uint8_t, kRawPage>;

struct CardGeometry {
    unsigned blocks = 0;         // erase blocks on the card
    unsigned pagesPerBlock = 0;  // pages in each erase block

    unsigned pages() const { return blocks * pagesPerBlock; }
    std::size_t blockDataBytes() const { return std::size_t{pagesPerBlock} * kPageData; }
    std::size_t blockRawBytes() const { return std::size_t{pagesPerBlock} * kRawPage; }
    bool operator==(const CardGeometry&) const = default;
};

enum class DeviceResult {
    Ok,
    Failed,  // the card reports that the operation did not take (a bad block)
    Fault,   // the reader or the card did not answer; nothing is known about the block
};

class PageDevice {
  public:
    virtual ~PageDevice() = default;

    virtual CardGeometry geometry() const = 0;
    virtual DeviceResult readPage(unsigned row, RawPage page) = 0;
    // A program the card refuses may still report Ok: callers verify by reading back.
    virtual DeviceResult programPage(unsigned row, ConstRawPage page) = 0;
    virtual DeviceResult eraseBlock(unsigned block) = 0;
    // Whether the card still answers. A card that was pulled or lost power reads as erased and
    // fails every erase, which must not be taken for a bad block.
    virtual bool cardPresent() { return true; }
};

}  // namespace kestra::card
