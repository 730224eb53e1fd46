// The layout of a page on the card: 512 data bytes and the 16-byte spare area, as the
// SmartMedia physical format gives it.
//
// Spare area, byte by byte:
//   0-3   reserved: 0xFF. Cards written before the card information structure came in kept
//         a write generation here (le16, then its complement); it is still read from such
//         cards, never written.
//   4     data status: 0xFF valid; the page's data counts as valid while at least five bits
//         are 1
//   5     block status: 0xFF good; the block counts as good while at least seven bits are 1
//   6-7   block address, first copy (high byte first)
//   8-10  ECC of data bytes 256-511
//   11-12 block address, second copy
//   13-15 ECC of data bytes 0-255
// Block address: 0001 0aaa aaaa aaap, a 10-bit logical block number within its zone and an
// even parity bit over the whole word. The block of the card information structure carries
// the address 0000.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "card_service/ecc.h"
#include "card_service/page_device.h"

namespace kestra::card {

struct SpareArea {
    std::uint8_t reserved[4];
    std::uint8_t dataStatus;
    std::uint8_t blockStatus;
    std::uint8_t blockAddress1[2];
    std::uint8_t eccHigh[3];
    std::uint8_t blockAddress2[2];
    std::uint8_t eccLow[3];
};
static_assert(sizeof(SpareArea) == kPageSpare);
static_assert(offsetof(SpareArea, dataStatus) == 4 && offsetof(SpareArea, blockStatus) == 5);
static_assert(offsetof(SpareArea, blockAddress1) == 6 && offsetof(SpareArea, eccHigh) == 8);
static_assert(offsetof(SpareArea, blockAddress2) == 11 && offsetof(SpareArea, eccLow) == 13);

inline constexpr unsigned kMaxZoneAddress = 1023;
inline constexpr std::uint8_t kStatusGood = 0xFF;
inline constexpr std::uint8_t kStatusMarked = 0x00;

std::uint16_t EncodeBlockAddress(unsigned zoneAddress);
std::optional<unsigned> DecodeBlockAddress(std::uint16_t field);

// A block counts as good unless two or more bits of its status are 0, so that one flipped
// bit does not condemn it; a page's data counts as valid while five or more of its bits are 1.
inline bool BlockStatusGood(std::uint8_t status) {
    return std::popcount(status) >= 7;
}
inline bool DataStatusValid(std::uint8_t status) {
    return std::popcount(status) >= 5;
}

// What the spare area of a page says about the page and its block.
struct PageLabel {
    bool blockGood = true;
    bool dataValid = true;
    bool erased = false;  // the whole page, data and spare, reads 0xFF
    // Bytes 0-3 erased, or at most one bit of them 0 (a standard reader reads no other page).
    bool reservedErased = true;
    std::optional<unsigned> zoneAddress;
    // The write generation of a card of the earlier layout.
    std::optional<std::uint16_t> legacyGeneration;
};
PageLabel ReadLabel(ConstRawPage page);

// Fills the spare area of a page for logical block `zoneAddress`, computing the ECC over the
// page's data.
void LabelPage(RawPage page, unsigned zoneAddress);
// Fills the spare area of a page of the card information structure's block.
void LabelCisPage(RawPage page);

// A page that, programmed over anything, marks its block bad: every bit set except the
// status bytes.
void MakeBadBlockMark(RawPage page);

enum class PageCheck { Clean, Corrected, Uncorrectable };
// Checks both ECC areas of the page's data and corrects single-bit errors in place.
PageCheck CheckPageData(RawPage page);

// True when generation a was written after generation b (16-bit serial order; cards of the
// earlier layout).
inline bool NewerGeneration(std::uint16_t a, std::uint16_t b) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(a - b)) > 0;
}

}  // namespace kestra::card
