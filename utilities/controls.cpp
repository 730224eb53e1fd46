// K32FABUTIL1 custom controls: spin control, meter, letter-refusing edit, focus-drawing check
// box, bitmap button and bitmap frame, and their registration at load.
#include "utilities/controls.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "platform/records.h"
#include "utilities/boundary.h"
#include "windows/canvas.h"
#include "windows/controls.h"
#include "windows/dialog.h"

namespace {

using kestra::utilities::AtBoundary;

// The procedures of the standard classes the subclasses hand on to.
WNDPROC editProc = nullptr;
WNDPROC buttonProc = nullptr;
WNDPROC staticProc = nullptr;

LRESULT base(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? CallWindowProc(proc, window, message, wParam, lParam)
                : DefWindowProc(window, message, wParam, lParam);
}

// The window's rectangle in its parent's client coordinates.
RECT rectInParent(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Toggles a focus rectangle on the parent window.
void toggleFocusOnParent(HWND window, const RECT& rect) {
    HWND parent = GetParent(window);
    HDC dc = GetDC(parent);
    DrawFocusRect(dc, &rect);
    ReleaseDC(parent, dc);
}

// A bitmap drawn into a device context through a memory context.
class SelectedBitmap {
  public:
    SelectedBitmap(HDC target, HBITMAP bitmap)
        : dc_(CreateCompatibleDC(target)), old_(SelectObject(dc_, bitmap)) {
        BITMAP info{};
        GetObject(bitmap, sizeof info, &info);
        width_ = info.bmWidth;
        height_ = info.bmHeight;
    }
    ~SelectedBitmap() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC dc() const { return dc_; }
    LONG width() const { return width_; }
    LONG height() const { return height_; }

  private:
    HDC dc_;
    HGDIOBJ old_;
    LONG width_ = 0, height_ = 0;
};

// --- spin control ---------------------------------------------------------------------------

constexpr int kHeldLong = 0;       // 1 while the mouse button is held
constexpr int kHighlightLong = 4;  // highlighted half
constexpr LONG kNoHalf = 255;
constexpr UINT_PTR kRepeatTimer = 100;
constexpr UINT kRepeatMilliseconds = 150;

bool sideBySide(HWND spin) {
    return (GetWindowLongPtr(spin, GWL_STYLE) & 1) != 0;
}

LONG halfAt(HWND spin, POINT point) {
    RECT client;
    GetClientRect(spin, &client);
    if (!PtInRect(&client, point)) return kNoHalf;
    return sideBySide(spin) ? (point.x < client.right / 2 ? 0 : 1)
                            : (point.y < client.bottom / 2 ? 0 : 1);
}

void highlight(HWND spin, LONG half) {
    if (GetWindowLong(spin, kHighlightLong) == half) return;
    SetWindowLong(spin, kHighlightLong, half);
    InvalidateRect(spin, nullptr, FALSE);
}

void sendStep(HWND spin, LONG half) {
    SendMessage(GetParent(spin), kSpinStepMessage, reinterpret_cast<WPARAM>(spin),
                static_cast<LPARAM>(half));
}

void stopHolding(HWND spin) {
    KillTimer(spin, kRepeatTimer);
    SetWindowLong(spin, kHeldLong, 0);
    highlight(spin, kNoHalf);
}

// The focus mark goes around the window named by the "FocHwnd" property, or around the
// parent's control 2000 (the frame of the value the spin control steps), or around the spin
// control itself.
void toggleSpinFocus(HWND spin) {
    RECT rect;
    auto named = static_cast<HWND>(GetProp(spin, "FocHwnd"));
    HWND frame = IsWindow(named) ? named : GetDlgItem(GetParent(spin), 2000);
    if (frame) {
        rect = rectInParent(frame);
        InflateRect(&rect, -2, -2);
    } else {
        rect = rectInParent(spin);
        InflateRect(&rect, GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME));
    }
    toggleFocusOnParent(spin, rect);
}

void paintArrow(HDC dc, const RECT& r, int direction /* 0 up, 1 down, 2 left, 3 right */) {
    LONG w = r.right - r.left, h = r.bottom - r.top;
    LONG size = std::max<LONG>(2, std::min(w, h) / 3);
    LONG cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    POINT points[3];
    switch (direction) {
        case 0:
            points[0] = {cx, cy - size / 2};
            points[1] = {cx - size, cy + size / 2};
            points[2] = {cx + size, cy + size / 2};
            break;
        case 1:
            points[0] = {cx, cy + size / 2};
            points[1] = {cx - size, cy - size / 2};
            points[2] = {cx + size, cy - size / 2};
            break;
        case 2:
            points[0] = {cx - size / 2, cy};
            points[1] = {cx + size / 2, cy - size};
            points[2] = {cx + size / 2, cy + size};
            break;
        default:
            points[0] = {cx + size / 2, cy};
            points[1] = {cx - size / 2, cy - size};
            points[2] = {cx - size / 2, cy + size};
            break;
    }
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_BTNTEXT));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, points, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void paintSpin(HWND spin) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(spin, &paint);
    RECT client;
    GetClientRect(spin, &client);
    bool across = sideBySide(spin);
    RECT halves[2] = {client, client};
    if (across) {
        halves[0].right = halves[1].left = client.right / 2;
    } else {
        halves[0].bottom = halves[1].top = client.bottom / 2;
    }
    LONG lit = GetWindowLong(spin, kHighlightLong);
    for (int i = 0; i < 2; ++i) {
        RECT face = halves[i];
        DrawEdge(dc, &face, lit == i ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        paintArrow(dc, face, across ? 2 + i : i);
    }
    EndPaint(spin, &paint);
}

