#include "plc_s5/numbers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kestra::s5 {
namespace {

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kMantissaMask = 0xFFFFFFu;
constexpr std::uint32_t kMantissaSign = 0x800000u;
constexpr std::uint32_t kLeadingBit = 0x400000u;  // bit 22: the mantissa is 0.1xxx binary
constexpr int kIeeeBias = 126;                    // IEEE exponent = X + 126
constexpr int kLowestKgExponent = -128;

std::uint32_t NegateMantissa(std::uint32_t m) {
    return (0x1000000u - m) & kMantissaMask;
}

std::int64_t Clamp(std::int64_t v, std::int64_t low, std::int64_t high) {
    return std::min(std::max(v, low), high);
}

// |x| x |a| / |b|, rounded up when the remainder exceeds half of |b| (b != 0).
std::uint64_t ScaledMagnitude(std::uint64_t x, std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = x * a;  // at most 2^32 x 2^31: it fits
    std::uint64_t magnitude = product / b;
    if (product % b > b / 2) ++magnitude;
    return magnitude;
}

std::uint64_t Abs(std::int64_t v) {
    return v < 0 ? static_cast<std::uint64_t>(-v) : static_cast<std::uint64_t>(v);
}

}  // namespace

std::uint32_t KgFromIeee(std::uint32_t ieee) {
    const bool negative = ieee & kSignBit;
    const int field = static_cast<int>((ieee >> 23) & 0xFF);
    const std::uint32_t fraction = ieee & 0x7FFFFFu;
    if (field >= 254) return kKgOverflow;
    int exponent;
    std::uint32_t magnitude;
    if (field != 0) {
        exponent = field - kIeeeBias;
        magnitude = (fraction >> 1) | kLeadingBit;
    } else {
        if (fraction == 0) return kKgZero;
        // A subnormal single, fraction x 2^-149: normalise its highest bit to bit 22.
        const int highest = std::bit_width(fraction) - 1;
        magnitude = fraction << (22 - highest);
        exponent = highest - 148;
        if (exponent < kLowestKgExponent) return kKgZero;
    }
    const std::uint32_t mantissa = negative ? NegateMantissa(magnitude) : magnitude;
    return (static_cast<std::uint32_t>(exponent & 0xFF) << 24) | mantissa;
}

std::uint32_t IeeeFromKg(std::uint32_t kg) {
    int exponent = static_cast<std::int8_t>(kg >> 24);
    const std::uint32_t mantissa = kg & kMantissaMask;
    if (mantissa == 0 || mantissa == kMantissaSign) return 0;
    const bool negative = mantissa & kMantissaSign;
    std::uint32_t magnitude = negative ? NegateMantissa(mantissa) : mantissa;
    while (!(magnitude & kLeadingBit)) {
        magnitude <<= 1;
        --exponent;
    }
    const std::uint32_t sign = negative ? kSignBit : 0;
    const int field = exponent + kIeeeBias;
    if (field >= 1)
        return sign | (static_cast<std::uint32_t>(field) << 23) |
               ((magnitude & (kLeadingBit - 1)) << 1);
    // Below the normal range: the value magnitude x 2^(X - 23) as a subnormal fraction.
    const int shift = -field;
    if (shift >= 23) return 0;
    return sign | (magnitude >> shift);
}

std::uint32_t KgFromInteger(std::int32_t value) {
    return KgFromIeee(std::bit_cast<std::uint32_t>(static_cast<float>(value)));
}

std::int32_t IntegerFromKg(std::uint32_t kg) {
    const double value = std::bit_cast<float>(IeeeFromKg(kg));
    const double limited =
        std::clamp(std::nearbyint(value), double{std::numeric_limits<std::int32_t>::min()},
                   double{std::numeric_limits<std::int32_t>::max()});
    return static_cast<std::int32_t>(limited);
}

std::uint32_t ToBcd(std::int64_t value, unsigned digits) {
    std::int64_t largest = 1;
    for (unsigned i = 0; i < digits; ++i) largest *= 10;
    auto rest = static_cast<std::uint64_t>(Clamp(value, 0, largest - 1));
    std::uint32_t bcd = 0;
    for (unsigned i = 0; i < digits; ++i, rest /= 10)
        bcd |= static_cast<std::uint32_t>(rest % 10) << (4 * i);
    return bcd;
}

std::uint32_t FromBcd(std::uint32_t bcd, unsigned digits) {
    std::uint32_t value = 0, place = 1;
    for (unsigned i = 0; i < digits; ++i, place *= 10) value += ((bcd >> (4 * i)) & 0xF) * place;
    return value;
}

std::int32_t ScaleForward(std::int32_t x, const Scaling& s) {
    std::int64_t magnitude = -1;
    if (s.b != 0) {
        std::uint64_t m = ScaledMagnitude(Abs(x), Abs(s.a), Abs(s.b));
        magnitude = static_cast<std::int64_t>(std::min<std::uint64_t>(m, 0x7FFFFFFF));
    }
    const bool negative = ((x < 0) != (s.a < 0)) != (s.b < 0);
    const std::int64_t y = (negative ? -magnitude : magnitude) + s.c;
    return static_cast<std::int32_t>(Clamp(y, std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ScaleBackward(std::int32_t y, const Scaling& s, bool signedField) {
    const std::int64_t difference = std::int64_t{y} - s.c;
    std::int64_t magnitude = -1;
    if (s.a != 0)
        magnitude = static_cast<std::int64_t>(ScaledMagnitude(Abs(difference), Abs(s.b), Abs(s.a)));
    const bool negative = ((difference < 0) != (s.a < 0)) != (s.b < 0);
    const std::int64_t x = negative ? -magnitude : magnitude;
    if (signedField)
        return static_cast<std::int32_t>(Clamp(x, std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(Clamp(x, 0, 0xFFFFFFFFll)));
}

}  // namespace kestra::s5
