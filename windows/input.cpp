// User input as the core's windows receive it, with the dialog manager's keyboard handling.
#include "windows/input.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "windows/controls.h"
#include "windows/dialog.h"
#include "windows/window_host.h"
#include "windows/window_object.h"

namespace kestra::platform {
namespace {

using detail::Live;

bool enabledChain(HWND window) {
    for (HWND w = window; Live(w); w = w->isChild() ? w->parent : nullptr)
        if (w->style & WS_DISABLED) return false;
    return Live(window);
}

void pressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) {
        MessageBeep(0);
        return;
    }
    SendMessage(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void focusControl(HWND control) {
    if (!Live(control)) return;
    SetFocus(control);
    if (Live(control) && (SendMessage(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
        SendMessage(control, EM_SETSEL, 0, -1);
}

// The dialog manager's share of a key; true when it used the key.
bool dialogKey(HWND dialog, HWND focus, UINT key, LRESULT code) {
    if (code & DLGC_WANTALLKEYS) return false;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (key) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) return false;
            focusControl(GetNextDlgTabItem(dialog, focus, shift ? TRUE : FALSE));
            return true;
        case VK_RETURN: {
            int id = IDOK;
            if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
                id = GetDlgCtrlID(focus);
            } else {
                LRESULT defId = SendMessage(dialog, DM_GETDEFID, 0, 0);
                if (HIWORD(defId) == DC_HASDEFID) id = LOWORD(defId);
            }
            pressButton(dialog, id);
            return true;
        }
        case VK_ESCAPE:
            pressButton(dialog, IDCANCEL);
            return true;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            if (code & DLGC_WANTARROWS) return false;
            HWND next = GetNextDlgGroupItem(dialog, focus, key == VK_LEFT || key == VK_UP);
            if (!next || next == focus) return true;
            SetFocus(next);
            LRESULT nextCode = SendMessage(next, WM_GETDLGCODE, 0, 0);
            if ((nextCode & DLGC_RADIOBUTTON) && (next->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                SendMessage(next, BM_CLICK, 0, 0);
            return true;
        }
        default:
            return false;
    }
}

// The letter or digit a control's text marks with '&' as its mnemonic, upper-cased ("&&" is a
// plain '&'); 0 when it marks none.
UINT mnemonicOf(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        const auto marked = static_cast<unsigned char>(text[++i]);
        if (marked == '&') continue;
        if (marked >= 'a' && marked <= 'z') return marked - 'a' + 'A';
        if ((marked >= 'A' && marked <= 'Z') || (marked >= '0' && marked <= '9')) return marked;
        return 0;
    }
    return 0;
}

bool isLabel(HWND control) {
    return control->kind == ControlKind::Static ||
           (control->kind == ControlKind::Button &&
            (control->style & BS_TYPEMASK) == BS_GROUPBOX);
}

// As the dialog manager counts it: the control's own style says visible (the dialog itself
// may not be shown yet), and neither it nor a window it sits in is disabled.
bool canTakeInput(HWND control) {
    return (control->style & WS_VISIBLE) && enabledChain(control);
}

// Every control of a dialog and of the dialogs nested in it (property pages), in order.
void collectControls(HWND parent, std::vector<HWND>& controls) {
    for (HWND child : parent->children) {
        if (!Live(child)) continue;
        if (child->kind == ControlKind::Dialog)
            collectControls(child, controls);
        else
            controls.push_back(child);
    }
}

// Alt with a letter or digit: the next control after the focus whose text marks that key. A
// button is pressed (a check box or radio button also takes the focus); a label or group box
// hands the focus to the first control after it that can take it. Beeps when none marks it.
void mnemonicKey(HWND dialog, HWND focus, UINT key) {
    std::vector<HWND> controls;
    collectControls(GetAncestor(dialog, GA_ROOT), controls);
    const auto at = std::find(controls.begin(), controls.end(), focus);
    const std::size_t start = at == controls.end() ? 0 : (at - controls.begin()) + 1;
    for (std::size_t n = 0; n < controls.size(); ++n) {
        const std::size_t i = (start + n) % controls.size();
        HWND control = controls[i];
        const bool marks = (control->kind == ControlKind::Button ||
                            (control->kind == ControlKind::Static && !(control->style & SS_NOPREFIX))) &&
                           mnemonicOf(control->text) == key;
        if (!marks || !canTakeInput(control)) continue;
        if (isLabel(control)) {
            for (std::size_t k = i + 1; k < controls.size(); ++k)
                if (!isLabel(controls[k]) && canTakeInput(controls[k])) {
                    focusControl(controls[k]);
                    break;
                }
            return;
        }
        const DWORD type = control->style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW) {
            pressButton(detail::DialogOf(control), GetDlgCtrlID(control));
            return;
        }
        SetFocus(control);
        SendMessage(control, BM_CLICK, 0, 0);
        return;
    }
    MessageBeep(0);
}

bool isMnemonicKey(UINT key) {
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
}

UINT keyOfCharacter(char32_t c) {
    switch (c) {
        case '\t':
            return VK_TAB;
        case '\r':
        case '\n':
            return VK_RETURN;
        case '\b':
            return VK_BACK;
        case 0x1B:
            return VK_ESCAPE;
        case ' ':
            return VK_SPACE;
        default:
            break;
    }
    if (c >= 'a' && c <= 'z') return static_cast<UINT>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<UINT>(c);
    return 0;
}

char32_t characterOfKey(UINT key) {
    switch (key) {
        case VK_TAB:
            return '\t';
        case VK_RETURN:
            return '\r';
        case VK_BACK:
            return '\b';
        case VK_ESCAPE:
            return 0x1B;
        case VK_SPACE:
            return ' ';
        default:
            return 0;
    }
}

}  // namespace

