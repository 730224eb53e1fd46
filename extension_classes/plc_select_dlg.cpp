#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "extension_classes/kxc_message.h"
#include "extension_classes/plc_info.h"
#include "extension_classes/plc_select.h"

namespace {

constexpr UINT kSwitchQuestion = 22302;
constexpr UINT kCannotRemoveCurrent = 22303;
constexpr UINT kRemoveQuestion = 22304;
constexpr const char* kTitle = "Select controller";

struct ModeButton {
    int mode;
    const char* text;
};
constexpr ModeButton kModeButtons[] = {
    {PLCMODE_EXTERNAL, "External controller ony"},
    {PLCMODE_INTERNAL, "Internal controller only"},
    {PLCMODE_BOTH, "Internal + External controllers"},
};

}  // namespace

CPlcSelectDlg::CPlcSelectDlg(CPlcInfoList* list, HINSTANCE currentDriver, int mode,
                             BOOL offerInternal, QWidget* parent)
    : QDialog(parent),
      m_pList(list),
      m_nMode(mode),
      m_nOpeningMode(mode),
      m_bOfferInternal(offerInternal) {
    if (currentDriver) {
        m_pCurrent = std::make_unique<CPlcInfo>();
        m_pCurrent->CreateIndirect(currentDriver);
    }
    buildLayout();
}

CPlcSelectDlg::~CPlcSelectDlg() = default;

void CPlcSelectDlg::buildLayout() {
    setWindowTitle(QString::fromLatin1(kTitle));
    m_list = new CPlcListCtl(this);
    m_list->setMinimumHeight(200);

    auto* currentCaption = new QLabel(QStringLiteral("Currently active driver (External) :"), this);
    m_currentName = new QLabel(this);
    m_currentName->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* currentRow = new QHBoxLayout;
    currentRow->addWidget(currentCaption);
    currentRow->addWidget(m_currentName, 1);

    auto* modeGroup = new QGroupBox(QStringLiteral("Controller Mode"), this);
    auto* modeLayout = new QVBoxLayout(modeGroup);
    auto* modeButtons = new QButtonGroup(this);
    for (const auto& button : kModeButtons) {
        m_modes[button.mode] = new QRadioButton(QString::fromLatin1(button.text), modeGroup);
        modeButtons->addButton(m_modes[button.mode], button.mode);
        modeLayout->addWidget(m_modes[button.mode]);
    }
    // A button turned on by mouse or keyboard sets the mode.
    connect(modeButtons, &QButtonGroup::idToggled, this, [this](int mode, bool checked) {
        if (checked && m_bInitialised) OnModeChanged(mode);
    });

    m_ok = new QPushButton(QStringLiteral("&OK"), this);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_remove = new QPushButton(QStringLiteral("&Remove"), this);
    m_refresh = new QPushButton(QStringLiteral("Re&fresh"), this);
    m_ok->setDefault(true);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {m_ok, m_cancel, m_remove, m_refresh}) buttons->addWidget(button);
    buttons->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(currentRow);
    layout->addWidget(modeGroup);

    setTabOrder(m_list, m_modes[0]);
    setTabOrder(m_modes[0], m_modes[1]);
    setTabOrder(m_modes[1], m_modes[2]);
    setTabOrder(m_modes[2], m_ok);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_remove);
    setTabOrder(m_remove, m_refresh);

    connect(m_ok, &QPushButton::clicked, this, &CPlcSelectDlg::OnOK);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_remove, &QPushButton::clicked, this, &CPlcSelectDlg::OnRemove);
    connect(m_refresh, &QPushButton::clicked, this, &CPlcSelectDlg::OnRefresh);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CPlcSelectDlg::OnSelectionChanged);
}

void CPlcSelectDlg::SetSelectedDriver(CPlcInfo* info) {
    m_strPreset = info ? info->m_strDllName : std::string();
    if (m_bInitialised) m_list->SetSelectedDriver(m_strPreset);
}

void CPlcSelectDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) OnInitDialog();
    QDialog::showEvent(event);
}

