// The results of Build > Check, in a list under the tables: the summary as `kestra check`
// words it, then each error and then each warning with its page and field. Activating a result (Enter,
// a double click) asks the window to show what it names: the field in the page's table, the
// recipe's page, the passwords. After the project changes the list says that it may be out of
// date until the next check.
#pragma once

#include <QWidget>
#include <vector>

#include "kestra/check.h"

class QLabel;
class QTreeWidget;

namespace kestra::workbench {

class CheckResults : public QWidget {
    Q_OBJECT
  public:
    enum Column { kSeverity, kPage, kField, kProblem, kColumns };

    explicit CheckResults(QWidget* parent = nullptr);

    void showReport(const host::CheckReport& report, const QString& name);
    // The project changed since the check.
    void markOutOfDate();
    // Back to no check (the window holds another project).
    void clear();
    // The project's file got another name (Save As): the summary names it so.
    void rename(const QString& name);

    QTreeWidget& list() { return *list_; }
    const QString& summary() const { return summary_; }
    const std::vector<host::CheckFinding>& findings() const { return findings_; }

  Q_SIGNALS:
    void findingActivated(const kestra::host::CheckFinding& finding);

  private:
    QLabel* head_ = nullptr;
    QTreeWidget* list_ = nullptr;
    void showHead();

    host::CheckReport report_;  // the findings in the report's order
    QString summary_;
    bool outOfDate_ = false;
    std::vector<host::CheckFinding> findings_;
};

}  // namespace kestra::workbench
