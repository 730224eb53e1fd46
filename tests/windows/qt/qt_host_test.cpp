#include "windows/qt/qt_host.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/module.h"
#include "support/qt_dialogs.h"
#include "support/temp_folder.h"
#include "utilities/k32fabutil1.h"
#include "windows/dialog.h"
#include "windows/input.h"

namespace kp = kestra::platform;
using kp::qt::QtHost;

using kestra::testing::ExpectEnabledAsTemplate;
using kestra::testing::ExpectTemplatePlaces;
using kestra::testing::OffscreenApplication;
using kestra::testing::PlaceCheck;

namespace {

const char* const kBaudTexts[kBaudCodeCount] = {"150",  "300",  "600",   "1200",  "2400",
                                                "4800", "9600", "19200", "38400", "57600"};
const char* const kParityTexts[kParityCount] = {"None", "Odd", "Even"};

HMODULE utilities() {
    return kp::ModuleOf(reinterpret_cast<const void*>(&StartPCSetupDlg));
}

class QtDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        OffscreenApplication();
        host_ = std::make_unique<QtHost>();
        for (int i = 0; i < kPortCount; ++i) {
            devices_[i] = folder_.write("ttyS" + std::to_string(i), "");
            names_[i] = devices_[i].c_str();
        }
    }
    void TearDown() override {
        host_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QWidget* widget(HWND dialog, int id) { return host_->widgetOf(GetDlgItem(dialog, id)); }
    QAbstractButton* button(HWND dialog, int id) {
        return dynamic_cast<QAbstractButton*>(widget(dialog, id));
    }
    QString label(HWND dialog, int id) {
        auto* l = dynamic_cast<QLabel*>(widget(dialog, id));
        return l ? l->text() : QString("<no label>");
    }
    void click(HWND dialog, int id) {
        QWidget* w = widget(dialog, id);
        ASSERT_NE(w, nullptr) << id;
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void key(int qtKey) {
        QWidget* w = host_->widgetOf(GetFocus());
        ASSERT_NE(w, nullptr);
        QTest::keyClick(w, static_cast<Qt::Key>(qtKey));
    }
    // Runs `steps` on the dialog that `open` shows, once it shows.
    INT_PTR drive(const std::function<INT_PTR()>& open, const std::function<void(HWND)>& steps) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            steps(GetAncestor(GetFocus(), GA_ROOT));
        });
        INT_PTR result = open();
        EXPECT_TRUE(ran);
        return result;
    }
    void expectTemplatePlaces(HWND dialog, const char* name) {
        ExpectTemplatePlaces(*host_, utilities(), dialog, name, PlaceCheck::kWholeRectangleShown);
    }
    void clickToEnd(HWND dialog, int id) { kestra::testing::ClickToEnd(*host_, dialog, id); }
    // Shows a message box owned by `owner` and answers it by its OK button; whether the box and
    // its button could be used.
    bool messageBoxUsable(HWND owner) {
        bool usable = false;
        QTimer::singleShot(0, [&] {
            auto* box = dynamic_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            usable = box->isEnabled() && ok->isEnabled();
            if (usable)
                QTest::mouseClick(ok, Qt::LeftButton);
            else
                box->done(QMessageBox::Ok);
        });
        EXPECT_EQ(MessageBox(owner, "Nested", "Nested", MB_OK), IDOK);
        return usable;
    }

    std::unique_ptr<QtHost> host_;
    kestra::testing::TempFolder folder_;
    std::string devices_[kPortCount];
    const char* names_[kPortCount];
};

