#include "plc_s5/limits.h"

#include <gtest/gtest.h>

#include <string>

#include "plc_s5/k32plc1.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

constexpr std::uint8_t kDecimalBase = 2 << 3;

sDISPFORMAT Display(std::uint8_t fieldType, std::uint8_t format, std::uint8_t decimals = 0) {
    sDISPFORMAT d{};
    d.fieldType = fieldType;
    d.format = format;
    d.decimals = decimals;
    d.scaleA = 1;
    d.scaleB = 1;
    return d;
}
sDISPFORMAT Signed() {
    return Display(kNumeric, kDecimalBase | sDISPFORMAT::kSigned);
}
sDISPFORMAT Unsigned() {
    return Display(kNumeric, kDecimalBase);
}
sDISPFORMAT FixedPoint(std::uint8_t decimals, bool isSigned = true) {
    return Display(kNumeric,
                   kDecimalBase | sDISPFORMAT::kFixedPoint | (isSigned ? sDISPFORMAT::kSigned : 0),
                   decimals);
}
sDISPFORMAT Scaled(std::int32_t a, std::int32_t b, std::int32_t c, bool isSigned) {
    sDISPFORMAT d = Display(
        kNumeric, kDecimalBase | sDISPFORMAT::kScaling | (isSigned ? sDISPFORMAT::kSigned : 0));
    d.scaleA = a;
    d.scaleB = b;
    d.scaleC = c;
    return d;
}

std::int32_t Parse(const sDISPFORMAT& d, unsigned format, const char* text) {
    return LimitFromText(d, format, text, LimitMode::Parse);
}

}  // namespace

TEST(LimitText, ClampsToTheBoundsOfTheFormat) {
    EXPECT_EQ(Parse(Signed(), kWord, "40000"), 32767);
    EXPECT_EQ(Parse(Signed(), kWord, "-40000"), -32768);
    EXPECT_EQ(Parse(Unsigned(), kByte, "300"), 255);
    EXPECT_EQ(Parse(Unsigned(), kByte, "-3"), 0);  // no wrap to a huge unsigned value
    EXPECT_EQ(Parse(Signed(), kByte, "-200"), -128);
    EXPECT_EQ(Parse(Unsigned(), kBcdWord, "12345"), 9999);
    EXPECT_EQ(Parse(Unsigned(), kBcdByte, "120"), 99);
    EXPECT_EQ(Parse(Unsigned(), kBit, "7"), 1);
    EXPECT_EQ(Parse(Unsigned(), kAscii, "1000"), 255);
    EXPECT_EQ(Parse(Signed(), kDword, "-99999999999"), -2147483647);
    EXPECT_EQ(static_cast<std::uint32_t>(Parse(Unsigned(), kDword, "4294967295")), 4294967295u);
    EXPECT_EQ(Parse(Unsigned(), kWord, "  123  "), 123);
}

TEST(LimitText, ReadsTheFieldsBase) {
    auto base = [](unsigned index) {
        return Display(kNumeric, static_cast<std::uint8_t>(index << 3));
    };
    EXPECT_EQ(Parse(base(0), kWord, "101"), 5);
    EXPECT_EQ(Parse(base(1), kWord, "17"), 15);
    EXPECT_EQ(Parse(base(3), kWord, "1F"), 31);
    EXPECT_EQ(Parse(base(3), kWord, "0x1f"), 31);
    // Other field types read decimal whatever their base bits say.
    EXPECT_EQ(Parse(Display(kMessage, 3 << 3), kWord, "10"), 10);
}

TEST(LimitText, FixedPointTextsCarryTheirDecimals) {
    EXPECT_EQ(Parse(FixedPoint(2), kWord, "1.5"), 150);
    EXPECT_EQ(Parse(FixedPoint(2), kWord, "1.5x"), 150);
    EXPECT_EQ(Parse(FixedPoint(2), kWord, "12.345"), 1234);
    EXPECT_EQ(Parse(FixedPoint(3), kWord, "-.005"), -5);
    EXPECT_EQ(Parse(FixedPoint(3), kWord, "0.005"), 5);
    EXPECT_EQ(Parse(FixedPoint(2), kWord, "5."), 500);
    EXPECT_EQ(Parse(FixedPoint(2), kWord, "5"), 500);  // whole units, as "5." is
    EXPECT_EQ(Parse(FixedPoint(2), kWord, "400.00"), 32767);

    EXPECT_EQ(LimitToText(FixedPoint(3), -5), "-.005");
    EXPECT_EQ(LimitToText(FixedPoint(3), 5), "0.005");
    EXPECT_EQ(LimitToText(FixedPoint(3), 123), "0.123");
    EXPECT_EQ(LimitToText(FixedPoint(2), 12345), "123.45");
    EXPECT_EQ(LimitToText(FixedPoint(2), -12345), "-123.45");
    EXPECT_EQ(LimitToText(FixedPoint(2), 0), "0.00");
    for (std::int32_t v : {-32768, -1001, -5, 0, 7, 999, 32767})
        EXPECT_EQ(Parse(FixedPoint(3), kWord, LimitToText(FixedPoint(3), v).c_str()), v);
}

