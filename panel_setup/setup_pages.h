// The six pages of the "Panel Setup" sheet and the Ethernet board dialog. Controls are public
// members so that the program's tests can drive them.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QTreeWidget>
#include <array>
#include <memory>

#include "extension_classes/spin_button.h"
#include "extension_classes/value_managers.h"
#include "panel_setup/panel_setup_dlg.h"

namespace kestra::panel {

// Shows a choice list, a fixed value or nothing in a drop-down list under the model-driven
// rule; current is the value to select (none: the list's default).
void ApplyRuleToCombo(QComboBox* combo, const ControlRule& rule, std::optional<int> current);
// Fills a drop-down list with fixed "text;value" entries and selects a value (else fallback).
void FillFixedCombo(QComboBox* combo, std::span<const char* const> entries, int value,
                    int fallbackIndex);
// The item data of the selected entry of a drop-down list, or nothing.
std::optional<int> SelectedValue(const QComboBox* combo);

class CPanelModelPpg : public CPanelSetupPpg {
  public:
    explicit CPanelModelPpg(CPanelSetupDlg& sheet);
    void Fill() override;
    void Store() override;

    QListWidget* models;
    QComboBox* versions;
    QComboBox* panelMemory;
    QLabel* descriptionLabel;
    QTextEdit* description;
    QLabel* picture;
    QLabel* displayTypeLabel;
    QComboBox* displayTypes;

  private:
    void OnModelChosen();
    void OnVersionChosen();
    void OnDisplayTypeChosen();
    bool m_filling = false;
};

class CPanelDisplayPpg : public CPanelSetupPpg {
  public:
    explicit CPanelDisplayPpg(CPanelSetupDlg& sheet);
    void Fill() override;
    void Store() override;
    void ShowFreeMemory();

    QComboBox* colours;
    QLabel* projectMemory;
    QComboBox* memoryType;
    QComboBox* availableAlarms;
    QComboBox* recipeSize;
    QComboBox* eventListSize;
    QComboBox* timeFormat;
    QComboBox* dateFormat;
    QListWidget* settings;

    // The list item of a setting number, or null.
    QListWidgetItem* ItemFor(int number) const;

  private:
    void OnItemChanged(QListWidgetItem* item);
    void ReportBackupMemory();
    int m_initialColours = 0;
    int m_initialMemoryType = -1;
    bool m_filling = false;
};

class CPanelEthernetDlg : public QDialog {
  public:
    CPanelEthernetDlg(std::array<std::uint8_t, block::kEthernetAndByteSize>& ethernet,
                      QWidget* parent);
    void accept() override;

    std::array<QLineEdit*, 3> addresses;
    QCheckBox* moreAddresses;

  private:
    std::array<std::uint8_t, block::kEthernetAndByteSize>& m_ethernet;
};

class CPanelExtDevicesPpg : public CPanelSetupPpg {
  public:
    explicit CPanelExtDevicesPpg(CPanelSetupDlg& sheet);
    void Fill() override;
    void Store() override;

    QComboBox* keyboard;
    QComboBox* tcmModule;
    QComboBox* remoteIo;
    QCheckBox* tcpIp;
    QPushButton* ethernetBoard;
    QLabel* ipAddress;
    QLabel* networkAddress;

  private:
    void ShowAddress();
    void EnableEthernetBoard();
    bool m_tcpIpAllowed = true;
};

class CPanelRPTPpg : public CPanelSetupPpg {
  public:
    explicit CPanelRPTPpg(CPanelSetupDlg& sheet);
    void Fill() override;
    void Store() override;

    QComboBox* baudRate;
    QComboBox* parity;
    QComboBox* dataBits;
    QComboBox* stopBits;
    QRadioButton* hardware;
    QRadioButton* remoteHardware;
    // Start, Stop and Cfg Mode rows: request and response.
    std::array<QLineEdit*, 3> requests;
    std::array<QLineEdit*, 3> responses;
};

class CPanelMiscPpg : public CPanelSetupPpg {
  public:
    explicit CPanelMiscPpg(CPanelSetupDlg& sheet);
    void Fill() override;
    void Store() override;

    ~CPanelMiscPpg() override;

    QCheckBox* errorPage;
    QSpinBox* errorPageNumber;
    // Command, field selection and data entry timeouts: a check box, and a text box with a
    // spin button driven by a timer value manager.
    std::array<QCheckBox*, 3> timeouts;
    std::array<QLineEdit*, 3> timeoutEdits;
    std::array<KXCSpinButton*, 3> timeoutSpins;
    std::array<std::unique_ptr<KXCTimerMgr>, 3> timeoutManagers;
    QCheckBox* screenSaver;
    QLineEdit* screenSaverEdit;
    KXCSpinButton* screenSaverSpin;
    std::unique_ptr<KXCTimerMgr> screenSaverManager;
    QLineEdit* password;

  private:
    QString m_shownPassword;
};

class CPanelNetworkPpg : public CPanelSetupPpg {
  public:
    explicit CPanelNetworkPpg(CPanelSetupDlg& sheet);
    void Fill() override;
    void Store() override;

    QCheckBox* enable;
    QTreeWidget* nodes;
    QCheckBox* clockSync;
};

// "^M" in a field stands for a carriage return in the stored command text.
QString CommandToField(const std::string& text);
std::string FieldToCommand(const QString& field);

}  // namespace kestra::panel
