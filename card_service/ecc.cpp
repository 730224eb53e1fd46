#include "card_service/ecc.h"

#include <bit>

namespace kestra::card {
namespace {

// Parities of a 22-bit code before inversion: bits 0-15 line parities LP0..LP15, bits 16-21
// column parities CP0..CP5.
std::uint32_t RawParities(std::span<const std::uint8_t, kEccArea> data) {
    unsigned columns = 0;     // XOR of all bytes: bit k is the parity of column k
    unsigned oddIndexes = 0;  // XOR of the indexes of the bytes with odd parity
    unsigned oddBytes = 0;    // number of bytes with odd parity, modulo 2
    for (unsigned i = 0; i < kEccArea; ++i) {
        const unsigned byte = data[i];
        columns ^= byte;
        if (std::popcount(byte) & 1) {
            oddIndexes ^= i;
            oddBytes ^= 1;
        }
    }
    std::uint32_t code = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
        const unsigned odd = (oddIndexes >> bit) & 1;  // parity over bytes with index bit set
        const unsigned even = odd ^ oddBytes;          // the rest of the bytes
        code |= even << (2 * bit);
        code |= odd << (2 * bit + 1);
    }
    static constexpr unsigned kColumnMasks[6] = {0x55, 0xAA, 0x33, 0xCC, 0x0F, 0xF0};
    for (unsigned i = 0; i < 6; ++i)
        code |= static_cast<std::uint32_t>(std::popcount(columns & kColumnMasks[i]) & 1)
                << (16 + i);
    return code;
}

EccCode Pack(std::uint32_t parities) {
    return {static_cast<std::uint8_t>(~parities & 0xFF),
            static_cast<std::uint8_t>(~(parities >> 8) & 0xFF),
            static_cast<std::uint8_t>((~(parities >> 16) & 0x3F) << 2 | 0x03)};
}

std::uint32_t Unpack(const EccCode& code) {
    const std::uint32_t lines = static_cast<std::uint32_t>(code[0]) | (std::uint32_t{code[1]} << 8);
    const std::uint32_t columns = (code[2] >> 2) & 0x3F;
    return ~(lines | (columns << 16)) & 0x3FFFFF;
}

}  // namespace

EccCode ComputeEcc(std::span<const std::uint8_t, kEccArea> data) {
    return Pack(RawParities(data));
}

EccResult CheckAndCorrect(std::span<std::uint8_t, kEccArea> data, const EccCode& stored) {
    const std::uint32_t difference = RawParities(data) ^ Unpack(stored);
    if (difference == 0) return EccResult::Clean;
    if (std::popcount(difference) == 1) return EccResult::CodeError;
    // A single data bit flips exactly one member of each of the 11 pairs.
    unsigned byteIndex = 0;
    unsigned bitNumber = 0;
    for (unsigned pair = 0; pair < 11; ++pair) {
        const unsigned bits = (difference >> (2 * pair)) & 3;
        if (bits != 1 && bits != 2) return EccResult::Uncorrectable;
        const unsigned odd = bits >> 1;
        if (pair < 8)
            byteIndex |= odd << pair;
        else
            bitNumber |= odd << (pair - 8);
    }
    data[byteIndex] ^= static_cast<std::uint8_t>(1u << bitNumber);
    return EccResult::CorrectedData;
}

}  // namespace kestra::card
