// Pages and fields of the in-memory project: orders, copies, and fields carried between
// projects in the clipboard form.
#include <cstring>

#include "platform/image_cursor.h"
#include "panel_setup/setup_records.h"
#include "platform/memory.h"
#include "platform/records.h"
#include "string_table/string_table.h"
#include "utilities/passwords.h"
#include "workbench/document/field_records.h"
#include "workbench/document/project_pages.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

using Places = std::vector<std::optional<std::size_t>>;
constexpr auto kNew = std::nullopt;

TEST(Orders, SayWhereEveryRecordGoes) {
    const struct {
        const char* what;
        Order order;
        Places expected;
    } kCases[] = {
        {"insert in the middle", Inserting(3, 1, 2), {0, kNew, kNew, 1, 2}},
        {"insert at the end", Inserting(2, 2, 1), {0, 1, kNew}},
        {"insert beyond the end", Inserting(2, 9, 1), {0, 1, kNew}},
        {"insert into nothing", Inserting(0, 0, 1), {kNew}},
        {"delete the first", Deleting(3, 0, 1), {1, 2}},
        {"delete two", Deleting(4, 1, 2), {0, 3}},
        {"delete past the end", Deleting(2, 1, 5), {0}},
        {"move down", Moving(4, 0, 2), {1, 2, 0, 3}},
        {"move up", Moving(4, 3, 1), {0, 3, 1, 2}},
        {"move out of range", Moving(2, 0, 5), {0, 1}},
    };
    for (const auto& c : kCases) EXPECT_EQ(c.order, c.expected) << c.what;
}

