// What the tests of the workbench window's hosted actions share: a main window with the sample
// project open, the window core's Qt host (offscreen) for the libraries' dialogs, the message
// boxes the program shows, recorded and answered.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog_steps.h"
#include "platform/message_box.h"
#include "support/qt_dialogs.h"
#include "told_messages.h"
#include "windows/qt/qt_host.h"
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

    std::optional<kestra::testing::QtDialogUser> user_;

  private:
    std::unique_ptr<platform::qt::QtHost> host_;
    platform::MessageBoxPresenter previous_;
};

}  // namespace kestra::workbench::testing
