// CRC-32 (polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF) over byte ranges.
#pragma once

#include <cstdint>
#include <span>

namespace kestra::card {

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

}  // namespace kestra::card
