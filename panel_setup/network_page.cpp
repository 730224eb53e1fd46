// The "Network" page: network enable, the panel's node number and clock synchronisation.
#include <QHeaderView>
#include <QVBoxLayout>

#include "panel_setup/setup_pages.h"
#include "panel_setup/setup_texts.h"

namespace kestra::panel {
namespace {

constexpr std::uint16_t kGroupMember = 0x2000;

// The driver text of a row: a group's own text followed by those of its members.
QString DriverText(const NetworkNode& node, const std::vector<NetworkNode>& all) {
    QString text = QString::fromStdString(node.Driver());
    if (!node.IsGroup()) return text;
    const std::uint16_t member =
        static_cast<std::uint16_t>((node.Identifier() & 0xFF) + kGroupMember);
    for (const auto& other : all)
        if (other.Identifier() == member) text += " / " + QString::fromStdString(other.Driver());
    return text;
}

}  // namespace

CPanelNetworkPpg::CPanelNetworkPpg(CPanelSetupDlg& sheet) : CPanelSetupPpg(sheet, 379, "Network") {
    enable = new QCheckBox("Enable KesNET Network", this);
    nodes = new QTreeWidget(this);
    nodes->setColumnCount(4);
    nodes->setHeaderLabels(
        {text::kNodeColumn, text::kMarkerColumn, text::kDriverColumn, text::kModelColumn});
    nodes->setRootIsDecorated(false);
    nodes->setSelectionBehavior(QAbstractItemView::SelectRows);
    nodes->setAllColumnsShowFocus(true);
    nodes->setStyleSheet("QTreeView::item { border: 1px solid #d0d0d0; }");  // grid lines
    nodes->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    clockSync = new QCheckBox("Broadcast Periodic Clock Synchronization Messages", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enable);
    layout->addWidget(nodes);
    layout->addWidget(clockSync);
    connect(enable, &QCheckBox::toggled, this, [this](bool on) {
        nodes->setEnabled(on);
        clockSync->setEnabled(on && clockSync->property("modelAllows").toBool());
    });
}

void CPanelNetworkPpg::Fill() {
    const CTargetSetupData& setup = m_sheet.Setup();
    const auto& all = m_sheet.Nodes();
    nodes->clear();
    int shown = 0;
    for (const auto& node : all) shown += node.Kind() != 2;
    const char* numberFormat = shown > 10 ? "%0.2d" : "%d";
    const int current = setup.Word(setup::kNodeNumber);
    for (const auto& node : all) {
        if (node.Kind() == 2) continue;
        auto* row = new QTreeWidgetItem(nodes);
        const int number = node.Identifier() & 0xFF;
        row->setText(0, QString::asprintf(numberFormat, number));
        row->setText(1, node.Marker() == 1 ? "   +" : "");
        row->setText(2, DriverText(node, all));
        row->setText(3, QString::fromStdString(node.Model()));
        row->setData(0, Qt::UserRole, number);
        if (number == current) nodes->setCurrentItem(row);
    }
    const bool network = setup.Byte(setup::kNetworkEnabled) != 0;
    enable->setChecked(network);
    const ControlRule rule = ModelRule(m_sheet.Model(), "RTCSynchSupport", m_sheet.Version());
    const bool allows = ModelAllows(rule);
    clockSync->setProperty("modelAllows", allows);
    clockSync->setChecked((setup.Byte(setup::kFlags414) & 0x03) == 0x03);
    nodes->setEnabled(network);
    clockSync->setEnabled(network && allows);
}

void CPanelNetworkPpg::Store() {
    CTargetSetupData& setup = m_sheet.Setup();
    bool changed = false;
    const std::uint8_t network = enable->isChecked() ? 1 : 0;
    if (setup.Byte(setup::kNetworkEnabled) != network)
        setup.Byte(setup::kNetworkEnabled) = network, changed = true;
    if (network && nodes->currentItem()) {
        const auto number =
            static_cast<std::uint16_t>(nodes->currentItem()->data(0, Qt::UserRole).toInt());
        if (setup.Word(setup::kNodeNumber) != number)
            setup.SetWord(setup::kNodeNumber, number), changed = true;
    }
    const std::uint8_t sync = (clockSync->isChecked() && network) ? 0x03 : 0x00;
    std::uint8_t& flags = setup.Byte(setup::kFlags414);
    if ((flags & 0x03) != sync)
        flags = static_cast<std::uint8_t>((flags & ~0x03) | sync), changed = true;
    if (changed) setup.SetModified();
}

}  // namespace kestra::panel
