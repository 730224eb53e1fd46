// The in-memory forms of a project's variable sections.
//
// The project block's slots reference blocks of the block table (platform/memory.h). Fixed
// records (pages, field records, list entries, network nodes, tag elements) are held as the
// image stores them; this header describes the sections whose memory form differs from the
// stored form, or which carry references of their own. A text blob is a u32 length followed
// by the bytes; a text is zero-terminated. The resource section and the language text entries
// are in kestra/resource_section.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kestra/logfont.h"
#include "kestra/project.h"

namespace kestra {

// The network record (75 bytes): the start of the extension record, which a network element
// image carries, with network node B at its offset 3.
struct NetworkRecord {
    std::uint8_t r0[3];
    uPLCSETUP node;  // 3
    std::uint8_t r67[5];
    le16 word72;          // 72
    std::uint8_t byte74;  // 74
};
static_assert(sizeof(NetworkRecord) == ExtensionRecord::kNetworkRecordSize);
static_assert(offsetof(NetworkRecord, node) == offsetof(ExtensionRecord, nodeB));

// ---- Fixed tables of the project record

inline constexpr std::size_t kSection1EntrySize = 20;
inline constexpr std::size_t kSection4Size = 108;

// Section 5: a 310-byte record and its list of 298-byte entries.
struct Section5Record {
    std::uint8_t r0[300];
    le16 entryCount;  // 300
    Slot entries;     // 302: global block of entryCount x 298 bytes
    std::uint8_t r306[4];
};
static_assert(sizeof(Section5Record) == 310);
static_assert(offsetof(Section5Record, entryCount) == 300 &&
              offsetof(Section5Record, entries) == 302);
inline constexpr std::size_t kSection5EntrySize = 298;

// Section 7, the variable block: a 208-byte head whose u16 at 72 counts the entries; an entry
// begins with u16 k and is k x 66 + 12 bytes long. Held in one global block as stored.
inline constexpr std::size_t kVariableHeadSize = 208;
inline constexpr std::size_t kVariableCountOffset = 72;
inline constexpr std::size_t kVariableEntryUnit = 66;
inline constexpr std::size_t kVariableEntryFixed = 12;

// Section 9 entry (14 bytes).
struct Section9Entry {
    std::uint8_t r0[2];
    le16 textId;  // 2
    std::uint8_t r4[10];
};
static_assert(sizeof(Section9Entry) == 14);

// ---- Keyed entries (section 11)
//
// The table (record slot 597, a global block) is the word 0x4C4D followed by one reference per
// slot. An entry is its 8-byte head followed by one reference per sub-entry; a sub-entry holds
// its parts by slot number; a part is a blob holding the part as stored: u16 slot number, u16,
// u16 element count, then the elements (u16 type, u16 size s, s bytes).

inline constexpr std::uint16_t kKeyedImageTag = 0x4C4B;
inline constexpr std::uint16_t kKeyedTableTag = 0x4C4D;
inline constexpr std::size_t kKeyedCapacityReserve = 7;  // the table has pages + 7 slots

struct KeyedEntryHead {
    le16 headSize;       // 0: 8
    le16 key;            // 2
    le16 subEntryCount;  // 4: references that follow the head
    le16 zero;           // 6
};
static_assert(sizeof(KeyedEntryHead) == 8);

inline constexpr std::size_t kKeyedPartSlots = 7;
struct KeyedSubEntry {
    le16 key;                     // 0
    le16 partCount;               // 2
    Slot parts[kKeyedPartSlots];  // 4: part with slot number n at n - 1, 0 when absent
};
static_assert(sizeof(KeyedSubEntry) == 32);

struct KeyedPartHead {
    le16 slotNumber;    // 0: 1 to 7
    le16 word2;         // 2
    le16 elementCount;  // 4
};
static_assert(sizeof(KeyedPartHead) == 6);

struct KeyedElementHead {
    le16 type;  // 0
    le16 size;  // 2: bytes after this head
};
static_assert(sizeof(KeyedElementHead) == 4);

// Offsets inside an element, counted from its type word.
inline constexpr std::uint16_t kElementNamed = 74;  // string index at 115, always translated
inline constexpr std::size_t kElementNamedText = 115;
inline constexpr std::uint16_t kElementCaptioned = 81;  // string index at 7 with several languages
inline constexpr std::size_t kElementCaptionedText = 7;
inline constexpr std::uint16_t kElementTexted1 = 143;  // a nonzero slot at 108 references a
inline constexpr std::uint16_t kElementTexted2 = 144;  // trailer text
inline constexpr std::size_t kElementTextSlot = 108;

// A trailer text (29 bytes), held in memory as stored.
struct TrailerText {
    std::uint8_t length;
    char text[28];
};
static_assert(sizeof(TrailerText) == 29);

// ---- Option block (section 13)

inline constexpr std::size_t kOptionLists = 10;

struct OptionHead {
    le16 elementForm;    // 0: above 2 = 28-byte elements (layout 1)
    le16 check2;         // 2: nonzero for the block to be read
    le16 check4;         // 4: likewise
    le16 layout;         // 6: 2 or less = layout 1, above = layout 2
    std::uint8_t level;  // 8: layout 2: 0, or 3 with a text list or extra list
    std::uint8_t r9[5];
    le16 word14;                                   // 14
    le16 listCounts[kOptionLists];                 // 16
    le16 seriesCount;                              // 36: lists of the open-ended series
    le16 textRecordCount;                          // 38: layout 2, level 1 and up
    le16 extraCount;                               // 40: layout 2, level 2 and up
    static constexpr std::size_t kShortSize = 38;  // stored size when the level is 0