LRESULT spinProc(HWND spin, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            SetWindowLong(spin, kHeldLong, 0);
            SetWindowLong(spin, kHighlightLong, kNoHalf);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            SetFocus(spin);
            SetCapture(spin);
            SetWindowLong(spin, kHeldLong, 1);
            LONG half = halfAt(spin, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            highlight(spin, half);
            if (half != kNoHalf) sendStep(spin, half);
            SetTimer(spin, kRepeatTimer, kRepeatMilliseconds, nullptr);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kRepeatTimer && GetWindowLong(spin, kHighlightLong) != kNoHalf)
                sendStep(spin, GetWindowLong(spin, kHighlightLong));
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == spin && GetWindowLong(spin, kHeldLong))
                highlight(spin, halfAt(spin, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
            return 0;
        case WM_LBUTTONUP:
        case WM_CANCELMODE:
            stopHolding(spin);
            if (GetCapture() == spin) ReleaseCapture();
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != spin && GetWindowLong(spin, kHeldLong))
                stopHolding(spin);
            return 0;
        case WM_KEYDOWN: {
            LONG half = (wParam == VK_LEFT || wParam == VK_UP)      ? 0
                        : (wParam == VK_RIGHT || wParam == VK_DOWN) ? 1
                                                                    : kNoHalf;
            if (half == kNoHalf) return 0;
            highlight(spin, half);
            PostMessage(GetParent(spin), kSpinStepMessage, reinterpret_cast<WPARAM>(spin), half);
            return 0;
        }
        case WM_KEYUP:
            highlight(spin, kNoHalf);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            toggleSpinFocus(spin);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paintSpin(spin);
            return 0;
        default:
            return DefWindowProc(spin, message, wParam, lParam);
    }
}

// --- meter ----------------------------------------------------------------------------------

constexpr int kRangeLong = 0;
constexpr int kPositionLong = 4;
constexpr COLORREF kMeterBlue = RGB(0, 0, 255);
constexpr COLORREF kMeterGrey = RGB(0xC0, 0xC0, 0xC0);

void line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void meterBorder(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    HPEN first = CreatePen(PS_SOLID, 1, topLeft), second = CreatePen(PS_SOLID, 1, bottomRight);
    HGDIOBJ old = SelectObject(dc, first);
    line(dc, r.left, r.bottom - 1, r.left, r.top);
    line(dc, r.left, r.top, r.right - 1, r.top);
    SelectObject(dc, second);
    line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1);
    line(dc, r.right - 1, r.bottom - 1, r.left, r.bottom - 1);
    SelectObject(dc, old);
    DeleteObject(first);
    DeleteObject(second);
    InflateRect(&r, -1, -1);
}

