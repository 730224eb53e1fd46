// The in-memory project and the fixed-size records it is made of.
//
// The project block (sTARGSETUP, 1002 bytes) is the 627-byte project record followed by the
// 375-byte extension record. Slots are 32-bit references to other blocks (platform/memory.h);
// in a stored image their value only tells whether the section is there. Bytes that no
// member names are carried through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestra/plc_records.h"
#include "platform/records.h"

namespace kestra {

using Slot = le32;

// Parameter folder header (10 bytes), embedded in its owner.
struct FolderHeader {
    les16 count;   // 0: number of 16-byte entries
    Slot block;    // 2: handle of the entries, 0 when there are none
    le16 numeric;  // 6: nonzero = numeric folder
    le16 carried;  // 8
};
static_assert(sizeof(FolderHeader) == 10);

// List entry (16 bytes): a parameter folder entry, and the element of sections 2a and 6 and of
// the group lists. In folders the text is at offset 4; in section 2a and group lists the
// string index is the word at offset 2 (lastKey).
struct ListEntry {
    les16 firstKey;           // 0
    les16 lastKey;            // 2
    le16 textId;              // 4
    les32 value;              // 6
    std::uint8_t carried[6];  // 10
};
static_assert(sizeof(ListEntry) == 16);
static_assert(offsetof(ListEntry, textId) == 4 && offsetof(ListEntry, value) == 6);

// Group record (118 bytes), section 2b.
struct GroupRecord {
    std::uint8_t r0[4];
    le16 entryCount;  // 4
    std::uint8_t r6[36];
    le16 textId;  // 42
    std::uint8_t r44[64];
    Slot entries;  // 108
    std::uint8_t r112[6];
};
static_assert(sizeof(GroupRecord) == 118);
static_assert(offsetof(GroupRecord, textId) == 42 && offsetof(GroupRecord, entries) == 108);

// Page record (76 bytes). With one language the name text stands inline at offsets 0 to 40;
// with several, and in memory after loading, the first word is the name's string identifier.
struct PageRecord {
    std::uint8_t name[41];  // 0
    std::uint8_t r41[4];
    Slot text;         // 45: text blob
    std::uint8_t b49;  // 49
    le16 fieldCount;   // 50
    Slot fields;       // 52
    Slot blob1;        // 56: first page extension blob
    std::uint8_t r60[2];
    Slot blob2;  // 62: second page extension blob
    std::uint8_t r66[10];

    static constexpr std::size_t kInlineNameRoom = 41;
    std::uint16_t nameId() const { return ReadLe16(name); }
    void setNameId(std::uint16_t id) { WriteLe16(name, id); }
};
static_assert(sizeof(PageRecord) == 76);
static_assert(offsetof(PageRecord, text) == 45 && offsetof(PageRecord, fieldCount) == 50);
static_assert(offsetof(PageRecord, fields) == 52 && offsetof(PageRecord, blob1) == 56);
static_assert(offsetof(PageRecord, blob2) == 62);

// Field record (111 bytes).
struct tagFIELDREC {
    std::uint8_t r0[2];
    std::uint8_t width;   // 2
    std::uint8_t height;  // 3
    le16 fieldClass;      // 4
    sDISPFORMAT display;  // 6: its first byte is the field kind
    FolderHeader list1;   // 30
    FolderHeader list2;   // 40
    std::uint8_t r50[13];
    uPLCADR plc;               // 63: its data format byte (66) is the field's sub-kind
    le16 textId;               // 93
    std::uint8_t mode;         // 95
    std::uint8_t flags;        // 96: bit 0 the field has child field records
    le16 childCount;           // 97
    Slot children;             // 99
    std::uint8_t namesRecipe;  // 103
    Slot label;                // 104
    le16 labelAttribute;       // 108
    std::uint8_t r110;

    static constexpr std::uint8_t kHasChildren = 0x01;
    static constexpr std::uint16_t kMenuClass = 6;
    static constexpr std::uint8_t kTextKind = 2;

