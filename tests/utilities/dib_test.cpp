#include "kestra/dib.h"

#include <gtest/gtest.h>

#include "utilities/k32fabutil1.h"

using namespace kestra;

TEST(Dib, ColoursAndPaletteOfInformationHeaders) {
    BitmapInfoHeader info{};
    info.size = 40;
    for (auto [bits, colours] : {std::pair{1, 2}, {4, 16}, {8, 256}, {16, 0}, {24, 0}}) {
        info.bitCount = static_cast<std::uint16_t>(bits);
        EXPECT_EQ(DIBNumColors(&info), colours) << bits;
        EXPECT_EQ(PaletteSize(&info), colours * 4) << bits;
    }
    info.bitCount = 8;
    info.colorsUsed = 17;
    EXPECT_EQ(DIBNumColors(&info), 17);
    EXPECT_EQ(PaletteSize(&info), 68);
}

TEST(Dib, CoreHeadersUseTheirOwnOffsetsAndThreeBytePalettes) {
    BitmapCoreHeader core{};
    core.size = 12;
    core.width = 33;
    core.height = 7;
    core.bitCount = 4;
    EXPECT_EQ(DIBNumColors(&core), 16);
    EXPECT_EQ(PaletteSize(&core), 48);
    EXPECT_EQ(DIBWidth(&core), 33u);
    EXPECT_EQ(DIBHeight(&core), 7u);
    EXPECT_EQ(FindDIBBits(&core), reinterpret_cast<char*>(&core) + 12 + 48);
}

TEST(Dib, CreateDIBRoundsTheBitCountAndSizesTheBlock) {
    struct Case {
        WORD asked, made;
        DWORD palette;
    };
    for (auto c : {Case{0, 1, 8}, Case{2, 4, 64}, Case{5, 8, 1024}, Case{16, 24, 0},
                   Case{24, 24, 0}, Case{25, 4, 64}, Case{32, 4, 64}}) {
        HGLOBAL handle = CreateDIB(10, 3, c.asked);
        ASSERT_NE(handle, 0u);
        GlobalLockGuard lock(handle);
        const auto& info = RecordAt<BitmapInfoHeader>(lock.data());
        EXPECT_EQ(info.bitCount.get(), c.made) << c.asked;
        EXPECT_EQ(info.size.get(), 40u);
        EXPECT_EQ(info.planes.get(), 1);
        EXPECT_EQ(DIBWidth(&info), 10u);
        EXPECT_EQ(DIBHeight(&info), 3u);
        EXPECT_EQ(info.compression.get(), 0u);
        EXPECT_EQ(GlobalSize(handle), 40 + c.palette + 3 * DibRowBytes(10, c.made)) << c.asked;
        EXPECT_EQ(FindDIBBits(&info), reinterpret_cast<const char*>(&info) + 40 + c.palette);
        GlobalFree(handle);
    }
}

TEST(Dib, CreateDIBRefusesSizesNoBlockCanHold) {
    EXPECT_EQ(CreateDIB(0xFFFFFFFFu, 0xFFFFFFFFu, 24), 0u);
    EXPECT_EQ(CreateDIB(100000, 100000, 24), 0u);
    HGLOBAL empty = CreateDIB(0, 0, 8);
    ASSERT_NE(empty, 0u);
    EXPECT_EQ(GlobalSize(empty), 40u + 1024u);
    GlobalFree(empty);
}
