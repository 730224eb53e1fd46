// The card dialogs: the choice of the card slot (subtype) of a keyboard to download, the list
// of the card's files with deletion, and the card reader's parameters.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "keyboard_editor/down_mgr.h"
#include "keyboard_editor/ssfdc_file_table.h"
#include "keyboard_editor/user_folders.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace clavon {

inline constexpr const char* kCanNotReadProps = "Can not read SSFDC properties!";
inline constexpr const char* kNoSSFDC = "No SSFDC!";
inline constexpr const char* kNoSSFDCInformation =
    "No SSFDC information!\nCheck if SSFDC card is inserted";
inline constexpr const char* kErrorAssigningSubtype = "Error assigning subtype code";
inline constexpr const char* kFormatQuestion =
    "The SSFDC card is not formatted.\n\nFormat it now? Formatting erases everything the card "
    "holds.";

class CSubtypeDlg : public QDialog {
    Q_OBJECT
  public:
    CSubtypeDlg(const CSSFDCFileTable& table, const std::vector<std::string>& fields,
                QWidget* parent = nullptr);
    // The subtype chosen on OK: a free one for a new file, the selected keyboard's otherwise;
    // -1 when there is none.
    int Subtype() const;

    QCheckBox* newFile;
    QListWidget* existing;
    QListWidget* fieldList;

  private:
    void ShowFields();
    std::vector<const CSSFDCFileEntry*> m_keyboards;
    const CSSFDCFileTable& m_table;
};

class CSSFDCFilesDlg : public QDialog {
    Q_OBJECT
  public:
    CSSFDCFilesDlg(CDownMgr& manager, QWidget* parent = nullptr);
    // Fetches the card's file table and shows it; false when it could not be fetched (the
    // manager has shown why) or is invalid ("No SSFDC information!").
    bool Refresh();
    // Deletes the selected file from the card once the user has agreed.
    void DeleteSelected();

    QTreeWidget* tree;
    QPushButton* deleteButton;
    QPushButton* closeButton;

  protected:
    void done(int result) override;

  private:
    CDownMgr& m_manager;
    std::optional<CSSFDCFileTable> m_table;
};

// The card reader's parameters: the base address of the reader's port. The dialog is wide
// enough to show its whole title.
class CCommParamsDlg : public QDialog {
  public:
    CCommParamsDlg(unsigned port, QWidget* parent = nullptr);
    unsigned Port() const;

  private:
    QSpinBox* m_port;
};

}  // namespace clavon
