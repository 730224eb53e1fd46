// A card as a standard SmartMedia translation layer sees it.
//
// USB SmartMedia readers and other systems' built-in readers run their own translation layer
// and show the card as a disk of its logical blocks. What they expect of the card:
//   - the card information structure (CIS) in the first page with valid data of the first
//     good block of zone 0, found among the zone's spare blocks (those beyond its logical
//     blocks); it starts with kCisSignature at byte 0 (or at byte 256) of the page;
//   - bytes 0 to 3 of every spare area erased (0xFF; one 0 bit is tolerated), or the page
//     does not read at all;
//   - a block whose first page's spare area is all 0xFF is free; a block status with fewer
//     than seven 1 bits marks a bad block; a page's data is valid while its data status has at
//     least five 1 bits;
//   - the logical block number (in the zone) in the block address of the first page: two
//     copies, used when they differ in at most one bit, the first copy unless it is broken;
//   - for two blocks with one logical number the first in block order is kept, unless it is
//     not whole: a block whose pages carry two different block addresses (a partly written or
//     partly erased block) or more loses to one whose pages all carry the same one.
// This reader follows those rules on a page device; it never writes. The card file system
// writes its cards so that a layer with these rules finds the same files as the file system.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "card_service/page_device.h"

namespace kestra::card {

inline constexpr std::uint8_t kCisSignature[10] = {0x01, 0x03, 0xD9, 0x01, 0xFF,
                                                   0x18, 0x02, 0xDF, 0x01, 0x20};
// The data of the CIS page as the card file system writes it: the tuples at byte 0 and again
// at byte 256.
std::vector<std::uint8_t> CisPageData();

struct CisLocation {
    unsigned block = 0;
    unsigned page = 0;
    unsigned offset = 0;  // 0 or 256
};

struct StandardMap {
    CisLocation cis;
    unsigned logicalBlocks = 0;
    std::vector<std::optional<unsigned>> physical;  // by logical block of the card
};

// Throw CardError when the reader fails, when the card has no CIS (not formatted for a
// standard reader) or when a zone holds a page that does not read.
std::optional<CisLocation> FindCis(PageDevice& device);
StandardMap MapLikeStandardLayer(PageDevice& device);
// Every logical block's data in order (0xFF for a block with no physical block): what a USB
// reader shows of the card. A page that does not read (a reader reports an error for it)
// reads 0x00 here and is listed.
struct UnreadablePage {
    unsigned logical = 0;
    unsigned page = 0;
    bool operator==(const UnreadablePage&) const = default;
};
struct LogicalImage {
    std::vector<std::uint8_t> bytes;
    std::vector<UnreadablePage> unreadablePages;
};
LogicalImage ReadLogicalImage(PageDevice& device);

}  // namespace kestra::card
