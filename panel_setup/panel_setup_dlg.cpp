#include "panel_setup/panel_setup_dlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdio>

#include "panel_setup/panel_capabilities.h"
#include "panel_setup/setup_pages.h"
#include "panel_setup/setup_texts.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/profile.h"

namespace kestra::panel {

int AskUser(const std::string& text, unsigned type) {
    return MessageBox(nullptr, text.c_str(), text::kProgramName, type);
}

CPanelSetupPpg::CPanelSetupPpg(CPanelSetupDlg& sheet, int resource, const char* caption)
    : m_sheet(sheet), m_resource(resource), m_caption(caption) {}

namespace {

std::string Format(const char* pattern, int a, int b = 0) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

// The display the generic model gets: the one asked for when the display table offers it for
// the generic model, else the first one offered, so that the model never goes without one.
int OfferedGenericDisplay(int wanted) {
    const auto offered = CDisplaysFile::PanelModelDisplays();
    for (const auto& [name, code] : offered)
        if (code == wanted) return wanted;
    return offered.empty() ? wanted : offered.front().second;
}

// The help page's topic of each page.
constexpr struct {
    int resource;
    const char* topic;
} kHelpTopics[] = {{372, "panel-model"}, {374, "settings"},      {380, "external-devices"},
                   {377, "passthrough"}, {378, "miscellaneous"}, {379, "network"}};

bool HasRealNode(const std::vector<NetworkNode>& nodes) {
    for (const auto& node : nodes)
        if (node.Kind() != 2) return true;
    return false;
}

}  // namespace

CPanelSetupDlg::CPanelSetupDlg(const CTargetSetupData& setup, const CPanelDisplayData& display,
                               const CPanelRPTData& passthrough,
                               std::array<std::uint8_t, block::kEthernetAndByteSize>& ethernet,
                               const std::vector<NetworkNode>& nodes, std::int16_t value,
                               std::string& password, bool colourGraphicsUsed, QWidget* parent)
    : QDialog(parent),
      m_ethernet(ethernet),
      m_nodes(nodes),
      m_value(value),
      m_password(password),
      m_colourGraphicsUsed(colourGraphicsUsed) {
    m_setup.CopyFrom(setup);
    m_setupReceived.CopyFrom(setup);
    m_display.CopyFrom(display);
    m_displayReceived.CopyFrom(display);
    m_passthrough.CopyFrom(passthrough);
    m_passthroughReceived.CopyFrom(passthrough);
    m_panelFolder = platform::JoinPath(platform::ProgramFolder(), "Panels");

    setWindowTitle(text::kSheetCaption);
    m_tabs = new QTabWidget(this);
    m_pages = {new CPanelModelPpg(*this), new CPanelDisplayPpg(*this),
               new CPanelExtDevicesPpg(*this), new CPanelRPTPpg(*this), new CPanelMiscPpg(*this)};
    if (HasRealNode(m_nodes)) m_pages.push_back(new CPanelNetworkPpg(*this));
    for (auto* page : m_pages) m_tabs->addTab(page, page->Caption());

    m_buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CPanelSetupDlg::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CPanelSetupDlg::reject);
    connect(m_buttons, &QDialogButtonBox::helpRequested, this, &CPanelSetupDlg::ShowHelp);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CPanelSetupDlg::ShowHelp);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    // Wide enough for every tab's caption.
    m_tabs->setMinimumWidth(m_tabs->tabBar()->sizeHint().width() + 24);
    layout->addWidget(m_buttons);
}

CPanelSetupDlg::~CPanelSetupDlg() = default;

CPanelMap& CPanelSetupDlg::Map() {
    if (!m_map) {
        m_map = std::make_unique<CPanelMap>();
        m_map->Load(m_panelFolder);
    }
    return *m_map;
}

std::string CPanelSetupDlg::GenericModelName() {
    for (const auto& entry : Map().Entries())
        if (CPanelFile(entry.path, 0).IsGeneric()) return entry.modelName;
    return {};
}

CPanelSetupPpg* CPanelSetupDlg::Page(int resource) const {
    for (auto* page : m_pages)
        if (page->Resource() == resource) return page;
    return nullptr;
}

bool CPanelSetupDlg::NetworkPageShown() const {
    return Page(379) != nullptr;
}

void CPanelSetupDlg::InitSheet() {
    if (m_initialised) return;
    m_initialised = true;
    m_modelName =
        m_display.Record().modelName[0]
            ? std::string(m_display.Record().modelName, strnlen(m_display.Record().modelName, 80))
            : std::string();
    m_version = m_display.FirmwareVersion();
    const int displayCode = m_display.Record().displayCode;
    if (auto path = Map().FindPath(m_modelName)) {
        auto model = std::make_unique<CPanelFile>(*path, displayCode);
        if (model->HasMfgCode()) m_model = std::move(model);
    }
    if (m_model && m_model->IsGeneric() && OfferedGenericDisplay(displayCode) != displayCode) {
        // A generic model without one of the offered displays takes the first.
        m_model.reset();
        ChangeModel(m_modelName, false);
    } else if (!m_model) {
        // The model is not installed: the generic model, else the first one, becomes current.
        std::string fallback = GenericModelName();
        if (fallback.empty() && !Map().Entries().empty())
            fallback = Map().Entries().front().modelName;
        if (!fallback.empty()) ChangeModel(fallback, false);
    } else if (!m_model->IsListed(m_version)) {
        m_version = m_model->Highest();
        m_display.SetFirmwareVersion(m_version);
        m_display.SetModified();
    }
    if (m_model && m_panelMemoryIndex < 0)
        m_panelMemoryIndex = InitialPanelMemoryIndex(*m_model, m_version, m_setup);
    m_backupMemory = BackupMemory(m_model.get(), m_version, m_setup.Bit(setup::kFlags414, 6),
                                  m_setup.Bit(setup::kFlags414, 7));
    Refresh();
}

