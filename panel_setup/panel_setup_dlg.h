// The "Panel Setup" sheet: a dialog with a tab per page in which the user edits the target
// panel's setup, governed by the chosen panel model file read for the chosen firmware version.
#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "panel_setup/exchange_block.h"
#include "panel_setup/panel_file.h"
#include "panel_setup/panel_map.h"
#include "panel_setup/setup_rules.h"

class QTabWidget;
class QDialogButtonBox;

namespace kestra::panel {

class CPanelSetupDlg;
class CPanelModelPpg;
class CPanelDisplayPpg;

// Asks the user a question through the platform's message boxes; returns the button.
int AskUser(const std::string& text, unsigned type);

// The base of every page.
class CPanelSetupPpg : public QWidget {
  public:
    CPanelSetupPpg(CPanelSetupDlg& sheet, int resource, const char* caption);
    int Resource() const { return m_resource; }
    const char* Caption() const { return m_caption; }
    // Shows the chunks' values under the current model.
    virtual void Fill() = 0;
    // Writes changed values back to the chunks (the sheet ends with OK).
    virtual void Store() = 0;

  protected:
    CPanelSetupDlg& m_sheet;

  private:
    int m_resource;
    const char* m_caption;
};

class CPanelSetupDlg : public QDialog {
  public:
    // The received chunks are copied; the Ethernet bytes, nodes and password are edited in
    // place.
    CPanelSetupDlg(const CTargetSetupData& setup, const CPanelDisplayData& display,
                   const CPanelRPTData& passthrough,
                   std::array<std::uint8_t, block::kEthernetAndByteSize>& ethernet,
                   const std::vector<NetworkNode>& nodes, std::int16_t value, std::string& password,
                   bool colourGraphicsUsed, QWidget* parent = nullptr);
    ~CPanelSetupDlg() override;

    void SetPanelFolder(std::string folder) { m_panelFolder = std::move(folder); }
    void SetForthOffered(bool offered) { m_forthOffered = offered; }
    void SetProjectSize(std::uint32_t bytes) { m_projectSize = bytes; }

    // Opens the current model and fills the pages; exec() does it first.
    void InitSheet();
    int exec() override;
    void accept() override;

    // The edited chunks.
    CTargetSetupData& Setup() { return m_setup; }
    CPanelDisplayData& Display() { return m_display; }
    CPanelRPTData& Passthrough() { return m_passthrough; }
    std::array<std::uint8_t, block::kEthernetAndByteSize>& Ethernet() { return m_ethernet; }
    std::string& Password() { return m_password; }
    const std::vector<NetworkNode>& Nodes() const { return m_nodes; }
    bool ColourGraphicsUsed() const { return m_colourGraphicsUsed; }
    // The value the project editor hands to the sheet (carried, not shown).
    std::int16_t Value() const { return m_value; }
    bool ForthOffered() const { return m_forthOffered; }

    // The model list, the open model file, its firmware version.
    CPanelMap& Map();
    const CPanelFile* Model() const { return m_model.get(); }
    int Version() const { return m_version; }
    const std::string& ModelName() const { return m_modelName; }
    std::string GenericModelName();

    // Changes of model, generic display type and firmware version, with the questions that
    // guard them; false when refused or cancelled (the previous state stays).
    bool ChangeModel(const std::string& name, bool ask = true);
    bool ChangeGenericDisplay(int displayCode);
    bool ChangeVersion(int version, bool ask = true);

    // The memory budget for the selected panel memory choice and the backup memory.
    void SetPanelMemoryIndex(int index);
    int PanelMemoryIndex() const { return m_panelMemoryIndex; }
    void SetBackupMemory(long long bytes);
    MemoryBudget Budget() const;

    // Every page shows the chunks anew.
    void Refresh();
    // The help command (the Help button, F1).
    void ShowHelp();
    // The help page's topic of the page shown: an anchor of the help page.
    std::string HelpTopic() const;

    QTabWidget* Tabs() const { return m_tabs; }
    std::vector<CPanelSetupPpg*> Pages() const { return m_pages; }
    CPanelSetupPpg* Page(int resource) const;
    bool NetworkPageShown() const;

    // The help command's handler (set by the program that runs the sheet).
    std::function<void()> onHelp;

  private:
    bool OpenModel(const std::string& name, int displayCode, bool useReceivedCode,
                   std::unique_ptr<CPanelFile>& opened);
    bool ApplyModel(std::unique_ptr<CPanelFile> model, const std::string& name, bool ask);

    CTargetSetupData m_setup, m_setupReceived;
    CPanelDisplayData m_display, m_displayReceived;
    CPanelRPTData m_passthrough, m_passthroughReceived;
    std::array<std::uint8_t, block::kEthernetAndByteSize>& m_ethernet;
    std::vector<NetworkNode> m_nodes;
    std::int16_t m_value;
    std::string& m_password;
    bool m_colourGraphicsUsed;
    bool m_forthOffered = false;
    std::uint32_t m_projectSize = 0;
    std::string m_panelFolder;
    std::unique_ptr<CPanelMap> m_map;
    std::unique_ptr<CPanelFile> m_model;
    int m_version = 0;
    std::string m_modelName;
    int m_panelMemoryIndex = -1;
    long long m_backupMemory = 0;
    bool m_initialised = false;

    QTabWidget* m_tabs;
    QDialogButtonBox* m_buttons;
    std::vector<CPanelSetupPpg*> m_pages;
};

}  // namespace kestra::panel
