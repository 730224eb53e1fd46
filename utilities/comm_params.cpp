// K32FABUTIL1 communication parameters: port check, port settings dialog "Comm",
// communication parameters dialog "COMM_PARAMETERS" and INI storage of the line settings.
#include "utilities/comm_params.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>

#include "platform/message_box.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "utilities/boundary.h"
#include "utilities/controls.h"
#include "utilities/dialog_helpers.h"
#include "windows/controls.h"
#include "windows/dialog.h"

namespace {

using kestra::platform::StringResource;
using kestra::utilities::AtBoundary;

constexpr UINT kNoPortsText = 54;
constexpr UINT kSwitchingText = 55;
constexpr UINT kUnavailableText = 56;

constexpr StringResource kStrings[] = {
    {kNoPortsText,
     "There are no communication ports available. Communications with panel cannot be "
     "established on COM "},
    {kSwitchingText, "Switching to COM "},
    {kUnavailableText, "is unavailable"},
};
const kestra::platform::ResourceRegistration kStringRegistration(
    &kStrings, kestra::platform::ResourceKind::Strings, kStrings, std::size(kStrings));

// --- dialog templates -----------------------------------------------------------------------

constexpr DWORD kGroupBox = WS_VISIBLE | WS_GROUP | BS_GROUPBOX;
constexpr DWORD kFirstRadio = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kRadio = WS_VISIBLE | BS_AUTORADIOBUTTON;
constexpr DWORD kSpin = WS_VISIBLE | WS_GROUP | WS_TABSTOP;
constexpr DWORD kDefaultButton = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;

constexpr DialogItemTemplate kPortSettingsItems[] = {
    {-1, "button", "Port", 6, 4, 56, 78, kGroupBox},
    {kPortButton, "button", "Com 1", 14, 16, 40, 10, kFirstRadio},
    {kPortButton + 1, "button", "Com 2", 14, 30, 40, 10, kRadio},
    {kPortButton + 2, "button", "Com 3", 14, 44, 40, 10, kRadio},
    {kPortButton + 3, "button", "Com 4", 14, 58, 40, 10, kRadio},
    {-1, "button", "Baud Rate", 68, 4, 62, 36, kGroupBox},
    {kBaudFrame, "static", "", 76, 17, 34, 14, WS_VISIBLE | WS_GROUP | SS_ETCHEDFRAME},
    {kBaudText, "static", "", 78, 20, 30, 8, WS_VISIBLE | SS_CENTER},
    {kBaudSpin, kSpinClass, "", 112, 16, 10, 16, kSpin},
    {-1, "button", "Stop Bits", 68, 44, 62, 38, kGroupBox},
    {kStopBitButton, "button", "1", 76, 56, 40, 10, kFirstRadio},
    {kStopBitButton + 1, "button", "2", 76, 68, 40, 10, kRadio},
    {-1, "button", "Parity", 136, 4, 58, 78, kGroupBox},
    {kParityButton, "button", "None", 144, 16, 44, 10, kFirstRadio},
    {kParityButton + 1, "button", "Odd", 144, 30, 44, 10, kRadio},
    {kParityButton + 2, "button", "Even", 144, 44, 44, 10, kRadio},
    {IDOK, "button", "OK", 86, 88, 50, 14, kDefaultButton},
    {IDCANCEL, "button", "Cancel", 144, 88, 50, 14, kButton},
};

constexpr DialogItemTemplate kLineParameterItems[] = {
    {-1, "button", "Baud Rate", 6, 4, 70, 34, kGroupBox},
    {kLineBaudText, "static", "", 14, 18, 40, 12, WS_VISIBLE | WS_GROUP | SS_CENTER | SS_SUNKEN},
    {kLineBaudSpin, kSpinClass, "", 58, 16, 10, 16, kSpin},
    {-1, "button", "Data Bits", 6, 42, 70, 38, kGroupBox},
    {kLineDataBitButton, "button", "7", 14, 54, 50, 10, kFirstRadio},
    {kLineDataBitButton + 1, "button", "8", 14, 66, 50, 10, kRadio},
    {-1, "button", "Parity", 82, 4, 56, 48, kGroupBox},
    {kLineParityButton, "button", "None", 90, 16, 40, 10, kFirstRadio},
    {kLineParityButton + 1, "button", "Odd", 90, 27, 40, 10, kRadio},
    {kLineParityButton + 2, "button", "Even", 90, 38, 40, 10, kRadio},
    {-1, "button", "Stop Bits", 82, 54, 56, 26, kGroupBox},
    {kLineStopBitButton, "button", "1", 90, 66, 20, 10, kFirstRadio},
    {kLineStopBitButton + 1, "button", "2", 112, 66, 20, 10, kRadio},
    {IDOK, "button", "OK", 144, 8, 50, 14, kDefaultButton},
    {IDCANCEL, "button", "Cancel", 144, 26, 50, 14, kButton},
};

constexpr DialogTemplate kDialogs[] = {
    {"Comm", 0, "Port Settings", 0, 0, 200, 108, kDialogStyle, "MS Sans Serif", 8,
     kPortSettingsItems, std::size(kPortSettingsItems)},
    {"COMM_PARAMETERS", 0, "Communication Parameters Setup", 0, 0, 200, 88, kDialogStyle,
     "MS Sans Serif", 8, kLineParameterItems, std::size(kLineParameterItems)},
};
const kestra::platform::ResourceRegistration kDialogRegistration(
    &kDialogs, kestra::platform::ResourceKind::Dialogs, kDialogs, std::size(kDialogs));

HMODULE thisModule() {
    return KESTRA_THIS_MODULE();
}

std::string loadText(UINT id) {
    char text[256];
    LoadString(thisModule(), id, text, sizeof text);
    return text;
}

// --- settings byte --------------------------------------------------------------------------

int baudCode(BYTE settings) {
    return settings & kBaudCodeMask;
}
int parity(BYTE settings) {
    return (settings & kParityMask) >> kParityShift;
}
int dataBitFlag(BYTE settings) {
    return (settings & kEightDataBits) ? 1 : 0;
}
int stopBitFlag(BYTE settings) {
    return (settings & kTwoStopBits) ? 1 : 0;
}

BYTE withParity(BYTE settings, int value) {
    return static_cast<BYTE>((settings & ~kParityMask) | ((value << kParityShift) & kParityMask));
}
BYTE withFlag(BYTE settings, BYTE flag, bool on) {
    return static_cast<BYTE>(on ? (settings | flag) : (settings & ~flag));
}
BYTE withBaudCode(BYTE settings, int code) {
    return static_cast<BYTE>((settings & ~kBaudCodeMask) | (code & kBaudCodeMask));
}

// The text of an array entry, or null for a code the array does not have (a settings byte
// may carry baud codes 10 to 15 and parity 3, for which no text exists).
const char* textAt(const char* const* texts, int index, int count) {
    return !texts || index < 0 || index >= count ? nullptr : texts[index];
}
// The same for showing: "" where there is no text.
const char* entry(const char* const* texts, int index, int count) {
    const char* text = textAt(texts, index, count);
    return text ? text : "";
}

// The index of the first checked button of first..first + count - 1, or -1.
int firstChecked(HWND dialog, int first, int count) {
    for (int i = 0; i < count; ++i)
        if (IsDlgButtonChecked(dialog, first + i) == BST_CHECKED) return i;
    return -1;
}

// Checks button first + index when the group has it.
void checkInGroup(HWND dialog, int first, int count, int index) {
    if (index >= 0 && index < count) CheckDlgButton(dialog, first + index, BST_CHECKED);
}

// --- port check -----------------------------------------------------------------------------

bool sameFile(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether any open file descriptor of any process other than `ownDescriptor` of this one
// refers to the device.
bool heldOpenElsewhere(const struct stat& device, int ownDescriptor) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::string self = std::to_string(getpid());
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        std::string pid = process->path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code fdError;
        for (fs::directory_iterator fd(process->path() / "fd", fdError), fdEnd;
             !fdError && fd != fdEnd; fd.increment(fdError)) {
            if (pid == self && fd->path().filename() == std::to_string(ownDescriptor)) continue;
            struct stat target;
            if (stat(fd->path().c_str(), &target) == 0 && sameFile(target, device)) return true;
        }
    }
    return false;
}

