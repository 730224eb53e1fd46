// Whole-card images: every page of a run of blocks, data and spare area together, exactly as
// the card holds them (a raw image of B blocks is B * pages per block * page size bytes).
//
// Uploading copies the card's blocks into a file as they are. Downloading writes an image's
// blocks onto the card, block for block: an empty block of the image (all 0xFF) is just
// erased, a block that the image marks bad is left erased, and a block that is bad on the
// card is never touched. When a block with contents cannot be written (bad on the card, or
// its erase or program fails, which marks it bad) the rest is still written and the download
// then fails naming those blocks: the card does not hold the image, and what was written
// stays written.
//
// An image is checked before the card is touched: without a block count it must be exactly
// the card's size; with a count N (1 to the card's blocks) it must be a whole number of the
// card's blocks, no larger than the card and holding at least N, of which the first N are
// written. Anything else fails with KESSSFDC_BAD_ARGUMENT.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "card_service/page_device.h"
#include "card_service/progress.h"

namespace kestra::card {

// Raw page access to a card of any page size.
class RawCard {
  public:
    virtual ~RawCard() = default;
    virtual unsigned blocks() const = 0;
    virtual unsigned pagesPerBlock() const = 0;
    virtual unsigned pageSize() const = 0;  // data and spare area (528 or 264)
    virtual DeviceResult readRaw(unsigned row, std::span<std::uint8_t> page) = 0;
    virtual DeviceResult programRaw(unsigned row, std::span<const std::uint8_t> page) = 0;
    virtual DeviceResult eraseRawBlock(unsigned block) = 0;
    virtual bool rawCardPresent() { return true; }

    std::size_t blockBytes() const { return std::size_t{pagesPerBlock()} * pageSize(); }
};

// The position of the block status byte in a raw page: byte 5 of the spare area, which is
// one 33rd of the page (16 of 528, 8 of 264).
std::size_t BlockStatusOffset(unsigned pageSize);

// `blocks` is the number of blocks to move; 65535 means the whole card. Files are written
// through platform/file_writer.h and read to their end (pipes too).
// Throw CardError.
void UploadRawImage(RawCard& card, const std::string& path, unsigned blocks,
                    ProgressSink* progress);
void DownloadRawImage(RawCard& card, const std::string& path, unsigned blocks,
                      ProgressSink* progress);

inline constexpr unsigned kWholeCard = 65535;

}  // namespace kestra::card
