#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "platform/memory.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/k32fabutil1.h"
#include "windows/clipboard.h"
#include "windows/input.h"
#include "windows/window_host.h"

using namespace kestra;
namespace kp = kestra::platform;

namespace {

const char* const kRowNames[] = {"Name", "Speed", "Mode", "Label"};

void rowName(ParameterMatrix*, int row, char* text, int room) {
    std::snprintf(text, static_cast<std::size_t>(room), "%s", row < 4 ? kRowNames[row] : "Extra");
}
void valueToText(ParameterMatrix*, int, LONG value, char* text, int room) {
    std::snprintf(text, static_cast<std::size_t>(room), "%d", static_cast<int>(value));
}
BOOL textToValue(ParameterMatrix*, int, const char* text, LONG* value) {
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (!*text || *end) return FALSE;
    *value = static_cast<LONG>(parsed);
    return TRUE;
}

constexpr std::size_t kField = sizeof(FieldRecord);

// Rows 0 and 3 hold texts (row 0 an ASCII field of 8 characters, row 3 a field of kind 5),
// rows 1 and 2 numbers; row r of set s holds "t<r><s>" or 100 r + s.
class MatrixEditor : public ::testing::Test {
  protected:
    void SetUp() override { build(4, 3); }
    void TearDown() override {
        for (int r = 0; r < rowCount_; ++r) ExpDeleteFolder(folder(r), project());
        StrTabDiscard(project());
        if (ProjectAt().ext.wordList != 0u) mem::Free(ProjectAt().ext.wordList);
        for (HGLOBAL h : {projectHandle_, fields_, rows_, countBlock_})
            if (h) GlobalFree(h);
    }
    void build(int rows, int sets) {
        rowCount_ = rows;
        projectHandle_ = GlobalAlloc(GHND, kProjectBlockSize);
        StrTabAddText("title", project());
        fields_ = GlobalAlloc(GHND, kField * rows);
        rows_ = GlobalAlloc(GHND, sizeof(MatrixRow) * rows);
        countBlock_ = GlobalAlloc(GHND, 2);
        WriteLe16(mem::Data(countBlock_), static_cast<std::uint16_t>(sets));
        for (int r = 0; r < rows; ++r) {
            FieldRecord& f = field(r);
            f.display.fieldType = (r == 0) ? 2 : (r == 3 ? 5 : 1);
            FolderHeader* h = folder(r);
            h->numeric = numeric(r) ? 1 : 0;
            for (int s = 0; s < sets; ++s)
                ExpPlaceValueInFolder(h, s, numeric(r) ? 100 * r + s : text(r, s), project());
            MatrixRow& row = blocks::RecordsUpTo<MatrixRow>(rows_, rows)[r];
            row.folderBlock = fields_;
            row.folderOffset = static_cast<std::uint32_t>(r * kField + 30);
            row.fieldBlock = fields_;
            row.fieldOffset = static_cast<std::uint32_t>(r * kField);
            row.maxTextLength = r == 0 ? 8 : 20;
        }
        matrix_.setCountBlock = countBlock_;
        matrix_.rowCount = static_cast<std::int16_t>(rows);
        matrix_.rows = rows_;
        matrix_.rowName = rowName;
        matrix_.valueToText = valueToText;
        matrix_.textToValue = textToValue;
        matrix_.key = 42;
        matrix_.title = "Recipe 1";
        matrix_.rowCaption = "Field";
        matrix_.columnCaption = "Parameter set";
        matrix_.project = projectHandle_;
    }
    static bool numeric(int r) { return r == 1 || r == 2; }
    DWORD text(int r, int s) {
        return StrTabAddText(("t" + std::to_string(r) + std::to_string(s)).c_str(), project());
    }
    void* project() { return mem::Data(projectHandle_); }
    ProjectBlock& ProjectAt() { return RecordAt<ProjectBlock>(project()); }
    FieldRecord& field(int r) { return RecordAt<FieldRecord>(mem::Data(fields_) + r * kField); }
    FolderHeader* folder(int r) { return &field(r).list1; }
    int hostSets() { return static_cast<std::int16_t>(ReadLe16(mem::Data(countBlock_))); }
    // The row's values for keys 0 to 7 as texts; "-" where the folder has no value.
    std::vector<std::string> values(int r) {
        std::vector<std::string> out;
        for (int key = 0; key < 8; ++key) {
            DWORD value = 0;
            if (!ExpGetValueFromFolder(folder(r), key, &value, project())) {
                out.push_back("-");
            } else if (numeric(r)) {
                out.push_back(std::to_string(static_cast<LONG>(value)));
            } else {
                char t[64] = "";
                StrTabGetText(static_cast<WORD>(value), project(), t, sizeof t, 0);
                out.push_back(t);
            }
        }
        return out;
    }
    INT_PTR run(std::function<void(HWND)> steps, int button = IDOK) {
        host_.script([this, steps, button](HWND dialog) {
            ++shown_;
            steps(dialog);
            if (IsWindow(dialog)) kp::Click(GetDlgItem(dialog, button));
        });
        return StartMatrixEd(nullptr, &matrix_);
    }
    static std::string itemText(HWND dialog, int id) {
        char t[128] = "";
        GetDlgItemText(dialog, id, t, sizeof t);
        return t;
    }
    static void clickCell(HWND dialog, int column, int row, bool shift = false) {
        kp::HoldKey(VK_SHIFT, shift);
        kp::Click(GetDlgItem(dialog, MatrixCell(column, row)));
        kp::HoldKey(VK_SHIFT, false);
    }
    static void typeCell(HWND dialog, int column, int row, const std::string& text) {
        HWND edit = GetDlgItem(dialog, MatrixCell(column, row));
        kp::FocusByUser(edit);
        SendMessage(edit, EM_SETSEL, 0, -1);
        kp::TypeText(edit, text);
    }
    static void spin(HWND dialog, bool up) {
        HWND spin = GetDlgItem(dialog, kMatrixSetCountSpin);
        RECT client;
        GetClientRect(spin, &client);
        const int y = up ? 1 : client.bottom - 2;
        kp::MouseInput(spin, WM_LBUTTONDOWN, 2, y, MK_LBUTTON);
        kp::MouseInput(spin, WM_LBUTTONUP, 2, y);
    }

