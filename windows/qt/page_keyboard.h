// The keyboard across the border between a Qt dialog and a page of the window core embedded in
// it: a child dialog of the core (a driver's property page, say) whose parent is the core window
// standing for one of the dialog's widgets, the frame (QtHost::windowFor), so that the page's
// controls are the frame's child widgets. On its own the core's dialog manager moves the focus
// only among the page's controls, Qt's tab chain passes over them (they take the focus by click
// only), and the page's mnemonics work only while the focus is inside it. PageKeyboard joins the
// two, for any Qt dialog that embeds a page:
//
// - the frame is a stop of the dialog's tab chain: Tab into it focuses the page's first tab
//   stop, Shift+Tab its last; within the page the core moves the focus, in the page's order;
// - Tab on the page's last stop, or Shift+Tab on its first, goes on to the next or previous
//   widget of the dialog's tab chain;
// - when the focus leaves the page for a widget of the dialog (by key or click), the page's
//   control loses the core's focus too, so that an edit box reads what was typed into it as it
//   does when the focus moves on inside the page;
// - Alt with a letter or digit that a label or button of the page marks works wherever the focus
//   is in the dialog; letters the page does not mark are left to the dialog's own mnemonics;
// - Enter and Escape on a page control that does not take them itself act on the dialog (its
//   default button, its Cancel), as they do from the dialog's own widgets.
#pragma once

#include <QObject>

#include "windows/window.h"

class QKeyEvent;
class QWidget;

namespace kestra::platform::qt {

class PageKeyboard : public QObject {
  public:
    // `frame` holds `page`; the object belongs to the frame and goes with it. The frame takes
    // the focus by Tab and by click from now on.
    PageKeyboard(QWidget* frame, HWND page);
    ~PageKeyboard() override;
    PageKeyboard(const PageKeyboard&) = delete;
    PageKeyboard& operator=(const PageKeyboard&) = delete;

    // Puts the focus on the page's first tab stop (its last with `last`); when the page has none
    // that can take it, on the frame.
    void focusPage(bool last = false);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The frame took the focus (by Tab, Shift+Tab or otherwise).
    void frameFocused(Qt::FocusReason reason);
    // A key for `widget` of the dialog; true when this took it.
    bool keyEvent(QWidget* widget, QKeyEvent& key);
    bool inFrame(const QWidget* widget) const;
    bool inPage(HWND window) const;
    // The page's control that holds the core's focus, or null.
    HWND pageFocus() const;
    // Tab on a control of the page: true when the focus left the page.
    bool tab(bool backward);
    void leavePage(bool backward);
    // The widget of the dialog's tab chain after (before) the frame, outside it; null when the
    // frame is the chain's only stop.
    QWidget* neighbour(bool backward) const;
    // The key a page's control marks as its mnemonic for Alt with this key; 0 when none does.
    UINT pageMnemonic(const QKeyEvent& key) const;
    void pressMnemonic(UINT key);
    // Qt draws focus frames only once the keyboard has moved the focus in a window.
    void showFocusMarks();
    bool forwardToDialog(QKeyEvent& key);
    void focusMoved(QWidget* from, QWidget* to);

    QWidget* frame_;
    HWND page_;
};

}  // namespace kestra::platform::qt
