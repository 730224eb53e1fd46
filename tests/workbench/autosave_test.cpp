// Autosaved copies: written while there is unsaved work, removed when there is none, and after
// a workbench was killed, offered at the next start and restored.
#include "workbench/document/autosave.h"

#include <QDir>
#include <csignal>
#include <cstdlib>

#include "card_loader/run_program.h"
#include "workbench/window/main_window.h"
#include "workbench/document/project_pages.h"
#include "workbench/window/user_folders.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

constexpr const char* kChildRole = "KESTRA_WORKBENCH_TEST_CHILD";

QStringList Copies() {
    return QDir(AutosaveFolder()).entryList({"*.kpr"}, QDir::Files);
}

class Autosaving : public WorkbenchTest {};

TEST_F(Autosaving, ACopyIsKeptOnlyWhileThereIsUnsavedWork) {
    auto* window = new MainWindow;
    ASSERT_TRUE(window->openFile(sample()));
    window->autosaveNow();
    EXPECT_TRUE(Copies().isEmpty()) << "nothing unsaved";
    window->tree().select({ProjectTree::Node::Page, 0, 0});
    window->addPage();
    window->autosaveNow();
    ASSERT_EQ(Copies().size(), 1);
    // The copy is the project as it is now.
    ProjectDocument copy;
    copy.recover(*Autosave::Read({window->autosave().imagePath(), {}, {}, nullptr}), {});
    EXPECT_EQ(Pages(copy.block()).size(), 4u);
    // A running window's copy is not left over.
    EXPECT_TRUE(Autosave::Leftovers().empty());
    // Saved: the copy goes.
    EXPECT_TRUE(window->save());
    EXPECT_TRUE(Copies().isEmpty());
    window->addPage();
    window->autosaveNow();
    EXPECT_EQ(Copies().size(), 1);
    // Undone back to what was saved: the copy goes too.
    window->document().undoStack().undo();
    EXPECT_TRUE(Copies().isEmpty());
    window->close();
}

// Runs in a process of its own, started by the test below with its folders: makes an unsaved
// change, lets it be autosaved, and is killed.
TEST(AutosavingChild, ChangesAutosavesAndIsKilled) {
    const char* project = std::getenv(kChildRole);
    if (!project) GTEST_SKIP() << "runs as the child of the killed-workbench test";
    kestra::testing::OffscreenApplication();
    host::StartHost();
    auto* window = new MainWindow;
    ASSERT_TRUE(window->openFile(QString::fromLocal8Bit(project)));
    window->tree().select({ProjectTree::Node::Page, 0, 0});
    window->addPage();
    window->autosaveNow();
    std::raise(SIGKILL);
}

TEST_F(Autosaving, AKilledWorkbenchsCopyIsOfferedAndRestoresTheUnsavedChange) {
    const kestra::testing::ProgramRun child =
        kestra::testing::RunProgram("workbench_tests", {"--gtest_filter=AutosavingChild.*"},
                                    {{kChildRole, sample_},
                                     {"XDG_CONFIG_HOME", file("config")},
                                     {"XDG_DATA_HOME", file("data")},
                                     {"KESTRA_REGISTRY", file("config/registry.reg")},
                                     {"QT_QPA_PLATFORM", "offscreen"}});
    ASSERT_EQ(child.exitCode, 128 + SIGKILL) << child.out << child.err;
    ASSERT_EQ(Copies().size(), 1);

    std::vector<Question> asked;
    SetAnswerer([&](const Question& question) {
        asked.push_back(question);
        return QMessageBox::Yes;  // Restore
    });
    auto* window = new MainWindow;
    window->show();
    EXPECT_EQ(window->offerLeftovers(), 1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].text.contains("sample.kpr")) << asked[0].text.toStdString();
    ProjectDocument& restored = window->document();
    ASSERT_TRUE(restored.hasProject());
    EXPECT_EQ(Pages(restored.block()).size(), 4u) << "the unsaved page is back";
    EXPECT_EQ(restored.path(), sample());
    EXPECT_TRUE(restored.isModified());
    // The old copy is gone; the restored project has a copy of its own.
    EXPECT_EQ(Copies().size(), 1);
    EXPECT_TRUE(Autosave::Leftovers().empty());
    EXPECT_EQ(window->offerLeftovers(), 0);
    restored.undoStack().setClean();
    window->close();
}

TEST_F(Autosaving, ACopyKeptForLaterIsOfferedAgainAndADiscardedOneIsGone) {
    {
        Autosave crashed;
        ASSERT_TRUE(crashed.write(SampleImage(), sample()));
        // It ends without removing its copy, as a crash would: the files stay unlocked.
        std::filesystem::copy(crashed.imagePath().toStdString(), file("kept.kpr"));
    }
    std::filesystem::copy(file("kept.kpr"), AutosaveFolder().toStdString() + "/left.kpr");
    auto* window = new MainWindow;
    for (auto answer : {QMessageBox::Ignore, QMessageBox::Discard}) {
        std::vector<Question> asked;
        SetAnswerer([&](const Question& question) {
            asked.push_back(question);
            return answer;
        });
        EXPECT_EQ(window->offerLeftovers(), 0);
        EXPECT_EQ(asked.size(), 1u);
    }
    EXPECT_TRUE(Copies().isEmpty());
    EXPECT_FALSE(window->document().hasProject());
    window->close();
}

}  // namespace
}  // namespace kestra::workbench::testing
