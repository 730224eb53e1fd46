#include "workbench/hosted/index_editor.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

IndexRole IndexRoleOf(const FieldRecord& field) {
    const std::uint8_t bits = field.plc.editor24 & kIndexRoleBits;
    // Both bits is no role the editor gives; it reads as the index.
    return bits & kPageIndex ? kPageIndex : static_cast<IndexRole>(bits);
}

void SetIndexRole(FieldRecord& field, IndexRole role) {
    field.plc.editor24 = static_cast<std::uint8_t>((field.plc.editor24 & ~kIndexRoleBits) | role);
}

std::optional<std::size_t> PageIndexField(std::span<const FieldRecord> fields, std::size_t except) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (i != except && IndexRoleOf(fields[i]) == kPageIndex) return i;
    return std::nullopt;
}

std::optional<IndexRole> EditIndexRole(QWidget* parent, const QString& title, IndexRole role,
                                       std::optional<std::size_t> pageIndex) {
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* group = new QGroupBox(QObject::tr("This field is"), &dialog);
    auto* groupLayout = new QVBoxLayout(group);
    struct Choice {
        IndexRole role;
        const char* text;
    };
    static const Choice kChoices[] = {
        {kNotIndexed, QT_TR_NOOP("&Not indexed")},
        {kPageIndex, QT_TR_NOOP("The page's &index: its value (at most 256 values) chooses the "
                                "element of the page's indexed references")},
        {kIndexedReference, QT_TR_NOOP("An indexed &reference: its address is the first of up "
                                       "to 256 elements, of which the page's index chooses one")},
    };
    auto* buttons = new QButtonGroup(&dialog);
    for (const Choice& choice : kChoices) {
        auto* button = new QRadioButton(QObject::tr(choice.text), group);
        button->setChecked(choice.role == role);
        buttons->addButton(button, choice.role);
        groupLayout->addWidget(button);
    }
    layout->addWidget(group);
    const QString page = pageIndex
                             ? QObject::tr("The page's index is field %1.").arg(*pageIndex + 1)
                             : QObject::tr("The page has no index yet.");
    auto* about = new QLabel(page, &dialog);
    about->setWordWrap(true);
    layout->addWidget(about);
    // A page has one index: another field's role is taken away only in its own editor.
    if (pageIndex && role != kPageIndex) {
        buttons->button(kPageIndex)->setEnabled(false);
        buttons->button(kPageIndex)
            ->setToolTip(QObject::tr("Field %1 is the page's index.").arg(*pageIndex + 1));
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(box);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    buttons->checkedButton()->setFocus();
    CentreOverParent(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return static_cast<IndexRole>(buttons->checkedId());
}

}  // namespace kestra::workbench
