#include "workbench/jobs/file_names.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

#include "windows/qt/message_box_buttons.h"

namespace kestra::workbench {

QString FilterExtension(const QString& filter) {
    // The patterns stand in the filter's parentheses: "(*.kpr)", "(*.kpr *.KPR)".
    static const QRegularExpression pattern(QStringLiteral(R"(\(\s*\*\.(\w+)[\s)])"));
    const QRegularExpressionMatch match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString WithFilterExtension(const QString& path, const QString& filter) {
    const QString extension = FilterExtension(filter);
    const QString name = QFileInfo(path).fileName();
    const bool hasExtension = name.mid(1).contains('.') && !name.endsWith('.');
    if (extension.isEmpty() || name.isEmpty() || hasExtension) return path;
    return path + (name.endsWith('.') ? extension : '.' + extension);
}

QString NameFor(const QString& project, const QString& extension) {
    const qsizetype folder = project.lastIndexOf('/') + 1;
    QString base = project.mid(folder);
    if (const qsizetype dot = base.lastIndexOf('.'); dot > 0) base.truncate(dot);
    return project.left(folder) + base + '.' + extension;
}

QString AskFileToWrite(QWidget* parent, const QString& title, const QString& proposed,
                       const QString& filters) {
    QFileDialog dialog(parent, title, proposed, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the chosen filter's extension itself, and asks before it replaces the
    // file so named.
    auto follow = [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(FilterExtension(filter));
    };
    follow(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    // A dialog of the desktop's own may have left the name as it was typed.
    const QString path = WithFilterExtension(chosen, dialog.selectedNameFilter());
    if (path != chosen && QFileInfo::exists(path)) {
        QMessageBox box(
            QMessageBox::Warning, title,
            QObject::tr("%1 already exists.\n\nReplace it?").arg(QFileInfo(path).fileName()),
            QMessageBox::Yes | QMessageBox::Cancel, parent);
        box.setDefaultButton(QMessageBox::Cancel);
        platform::qt::GiveButtonsLetters(box);
        if (box.exec() != QMessageBox::Yes) return {};
    }
    return path;
}

}  // namespace kestra::workbench