    kp::HeadlessHost host_;
    int rowCount_ = 0;
    HGLOBAL projectHandle_ = 0, fields_ = 0, rows_ = 0, countBlock_ = 0;
    ParameterMatrix matrix_{};
    int shown_ = 0;
};

using V = std::vector<std::string>;

}  // namespace

TEST_F(MatrixEditor, TheGridShowsHeadsNamesAndCellsAsTheHostDescribesThem) {
    field(2).namesRecipe = 1;
    field(2).display.fieldType = 2;
    run([&](HWND dialog) {
        char title[64] = "";
        GetWindowText(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Recipe 1");
        EXPECT_EQ(itemText(dialog, kMatrixRowCaption), "Field");
        EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "3");
        EXPECT_EQ(itemText(dialog, kMatrixFirstColumnHead + 2), "3");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kMatrixFirstColumnHead + 3)));
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowHead + 3), "4");
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowHead + 4), "");
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowName + 1), "Speed");
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowName + 2), "Mode *");
        EXPECT_EQ(itemText(dialog, MatrixCell(1, 0)), "t01");
        EXPECT_EQ(itemText(dialog, MatrixCell(2, 1)), "102");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, MatrixCell(3, 0))));
        EXPECT_EQ(SendDlgItemMessage(dialog, MatrixCell(0, 0), EM_GETLIMITTEXT, 0, 0), 8);
        EXPECT_EQ(SendDlgItemMessage(dialog, MatrixCell(0, 1), EM_GETLIMITTEXT, 0, 0), 40);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kMatrixPaste))) << "no text to paste";
    });
    EXPECT_EQ(shown_, 1);
}

TEST_F(MatrixEditor, RaisingTheSetsFromTwoToFourFillsTheNewSetsAndLoweringDropsThem) {
    WriteLe16(mem::Data(countBlock_), 2);
    EXPECT_EQ(run([&](HWND dialog) {
                  EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "2");
                  spin(dialog, true);
                  spin(dialog, true);
                  EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "4");
                  EXPECT_EQ(itemText(dialog, MatrixCell(3, 1)), "0");
              }),
              1);
    EXPECT_EQ(hostSets(), 4);
    EXPECT_EQ(values(0), (V{"t00", "t01", "", "", "-", "-", "-", "-"}));
    EXPECT_EQ(values(1), (V{"100", "101", "0", "0", "-", "-", "-", "-"}));

    run([&](HWND dialog) {
        HWND edit = GetDlgItem(dialog, kMatrixSetCountEdit);
        kp::FocusByUser(edit);
        SendMessage(edit, EM_SETSEL, 0, -1);
        kp::TypeText(edit, "2");
        kp::FocusByUser(GetDlgItem(dialog, MatrixCell(0, 0)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, MatrixCell(2, 0))));
    });
    EXPECT_EQ(hostSets(), 2);
    EXPECT_EQ(values(0), (V{"t00", "t01", "-", "-", "-", "-", "-", "-"}));
    EXPECT_EQ(values(2), (V{"200", "201", "-", "-", "-", "-", "-", "-"}));
}

