// What a user does, as the core's windows receive it. Hosts call these for real input; tests
// call them to act as the user would.
#pragma once

#include <string_view>

#include "windows/window.h"

namespace kestra::platform {

// A key pressed and released while `focus` has the focus. Inside a dialog the dialog manager
// comes first, unless the control asks for the key (WM_GETDLGCODE): Tab and Shift+Tab move
// the focus, Enter presses the default button, Escape presses Cancel, arrow keys move within
// a group of buttons, and with Alt held (HoldKey(VK_MENU)) a letter or digit goes to the
// control whose text marks it with '&': a button is pressed, a label hands the focus to the
// control after it. Otherwise the control gets WM_KEYDOWN, WM_CHAR (when `character` is not
// 0) and WM_KEYUP.
void PressKey(HWND focus, UINT virtualKey, char32_t character = 0);
// Types UTF-8 text into the focus window, one key per character ("\t", "\r" and "\b" as Tab,
// Enter and Backspace).
void TypeText(HWND focus, std::string_view text);
// Holds a key (for GetKeyState) until released.
void HoldKey(UINT virtualKey, bool down);

// A mouse message at a point of `window`'s client area. While a window has the capture the
// message goes to it (the point converted); disabled windows get nothing.
void MouseInput(HWND window, UINT message, int x, int y, WPARAM keys = 0);
// A click in the middle of a control (button down and up).
void Click(HWND control);
// Moves the focus as a click would, without clicking.
void FocusByUser(HWND window);

// The user picks an item of a list box or combo box (a double click in a list box also
// notifies LBN_DBLCLK).
void PickItem(HWND control, int index, bool doubleClick = false);
// The user works a scroll bar control: its parent gets WM_HSCROLL or WM_VSCROLL.
void ScrollBy(HWND scrollBar, WORD code, int thumbPosition = 0);
// The user scrolled a list box so that `top` is its first visible item.
void SetTopByUser(HWND listBox, int top);
// The user changed an edit control's caret or selection with the mouse.
void SelectByUser(HWND edit, int start, int end);
// The user closes a top-level window (its close button): WM_CLOSE.
void CloseByUser(HWND window);

}  // namespace kestra::platform
