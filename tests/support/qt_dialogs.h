// Running the window core's dialogs on the Qt host in tests, offscreen.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QRect>
#include <QWidget>
#include <cstdlib>

#include "platform/module.h"
#include "windows/dialog.h"
#include "windows/qt/qt_host.h"

namespace kestra::testing {

// The process's one QApplication, made on first use; offscreen unless a platform is set.
inline QApplication& OffscreenApplication() {
    static int argc = 1;
    static char name[] = "kestra_qt_tests";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);  // lives to the end of the process
    return *app;
}

enum class PlaceCheck {
    kWholeRectangle,       // place and size
    kWholeRectangleShown,  // place and size, and the widget is visible
    kPlaceAndWidth,        // place and width (drop-down lists take the height they need)
};

// Every control's widget sits where the dialog template `name` of `module` puts it.
inline void ExpectTemplatePlaces(platform::qt::QtHost& host, HMODULE module, HWND dialog,
                                 const char* name, PlaceCheck check) {
    const DialogTemplate* t = platform::FindDialogTemplate(module, name);
    ASSERT_NE(t, nullptr);
    HWND control = GetWindow(dialog, GW_CHILD);
    for (std::size_t i = 0; i < t->itemCount; ++i, control = GetWindow(control, GW_HWNDNEXT)) {
        const DialogItemTemplate& item = t->items[i];
        RECT r{item.x, item.y, item.x + item.cx, item.y + item.cy};
        MapDialogRect(dialog, &r);
        QWidget* w = host.widgetOf(control);
        ASSERT_NE(w, nullptr);
        const QRect expected(r.left, r.top, r.right - r.left, r.bottom - r.top);
        if (check == PlaceCheck::kPlaceAndWidth) {
            EXPECT_EQ(w->geometry().topLeft(), expected.topLeft()) << name << " " << item.id;
            EXPECT_EQ(w->width(), expected.width()) << name << " " << item.id;
        } else {
            EXPECT_EQ(w->geometry(), expected) << name << " control " << item.id;
        }
        if (check == PlaceCheck::kWholeRectangleShown) EXPECT_TRUE(w->isVisible()) << item.id;
    }
}

}  // namespace kestra::testing
