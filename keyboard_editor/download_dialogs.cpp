#include "keyboard_editor/download_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/files.h"

namespace clavon {

CSubtypeDlg::CSubtypeDlg(const CSSFDCFileTable& table, const std::vector<std::string>& fields,
                         QWidget* parent)
    : QDialog(parent), m_table(table) {
    setWindowTitle("Download");
    newFile = new QCheckBox("New File");
    newFile->setChecked(true);
    existing = new QListWidget;
    m_keyboards = table.OfType(kKeyboardFileType);
    for (const CSSFDCFileEntry* entry : m_keyboards)
        existing->addItem(QString::fromStdString(entry->Name()));
    existing->setEnabled(false);
    fieldList = new QListWidget;
    for (const std::string& field : fields) {
        auto* item = new QListWidgetItem(QString::fromStdString(field), fieldList);
        item->setFlags(Qt::ItemIsEnabled);  // shown, not edited
        item->setCheckState(Qt::Unchecked);
    }
    connect(newFile, &QCheckBox::toggled, this, [this](bool on) {
        existing->setEnabled(!on);
        ShowFields();
    });
    connect(existing, &QListWidget::currentRowChanged, this, [this] { ShowFields(); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* grid = new QGridLayout(this);
    grid->addWidget(newFile, 0, 0);
    grid->addWidget(new QLabel("Overwrite existing file:"), 1, 0);
    grid->addWidget(existing, 2, 0);
    grid->addWidget(new QLabel("Associated Fields"), 1, 1);
    grid->addWidget(fieldList, 2, 1);
    grid->addWidget(buttons, 3, 0, 1, 2);
}

void CSubtypeDlg::ShowFields() {
    const int row = existing->currentRow();
    const std::uint32_t mask = !newFile->isChecked() && row >= 0
                                   ? m_keyboards[static_cast<std::size_t>(row)]->FieldMask()
                                   : 0;
    for (int i = 0; i < fieldList->count(); ++i)
        fieldList->item(i)->setCheckState(i < 32 && (mask >> i) & 1u ? Qt::Checked : Qt::Unchecked);
}

int CSubtypeDlg::Subtype() const {
    if (newFile->isChecked()) return m_table.FreeKeyboardSubtype();
    const int row = existing->currentRow();
    return row >= 0 ? m_keyboards[static_cast<std::size_t>(row)]->subtype : -1;
}

CSSFDCFilesDlg::CSSFDCFilesDlg(CDownMgr& manager, QWidget* parent)
    : QDialog(parent), m_manager(manager) {
    setWindowTitle("SSFDC files");
    tree = new QTreeWidget;
    tree->setHeaderHidden(true);
    deleteButton = new QPushButton("Delete");
    closeButton = new QPushButton("Close");
    deleteButton->setEnabled(false);
    connect(tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { deleteButton->setEnabled(item && item->parent()); });
    connect(deleteButton, &QPushButton::clicked, this, &CSSFDCFilesDlg::DeleteSelected);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(deleteButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tree, 1);
    layout->addLayout(buttons);
    resize(420, 300);
    Refresh();
}

void CSSFDCFilesDlg::Refresh() {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    tree->clear();
    QThread::msleep(100);
    m_table.reset();
    if (m_manager.UploadSSFDCFileProps(kSSFDCPropsFile)) {
        QThread::msleep(100);
        m_table = CSSFDCFileTable::Read(
            kestra::platform::JoinPath(kestra::platform::ProgramFolder(), kSSFDCPropsFile));
    }
    QTreeWidgetItem *code = nullptr, *keyboards = nullptr;
    if (m_table) {
        for (const CSSFDCFileEntry& entry : m_table->Entries()) {
            QTreeWidgetItem** group = entry.type == kCodeFileType       ? &code
                                      : entry.type == kKeyboardFileType ? &keyboards
                                                                        : nullptr;
            if (!group) continue;
            if (!*group) {
                *group =
                    new QTreeWidgetItem(tree, {group == &code ? "Mips Code Files" : "Keyboards"});
                (*group)->setExpanded(true);
            }
            auto* item = new QTreeWidgetItem(*group, {QString::fromStdString(entry.Name())});
            item->setData(0, Qt::UserRole, entry.type);
            item->setData(0, Qt::UserRole + 1, entry.subtype);
        }
    }
    deleteButton->setEnabled(false);
    QApplication::restoreOverrideCursor();
}

void CSSFDCFilesDlg::DeleteSelected() {
    QTreeWidgetItem* item = tree->currentItem();
    if (!item || !item->parent()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_manager.DeleteFileOnSSFDC(item->data(0, Qt::UserRole).toInt(),
                                item->data(0, Qt::UserRole + 1).toInt());
    QThread::msleep(100);
    QApplication::restoreOverrideCursor();
    Refresh();
}

void CSSFDCFilesDlg::done(int result) {
    m_manager.BreakComm();
    QDialog::done(result);
}

CCommParamsDlg::CCommParamsDlg(unsigned port, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Communication Parameters");
    m_port = new QSpinBox;
    m_port->setRange(0, 0xFFFF);
    m_port->setDisplayIntegerBase(16);
    m_port->setPrefix("0x");
    m_port->setValue(static_cast<int>(port));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow("Card reader port:", m_port);
    form->addRow(buttons);
}

unsigned CCommParamsDlg::Port() const {
    return static_cast<unsigned>(m_port->value());
}

}  // namespace clavon
