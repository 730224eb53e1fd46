// The Qt window host: shows the window core's windows as Qt widgets.
//
// Standard controls become Qt widgets ("button" a QPushButton, QCheckBox, QRadioButton or
// QGroupBox by its style, "edit" a QLineEdit, "static" a QLabel or QFrame, "listbox" a
// QListWidget, "combobox" a QComboBox, "scrollbar" a QScrollBar, dialogs a QDialog); they show
// the core's state and hand what the user does back to the core as messages, so that
// subclass procedures see it. Windows of the suite's own classes are plain widgets whose
// paint, mouse, key, focus and timer events go to the class procedure, painting through a
// QPainter. Timers are QTimers, message boxes QMessageBoxes, the clipboard Qt's.
//
// Top-level windows (dialogs, message boxes) are top-level widgets kept above their owner's
// window, never Qt children of the owner's widget: a Qt child takes on its parent's disabled
// state, and the core disables an owner while a dialog it owns runs, so a dialog opened from
// inside another would otherwise show every control disabled.
#pragma once

#include <memory>

#include "windows/window_host.h"

class QWidget;

namespace kestra::platform::qt {

// Installs a Qt host for the rest of the process when there is a display (DISPLAY,
// WAYLAND_DISPLAY or QT_QPA_PLATFORM set) and KESTRA_WINDOW_HOST is not "headless", making the
// QApplication when there is none (argc and argv must outlive it). Returns whether it did;
// otherwise the headless host stays.
bool StartHost(int& argc, char** argv);

// The core window standing for `widget`, a Qt widget of the program's own (a main window, say),
// so that the core's dialogs and message boxes can take it as their owner (see
// QtHost::windowFor); null when the current window host is not a Qt host.
HWND WindowForWidget(QWidget* widget);

class QtHost : public WindowHost {
  public:
    // Needs a QApplication. Installs itself as the current host, with its message boxes and
    // the clipboard mirror; the destructor takes all three back.
    QtHost();
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // The widget showing a window, or nullptr.
    QWidget* widgetOf(HWND window) const;
    // A window of the core that stands for `widget`, a Qt widget that is not a window of the
    // core, so that the core's dialogs and message boxes can be given it as their owner: they
    // show above its window and block it while they run, and their places count from it. The
    // window follows the widget's place and size and goes when the widget goes; the core never
    // changes the widget itself (disabling the owner, for one, is left to modality). The same
    // widget gives the same window; null for a null widget.
    HWND windowFor(QWidget* widget);

    void created(HWND window) override;
    void destroyed(HWND window) override;
    void changed(HWND window, Aspect aspect) override;
    void invalidated(HWND window) override;
    void focusChanged(HWND window) override;
    void posted() override;
    void timerSet(HWND window, UINT_PTR id, UINT elapse) override;
    void timerKilled(HWND window, UINT_PTR id) override;
    void runModal(HWND dialog) override;
    void dialogEnded(HWND dialog) override;
    void clipboardChanged(const std::optional<std::string>& text) override;
    Surface& measuringSurface() override;
    std::unique_ptr<Surface> bitmapSurface(HBITMAP bitmap) override;
    SIZE dialogBaseUnits(const char* fontName, int pointSize) override;
    int systemMetric(int index) override;

  private:
    class ProgramWidgetFilter;
    struct State;
    void followWidget(QWidget* widget);
    bool isProgramWidget(HWND window) const;
    std::unique_ptr<State> state_;
};

}  // namespace kestra::platform::qt
