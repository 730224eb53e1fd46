#include "windows/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/controls.h"
#include "windows/input.h"
#include "windows/window_host.h"

namespace kp = kestra::platform;
using kp::HeadlessHost;

namespace {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;

LRESULT noting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_GETDLGCODE && message != WM_NCHITTEST)
        seen.push_back({window, message, wParam, lParam});
    return DefWindowProc(window, message, wParam, lParam);
}

std::vector<UINT> messagesOf(HWND window) {
    std::vector<UINT> out;
    for (const Seen& s : seen)
        if (s.window == window) out.push_back(s.message);
    return out;
}

bool saw(HWND window, UINT message) {
    for (const Seen& s : seen)
        if (s.window == window && s.message == message) return true;
    return false;
}

class Windows : public ::testing::Test {
  protected:
    void SetUp() override {
        seen.clear();
        WNDCLASS wc{};
        wc.lpfnWndProc = noting;
        wc.cbWndExtra = 8;
        wc.hInstance = instance();
        wc.lpszClassName = "WindowTest";
        RegisterClass(&wc);
    }
    void TearDown() override {
        for (HWND w : made_) DestroyWindow(w);
        UnregisterClass("WindowTest", instance());
    }
    static HINSTANCE instance() { return reinterpret_cast<HINSTANCE>(&seen); }
    HWND make(HWND parent, RECT r, DWORD style = WS_VISIBLE, int id = 0) {
        HWND w = CreateWindow("WindowTest", "", style | (parent ? WS_CHILD : WS_POPUP), r.left,
                              r.top, r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
        if (!parent) made_.push_back(w);
        return w;
    }

    HeadlessHost host_;
    std::vector<HWND> made_;
};

TEST_F(Windows, ClassesRegisterOnceAndGoOnlyWhenUnusedAndAskedByTheirOwner) {
    WNDCLASS wc{};
    wc.lpfnWndProc = noting;
    wc.lpszClassName = "windowtest";
    EXPECT_EQ(RegisterClass(&wc), 0) << "names compare without letter case";
    HWND w = make(nullptr, {0, 0, 10, 10});
    EXPECT_FALSE(UnregisterClass("WindowTest", instance())) << "a window still uses it";
    DestroyWindow(w);
    EXPECT_FALSE(UnregisterClass("WindowTest", nullptr)) << "another instance's class";
    EXPECT_FALSE(UnregisterClass("Edit", nullptr)) << "standard classes stay";
    WNDCLASS edit;
    EXPECT_TRUE(GetClassInfo(nullptr, "EDIT", &edit));
    EXPECT_STREQ(edit.lpszClassName, "edit");
    EXPECT_EQ(
        CreateWindow("NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
}

TEST_F(Windows, ExtraBytesHoldLongsAndRefuseAccessPastTheirEnd) {
    HWND w = make(nullptr, {0, 0, 10, 10});
    EXPECT_EQ(SetWindowLong(w, 0, 100), 0);
    EXPECT_EQ(SetWindowLong(w, 4, -7), 0);
    EXPECT_EQ(GetWindowLong(w, 0), 100);
    EXPECT_EQ(GetWindowLong(w, 4), -7);
    EXPECT_EQ(SetWindowLong(w, 6, 5), 0) << "would run past the eight bytes";
    EXPECT_EQ(GetWindowLong(w, 4), -7);
    EXPECT_EQ(GetWindowLongPtr(w, 8), 0);
    EXPECT_EQ(SetWindowWord(w, 6, 0x1234), 0xFFFF);
    EXPECT_EQ(GetWindowWord(w, 6), 0x1234);
    SetWindowLongPtr(w, GWLP_USERDATA, 42);
    EXPECT_EQ(GetWindowLongPtr(w, GWLP_USERDATA), 42);
    EXPECT_EQ(GetWindowLong(nullptr, 0), 0);
}

TEST_F(Windows, PropertiesAreFoundWithoutRegardToLetterCase) {
    HWND w = make(nullptr, {0, 0, 10, 10});
    int value = 0;
    EXPECT_TRUE(SetProp(w, "RET", &value));
    EXPECT_EQ(GetProp(w, "ret"), &value);
    EXPECT_TRUE(SetProp(w, "Ret", nullptr));
    EXPECT_EQ(GetProp(w, "RET"), nullptr);
    SetProp(w, "HL", &value);
    EXPECT_EQ(RemoveProp(w, "hl"), &value);
    EXPECT_EQ(RemoveProp(w, "hl"), nullptr);
    EXPECT_EQ(GetProp(w, "missing"), nullptr);
}

LRESULT countingEdit(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) seen.push_back({window, message, wParam, lParam});
    auto base = reinterpret_cast<WNDPROC>(GetProp(window, "base"));
    return CallWindowProc(base, window, message, wParam, lParam);
}

TEST_F(Windows, ASubclassedEditSeesTheKeysAndStaysAnEdit) {
    HWND parent = make(nullptr, {0, 0, 100, 100});
    HWND edit = CreateWindow("edit", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 12, parent, nullptr,
                             nullptr, nullptr);
    SetProp(edit, "base", reinterpret_cast<HANDLE>(GetWindowLongPtr(edit, GWLP_WNDPROC)));
    SetWindowLongPtr(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countingEdit));
    kp::TypeText(edit, "ab");
    char text[8];
    GetWindowText(edit, text, sizeof text);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(messagesOf(edit), (std::vector<UINT>{WM_CHAR, WM_CHAR}));
}

TEST_F(Windows, PostedMessagesWaitForDispatchAndSkipWindowsThatWent) {
    HWND a = make(nullptr, {0, 0, 10, 10});
    HWND b = make(nullptr, {0, 0, 10, 10});
    seen.clear();
    EXPECT_TRUE(PostMessage(a, WM_USER + 1, 1, 0));
    EXPECT_TRUE(PostMessage(b, WM_USER + 2, 2, 0));
    EXPECT_TRUE(PostMessage(a, WM_USER + 3, 3, 0));
    EXPECT_TRUE(seen.empty());
    MSG peeked;
    EXPECT_TRUE(PeekMessage(&peeked, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(peeked.message, WM_USER + 2u);
    DestroyWindow(b);
    seen.clear();
    EXPECT_EQ(kp::DispatchPostedMessages(), 2);
    EXPECT_EQ(messagesOf(a), (std::vector<UINT>{WM_USER + 1, WM_USER + 3}));
    EXPECT_FALSE(PostMessage(b, WM_USER, 0, 0)) << "b is gone";
}

TEST_F(Windows, DestroyingTellsTheParentFirstAndForgetsFocusAndCapture) {
    HWND top = make(nullptr, {0, 0, 100, 100});
    HWND child = make(top, {0, 0, 10, 10});
    HWND grandchild = make(child, {0, 0, 5, 5});
    SetFocus(grandchild);
    SetCapture(child);
    seen.clear();
    DestroyWindow(child);
    std::vector<HWND> destroyed;
    for (const Seen& s : seen)
        if (s.message == WM_DESTROY) destroyed.push_back(s.window);
    EXPECT_EQ(destroyed, (std::vector<HWND>{child, grandchild}));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetWindow(top, GW_CHILD), nullptr);
}

LRESULT selfDestroying(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        DestroyWindow(window);
        // The handle is stale now, but still safe to ask about and to message.
        EXPECT_FALSE(IsWindow(window));
        EXPECT_EQ(SendMessage(window, WM_USER + 1, 0, 0), 0);
        SetWindowLong(window, 0, 1);
        return 7;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

TEST_F(Windows, AWindowMayDestroyItselfWhileHandlingAMessage) {
    HWND w = make(nullptr, {0, 0, 10, 10});
    SetWindowLongPtr(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(selfDestroying));
    EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), 7);
    EXPECT_FALSE(IsWindow(w));
}

int timerCalls = 0;
void timerProc(HWND, UINT, UINT_PTR, DWORD) {
    ++timerCalls;
}

TEST_F(Windows, TimersFireEveryIntervalOnTheManualClock) {
    HWND w = make(nullptr, {0, 0, 10, 10});
    seen.clear();
    EXPECT_EQ(SetTimer(w, 5, 100, nullptr), 5u);
    host_.advance(99);
    EXPECT_TRUE(messagesOf(w).empty());
    host_.advance(1);
    EXPECT_EQ(messagesOf(w), std::vector<UINT>{WM_TIMER});
    EXPECT_EQ(seen.back().wParam, 5u);
    host_.advance(250);
    EXPECT_EQ(messagesOf(w).size(), 3u) << "at 100, 200 and 300";
    SetTimer(w, 5, 1000, nullptr);
    host_.advance(999);
    EXPECT_EQ(messagesOf(w).size(), 3u) << "setting the same timer again restarts it";
    EXPECT_TRUE(KillTimer(w, 5));
    EXPECT_FALSE(KillTimer(w, 5));
    host_.advance(5000);
    EXPECT_EQ(messagesOf(w).size(), 3u);

    UINT_PTR id = SetTimer(nullptr, 0, 50, timerProc);
    EXPECT_NE(id, 0u);
    host_.advance(120);
    EXPECT_EQ(timerCalls, 2);
    KillTimer(nullptr, id);
    SetTimer(w, 9, 10, nullptr);
    DestroyWindow(w);
    EXPECT_FALSE(kp::NextTimerDue()) << "a window's timers go with it";
}

TEST_F(Windows, FocusMessagesNameTheOtherWindow) {
    HWND top = make(nullptr, {0, 0, 100, 100});
    HWND a = make(top, {0, 0, 10, 10});
    HWND b = make(top, {20, 0, 30, 10});
    SetFocus(a);
    seen.clear();
    EXPECT_EQ(SetFocus(b), a);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, a);
    EXPECT_EQ(seen[0].message, WM_KILLFOCUS);
    EXPECT_EQ(seen[0].wParam, reinterpret_cast<WPARAM>(b));
    EXPECT_EQ(seen[1].window, b);
    EXPECT_EQ(seen[1].message, WM_SETFOCUS);
    EXPECT_EQ(seen[1].wParam, reinterpret_cast<WPARAM>(a));
    ShowWindow(b, SW_HIDE);
    EXPECT_EQ(GetFocus(), nullptr) << "a hidden window loses the focus";
}

