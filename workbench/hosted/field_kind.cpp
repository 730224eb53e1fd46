#include "workbench/hosted/field_kind.h"

#include <algorithm>
#include <cstring>

#include "extension_classes/plc_driver.h"
#include "kestra/driver.h"

namespace kestra::workbench {

namespace {

// The format tests' filter flag of a field that writes to the PLC (modes 2 and 3).
constexpr BOOL kWritingNeeded = 4;
constexpr WORD kDefaultFieldRecord = 4;  // InitPlcDefaults
constexpr WORD kDecimalBase = 2;
constexpr std::uint8_t kBaseBits = 0x18;
constexpr unsigned kBaseShift = 3;
constexpr int kLongestMessage = 128;
constexpr int kTextWidth = 10;

BOOL FilterOf(const FieldRecord& field) {
    return field.mode == 2 || field.mode == 3 ? kWritingNeeded : 0;
}

// Drops what the driver does not support for the field's type, class and format.
void KeepSupportedDisplay(KXCPlcDriver& driver, uPLCSETUP& setup, FieldRecord& field) {
    sDISPFORMAT& d = field.display;
    const WORD type = d.fieldType, fieldClass = field.fieldClass;
    const WORD base = static_cast<WORD>(d.baseIndex());
    if (!driver.IsNumericBaseSupported(&setup, type, base, &field.plc, fieldClass) &&
        driver.IsNumericBaseSupported(&setup, type, kDecimalBase, &field.plc, fieldClass))
        d.format = static_cast<std::uint8_t>((d.format & ~kBaseBits) | (kDecimalBase << kBaseShift));
    if ((d.format & sDISPFORMAT::kFixedPoint) &&
        !driver.IsFixedPointSupported(&setup, type, &field.plc, static_cast<WORD>(d.baseIndex()),
                                      fieldClass)) {
        d.format &= static_cast<std::uint8_t>(~sDISPFORMAT::kFixedPoint);
        d.decimals = 0;
    }
    if ((d.format & sDISPFORMAT::kScaling) &&
        !driver.IsScalingSupported(&setup, type, &field.plc, fieldClass))
        d.format &= static_cast<std::uint8_t>(~sDISPFORMAT::kScaling);
}

// The limits validated as the field dialog validates them; with `reset` they are the format's
// defaults first.
void ValidateLimits(KXCPlcDriver& driver, FieldRecord& field, bool reset) {
    auto minimum = static_cast<DWORD>(field.display.minimum.get());
    auto maximum = static_cast<DWORD>(field.display.maximum.get());
    if (reset) driver.ValidateMaxMin(&field.display, &minimum, &maximum, &field.plc, TRUE, TRUE);
    driver.ValidateMaxMin(&field.display, &minimum, &maximum, &field.plc, FALSE, TRUE);
    field.display.minimum = static_cast<std::int32_t>(minimum);
    field.display.maximum = static_cast<std::int32_t>(maximum);
}

int WrittenLength(KXCPlcDriver& driver, FieldRecord& field, std::int32_t value) {
    char text[64] = "";
    driver.ConvertMaxMin2String(&field.display, static_cast<DWORD>(value), text, &field.plc);
    return static_cast<int>(strnlen(text, sizeof text));
}

}  // namespace

bool DriverOffers(KXCPlcDriver& driver, const ProjectBlock& project, const FieldRecord& field,
                  unsigned type, std::uint16_t fieldClass) {
    uPLCSETUP setup = host::FieldPlcSetup(project, field);
    uPLCADR ref = field.plc;
    return type < host::kFieldTypeCount &&
           driver.IsFormatSupported(&setup, static_cast<WORD>(type), &ref, fieldClass,
                                    FilterOf(field)) != 0;
}

bool SetFieldKind(KXCPlcDriver& driver, const ProjectBlock& project, FieldRecord& field,
                  unsigned type, std::uint16_t fieldClass, bool defaultLimits) {
    if (!DriverOffers(driver, project, field, type, fieldClass)) return false;
    FieldRecord changed = field;
    changed.display.fieldType = static_cast<std::uint8_t>(type);
    changed.fieldClass = fieldClass;
    uPLCSETUP setup = host::FieldPlcSetup(project, changed);
    driver.ResetDataFormat(&changed.plc, &setup, &changed.display, fieldClass);
    if (changed.plc.dataFormat == 0) return false;
    KeepSupportedDisplay(driver, setup, changed);
    ValidateLimits(driver, changed,
                   defaultLimits || changed.plc.dataFormat != field.plc.dataFormat);
    field = changed;
    return true;
}

std::optional<FieldRecord> NewFieldRecord(KXCPlcDriver& driver, ProjectBlock& project,
                                          unsigned type, std::uint16_t fieldClass) {
    FieldRecord field{};
    if (!driver.InitPlcDefaults(&project, nullptr, &project.record.nodeA, &field,
                                kDefaultFieldRecord) ||
        !SetFieldKind(driver, project, field, type, fieldClass, true))
        return std::nullopt;
    return field;
}

int WidestField(unsigned type, const host::PanelDisplay& display) {
    const int line = std::max(display.columns, 1);
    return type == kMessageField ? std::min(line, kLongestMessage) : line;
}

int TallestField(unsigned type, const host::PanelDisplay& display) {
    return type >= kHorizontalBargraph ? std::max(display.rows, 1) : 1;
}

FieldSize UsualFieldSize(KXCPlcDriver& driver, const FieldRecord& field,
                         const host::PanelDisplay& display) {
    FieldSize size;
    switch (field.kind()) {
        case kNumericField: {
            FieldRecord copy = field;
            size.width = std::max({1, WrittenLength(driver, copy, copy.display.minimum),
                                   WrittenLength(driver, copy, copy.display.maximum)});
            break;
        }
        case kMessageField:
        case kAsciiField:
        case kHorizontalBargraph:
            size.width = kTextWidth;
            break;
        case kVerticalBargraph:
            size.height = 4;
            break;
        default:
            size = {4, 2};
            break;
    }
    size.width = std::clamp(size.width, 1, WidestField(field.kind(), display));
    size.height = std::clamp(size.height, 1, TallestField(field.kind(), display));
    return size;
}

}  // namespace kestra::workbench
