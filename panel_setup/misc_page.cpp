// The "Miscellaneous" page: the page shown on communication errors, timeouts, the screen saver
// and the upload protection password.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>

#include "panel_setup/setup_pages.h"

namespace kestra::panel {
namespace {

constexpr const char* kTimeoutKeys[] = {"CmdTimeOutSupport", "FieldSelTimeOutSupport",
                                        "DataTimeOutSupport"};
constexpr std::size_t kTimeoutOffsets[] = {setup::kCmdTimeout, setup::kFieldSelTimeout,
                                           setup::kDataTimeout};
constexpr int kTimeoutEnabled = 0x80;
constexpr int kMaxPasswordLength = 8;

// A check box and its value under the model-driven rule: checked from the stored state.
void ApplyRuleToCheck(QCheckBox* box, const ControlRule& rule, bool stored) {
    box->setEnabled(rule.enabled);
    box->setChecked(rule.fixedValue ? (*rule.fixedValue & 1) != 0 : stored);
}

}  // namespace

CPanelMiscPpg::CPanelMiscPpg(CPanelSetupDlg& sheet) : CPanelSetupPpg(sheet, 378, "Miscellaneous") {
    errorPage = new QCheckBox("Display Page on Comm Errror", this);
    errorPageNumber = new QSpinBox(this);
    errorPageNumber->setRange(1, 65535);
    const char* timeoutLabels[] = {"Panel menu command timeout", "Field selection entry timeout",
                                   "Data entry timeout"};
    auto* timeoutBox = new QGroupBox("Timeouts", this);
    auto* grid = new QGridLayout(timeoutBox);
    for (int i = 0; i < 3; ++i) {
        timeouts[i] = new QCheckBox(timeoutLabels[i], timeoutBox);
        timeoutValues[i] = new QSpinBox(timeoutBox);
        timeoutValues[i]->setRange(0, 127);
        timeoutValues[i]->setSuffix(" sec");
        grid->addWidget(timeouts[i], i, 0);
        grid->addWidget(timeoutValues[i], i, 1);
        connect(timeouts[i], &QCheckBox::toggled, timeoutValues[i], &QWidget::setEnabled);
    }
    screenSaver = new QCheckBox("LCD Screen Saver", this);
    screenSaverWait = new QSpinBox(this);
    screenSaverWait->setRange(0, 65535);
    password = new QLineEdit(this);
    password->setMaxLength(kMaxPasswordLength);
    password->setEchoMode(QLineEdit::Password);

    auto* layout = new QGridLayout(this);
    layout->addWidget(errorPage, 0, 0);
    layout->addWidget(errorPageNumber, 0, 1);
    layout->addWidget(timeoutBox, 1, 0, 1, 2);
    layout->addWidget(screenSaver, 2, 0);
    layout->addWidget(screenSaverWait, 2, 1);
    layout->addWidget(new QLabel("Panel upload protection password:", this), 3, 0);
    layout->addWidget(password, 3, 1);
    layout->setRowStretch(4, 1);
    connect(errorPage, &QCheckBox::toggled, errorPageNumber, &QWidget::setEnabled);
    connect(screenSaver, &QCheckBox::toggled, screenSaverWait, &QWidget::setEnabled);
}

void CPanelMiscPpg::Fill() {
    const CPanelFile* model = m_sheet.Model();
    const int version = m_sheet.Version();
    const CTargetSetupData& setup = m_sheet.Setup();

    const int page = setup.Word(setup::kCommErrorPage);
    ApplyRuleToCheck(errorPage, ModelRule(model, "CommErrorPageSupport", version), page != 0);
    errorPageNumber->setValue(page != 0 ? page : 1);
    errorPageNumber->setEnabled(errorPage->isChecked());
    for (std::size_t i = 0; i < 3; ++i) {
        const int stored = setup.Byte(kTimeoutOffsets[i]);
        ApplyRuleToCheck(timeouts[i], ModelRule(model, kTimeoutKeys[i], version),
                         (stored & kTimeoutEnabled) != 0);
        timeoutValues[i]->setValue(stored & 0x7F);
        timeoutValues[i]->setEnabled(timeouts[i]->isChecked());
    }
    const int wait = setup.Word(setup::kScreenSaver);
    ApplyRuleToCheck(screenSaver, ModelRule(model, "ScreenSaverSupport", version), wait != 0);
    screenSaverWait->setValue(wait);
    screenSaverWait->setEnabled(screenSaver->isChecked());
    password->setText(QString::fromStdString(m_sheet.Password()).left(kMaxPasswordLength));
}

void CPanelMiscPpg::Store() {
    CTargetSetupData& setup = m_sheet.Setup();
    bool changed = false;
    auto storeWord = [&](std::size_t offset, int value) {
        if (setup.Word(offset) != value)
            setup.SetWord(offset, static_cast<std::uint16_t>(value)), changed = true;
    };
    storeWord(setup::kCommErrorPage, errorPage->isChecked() ? errorPageNumber->value() : 0);
    for (std::size_t i = 0; i < 3; ++i) {
        const int value =
            timeouts[i]->isChecked() ? (timeoutValues[i]->value() | kTimeoutEnabled) : 0;
        if (setup.Byte(kTimeoutOffsets[i]) != value)
            setup.Byte(kTimeoutOffsets[i]) = static_cast<std::uint8_t>(value), changed = true;
    }
    storeWord(setup::kScreenSaver, screenSaver->isChecked() ? screenSaverWait->value() : 0);
    if (changed) setup.SetModified();
    m_sheet.Password() = password->text().toStdString();
}

}  // namespace kestra::panel
