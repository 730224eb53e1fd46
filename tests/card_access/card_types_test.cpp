#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "card_access/ssfdc_types.h"
#include "devices/sim_card.h"
#include "support/card_reader_scope.h"
#include "support/temp_folder.h"

using kestra::testing::TempFolder;

namespace {

class CardTypes : public ::testing::Test {
  protected:
    std::string folder() const { return folder_.path() + "/"; }
    void writeTypes(const std::string& contents) { folder_.write("cardtype.ini", contents); }

    TempFolder folder_;
};

std::string section(const std::string& name, int code, const std::string& manufacturer) {
    return "[" + name + "]\r\nManufacturer=" + manufacturer +
           "\r\nTypeCode=" + std::to_string(code) +
           "\r\nPages=32\r\nPageSize=528\r\nBlocks=1024\r\n";
}

}  // namespace

TEST_F(CardTypes, DuplicateCodesFindTheFirstSectionAndEveryFieldIsRead) {
    writeTypes(section("A", 115, "first") + section("B", 117, "second") +
               "[C]\r\nManufacturer=third\r\nTypeCode=115\r\nMB=16\r\nLastAddr=0x7FFF\r\n");
    CSSFDCTypes types(folder().c_str());
    EXPECT_EQ(types.getNumTypes(), 3u);
    const CSSFDCStatus* found = types.getSSFDCData(115);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->Manufacturer, "first");
    EXPECT_EQ(found->Blocks, 1024);
    EXPECT_EQ(found->Pages, 32);
    EXPECT_EQ(found->PageSize, 528);
    EXPECT_EQ(found->BlockSize, 16896);
    EXPECT_EQ(found->StatusByte, 0);
    EXPECT_STREQ(types.getSSFDCData(117)->Manufacturer, "second");
    EXPECT_EQ(types.getSSFDCData(116), nullptr);

    // Indexes count from 0 in file order.
    ASSERT_NE(types.getSSFDCDataByIndex(0), nullptr);
    EXPECT_STREQ(types.getSSFDCDataByIndex(0)->Manufacturer, "first");
    const CSSFDCStatus* third = types.getSSFDCDataByIndex(2);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->MB, 16);
    EXPECT_EQ(third->LastAddr, 0x7FFF);
    EXPECT_EQ(third->BlockSize, 0);
    EXPECT_EQ(types.getSSFDCDataByIndex(3), nullptr);
}

TEST_F(CardTypes, MissingKeysTakeDefaultsAndLongManufacturersAreCut) {
    writeTypes("[empty]\r\n[long]\r\nManufacturer=" + std::string(70, 'M') + "\r\n");
    CSSFDCTypes types(folder().c_str());
    ASSERT_EQ(types.getNumTypes(), 2u);
    const CSSFDCStatus* empty = types.getSSFDCDataByIndex(0);
    EXPECT_STREQ(empty->Manufacturer, "Unknown");
    EXPECT_EQ(empty->TypeCode, 0);
    EXPECT_EQ(empty->Blocks, 0);
    EXPECT_EQ(std::string(types.getSSFDCDataByIndex(1)->Manufacturer), std::string(63, 'M'));
}

TEST_F(CardTypes, AMissingFileGivesAnEmptyTable) {
    CSSFDCTypes types(folder().c_str());
    EXPECT_EQ(types.getNumTypes(), 0u);
    EXPECT_EQ(types.getSSFDCData(0), nullptr);
    EXPECT_EQ(types.getSSFDCDataByIndex(0), nullptr);
}

