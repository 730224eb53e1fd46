// What a load makes of an image: options, repairs, older formats, defaults.
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "kestra/dib.h"
#include "kestra/project_image.h"
#include "project_store/describe.h"
#include "project_store/store_test.h"
#include "string_table/string_table.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

class Loading : public StoreTest {
  protected:
    ProjectBlock& at(HGLOBAL p) { return ProjectAt(p); }
    std::string text(HGLOBAL p, WORD id) { return TextOf(mem::Data(p), id); }
    std::span<PageRecord> pages(HGLOBAL p) {
        return blocks::RecordsUpTo<PageRecord>(at(p).record.pages, at(p).record.pageCount);
    }
    std::span<FieldRecord> fields(const PageRecord& page) {
        return blocks::RecordsUpTo<FieldRecord>(page.fields, page.fieldCount);
    }
};

// A format 0x20 image written by hand: header, project record, one page with its name inline
// and one field, the string pool and an empty keyed-entry table; nothing after that.
std::vector<std::uint8_t> oldImage(std::uint8_t titleIndex) {
    ProjectRecord record{};
    record.titleId = titleIndex;
    record.pageCount = 1;
    record.stringCount = 3;
    record.pages = 0xDEADBEEF;  // the writer's reference: means nothing to a reader
    PageRecord page{};
    std::memcpy(page.name, "Main", 4);
    page.fieldCount = 1;
    FieldRecord field{};
    field.list1.count = 1;
    field.textId = 2;
    ListEntry entry{};
    entry.textId = 1;
    ImageBytes image;
    image.header(0x20).record(record).record(page).cstring("Page text").record(field).record(entry);
    image.cstring("First").cstring("Second").cstring("Third");
    image.u16(0x4C4B).u16(0);
    return image.bytes;
}

}  // namespace

