// Running the window core's dialogs on the Qt host in tests, offscreen.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRect>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/module.h"
#include "windows/dialog.h"
#include "windows/input.h"
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

// The dialog's widget and every control's widget enabled as the dialog's template says
// (WS_DISABLED), for a dialog whose procedure leaves that as it is.
inline void ExpectEnabledAsTemplate(platform::qt::QtHost& host, HWND dialog,
                                    const DialogTemplate* t) {
    ASSERT_NE(t, nullptr);
    QWidget* own = host.widgetOf(dialog);
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->isEnabled()) << t->title;
    HWND control = GetWindow(dialog, GW_CHILD);  // in template order
    for (std::size_t i = 0; i < t->itemCount; ++i, control = GetWindow(control, GW_HWNDNEXT)) {
        const DialogItemTemplate& item = t->items[i];
        QWidget* w = host.widgetOf(control);
        ASSERT_NE(w, nullptr) << item.id;
        EXPECT_EQ(w->isEnabled(), !(item.style & WS_DISABLED))
            << t->title << " control " << item.id;
    }
}

// Clicks a button that ends its dialog. A button that cannot be clicked fails the test, and
// the dialog is ended all the same so that the run does not wait for ever.
inline void ClickToEnd(platform::qt::QtHost& host, HWND dialog, int id) {
    QWidget* w = host.widgetOf(GetDlgItem(dialog, id));
    if (w && w->isEnabled() && w->isVisible()) {
        QTest::mouseClick(w, Qt::LeftButton);
        return;
    }
    ADD_FAILURE() << "button " << id << " cannot be clicked";
    EndDialog(dialog, IDCANCEL);
}

// Clicks, types and picks in the window core's dialogs on the Qt host, as a user would.
class QtDialogUser {
  public:
    explicit QtDialogUser(platform::qt::QtHost& host) : host_(host) {}

    QWidget* widget(HWND dialog, int id) const { return host_.widgetOf(GetDlgItem(dialog, id)); }
    void click(HWND dialog, int id) const {
        QWidget* w = widget(dialog, id);
        ASSERT_NE(w, nullptr) << id;
        QTest::mouseClick(w, Qt::LeftButton);
    }
    // Types into an edit box, then leaves it as Tab does.
    void type(HWND dialog, int id, const char* text) const {
        auto* edit = dynamic_cast<QLineEdit*>(widget(dialog, id));
        ASSERT_NE(edit, nullptr) << id;
        platform::FocusByUser(GetDlgItem(dialog, id));
        SendDlgItemMessage(dialog, id, EM_SETSEL, 0,
                           -1);  // select all, as a double click would
        QTest::keyClicks(edit, text);
        platform::FocusByUser(GetNextDlgTabItem(dialog, GetDlgItem(dialog, id), FALSE));
    }
    std::string text(HWND dialog, int id) const {
        if (auto* edit = dynamic_cast<QLineEdit*>(widget(dialog, id)))
            return edit->text().toStdString();
        auto* combo = dynamic_cast<QComboBox*>(widget(dialog, id));
        return combo ? combo->currentText().toStdString() : "<none>";
    }
    // Picks a combo box item by keyboard: Down or Up as often as needed.
    void pick(HWND dialog, int id, const QString& item) const {
        auto* combo = dynamic_cast<QComboBox*>(widget(dialog, id));
        ASSERT_NE(combo, nullptr) << id;
        const int target = combo->findText(item);
        ASSERT_GE(target, 0) << item.toStdString();
        platform::FocusByUser(GetDlgItem(dialog, id));
        for (int n = 0; n < 300 && combo->currentIndex() != target; ++n)
            QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        EXPECT_EQ(combo->currentIndex(), target);
    }
    void spin(HWND dialog, int id, bool up) const {
        QWidget* s = widget(dialog, id);
        ASSERT_NE(s, nullptr);
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(s->width() / 2, up ? 2 : s->height() - 3));
    }

  private:
    platform::qt::QtHost& host_;
};

// Runs `open` (which shows a modal window core dialog and returns its result) and, once the
// dialog is open, `steps` on the top-level window that holds the focus.
template <typename Result>
Result DriveDialog(const std::function<Result()>& open, const std::function<void(HWND)>& steps) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        steps(GetAncestor(GetFocus(), GA_ROOT));
    });
    const Result result = open();
    EXPECT_TRUE(ran);
    return result;
}

}  // namespace kestra::testing