TEST_F(MatrixEditor, TheSpinWrapsAndTypedCountsAreKeptWithinOneTo255) {
    WriteLe16(mem::Data(countBlock_), 0);
    run([&](HWND dialog) {
        EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "1") << "0 sets become 1";
        spin(dialog, false);
        EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "255");
        spin(dialog, true);
        EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "1");
        HWND edit = GetDlgItem(dialog, kMatrixSetCountEdit);
        kp::FocusByUser(edit);
        SendMessage(edit, EM_SETSEL, 0, -1);
        kp::TypeText(edit, "999");
        kp::FocusByUser(GetDlgItem(dialog, MatrixCell(0, 0)));
        EXPECT_EQ(itemText(dialog, kMatrixSetCountEdit), "255");
    });
    EXPECT_EQ(hostSets(), 255);
}

TEST_F(MatrixEditor, ABlockOfTwoRowsByThreeSetsIsCopiedAsTwoLinesWithTwoTabsEach) {
    run([&](HWND dialog) {
        clickCell(dialog, 0, 0);
        clickCell(dialog, 2, 1, true);
        kp::Click(GetDlgItem(dialog, kMatrixCopy));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kMatrixPaste)));
        EXPECT_EQ(matrix_.selLastRow, 1);
        EXPECT_EQ(matrix_.selLastSet, 2);
    });
    EXPECT_EQ(kp::ClipboardText(), "t00\tt01\tt02\r\n100\t101\t102\r\n");
}

TEST_F(MatrixEditor, HeadsAndTheCornerSelectWholeRowsColumnsAndEverything) {
    run([&](HWND dialog) {
        kp::Click(GetDlgItem(dialog, kMatrixFirstColumnHead + 1));
        kp::Click(GetDlgItem(dialog, kMatrixCopy));
        EXPECT_EQ(kp::ClipboardText(), "t01\r\n101\r\n201\r\nt31\r\n");
        kp::Click(GetDlgItem(dialog, kMatrixFirstRowHead + 2));
        kp::HoldKey(VK_SHIFT, true);
        kp::Click(GetDlgItem(dialog, kMatrixFirstRowHead + 1));
        kp::HoldKey(VK_SHIFT, false);
        kp::Click(GetDlgItem(dialog, kMatrixCopy));
        EXPECT_EQ(kp::ClipboardText(), "100\t101\t102\r\n200\t201\t202\r\n");
        kp::Click(GetDlgItem(dialog, kMatrixCorner));
        kp::Click(GetDlgItem(dialog, kMatrixCut));
    });
    EXPECT_EQ(values(0), (V{"", "", "", "-", "-", "-", "-", "-"}));
    EXPECT_EQ(values(2), (V{"0", "0", "0", "-", "-", "-", "-", "-"}));
}

TEST_F(MatrixEditor, PasteFillsFromTheCornerAndStaysInsideTheGridOrTheSelection) {
    kp::SetClipboardText("a\tb\tc\td\r\n7\t8\r\n9\r\nx\ty\r\nmore\r\n");
    run([&](HWND dialog) {
        clickCell(dialog, 1, 0);
        kp::Click(GetDlgItem(dialog, kMatrixPaste));
    });
    EXPECT_EQ(values(0), (V{"t00", "a", "b", "-", "-", "-", "-", "-"})) << "no fourth set";
    EXPECT_EQ(values(1), (V{"100", "7", "8", "-", "-", "-", "-", "-"}));
    EXPECT_EQ(values(2), (V{"200", "9", "202", "-", "-", "-", "-", "-"})) << "a short row";
    EXPECT_EQ(values(3), (V{"t30", "x", "y", "-", "-", "-", "-", "-"}));

    kp::SetClipboardText("A\tB\tC\r\n1\t2\t3\r\n");
    run([&](HWND dialog) {
        clickCell(dialog, 0, 0);
        clickCell(dialog, 1, 0, true);
        kp::Click(GetDlgItem(dialog, kMatrixPaste));
    });
    EXPECT_EQ(values(0), (V{"A", "B", "b", "-", "-", "-", "-", "-"})) << "inside the selection";
    EXPECT_EQ(values(1), (V{"100", "7", "8", "-", "-", "-", "-", "-"}));
}

