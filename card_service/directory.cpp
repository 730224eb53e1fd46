#include "card_service/directory.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "card_service/card_errors.h"
#include "card_service/card_names.h"
#include "card_service/crc32.h"
#include "platform/image_cursor.h"

namespace kestra::card {
namespace {

constexpr char kMagic[8] = {'K', 'E', 'S', 'T', 'R', 'A', 'F', 'S'};
constexpr std::uint16_t kFormatVersion = 1;

std::size_t EntryBytes(const CardFile& file) {
    return sizeof(DirectoryEntryRecord) + file.extents.size() * sizeof(ExtentRecord);
}

// The field keeps whole characters only: a text longer than the field loses its end.
template <std::size_t N>
void StoreText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    const std::string_view kept = WholeCharacters(text, N - 1);
    std::memcpy(field, kept.data(), kept.size());
}

template <std::size_t N>
std::string LoadText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N - 1));  // the last byte is the terminator
}

std::uint32_t DirectoryCrc(std::span<const std::uint8_t> used) {
    // The checksum field itself counts as zero.
    constexpr std::size_t kCrcAt = offsetof(DirectoryHeader, crc);
    const std::uint8_t zeros[4] = {};
    std::uint32_t crc = Crc32(used.first(kCrcAt));
    crc = Crc32(zeros, crc);
    return Crc32(used.subspan(kCrcAt + 4), crc);
}

}  // namespace

unsigned CardFile::blocks() const {
    unsigned total = 0;
    for (const Extent& extent : extents) total += extent.count;
    return total;
}

std::vector<std::uint8_t> EncodeDirectory(const Directory& directory, const DirectoryShape& shape) {
    std::size_t used = sizeof(DirectoryHeader);
    for (const CardFile& file : directory.files) used += EntryBytes(file);
    if (used > shape.blockBytes)
        throw CardError(KESSSFDC_CARD_FULL, "The card's directory has no room for " +
                                                std::to_string(directory.files.size()) +
                                                " files. Delete files from the card first.");

    std::vector<std::uint8_t> block(shape.blockBytes, 0xFF);
    ImageWriter writer(std::as_writable_bytes(std::span(block.data(), used)));
    DirectoryHeader header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.formatVersion = kFormatVersion;
    header.entryCount = static_cast<std::uint16_t>(directory.files.size());
    header.usedBytes = static_cast<std::uint32_t>(used);
    header.commitNumber = directory.commitNumber;
    header.logicalBlocks = static_cast<std::uint16_t>(shape.logicalBlocks);
    header.pagesPerBlock = static_cast<std::uint16_t>(shape.pagesPerBlock);
    writer.record(header);
    for (const CardFile& file : directory.files) {
        DirectoryEntryRecord entry{};
        entry.entryLength = static_cast<std::uint16_t>(EntryBytes(file));
        entry.type = file.key.type;
        entry.subtype = file.key.subtype;
        entry.flags = file.placeholder ? kPlaceholderFlag : 0;
        entry.extentCount = static_cast<std::uint16_t>(file.extents.size());
        entry.length = file.length;
        entry.crc = file.crc;
        StoreText(entry.name, file.name);
        StoreText(entry.version, file.version);
        writer.record(entry);
        for (const Extent& extent : file.extents)
            writer.record(ExtentRecord{extent.first, extent.count});
    }
    writer.finish();
    WriteLe32(block.data() + offsetof(DirectoryHeader, crc),
              DirectoryCrc(std::span(block.data(), used)));
    return block;
}

DecodedDirectory DecodeDirectory(std::span<const std::uint8_t> block, const DirectoryShape& shape) {
    auto fail = [](std::string problem) {
        return DecodedDirectory{std::nullopt, std::move(problem)};
    };
    try {
        ImageReader reader(std::as_bytes(block));
        const auto header = reader.record<DirectoryHeader>("directory header");
        if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0) return fail("no directory mark");
        if (header.formatVersion != kFormatVersion)
            return fail("directory format " + std::to_string(header.formatVersion) + " is unknown");
        if (header.usedBytes < sizeof(DirectoryHeader) || header.usedBytes > block.size())
            return fail("directory length " + std::to_string(header.usedBytes) +
                        " is out of range");
        if (header.logicalBlocks != shape.logicalBlocks ||
            header.pagesPerBlock != shape.pagesPerBlock)
            return fail("the directory was made for a card of another size");
        const auto used = block.first(header.usedBytes);
        if (DirectoryCrc(used) != header.crc) return fail("directory checksum mismatch");

        ImageReader entries(std::as_bytes(used), sizeof(DirectoryHeader));
        entries.needBytes(header.entryCount, sizeof(DirectoryEntryRecord), "directory entries");
        Directory directory;
        directory.commitNumber = header.commitNumber;
        std::vector<bool> taken(shape.logicalBlocks, false);
        taken[0] = true;  // the directory's own block
        std::set<FileKey> keys;
        for (unsigned i = 0; i < header.entryCount; ++i) {
            const std::size_t start = entries.position();
            const auto entry = entries.record<DirectoryEntryRecord>("directory entry");
            const std::size_t extentBytes =
                entries.needBytes(entry.extentCount, sizeof(ExtentRecord), "extents");
            if (entry.entryLength != sizeof(DirectoryEntryRecord) + extentBytes)
                return fail("entry at " + std::to_string(start) + " has a wrong length");
            CardFile file;
            file.key = {entry.type, entry.subtype};
            file.placeholder = (entry.flags & kPlaceholderFlag) != 0;
            file.name = LoadText(entry.name);
            file.version = LoadText(entry.version);
            file.length = entry.length;
            file.crc = entry.crc;
            std::uint64_t blocks = 0;
            for (unsigned e = 0; e < entry.extentCount; ++e) {
                const auto record = entries.record<ExtentRecord>("extent");
                const Extent extent{record.first, record.count};
                if (extent.count == 0 ||
                    std::uint64_t{extent.first} + extent.count > shape.logicalBlocks)
                    return fail("entry at " + std::to_string(start) + " points outside the card");
                for (unsigned b = extent.first; b < extent.first + extent.count; ++b) {
                    if (taken[b])
                        return fail("block " + std::to_string(b) + " belongs to two files");
                    taken[b] = true;
                }
                blocks += extent.count;
                file.extents.push_back(extent);
            }
            const std::uint64_t needed =
                file.placeholder
                    ? blocks
                    : (std::uint64_t{file.length} + shape.blockBytes - 1) / shape.blockBytes;
            if (needed != blocks || (file.placeholder && file.length != blocks * shape.blockBytes))
                return fail("entry at " + std::to_string(start) +
                            " has a length that does not match its blocks");
            if (!keys.insert(file.key).second)
                return fail("two entries with the same type and subtype");
            directory.files.push_back(std::move(file));
        }
        if (!entries.atEnd()) return fail("bytes after the last directory entry");
        return {std::move(directory), {}};
    } catch (const ImageError& error) {
        return fail(error.what());
    }
}

}  // namespace kestra::card
