// "Add Field": what a new field is, asked before the driver makes it.
//
// The dialog asks for the field type (by the driver's names), whether the field shows PLC data
// (class 2) or an attribute (class 3), and its width and height in characters of the display.
// Each type and class it offers is made through the driver as the new field will be
// (workbench/hosted/field_kind.h): one the driver refuses cannot be chosen (OK is disabled and
// a note says why), and a choice brings the size a new field of it takes.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "kestra/driver.h"
#include "kestra/panel_display.h"
#include "workbench/hosted/field_kind.h"

class QWidget;

namespace kestra::workbench {

struct NewFieldChoice {
    unsigned type = kNumericField;
    std::uint16_t fieldClass = kPlcDataClass;
    FieldSize size;
};

// Runs the dialog over `parent`; `where` tells where the field will go ("at the first free
// place of page 1"). Nothing after Cancel.
std::optional<NewFieldChoice> AskNewField(QWidget* parent, host::Driver& driver,
                                          ProjectBlock& project, const host::PanelDisplay& display,
                                          const QString& where);

}  // namespace kestra::workbench
