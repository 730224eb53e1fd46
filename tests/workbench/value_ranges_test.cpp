// The value ranges behind the message and graphics editors: the values a range may name, the
// checks of OK, the entries written with their texts' references, and pictures read from
// packed bitmaps that may lie about their sizes.
#include "workbench/hosted/value_ranges.h"

#include <cstring>

#include "hosted_test_support.h"
#include "string_table/string_table.h"
#include "utilities/services.h"
#include "workbench/hosted/project_bitmaps.h"

namespace kestra::workbench::testing {
namespace {

ValueRange Range(std::int32_t first, std::int32_t last, int picture = -1) {
    ValueRange range;
    range.first = first;
    range.last = last;
    range.picture = picture;
    return range;
}

struct CheckCase {
    const char* name;
    std::vector<ValueRange> ranges;
    ValueBounds bounds;
    bool pictures;
    const char* fault;  // nullptr: sound
    std::size_t row;
};

class RangeChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RangeChecks, SayWhatIsWrongWithTheRangeAtFault) {
    const CheckCase& c = GetParam();
    std::vector<ValueRange> ranges = c.ranges;
    std::size_t row = 99;
    const auto fault = CheckRanges(ranges, c.bounds, c.pictures, &row);
    if (!c.fault) {
        EXPECT_EQ(fault, std::nullopt) << *fault;
        for (std::size_t i = 1; i < ranges.size(); ++i)
            EXPECT_LT(ranges[i - 1].last, ranges[i].first) << "sorted";
        return;
    }
    ASSERT_TRUE(fault.has_value());
    EXPECT_EQ(*fault, c.fault);
    EXPECT_EQ(row, c.row);
}

INSTANTIATE_TEST_SUITE_P(
    ValueRanges, RangeChecks,
    ::testing::Values(
        CheckCase{"UnsortedButSound", {Range(5, 9), Range(0, 4)}, {0, 9}, false, nullptr, 0},
        CheckCase{"Adjacent", {Range(0, 0), Range(1, 1)}, {0, 9}, false, nullptr, 0},
        CheckCase{"Overlapping",
                  {Range(4, 6), Range(0, 4)},
                  {0, 9},
                  false,
                  "Values 4 to 6 overlap values 0 to 4.",
                  1},
        CheckCase{"OneValueInsideAnother",
                  {Range(0, 4), Range(3, 3)},
                  {0, 9},
                  false,
                  "Value 3 overlaps values 0 to 4.",
                  1},
        CheckCase{"Reversed",
                  {Range(5, 3)},
                  {0, 9},
                  false,
                  "Values 5 to 3: the first value is above the last.",
                  0},
        CheckCase{"PastTheMaximum",
                  {Range(0, 1), Range(2, 10)},
                  {0, 9},
                  false,
                  "Values 2 to 10 lie outside the field's values, 0 to 9.",
                  1},
        CheckCase{"BelowTheMinimum",
                  {Range(-1, -1)},
                  {0, 9},
                  false,
                  "Value -1 lies outside the field's values, 0 to 9.",
                  0},
        CheckCase{"WithoutAPicture",
                  {Range(0, 0, 1), Range(1, 2)},
                  {0, 9},
                  true,
                  "Values 1 to 2 have no picture.",
                  1},
        CheckCase{"AnyWhenTheFieldHasNoValueToName",
                  {Range(0, 0)},
                  {},
                  false,
                  "The field has no value that a range can name: set its minimum and maximum "
                  "first.",
                  0}),
    [](const auto& info) { return std::string(info.param.name); });

struct BoundsCase {
    const char* name;
    bool isSigned;
    std::int32_t minimum, maximum;
    ValueBounds expected;
};

class BoundsOfTheField : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(BoundsOfTheField, AreItsValuesThatAListKeyCanName) {
    const BoundsCase& c = GetParam();
    sDISPFORMAT display{};
    display.format = c.isSigned ? sDISPFORMAT::kSigned : 0;
    display.minimum = c.minimum;
    display.maximum = c.maximum;
    const ValueBounds bounds = ValueBoundsOf(display);
    EXPECT_EQ(bounds.empty(), c.expected.empty());
    if (!c.expected.empty()) {
        EXPECT_EQ(bounds.low, c.expected.low);
        EXPECT_EQ(bounds.high, c.expected.high);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ValueRanges, BoundsOfTheField,
    ::testing::Values(BoundsCase{"Signed", true, -5, 5, {-5, 5}},
                      BoundsCase{"SignedBeyondSixteenBits", true, -100000, 100000, {-32768, 32767}},
                      // 0xFFFFFFFF is 4294967295 unsigned, -1 signed.
                      BoundsCase{"UnsignedAllOnes", false, 0, -1, {0, 32767}},
                      BoundsCase{"SignedAllOnes", true, 0, -1, {}},
                      BoundsCase{"UnsignedAboveSixteenBits", false, 40000, 50000, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ValueRanges, TheFirstFreeValueIsTheLowestNoRangeNames) {
    EXPECT_EQ(FirstFreeValue({}, {3, 9}), 3);
    EXPECT_EQ(FirstFreeValue({Range(0, 3), Range(5, 5)}, {0, 9}), 4);
    EXPECT_EQ(FirstFreeValue({Range(0, 3), Range(4, 9)}, {0, 9}), std::nullopt);
    EXPECT_EQ(FirstFreeValue({Range(-32768, 32766)}, {-32768, 32767}), 32767);
}

TEST(ValueRanges, PictureListsNameBitmapsThatAreThereAndNoText) {
    ListEntry entries[3] = {};
    entries[0].firstKey = 0, entries[0].lastKey = 1, entries[0].value = 2;
    entries[1].firstKey = 2, entries[1].lastKey = 2, entries[1].value = 3;  // no bitmap 3
    entries[2].firstKey = 3, entries[2].lastKey = 3, entries[2].value = -1;
    std::memset(entries[0].carried, 0xAB, sizeof entries[0].carried);
    const auto ranges = PictureRanges(entries, 3);
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].picture, 2);
    EXPECT_EQ(ranges[1].picture, -1);
    EXPECT_EQ(ranges[2].picture, -1);

    const auto written = PictureEntries(ranges);
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0].textId.get(), kNoListText);
    EXPECT_EQ(written[0].value.get(), 2);
    EXPECT_EQ(written[0].lastKey.get(), 1);
    EXPECT_EQ(std::memcmp(written[0].carried, entries[0].carried, sizeof entries[0].carried), 0)
        << "what the editor does not show stays";
}

