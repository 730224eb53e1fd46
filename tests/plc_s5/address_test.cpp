#include "plc_s5/address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "plc_s5/k32plc1.h"

using namespace kestra;
using namespace kestra::s5;

namespace {

const ModelRow& Row() {
    return *ModelRowFor(1);
}

uPLCADR Ref(std::uint8_t db, std::uint16_t offset, std::uint8_t format, std::uint8_t bit = 0) {
    uPLCADR ref{};
    ref.dataBlock = db;
    ref.byteOffset = offset;
    ref.dataFormat = format;
    ref.bit = bit;
    ref.dataType = 1;
    return ref;
}

std::string Write(const uPLCADR& ref, bool preferred = false) {
    return WriteAddress(Row(), ref, preferred).value_or("<none>");
}

// Reads a text into a reference that starts as `start`; nothing when rejected.
std::optional<uPLCADR> Read(std::string_view text, uPLCADR start = Ref(0, 0, kWord),
                            bool preferred = false) {
    if (!ReadAddress(Row(), text, start, preferred)) return std::nullopt;
    return start;
}

void ExpectRef(const std::optional<uPLCADR>& ref, unsigned db, unsigned offset, unsigned format,
               unsigned bit = 0) {
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->dataBlock, db);
    EXPECT_EQ(ref->byteOffset.get(), offset);
    EXPECT_EQ(ref->dataFormat, format);
    EXPECT_EQ(ref->bit, bit);
    EXPECT_EQ(ref->dataType.get(), 1);
}

}  // namespace

TEST(AddressText, WritesTheNotationOfEachElementSize) {
    EXPECT_EQ(Write(Ref(10, 10, kWord)), "DB10 DW5");
    EXPECT_EQ(Write(Ref(10, 11, kByte)), "DB10 DR5");
    EXPECT_EQ(Write(Ref(10, 10, kByte)), "DB10 DL5");
    EXPECT_EQ(Write(Ref(10, 10, kBit, 3)), "DB10 D5.11");
    EXPECT_EQ(Write(Ref(10, 11, kBit, 3)), "DB10 D5.3");
    EXPECT_EQ(Write(Ref(10, 10, kBit, 7)), "DB10 D5.15");
    EXPECT_EQ(Write(Ref(10, 20, kDword)), "DB10 DD10");
    EXPECT_EQ(Write(Ref(10, 20, kFloat)), "DB10 DD10");
    EXPECT_EQ(Write(Ref(10, 20, kAscii)), "DB10 DW10");  // text takes the preferred name
    EXPECT_EQ(Write(Ref(10, 20, kDword), true), "DB10 DW10");
    EXPECT_EQ(Write(Ref(10, 21, kWord)), "DB10 D10");  // a word has no right-byte name
    EXPECT_EQ(Write(Ref(10, 20, kSpcForm6)), "DB10 D10");
}

TEST(AddressText, RefusesWhatHasNoNotation) {
    uPLCADR otherArea = Ref(10, 10, kWord);
    otherArea.dataType = 0;
    EXPECT_FALSE(WriteAddress(Row(), otherArea, false));
    EXPECT_FALSE(WriteAddress(Row(), Ref(10, 10, kBit, 9), false));  // bit 17 of a word
    EXPECT_EQ(Write(Ref(10, 11, kBit, 20)), "DB10 D5");  // bit indices from 16 print no bit
}