    bool layout2() const { return layout > 2; }
};
static_assert(sizeof(OptionHead) == 42);
static_assert(offsetof(OptionHead, listCounts) == 16 && offsetof(OptionHead, seriesCount) == 36);

// The option block in memory (ext slot 79): the head and references to its lists. The series
// is a block of seriesCount list references; the text list is a u16 record count followed by
// one reference per record (u16 text length, the text, u16 value, as stored).
struct OptionBlock {
    OptionHead head;
    Slot lists[kOptionLists];
    Slot series;
    Slot textList;
    Slot extraList;
};
static_assert(sizeof(OptionBlock) == 94);

// A list: this head, then its elements: layout 1 count x 28-byte elements, layout 2 count
// references to typed elements.
struct OptionListHead {
    le32 value0;
    le16 word4;
    le16 count;  // 6
};
static_assert(sizeof(OptionListHead) == 8);

// Layout 1 element (28 bytes). Stored whole when the element form is above 2; otherwise only
// the word at 8 is stored, in a 12-byte element.
struct OptionElement {
    std::uint8_t r0[8];
    le16 value8;  // 8
    std::uint8_t r10[10];
    le16 textId20;  // 20: string index, translated unless 0 or 0xFFFF
    le16 textId22;  // 22: likewise
    std::uint8_t r24[4];
};
static_assert(sizeof(OptionElement) == 28);
inline constexpr std::size_t kShortOptionElementSize = 12;

// A layout 2 typed element in memory: its total size, the common head with the 32-bit font,
// then the description text and the type's data exactly as stored. The stored form differs
// only in its font (the 16-bit record) and so is 10 bytes shorter.
struct TypedElementHead {
    le32 size;            // 0: whole element, this field included
    le16 type;            // 4: 0 to 11
    le16 values[8];       // 6
    std::uint8_t byte22;  // 22
    le16 values2[4];      // 23
    LogFont32 font;       // 31
    le16 values3[4];      // 91
};
static_assert(sizeof(TypedElementHead) == 99);
inline constexpr std::size_t kStoredTypedHeadSize = 4 + 85;
inline constexpr std::size_t kFontSizeGrowth = sizeof(LogFont32) - sizeof(LogFont16);
inline constexpr std::uint16_t kTypedElementKinds = 12;

// ---- Bitmaps and shapes (section 15)

struct BitmapHead {
    std::uint8_t nameMark;  // 0: '#' for a bitmap that is named by number
    std::uint8_t r1[3];
    le32 word4;          // 4
    std::uint8_t byte8;  // 8
    le16 attribute9;     // 9
    le16 attribute11;    // 11
    le16 attribute13;    // 13
    le16 attributes;     // 15: bit 12 the bitmap data is stored
    le16 dataFlag;       // 17

