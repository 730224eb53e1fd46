// The keyboard editor, started on its own as the project editor starts it: Clavon edits
// keyboard documents, not the project.
#include <QProcess>

#include "platform/files.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

bool StartKeyboardEditor(QWidget* parent) {
    const std::string program = platform::JoinPath(platform::ProgramFolder(), "Clavon");
    qint64 pid = 0;
    if (QProcess::startDetached(QString::fromStdString(program), {}, {}, &pid)) return false;
    Tell(parent, "Keyboard",
         "The keyboard editor " + program +
             " cannot be started. Is it installed beside the workbench, and may you run it?",
         MB_OK | MB_ICONERROR);
    return false;
}

}  // namespace kestra::workbench