void paintMeter(HWND meter) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(meter, &paint);
    long long range = GetWindowLong(meter, kRangeLong);
    long long position = GetWindowLong(meter, kPositionLong);
    if (range != 0) {
        auto style = static_cast<DWORD>(GetWindowLongPtr(meter, GWL_STYLE));
        auto percent = static_cast<int>(std::clamp<long long>(position * 100 / range, 0, 100));
        RECT r;
        GetClientRect(meter, &r);
        if (style & kMeterSunken)
            meterBorder(dc, r, GetSysColor(COLOR_BTNSHADOW), RGB(255, 255, 255));
        else if (style & kMeterRaised)
            meterBorder(dc, r, RGB(255, 255, 255), GetSysColor(COLOR_BTNSHADOW));
        if (style & kMeterBlackFrame) {
            FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            InflateRect(&r, -1, -1);
        }
        RECT filled = r, rest = r;
        if (style & kMeterVertical) {
            filled.top = rest.bottom = r.bottom - (r.bottom - r.top) * percent / 100;
        } else {
            filled.right = rest.left = r.left + (r.right - r.left) * percent / 100;
        }
        char text[16];
        int length = std::snprintf(text, sizeof text, "%d%%", percent);
        SIZE extent;
        GetTextExtentPoint32(dc, text, length, &extent);
        int x = r.left + (r.right - r.left - extent.cx) / 2;
        int y = r.top + (r.bottom - r.top - extent.cy) / 2;
        SetBkColor(dc, kMeterBlue);
        SetTextColor(dc, kMeterGrey);
        ExtTextOut(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &filled, text, static_cast<UINT>(length),
                   nullptr);
        SetBkColor(dc, kMeterGrey);
        SetTextColor(dc, kMeterBlue);
        ExtTextOut(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &rest, text, static_cast<UINT>(length),
                   nullptr);
    }
    EndPaint(meter, &paint);
}

LRESULT meterProc(HWND meter, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            SetWindowLong(meter, kRangeLong, 100);
            SetWindowLong(meter, kPositionLong, 0);
            return 0;
        case kMeterSetRange:
            SetWindowLong(meter, kRangeLong, static_cast<LONG>(wParam));
            return 0;
        case kMeterGetRange:
            return GetWindowLong(meter, kRangeLong);
        case kMeterSetPosition:
            SetWindowLong(meter, kPositionLong, static_cast<LONG>(wParam));
            InvalidateRect(meter, nullptr, FALSE);
            return 0;
        case kMeterGetPosition:
            return GetWindowLong(meter, kPositionLong);
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paintMeter(meter);
            return 0;
        default:
            return DefWindowProc(meter, message, wParam, lParam);
    }
}

// --- letter-refusing edit, focus-drawing check box ------------------------------------------

LRESULT noAlphaEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR:
            if (IsCharAlpha(static_cast<UINT>(wParam))) {
                MessageBeep(0);
                return 0;
            }
            if ((wParam == '\t' || wParam == '\r') && GetProp(edit, "RET")) {
                SendMessage(GetParent(edit), kNoAlphaEditKey, reinterpret_cast<WPARAM>(edit), 0);
                return 0;
            }
            break;
        case WM_GETDLGCODE:
            if (GetProp(edit, "RET"))
                return DLGC_WANTALLKEYS | base(editProc, edit, message, wParam, lParam);
            break;
        case WM_DESTROY:
            RemoveProp(edit, "RET");
            break;
        default:
            break;
    }
    return base(editProc, edit, message, wParam, lParam);
}

LRESULT checkBoxOnlyProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        RECT rect = rectInParent(box);
        InflateRect(&rect, 2, 2);
        OffsetRect(&rect, -2, 0);
        toggleFocusOnParent(box, rect);
        return 0;
    }
    return base(buttonProc, box, message, wParam, lParam);
}

// --- bitmap button --------------------------------------------------------------------------

// The "HL" block: pressed flag, enabled flag.
struct ButtonFlags {
    kestra::le32 pressed;
    kestra::le32 enabled;
    std::uint8_t reserved[16];
};
static_assert(sizeof(ButtonFlags) == 24);

HGLOBAL flagsHandle(HWND button) {
    return static_cast<HGLOBAL>(reinterpret_cast<std::uintptr_t>(GetProp(button, "HL")));
}

