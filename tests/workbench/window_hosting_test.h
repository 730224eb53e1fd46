// What the tests of the workbench window's hosted actions share: a main window with the sample
// project open, the window core's Qt host (offscreen) for the libraries' dialogs, the message
// boxes the program shows, recorded and answered.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog_steps.h"
#include "platform/message_box.h"
#include "support/qt_dialogs.h"
#include "windows/qt/qt_host.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {

class WindowWithCoreDialogs : public SampleWindowTest {
  protected:
    void beforeWindow() override {
        host_ = std::make_unique<platform::qt::QtHost>();
        user_.emplace(*host_);
        previous_ = platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view text, std::string_view caption, UINT type) {
                told.push_back(std::string(caption) + ": " + std::string(text));
                if (answers.empty()) return platform::DefaultButton(type);
                const int answer = answers.front();
                answers.pop_front();
                return answer;
            });
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

    std::vector<std::string> told;  // "caption: text" of every message box shown
    std::deque<int> answers;        // the answers to give, in order; then the default button
    std::optional<kestra::testing::QtDialogUser> user_;

  private:
    std::unique_ptr<platform::qt::QtHost> host_;
    platform::MessageBoxPresenter previous_;
};

}  // namespace kestra::workbench::testing
