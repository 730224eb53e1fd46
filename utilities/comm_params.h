// K32FABUTIL1 communication parameters: the packed line settings of the serial line between
// the PC and a panel, the port check, the two dialogs that edit the settings and their INI
// storage.
//
// The parameter blocks are call records built by the caller for one call; their references
// are plain pointers.
#pragma once

#include <cstdint>

#include "windows/window.h"

// Line settings byte: bits 0-3 baud code, bit 4 eight data bits, bits 5-6 parity, bit 7 two
// stop bits.
inline constexpr BYTE kBaudCodeMask = 0x0F;
inline constexpr BYTE kEightDataBits = 0x10;
inline constexpr BYTE kParityMask = 0x60;
inline constexpr int kParityShift = 5;
inline constexpr BYTE kTwoStopBits = 0x80;
// Baud codes 0 to 9: 150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600.
inline constexpr int kBaudCodeCount = 10;
// The usual texts of the baud codes, for a caller's parameter block.
inline constexpr const char* kBaudRateTexts[kBaudCodeCount] = {
    "150", "300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600"};
inline constexpr int kParityCount = 3;  // none, odd, even
inline constexpr int kPortCount = 4;    // COM1 to COM4
// CheckPortSelection's answer when no port can be opened.
inline constexpr int kNoPort = 8;

extern "C" {

struct CommParamBlock {
    BYTE* lineSettings;
    BYTE* portIndex;                 // 0 to 3
    const char* const* devices;      // four device names, one per port
    DWORD baudCode;                  // the baud code being edited by the port settings dialog
    const char* const* baudTexts;    // indexed by baud code
    const char* const* parityTexts;  // none, odd, even
    const char* caption;             // of message boxes
    const char* iniFile;
    const char* iniSection;
};

struct LineParamBlock {
    BYTE* lineSettings;
    BYTE working;  // the dialog's working copy of the settings
    const char* const* baudTexts;
    BYTE lowestBaudCode;
    BYTE highestBaudCode;
};

INT_PTR StartPCSetupDlg(HWND owner, CommParamBlock* block);
INT_PTR ComPCMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int CheckPortSelection(HWND dialog, CommParamBlock* block);
BOOL SetComPort(HWND dialog, CommParamBlock* block);
int LoadIniCommParams(CommParamBlock* block);
int WriteIniCommParams(CommParamBlock* block);
INT_PTR ExecCommParameters(HWND owner, LineParamBlock* block);

}  // extern "C"

// Control numbers of the port settings dialog "Comm".
inline constexpr int kPortButton = 102;     // 102 to 105: Com 1 to Com 4
inline constexpr int kParityButton = 107;   // 107 to 109: None, Odd, Even
inline constexpr int kStopBitButton = 110;  // 110, 111: 1, 2
inline constexpr int kBaudText = 113;
inline constexpr int kBaudFrame = 2000;
inline constexpr int kBaudSpin = 2001;
// Control numbers of the communication parameters dialog "COMM_PARAMETERS".
inline constexpr int kLineBaudSpin = 801;
inline constexpr int kLineBaudText = 802;
inline constexpr int kLineParityButton = 803;   // 803 to 805
inline constexpr int kLineDataBitButton = 806;  // 806, 807: 7, 8
inline constexpr int kLineStopBitButton = 808;  // 808, 809: 1, 2