TEST_F(QtDialogs, PortSettingsClickedThroughStoresTheChoices) {
    BYTE settings = 8 | kEightDataBits | (2 << kParityShift) | kTwoStopBits;
    BYTE port = 0;
    CommParamBlock block{&settings, &port, names_, 0, kBaudTexts, kParityTexts, "Qt", "q.ini", "L"};
    INT_PTR result =
        drive([&] { return StartPCSetupDlg(nullptr, &block); },
              [&](HWND dialog) {
                  expectTemplatePlaces(dialog, "Comm");
                  EXPECT_EQ(host_->widgetOf(dialog)->windowTitle(), "Port Settings");
                  EXPECT_EQ(label(dialog, 113), "38400");
                  EXPECT_TRUE(button(dialog, 102)->isChecked());
                  EXPECT_TRUE(button(dialog, 109)->isChecked());

                  QWidget* spin = widget(dialog, 2001);
                  QTest::mouseClick(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, 2));
                  EXPECT_EQ(label(dialog, 113), "9600");
                  click(dialog, 107);
                  EXPECT_TRUE(button(dialog, 107)->isChecked());
                  EXPECT_FALSE(button(dialog, 109)->isChecked());
                  key(Qt::Key_Down);
                  EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 108));
                  EXPECT_TRUE(button(dialog, 108)->isChecked())
                      << "arrow keys move the check in the group";
                  click(dialog, 110);
                  click(dialog, 104);
                  click(dialog, IDOK);
              });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(settings, 6 | kEightDataBits | (1 << kParityShift));
    EXPECT_EQ(port, 2);
}

TEST_F(QtDialogs, CommunicationParametersByKeyboardAlone) {
    BYTE settings = 6 | (1 << kParityShift);
    LineParamBlock block{&settings, 0, kBaudTexts, 0, 9};
    INT_PTR result = drive([&] { return ExecCommParameters(nullptr, &block); },
                           [&](HWND dialog) {
                               expectTemplatePlaces(dialog, "COMM_PARAMETERS");
                               EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 801))
                                   << "the spin control is the first stop";
                               key(Qt::Key_Up);
                               EXPECT_EQ(label(dialog, 802), "19200");
                               key(Qt::Key_Tab);
                               EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 806));
                               key(Qt::Key_Down);
                               EXPECT_TRUE(button(dialog, 807)->isChecked());
                               key(Qt::Key_Tab);
                               EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 803));
                               key(Qt::Key_Down);
                               key(Qt::Key_Down);
                               EXPECT_TRUE(button(dialog, 805)->isChecked());
                               key(Qt::Key_Return);
                           });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(settings, 7 | kEightDataBits | (2 << kParityShift));
}

TEST_F(QtDialogs, EscapeAndTheCloseButtonCancel) {
    BYTE settings = 6;
    LineParamBlock block{&settings, 0, kBaudTexts, 0, 9};
    EXPECT_EQ(drive([&] { return ExecCommParameters(nullptr, &block); },
                    [&](HWND) { key(Qt::Key_Escape); }),
              0);
    EXPECT_EQ(drive([&] { return ExecCommParameters(nullptr, &block); },
                    [&](HWND dialog) { host_->widgetOf(dialog)->close(); }),
              0);
    EXPECT_EQ(settings, 6);
}

// A dialog with an OK button, from which the tests open further dialogs and boxes.
const DialogItemTemplate kOuterItems[] = {
    {IDOK, "button", "OK", 80, 60, 40, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
};
const DialogTemplate kOuter{"Outer", 0, "Outer",     10, 10, 200, 80, WS_POPUP | WS_CAPTION,
                            nullptr, 0, kOuterItems, 1};

INT_PTR outerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        return EndDialog(dialog, LOWORD(wParam));
    return message == WM_INITDIALOG;
}

TEST_F(QtDialogs, ADialogRunFromInsideAnotherIsFullyUsableAndSoAreItsMessageBoxes) {
    BYTE settings = 6;  // 9600 baud
    LineParamBlock block{&settings, 0, kBaudTexts, 0, 9};
    HWND outerDialog = nullptr;
    const auto innerSteps = [&](HWND dialog) {
        ASSERT_NE(dialog, outerDialog);
        EXPECT_FALSE(IsWindowEnabled(outerDialog)) << "the owner waits";
        ExpectEnabledAsTemplate(*host_, dialog,
                                kp::FindDialogTemplate(utilities(), "COMM_PARAMETERS"));
        EXPECT_EQ(label(dialog, 802), "9600");
        EXPECT_TRUE(messageBoxUsable(dialog));
        EXPECT_TRUE(messageBoxUsable(outerDialog)) << "a box owned by the waiting dialog";
        key(Qt::Key_Up);
        clickToEnd(dialog, IDOK);
    };
    INT_PTR inner = -1;
    const auto outerSteps = [&](HWND dialog) {
        outerDialog = dialog;
        inner = drive([&] { return ExecCommParameters(dialog, &block); }, innerSteps);
        EXPECT_TRUE(IsWindowEnabled(dialog));
        ExpectEnabledAsTemplate(*host_, dialog, &kOuter);
        clickToEnd(dialog, IDOK);
    };
    const INT_PTR outer =
        drive([&] { return DialogBoxIndirectParam(nullptr, &kOuter, nullptr, outerProc, 0); },
              outerSteps);
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, IDOK);
    EXPECT_EQ(settings & kBaudCodeMask, 7) << "19200, chosen in the inner dialog";
}

