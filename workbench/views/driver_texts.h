// What the project's driver calls a field's parts: the PLC address as its conversion to text
// writes it, the data format by its names, and its names of field kinds and classes. Without
// a driver, numbers stand in.
#pragma once

#include <QString>

#include "kestra/project.h"
#include "workbench/hosted/field_kind.h"

namespace kestra::host {
class Driver;
}

namespace kestra::workbench {

// The PLC address of a field of class 2 or 3 ("DB10 DW5"); empty for other fields and where the
// driver cannot write it.
QString AddressText(host::Driver* driver, const ProjectBlock& project, const FieldRecord& field);
// The data format's long name ("WORD(Bin)"), or its number.
QString DataFormatName(host::Driver* driver, const FieldRecord& field);
// The field kind's name ("NUMERIC"), or its number.
QString KindName(host::Driver* driver, const FieldRecord& field);
// The field class: "PLC data" for class 2, the driver's name for class 3, or its number.
QString ClassName(host::Driver* driver, const FieldRecord& field);

}  // namespace kestra::workbench