TEST_F(MatrixEditor, PasteWithARefusedNumberChangesNothingAndLongTextsAreCut) {
    kp::SetClipboardText("x\r\n5\r\nfive\r\n");
    const unsigned beeps = kp::BeepCount();
    run([&](HWND dialog) {
        clickCell(dialog, 0, 0);
        kp::Click(GetDlgItem(dialog, kMatrixPaste));
    });
    EXPECT_EQ(kp::BeepCount() - beeps, 1u);
    EXPECT_EQ(values(0)[0], "t00");
    EXPECT_EQ(values(1)[0], "100");

    kp::SetClipboardText("abcdefghijkl\r\n");
    run([&](HWND dialog) {
        clickCell(dialog, 2, 0);
        kp::Click(GetDlgItem(dialog, kMatrixPaste));
    });
    EXPECT_EQ(values(0)[2], "abcdefgh") << "cut to the row's 8 characters";
}

TEST_F(MatrixEditor, TypedCellsAreStoredWhenLeftAndRefusedNumbersRestored) {
    run([&](HWND dialog) {
        typeCell(dialog, 0, 1, "55");
        typeCell(dialog, 1, 1, "abc");
        clickCell(dialog, 2, 2);
        EXPECT_EQ(itemText(dialog, MatrixCell(1, 1)), "101") << "the host refused abc";
        typeCell(dialog, 0, 3, "label");
    });
    EXPECT_EQ(values(1), (V{"55", "101", "102", "-", "-", "-", "-", "-"}));
    EXPECT_EQ(values(3), (V{"label", "t31", "t32", "-", "-", "-", "-", "-"}));
}

TEST_F(MatrixEditor, CancelLeavesEveryFolderAndTextReferenceAsItWas) {
    auto snapshot = [&] {
        std::vector<std::uint8_t> bytes;
        for (int r = 0; r < rowCount_; ++r) {
            auto* h = reinterpret_cast<const std::uint8_t*>(folder(r));
            bytes.insert(bytes.end(), h, h + sizeof(FolderHeader));
            auto entries = mem::Bytes(folder(r)->block);
            auto* e = reinterpret_cast<const std::uint8_t*>(entries.data());
            bytes.insert(bytes.end(), e, e + entries.size());
        }
        for (WORD id = 1; id < 40; ++id) bytes.push_back(StrTabReferenceCount(id, project()));
        return bytes;
    };
    const auto before = snapshot();
    const auto blocksBefore = mem::LiveBlocks(mem::Kind::Global);
    kp::SetClipboardText("p\tq\r\n");
    EXPECT_EQ(run(
                  [&](HWND dialog) {
                      typeCell(dialog, 0, 0, "new");
                      spin(dialog, true);
                      clickCell(dialog, 0, 3);
                      kp::Click(GetDlgItem(dialog, kMatrixPaste));
                      kp::Click(GetDlgItem(dialog, kMatrixMultipage));
                  },
                  IDCANCEL),
              0);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), blocksBefore);
    EXPECT_EQ(hostSets(), 3);
    EXPECT_EQ(ProjectAt().ext.wordList, 0u);

    host_.script([](HWND dialog) { kp::CloseByUser(dialog); });
    EXPECT_EQ(StartMatrixEd(nullptr, &matrix_), 0) << "closing counts as Cancel";
    EXPECT_EQ(snapshot(), before);
}

