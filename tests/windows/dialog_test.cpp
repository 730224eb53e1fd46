#include "windows/dialog.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/module.h"
#include "windows/input.h"
#include "windows/window_host.h"

namespace kp = kestra::platform;
using kp::HeadlessHost;

namespace {

constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;
constexpr DialogItemTemplate kItems[] = {
    {10, "edit", "first", 10, 10, 60, 12, kTab},
    {11, "static", "label", 10, 26, 60, 8, WS_VISIBLE},
    {12, "edit", "hidden", 10, 36, 60, 12, WS_TABSTOP},
    {13, "edit", "disabled", 10, 50, 60, 12, kTab | WS_DISABLED},
    {20, "button", "A", 80, 10, 40, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
    {21, "button", "B", 80, 22, 40, 10, WS_VISIBLE | BS_AUTORADIOBUTTON},
    {22, "button", "C", 80, 34, 40, 10, WS_VISIBLE | BS_AUTORADIOBUTTON},
    {30, "button", "D", 80, 50, 40, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
    {IDOK, "button", "OK", 130, 10, 40, 14, kTab | WS_GROUP | BS_DEFPUSHBUTTON},
    {IDCANCEL, "button", "Cancel", 130, 28, 40, 14, kTab},
    {40, "button", "Apply", 130, 46, 40, 14, kTab},
};
constexpr DialogItemTemplate kMnemonicItems[] = {
    {10, "static", "&Name:", 4, 4, 30, 8, WS_VISIBLE},
    {11, "edit", "", 40, 4, 60, 12, kTab},
    {12, "button", "&Options", 4, 20, 100, 30, WS_VISIBLE | BS_GROUPBOX},
    {13, "button", "&Check", 8, 30, 40, 10, kTab | BS_AUTOCHECKBOX},
    {14, "button", "PLC &Comm ...", 110, 4, 60, 14, kTab},
    {15, "static", "R&&D &x", 4, 54, 30, 8, WS_VISIBLE | SS_NOPREFIX},
    {16, "button", "&Hidden", 110, 22, 60, 14, WS_TABSTOP},
    {IDOK, "button", "OK", 110, 40, 60, 14, kTab | BS_DEFPUSHBUTTON},
};
constexpr DialogItemTemplate kBrokenItems[] = {
    {10, "NoSuchClass", "", 0, 0, 10, 10, WS_VISIBLE},
};
constexpr DialogTemplate kTemplates[] = {
    {"TestDialog", 0, "A test", 0, 0, 180, 70, WS_POPUP | WS_CAPTION | DS_MODALFRAME, nullptr, 0,
     kItems, std::size(kItems)},
    {nullptr, 77, "By number", 0, 0, 50, 20, WS_POPUP, nullptr, 0, nullptr, 0},
    {"Broken", 0, "", 0, 0, 50, 20, WS_POPUP, nullptr, 0, kBrokenItems, 1},
    {"Mnemonics", 0, "Keys", 0, 0, 180, 70, WS_POPUP | WS_CAPTION, nullptr, 0, kMnemonicItems,
     std::size(kMnemonicItems)},
};
const kp::ResourceRegistration kRegistration(&kTemplates, kp::ResourceKind::Dialogs, kTemplates,
                                             std::size(kTemplates));

HMODULE program() {
    return GetModuleHandle(nullptr);
}

struct Record {
    std::vector<UINT> commands;
    LPARAM initParam = 0;
    INT_PTR initAnswer = TRUE;
    bool endInInit = false;
};
Record record;

INT_PTR recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            record.initParam = lParam;
            if (record.endInInit) EndDialog(dialog, 55);
            return record.initAnswer;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            record.commands.push_back(LOWORD(wParam));
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
                EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override { record = {}; }
    HWND open() {
        HWND dialog = CreateDialogParam(program(), "testdialog", nullptr, recordingProc, 9);
        record.commands.clear();
        return dialog;
    }
    HeadlessHost host_;
};

TEST_F(Dialogs, TemplatesAreFoundByNameWithoutCaseAndByNumber) {
    EXPECT_EQ(kp::FindDialogTemplate(program(), "TESTDIALOG"), &kTemplates[0]);
    EXPECT_EQ(kp::FindDialogTemplate(program(), MAKEINTRESOURCE(77)), &kTemplates[1]);
    EXPECT_EQ(kp::FindDialogTemplate(program(), "#77"), &kTemplates[1]);
    EXPECT_EQ(kp::FindDialogTemplate(program(), "Missing"), nullptr);
    EXPECT_EQ(DialogBoxParam(program(), "Missing", nullptr, recordingProc, 0), -1);
    EXPECT_EQ(DialogBoxParam(program(), "Broken", nullptr, recordingProc, 0), -1)
        << "a control of an unknown class fails the whole dialog";
    EXPECT_TRUE(host_.modalDialogs().empty());
}

TEST_F(Dialogs, ControlsSitWhereTheTemplatePutsThemInDialogUnits) {
    HWND dialog = open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(record.initParam, 9);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 180 * 6 / 4);
    EXPECT_EQ(client.bottom, 70 * 13 / 8 + 1) << "rounded as MulDiv rounds";
    RECT r;
    GetWindowRect(GetDlgItem(dialog, IDOK), &r);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    EXPECT_EQ(r.left - origin.x, 130 * 6 / 4);
    EXPECT_EQ(r.top - origin.y, 16);  // 10 * 13 / 8 = 16.25
    EXPECT_EQ(r.bottom - r.top, 23);  // 24 * 13 / 8 = 39 minus 16
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, 21)), 21);
    char text[16];
    EXPECT_EQ(GetDlgItemText(dialog, 10, text, sizeof text), 5u);
    EXPECT_STREQ(text, "first");
    EXPECT_EQ(GetDlgItemText(dialog, 99, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    DestroyWindow(dialog);
}

TEST_F(Dialogs, TheFirstTabStopThatCanTakeTheFocusGetsIt) {
    HWND dialog = open();
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 10));
    DWORD from = 0, to = 0;
    SendDlgItemMessage(dialog, 10, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                       reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(to - from, 5u) << "its text is selected";
    DestroyWindow(dialog);

    record.initAnswer = FALSE;
    SetFocus(nullptr);
    dialog = open();
    EXPECT_EQ(GetFocus(), nullptr) << "FALSE: the procedure placed the focus itself";
    DestroyWindow(dialog);
}

