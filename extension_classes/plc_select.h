// The PLC selection: CPlcListCtl, a report-style list of the installed drivers, and
// CPlcSelectDlg ("Select controller"), in which the user picks the driver of a project and
// whether the panel talks to an external controller, its internal controller, or both.
#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "platform/win_types.h"

class CPlcInfo;
class CPlcInfoList;
class QLabel;
class QPushButton;
class QRadioButton;

class CPlcListCtl : public QTreeWidget {
    Q_OBJECT
  public:
    enum Column { kName = 0, kDriverVersion = 1, kDllName = 2, kDllVersion = 3 };

    explicit CPlcListCtl(QWidget* parent = nullptr);

    // Sets up the columns (titles from string 22301).
    void SetupColumns();
    void HideInternalControllers(bool hide) { m_bHideInternal = hide; }
    void HideClients(bool hide) { m_bHideClients = hide; }
    // Empties the control, adds a row for every entry not hidden, in list order, then sorts by
    // the name column, ascending.
    void UpdateDriverList(CPlcInfoList* list);
    void InsertDriverItem(int index, CPlcInfo* info);
    void DeleteDriverItem(CPlcInfo* info);
    CPlcInfo* GetSelectedDriver() const;
    std::string GetSelectedDriverDll() const;
    void SetSelectedDriver(const CPlcInfo* info);
    void SetSelectedDriver(const std::string& dll);
    void ClearSelections();

    // Sorting as a click on the column's header does it.
    void SortByColumn(int column);
    int GetSortColumn() const { return m_nSortColumn; }
    bool IsSortAscending() const { return m_bAscending; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void applyWidths();
    void sortRows();
    bool hidden(const CPlcInfo& info) const;

    bool m_bHideInternal = false;
    bool m_bHideClients = false;
    int m_nSortColumn = -1;  // none yet
    bool m_bAscending = true;
};

enum IPLCMODE { PLCMODE_EXTERNAL = 0, PLCMODE_INTERNAL = 1, PLCMODE_BOTH = 2 };

class CPlcSelectDlg : public QDialog {
    Q_OBJECT
  public:
    CPlcSelectDlg(CPlcInfoList* list, HINSTANCE currentDriver, int mode, BOOL offerInternal,
                  QWidget* parent = nullptr);
    ~CPlcSelectDlg() override;

    // Before running: the driver to select.
    void SetSelectedDriver(CPlcInfo* info);
    // After running: the library file name of the chosen driver.
    const std::string& GetSelectedDriverDll() const { return m_strSelectedDll; }
    int GetMode() const { return m_nMode; }
    // Runs the dialog modally: QDialog::Accepted or Rejected.
    int DoModal() { return exec(); }

    CPlcListCtl* GetListCtl() const { return m_list; }

    void OnRemove();
    void OnRefresh();
    void OnOK();
    void OnModeChanged(int mode);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildLayout();
    void OnInitDialog();
    void OnSelectionChanged();
    void UpdateControls();
    void showCurrentDriver();
    bool closesWithoutAsking() const;

    CPlcInfoList* m_pList;
    std::unique_ptr<CPlcInfo> m_pCurrent;
    int m_nMode;
    int m_nOpeningMode;
    BOOL m_bOfferInternal;
    bool m_bInitialised = false;
    std::string m_strSelectedDll;
    std::string m_strPreset;

    CPlcListCtl* m_list = nullptr;
    QLabel* m_currentName = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QRadioButton* m_modes[3] = {};
};
