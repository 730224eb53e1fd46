// The Build menu's work on the loaded project: checking it, its panel image, its PLC list and
// the card. Each function runs the work away from the user-interface thread behind a modal
// progress dialog (workbench/jobs/build_runner.h) and tells the user the result; a failure is told
// in a message box (as `kestra` words it) and gives false. `name` names the project in
// reports, as the file name does on `kestra`'s command line.
#pragma once

#include <optional>
#include <string>

#include "kestra/check.h"
#include "workbench/hosted/hosted_dialogs.h"

class QWidget;

namespace kestra::workbench {

// The image the store saves of the project, loaded again as the editor loads a file and saved
// again, and its contents looked at with the driver (kestra/check.h), as `kestra check` does;
// the report, whose summary reads "NAME: sound (3 pages, 20 fields)" for a sound project.
// `driver` is null when no driver serves the project. Nothing when the check failed (told).
std::optional<host::CheckReport> CheckProject(QWidget* parent, const LoadedProject& project,
                                              const std::string& name, Driver* driver);

// Whether the project has errors (kestra/check.h); when it has, the user is told under
// `caption` that `what` is not done, with the first errors named.
bool RefusedForErrors(QWidget* parent, const std::string& caption, const LoadedProject& project,
                      Driver& driver, const std::string& name, const std::string& what);

// The panel's image of the project, built by its driver (SaveProject), read back and compared
// as `kestra panel-image --check` does, and written to `path`; with an empty path the user is
// asked where, in `folder` (the project's) under the project's name with ".img". A project with
// errors is refused (RefusedForErrors) before anything is asked. Returns the path written,
// empty when nothing was.
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
// `cardName`, read back and compared (a project with errors is refused, as above); an unformatted card is formatted when the user agrees.
// Cancel is offered while the file is written: the card keeps its old project file then, as it
// does when the send fails. The card's contents are shown afterwards.
bool SendToCard(QWidget* parent, const LoadedProject& project, Driver& driver,
                const std::string& name, const std::string& cardName);

// The files on the card in the configured reader and the use of its blocks.
bool ShowCardContents(QWidget* parent);

}  // namespace kestra::workbench
