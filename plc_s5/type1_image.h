// The project type 1 image: the compact form in which a project travels to the panel.
//
// The image is organised in 32 KB blocks. Items are addressed by paged offsets (or, inside
// one block, by 16-bit offsets) and no item crosses a block boundary: an item that would is
// moved to the start of the next block and the bytes before it are filled with 0xFF. Texts
// are a length byte and the characters. The image ends padded to a multiple of 256 bytes,
// followed by one checksum byte (the 8-bit sum) per 256-byte block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "kestra/paged_offset.h"
#include "kestra/project.h"
#include "platform/win_types.h"

namespace kestra::s5 {

inline constexpr std::size_t kBlockSize = PagedOffset::kPageSize;
inline constexpr std::size_t kChecksumBlock = 256;

struct Type1Header {
    le16 titleBlock;           // 0: always 28
    le16 protocolBlock;        // 2
    le16 entries20;            // 4: table of 20-byte entries, 0 when absent
    le16 alarmTable;           // 6
    le16 pageTable;            // 8
    PagedOffset readRequests;  // 10
    PagedOffset fixedRecords;  // 13
    PagedOffset textBlocks;    // 16
    PagedOffset entries14;     // 19: written as 0
    std::uint8_t zero22[3];    // 22
    PagedOffset checksums;     // 25: the padded size of the image
};
static_assert(sizeof(Type1Header) == 28);
static_assert(offsetof(Type1Header, readRequests) == 10 && offsetof(Type1Header, checksums) == 25);

struct TitleBlock {
    PagedOffset title;                                    // 0
    std::uint8_t marker;                                  // 3: 27
    std::uint8_t second, minute, hour, day, month, year;  // 4: local time of saving, year - 1900
    std::uint8_t filler[20];                              // 10: 0xFF

