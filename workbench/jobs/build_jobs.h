// The Build menu's work on the loaded project: checking it, its panel image, its PLC list and
// the card. Each function runs the work away from the user-interface thread behind a modal
// progress dialog (workbench/jobs/build_runner.h) and tells the user the result; a failure is told
// in a message box (as `kestra` words it) and gives false. `name` names the project in
// reports, as the file name does on `kestra`'s command line.
#pragma once

#include <string>

#include "workbench/hosted/hosted_dialogs.h"

class QWidget;

namespace kestra::workbench {

// The image the store saves of the project, loaded again as the editor loads a file and saved
// again, reported as `kestra check` reports it: "NAME: sound (3 pages, 20 fields)".
bool CheckProject(QWidget* parent, const LoadedProject& project, const std::string& name);

// The panel's image of the project, built by its driver (SaveProject), read back and compared
// as `kestra panel-image --check` does, and written to `path`; with an empty path the user is
// asked where, in `folder` (the project's) under the project's name with ".img". Returns the
// path written, empty when nothing was.
std::string SavePanelImage(QWidget* parent, const LoadedProject& project, Driver& driver,
                           const std::string& name, const std::string& path = {},
                           const std::string& folder = {});

// The driver's PLC lines (PlcPrint) in a print preview, from which they go to a printer, or
// ("Save as PDF...") to a PDF file.
void PreviewPlcList(QWidget* parent, const LoadedProject& project, Driver& driver);
// The PLC lines as an A4 PDF file at `path`, as `kestra print --pdf` writes it.
bool SavePlcListPdf(QWidget* parent, const LoadedProject& project, Driver& driver,
                    const std::string& path);

// The project's panel image sent to the card in the configured reader as its project file
// `cardName`, read back and compared; an unformatted card is formatted when the user agrees.
// Cancel is offered while the file is written: the card keeps its old project file then, as it
// does when the send fails. The card's contents are shown afterwards.
bool SendToCard(QWidget* parent, const LoadedProject& project, Driver& driver,
                const std::string& name, const std::string& cardName);

// The files on the card in the configured reader and the use of its blocks.
bool ShowCardContents(QWidget* parent);

}  // namespace kestra::workbench
