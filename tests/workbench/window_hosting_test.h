// What the tests of the workbench window's hosted actions share: a main window with the sample
// project open, the window core's Qt host (offscreen) for the libraries' dialogs, the message
// boxes the program shows, recorded and answered.
#pragma once

#include <QLabel>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog_steps.h"
#include "platform/message_box.h"
#include "plc_s5/dialog_ids.h"
#include "windows/input.h"
#include "support/qt_dialogs.h"
#include "told_messages.h"
#include "windows/qt/qt_host.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {

class WindowWithCoreDialogs : public SampleWindowTest, protected ToldMessages {
  protected:
    void beforeWindow() override {
        host_ = std::make_unique<platform::qt::QtHost>();
        user_.emplace(*host_);
        previous_ = platform::SetMessageBoxPresenter(presenter());
    }
    void TearDown() override {
        SampleWindowTest::TearDown();
        platform::SetMessageBoxPresenter(previous_);
        user_.reset();
        host_.reset();
    }
    // Triggers the action with `steps` run on the window core's dialog once it is up.
    void triggerCore(QAction* action, const std::function<void(HWND)>& steps) {
        kestra::testing::DriveDialog<bool>(
            [&] {
                action->trigger();
                return true;
            },
            steps);
    }
    // Triggers the action with `steps` run on the Qt dialog it opens.
    void triggerQt(QAction* action, const std::function<void(QDialog*)>& steps) {
        WhenQtDialogOpens(steps);
        action->trigger();
    }
    platform::qt::QtHost& host() { return *host_; }

    // The field's properties, the driver's field dialog from them with `inDriver` on it, and
    // the properties ended with `end`.
    void editField(FieldPlace place, const std::function<void(HWND)>& inDriver,
                   QDialogButtonBox::StandardButton end = QDialogButtonBox::Ok) {
        window->tree().select({ProjectTree::Node::Field, static_cast<int>(place.page),
                               static_cast<int>(place.field)});
        triggerQt(window->hosted().field, [&](QDialog* properties) {
            WhenCoreDialogOpens(inDriver);
            ButtonOf(properties, "&Display and Limits...")->click();
            Press(properties, end);
        });
    }
    struct MessageText {
        int first, last;
        QString text;
    };
    // In the driver's field dialog of a MESSAGE field: `maximum` typed into its box, then Edit
    // Message given `texts` and ended with OK (its explanation kept in `about`), then OK.
    void giveMessageTexts(HWND driver, const char* maximum, const std::vector<MessageText>& texts,
                          QString* about = nullptr) {
        using s5::dialog::kMaximumEdit, s5::dialog::kMessageButton;
        platform::FocusByUser(GetDlgItem(driver, kMaximumEdit));
        SendDlgItemMessage(driver, kMaximumEdit, EM_SETSEL, 0, -1);
        QTest::keyClicks(user_->widget(driver, kMaximumEdit), maximum);
        WhenQtDialogOpens([&](QDialog* editor) {
            if (about) *about = editor->findChild<QLabel*>()->text();
            for (const MessageText& t : texts) AddRange(editor, t.first, t.last, t.text);
            Press(editor, QDialogButtonBox::Ok);
        });
        // Pressed by message while the box keeps the focus: the editor sees what was typed.
        SendMessage(driver, WM_COMMAND, MAKEWPARAM(kMessageButton, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(driver, kMessageButton)));
        user_->click(driver, IDOK);
    }

    std::optional<kestra::testing::QtDialogUser> user_;

  private:
    std::unique_ptr<platform::qt::QtHost> host_;
    platform::MessageBoxPresenter previous_;
};

}  // namespace kestra::workbench::testing
