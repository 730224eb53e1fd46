// The card's directory: the file system header block.
//
// The directory fills logical block 0. It starts with a 32-byte header, followed by one
// variable-length entry per file; the rest of the block reads 0xFF.
//
// Header (all little-endian):
//   0  char[8] "KESTRAFS"        16 le32 commit number (one more at every change)
//   8  le16 format version (1)   20 le16 logical blocks of the card it was made for
//  10  le16 number of entries    22 le16 pages per block of that card
//  12  le32 bytes in use         24 le32 CRC-32 of the bytes in use, this field taken as 0
//                                28 le32 reserved, 0
// Entry:
//   0  le16 entry length (80 + 4 * extents)    8  le32 file length in bytes
//   2  u8 file type, 3 u8 subtype              12 le32 CRC-32 of the file's contents
//   4  u8 flags (bit 0: placeholder)           16 char[40] name, zero-terminated
//   5  u8 reserved, 0                          56 char[24] version text, zero-terminated
//   6  le16 number of extents                  80 extents: le16 first logical block, le16 count
// A file takes ceil(length / block bytes) logical blocks; a placeholder reserves whole blocks
// (its length is their size) and has no contents of its own.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/records.h"

namespace kestra::card {

struct DirectoryHeader {
    char magic[8];
    le16 formatVersion;
    le16 entryCount;
    le32 usedBytes;
    le32 commitNumber;
    le16 logicalBlocks;
    le16 pagesPerBlock;
    le32 crc;
    le32 reserved;
};
static_assert(sizeof(DirectoryHeader) == 32);
static_assert(offsetof(DirectoryHeader, commitNumber) == 16 &&
              offsetof(DirectoryHeader, crc) == 24);

inline constexpr std::size_t kNameField = 40;
inline constexpr std::size_t kVersionField = 24;

struct DirectoryEntryRecord {
    le16 entryLength;
    std::uint8_t type;
    std::uint8_t subtype;
    std::uint8_t flags;
    std::uint8_t reserved;
    le16 extentCount;
    le32 length;
    le32 crc;
    char name[kNameField];
    char version[kVersionField];
};
static_assert(sizeof(DirectoryEntryRecord) == 80);
static_assert(offsetof(DirectoryEntryRecord, length) == 8 &&
              offsetof(DirectoryEntryRecord, name) == 16);
static_assert(offsetof(DirectoryEntryRecord, version) == 56);

struct ExtentRecord {
    le16 first;
    le16 count;
};
static_assert(sizeof(ExtentRecord) == 4);

inline constexpr std::uint8_t kPlaceholderFlag = 0x01;

struct FileKey {
    std::uint8_t type = 0;
    std::uint8_t subtype = 0;
    auto operator<=>(const FileKey&) const = default;
};

struct Extent {
    std::uint16_t first = 0;
    std::uint16_t count = 0;
    bool operator==(const Extent&) const = default;
};

struct CardFile {
    FileKey key;
    bool placeholder = false;
    std::string name;
    std::string version;
    std::uint32_t length = 0;
    std::uint32_t crc = 0;
    std::vector<Extent> extents;

    unsigned blocks() const;
    bool operator==(const CardFile&) const = default;
};

struct Directory {
    std::uint32_t commitNumber = 0;
    std::vector<CardFile> files;
};

// What the directory must fit: the card it lives on.
struct DirectoryShape {
    unsigned logicalBlocks = 0;
    unsigned pagesPerBlock = 0;
    std::size_t blockBytes = 0;
};

// The directory as it is stored: exactly shape.blockBytes bytes. Throws CardError
// (card full) when the entries do not fit in one block.
std::vector<std::uint8_t> EncodeDirectory(const Directory& directory, const DirectoryShape& shape);

struct DecodedDirectory {
    std::optional<Directory> directory;
    std::string problem;  // why the block is not a directory, when it is not
};
// Reads and checks a stored directory: header, checksum, every entry and extent, no block
// given to two files, no two files with the same type and subtype.
DecodedDirectory DecodeDirectory(std::span<const std::uint8_t> block, const DirectoryShape& shape);

}  // namespace kestra::card