// A host program's own main window (a plain Qt widget) as the owner of the core's dialogs.
TEST_F(QtDialogs, AProgramsOwnMainWindowOwnsTheCoresDialogs) {
    auto main = std::make_unique<QMainWindow>();
    auto* work = new QLineEdit(main.get());
    main->setCentralWidget(work);
    main->setGeometry(200, 150, 640, 480);
    main->show();
    HWND owner = kp::qt::WindowForWidget(main.get());
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(kp::qt::WindowForWidget(main.get()), owner) << "one window per widget";
    EXPECT_EQ(kp::qt::WindowForWidget(nullptr), nullptr);
    main->move(260, 170);
    RECT place;
    GetWindowRect(owner, &place);
    const QPoint origin = main->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(QRect(place.left, place.top, place.right - place.left, place.bottom - place.top),
              QRect(origin, main->size()))
        << "the window follows the widget";

    BYTE settings = 6;
    LineParamBlock block{&settings, 0, kBaudTexts, 0, 9};
    const INT_PTR result =
        drive([&] { return ExecCommParameters(owner, &block); },
              [&](HWND dialog) {
                  ExpectEnabledAsTemplate(*host_, dialog,
                                          kp::FindDialogTemplate(utilities(), "COMM_PARAMETERS"));
                  QWidget* shown = host_->widgetOf(dialog);
                  ASSERT_NE(shown->windowHandle(), nullptr);
                  EXPECT_EQ(shown->windowHandle()->transientParent(), main->windowHandle());
                  RECT own;
                  GetWindowRect(dialog, &own);
                  EXPECT_EQ(own.bottom, place.bottom) << "placed on its owner's bottom edge";
                  EXPECT_TRUE(main->isEnabled() && work->isEnabled())
                      << "the main window waits by modality, not greyed out";
                  EXPECT_TRUE(messageBoxUsable(owner));
                  clickToEnd(dialog, IDOK);
              });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(IsWindowEnabled(owner));
    main.reset();
    EXPECT_FALSE(IsWindow(owner)) << "the window goes with the widget";
}

TEST_F(QtDialogs, MessageBoxesAreQtMessageBoxesWithTheirTextCaptionAndIcon) {
    std::filesystem::remove(devices_[0]);
    std::filesystem::remove(devices_[1]);
    BYTE settings = 6, port = 0;
    CommParamBlock block{&settings,    &port,        names_,  0,  kBaudTexts,
                         kParityTexts, "Panel link", "q.ini", "L"};
    QString shown, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = dynamic_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(SetComPort(nullptr, &block), FALSE);
    EXPECT_EQ(shown, "COM 1 is unavailable.\nSwitching to COM 3");
    EXPECT_EQ(caption, "Panel link");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(port, 2);
}

