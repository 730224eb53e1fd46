// Panora: the panel setup program. It shows no main window: it waits for the project editor's
// setup request, runs the setup sheet, answers and ends.
#include <QApplication>
#include <QMessageBox>
#include <cstdlib>

#include "panel_setup/panel_setup_dlg.h"
#include "panel_setup/panora_interface.h"
#include "panel_setup/panora_script.h"
#include "platform/command_line.h"
#include "platform/message_box.h"

namespace {

constexpr const char* kUsage =
    "Usage: Panora\n"
    "The panel setup program. It is started for one setup request (by kestra-workbench's\n"
    "Project > Panel Setup, or by panora-request), shows the setup sheet, answers and ends.\n";

// Message boxes of the sheet as Qt message boxes.
// An editor that starts Panora connects within moments; one that has not after this long is not
// coming.
constexpr int kAloneWaitMs = 3000;

int ShowQtMessageBox(HWND, std::string_view text, std::string_view caption, UINT type) {
    using B = QMessageBox::StandardButton;
    QMessageBox::StandardButtons buttons = B::Ok;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            buttons = B::Ok | B::Cancel;
            break;
        case MB_YESNO:
            buttons = B::Yes | B::No;
            break;
        case MB_YESNOCANCEL:
            buttons = B::Yes | B::No | B::Cancel;
            break;
        default:
            break;
    }
    QMessageBox::Icon icon = QMessageBox::Information;
    if ((type & MB_ICONMASK) == MB_ICONQUESTION) icon = QMessageBox::Question;
    if ((type & MB_ICONMASK) == MB_ICONEXCLAMATION) icon = QMessageBox::Warning;
    if ((type & MB_ICONMASK) == MB_ICONERROR) icon = QMessageBox::Critical;
    QMessageBox box(icon, QString::fromUtf8(caption.data(), static_cast<int>(caption.size())),
                    QString::fromUtf8(text.data(), static_cast<int>(text.size())), buttons);
    switch (box.exec()) {
        case B::Ok:
            return IDOK;
        case B::Yes:
            return IDYES;
        case B::No:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (kestra::platform::ShowsUsageWhenAsked(argc, argv, kUsage)) return 0;
    QApplication app(argc, argv);
    app.setApplicationName("Panora");
    app.setQuitOnLastWindowClosed(false);
    kestra::platform::SetMessageBoxPresenter(ShowQtMessageBox);

    kestra::panel::CPanoraInterfaceDlg interface;
    if (const char* script = std::getenv(kestra::panel::kScriptVariable))
        interface.onSheet = [text = std::string(script)](kestra::panel::CPanelSetupDlg& sheet) {
            kestra::panel::RunSheetScript(sheet, text);
        };
    if (!interface.Listen()) return 0;  // another Panora serves the request
    interface.TellWhenAlone(kAloneWaitMs);
    return app.exec();
}
