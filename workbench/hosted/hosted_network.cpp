// The PLCs of the project's network folder, in a dialog of the workbench's own: each node is a
// PLC setup block, added with the driver's defaults, set up in the driver's PLC setup dialog,
// named, given its slave address, and removed, through the utilities library's network folder
// functions. The dialog works on a deep copy of the folder (ExpDuplicateNetworkFolder), which
// replaces the project's only after OK.
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <cstring>

#include "extension_classes/plc_driver.h"
#include "plc_s5/k32plc1.h"
#include "string_table/string_table.h"
#include "utilities/folders.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

enum Column { kKeyColumn, kNameColumn, kModelColumn, kAddressColumn, kColumns };
constexpr std::uint16_t kLowestSlave = 2, kHighestSlave = 255;
constexpr const char* kBaudTexts[] = {"150",  "300",  "600",   "1200",  "2400",
                                      "4800", "9600", "19200", "38400", "57600"};

std::vector<uPLCSETUP> NodesOf(const uPLCSETUP& folder) {
    std::vector<uPLCSETUP> nodes;
    uPLCSETUP node;
    for (int i = 0; ExpGetNetNodeData(&folder, FALSE, i, &node); ++i) nodes.push_back(node);
    return nodes;
}

std::uint16_t FreeKey(const uPLCSETUP& folder) {
    const auto nodes = NodesOf(folder);
    for (std::uint16_t key = 1;; ++key)
        if (std::none_of(nodes.begin(), nodes.end(),
                         [key](const uPLCSETUP& n) { return n.nodeKey == key; }))
            return key;
}

