#include "plc_s5/formats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/memory.h"
#include "plc_s5/k32plc1.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

uPLCADR Ref(std::uint8_t format, std::uint16_t dataType = 1, std::uint16_t offset = 0) {
    uPLCADR ref{};
    ref.dataFormat = format;
    ref.dataType = dataType;
    ref.byteOffset = offset;
    return ref;
}

sDISPFORMAT Display(std::uint8_t fieldType, unsigned base, std::uint8_t extra = 0,
                    std::uint8_t decimals = 0) {
    sDISPFORMAT d{};
    d.fieldType = fieldType;
    d.format = static_cast<std::uint8_t>((base << 3) | extra);
    d.decimals = decimals;
    return d;
}

const uPLCSETUP kSetup = [] {
    uPLCSETUP s{};
    s.model = 1;
    return s;
}();

}  // namespace

TEST(Capabilities, FormatSupportByFieldTypeClassAndFilter) {
    uPLCADR ref = Ref(kWord);
    EXPECT_TRUE(ExpIsFormatSupported(&kSetup, kNumeric, &ref, 2, 0));
    EXPECT_FALSE(ExpIsFormatSupported(&kSetup, kGraphics, &ref, 2, 0));
    EXPECT_TRUE(ExpIsFormatSupported(&kSetup, kGraphics, &ref, 3, 0));  // attribute references
    EXPECT_FALSE(ExpIsFormatSupported(&kSetup, kNumeric, &ref, 4, 0));
    EXPECT_FALSE(ExpIsFormatSupported(&kSetup, kHorzBargraph, &ref, 2, kBitOnly));
    EXPECT_TRUE(ExpIsFormatSupported(&kSetup, kNumeric, &ref, 2, kBitOnly));
    EXPECT_FALSE(ExpIsFormatSupported(&kSetup, kAsciiField, &ref, 2, kPreferredOnly));
    uPLCADR otherArea = Ref(kAscii, 0);
    EXPECT_TRUE(
        ExpIsFormatSupported(&kSetup, kAsciiField, &otherArea, 2, 0));  // falls back to data blocks
    uPLCSETUP unknown{};
    unknown.model = 7;
    EXPECT_FALSE(ExpIsFormatSupported(&unknown, kNumeric, &ref, 2, 0));
}

TEST(Capabilities, TablesOfClassTwoFields) {
    uPLCADR word = Ref(kWord, 1, 510), dword = Ref(kDword), spc = Ref(kSpcForm6), flt = Ref(kFloat),
            kt = Ref(kTimer);
    EXPECT_TRUE(ExpIsReadWriteSupported(&kSetup, kAsciiField, &word, 2));
    EXPECT_FALSE(ExpIsReadWriteSupported(&kSetup, kHorzBargraph, &word, 2));
    EXPECT_FALSE(ExpIsReadWriteSupported(&kSetup, kNumeric, &word, 3));
    EXPECT_TRUE(ExpIsNumericBaseSupported(&kSetup, kNumeric, kDecimal, &word, 2));
    EXPECT_FALSE(ExpIsNumericBaseSupported(&kSetup, kNumeric, kDecimal, &spc, 2));
    EXPECT_TRUE(ExpIsNumericBaseSupported(&kSetup, kNumeric, kHexadecimal, &dword, 2));
    EXPECT_FALSE(ExpIsNumericBaseSupported(&kSetup, kNumeric, kHexadecimal, &flt, 2));
    EXPECT_FALSE(ExpIsNumericBaseSupported(&kSetup, kNumeric, kBinary, &word, 2));
    EXPECT_FALSE(ExpIsNumericBaseSupported(&kSetup, kMessage, kDecimal, &word, 2));
    EXPECT_TRUE(ExpIsFixedPointSupported(&kSetup, kNumeric, &flt, kDecimal, 2));
    EXPECT_FALSE(ExpIsFixedPointSupported(&kSetup, kNumeric, &kt, kDecimal, 2));
    EXPECT_FALSE(ExpIsFixedPointSupported(&kSetup, kNumeric, &word, kHexadecimal, 2));
    EXPECT_TRUE(ExpIsScalingSupported(&kSetup, kVertBargraph, &word, 2));
    EXPECT_FALSE(ExpIsScalingSupported(&kSetup, kNumeric, &dword, 2));
    EXPECT_FALSE(ExpIsScalingSupported(&kSetup, kMessage, &word, 2));
    EXPECT_FALSE(ExpIsSignedUnsignedSupported(0, 0, 0, 0, 0));
}

