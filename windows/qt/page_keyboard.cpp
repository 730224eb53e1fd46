#include "windows/qt/page_keyboard.h"

#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>
#include <string>
#include <vector>

#include "windows/dialog.h"
#include "windows/input.h"
#include "windows/qt/qt_host.h"
#include "windows/window_host.h"

namespace kestra::platform::qt {
namespace {

// The widget showing a window of the core, when the Qt host shows it.
QWidget* WidgetOf(HWND window) {
    auto* host = dynamic_cast<QtHost*>(&CurrentWindowHost());
    return host ? host->widgetOf(window) : nullptr;
}

// Gives a control the core's focus as the dialog manager does on Tab (an edit box's text is
// selected), and its widget Qt's.
void FocusControl(HWND control, Qt::FocusReason reason) {
    SetFocus(control);
    if (SendMessage(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessage(control, EM_SETSEL, 0, -1);
    if (QWidget* widget = WidgetOf(control); widget && !widget->hasFocus())
        widget->setFocus(reason);
}

// The child of `page` that `window` is or lies in; null when it is not in the page.
HWND ChildOfPage(HWND page, HWND window) {
    while (window && GetParent(window) != page) window = GetParent(window);
    return window;
}

// A child's place among its siblings.
int PlaceOf(HWND child) {
    int place = 0;
    for (HWND w = GetWindow(child, GW_HWNDFIRST); w && w != child; w = GetWindow(w, GW_HWNDNEXT))
        ++place;
    return place;
}

bool SameClass(HWND window, const char* name) {
    char buffer[32] = "";
    GetClassName(window, buffer, sizeof buffer);
    return QString::fromLatin1(buffer).compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The page's controls that can carry a mnemonic (labels and buttons), in nested dialogs too.
void CollectMarking(HWND parent, std::vector<HWND>& controls) {
    for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (GetWindow(w, GW_CHILD)) CollectMarking(w, controls);
        const auto style = static_cast<DWORD>(GetWindowLongPtr(w, GWL_STYLE));
        if (!(style & WS_VISIBLE) || !IsWindowEnabled(w)) continue;
        if (SameClass(w, "button") || (SameClass(w, "static") && !(style & SS_NOPREFIX)))
            controls.push_back(w);
    }
}

std::string TextOf(HWND window) {
    std::string text(static_cast<std::size_t>(GetWindowTextLength(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowText(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Alt (with Shift or not) and a letter or digit: the letter's virtual key; 0 otherwise.
UINT AltLetter(const QKeyEvent& key) {
    const Qt::KeyboardModifiers others =
        key.modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (others != Qt::AltModifier) return 0;
    const int k = key.key();
    if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9))
        return static_cast<UINT>(k);
    return 0;
}

bool PlainKey(const QKeyEvent& key) {
    return (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

PageKeyboard::PageKeyboard(QWidget* frame, HWND page) : QObject(frame), frame_(frame), page_(page) {
    frame_->setFocusPolicy(Qt::StrongFocus);
    // Before the widgets' own filters: the keys are looked at wherever the focus is.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &PageKeyboard::focusMoved);
}

PageKeyboard::~PageKeyboard() {
    qApp->removeEventFilter(this);
}

bool PageKeyboard::inFrame(const QWidget* widget) const {
    return widget && (widget == frame_ || frame_->isAncestorOf(widget));
}

bool PageKeyboard::inPage(HWND window) const {
    return window && IsWindow(page_) && (window == page_ || IsChild(page_, window));
}

HWND PageKeyboard::pageFocus() const {
    HWND focus = GetFocus();
    return focus != page_ && inPage(focus) ? focus : nullptr;
}

void PageKeyboard::focusPage(bool last) {
    showFocusMarks();
    HWND stop = IsWindow(page_) ? GetNextDlgTabItem(page_, nullptr, last ? TRUE : FALSE) : nullptr;
    if (stop)
        FocusControl(stop, last ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    else if (!frame_->hasFocus())
        frame_->setFocus(Qt::OtherFocusReason);
}

bool PageKeyboard::tab(bool backward) {
    HWND focus = pageFocus();
    if (!focus) return false;
    if (SendMessage(focus, WM_GETDLGCODE, VK_TAB, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS))
        return false;
    // Within the page the core's dialog manager moves the focus; where it would wrap round to
    // the page's other end, the focus leaves the page instead.
    HWND from = ChildOfPage(page_, focus);
    HWND next = GetNextDlgTabItem(page_, from, backward ? TRUE : FALSE);
    const bool wraps = !next || next == from ||
                       (backward ? PlaceOf(next) > PlaceOf(from) : PlaceOf(next) < PlaceOf(from));
    if (!wraps) return false;
    leavePage(backward);
    return true;
}

void PageKeyboard::leavePage(bool backward) {
    QWidget* target = neighbour(backward);
    if (!target) {  // the page is the dialog's only stop: round it goes
        focusPage(backward);
        return;
    }
    SetFocus(nullptr);  // the control reads what was typed into it
    target->setFocus(backward ? Qt::BacktabFocusReason : Qt::TabFocusReason);
}

QWidget* PageKeyboard::neighbour(bool backward) const {
    QWidget* window = frame_->window();
    for (QWidget* w = frame_;;) {
        w = backward ? w->previousInFocusChain() : w->nextInFocusChain();
        if (!w || w == frame_) return nullptr;  // the chain is a ring
        if (inFrame(w) || w->window() != window) continue;
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() &&
            w->isEnabled() && w->isVisibleTo(window))
            return w;
    }
}

UINT PageKeyboard::pageMnemonic(const QKeyEvent& key) const {
    const UINT letter = AltLetter(key);
    if (!letter || !IsWindow(page_)) return 0;
    const QKeySequence wanted(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(letter)));
    std::vector<HWND> controls;
    CollectMarking(page_, controls);
    for (HWND control : controls)
        if (QKeySequence::mnemonic(QString::fromStdString(TextOf(control))) == wanted)
            return letter;
    return 0;
}

void PageKeyboard::pressMnemonic(UINT key) {
    HWND from = pageFocus();
    HoldKey(VK_MENU, true);
    PressKey(from ? from : page_, key);
    HoldKey(VK_MENU, false);
}

void PageKeyboard::showFocusMarks() {
    frame_->window()->setAttribute(Qt::WA_KeyboardFocusChange);
}

bool PageKeyboard::forwardToDialog(QKeyEvent& key) {
    auto* dialog = qobject_cast<QDialog*>(frame_->window());
    if (!dialog) return false;
    if (HWND focus = pageFocus()) {
        const UINT vk = key.key() == Qt::Key_Escape ? VK_ESCAPE : VK_RETURN;
        constexpr LRESULT kTakesIt = DLGC_WANTALLKEYS | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON;
        if (SendMessage(focus, WM_GETDLGCODE, vk, 0) & kTakesIt) return false;
    }
    QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.text());
    QCoreApplication::sendEvent(dialog, &copy);
    return true;
}

void PageKeyboard::focusMoved(QWidget* from, QWidget* to) {
    if (!inFrame(from) || !to || inFrame(to) || to->window() != frame_->window()) return;
    if (pageFocus()) SetFocus(nullptr);
}

void PageKeyboard::frameFocused(Qt::FocusReason reason) {
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
        focusPage(reason == Qt::BacktabFocusReason);
    } else if (HWND focus = pageFocus()) {  // back to where the focus was in the page
        if (QWidget* widget = WidgetOf(focus)) widget->setFocus(reason);
    } else {
        focusPage(false);
    }
}

bool PageKeyboard::keyEvent(QWidget* widget, QKeyEvent& key) {
    if (widget->window() != frame_->window() || !IsWindow(page_)) return false;
    const bool shortcut = key.type() == QEvent::ShortcutOverride;
    const bool inside = widget != frame_ && inFrame(widget);
    if (const UINT mnemonic = pageMnemonic(key)) {
        if (inside) {  // the core's dialog manager finds it
            showFocusMarks();
            return false;
        }
        if (shortcut) {
            key.accept();  // the page's letter: no shortcut of the dialog's takes it
            return true;
        }
        showFocusMarks();
        pressMnemonic(mnemonic);
        return true;
    }
    if (!inside) return false;
    // A letter the page does not mark stays unclaimed, for the dialog's own mnemonics.
    if (shortcut) return AltLetter(key) != 0;
    showFocusMarks();  // the core moves the focus by key: show where it went
    switch (key.key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            const Qt::KeyboardModifiers held = key.modifiers() & ~Qt::KeypadModifier;
            if (held & ~Qt::ShiftModifier) return false;  // Ctrl+Tab and the like
            return tab(key.key() == Qt::Key_Backtab || held == Qt::ShiftModifier);
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return PlainKey(key) && forwardToDialog(key);
        default:
            return false;
    }
}

bool PageKeyboard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn:
            if (watched == frame_) frameFocused(static_cast<QFocusEvent*>(event)->reason());
            return false;
        case QEvent::WindowActivate:
            // A dialog opened on the page shows where its focus is, as the core's dialogs do.
            if (watched == frame_->window() && pageFocus()) {
                showFocusMarks();
                if (QWidget* widget = WidgetOf(pageFocus())) widget->update();
            }
            return false;
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
            if (auto* widget = qobject_cast<QWidget*>(watched))
                return keyEvent(widget, *static_cast<QKeyEvent*>(event));
            return false;
        default:
            return false;
    }
}

}  // namespace kestra::platform::qt