class NetworkDialog : public QDialog {
  public:
    NetworkDialog(QWidget* parent, ProjectBlock& project, Driver& driver, uPLCSETUP& folder)
        : QDialog(parent), project_(project), driver_(driver), folder_(folder) {
        setWindowTitle("Network");
        auto* label =
            new QLabel(project.record.onNetwork ? "&PLCs of the project's PLC network:"
                                                : "&PLCs of the project's network folder:",
                       this);
        table_ = new QTableWidget(0, kColumns, this);
        table_->setObjectName("nodes");
        table_->setHorizontalHeaderLabels({"Node", "Name", "PLC model", "Slave address"});
        table_->horizontalHeader()->setStretchLastSection(true);
        table_->verticalHeader()->hide();
        table_->setSelectionBehavior(QAbstractItemView::SelectRows);
        table_->setSelectionMode(QAbstractItemView::SingleSelection);
        table_->setTabKeyNavigation(false);
        table_->setMinimumWidth(480);
        const auto buttons =
            LayOutListDialog(*this, label, table_, {"&Add", "&Set Up...", "&Remove"});
        add_ = buttons[0];
        setup_ = buttons[1];
        remove_ = buttons[2];
        connect(add_, &QPushButton::clicked, this, [this] { addNode(); });
        connect(setup_, &QPushButton::clicked, this, [this] { setUpNode(); });
        connect(remove_, &QPushButton::clicked, this, [this] { removeNode(); });
        connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { updateButtons(); });
        connect(table_, &QTableWidget::itemChanged, this,
                [this](QTableWidgetItem* item) { edited(item); });
        fill();
    }

    bool changed() const { return changed_; }
    // The texts the dialog added to the string table, one reference each.
    const std::vector<WORD>& addedTexts() const { return added_; }

  private:
    std::vector<uPLCSETUP> nodes() const { return NodesOf(folder_); }
    int currentRow() const {
        const auto rows = table_->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.front().row();
    }

    void fill(int select = -1) {
        filling_ = true;
        const auto all = nodes();
        table_->setRowCount(static_cast<int>(all.size()));
        for (int r = 0; r < static_cast<int>(all.size()); ++r) {
            uPLCSETUP node = all[static_cast<std::size_t>(r)];
            char model[128] = "";
            driver_.loader().GetModelName(&node, node.slaveAddress, model, sizeof model);
            const QString name =
                node.nameId != 0u ? QString::fromStdString(host::ProjectText(project_, node.nameId))
                                  : QString();
            const QString texts[kColumns] = {QString::number(node.nodeKey), name, model,
                                             QString::number(node.slaveAddress.get())};
            for (int c = 0; c < kColumns; ++c) {
                auto* item = new QTableWidgetItem(texts[c]);
                if (c != kNameColumn && c != kAddressColumn)
                    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                item->setData(Qt::UserRole, node.nodeKey.get());
                table_->setItem(r, c, item);
            }
        }
        table_->resizeColumnsToContents();
        if (select >= 0 && select < table_->rowCount()) table_->selectRow(select);
        filling_ = false;
        updateButtons();
    }

    void updateButtons() {
        const bool one = currentRow() >= 0;
        setup_->setEnabled(one);
        remove_->setEnabled(one);
    }

    bool nodeOfKey(std::uint16_t key, uPLCSETUP& node) const {
        return ExpGetNetNodeData(&folder_, TRUE, key, &node) != 0;
    }
    void store(const uPLCSETUP& node) {
        if (!ExpRegisterNetNodeData(&folder_, &node))
            host::Fail(host::kExitInternal, "no memory for the network folder");
        folder_.flags |= uPLCSETUP::kHasChildren;
        changed_ = true;
    }

    void addNode() {
        uPLCSETUP node{};
        driver_.loader().InitPlcDefaults(nullptr, nullptr, &node, nullptr, 0);
        node.nodeKey = FreeKey(folder_);
        const std::string name = "PLC " + std::to_string(node.nodeKey.get());
        node.nameId = addText(name);
        TellingFailures(this, "Network", [&] {
            store(node);
            return true;
        });
        fill(table_->rowCount());
    }

    void removeNode() {
        const int row = currentRow();
        if (row < 0) return;
        ExpDeleteNetNodeData(&folder_, table_->item(row, kKeyColumn)->data(Qt::UserRole).toInt());
        if (folder_.childCount == 0) folder_.flags &= ~uPLCSETUP::kHasChildren;
        changed_ = true;
        fill(std::min(row, table_->rowCount() - 2));
    }

    // The driver's PLC setup dialog on the node. It may not reset the project's reserved areas
    // for a node, and has no box for the slave address, which stays as the table has it.
    void setUpNode() {
        const int row = currentRow();
        uPLCSETUP node;
        if (row < 0 || !nodeOfKey(static_cast<std::uint16_t>(
                                      table_->item(row, kKeyColumn)->data(Qt::UserRole).toInt()),
                                  node))
            return;
        TellingFailures(this, "Network", [&] {
            const auto exec = DriverExport<decltype(&ExecPlcSetupDlg)>(driver_, "ExecPlcSetupDlg");
            ProjectBlock copy;
            std::memcpy(&copy, &project_, sizeof copy);
            PLCSETUPDLGCONTEXT context{};
            context.project = &copy;
            context.defaultSlaveAddress = node.slaveAddress;
            context.setup = node;
            context.commParams = kBaudTexts;
            context.projectOpen = 0;
            if (exec(OwnerFor(this), &context) != 1) return false;
            context.setup.slaveAddress = node.slaveAddress;
            store(context.setup);
            return true;
        });
        fill(row);
    }

    void edited(QTableWidgetItem* item) {
        if (filling_) return;
        uPLCSETUP node;
        if (!nodeOfKey(static_cast<std::uint16_t>(item->data(Qt::UserRole).toInt()), node)) return;
        if (item->column() == kNameColumn) {
            const std::string name = item->text().trimmed().toStdString();
            node.nameId = name.empty() ? 0 : addText(name);
        } else if (item->column() == kAddressColumn) {
            bool number = false;
            const int address = item->text().toInt(&number);
            if (number && address >= kLowestSlave && address <= kHighestSlave)
                node.slaveAddress = static_cast<std::uint16_t>(address);
        }
        TellingFailures(this, "Network", [&] {
            store(node);
            return true;
        });
        QMetaObject::invokeMethod(
            this, [this, row = item->row()] { fill(row); }, Qt::QueuedConnection);
    }

    WORD addText(const std::string& text) {
        const WORD id = StrTabAddText(text.c_str(), &project_);
        added_.push_back(id);
        return id;
    }

    ProjectBlock& project_;
    Driver& driver_;
    uPLCSETUP& folder_;
    std::vector<WORD> added_;
    QTableWidget* table_;
    QPushButton* add_;
    QPushButton* setup_;
    QPushButton* remove_;
    bool filling_ = false;
    bool changed_ = false;
};

}  // namespace

bool EditNetwork(QWidget* parent, const LoadedProject& project, Driver& driver) {
    return TellingFailures(parent, "Network", [&] {
        WindowCoreHost();
        ProjectBlock& block = project.block();
        uPLCSETUP& head = ActiveNetworkHead(block);
        uPLCSETUP work{};
        if (!ExpDuplicateNetworkFolder(&work, &head))
            host::Fail(host::kExitInternal, "no memory for a copy of the network folder");
        const std::uint16_t texts = block.record.stringCount;
        bool accepted = false;
        std::vector<WORD> added;
        {
            NetworkDialog dialog(parent, block, driver, work);
            accepted = dialog.exec() == QDialog::Accepted && dialog.changed();
            added = dialog.addedTexts();
        }
        if (!accepted) {
            for (WORD id : added) StrTabGetText(id, &block, nullptr, 0, 1);
            ExpDeleteNetworkFolder(&work);
            ForgetUnheldTextsSince(block, texts);
            return false;
        }
        return ChangedBy(project, [&] {
            ExpDeleteNetworkFolder(&head);
            head.childCount = work.childCount;
            head.children = work.children;
            head.flags = static_cast<std::uint8_t>((head.flags & ~uPLCSETUP::kHasChildren) |
                                                   (work.flags & uPLCSETUP::kHasChildren));
            return true;
        });
    });
}

}  // namespace kestra::workbench
