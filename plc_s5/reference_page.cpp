// The PLC reference controls (page "FIELDREFPPG", and the field dialog's own controls):
// validation of the field after every change and the refilling of the controls.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "plc_s5/address.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/export_guard.h"
#include "plc_s5/field_dialog.h"
#include "plc_s5/formats.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/strings.h"
#include "utilities/controls.h"
#include "utilities/dialog_helpers.h"
#include "windows/dialog.h"

using namespace kestra;
using namespace kestra::s5;
using namespace kestra::s5::dialog;

namespace {

constexpr unsigned kLowestDataBlock = 2;
constexpr unsigned kHighestDataBlock = 255;
constexpr unsigned kMessageWidthLimit = 128;
constexpr unsigned kTimerWidth = 4;
constexpr unsigned kCounterWidth = 3;
constexpr unsigned kBitsPerByte = 8;
constexpr std::size_t kEditorBytesOffset = 7;
constexpr std::size_t kEditorBytesLength = 15;
constexpr std::size_t kAttributeByte = 62;  // field record: bit 7 dynamic, bits 0-2 attributes
constexpr std::uint8_t kDynamicBit = 0x80;
constexpr std::uint8_t kReadWriteBit = 0x01;
constexpr int kTextRoom = 128;
// Internal refresh code: the address box named a new reference.
constexpr unsigned kRefreshAddressRead = 0x100;

// Buttons that set or clear one bit of a field byte.
struct BitButton {
    int id;
    std::uint8_t mask;
    bool setsBit;  // the radio button that sets the bit; its partner clears it
};
constexpr BitButton kAttributeButtons[] = {
    {kStatic, kDynamicBit, false}, {kDynamic, kDynamicBit, true}, {kBlink, 0x01, true},
    {kHighlight, 0x02, true},      {kReverse, 0x04, true},
};

std::uint8_t& AttributeByte(FieldRecord& field) {
    return reinterpret_cast<std::uint8_t*>(&field)[kAttributeByte];
}

struct View {
    _tagDEFIELD& context;
    FieldRecord& field;
    uPLCADR& ref;
    sDISPFORMAT& display;
    const ModelRow& row;
};

View ViewOf(_tagDEFIELD& context) {
    if (context.setupCopy.model == 0) context.setupCopy.model = 1;
    const ModelRow* row = RowOf(&context.setupCopy);
    FieldRecord& field = *context.field;
    return {context, field, field.plc, field.display, row ? *row : *ModelRowFor(1)};
}

bool IsCheckable(HWND dialog, int id) {
    return GetDlgItem(dialog, id) != nullptr;
}

std::string ItemText(HWND dialog, int id) {
    char text[kTextRoom] = "";
    GetDlgItemText(dialog, id, text, sizeof text);
    return text;
}

// Rewrites a control's text only when it differs, so that the caret of an unchanged box
// stays where it is; true when it was rewritten.
bool SetTextIfDifferent(HWND dialog, int id, const std::string& text) {
    if (!GetDlgItem(dialog, id) || ItemText(dialog, id) == text) return false;
    SetDlgItemText(dialog, id, text.c_str());
    return true;
}

// Fills a combo box with strings base + n of the list, unless it holds them already, and
// selects `selected`.
void FillCombo(HWND dialog, int id, int base, std::vector<LONG> list, LONG selected) {
    HWND combo = GetDlgItem(dialog, id);
    if (!combo) return;
    list.push_back(kListEnd);
    if (!CheckCBStrings(combo, base, list.data())) {
        SendMessage(combo, CB_RESETCONTENT, 0, 0);
        SetCBStrings(combo, base, list.data());
    }
    if (!SelectCBItem(combo, selected))
        SendMessage(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void Show(HWND dialog, int id, bool visible) {
    if (HWND control = GetDlgItem(dialog, id)) ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
}
void Enable(HWND dialog, int id, bool enabled) {
    if (HWND control = GetDlgItem(dialog, id)) EnableWindow(control, enabled);
}
void Check(HWND dialog, int id, bool checked) {
    if (IsCheckable(dialog, id)) CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

unsigned ElementFilter(const _tagDEFIELD& context) {
    return ContextFilterFlags(context, false) | kFormatKnown;
}

ElementRange RangeOf(const View& v) {
    return ElementRangeFor(v.row, v.ref.dataFormat, ElementFilter(v.context), v.field.width);
}

// The byte choice (L or R) applies to the one-byte forms in a word area.
bool ByteChoice(unsigned format) {
    return format == kBit || format == kByte || format == kAscii;
}

// The widest field the panel's lines hold, in characters; 0 when the panel told nothing.
unsigned PanelWidth(const _tagDEFIELD& context) {
    if (!context.lineWidths || context.lineCount == 0 || context.characterWidth == 0) return 0;
    const std::uint32_t narrowest =
        *std::min_element(context.lineWidths, context.lineWidths + context.lineCount);
    return narrowest / context.characterWidth;
}

// Panel lines wide enough for a field of `width` characters.
unsigned LinesHolding(const _tagDEFIELD& context, unsigned width) {
    if (!context.lineWidths || context.characterWidth == 0) return 0;
    return static_cast<unsigned>(
        std::count_if(context.lineWidths, context.lineWidths + context.lineCount,
                      [&](std::uint32_t w) { return w / context.characterWidth >= width; }));
}

void LimitWidth(View& v) {
    unsigned width = std::max<unsigned>(v.field.width, 1);
    if (v.display.fieldType == kMessage) width = std::min(width, kMessageWidthLimit);
    if (v.ref.dataFormat == kTimer) width = std::min(width, kTimerWidth);
    if (v.ref.dataFormat == kCounter) width = std::min(width, kCounterWidth);
    if (const unsigned panel = PanelWidth(v.context)) width = std::min(width, panel);
    v.field.width = static_cast<std::uint8_t>(width);

    const bool tall = v.display.fieldType >= kHorzBargraph && v.display.fieldType <= kTouchGraphics;
    const unsigned lines = LinesHolding(v.context, width);
    unsigned height = tall ? std::max<unsigned>(v.field.height, 1) : 1;
    if (tall && lines) height = std::min(height, lines);
    v.field.height = static_cast<std::uint8_t>(height);
    if (v.display.decimals >= width) v.display.decimals = static_cast<std::uint8_t>(width - 1);
}

void ValidateDataType(View& v, unsigned code) {
    const unsigned filter = ContextFilterFlags(v.context, false);
    const unsigned type = v.display.fieldType, cls = v.field.fieldClass;
    if (v.ref.dataType == 0) v.ref.dataType = kDataBlock;
    const unsigned old = v.ref.dataType;
    if (!DataTypePasses(v.row, type, cls, v.ref.dataType, filter)) v.ref.dataType = kDataBlock;
    if (v.ref.dataType != old || (code & kRefreshResetFormat)) {
        v.ref.dataFormat = v.row.preferredFormat;
        v.ref.byteOffset = static_cast<std::uint16_t>(RangeOf(v).low * kElementSize);
    }
    if (v.ref.dataType == kDataBlock) {
        if (v.ref.dataBlock < kLowestDataBlock) v.ref.dataBlock = kLowestDataBlock;
    } else {
        v.ref.dataBlock = 0;
    }
}

std::vector<LONG> PassingFormats(const View& v) {
    std::vector<LONG> formats;
    const unsigned filter = ContextFilterFlags(v.context, true);
    for (unsigned f = 1; f <= kFormatCount; ++f)
        if (FormatPasses(v.row, v.display.fieldType, v.field.fieldClass, v.ref.dataType, f, filter))
            formats.push_back(static_cast<LONG>(f));
    return formats;
}

void ValidateFormat(View& v) {
    const std::vector<LONG> formats = PassingFormats(v);
    if (std::find(formats.begin(), formats.end(), LONG{v.ref.dataFormat}) == formats.end())
        v.ref.dataFormat =
            formats.empty() ? std::uint8_t{kNoFormat} : static_cast<std::uint8_t>(formats.front());
}

void ValidateElement(View& v) {
    const unsigned right = ByteChoice(v.ref.dataFormat) ? (v.ref.byteOffset & 1u) : 0u;
    const int element = SpinElement(v.ref.byteOffset / kElementSize, 0, RangeOf(v));
    v.ref.byteOffset = static_cast<std::uint16_t>(element * static_cast<int>(kElementSize) + right);
    if (v.ref.dataFormat != kBit || v.ref.bit >= kBitsPerByte) v.ref.bit = 0;
}

void ValidateLimits(View& v) {
    LONG minimum = v.display.minimum, maximum = v.display.maximum;
    ExpValidateMaxMin(&v.display, &minimum, &maximum, &v.ref, FALSE, TRUE);
    v.display.minimum = minimum;
    v.display.maximum = maximum;
}

void ValidateBase(View& v) {
    const unsigned base = v.display.baseIndex();
    if (v.display.fieldType != kNumeric || BaseCapable(kNumeric, v.ref.dataFormat, base)) return;
    v.display.format =
        static_cast<std::uint8_t>((v.display.format & ~0x18) | (kestra::s5::kDecimal << 3));
}

// --- filling the controls -------------------------------------------------------------------

void FillReference(HWND dialog, View& v, unsigned code) {
    const unsigned filter = ContextFilterFlags(v.context, false);
    std::vector<LONG> types;
    for (unsigned t = 1; t < kDataTypeCount; ++t)
        if (DataTypePasses(v.row, v.display.fieldType, v.field.fieldClass, t, filter))
            types.push_back(static_cast<LONG>(t));
    FillCombo(dialog, kDataTypeCombo, static_cast<int>(strings::kDataTypeNames), types,
              v.ref.dataType);
    FillCombo(dialog, kFormatCombo, static_cast<int>(strings::kFormatLongNames), PassingFormats(v),
              v.ref.dataFormat);

    const bool dataBlock = v.ref.dataType == kDataBlock;
    Show(dialog, kDataBlockEdit, dataBlock);
    Show(dialog, kDataBlockSpin, dataBlock);
    SetTextIfDifferent(dialog, kDataBlockEdit, std::to_string(v.ref.dataBlock));
    SetTextIfDifferent(dialog, kOffsetEdit, std::to_string(v.ref.byteOffset / kElementSize));

    const bool choice = ByteChoice(v.ref.dataFormat);
    Enable(dialog, kLeftByte, choice);
    Enable(dialog, kRightByte, choice);
    Check(dialog, kLeftByte, !(v.ref.byteOffset & 1));
    Check(dialog, kRightByte, v.ref.byteOffset & 1);

    const bool bit = v.ref.dataFormat == kBit;
    Show(dialog, kBitLabel, bit);
    Show(dialog, kBitCombo, bit);
    if (bit)
        FillCombo(dialog, kBitCombo, static_cast<int>(strings::kBitNumbers),
                  {0, 1, 2, 3, 4, 5, 6, 7}, v.ref.bit);
    Check(dialog, kLowPriority, !(v.ref.flags & uPLCADR::kHighPriority));
    Check(dialog, kHighPriority, v.ref.flags & uPLCADR::kHighPriority);

    char address[101] = "";
    uPLCADR ref = v.ref;
    ExpWriteLogicalAddressString(address, v.context.project, &v.context.setupCopy, &ref, 0, FALSE,
                                 0);
    if (SetTextIfDifferent(dialog, kAddressEdit, address) || (code & kRefreshAddressRead)) {
        NMHDR header{dialog, static_cast<UINT_PTR>(GetDlgCtrlID(dialog)), kAddressChangedNotify};
        if (HWND parent = GetParent(dialog))
            SendMessage(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
}

std::string LimitText(View& v, std::int32_t value) {
    char text[kTextRoom] = "";
    ExpConvertMaxMin2String(&v.display, value, text, &v.ref);
    return text;
}

void FillDisplay(HWND dialog, View& v) {
    if (!GetDlgItem(dialog, kFieldTypeCombo)) return;
    const unsigned filter = ContextFilterFlags(v.context, false);
    std::vector<LONG> types;
    for (unsigned t = 0; t < kFieldTypeCount; ++t)
        if (t == v.display.fieldType ||
            DataTypePasses(v.row, t, v.field.fieldClass, v.ref.dataType, filter))
            types.push_back(static_cast<LONG>(t));
    FillCombo(dialog, kFieldTypeCombo, static_cast<int>(strings::kFieldTypes), types,
              v.display.fieldType);

    const unsigned type = v.display.fieldType, format = v.ref.dataFormat;
    const unsigned base = v.display.baseIndex();
    Enable(dialog, kDecimalButton, BaseCapable(type, format, kDecimal));
    Enable(dialog, kHexButton, BaseCapable(type, format, kHexadecimal));
    Check(dialog, kDecimalButton, base == kDecimal);
    Check(dialog, kHexButton, base == kHexadecimal);

    uPLCADR ref = v.ref;
    const bool writable =
        ExpIsReadWriteSupported(&v.context.setupCopy, type, &ref, v.field.fieldClass) != 0;
    if (!writable) v.display.access &= static_cast<std::uint8_t>(~kReadWriteBit);
    Enable(dialog, kReadWrite, writable);
    Check(dialog, kReadOnly, !(v.display.access & kReadWriteBit));
    Check(dialog, kReadWrite, v.display.access & kReadWriteBit);

    SetTextIfDifferent(dialog, kWidthEdit, std::to_string(v.field.width));
    SetTextIfDifferent(dialog, kHeightEdit, std::to_string(v.field.height));
    Enable(dialog, kHeightEdit, type >= kHorzBargraph && type <= kTouchGraphics);
    const bool fixed = FixedPointCapable(type, format, base);
    Enable(dialog, kFixedPoint, fixed);
    Enable(dialog, kPlacementEdit, fixed && (v.display.format & sDISPFORMAT::kFixedPoint));
    Check(dialog, kFixedPoint, v.display.format & sDISPFORMAT::kFixedPoint);
    SetTextIfDifferent(dialog, kPlacementEdit, std::to_string(v.display.decimals));

    SetTextIfDifferent(dialog, kMinimumEdit, LimitText(v, v.display.minimum));
    SetTextIfDifferent(dialog, kMaximumEdit, LimitText(v, v.display.maximum));
    const bool scaling = ScalingCapable(type, format);
    const std::int32_t factors[3] = {v.display.scaleA, v.display.scaleB, v.display.scaleC};
    for (int i = 0; i < 3; ++i) {
        SetTextIfDifferent(dialog, kScaleAEdit + i, std::to_string(factors[i]));
        Enable(dialog, kScaleAEdit + i, scaling);
    }
    const std::uint8_t attributes = AttributeByte(v.field);
    for (const BitButton& b : kAttributeButtons)
        Check(dialog, b.id, ((attributes & b.mask) != 0) == b.setsBit);

    Enable(dialog, kMessageButton, v.context.messageCallback && type == kMessage);
    Enable(dialog, kGraphicsButton,
           v.context.messageCallback && (type == kGraphics || type == kTouchGraphics));
    Enable(dialog, kIndexedButton, v.context.indexCallback != nullptr);
}

// --- what the user changed ------------------------------------------------------------------

int ItemNumber(HWND dialog, int id, bool* read) {
    BOOL translated = FALSE;
    const int value = static_cast<int>(GetDlgItemInt(dialog, id, &translated, TRUE));
    *read = translated != 0;
    return value;
}

void DataBlockTyped(HWND dialog, View& v) {
    bool read = false;
    const int number = ItemNumber(dialog, kDataBlockEdit, &read);
    const bool inRange = read && number >= static_cast<int>(kLowestDataBlock) &&
                         number <= static_cast<int>(kHighestDataBlock);
    v.ref.dataBlock = static_cast<std::uint8_t>(inRange ? number : kLowestDataBlock);
}

void ElementTyped(HWND dialog, View& v) {
    bool read = false;
    const int element = ItemNumber(dialog, kOffsetEdit, &read);
    if (!read) return;
    const unsigned right = v.ref.byteOffset & 1u;
    // An element outside the range wraps to its other end when the field is validated.
    const ElementRange range = RangeOf(v);
    const int kept = element > range.high ? range.high + 1 : (element < range.low ? -1 : element);
    v.ref.byteOffset = static_cast<std::uint16_t>(
        SpinElement(kept, 0, range) * static_cast<int>(kElementSize) + static_cast<int>(right));
}

// True when the box named a new reference.
bool AddressTyped(HWND dialog, View& v) {
    const std::string text = ItemText(dialog, kAddressEdit);
    uPLCADR ref = v.ref;
    if (!ExpDecodeLogicalAddressString(text.c_str(), v.context.project, &v.context.setupCopy, &ref,
                                       0, FALSE, 0))
        return false;
    const bool changed = std::memcmp(&ref, &v.ref, sizeof ref) != 0;
    v.ref = ref;
    return changed;
}

void WidthTyped(HWND dialog, View& v) {
    bool read = false;
    const int width = ItemNumber(dialog, kWidthEdit, &read);
    if (read && width > 0) v.field.width = static_cast<std::uint8_t>(std::min(width, 255));
}

void HeightTyped(HWND dialog, View& v) {
    bool read = false;
    const int height = ItemNumber(dialog, kHeightEdit, &read);
    if (read && height > 0) v.field.height = static_cast<std::uint8_t>(std::min(height, 255));
}

void PlacementTyped(HWND dialog, View& v) {
    bool read = false;
    const int places = ItemNumber(dialog, kPlacementEdit, &read);
    if (read && places >= 0) v.display.decimals = static_cast<std::uint8_t>(std::min(places, 255));
}

void LimitTyped(HWND dialog, View& v, int id) {
    const std::string text = ItemText(dialog, id);
    LONG value = 0;
    ExpConvertString2MaxMin(&v.display, &value, text.c_str(), &v.ref, 0);
    (id == kMinimumEdit ? v.display.minimum : v.display.maximum) = value;
}

// Scaling is on while the factors differ from the plain Y = X.
void ScaleTyped(HWND dialog, View& v, int id) {
    const std::string text = ItemText(dialog, id);
    LONG value = 0;
    const auto which = static_cast<DWORD>(id - kScaleAEdit);
    ExpConvertString2ScaleFac(which, &v.display, &value, text.c_str(), &v.ref);
    les32* factors[3] = {&v.display.scaleA, &v.display.scaleB, &v.display.scaleC};
    *factors[which] = value;
    const bool plain = v.display.scaleA == 1 && v.display.scaleB == 1 && v.display.scaleC == 0;
    v.display.format = static_cast<std::uint8_t>(plain ? v.display.format & ~sDISPFORMAT::kScaling
                                                       : v.display.format | sDISPFORMAT::kScaling);
}

// The refresh code after an edit box lost the focus, or nothing when it is not one of ours.
std::optional<unsigned> EditLostFocus(HWND dialog, View& v, int id) {
    switch (id) {
        case kDataBlockEdit:
            DataBlockTyped(dialog, v);
            return 0u;
        case kOffsetEdit:
            ElementTyped(dialog, v);
            return 0u;
        case kAddressEdit:
            return AddressTyped(dialog, v) ? kRefreshAddressRead : 0u;
        case kWidthEdit:
            WidthTyped(dialog, v);
            return 0u;
        case kHeightEdit:
            HeightTyped(dialog, v);
            return 0u;
        case kPlacementEdit:
            PlacementTyped(dialog, v);
            return 0u;
        case kMinimumEdit:
        case kMaximumEdit:
            LimitTyped(dialog, v, id);
            return 0u;
        case kScaleAEdit:
        case kScaleBEdit:
        case kScaleCEdit:
            ScaleTyped(dialog, v, id);
            return 0u;
        default:
            return std::nullopt;
    }
}

// A combo box choice; the refresh code it calls for, or nothing when the control is not one.
std::optional<unsigned> ComboChosen(HWND dialog, View& v, int id) {
    const LONG_PTR data = GetCBSelectionData(GetDlgItem(dialog, id));
    if (data < 0) return std::nullopt;
    const auto value = static_cast<std::uint8_t>(data);
    switch (id) {
        case kDataTypeCombo:
            v.ref.dataType = value;
            return kRefreshResetFormat;
        case kFormatCombo:
            v.ref.dataFormat = value;
            return 0u;
        case kBitCombo:
            v.ref.bit = value;
            return 0u;
        case kFieldTypeCombo:
            v.display.fieldType = value;
            return 0u;
        default:
            return std::nullopt;
    }
}

void SetBit(std::uint8_t& byte, std::uint8_t mask, bool on) {
    byte = static_cast<std::uint8_t>(on ? byte | mask : byte & ~mask);
}

bool ButtonClicked(HWND dialog, View& v, int id) {
    const bool checked = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
    switch (id) {
        case kLeftByte:
        case kRightByte:
            v.ref.byteOffset =
                static_cast<std::uint16_t>((v.ref.byteOffset & ~1u) | (id == kRightByte ? 1u : 0u));
            return true;
        case kLowPriority:
        case kHighPriority:
            SetBit(v.ref.flags, uPLCADR::kHighPriority, id == kHighPriority);
            return true;
        case kDecimalButton:
        case kHexButton:
            v.display.format =
                static_cast<std::uint8_t>((v.display.format & ~0x18) |
                                          ((id == kDecimalButton ? kDecimal : kHexadecimal) << 3));
            return true;
        case kReadOnly:
        case kReadWrite:
            SetBit(v.display.access, kReadWriteBit, id == kReadWrite);
            return true;
        case kFixedPoint:
            SetBit(v.display.format, sDISPFORMAT::kFixedPoint, checked);
            return true;
        default:
            break;
    }
    for (const BitButton& b : kAttributeButtons)
        if (b.id == id) {
            SetBit(AttributeByte(v.field), b.mask, b.setsBit ? checked : false);
            return true;
        }
    return false;
}

bool Command(HWND dialog, _tagDEFIELD& context, WORD id, WORD code) {
    View v = ViewOf(context);
    std::optional<unsigned> refresh;
    if (code == EN_KILLFOCUS) refresh = EditLostFocus(dialog, v, id);
    if (code == CBN_SELCHANGE) refresh = ComboChosen(dialog, v, id);
    if (code == BN_CLICKED && ButtonClicked(dialog, v, id)) refresh = 0u;
    if (!refresh) return false;
    RefreshFieldControls(dialog, context, *refresh);
    return true;
}

void Spin(HWND dialog, _tagDEFIELD& context, HWND spin, WORD direction) {
    View v = ViewOf(context);
    const int step = direction == kSpinUp ? 1 : (direction == kSpinDown ? -1 : 0);
    switch (GetDlgCtrlID(spin)) {
        case kDataBlockSpin: {
            const ElementRange blocks{static_cast<int>(kLowestDataBlock),
                                      static_cast<int>(kHighestDataBlock)};
            v.ref.dataBlock = static_cast<std::uint8_t>(SpinElement(v.ref.dataBlock, step, blocks));
            break;
        }
        case kOffsetSpin: {
            const unsigned right = v.ref.byteOffset & 1u;
            const int element = SpinElement(v.ref.byteOffset / kElementSize, step, RangeOf(v));
            v.ref.byteOffset = static_cast<std::uint16_t>(element * static_cast<int>(kElementSize) +
                                                          static_cast<int>(right));
            break;
        }
        default:
            return;
    }
    RefreshFieldControls(dialog, context, 0);
}

}  // namespace

namespace kestra::s5 {

_tagDEFIELD* FieldContextOf(HWND dialog) {
    return reinterpret_cast<_tagDEFIELD*>(GetWindowLongPtr(dialog, DWLP_USER));
}

void OpenReferencePage(HWND dialog, _tagDEFIELD& context) {
    SetWindowLongPtr(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&context));
    std::memset(reinterpret_cast<std::uint8_t*>(&context.field->plc) + kEditorBytesOffset, 0,
                kEditorBytesLength);
}

void RefreshFieldControls(HWND dialog, _tagDEFIELD& context, unsigned code) {
    if (!context.field) return;
    View v = ViewOf(context);
    ValidateDataType(v, code);
    ValidateFormat(v);
    LimitWidth(v);
    ValidateElement(v);
    ValidateBase(v);
    ValidateLimits(v);
    FillReference(dialog, v, code);
    FillDisplay(dialog, v);
}

void CommitFocusedEdit(HWND dialog) {
    HWND focus = GetFocus();
    if (!focus || GetParent(focus) != dialog) return;
    _tagDEFIELD* context = FieldContextOf(dialog);
    if (!context || !context->field) return;
    View v = ViewOf(*context);
    if (auto code = EditLostFocus(dialog, v, GetDlgCtrlID(focus)))
        RefreshFieldControls(dialog, *context, *code);
}

}  // namespace kestra::s5

extern "C" {

INT_PTR DefineLocalDBProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
        if (message == WM_INITDIALOG) {
            auto* context = reinterpret_cast<_tagDEFIELD*>(lParam);
            if (!context || context->version != kFieldContextVersion || !context->field)
                return TRUE;
            OpenReferencePage(dialog, *context);
            RefreshFieldControls(dialog, *context, 0);
            return TRUE;
        }
        _tagDEFIELD* context = FieldContextOf(dialog);
        if (!context || !context->field) return FALSE;
        if (message == kSpinStepMessage) {
            Spin(dialog, *context, reinterpret_cast<HWND>(wParam), LOWORD(lParam));
            return TRUE;
        }
        if (message == WM_COMMAND) return Command(dialog, *context, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    });
}

BOOL ExpInitFieldControls(HWND dialog, _tagDEFIELD* context, DWORD code) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!dialog || !context || context->version != kFieldContextVersion || !context->field)
            return FALSE;
        RefreshFieldControls(dialog, *context, code);
        return TRUE;
    });
}

}  // extern "C"
