// The layout of a page on the card: 512 data bytes and the 16-byte spare area.
//
// Spare area, byte by byte:
//   0-1   write generation of the block (little-endian), 2-3 its complement. A block holds
//         one logical block; every rewrite of that logical block goes to a fresh physical
//         block with the next generation, so after a power cut the newer copy is known. The
//         complement catches a generation that a torn program or erase left half-written
//         (both only ever turn bits one way).
//   4     data status: 0xFF valid, anything with two or more 0 bits invalid
//   5     block status: 0xFF good, anything with two or more 0 bits a bad block
//   6-7   block address, first copy (high byte first)
//   8-10  ECC of data bytes 256-511
//   11-12 block address, second copy
//   13-15 ECC of data bytes 0-255
// Block address: 0001 0aaa aaaa aaap, a 10-bit logical block number within its zone and an
// even parity bit over the whole word.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "card_service/ecc.h"
#include "card_service/page_device.h"

namespace kestra::card {

struct SpareArea {
    std::uint8_t generation[2];
    std::uint8_t generationCheck[2];
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

// A status byte counts as set (good or valid) unless two or more of its bits are 0, so that
// one flipped bit does not condemn a block.
inline bool StatusSet(std::uint8_t status) {
    return std::popcount(status) >= 7;
}

// What the spare area of a page says about the page and its block.
struct PageLabel {
    bool blockGood = true;
    bool dataValid = true;
    bool erased = false;  // the whole page, data and spare, reads 0xFF
    std::optional<unsigned> zoneAddress;
    std::optional<std::uint16_t> generation;
};
PageLabel ReadLabel(ConstRawPage page);

// Fills the spare area of a page for logical block `zoneAddress` written with `generation`,
// computing the ECC over the page's data.
void LabelPage(RawPage page, unsigned zoneAddress, std::uint16_t generation);

// A page that, programmed over anything, marks its block bad: every bit set except the
// status bytes.
void MakeBadBlockMark(RawPage page);

enum class PageCheck { Clean, Corrected, Uncorrectable };
// Checks both ECC areas of the page's data and corrects single-bit errors in place.
PageCheck CheckPageData(RawPage page);

// True when generation a was written after generation b (16-bit serial order).
inline bool NewerGeneration(std::uint16_t a, std::uint16_t b) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(a - b)) > 0;
}

}  // namespace kestra::card
