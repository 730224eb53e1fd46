// Printing a project's PLC lines as the driver prints them: its headings, its PLC header, and
// one line per field, page by page.
#pragma once

#include <cstdint>
#include <string>

#include "kestra/driver.h"
#include "kestra/host.h"
#include "windows/print_surface.h"

namespace kestra::host {

struct PrintedList {
    int pages = 0;            // of the printout
    std::uint32_t lines = 0;  // field lines
};

// The lines on a print surface, with a new page whenever the surface's page is full; the
// number of field lines.
std::uint32_t PrintPlcLines(Driver& driver, ProjectBlock& project, platform::PrintSurface& surface);

// The lines as an A4 PDF file at `path`, written through the one file writer (kExitOutput when
// it cannot be, and then nothing of it is left). Needs a Qt GUI application object.
PrintedList PrintPlcListPdf(Driver& driver, ProjectBlock& project, const std::string& path);

}  // namespace kestra::host
