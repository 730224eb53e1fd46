#include "plc_s5/type1_layout.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "plc_s5/k32plc1.h"

using namespace kestra;
using namespace kestra::s5;

TEST(ImageSpace, ItemsNeverCrossABlockBoundary) {
    std::vector<std::uint8_t> image(3 * kBlockSize);
    ImageSpace space(image);
    EXPECT_EQ(space.place(kBlockSize - 10), 0u);
    EXPECT_EQ(space.place(10), kBlockSize - 10);  // ends exactly at the boundary
    EXPECT_EQ(space.place(5), kBlockSize);
    EXPECT_EQ(space.place(kBlockSize - 6), kBlockSize + 5);
    EXPECT_EQ(space.place(2), 2 * kBlockSize);  // one byte left before the boundary
    EXPECT_EQ(image[2 * kBlockSize - 1], 0xFF);
    EXPECT_EQ(image[2 * kBlockSize - 2], 0x00);
    EXPECT_THROW(space.place(kBlockSize + 1), std::length_error);
    EXPECT_THROW(space.place(kBlockSize), std::length_error);  // no room left in the image
}

TEST(ImageEnd, DataEndingAtAMultipleOf256GetsNoPadding) {
    std::vector<std::uint8_t> image(600, 0x01);
    EXPECT_EQ(FinishImage(image, 512), 514u);
    EXPECT_EQ(image[512], 0x00);  // 256 x 1
    EXPECT_EQ(image[513], 0x00);
    EXPECT_EQ(SizeofProject(image.data()), 512u);
    EXPECT_EQ(image[25], 1);
    EXPECT_EQ(ReadLe16(&image[26]), 512);
}

TEST(ImageEnd, PaddingIsFFWithAZeroLastByteAndEachBlockHasItsSum) {
    std::vector<std::uint8_t> image(1024, 0x00);
    for (std::size_t i = 0; i < 256; ++i) image[i] = 0xFF;
    image[256] = 7;
    const std::size_t total = FinishImage(image, 300);
    EXPECT_EQ(total, 512u + 2);
    for (std::size_t i = 300; i < 511; ++i) EXPECT_EQ(image[i], 0xFF) << i;
    EXPECT_EQ(image[511], 0x00);
    // Block 0: header bytes 25 to 27 now name 512; the rest was 0xFF.
    unsigned sum0 = 0;
    for (std::size_t i = 0; i < 256; ++i) sum0 += image[i];
    EXPECT_EQ(image[512], static_cast<std::uint8_t>(sum0));
    EXPECT_EQ(image[513], static_cast<std::uint8_t>(7 + 211 * 0xFF));
    std::vector<std::uint8_t> ones(256, 0xFF);
    EXPECT_EQ(Checksum(ones), 0x00);
}

TEST(ImageEnd, ChecksumsThatWouldCrossABlockStartTheNextOne) {
    std::vector<std::uint8_t> image(4 * kBlockSize, 0);
    // 32512 bytes: their 127 sums end at 32639, inside the block.
    EXPECT_EQ(FinishImage(image, 32512), 32512u + 127);
    // 98000 bytes pad to 98048, whose 383 sums would cross 98304: the padding runs to the
    // block boundary and the 384 sums start the next block.
    EXPECT_EQ(FinishImage(image, 98000), 98304u + 384);
    EXPECT_EQ(image[98000], 0xFF);
    EXPECT_EQ(image[98302], 0xFF);
    EXPECT_EQ(image[98303], 0x00);
    EXPECT_EQ(SizeofProject(image.data()), 98304u);
    std::vector<std::uint8_t> small(700, 0);
    EXPECT_EQ(FinishImage(small, 698), 0u);  // no room for padding and sums
}

TEST(ImageEnd, SizeofProjectReadsOnlyTheHeader) {
    std::uint8_t header[28] = {};
    EXPECT_EQ(SizeofProject(header), 0u);
    EXPECT_EQ(SizeofProject(nullptr), 0u);
    header[25] = 3;
    WriteLe16(&header[26], 256);
    EXPECT_EQ(SizeofProject(header), 2u * 32768 + 256);
}
