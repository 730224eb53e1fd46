// K32FABUTIL1 dialog and list helpers: dialog placement and folding, combo and list boxes
// filled from string resources with the string numbers as item data.
#pragma once

#include "windows/window.h"

extern "C" {

BOOL CenterDialogBox(HWND window);
BOOL XDialogFold(HWND dialog, int item, BOOL horizontal, BOOL folded, HWND button);

// `list` holds string numbers ended by -1; string base + n of the control's module is added
// with n (low 16 bits) as its item data.
BOOL SetCBStrings(HWND combo, int base, const LONG* list);
LONG_PTR GetCBSelectionData(HWND combo);
BOOL SelectCBItem(HWND combo, LONG_PTR data);
// The buffer receives at most kListTextLength characters and a zero.
BOOL GetCBStringForSelectionData(HWND combo, LONG_PTR data, char* buffer);
BOOL CheckCBStrings(HWND combo, int base, const LONG* list);
BOOL ClearEditBox(HWND dialog, int item);

BOOL SetLBStrings(HWND listBox, int base, const LONG* list);
LONG_PTR GetLBSelectionData(HWND listBox);
BOOL SelectLBItem(HWND listBox, LONG_PTR data);
BOOL GetLBStringForSelectionData(HWND listBox, LONG_PTR data, char* buffer);

}  // extern "C"

// The longest item text the helpers read from string resources.
inline constexpr int kListTextLength = 60;
// The end of a string number list.
inline constexpr LONG kListEnd = -1;
