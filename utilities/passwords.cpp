// Passwords: the dialog "PasswordDlg".
#include "utilities/passwords.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "utilities/blocks.h"
#include "utilities/boundary.h"
#include "utilities/controls.h"
#include "utilities/dialog_helpers.h"
#include "windows/controls.h"
#include "windows/dialog.h"

using kestra::PasswordRecord;
using kestra::utilities::AtBoundary;
namespace blocks = kestra::blocks;

namespace {

// --- strings --------------------------------------------------------------------------------

constexpr UINT kCaptionText = 50;
constexpr UINT kSystemFirstText = 51;
constexpr UINT kFourDigitsText = 52;
constexpr UINT kPageRangeText = 53;
constexpr UINT kIdenticalText = 57;
constexpr UINT kLoginAndLogoutText = 58;
constexpr UINT kOneAutoLoginText = 59;

constexpr kestra::platform::StringResource kStrings[] = {
    {kCaptionText, "Kestra Fabricon"},
    {kSystemFirstText,
     "The first password is referred to as the System password. This password has fixed "
     "attributes and must be defined before using other passwords."},
    {kFourDigitsText, "Passwords must be four digits long and the password \"5281\" is reserved."},
    {kPageRangeText,
     "Page numbers for data entry must be between (1) and the current number of pages used. "
     "The number of pages used is shown in the lower left corner of the status bar"},
    {kIdenticalText, "Passwords are identical"},
    {kLoginAndLogoutText, "Password can not have both automatic login and logout enabled"},
    {kOneAutoLoginText, "Only one password can have automatic login enabled"},
};
const kestra::platform::ResourceRegistration kStringRegistration(
    &kStrings, kestra::platform::ResourceKind::Strings, kStrings, std::size(kStrings));

// --- dialog template ------------------------------------------------------------------------

constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
constexpr DWORD kHeading = WS_VISIBLE | SS_CENTER;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kBox = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;

constexpr short kRowTop = 28;
constexpr short kRowHeight = 14;
constexpr short kBoxLeft = 48;
constexpr short kBoxStep = 24;
constexpr short kFromLeft = 222;
constexpr short kToLeft = 258;
constexpr const char* kBoxNames[7] = {"CONF", "TIME", "ACK", "PRINT", "PAGE", "ALOGI", "ALOGO"};

constexpr std::size_t kHeadings = 12;
constexpr std::size_t kItemCount = kHeadings + kPasswordRows * 10 + 4;

constexpr std::array<DialogItemTemplate, kItemCount> makeItems() {
    std::array<DialogItemTemplate, kItemCount> items{};
    std::size_t n = 0;
    items[n++] = {-1, "static", "Password", 6, 16, 38, 8, kHeading};
    for (short i = 0; i < 7; ++i)
        items[n++] = {
            -1,       "static", kBoxNames[i], static_cast<short>(kBoxLeft + kBoxStep * i), 16,
            kBoxStep, 8,        kHeading};
    items[n++] = {-1, "static", "Data entry enable", 216, 4, 76, 8, kHeading};
    items[n++] = {-1, "static", "From page", 216, 16, 38, 8, kHeading};
    items[n++] = {-1, "static", "To page", 254, 16, 38, 8, kHeading};
    items[n++] = {-1, "static", "", 216, 13, 76, 1, WS_VISIBLE | SS_ETCHEDHORZ};
    for (int row = 0; row < kPasswordRows; ++row) {
        const auto y = static_cast<short>(kRowTop + kRowHeight * row);
        items[n++] = {
            PasswordControl(row, kPasswordCode), kNoAlphaEditClass, "", 8, y, 34, 12, kEdit};
        for (short i = 0; i < 7; ++i)
            items[n++] = {PasswordControl(row, kPasswordFirstBox + i),
                          "button",
                          "",
                          static_cast<short>(kBoxLeft + kBoxStep * i + 8),
                          static_cast<short>(y + 1),
                          10,
                          10,
                          kBox};
        items[n++] = {
            PasswordControl(row, kPasswordFirstPage), "edit", "", kFromLeft, y, 28, 12, kEdit};
        items[n++] = {
            PasswordControl(row, kPasswordLastPage), "edit", "", kToLeft, y, 28, 12, kEdit};
    }
    const short bottom = kRowTop + kRowHeight * kPasswordRows + 8;
    items[n++] = {-1, "static", "Logout timeout:",   8, static_cast<short>(bottom + 2),
                  56, 8,        WS_VISIBLE | SS_LEFT};
    items[n++] = {kPasswordTimeout, "edit", "", 66, bottom, 32, 12, kEdit};
    items[n++] = {IDOK,
                  "button",
                  "OK",
                  186,
                  static_cast<short>(bottom - 1),
                  50,
                  14,
                  WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON};
    items[n++] = {IDCANCEL,
                  "button",
                  "Cancel",
                  242,
                  static_cast<short>(bottom - 1),
                  50,
                  14,
                  WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON};
    if (n != items.size()) throw "the item count is wrong";
    return items;
}
constexpr auto kItems = makeItems();

constexpr DialogTemplate kDialogs[] = {
    {"PasswordDlg", 0, "Passwords", 0, 0, 298, 168, kDialogStyle, "MS Sans Serif", 8, kItems.data(),
     kItems.size()},
};
const kestra::platform::ResourceRegistration kDialogRegistration(
    &kDialogs, kestra::platform::ResourceKind::Dialogs, kDialogs, std::size(kDialogs));

HMODULE thisModule() {
    return KESTRA_THIS_MODULE();
}

std::string loadText(UINT id) {
    char text[512] = "";
    LoadString(thisModule(), id, text, sizeof text);
    return text;
}

// --- rules ----------------------------------------------------------------------------------

constexpr int kCodeLength = 4;
constexpr const char* kReservedCode = "5281";
constexpr int kTimeoutRoom = 8;
constexpr int kPageRoom = 5;
constexpr UINT kMinimumTimeout = 10;
constexpr UINT kMaximumTimeout = 700;
constexpr UINT kTimeoutForZero = 600;
constexpr std::uint8_t kBoxBits[7] = {kPasswordConf,      kPasswordTime, kPasswordAck,
                                      kPasswordPrint,     kPasswordPage, kPasswordAutoLogin,
                                      kPasswordAutoLogout};

// A timeout outside 10 to 700 wraps to the other end.
UINT wrapTimeout(UINT value) {
    if (value < kMinimumTimeout) return kMaximumTimeout;
    if (value > kMaximumTimeout) return kMinimumTimeout;
    return value;
}

std::span<PasswordRecord> storedRecords(const PasswordSet& set) {
    const std::size_t count = set.passwordCount ? *set.passwordCount : 0;
    return blocks::RecordsUpTo<PasswordRecord>(set.passwords,
                                               std::min<std::size_t>(count, kPasswordRows));
}

WORD pagesOf(const PasswordSet& set) {
    return set.pageCount ? *set.pageCount : 0;
}

// --- the rows -------------------------------------------------------------------------------

std::string codeOf(HWND dialog, int row) {
    char text[16] = "";
    GetDlgItemText(dialog, PasswordControl(row, kPasswordCode), text, sizeof text);
    return text;
}

bool boxChecked(HWND dialog, int row, int box) {
    return IsDlgButtonChecked(dialog, PasswordControl(row, kPasswordFirstBox + box)) == BST_CHECKED;
}

void setBox(HWND dialog, int row, int box, bool checked) {
    CheckDlgButton(dialog, PasswordControl(row, kPasswordFirstBox + box),
                   checked ? BST_CHECKED : BST_UNCHECKED);
}

void enableRow(HWND dialog, int row, bool enable) {
    for (int column = kPasswordFirstBox; column <= kPasswordLastPage; ++column)
        EnableWindow(GetDlgItem(dialog, PasswordControl(row, column)), enable);
}

UINT pageField(HWND dialog, int row, int column) {
    BOOL translated = FALSE;
    UINT value = GetDlgItemInt(dialog, PasswordControl(row, column), &translated, FALSE);
    return translated ? value : 0;
}

void subclassCheckBoxes(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = "";
        GetClassName(child, name, sizeof name);
        const auto style = static_cast<DWORD>(GetWindowLongPtr(child, GWL_STYLE));
        if (std::strcmp(name, "button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
            SetWindowLongPtr(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CheckBoxOnlyProc));
    }
}

void fillRows(HWND dialog, const PasswordSet& set) {
    const WORD pages = pagesOf(set);
    for (int row = 0; row < kPasswordRows; ++row) {
        SendDlgItemMessage(dialog, PasswordControl(row, kPasswordCode), EM_LIMITTEXT, kCodeLength,
                           0);
        for (int column : {kPasswordFirstPage, kPasswordLastPage})
            SendDlgItemMessage(dialog, PasswordControl(row, column), EM_LIMITTEXT, kPageRoom, 0);
        for (int box = 0; box < 5; ++box) setBox(dialog, row, box, row == 0);
        SetDlgItemInt(dialog, PasswordControl(row, kPasswordFirstPage), 1, FALSE);
        SetDlgItemInt(dialog, PasswordControl(row, kPasswordLastPage), pages, FALSE);
        enableRow(dialog, row, false);
    }
    auto records = storedRecords(set);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PasswordRecord& record = records[i];
        const int row = static_cast<int>(i);
        std::string code(record.code, strnlen(record.code, kCodeLength));
        SetDlgItemText(dialog, PasswordControl(row, kPasswordCode), code.c_str());
        if (row == 0 || code.empty()) continue;
        enableRow(dialog, row, true);
        for (int box = 0; box < 7; ++box)
            setBox(dialog, row, box, record.attributes & kBoxBits[box]);
        SetDlgItemInt(dialog, PasswordControl(row, kPasswordFirstPage), record.firstPage, FALSE);
        SetDlgItemInt(dialog, PasswordControl(row, kPasswordLastPage), record.lastPage, FALSE);
    }
}