TEST_F(Windows, MouseInputFollowsTheCaptureAndSkipsDisabledWindows) {
    HWND top = make(nullptr, {100, 100, 300, 300});
    HWND a = make(top, {10, 10, 50, 50});
    HWND b = make(top, {100, 100, 150, 150});
    SetCapture(a);
    seen.clear();
    kp::MouseInput(b, WM_MOUSEMOVE, 5, 6);
    ASSERT_EQ(messagesOf(a), std::vector<UINT>{WM_MOUSEMOVE});
    EXPECT_EQ(GET_X_LPARAM(seen[0].lParam), 95) << "b's point in a's coordinates";
    EXPECT_EQ(GET_Y_LPARAM(seen[0].lParam), 96);
    ReleaseCapture();
    EXPECT_TRUE(saw(a, WM_CAPTURECHANGED));
    seen.clear();
    EXPECT_FALSE(EnableWindow(top, FALSE)) << "it was enabled";
    kp::MouseInput(b, WM_LBUTTONDOWN, 1, 1);
    EXPECT_TRUE(messagesOf(b).empty()) << "its parent is disabled";
    EXPECT_TRUE(EnableWindow(top, TRUE)) << "it was disabled";
    kp::MouseInput(b, WM_LBUTTONDOWN, 1, 1);
    EXPECT_EQ(messagesOf(b), std::vector<UINT>{WM_LBUTTONDOWN});
}

