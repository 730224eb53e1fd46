// Dialogs: templates, creation, modal loops, the dialog window procedure and control calls.
#include "windows/dialog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/message_box.h"
#include "platform/module.h"
#include "windows/window_host.h"
#include "windows/window_object.h"

namespace kestra::platform {
namespace {

bool sameName(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// a * b / c, rounded half away from zero, as MulDiv.
LONG mulDiv(LONG a, LONG b, LONG c) {
    if (c == 0) return 0;
    long long p = static_cast<long long>(a) * b;
    long long half = (c > 0 ? c : -c) / 2;
    return static_cast<LONG>(p >= 0 ? (p + half) / c : (p - half) / c);
}

// A control that can take the focus: its own styles say visible and enabled (the dialog itself
// may not be shown yet).
bool canTakeFocus(HWND control) {
    return (control->style & WS_VISIBLE) && !(control->style & WS_DISABLED);
}

HWND createDialog(HINSTANCE instance, const DialogTemplate* t, HWND owner, DLGPROC proc,
                  LPARAM initParam, bool modal) {
    if (!t) return nullptr;
    bool child = (t->style & WS_CHILD) != 0;
    if (child && !detail::Live(owner)) return nullptr;
    if (!child) owner = GetAncestor(owner, GA_ROOT);
    HWND dialog = CreateWindowEx(0, WC_DIALOG, t->title, t->style & ~WS_VISIBLE, 0, 0, 0, 0, owner,
                                 nullptr, instance, nullptr);
    if (!dialog) return nullptr;
    SetWindowLongPtr(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    dialog->fontName = t->fontName;
    dialog->pointSize = t->pointSize;
    dialog->baseUnits = CurrentWindowHost().dialogBaseUnits(t->fontName, t->pointSize);

    RECT frame{t->x, t->y, t->x + t->cx, t->y + t->cy};
    MapDialogRect(dialog, &frame);
    RECT insets = detail::NonClientInsets(dialog);
    // A top-level dialog's position counts from its owner's client area.
    POINT origin{frame.left, frame.top};
    if (!child && detail::Live(owner)) ClientToScreen(owner, &origin);
    MoveWindow(dialog, origin.x, origin.y, frame.right - frame.left + insets.left + insets.right,
               frame.bottom - frame.top + insets.top + insets.bottom, FALSE);
    if (t->style & DS_CENTER) {
        RECT r;
        GetWindowRect(dialog, &r);
        int w = r.right - r.left, h = r.bottom - r.top;
        SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
    }

    for (std::size_t i = 0; i < t->itemCount; ++i) {
        const DialogItemTemplate& item = t->items[i];
        RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
        MapDialogRect(dialog, &r);
        HWND control = CreateWindowEx(
            item.exStyle, item.className, item.text, item.style | WS_CHILD, r.left, r.top,
            r.right - r.left, r.bottom - r.top, dialog,
            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance, nullptr);
        if (!control) {
            DestroyWindow(dialog);
            return nullptr;
        }
    }

    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    LRESULT focusFirst =
        SendMessage(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), initParam);
    if (!detail::Live(dialog)) return nullptr;
    if (focusFirst && !dialog->ended && detail::Live(first)) {
        SetFocus(first);
        if (SendMessage(first, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
            SendMessage(first, EM_SETSEL, 0, -1);
    }
    if (!modal && (t->style & WS_VISIBLE) && !dialog->ended) ShowWindow(dialog, SW_SHOW);
    return dialog;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(HMODULE module, const char* name) {
    if (!name) return nullptr;
    WORD number = 0;
    bool byNumber = IS_INTRESOURCE(name);
    if (byNumber)
        number = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    else if (name[0] == '#' && std::isdigit(static_cast<unsigned char>(name[1]))) {
        byNumber = true;
        number = static_cast<WORD>(std::strtoul(name + 1, nullptr, 10));
    }
    const DialogTemplate* found = nullptr;
    ForEachResourceTable(module, ResourceKind::Dialogs, [&](const ResourceTable& table) {
        const auto* templates = static_cast<const DialogTemplate*>(table.table);
        for (std::size_t i = 0; i < table.count; ++i) {
            const DialogTemplate& t = templates[i];
            bool match = byNumber ? (t.number != 0 && t.number == number)
                                  : (t.name && sameName(t.name, name));
            if (match) {
                found = &t;
                return true;
            }
        }
        return false;
    });
    return found;
}

namespace detail {

LRESULT DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(dialog)) return 0;
    if (message == WM_NCCREATE) dialog->kind = ControlKind::Dialog;
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtr(dialog, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtr(dialog, DWLP_MSGRESULT, 0);
        INT_PTR handled = proc(dialog, message, wParam, lParam);
        if (handled) {
            switch (message) {
                case WM_INITDIALOG:
                case WM_CTLCOLOREDIT:
                case WM_CTLCOLORLISTBOX:
                case WM_CTLCOLORBTN:
                case WM_CTLCOLORDLG:
                case WM_CTLCOLORSCROLLBAR:
                case WM_CTLCOLORSTATIC:
                    return handled;
                default:
                    return Live(dialog) ? GetWindowLongPtr(dialog, DWLP_MSGRESULT) : 0;
            }
        }
        if (!Live(dialog)) return 0;
    }
    return DefDlgProc(dialog, message, wParam, lParam);
}

}  // namespace detail
}  // namespace kestra::platform

namespace kp = kestra::platform;
using kp::detail::Live;

INT_PTR DialogBoxIndirectParam(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND owner,
                               DLGPROC proc, LPARAM initParam) {
    owner = GetAncestor(owner, GA_ROOT);
    HWND dialog = kp::createDialog(instance, dialogTemplate, owner, proc, initParam, true);
    if (!dialog) return -1;
    if (!dialog->ended) {
        bool disabledOwner = owner && IsWindowEnabled(owner);
        if (disabledOwner) EnableWindow(owner, FALSE);
        ShowWindow(dialog, SW_SHOW);
        kp::CurrentWindowHost().runModal(dialog);
        if (disabledOwner) EnableWindow(owner, TRUE);
    }
    INT_PTR result = Live(dialog) ? dialog->result : -1;
    DestroyWindow(dialog);
    if (Live(owner)) SetFocus(owner);
    return result;
}

INT_PTR DialogBoxParam(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                       LPARAM initParam) {
    return DialogBoxIndirectParam(instance, kp::FindDialogTemplate(instance, templateName), owner,
                                  proc, initParam);
}

HWND CreateDialogParam(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                       LPARAM initParam) {
    return CreateDialogIndirectParam(instance, kp::FindDialogTemplate(instance, templateName),
                                     owner, proc, initParam);
}

HWND CreateDialogIndirectParam(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND owner,
                               DLGPROC proc, LPARAM initParam) {
    return kp::createDialog(instance, dialogTemplate, owner, proc, initParam, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    if (!Live(dialog) || dialog->kind != kp::ControlKind::Dialog) return FALSE;
    dialog->ended = true;
    dialog->result = result;
    kp::CurrentWindowHost().dialogEnded(dialog);
    return TRUE;
}

LRESULT DefDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(dialog)) return 0;
    switch (message) {
        case WM_CLOSE: {
            HWND cancel = GetDlgItem(dialog, IDCANCEL);
            if (cancel && !IsWindowEnabled(cancel)) {
                MessageBeep(0);
                return 0;
            }
            SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case DM_SETDEFID:
            dialog->defaultId = static_cast<int>(wParam);
            return TRUE;
        case DM_GETDEFID: {
            int id = dialog->defaultId;
            if (!id)
                for (HWND child : dialog->children)
                    if ((child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
                        child->kind == kp::ControlKind::Button) {
                        id = static_cast<int>(child->id);
                        break;
                    }
            return id ? MAKELPARAM(id, DC_HASDEFID) : 0;
        }
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(dialog, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_INITDIALOG:
        case WM_COMMAND:
            return 0;
        default:
            return DefWindowProc(dialog, message, wParam, lParam);
    }
}

HWND GetDlgItem(HWND dialog, int id) {
    if (!Live(dialog)) return nullptr;
    for (HWND child : dialog->children)
        if (static_cast<int>(child->id) == id) return child;
    return nullptr;
}

int GetDlgCtrlID(HWND window) {
    return Live(window) ? static_cast<int>(window->id) : 0;
}

LRESULT SendDlgItemMessage(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessage(GetDlgItem(dialog, id), message, wParam, lParam);
}

BOOL SetDlgItemText(HWND dialog, int id, const char* text) {
    return SetWindowText(GetDlgItem(dialog, id), text);
}

UINT GetDlgItemText(HWND dialog, int id, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    return static_cast<UINT>(GetWindowText(GetDlgItem(dialog, id), buffer, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    char text[16];
    if (isSigned)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    else
        std::snprintf(text, sizeof text, "%u", value);
    return SetDlgItemText(dialog, id, text);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    HWND control = GetDlgItem(dialog, id);
    if (!control) return 0;
    std::string text = control->text;
    const char* start = text.c_str();
    while (*start == ' ' || *start == '\t') ++start;
    if (!isSigned && *start == '-') return 0;
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE) return 0;
    if (isSigned ? (value < INT32_MIN || value > INT32_MAX) : (value < 0 || value > UINT32_MAX))
        return 0;
    if (translated) *translated = TRUE;
    return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return FALSE;
    SendMessage(button, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessage(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    if (!Live(dialog)) return FALSE;
    for (int id = first; id <= last; ++id)
        if (HWND button = GetDlgItem(dialog, id))
            SendMessage(button, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    if (!Live(dialog)) return nullptr;
    std::vector<HWND> stops;
    for (HWND child : dialog->children)
        if ((child->style & WS_TABSTOP) && kp::canTakeFocus(child)) stops.push_back(child);
    if (stops.empty()) return control;
    auto at = std::find(dialog->children.begin(), dialog->children.end(), control);
    if (!control || at == dialog->children.end()) return previous ? stops.back() : stops.front();
    // The next stop after the control in creation order, wrapping.
    auto position = at - dialog->children.begin();
    auto index = [&](HWND w) {
        return std::find(dialog->children.begin(), dialog->children.end(), w) -
               dialog->children.begin();
    };
    if (!previous) {
        for (HWND stop : stops)
            if (index(stop) > position) return stop;
        return stops.front();
    }
    for (auto it = stops.rbegin(); it != stops.rend(); ++it)
        if (index(*it) < position) return *it;
    return stops.back();
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    if (!Live(dialog) || !Live(control)) return nullptr;
    std::vector<HWND> members;
    for (HWND member : kp::detail::GroupMembers(control))
        if (member == control || kp::canTakeFocus(member)) members.push_back(member);
    auto at = std::find(members.begin(), members.end(), control);
    if (at == members.end()) return control;
    auto n = static_cast<std::ptrdiff_t>(members.size());
    auto i = (at - members.begin() + (previous ? n - 1 : 1)) % n;
    return members[static_cast<std::size_t>(i)];
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
    if (!Live(dialog) || !rect) return FALSE;
    SIZE units = dialog->baseUnits;
    rect->left = kp::mulDiv(rect->left, units.cx, 4);
    rect->right = kp::mulDiv(rect->right, units.cx, 4);
    rect->top = kp::mulDiv(rect->top, units.cy, 8);
    rect->bottom = kp::mulDiv(rect->bottom, units.cy, 8);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    SIZE units = kp::CurrentWindowHost().dialogBaseUnits(nullptr, 0);
    return static_cast<LONG>(MAKELPARAM(units.cx, units.cy));
}
