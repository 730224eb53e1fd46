// The "Miscellaneous" page: the page shown on communication errors, timeouts, the screen saver
// and the upload protection password.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <algorithm>

#include "panel_setup/setup_pages.h"

namespace kestra::panel {
namespace {

constexpr const char* kTimeoutKeys[] = {"CmdTimeOutSupport", "FieldSelTimeOutSupport",
                                        "DataTimeOutSupport"};
constexpr std::size_t kTimeoutOffsets[] = {setup::kCmdTimeout, setup::kFieldSelTimeout,
                                           setup::kDataTimeout};
constexpr int kTimeoutEnabled = 0x80;
constexpr int kMaxPasswordLength = 8;
constexpr int kTimeoutMax = 127;
constexpr int kScreenSaverMax = 65535;

// A timer value manager in whole seconds from 0 to an upper end, on a text box and a spin
// button.
std::unique_ptr<KXCTimerMgr> MakeTimer(KXCSpinButton* spin, QLineEdit* edit, int upper) {
    spin->setFixedHeight(edit->sizeHint().height());  // the arrows beside the box, not above it
    edit->setMaximumWidth(120);
    auto manager = std::make_unique<KXCTimerMgr>();
    manager->SubClassControls(spin, edit);
    manager->SetTimerMode(TIMER_SEC_ONLY);
    manager->SetRangeStepSec(0, upper, 1);
    return manager;
}

// The value a manager holds, with what the user typed last taken in first.
int TimerValue(KXCTimerMgr& manager) {
    if (manager.GetEdit()) manager.ParseUserData(manager.GetEdit()->text());
    return manager.GetTimerPos();
}

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
    for (std::size_t i = 0; i < 3; ++i) {
        timeouts[i] = new QCheckBox(timeoutLabels[i], timeoutBox);
        timeoutEdits[i] = new QLineEdit(timeoutBox);
        timeoutSpins[i] = new KXCSpinButton(timeoutBox);
        timeoutManagers[i] = MakeTimer(timeoutSpins[i], timeoutEdits[i], kTimeoutMax);
        const int row = static_cast<int>(i);
        grid->addWidget(timeouts[i], row, 0);
        grid->addWidget(timeoutEdits[i], row, 1);
        grid->addWidget(timeoutSpins[i], row, 2);
        grid->setColumnStretch(3, 1);
        KXCTimerMgr* manager = timeoutManagers[i].get();
        connect(timeouts[i], &QCheckBox::toggled, this,
                [manager](bool on) { manager->Enable(on); });
    }
    screenSaver = new QCheckBox("LCD Screen Saver", this);
    screenSaverEdit = new QLineEdit(this);
    screenSaverSpin = new KXCSpinButton(this);
    screenSaverManager = MakeTimer(screenSaverSpin, screenSaverEdit, kScreenSaverMax);
    password = new QLineEdit(this);
    password->setMaxLength(kMaxPasswordLength);
    password->setEchoMode(QLineEdit::Password);

    auto* layout = new QGridLayout(this);
    layout->addWidget(errorPage, 0, 0);
    layout->addWidget(errorPageNumber, 0, 1);
    layout->addWidget(timeoutBox, 1, 0, 1, 2);
    auto* wait = new QHBoxLayout;
    wait->addWidget(screenSaverEdit);
    wait->addWidget(screenSaverSpin);
    layout->addWidget(screenSaver, 2, 0);
    layout->addLayout(wait, 2, 1);
    layout->addWidget(new QLabel("Panel upload protection password:", this), 3, 0);
    layout->addWidget(password, 3, 1);
    layout->setRowStretch(4, 1);
    connect(errorPage, &QCheckBox::toggled, errorPageNumber, &QWidget::setEnabled);
    connect(screenSaver, &QCheckBox::toggled, this,
            [this](bool on) { screenSaverManager->Enable(on); });
}

CPanelMiscPpg::~CPanelMiscPpg() = default;

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
        timeoutManagers[i]->SetTimerPos(stored & 0x7F, TIMER_SEC);
        timeoutManagers[i]->Enable(timeouts[i]->isChecked());
    }
    const int wait = setup.Word(setup::kScreenSaver);
    ApplyRuleToCheck(screenSaver, ModelRule(model, "ScreenSaverSupport", version), wait != 0);
    screenSaverManager->SetTimerPos(wait, TIMER_SEC);
    screenSaverManager->Enable(screenSaver->isChecked());
    // The box shows the block's password as it is, even one longer than a user may type.
    const QString stored = QString::fromStdString(m_sheet.Password());
    password->setMaxLength(std::max<int>(kMaxPasswordLength, static_cast<int>(stored.size())));
    password->setText(stored);
    m_shownPassword = stored;
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
            timeouts[i]->isChecked() ? (TimerValue(*timeoutManagers[i]) | kTimeoutEnabled) : 0;
        if (setup.Byte(kTimeoutOffsets[i]) != value)
            setup.Byte(kTimeoutOffsets[i]) = static_cast<std::uint8_t>(value), changed = true;
    }
    storeWord(setup::kScreenSaver, screenSaver->isChecked() ? TimerValue(*screenSaverManager) : 0);
    if (changed) setup.SetModified();
    if (password->text() != m_shownPassword) m_sheet.Password() = password->text().toStdString();
}

}  // namespace kestra::panel
