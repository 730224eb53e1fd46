#include "card_service/raw_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "card_service/card_errors.h"
#include "card_service/spare_area.h"

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
        if (!BlockStatusGood(block[std::size_t{page} * pageSize + at])) return true;
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
            if (!BlockStatusGood(readBack_[BlockStatusOffset(pageSize)])) return true;
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
    const std::string temporary = path + ".part";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out)
        throw CardError(KESSSFDC_HOST_FILE,
                        "The file '" + path + "' cannot be created: " + std::strerror(errno) + ".");
    ProgressScope scope(progress, "Reading the card image",
                        std::uint64_t{count} * card.blockBytes());
    std::vector<std::uint8_t> page(card.pageSize());
    try {
        for (unsigned block = 0; block < count; ++block) {
            for (unsigned p = 0; p < card.pagesPerBlock(); ++p) {
                if (card.readRaw(block * card.pagesPerBlock() + p, page) != DeviceResult::Ok)
                    ReaderFault();
                out.write(reinterpret_cast<const char*>(page.data()),
                          static_cast<std::streamsize>(page.size()));
            }
            scope.advance(std::uint64_t{block + 1} * card.blockBytes());
        }
        out.close();
        if (!out) throw CardError(KESSSFDC_HOST_FILE, "The file '" + path + "' cannot be written.");
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (error)
            throw CardError(KESSSFDC_HOST_FILE,
                            "The file '" + path + "' cannot be written: " + error.message() + ".");
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
    scope.complete();
}

void DownloadRawImage(RawCard& card, const std::string& path, unsigned blocks,
                      ProgressSink* progress) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CardError(KESSSFDC_FILE_NOT_FOUND, "The file '" + path + "' was not found.");
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw CardError(KESSSFDC_HOST_FILE, "The file '" + path + "' cannot be read.");
    const std::size_t blockBytes = card.blockBytes();
    if (size == 0 || size % blockBytes != 0)
        throw CardError(KESSSFDC_DOWNLOAD_FAILED,
                        "The file '" + path + "' is not a card image for this card: its size (" +
                            std::to_string(size) + " bytes) is not a whole number of blocks of " +
                            std::to_string(blockBytes) + " bytes.");
    const std::uintmax_t imageBlocks = size / blockBytes;
    const std::uintmax_t count =
        blocks >= kWholeCard ? imageBlocks : std::min<std::uintmax_t>(blocks, imageBlocks);
    if (count > card.blocks())
        throw CardError(KESSSFDC_DOWNLOAD_FAILED,
                        "The card image '" + path + "' has " + std::to_string(count) +
                            " blocks; the card has only " + std::to_string(card.blocks()) + ".");

    ProgressScope scope(progress, "Writing the card image", count * blockBytes);
    RawBlockWriter writer(card);
    std::vector<std::uint8_t> image(blockBytes);
    std::vector<unsigned> lost;
    for (unsigned block = 0; block < count; ++block) {
        if (!in.read(reinterpret_cast<char*>(image.data()),
                     static_cast<std::streamsize>(blockBytes)))
            throw CardError(KESSSFDC_HOST_FILE, "The file '" + path + "' cannot be read.");
        if (!writer.write(block, image)) lost.push_back(block);
        scope.advance(std::uint64_t{block + 1} * blockBytes);
    }
    if (!lost.empty())
        throw CardError(
            KESSSFDC_DOWNLOAD_FAILED,
            "The card image could not be written whole: " + std::to_string(lost.size()) +
                " of its blocks fell on bad blocks of the card (blocks " + BlockList(lost) + ").");
    scope.complete();
}

}  // namespace kestra::card
