#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "utilities/k32fabutil1.h"
#include "windows/canvas.h"
#include "windows/input.h"
#include "windows/window_host.h"

namespace kp = kestra::platform;
using kp::CanvasOp;
using kp::HeadlessHost;

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> received;

// A parent window that notes the messages its controls send it.
LRESULT parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSpinStepMessage || message == kNoAlphaEditKey || message == WM_COMMAND)
        received.push_back({message, wParam, lParam});
    return DefWindowProc(window, message, wParam, lParam);
}

int stepsOf(WORD half) {
    return static_cast<int>(std::count_if(received.begin(), received.end(), [&](const Received& r) {
        return r.message == kSpinStepMessage && LOWORD(r.lParam) == half;
    }));
}

std::vector<CanvasOp> opsOf(const std::vector<CanvasOp>& ops, CanvasOp::Kind kind) {
    std::vector<CanvasOp> out;
    std::copy_if(ops.begin(), ops.end(), std::back_inserter(out),
                 [&](const CanvasOp& op) { return op.kind == kind; });
    return out;
}

bool sameRect(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

class CustomControls : public ::testing::Test {
  protected:
    void SetUp() override {
        received.clear();
        WNDCLASS wc{};
        wc.lpfnWndProc = parentProc;
        wc.lpszClassName = "ControlsTestParent";
        RegisterClass(&wc);
        parent_ = CreateWindow("ControlsTestParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300,
                               nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }

    HWND child(const char* className, int id, RECT r, DWORD style = 0, const char* text = "") {
        return CreateWindow(className, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, parent_,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    }

    HeadlessHost host_;
    HWND parent_ = nullptr;
};

TEST_F(CustomControls, TheLibraryRegisteredItsClassesWithItsProcedures) {
    struct {
        const char* name;
        WNDPROC proc;
    } expected[] = {{kSpinClass, SpinControlProc},
                    {kMeterClass, XORMeterWndFn},
                    {kNoAlphaEditClass, DlgNoAlphaEditProc},
                    {kCheckBoxOnlyClass, CheckBoxOnlyProc},
                    {kBitmapButtonClass, TarvelButtonProc}};
    for (const auto& e : expected) {
        WNDCLASS wc;
        ASSERT_TRUE(GetClassInfo(nullptr, e.name, &wc)) << e.name;
        EXPECT_EQ(wc.lpfnWndProc, e.proc) << e.name;
        EXPECT_TRUE(wc.style & CS_GLOBALCLASS) << e.name;
        EXPECT_TRUE(wc.style & CS_DBLCLKS) << e.name;
    }
    WNDCLASS spin;
    GetClassInfo(nullptr, kSpinClass, &spin);
    EXPECT_EQ(spin.cbWndExtra, 8);
}

TEST_F(CustomControls, HoldingTheSpinControlsUpperHalfOneSecondSendsSevenSteps) {
    HWND spin = child(kSpinClass, 2001, {10, 10, 22, 34});
    kp::MouseInput(spin, WM_LBUTTONDOWN, 6, 3, MK_LBUTTON);
    EXPECT_EQ(stepsOf(kSpinUp), 1) << "one step at once";
    EXPECT_EQ(GetFocus(), spin);
    EXPECT_EQ(GetCapture(), spin);
    host_.advance(1000);
    kp::MouseInput(spin, WM_LBUTTONUP, 6, 3);
    EXPECT_EQ(stepsOf(kSpinUp), 7) << "and one every 150 ms";
    EXPECT_EQ(stepsOf(kSpinDown), 0);
    EXPECT_EQ(received.front().wParam, reinterpret_cast<WPARAM>(spin));
    host_.advance(1000);
    EXPECT_EQ(stepsOf(kSpinUp), 7) << "nothing after the button is up";
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetWindowLong(spin, 4), 255);
}

TEST_F(CustomControls, MovingOffTheSpinControlStopsTheStepsAndMovingBackResumesThem) {
    HWND spin = child(kSpinClass, 2001, {10, 10, 22, 34});
    kp::MouseInput(spin, WM_LBUTTONDOWN, 6, 20, MK_LBUTTON);
    host_.advance(300);
    EXPECT_EQ(stepsOf(kSpinDown), 3);
    kp::MouseInput(spin, WM_MOUSEMOVE, 100, 100, MK_LBUTTON);
    host_.advance(600);
    EXPECT_EQ(stepsOf(kSpinDown), 3);
    kp::MouseInput(spin, WM_MOUSEMOVE, 6, 20, MK_LBUTTON);
    host_.advance(150);
    EXPECT_EQ(stepsOf(kSpinDown), 4);
    kp::MouseInput(spin, WM_LBUTTONUP, 6, 20);
}

TEST_F(CustomControls, SpinControlSideBySideStepsWithArrowKeysThroughPostedMessages) {
    HWND spin = child(kSpinClass, 2001, {10, 10, 34, 22}, 1);
    kp::MouseInput(spin, WM_LBUTTONDOWN, 20, 5, MK_LBUTTON);
    kp::MouseInput(spin, WM_LBUTTONUP, 20, 5);
    EXPECT_EQ(stepsOf(kSpinDown), 1) << "the right half";
    EXPECT_EQ(SendMessage(spin, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
    SendMessage(spin, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(stepsOf(kSpinUp), 0) << "key steps are posted";
    EXPECT_EQ(GetWindowLong(spin, 4), 0);
    kp::DispatchPostedMessages();
    EXPECT_EQ(stepsOf(kSpinUp), 1);
    SendMessage(spin, WM_KEYUP, VK_LEFT, 0);
    EXPECT_EQ(GetWindowLong(spin, 4), 255);
    kp::PressKey(spin, VK_DOWN);
    EXPECT_EQ(stepsOf(kSpinDown), 2);
}

TEST_F(CustomControls, SpinFocusMarkGoesAroundTheNamedWindowTheFrameOrTheSpinItself) {
    HWND spin = child(kSpinClass, 2001, {100, 10, 112, 34});
    HWND other = child("button", 1, {0, 200, 50, 220});
    SetFocus(spin);
    RECT own{100 - 4, 10 - 4, 112 + 4, 34 + 4};
    ASSERT_EQ(kp::FocusMarks(parent_).size(), 1u);
    EXPECT_TRUE(sameRect(kp::FocusMarks(parent_)[0], own));
    SetFocus(other);
    EXPECT_TRUE(kp::FocusMarks(parent_).empty()) << "losing the focus takes the mark away";

    HWND frame = child("static", 2000, {40, 10, 90, 34});
    SetFocus(spin);
    ASSERT_EQ(kp::FocusMarks(parent_).size(), 1u);
    EXPECT_TRUE(sameRect(kp::FocusMarks(parent_)[0], RECT{42, 12, 88, 32}));
    SetFocus(other);

    HWND named = child("edit", 5, {10, 50, 60, 70});
    SetProp(spin, "FocHwnd", named);
    SetFocus(spin);
    ASSERT_EQ(kp::FocusMarks(parent_).size(), 1u);
    EXPECT_TRUE(sameRect(kp::FocusMarks(parent_)[0], RECT{12, 52, 58, 68}));
    (void)frame;
}

TEST_F(CustomControls, SpinPaintsTwoRaisedHalvesWithArrowsPointingAway) {
    HWND spin = child(kSpinClass, 2001, {10, 10, 22, 34});
    auto polygons = opsOf(host_.paint(spin), CanvasOp::Kind::Polygon);
    ASSERT_EQ(polygons.size(), 2u);
    EXPECT_LT(polygons[0].points[0].y, polygons[0].points[1].y) << "upper arrow points up";
    EXPECT_GT(polygons[1].points[0].y, polygons[1].points[1].y) << "lower arrow points down";
    EXPECT_EQ(polygons[0].colour, GetSysColor(COLOR_BTNTEXT));
}

TEST_F(CustomControls, MeterAt200And50Shows25PercentWithAQuarterFilled) {
    HWND meter = child(kMeterClass, 10, {0, 0, 200, 20});
    EXPECT_EQ(SendMessage(meter, kMeterGetRange, 0, 0), 100);
    EXPECT_EQ(SendMessage(meter, kMeterGetPosition, 0, 0), 0);
    SendMessage(meter, kMeterSetRange, 200, 0);
    SendMessage(meter, kMeterSetPosition, 50, 0);
    EXPECT_EQ(SendMessage(meter, kMeterGetRange, 0, 0), 200);
    EXPECT_EQ(SendMessage(meter, kMeterGetPosition, 0, 0), 50);

    auto ops = host_.paint(meter);
    auto fills = opsOf(ops, CanvasOp::Kind::Fill);
    auto texts = opsOf(ops, CanvasOp::Kind::Text);
    ASSERT_EQ(fills.size(), 2u);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(sameRect(fills[0].rect, RECT{0, 0, 50, 20}));
    EXPECT_EQ(fills[0].colour, RGB(0, 0, 255));
    EXPECT_TRUE(sameRect(fills[1].rect, RECT{50, 0, 200, 20}));
    EXPECT_EQ(fills[1].colour, RGB(0xC0, 0xC0, 0xC0));
    for (const auto& text : texts) {
        EXPECT_EQ(text.text, "25%");
        EXPECT_TRUE(text.clipped);
    }
    EXPECT_EQ(texts[0].colour, RGB(0xC0, 0xC0, 0xC0)) << "light grey on the bar";
    EXPECT_EQ(texts[1].colour, RGB(0, 0, 255)) << "blue beside it";
    EXPECT_TRUE(sameRect(texts[0].rect, fills[0].rect));
    SIZE extent = kp::FixedTextSize("25%", kp::DefaultFont());
    EXPECT_EQ(texts[0].from.x, (200 - extent.cx) / 2);
}

TEST_F(CustomControls, MeterDrawsNothingWithoutARangeAndNeverMoreThanFull) {
    HWND meter =
        child(kMeterClass, 10, {0, 0, 104, 40}, kMeterSunken | kMeterBlackFrame | kMeterVertical);
    SendMessage(meter, kMeterSetRange, 0, 0);
    EXPECT_TRUE(host_.paint(meter).empty());

    SendMessage(meter, kMeterSetRange, 10, 0);
    SendMessage(meter, kMeterSetPosition, 25, 0);
    auto ops = host_.paint(meter);
    auto texts = opsOf(ops, CanvasOp::Kind::Text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].text, "100%");
    auto fills = opsOf(ops, CanvasOp::Kind::Fill);
    // Border line pens and the black frame shrink the inside by 2 on every side; the bar fills
    // from the bottom.
    auto bar = std::find_if(fills.begin(), fills.end(),
                            [](const CanvasOp& f) { return f.colour == RGB(0, 0, 255); });
    ASSERT_NE(bar, fills.end());
    EXPECT_TRUE(sameRect(bar->rect, RECT{2, 2, 102, 38}));

    SendMessage(meter, kMeterSetPosition, static_cast<WPARAM>(-5), 0);
    texts = opsOf(host_.paint(meter), CanvasOp::Kind::Text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0].text, "0%");
}

TEST_F(CustomControls, ALetterTypedIntoTheLetterRefusingEditBeepsAndLeavesTheText) {
    HWND edit = child(kNoAlphaEditClass, 20, {0, 0, 80, 20}, WS_TABSTOP, "12");
    SendMessage(edit, EM_SETSEL, 2, 2);
    unsigned beeps = kp::BeepCount();
    kp::TypeText(edit, "a");
    EXPECT_EQ(kp::BeepCount(), beeps + 1);
    char text[16];
    GetWindowText(edit, text, sizeof text);
    EXPECT_STREQ(text, "12");
    kp::TypeText(edit, "3Z4\xC3\xA9");
    GetWindowText(edit, text, sizeof text);
    EXPECT_STREQ(text, "1234") << "digits pass, letters (accented ones too) do not";
    EXPECT_EQ(kp::BeepCount(), beeps + 3);
}

TEST_F(CustomControls, LetterRefusingEditWithRetReportsTabAndEnterToItsDialog) {
    static const DialogItemTemplate items[] = {
        {20, kNoAlphaEditClass, "", 4, 4, 40, 12, WS_VISIBLE | WS_TABSTOP},
        {IDOK, "button", "OK", 4, 20, 40, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    };
    static const DialogTemplate dialogTemplate{"T", 0,        "T",     0, 0,     100,
                                               40,  WS_POPUP, nullptr, 0, items, 2};
    static std::vector<UINT> commands;
    commands.clear();
    auto proc = [](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND) commands.push_back(LOWORD(wParam));
        if (message == kNoAlphaEditKey) commands.push_back(kNoAlphaEditKey);
        return message == WM_INITDIALOG;
    };
    HWND dialog = CreateDialogIndirectParam(nullptr, &dialogTemplate, nullptr, proc, 0);
    HWND edit = GetDlgItem(dialog, 20);
    ASSERT_EQ(GetFocus(), edit);
    commands.clear();
    kp::PressKey(edit, VK_RETURN);
    EXPECT_EQ(commands, std::vector<UINT>{IDOK}) << "without RET the dialog manager has Enter";

    commands.clear();
    SetProp(edit, "RET", reinterpret_cast<HANDLE>(1));
    EXPECT_TRUE(SendMessage(edit, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS);
    kp::PressKey(edit, VK_RETURN);
    kp::PressKey(edit, VK_TAB);
    EXPECT_EQ(commands, (std::vector<UINT>{kNoAlphaEditKey, kNoAlphaEditKey}));
    EXPECT_EQ(GetFocus(), edit) << "Tab did not move the focus";
    DestroyWindow(dialog);
}

TEST_F(CustomControls, CheckBoxDrawsItsFocusMarkOnTheParentAndStillChecks) {
    HWND box = child(kCheckBoxOnlyClass, 30, {20, 30, 80, 42}, BS_AUTOCHECKBOX | WS_TABSTOP, "Box");
    HWND other = child("button", 31, {0, 100, 40, 120});
    SetFocus(box);
    ASSERT_EQ(kp::FocusMarks(parent_).size(), 1u);
    EXPECT_TRUE(sameRect(kp::FocusMarks(parent_)[0], RECT{16, 28, 80, 44}));
    SetFocus(other);
    EXPECT_TRUE(kp::FocusMarks(parent_).empty());
    kp::Click(box);
    EXPECT_EQ(SendMessage(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().wParam, MAKEWPARAM(30, BN_CLICKED));
}

class BitmapButton : public CustomControls {
  protected:
    HBITMAP bitmap(int w, int h) {
        HBITMAP b = CreateCompatibleBitmap(nullptr, w, h);
        kp::BitmapPixels(b)[0] = 0;
        return b;
    }
    std::vector<CanvasOp> drawn(HWND button) {
        auto ops = host_.paint(button);
        std::erase_if(ops, [](const CanvasOp& op) {
            return op.kind != CanvasOp::Kind::Blit && op.kind != CanvasOp::Kind::Mask &&
                   op.kind != CanvasOp::Kind::FocusRect;
        });
        return ops;
    }
};

TEST_F(BitmapButton, PaintsNothingWithoutOptionsThenTheBitmapShiftedWhilePressed) {
    std::size_t before = kp::LiveGdiObjects();
    HWND button = child(kBitmapButtonClass, 40, {0, 0, 40, 30});
    HBITMAP normal = bitmap(8, 8);
    SetProp(button, "BBmp", normal);
    EXPECT_TRUE(drawn(button).empty());

    SetProp(button, "BmpOp", reinterpret_cast<HANDLE>(0x10));
    auto ops = drawn(button);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].kind, CanvasOp::Kind::Blit);
    EXPECT_TRUE(sameRect(ops[0].rect, RECT{4, 4, 12, 12}));
    EXPECT_EQ(ops[0].op, kp::BlitOp::Copy);

    SendMessage(button, BM_SETSTATE, TRUE, 0);
    ops = drawn(button);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_TRUE(sameRect(ops[0].rect, RECT{6, 6, 14, 14}));

    SetProp(button, "BmpOp", reinterpret_cast<HANDLE>(kButtonStretch | kButtonCombineAnd));
    SendMessage(button, BM_SETSTATE, FALSE, 0);
    ops = drawn(button);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_TRUE(sameRect(ops[0].rect, RECT{4, 4, 36, 26}));
    EXPECT_EQ(ops[0].op, kp::BlitOp::And);

    DestroyWindow(button);
    EXPECT_EQ(kp::LiveGdiObjects(), before) << "the button deletes its bitmaps";
}

TEST_F(BitmapButton, DisabledWithoutADisabledBitmapEmbossesTheNormalOne) {
    HWND button = child(kBitmapButtonClass, 40, {0, 0, 40, 30});
    SetProp(button, "BBmp", bitmap(8, 8));
    SetProp(button, "BmpOp", reinterpret_cast<HANDLE>(kButtonNoFocusRect));
    EnableWindow(button, FALSE);
    auto ops = drawn(button);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, CanvasOp::Kind::Mask);
    EXPECT_EQ(ops[0].colour, RGB(255, 255, 255));
    EXPECT_TRUE(sameRect(ops[0].rect, RECT{5, 5, 13, 13}));
    EXPECT_EQ(ops[1].colour, GetSysColor(COLOR_BTNSHADOW));
    EXPECT_TRUE(sameRect(ops[1].rect, RECT{4, 4, 12, 12}));

    HBITMAP disabled = bitmap(6, 6);
    SetProp(button, "BBmpD", disabled);
    ops = drawn(button);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].bitmap, static_cast<const HBITMAP__*>(disabled));
    EnableWindow(button, TRUE);
    SetFocus(button);
    ops = drawn(button);
    EXPECT_EQ(opsOf(ops, CanvasOp::Kind::FocusRect).size(), 0u) << "option bit 2 hides it";
    SetProp(button, "BmpOp", reinterpret_cast<HANDLE>(0x10));
    EXPECT_EQ(opsOf(drawn(button), CanvasOp::Kind::FocusRect).size(), 1u);
}

TEST_F(CustomControls, BitmapFrameShowsItsBitmapOrWhiteAndNeverErases) {
    std::size_t before = kp::LiveGdiObjects();
    HWND frame = child("static", 50, {0, 0, 30, 20}, SS_BLACKFRAME);
    SetWindowLongPtr(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticBmpFrameProc));
    auto fills = opsOf(host_.paint(frame), CanvasOp::Kind::Fill);
    ASSERT_EQ(fills.size(), 1u) << "no background erase, only the white inside";
    EXPECT_TRUE(sameRect(fills[0].rect, RECT{2, 2, 28, 18}));
    EXPECT_EQ(fills[0].colour, RGB(255, 255, 255));

    SetProp(frame, "SBmp", CreateCompatibleBitmap(nullptr, 100, 5));
    auto blits = opsOf(host_.paint(frame), CanvasOp::Kind::Blit);
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_TRUE(sameRect(blits[0].rect, RECT{2, 2, 28, 7})) << "unscaled, cut to the inside";
    EXPECT_TRUE(sameRect(blits[0].source, RECT{0, 0, 26, 5}));
    DestroyWindow(frame);
    EXPECT_EQ(kp::LiveGdiObjects(), before);
}

}  // namespace
