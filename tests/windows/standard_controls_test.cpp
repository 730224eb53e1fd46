#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "windows/canvas.h"
#include "windows/clipboard.h"
#include "windows/controls.h"
#include "windows/input.h"
#include "windows/window_host.h"

namespace kp = kestra::platform;
using kp::HeadlessHost;

namespace {

struct Note {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Note> notes;
UINT measuredHeight = 0;
std::vector<DRAWITEMSTRUCT> drawings;

LRESULT parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_DRAWCLIPBOARD:
            notes.push_back({message, wParam, lParam});
            return 0;
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = measuredHeight;
            return TRUE;
        case WM_DRAWITEM:
            drawings.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        default:
            return DefWindowProc(window, message, wParam, lParam);
    }
}

std::vector<WORD> codesOf(int id) {
    std::vector<WORD> out;
    for (const Note& n : notes)
        if (n.message == WM_COMMAND && LOWORD(n.wParam) == id) out.push_back(HIWORD(n.wParam));
    return out;
}

class StandardControls : public ::testing::Test {
  protected:
    void SetUp() override {
        notes.clear();
        drawings.clear();
        measuredHeight = 0;
        WNDCLASS wc{};
        wc.lpfnWndProc = parentProc;
        wc.lpszClassName = "ControlParent";
        RegisterClass(&wc);
        parent_ = CreateWindow("ControlParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr,
                               nullptr, nullptr, nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }
    HWND make(const char* className, DWORD style, int height = 20, const char* text = "") {
        return CreateWindow(className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 100, height,
                            parent_, reinterpret_cast<HMENU>(UINT_PTR{7}), nullptr, nullptr);
    }
    std::string text(HWND w) {
        char buffer[64];
        GetWindowText(w, buffer, sizeof buffer);
        return buffer;
    }

    HeadlessHost host_;
    HWND parent_ = nullptr;
};

TEST_F(StandardControls, EditTypingRespectsTheLimitAndTellsEveryChange) {
    HWND edit = make("edit", 0);
    SendMessage(edit, EM_LIMITTEXT, 3, 0);
    notes.clear();
    unsigned beeps = kp::BeepCount();
    kp::TypeText(edit, "abcd");
    EXPECT_EQ(text(edit), "abc");
    EXPECT_EQ(kp::BeepCount(), beeps + 1);
    auto codes = codesOf(7);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EN_CHANGE), 3);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EN_MAXTEXT), 1);
    kp::PressKey(edit, VK_LEFT);
    kp::PressKey(edit, VK_BACK);
    EXPECT_EQ(text(edit), "ac");
    kp::PressKey(edit, VK_HOME);
    kp::PressKey(edit, VK_DELETE);
    EXPECT_EQ(text(edit), "c");
    SetWindowText(edit, "longer than the limit");
    EXPECT_EQ(text(edit), "longer than the limit") << "the limit is for typing";
    EXPECT_EQ(codesOf(7).back(), EN_CHANGE);
}

TEST_F(StandardControls, EditSelectionCountsCharactersNotBytes) {
    HWND edit = make("edit", 0, 20, "\xC3\xA9t\xC3\xA9");  // "été"
    SendMessage(edit, EM_SETSEL, 1, -1);
    DWORD from = 0, to = 0;
    SendMessage(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 1u);
    EXPECT_EQ(to, 3u);
    kp::TypeText(edit, "x");
    EXPECT_EQ(text(edit), "\xC3\xA9x");
    kp::PressKey(edit, VK_LEFT);
    kp::HoldKey(VK_SHIFT, true);
    kp::PressKey(edit, VK_LEFT);
    kp::HoldKey(VK_SHIFT, false);
    SendMessage(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 1u);
    kp::TypeText(edit, "\b");
    EXPECT_EQ(text(edit), "x");
}

TEST_F(StandardControls, EditStylesRefuseWhatTheyDoNotTake) {
    HWND number = make("edit", ES_NUMBER);
    kp::TypeText(number, "1a2");
    EXPECT_EQ(text(number), "12");
    HWND upper = make("edit", ES_UPPERCASE);
    kp::TypeText(upper, "ab1");
    EXPECT_EQ(text(upper), "AB1");
    HWND locked = make("edit", ES_READONLY, 20, "fixed");
    kp::TypeText(locked, "x\b");
    SendMessage(locked, WM_CLEAR, 0, 0);
    EXPECT_EQ(text(locked), "fixed");
}

