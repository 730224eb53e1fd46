// Packed device-independent bitmaps: the 40-byte information header and the 12-byte core
// header. A header whose first u32 is 40 is an information header; any other value means the
// core header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/records.h"

namespace kestra {

struct BitmapInfoHeader {
    le32 size;  // 40
    les32 width;
    les32 height;
    le16 planes;
    le16 bitCount;  // 14
    le32 compression;
    le32 sizeImage;
    les32 xPelsPerMeter;
    les32 yPelsPerMeter;
    le32 colorsUsed;  // 32
    le32 colorsImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(offsetof(BitmapInfoHeader, bitCount) == 14 &&
              offsetof(BitmapInfoHeader, colorsUsed) == 32);

struct BitmapCoreHeader {
    le32 size;    // 12
    le16 width;   // 4
    le16 height;  // 6
    le16 planes;
    le16 bitCount;  // 10
};
static_assert(sizeof(BitmapCoreHeader) == 12);

inline constexpr std::uint32_t kInfoHeaderSize = 40;

// Bytes of one row of pixels, padded to a multiple of four.
constexpr std::uint64_t DibRowBytes(std::uint64_t width, std::uint64_t bitCount) {
    return (width * bitCount + 31) / 32 * 4;
}

}  // namespace kestra
