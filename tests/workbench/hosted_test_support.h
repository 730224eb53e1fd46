// What the tests of the workbench's hosted dialogs and build work share: the sample project
// loaded through the store from its JSON form, its driver found through the driver list, a
// main window of their own on the Qt host (offscreen), a Windows folder, card, registry and
// Panora socket of each test's own, and the message boxes the program shows, recorded and
// answered.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kestra/driver.h"
#include "kestra/host.h"
#include "kestra/project_json.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "plc_s5/k32plc1.h"
#include "support/card_reader_scope.h"
#include "support/qt_dialogs.h"
#include "support/temp_folder.h"
#include "told_messages.h"
#include "utilities/services.h"
#include "workbench/hosted/hosted_project.h"

namespace kestra::workbench::testing {

using kestra::testing::EnvironmentScope;
using kestra::testing::TempFolder;

// The sample project's image, as `kestra import` makes it from its JSON form.
inline host::Bytes SampleImage() {
    const std::string path =
        platform::JoinPath(platform::ProgramFolder(), "samples/sample-project.json");
    const auto text = platform::ReadWholeFile(path);
    EXPECT_TRUE(text.has_value()) << path;
    return json::ImportProjectJson(text.value_or(""));
}

// Every byte offset at which two images differ (and the longer one's surplus).
inline std::vector<std::size_t> DifferingBytes(const host::Bytes& a, const host::Bytes& b) {
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i]) offsets.push_back(i);
    return offsets;
}

// Made before anything of Qt's.
struct ApplicationFirst {
    ApplicationFirst() { kestra::testing::OffscreenApplication(); }
};

class HostedTest : public ::testing::Test, protected ToldMessages {
  protected:
    void SetUp() override {
        SetAppFmalloc(&mem::HostAllocate);
        std::filesystem::create_directories(folder.file("windows"));
        std::filesystem::copy_file(
            platform::JoinPath(platform::ProgramFolder(), "windows/Displays.ini"),
            folder.file("windows/Displays.ini"));
        host_ = std::make_unique<platform::qt::QtHost>();
        user.emplace(*host_);
        previousPresenter_ = platform::SetMessageBoxPresenter(presenter());
        window.resize(800, 600);
        window.show();
        project = host::Store::Get().load("sample", SampleImage());
        const ProjectBlock& p = project.block();
        driver.emplace(
            host::Driver::ForProjectCode(p.record.projectType, p.record.plcType, "sample"));
    }
    void TearDown() override {
        platform::SetMessageBoxPresenter(previousPresenter_);
        user.reset();
        host_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    ProjectBlock& block() { return project.block(); }
    host::Bytes image() { return SavedImage(project); }
    // The field as the driver's address conversion makes it of `address`, on a copy (the
    // conversion looks the text up as a tag name, which leaves the text in the string table:
    // it goes again).
    FieldRecord withAddress(FieldPlace place, const char* address) {
        FieldRecord converted = FieldAt(block(), place);
        const uPLCSETUP setup = block().record.nodeA;
        const auto decode = DriverExport<decltype(&ExpDecodeLogicalAddressString)>(
            *driver, "ExpDecodeLogicalAddressString");
        const std::uint16_t texts = block().record.stringCount;
        EXPECT_TRUE(decode(address, &block(), &setup, &converted.plc, 0, FALSE, 0)) << address;
        ForgetUnheldTextsSince(block(), texts);
        return converted;
    }

    // Runs `steps` once the dialog that `open` shows is up, on the window core's top-level
    // window that holds the focus.
    template <typename Result>
    Result driveCore(const std::function<Result()>& open, const std::function<void(HWND)>& steps) {
        return kestra::testing::DriveDialog<Result>(open, steps);
    }
    // Runs `steps` once the Qt dialog that `open` shows is up.
    template <typename Result>
    Result driveQt(const std::function<Result()>& open,
                   const std::function<void(QDialog*)>& steps) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr) << "no dialog is open";
            steps(dialog);
        });
        const Result result = open();
        EXPECT_TRUE(ran);
        return result;
    }
    static void press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
        auto* box = dialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(box, nullptr);
        box->button(which)->click();
    }
    platform::qt::QtHost& host() { return *host_; }

    ApplicationFirst application_;
    TempFolder folder;
    EnvironmentScope windir{platform::kWindowsFolderVariable, folder.file("windows")};
    EnvironmentScope registry{"KESTRA_REGISTRY", folder.file("registry.reg")};
    EnvironmentScope reader{platform::kCardReaderVariable, std::string("sim")};
    EnvironmentScope card{platform::kSimCardVariable, folder.file("card.img")};
    EnvironmentScope panora{
        "KESTRA_PANORA_SERVER",
        "kestra-panora-hosted-test-" + std::to_string(QCoreApplication::applicationPid())};
    std::optional<kestra::testing::QtDialogUser> user;
    QMainWindow window;
    LoadedProject project;
    std::optional<host::Driver> driver;

  private:
    std::unique_ptr<platform::qt::QtHost> host_;
    platform::MessageBoxPresenter previousPresenter_;
};

}  // namespace kestra::workbench::testing