// A port can be used when its device opens for reading and writing and no other holder has
// it open.
bool portAvailable(const char* device) {
    if (!device || !*device) return false;
    int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    bool available = fstat(fd, &info) == 0 && !heldOpenElsewhere(info, fd);
    close(fd);
    return available;
}

int checkPorts(HWND dialog, CommParamBlock& block) {
    int current = *block.portIndex;
    if (current >= kPortCount) return current;
    std::array<bool, kPortCount> available{};
    for (int i = 0; i < kPortCount; ++i)
        available[static_cast<std::size_t>(i)] = block.devices && portAvailable(block.devices[i]);
    int taken = kNoPort;
    for (int k = 0; k < kPortCount && taken == kNoPort; ++k) {
        int port = (current + k) % kPortCount;
        if (available[static_cast<std::size_t>(port)]) taken = port;
    }
    if (dialog) {
        for (int i = 0; i < kPortCount; ++i)
            EnableWindow(GetDlgItem(dialog, kPortButton + i),
                         available[static_cast<std::size_t>(i)] ? TRUE : FALSE);
        if (taken != kNoPort)
            CheckRadioButton(dialog, kPortButton, kPortButton + kPortCount - 1,
                             kPortButton + taken);
    }
    return taken;
}

BOOL setPort(HWND dialog, CommParamBlock& block) {
    int taken = checkPorts(dialog, block);
    int current = *block.portIndex;
    char text[512];
    if (taken == kNoPort) {
        std::snprintf(text, sizeof text, "%s %d", loadText(kNoPortsText).c_str(), current + 1);
        MessageBox(dialog, text, block.caption, MB_OK | MB_ICONINFORMATION);
        return TRUE;
    }
    if (taken == current) return FALSE;
    std::snprintf(text, sizeof text, "COM %d %s.\n%s%d", current + 1,
                  loadText(kUnavailableText).c_str(), loadText(kSwitchingText).c_str(), taken + 1);
    MessageBox(dialog, text, block.caption, MB_OK | MB_ICONINFORMATION);
    *block.portIndex = static_cast<BYTE>(taken);
    return FALSE;
}