int CPanelSetupDlg::exec() {
    InitSheet();
    return QDialog::exec();
}

void CPanelSetupDlg::accept() {
    for (auto* page : m_pages) page->Store();
    QDialog::accept();
}

void CPanelSetupDlg::Refresh() {
    for (auto* page : m_pages) page->Fill();
}

void CPanelSetupDlg::ShowHelp() {
    if (onHelp) onHelp();
}

std::string CPanelSetupDlg::HelpTopic() const {
    const auto* page = dynamic_cast<const CPanelSetupPpg*>(m_tabs->currentWidget());
    for (const auto& entry : kHelpTopics)
        if (page && entry.resource == page->Resource()) return entry.topic;
    return {};
}

bool CPanelSetupDlg::OpenModel(const std::string& name, int displayCode, bool useReceivedCode,
                               std::unique_ptr<CPanelFile>& opened) {
    auto path = Map().FindPath(name);
    if (!path || !platform::FileExists(*path)) {
        AskUser(text::kBadPanelFile, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const int code = useReceivedCode ? m_displayReceived.Record().displayCode.get() : displayCode;
    opened = std::make_unique<CPanelFile>(*path, code);
    if (opened->IsGeneric() && OfferedGenericDisplay(code) != code)
        opened = std::make_unique<CPanelFile>(*path, OfferedGenericDisplay(code));
    if (!opened->IsGeneric() && opened->Display().ReadInt("Rows") == kMissing) {
        AskUser(Format(text::kBadDisplay, opened->Display().ReadInt("NCode")),
                MB_OK | MB_ICONEXCLAMATION);
        opened.reset();
        return false;
    }
    return true;
}

bool CPanelSetupDlg::ChangeModel(const std::string& name, bool ask) {
    std::unique_ptr<CPanelFile> opened;
    if (!OpenModel(name, 0, true, opened)) return false;
    return ApplyModel(std::move(opened), name, ask);
}

bool CPanelSetupDlg::ChangeGenericDisplay(int displayCode) {
    std::unique_ptr<CPanelFile> opened;
    if (!OpenModel(m_modelName, displayCode, false, opened)) return false;
    return ApplyModel(std::move(opened), m_modelName, true);
}

bool CPanelSetupDlg::ApplyModel(std::unique_ptr<CPanelFile> model, const std::string& name,
                                bool ask) {
    const int version = model->IsListed(m_version) ? m_version : model->Highest();
    // The chunks as the new model makes them, from the copies received. Nothing of them is
    // applied before the user has agreed to the change.
    CPanelDisplayData display;
    display.CopyFrom(m_displayReceived);
    LoadDisplayFromModel(display, *model, version, false);
    display.SetFirmwareVersion(version);
    CTargetSetupData setup;
    setup.CopyFrom(m_setupReceived);
    ApplyCapabilities(setup, *model, version);
    AlignDisplayWithSetup(display, setup);

    if (ask) {
        const int before = m_display.Record().columns, after = display.Record().columns;
        if (after < before) {
            std::string question = Format(text::kFewerColumns, before, after);
            question += text::kDataMayBeLost;
            question += text::kProceedReformat;
            if (AskUser(question, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
        }
        // The new display itself decides: the aligned record carries the colours code the
        // editor sent, which marks any display as a colour one.
        if (m_colourGraphicsUsed && !HasColourSemigraphics(*model))
            if (AskUser(text::kToMonochrome, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    }
    m_display.CopyFrom(display);
    m_setup.CopyFrom(setup);
    m_passthrough.CopyFrom(m_passthroughReceived);
    m_display.SetModified();
    m_setup.SetModified();
    m_passthrough.SetModified();
    m_model = std::move(model);
    m_modelName = name;
    m_version = version;
    m_panelMemoryIndex = InitialPanelMemoryIndex(*m_model, m_version, m_setup);
    m_backupMemory = BackupMemory(m_model.get(), m_version, m_setup.Bit(setup::kFlags414, 6),
                                  m_setup.Bit(setup::kFlags414, 7));
    if (m_initialised) Refresh();
    return true;
}

bool CPanelSetupDlg::ChangeVersion(int version, bool ask) {
    if (!m_model || version == m_version) return false;
    if (ask && AskUser(text::kVersionChange, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    m_version = version;
    m_display.SetFirmwareVersion(version);
    ApplyCapabilities(m_setup, *m_model, version);
    LoadDisplayFeatures(m_display, *m_model, version);
    AlignDisplayWithSetup(m_display, m_setup);
    m_setup.SetModified();
    m_display.SetModified();
    Refresh();
    return true;
}

void CPanelSetupDlg::SetPanelMemoryIndex(int index) {
    m_panelMemoryIndex = index;
    if (auto* page = static_cast<CPanelDisplayPpg*>(Page(374))) page->ShowFreeMemory();
}

void CPanelSetupDlg::SetBackupMemory(long long bytes) {
    m_backupMemory = bytes;
    if (auto* page = static_cast<CPanelDisplayPpg*>(Page(374))) page->ShowFreeMemory();
}

MemoryBudget CPanelSetupDlg::Budget() const {
    if (!m_model || m_panelMemoryIndex < 0) return {};
    auto valueAt = [&](const char* key) {
        auto values = ChoiceValues(*m_model, key, m_version);
        const auto i = static_cast<std::size_t>(m_panelMemoryIndex);
        return i < values.size() ? values[i] : 0;
    };
    return ComputeMemoryBudget(valueAt("PanelMemory"), valueAt("BlockSize"),
                               valueAt("InternalProjectMemory"), m_projectSize, m_backupMemory);
}

}  // namespace kestra::panel