TEST_F(CardTypes, OnlySectionNamesThatFitWholeIn2048BytesAreLoaded) {
    // 40 names of 60 characters: 61 bytes each with the terminator, 33 fit in 2048 bytes
    // (2013 bytes); the 34th would be cut and is not loaded.
    std::string contents;
    for (int i = 0; i < 40; ++i) {
        char name[61];
        std::snprintf(name, sizeof name, "%02d%058d", i, 0);
        contents += section(name, 100 + i, "m");
    }
    writeTypes(contents);
    CSSFDCTypes types(folder().c_str());
    ASSERT_EQ(types.getNumTypes(), 33u);
    EXPECT_EQ(types.getSSFDCDataByIndex(32)->TypeCode, 132);
    EXPECT_EQ(types.getSSFDCData(133), nullptr);

    // A cut that falls right after a terminator leaves every name before it whole: 30 names
    // of 67 bytes and one of 36 fill 2046 bytes; the name after them is lost.
    contents.clear();
    for (int i = 0; i < 30; ++i)
        contents +=
            section(std::string(65, char('a' + i % 26)) + std::to_string(i % 10), i + 1, "m");
    contents += section(std::string(35, 'z'), 99, "m");
    contents += section("tail", 98, "m");
    writeTypes(contents);
    types.enumTypes();
    EXPECT_EQ(types.getNumTypes(), 31u);
    EXPECT_NE(types.getSSFDCData(99), nullptr);
    EXPECT_EQ(types.getSSFDCData(98), nullptr);
}

TEST_F(CardTypes, EnumeratingAgainRereadsTheFileAndCopiesShareTheirTable) {
    writeTypes(section("A", 115, "before"));
    auto types = std::make_unique<CSSFDCTypes>(folder().c_str());
    CSSFDCTypes copy(*types);
    const CSSFDCStatus* shared = copy.getSSFDCData(115);
    EXPECT_EQ(shared, types->getSSFDCData(115));

    writeTypes(section("A", 115, "after") + section("B", 117, "added"));
    types->enumTypes();
    EXPECT_EQ(types->getNumTypes(), 2u);
    EXPECT_STREQ(types->getSSFDCData(115)->Manufacturer, "after");
    // The copy keeps the table it shares, also once its source is gone.
    types.reset();
    EXPECT_EQ(copy.getNumTypes(), 1u);
    EXPECT_STREQ(shared->Manufacturer, "before");

    CSSFDCTypes assigned(folder().c_str());
    assigned = copy;
    EXPECT_EQ(assigned.getSSFDCData(115), shared);
}

TEST_F(CardTypes, PathsThatDoNotFitThe256ByteBufferAreRefused) {
    writeTypes(section("A", 115, "here"));
    TempFolder other;
    other.write("types.ini", section("B", 117, "there"));

    CSSFDCTypes types(folder().c_str());
    types.setINIFilename(std::string(256, 'x').c_str());  // refused: the old path stays
    types.enumTypes();
    EXPECT_NE(types.getSSFDCData(115), nullptr);
    types.setINIFilename(other.file("types.ini").c_str());
    EXPECT_NE(types.getSSFDCData(115), nullptr);  // not read before enumTypes
    types.enumTypes();
    EXPECT_EQ(types.getSSFDCData(115), nullptr);
    EXPECT_NE(types.getSSFDCData(117), nullptr);

    CSSFDCTypes tooLong((std::string(250, 'f') + "/").c_str());
    EXPECT_EQ(tooLong.getNumTypes(), 0u);
}

TEST(ShippedCardTypes, AgreeWithTheCardsTheSimulatorKnows) {
    CSSFDCTypes types(kestra::testing::ProgramFolderWithSeparator().c_str());
    ASSERT_GE(types.getNumTypes(), 13u);
    for (unsigned i = 0; i < types.getNumTypes(); ++i) {
        const CSSFDCStatus& type = *types.getSSFDCDataByIndex(i);
        SCOPED_TRACE(type.TypeCode);
        auto geometry =
            kestra::platform::SimCardGeometry::ForDeviceCode(static_cast<BYTE>(type.TypeCode));
        ASSERT_TRUE(geometry.has_value());
        EXPECT_EQ(std::uint32_t(type.Blocks), geometry->blocks);
        EXPECT_EQ(std::uint32_t(type.Pages), geometry->pagesPerBlock);
        EXPECT_EQ(std::uint32_t(type.PageSize), geometry->pageSize());
        EXPECT_EQ(std::uint64_t(type.MB) << 20,
                  std::uint64_t{geometry->pages()} * geometry->dataSize);
        EXPECT_EQ(type.LastAddr, type.Blocks * type.Pages - 1);
        EXPECT_EQ(types.getSSFDCData(type.TypeCode), &type);  // every code once
    }
    EXPECT_EQ(types.getSSFDCData(0x73)->BlockSize, 16896);
}
