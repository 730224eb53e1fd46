// What a save does to the project, and how it stores what memory does not hold.
#include "kestra/resource_section.h"
#include "project_store/describe.h"
#include "project_store/store_test.h"
#include "string_table/string_table.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

class Saving : public StoreTest {
  protected:
    ProjectBlock& at(HGLOBAL p) { return ProjectAt(p); }
    std::span<PageRecord> pages(HGLOBAL p) {
        return blocks::RecordsUpTo<PageRecord>(at(p).record.pages, at(p).record.pageCount);
    }
    std::span<FieldRecord> fields(const PageRecord& page) {
        return blocks::RecordsUpTo<FieldRecord>(page.fields, page.fieldCount);
    }
};

}  // namespace

TEST_F(Saving, OneLanguagePagesKeepTheirNameIdentifiersAndTheSavedMarkIsSet) {
    HGLOBAL p = build({.pages = 3});
    void* key = mem::Data(p);
    HGLOBAL image = save(p);
    auto b = bytes(image);
    EXPECT_EQ(ReadLe16(&b[48 + 627 + 0]), 'P' | ('a' << 8));  // stored inline: "Page 0"
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[48 + 627]), 6), "Page 0");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(TextOf(key, pages(p)[i].nameId()), "Page " + std::to_string(i));
        EXPECT_GE(StrTabReferenceCount(pages(p)[i].nameId(), key), 1u);
    }
    EXPECT_EQ(at(p).ext.savedMark, 3);
}

TEST_F(Saving, SeveralLanguagesSaveTheDefaultLanguageTexts) {
    HGLOBAL p = build({.pages = 2, .languages = 2});
    // The host shows language 1: its texts are in the pages.
    auto set1 = blocks::RecordsUpTo<TextEntry>(
        blocks::RecordsUpTo<LanguageEntry>(at(p).ext.languages, 2)[1].textSet1, 2);
    const mem::Ref defaultText = pages(p)[1].text;
    pages(p)[1].text = set1[1].blobA;
    pages(p)[1].b49 = 77;
    HGLOBAL loaded = load(save(p));
    EXPECT_EQ(pages(p)[1].text, defaultText);
    EXPECT_EQ(pages(p)[1].b49, 2);
    EXPECT_EQ(BlobText(pages(loaded)[1].text), "Text of page 1");
    EXPECT_EQ(TextOf(mem::Data(loaded), pages(loaded)[1].nameId()), "Page 1");
}

TEST_F(Saving, ByPointerTheImageIsTheSameAsByHandle) {
    HGLOBAL p = build({.pages = 2, .keyed = true});
    auto byHandle = bytes(save(p));
    HGLOBAL image = 0;
    const DWORD length = SaveProject(reinterpret_cast<std::uintptr_t>(mem::Data(p)), 1, &image);
    ASSERT_EQ(length, byHandle.size());
    EXPECT_EQ(bytes(image), byHandle);
    GlobalFree(image);

    std::vector<std::byte> elsewhere(kProjectBlockSize);  // not a block of the block table
    EXPECT_EQ(SaveProject(reinterpret_cast<std::uintptr_t>(elsewhere.data()), 1, &image), 0u);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(SaveProject(0x12345, 0, &image), 0u);  // no such handle
    EXPECT_TRUE(messages.empty());
}

