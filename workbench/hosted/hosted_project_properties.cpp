// "Project Properties": the settings of the project record that are the editor's to give,
// beside what the driver set there.
//
//   title             the project's title (record offset 0, a text of the string table; the
//                     panel image carries up to 200 characters of it)
//   tag folder name   the name of the project's tag folder (extension offset 181, none when 0)
//   panel image room  record byte 13: the driver's SaveProject reserves value x 32768 + 10240
//                     bytes for the panel image, 99328 bytes when it is 0
//
// The PLC type (record offset 15), the project code and the firmware byte (81 and 82) are the
// driver's, set when the project was made: they are shown, not edited.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "string_table/string_table.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr int kLongestTitle = 200;
constexpr int kLongestName = 255;
constexpr int kRoomStep = 32768;
constexpr int kRoomBase = 10240;
constexpr int kDefaultRoom = 99328;

QString RoomText(int value) {
    const int bytes = value == 0 ? kDefaultRoom : value * kRoomStep + kRoomBase;
    return QString("%1 bytes (%2 KB)%3")
        .arg(bytes)
        .arg(bytes / 1024)
        .arg(value == 0 ? " when 0, the driver's default" : "");
}

// A text of the project replaced: the new one added to the string table, the old one let go.
// `none` says whether an empty text is no text (identifier 0).
bool ReplaceText(ProjectBlock& project, le16& id, const std::string& text, bool none) {
    const std::string before = id != 0u || !none ? host::ProjectText(project, id) : std::string();
    if (text == before) return true;
    WORD added = 0;
    if (!text.empty() || !none) {
        added = StrTabAddText(text.c_str(), &project);
        if (added == kNoStringId) return false;
    }
    if (id != 0u || !none) StrTabGetText(id, &project, nullptr, 0, 1);
    id = added;
    return true;
}

}  // namespace

bool EditProjectProperties(QWidget* parent, const LoadedProject& project, Driver& driver) {
    return TellingFailures(parent, "Project Properties", [&] {
        ProjectBlock& block = project.block();
        return ChangedBy(project, [&] {
            QDialog dialog(parent);
            dialog.setWindowTitle("Project Properties");
            auto* layout = new QVBoxLayout(&dialog);
            auto* form = new QFormLayout;
            layout->addLayout(form);
            auto* title = new QLineEdit(
                QString::fromStdString(host::ProjectText(block, block.record.titleId)), &dialog);
            title->setObjectName("title");
            title->setMaxLength(kLongestTitle);
            title->setMinimumWidth(360);
            auto* tagFolder = new QLineEdit(&dialog);
            tagFolder->setObjectName("tagFolder");
            tagFolder->setMaxLength(kLongestName);
            if (block.ext.tagFolder.nameId != 0u)
                tagFolder->setText(
                    QString::fromStdString(host::ProjectText(block, block.ext.tagFolder.nameId)));
            auto* room = new QSpinBox(&dialog);
            room->setObjectName("imageRoom");
            room->setRange(0, 255);
            room->setValue(block.record.imageSizeClass);
            auto* roomBytes = new QLabel(RoomText(room->value()), &dialog);
            QObject::connect(room, &QSpinBox::valueChanged, roomBytes,
                             [roomBytes](int value) { roomBytes->setText(RoomText(value)); });
            auto row = [&](const char* text, QWidget* control) {
                auto* label = new QLabel(text, &dialog);
                label->setBuddy(control);
                form->addRow(label, control);
            };
            row("&Title:", title);
            row("Tag &folder name:", tagFolder);
            row("Panel image &room:", room);
            form->addRow("", roomBytes);
            const ProjectRecord& r = block.record;
            form->addRow("PLC driver:",
                         new QLabel(QString("%1 (%2): PLC type %3, project code %4, firmware "
                                            "byte 0x%5")
                                        .arg(QString::fromStdString(driver.name()),
                                             QString::fromStdString(driver.library()))
                                        .arg(r.plcType.get())
                                        .arg(r.projectType)
                                        .arg(r.firmware, 2, 16, QChar('0')),
                                    &dialog));
            auto* buttons =
                new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
            layout->addWidget(buttons);
            QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
            QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
            if (dialog.exec() != QDialog::Accepted) return false;
            if (!ReplaceText(block, block.record.titleId, title->text().toStdString(), false) ||
                !ReplaceText(block, block.ext.tagFolder.nameId, tagFolder->text().toStdString(),
                             true))
                host::Fail(host::kExitInternal, "the project's string table is full");
            block.record.imageSizeClass = static_cast<std::uint8_t>(room->value());
            return true;
        });
    });
}

}  // namespace kestra::workbench
