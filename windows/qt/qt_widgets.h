// The widgets of the Qt host, one kind per standard control and one for the suite's own
// window classes.
#pragma once

#include <QFont>
#include <QWidget>

#include "windows/window_host.h"

namespace kestra::platform::qt {

// What every widget of the host knows about its window. `hwnd` becomes null when the window
// goes away before the widget does.
struct HostedWindow {
    HWND hwnd = nullptr;
    bool syncing = false;  // the host is writing the core's state into the widget
};

HostedWindow* HostedOf(QObject* object);

// Makes the widget for a new window (parent: the parent window's widget, or the owner's).
QWidget* CreateWidget(HWND window, QWidget* parent);
// Writes one aspect of the core's state into the widget.
void SyncWidget(HWND window, QWidget* widget, Aspect aspect);
// Gives an edit, list box or static the colours its parent answers WM_CTLCOLOR... with.
void ApplyControlColours(HWND window, QWidget* widget);
// The font of dialogs with that point size (0: the host's size).
QFont DialogFontOf(int pointSize);

}  // namespace kestra::platform::qt
