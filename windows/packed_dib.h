// Reading packed device-independent bitmaps (header, palette, pixel rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestra::platform {

struct DecodedDib {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00BBGGRR per pixel, top row first
};

// An uncompressed bitmap of 1, 4, 8, 24 or 32 bits per pixel with an information header (40
// bytes or more) or a core header (12 bytes); nothing when the bytes do not hold one. Bitmaps
// wider or higher than 16384 pixels are refused.
std::optional<DecodedDib> DecodePackedDib(std::span<const std::byte> dib);

}  // namespace kestra::platform
