// A page of the window core embedded in a Qt dialog, driven by keys offscreen: Tab in and out
// of the page in both directions, mnemonics across the border, Enter and Escape, and the page's
// edit box reading its text when the focus leaves for the dialog.
#include "windows/qt/page_keyboard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/module.h"
#include "support/qt_dialogs.h"
#include "windows/controls.h"
#include "windows/dialog.h"
#include "windows/qt/qt_host.h"

namespace kp = kestra::platform;

namespace {

constexpr int kName = 11, kValue = 12, kEnabled = 13, kDisabled = 14, kHidden = 15;
constexpr DWORD kStop = WS_VISIBLE | WS_TABSTOP;
constexpr DialogItemTemplate kPageItems[] = {
    {-1, "static", "&Name", 4, 4, 30, 8, WS_VISIBLE},
    {kName, "edit", "", 40, 4, 60, 12, kStop | WS_BORDER},
    {-1, "static", "&Value", 4, 20, 30, 8, WS_VISIBLE},
    {kValue, "edit", "", 40, 20, 60, 12, kStop | WS_BORDER},
    {kEnabled, "button", "&Enabled", 4, 36, 60, 10, kStop | BS_AUTOCHECKBOX},
    {kDisabled, "edit", "", 40, 50, 60, 12, kStop | WS_DISABLED},
    {kHidden, "button", "&Hidden", 70, 36, 40, 10, WS_TABSTOP | BS_AUTOCHECKBOX},
};
constexpr DWORD kPageStyle = WS_CHILD | WS_VISIBLE | DS_CONTROL;
constexpr DialogTemplate kPage{"Page", 0,          "",      0, 0,          110,
                               66,     kPageStyle, nullptr, 0, kPageItems, std::size(kPageItems)};

std::vector<int> lostFocus;  // the edit boxes that told their page they lost the focus

INT_PTR PageProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && HIWORD(wParam) == EN_KILLFOCUS)
        lostFocus.push_back(LOWORD(wParam));
    return FALSE;
}

