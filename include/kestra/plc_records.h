// Records shared between the project, the project editor and the PLC drivers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/records.h"

namespace kestra {

// PLC setup block (64 bytes): the PLC part of the project record at offset 17, and also the
// node of a network folder, whose children are further PLC setup blocks.
struct uPLCSETUP {
    std::uint8_t protocol;      // 0: bits 0-3 protocol variant, bits 4-7 model defaults
    le16 model;                 // 1: PLC model identifier
    std::uint8_t editor3[29];   // 3: owned by the project editor
    le16 nameId;                // 32: string identifier of the node's name
    le16 nodeKey;               // 34
    le16 slaveAddress;          // 36
    le16 childCount;            // 38: entries of the slave list / children of the node
    le32 children;              // 40: handle of the children (childCount x 64 bytes)
    std::uint8_t flags;         // 44: bit 0 children stored / network enabled; bit 1 address set
    std::uint8_t editor45[5];   // 45
    le16 nodeKind;              // 50
    std::uint8_t editor52[12];  // 52

    static constexpr std::uint8_t kHasChildren = 0x01;
    static constexpr std::uint8_t kAddressSet = 0x02;
    bool storesChildren() const { return (flags & kHasChildren) && childCount != 0; }
};
static_assert(sizeof(uPLCSETUP) == 64);
static_assert(offsetof(uPLCSETUP, nameId) == 32 && offsetof(uPLCSETUP, nodeKey) == 34);
static_assert(offsetof(uPLCSETUP, slaveAddress) == 36 && offsetof(uPLCSETUP, childCount) == 38);
static_assert(offsetof(uPLCSETUP, children) == 40 && offsetof(uPLCSETUP, flags) == 44);
static_assert(offsetof(uPLCSETUP, nodeKind) == 50);
using NetworkNode = uPLCSETUP;

// PLC reference (30 bytes): where a field reads or writes PLC data.
struct uPLCADR {
    std::uint8_t dataBlock;    // 0: DB number, 0 when none
    le16 byteOffset;           // 1: data word x 2, + 1 for the right byte
    std::uint8_t dataFormat;   // 3: 1 to 14
    std::uint8_t bit;          // 4: 0 to 7
    le16 dataType;             // 5: memory area
    std::uint8_t editor7[15];  // 7
    le16 networkNode;          // 22
    std::uint8_t editor24;     // 24
    std::uint8_t flags;        // 25: bit 7 bound to a logical tag, bit 0 high priority
    le16 slaveAddress;         // 26
    le16 tagIndex;             // 28

    static constexpr std::uint8_t kBoundToTag = 0x80;
    static constexpr std::uint8_t kHighPriority = 0x01;
};
static_assert(sizeof(uPLCADR) == 30);
static_assert(offsetof(uPLCADR, dataFormat) == 3 && offsetof(uPLCADR, dataType) == 5);
static_assert(offsetof(uPLCADR, networkNode) == 22 && offsetof(uPLCADR, flags) == 25);
static_assert(offsetof(uPLCADR, slaveAddress) == 26 && offsetof(uPLCADR, tagIndex) == 28);

// Display record (24 bytes): the field record from its offset 6.
struct sDISPFORMAT {
    std::uint8_t fieldType;  // 0
    std::uint8_t format;     // 1: bit 0 fixed point, bit 2 signed, bits 3-4 base, bit 5 scaling
    std::uint8_t decimals;   // 2
    std::uint8_t access;     // 3: bit 0 read/write
    les32 minimum;           // 4
    les32 maximum;           // 8
    les32 scaleA;            // 12
    les32 scaleB;            // 16
    les32 scaleC;            // 20

    static constexpr std::uint8_t kFixedPoint = 0x01;
    static constexpr std::uint8_t kSigned = 0x04;
    static constexpr std::uint8_t kScaling = 0x20;
    unsigned baseIndex() const { return (format >> 3) & 3; }
};
static_assert(sizeof(sDISPFORMAT) == 24);
static_assert(offsetof(sDISPFORMAT, minimum) == 4 && offsetof(sDISPFORMAT, scaleC) == 20);

}  // namespace kestra