    std::uint8_t kind() const { return display.fieldType; }
    std::uint8_t subKind() const { return plc.dataFormat; }
    bool hasChildren() const { return flags & kHasChildren; }
    // Kind 6 and mode 2 fields carry list 2.
    bool hasList2() const { return kind() == 6 || mode == 2; }
    // List 2 holds string indices when the field is of kind 6, or of mode 2 with a zero
    // numeric word.
    bool list2HoldsTexts() const { return kind() == 6 || (mode == 2 && list2.numeric == 0); }
    // Class 2, mode 1, sub-kind 12: the stored label carries no attribute word.
    bool compactLabelled() const { return fieldClass == 2 && mode == 1 && subKind() == 12; }
};
static_assert(sizeof(tagFIELDREC) == 111);
static_assert(offsetof(tagFIELDREC, fieldClass) == 4 && offsetof(tagFIELDREC, display) == 6);
static_assert(offsetof(tagFIELDREC, list1) == 30 && offsetof(tagFIELDREC, list2) == 40);
static_assert(offsetof(tagFIELDREC, plc) == 63 && offsetof(tagFIELDREC, textId) == 93);
static_assert(offsetof(tagFIELDREC, mode) == 95 && offsetof(tagFIELDREC, childCount) == 97);
static_assert(offsetof(tagFIELDREC, children) == 99 && offsetof(tagFIELDREC, namesRecipe) == 103);
static_assert(offsetof(tagFIELDREC, label) == 104 && offsetof(tagFIELDREC, labelAttribute) == 108);
using FieldRecord = tagFIELDREC;

// Tag element (45 bytes).
struct TagElement {
    le16 key;               // 0: unique in the folder, at least 1
    le16 nameId;            // 2: string identifier of the name
    std::uint8_t data[32];  // 4: the host's tag data; data 22 is the network node key
    le16 parentKey;         // 36: 0 = top level
    std::uint8_t flags;     // 38: bit 0 structure
    std::uint8_t r39[6];