TEST_F(StandardControls, CutCopyAndPasteGoThroughTheClipboardAndItsViewer) {
    SetClipboardViewer(parent_);
    HWND edit = make("edit", 0, 20, "hello world");
    notes.clear();
    SendMessage(edit, EM_SETSEL, 0, 5);
    SendMessage(edit, WM_CUT, 0, 0);
    EXPECT_EQ(text(edit), " world");
    EXPECT_EQ(kp::ClipboardText(), "hello");
    EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [](const Note& n) {
        return n.message == WM_DRAWCLIPBOARD;
    })) << "the viewer heard of it";
    SendMessage(edit, EM_SETSEL, 6, 6);
    SendMessage(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(text(edit), " worldhello");

    std::size_t blocks = kestra::mem::LiveBlocks(kestra::mem::Kind::Global);
    ASSERT_TRUE(OpenClipboard(parent_));
    EXPECT_FALSE(OpenClipboard(parent_)) << "it is open already";
    EmptyClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    HGLOBAL data = GlobalAlloc(GHND, 16);
    std::memcpy(GlobalLock(data), "line one\r\nline two", 16);
    GlobalUnlock(data);
    EXPECT_NE(SetClipboardData(CF_TEXT, kp::ClipboardHandle(data)), nullptr);
    HANDLE got = GetClipboardData(CF_TEXT);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(kp::ClipboardGlobal(got))),
                 "line one\r\nline t")
        << "the block's bytes, no further";
    GlobalUnlock(kp::ClipboardGlobal(got));
    CloseClipboard();
    SendMessage(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    SendMessage(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(text(edit), "line one") << "an edit of one line takes the first line";
    kp::SetClipboardText("next");
    EXPECT_EQ(kestra::mem::LiveBlocks(kestra::mem::Kind::Global), blocks)
        << "the clipboard owned the data and freed what it handed out";
    ChangeClipboardChain(parent_, nullptr);
}

TEST_F(StandardControls, SortedListsKeepItemDataWithTheirItems) {
    HWND list = make("listbox", LBS_SORT | LBS_NOTIFY, 100);
    for (const char* item : {"delta", "Alpha", "charlie", "bravo"}) {
        LRESULT at = SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        SendMessage(list, LB_SETITEMDATA, static_cast<WPARAM>(at), item[0]);
    }
    char buffer[16];
    SendMessage(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer));
    EXPECT_STREQ(buffer, "Alpha");
    EXPECT_EQ(SendMessage(list, LB_GETITEMDATA, 3, 0), 'd');
    EXPECT_EQ(SendMessage(list, LB_FINDSTRING, 1, reinterpret_cast<LPARAM>("a")), 0)
        << "wraps around";
    EXPECT_EQ(SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>("BRAVO")),
              1);
    EXPECT_EQ(SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>("brav")),
              LB_ERR);

    SendMessage(list, LB_SETCURSEL, 2, 0);
    SendMessage(list, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 1) << "the selection moves with its item";
    SendMessage(list, LB_DELETESTRING, 1, 0);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessage(list, LB_SETCURSEL, 9, 0), LB_ERR);
    EXPECT_EQ(SendMessage(list, LB_GETTEXTLEN, 9, 0), LB_ERR);
}

TEST_F(StandardControls, ListClicksAndKeysSelectAndNotify) {
    HWND list = make("listbox", LBS_NOTIFY, 100);
    for (const char* item : {"a", "b", "c"})
        SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    int height = static_cast<int>(SendMessage(list, LB_GETITEMHEIGHT, 0, 0));
    notes.clear();
    kp::MouseInput(list, WM_LBUTTONDOWN, 5, height + 1);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 1);
    kp::MouseInput(list, WM_LBUTTONDBLCLK, 5, height + 1);
    kp::PressKey(list, VK_END);
    kp::PressKey(list, VK_DOWN);
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 2);
    auto codes = codesOf(7);
    std::erase_if(codes, [](WORD c) { return c == LBN_SETFOCUS; });
    EXPECT_EQ(codes, (std::vector<WORD>{LBN_SELCHANGE, LBN_DBLCLK, LBN_SELCHANGE}))
        << "a key that does not move the selection tells nothing";
}

