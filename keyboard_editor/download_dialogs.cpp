#include "keyboard_editor/download_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/message_box.h"

namespace clavon {
namespace {

// What a title bar takes besides the title: the window's icon and three buttons.
constexpr int kTitleBarButtons = 140;

}  // namespace

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
    grid->addWidget(new QLabel("Associated Fields:"), 1, 1);
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
}

bool CSSFDCFilesDlg::Refresh() {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    tree->clear();
    m_manager.Settle(100);
    m_table.reset();
    const bool fetched = m_manager.UploadSSFDCFileProps(kSSFDCPropsFile);
    if (fetched) {
        m_manager.Settle(100);
        m_table = CSSFDCFileTable::Read(CacheFile(kSSFDCPropsFile));
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
    if (fetched && !m_table)
        MessageBox(nullptr, kNoSSFDCInformation, "SSFDC files", MB_OK | MB_ICONEXCLAMATION);
    return m_table.has_value();
}

void CSSFDCFilesDlg::DeleteSelected() {
    QTreeWidgetItem* item = tree->currentItem();
    if (!item || !item->parent()) return;
    const int type = item->data(0, Qt::UserRole).toInt();
    const std::string question =
        std::string("Delete the ") + (type == kCodeFileType ? "code file" : "keyboard") + " \"" +
        item->text(0).toStdString() +
        "\" from the SSFDC card?\n\nA deleted file cannot be brought back.";
    if (MessageBox(nullptr, question.c_str(), "SSFDC files",
                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_manager.DeleteFileOnSSFDC(type, item->data(0, Qt::UserRole + 1).toInt());
    m_manager.Settle(100);
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
    // Room for the title in a window manager's bold title font, beside the window's icon and
    // its buttons.
    QFont titleFont = font();
    titleFont.setBold(true);
    setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarButtons);
}

unsigned CCommParamsDlg::Port() const {
    return static_cast<unsigned>(m_port->value());
}

}  // namespace clavon
