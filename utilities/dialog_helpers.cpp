// K32FABUTIL1 dialog and list helpers.
#include "utilities/dialog_helpers.h"

#include <string>
#include <vector>

#include "platform/module.h"
#include "utilities/boundary.h"
#include "windows/controls.h"
#include "windows/dialog.h"

namespace {

using kestra::utilities::AtBoundary;

// The messages of one kind of list control.
struct ListMessages {
    UINT add, setData, getData, getCount, getSelection, setSelection, getText, getTextLength;
};
constexpr ListMessages kComboBox{CB_ADDSTRING, CB_SETITEMDATA, CB_GETITEMDATA, CB_GETCOUNT,
                                 CB_GETCURSEL, CB_SETCURSEL,   CB_GETLBTEXT,   CB_GETLBTEXTLEN};
constexpr ListMessages kListBox{LB_ADDSTRING, LB_SETITEMDATA, LB_GETITEMDATA, LB_GETCOUNT,
                                LB_GETCURSEL, LB_SETCURSEL,   LB_GETTEXT,     LB_GETTEXTLEN};

// Item data compare on their low 16 bits, as the string numbers they are.
bool sameData(LRESULT a, LONG_PTR b) {
    return static_cast<WORD>(a) == static_cast<WORD>(b);
}

std::vector<LONG> numbers(const LONG* list) {
    std::vector<LONG> out;
    for (; list && *list != kListEnd; ++list) out.push_back(*list);
    return out;
}

std::string resourceText(HWND control, int base, LONG number) {
    auto module = reinterpret_cast<HMODULE>(GetWindowLongPtr(control, GWLP_HINSTANCE));
    char text[kListTextLength + 1];
    LoadString(module, static_cast<UINT>(base + number), text, sizeof text);
    return text;
}

int itemCount(HWND control, const ListMessages& m) {
    return static_cast<int>(SendMessage(control, m.getCount, 0, 0));
}

std::string itemText(HWND control, const ListMessages& m, int index) {
    LRESULT length = SendMessage(control, m.getTextLength, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::string text(static_cast<std::size_t>(length) + sizeof(ULONG_PTR), '\0');
    SendMessage(control, m.getText, static_cast<WPARAM>(index),
                reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

int findData(HWND control, const ListMessages& m, LONG_PTR data) {
    for (int i = 0, n = itemCount(control, m); i < n; ++i)
        if (sameData(SendMessage(control, m.getData, static_cast<WPARAM>(i), 0), data)) return i;
    return -1;
}

BOOL setStrings(HWND control, int base, const LONG* list, const ListMessages& m) {
    for (LONG number : numbers(list)) {
        std::string text = resourceText(control, base, number);
        LRESULT index = SendMessage(control, m.add, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (index >= 0)
            SendMessage(control, m.setData, static_cast<WPARAM>(index),
                        static_cast<LPARAM>(static_cast<WORD>(number)));
    }
    return TRUE;
}

LONG_PTR selectionData(HWND control, const ListMessages& m) {
    LRESULT selection = SendMessage(control, m.getSelection, 0, 0);
    if (selection < 0) return -1;
    return SendMessage(control, m.getData, static_cast<WPARAM>(selection), 0);
}

BOOL selectData(HWND control, LONG_PTR data, const ListMessages& m) {
    int index = findData(control, m, data);
    if (index < 0) return FALSE;
    SendMessage(control, m.setSelection, static_cast<WPARAM>(index), 0);
    return TRUE;
}

BOOL textForData(HWND control, LONG_PTR data, char* buffer, const ListMessages& m) {
    int index = findData(control, m, data);
    if (index < 0 || !buffer) return FALSE;
    std::string text = itemText(control, m, index).substr(0, kListTextLength);
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    return TRUE;
}

// Every listed string is an item with its number as data, and there is no other item.
BOOL stringsPresent(HWND control, int base, const LONG* list, const ListMessages& m) {
    std::vector<LONG> listed = numbers(list);
    int count = itemCount(control, m);
    if (count != static_cast<int>(listed.size())) return FALSE;
    std::vector<bool> used(static_cast<std::size_t>(count), false);
    for (LONG number : listed) {
        std::string text = resourceText(control, base, number);
        bool found = false;
        for (int i = 0; i < count && !found; ++i) {
            if (used[static_cast<std::size_t>(i)]) continue;
            if (sameData(SendMessage(control, m.getData, static_cast<WPARAM>(i), 0), number) &&
                itemText(control, m, i) == text)
                used[static_cast<std::size_t>(i)] = found = true;
        }
        if (!found) return FALSE;
    }
    return TRUE;
}

}  // namespace

extern "C" {

BOOL CenterDialogBox(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) return FALSE;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2 + 4;
    x = (x >= 0 ? x : x - 7) / 8 * 8;  // down to a multiple of 8
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW);
}

BOOL XDialogFold(HWND dialog, int item, BOOL horizontal, BOOL folded, HWND button) {
    return AtBoundary<BOOL>(FALSE, [&] {
        HWND control = GetDlgItem(dialog, item);
        if (!control) return FALSE;
        RECT itemRect, dialogRect;
        GetWindowRect(control, &itemRect);
        GetWindowRect(dialog, &dialogRect);
        int width = dialogRect.right - dialogRect.left, height = dialogRect.bottom - dialogRect.top;
        if (horizontal)
            width = itemRect.right + 4 * GetSystemMetrics(SM_CXDLGFRAME) - dialogRect.left;
        else
            height = itemRect.bottom + 4 * GetSystemMetrics(SM_CYDLGFRAME) - dialogRect.top;
        SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        CenterDialogBox(dialog);
        char text[kListTextLength + 1];
        if (button && GetWindowText(button, text, sizeof text) > 0) {
            std::string label = text;
            label = label.substr(0, label.find_first_of("<>"));
            label += folded ? "<<" : ">>";
            SetWindowText(button, label.c_str());
        }
        return TRUE;
    });
}

BOOL SetCBStrings(HWND combo, int base, const LONG* list) {
    return AtBoundary<BOOL>(FALSE, [&] { return setStrings(combo, base, list, kComboBox); });
}

LONG_PTR GetCBSelectionData(HWND combo) {
    return selectionData(combo, kComboBox);
}

BOOL SelectCBItem(HWND combo, LONG_PTR data) {
    return selectData(combo, data, kComboBox);
}

BOOL GetCBStringForSelectionData(HWND combo, LONG_PTR data, char* buffer) {
    return AtBoundary<BOOL>(FALSE, [&] { return textForData(combo, data, buffer, kComboBox); });
}

BOOL CheckCBStrings(HWND combo, int base, const LONG* list) {
    return AtBoundary<BOOL>(FALSE, [&] { return stringsPresent(combo, base, list, kComboBox); });
}

BOOL ClearEditBox(HWND dialog, int item) {
    HWND edit = GetDlgItem(dialog, item);
    if (!edit) return FALSE;
    SendMessage(edit, EM_SETSEL, 0, -1);
    SendMessage(edit, WM_CLEAR, 0, 0);
    return TRUE;
}

BOOL SetLBStrings(HWND listBox, int base, const LONG* list) {
    return AtBoundary<BOOL>(FALSE, [&] { return setStrings(listBox, base, list, kListBox); });
}

LONG_PTR GetLBSelectionData(HWND listBox) {
    return selectionData(listBox, kListBox);
}

BOOL SelectLBItem(HWND listBox, LONG_PTR data) {
    return selectData(listBox, data, kListBox);
}

BOOL GetLBStringForSelectionData(HWND listBox, LONG_PTR data, char* buffer) {
    return AtBoundary<BOOL>(FALSE, [&] { return textForData(listBox, data, buffer, kListBox); });
}

}  // extern "C"