void codeChanged(HWND dialog, int row) {
    if (row == 0) return;
    const bool filled = !codeOf(dialog, row).empty();
    if (!filled)
        for (int box = 0; box < 7; ++box) setBox(dialog, row, box, false);
    enableRow(dialog, row, filled);
}

void autoLoginChecked(HWND dialog, int row) {
    UINT said = 0;
    for (int other = 0; other < kPasswordRows; ++other) {
        if (other == row || !boxChecked(dialog, other, kPasswordAutoLoginBox - 1)) continue;
        setBox(dialog, other, kPasswordAutoLoginBox - 1, false);
        said = kOneAutoLoginText;
    }
    if (boxChecked(dialog, row, kPasswordAutoLogoutBox - 1)) {
        setBox(dialog, row, kPasswordAutoLogoutBox - 1, false);
        said = kLoginAndLogoutText;
    }
    if (said) SendMessage(dialog, kPasswordError, said, 0);
}

void autoLogoutChecked(HWND dialog, int row) {
    if (!boxChecked(dialog, row, kPasswordAutoLoginBox - 1)) return;
    setBox(dialog, row, kPasswordAutoLoginBox - 1, false);
    SendMessage(dialog, kPasswordError, kLoginAndLogoutText, 0);
}

void timeoutLeft(HWND dialog) {
    char text[kTimeoutRoom + 1] = "";
    GetDlgItemText(dialog, kPasswordTimeout, text, sizeof text);
    const UINT value = static_cast<UINT>(std::strtoul(text, nullptr, 10));
    const UINT wrapped = wrapTimeout(value);
    if (wrapped != value || text[0] == 0) SetDlgItemInt(dialog, kPasswordTimeout, wrapped, FALSE);
}