TEST(LimitText, PrintsInTheFieldsBaseAndSignedness) {
    EXPECT_EQ(LimitToText(Display(kNumeric, 3 << 3), 255), "FF");
    EXPECT_EQ(LimitToText(Display(kNumeric, 0), 5), "101");
    EXPECT_EQ(LimitToText(Unsigned(), -1), "4294967295");
    EXPECT_EQ(LimitToText(Signed(), -1), "-1");
    EXPECT_EQ(LimitToText(Scaled(1, 1, 0, false), -7), "-7");  // scaled fields print signed
}

TEST(LimitText, DefaultsFollowSignednessScalingAndType) {
    auto max = [](const sDISPFORMAT& d, unsigned f) {
        return LimitFromText(d, f, "", LimitMode::MaximumDefault);
    };
    auto min = [](const sDISPFORMAT& d, unsigned f) {
        return LimitFromText(d, f, "", LimitMode::MinimumDefault);
    };
    EXPECT_EQ(max(Signed(), kWord), 32767);
    EXPECT_EQ(min(Signed(), kWord), -32768);
    EXPECT_EQ(max(Unsigned(), kWord), 65535);
    EXPECT_EQ(min(Unsigned(), kWord), 0);
    EXPECT_EQ(max(Unsigned(), kDword), -1);  // 0xFFFFFFFF
    EXPECT_EQ(min(Signed(), kDword), -2147483647);
    EXPECT_EQ(max(Display(kGraphics, 0), kWord), 511);
    EXPECT_EQ(min(Display(kGraphics, kDecimalBase | sDISPFORMAT::kSigned), kWord), 0);
    // A scaled field shows its defaults through the scaling.
    EXPECT_EQ(max(Scaled(1, 2, 0, false), kWord), 32767);
    EXPECT_EQ(max(Scaled(2, 1, 0, true), kWord), 65534);
}

TEST(LimitText, ScaledFieldsClampThroughTheScaling) {
    EXPECT_EQ(Parse(Scaled(2, 1, 0, true), kWord, "100"), 100);      // inside: the text stands
    EXPECT_EQ(Parse(Scaled(2, 1, 0, true), kWord, "70000"), 65534);  // 32767 shown
    EXPECT_EQ(Parse(Scaled(2, 1, 0, true), kWord, "-70000"), -65536);
    // 16384 takes back to 65536, clamped to 65535, which shows as 16384 again: one step down.
    EXPECT_EQ(Parse(Scaled(1, 4, 0, false), kWord, "16384"), 16383);
}

TEST(LimitText, ValidationOrdersAndClampsBothLimits) {
    std::int32_t minimum = 50, maximum = 10;
    ValidateLimits(Signed(), kWord, minimum, maximum, false, true);
    EXPECT_EQ(minimum, 10);
    EXPECT_EQ(maximum, 10);
    minimum = 50, maximum = 10;
    ValidateLimits(Signed(), kWord, minimum, maximum, false, false);
    EXPECT_EQ(maximum, 50);
    minimum = -5, maximum = 40000;
    ValidateLimits(Signed(), kWord, minimum, maximum, false, false);
    EXPECT_EQ(minimum, -5);
    EXPECT_EQ(maximum, 32767);
    minimum = -5, maximum = 7;  // unsigned: -5 is the larger one
    ValidateLimits(Unsigned(), kWord, minimum, maximum, false, false);
    EXPECT_EQ(minimum, 65535);
    EXPECT_EQ(maximum, 65535);
    ValidateLimits(Signed(), kByte, minimum, maximum, true, false);
    EXPECT_EQ(minimum, -128);
    EXPECT_EQ(maximum, 127);
}

