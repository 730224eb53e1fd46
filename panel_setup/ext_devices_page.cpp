// The "External Devices" page and the Ethernet board dialog.
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <cstring>

#include "panel_setup/setup_pages.h"
#include "panel_setup/setup_texts.h"
#include "platform/message_box.h"

namespace kestra::panel {
namespace {

constexpr std::size_t kTcpIpOn = 0, kAddress = 1, kMoreAddresses = 5, kSecond = 6, kThird = 10;
constexpr std::size_t kAddressOffsets[] = {kAddress, kSecond, kThird};

QString AddressText(const std::uint8_t* a) {
    return QString::asprintf("%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

bool ParseAddress(const QString& text, std::uint8_t* out) {
    const auto parts = text.split('.');
    if (parts.size() != 4) return false;
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int v = parts[i].trimmed().toInt(&ok);
        if (!ok || v < 0 || v > 255) return false;
        bytes[i] = static_cast<std::uint8_t>(v);
    }
    std::memcpy(out, bytes, 4);
    return true;
}

}  // namespace

CPanelEthernetDlg::CPanelEthernetDlg(
    std::array<std::uint8_t, block::kEthernetAndByteSize>& ethernet, QWidget* parent)
    : QDialog(parent), m_ethernet(ethernet) {
    setWindowTitle("Ethernet Board");
    const QRegularExpression pattern(
        R"(^\s*(25[0-5]|2[0-4]\d|1?\d?\d)(\s*\.\s*(25[0-5]|2[0-4]\d|1?\d?\d)){3}\s*$)");
    auto* form = new QFormLayout;
    const char* labels[] = {"IP address:", "Second address:", "Third address:"};
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        addresses[i] = new QLineEdit(AddressText(&m_ethernet[kAddressOffsets[i]]), this);
        addresses[i]->setValidator(new QRegularExpressionValidator(pattern, addresses[i]));
        if (i == 1) {
            moreAddresses = new QCheckBox("Further addresses", this);
            moreAddresses->setChecked(m_ethernet[kMoreAddresses] != 0);
            form->addRow(moreAddresses);
        }
        form->addRow(labels[i], addresses[i]);
    }
    auto showMore = [this, form] {
        for (std::size_t i = 1; i < addresses.size(); ++i) {
            addresses[i]->setVisible(moreAddresses->isChecked());
            form->labelForField(addresses[i])->setVisible(moreAddresses->isChecked());
        }
    };
    connect(moreAddresses, &QCheckBox::toggled, this, showMore);
    showMore();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPanelEthernetDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPanelEthernetDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CPanelEthernetDlg::accept() {
    std::array<std::uint8_t, 12> parsed{};
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (i > 0 && !moreAddresses->isChecked()) {  // hidden addresses stay as they were
            std::memcpy(&parsed[i * 4], &m_ethernet[kAddressOffsets[i]], 4);
            continue;
        }
        if (!ParseAddress(addresses[i]->text(), &parsed[i * 4])) {
            AskUser("The address \"" + addresses[i]->text().toStdString() +
                        "\" is not an IP address. Enter four numbers from 0 to 255 separated by "
                        "dots.",
                    MB_OK | MB_ICONEXCLAMATION);
            addresses[i]->setFocus();
            return;
        }
    }
    for (std::size_t i = 0; i < addresses.size(); ++i)
        std::memcpy(&m_ethernet[kAddressOffsets[i]], &parsed[i * 4], 4);
    m_ethernet[kMoreAddresses] = moreAddresses->isChecked() ? 1 : 0;
    QDialog::accept();
}

CPanelExtDevicesPpg::CPanelExtDevicesPpg(CPanelSetupDlg& sheet)
    : CPanelSetupPpg(sheet, 380, "External Devices") {
    keyboard = new QComboBox(this);
    tcmModule = new QComboBox(this);
    remoteIo = new QComboBox(this);
    tcpIp = new QCheckBox("TCP/IP support", this);
    ethernetBoard = new QPushButton("Ethernet Board...", this);
    ipAddress = new QLabel(this);
    ipAddress->setTextFormat(Qt::PlainText);
    ipAddress->setFont(QFont("Monospace"));
    networkAddress = new QLabel(text::kNetworkIpAddress, this);

    auto* devices = new QGroupBox("Devices", this);
    auto* form = new QFormLayout(devices);
    form->addRow("Keyboard:", keyboard);
    form->addRow("TCM model:", tcmModule);
    form->addRow("Remote I/O:", remoteIo);
    auto* ethernet = new QGroupBox("Ethernet", this);
    auto* grid = new QGridLayout(ethernet);
    grid->addWidget(tcpIp, 0, 0, 1, 2);
    grid->addWidget(ethernetBoard, 1, 0);
    grid->addWidget(ipAddress, 1, 1);
    grid->addWidget(networkAddress, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(devices);
    layout->addWidget(ethernet);
    layout->addStretch();

    // The board's addresses matter only while TCP/IP is on, on a model that has it.
    connect(tcpIp, &QCheckBox::toggled, this, [this] { EnableEthernetBoard(); });
    connect(ethernetBoard, &QPushButton::clicked, this, [this] {
        CPanelEthernetDlg dialog(m_sheet.Ethernet(), this);
        if (dialog.exec() == QDialog::Accepted) ShowAddress();
    });
}

void CPanelExtDevicesPpg::EnableEthernetBoard() {
    ethernetBoard->setEnabled(m_tcpIpAllowed && tcpIp->isChecked());
}

void CPanelExtDevicesPpg::ShowAddress() {
    const auto& e = m_sheet.Ethernet();
    ipAddress->setText(QString::asprintf("%3d . %3d . %3d . %3d ", e[kAddress], e[kAddress + 1],
                                         e[kAddress + 2], e[kAddress + 3]));
}

void CPanelExtDevicesPpg::Fill() {
    const CPanelFile* model = m_sheet.Model();
    const int version = m_sheet.Version();
    ApplyRuleToCombo(keyboard, ModelRule(model, "ExternalKeyboard", version), {});
    ApplyRuleToCombo(tcmModule, ModelRule(model, "TCMModule", version), {});
    ApplyRuleToCombo(remoteIo, ModelRule(model, "RemoteIO", version), {});
    const ControlRule rule = ModelRule(model, "TcpIpSupport", version);
    tcpIp->setEnabled(rule.enabled);
    const bool on = m_sheet.Ethernet()[kTcpIpOn] != 0;
    tcpIp->setChecked(rule.fixedValue ? (*rule.fixedValue & 1) != 0 : on);
    m_tcpIpAllowed = ModelAllows(rule);
    EnableEthernetBoard();
    const bool network = m_sheet.Setup().Byte(setup::kNetworkEnabled) != 0;
    ethernetBoard->setVisible(!network);
    ipAddress->setVisible(!network);
    networkAddress->setVisible(network);
    ShowAddress();
}

void CPanelExtDevicesPpg::Store() {
    m_sheet.Ethernet()[kTcpIpOn] = tcpIp->isChecked() ? 1 : 0;
}

}  // namespace kestra::panel