// --- port settings dialog -------------------------------------------------------------------

// OK stores the dialog's choices and closes it with 1; Cancel closes it with 0.
template <typename Store>
INT_PTR okOrCancel(HWND dialog, WPARAM wParam, Store store) {
    switch (LOWORD(wParam)) {
        case IDOK:
            if (!store()) return FALSE;
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

// The port settings dialog steps among 9600, 19200 and 38400.
constexpr int kLowestPortBaud = 6;
constexpr int kHighestPortBaud = 8;

// Steps a baud code and wraps it into lowest..highest; showing leaves it as it is.
int stepBaud(int code, WORD step, int lowest, int highest) {
    if (step != kSpinUp && step != kSpinDown) return code;
    code += step == kSpinUp ? 1 : -1;
    if (code < lowest) code = highest;
    if (code > highest) code = lowest;
    return code;
}

CommParamBlock* portBlock(HWND dialog) {
    return reinterpret_cast<CommParamBlock*>(GetWindowLongPtr(dialog, GWLP_USERDATA));
}

INT_PTR portSettingsMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* block = reinterpret_cast<CommParamBlock*>(lParam);
            SetWindowLongPtr(dialog, GWLP_USERDATA, lParam);
            CenterDialogBox(dialog);
            block->baudCode = static_cast<DWORD>(baudCode(*block->lineSettings));
            if (setPort(dialog, *block)) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            checkInGroup(dialog, kParityButton, kParityCount, parity(*block->lineSettings));
            checkInGroup(dialog, kStopBitButton, 2, stopBitFlag(*block->lineSettings));
            SendMessage(dialog, kSpinStepMessage,
                        reinterpret_cast<WPARAM>(GetDlgItem(dialog, kBaudSpin)), kSpinShow);
            if (*block->portIndex < kPortCount)
                SetFocus(GetDlgItem(dialog, kPortButton + *block->portIndex));
            return FALSE;
        }
        case kSpinStepMessage: {
            CommParamBlock* block = portBlock(dialog);
            if (!block) return FALSE;
            SetFocus(GetDlgItem(dialog, kBaudSpin));
            int code = stepBaud(static_cast<int>(block->baudCode), LOWORD(lParam), kLowestPortBaud,
                                kHighestPortBaud);
            block->baudCode = static_cast<DWORD>(code);
            SetDlgItemText(dialog, kBaudText, entry(block->baudTexts, code, kBaudCodeCount));
            InvalidateRect(GetDlgItem(dialog, kBaudText), nullptr, TRUE);
            return TRUE;
        }
        case WM_COMMAND:
            return okOrCancel(dialog, wParam, [&] {
                CommParamBlock* block = portBlock(dialog);
                if (!block) return false;
                int port = firstChecked(dialog, kPortButton, kPortCount);
                if (port >= 0) *block->portIndex = static_cast<BYTE>(port);
                BYTE settings = *block->lineSettings;
                if (int p = firstChecked(dialog, kParityButton, kParityCount); p >= 0)
                    settings = withParity(settings, p);
                if (int s = firstChecked(dialog, kStopBitButton, 2); s >= 0)
                    settings = withFlag(settings, kTwoStopBits, s == 1);
                *block->lineSettings = withBaudCode(settings, static_cast<int>(block->baudCode));
                return true;
            });
        default:
            return FALSE;
    }
}

