#include "card_service/logical_store.h"

#include <string>

#include "card_service/card_errors.h"

namespace kestra::card {
namespace {

unsigned LogicalCount(const std::vector<Zone>& zones) {
    return zones.empty() ? 0 : zones.back().firstLogical + zones.back().logicalCount;
}

}  // namespace

std::uint64_t LogicalBytes(const CardGeometry& geometry) {
    return std::uint64_t{LogicalCount(ZonesFor(geometry))} * geometry.blockDataBytes();
}

LogicalStore::LogicalStore(platform::LogicalDisk& disk, CardGeometry geometry)
    : disk_(disk), geometry_(geometry) {}

void LogicalStore::scan() {
    zones_ = ZonesFor(geometry_);
    logicalBlocks_ = LogicalCount(zones_);
    if (disk_.size() != LogicalBytes(geometry_))
        throw CardError(KESSSFDC_BAD_CARD, disk_.path() + " holds " + std::to_string(disk_.size()) +
                                               " bytes; a card of this type shows " +
                                               std::to_string(LogicalBytes(geometry_)) + ".");
}

std::uint64_t LogicalStore::offsetOf(unsigned logical, unsigned page) const {
    return std::uint64_t{logical} * geometry_.blockDataBytes() + std::uint64_t{page} * kPageData;
}

std::vector<unsigned> LogicalStore::copies(unsigned logical) const {
    if (logical >= logicalBlocks_) return {};
    return {logical};
}

BlockStore::ReadResult LogicalStore::readPage(unsigned logical, unsigned page,
                                              std::span<std::uint8_t, kPageData> out,
                                              std::optional<unsigned>) {
    if (logical >= logicalBlocks_ || page >= geometry_.pagesPerBlock) return ReadResult::Damaged;
    try {
        disk_.read(offsetOf(logical, page), out);
    } catch (const platform::LogicalDiskError&) {
        // The reader could not correct the sector: the page is lost.
        return ReadResult::Damaged;
    }
    return ReadResult::Good;
}

void LogicalStore::write(unsigned logical, std::span<const std::uint8_t> data) {
    if (logical >= logicalBlocks_ || data.size() > blockBytes())
        throw CardError(KESSSFDC_BAD_ARGUMENT,
                        "Logical block " + std::to_string(logical) + " is not on the card.");
    std::vector<std::uint8_t> block(blockBytes(), 0xFF);
    std::copy(data.begin(), data.end(), block.begin());
    try {
        disk_.write(offsetOf(logical), block);
    } catch (const platform::LogicalDiskError& error) {
        throw CardError(KESSSFDC_READER_FAULT,
                        std::string("The card reader did not take the data: ") + error.what());
    }
}

void LogicalStore::release(unsigned logical) {
    write(logical, {});
}

void LogicalStore::clearAllBut(unsigned, const std::function<void(unsigned)>& step) {
    for (unsigned physical = 0; physical < geometry_.blocks; ++physical) step(physical);
}

}  // namespace kestra::card
