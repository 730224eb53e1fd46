// The workbench's manual, shipped with the program, in a window of its own.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace kestra::workbench {

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    // Shows the one help window (made on first use), in front.
    static HelpWindow* Show(QWidget* parent);

    QTextBrowser& browser() { return *browser_; }

  private:
    explicit HelpWindow(QWidget* parent);
    QTextBrowser* browser_;
};

}  // namespace kestra::workbench
