// Clavon, the keyboard editor.
#include <QApplication>
#include <QMdiArea>
#include <QSettings>

#include "keyboard_editor/main_frame.h"
#include "keyboard_editor/message_boxes.h"

int main(int argc, char** argv) {
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