TEST_F(MatrixEditor, OnlyAnAsciiRowCanNameTheRecipeAndTheMarkMovesAtOk) {
    field(2).namesRecipe = 1;
    run([&](HWND dialog) {
        kp::Click(GetDlgItem(dialog, kMatrixFirstRowHead + 3));
        kp::Click(GetDlgItem(dialog, kMatrixRecipeName));
        kp::Click(GetDlgItem(dialog, kMatrixFirstRowHead + 0));
        kp::Click(GetDlgItem(dialog, kMatrixRecipeName));
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowName + 0), "Name *");
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowName + 2), "Mode");
    });
    ASSERT_EQ(host_.messageBoxes().size(), 1u);
    EXPECT_EQ(host_.messageBoxes()[0].text, "Only ASCII field can be recipe name!");
    EXPECT_EQ(host_.messageBoxes()[0].caption, "Kestra Fabricon");
    EXPECT_EQ(host_.messageBoxes()[0].icon(), MB_ICONINFORMATION);
    EXPECT_EQ(field(0).namesRecipe, 1);
    EXPECT_EQ(field(2).namesRecipe, 0);
    EXPECT_EQ(field(3).namesRecipe, 0);

    run([&](HWND dialog) {
        kp::Click(GetDlgItem(dialog, kMatrixFirstRowHead + 0));
        kp::Click(GetDlgItem(dialog, kMatrixRecipeName));
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowName + 0), "Name");
    });
    EXPECT_EQ(field(0).namesRecipe, 0) << "a second press removes the mark";
}

TEST_F(MatrixEditor, TheMultipageBoxAddsAndRemovesTheRecipeKey) {
    run([&](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, kMatrixMultipage), BST_UNCHECKED);
        kp::Click(GetDlgItem(dialog, kMatrixMultipage));
    });
    auto list = [&] {
        auto bytes = mem::Bytes(ProjectAt().ext.wordList);
        std::vector<int> out;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(ReadLe16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + i));
        return out;
    };
    EXPECT_EQ(list(), (std::vector<int>{1, 1, 42}));
    matrix_.key = 7;
    run([&](HWND dialog) { kp::Click(GetDlgItem(dialog, kMatrixMultipage)); });
    EXPECT_EQ(list(), (std::vector<int>{1, 2, 42, 7}));
    matrix_.key = 42;
    run([&](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, kMatrixMultipage), BST_CHECKED);
        kp::Click(GetDlgItem(dialog, kMatrixMultipage));
    });
    EXPECT_EQ(list(), (std::vector<int>{1, 1, 7}));
}

TEST_F(MatrixEditor, ABadMatrixDoesNotStartAndLeavesNothingBehind) {
    const auto blocksBefore = mem::LiveBlocks(mem::Kind::Global);
    matrix_.rowCount = 50;  // more rows than the block holds
    EXPECT_EQ(StartMatrixEd(nullptr, &matrix_), 0);
    matrix_.rowCount = 4;
    blocks::RecordsUpTo<MatrixRow>(rows_, 4)[3].folderOffset = 4 * kField;  // past the block
    EXPECT_EQ(StartMatrixEd(nullptr, &matrix_), 0);
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), blocksBefore);
    EXPECT_EQ(StartMatrixEd(nullptr, nullptr), 0);
    EXPECT_EQ(host_.unscriptedCloses(), 0);
}

// Twelve rows and seven sets: two rows and two sets out of sight.
class MatrixEditorScrolling : public MatrixEditor {
  protected:
    void SetUp() override { build(12, 7); }
};

TEST_F(MatrixEditorScrolling, LinesPagesAndTheThumbMoveWithinTheRanges) {
    run([&](HWND dialog) {
        HWND vertical = GetDlgItem(dialog, kMatrixVScroll);
        HWND horizontal = GetDlgItem(dialog, kMatrixHScroll);
        int low = 0, high = 0;
        GetScrollRange(vertical, SB_CTL, &low, &high);
        EXPECT_EQ(high, 2);
        GetScrollRange(horizontal, SB_CTL, &low, &high);
        EXPECT_EQ(high, 2);
        kp::ScrollBy(vertical, SB_PAGEDOWN);
        EXPECT_EQ(matrix_.firstRow, 2);
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowHead), "3");
        EXPECT_EQ(itemText(dialog, kMatrixFirstRowName + 9), "Extra");
        kp::ScrollBy(horizontal, SB_LINERIGHT);
        EXPECT_EQ(itemText(dialog, kMatrixFirstColumnHead), "2");
        EXPECT_EQ(itemText(dialog, MatrixCell(0, 0)), "201");
        kp::ScrollBy(horizontal, SB_THUMBPOSITION, 9);
        EXPECT_EQ(matrix_.firstSet, 2);
        kp::ScrollBy(vertical, SB_LINEUP);
        EXPECT_EQ(matrix_.firstRow, 1);
        typeCell(dialog, 0, 0, "77");
        kp::ScrollBy(vertical, SB_PAGEUP);
        EXPECT_EQ(itemText(dialog, MatrixCell(0, 1)), "77") << "stored before scrolling";
    });
    EXPECT_EQ(values(1)[2], "77");
}