TEST(AddressText, ReadsTheExamples) {
    ExpectRef(Read("db10 dw5"), 10, 10, kWord);
    ExpectRef(Read("   DB10 DW5"), 10, 10, kWord);
    ExpectRef(Read("DB10  DW5  "), 10, 10, kWord);
    ExpectRef(Read("DW5"), 0, 10, kWord);
    ExpectRef(Read("DB10 D5.11"), 10, 10, kBit, 3);
    ExpectRef(Read("DB10 D5.3"), 10, 11, kBit, 3);
    ExpectRef(Read("DB10 D5 . 15"), 10, 10, kBit, 7);
    ExpectRef(Read("DB10 D5", Ref(0, 0, kBit)), 10, 10, kWord);
    ExpectRef(Read("DB10 DR5"), 10, 11, kByte);
    ExpectRef(Read("DB10 DL5"), 10, 10, kByte);
    ExpectRef(Read("DB10 DD254"), 10, 508, kDword);
    ExpectRef(Read("DB2 DW0"), 2, 0, kWord);
    ExpectRef(Read("DB255 DW255"), 255, 510, kWord);
}

TEST(AddressText, RejectsAndLeavesTheReferenceAlone) {
    for (const char* text :
         {"DB1 DW5", "DB256 DW5", "DB DW5", "DB10", "DB10 DX5", "DB10 DW", "DB10 DW5X",
          "DB10 DW256", "DB10 DD255", "DB10 DW99999999999", "DB10 D5.16", "DB10 D5.A", "", "   "}) {
        uPLCADR ref = Ref(7, 4, kWord);
        EXPECT_FALSE(ReadAddress(Row(), text, ref, false)) << text;
        EXPECT_EQ(ref.dataBlock, 7) << text;
        EXPECT_EQ(ref.byteOffset.get(), 4) << text;
    }
}

TEST(AddressText, FormatsFollowTheNamesAndTheNumericTable) {
    // A name of another size switches the format unless only the preferred format is wanted.
    ExpectRef(Read("DB10 DD4", Ref(0, 0, kWord)), 10, 8, kDword);
    EXPECT_FALSE(Read("DB10 DD4", Ref(0, 0, kWord), true));
    ExpectRef(Read("DB10 DW4", Ref(0, 0, kByte)), 10, 8, kWord);
    // Formats a numeric field may not use become the preferred one.
    ExpectRef(Read("DB10 DW4", Ref(0, 0, kAscii)), 10, 8, kWord);
    ExpectRef(Read("DB10 DL4", Ref(0, 0, kBcdByte)), 10, 8, kWord);
    // A word keeps its format when digits follow its name.
    ExpectRef(Read("DB10 DW4.3", Ref(0, 0, kWord)), 10, 8, kWord);
    ExpectRef(Read("DB10 DW4", Ref(0, 0, kBit)), 10, 8, kWord);
    ExpectRef(Read("DB10 DL4", Ref(0, 0, kBit)), 10, 8, kByte);
}

TEST(AddressText, EveryNumericFormatElementAndBitReadsBack) {
    for (unsigned format : {kBit, kByte, kWord, kDword, kTimer, kCounter, kFloat}) {
        const unsigned size = FormatSize(format);
        const int lastElement = 255 + 1 - static_cast<int>((std::max(size, 1u) + 1) / 2);
        for (int element = 0; element <= lastElement; ++element) {
            for (unsigned right = 0; right < (size <= 1 ? 2u : 1u); ++right) {
                for (unsigned bit = 0; bit < (format == kBit ? 8u : 1u); ++bit) {
                    const uPLCADR ref =
                        Ref(static_cast<std::uint8_t>(2 + element % 254),
                            static_cast<std::uint16_t>(element * 2 + right),
                            static_cast<std::uint8_t>(format), static_cast<std::uint8_t>(bit));
                    auto text = WriteAddress(Row(), ref, false);
                    ASSERT_TRUE(text);
                    auto back = Read(*text, Ref(0, 0, static_cast<std::uint8_t>(format)));
                    ASSERT_TRUE(back) << *text;
                    EXPECT_EQ(std::memcmp(&*back, &ref, sizeof ref), 0) << *text;
                }
            }
        }
    }
}

