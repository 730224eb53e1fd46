#include "plc_s5/numbers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

using namespace kestra::s5;

namespace {

std::uint32_t Bits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

// The value a KG number stands for, worked out from its fields: mantissa / 2^23 x 2^X.
double KgValue(std::uint32_t kg) {
    const int exponent = static_cast<std::int8_t>(kg >> 24);
    std::int32_t mantissa = static_cast<std::int32_t>(kg << 8) >> 8;
    return std::ldexp(static_cast<double>(mantissa), exponent - 23);
}

}  // namespace

TEST(KgFloat, HandWorkedVectors) {
    EXPECT_EQ(KgFromIeee(Bits(1.0f)), 0x01400000u);   // exponent 1, mantissa 0.1 binary
    EXPECT_EQ(KgFromIeee(Bits(-1.0f)), 0x01C00000u);  // mantissa negated in 24 bits
    EXPECT_EQ(KgFromIeee(Bits(0.5f)), 0x00400000u);
    EXPECT_EQ(KgFromIeee(Bits(0.1f)), 0xFD666666u);  // exponent -3
    EXPECT_EQ(KgFromIeee(Bits(-0.1f)), 0xFD99999Au);
    EXPECT_EQ(KgFromIeee(Bits(100.0f)), 0x07640000u);
    EXPECT_EQ(KgFromIeee(0x00800000u), 0x83400000u);  // smallest normal single, exponent -125
    EXPECT_EQ(KgFromIeee(0x80800000u), 0x83C00000u);
    EXPECT_EQ(KgFromIeee(0x7F7FFFFFu), kKgOverflow);  // largest normal single: exponent field 254
    EXPECT_EQ(KgFromIeee(0x7E800000u), 0x7F400000u);  // exponent field 253 still fits
    EXPECT_EQ(KgFromIeee(Bits(0.0f)), 0x80000000u);   // zero as the S5 guides write it
    EXPECT_EQ(KgFromIeee(Bits(-0.0f)), 0x80000000u);

    EXPECT_EQ(IeeeFromKg(0x01400000u), Bits(1.0f));
    EXPECT_EQ(IeeeFromKg(0x01C00000u), Bits(-1.0f));
    EXPECT_EQ(IeeeFromKg(0x00400000u), Bits(0.5f));
    EXPECT_EQ(IeeeFromKg(0xFD666666u), Bits(0.1f) & ~1u);  // the dropped lowest fraction bit
    EXPECT_EQ(IeeeFromKg(0xFD99999Au), Bits(-0.1f) & ~1u);
    EXPECT_EQ(IeeeFromKg(0x83400000u), 0x00800000u);
    EXPECT_EQ(IeeeFromKg(0x00000000u), 0u);  // both forms of zero read as zero
    EXPECT_EQ(IeeeFromKg(kKgZero), 0u);
    EXPECT_EQ(IeeeFromKg(0x00800000u), 0u);  // mantissa exactly 0x800000
    EXPECT_EQ(IeeeFromKg(0x7F800000u), 0u);
    EXPECT_EQ(IeeeFromKg(0x02200000u), Bits(1.0f));  // unnormalised 0.25 x 2^2
    EXPECT_EQ(IeeeFromKg(0x02E00000u), Bits(-1.0f));
}

TEST(KgFloat, SmallExponentsBecomeSubnormalsOrZero) {
    EXPECT_EQ(IeeeFromKg(0x82400000u), 0x00400000u);  // 2^-127
    EXPECT_EQ(IeeeFromKg(0x80400000u), 0x00100000u);  // 2^-129, the smallest KG magnitude
    EXPECT_EQ(IeeeFromKg(0x80C00000u), 0x80100000u);
    EXPECT_EQ(IeeeFromKg(0x80000001u), 0u);  // 2^-151 is below every single
    EXPECT_EQ(KgFromIeee(0x00400000u), 0x82400000u);
    EXPECT_EQ(KgFromIeee(0x80100000u), 0x80C00000u);
    EXPECT_EQ(KgFromIeee(0x00080000u), kKgZero);  // 2^-130 has no KG form
    EXPECT_EQ(KgFromIeee(0x00000001u), kKgZero);
}

