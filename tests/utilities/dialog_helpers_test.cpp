#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/module.h"
#include "utilities/k32fabutil1.h"
#include "windows/window_host.h"

using kestra::platform::HeadlessHost;

namespace {

// A dialog of the test module, so that its controls take their strings from it.
class ListHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibrary("KListTestModule");
        ASSERT_NE(module_, nullptr);
        dialog_ = CreateDialogParam(module_, "lists", nullptr, nullptr, 0);
        ASSERT_NE(dialog_, nullptr);
        combo_ = GetDlgItem(dialog_, 10);
        list_ = GetDlgItem(dialog_, 11);
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        FreeLibrary(module_);
    }
    std::string comboItem(int index) {
        char text[128] = {};
        SendMessage(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index),
                    reinterpret_cast<LPARAM>(text));
        return text;
    }

    HeadlessHost host_;
    HMODULE module_ = nullptr;
    HWND dialog_ = nullptr, combo_ = nullptr, list_ = nullptr;
};

TEST_F(ListHelpers, ComboFillsFromTheControlsModuleWithTheNumbersAsData) {
    const LONG numbers[] = {0, 2, 1, kListEnd};
    EXPECT_EQ(SetCBStrings(combo_, 300, numbers), TRUE);
    ASSERT_EQ(SendMessage(combo_, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(comboItem(0), "Alpha");
    EXPECT_EQ(comboItem(1), "Gamma");
    EXPECT_EQ(comboItem(2), "Beta");
    EXPECT_EQ(SendMessage(combo_, CB_GETITEMDATA, 1, 0), 2);
    EXPECT_EQ(CheckCBStrings(combo_, 300, numbers), TRUE);

    const LONG fewer[] = {0, 2, kListEnd};
    EXPECT_EQ(CheckCBStrings(combo_, 300, fewer), FALSE) << "the combo holds another item";
    const LONG twice[] = {0, 0, 2, kListEnd};
    EXPECT_EQ(CheckCBStrings(combo_, 300, twice), FALSE) << "each item answers one number";
    SendMessage(combo_, CB_SETITEMDATA, 2, 7);
    EXPECT_EQ(CheckCBStrings(combo_, 300, numbers), FALSE) << "wrong item data";
    SendMessage(combo_, CB_RESETCONTENT, 0, 0);
    const LONG none[] = {kListEnd};
    EXPECT_EQ(CheckCBStrings(combo_, 300, none), TRUE);
}

TEST_F(ListHelpers, ComboSelectionByDataComparesTheLowWord) {
    const LONG numbers[] = {0, 1, 2, kListEnd};
    SetCBStrings(combo_, 300, numbers);
    EXPECT_EQ(GetCBSelectionData(combo_), -1) << "nothing selected";
    EXPECT_EQ(SelectCBItem(combo_, 0x10002), TRUE);
    EXPECT_EQ(SendMessage(combo_, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(GetCBSelectionData(combo_), 2);
    EXPECT_EQ(SelectCBItem(combo_, 9), FALSE);
    EXPECT_EQ(SendMessage(combo_, CB_GETCURSEL, 0, 0), 2) << "a failed select keeps the selection";

    char text[kListTextLength + 1];
    EXPECT_EQ(GetCBStringForSelectionData(combo_, 1, text), TRUE);
    EXPECT_STREQ(text, "Beta");
    EXPECT_EQ(GetCBStringForSelectionData(combo_, 5, text), FALSE);
    EXPECT_EQ(GetCBStringForSelectionData(combo_, 1, nullptr), FALSE);
}

TEST_F(ListHelpers, LongTextsAreCutToSixtyCharactersAndMissingStringsAreEmpty) {
    const LONG numbers[] = {3, 40, kListEnd};
    SetLBStrings(list_, 300, numbers);
    ASSERT_EQ(SendMessage(list_, LB_GETCOUNT, 0, 0), 2);
    char text[kListTextLength + 8];
    std::fill(std::begin(text), std::end(text), '#');
    EXPECT_EQ(GetLBStringForSelectionData(list_, 3, text), TRUE);
    EXPECT_EQ(
        std::string(text),
        std::string("An item text that runs on for quite a bit longer than sixty characters", 60));
    EXPECT_EQ(text[61], '#') << "nothing written beyond the text and its zero";
    EXPECT_EQ(GetLBStringForSelectionData(list_, 40, text), TRUE);
    EXPECT_STREQ(text, "");
}

TEST_F(ListHelpers, ListBoxHelpersMatchTheComboOnes) {
    const LONG numbers[] = {2, 0, kListEnd};
    EXPECT_EQ(SetLBStrings(list_, 300, numbers), TRUE);
    EXPECT_EQ(GetLBSelectionData(list_), -1);
    EXPECT_EQ(SelectLBItem(list_, 0), TRUE);
    EXPECT_EQ(SendMessage(list_, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(GetLBSelectionData(list_), 0);
    EXPECT_EQ(SelectLBItem(list_, 1), FALSE);
    char text[kListTextLength + 1];
    EXPECT_EQ(GetLBStringForSelectionData(list_, 2, text), TRUE);
    EXPECT_STREQ(text, "Gamma");
    EXPECT_EQ(SetLBStrings(list_, 300, nullptr), TRUE) << "no list adds nothing";
    EXPECT_EQ(SendMessage(list_, LB_GETCOUNT, 0, 0), 2);
}

TEST_F(ListHelpers, ClearEditBoxEmptiesTheEdit) {
    EXPECT_EQ(ClearEditBox(dialog_, 12), TRUE);
    EXPECT_EQ(GetWindowTextLength(GetDlgItem(dialog_, 12)), 0);
    EXPECT_EQ(ClearEditBox(dialog_, 99), FALSE);
}

TEST_F(ListHelpers, CenterDialogBoxPutsTheLeftEdgeOnAMultipleOfEight) {
    MoveWindow(dialog_, 0, 0, 300, 201, FALSE);
    EXPECT_EQ(CenterDialogBox(dialog_), TRUE);
    RECT rect;
    GetWindowRect(dialog_, &rect);
    EXPECT_EQ(rect.left, 360) << "(1024 - 300) / 2 + 4 = 366, down to 360";
    EXPECT_EQ(rect.top, 283);
    EXPECT_EQ(rect.right - rect.left, 300);

    MoveWindow(dialog_, 0, 0, 1100, 100, FALSE);
    CenterDialogBox(dialog_);
    GetWindowRect(dialog_, &rect);
    EXPECT_EQ(rect.left, -40) << "(1024 - 1100) / 2 + 4 = -34, down to -40";
}

TEST_F(ListHelpers, XDialogFoldSizesTheDialogToTheItemAndMarksTheButton) {
    HWND button = GetDlgItem(dialog_, 13);
    RECT item, rect;
    int frame = GetSystemMetrics(SM_CXDLGFRAME);

    EXPECT_EQ(XDialogFold(dialog_, 14, FALSE, TRUE, button), TRUE);
    GetWindowRect(GetDlgItem(dialog_, 14), &item);
    GetWindowRect(dialog_, &rect);
    EXPECT_EQ(rect.bottom, item.bottom + 4 * frame);
    char text[64];
    GetWindowText(button, text, sizeof text);
    EXPECT_STREQ(text, "Details <<");

    EXPECT_EQ(XDialogFold(dialog_, 13, TRUE, FALSE, button), TRUE);
    GetWindowRect(GetDlgItem(dialog_, 13), &item);
    GetWindowRect(dialog_, &rect);
    EXPECT_EQ(rect.right, item.right + 4 * frame);
    EXPECT_EQ(rect.left % 8, 0) << "and centred";
    GetWindowText(button, text, sizeof text);
    EXPECT_STREQ(text, "Details >>");

    SetWindowText(button, "More");
    XDialogFold(dialog_, 14, FALSE, FALSE, button);
    GetWindowText(button, text, sizeof text);
    EXPECT_STREQ(text, "More>>");
    EXPECT_EQ(XDialogFold(dialog_, 99, FALSE, FALSE, button), FALSE);
}

}  // namespace