    static constexpr std::uint8_t kNumberMark = '#';
    static constexpr std::uint16_t kDataStored = 0x1000;
    bool storesData() const {
        return dataFlag != 0 || (attributes & kDataStored) || nameMark != kNumberMark;
    }
};
static_assert(sizeof(BitmapHead) == 19);
static_assert(offsetof(BitmapHead, attributes) == 15 && offsetof(BitmapHead, dataFlag) == 17);

// A bitmap table entry in memory: the stored head and the global block of the packed bitmap.
struct BitmapEntry {
    BitmapHead head;
    Slot dib;  // 19
};
static_assert(sizeof(BitmapEntry) == 23);

struct ShapeHead {
    le32 word0;          // 0
    le32 word4;          // 4
    std::uint8_t byte8;  // 8
    Slot points;         // 9: in memory the points (pointCount x 10 bytes); stored as 0
    le16 word13;         // 13
    le16 word15;         // 15
    le16 pointCount;     // 17
};
static_assert(sizeof(ShapeHead) == 19);
static_assert(offsetof(ShapeHead, points) == 9 && offsetof(ShapeHead, pointCount) == 17);
inline constexpr std::size_t kShapePointSize = 10;

// A shape table entry in memory: the head and the shape's name (a text, 0 for none).
struct ShapeEntry {
    ShapeHead head;
    Slot name;  // 19
};
static_assert(sizeof(ShapeEntry) == 23);

// ---- List section (section 17)

inline constexpr std::size_t kListTexts = 21;

struct ListColumn {  // stored as these 10 bytes and 20 zero bytes
    le16 word0;
    le16 word2;
    le32 value4;
    le16 word8;
};
static_assert(sizeof(ListColumn) == 10);

struct ListItem {  // stored as 20 zero bytes, the four words and, for kinds 5
    le16 word0;    // and 6, the text (u16 length and bytes)
    le16 word2;
    le16 kind;
    le16 word6;
    Slot text;  // 8: text blob, kinds 5 and 6 only

    bool hasText() const { return kind == 5 || kind == 6; }
};
static_assert(sizeof(ListItem) == 12);

struct ListItemList {
    le16 word0;
    le16 count;
    Slot items;  // count x ListItem
};
static_assert(sizeof(ListItemList) == 8);

struct ListNodeEntry {  // stored as the nine words and 20 zero bytes
    le16 values[9];
};
static_assert(sizeof(ListNodeEntry) == 18);

struct ListNode {
    Slot name;            // 0: text blob
    le16 values[9];       // 4: five, then four
    std::uint8_t byte22;  // 22
    std::uint8_t r23;
    ListItemList itemLists[2];  // 24
    le16 entryCount;            // 40
    Slot entries;               // 42: entryCount x ListNodeEntry
};
static_assert(sizeof(ListNode) == 46);

struct ListSection {
    le16 headWords[2];          // 0: defaults 80 and 60
    le16 headValues[5];         // 4
    Slot title;                 // 14: text blob
    le32 settingsValue;         // 18
    le16 settings[8];           // 22: values 1 to 3, three more, two more
    std::uint8_t settingsByte;  // 38
    std::uint8_t r39;
    Slot texts[kListTexts];  // 40: text blobs
    le16 columnCount;        // 124
    Slot columns;            // 126: columnCount x ListColumn
    le16 nodeCount;          // 130
    Slot nodes;              // 132: nodeCount x ListNode
};
static_assert(sizeof(ListSection) == 136);

// ---- The sections after the languages

inline constexpr std::uint8_t kCodeBlockMark = 1;  // the code block's first byte as stored
inline constexpr std::size_t kTable264Size = 264;
inline constexpr std::size_t kTable264Lead = 8;  // zero bytes stored before the table
inline constexpr std::size_t kBlock124Size = 124;

}  // namespace kestra