class TextRangeEntries : public HostedTest {};

TEST_F(TextRangeEntries, WrittenTextsHoldOneReferenceEachUntilReleased) {
    std::vector<ValueRange> ranges = {Range(0, 0), Range(1, 4)};
    ranges[0].text = "Off";
    ranges[1].text = "Fault";
    std::vector<std::uint16_t> held;
    const auto entries = TextEntries(block(), ranges, held);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(held.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ((*entries)[i].textId.get(), held[i]);
        EXPECT_EQ(StrTabReferenceCount(held[i], &block()), 1u);
    }
    const auto read = TextRanges(block(), *entries);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].text, "Fault");
    EXPECT_EQ(read[1].first, 1);
    EXPECT_EQ(read[1].last, 4);

    ReleaseTexts(block(), held);
    for (std::uint16_t id : held) EXPECT_EQ(StrTabReferenceCount(id, &block()), 0u);
}

struct PictureCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
};

class PackedBitmaps : public ::testing::TestWithParam<PictureCase> {};

std::vector<std::uint8_t> InfoHeader(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                     std::size_t extra) {
    std::vector<std::uint8_t> bytes(40 + extra, 0);
    WriteLe32(bytes.data(), 40);
    WriteLe32(bytes.data() + 4, static_cast<std::uint32_t>(width));
    WriteLe32(bytes.data() + 8, static_cast<std::uint32_t>(height));
    WriteLe16(bytes.data() + 12, 1);
    WriteLe16(bytes.data() + 14, bits);
    return bytes;
}

TEST_P(PackedBitmaps, ThatLieGiveNoPicture) {
    const auto& bytes = GetParam().bytes;
    EXPECT_TRUE(PictureOfPackedBitmap(std::as_bytes(std::span(bytes))).isNull());
}

INSTANTIATE_TEST_SUITE_P(ProjectBitmaps, PackedBitmaps,
                         ::testing::Values(PictureCase{"Empty", {}},
                                           PictureCase{"ShorterThanItsSize", {40, 0, 0}},
                                           PictureCase{"UnknownHeader", {20, 0, 0, 0, 1, 2, 3, 4}},
                                           PictureCase{"HeaderCutShort", {40, 0, 0, 0, 8, 0, 0, 0}},
                                           // 8 bits: a palette of 256 entries that is not there.
                                           PictureCase{"PaletteMissing", InfoHeader(4, 4, 8, 16)},
                                           // 1 bit, 8 x 4: palette there, rows missing.
                                           PictureCase{"RowsMissing", InfoHeader(8, 4, 1, 8)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectBitmaps, APackedBitmapShowsItsPixels) {
    auto bytes = InfoHeader(8, 2, 1, 8 + 2 * 4);
    WriteLe32(bytes.data() + 40 + 4, 0x00FFFFFF);  // palette entry 1: white
    bytes[48] = 0x80;                              // bottom row: only the first pixel white
    const QImage picture = PictureOfPackedBitmap(std::as_bytes(std::span(bytes)));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(8, 2));
    EXPECT_EQ(picture.pixel(0, 1), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(picture.pixel(0, 0), qRgb(0, 0, 0));
}

}  // namespace
}  // namespace kestra::workbench::testing
