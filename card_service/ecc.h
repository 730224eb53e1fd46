// The 3-byte Hamming code that protects every 256 bytes of page data.
//
// Each bit of the 256-byte area has an 11-bit address (8 bits of byte index, 3 bits of bit
// number). For each address bit the code keeps two parities: one over the bits where that
// address bit is 0 and one over the bits where it is 1; 16 line parities for the byte index
// and 6 column parities for the bit number, 22 bits in all. They are stored inverted, so that
// an erased page (all bytes 0xFF) carries a valid code (0xFF 0xFF 0xFF):
//   byte 0: line parities LP7..LP0, byte 1: LP15..LP8, byte 2: CP5..CP0 then two 1 bits.
// A single flipped data bit flips exactly one parity of every pair and is located by the odd
// members; a single flipped bit in the code itself flips one parity only.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kestra::card {

inline constexpr std::size_t kEccArea = 256;
using EccCode = std::array<std::uint8_t, 3>;

EccCode ComputeEcc(std::span<const std::uint8_t, kEccArea> data);

enum class EccResult {
    Clean,          // data and code agree
    CorrectedData,  // one data bit was wrong and has been put right
    CodeError,      // one bit of the stored code was wrong; the data is good
    Uncorrectable,  // more than one bit is wrong
};

// Checks data against its stored code and corrects a single flipped data bit in place.
EccResult CheckAndCorrect(std::span<std::uint8_t, kEccArea> data, const EccCode& stored);

}  // namespace kestra::card