TEST_F(Loading, AnOldImageEndsAfterTheKeyedTableAndLoadsWithAZeroedExtension) {
    HGLOBAL p = load(imageOf(oldImage(0)));
    ASSERT_NE(p, 0u);
    const ProjectBlock& project = at(p);
    EXPECT_EQ(text(p, project.record.titleId), "First");
    ASSERT_EQ(project.record.pageCount, 1);
    const PageRecord& page = pages(p)[0];
    EXPECT_EQ(text(p, page.nameId()), "Main");
    EXPECT_EQ(BlobText(page.text), "Page text");
    ASSERT_EQ(page.fieldCount, 1);
    EXPECT_EQ(text(p, fields(page)[0].textId), "Third");
    auto entries = blocks::RecordsUpTo<ListEntry>(fields(page)[0].list1.block, 1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(text(p, entries[0].textId), "Second");
    // One language, no list section; only the 124-byte block that every load creates.
    ExtensionRecord expected{};
    expected.block124 = project.ext.block124;
    EXPECT_EQ(std::memcmp(&project.ext, &expected, sizeof expected), 0);
    EXPECT_EQ(ReadLe32(mem::At(project.ext.block124, 0, 4)), 124u);
}

TEST_F(Loading, Format21CarriesTheExtensionRecordWithShortPageTexts) {
    HGLOBAL original = build({.pages = 2, .keyed = true, .tags = true});
    auto image = bytes(save(original));
    ASSERT_EQ(image[47], 0x22);
    image[47] = 0x21;
    HGLOBAL p = load(imageOf(image));
    ASSERT_NE(p, 0u);
    EXPECT_EQ(DescribeProject(p), DescribeProject(original));
}

TEST_F(Loading, AStringIndexBeyondThePoolIsTheEmptyText) {
    HGLOBAL p = load(imageOf(oldImage(7)));
    ASSERT_NE(p, 0u);
    EXPECT_EQ(text(p, at(p).record.titleId), "");
    EXPECT_TRUE(messages.empty());
}

TEST_F(Loading, EveryStringIndexMetHoldsOneReferenceOnItsText) {
    // The title and the field's list entry name "Second", the field's text "Third"; "First"
    // is met nowhere. Identifiers follow the order of meeting: the title, the field lists, the
    // page's inline name, and the field texts last.
    HGLOBAL p = load(imageOf(oldImage(1)));
    ASSERT_NE(p, 0u);
    void* key = mem::Data(p);
    const FieldRecord& field = fields(pages(p)[0])[0];
    const struct {
        WORD id;
        const char* text;
        DWORD references;
    } expected[] = {{0, "Second", 2}, {1, "Main", 1}, {2, "Third", 1}};
    EXPECT_EQ(at(p).record.stringCount, std::size(expected));
    for (const auto& e : expected) {
        EXPECT_EQ(text(p, e.id), e.text);
        EXPECT_EQ(StrTabReferenceCount(e.id, key), e.references) << e.text;
    }
    EXPECT_EQ(at(p).record.titleId, 0);
    EXPECT_EQ(blocks::RecordsUpTo<ListEntry>(field.list1.block, 1)[0].textId, 0);
    EXPECT_EQ(field.textId, 2);
}

namespace {

// A format 0x20 image like oldImage() with its title, one page "Main" whose fields each hold
// one list entry and a text (by string index), and the given pool.
struct PoolImage {
    std::uint16_t title = 0;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> fields;  // list entry, text
    std::vector<std::string> pool;

    std::vector<std::uint8_t> bytes() const {
        ProjectRecord record{};
        record.titleId = title;
        record.pageCount = 1;
        record.stringCount = static_cast<std::uint16_t>(pool.size());
        PageRecord page{};
        std::memcpy(page.name, "Main", 4);
        page.fieldCount = static_cast<std::uint16_t>(fields.size());
        ImageBytes image;
        image.header(0x20).record(record).record(page).cstring("Page text");
        for (const auto& [list, text] : fields) {
            FieldRecord field{};
            field.list1.count = 1;
            field.textId = text;
            ListEntry entry{};
            entry.textId = list;
            image.record(field).record(entry);
        }
        for (const std::string& text : pool) image.cstring(text);
        image.u16(0x4C4B).u16(0);
        return image.bytes;
    }

    // The texts in the order a load meets them: the title, the list entries, the page's
    // inline name, the fields' texts (a list entry 0xFFFF and a field text 0 are met nowhere).
    std::vector<std::string> met() const {
        auto text = [&](std::uint16_t index) { return index < pool.size() ? pool[index] : ""; };
        std::vector<std::string> texts{text(title)};
        for (const auto& field : fields)
            if (field.first != 0xFFFF) texts.push_back(text(field.first));
        texts.push_back("Main");
        for (const auto& field : fields)
            if (field.second != 0) texts.push_back(text(field.second));
        return texts;
    }
};

// A pool of n texts "t0", "t1", ..., met in that order by the list entries of n - 1 fields
// after the title; the fields' texts are met nowhere.
PoolImage inOrder(int n) {
    PoolImage image;
    for (int i = 0; i < n; ++i) image.pool.push_back("t" + std::to_string(i));
    for (int i = 1; i < n; ++i) image.fields.push_back({static_cast<std::uint16_t>(i), 0});
    return image;
}

PoolImage swapped(PoolImage image, std::size_t field, std::size_t other) {
    std::swap(image.fields[field].first, image.fields[other].first);
    return image;
}

}  // namespace

// Whatever order the pool holds its texts in, the project's texts come in the order of their
// first meeting, once each, with a reference per meeting, and texts met nowhere are left out.
TEST_F(Loading, TheTableHoldsTheTextsMetInTheOrderOfMeetingWhateverThePoolsOrder) {
    const struct {
        const char* name;
        PoolImage image;
    } cases[] = {
        {"in order", {0, {{1, 3}, {2, 4}}, {"T", "A", "B", "C", "D"}}},
        {"unmet texts between and after",
         {0, {{2, 6}, {3, 6}}, {"T", "x", "A", "B", "y", "C", "D", "z"}}},
        {"out of order", {2, {{1, 1}, {0, 2}}, {"A", "B", "T"}}},
        {"a text twice in the pool", {0, {{1, 3}, {2, 2}}, {"T", "A", "A", "B"}}},
        {"the page's name in the pool", {0, {{1, 2}, {0xFFFF, 1}}, {"T", "Main", "A"}}},
        {"an index beyond the pool", {0, {{5, 0}, {1, 7}}, {"T", "A"}}},
        {"a list entry met nowhere between others",
         {0, {{2, 0}, {0xFFFF, 0}, {1, 0}}, {"T", "B", "A"}}},
        {"many, in order", inOrder(1300)},
        {"many, two swapped after the first hundreds", swapped(inOrder(1300), 700, 701)},
        {"many, the last two swapped", swapped(inOrder(1300), 1297, 1298)},
    };
    for (const auto& c : cases) {
        HGLOBAL p = load(imageOf(c.image.bytes()));
        ASSERT_NE(p, 0u) << c.name;
        std::vector<std::string> ids;
        std::map<std::string, DWORD> references;
        for (const std::string& text : c.image.met())
            if (references[text]++ == 0) ids.push_back(text);
        ASSERT_EQ(at(p).record.stringCount, ids.size()) << c.name;
        for (WORD id = 0; id < ids.size(); ++id) {
            ASSERT_EQ(text(p, id), ids[id]) << c.name << ", identifier " << id;
            EXPECT_EQ(StrTabReferenceCount(id, mem::Data(p)), references[ids[id]])
                << c.name << ", identifier " << id;
        }
        EXPECT_EQ(text(p, at(p).record.titleId), c.image.met().front()) << c.name;
        const std::span<FieldRecord> loaded = fields(pages(p)[0]);
        for (std::size_t i = 0; i < loaded.size(); ++i) {
            const auto [list, own] = c.image.fields[i];
            const WORD entry = blocks::RecordsUpTo<ListEntry>(loaded[i].list1.block, 1)[0].textId;
            if (list != 0xFFFF)
                EXPECT_EQ(text(p, entry), list < c.image.pool.size() ? c.image.pool[list] : "")
                    << c.name << ", field " << i;
            if (own != 0)
                EXPECT_EQ(text(p, loaded[i].textId),
                          own < c.image.pool.size() ? c.image.pool[own] : "")
                    << c.name << ", field " << i;
        }
    }
}

TEST_F(Loading, APageCountOfZeroIsReadAsOne) {
    auto image = oldImage(0);
    WriteLe16(&image[48 + 470], 0);
    HGLOBAL p = load(imageOf(image));
    ASSERT_NE(p, 0u);
    EXPECT_EQ(at(p).record.pageCount, 1);
    EXPECT_EQ(pages(p)[0].fieldCount, 1);
}

TEST_F(Loading, OptionTokensSetTheLoadFlags) {
    // A menu field with a zero dimension tells whether the repairs ran.
    HGLOBAL original = build({.pages = 1, .fieldsPerPage = 2});
    FieldRecord& menu = fields(pages(original)[0])[0];
    menu.fieldClass = FieldRecord::kMenuClass;
    menu.height = 0;
    HGLOBAL image = save(original);
    struct Case {
        const char* options;
        bool repaired, withoutLaterSections;
    };
    for (const Case& c :
         {Case{nullptr, false, false}, Case{"", false, false}, Case{"fixrmenufield", true, false},
          Case{"501 fixrmenufield", true, true}, Case{"fixrmenufield  501", true, true},
          Case{"501", false, true}, Case{"FIXRMENUFIELD 5011 x", false, false}}) {
        HGLOBAL p = load(image, c.options);
        ASSERT_NE(p, 0u);
        EXPECT_EQ(pages(p)[0].fieldCount, c.repaired ? 1 : 2) << (c.options ? c.options : "null");
        EXPECT_EQ(at(p).ext.listSection == 0u, c.withoutLaterSections)
            << (c.options ? c.options : "null");
    }
}

TEST_F(Loading, WithoutLaterSectionsTheProjectHasOneLanguageAndOnlyANew124ByteBlock) {
    ProjectShape shape{
        .pages = 2, .pageBlobs = true, .resources = true, .tags = true, .closing = true};
    HGLOBAL full = build(shape);
    auto image = bytes(save(full));
    // The same project without the sections after the resource section ends where they begin.
    HGLOBAL shortened = build(shape);
    ExtensionRecord& ext = at(shortened).ext;
    std::memset(reinterpret_cast<std::byte*>(&ext) + offsetof(ExtensionRecord, tagFolder), 0,
                sizeof(ExtensionRecord) - offsetof(ExtensionRecord, tagFolder));
    const std::size_t end = bytes(save(shortened)).size();
    ASSERT_LT(end, image.size());
    image.resize(end);

    HGLOBAL p = load(imageOf(image), "501");
    ASSERT_NE(p, 0u);
    const ExtensionRecord& loaded = at(p).ext;
    EXPECT_EQ(loaded.languageCount, 1);
    EXPECT_EQ(loaded.languages, 0u);
    EXPECT_FALSE(loaded.hasListSection());
    EXPECT_EQ(loaded.tagFolder.count, 0);
    for (std::uint32_t slot :
         {loaded.codeBlock.get(), loaded.tail.get(), loaded.table264.get(), loaded.wordList.get()})
        EXPECT_EQ(slot, 0u);
    EXPECT_EQ(ReadLe32(mem::At(loaded.block124, 0, 4)), 124u);
    EXPECT_NE(loaded.resources, 0u);  // what comes before is all there
    EXPECT_EQ(text(p, pages(p)[1].nameId()), "Page 1");
    EXPECT_TRUE(messages.empty());

    // Without the option, the same image is damaged.
    EXPECT_EQ(load(imageOf(image)), 0u);
}

TEST_F(Loading, TheMenuFieldRepairDropsMenuFieldsWithAZeroDimension) {
    HGLOBAL original = build({.pages = 2, .fieldsPerPage = 5});
    auto list = fields(pages(original)[1]);
    for (int i : {0, 1}) {
        list[i].fieldClass = FieldRecord::kMenuClass;
        (i == 0 ? list[i].width : list[i].height) = 0;
    }
    list[3].fieldClass = FieldRecord::kMenuClass;  // both dimensions set: kept
    const std::string kept = TextOf(mem::Data(original), list[2].textId);
    HGLOBAL image = save(original);

    HGLOBAL p = load(image, "fixrmenufield");
    ASSERT_NE(p, 0u);
    EXPECT_EQ(pages(p)[0].fieldCount, 5);
    ASSERT_EQ(pages(p)[1].fieldCount, 3);
    auto repaired = fields(pages(p)[1]);
    EXPECT_EQ(text(p, repaired[0].textId), kept);
    EXPECT_EQ(repaired[1].fieldClass, FieldRecord::kMenuClass);
    // The dropped fields' lists, children and labels were read past: what follows is intact.
    HGLOBAL plain = load(image);
    EXPECT_EQ(pages(plain)[1].fieldCount, 5);
    EXPECT_EQ(DescribeProject(load(save(p))), DescribeProject(p));
}

TEST_F(Loading, TheBitmapRepairMarksZeroSizedBitmapsAndLogsEach) {
    const TempFolder& folder = currentFolder();
    HGLOBAL original = build({.bitmaps = 4});
    auto entries = blocks::RecordsUpTo<BitmapEntry>(at(original).ext.bitmaps, 4);
    // Entry 0 ('#', stored, its height's high word is 0): repaired. Entry 1 ('B'): not
    // numbered. Entry 2 ('#', no data): nothing to repair. Entry 3, the last: marked as well.
    ASSERT_TRUE(entries[0].head.storesData() && entries[1].head.nameMark == 'B' &&
                !entries[2].head.storesData());
    entries[0].head.attributes = 0x0042;
    HGLOBAL image = save(original);

    HGLOBAL plain = load(image);
    EXPECT_FALSE(std::filesystem::exists(folder.file("PrjFix.txt")));
    EXPECT_EQ(blocks::RecordsUpTo<BitmapEntry>(at(plain).ext.bitmaps, 4)[0].head.attributes,
              0x0042);

    HGLOBAL p = load(image, "fixrmenufield");
    ASSERT_NE(p, 0u);
    auto repaired = blocks::RecordsUpTo<BitmapEntry>(at(p).ext.bitmaps, 4);
    EXPECT_EQ(repaired[0].head.attributes, 0x1000);
    EXPECT_EQ(repaired[1].head.attributes, 0);
    EXPECT_EQ(repaired[2].head.attributes, 0);
    EXPECT_EQ(repaired[3].head.attributes, 0x1000);
    EXPECT_EQ(folder.read("PrjFix.txt"), "   Fixed bitmap with zero-dimension...\n");
    for (std::size_t i : {0u, 1u, 3u})
        EXPECT_EQ(mem::Size(repaired[i].dib), mem::Size(entries[i].dib));
    EXPECT_EQ(repaired[2].dib, 0u);

    load(image, "fixrmenufield");
    EXPECT_EQ(folder.read("PrjFix.txt"),
              "   Fixed bitmap with zero-dimension...\n   Fixed bitmap with zero-dimension...\n");
}

TEST_F(Loading, ABitmapEntryWithoutDataIsNotRepairedIntoReadingTheNextEntry) {
    const TempFolder& folder = currentFolder();
    HGLOBAL original = build({.bitmaps = 3});
    auto entries = blocks::RecordsUpTo<BitmapEntry>(at(original).ext.bitmaps, 3);
    // Entry 0 stores no data; the words after its head are entry 1's, which start with zeros.
    entries[0].head.dataFlag = 0;
    GlobalFree(entries[0].dib);
    entries[0].dib = 0;
    HGLOBAL p = load(save(original), "fixrmenufield");
    ASSERT_NE(p, 0u);
    auto loaded = blocks::RecordsUpTo<BitmapEntry>(at(p).ext.bitmaps, 3);
    EXPECT_EQ(loaded[0].head.attributes, 0);
    EXPECT_EQ(loaded[0].dib, 0u);
    EXPECT_EQ(loaded[1].head.nameMark, 'B');
    EXPECT_EQ(mem::Size(loaded[1].dib), mem::Size(entries[1].dib));
    EXPECT_FALSE(std::filesystem::exists(folder.file("PrjFix.txt")));
}

TEST_F(Loading, AProjectWithoutListSectionGetsOneFromItsSettingsBytes) {
    struct Case {
        std::uint8_t settings2, settings3;
        std::vector<std::uint16_t> headValues;
        std::uint16_t settings1, settings2Value;
    };
    for (const Case& c :
         {Case{0x35, 0x81, {1, 1, 0, 1, 5}, 0, 1}, Case{0xE0, 0x45, {0, 0, 1, 0, 0}, 1, 0},
          Case{0x4F, 0x00, {2, 0, 0, 0, 15}, 0, 0}}) {
        HGLOBAL original = build({.pages = 1, .fieldsPerPage = 0});
        at(original).record.settings2 = c.settings2;
        at(original).record.settings3 = c.settings3;
        at(original).record.listHead0 = 90;
        at(original).record.listHead1 = 70;
        at(original).ext.list199 = 0;
        HGLOBAL p = load(save(original));
        ASSERT_NE(p, 0u);
        EXPECT_EQ(at(p).ext.list195, 1u);
        const auto& list =
            RecordAt<ListSection>(mem::At(at(p).ext.listSection, 0, sizeof(ListSection)));
        EXPECT_EQ(list.headWords[0], 90);
        EXPECT_EQ(list.headWords[1], 70);
        EXPECT_EQ(std::vector<std::uint16_t>(list.headValues, list.headValues + 5), c.headValues);
        EXPECT_EQ(std::vector<std::uint16_t>(list.settings, list.settings + 8),
                  (std::vector<std::uint16_t>{c.settings1, c.settings2Value, 100, 0, 0, 0, 1, 1}));
        EXPECT_EQ(list.settingsByte, 12);
        EXPECT_EQ(list.settingsValue, 0u);
        EXPECT_EQ(list.title, 0u);
        EXPECT_EQ(list.columnCount + list.nodeCount, 0);
    }
}

TEST_F(Loading, TheKeyedTableHasAnEntryPerPageAndSevenMoreButKeepsEveryStoredEntry) {
    HGLOBAL small = build({.pages = 3, .keyed = true});
    at(small).record.keyedCapacity = 6;  // the entries in slots 0 and 3 are within it
    HGLOBAL p = load(save(small));
    EXPECT_EQ(at(p).record.keyedCapacity, 10);
    EXPECT_EQ(RecordAt<le16>(mem::At(at(p).record.keyed, 0, 2)).get(), kKeyedTableTag);

    // More entries than pages + 7: a table as large as the stored one keeps them all.
    HGLOBAL large = build({.pages = 1, .keyed = true});
    ProjectRecord& r = at(large).record;
    std::vector<std::uint8_t> table(2 + 20 * 4);
    WriteLe16(table.data(), kKeyedTableTag);
    const mem::Ref entry = ReadLe32(mem::At(r.keyed, 2, 4));
    for (int i = 0; i < 12; ++i) WriteLe32(table.data() + 2 + 4 * i, entry);
    r.keyedCapacity = 20;
    r.keyed = GlobalRecords<std::uint8_t>(table);
    HGLOBAL q = load(save(load(save(large))));
    ASSERT_EQ(at(q).record.keyedCapacity, 20);
    for (int i = 0; i < 12; ++i)
        EXPECT_NE(ReadLe32(mem::At(at(q).record.keyed, 2 + 4 * i, 4)), 0u) << i;
}

TEST_F(Loading, OffTheNetworkTheChildrenOfNodeAHaveTheirNamesTranslated) {
    HGLOBAL original = build({.network = true});
    ProjectBlock& project = at(original);
    project.record.onNetwork = 0;
    auto aKids = blocks::RecordsUpTo<NetworkNode>(project.record.nodeA.children, 2);
    aKids[0].nameId = AddText(&project, "Station 1");
    aKids[1].nameId = 0;
    auto bKids = blocks::RecordsUpTo<NetworkNode>(project.ext.nodeB.children, 3);
    const std::uint16_t rawName = bKids[2].nameId;
    HGLOBAL p = load(save(original));
    ASSERT_NE(p, 0u);
    auto loadedA = blocks::RecordsUpTo<NetworkNode>(at(p).record.nodeA.children, 2);
    EXPECT_EQ(text(p, loadedA[0].nameId), "Station 1");
    EXPECT_EQ(loadedA[1].nameId, 0);
    // Folder B is not the active one: its children's names are carried as they are.
    EXPECT_EQ(blocks::RecordsUpTo<NetworkNode>(at(p).ext.nodeB.children, 3)[2].nameId, rawName);
    EXPECT_EQ(text(p, at(p).record.nodeA.nameId), "Node A");
}

TEST_F(Loading, AnImageByPointerLoadsFromWhereThePointerStands) {
    HGLOBAL original = build({.pages = 2});
    auto image = bytes(save(original));
    std::vector<std::uint8_t> padded(16, 0xEE);
    padded.insert(padded.end(), image.begin(), image.end());
    HGLOBAL block = imageOf(padded);
    const auto address = reinterpret_cast<std::uintptr_t>(mem::Data(block) + 16);
    HGLOBAL p = keep(GetProject(address, 1));
    ASSERT_NE(p, 0u);
    EXPECT_EQ(DescribeProject(p), DescribeProject(original));
    EXPECT_EQ(mem::LockCount(block), 0u);
}
