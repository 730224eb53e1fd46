// Control numbers and template names of the driver's dialogs.
#pragma once

namespace kestra::s5::dialog {

// PLC setup dialog (template 500).
inline constexpr int kSetupTemplate = 500;
inline constexpr int kModelCombo = 501;
inline constexpr int kCommButton = 502;

// Field dialog "DefineFieldDlg" and its PLC reference page "FIELDREFPPG".
inline constexpr const char* kFieldTemplate = "DefineFieldDlg";
inline constexpr const char* kFieldPageTemplate = "FIELDREFPPG";
inline constexpr int kFieldTypeCombo = 401;
inline constexpr int kFormatCombo = 402;
inline constexpr int kDataTypeCombo = 403;
inline constexpr int kOffsetEdit = 404;
inline constexpr int kDataBlockEdit = 405;
inline constexpr int kAddressEdit = 407;
inline constexpr int kReferenceGroup = 409;
inline constexpr int kOffsetSpin = 417;
inline constexpr int kDataBlockSpin = 418;
inline constexpr int kBitLabel = 427;  // shown with the bit index combo
inline constexpr int kBitCombo = 428;
inline constexpr int kRightByte = 430;
inline constexpr int kLeftByte = 431;
inline constexpr int kReadOnly = 432;
inline constexpr int kReadWrite = 433;
inline constexpr int kLowPriority = 437;
inline constexpr int kHighPriority = 438;
inline constexpr int kWidthEdit = 440;
inline constexpr int kHeightEdit = 441;
inline constexpr int kMaximumEdit = 444;
inline constexpr int kMinimumEdit = 445;
inline constexpr int kDecimalButton = 450;
inline constexpr int kHexButton = 451;
inline constexpr int kFixedPoint = 454;
inline constexpr int kPlacementEdit = 455;
inline constexpr int kScaleAEdit = 460;
inline constexpr int kScaleBEdit = 461;
inline constexpr int kScaleCEdit = 462;
inline constexpr int kStatic = 471;
inline constexpr int kDynamic = 472;
inline constexpr int kBlink = 474;
inline constexpr int kReverse = 475;
inline constexpr int kHighlight = 476;
inline constexpr int kIndexedButton = 479;
inline constexpr int kDeleteButton = 480;
inline constexpr int kHelpButton = 481;
inline constexpr int kMessageButton = 482;
inline constexpr int kGraphicsButton = 483;

// Alarm dialog "AlarmDlg".
inline constexpr const char* kAlarmTemplate = "AlarmDlg";
inline constexpr int kAlarmNumberEdit = 801;
inline constexpr int kAlarmPriorityEdit = 802;
inline constexpr int kAlarmMessageEdit = 803;
inline constexpr int kAlarmRemaining = 804;
inline constexpr int kAlarmAckTime = 805;
inline constexpr int kAlarmResetTime = 806;
inline constexpr int kAlarmOnTime = 807;
inline constexpr int kAlarmOperatorAck = 808;
inline constexpr int kAlarmSpecialChars = 809;
inline constexpr int kAlarmSpin = 2001;

}  // namespace kestra::s5::dialog