// The libraries' message boxes answered by keys alone: Return presses the box type's default
// button, Escape its Cancel, Alt the button whose letter it is.
TEST_F(QtDialogs, MessageBoxesAreAnsweredByTheirKeys) {
    const struct {
        UINT type;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int answer;
    } kCases[] = {
        {MB_OK | MB_ICONERROR, Qt::Key_Return, {}, IDOK},
        {MB_YESNO | MB_DEFBUTTON2, Qt::Key_Return, {}, IDNO},
        {MB_YESNO, Qt::Key_Return, {}, IDYES},
        {MB_YESNOCANCEL, Qt::Key_Escape, {}, IDCANCEL},
        {MB_YESNOCANCEL, Qt::Key_N, Qt::AltModifier, IDNO},
        {MB_OKCANCEL, Qt::Key_C, Qt::AltModifier, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, Qt::Key_R, Qt::AltModifier, IDRETRY},
    };
    for (const auto& c : kCases) {
        QStringList texts;
        QTimer::singleShot(0, [&] {
            auto* box = dynamic_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* button : box->buttons()) texts.append(button->text());
            QApplication::setActiveWindow(box);
            QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);
            if (!box->isVisible()) return;
            // A letter presses its button, which clicks a moment later: click it now.
            for (QAbstractButton* button : box->buttons())
                if (button->isDown()) return button->click();
            box->done(QMessageBox::NoButton);  // the key did nothing
        });
        EXPECT_EQ(MessageBox(nullptr, "Go on?", "Keys", c.type), c.answer)
            << "type " << c.type << " key " << c.key;
        for (const QString& text : texts)
            EXPECT_TRUE(text.contains('&')) << text.toStdString() << " has no letter";
    }
}

struct Drawn {
    std::vector<UINT> items;
    std::vector<WORD> notes;
};
Drawn drawn;