    static constexpr std::uint8_t kStructure = 0x01;
    static constexpr std::size_t kDataSize = 32;
    static constexpr std::size_t kNodeKeyInData = 22;
    std::uint16_t nodeKey() const { return ReadLe16(data + kNodeKeyInData); }
    bool isStructure() const { return flags & kStructure; }
};
static_assert(sizeof(TagElement) == 45);
static_assert(offsetof(TagElement, data) == 4 && offsetof(TagElement, parentKey) == 36);
static_assert(offsetof(TagElement, flags) == 38);

// Tag folder header (20 bytes), at extension offset 175.
struct TagFolderHeader {
    le16 count;  // 0: number of tag elements
    std::uint8_t r2[4];
    le16 nameId;  // 6
    std::uint8_t r8[8];
    Slot elements;  // 16: handle of count x 45 bytes
};
static_assert(sizeof(TagFolderHeader) == 20);

// Language entry (11 bytes). Entry 0 is the default language.
struct LanguageEntry {
    le16 nameId;  // 0
    std::uint8_t r2;
    Slot textSet1;  // 3
    Slot textSet2;  // 7
};
static_assert(sizeof(LanguageEntry) == 11);

// Project record (627 bytes).
struct ProjectRecord {
    le16 titleId;                 // 0
    std::uint8_t settings2;       // 2: also the first communication byte of the PLC link
    std::uint8_t settings3;       // 3
    std::uint8_t listHead0;       // 4
    std::uint8_t listHead1;       // 5
    std::uint8_t comm6[7];        // 6: further communication and protocol bytes
    std::uint8_t imageSizeClass;  // 13
    std::uint8_t loadedFrom;      // 14
    le16 plcType;                 // 15
    uPLCSETUP nodeA;              // 17: network node A
    std::uint8_t projectType;     // 81
    std::uint8_t firmware;        // 82
    std::uint8_t plcParams[328];  // 83
    std::uint8_t onNetwork;       // 411: nonzero = network folder B is the active one
    std::uint8_t r412[15];
    std::uint8_t section1Count;  // 427
    Slot section1;               // 428
    std::uint8_t r432[16];
    le16 section2aCount;      // 448
    Slot section2a;           // 450
    std::uint8_t groupCount;  // 454
    std::uint8_t r455[3];
    Slot groups;  // 458
    std::uint8_t r462[2];
    le16 section4Present;  // 464
    Slot section4;         // 466
    le16 pageCount;        // 470
    Slot pages;            // 472
    std::uint8_t r476[49];
    std::uint8_t text1Length;  // 525: length + 1, 0 = absent
    std::uint8_t text2Length;  // 526
    Slot text1;                // 527
    Slot text2;                // 531
    std::uint8_t r535[16];
    le16 section9Count;  // 551
    Slot section9;       // 553
    std::uint8_t r557[16];
    le16 stringCount;  // 573: identifiers in the string table
    std::uint8_t r575[20];
    le16 keyedCapacity;    // 595
    Slot keyed;            // 597
    le16 section5Count;    // 601
    Slot section5;         // 603
    le16 section6Count;    // 607
    Slot section6;         // 609
    le16 section7Present;  // 613
    Slot section7;         // 615
    std::uint8_t r619[8];
};
static_assert(sizeof(ProjectRecord) == 627);
static_assert(offsetof(ProjectRecord, nodeA) == 17 && offsetof(ProjectRecord, onNetwork) == 411);
static_assert(offsetof(ProjectRecord, section1Count) == 427 &&
              offsetof(ProjectRecord, section1) == 428);
static_assert(offsetof(ProjectRecord, section2aCount) == 448 &&
              offsetof(ProjectRecord, section2a) == 450);
static_assert(offsetof(ProjectRecord, groupCount) == 454 && offsetof(ProjectRecord, groups) == 458);
static_assert(offsetof(ProjectRecord, section4Present) == 464 &&
              offsetof(ProjectRecord, section4) == 466);
static_assert(offsetof(ProjectRecord, pageCount) == 470 && offsetof(ProjectRecord, pages) == 472);
static_assert(offsetof(ProjectRecord, text1Length) == 525 && offsetof(ProjectRecord, text2) == 531);
static_assert(offsetof(ProjectRecord, section9Count) == 551 &&
              offsetof(ProjectRecord, section9) == 553);
static_assert(offsetof(ProjectRecord, stringCount) == 573);
static_assert(offsetof(ProjectRecord, keyedCapacity) == 595 &&
              offsetof(ProjectRecord, keyed) == 597);
static_assert(offsetof(ProjectRecord, section5Count) == 601 &&
              offsetof(ProjectRecord, section5) == 603);
static_assert(offsetof(ProjectRecord, section6Count) == 607 &&
              offsetof(ProjectRecord, section6) == 609);
static_assert(offsetof(ProjectRecord, section7Present) == 613 &&
              offsetof(ProjectRecord, section7) == 615);
static_assert(offsetof(ProjectRecord, plcType) == 15 && offsetof(ProjectRecord, projectType) == 81);

// Extension record (375 bytes). Its first 75 bytes are the network record.
struct ExtensionRecord {
    std::uint8_t network0[3];   // 0
    uPLCSETUP nodeB;            // 3: network node B
    std::uint8_t network67[5];  // 67
    le16 network72;             // 72
    std::uint8_t network74;     // 74
    le32 optionFlags;           // 75: bits 0-2 option block present
    Slot optionBlock;           // 79
    le16 pageBlobsPresent;      // 83
    std::uint8_t blobFlags;     // 85: bit 0 second page blob and third resource blob
    std::uint8_t r86;
    le16 bitmapCount;  // 87
    le16 shapeCount;   // 89
    Slot bitmaps;      // 91
    Slot shapes;       // 95
    Slot slot99;       // 99: always 0 after a load
    std::uint8_t r103[36];
    Slot resourcesPresent;  // 139
    Slot resources;         // 143
    std::uint8_t r147[28];
    TagFolderHeader tagFolder;  // 175
    Slot list195;               // 195
    Slot list199;               // 199
    Slot list203;               // 203
    Slot listSection;           // 207
    std::uint8_t r211[17];
    std::uint8_t languageCount;  // 228: 0 and 1 both mean one language
    std::uint8_t b229;           // 229
    le16 set1Count;              // 230
    le16 set2Count;              // 232
    Slot languages;              // 234
    std::uint8_t r238[9];
    le16 textIds[9];  // 247
    le16 savedMark;   // 265: 3 after every save
    std::uint8_t r267[30];
    le32 tailLength;  // 297
    std::uint8_t r301[2];
    Slot codeBlock;  // 303
    Slot wordList;   // 307
    Slot table264;   // 311
    std::uint8_t r315[21];
    Slot block124;  // 336
    Slot tail;      // 340
    std::uint8_t r344[31];