TEST(AddressText, OtherFormatsReadBackAsWordsAtTheSameAddress) {
    for (unsigned format : {kAscii, kTimerValue, kCounterValue, kBcdWord}) {
        const uPLCADR ref = Ref(12, 40, static_cast<std::uint8_t>(format));
        ExpectRef(Read(Write(ref), ref), 12, 40, kWord);
    }
}

TEST(ElementLimits, LeaveRoomForTheWholeValueAndWrap) {
    EXPECT_EQ(ElementRangeFor(Row(), kDword, kFormatKnown, 0).high, 254);
    EXPECT_EQ(ElementRangeFor(Row(), kWord, kFormatKnown, 0).high, 255);
    EXPECT_EQ(ElementRangeFor(Row(), kBit, kFormatKnown, 0).high, 255);
    EXPECT_EQ(ElementRangeFor(Row(), kAscii, kFormatKnown, 10).high, 251);  // ten characters
    EXPECT_EQ(ElementRangeFor(Row(), kDword, 0, 0).high, 255);
    const ElementRange dword = ElementRangeFor(Row(), kDword, kFormatKnown, 0);
    const ElementRange word = ElementRangeFor(Row(), kWord, kFormatKnown | kWritingNeeded, 0);
    EXPECT_EQ(SpinElement(255, 1, word), 0);
    EXPECT_EQ(SpinElement(0, -1, word), 255);
    EXPECT_EQ(SpinElement(0, -1, dword), 254);
    EXPECT_EQ(SpinElement(254, 1, dword), 0);
    EXPECT_EQ(SpinElement(17, 0, word), 17);
}

TEST(MoveProjectAddress, MovesAndClampsAtTheAreaEnds) {
    const uPLCSETUP setup{};
    uPLCADR ref = Ref(10, 100, kWord);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 10, 1), 0);
    EXPECT_EQ(ref.byteOffset.get(), 110);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 0, 200, 1), 2);
    EXPECT_EQ(ref.byteOffset.get(), 0);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 600, 1), 2);
    EXPECT_EQ(ref.byteOffset.get(), 510);
    ref = Ref(10, 500, kDword);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 8, 1), 0);
    EXPECT_EQ(ref.byteOffset.get(), 508);  // a double word ends at element 255
    ref = Ref(10, 500, kDword);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 10, 1), 2);
    EXPECT_EQ(ref.byteOffset.get(), 508);
    ref = Ref(10, 500, kDword);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, TRUE, 1, 10, 1), 0);  // as the preferred word
    EXPECT_EQ(ref.byteOffset.get(), 510);
    ref = Ref(10, 10, kBit, 5);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 1, 1), 0);
    EXPECT_EQ(ref.bit, 5);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 0, 1), -1);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, -4, 1), -1);
    EXPECT_EQ(MoveProjectAddress(&ref, &setup, FALSE, 1, 4, 2), -1);
    EXPECT_EQ(ref.byteOffset.get(), 11);
}

TEST(AddressExports, WriteAndDecodeThroughTheInterface) {
    uPLCSETUP setup{};
    setup.model = 2;
    uPLCADR ref = Ref(10, 10, kBit, 3);
    char text[101];
    ASSERT_TRUE(ExpGetLogicalTag(text, &setup, &ref));
    EXPECT_STREQ(text, "DB10 D5.11");
    ASSERT_TRUE(ExpWriteLogicalAddressString(text, nullptr, &setup, &ref, 0, TRUE, 0));
    EXPECT_STREQ(text, "DB10 DW5");
    ASSERT_TRUE(ExpSetLogicalTag("DB20 DD3", &setup, &ref));
    EXPECT_EQ(ref.dataBlock, 20);
    EXPECT_EQ(ref.dataFormat, kDword);
    EXPECT_FALSE(ExpDecodeLogicalAddressString("DB20 DD3", nullptr, &setup, &ref, 0, TRUE, 1));
    setup.model = 3;  // a model the driver does not know
    EXPECT_FALSE(ExpGetLogicalTag(text, &setup, &ref));
}
