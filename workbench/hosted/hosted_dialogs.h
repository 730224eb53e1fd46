// The suite's dialogs, hosted where the project editor calls them.
//
// Each function opens one dialog over `parent` (the workbench's main window, a plain Qt window)
// for the loaded project and the driver that serves it, and returns true when the user ended
// it with OK and the project changed (the image the store saves of it differs from before).
// The driver's and the utilities library's dialogs run on the window core; the dialogs of the
// editor's own (field properties, languages, network) are Qt dialogs. Cancel leaves every byte
// of the project as it was: the libraries' dialogs work on copies that reach the project only
// after OK. A failure (a driver without the export, a field that is not there) is told to the
// user in a message box and ends the function with false.
//
// The libraries are not re-entrant: the caller keeps everything else away from them (autosave
// and the like) while a function runs.
#pragma once

#include <cstddef>

#include "kestra/driver.h"
#include "kestra/host.h"

class QWidget;

namespace kestra::workbench {

using host::Driver;
using host::LoadedProject;

// Which field: a top-level field of a page, both counted from 0.
struct FieldPlace {
    std::size_t page = 0;
    std::size_t field = 0;
};

// "Field Properties": the field's own settings (workbench/hosted/field_settings.h: type,
// class, place, size, label, text), the driver's PLC reference page ("FIELDREFPPG", through
// AttachPLCFieldDialog) embedded, and the driver's full field dialog for the display and
// limits.
bool EditFieldProperties(QWidget* parent, const LoadedProject& project, Driver& driver,
                         FieldPlace place);
// The field's tag, chosen in the utilities library's tag selection among the tags whose data
// suit the field; the field's address becomes the tag's.
bool ChooseFieldTag(QWidget* parent, const LoadedProject& project, Driver& driver,
                    FieldPlace place);
// "Project Properties": the project's title, its tag folder's name and the room of its panel
// image (workbench/hosted/hosted_project_properties.cpp).
bool EditProjectProperties(QWidget* parent, const LoadedProject& project, Driver& driver);
// The driver's alarm dialog.
bool EditAlarms(QWidget* parent, const LoadedProject& project, Driver& driver);
// The driver's PLC setup dialog, whose "PLC &Comm ..." opens the communication parameters.
bool EditPlcSetup(QWidget* parent, const LoadedProject& project, Driver& driver);
// The utilities library's password dialog over the project's passwords.
bool EditPasswords(QWidget* parent, const LoadedProject& project, Driver& driver);
// The utilities library's parameter matrix editor over the recipe of a page: its numeric and
// text fields, one row each.
bool EditRecipe(QWidget* parent, const LoadedProject& project, Driver& driver, std::size_t page);
// The project's languages: add, rename and remove.
bool EditLanguages(QWidget* parent, const LoadedProject& project, Driver& driver);
// The PLCs of the project's network folder: add, remove, name and set up each.
bool EditNetwork(QWidget* parent, const LoadedProject& project, Driver& driver);
// The panel setup: Panora, started when none is running, edits the project's setup exchange
// block; what it returns goes into the project. "Error launching panel setup dialog" when it
// cannot be started.
bool EditPanelSetup(QWidget* parent, const LoadedProject& project, Driver& driver);
// Starts the keyboard editor Clavon on its own (it does not edit the project); false with a
// message when it cannot be started.
bool StartKeyboardEditor(QWidget* parent);

}  // namespace kestra::workbench
