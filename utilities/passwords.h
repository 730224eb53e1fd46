// K32FABUTIL1 passwords: the dialog "PasswordDlg" that edits a project's eight passwords and
// its automatic logout time.
//
// Record 0 is the system password: its attributes always grant CONF to PAGE and its data entry
// range is every page. The others carry the attribute bits and the page range of their row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/records.h"
#include "windows/window.h"

extern "C" {

// What the host hands to the dialog.
struct PasswordSet {
    WORD* pageCount;      // the number of pages in use
    BYTE* passwordCount;  // the number of records in `passwords`
    HGLOBAL passwords;    // passwordCount x 20 bytes; the dialog resizes it
    DWORD unused;
    WORD logoutTimeout;  // seconds
};

// 1 after a valid OK (the set is updated), 0 after Cancel.
INT_PTR StartPasswordDlg(HWND owner, PasswordSet* set);
INT_PTR PasswordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // extern "C"

namespace kestra {

// Password record (20 bytes).
struct PasswordRecord {
    char code[5];              // 0: up to 4 characters, zero-terminated
    std::uint8_t attributes;   // 5: kPassword* bits
    le16 firstPage;            // 6
    le16 lastPage;             // 8
    std::uint8_t carried[10];  // 10
};
static_assert(sizeof(PasswordRecord) == 20);
static_assert(offsetof(PasswordRecord, attributes) == 5 && offsetof(PasswordRecord, lastPage) == 8);

}  // namespace kestra

// Attribute bits, in the order of a row's check boxes.
inline constexpr std::uint8_t kPasswordConf = 0x01;
inline constexpr std::uint8_t kPasswordTime = 0x02;
inline constexpr std::uint8_t kPasswordAck = 0x04;
inline constexpr std::uint8_t kPasswordPrint = 0x08;
inline constexpr std::uint8_t kPasswordPage = 0x10;
inline constexpr std::uint8_t kPasswordKept = 0x20;
inline constexpr std::uint8_t kPasswordAutoLogin = 0x40;
inline constexpr std::uint8_t kPasswordAutoLogout = 0x80;
inline constexpr std::uint8_t kSystemPasswordAttributes = 0x1F;

inline constexpr int kPasswordRows = 8;
// Controls of row r start at kPasswordRowBase + kPasswordRowStep * r: the code, then the seven
// check boxes CONF, TIME, ACK, PRINT, PAGE, ALOGI, ALOGO, then the first and the last page.
inline constexpr int kPasswordRowBase = 500;
inline constexpr int kPasswordRowStep = 10;
inline constexpr int kPasswordCode = 0;
inline constexpr int kPasswordFirstBox = 1;
inline constexpr int kPasswordAutoLoginBox = 6;
inline constexpr int kPasswordAutoLogoutBox = 7;
inline constexpr int kPasswordFirstPage = 8;
inline constexpr int kPasswordLastPage = 9;
inline constexpr int kPasswordTimeout = 580;

// Sent by the dialog to itself: beep and show string wParam as an error.
inline constexpr UINT kPasswordError = 1125;

constexpr int PasswordControl(int row, int column) {
    return kPasswordRowBase + kPasswordRowStep * row + column;
}
