#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "string_table/string_table.h"
#include "utilities/k32fabutil1.h"
#include "windows/input.h"
#include "windows/window_host.h"

using namespace kestra;
namespace kp = kestra::platform;

namespace {

BOOL sameMark(const void* a, const void*, const void* b, const void*) {
    return static_cast<const std::uint8_t*>(a)[0] == static_cast<const std::uint8_t*>(b)[0];
}

// Accepts the tags whose data starts with one of the marks; counts its calls after OK.
struct Filter {
    std::set<int> marks;
    int lastMark = -1;
    void* lastRecord = nullptr;
};
BOOL filterByMark(const void* data, void* user, void* record) {
    auto* filter = static_cast<Filter*>(user);
    filter->lastMark = static_cast<const std::uint8_t*>(data)[0];
    filter->lastRecord = record;
    return filter->marks.count(filter->lastMark) ? TRUE : FALSE;
}

class TagSelect : public ::testing::Test {
  protected:
    void SetUp() override {
        StrTabAddText("title", &project_);
        pump_ = add("Pump", 0, false, 1);
        line1_ = add("Line1", 0, true, 10);
        speed_ = add("Speed", line1_, false, 2);
        valve_ = add("Valve", line1_, true, 11);
        open_ = add("Open", valve_, false, 3);
        close_ = add("Close", valve_, false, 4);
        line2_ = add("Line2", 0, true, 12);
        temp_ = add("Temp", line2_, false, 5);
        empty_ = add("Empty", 0, true, 13);
        selection_.hostRecord = record_;
        selection_.project = &project_;
        selection_.folder = &folder_;
    }
    void TearDown() override {
        DeleteTagFolder(&folder_, &project_);
        StrTabDiscard(&project_);
    }
    DWORD add(const char* name, DWORD parent, bool structure, std::uint8_t mark) {
        std::uint8_t data[32] = {mark};
        return AddTagElement(&folder_, &project_, name, data, static_cast<int>(parent), structure,
                             sameMark);
    }
    void useFilter(std::set<int> marks) {
        filter_.marks = std::move(marks);
        selection_.filter = filterByMark;
        selection_.filterData = &filter_;
    }
    // The list as "depth:name" items, structures marked with "+".
    static std::vector<std::string> items(HWND dialog, TagSelection& selection) {
        HWND list = GetDlgItem(dialog, kTagList);
        std::vector<std::string> out;
        const int count = static_cast<int>(SendMessage(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            auto data = static_cast<DWORD>(SendMessage(list, LB_GETITEMDATA, i, 0));
            char name[64] = "";
            GetTagElement(selection.folder, selection.project, data & kTagItemKeyMask, nullptr,
                          nullptr, nullptr, name, sizeof name, nullptr);
            out.push_back(std::to_string((data & kTagItemDepthMask) >> kTagItemDepthShift) + ":" +
                          name + ((data & kTagItemStructure) ? "+" : ""));
        }
        return out;
    }
    static std::string shown(HWND dialog) {
        char text[128] = "";
        GetDlgItemText(dialog, kTagNameDisplay, text, sizeof text);
        return text;
    }
    static int indexOf(HWND dialog, TagSelection& selection, const std::string& item) {
        auto all = items(dialog, selection);
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i] == item) return static_cast<int>(i);
        return -1;
    }
    void pick(HWND dialog, const std::string& item, bool twice = false) {
        int index = indexOf(dialog, selection_, item);
        ASSERT_GE(index, 0) << item;
        kp::PickItem(GetDlgItem(dialog, kTagList), index, twice);
    }
    WORD recordKey() const { return ReadLe16(record_ + 91); }

    kp::HeadlessHost host_;
    ProjectBlock project_{};
    TagFolderHeader folder_{};
    std::uint8_t record_[111] = {};
    TagSelection selection_{};
    Filter filter_;
    DWORD pump_, line1_, speed_, valve_, open_, close_, line2_, temp_, empty_;
};

}  // namespace

TEST_F(TagSelect, StructuresOpenAndCloseByDoubleClickWithAllTheirDepths) {
    std::vector<std::vector<std::string>> seen;
    host_.script([&](HWND dialog) {
        seen.push_back(items(dialog, selection_));
        pick(dialog, "0:Line1+", true);
        seen.push_back(items(dialog, selection_));
        pick(dialog, "1:Valve+", true);
        seen.push_back(items(dialog, selection_));
        EXPECT_TRUE(HierDraw_IsOpened(&selection_.draw, valve_));
        pick(dialog, "0:Line1+", true);
        seen.push_back(items(dialog, selection_));
        EXPECT_FALSE(HierDraw_IsOpened(&selection_.draw, valve_)) << "closed with its parent";
        EXPECT_FALSE(HierDraw_IsOpened(&selection_.draw, line1_));
        kp::Click(GetDlgItem(dialog, IDCANCEL));
    });
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagNotChosen);
    ASSERT_EQ(seen.size(), 4u);
    using V = std::vector<std::string>;
    EXPECT_EQ(seen[0], (V{"0:Pump", "0:Line1+", "0:Line2+", "0:Empty+"}));
    EXPECT_EQ(seen[1], (V{"0:Pump", "0:Line1+", "1:Speed", "1:Valve+", "0:Line2+", "0:Empty+"}));
    EXPECT_EQ(seen[2], (V{"0:Pump", "0:Line1+", "1:Speed", "1:Valve+", "2:Open", "2:Close",
                          "0:Line2+", "0:Empty+"}));
    EXPECT_EQ(seen[3], seen[0]);
    EXPECT_EQ(selection_.draw.memoryDc, nullptr) << "the drawing is released after the dialog";
}