TEST_F(Windows, RectanglesAreScreenAndClientCoordinatesAroundTheFrame) {
    HWND top = make(nullptr, {100, 50, 300, 250}, WS_VISIBLE | WS_CAPTION);
    RECT client;
    GetClientRect(top, &client);
    int frame = GetSystemMetrics(SM_CXDLGFRAME), caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(client.right, 200 - 2 * frame);
    EXPECT_EQ(client.bottom, 200 - 2 * frame - caption);
    HWND child = make(top, {10, 20, 40, 30});
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 100 + frame + 10);
    EXPECT_EQ(r.top, 50 + frame + caption + 20);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, r.left);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    POINT q{1, 2};
    MapWindowPoints(child, nullptr, &q, 1);
    EXPECT_EQ(q.x, r.left + 1);
    seen.clear();
    MoveWindow(child, 0, 0, 50, 20, FALSE);
    EXPECT_EQ(messagesOf(child), (std::vector<UINT>{WM_MOVE, WM_SIZE}));
    EXPECT_EQ(seen.back().lParam, MAKELPARAM(50, 20));
}

TEST_F(Windows, WindowsOfAParentAreInCreationOrder) {
    HWND top = make(nullptr, {0, 0, 100, 100});
    HWND a = make(top, {0, 0, 1, 1}, WS_VISIBLE, 1);
    HWND b = make(top, {0, 0, 1, 1}, WS_VISIBLE, 2);
    HWND c = make(b, {0, 0, 1, 1}, WS_VISIBLE, 3);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDPREV), a);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), nullptr);
    EXPECT_TRUE(IsChild(top, c));
    EXPECT_FALSE(IsChild(a, c));
    EXPECT_EQ(GetAncestor(c, GA_ROOT), top);
    EXPECT_EQ(GetAncestor(top, GA_ROOT), top);
    EXPECT_EQ(GetAncestor(c, GA_PARENT), b);
    EXPECT_EQ(GetAncestor(top, GA_PARENT), nullptr) << "a top-level window has no parent";
    HWND owned = CreateWindow("WindowTest", "", WS_POPUP, 0, 0, 1, 1, c, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetAncestor(owned, GA_ROOT), owned) << "an owned window is a top-level window";
    DestroyWindow(owned);
    std::vector<HWND> all;
    EnumChildWindows(
        top,
        [](HWND w, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    EXPECT_EQ(all, (std::vector<HWND>{a, b, c}));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(c)) << "an ancestor is hidden";
}

TEST(CharacterClasses, LettersIncludeAccentedOnesButNotDigitsOrSigns) {
    for (UINT c : {UINT('a'), UINT('Z'), 0xE9u, 0xC0u, 0x3B1u, 0x430u})
        EXPECT_TRUE(IsCharAlpha(c)) << c;
    for (UINT c : {UINT('0'), UINT('-'), UINT(' '), 0xD7u, 0xF7u, 0x20ACu})
        EXPECT_FALSE(IsCharAlpha(c)) << c;
}

}  // namespace
