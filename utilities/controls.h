// K32FABUTIL1 custom controls: the window classes that the suite's dialog templates name.
//
// The library registers them when it is loaded into a process (each only when no class of
// that name exists yet) and unregisters those it registered when it is unloaded.
#pragma once

#include "windows/window.h"

extern "C" {

LRESULT SpinControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT XORMeterWndFn(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DlgNoAlphaEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CheckBoxOnlyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TarvelButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A subclass procedure for "static" windows (SetWindowLongPtr(GWLP_WNDPROC)).
LRESULT StaticBmpFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // extern "C"

inline constexpr const char* kSpinClass = "CPSPIN_KEY_FOC_32";
inline constexpr const char* kMeterClass = "xMeter_32";
inline constexpr const char* kNoAlphaEditClass = "DLGNOALPHAEDIT_32";
inline constexpr const char* kCheckBoxOnlyClass = "CHECKBOXONLY_32";
inline constexpr const char* kBitmapButtonClass = "XBUTTBMP_32";

// The spin control's step message to its parent: wParam the spin control, the low word of
// lParam the half (0 top or left: up, 1 bottom or right: down). Dialogs send it to themselves
// with 2 to show the current value without a step.
inline constexpr UINT kSpinStepMessage = 4056;
inline constexpr WORD kSpinUp = 0;
inline constexpr WORD kSpinDown = 1;
inline constexpr WORD kSpinShow = 2;

// Meter messages.
inline constexpr UINT kMeterSetRange = 4040;
inline constexpr UINT kMeterGetRange = 4041;
inline constexpr UINT kMeterSetPosition = 4042;
inline constexpr UINT kMeterGetPosition = 4043;
// Meter styles.
inline constexpr DWORD kMeterBlackFrame = 0x01;
inline constexpr DWORD kMeterSunken = 0x02;
inline constexpr DWORD kMeterRaised = 0x04;
inline constexpr DWORD kMeterVertical = 0x08;

// The letter-refusing edit tells its parent about Tab and Enter (wParam the edit) while it
// has the "RET" property.
inline constexpr UINT kNoAlphaEditKey = 1124;

// Bitmap button options ("BmpOp" property): stretch, with black-on-white stretching, no focus
// rectangle; the second byte 1 combines the bitmap by AND.
inline constexpr UINT_PTR kButtonStretchBlackOnWhite = 0x01;
inline constexpr UINT_PTR kButtonStretch = 0x02;
inline constexpr UINT_PTR kButtonNoFocusRect = 0x04;
inline constexpr UINT_PTR kButtonCombineAnd = 0x0100;