TEST(Capabilities, ResetTakesTheFirstValidDataTypeAndFormat) {
    uPLCADR ref = Ref(kSpcForm6, 0);
    sDISPFORMAT numeric = Display(kNumeric, kDecimal), text = Display(kAsciiField, kDecimal),
                graphics = Display(kGraphics, kDecimal);
    EXPECT_EQ(ExpResetDataFormat(0, &ref, &kSetup, &numeric, 2), kBit);
    EXPECT_EQ(ref.dataType.get(), 1);
    ref = Ref(kWord);
    EXPECT_EQ(ExpResetDataFormat(0, &ref, &kSetup, &text, 2), kAscii);
    ref = Ref(kDword);
    EXPECT_EQ(ExpResetDataFormat(0, &ref, &kSetup, &numeric, 2), kDword);  // valid: kept
    EXPECT_EQ(ExpResetDataFormat(0, &ref, &kSetup, &graphics, 2), 0u);
}

TEST(Capabilities, FieldContextFiltersTheFormatTest) {
    FieldRecord field{};
    field.fieldClass = 2;
    field.display.fieldType = kNumeric;
    uPLCSETUP setup = kSetup;
    _tagDEFIELD context{};
    context.version = kFieldContextVersion;
    context.field = &field;
    context.setup = &setup;
    const uPLCADR ref = Ref(kWord);
    EXPECT_TRUE(ExpIsValidAddressAndDataFormat(&context, &ref, kWord));
    EXPECT_FALSE(ExpIsValidAddressAndDataFormat(&context, &ref, kAscii));
    context.flags = kContextBitOnly;
    EXPECT_FALSE(ExpIsValidAddressAndDataFormat(&context, &ref, kWord));
    EXPECT_TRUE(ExpIsValidAddressAndDataFormat(&context, &ref, kBit));
    context.flags = kContextNoBit;
    EXPECT_FALSE(ExpIsValidAddressAndDataFormat(&context, &ref, kBit));
    context.flags = kContextPreferredOnly;
    EXPECT_FALSE(ExpIsValidAddressAndDataFormat(&context, &ref, kByte));
    EXPECT_EQ(ContextFilterFlags(context, false), unsigned{kWritingNeeded | kPreferredOnly});
    context.flags = kContextOtherPlc;
    EXPECT_EQ(ContextFilterFlags(context, false), unsigned{kNumericCodes});
    context.flags = kContextOtherPlc | kContextKeepCodes;
    EXPECT_EQ(ContextFilterFlags(context, false), 0u);
    context.flags = kContextBitOnly;
    field.mode = 3;
    EXPECT_EQ(ContextFilterFlags(context, false), unsigned{kWritingNeeded});
    EXPECT_EQ(ContextFilterFlags(context, true), unsigned{kWritingNeeded | kBitOnly});
}

TEST(Capabilities, TagContextChecksTheTagsDataType) {
    FieldRecord field{};
    field.fieldClass = 2;
    field.display.fieldType = kNumeric;
    const FieldRecord* fieldPointer = &field;
    const uPLCSETUP* setupPointer = &kSetup;
    std::uint8_t context[64] = {};
    std::memcpy(context + 44, &fieldPointer, sizeof fieldPointer);
    std::memcpy(context + 52, &setupPointer, sizeof setupPointer);
    const uPLCADR dataBlock = Ref(kWord, 1), otherArea = Ref(kWord, 0);
    EXPECT_TRUE(IsTagContextValid(context, &dataBlock));
    EXPECT_FALSE(IsTagContextValid(context, &otherArea));
    field.display.fieldType = kGraphics;
    EXPECT_FALSE(IsTagContextValid(context, &dataBlock));
}

TEST(RuntimeFormat, ProjectToRuntime) {
    auto convert = [](std::uint8_t format, BOOL isSigned, DWORD bit, DWORD length) {
        const uPLCADR ref = Ref(format);
        BYTE out[2] = {0xAA, 0xAA};
        ExpConvertDataFormProject2PLC(&ref, isSigned, bit, length, out);
        return std::pair<int, int>(out[0], out[1]);
    };
    EXPECT_EQ(convert(kWord, TRUE, 0, 0), std::pair(0x82, 0));
    EXPECT_EQ(convert(kWord, FALSE, 0, 0), std::pair(0x82, 1));
    EXPECT_EQ(convert(kByte, FALSE, 0, 0), std::pair(0x01, 1));
    EXPECT_EQ(convert(kBit, FALSE, 5, 0), std::pair(0x00, 5));
    EXPECT_EQ(convert(kAscii, FALSE, 0, 12), std::pair(0x05, 12));
    EXPECT_EQ(convert(kFloat, TRUE, 0, 0), std::pair(0x84, 0));
    EXPECT_EQ(convert(kBcdWord, FALSE, 4, 0), std::pair(0x80, 4));  // type code 0 carries the bit
}