    static constexpr std::uint32_t kOptionBits = 0x7;
    static constexpr std::size_t kNetworkRecordSize = 75;
    bool multiLanguage() const { return languageCount > 1; }
    bool hasListSection() const { return list195 != 0u || list199 != 0u || list203 != 0u; }
};
static_assert(sizeof(ExtensionRecord) == 375);
static_assert(offsetof(ExtensionRecord, nodeB) == 3 && offsetof(ExtensionRecord, network72) == 72);
static_assert(offsetof(ExtensionRecord, optionFlags) == 75 &&
              offsetof(ExtensionRecord, optionBlock) == 79);
static_assert(offsetof(ExtensionRecord, pageBlobsPresent) == 83 &&
              offsetof(ExtensionRecord, blobFlags) == 85);
static_assert(offsetof(ExtensionRecord, bitmapCount) == 87 &&
              offsetof(ExtensionRecord, shapeCount) == 89);
static_assert(offsetof(ExtensionRecord, bitmaps) == 91 && offsetof(ExtensionRecord, slot99) == 99);
static_assert(offsetof(ExtensionRecord, resourcesPresent) == 139 &&
              offsetof(ExtensionRecord, resources) == 143);
static_assert(offsetof(ExtensionRecord, tagFolder) == 175);
static_assert(offsetof(ExtensionRecord, tagFolder) + offsetof(TagFolderHeader, nameId) == 181);
static_assert(offsetof(ExtensionRecord, tagFolder) + offsetof(TagFolderHeader, elements) == 191);
static_assert(offsetof(ExtensionRecord, list195) == 195 &&
              offsetof(ExtensionRecord, listSection) == 207);
static_assert(offsetof(ExtensionRecord, languageCount) == 228 &&
              offsetof(ExtensionRecord, languages) == 234);
static_assert(offsetof(ExtensionRecord, set1Count) == 230 &&
              offsetof(ExtensionRecord, set2Count) == 232);
static_assert(offsetof(ExtensionRecord, textIds) == 247 &&
              offsetof(ExtensionRecord, savedMark) == 265);
static_assert(offsetof(ExtensionRecord, tailLength) == 297 &&
              offsetof(ExtensionRecord, codeBlock) == 303);
static_assert(offsetof(ExtensionRecord, wordList) == 307 &&
              offsetof(ExtensionRecord, table264) == 311);
static_assert(offsetof(ExtensionRecord, block124) == 336 && offsetof(ExtensionRecord, tail) == 340);

// The project block.
struct sTARGSETUP {
    ProjectRecord record;  // 0
    ExtensionRecord ext;   // 627
};
static_assert(sizeof(sTARGSETUP) == 1002);
static_assert(offsetof(sTARGSETUP, ext) == 627);
using ProjectBlock = sTARGSETUP;

inline constexpr std::size_t kProjectRecordSize = sizeof(ProjectRecord);
inline constexpr std::size_t kExtensionRecordSize = sizeof(ExtensionRecord);
inline constexpr std::size_t kProjectBlockSize = sizeof(sTARGSETUP);

}  // namespace kestra
