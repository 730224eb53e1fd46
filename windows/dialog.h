// Dialogs: templates as data, modal and modeless dialogs, dialog procedures and the control
// calls of dialog code.
//
// A dialog template is a constant table compiled into the module that owns it and registered
// with ResourceRegistration(anchor, ResourceKind::Dialogs, templates, count); DialogBoxParam
// and CreateDialogParam find it by name (letter case ignored) or by number
// (MAKEINTRESOURCE) through the module handle. Positions and sizes are in dialog units:
// a quarter of the dialog font's average character width across, an eighth of its height
// down.
#pragma once

#include <cstddef>

#include "windows/controls.h"
#include "windows/window.h"

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// One control of a template. `className` is a standard class ("button", "edit", "static",
// "listbox", "combobox", "scrollbar") or any registered class; WS_CHILD is implied.
struct DialogItemTemplate {
    int id;
    const char* className;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle = 0;
};

struct DialogTemplate {
    const char* name;  // nullptr for a template known by number only
    WORD number;       // 0 for a template known by name only
    const char* title;
    short x, y, cx, cy;  // the client area, in dialog units
    DWORD style;
    const char* fontName;  // nullptr: the host's dialog font
    WORD pointSize;
    const DialogItemTemplate* items;
    std::size_t itemCount;
};

// Dialog styles.
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;

// Dialog window longs (GetWindowLongPtr on a dialog).
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;

constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;

// The class of every dialog window.
inline constexpr const char* WC_DIALOG = "#32770";

namespace kestra::platform {
// The template of that name or number in the module's dialog tables, or nullptr.
const DialogTemplate* FindDialogTemplate(HMODULE module, const char* name);
}  // namespace kestra::platform

// Runs the dialog modally with the owner disabled; returns the EndDialog result, or -1 when
// the template or a control class cannot be found.
INT_PTR DialogBoxParam(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                       LPARAM initParam);
INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND owner,
                               DLGPROC proc, LPARAM initParam);
// Creates the dialog without waiting for it; a template with WS_CHILD becomes a child of
// `owner` (an embedded page).
HWND CreateDialogParam(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                       LPARAM initParam);
HWND CreateDialogIndirectParam(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND owner,
                               DLGPROC proc, LPARAM initParam);
// Ends a modal dialog: its loop returns `result` once the current message is handled.
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemText(HWND dialog, int id, const char* text);
UINT GetDlgItemText(HWND dialog, int id, char* buffer, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
// The number at the start of the control's text (blanks skipped); *translated says whether
// there was one.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears the other buttons first..last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
// The next (or previous) control with WS_TABSTOP that is visible and enabled, wrapping.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// The next (or previous) control of the control's WS_GROUP group, wrapping within it.
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
// Converts a rectangle in dialog units to pixels with the dialog's base units.
BOOL MapDialogRect(HWND dialog, RECT* rect);
// The base units of the host's standard dialog font: width in the low word, height in the high.
LONG GetDialogBaseUnits();