TEST(Orders, PageRangesFollowTheirPages) {
    const struct {
        const char* what;
        Order order;
        std::size_t before;
        WORD first, last, firstAfter, lastAfter;
    } kCases[] = {
        {"every page, one deleted", Deleting(3, 1, 1), 3, 1, 3, 1, 2},
        {"every page, one added at the end", Inserting(3, 3, 1), 3, 1, 3, 1, 4},
        {"after a deleted page", Deleting(4, 0, 1), 4, 3, 4, 2, 3},
        {"its last page deleted", Deleting(4, 3, 1), 4, 2, 4, 2, 3},
        {"all its pages deleted", Deleting(4, 1, 2), 4, 2, 3, 2, 2},
        {"all its pages deleted at the end", Deleting(4, 2, 2), 4, 3, 4, 2, 2},
        {"a page added inside", Inserting(4, 2, 1), 4, 2, 3, 2, 4},
        {"a page added before", Inserting(4, 0, 1), 4, 2, 3, 3, 4},
        {"its page moved", Moving(4, 1, 3), 4, 2, 2, 4, 4},
        {"beyond the pages before: kept", Deleting(3, 0, 1), 3, 2, 5, 2, 5},
        {"page 0: kept", Deleting(3, 0, 1), 3, 0, 2, 0, 2},
        {"backwards: kept", Deleting(3, 0, 1), 3, 3, 2, 3, 2},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(PageRangeAfter(c.order, c.before, c.first, c.last),
                  std::pair(c.firstAfter, c.lastAfter))
            << c.what;
}

class ClipboardFields : public WorkbenchTest {
  protected:
    void SetUp() override {
        WorkbenchTest::SetUp();
        source.open(sample());
        target.open(sample());
        // The target's string table differs: its texts have other identifiers.
        ASSERT_TRUE(target.change("texts", [&] {
            for (const char* text : {"one", "two", "three", "four"})
                StrTabAddText(text, &target.block());
            return SetPageName(target.block(), 0, "Other");
        }));
    }
    std::span<FieldRecord> page(ProjectDocument& d, std::size_t p) {
        return workbench::Fields(Pages(d.block())[p]);
    }

    ProjectDocument source, target;
};

// A field with everything the form carries: a text, a label, list 1 with texts, list 2 with
// texts, and a child field.
void MakeRich(ProjectDocument& document, FieldRecord& field) {
    ProjectBlock& p = document.block();
    field.textId = StrTabAddText("Tank level", &p);
    const std::string label = "Level:";
    field.label = mem::HostAllocate(static_cast<std::uint32_t>(label.size() + 1));
    std::memcpy(mem::Data(field.label), label.c_str(), label.size() + 1);
    ListEntry entries[2] = {};
    entries[0].textId = StrTabAddText("low", &p);
    entries[0].value = 10;
    entries[1].textId = 0xFFFF;
    entries[1].value = 90;
    field.list1.count = 2;
    field.list1.block = GlobalAlloc(GHND, sizeof entries);
    std::memcpy(mem::Data(field.list1.block), entries, sizeof entries);
    field.display.fieldType = 6;  // kind 6 has list 2, holding texts
    ListEntry second{};
    second.textId = StrTabAddText("high", &p);
    field.list2.count = 1;
    field.list2.block = GlobalAlloc(GHND, sizeof second);
    std::memcpy(mem::Data(field.list2.block), &second, sizeof second);
    FieldRecord child{};
    child.textId = StrTabAddText("child text", &p);
    child.width = 3;
    field.flags |= FieldRecord::kHasChildren;
    field.childCount = 1;
    field.children = mem::HostAllocate(sizeof child);
    std::memcpy(mem::Data(field.children), &child, sizeof child);
}

std::string ListText(ProjectBlock& p, const FolderHeader& list, std::size_t i) {
    return Text(p, Entries(list)[i].textId);
}

TEST_F(ClipboardFields, TheClipboardFormCarriesFieldsWithTheirTextsIntoAnotherProject) {
    ASSERT_TRUE(source.change("rich", [&] {
        MakeRich(source, page(source, 0)[0]);
        return true;
    }));
    const std::vector<std::byte> form = EncodeFields(source.block(), page(source, 0).first(2));
    // The blocks of this process stay out of the clipboard.
    FieldRecord carried;
    std::memcpy(&carried, form.data() + 8, sizeof carried);
    EXPECT_EQ(carried.list1.block, 0u);
    EXPECT_EQ(carried.list2.block, 0u);
    EXPECT_EQ(carried.children, 0u);
    EXPECT_EQ(carried.label, 0u);
    std::vector<FieldRecord> pasted;
    ASSERT_TRUE(target.change("paste", [&] {
        pasted = DecodeFields(target.block(), form);
        return ReorderFields(target.block(), 2, Inserting(6, 6, pasted.size()), pasted);
    }));
    ASSERT_EQ(pasted.size(), 2u);
    ProjectBlock& p = target.block();
    const FieldRecord& rich = page(target, 2)[6];
    EXPECT_EQ(Text(p, rich.textId), "Tank level");
    EXPECT_EQ(TextIn(rich.label), "Level:");
    ASSERT_EQ(Entries(rich.list1).size(), 2u);
    EXPECT_EQ(ListText(p, rich.list1, 0), "low");
    EXPECT_EQ(Entries(rich.list1)[1].textId, 0xFFFF);
    EXPECT_EQ(Entries(rich.list1)[1].value, 90);
    EXPECT_EQ(ListText(p, rich.list2, 0), "high");
    ASSERT_EQ(Children(rich).size(), 1u);
    EXPECT_EQ(Text(p, Children(rich)[0].textId), "child text");
    EXPECT_EQ(std::memcmp(&rich.plc, &page(source, 0)[0].plc, sizeof(uPLCADR)), 0);
    EXPECT_EQ(std::memcmp(&page(target, 2)[7], &page(source, 0)[1], sizeof(FieldRecord)), 0)
        << "a plain field (no blocks of its own) comes over byte for byte";

    // What the target saves keeps it all, and undo takes the paste back.
    const QString saved = QString::fromStdString(file("target.kpr"));
    target.saveAs(saved);
    ProjectDocument reopened;
    reopened.open(saved);
    EXPECT_EQ(Text(reopened.block(), page(reopened, 2)[6].textId), "Tank level");
    target.undoStack().undo();
    EXPECT_EQ(page(target, 2).size(), 6u);
}

TEST_F(ClipboardFields, ACopyOfAFieldSharesNoBlockWithIt) {
    ASSERT_TRUE(source.change("rich", [&] {
        MakeRich(source, page(source, 0)[0]);
        const auto copy = CopyField(source.block(), page(source, 0)[0]);
        return copy && ReorderFields(source.block(), 0, Inserting(7, 1, 1), {&*copy, 1});
    }));
    const FieldRecord& a = page(source, 0)[0];
    const FieldRecord& b = page(source, 0)[1];
    for (auto slot : {&FieldRecord::label, &FieldRecord::children})
        EXPECT_NE((a.*slot).get(), (b.*slot).get());
    EXPECT_NE(a.list1.block.get(), b.list1.block.get());
    EXPECT_NE(a.list2.block.get(), b.list2.block.get());
    EXPECT_EQ(TextIn(a.label), TextIn(b.label));
    EXPECT_EQ(Text(source.block(), b.textId), "Tank level");
    // Changing the copy's list leaves the original's.
    Entries(b.list1)[0].value = 55;
    EXPECT_EQ(Entries(a.list1)[0].value, 10);
}

TEST_F(ClipboardFields, DamagedFormsAreRefusedWithoutLeavingABlockBehind) {
    ASSERT_TRUE(source.change("rich", [&] {
        MakeRich(source, page(source, 0)[0]);
        return true;
    }));
    const std::vector<std::byte> good = EncodeFields(source.block(), page(source, 0).first(1));
    auto with = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::byte> bytes = good;
        bytes.at(at) = std::byte{value};
        return bytes;
    };
    auto cut = [&](std::size_t size) {
        return std::vector<std::byte>(good.begin(), good.begin() + size);
    };
    constexpr std::size_t kRecord = 8;                  // the first field's record
    constexpr std::size_t kText = kRecord + 111;        // its text: u16 length, bytes
    constexpr std::size_t kLabelMark = kText + 2 + 10;  // "Tank level"
    std::vector<std::byte> longer = good;
    longer.push_back(std::byte{0});
    std::vector<std::byte> zeroInText = good;
    zeroInText.at(kText + 2 + 3) = std::byte{0};
    std::vector<std::byte> lyingCount = good;
    lyingCount.at(6) = std::byte{0xFF};  // 255 fields where there is one
    const struct {
        const char* what;
        std::vector<std::byte> bytes;
    } kCases[] = {
        {"empty", {}},
        {"another mark", with(0, 'X')},
        {"a later version", with(4, 2)},
        {"a lying field count", lyingCount},
        {"a text longer than the form", with(kText + 1, 0xF0)},
        {"a zero inside a text", zeroInText},
        {"a label mark of 2", with(kLabelMark, 2)},
        {"cut in the record", cut(kRecord + 50)},
        {"cut in a list", cut(good.size() - 20)},
        {"bytes after the last field", longer},
    };
    const std::size_t blocks =
        mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global);
    for (const auto& c : kCases) {
        EXPECT_THROW(DecodeFields(target.block(), c.bytes), ImageError) << c.what;
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global), blocks)
            << c.what;
    }
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_THROW(DecodeFields(target.block(), cut(size)), ImageError) << "cut to " << size;
    EXPECT_EQ(DecodeFields(target.block(), good).size(), 1u);
}

