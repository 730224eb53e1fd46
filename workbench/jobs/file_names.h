// The names of the files the workbench writes: a name typed without an extension gets the one
// of the file type chosen in the save dialog ("plant" becomes "plant.kpr"), and a file made from
// the project is proposed under the project's name with its own extension ("plant.kpr" gives
// "plant.img", not "plant.kpr.img").
#pragma once

#include <QString>

class QWidget;

namespace kestra::workbench {

// The extension a save dialog's filter gives a file ("Kestra projects (*.kpr)": "kpr"); empty for
// a filter that names no single extension ("All files (*)").
QString FilterExtension(const QString& filter);
// `path` as it is written when `filter` was chosen: a file name without an extension gets the
// filter's.
QString WithFilterExtension(const QString& path, const QString& filter);
// The name of a file made from the project `project` (its file or its name): the project's name
// without its extension, with `extension`.
QString NameFor(const QString& project, const QString& extension);

// Asks for a file to write in a save dialog over `parent`, proposing `proposed` (a file name, or
// a path), with `filters` as the dialog takes them; the answer has the chosen filter's
// extension. Replacing a file is confirmed in the dialog. Empty when the user cancels.
QString AskFileToWrite(QWidget* parent, const QString& title, const QString& proposed,
                       const QString& filters);

}  // namespace kestra::workbench
