// The bytes a save writes, checked against layouts written out by hand.
#include <algorithm>
#include <cstring>

#include "kestra/dib.h"
#include "kestra/logfont.h"
#include "kestra/resource_section.h"
#include "project_store/store_test.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

constexpr std::size_t kHeader = 48, kRecord = 627, kExtension = 375, kPage = 76;
constexpr std::size_t kPagesAt = kHeader + kRecord;

class ImageLayout : public StoreTest {
  protected:
    // A project with nothing in it: no pages, no texts, no keyed-entry table.
    HGLOBAL emptyProject() { return keep(GlobalAlloc(GHND, kProjectBlockSize)); }
    ProjectBlock& at(HGLOBAL p) { return ProjectAt(p); }

    // A project with one page and the given fields.
    HGLOBAL onePage(std::vector<FieldRecord> fields) {
        HGLOBAL p = emptyProject();
        PageRecord page{};
        page.fieldCount = static_cast<std::uint16_t>(fields.size());
        page.fields = fields.empty() ? 0 : HostRecords<FieldRecord>(fields);
        at(p).record.pageCount = 1;
        at(p).record.pages = HostRecords<PageRecord>(std::vector{page});
        return p;
    }

    static bool contains(const std::vector<std::uint8_t>& image,
                         const std::vector<std::uint8_t>& part) {
        return std::search(image.begin(), image.end(), part.begin(), part.end()) != image.end();
    }
};

}  // namespace

TEST_F(ImageLayout, AnEmptyProjectIsTheFixedPartsWithOneBlankPage) {
    auto b = bytes(save(emptyProject()));
    // Header and descriptor, project record, one blank page with the zero of its empty text,
    // the keyed-entry table's tag and count, the extension record.
    ASSERT_EQ(b.size(), kHeader + kRecord + kPage + 1 + 4 + kExtension);
    EXPECT_EQ(ReadLe16(&b[0]), 44);
    EXPECT_TRUE(std::all_of(&b[2], &b[44], [](std::uint8_t v) { return v == 0; }));
    EXPECT_EQ(b[44], 1);
    EXPECT_EQ(ReadLe16(&b[45]), 48);
    EXPECT_EQ(b[47], 0x22);
    EXPECT_EQ(ReadLe16(&b[kHeader + 470]), 0);  // the page count stays 0: a reader takes it as 1
    EXPECT_TRUE(
        std::all_of(&b[kPagesAt], &b[kPagesAt + kPage + 1], [](std::uint8_t v) { return v == 0; }));
    const std::size_t keyed = kPagesAt + kPage + 1;
    EXPECT_EQ(std::vector<std::uint8_t>(&b[keyed], &b[keyed + 4]),
              (std::vector<std::uint8_t>{0x4B, 0x4C, 0, 0}));
    EXPECT_EQ(ReadLe16(&b[keyed + 4 + 265]), 3);  // every save sets the saved mark
}

TEST_F(ImageLayout, APageWithoutTextTakes77BytesInThePlainFormatAnd80AboveIt) {
    HGLOBAL plain = onePage({});
    auto b = bytes(save(plain));
    EXPECT_EQ(b[47], 0x22);
    EXPECT_EQ(b.size(), kHeader + kRecord + 77 + 4 + kExtension);

    HGLOBAL rich = onePage({});
    at(rich).ext.pageBlobsPresent = 1;  // page extension data makes the format 0x24
    b = bytes(save(rich));
    EXPECT_EQ(b[47], 0x24);
    // 80 bytes of page, and the page's first extension blob (an empty one) after the extension
    // record.
    EXPECT_EQ(b.size(), kHeader + kRecord + 80 + 4 + kExtension + 4);
    EXPECT_EQ(ReadLe32(&b[kPagesAt + kPage]), 0u);
}

TEST_F(ImageLayout, PageTextsTakeTheShortFormOnlyInThePlainFormat) {
    for (auto [shape, code, fieldAt] :
         {std::tuple{ProjectShape{}, 0x22, kPagesAt + kPage + 1},
          std::tuple{ProjectShape{.bitmaps = 1}, 0x24, kPagesAt + kPage + 4},
          std::tuple{ProjectShape{.pageBlobs = true}, 0x24, kPagesAt + kPage + 4},
          std::tuple{ProjectShape{.languages = 2}, 0x25, kPagesAt + kPage + 4}}) {
        auto b = bytes(save(build(shape)));
        EXPECT_EQ(b[47], code);
        // The first page has no text; its first field's width (10) follows the empty text.
        EXPECT_EQ(b[fieldAt + 2], 10) << "format " << code;
    }
}