TEST(LimitExports, GoThroughTheReferencesFormat) {
    sDISPFORMAT d = Signed();
    uPLCADR ref{};
    ref.dataFormat = kByte;
    LONG value = 0;
    EXPECT_EQ(ExpConvertString2MaxMin(&d, &value, "500", &ref, 0), 127);
    EXPECT_EQ(value, 127);
    EXPECT_EQ(ExpConvertString2MaxMin(&d, &value, nullptr, &ref, 2), -128);
    char text[64];
    d = FixedPoint(2);
    EXPECT_STREQ(ExpConvertMaxMin2String(&d, -7, text, &ref), "-.07");
    d.decimals = 200;  // a silly number of places is cut to the text room
    ExpConvertMaxMin2String(&d, 1, text, &ref);
    EXPECT_EQ(std::string(text).size(), kLimitTextLength);
    d.decimals = 2;
    LONG low = 9, high = 3;
    EXPECT_TRUE(ExpValidateMaxMin(&d, &low, &high, &ref, FALSE, TRUE));
    EXPECT_EQ(low, 3);
}

TEST(ScaleFactors, ClampByTheFormatAndNeverDivideByZero) {
    sDISPFORMAT d = Signed();
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::A, d, kWord, "40000"), 32767);
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::B, d, kWord, "0"), 1);
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::A, d, kWord, "0"), 1);
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::C, d, kWord, "0"), 0);
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::C, d, kDword, "-2147483648"), -2147483647);
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::C, d, kBit, "5"), 1);
    EXPECT_EQ(ScaleFactorFromText(ScaleFactor::C, d, kByte, "-200"), -128);
    d.scaleA = 7;
    d.scaleB = 9;
    d.scaleC = 11;
    ScaleFactorFromText(ScaleFactor::Reset, d, kWord, "");
    EXPECT_EQ(d.scaleA.get(), 1);
    EXPECT_EQ(d.scaleB.get(), 1);
    EXPECT_EQ(d.scaleC.get(), 0);

    uPLCADR ref{};
    ref.dataFormat = kWord;
    LONG value = 123456;
    EXPECT_EQ(ExpValidateScaleFac(1, &d, &value, &ref), &value);
    EXPECT_EQ(value, 32767);
    char text[64];
    EXPECT_STREQ(ExpConvertScaleFac2String(2, &d, -42, text, &ref), "-42");
}

TEST(RuntimeLimits, EncodeByDisplayAndTypeCodeAndComeBack) {
    struct Case {
        unsigned typeCode, displayCode;
        std::int32_t minimum, maximum;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {kTypeWord, 5, 10, 300, {10, 0, 0x2C, 0x01}},
        {kTypeWord, 6, 12, 1234, {0x12, 0, 0x34, 0x12}},
        {kTypeDword, 7, 1, 100, {0, 0, 0x40, 0x01, 0, 0, 0x64, 0x07}},
        {kTypeBit, 0, 0, 1, {2}},
        {kTypeByte, 0, -3, 100, {0xFD, 100}},
        {kTypeWord, 0, -2, 1000, {0xFE, 0xFF, 0xE8, 0x03}},
        {kTypeDword, 0, -1, 70000, {0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0}},
    };
    for (const Case& c : cases) {
        sDISPFORMAT d = Signed();
        d.minimum = c.minimum;
        d.maximum = c.maximum;
        std::uint8_t out[8] = {};
        ASSERT_EQ(LimitsToRuntime(out, d, c.typeCode, c.displayCode, true), c.bytes.size());
        EXPECT_EQ(std::vector<std::uint8_t>(out, out + c.bytes.size()), c.bytes)
            << c.typeCode << "/" << c.displayCode;
        sDISPFORMAT back = Signed();
        LimitsFromRuntime(out, back, c.typeCode, c.displayCode, true);
        EXPECT_EQ(back.minimum.get(), c.minimum);
        EXPECT_EQ(back.maximum.get(), c.maximum);
    }
}