// --- communication parameters dialog --------------------------------------------------------

LineParamBlock* lineBlock(HWND dialog) {
    return reinterpret_cast<LineParamBlock*>(GetWindowLongPtr(dialog, GWLP_USERDATA));
}

// The allowed codes, kept within the codes that have texts.
std::pair<int, int> allowedBaudCodes(const LineParamBlock& block) {
    int highest = std::min<int>(block.highestBaudCode, kBaudCodeCount - 1);
    int lowest = std::min<int>(block.lowestBaudCode, highest);
    return {lowest, highest};
}

// Bottom edge on the owner's bottom edge, left edge a third of the dialog's width to the
// right of the owner's left edge; centred when there is no owner.
void placeOnOwner(HWND dialog) {
    HWND owner = GetParent(dialog);
    RECT ownerRect, own;
    if (!owner || !GetWindowRect(owner, &ownerRect)) {
        CenterDialogBox(dialog);
        return;
    }
    GetWindowRect(dialog, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(dialog, nullptr, ownerRect.left + width / 3, ownerRect.bottom - height, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
}

INT_PTR lineParametersMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* block = reinterpret_cast<LineParamBlock*>(lParam);
            SetWindowLongPtr(dialog, GWLP_USERDATA, lParam);
            block->working = *block->lineSettings;
            placeOnOwner(dialog);
            SendMessage(dialog, kSpinStepMessage,
                        reinterpret_cast<WPARAM>(GetDlgItem(dialog, kLineBaudSpin)), kSpinShow);
            checkInGroup(dialog, kLineParityButton, kParityCount, parity(block->working));
            checkInGroup(dialog, kLineDataBitButton, 2, dataBitFlag(block->working));
            checkInGroup(dialog, kLineStopBitButton, 2, stopBitFlag(block->working));
            return TRUE;
        }
        case kSpinStepMessage: {
            LineParamBlock* block = lineBlock(dialog);
            if (!block) return FALSE;
            auto [lowest, highest] = allowedBaudCodes(*block);
            int code = stepBaud(baudCode(block->working), LOWORD(lParam), lowest, highest);
            block->working = withBaudCode(block->working, code);
            SetDlgItemText(dialog, kLineBaudText, entry(block->baudTexts, code, kBaudCodeCount));
            return TRUE;
        }
        case WM_COMMAND:
            return okOrCancel(dialog, wParam, [&] {
                LineParamBlock* block = lineBlock(dialog);
                if (!block) return false;
                // Each group's first checked button, its last button when none is checked.
                auto chosen = [&](int first, int count) {
                    int index = firstChecked(dialog, first, count);
                    return index >= 0 ? index : count - 1;
                };
                BYTE settings = withParity(block->working, chosen(kLineParityButton, kParityCount));
                settings = withFlag(settings, kEightDataBits, chosen(kLineDataBitButton, 2) == 1);
                settings = withFlag(settings, kTwoStopBits, chosen(kLineStopBitButton, 2) == 1);
                block->working = settings;
                *block->lineSettings = settings;
                return true;
            });
        default:
            return FALSE;
    }
}

INT_PTR CommParametersProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<INT_PTR>(
        FALSE, [&] { return lineParametersMessage(dialog, message, wParam, lParam); });
}

// --- INI storage ----------------------------------------------------------------------------

constexpr std::array<long, kBaudCodeCount> kBaudRates = {150,  300,  600,   1200,  2400,
                                                         4800, 9600, 19200, 38400, 57600};
constexpr std::size_t kParityTextLength = 49;