TEST_F(Dialogs, TabAndShiftTabSkipHiddenDisabledAndGroupMembersAndWrap) {
    HWND dialog = open();
    auto id = [] { return GetDlgCtrlID(GetFocus()); };
    std::vector<int> forward;
    for (int i = 0; i < 6; ++i) {
        kp::PressKey(GetFocus(), VK_TAB);
        forward.push_back(id());
    }
    EXPECT_EQ(forward, (std::vector<int>{20, 30, IDOK, IDCANCEL, 40, 10}));
    kp::HoldKey(VK_SHIFT, true);
    kp::PressKey(GetFocus(), VK_TAB);
    kp::HoldKey(VK_SHIFT, false);
    EXPECT_EQ(id(), 40);
    EXPECT_TRUE(record.commands.empty());
    DestroyWindow(dialog);
}

TEST_F(Dialogs, EnterPressesTheDefaultOrFocusedButtonAndEscapeCancel) {
    HWND dialog = open();
    kp::PressKey(GetFocus(), VK_RETURN);
    EXPECT_EQ(record.commands, std::vector<UINT>{IDOK}) << "from an edit: the default button";
    SendMessage(dialog, DM_SETDEFID, 40, 0);
    kp::PressKey(GetFocus(), VK_RETURN);
    EXPECT_EQ(record.commands.back(), 40u);
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    kp::PressKey(GetFocus(), VK_RETURN);
    EXPECT_EQ(record.commands.back(), static_cast<UINT>(IDCANCEL)) << "a focused push button";
    kp::PressKey(GetFocus(), VK_ESCAPE);
    EXPECT_EQ(record.commands.back(), static_cast<UINT>(IDCANCEL));

    record.commands.clear();
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    unsigned beeps = kp::BeepCount();
    SetFocus(GetDlgItem(dialog, 10));
    kp::PressKey(GetFocus(), VK_ESCAPE);
    kp::CloseByUser(dialog);
    EXPECT_TRUE(record.commands.empty()) << "a disabled Cancel button does not cancel";
    EXPECT_EQ(kp::BeepCount(), beeps + 2);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, AltWithAMarkedLetterPressesItsButtonOrFocusesAfterItsLabel) {
    HWND dialog = CreateDialogParam(program(), "Mnemonics", nullptr, recordingProc, 0);
    ASSERT_NE(dialog, nullptr);
    auto alt = [&](UINT key) {
        kp::HoldKey(VK_MENU, true);
        kp::PressKey(GetFocus(), key, static_cast<char32_t>(key | 0x20));
        kp::HoldKey(VK_MENU, false);
        return GetDlgCtrlID(GetFocus());
    };
    const unsigned beeps = kp::BeepCount();
    SetFocus(GetDlgItem(dialog, IDOK));
    EXPECT_EQ(alt('N'), 11) << "a label hands the focus to the control after it";
    EXPECT_EQ(alt('O'), 13) << "so does a group box";
    EXPECT_EQ(IsDlgButtonChecked(dialog, 13), BST_UNCHECKED);
    record.commands.clear();
    EXPECT_EQ(alt('C'), 13) << "the next control marking C after the focus: the push button";
    EXPECT_EQ(record.commands, std::vector<UINT>{14}) << "pressed, without taking the focus";
    SetFocus(GetDlgItem(dialog, IDOK));
    EXPECT_EQ(alt('C'), 13) << "from the last control the search wraps to the check box";
    EXPECT_EQ(IsDlgButtonChecked(dialog, 13), BST_CHECKED) << "which is clicked";
    EXPECT_EQ(kp::BeepCount(), beeps);
    record.commands.clear();
    for (UINT unmarked : {'X', 'D', 'H', 'Z'}) alt(unmarked);
    EXPECT_EQ(kp::BeepCount(), beeps + 4)
        << "no prefix, a doubled '&', a hidden button and an unmarked letter: a beep each";
    EXPECT_TRUE(record.commands.empty());
    EXPECT_EQ(GetWindowTextLength(GetDlgItem(dialog, 11)), 0) << "nothing was typed";
    DestroyWindow(dialog);
}

