// A field's type and class as the driver lets the editor set them, and the size a new field of
// a type takes on the display.
//
// The field type (the driver names them: strings 100 + type, "NUMERIC" to "TOUCH GRAPHICS")
// and the class (2: the field shows PLC data, 3: an attribute) are the editor's to choose; the
// driver then chooses the data type and the data format that suit them (ExpResetDataFormat),
// as its field dialog does, and the limits follow the format. A type and class for which the
// driver offers no data format cannot be set: with the S5 driver, GRAPHICS and TOUCH GRAPHICS
// fields cannot show PLC data.
#pragma once

#include <cstdint>
#include <optional>

#include "kestra/panel_display.h"
#include "kestra/project.h"

class KXCPlcDriver;

namespace kestra::workbench {

// Field classes the driver knows (the others are the editor's).
inline constexpr std::uint16_t kPlcDataClass = 2;
inline constexpr std::uint16_t kAttributeClass = 3;

// Field types by the driver's numbering.
enum FieldType : unsigned {
    kNumericField = 0,
    kMessageField = 1,
    kAsciiField = 2,
    kHorizontalBargraph = 3,
    kVerticalBargraph = 4,
    kGraphicsField = 5,
    kTouchGraphicsField = 6,
};

// Whether the driver offers a data format for `field` made of that type and class.
bool DriverOffers(KXCPlcDriver& driver, const ProjectBlock& project, const FieldRecord& field,
                  unsigned type, std::uint16_t fieldClass);

// Gives the field the type and class, and lets the driver choose its data type and format;
// the display bits the driver does not support for them (fixed point, scaling, the numeric
// base) go, and when the format changed (or `defaultLimits` asks) the limits are the format's
// defaults. False, and the field as it was, when the driver offers no data format for them.
bool SetFieldKind(KXCPlcDriver& driver, const ProjectBlock& project, FieldRecord& field,
                  unsigned type, std::uint16_t fieldClass, bool defaultLimits = false);

// A new field of the type and class as the driver makes it: its default field record
// (InitPlcDefaults, mode 4), then SetFieldKind. Nothing when the driver refuses them.
std::optional<FieldRecord> NewFieldRecord(KXCPlcDriver& driver, ProjectBlock& project,
                                          unsigned type, std::uint16_t fieldClass);

// The field dialog's limits of a field's size on the display: its width is at most a line
// (a MESSAGE field at most 128 characters), its height 1 unless it is a bargraph or a
// graphics field, which may be as high as the display.
int WidestField(unsigned type, const host::PanelDisplay& display);
int TallestField(unsigned type, const host::PanelDisplay& display);

struct FieldSize {
    int width = 1;
    int height = 1;
};
// The size a new field takes, within the limits above: a NUMERIC field as wide as its
// format's limits are written (5 for an unsigned WORD, 1 for a BIT), a MESSAGE or ASCII field
// 10 characters, a horizontal bargraph 10 x 1, a vertical one 1 x 4, a graphics field 4 x 2.
FieldSize UsualFieldSize(KXCPlcDriver& driver, const FieldRecord& field,
                         const host::PanelDisplay& display);

}  // namespace kestra::workbench
