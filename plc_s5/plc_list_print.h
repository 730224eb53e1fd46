// The editor's side of printing a project's PLC list through a driver's PlcPrint: the driver's
// headings and PLC header, then page by page the page's name and one line per field, each
// field line made by the driver and placed by the editor, with a new page whenever the
// surface's page is full. Shared by the programs that play the editor.
#pragma once

#include <cstdint>
#include <functional>

#include "plc_s5/print_request.h"
#include "windows/print_surface.h"

namespace kestra::s5 {

// One print request handed to the driver's PlcPrint; nonzero when the driver made a line.
using PlcPrintCall = std::function<DWORD(PLCPRINTREQUEST&)>;

// The editor's texts of the field type column, by field type (types above 6 print as 6).
inline constexpr const char* kFieldTypeTexts[] = {"NUM",  "MSG",   "ASC",   "HBAR",
                                                  "VBAR", "GRAPH", "TGRAPH"};

// The editor's attribute column of a field: "BLINK", "HIGH", "REV" joined by "+", or "-".
std::string FieldAttributeText(const FieldRecord& field);

// Prints the PLC list of `project` on `surface`; returns the number of field lines asked for.
std::uint32_t PrintPlcList(const PlcPrintCall& print, ProjectBlock& project,
                           platform::PrintSurface& surface);

}  // namespace kestra::s5
