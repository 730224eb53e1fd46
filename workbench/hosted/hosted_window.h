// What the hosted dialogs share about windows: the window core's Qt host, the core window that
// stands for the workbench's window as the owner of the libraries' dialogs, and telling the
// user of failures.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "windows/qt/qt_host.h"
#include "windows/window.h"

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace kestra::workbench {

// The window core's Qt host, through which the libraries' dialogs show; a host::Failure when
// the program shows the core's windows some other way.
platform::qt::QtHost& WindowCoreHost();

// The core window that stands for `parent`'s window: the libraries' dialogs and message boxes
// given it as their owner show above the workbench's window and block it while they run.
HWND OwnerFor(QWidget* parent);

// The window over which a dialog of the workbench's own opens when a callback of the window
// core's dialog `dialog` runs it.
QWidget* CoreDialogParent(HWND dialog);
// Held while a callback of the window core's dialog `dialog` runs an editor of the
// workbench's own: the library shrinks its dialog out of the way meanwhile, and a window of one
// pixel is not painted (nor is a dialog in that state any use to look at) until the library
// has put it back.
class CoreDialogAside {
  public:
    explicit CoreDialogAside(HWND dialog);
    ~CoreDialogAside();
    CoreDialogAside(const CoreDialogAside&) = delete;
    CoreDialogAside& operator=(const CoreDialogAside&) = delete;

  private:
    QWidget* widget_;
};

// Centres `dialog` over its parent's window or, while that window is shrunk out of the way (a
// driver shrinks its dialog while its callback runs), over the window the parent stands above.
void CentreOverParent(QDialog& dialog);

// Centres a dialog of the libraries on the window that owns it (the workbench's); as the
// editor's callback of a dialog that asks one as it opens, it lets the dialog open (TRUE).
BOOL CentreOnOwner(HWND dialog);

// The layout of the workbench's list dialogs: the label above its list, a column of buttons
// (made from `texts`, in order, and returned so) beside the list, OK and Cancel below, which
// accept and reject the dialog.
std::vector<QPushButton*> LayOutListDialog(QDialog& dialog, QLabel* label, QWidget* list,
                                           std::initializer_list<const char*> texts);

// A message box over `parent` with the caption and the text, shown as the libraries show
// theirs (so that the program and its tests see them alike); `type` as MessageBox's.
int Tell(QWidget* parent, const std::string& caption, const std::string& text, unsigned type);

// Runs `work` over `parent`; a host::Failure is told under `caption` and gives false.
bool TellingFailures(QWidget* parent, const std::string& caption,
                     const std::function<bool()>& work);

}  // namespace kestra::workbench
