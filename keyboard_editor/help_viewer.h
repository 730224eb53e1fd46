// The Help menu's windows: the keyboard editor's guide (its README, built into the program) in
// a viewer of its own, and the About box.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace clavon {

// The guide as Markdown.
QString HelpText();

class CHelpViewer : public QDialog {
    Q_OBJECT
  public:
    explicit CHelpViewer(QWidget* parent = nullptr);
    QTextBrowser* Browser() const { return m_browser; }

  private:
    QTextBrowser* m_browser;
};

// The About box's text: the program, its version and what it is for.
QString AboutText();

}  // namespace clavon
