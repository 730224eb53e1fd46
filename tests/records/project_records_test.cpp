#include <gtest/gtest.h>

#include <cstring>
#include <variant>
#include <vector>

#include "kestra/project.h"
#include "kestra/project_image.h"

using namespace kestra;

TEST(LittleEndianFields, StoreLowByteFirstAndKeepSign) {
    std::uint8_t raw[4] = {};
    auto& word = RecordAt<le16>(raw);
    word = 0x1234;
    EXPECT_EQ(raw[0], 0x34);
    EXPECT_EQ(raw[1], 0x12);
    auto& signedWord = RecordAt<les16>(raw);
    signedWord = -2;
    EXPECT_EQ(raw[0], 0xFE);
    EXPECT_EQ(raw[1], 0xFF);
    EXPECT_EQ(signedWord.get(), -2);
    auto& dword = RecordAt<le32>(raw);
    dword = 0x80000001u;
    EXPECT_EQ(raw[3], 0x80);
    EXPECT_EQ(RecordAt<les32>(raw).get(), static_cast<std::int32_t>(0x80000001u));
    dword += 1;
    EXPECT_EQ(dword.get(), 0x80000002u);
}

TEST(ProjectBlock, NamedFieldsSitAtTheirStoredOffsets) {
    std::vector<std::uint8_t> block(kProjectBlockSize);
    auto& project = RecordAt<ProjectBlock>(block.data());
    project.record.stringCount = 0x0102;
    project.record.pageCount = 3;
    project.record.nodeA.childCount = 5;
    project.ext.tagFolder.nameId = 0x0A0B;
    project.ext.languageCount = 2;
    project.ext.nodeB.flags = 1;
    project.ext.block124 = 0xDDCCBBAAu;
    EXPECT_EQ(ReadLe16(&block[573]), 0x0102);
    EXPECT_EQ(ReadLe16(&block[470]), 3);
    EXPECT_EQ(ReadLe16(&block[17 + 38]), 5);
    EXPECT_EQ(ReadLe16(&block[627 + 181]), 0x0A0B);  // the tag folder name at block offset 808
    EXPECT_EQ(block[627 + 228], 2);
    EXPECT_EQ(block[627 + 3 + 44], 1);
    EXPECT_EQ(ReadLe32(&block[627 + 336]), 0xDDCCBBAAu);
}

TEST(FieldRecord, KnowsItsListsAndLabelForm) {
    FieldRecord field{};
    field.display.fieldType = 6;
    EXPECT_TRUE(field.hasList2());
    EXPECT_TRUE(field.list2HoldsTexts());
    field.display.fieldType = 0;
    field.mode = 2;
    EXPECT_TRUE(field.hasList2());
    EXPECT_TRUE(field.list2HoldsTexts());
    field.list2.numeric = 1;
    EXPECT_FALSE(field.list2HoldsTexts());
    field.mode = 1;
    EXPECT_FALSE(field.hasList2());
    field.fieldClass = 2;
    field.plc.dataFormat = 12;  // the sub-kind byte, record offset 66
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(&field)[66], 12);
    EXPECT_TRUE(field.compactLabelled());
    field.fieldClass = 3;
    EXPECT_FALSE(field.compactLabelled());
}

TEST(PagedOffset, EncodesPagesOf32KAndRefusesImpossibleValues) {
    auto p = PagedOffset::encode(48);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->page, 1);
    EXPECT_EQ(p->inPage.get(), 48);
    auto far = PagedOffset::encode(70000);
    EXPECT_EQ(far->page, 3);
    EXPECT_EQ(far->inPage.get(), 70000 - 65536);
    EXPECT_EQ(far->decode(), 70000u);
    EXPECT_FALSE(PagedOffset::encode(PagedOffset::kMaxOffset + 1));
    PagedOffset zeroPage{0, 48};
    EXPECT_FALSE(zeroPage.decode());
    PagedOffset overlong{1, 32768};
    EXPECT_FALSE(overlong.decode());
}

