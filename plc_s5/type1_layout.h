// Layout rules of the type 1 image shared by its writer and reader: placing items by the
// block rule, paged offsets, the end padding and checksums, and the codes and limits of the
// field records.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "kestra/plc_records.h"
#include "plc_s5/numbers.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"

namespace kestra::s5 {

// Places items one after another in an image of fixed capacity; an item that would cross a
// 32 KB boundary moves to the next block, the bytes before it filled with 0xFF.
class ImageSpace {
  public:
    explicit ImageSpace(std::span<std::uint8_t> image) : image_(image) {}
    // The offset of a new item of `size` bytes (at most a block); throws std::length_error
    // when the image is full.
    std::size_t place(std::size_t size) {
        if (position_ % kBlockSize + size > kBlockSize || position_ + size > image_.size())
            return placeAtNextBlock(size);
        const std::size_t at = position_;
        position_ += size;
        return at;
    }
    std::size_t position() const { return position_; }
    std::uint8_t* data() { return image_.data(); }
    std::span<std::uint8_t> image() { return image_; }

  private:
    // An item that does not fit before the block ends (or the image is full).
    std::size_t placeAtNextBlock(std::size_t size);

    std::span<std::uint8_t> image_;
    std::size_t position_ = 0;
};

// The paged offset of an image offset; throws std::length_error beyond what it can name.
[[noreturn]] void ThrowBeyondLastBlock();
inline PagedOffset Paged(std::size_t offset) {
    if (offset > PagedOffset::kMaxOffset) ThrowBeyondLastBlock();
    return *PagedOffset::encode(static_cast<std::uint32_t>(offset));
}

// Pads the image whose items end at `end` to a multiple of 256 bytes (0xFF, the last byte of
// the padding 0), appends the checksum of each 256-byte block and stores the padded size in
// the header. Checksums that would cross a 32 KB boundary start the next block instead (the
// padding then runs to it). Returns the total size, 0 when the image has no room.
std::size_t FinishImage(std::span<std::uint8_t> image, std::size_t end);
// The 8-bit sum of a block.
std::uint8_t Checksum(std::span<const std::uint8_t> block);

struct DisplayKindAndSize {
    std::uint8_t kind, parameter, size;
};
// A little-endian value of a record in one load where the host is little-endian too (the
// byte-wise reading of the record types is not always merged by the compiler).
template <typename T>
T LoadLe(const LittleEndian<T>& value) {
    if constexpr (std::endian::native == std::endian::little) {
        T v;
        std::memcpy(&v, &value, sizeof v);
        return v;
    } else {
        return value.get();
    }
}

// Codes of the field records, inline for the writer's loop over every field.
inline NumericKind NumericKindOf(unsigned format, bool scaled) {
    switch (format) {
        case kBit:
            return kKindBit;
        case kByte:
            return kKindByte;
        case kDword:
        case kFloat:
            return kKindDword;
        case kAscii:
            return kKindText;
        case kWord:
            return scaled ? kKindScaledWord : kKindWord;
        default:
            return kKindWord;
    }
}

// Runtime kind of an attribute read from the PLC.
inline std::uint8_t RuntimeKindOf(unsigned format, bool scaled) {
    switch (format) {
        case kBit:
            return 0;
        case kByte:
            return 1;
        case kDword:
        case kFloat:
            return 4;
        case kAscii:
            return 5;
        default:
            return scaled ? 3 : 2;
    }
}

inline DisplayKindAndSize DisplayKindOf(const sDISPFORMAT& d, unsigned format, std::uint8_t width,
                                        std::uint8_t height) {
    switch (d.fieldType) {
        case kNumeric:
            if (d.baseIndex() != kDecimal) return {kShowHex, 0, width};
            if ((d.format & sDISPFORMAT::kFixedPoint) && format < kTimer)
                return {kShowFixedPoint, d.decimals, width};
            if (format == kTimer) return {kShowTimer, 0, width};
            if (format == kCounter) return {kShowCounter, 0, width};
            if (format == kFloat)
                return {kShowFloat, static_cast<std::uint8_t>(d.decimals ? d.decimals : 1), width};
            return {kShowDecimal, 0, width};
        case kMessage:
            return {kShowMessage, 0, width};
        case kAsciiField:
            return {kShowText, 0, width};
        case kHorzBargraph:
            return {kShowHorzBar, height, width};
        case kVertBargraph:
            return {kShowVertBar, width, height};
        default:
            return {kShowDecimal, 0, 0};
    }
}

// The limits of a class 2 record; returns their bytes (kLimitBytes of the kind).
inline std::size_t WriteImageLimits(std::uint8_t* out, const sDISPFORMAT& d, unsigned format,
                                    NumericKind kind) {
    const std::int32_t minimum = LoadLe(d.minimum), maximum = LoadLe(d.maximum);
    switch (kind) {
        case kKindBit:
            out[0] = static_cast<std::uint8_t>((minimum != 0 ? 1 : 0) | (maximum != 0 ? 2 : 0));
            break;
        case kKindByte:
            out[0] = static_cast<std::uint8_t>(minimum);
            out[1] = static_cast<std::uint8_t>(maximum);
            break;
        case kKindWord:
        case kKindScaledWord:
            if (format == kCounter) {
                WriteLe16(out, static_cast<std::uint16_t>(ToBcd(minimum, 4)));
                WriteLe16(out + 2, static_cast<std::uint16_t>(ToBcd(maximum, 4)));
            } else {
                WriteLe16(out, static_cast<std::uint16_t>(minimum));
                WriteLe16(out + 2, static_cast<std::uint16_t>(maximum));
            }
            if (kind == kKindScaledWord) {
                WriteLe16(out + 4, static_cast<std::uint16_t>(LoadLe(d.scaleA)));
                WriteLe16(out + 6, static_cast<std::uint16_t>(LoadLe(d.scaleB)));
                WriteLe16(out + 8, static_cast<std::uint16_t>(LoadLe(d.scaleC)));
            }
            break;
        case kKindDword:
            if (format == kFloat) {
                WriteLe32(out, KgFromInteger(minimum));
                WriteLe32(out + 4, KgFromInteger(maximum));
            } else {
                WriteLe32(out, static_cast<std::uint32_t>(minimum));
                WriteLe32(out + 4, static_cast<std::uint32_t>(maximum));
            }
            break;
        case kKindText:
            break;
    }
    return kLimitBytes[kind];
}

// Reads them back into the display record (limits, and scaling for a scaled word); the
// display kind tells BCD and KG limits apart. Words are signed when the field is.
void ReadImageLimits(const std::uint8_t* in, sDISPFORMAT& display, NumericKind kind,
                     std::uint8_t displayKind);

}  // namespace kestra::s5