TEST(KgFloat, RandomSinglesRoundTripWithinTheKgMantissa) {
    std::mt19937 random(20240611);
    std::size_t negatives = 0, subnormals = 0;
    for (int i = 0; i < 1'200'000; ++i) {
        const std::uint32_t bits = random();
        const unsigned field = (bits >> 23) & 0xFF;
        if (field >= 254) continue;
        const std::uint32_t kg = KgFromIeee(bits);
        const std::uint32_t back = IeeeFromKg(kg);
        if (field == 0) {
            ++subnormals;
            const bool representable = (bits & 0x7FFFFF) >= 0x100000;  // 2^-129 and up
            ASSERT_EQ(back, representable ? bits : 0u) << std::hex << bits;
            continue;
        }
        if (bits & 0x80000000u) ++negatives;
        // KG keeps 23 bits of magnitude: only the lowest fraction bit goes.
        ASSERT_EQ(back, bits & ~1u) << std::hex << bits;
        ASSERT_EQ(KgValue(kg), static_cast<double>(std::bit_cast<float>(bits & ~1u)))
            << std::hex << bits;
    }
    EXPECT_GT(negatives, 400'000u);
    EXPECT_GT(subnormals, 1'000u);
}

TEST(KgFloat, IntegersGoThroughTheNearestSingle) {
    EXPECT_EQ(KgFromInteger(100), 0x07640000u);
    EXPECT_EQ(IntegerFromKg(0x07640000u), 100);
    EXPECT_EQ(KgFromInteger(0), kKgZero);  // limits of 0 are stored in the documented form
    EXPECT_EQ(IntegerFromKg(kKgZero), 0);
    EXPECT_EQ(IntegerFromKg(0u), 0);
    for (std::int32_t v : {0, 1, -1, 12345, -8388607, 8388607, 2147483647, -2147483647 - 1}) {
        const std::int32_t back = IntegerFromKg(KgFromInteger(v));
        EXPECT_LE(std::abs(static_cast<double>(back) - v),
                  std::abs(static_cast<double>(v)) / 4194304.0)
            << v;
    }
    EXPECT_EQ(IntegerFromKg(KgFromInteger(-4194303)), -4194303);  // 22 bits are exact
}

TEST(Bcd, PacksDigitsUnitsLowestAndSaturates) {
    EXPECT_EQ(ToBcd(1234, 4), 0x1234u);
    EXPECT_EQ(ToBcd(7, 4), 0x0007u);
    EXPECT_EQ(ToBcd(9999, 4), 0x9999u);
    EXPECT_EQ(ToBcd(12345, 4), 0x9999u);  // no wrap to 2345
    EXPECT_EQ(ToBcd(-5, 4), 0u);
    EXPECT_EQ(ToBcd(100, 2), 0x99u);
    EXPECT_EQ(ToBcd(12345678, 8), 0x12345678u);
    EXPECT_EQ(FromBcd(0x1234, 4), 1234u);
    EXPECT_EQ(FromBcd(0x0950, 4), 950u);
    EXPECT_EQ(FromBcd(0x99999999, 8), 99999999u);
    for (int v = 0; v <= 9999; v += 37)
        EXPECT_EQ(FromBcd(ToBcd(v, 4), 4), static_cast<std::uint32_t>(v));
}

TEST(Scaling, ForwardRoundsUpOnlyAboveHalf) {
    EXPECT_EQ(ScaleForward(10, {3, 4, 0}), 7);   // 7.5: exactly half stays
    EXPECT_EQ(ScaleForward(11, {3, 4, 0}), 8);   // 8.25
    EXPECT_EQ(ScaleForward(7, {1, 3, 0}), 2);    // 2.33
    EXPECT_EQ(ScaleForward(8, {1, 3, 0}), 3);    // 2.67
    EXPECT_EQ(ScaleForward(-8, {1, 3, 0}), -3);  // sign applied to the rounded magnitude
    EXPECT_EQ(ScaleForward(8, {-1, 3, 0}), -3);
    EXPECT_EQ(ScaleForward(8, {-1, -3, 0}), 3);
    EXPECT_EQ(ScaleForward(8, {1, 3, 100}), 103);
    EXPECT_EQ(ScaleForward(-8, {1, 3, 100}), 97);
    EXPECT_EQ(ScaleForward(1000, {7, 2, 0}), 3500);  // whole part and remainder add up
}

TEST(Scaling, ForwardSaturatesAndMarksAZeroDivisor) {
    EXPECT_EQ(ScaleForward(2147483647, {2147483647, 1, 0}), 2147483647);
    EXPECT_EQ(ScaleForward(-2147483647, {2147483647, 1, 0}), -2147483647);
    EXPECT_EQ(ScaleForward(2147483647, {1, 1, 10}), 2147483647);  // the offset cannot wrap
    EXPECT_EQ(ScaleForward(5, {2, 0, 0}), -1);
    EXPECT_EQ(ScaleForward(5, {2, 0, 10}), 9);
    EXPECT_EQ(ScaleForward(-5, {2, 0, 0}), 1);
}

TEST(Scaling, BackwardIsTheInverseWithTheSameRounding) {
    EXPECT_EQ(ScaleBackward(7, {3, 4, 0}, true), 9);   // 9.33
    EXPECT_EQ(ScaleBackward(8, {3, 4, 0}, true), 11);  // 10.67
    EXPECT_EQ(ScaleBackward(6, {4, 1, 0}, true), 1);   // 1.5: half stays
    EXPECT_EQ(ScaleBackward(103, {1, 3, 100}, true), 9);
    EXPECT_EQ(ScaleBackward(97, {1, 3, 100}, true), -9);
    EXPECT_EQ(ScaleBackward(2147483647, {1, 2, -2147483647 - 1}, true), 2147483647);
    EXPECT_EQ(ScaleBackward(-2147483647 - 1, {1, 2, 2147483647}, true), -2147483647 - 1);
    EXPECT_EQ(ScaleBackward(-5, {1, 1, 0}, false), 0);  // unsigned fields stop at 0
    EXPECT_EQ(ScaleBackward(2147483647, {1, 2, -2147483647 - 1}, false), -1);  // 0xFFFFFFFF
    EXPECT_EQ(ScaleBackward(5, {0, 1, 0}, true), -1);
    for (std::int32_t x = -1000; x <= 1000; x += 7)
        EXPECT_EQ(ScaleBackward(ScaleForward(x, {5, 2, 3}), {5, 2, 3}, true), x) << x;
}
