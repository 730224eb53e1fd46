// What the hosted dialogs share about windows: the window core's Qt host, keeping the
// libraries' dialogs over the workbench's window, and telling the user of failures.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "windows/qt/qt_host.h"

namespace kestra::workbench {

// The window core's Qt host, through which the libraries' dialogs show; a host::Failure when
// the program shows the core's windows some other way.
platform::qt::QtHost& WindowCoreHost();

// While it lives, every window that opens on its own (the libraries' dialogs and message
// boxes, which know no owner in the workbench) is made a window of `parent`'s: the window
// manager keeps it above the workbench's window.
class OverParent : public QObject {
  public:
    explicit OverParent(QWidget* parent);
    ~OverParent() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
};

// A message box over `parent` with the caption and the text, shown as the libraries show
// theirs (so that the program and its tests see them alike); `type` as MessageBox's.
int Tell(QWidget* parent, const std::string& caption, const std::string& text, unsigned type);

// Runs `work` over `parent`; a host::Failure is told under `caption` and gives false.
bool TellingFailures(QWidget* parent, const std::string& caption,
                     const std::function<bool()>& work);

}  // namespace kestra::workbench