TEST(FormatCode, OlderCodesFollowTheThreeRules) {
    struct Case {
        std::uint8_t code;
        bool shortTexts, ends, extension;
    };
    for (auto c : {Case{0x10, true, true, false}, Case{0x1F, true, true, false},
                   Case{0x20, true, true, false}, Case{0x21, true, false, true},
                   Case{0x22, true, false, true}, Case{0x23, false, false, true},
                   Case{0x24, false, false, true}, Case{0x25, false, false, true},
                   Case{0x31, false, false, true}}) {
        auto rules = RulesForFormat(c.code);
        EXPECT_EQ(rules.shortPageTexts, c.shortTexts) << std::hex << int(c.code);
        EXPECT_EQ(rules.endsAfterKeyedTable, c.ends) << std::hex << int(c.code);
        EXPECT_EQ(rules.hasExtensionRecord, c.extension) << std::hex << int(c.code);
    }
}

TEST(FormatCode, FollowsLanguagesBitmapsAndPageExtensionData) {
    ExtensionRecord ext{};
    EXPECT_EQ(FormatCodeFor(ext), 0x22);
    ext.languageCount = 1;
    EXPECT_EQ(FormatCodeFor(ext), 0x22);
    ext.pageBlobsPresent = 1;
    EXPECT_EQ(FormatCodeFor(ext), 0x24);
    ext.pageBlobsPresent = 0;
    ext.bitmapCount = 1;
    EXPECT_EQ(FormatCodeFor(ext), 0x24);
    ext.languageCount = 2;
    EXPECT_EQ(FormatCodeFor(ext), 0x25);
}

namespace {
std::vector<std::byte> imageWithRecordAt(std::size_t size, std::uint8_t code) {
    std::vector<std::byte> image(size);
    WriteImageHeader(image, code);
    return image;
}
}  // namespace

TEST(ImageDescriptor, WrittenHeaderPointsAtTheRecordAt48) {
    auto image = imageWithRecordAt(48 + kProjectRecordSize, 0x24);
    EXPECT_EQ(ReadLe16(image.data()), 44);
    EXPECT_EQ(static_cast<int>(image[44]), 1);
    EXPECT_EQ(ReadLe16(image.data() + 45), 48);
    EXPECT_EQ(static_cast<int>(image[47]), 0x24);
    auto located = LocateProject(image);
    ASSERT_TRUE(std::holds_alternative<LocatedProject>(located));
    EXPECT_EQ(std::get<LocatedProject>(located).recordOffset, 48u);
    EXPECT_EQ(std::get<LocatedProject>(located).formatCode, 0x24);
}

TEST(ImageDescriptor, AnyOffsetPointingOutsideTheImageIsRefused) {
    auto fault = [](const std::vector<std::byte>& image) {
        auto located = LocateProject(image);
        return std::holds_alternative<ImageFault>(located) ? std::get<ImageFault>(located).message
                                                           : std::string("accepted");
    };
    EXPECT_EQ(fault({}), "image too short for its header");
    auto shortImage = imageWithRecordAt(48 + kProjectRecordSize - 1, 0x22);
    EXPECT_EQ(fault(shortImage), "project record at 48 does not fit in the image of 674 bytes");

    auto image = imageWithRecordAt(48 + kProjectRecordSize, 0x22);
    WriteLe16(image.data(), 673);  // descriptor would end past the image
    EXPECT_EQ(fault(image), "descriptor offset 673 lies outside the image of 675 bytes");
    WriteLe16(image.data(), 0xFFFF);
    EXPECT_NE(fault(image), "accepted");

    image = imageWithRecordAt(48 + kProjectRecordSize, 0x22);
    image[44] = std::byte{0};  // page 0 does not exist
    EXPECT_EQ(fault(image), "descriptor holds no valid paged offset");
    image[44] = std::byte{2};  // record at 32816: beyond the image
    EXPECT_NE(fault(image), "accepted");

    // A descriptor somewhere else is followed.
    image = imageWithRecordAt(48 + kProjectRecordSize, 0x22);
    WriteLe16(image.data(), 10);
    image[10] = std::byte{1};
    WriteLe16(image.data() + 11, 40);
    image[13] = std::byte{0x21};
    auto located = LocateProject(image);
    ASSERT_TRUE(std::holds_alternative<LocatedProject>(located));
    EXPECT_EQ(std::get<LocatedProject>(located).recordOffset, 40u);
    EXPECT_EQ(std::get<LocatedProject>(located).formatCode, 0x21);
}
