// The window object behind a window handle, for the core's own files and for window hosts.
// Dialog code never needs this header: it uses the calls of platform/window.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "windows/canvas.h"
#include "windows/dialog.h"
#include "windows/window.h"
#include "windows/window_host.h"

namespace kestra::platform {

// Which standard control a window is: set by the standard procedure when it sees
// WM_NCCREATE, so that classes built on a standard class are that control too.
enum class ControlKind : std::uint8_t {
    Custom,
    Button,
    Edit,
    Static,
    ListBox,
    ComboBox,
    ScrollBar,
    Dialog,
};

struct ListItem {
    std::string text;
    ULONG_PTR data = 0;
};

// The state of the standard controls (one record serves every kind).
struct ControlState {
    UINT check = BST_UNCHECKED;  // buttons
    bool pushed = false;
    int selStart = 0, selEnd = 0;  // edits: byte offsets into the text, on character bounds
    int limit = 30000;             // edits: characters
    bool modified = false;
    bool readOnly = false;
    std::vector<ListItem> items;  // list and combo boxes
    int current = -1;
    int top = 0;
    int itemHeight = 0;
    int minimum = 0, maximum = 100, position = 0;  // scroll bars
    UINT page = 0;
};

struct WindowClass {
    std::string name;
    WNDCLASS wc{};  // lpszClassName points at `name`
    bool system = false;
    int windows = 0;  // live windows of the class; a class in use cannot be unregistered
};

std::string_view KindName(ControlKind kind);

// The dialog window longs of the extra window bytes (DWLP_*).
inline constexpr int kDialogExtraBytes = 24;

}  // namespace kestra::platform

struct HWND__ {
    std::shared_ptr<kestra::platform::WindowClass> windowClass;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;       // the parent of a child window, the owner of a top-level one
    std::vector<HWND> children;  // in creation (tab) order
    UINT_PTR id = 0;
    HINSTANCE instance = nullptr;
    DWORD style = 0, exStyle = 0;
    RECT rect{};  // in the parent's client coordinates; in screen coordinates at top level
    std::string text;
    std::vector<std::byte> extra;
    LONG_PTR userData = 0;
    std::vector<std::pair<std::string, HANDLE>> props;
    kestra::platform::ControlKind kind = kestra::platform::ControlKind::Custom;
    kestra::platform::ControlState control;
    HFONT font = nullptr;
    SIZE baseUnits{6, 13};  // dialogs: from the template's font
    const char* fontName = nullptr;
    int pointSize = 0;
    int defaultId = 0;   // dialogs: DM_SETDEFID
    bool ended = false;  // dialogs: EndDialog was called
    INT_PTR result = 0;
    bool destroying = false;
    bool redraw = true;  // WM_SETREDRAW
    bool needsPaint = false;
    std::vector<RECT> focusMarks;
    HDC paintDC = nullptr;  // during PaintWindow
    void* peer = nullptr;   // the host's object for this window

    bool isChild() const { return (style & WS_CHILD) != 0; }
};

namespace kestra::platform::detail {

// Whether a handle names a live window.
bool Live(HWND window);
// The borders of a top-level window around its client area.
RECT NonClientInsets(HWND window);
// Tells the host.
void Changed(HWND window, Aspect aspect);
// The standard window procedures.
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT DialogProc(HWND, UINT, WPARAM, LPARAM);
// Sends WM_COMMAND with a notification code to the control's parent.
void Notify(HWND control, WORD code);
// The top-level dialog a window belongs to, or null.
HWND DialogOf(HWND window);
// The controls of the WS_GROUP group the control belongs to, in order.
std::vector<HWND> GroupMembers(HWND control);
// Drops the focus and the capture when they lie in a window that goes away.
void Forget(HWND window);
// Key state for GetKeyState.
void SetKeyDown(UINT key, bool down);
// The core's own surface drawing into a bitmap's pixels (text is not drawn).
std::unique_ptr<Surface> MakeBitmapSurface(HBITMAP bitmap);

}  // namespace kestra::platform::detail