TEST(RuntimeLimits, ScaledLimitsGoBackThroughTheScaling) {
    sDISPFORMAT d = Scaled(10, 1, 5, true);
    d.minimum = 5;
    d.maximum = 1005;
    std::uint8_t out[4];
    EXPECT_EQ(ExpConvertMaxMinProject2PLC(out, &d, kTypeWord, 0, TRUE, nullptr), 4u);
    EXPECT_EQ(ReadLe16(out), 0);
    EXPECT_EQ(ReadLe16(out + 2), 100);
    ExpConvertMaxMinProject2PLC(out, &d, kTypeWord, 0, FALSE, nullptr);
    EXPECT_EQ(ReadLe16(out + 2), 1005);
    sDISPFORMAT back = Scaled(10, 1, 5, true);
    WriteLe16(out + 2, 100);
    ExpConvertMaxMinPLC2Project(out, &back, kTypeWord, 0, TRUE, nullptr);
    EXPECT_EQ(back.maximum.get(), 1005);
}

TEST(StoredValues, FollowTheRuntimeFormatsByteOrder) {
    struct Case {
        RuntimeFormat runtime;
        unsigned displayCode;
        std::int32_t value;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {{0x02, 1}, 0, 0x1234, {0x34, 0x12}},
        {{0x82, 1}, 0, 0x1234, {0x12, 0x34}},
        {{0x84, 1}, 0, 0x11223344, {0x11, 0x22, 0x33, 0x44}},
        {{0xC4, 1}, 0, 0x11223344, {0x22, 0x11, 0x44, 0x33}},
        {{0x01, 2}, 0, 42, {0x42}},
        {{0x01, 2}, 0, 150, {0x99}},  // above the largest two-digit number
        {{0x84, 2}, 0, 12345678, {0x12, 0x34, 0x56, 0x78}},
        {{0x02, 0}, 0, -2, {0xFE, 0xFF}},
        {{0x82, 1}, 5, 300, {0x01, 0x2C}},
        {{0x82, 1}, 6, 1234, {0x12, 0x34}},
        {{0x84, 1}, 7, 100, {0x00, 0x00, 0x64, 0x07}},
    };
    const sDISPFORMAT d = Signed();
    for (const Case& c : cases) {
        std::uint8_t out[4] = {};
        ASSERT_EQ(StoreRuntimeValue(out, c.value, nullptr, d, c.runtime, c.displayCode),
                  c.bytes.size());
        EXPECT_EQ(std::vector<std::uint8_t>(out, out + c.bytes.size()), c.bytes) << c.value;
        const std::int32_t expected = c.value == 150 ? 99 : c.value;
        EXPECT_EQ(LoadRuntimeValue(out, nullptr, d, c.runtime, c.displayCode), expected) << c.value;
    }
}

TEST(StoredValues, BitsTextsAndScaling) {
    const sDISPFORMAT d = Signed();
    std::uint8_t byte = 0x81;
    StoreRuntimeValue(&byte, 1, nullptr, d, {0x00, 3}, 0);
    EXPECT_EQ(byte, 0x89);
    StoreRuntimeValue(&byte, 0, nullptr, d, {0x00, 7}, 0);
    EXPECT_EQ(byte, 0x09);
    EXPECT_EQ(LoadRuntimeValue(&byte, nullptr, d, {0x00, 3}, 0), 1);
    EXPECT_EQ(LoadRuntimeValue(&byte, nullptr, d, {0x00, 2}, 0), 0);

    const std::pair<std::uint8_t, const char*> texts[] = {
        {0x05, "ABCD"}, {0x85, "DCBA"}, {0x45, "BADC"}, {0xC5, "CDAB"}};
    for (auto [runtime0, stored] : texts) {
        std::uint8_t out[4];
        ASSERT_EQ(StoreRuntimeValue(out, 0, "ABCD", d, {runtime0, 4}, 0), 4u);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), stored);
        char back[5];
        LoadRuntimeValue(out, back, d, {runtime0, 4}, 0);
        EXPECT_STREQ(back, "ABCD");
    }
    std::uint8_t shortText[6];
    StoreRuntimeValue(shortText, 0, "AB", d, {0x05, 6}, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(shortText), 6), std::string("AB\0\0\0\0", 6));

    const sDISPFORMAT scaled = Scaled(2, 1, 0, true);
    std::uint8_t word[2];
    StoreRuntimeValue(word, 100, nullptr, scaled, {0x02, 0}, 0);
    EXPECT_EQ(ReadLe16(word), 50);
    EXPECT_EQ(LoadRuntimeValue(word, nullptr, scaled, {0x02, 0}, 0), 100);
}