template <typename Change>
void changeFlags(HWND button, Change change) {
    GlobalLockGuard lock(flagsHandle(button));
    if (lock && lock.bytes().size() >= sizeof(ButtonFlags))
        change(kestra::RecordAt<ButtonFlags>(lock.data()));
}

ButtonFlags readFlags(HWND button) {
    ButtonFlags flags{};
    flags.enabled = 1;
    changeFlags(button, [&](ButtonFlags& f) { flags = f; });
    return flags;
}

void paintButtonBitmap(HWND button) {
    auto options = reinterpret_cast<UINT_PTR>(GetProp(button, "BmpOp"));
    if (!options) return;
    ButtonFlags flags = readFlags(button);
    auto bitmap = static_cast<HBITMAP>(GetProp(button, "BBmp"));
    auto disabledBitmap = static_cast<HBITMAP>(GetProp(button, "BBmpD"));
    bool enabled = flags.enabled != 0u;
    bool emboss = !enabled && !disabledBitmap;
    if (!enabled && disabledBitmap) bitmap = disabledBitmap;
    if (!bitmap) return;

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(button, &paint);
    RECT client, area;
    GetClientRect(button, &client);
    int border = GetSystemMetrics(SM_CXBORDER);
    area = client;
    InflateRect(&area, -4 * border, -4 * border);
    if (flags.pressed != 0u) OffsetRect(&area, 2 * border, 2 * border);
    {
        SelectedBitmap source(dc, bitmap);
        bool stretch = options & kButtonStretch;
        LONG width =
            stretch ? area.right - area.left : std::min(source.width(), area.right - area.left);
        LONG height =
            stretch ? area.bottom - area.top : std::min(source.height(), area.bottom - area.top);
        if (emboss) {
            DrawState(dc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), nullptr,
                      reinterpret_cast<LPARAM>(bitmap), 0, area.left + 1, area.top + 1, width,
                      height, DST_BITMAP | DSS_MONO);
            DrawState(dc, GetSysColorBrush(COLOR_BTNSHADOW), nullptr,
                      reinterpret_cast<LPARAM>(bitmap), 0, area.left, area.top, width, height,
                      DST_BITMAP | DSS_MONO);
        } else {
            DWORD rop = ((options >> 8) & 0xFF) == 1 ? SRCAND : SRCCOPY;
            if (stretch) {
                SetStretchBltMode(
                    dc, (options & kButtonStretchBlackOnWhite) ? BLACKONWHITE : COLORONCOLOR);
                StretchBlt(dc, area.left, area.top, width, height, source.dc(), 0, 0,
                           source.width(), source.height(), rop);
            } else {
                BitBlt(dc, area.left, area.top, width, height, source.dc(), 0, 0, rop);
            }
        }
    }
    if (GetFocus() == button && !(options & kButtonNoFocusRect)) {
        RECT focus = client;
        InflateRect(&focus, -3 * border, -3 * border);
        DrawFocusRect(dc, &focus);
    }
    EndPaint(button, &paint);
}

LRESULT bitmapButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        base(buttonProc, button, message, wParam, lParam);
        paintButtonBitmap(button);
        return 0;
    }
    if (message == WM_DESTROY) {
        DeleteObject(RemoveProp(button, "BBmp"));
        DeleteObject(RemoveProp(button, "BBmpD"));
        RemoveProp(button, "BmpOp");
        GlobalFree(
            static_cast<HGLOBAL>(reinterpret_cast<std::uintptr_t>(RemoveProp(button, "HL"))));
    }
    LRESULT result = base(buttonProc, button, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            if (HGLOBAL flags = GlobalAlloc(GHND, sizeof(ButtonFlags))) {
                SetProp(button, "HL", reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(flags)));
                changeFlags(button, [](ButtonFlags& f) {
                    f.pressed = 0;
                    f.enabled = 1;
                });
            }
            break;
        case WM_ENABLE:
            changeFlags(button, [&](ButtonFlags& f) { f.enabled = wParam ? 1 : 0; });
            break;
        case BM_SETSTATE: {
            bool repaint = false;
            changeFlags(button, [&](ButtonFlags& f) {
                std::uint32_t pressed = wParam ? 1 : 0;
                if (f.pressed != pressed) {
                    f.pressed = pressed;
                    repaint = true;
                }
            });
            if (repaint) InvalidateRect(button, nullptr, FALSE);
            break;
        }
        default:
            break;
    }
    return result;
}