TEST_F(ClipboardFields, DeletingAPageKeepsThePasswordsAndTheErrorPageOnTheirPages) {
    ProjectBlock& p = source.block();
    PasswordRecord passwords[2] = {{"1111", 0x1F, 1, 3}, {"2222", 0x10, 3, 3}};
    p.record.section1 = GlobalAlloc(GHND, sizeof passwords);
    std::memcpy(mem::Data(p.record.section1), passwords, sizeof passwords);
    p.record.section1Count = 2;
    auto* record = reinterpret_cast<std::uint8_t*>(&p.record);
    WriteLe16(record + panel::setup::kCommErrorPage, 3);
    ASSERT_TRUE(ReorderPages(p, Deleting(3, 0, 1)));
    const auto* after = reinterpret_cast<const PasswordRecord*>(mem::Data(p.record.section1));
    using Range = std::pair<WORD, WORD>;
    EXPECT_EQ(Range(after[0].firstPage, after[0].lastPage), Range(1, 2));
    EXPECT_EQ(Range(after[1].firstPage, after[1].lastPage), Range(2, 2));
    EXPECT_EQ(ReadLe16(record + panel::setup::kCommErrorPage), 2);
    // No error page stays none.
    WriteLe16(record + panel::setup::kCommErrorPage, 0);
    ASSERT_TRUE(ReorderPages(p, Inserting(2, 0, 1), {"New"}));
    EXPECT_EQ(ReadLe16(record + panel::setup::kCommErrorPage), 0);
}

TEST_F(ClipboardFields, APageNameLongerThanTheInlinePlaceIsRefused) {
    ProjectBlock& p = source.block();
    EXPECT_TRUE(SetPageName(p, 0, std::string(kPageNameLimit, 'x')));
    EXPECT_FALSE(SetPageName(p, 0, std::string(kPageNameLimit + 1, 'x')));
    EXPECT_EQ(PageName(p, 0), std::string(kPageNameLimit, 'x'));
    EXPECT_FALSE(ReorderPages(p, Inserting(3, 0, 1), {std::string(kPageNameLimit + 1, 'y')}));
    EXPECT_FALSE(ReorderPages(p, Order{}));  // a project keeps a page
    EXPECT_EQ(Pages(p).size(), 3u);
}

}  // namespace
}  // namespace kestra::workbench::testing
