// The driver's dialog templates: PLC setup, field dialog, its PLC reference page and alarms.
#include <array>
#include <iterator>

#include "platform/message_box.h"
#include "platform/module.h"
#include "plc_s5/dialog_ids.h"
#include "utilities/controls.h"
#include "windows/dialog.h"

namespace {

using namespace kestra::s5::dialog;

constexpr DWORD kText = WS_VISIBLE | SS_LEFT;
constexpr DWORD kGroupBox = WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kCombo = WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kEdit = WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kSpin = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kFirstRadio = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kRadio = WS_VISIBLE | BS_AUTORADIOBUTTON;
constexpr DWORD kCheck = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kDefaultButton = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDialogStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
constexpr DWORD kPageStyle = WS_CHILD | DS_CONTROL | DS_SETFONT;

constexpr DialogItemTemplate kSetupItems[] = {
    {-1, "static", "PLC &Model", 8, 10, 44, 8, kText},
    {kModelCombo, "combobox", "", 54, 8, 96, 60, kCombo},
    {IDOK, "button", "OK", 160, 6, 60, 14, kDefaultButton},
    {IDCANCEL, "button", "Cancel", 160, 24, 60, 14, kButton},
    {kCommButton, "button", "PLC &Comm ...", 160, 42, 60, 14, kButton},
};

// The PLC reference group: the page shows it alone, the field dialog on top of the rest.
constexpr std::array<DialogItemTemplate, 19> kReferenceItems{{
    {kReferenceGroup, "button", "PLC Reference", 6, 4, 318, 82, kGroupBox},
    {-1, "static", "Data T&ype", 12, 18, 40, 8, kText},
    {kDataTypeCombo, "combobox", "", 54, 16, 84, 60, kCombo},
    {-1, "static", "Data &Format", 148, 18, 44, 8, kText},
    {kFormatCombo, "combobox", "", 194, 16, 92, 120, kCombo},
    {-1, "static", "DB", 12, 36, 14, 8, kText},
    {kDataBlockEdit, "edit", "", 28, 34, 26, 12, kEdit},
    {kDataBlockSpin, kSpinClass, "", 55, 33, 10, 14, kSpin},
    {-1, "static", "Offset", 72, 36, 26, 8, kText},
    {kOffsetEdit, "edit", "", 100, 34, 26, 12, kEdit},
    {kOffsetSpin, kSpinClass, "", 127, 33, 10, 14, kSpin},
    {kLeftByte, "button", "L", 148, 35, 22, 10, kFirstRadio},
    {kRightByte, "button", "R", 172, 35, 22, 10, kRadio},
    {kBitLabel, "static", "&Bit Index", 204, 36, 36, 8, kText},
    {kBitCombo, "combobox", "", 242, 34, 44, 100, kCombo},
    {-1, "static", "&Address", 12, 54, 32, 8, kText},
    {kAddressEdit, "edit", "", 46, 52, 120, 12, kEdit},
    {kLowPriority, "button", "Low Priority", 12, 70, 70, 10, kFirstRadio},
    {kHighPriority, "button", "High Priority", 88, 70, 70, 10, kRadio},
}};

constexpr DialogItemTemplate kFieldOnlyItems[] = {
    {-1, "button", "Display", 6, 90, 160, 116, kGroupBox},
    {-1, "static", "Dis&play Format", 12, 104, 56, 8, kText},
    {kFieldTypeCombo, "combobox", "", 70, 102, 90, 100, kCombo},
    {kDecimalButton, "button", "Decimal", 12, 120, 56, 10, kFirstRadio},
    {kHexButton, "button", "Hexadecimal", 80, 120, 64, 10, kRadio},
    {kReadOnly, "button", "&Read Only", 12, 134, 56, 10, kFirstRadio},
    {kReadWrite, "button", "Read/Wri&te", 80, 134, 64, 10, kRadio},
    {-1, "static", "Field &Width", 12, 152, 44, 8, kText},
    {kWidthEdit, "edit", "", 58, 150, 24, 12, kEdit},
    {-1, "static", "Field Hei&ght", 90, 152, 44, 8, kText},
    {kHeightEdit, "edit", "", 136, 150, 24, 12, kEdit},
    {kFixedPoint, "button", "Fi&xed point", 12, 170, 56, 10, kCheck},
    {-1, "static", "P&lacement", 80, 171, 40, 8, kText},
    {kPlacementEdit, "edit", "", 122, 169, 24, 12, kEdit},
    {-1, "button", "Limits", 172, 90, 152, 46, kGroupBox},
    {-1, "static", "M&in. value", 178, 104, 44, 8, kText},
    {kMinimumEdit, "edit", "", 224, 102, 92, 12, kEdit},
    {-1, "static", "Max. &value", 178, 120, 44, 8, kText},
    {kMaximumEdit, "edit", "", 224, 118, 92, 12, kEdit},
    {-1, "button", "Scaling", 172, 140, 152, 30, kGroupBox},
    {-1, "static", "Y=", 178, 154, 12, 8, kText},
    {kScaleAEdit, "edit", "", 192, 152, 34, 12, kEdit},
    {-1, "static", "/", 228, 154, 6, 8, kText},
    {kScaleBEdit, "edit", "", 236, 152, 34, 12, kEdit},
    {-1, "static", "X +", 272, 154, 14, 8, kText},
    {kScaleCEdit, "edit", "", 288, 152, 30, 12, kEdit},
    {-1, "button", "Attributes", 172, 174, 152, 32, kGroupBox},
    {kStatic, "button", "Static", 178, 184, 44, 10, kFirstRadio},
    {kDynamic, "button", "Dynamic", 226, 184, 50, 10, kRadio},
    {kBlink, "button", "Blink", 178, 195, 36, 10, kCheck},
    {kHighlight, "button", "Highlight", 218, 195, 48, 10, kCheck},
    {kReverse, "button", "Reverse", 270, 195, 44, 10, kCheck},
    {IDOK, "button", "OK", 6, 212, 50, 14, kDefaultButton},
    {IDCANCEL, "button", "Cancel", 60, 212, 50, 14, kButton},
    {kDeleteButton, "button", "&Delete", 114, 212, 50, 14, kButton},
    {kHelpButton, "button", "&Help", 168, 212, 50, 14, kButton},
    {kMessageButton, "button", "Edit &Message", 6, 230, 70, 14, kButton},
    {kGraphicsButton, "button", "Edit Graphics", 80, 230, 70, 14, kButton},
    {kIndexedButton, "button", "Indexed ...", 154, 230, 64, 14, kButton},
};

// The field dialog: the reference group, then the field's own controls.
template <std::size_t A, std::size_t B>
constexpr std::array<DialogItemTemplate, A + B> Joined(const std::array<DialogItemTemplate, A>& a,
                                                       const DialogItemTemplate (&b)[B]) {
    std::array<DialogItemTemplate, A + B> all{};
    for (std::size_t i = 0; i < A; ++i) all[i] = a[i];
    for (std::size_t i = 0; i < B; ++i) all[A + i] = b[i];
    return all;
}
constexpr auto kFieldItems = Joined(kReferenceItems, kFieldOnlyItems);

constexpr DialogItemTemplate kAlarmItems[] = {
    {-1, "static", "Alarm &Number", 8, 10, 50, 8, kText},
    {kAlarmNumberEdit, "edit", "", 60, 8, 28, 12, kEdit},
    {kAlarmSpin, kSpinClass, "", 89, 7, 10, 14, kSpin},
    {-1, "static", "P&riority", 112, 10, 32, 8, kText},
    {kAlarmPriorityEdit, "edit", "", 146, 8, 28, 12, kEdit},
    {-1, "static", "&Message", 8, 28, 40, 8, kText},
    {kAlarmMessageEdit, "edit", "", 8, 38, 244, 12, kEdit},
    {-1, "static", "Remaining length:", 8, 55, 66, 8, kText},
    {kAlarmRemaining, "static", "", 76, 55, 30, 8, kText},
    {-1, "button", "Logging", 8, 68, 150, 60, kGroupBox},
    {kAlarmAckTime, "button", "Time of ACK", 14, 80, 130, 10, kCheck},
    {kAlarmResetTime, "button", "Time of reset (OFF)", 14, 92, 130, 10, kCheck},
    {kAlarmOnTime, "button", "Time of alarm (ON)", 14, 104, 130, 10, kCheck},
    {kAlarmOperatorAck, "button", "Operator ACK required", 14, 116, 130, 10, kCheck},
    {kAlarmSpecialChars, "button", "&Special chars", 172, 70, 80, 14, kButton},
    {IDOK, "button", "OK", 172, 96, 80, 14, kDefaultButton},
    {IDCANCEL, "button", "Cancel", 172, 114, 80, 14, kButton},
};

constexpr DialogTemplate kDialogs[] = {
    {nullptr, kSetupTemplate, "Simatic S5 - PLC Setup", 0, 0, 228, 62, kDialogStyle,
     "MS Sans Serif", 8, kSetupItems, std::size(kSetupItems)},
    {kFieldTemplate, 0, "Siemens Simatic S5 Define Field ver. ", 0, 0, 330, 250, kDialogStyle,
     "MS Sans Serif", 8, kFieldItems.data(), kFieldItems.size()},
    {kFieldPageTemplate, 0, "", 0, 0, 330, 90, kPageStyle, "MS Sans Serif", 8,
     kReferenceItems.data(), kReferenceItems.size()},
    {kAlarmTemplate, 0, "Alarms", 0, 0, 260, 134, kDialogStyle, "MS Sans Serif", 8, kAlarmItems,
     std::size(kAlarmItems)},
};

const kestra::platform::ResourceRegistration kRegistration(&kDialogs,
                                                           kestra::platform::ResourceKind::Dialogs,
                                                           kDialogs, std::size(kDialogs));

}  // namespace
