// A main window with the sample project open on the window core's Qt host (offscreen), so
// that its hosted dialogs run as they do for a user, with the message boxes recorded (and
// answered with their default button).
#pragma once

#include <QAction>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "support/qt_dialogs.h"
#include "windows/qt/qt_host.h"
#include "workbench/window/main_window.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {

class HostedWindowTest : public SampleWindowTest {
  protected:
    void beforeWindow() override {
        std::filesystem::copy_file(
            platform::JoinPath(platform::ProgramFolder(), "windows/Displays.ini"),
            file("windows/Displays.ini"));
        host_ = std::make_unique<platform::qt::QtHost>();
        user_.emplace(*host_);
        previous_ = platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view text, std::string_view caption, UINT type) {
                told.push_back(std::string(caption) + ": " + std::string(text));
                return platform::DefaultButton(type);
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

    std::vector<std::string> told;
    std::optional<kestra::testing::QtDialogUser> user_;

  private:
    std::unique_ptr<platform::qt::QtHost> host_;
    platform::MessageBoxPresenter previous_;
};

}  // namespace kestra::workbench::testing