TEST_F(ImageLayout, TheKeyedTableWithoutEntriesIsItsHeadAndOneSizeWordPerSlot) {
    HGLOBAL p = emptyProject();
    at(p).record.keyedCapacity = 5;
    std::vector<std::uint8_t> table(2 + 5 * 4);
    WriteLe16(table.data(), kKeyedTableTag);
    at(p).record.keyed = GlobalRecords<std::uint8_t>(table);
    auto b = bytes(save(p));
    EXPECT_EQ(b.size(), kHeader + kRecord + 77 + 4 + 2 * 5 + kExtension);
    const std::size_t keyed = kPagesAt + 77;
    EXPECT_EQ(ReadLe16(&b[keyed]), 0x4C4B);
    EXPECT_TRUE(std::all_of(&b[keyed + 2], &b[keyed + 14], [](std::uint8_t v) { return v == 0; }));
}

TEST_F(ImageLayout, AnEmptyLabelKeepsItsLengthAndAttributeWordUnlessCompact) {
    FieldRecord plain{};
    plain.label = HostText("");
    plain.labelAttribute = 0xBEEF;
    FieldRecord compact = plain;
    compact.fieldClass = 2;
    compact.mode = 1;
    compact.plc.dataFormat = 12;
    FieldRecord named = plain;
    named.label = HostText("Go");
    auto b = bytes(save(onePage({plain, compact, named})));
    std::size_t at = kPagesAt + kPage + 1 + sizeof(FieldRecord);
    EXPECT_EQ(std::vector<std::uint8_t>(&b[at], &b[at + 3]),
              (std::vector<std::uint8_t>{0, 0xEF, 0xBE}));
    at += 3 + sizeof(FieldRecord);
    EXPECT_EQ(b[at], 0);
    at += 1 + sizeof(FieldRecord);
    EXPECT_EQ(std::vector<std::uint8_t>(&b[at], &b[at + 5]),
              (std::vector<std::uint8_t>{2, 0xEF, 0xBE, 'G', 'o'}));
    EXPECT_EQ(ReadLe32(&b[at - sizeof(FieldRecord) + 104]),
              1u);  // the label slot says only "present"
}

// A field is stored as its record, its lists' bytes and its label's, of every size around the
// word copies; a label is cut at its first zero.
TEST_F(ImageLayout, EachFieldIsFollowedByItsListsAndLabelByteForByte) {
    struct Case {
        int list1, list2;   // entries; -1: no second list
        std::string label;  // "-": none
    };
    const Case cases[] = {{0, -1, "-"},
                          {1, 3, ""},
                          {4, -1, "abc"},
                          {0, 1, std::string(16, 'r')},
                          {2, 2, std::string(31, 's')},
                          {5, -1, std::string(64, 'v')},
                          {1, 4, std::string(255, 'x')},
                          {1, -1, std::string("cut\0here", 8)}};
    std::vector<FieldRecord> fields;
    std::vector<std::uint8_t> expected, after;  // the bytes after each record, field by field
    std::uint8_t next = 1;
    const auto list = [&](int entries, FolderHeader& folder) {
        std::vector<std::uint8_t> bytes(16 * entries);
        for (std::uint8_t& b : bytes) b = next++;
        folder.count = static_cast<std::int16_t>(entries);
        folder.block = bytes.empty() ? 0 : HostCopy(std::as_bytes(std::span(bytes)));
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    };
    for (const Case& c : cases) {
        FieldRecord& f = fields.emplace_back();
        list(c.list1, f.list1);
        if (c.list2 >= 0) f.display.fieldType = 6, list(c.list2, f.list2);  // a list field
        if (c.label == "-") continue;
        f.label = HostCopy(std::as_bytes(std::span(c.label.data(), c.label.size() + 1)));
        f.labelAttribute = 0x1234;
        const std::string text = c.label.substr(0, c.label.find('\0'));
        expected.insert(expected.end(), {static_cast<std::uint8_t>(text.size()), 0x34, 0x12});
        expected.insert(expected.end(), text.begin(), text.end());
    }
    const auto b = bytes(save(onePage(fields)));
    for (std::size_t i = 0, at = kPagesAt + kPage + 1; i < fields.size(); ++i) {
        const auto& stored = RecordAt<FieldRecord>(&b[at]);
        const std::size_t size =
            sizeof(FieldRecord) + 16 * (stored.list1.count + stored.list2.count);
        const std::size_t end = size + (stored.label == 1u ? 3 + b[at + size] : 0);
        ASSERT_LE(at + end, b.size()) << i;
        after.insert(after.end(), &b[at + sizeof(FieldRecord)], &b[at + end]);
        at += end;
    }
    EXPECT_EQ(after, expected);
}