TEST(RuntimeFormat, RuntimeToProjectByTypeDisplayCodeAndBcd) {
    auto convert = [](BYTE b0, BYTE b1, DWORD code) {
        uPLCADR ref = Ref(kNoFormat);
        sDISPFORMAT d = Display(kNumeric, kDecimal, sDISPFORMAT::kSigned);
        const BYTE runtime[2] = {b0, b1};
        ExpConvertDataFormPLC2Project(&ref, &d, runtime, code);
        return std::pair<int, bool>(ref.dataFormat, d.format & sDISPFORMAT::kSigned);
    };
    EXPECT_EQ(convert(0x82, 0, 0), std::pair(int{kWord}, true));
    EXPECT_EQ(convert(0x82, 1, 0), std::pair(int{kWord}, false));
    EXPECT_EQ(convert(0x82, 3, 0), std::pair(int{kWord}, true));
    EXPECT_EQ(convert(0x82, 1, 5), std::pair(int{kTimer}, false));
    EXPECT_EQ(convert(0x82, 1, 6), std::pair(int{kCounter}, false));
    EXPECT_EQ(convert(0x84, 0, 7), std::pair(int{kFloat}, true));
    EXPECT_EQ(convert(0x84, 0, 1), std::pair(int{kDword}, true));
    EXPECT_EQ(convert(0x00, 0, 0), std::pair(int{kBit}, false));
    EXPECT_EQ(convert(0x05, 10, 4), std::pair(int{kAscii}, false));
    EXPECT_EQ(convert(0x01, 2, 0), std::pair(int{kNoFormat}, false));  // no BCD byte of type code 1

    uPLCADR ref = Ref(kNoFormat);
    sDISPFORMAT d = Display(kNumeric, kDecimal, sDISPFORMAT::kSigned);
    const BYTE runtime[2] = {0x82, 0};
    ExpConvertAttributeDataFormPLC2Project(&ref, &d, runtime);
    EXPECT_EQ(ref.dataFormat, kWord);
    EXPECT_FALSE(d.format & sDISPFORMAT::kSigned);
}

TEST(DisplayForm, ToRuntimeByFieldType) {
    auto convert = [](std::uint8_t format, const sDISPFORMAT& d, DWORD width, DWORD height) {
        const uPLCADR ref = Ref(format);
        BYTE code = 0xEE, s1 = 0xEE, s2 = 0xEE;
        ExpConvertDisplayFormProject2PLC(&ref, &d, width, height, &code, &s1, &s2);
        return std::tuple<int, int, int>(code, s1, s2);
    };
    EXPECT_EQ(convert(kWord, Display(kNumeric, kDecimal, sDISPFORMAT::kFixedPoint, 2), 8, 1),
              std::tuple(0, 8, 2));
    EXPECT_EQ(convert(kWord, Display(kNumeric, kDecimal, 0, 2), 8, 1), std::tuple(0, 8, 0));
    EXPECT_EQ(convert(kWord, Display(kNumeric, kHexadecimal), 4, 1), std::tuple(1, 4, 0));
    EXPECT_EQ(convert(kTimer, Display(kNumeric, kHexadecimal), 4, 1), std::tuple(5, 4, 0));
    EXPECT_EQ(convert(kWord, Display(kMessage, kDecimal), 20, 1), std::tuple(3, 20, 0));
    EXPECT_EQ(convert(kAscii, Display(kAsciiField, kDecimal), 12, 1), std::tuple(4, 12, 0));
    EXPECT_EQ(convert(kWord, Display(kHorzBargraph, kDecimal), 30, 2), std::tuple(8, 30, 2));
    EXPECT_EQ(convert(kWord, Display(kVertBargraph, kDecimal), 3, 10), std::tuple(9, 10, 3));
    EXPECT_EQ(convert(kWord, Display(kTouchGraphics, kDecimal), 3, 10), std::tuple(11, 10, 3));
}

TEST(DisplayForm, FromRuntimeFindsTheFieldTypeAndDecimalBase) {
    auto convert = [](std::uint8_t format, DWORD code, DWORD s1, DWORD s2) {
        const uPLCADR ref = Ref(format);
        sDISPFORMAT d =
            Display(kAsciiField, kBinary, sDISPFORMAT::kFixedPoint | sDISPFORMAT::kSigned, 9);
        BYTE width = 0, height = 0;
        ExpConvertDisplayFormPLC2Project(&ref, &d, &width, &height, code, s1, s2);
        return d;
    };
    sDISPFORMAT d = convert(kWord, 0, 8, 2);
    EXPECT_EQ(d.fieldType, kNumeric);
    EXPECT_EQ(d.baseIndex(), unsigned{kDecimal});
    EXPECT_TRUE(d.format & sDISPFORMAT::kFixedPoint);
    EXPECT_EQ(d.decimals, 2);
    EXPECT_TRUE(d.format & sDISPFORMAT::kSigned);  // other bits stay
    EXPECT_EQ(convert(kWord, 1, 4, 0).baseIndex(), unsigned{kHexadecimal});
    EXPECT_FALSE(convert(kWord, 0, 8, 0).format & sDISPFORMAT::kFixedPoint);
    d = convert(kWord, 3, 20, 0);
    EXPECT_EQ(d.fieldType, kMessage);
    EXPECT_FALSE(d.format & sDISPFORMAT::kFixedPoint);
    EXPECT_EQ(convert(kTimer, 5, 4, 0).fieldType, kNumeric);

    const uPLCADR ref = Ref(kWord);
    sDISPFORMAT bar{};
    BYTE width = 0, height = 0;
    ExpConvertDisplayFormPLC2Project(&ref, &bar, &width, &height, 9, 10, 3);
    EXPECT_EQ(bar.fieldType, kVertBargraph);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 10);
    EXPECT_FALSE(
        DisplayFormFromRuntime(kWord, bar, width, height, {5, 1, 1}));  // a word is no timer
}