LRESULT recordingParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM) {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        drawn.items.push_back(draw->itemID);
        RECT r = draw->rcItem;
        FillRect(draw->hDC, &r,
                 GetSysColorBrush(draw->itemState & ODS_SELECTED ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        return TRUE;
    }
    if (message == WM_COMMAND) drawn.notes.push_back(HIWORD(wParam));
    return DefWindowProc(window, message, wParam, lParam);
}

class QtControls : public QtDialogs {
  protected:
    void SetUp() override {
        QtDialogs::SetUp();
        drawn = {};
        WNDCLASS wc{};
        wc.lpfnWndProc = recordingParent;
        wc.lpszClassName = "QtTestParent";
        RegisterClass(&wc);
        parent_ = CreateWindow("QtTestParent", "parent", WS_POPUP | WS_VISIBLE, 10, 10, 300, 200,
                               nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        QtDialogs::TearDown();
    }
    HWND child(const char* className, int id, QRect r, DWORD style = 0, const char* text = "") {
        return CreateWindow(className, text, WS_CHILD | WS_VISIBLE | style, r.x(), r.y(), r.width(),
                            r.height(), parent_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                            nullptr, nullptr);
    }
    HWND parent_ = nullptr;
};

TEST_F(QtControls, TheMeterPaintsAQuarterBlueAndTheRestLightGrey) {
    HWND meter = child(kMeterClass, 10, QRect(0, 0, 200, 20));
    SendMessage(meter, kMeterSetRange, 200, 0);
    SendMessage(meter, kMeterSetPosition, 50, 0);
    QImage image = host_->widgetOf(meter)->grab().toImage();
    EXPECT_EQ(QColor(image.pixel(2, 1)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(image.pixel(49, 1)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(image.pixel(50, 1)), QColor(192, 192, 192));
    EXPECT_EQ(QColor(image.pixel(198, 18)), QColor(192, 192, 192));
    bool blueText = false;
    for (int x = 60; x < 140; ++x)
        for (int y = 0; y < 20; ++y)
            if (QColor(image.pixel(x, y)).blue() > 200 && QColor(image.pixel(x, y)).red() < 100)
                blueText = true;
    EXPECT_TRUE(blueText) << "the text shows in blue on the grey part";
}

TEST_F(QtControls, TypedKeysGoThroughTheLetterRefusingEditsProcedure) {
    HWND edit = child(kNoAlphaEditClass, 20, QRect(0, 0, 100, 22), WS_TABSTOP);
    auto* line = dynamic_cast<QLineEdit*>(host_->widgetOf(edit));
    ASSERT_NE(line, nullptr);
    line->setFocus();
    unsigned beeps = kp::BeepCount();
    QTest::keyClicks(line, "1a2");
    EXPECT_EQ(line->text(), "12");
    char text[16];
    GetWindowText(edit, text, sizeof text);
    EXPECT_STREQ(text, "12");
    EXPECT_EQ(kp::BeepCount(), beeps + 1);
    QTest::keyClick(line, Qt::Key_Home);
    QTest::keyClicks(line, "3");
    EXPECT_EQ(line->text(), "312");
    EXPECT_EQ(line->cursorPosition(), 1) << "the caret stays where the core has it";
    QTest::keyClick(line, Qt::Key_Backspace);
    EXPECT_EQ(line->text(), "12");
}

TEST_F(QtControls, OwnerDrawnListItemsAreDrawnByTheParentAndClicksSelect) {
    HWND list = child("listbox", 30, QRect(0, 0, 120, 100), LBS_OWNERDRAWFIXED | LBS_NOTIFY);
    for (LPARAM data : {11, 12, 13}) SendMessage(list, LB_ADDSTRING, 0, data);
    auto* view = dynamic_cast<QListWidget*>(host_->widgetOf(list));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->count(), 3);
    view->grab();
    EXPECT_EQ(drawn.items, (std::vector<UINT>{0, 1, 2}));

    QRect second = view->visualItemRect(view->item(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(SendMessage(list, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(drawn.notes, std::vector<WORD>{LBN_SELCHANGE});
    SendMessage(list, LB_SETCURSEL, 2, 0);
    EXPECT_EQ(view->currentRow(), 2) << "the widget follows the control";
}

TEST_F(QtControls, HoldingTheSpinControlStepsOnQtTimers) {
    std::vector<LPARAM> steps;
    static std::vector<LPARAM>* record = nullptr;
    record = &steps;
    static const DialogItemTemplate items[] = {
        {2001, kSpinClass, "", 4, 4, 10, 16, WS_VISIBLE | WS_TABSTOP},
    };
    static const DialogTemplate t{"S",     0, "S",   0, 0, 40, 30, WS_POPUP | WS_VISIBLE,
                                  nullptr, 0, items, 1};
    HWND dialog = CreateDialogIndirectParam(
        nullptr, &t, nullptr,
        [](HWND, UINT m, WPARAM, LPARAM l) -> INT_PTR {
            if (m == kSpinStepMessage) record->push_back(l);
            return m == WM_INITDIALOG;
        },
        0);
    QWidget* spin = widget(dialog, 2001);
    ASSERT_NE(spin, nullptr);
    QTest::mousePress(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() - 2));
    QTest::qWait(400);
    QTest::mouseRelease(spin, Qt::LeftButton, {}, QPoint(spin->width() / 2, spin->height() - 2));
    std::size_t held = steps.size();
    EXPECT_GE(held, 2u) << "one at once and more every 150 ms";
    QTest::qWait(300);
    EXPECT_EQ(steps.size(), held) << "none after the release";
    for (LPARAM step : steps) EXPECT_EQ(step, kSpinDown);
    DestroyWindow(dialog);
}

}  // namespace

namespace {

HBRUSH highlight = nullptr;

INT_PTR colouringProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_CTLCOLOREDIT && highlight) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<INT_PTR>(highlight);
    }
    return FALSE;
}

TEST_F(QtDialogs, AnEditTakesTheColoursItsDialogAnswersWhenRepainted) {
    static const DialogItemTemplate items[] = {
        {5, "edit", "cell", 4, 4, 40, 12, WS_VISIBLE | WS_TABSTOP},
    };
    static const DialogTemplate t{"C", 0, "C", 0, 0, 60, 24, WS_POPUP, nullptr, 0, items, 1};
    highlight = nullptr;
    HWND dialog = CreateDialogIndirectParam(nullptr, &t, nullptr, colouringProc, 0);
    QWidget* edit = widget(dialog, 5);
    ASSERT_NE(edit, nullptr);
    highlight = CreateSolidBrush(RGB(0, 0, 128));
    InvalidateRect(GetDlgItem(dialog, 5), nullptr, TRUE);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(0, 0, 128));
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(255, 255, 255));
    HBRUSH used = highlight;
    highlight = nullptr;
    InvalidateRect(GetDlgItem(dialog, 5), nullptr, TRUE);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 255, 255))
        << "back to the window colour";
    DestroyWindow(dialog);
    DeleteObject(used);
}

}  // namespace
