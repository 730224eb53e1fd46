// The "Passthrough" page: mode, port settings and the modem command texts.
#include <QButtonGroup>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>

#include "panel_setup/setup_pages.h"

namespace kestra::panel {
namespace {

constexpr const char* kBaudRates[] = {"1200;1200", "2400;2400",   "4800;4800",
                                      "9600;9600", "19200;19200", "38400;38400"};
constexpr const char* kParities[] = {"None;0", "Odd;1", "Even;2", "Mark;3", "Space;4"};
constexpr const char* kDataBits[] = {"7;7", "8;8"};
constexpr const char* kStopBits[] = {"1;1", "2;2"};
constexpr std::size_t kRequestOffsets[] = {rpt::kStartRequest, rpt::kStopRequest, rpt::kCfgRequest};
constexpr std::size_t kResponseOffsets[] = {rpt::kStartResponse, rpt::kStopResponse,
                                            rpt::kCfgResponse};

}  // namespace

QString CommandToField(const std::string& text) {
    QString field = QString::fromStdString(text);
    field.replace("\r", "^M");
    return field;
}

std::string FieldToCommand(const QString& field) {
    QString text = field;
    text.replace("^M", "\r");
    return text.toStdString();
}

CPanelRPTPpg::CPanelRPTPpg(CPanelSetupDlg& sheet) : CPanelSetupPpg(sheet, 377, "Passthrough") {
    // Made in reading order, which is the tab order: the mode on the left, the port beside it,
    // then the commands below.
    hardware = new QRadioButton("Hardware", this);
    remoteHardware = new QRadioButton("Remote Hardware", this);
    baudRate = new QComboBox(this);
    parity = new QComboBox(this);
    dataBits = new QComboBox(this);
    stopBits = new QComboBox(this);
    auto* modes = new QButtonGroup(this);
    modes->addButton(hardware, 0);
    modes->addButton(remoteHardware, 1);

    auto* modeBox = new QGroupBox("Mode", this);
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeLayout->addWidget(hardware);
    modeLayout->addWidget(remoteHardware);
    auto* portBox = new QGroupBox("Port", this);
    auto* form = new QFormLayout(portBox);
    form->addRow("Baud rate:", baudRate);
    form->addRow("Parity:", parity);
    form->addRow("Data bits:", dataBits);
    form->addRow("Stop bits:", stopBits);

    auto* commands = new QGroupBox("Commands", this);
    auto* grid = new QGridLayout(commands);
    grid->addWidget(new QLabel("Request", commands), 0, 1);
    grid->addWidget(new QLabel("Response", commands), 0, 2);
    const char* rows[] = {"Start", "Stop", "Cfg Mode"};
    for (int i = 0; i < 3; ++i) {
        requests[i] = new QLineEdit(commands);
        responses[i] = new QLineEdit(commands);
        requests[i]->setMaxLength(static_cast<int>(kCommandTextSize - 1));
        responses[i]->setMaxLength(static_cast<int>(kCommandTextSize - 1));
        grid->addWidget(new QLabel(rows[i], commands), i + 1, 0);
        grid->addWidget(requests[i], i + 1, 1);
        grid->addWidget(responses[i], i + 1, 2);
    }
    auto* layout = new QGridLayout(this);
    layout->addWidget(modeBox, 0, 0);
    layout->addWidget(portBox, 0, 1);
    layout->addWidget(commands, 1, 0, 1, 2);
    layout->setRowStretch(2, 1);
}

void CPanelRPTPpg::Fill() {
    const PassthroughRecord& r = m_sheet.Passthrough().Record();
    FillFixedCombo(baudRate, kBaudRates, r.baudRate, static_cast<int>(std::size(kBaudRates)) - 1);
    FillFixedCombo(parity, kParities, r.parity, 0);
    FillFixedCombo(dataBits, kDataBits, r.dataBits, 1);
    FillFixedCombo(stopBits, kStopBits, r.stopBits, 0);

    const CPanelFile* model = m_sheet.Model();
    const int version = m_sheet.Version();
    auto enabledBy = [&](const char* key) {
        const ControlRule rule = ModelRule(model, key, version);
        return rule.fixedValue ? (*rule.fixedValue & 1) != 0 : rule.enabled;
    };
    hardware->setEnabled(enabledBy("HWPassthroughSupport"));
    remoteHardware->setEnabled(enabledBy("RemoteHWPassthroughSupport"));
    (r.mode == 1 ? remoteHardware : hardware)->setChecked(true);
    for (int i = 0; i < 3; ++i) {
        requests[i]->setText(CommandToField(m_sheet.Passthrough().CommandText(kRequestOffsets[i])));
        responses[i]->setText(
            CommandToField(m_sheet.Passthrough().CommandText(kResponseOffsets[i])));
    }
}

void CPanelRPTPpg::Store() {
    CPanelRPTData& chunk = m_sheet.Passthrough();
    PassthroughRecord& r = chunk.Record();
    bool changed = false;
    auto store8 = [&](std::uint8_t& field, const QComboBox* combo) {
        const auto v = static_cast<std::uint8_t>(SelectedValue(combo).value_or(field));
        if (v != field) field = v, changed = true;
    };
    const auto baud = static_cast<std::uint16_t>(SelectedValue(baudRate).value_or(r.baudRate));
    if (baud != r.baudRate) r.baudRate = baud, changed = true;
    store8(r.parity, parity);
    store8(r.dataBits, dataBits);
    store8(r.stopBits, stopBits);
    const std::uint8_t mode = remoteHardware->isChecked() ? 1 : 0;
    if ((r.mode == 1 ? 1 : 0) != mode) r.mode = mode, changed = true;
    for (int i = 0; i < 3; ++i) {
        const std::pair<std::size_t, QLineEdit*> fields[] = {{kRequestOffsets[i], requests[i]},
                                                             {kResponseOffsets[i], responses[i]}};
        for (const auto& [offset, edit] : fields) {
            const std::string text = FieldToCommand(edit->text());
            if (text != chunk.CommandText(offset))
                chunk.SetCommandText(offset, text), changed = true;
        }
    }
    if (changed) chunk.SetModified();
}

}  // namespace kestra::panel
