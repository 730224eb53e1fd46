// The project image: header, descriptor and format code.
//
//   0   u16       offset of the descriptor (44 when written)
//   2   42 bytes  zero
//   44  4 bytes   descriptor: paged offset of the project record, format code
//   48  627 bytes project record, then the sections
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <variant>

#include "kestra/paged_offset.h"
#include "kestra/project.h"

namespace kestra {

struct ImageDescriptor {
    PagedOffset record;       // where the project record starts
    std::uint8_t formatCode;  // high nibble major, low nibble minor
};
static_assert(sizeof(ImageDescriptor) == 4);

inline constexpr std::uint16_t kDescriptorOffset = 44;
inline constexpr std::uint32_t kImageRecordOffset = 48;

// What a format code says about the rest of the image.
struct FormatRules {
    bool shortPageTexts;       // page texts zero-terminated instead of length-prefixed
    bool endsAfterKeyedTable;  // nothing after section 11, no extension record
    bool hasExtensionRecord;
};

constexpr FormatRules RulesForFormat(std::uint8_t code) {
    const unsigned major = code >> 4;
    const bool old = major < 2 || code == 0x20;
    return {code <= 0x22, old, !old};
}

// The format code a writer gives a project: 0x25 with two or more languages, else 0x24 with
// bitmaps or page extension data, else 0x22.
inline constexpr std::uint8_t kFormatPlain = 0x22;
inline constexpr std::uint8_t kFormatRich = 0x24;
inline constexpr std::uint8_t kFormatMultiLanguage = 0x25;
constexpr std::uint8_t FormatCodeFor(const ExtensionRecord& ext) {
    if (ext.languageCount > 1) return kFormatMultiLanguage;
    if (ext.bitmapCount != 0 || ext.pageBlobsPresent != 0) return kFormatRich;
    return kFormatPlain;
}

struct LocatedProject {
    std::size_t recordOffset;
    std::uint8_t formatCode;
};
struct ImageFault {
    std::size_t offset;
    std::string message;
};

// Finds the project record through the descriptor; refuses a descriptor that lies outside the
// image or points to a record that does not fit in it.
inline std::variant<LocatedProject, ImageFault> LocateProject(std::span<const std::byte> image) {
    if (image.size() < 2) return ImageFault{0, "image too short for its header"};
    const std::size_t at = ReadLe16(image.data());
    if (at > image.size() || image.size() - at < sizeof(ImageDescriptor))
        return ImageFault{0, "descriptor offset " + std::to_string(at) +
                                 " lies outside the image of " + std::to_string(image.size()) +
                                 " bytes"};
    const auto& descriptor = RecordAt<ImageDescriptor>(image.data() + at);
    auto record = descriptor.record.decode();
    if (!record) return ImageFault{at, "descriptor holds no valid paged offset"};
    if (*record > image.size() || image.size() - *record < kProjectRecordSize)
        return ImageFault{at, "project record at " + std::to_string(*record) +
                                  " does not fit in the image of " + std::to_string(image.size()) +
                                  " bytes"};
    return LocatedProject{*record, descriptor.formatCode};
}

// Writes the header and descriptor of an image whose record is at 48.
inline void WriteImageHeader(std::span<std::byte> image, std::uint8_t formatCode) {
    if (image.size() < kImageRecordOffset) return;
    WriteLe16(image.data(), kDescriptorOffset);
    std::memset(image.data() + 2, 0, kDescriptorOffset - 2);
    auto& descriptor = RecordAt<ImageDescriptor>(image.data() + kDescriptorOffset);
    descriptor.record = *PagedOffset::encode(kImageRecordOffset);
    descriptor.formatCode = formatCode;
}

}  // namespace kestra