void CPlcSelectDlg::OnInitDialog() {
    m_bInitialised = true;
    m_list->HideInternalControllers(true);
    m_list->HideClients(true);
    m_list->UpdateDriverList(m_pList);
    if (!m_bOfferInternal || !m_pList || !m_pList->FindVersion(kPlcCodeInternal)) {
        m_nMode = m_nOpeningMode = PLCMODE_EXTERNAL;
        for (QRadioButton* radio : m_modes) radio->setEnabled(false);
    }
    if (m_nMode >= PLCMODE_EXTERNAL && m_nMode <= PLCMODE_BOTH) m_modes[m_nMode]->setChecked(true);
    if (m_pCurrent) m_list->SetSelectedDriver(m_pCurrent.get());
    if (!m_strPreset.empty()) m_list->SetSelectedDriver(m_strPreset);
    m_strSelectedDll = m_list->GetSelectedDriverDll();
    showCurrentDriver();
    UpdateControls();
    m_list->setFocus();
}

void CPlcSelectDlg::showCurrentDriver() {
    m_currentName->setText(m_pCurrent ? QString::fromStdString(m_pCurrent->m_strDriverName)
                                      : QString());
}

void CPlcSelectDlg::UpdateControls() {
    const bool selected = m_list->GetSelectedDriver() != nullptr;
    m_remove->setEnabled(selected);
    m_ok->setEnabled(selected || m_nMode == PLCMODE_INTERNAL);
    if (m_nMode == PLCMODE_INTERNAL)
        m_currentName->clear();
    else
        showCurrentDriver();
    m_list->setEnabled(m_nMode != PLCMODE_INTERNAL);
}

void CPlcSelectDlg::OnModeChanged(int mode) {
    m_nMode = mode;
    UpdateControls();
}

void CPlcSelectDlg::OnSelectionChanged() {
    if (CPlcInfo* info = m_list->GetSelectedDriver()) m_strSelectedDll = info->m_strDllName;
    UpdateControls();
}

void CPlcSelectDlg::OnRemove() {
    CPlcInfo* selected = m_list->GetSelectedDriver();
    if (!selected) return;
    if (m_pCurrent && selected->m_strDllName == m_pCurrent->m_strDllName) {
        KXCMessageBox(this, KXCLoadString(kCannotRemoveCurrent), MB_OK | MB_ICONEXCLAMATION,
                      windowTitle());
        UpdateControls();
        return;
    }
    const int answer =
        KXCMessageBox(this, KXCLoadString(kRemoveQuestion),
                      MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, windowTitle());
    if (answer == IDCANCEL) return;
    m_list->DeleteDriverItem(selected);
    if (m_pList) m_pList->DeleteItem(selected, answer == IDYES ? TRUE : FALSE);
    m_list->SetSelectedDriver(m_pCurrent.get());
    UpdateControls();
}

void CPlcSelectDlg::OnRefresh() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_pList) m_pList->Load(TRUE);
    m_list->UpdateDriverList(m_pList);
    m_list->SetSelectedDriver(m_pCurrent.get());
    showCurrentDriver();
    UpdateControls();
    QApplication::restoreOverrideCursor();
}

bool CPlcSelectDlg::closesWithoutAsking() const {
    if (!m_pCurrent) return false;
    if ((m_nMode == PLCMODE_INTERNAL) != (m_nOpeningMode == PLCMODE_INTERNAL)) return false;
    const CPlcInfo* selected = m_list->GetSelectedDriver();
    return !selected || selected->m_nProjectCode == m_pCurrent->m_nProjectCode ||
           selected->m_strCompatibility == m_pCurrent->m_strCompatibility;
}

void CPlcSelectDlg::OnOK() {
    m_strSelectedDll = m_list->GetSelectedDriverDll();
    if (closesWithoutAsking() ||
        KXCMessageBox(this, KXCLoadString(kSwitchQuestion), MB_OKCANCEL | MB_ICONQUESTION,
                      windowTitle()) == IDOK)
        accept();
}
