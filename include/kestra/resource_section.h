// The resource section of a project in memory (extension record slot 143).
//
// Nine resource slots; each stored slot has one record with four values, two bytes and eight
// bytes of its own and up to three text blobs (a blob is a u32 length followed by the bytes).
// The stored form of a slot is: u16, 2 bytes, four u16, 8 bytes, blob A, blob B, and blob C
// when extension byte 85 bit 0 is set.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestra/project.h"

namespace kestra {

inline constexpr std::size_t kResourceSlots = 9;

struct ResourceRecord {
    le16 word0;              // 0: stored u16
    std::uint8_t bytes2[2];  // 2: stored 2 bytes
    le16 value4;             // 4: stored first of the four u16
    le16 value6;             // 6: second
    std::uint8_t r8[2];
    le16 value10;  // 10: third; the language text sets carry it
    std::uint8_t r12[2];
    le16 value14;  // 14: fourth; likewise
    std::uint8_t r16[2];
    std::uint8_t bytes18[8];  // 18: stored 8 bytes
    Slot blobA;               // 26
    Slot blobB;               // 30
    Slot blobC;               // 34
};
static_assert(sizeof(ResourceRecord) == 38);
static_assert(offsetof(ResourceRecord, value10) == 10 && offsetof(ResourceRecord, value14) == 14);
static_assert(offsetof(ResourceRecord, blobA) == 26 && offsetof(ResourceRecord, blobB) == 30);

struct ResourceSection {
    le16 storedCount;  // 0: resources stored
    std::uint8_t r2[10];
    le16 marks[kResourceSlots];  // 12: 1 for each stored slot
    std::uint8_t r30[2];
    Slot records[kResourceSlots];  // 32: one ResourceRecord per slot, 0 for an empty slot
};
static_assert(sizeof(ResourceSection) == 68);
static_assert(offsetof(ResourceSection, marks) == 12 && offsetof(ResourceSection, records) == 32);

// A text entry of a language's text set in memory (20 bytes).
struct TextEntry {
    le32 value0;  // 0: set 1: the page's byte 49; set 2: two u16 of the resource
    le32 value4;  // 4
    le32 value8;  // 8
    Slot blobA;   // 12
    Slot blobB;   // 16
};
static_assert(sizeof(TextEntry) == 20);

}  // namespace kestra
