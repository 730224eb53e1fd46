// Clavon, the keyboard editor.
#include <QApplication>
#include <QMessageBox>
#include <QSettings>

#include "keyboard_editor/main_frame.h"
#include "platform/message_box.h"

namespace {

// Message boxes of the model and the card code become Qt message boxes.
int ShowMessage(std::string_view text, std::string_view caption, UINT type) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(caption.data(), caption.size()),
                    QString::fromUtf8(text.data(), text.size()));
    switch (type & MB_TYPEMASK) {
        case MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tarvel R&D");
    QApplication::setApplicationName("Clavon");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    kestra::platform::SetMessageBoxPresenter(
        [](HWND, std::string_view text, std::string_view caption, UINT type) {
            return ShowMessage(text, caption, type);
        });
    clavon::CMainFrame frame;
    const QStringList files = app.arguments().mid(1);
    for (const QString& file : files) frame.OpenDocument(file);
    if (files.isEmpty()) frame.NewDocument();
    frame.show();
    return app.exec();
}