// --- OK -------------------------------------------------------------------------------------

// Every problem of the rows, in the order they are reported.
std::vector<UINT> problemsOf(HWND dialog, WORD pages) {
    std::vector<UINT> problems;
    std::array<std::string, kPasswordRows> codes;
    for (int row = 0; row < kPasswordRows; ++row) codes[row] = codeOf(dialog, row);
    auto laterCode = [&](int row) {
        for (int later = row + 1; later < kPasswordRows; ++later)
            if (!codes[later].empty()) return true;
        return false;
    };
    for (int row = 0; row < kPasswordRows; ++row) {
        const std::string& code = codes[row];
        if (row == 0 && code.empty() && laterCode(0)) problems.push_back(kSystemFirstText);
        if ((!code.empty() && code.size() < kCodeLength) || code == kReservedCode)
            problems.push_back(kFourDigitsText);
        if (row > 0 && !code.empty()) {
            const UINT first = pageField(dialog, row, kPasswordFirstPage);
            const UINT last = pageField(dialog, row, kPasswordLastPage);
            if (first == 0 || first > pages || last == 0 || last > pages)
                problems.push_back(kPageRangeText);
        }
        if (problems.empty() && !code.empty())
            for (int later = row + 1; later < kPasswordRows; ++later)
                if (codes[later] == code) {
                    problems.push_back(kIdenticalText);
                    break;
                }
    }
    return problems;
}

// The records the rows give, in row order; `stored` supplies the bits and bytes the dialog
// carries along for each row.
std::vector<PasswordRecord> recordsOf(HWND dialog, std::span<const PasswordRecord> stored,
                                      WORD pages) {
    std::vector<PasswordRecord> records;
    for (int row = 0; row < kPasswordRows; ++row) {
        const std::string code = codeOf(dialog, row);
        if (code.empty()) continue;
        PasswordRecord record{};
        if (static_cast<std::size_t>(row) < stored.size()) record = stored[row];
        std::memset(record.code, 0, sizeof record.code);
        std::memcpy(record.code, code.data(), std::min<std::size_t>(code.size(), kCodeLength));
        record.attributes &= kPasswordKept;
        if (records.empty()) {
            record.attributes |= kSystemPasswordAttributes;
            record.firstPage = 1;
            record.lastPage = pages;
        } else {
            for (int box = 0; box < 7; ++box)
                if (boxChecked(dialog, row, box)) record.attributes |= kBoxBits[box];
            record.firstPage =
                static_cast<std::uint16_t>(pageField(dialog, row, kPasswordFirstPage));
            record.lastPage = static_cast<std::uint16_t>(pageField(dialog, row, kPasswordLastPage));
        }
        records.push_back(record);
    }
    return records;
}

