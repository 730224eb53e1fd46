#include "platform/image_cursor.h"

#include <gtest/gtest.h>

#include <vector>

using kestra::ImageError;
using kestra::ImageReader;
using kestra::ImageWriter;

namespace {
std::vector<std::byte> bytes(std::initializer_list<int> values) {
    std::vector<std::byte> out;
    for (int v : values) out.push_back(static_cast<std::byte>(v));
    return out;
}
}  // namespace

TEST(ImageReader, ReadsLittleEndianValuesInOrder) {
    auto image = bytes({0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 'h', 'i', 0});
    ImageReader reader(image);
    EXPECT_EQ(reader.u8(), 0x01);
    EXPECT_EQ(reader.u16(), 0x1234);
    EXPECT_EQ(reader.u32(), 0x12345678u);
    EXPECT_EQ(reader.s16(), -1);
    EXPECT_EQ(reader.cstring(), "hi");
    EXPECT_TRUE(reader.atEnd());
}

TEST(ImageReader, TruncatedReadsThrowWithTheOffsetAndLeaveTheCursor) {
    auto image = bytes({1, 2, 3});
    ImageReader reader(image);
    reader.skip(2);
    try {
        (void)reader.u16("page count");
        FAIL() << "read past the end";
    } catch (const ImageError& e) {
        EXPECT_EQ(e.offset(), 2u);
        EXPECT_EQ(std::string(e.what()), "image offset 2: page count needs 2 bytes, 1 remain");
    }
    EXPECT_EQ(reader.position(), 2u);
    EXPECT_THROW(reader.take(2), ImageError);
    EXPECT_THROW(reader.seek(4), ImageError);
    EXPECT_NO_THROW(reader.seek(3));
    EXPECT_THROW(ImageReader(image, 4), ImageError);
}

TEST(ImageReader, LyingCountsAreRefusedBeforeAnythingIsAllocated) {
    std::vector<std::byte> image(100);
    ImageReader reader(image);
    reader.skip(40);
    EXPECT_EQ(reader.needBytes(3, 20, "entries"), 60u);
    EXPECT_THROW(reader.needBytes(4, 16, "entries"), ImageError);
    // A count whose product would overflow is refused, not wrapped.
    EXPECT_THROW(reader.needBytes(0xFFFFFFFFFFFFFFFFull, 16, "entries"), ImageError);
    EXPECT_THROW(reader.needBytes(0x100000000ull, 0x100000000ull, "entries"), ImageError);
    EXPECT_EQ(reader.needBytes(0, 16, "entries"), 0u);
}

TEST(ImageReader, TextWithoutTerminatorIsAnError) {
    auto image = bytes({'a', 'b', 'c'});
    ImageReader reader(image);
    EXPECT_THROW(reader.cstring(), ImageError);
    EXPECT_EQ(reader.position(), 0u);
}

TEST(ImageWriter, WritesExactlyTheComputedSize) {
    std::vector<std::byte> block(11);
    ImageWriter writer(block);
    writer.u16(0x1234);
    writer.u32(0xA1B2C3D4);
    writer.cstring("ab");
    writer.zeros(1);
    writer.u8(9);
    EXPECT_NO_THROW(writer.finish());
    EXPECT_EQ(block, bytes({0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 'a', 'b', 0, 0, 9}));
}

TEST(ImageWriter, OverrunAndShortfallOfTheComputedSizeAreErrors) {
    std::vector<std::byte> block(3);
    ImageWriter writer(block);
    writer.u16(1);
    EXPECT_THROW(writer.finish(), ImageError);
    EXPECT_THROW(writer.u16(2), ImageError);
    EXPECT_EQ(writer.position(), 2u);  // nothing was written by the refused call
    writer.u8(3);
    EXPECT_NO_THROW(writer.finish());
}