TEST_F(ImageLayout, ShapesWithoutBitmapsAreNotStored) {
    HGLOBAL withShapes = emptyProject();
    std::vector<ShapeEntry> shapes(2);
    at(withShapes).ext.shapeCount = 2;
    at(withShapes).ext.shapes = HostRecords<ShapeEntry>(shapes);
    EXPECT_EQ(bytes(save(withShapes)).size(), bytes(save(emptyProject())).size());
}

TEST_F(ImageLayout, NetworkNodesFollowTheExtensionRecordAChildrenThenBChildrenThenGrandchildren) {
    auto b = bytes(save(build({.network = true})));
    const std::vector<std::uint16_t> keys = {11, 12, 21, 22, 23, 31, 32};
    std::size_t found = 0;
    for (std::size_t i = 0; i + keys.size() * 64 <= b.size() && !found; ++i) {
        bool all = true;
        for (std::size_t k = 0; k < keys.size() && all; ++k)
            all = ReadLe16(&b[i + k * 64 + 34]) == keys[k];
        if (all) found = i;
    }
    ASSERT_NE(found, 0u);
    for (std::size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(ReadLe32(&b[found + k * 64 + 40]), 0u);
    // Node B inside the extension record just before them: 3 children stored, no reference.
    const std::size_t nodeB = found - kExtension + 3;
    EXPECT_EQ(ReadLe16(&b[nodeB + 38]), 3);
    EXPECT_EQ(ReadLe32(&b[nodeB + 40]), 0u);
}

TEST_F(ImageLayout, KeyedEntriesAreStoredWithPartLengthsAndTrailerTexts) {
    HGLOBAL p = emptyProject();
    // One entry, one sub-entry, one part in slot 2 holding a texted element and a plain one.
    std::vector<std::uint8_t> part = {2, 0, 0x99, 0, 2, 0};
    std::vector<std::uint8_t> texted(4 + 112, 0xAA);
    WriteLe16(texted.data(), kElementTexted2);
    WriteLe16(texted.data() + 2, 112);
    TrailerText trailer{5, "Hello"};
    WriteLe32(texted.data() + kElementTextSlot, HostRecords<TrailerText>(std::vector{trailer}));
    part.insert(part.end(), texted.begin(), texted.end());
    part.insert(part.end(), {7, 0, 1, 0, 0x55});
    std::string blob(4, '\0');
    WriteLe32(blob.data(), static_cast<std::uint32_t>(part.size()));
    blob.append(part.begin(), part.end());
    KeyedSubEntry sub{};
    sub.key = 0x0C0D;
    sub.partCount = 1;
    sub.parts[1] = HostBlob(blob.substr(4));
    std::vector<std::uint8_t> entry(8 + 4);
    RecordAt<KeyedEntryHead>(entry.data()) = KeyedEntryHead{8, 0x0A0B, 1, 0};
    WriteLe32(entry.data() + 8, HostRecords<KeyedSubEntry>(std::vector{sub}));
    std::vector<std::uint8_t> table(2 + 3 * 4);
    WriteLe32(table.data() + 2 + 4 * 2, HostRecords<std::uint8_t>(entry));  // in the third slot
    at(p).record.keyedCapacity = 3;
    at(p).record.keyed = GlobalRecords<std::uint8_t>(table);

    auto b = bytes(save(p));
    const std::size_t entrySize = 8 + 4 + 2 + part.size() + 29;
    ImageBytes expected;
    expected.u16(0x4C4B).u16(1).u16(static_cast<std::uint16_t>(entrySize)).u16(0).u16(0);
    expected.u16(8).u16(0x0A0B).u16(1).u16(0);
    expected.u16(0x0C0D).u16(1).u16(static_cast<std::uint16_t>(part.size()));
    std::vector<std::uint8_t> storedPart = part;
    WriteLe32(storedPart.data() + 6 + kElementTextSlot, 1);  // the text slot only says "present"
    expected.bytes.insert(expected.bytes.end(), storedPart.begin(), storedPart.end());
    expected.u8(5).text("Hello").zeros(23);
    const std::size_t keyed = kPagesAt + 77;
    EXPECT_EQ(std::vector<std::uint8_t>(&b[keyed], &b[keyed + expected.bytes.size()]),
              expected.bytes);
}

TEST_F(ImageLayout, AResourceSlotIsStoredOnlyWithBothBlobs) {
    HGLOBAL p = emptyProject();
    ResourceSection section{};
    auto record = [](const char* a, const char* b) {
        ResourceRecord r{};
        r.word0 = 0x0102;
        r.bytes2[0] = 0x03;
        r.value4 = 4;
        r.value6 = 6;
        r.value10 = 10;
        r.value14 = 14;
        std::memcpy(r.bytes18, "ABCDEFGH", 8);
        r.blobA = a ? HostBlob(a) : 0;
        r.blobB = b ? HostBlob(b) : 0;
        return HostRecords<ResourceRecord>(std::vector{r});
    };
    section.records[2] = record("xy", "");
    section.records[5] = record("only A", nullptr);
    at(p).ext.resourcesPresent = 1;
    at(p).ext.resources = HostRecords<ResourceSection>(std::vector{section});
    auto b = bytes(save(p));
    ImageBytes expected;
    expected.u16(1).zeros(10);
    for (int slot = 0; slot < 9; ++slot) expected.u16(slot == 2 ? 1 : 0);
    expected.zeros(2);
    expected.u16(0x0102).u8(3).u8(0).u16(4).u16(6).u16(10).u16(14).text("ABCDEFGH");
    expected.u32(2).text("xy").u32(0);
    ASSERT_GE(b.size(), expected.bytes.size());
    EXPECT_EQ(std::vector<std::uint8_t>(
                  b.end() - static_cast<std::ptrdiff_t>(expected.bytes.size()), b.end()),
              expected.bytes);
}

TEST_F(ImageLayout, TypedOptionElementsAreStoredWithTheSixteenBitFont) {
    auto b = bytes(save(build({.optionLayout = 2})));
    // Type 0 of the builder: the common head with a 50-byte font, then its description.
    ImageBytes element;
    element.u16(0);                    // type
    element.zeros(6).u16(0).zeros(8);  // eight values (the fourth is type x 5)
    element.u8(0x42).zeros(8);         // byte, four values
    LogFont16 font{};
    font.height = -12;
    font.weight = 700;
    font.italic = 1;
    std::memcpy(font.faceName, "Sans", 4);
    element.record(font).u16(0).u16(9).zeros(4);  // the font, four values
    element.cstring("Description 0");
    EXPECT_TRUE(contains(b, element.bytes));
}

TEST_F(ImageLayout, AnyLoadedProjectStoresThe124ByteBlock) {
    HGLOBAL p = onePage({});
    at(p).record.titleId = AddText(mem::Data(p), "Title");
    RecordAt<PageRecord>(mem::Data(at(p).record.pages)).setNameId(at(p).record.titleId);
    auto first = bytes(save(p));
    auto second = bytes(save(load(save(p))));
    // A load also builds the default list section: 64-byte head, 406 bytes of settings, the
    // empty column list (22) and the empty node list (22).
    ASSERT_EQ(second.size(), first.size() + 514 + 124);
    EXPECT_EQ(ReadLe32(&second[second.size() - 124]), 124u);
    EXPECT_TRUE(
        std::all_of(second.end() - 120, second.end(), [](std::uint8_t v) { return v == 0; }));
}

TEST_F(ImageLayout, TheCodeBlockIsAlwaysStoredWithFirstByteOne) {
    HGLOBAL p = build({.closing = true});
    std::byte* code = mem::Data(at(p).ext.codeBlock);
    code[0] = std::byte{5};
    auto b = bytes(save(p));
    EXPECT_TRUE(contains(b, {1, 3, 0x10, 0, 0x20, 0, 0x30, 0}));
    EXPECT_FALSE(contains(b, {5, 3, 0x10, 0, 0x20, 0, 0x30, 0}));
}