bool usable(const CommParamBlock* block) {
    return block && block->lineSettings && block->iniFile && block->iniSection;
}

int loadSettings(CommParamBlock& block) {
    BYTE settings = *block.lineSettings;
    const char* file = block.iniFile;
    const char* section = block.iniSection;
    int result = 0;

    auto rate = static_cast<long>(
        static_cast<int>(GetPrivateProfileInt(section, "BaudRate", baudCode(settings), file)));
    auto code = std::find(kBaudRates.begin(), kBaudRates.end(), rate);
    if (code != kBaudRates.end())
        settings = withBaudCode(settings, static_cast<int>(code - kBaudRates.begin()));
    else
        result = 1;

    auto bits =
        static_cast<int>(GetPrivateProfileInt(section, "DataBits", dataBitFlag(settings), file));
    if (bits == 7 || bits == 8)
        settings = withFlag(settings, kEightDataBits, bits == 8);
    else
        result = 1;

    char text[kParityTextLength + 1];
    const char* none = entry(block.parityTexts, 0, kParityCount);
    GetPrivateProfileString(section, "Parity", none, text, sizeof text, file);
    static constexpr std::size_t kCompared[kParityCount] = {4, 3, 4};
    int found = -1;
    for (int p = 0; p < kParityCount && found < 0; ++p)
        if (std::strncmp(text, entry(block.parityTexts, p, kParityCount), kCompared[p]) == 0)
            found = p;
    if (found >= 0)
        settings = withParity(settings, found);
    else
        result = 1;
    *block.lineSettings = settings;

    UINT stop = GetPrivateProfileInt(section, "StopBits", stopBitFlag(settings), file);
    if (stop == 0 || stop > 2) return 1;
    *block.lineSettings = withFlag(settings, kTwoStopBits, stop == 2);
    return result;
}

int writeSettings(const CommParamBlock& block) {
    BYTE settings = *block.lineSettings;
    const char* file = block.iniFile;
    const char* section = block.iniSection;
    // A code without a text cannot be written: that key fails, the others are still written.
    auto write = [&](const char* key, const char* value) {
        return value && WritePrivateProfileString(section, key, value, file);
    };
    bool ok = write("BaudRate", textAt(block.baudTexts, baudCode(settings), kBaudCodeCount));
    ok = write("DataBits", dataBitFlag(settings) ? "8" : "7") && ok;
    ok = write("Parity", textAt(block.parityTexts, parity(settings), kParityCount)) && ok;
    ok = write("StopBits", stopBitFlag(settings) ? "2" : "1") && ok;
    return ok ? 0 : 1;
}

}  // namespace

extern "C" {

INT_PTR StartPCSetupDlg(HWND owner, CommParamBlock* block) {
    return AtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
        if (!block || !block->lineSettings || !block->portIndex) return 0;
        INT_PTR result = DialogBoxParam(thisModule(), "Comm", owner, ComPCMsgProc,
                                        reinterpret_cast<LPARAM>(block));
        return result == 1 ? 1 : 0;
    });
}

INT_PTR ComPCMsgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return AtBoundary<INT_PTR>(
        FALSE, [&] { return portSettingsMessage(dialog, message, wParam, lParam); });
}

int CheckPortSelection(HWND dialog, CommParamBlock* block) {
    return AtBoundary<int>(
        kNoPort, [&] { return block && block->portIndex ? checkPorts(dialog, *block) : kNoPort; });
}

BOOL SetComPort(HWND dialog, CommParamBlock* block) {
    return AtBoundary<BOOL>(
        TRUE, [&] { return block && block->portIndex ? setPort(dialog, *block) : TRUE; });
}

int LoadIniCommParams(CommParamBlock* block) {
    return AtBoundary<int>(1, [&] { return usable(block) ? loadSettings(*block) : 1; });
}

int WriteIniCommParams(CommParamBlock* block) {
    return AtBoundary<int>(1, [&] { return usable(block) ? writeSettings(*block) : 1; });
}

INT_PTR ExecCommParameters(HWND owner, LineParamBlock* block) {
    return AtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
        if (!block || !block->lineSettings) return 0;
        INT_PTR result = DialogBoxParam(thisModule(), "COMM_PARAMETERS", owner, CommParametersProc,
                                        reinterpret_cast<LPARAM>(block));
        return result == 1 ? 1 : 0;
    });
}

}  // extern "C"
