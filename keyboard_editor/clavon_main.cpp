// Clavon, the keyboard editor.
#include <QApplication>
#include <QMdiArea>
#include <QSettings>

#include "keyboard_editor/main_frame.h"
#include "keyboard_editor/message_boxes.h"
#include "platform/command_line.h"

namespace {

constexpr const char* kUsage =
    "Usage: Clavon [FILE...]\n"
    "The soft keyboard editor of the Kestra panels. It opens each keyboard file (.kbd)\n"
    "named, or a new keyboard when none is.\n";

}  // namespace

int main(int argc, char** argv) {
    if (kestra::platform::ShowsUsageWhenAsked(argc, argv, kUsage)) return 0;
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tarvel R&D");
    QApplication::setApplicationName("Clavon");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    clavon::InstallMessageBoxes();
    clavon::CMainFrame frame;
    // Shown first, so that the documents' windows are placed in the workspace's real size.
    frame.show();
    const QStringList files = app.arguments().mid(1);
    for (const QString& file : files) frame.OpenDocument(file);
    if (frame.Area()->subWindowList().isEmpty()) frame.NewDocument();
    return app.exec();
}