TEST_F(Saving, TablesThatMemoryDoesNotHoldAreStoredEmpty) {
    HGLOBAL p = build({.pages = 2, .recordTables = true, .tags = true});
    FieldRecord& field = fields(pages(p)[0])[0];
    GlobalFree(field.list1.block);                               // a list whose block is gone
    RecordAt<ProjectRecord>(&at(p).record).section1Count = 200;  // more than its block holds
    GlobalFree(at(p).ext.tagFolder.elements);  // a tag table that cannot be locked
    HGLOBAL loaded = load(save(p));
    ASSERT_NE(loaded, 0u);
    EXPECT_EQ(fields(pages(loaded)[0])[0].list1.count, 0);
    EXPECT_EQ(fields(pages(loaded)[0])[1].list1.count, 2);
    EXPECT_EQ(at(loaded).record.section1Count, 0);
    EXPECT_EQ(at(loaded).record.section2aCount, 3);
    // The tag table is stored as zeros of its length.
    auto tags = blocks::RecordsUpTo<TagElement>(at(loaded).ext.tagFolder.elements, 3);
    ASSERT_EQ(tags.size(), 3u);
    for (const TagElement& t : tags) EXPECT_EQ(t.key, 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Saving, AnOptionBlockThatAReaderWouldSkipIsNotStored) {
    HGLOBAL p = build({.optionLayout = 1, .tags = true});
    auto& head = RecordAt<OptionHead>(mem::Data(at(p).ext.optionBlock));
    head.check4 = 0;
    HGLOBAL loaded = load(save(p));
    ASSERT_NE(loaded, 0u);
    EXPECT_EQ(at(loaded).ext.optionBlock, 0u);
    EXPECT_EQ(at(loaded).ext.optionFlags, 0x10005u);
    EXPECT_EQ(at(loaded).ext.tagFolder.count, 3);  // what follows is read where it is
}

TEST_F(Saving, ABitmapWhoseDataMemoryDoesNotHoldIsStoredEmpty) {
    HGLOBAL p = build({.bitmaps = 2});
    auto entries = blocks::RecordsUpTo<BitmapEntry>(at(p).ext.bitmaps, 2);
    GlobalFree(entries[1].dib);
    HGLOBAL loaded = load(save(p));
    ASSERT_NE(loaded, 0u);
    auto read = blocks::RecordsUpTo<BitmapEntry>(at(loaded).ext.bitmaps, 2);
    EXPECT_EQ(mem::Size(read[0].dib), mem::Size(entries[0].dib));
    EXPECT_EQ(mem::Size(read[1].dib), 40u);
    EXPECT_EQ(at(loaded).ext.shapeCount, 2);
}

TEST_F(Saving, WhatTheImageCannotHoldFailsTheSaveAndLeavesNamesInPlace) {
    HGLOBAL p = build({.pages = 1, .fieldsPerPage = 1});
    FieldRecord& field = fields(pages(p)[0])[0];
    field.label = HostText(std::string(256, 'x'));  // a label length is one byte
    HGLOBAL image = 0;
    EXPECT_EQ(SaveProject(p, 0, &image), 0u);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(messages, (std::vector<std::string>{"|Exception during save project..."}));
    EXPECT_EQ(TextOf(mem::Data(p), pages(p)[0].nameId()), "Page 0");

    field.label = HostText(std::string(255, 'x'));
    EXPECT_NE(save(p), 0u);
}

TEST_F(Saving, ChildFieldsAreStoredAsTheLoaderReadsThem) {
    // A child of a list field (kind 6) that is not a list field itself, with a label and
    // children of its own: the stored form and the read form must agree.
    HGLOBAL p = build({.pages = 1, .fieldsPerPage = 2});
    FieldRecord& parent = fields(pages(p)[0])[1];
    ASSERT_EQ(parent.display.fieldType, 6);
    auto kids = blocks::RecordsUpTo<FieldRecord>(parent.children, 2);
    FieldRecord grandchild{};
    grandchild.display.fieldType = 6;
    grandchild.list2.count = 1;
    grandchild.list2.block = GlobalRecords<ListEntry>(std::vector<ListEntry>(1));
    kids[0].flags = FieldRecord::kHasChildren;
    kids[0].childCount = 1;
    kids[0].children = HostRecords<FieldRecord>(std::vector{grandchild});
    const std::string expected = (save(p), DescribeProject(p));
    HGLOBAL loaded = load(save(p));
    ASSERT_NE(loaded, 0u);
    EXPECT_EQ(DescribeProject(loaded), expected);
}

// An image is written straight into its block, which starts at a guessed size: whatever the
// guess, the block ends up holding exactly the bytes written, and the guess for the next one
// is their count.
TEST(ImageBlock, TheImageIsWhatWasWrittenWhateverTheGuess) {
    std::vector<std::byte> written(70000);
    for (std::size_t i = 0; i < written.size(); ++i) written[i] = std::byte(i * 13 + i / 256);
    const std::size_t pieces[] = {1, 2, 4, 4093, 3, 60000, 5897};  // 70,000 bytes in all
    for (std::size_t guess : {0, 1, 4096, 69999, 70000, 70001, 1000000}) {
        std::size_t expected = guess;
        HGLOBAL image = 0;
        const std::size_t size = store::WriteNewImage(
            [&](store::Sink& out) {
                std::size_t at = 0;
                for (std::size_t n : pieces) {
                    out.bytes(std::span(written).subspan(at, n));
                    at += n;
                }
            },
            &image, expected);
        ASSERT_NE(image, 0u) << guess;
        EXPECT_EQ(size, written.size()) << guess;
        EXPECT_EQ(expected, written.size()) << guess;
        ASSERT_EQ(GlobalSize(image), written.size()) << guess;
        EXPECT_EQ(std::memcmp(mem::Data(image), written.data(), written.size()), 0) << guess;
        GlobalFree(image);
    }
}

// An image that fails, by a fault of its writer or by growing past any block, leaves no block.
TEST(ImageBlock, AFailedImageLeavesNoBlock) {
    const std::size_t before = mem::LiveBlocks(mem::Kind::Global);
    const std::function<void(store::Sink&)> failures[] = {
        [](store::Sink& out) { out.zeros(mem::kMaxBlockSize + 1); },
        [](store::Sink& out) {
            out.zeros(10000);
            throw ImageError(out.position(), "a writer's fault");
        },
    };
    for (std::size_t i = 0; i < std::size(failures); ++i) {
        std::size_t expected = 16;
        HGLOBAL image = 1;
        try {
            EXPECT_EQ(store::WriteNewImage(failures[i], &image, expected), 0u) << i;
        } catch (const ImageError&) {
            EXPECT_EQ(i, 1u);
        }
        EXPECT_EQ(image, 0u) << i;
        EXPECT_EQ(expected, 16u) << i;
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), before) << i;
    }
}
