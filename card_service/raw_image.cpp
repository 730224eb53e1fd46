#include "card_service/raw_image.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "card_service/card_errors.h"
#include "card_service/spare_area.h"
#include "platform/file_writer.h"
#include "platform/files.h"

namespace kestra::card {
namespace {

[[noreturn]] void ReaderFault() {
    throw CardError(KESSSFDC_READER_FAULT,
                    "The card reader does not answer. Check the reader and the card.");
}

bool AllErased(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// A block counts as bad when the status byte of its first or second page says so.
bool MarkedBad(std::span<const std::uint8_t> block, unsigned pageSize, unsigned pages) {
    const std::size_t at = BlockStatusOffset(pageSize);
    for (unsigned page = 0; page < std::min(2u, pages); ++page)
        if (!StatusSet(block[std::size_t{page} * pageSize + at])) return true;
    return false;
}

std::string BlockList(const std::vector<unsigned>& blocks) {
    std::string text;
    for (std::size_t i = 0; i < blocks.size() && i < 20; ++i)
        text += (i ? ", " : "") + std::to_string(blocks[i]);
    if (blocks.size() > 20) text += " and " + std::to_string(blocks.size() - 20) + " more";
    return text;
}

class RawBlockWriter {
  public:
    explicit RawBlockWriter(RawCard& card) : card_(card), readBack_(card.pageSize()) {}

    // Writes one image block; false when the card cannot hold it.
    bool write(unsigned block, std::span<const std::uint8_t> image) {
        const unsigned pageSize = card_.pageSize(), pages = card_.pagesPerBlock();
        const bool imageBad = MarkedBad(image, pageSize, pages);
        const bool hasContents = !imageBad && !AllErased(image);
        if (onCardBad(block)) return !hasContents;
        switch (card_.eraseRawBlock(block)) {
            case DeviceResult::Ok:
                break;
            case DeviceResult::Failed:
                markBad(block);
                return !hasContents;
            case DeviceResult::Fault:
                ReaderFault();
        }
        if (!hasContents) return true;
        for (unsigned page = 0; page < pages; ++page) {
            const auto bytes = image.subspan(std::size_t{page} * pageSize, pageSize);
            if (AllErased(bytes)) continue;
            const unsigned row = block * pages + page;
            if (card_.programRaw(row, bytes) == DeviceResult::Fault) ReaderFault();
            if (card_.readRaw(row, readBack_) != DeviceResult::Ok) ReaderFault();
            if (!std::equal(bytes.begin(), bytes.end(), readBack_.begin())) {
                markBad(block);
                return false;
            }
        }
        return true;
    }

  private:
    bool onCardBad(unsigned block) {
        const unsigned pageSize = card_.pageSize();
        for (unsigned page = 0; page < std::min(2u, card_.pagesPerBlock()); ++page) {
            if (card_.readRaw(block * card_.pagesPerBlock() + page, readBack_) != DeviceResult::Ok)
                ReaderFault();
            if (!StatusSet(readBack_[BlockStatusOffset(pageSize)])) return true;
        }
        return false;
    }
    void markBad(unsigned block) {
        if (!card_.rawCardPresent())
            throw CardError(KESSSFDC_NO_CARD,
                            "The card was taken out of the reader or lost power.");
        std::vector<std::uint8_t> mark(card_.pageSize(), 0xFF);
        mark[BlockStatusOffset(card_.pageSize())] = kStatusMarked;
        for (unsigned page = 0; page < std::min(2u, card_.pagesPerBlock()); ++page)
            if (card_.programRaw(block * card_.pagesPerBlock() + page, mark) == DeviceResult::Fault)
                ReaderFault();
    }

    RawCard& card_;
    std::vector<std::uint8_t> readBack_;
};

}  // namespace

std::size_t BlockStatusOffset(unsigned pageSize) {
    return pageSize / 33 * 32 + 5;
}

void UploadRawImage(RawCard& card, const std::string& path, unsigned blocks,
                    ProgressSink* progress) {
    const unsigned count = blocks >= kWholeCard ? card.blocks() : std::min(blocks, card.blocks());
    platform::FileWriter out(path);
    auto cannotWrite = [&] {
        return CardError(KESSSFDC_HOST_FILE,
                         "The file '" + path + "' cannot be written: " + out.error() + ".");
    };
    if (!out.open()) throw cannotWrite();
    ProgressScope scope(progress, "Reading the card image",
                        std::uint64_t{count} * card.blockBytes());
    std::vector<std::uint8_t> page(card.pageSize());
    for (unsigned block = 0; block < count; ++block) {
        for (unsigned p = 0; p < card.pagesPerBlock(); ++p) {
            if (card.readRaw(block * card.pagesPerBlock() + p, page) != DeviceResult::Ok)
                ReaderFault();
            if (!out.write(page)) throw cannotWrite();
        }
        scope.advance(std::uint64_t{block + 1} * card.blockBytes());
    }
    if (!out.commit()) throw cannotWrite();
    scope.complete();
}

namespace {

// The image to write, checked against the card before anything is written: without a block
// count it must be the whole card; with one, a whole number of the card's blocks, no more
// than the card has, and at least as many as asked for.
std::vector<std::uint8_t> ReadRawImage(const RawCard& card, const std::string& path,
                                       unsigned blocks) {
    const std::size_t blockBytes = card.blockBytes();
    const std::uint64_t cardBytes = std::uint64_t{card.blocks()} * blockBytes;
    const std::string notForThisCard = "The file '" + path + "' is not an image of this card (" +
                                       std::to_string(card.blocks()) + " blocks of " +
                                       std::to_string(blockBytes) + " bytes, " +
                                       std::to_string(cardBytes) + " bytes in all): ";
    if (blocks != kWholeCard && (blocks == 0 || blocks > card.blocks()))
        throw CardError(KESSSFDC_BAD_ARGUMENT,
                        "A raw download writes 1 to " + std::to_string(card.blocks()) +
                            " blocks of this card; " + std::to_string(blocks) +
                            " is out of range. Nothing was written to the card.");
    using Status = platform::LimitedRead::Status;
    const platform::LimitedRead read = path.empty() ? platform::LimitedRead{Status::Missing, {}, {}}
                                                    : platform::ReadFileLimited(path, cardBytes);
    switch (read.status) {
        case Status::Missing:
            throw CardError(KESSSFDC_FILE_NOT_FOUND, "The file '" + path + "' was not found.");
        case Status::Unreadable:
            throw CardError(KESSSFDC_HOST_FILE,
                            "The file '" + path + "' cannot be read: " + read.error + ".");
        case Status::TooLarge:
            throw CardError(KESSSFDC_BAD_ARGUMENT, notForThisCard +
                                                       "it is larger than the card. Nothing was "
                                                       "written to the card.");
        case Status::Ok:
            break;
    }
    const std::uint64_t size = read.contents.size();
    if (size == 0 || size % blockBytes != 0 || (blocks == kWholeCard && size != cardBytes))
        throw CardError(KESSSFDC_BAD_ARGUMENT, notForThisCard + "it has " + std::to_string(size) +
                                                   " bytes. Nothing was written to the card.");
    if (size / blockBytes < blocks && blocks != kWholeCard)
        throw CardError(KESSSFDC_BAD_ARGUMENT,
                        "The card image '" + path + "' has " + std::to_string(size / blockBytes) +
                            " blocks; " + std::to_string(blocks) +
                            " were asked for. Nothing was written to the card.");
    return {read.contents.begin(), read.contents.end()};
}

}  // namespace

void DownloadRawImage(RawCard& card, const std::string& path, unsigned blocks,
                      ProgressSink* progress) {
    const std::vector<std::uint8_t> image = ReadRawImage(card, path, blocks);
    const std::size_t blockBytes = card.blockBytes();
    const unsigned count = blocks == kWholeCard ? card.blocks() : blocks;

    ProgressScope scope(progress, "Writing the card image", std::uint64_t{count} * blockBytes);
    RawBlockWriter writer(card);
    std::vector<unsigned> lost;
    for (unsigned block = 0; block < count; ++block) {
        const auto bytes = std::span(image).subspan(std::size_t{block} * blockBytes, blockBytes);
        if (!writer.write(block, bytes)) lost.push_back(block);
        scope.advance(std::uint64_t{block + 1} * blockBytes);
    }
    if (!lost.empty())
        throw CardError(
            KESSSFDC_DOWNLOAD_FAILED,
            "The card image could not be written whole: " + std::to_string(lost.size()) +
                " of its blocks fell on bad blocks of the card (blocks " + BlockList(lost) +
                "). The card holds the rest of the image.");
    scope.complete();
}

}  // namespace kestra::card