TEST_F(StandardControls, OwnerDrawnListsMeasureOnceAndDrawTheVisibleItems) {
    measuredHeight = 30;
    HWND list = make("listbox", LBS_OWNERDRAWFIXED, 100);
    EXPECT_EQ(SendMessage(list, LB_GETITEMHEIGHT, 0, 0), 30);
    for (LPARAM data : {100, 200, 300, 400, 500}) SendMessage(list, LB_ADDSTRING, 0, data);
    EXPECT_EQ(SendMessage(list, LB_GETITEMDATA, 2, 0), 300)
        << "without strings an item is its data";
    ULONG_PTR copied = 0;
    SendMessage(list, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(&copied));
    EXPECT_EQ(copied, 500u);
    SendMessage(list, LB_SETTOPINDEX, 1, 0);
    SendMessage(list, LB_SETCURSEL, 2, 0);
    SetFocus(list);
    host_.paint(list);
    ASSERT_EQ(drawings.size(), 4u) << "items 1 to 4 touch the 100 pixels";
    EXPECT_EQ(drawings[0].itemID, 1u);
    EXPECT_EQ(drawings[0].rcItem.top, 0);
    EXPECT_EQ(drawings[1].itemState, ODS_SELECTED | ODS_FOCUS);
    EXPECT_EQ(drawings[1].itemData, 300u);
    EXPECT_EQ(drawings[1].rcItem.top, 30);
    EXPECT_EQ(drawings[1].CtlType, ODT_LISTBOX);
    EXPECT_EQ(drawings[1].hwndItem, list);
    RECT item;
    SendMessage(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.top, 60);

    SendMessage(list, LB_RESETCONTENT, 0, 0);
    drawings.clear();
    host_.paint(list);
    ASSERT_EQ(drawings.size(), 1u) << "an empty focused list draws its focus";
    EXPECT_EQ(drawings[0].itemID, static_cast<UINT>(-1));
    EXPECT_EQ(drawings[0].itemAction, ODA_FOCUS);
}

TEST_F(StandardControls, ComboSelectionSetsItsTextAndArrowKeysNotify) {
    HWND combo = make("combobox", CBS_DROPDOWNLIST, 100);
    for (const char* item : {"one", "two"})
        SendMessage(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(SendMessage(combo, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(text(combo), "two");
    EXPECT_EQ(SendMessage(combo, CB_SETCURSEL, 5, 0), CB_ERR);
    EXPECT_EQ(SendMessage(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(text(combo), "");
    notes.clear();
    kp::PressKey(combo, VK_DOWN);
    EXPECT_EQ(text(combo), "one");
    kp::PressKey(combo, VK_UP);
    EXPECT_EQ(codesOf(7), (std::vector<WORD>{CBN_SELCHANGE, CBN_SELENDOK}))
        << "up from the first: nothing";
    EXPECT_EQ(SendMessage(combo, CB_GETLBTEXTLEN, 1, 0), 3);
}

TEST_F(StandardControls, ScrollBarsKeepTheirPositionInRangeAndTellTheirParent) {
    HWND bar = make("scrollbar", SBS_VERT, 100);
    SetScrollRange(bar, SB_CTL, 0, 20, FALSE);
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 50, TRUE), 0);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 20);
    SCROLLINFO info{sizeof info, SIF_PAGE, 0, 0, 5, 0, 0};
    SetScrollInfo(bar, SB_CTL, &info, FALSE);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 16) << "the last page starts at 16";
    EXPECT_EQ(SetScrollPos(bar, SB_VERT, 3, FALSE), 0) << "only control bars exist";
    kp::ScrollBy(bar, SB_PAGEDOWN);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].message, WM_VSCROLL);
    EXPECT_EQ(LOWORD(notes[0].wParam), SB_PAGEDOWN);
    EXPECT_EQ(notes[0].lParam, reinterpret_cast<LPARAM>(bar));
}

TEST_F(StandardControls, ButtonsClickByMouseAndSpaceButNotWhenDisabled) {
    HWND box = make("button", BS_AUTOCHECKBOX);
    HWND push = make("button", BS_PUSHBUTTON);
    kp::Click(box);
    EXPECT_EQ(SendMessage(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    kp::MouseInput(box, WM_LBUTTONDOWN, 1, 1);
    EXPECT_TRUE(SendMessage(box, BM_GETSTATE, 0, 0) & BST_PUSHED);
    kp::MouseInput(box, WM_LBUTTONUP, 500, 500);
    EXPECT_EQ(SendMessage(box, BM_GETCHECK, 0, 0), BST_CHECKED) << "released outside: no click";
    kp::PressKey(box, VK_SPACE);
    EXPECT_EQ(SendMessage(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    notes.clear();
    EnableWindow(push, FALSE);
    kp::Click(push);
    SendMessage(push, BM_CLICK, 0, 0);
    EXPECT_TRUE(notes.empty());
    SendMessage(push, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessage(push, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "push buttons have no check";
}

}  // namespace
