#include "windows/qt/message_box_buttons.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>

namespace kestra::platform::qt {
namespace {

struct Lettered {
    QMessageBox::StandardButton button;
    const char* text;
};

// No two buttons that share a box share a letter.
constexpr Lettered kLettered[] = {
    {QMessageBox::Ok, QT_TRANSLATE_NOOP("MessageBoxButtons", "&OK")},
    {QMessageBox::Save, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Save")},
    {QMessageBox::SaveAll, QT_TRANSLATE_NOOP("MessageBoxButtons", "Save &All")},
    {QMessageBox::Open, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Open")},
    {QMessageBox::Yes, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Yes")},
    {QMessageBox::YesToAll, QT_TRANSLATE_NOOP("MessageBoxButtons", "Yes to &All")},
    {QMessageBox::No, QT_TRANSLATE_NOOP("MessageBoxButtons", "&No")},
    {QMessageBox::NoToAll, QT_TRANSLATE_NOOP("MessageBoxButtons", "N&o to All")},
    {QMessageBox::Abort, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Abort")},
    {QMessageBox::Retry, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Retry")},
    {QMessageBox::Ignore, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Ignore")},
    {QMessageBox::Close, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Close")},
    {QMessageBox::Cancel, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Cancel")},
    {QMessageBox::Discard, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Discard")},
    {QMessageBox::Help, QT_TRANSLATE_NOOP("MessageBoxButtons", "&Help")},
    {QMessageBox::Apply, QT_TRANSLATE_NOOP("MessageBoxButtons", "A&pply")},
    {QMessageBox::Reset, QT_TRANSLATE_NOOP("MessageBoxButtons", "R&eset")},
    {QMessageBox::RestoreDefaults, QT_TRANSLATE_NOOP("MessageBoxButtons", "Restore &Defaults")},
};

}  // namespace

void GiveButtonsLetters(QMessageBox& box) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text().contains('&')) continue;
        const QMessageBox::StandardButton which = box.standardButton(button);
        for (const Lettered& lettered : kLettered)
            if (lettered.button == which)
                button->setText(QCoreApplication::translate("MessageBoxButtons", lettered.text));
    }
}

}  // namespace kestra::platform::qt
