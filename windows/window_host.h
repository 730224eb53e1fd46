// Window hosts: who shows the windows of the core (platform/window.h) and runs their loops.
//
// The core keeps all window state and calls the current host when something a user could see
// changes; the host calls back into the core with what the user did (platform/input.h). Two
// hosts exist: the Qt host (kwindows_qt, windows/qt/qt_host.h), which shows real windows,
// and the headless host below, which shows nothing and is driven by tests and scripts.
//
// How a program picks its host: a program that wants real windows links kwindows_qt and
// calls kestra::platform::qt::StartHost(argc, argv) before it creates windows. That installs
// the Qt host when a display is there (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set, and
// KESTRA_WINDOW_HOST not "headless") and otherwise leaves the headless host in place. Without
// any installed host the core uses a built-in headless host whose message boxes go to standard
// error (the default presenter of platform/message_box.h) and whose modal dialogs are cancelled
// at once, since nobody is there to answer them.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "windows/canvas.h"
#include "windows/dialog.h"
#include "windows/window.h"

namespace kestra::platform {

// What about a window changed.
enum class Aspect : std::uint8_t {
    Text,      // window text (caption, control text)
    Geometry,  // position or size
    Visibility,
    Enabled,
    Style,
    State,  // check state, pushed state, selection, scroll position, edit selection
    Items,  // list or combo box items
    Font,
    FocusMarks,  // focus rectangles drawn on the window from outside its painting
};

class WindowHost {
  public:
    virtual ~WindowHost() = default;

    // A window was made (after WM_NCCREATE, before WM_CREATE) or is about to be freed.
    virtual void created(HWND) {}
    virtual void destroyed(HWND) {}
    virtual void changed(HWND, Aspect) {}
    virtual void invalidated(HWND) {}
    virtual void focusChanged(HWND) {}
    // A message was posted and waits for DispatchPostedMessages().
    virtual void posted() {}
    virtual void timerSet(HWND, UINT_PTR /*id*/, UINT /*elapse*/) {}
    virtual void timerKilled(HWND, UINT_PTR /*id*/) {}
    // Runs the loop of a modal dialog until EndDialog has been called for it.
    virtual void runModal(HWND dialog) = 0;
    // EndDialog was called for a dialog whose loop runs.
    virtual void dialogEnded(HWND) {}
    // The clipboard's text changed inside the process (nothing: it was emptied).
    virtual void clipboardChanged(const std::optional<std::string>&) {}

    // Where GetDC drawing on a window goes, apart from focus rectangles (which the core keeps
    // as the window's focus marks); nullptr to measure only.
    virtual Surface* windowSurface(HWND) { return nullptr; }
    // Measures text for device contexts that have no drawing surface of their own.
    virtual Surface& measuringSurface() = 0;
    // A surface drawing into a bitmap's pixels (memory device contexts).
    virtual std::unique_ptr<Surface> bitmapSurface(HBITMAP bitmap) = 0;
    // Base units of a dialog with this font (nullptr name: the host's dialog font).
    virtual SIZE dialogBaseUnits(const char* fontName, int pointSize) = 0;
    virtual int systemMetric(int index);
};

// The host in use; SetWindowHost(nullptr) goes back to the built-in headless host. Returns
// the previous one.
WindowHost& CurrentWindowHost();
WindowHost* SetWindowHost(WindowHost* host);

// Delivers every posted message (to windows still alive) in the order posted, including those
// posted meanwhile; returns the number delivered.
int DispatchPostedMessages();
// The tick count at which the next timer falls due, if any timer runs.
std::optional<std::uint32_t> NextTimerDue();
// Fires once every timer that is due on the current clock; returns how many fired.
int FireDueTimers();
// Sends WM_TIMER (or calls the timer procedure) for one timer, as a host's own timer asks.
void FireTimer(HWND window, UINT_PTR id);

// Paints a window now on `surface`: WM_ERASEBKGND unless asked not to, then WM_PAINT, with
// BeginPaint handing out a device context on the surface. The window's focus marks are drawn
// afterwards.
void PaintWindow(HWND window, Surface& surface);
// Focus rectangles drawn on a window through GetDC, in the window's client coordinates.
const std::vector<RECT>& FocusMarks(HWND window);

// The host without a display: windows live only in the core.
class HeadlessHost : public WindowHost {
  public:
    struct MessageBoxRecord {
        HWND owner;
        std::string text;
        std::string caption;
        UINT type;
        UINT icon() const { return type & MB_ICONMASK; }
    };
    using DialogStep = std::function<void(HWND dialog)>;

    // Installs itself as the current host, a message box presenter that records every box
    // and answers it from the script, and a manual clock; the destructor undoes all three.
    HeadlessHost();
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Message boxes: the next boxes answer these buttons in turn, then their default button.
    void answerMessageBoxes(std::vector<int> answers);
    const std::vector<MessageBoxRecord>& messageBoxes() const { return boxes_; }

    // Modal dialogs: each step runs once, in order, whenever a modal loop has nothing else to
    // do (the dialog handle of the innermost modal dialog is passed). A loop that runs out of
    // steps closes its dialog as the Escape key would, and counts it.
    void script(DialogStep step);
    int unscriptedCloses() const { return unscriptedCloses_; }
    // The dialogs that ran modally, innermost last while they run.
    const std::vector<HWND>& modalDialogs() const { return modal_; }

    // Time: advances the manual clock, firing every timer that falls due on the way.
    void advance(std::uint32_t milliseconds);
    ManualClock& clock() { return clock_; }

    // Paints a window and returns what it drew.
    std::vector<CanvasOp> paint(HWND window);
    // What was drawn on the window through GetDC since the last call, focus marks aside.
    std::vector<CanvasOp> takeDrawnOutsidePaint(HWND window);

    void runModal(HWND dialog) override;
    void destroyed(HWND window) override;
    Surface* windowSurface(HWND window) override;
    Surface& measuringSurface() override { return measuring_; }
    std::unique_ptr<Surface> bitmapSurface(HBITMAP bitmap) override;
    SIZE dialogBaseUnits(const char* fontName, int pointSize) override;

  private:
    int present(HWND owner, std::string_view text, std::string_view caption, UINT type);

    WindowHost* previousHost_;
    MessageBoxPresenter previousPresenter_;
    ManualClock clock_;
    Clock* previousClock_;
    std::deque<int> answers_;
    std::vector<MessageBoxRecord> boxes_;
    std::deque<DialogStep> steps_;
    std::vector<HWND> modal_;
    int unscriptedCloses_ = 0;
    NullSurface measuring_;
    std::map<HWND, RecordingSurface> outside_;
};

}  // namespace kestra::platform
