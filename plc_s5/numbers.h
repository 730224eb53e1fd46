// S5 number encodings and the scaling arithmetic.
//
// KG is the S5 floating point form: the high byte is a two's complement exponent X, the low
// 24 bits a two's complement mantissa m, normalised so that bit 22 of its magnitude is set;
// the value is m / 2^23 x 2^X. Four-digit BCD packs decimal digits into nibbles, units lowest.
#pragma once

#include <cstdint>

namespace kestra::s5 {

// KG of an IEEE single exponent field of 254 or 255: the value does not fit.
inline constexpr std::uint32_t kKgOverflow = 0xFFFFFFFFu;
// KG zero as the S5 programming guides write it: exponent -128, mantissa 0. Any word with a
// mantissa of 0 reads as zero, 00000000 included.
inline constexpr std::uint32_t kKgZero = 0x80000000u;

// IEEE single (as its bits) to KG. The lowest fraction bit is dropped; zero (of either sign)
// and values below the smallest KG magnitude (2^-129) give kKgZero.
std::uint32_t KgFromIeee(std::uint32_t ieee);
// KG to IEEE single (as its bits). A mantissa of 0 or exactly 0x800000 gives 0.0; values
// below the smallest normal single become subnormal, and 0.0 when even that is too small.
std::uint32_t IeeeFromKg(std::uint32_t kg);

// The driver holds the limits and values of KG fields as integers; these go through the
// single nearest to them.
std::uint32_t KgFromInteger(std::int32_t value);
std::int32_t IntegerFromKg(std::uint32_t kg);

// Binary to BCD of `digits` digits (2, 4 or 8). Negative values give 0 and values above the
// largest number of that many digits give that number.
std::uint32_t ToBcd(std::int64_t value, unsigned digits);
// BCD of `digits` digits back to binary; each nibble counts as its value times its place.
std::uint32_t FromBcd(std::uint32_t bcd, unsigned digits);

// Scaling of a shown value Y from the PLC value X: Y = X x A / B + C.
struct Scaling {
    std::int32_t a = 1, b = 1, c = 0;
};
// X to Y: the magnitude |X| x |A| / |B| is rounded up when the remainder exceeds half of |B|
// and limited to 2147483647; then the signs of X, A and B are applied and C is added. B = 0
// gives the magnitude -1. The result saturates at the 32-bit bounds.
std::int32_t ScaleForward(std::int32_t x, const Scaling& s);
// Y to X = (Y - C) x B / A with the same rounding; A = 0 gives the magnitude -1. Signed
// fields saturate at the signed 32-bit bounds, others at 0 and 0xFFFFFFFF.
std::int32_t ScaleBackward(std::int32_t y, const Scaling& s, bool signedField);

}  // namespace kestra::s5