// A Qt dialog: a titled line edit, the page in its frame, a button, OK and Cancel.
class PageKeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host_ = std::make_unique<kp::qt::QtHost>();
        lostFocus.clear();
        auto* layout = new QVBoxLayout(&dialog_);
        auto* label = new QLabel("&Title", &dialog_);
        title_ = new QLineEdit(&dialog_);
        title_->setObjectName("title");
        label->setBuddy(title_);
        layout->addWidget(label);
        layout->addWidget(title_);
        frame_ = new QWidget(&dialog_);
        layout->addWidget(frame_);
        apply_ = new QPushButton("&Apply", &dialog_);
        apply_->setObjectName("apply");
        layout->addWidget(apply_);
        auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog_);
        box->button(QDialogButtonBox::Ok)->setObjectName("ok");
        box->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
        QObject::connect(box, &QDialogButtonBox::accepted, &dialog_, &QDialog::accept);
        QObject::connect(box, &QDialogButtonBox::rejected, &dialog_, &QDialog::reject);
        layout->addWidget(box);

        page_ = CreateDialogIndirectParam(nullptr, &kPage, host_->windowFor(frame_), PageProc, 0);
        ASSERT_NE(page_, nullptr);
        RECT r;
        GetWindowRect(page_, &r);
        frame_->setFixedSize(r.right - r.left, r.bottom - r.top);
        new kp::qt::PageKeyboard(frame_, page_);
        dialog_.show();
        QApplication::setActiveWindow(&dialog_);
        title_->setFocus(Qt::OtherFocusReason);
    }
    void TearDown() override {
        DestroyWindow(page_);
        host_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, key, modifiers);
    }
    // Where the focus is: "page N" for a control of the page (which must then hold the core's
    // focus too), else the widget's name.
    std::string focus() const {
        QWidget* widget = QApplication::focusWidget();
        if (!widget) return "nowhere";
        for (HWND w = GetWindow(page_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (host_->widgetOf(w) == widget)
                return GetFocus() == w ? "page " + std::to_string(GetDlgCtrlID(w))
                                       : "page widget without the core's focus";
        HWND core = GetFocus();
        if (core && core != page_ && IsChild(page_, core)) return "core focus left in the page";
        return widget->objectName().toStdString();
    }
    std::vector<std::string> walk(Qt::Key key, Qt::KeyboardModifiers modifiers, int steps) {
        std::vector<std::string> seen{focus()};
        for (int i = 0; i < steps; ++i) {
            press(key, modifiers);
            seen.push_back(focus());
        }
        return seen;
    }
    QCheckBox* checkBox(int id) {
        return dynamic_cast<QCheckBox*>(host_->widgetOf(GetDlgItem(page_, id)));
    }

    struct ApplicationFirst {
        ApplicationFirst() { kestra::testing::OffscreenApplication(); }
    } application_;
    std::unique_ptr<kp::qt::QtHost> host_;
    QDialog dialog_;
    QLineEdit* title_ = nullptr;
    QWidget* frame_ = nullptr;
    QPushButton* apply_ = nullptr;
    HWND page_ = nullptr;
};

TEST_F(PageKeyboardTest, TabGoesThroughThePageInItsOrderAndOnToTheDialogsWidgets) {
    using V = std::vector<std::string>;
    EXPECT_EQ(walk(Qt::Key_Tab, {}, 7),
              (V{"title", "page 11", "page 12", "page 13", "apply", "ok", "cancel", "title"}));
    EXPECT_EQ(walk(Qt::Key_Backtab, Qt::ShiftModifier, 7),
              (V{"title", "cancel", "ok", "apply", "page 13", "page 12", "page 11", "title"}));
    EXPECT_EQ(walk(Qt::Key_Tab, Qt::ShiftModifier, 2), (V{"title", "cancel", "ok"}))
        << "Shift with Tab as some keyboards send it";
}

TEST_F(PageKeyboardTest, MnemonicsWorkAcrossTheBorderBothWays) {
    const struct {
        const char* from;  // where the focus is: "title", or a control of the page
        int fromControl;
        Qt::Key letter;
        const char* to;
    } kCases[] = {
        {"title", 0, Qt::Key_V, "page 12"},        // the page's label, from the dialog
        {"title", 0, Qt::Key_N, "page 11"},        //
        {"page", kValue, Qt::Key_N, "page 11"},    // the page's label, inside the page
        {"page", kName, Qt::Key_T, "title"},       // the dialog's label, from the page
        {"page", kName, Qt::Key_E, "page 13"},     // the page's check box: checked and focused
        {"page", kEnabled, Qt::Key_A, "page 13"},  // the dialog's button, from the page
    };
    for (const auto& c : kCases) {
        if (c.fromControl)
            host_->widgetOf(GetDlgItem(page_, c.fromControl))->setFocus(Qt::MouseFocusReason);
        else
            title_->setFocus(Qt::MouseFocusReason);
        press(c.letter, Qt::AltModifier);
        if (QTest::currentTestFailed()) return;
        if (c.letter == Qt::Key_A) EXPECT_TRUE(apply_->isDown()) << "Alt+A presses Apply";
        EXPECT_EQ(focus(), c.to) << "Alt+" << QKeySequence(c.letter).toString().toStdString()
                                 << " from " << c.from << " " << c.fromControl;
    }
    EXPECT_TRUE(checkBox(kEnabled)->isChecked());
    EXPECT_FALSE(checkBox(kHidden)->isChecked()) << "a hidden control's letter is not the page's";
}

TEST_F(PageKeyboardTest, TheEditReadsItsTextWhenTheFocusLeavesThePageByKeyOrClick) {
    press(Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "pump");
    press(Qt::Key_Backtab, Qt::ShiftModifier);  // out of the page, back to the title
    EXPECT_EQ(focus(), "title");
    EXPECT_EQ(lostFocus, std::vector<int>{kName});

    host_->widgetOf(GetDlgItem(page_, kValue))->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(apply_, Qt::LeftButton);
    EXPECT_EQ(focus(), "apply");
    EXPECT_EQ(lostFocus, (std::vector<int>{kName, kValue}));
    char text[16] = "";
    GetDlgItemText(page_, kName, text, sizeof text);
    EXPECT_STREQ(text, "pump");
}

TEST_F(PageKeyboardTest, EnterAndEscapeInThePageActOnTheDialog) {
    for (const auto& [key, result] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                      std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
        dialog_.setResult(-1);
        dialog_.show();
        QApplication::setActiveWindow(&dialog_);
        host_->widgetOf(GetDlgItem(page_, kValue))->setFocus(Qt::MouseFocusReason);
        press(key);
        EXPECT_EQ(dialog_.result(), result) << key;
        EXPECT_FALSE(dialog_.isVisible());
    }
}

}  // namespace
