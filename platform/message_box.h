// Message boxes.
//
// The texts are the suite's own, character for character. Who shows a box is replaceable: a
// windowing host installs its own presenter; without one a box is written to standard error as
// one line and answered with its default button.
#pragma once

#include <functional>
#include <string_view>

#include "platform/win_types.h"

constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_RETRYCANCEL = 0x0005;
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x0040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x00F0;
constexpr UINT MB_DEFBUTTON1 = 0x0000;
constexpr UINT MB_DEFBUTTON2 = 0x0100;
constexpr UINT MB_DEFBUTTON3 = 0x0200;
constexpr UINT MB_DEFMASK = 0x0F00;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

namespace kestra::platform {

using MessageBoxPresenter =
    std::function<int(HWND owner, std::string_view text, std::string_view caption, UINT type)>;

// Installs a presenter and returns the previous one; an empty function restores the
// standard-error presenter.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// The standard presenter: the box as one line on standard error, answered with its default
// button. A presenter that only adds to it (for example ending a progress line first) calls it.
int ShowOnStandardError(HWND owner, std::string_view text, std::string_view caption, UINT type);

// Number of MessageBeep calls so far in this process (a host may also make a sound).
unsigned BeepCount();

// The button a box of this type answers with when nobody is there to press one.
int DefaultButton(UINT type);

}  // namespace kestra::platform

int MessageBox(HWND owner, const char* text, const char* caption, UINT type);
BOOL MessageBeep(UINT type);
