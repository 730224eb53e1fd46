// The project's file changed by another program while a window has it open: the window offers
// the file's version, with both answers, once for each version; unsaved work stays unless the
// user takes the file's.
#include "workbench/window/file_watch.h"

#include <QStatusBar>
#include <filesystem>

#include "workbench/document/project_pages.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

using Node = ProjectTree::Node;

class FileWatchTest : public SampleWindowTest {
  protected:
    void SetUp() override {
        SampleWindowTest::SetUp();
        window->tree().select({Node::Page, 0, 0});
        // The project with a fourth page, as another program would write it.
        window->addPage();
        const Bytes image = SavedNow(window->document());
        fourPages_ = std::string(image.begin(), image.end());
        window->document().undoStack().undo();
    }
    // Another program writes the file anew (a new file renamed over the old one).
    void writeElsewhere(const std::string& bytes) {
        const std::string written = folder_.write("sample.kpr.new", bytes);
        std::filesystem::rename(written, sample_);
    }
    std::size_t pages() { return Pages(window->document().block()).size(); }

    std::string fourPages_;
};

TEST_F(FileWatchTest, AnUnchangedProjectIsReloadedWhenTheUserSaysSo) {
    Answers reload(QMessageBox::Yes);
    window->fileWatch().check();
    EXPECT_TRUE(reload.asked.empty()) << "the file is as the window read it";
    writeElsewhere(folder_.read("sample.kpr"));
    window->fileWatch().check();
    EXPECT_TRUE(reload.asked.empty()) << "written again as it was";

    writeElsewhere(fourPages_);
    window->fileWatch().check();
    ASSERT_EQ(reload.asked.size(), 1u);
    const Question& asked = reload.asked[0];
    EXPECT_TRUE(asked.text.contains(sample())) << asked.text.toStdString();
    EXPECT_EQ(asked.defaultButton, QMessageBox::Yes) << "nothing of the window's is lost";
    EXPECT_EQ(pages(), 4u);
    EXPECT_FALSE(window->document().isModified());
    window->fileWatch().check();
    EXPECT_EQ(reload.asked.size(), 1u) << "the version the window holds now is not offered";
}

TEST_F(FileWatchTest, UnsavedWorkStaysWhenTheUserKeepsItAndEachNewVersionIsOfferedOnce) {
    window->tree().select({Node::Page, 0, 0});
    window->addPage();
    window->addPage();  // five pages here, unsaved
    {
        Answers keep(QMessageBox::No);
        writeElsewhere(fourPages_);
        window->fileWatch().check();
        window->fileWatch().check();
        ASSERT_EQ(keep.asked.size(), 1u) << "a version is offered once";
        EXPECT_EQ(keep.asked[0].defaultButton, QMessageBox::No) << "unsaved work is at stake";
        EXPECT_TRUE(keep.asked[0].text.contains("not saved")) << keep.asked[0].text.toStdString();
        EXPECT_EQ(pages(), 5u);
        EXPECT_TRUE(window->document().isModified());

        const Bytes original = SampleImage();
        writeElsewhere(std::string(original.begin(), original.end()));
        window->fileWatch().check();
        EXPECT_EQ(keep.asked.size(), 2u) << "a newer version is offered again";
        EXPECT_EQ(pages(), 5u);
    }
    Answers reload(QMessageBox::Yes);
    writeElsewhere(fourPages_);
    window->fileWatch().check();
    EXPECT_EQ(reload.asked.size(), 1u);
    EXPECT_EQ(pages(), 4u) << "the file's version, the unsaved pages gone";
    EXPECT_FALSE(window->document().isModified());
}

TEST_F(FileWatchTest, AFileRemovedIsToldInTheStatusBarAndNotAsked) {
    Answers none(QMessageBox::Yes);
    std::filesystem::remove(sample_);
    window->fileWatch().check();
    EXPECT_TRUE(none.asked.empty());
    EXPECT_TRUE(window->statusBar()->currentMessage().contains("removed"));
    EXPECT_EQ(pages(), 3u);
}

TEST_F(FileWatchTest, TheWindowsOwnSaveIsNotAChangeByAnotherProgram) {
    Answers none(QMessageBox::Yes);
    window->tree().select({Node::Page, 0, 0});
    window->addPage();
    ASSERT_TRUE(window->save());
    window->fileWatch().check();
    EXPECT_TRUE(none.asked.empty());
}

}  // namespace
}  // namespace kestra::workbench::testing
