// Layout rules of the type 1 image shared by its writer and reader: placing items by the
// block rule, paged offsets, the end padding and checksums, and the codes and limits of the
// field records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "kestra/plc_records.h"
#include "plc_s5/type1_image.h"

namespace kestra::s5 {

// Places items one after another in an image of fixed capacity; an item that would cross a
// 32 KB boundary moves to the next block, the bytes before it filled with 0xFF.
class ImageSpace {
  public:
    explicit ImageSpace(std::span<std::uint8_t> image) : image_(image) {}
    // The offset of a new item of `size` bytes (at most a block); throws std::length_error
    // when the image is full.
    std::size_t place(std::size_t size);
    std::size_t position() const { return position_; }
    std::uint8_t* data() { return image_.data(); }
    std::span<std::uint8_t> image() { return image_; }

  private:
    std::span<std::uint8_t> image_;
    std::size_t position_ = 0;
};

// The paged offset of an image offset; throws std::length_error beyond what it can name.
PagedOffset Paged(std::size_t offset);

// Pads the image whose items end at `end` to a multiple of 256 bytes (0xFF, the last byte of
// the padding 0), appends the checksum of each 256-byte block and stores the padded size in
// the header. Checksums that would cross a 32 KB boundary start the next block instead (the
// padding then runs to it). Returns the total size, 0 when the image has no room.
std::size_t FinishImage(std::span<std::uint8_t> image, std::size_t end);
// The 8-bit sum of a block.
std::uint8_t Checksum(std::span<const std::uint8_t> block);

// Codes of the field records.
NumericKind NumericKindOf(unsigned format, bool scaled);
// Runtime kind of an attribute read from the PLC.
std::uint8_t RuntimeKindOf(unsigned format, bool scaled);
struct DisplayKindAndSize {
    std::uint8_t kind, parameter, size;
};
DisplayKindAndSize DisplayKindOf(const sDISPFORMAT& display, unsigned format, std::uint8_t width,
                                 std::uint8_t height);

// The limits of a class 2 record; returns their bytes (kLimitBytes of the kind).
std::size_t WriteImageLimits(std::uint8_t* out, const sDISPFORMAT& display, unsigned format,
                             NumericKind kind);
// Reads them back into the display record (limits, and scaling for a scaled word); the
// display kind tells BCD and KG limits apart. Words are signed when the field is.
void ReadImageLimits(const std::uint8_t* in, sDISPFORMAT& display, NumericKind kind,
                     std::uint8_t displayKind);

}  // namespace kestra::s5