    static constexpr std::uint8_t kMarker = 27;
    static constexpr std::size_t kTitleRoom = 200;
};
static_assert(sizeof(TitleBlock) == 30);

struct ProtocolBlock {
    std::uint8_t dataBlock;  // 0: DB of the reserved areas (record 83)
    std::uint8_t comm2;      // 1: record byte 2
    std::uint8_t comm3;      // 2: bits 0-6 of record byte 3
    std::uint8_t comm4;      // 3
    std::uint8_t comm5;      // 4
    std::uint8_t zero5;
    std::uint8_t model2;  // 6: bit 0 the PLC model is 2
    std::uint8_t zero7;
    le16 word8;               // 8: record u16 at 8
    std::uint8_t comm10;      // 10
    std::uint8_t setupFlags;  // 11: PLC setup flags with bit 4 cleared
    std::uint8_t comm11;      // 12: low nibble of record byte 11
    std::uint8_t comm12;      // 13
    std::uint8_t sizeClass;   // 14: record byte 13 minus 1
    std::uint8_t zero15;
};
static_assert(sizeof(ProtocolBlock) == 16);

// Alarm table entry (5 bytes, 256 of them) and the alarm as the project holds it (16 bytes).
struct AlarmEntry {
    std::uint8_t flags;
    std::uint8_t priority;
    PagedOffset text;
};
static_assert(sizeof(AlarmEntry) == 5);
struct AlarmRecord {
    std::uint8_t flags;
    std::uint8_t priority;
    le16 textId;
    std::uint8_t r4[12];
};
static_assert(sizeof(AlarmRecord) == 16);
inline constexpr std::size_t kAlarmCount = 256;
enum AlarmFlag : std::uint8_t {
    kAckTime = 0x04,
    kResetTime = 0x08,
    kAlarmTime = 0x10,
    kDefinedAlarm = 0x20,
    kOperatorAck = 0x40,
    kAlarmHasText = 0x80,
    kStoredAlarmFlags = kAckTime | kResetTime | kAlarmTime | kOperatorAck,
};
// Whether an alarm names a text: its text index 0 means none, whatever its flags say (the
// project's string 0 is its title, never an alarm's text).
inline bool AlarmNamesText(const AlarmRecord& alarm) {
    return alarm.textId != 0;
}

// 20-byte entry of the project (record 427 count, 428 table) and its 16-byte image form.
struct Entry20 {
    std::uint8_t head[4];
    std::uint8_t b4;
    std::uint8_t b5;
    le16 w6;
    le16 w8;
    std::uint8_t r10[10];
};
static_assert(sizeof(Entry20) == 20);
struct ImageEntry20 {
    std::uint8_t head[4];
    std::uint8_t zero4[2];
    std::uint8_t b5;  // bits 0-4 of the entry's byte 5
    std::uint8_t zero7;
    le32 w6;
    le32 w8;
};
static_assert(sizeof(ImageEntry20) == 16);

struct PageHead {
    PagedOffset name;    // 0
    std::uint8_t flags;  // 3
    std::uint8_t zero4;
    std::uint8_t attribute;  // 5: page record byte 49 plus 1
    PagedOffset text;        // 6: page text block, absent when none
    std::uint8_t zero9;
    le16 fieldCount;  // 10; then a u16 in-block offset per field
};
static_assert(sizeof(PageHead) == 12);
enum PageFlag : std::uint8_t { kNextIsFollowing = 0x01, kPreviousIsPreceding = 0x02 };
// Page record bytes of the links: u16 next page at 41, u16 previous page at 43.
inline std::uint16_t NextLink(const PageRecord& page) {
    return ReadLe16(page.r41);
}
inline std::uint16_t PreviousLink(const PageRecord& page) {
    return ReadLe16(page.r41 + 2);
}

// Field records of the image.
struct FieldHead {
    std::uint8_t row;     // row + 1
    std::uint8_t column;  // column + 1
    std::uint8_t fieldClass;
    std::uint8_t zero3;
};
struct AttributeFieldImage {
    FieldHead head;
    std::uint8_t height;  // 4
    std::uint8_t width;   // 5
    std::uint8_t source;  // 6: attribute source kind, bits 0-2
    // Attributes read from the PLC carry the rest.
    std::uint8_t runtimeKind;  // 7
    std::uint8_t bit;          // 8
    std::uint8_t dataBlock;    // 9
    le16 byteOffset;           // 10
    std::uint8_t zero12;
    le16 request;  // 13
};
static_assert(sizeof(AttributeFieldImage) == 15);
inline constexpr std::size_t kPlainFieldSize = 4;
inline constexpr std::size_t kAttributeFieldSize = 7;
struct DataFieldImage {
    FieldHead head;
    std::uint8_t numericKind;   // 4
    std::uint8_t bit;           // 5
    std::uint8_t displayKind;   // 6
    std::uint8_t displayParam;  // 7
    std::uint8_t access;        // 8
    std::uint8_t size;          // 9
    std::uint8_t dataBlock;     // 10
    le16 byteOffset;            // 11
    std::uint8_t zero13;
    le16 request;  // 14; limits from 16
};
static_assert(sizeof(DataFieldImage) == 16);
inline constexpr std::size_t kMessageTableLimit = 256;

enum NumericKind : std::uint8_t {
    kKindBit = 0,
    kKindByte = 1,
    kKindWord = 2,
    kKindScaledWord = 3,
    kKindDword = 4,
    kKindText = 5,
};
// Bytes of limits that follow a class 2 record, by numeric kind.
inline constexpr std::size_t kLimitBytes[] = {1, 2, 4, 10, 8, 0};

enum DisplayKind : std::uint8_t {
    kShowDecimal = 0,
    kShowHex = 1,
    kShowFixedPoint = 2,
    kShowMessage = 3,
    kShowText = 4,
    kShowTimer = 5,
    kShowCounter = 6,
    kShowFloat = 7,
    kShowHorzBar = 8,
    kShowVertBar = 9,
};

// The fixed-record section's fields of the project record (offsets 492 to 508).
struct FixedRecordInfo {
    std::uint8_t count;  // 492
    std::uint8_t r493;
    std::uint8_t data[8];  // 494
    std::uint8_t r502;
    le16 itemSize;  // 503
    le32 items;     // 505: count x (item size + 1) bytes
    static constexpr std::size_t kRecordOffset = 492;
};
static_assert(sizeof(FixedRecordInfo) == 17);
inline FixedRecordInfo& FixedRecords(ProjectRecord& r) {
    return RecordAt<FixedRecordInfo>(reinterpret_cast<std::uint8_t*>(&r) +
                                     FixedRecordInfo::kRecordOffset);
}
inline const FixedRecordInfo& FixedRecords(const ProjectRecord& r) {
    return RecordAt<FixedRecordInfo>(reinterpret_cast<const std::uint8_t*>(&r) +
                                     FixedRecordInfo::kRecordOffset);
}

// The in-memory 14-byte entry (record 551 count, 553 table).
struct Entry14 {
    std::uint8_t b0;
    std::uint8_t b1;
    le16 textId;
    std::uint8_t r4[10];
};
static_assert(sizeof(Entry14) == 14);

// Row and column of a field are its record bytes 0 and 1.
inline std::uint8_t& FieldRow(FieldRecord& f) {
    return f.r0[0];
}
inline std::uint8_t& FieldColumn(FieldRecord& f) {
    return f.r0[1];
}
inline std::uint8_t FieldRow(const FieldRecord& f) {
    return f.r0[0];
}
inline std::uint8_t FieldColumn(const FieldRecord& f) {
    return f.r0[1];
}

// Builds the type 1 image of a project into a new global block. The project's reserved
// image size (record byte 13) bounds the image.
struct SaveFailure {
    std::string message;
};
std::variant<HGLOBAL, SaveFailure> SaveType1Image(ProjectBlock& project, std::size_t& imageSize);

// Builds a new project block (global handle) from an image; a damaged image, or one whose
// checksums do not match, gives a failure with the offset and reason, and leaves nothing
// allocated.
struct LoadFailure {
    std::size_t offset;
    std::string message;
};
std::variant<HGLOBAL, LoadFailure> LoadType1Image(std::span<const std::byte> image);

// The padded size from the header (the checksums' position), 0 when absent.
std::uint32_t PaddedSize(std::span<const std::byte> header);
// Fills in the checksum bytes of an image whose header names the padded size; false when
// the header does not fit the image. Used by tools that patch images.
bool WriteChecksums(std::span<std::byte> image);

}  // namespace kestra::s5