void HoldKey(UINT virtualKey, bool down) {
    detail::SetKeyDown(virtualKey, down);
}

void PressKey(HWND focus, UINT virtualKey, char32_t character) {
    if (!Live(focus)) return;
    if (!character) character = characterOfKey(virtualKey);
    MSG message{focus, WM_KEYDOWN, virtualKey, 1, 0, {}};
    LRESULT code =
        SendMessage(focus, WM_GETDLGCODE, virtualKey, reinterpret_cast<LPARAM>(&message));
    HWND dialog = detail::DialogOf(focus);
    if (dialog && GetKeyState(VK_MENU) < 0 && isMnemonicKey(virtualKey)) {
        mnemonicKey(dialog, focus, virtualKey);
        DispatchPostedMessages();
        return;
    }
    if (dialog && dialog != focus && dialogKey(dialog, focus, virtualKey, code)) {
        DispatchPostedMessages();
        return;
    }
    if (dialog == focus && dialogKey(dialog, nullptr, virtualKey, 0)) {
        DispatchPostedMessages();
        return;
    }
    HoldKey(virtualKey, true);
    SendMessage(focus, WM_KEYDOWN, virtualKey, 1);
    if (character && Live(focus)) SendMessage(focus, WM_CHAR, character, 1);
    HoldKey(virtualKey, false);
    if (Live(focus)) SendMessage(focus, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
    DispatchPostedMessages();
}

void TypeText(HWND focus, std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? byte : (byte & (0x7F >> length));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        // The keys go to whichever window has the focus now (a key may move it).
        HWND target = GetFocus() && Live(GetFocus()) ? GetFocus() : focus;
        PressKey(target, keyOfCharacter(c), c);
    }
}

void MouseInput(HWND window, UINT message, int x, int y, WPARAM keys) {
    HWND target = window;
    if (HWND capture = GetCapture(); Live(capture) && capture != window && Live(window)) {
        POINT point{x, y};
        ClientToScreen(window, &point);
        ScreenToClient(capture, &point);
        x = point.x;
        y = point.y;
        target = capture;
    }
    if (!Live(target) || (target == window && !enabledChain(target))) return;
    SendMessage(target, message, keys, MAKELPARAM(x, y));
    DispatchPostedMessages();
}

void Click(HWND control) {
    if (!Live(control)) return;
    RECT client;
    GetClientRect(control, &client);
    int x = client.right / 2, y = client.bottom / 2;
    MouseInput(control, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    MouseInput(control, WM_LBUTTONUP, x, y, 0);
}

void FocusByUser(HWND window) {
    if (enabledChain(window)) SetFocus(window);
}

void CloseByUser(HWND window) {
    if (!Live(window)) return;
    SendMessage(window, WM_CLOSE, 0, 0);
    DispatchPostedMessages();
}

}  // namespace kestra::platform