TEST(Models, NamesAndIdentifierArrays) {
    EXPECT_EQ(ExpGetModelIDandNameArrays(nullptr, nullptr, nullptr), 31u * 65536 + 2);
    DWORD ids[2] = {};
    char names[64];
    ASSERT_EQ(ExpGetModelIDandNameArrays(nullptr, ids, names), 2u);
    EXPECT_EQ(ids[0], 1u);
    EXPECT_EQ(ids[1], 2u);
    EXPECT_STREQ(names, "AG90/100/115/135");
    EXPECT_STREQ(names + 17, "AG115 CPU 945");
    uPLCSETUP setup{};
    setup.model = 2;
    EXPECT_EQ(ExpGetModelIDandNameArrays(&setup, ids, names), 1u);
    EXPECT_EQ(ids[0], 2u);
    EXPECT_EQ(ExpGetModelIDandNameArrays(&setup, nullptr, names), 14u * 65536 + 1);

    uPLCSETUP network{};
    network.model = 1;
    network.childCount = 2;
    network.children = GlobalAlloc(GHND, 2 * sizeof(uPLCSETUP));
    auto* slaves = static_cast<uPLCSETUP*>(GlobalLock(network.children));
    slaves[0].slaveAddress = 4;
    slaves[0].model = 1;
    slaves[1].slaveAddress = 5;
    slaves[1].model = 2;
    char name[32];
    ASSERT_TRUE(ExpGetModelName(&network, 5, name, sizeof name));
    EXPECT_STREQ(name, "AG115 CPU 945");
    ASSERT_TRUE(ExpGetModelName(&network, 6, name, sizeof name));
    EXPECT_STREQ(name, "AG90/100/115/135");
    ASSERT_TRUE(ExpGetModelName(&network, 5, name, 6));
    EXPECT_STREQ(name, "AG115");
    network.childCount = 9;  // more than the block holds: the list is not used
    ASSERT_TRUE(ExpGetModelName(&network, 5, name, sizeof name));
    EXPECT_STREQ(name, "AG90/100/115/135");
    GlobalFree(network.children);

    ExpSetPLCModel(0x10002, &setup);
    EXPECT_EQ(setup.model.get(), 2);
}

TEST(Models, DataFormatNamesAndPlcString) {
    char name[32];
    EXPECT_EQ(ExpGetDataFormatStringFromId(8, name, sizeof name), 12u);
    EXPECT_STREQ(name, "FLOAT   [KG]");
    EXPECT_EQ(ExpGetDataFormatStringFromId(15, name, sizeof name), 15u);
    EXPECT_EQ(ExpGetDataFormatStringFromId(0, name, sizeof name), 0u);
    EXPECT_EQ(ExpGetDataFormatIdFromString("float   [kg]"), 8u);
    EXPECT_EQ(ExpGetDataFormatIdFromString("Word(bin)"), 3u);
    EXPECT_EQ(ExpGetDataFormatIdFromString("WORD"), 0u);
    EXPECT_EQ(ExpGetPreferredDataFormat(&kSetup, nullptr), 3u);

    sTARGSETUP project{};
    project.record.nodeA.model = 2;
    char text[64];
    EXPECT_EQ(ExpConvertPLCStringProject2PLC(text, &project), 0u);
    EXPECT_STREQ(text, "Simatic S5 Series-");
    ExpConvertPLCStringPLC2Project("Simatic S5 Series-AG115", &project);
    EXPECT_EQ(project.record.nodeA.model.get(), 1);

    uPLCADR ref = Ref(kWord);
    ExpSetDataFormat(&ref, kAscii);
    EXPECT_EQ(ExpGetDataFormat(&ref), 5u);
    EXPECT_TRUE(ExpIsASCIIDataFormat(&ref));
}