TEST_F(TagSelect, TheCurrentTagIsShownInsideItsOpenedStructuresAndOkBindsTheRecord) {
    WriteLe16(record_ + 91, static_cast<std::uint16_t>(open_));
    useFilter({2, 3, 4, 5});
    host_.script([&](HWND dialog) {
        EXPECT_EQ(items(dialog, selection_),
                  (std::vector<std::string>{"0:Line1+", "1:Speed", "1:Valve+", "2:Open", "2:Close",
                                            "0:Line2+"}));
        EXPECT_EQ(SendDlgItemMessage(dialog, kTagList, LB_GETCURSEL, 0, 0), 3);
        EXPECT_EQ(shown(dialog), "Open");
        pick(dialog, "0:Line2+");
        EXPECT_EQ(shown(dialog), "Open") << "a structure is not a choice";
        pick(dialog, "2:Close");
        EXPECT_EQ(shown(dialog), "Close");
        filter_.lastMark = -1;
        kp::Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagChosen);
    EXPECT_EQ(recordKey(), close_);
    EXPECT_EQ(record_[88], 0x80) << "bit 7 of the reference flags";
    EXPECT_EQ(filter_.lastMark, 4) << "the host sees the chosen tag's data";
    EXPECT_EQ(filter_.lastRecord, record_);
}

TEST_F(TagSelect, TheFilterShowsAStructureOnlyForAnAcceptedMemberAtAnyDepth) {
    useFilter({3});
    host_.script([&](HWND dialog) {
        EXPECT_EQ(items(dialog, selection_), (std::vector<std::string>{"0:Line1+"}));
        pick(dialog, "0:Line1+", true);
        EXPECT_EQ(items(dialog, selection_), (std::vector<std::string>{"0:Line1+", "1:Valve+"}));
        kp::Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagNotChosen) << "no tag was chosen";
    EXPECT_EQ(recordKey(), 0);
    EXPECT_EQ(record_[88], 0);
}

TEST_F(TagSelect, CancelAndClosingLeaveTheRecordAsItWas) {
    WriteLe16(record_ + 91, static_cast<std::uint16_t>(pump_));
    record_[88] = 0x81;
    const std::vector<std::uint8_t> before(record_, record_ + sizeof record_);
    host_.script([&](HWND dialog) {
        pick(dialog, "0:Line1+", true);
        pick(dialog, "1:Speed");
        kp::Click(GetDlgItem(dialog, IDCANCEL));
    });
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagNotChosen);
    host_.script([&](HWND dialog) {
        pick(dialog, "0:Pump");
        kp::CloseByUser(dialog);
    });
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagNotChosen);
    EXPECT_EQ(std::vector<std::uint8_t>(record_, record_ + sizeof record_), before);
}

TEST_F(TagSelect, AListThatStaysEmptyEndsTheDialogWithThree) {
    useFilter({});
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagListEmpty);
    EXPECT_EQ(host_.unscriptedCloses(), 0) << "nobody had to answer it";
    EXPECT_EQ(ExecTagSelDlg(nullptr, nullptr), kTagListEmpty);
    TagFolderHeader none{};
    selection_.folder = &none;
    selection_.filter = nullptr;
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagListEmpty);

    // A folder whose count runs past its block shows nothing rather than reading past it.
    folder_.count = folder_.count + 5;
    selection_.folder = &folder_;
    EXPECT_EQ(ExecTagSelDlg(nullptr, &selection_), kTagListEmpty);
    folder_.count = folder_.count - 5;
}

TEST_F(TagSelect, TheListDrawsNamesWithTheImageOfEachKindOfItem) {
    std::vector<kp::CanvasOp> ops;
    host_.script([&](HWND dialog) {
        pick(dialog, "0:Line1+", true);
        ops = host_.paint(GetDlgItem(dialog, kTagList));
        kp::Click(GetDlgItem(dialog, IDCANCEL));
    });
    ExecTagSelDlg(nullptr, &selection_);
    std::vector<std::string> texts;
    std::vector<LONG> columns;
    for (const auto& op : ops) {
        if (op.kind == kp::CanvasOp::Kind::Text) texts.push_back(op.text);
        if (op.kind == kp::CanvasOp::Kind::Blit) columns.push_back(op.source.left / 16);
    }
    EXPECT_EQ(texts,
              (std::vector<std::string>{"Pump", "Line1", "Speed", "Valve", "Line2", "Empty"}));
    EXPECT_EQ(columns, (std::vector<LONG>{2, 1, 2, 0, 0, 0}));
}
