// Where the Qt host put a dialog's controls, against where its template puts them: for the
// programs that picture dialogs and check them.
#pragma once

#include <QRect>
#include <vector>

#include "windows/dialog.h"
#include "windows/qt/qt_host.h"

namespace kestra::platform::qt {

struct ControlPlace {
    const DialogItemTemplate* item;
    QRect expected;  // the template's place, in the dialog's pixels
    QRect actual;    // the widget's geometry (empty without a widget)
    bool hasWidget;
    bool asTemplate;  // place and size agree (a drop-down list's height is its own)
};

// One entry per template item, in template order, which is the order the controls were made
// in.
std::vector<ControlPlace> CompareTemplatePlaces(QtHost& host, HWND dialog, const DialogTemplate& t);

}  // namespace kestra::platform::qt