// Writes the records into the set's block, resized to hold exactly them; false (the set
// untouched) when the block cannot be had.
bool store(PasswordSet& set, const std::vector<PasswordRecord>& records, WORD timeout) {
    const std::size_t bytes = records.size() * sizeof(PasswordRecord);
    HGLOBAL block = set.passwords;
    if (block && kestra::mem::IsLive(block)) {
        if (!GlobalReAlloc(block, bytes, GHND)) return false;
    } else {
        block = GlobalAlloc(GHND, bytes);
        if (!block) return false;
    }
    if (bytes) std::memcpy(kestra::mem::Data(block), records.data(), bytes);
    set.passwords = block;
    if (set.passwordCount) *set.passwordCount = static_cast<BYTE>(records.size());
    set.logoutTimeout = timeout;
    return true;
}

void onOk(HWND dialog, PasswordSet& set) {
    BOOL translated = FALSE;
    UINT timeout = GetDlgItemInt(dialog, kPasswordTimeout, &translated, FALSE);
    if (!translated || timeout == 0) timeout = kTimeoutForZero;
    timeout = wrapTimeout(timeout);
    SetDlgItemInt(dialog, kPasswordTimeout, timeout, FALSE);
    const WORD pages = pagesOf(set);
    auto problems = problemsOf(dialog, pages);
    for (UINT problem : problems) SendMessage(dialog, kPasswordError, problem, 0);
    if (!problems.empty()) return;
    auto stored = blocks::Copy<PasswordRecord>(storedRecords(set));
    if (!store(set, recordsOf(dialog, stored, pages), static_cast<WORD>(timeout))) {
        MessageBeep(MB_ICONERROR);
        return;
    }
    EndDialog(dialog, 1);
}

void onCommand(HWND dialog, int id, WORD code, PasswordSet& set) {
    if (id == IDOK) return onOk(dialog, set);
    if (id == IDCANCEL) {
        EndDialog(dialog, 0);
        return;
    }
    if (id == kPasswordTimeout) {
        if (code == EN_KILLFOCUS) timeoutLeft(dialog);
        return;
    }
    if (id < kPasswordRowBase || id >= kPasswordRowBase + kPasswordRowStep * kPasswordRows) return;
    const int row = (id - kPasswordRowBase) / kPasswordRowStep;
    const int column = (id - kPasswordRowBase) % kPasswordRowStep;
    if (column == kPasswordCode && code == EN_CHANGE) return codeChanged(dialog, row);
    if (column < kPasswordFirstBox || column > kPasswordAutoLogoutBox) return;
    if (code != BN_CLICKED || !boxChecked(dialog, row, column - 1)) return;
    if (column == kPasswordAutoLoginBox) autoLoginChecked(dialog, row);
    if (column == kPasswordAutoLogoutBox) autoLogoutChecked(dialog, row);
}

PasswordSet* setOf(HWND dialog) {
    return reinterpret_cast<PasswordSet*>(GetWindowLongPtr(dialog, DWLP_USER));
}

}  // namespace

extern "C" {

INT_PTR PasswordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<INT_PTR>(FALSE, [&]() -> INT_PTR {
        PasswordSet* set = setOf(dialog);
        switch (message) {
            case WM_INITDIALOG:
                SetWindowLongPtr(dialog, DWLP_USER, lParam);
                set = reinterpret_cast<PasswordSet*>(lParam);
                if (!set) {
                    EndDialog(dialog, 0);
                    return TRUE;
                }
                subclassCheckBoxes(dialog);
                fillRows(dialog, *set);
                SendDlgItemMessage(dialog, kPasswordTimeout, EM_LIMITTEXT, kTimeoutRoom, 0);
                SetDlgItemInt(dialog, kPasswordTimeout, set->logoutTimeout, FALSE);
                CenterDialogBox(dialog);
                return TRUE;
            case kPasswordError:
                MessageBeep(MB_ICONERROR);
                MessageBox(dialog, loadText(static_cast<UINT>(wParam)).c_str(),
                           loadText(kCaptionText).c_str(), MB_OK | MB_ICONERROR);
                return TRUE;
            case WM_COMMAND:
                if (!set) return FALSE;
                onCommand(dialog, LOWORD(wParam), HIWORD(wParam), *set);
                return TRUE;
            case WM_CLOSE:
                EndDialog(dialog, 0);
                return TRUE;
        }
        return FALSE;
    });
}

INT_PTR StartPasswordDlg(HWND owner, PasswordSet* set) {
    return AtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
        if (!set) return 0;
        INT_PTR result = DialogBoxParam(thisModule(), "PasswordDlg", owner, PasswordProc,
                                        reinterpret_cast<LPARAM>(set));
        return result == 1 ? 1 : 0;
    });
}

}  // extern "C"
