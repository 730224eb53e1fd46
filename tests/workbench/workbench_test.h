// What the workbench's tests share: each test's own folders (settings, data, registry, Windows
// folder), the sample project as a file, and the project's image as the store saves it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kestra/host.h"
#include "kestra/project_json.h"
#include "platform/files.h"
#include "support/qt_dialogs.h"
#include "support/temp_folder.h"
#include "workbench/window/main_window.h"
#include "workbench/document/project_document.h"
#include "workbench/window/questions.h"

namespace kestra::workbench::testing {

using kestra::testing::TempFolder;

inline std::string SampleJson() {
    return platform::ReadWholeFile(KESTRA_SAMPLE_JSON).value_or("");
}

// The sample project's image, as `kestra import` makes it.
inline Bytes SampleImage() {
    return json::ImportProjectJson(SampleJson());
}

// Runs `steps` on the modal dialog that opens next, once it is up.
inline void OnNextDialog(std::function<void(QDialog*)> steps) {
    QTimer::singleShot(0, [steps = std::move(steps)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no dialog is open";
        steps(dialog);
    });
}

// Answers every question with one button, and keeps what was asked.
struct Answers {
    explicit Answers(QMessageBox::StandardButton button) {
        SetAnswerer([this, button](const Question& question) {
            asked.push_back(question);
            return button;
        });
    }
    ~Answers() { SetAnswerer({}); }
    std::vector<Question> asked;
};

class WorkbenchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kestra::testing::OffscreenApplication();
        host::StartHost();
        for (const char* folder : {"config", "data", "windows"})
            std::filesystem::create_directories(folder_.file(folder));
        setenv("XDG_CONFIG_HOME", folder_.file("config").c_str(), 1);
        setenv("XDG_DATA_HOME", folder_.file("data").c_str(), 1);
        setenv("KESTRA_REGISTRY", folder_.file("config/registry.reg").c_str(), 1);
        setenv(platform::kWindowsFolderVariable, folder_.file("windows").c_str(), 1);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(folder_.file("config")));
        const Bytes image = SampleImage();
        sample_ = folder_.write("sample.kpr", std::string(image.begin(), image.end()));
    }
    void TearDown() override { SetAnswerer({}); }

    // The image the store saves of the document's project now, made afresh (not the image the
    // document keeps).
    static Bytes SavedNow(ProjectDocument& document) {
        host::CollectedMessageBoxes quiet;
        return host::Store::Get().save("test", document.project());
    }

    std::string file(const std::string& name) const { return folder_.file(name); }
    QString sample() const { return QString::fromStdString(sample_); }

    TempFolder folder_;
    std::string sample_;
};

// A main window with the sample project open; it closes without asking about its changes.
class SampleWindowTest : public WorkbenchTest {
  protected:
    void SetUp() override {
        WorkbenchTest::SetUp();
        beforeWindow();
        window = new MainWindow;
        window->show();
        ASSERT_TRUE(window->openFile(sample()));
    }
    void TearDown() override {
        if (window) {
            window->document().undoStack().setClean();
            window->close();
        }
        QApplication::processEvents();
        WorkbenchTest::TearDown();
    }
    // What a test needs in place before the window is made.
    virtual void beforeWindow() {}

    QPointer<MainWindow> window;
};

}  // namespace kestra::workbench::testing