// --- bitmap frame ---------------------------------------------------------------------------

LRESULT bitmapFrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            base(staticProc, frame, message, wParam, lParam);
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(frame, &paint);
            RECT area;
            GetClientRect(frame, &area);
            InflateRect(&area, -2, -2);
            if (auto bitmap = static_cast<HBITMAP>(GetProp(frame, "SBmp"))) {
                SelectedBitmap source(dc, bitmap);
                BitBlt(dc, area.left, area.top, std::min(source.width(), area.right - area.left),
                       std::min(source.height(), area.bottom - area.top), source.dc(), 0, 0,
                       SRCCOPY);
            } else {
                FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            }
            EndPaint(frame, &paint);
            return 0;
        }
        case WM_DESTROY:
            DeleteObject(RemoveProp(frame, "SBmp"));
            break;
        default:
            break;
    }
    return base(staticProc, frame, message, wParam, lParam);
}

// --- registration ---------------------------------------------------------------------------

// Registers the library's classes when the library is mapped into the process and takes back
// the ones it registered when it is unmapped; the entry point reports whether that worked.
class ClassRegistration {
  public:
    ClassRegistration() {
        module_ = kestra::platform::ModuleOf(this);
        WNDCLASS edit{}, button{}, statics{};
        ok_ = GetClassInfo(nullptr, "edit", &edit) && GetClassInfo(nullptr, "button", &button) &&
              GetClassInfo(nullptr, "static", &statics);
        if (!ok_) return;
        editProc = edit.lpfnWndProc;
        buttonProc = button.lpfnWndProc;
        staticProc = statics.lpfnWndProc;
        ok_ = ownClass(kSpinClass, SpinControlProc) && ownClass(kMeterClass, XORMeterWndFn) &&
              subclass(kNoAlphaEditClass, edit, DlgNoAlphaEditProc) &&
              subclass(kCheckBoxOnlyClass, button, CheckBoxOnlyProc) &&
              subclass(kBitmapButtonClass, button, TarvelButtonProc);
    }
    ~ClassRegistration() {
        for (const char* name : registered_) UnregisterClass(name, module_);
    }
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;
    bool ok() const { return ok_; }

  private:
    bool add(WNDCLASS& wc, const char* name) {
        WNDCLASS existing;
        if (GetClassInfo(nullptr, name, &existing)) return true;  // someone was first
        wc.lpszClassName = name;
        wc.hInstance = module_;
        if (!RegisterClass(&wc)) return false;
        registered_.push_back(name);
        return true;
    }
    bool ownClass(const char* name, WNDPROC proc) {
        WNDCLASS wc{};
        wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
        wc.lpfnWndProc = proc;
        wc.cbWndExtra = 8;
        return add(wc, name);
    }
    bool subclass(const char* name, WNDCLASS wc, WNDPROC proc) {
        wc.style |= CS_GLOBALCLASS | CS_DBLCLKS;
        wc.lpfnWndProc = proc;
        return add(wc, name);
    }

    HMODULE module_ = nullptr;
    bool ok_ = false;
    std::vector<const char*> registered_;
};

const ClassRegistration classes;

}  // namespace

extern "C" {

// The library's entry point: the attach fails when the classes could not be registered.
BOOL DllMain(HMODULE, DWORD reason, void*) {
    return reason != DLL_PROCESS_ATTACH || classes.ok() ? TRUE : FALSE;
}

LRESULT SpinControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<LRESULT>(0, [&] { return spinProc(window, message, wParam, lParam); });
}

LRESULT XORMeterWndFn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<LRESULT>(0, [&] { return meterProc(window, message, wParam, lParam); });
}

LRESULT DlgNoAlphaEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<LRESULT>(0, [&] { return noAlphaEditProc(window, message, wParam, lParam); });
}

LRESULT CheckBoxOnlyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<LRESULT>(0,
                               [&] { return checkBoxOnlyProc(window, message, wParam, lParam); });
}

LRESULT TarvelButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<LRESULT>(0,
                               [&] { return bitmapButtonProc(window, message, wParam, lParam); });
}

LRESULT StaticBmpFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<LRESULT>(0, [&] { return bitmapFrameProc(window, message, wParam, lParam); });
}

}  // extern "C"