TEST_F(Dialogs, AutoRadioButtonsCheckOneOfTheirGroupByClickOrArrow) {
    HWND dialog = open();
    kp::Click(GetDlgItem(dialog, 30));
    kp::Click(GetDlgItem(dialog, 21));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 21), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 30), BST_CHECKED) << "another group";
    kp::PressKey(GetFocus(), VK_DOWN);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), 22);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 22), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 21), BST_UNCHECKED);
    kp::PressKey(GetFocus(), VK_DOWN);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), 20) << "wraps within the group";
    EXPECT_EQ(record.commands, (std::vector<UINT>{30, 21, 22, 20}));
    CheckRadioButton(dialog, 20, 22, 21);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 20), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 21), BST_CHECKED);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, ModalDialogsRunTheirScriptWithTheOwnerDisabled) {
    HWND owner = CreateDialogParam(program(), MAKEINTRESOURCE(77), nullptr, nullptr, 0);
    bool ownerEnabled = true;
    host_.script([&](HWND dialog) {
        ownerEnabled = IsWindowEnabled(owner);
        EXPECT_EQ(host_.modalDialogs().back(), dialog);
        kp::Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(DialogBoxParam(program(), "TestDialog", owner, recordingProc, 3), IDOK);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(host_.unscriptedCloses(), 0);

    record.endInInit = true;
    EXPECT_EQ(DialogBoxParam(program(), "TestDialog", owner, recordingProc, 0), 55)
        << "ended before it was shown";
    EXPECT_TRUE(host_.modalDialogs().empty());

    record.endInInit = false;
    EXPECT_EQ(DialogBoxParam(program(), "TestDialog", owner, recordingProc, 0), IDCANCEL);
    EXPECT_EQ(host_.unscriptedCloses(), 1) << "nobody was there: closed as Escape would";
    EXPECT_EQ(DialogBoxParam(program(), "#77", owner, nullptr, 0), -1)
        << "a dialog that ignores Cancel is ended with -1";
    DestroyWindow(owner);
}

TEST_F(Dialogs, MessageBoxesAreRecordedAndAnsweredFromTheScript) {
    host_.answerMessageBoxes({IDNO});
    EXPECT_EQ(MessageBox(nullptr, "Continue ?", "Setup", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBox(nullptr, "Again ?", "Setup", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(MessageBox(nullptr, "Done", nullptr, MB_OK), IDOK);
    ASSERT_EQ(host_.messageBoxes().size(), 3u);
    EXPECT_EQ(host_.messageBoxes()[0].text, "Continue ?");
    EXPECT_EQ(host_.messageBoxes()[0].caption, "Setup");
    EXPECT_EQ(host_.messageBoxes()[0].icon(), MB_ICONQUESTION);
}

TEST_F(Dialogs, DialogItemNumbersReadAsWindowsReadsThem) {
    HWND dialog = open();
    BOOL ok = FALSE;
    SetDlgItemText(dialog, 10, "  42x");
    EXPECT_EQ(GetDlgItemInt(dialog, 10, &ok, FALSE), 42u);
    EXPECT_TRUE(ok);
    SetDlgItemText(dialog, 10, "-5");
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, 10, &ok, TRUE)), -5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(GetDlgItemInt(dialog, 10, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    for (const char* bad : {"", "x1", "99999999999"}) {
        SetDlgItemText(dialog, 10, bad);
        GetDlgItemInt(dialog, 10, &ok, TRUE);
        EXPECT_FALSE(ok) << bad;
    }
    SetDlgItemInt(dialog, 10, static_cast<UINT>(-12), TRUE);
    char text[16];
    GetDlgItemText(dialog, 10, text, sizeof text);
    EXPECT_STREQ(text, "-12");
    DestroyWindow(dialog);
}

}  // namespace
