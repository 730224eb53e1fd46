// The Build menu's work on the sample project: the check, the panel image, the PLC list as a
// PDF file (read back with pdftotext) and in the print preview, the simulated card, and the
// job runner's progress dialog.
#include "workbench/jobs/build_jobs.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QProgressBar>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "card_service/kes_ssfdc_device.h"
#include "devices/card_lock.h"
#include "hosted_test_support.h"
#include "kestra/card.h"
#include "kestra/panel_compare.h"
#include "workbench/jobs/build_runner.h"

namespace kestra::workbench::testing {
namespace {

class BuildJobs : public HostedTest {
  protected:
    // The card's project file, read by a new device as the next program run would.
    host::Bytes cardProjectFile() {
        CKesSSFDCDevice device((platform::ProgramFolder() + "/").c_str());
        device.initSSFDC(host::kDefaultCardPort);
        const std::string file = folder.file("from-card");
        try {
            device.UploadFile(file.c_str(), card::kProjectType, 0);
        } catch (CSSFDCLibException* error) {
            ADD_FAILURE() << error->m_Report;
            error->Delete();
            return {};
        }
        return host::ReadInput(file);
    }
    // Runs `send`, and closes the window with the card's contents that it opens afterwards;
    // the window's text.
    std::string closingContents(const std::function<bool()>& send, bool* result) {
        std::string text;
        bool closed = false;
        QTimer waiter;
        QObject::connect(&waiter, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* contents = dialog ? dialog->findChild<QPlainTextEdit*>() : nullptr;
            if (!contents) return;
            text = contents->toPlainText().toStdString();
            closed = true;
            dialog->reject();
        });
        waiter.start(0);
        *result = send();
        waiter.stop();
        EXPECT_EQ(closed, *result);
        return text;
    }
};

TEST_F(BuildJobs, CheckReportsTheProjectAsKestraCheckDoes) {
    const auto report = CheckProject(&window, project, "sample.kpr", &*driver);
    ASSERT_TRUE(report.has_value());
    EXPECT_TRUE(told.empty());
    // The sample has no panel setup: the generic model's 4 x 20 display stands in, and its
    // fields below the fourth row only earn warnings.
    EXPECT_EQ(report->errors(), 0u) << report->firstErrors();
    EXPECT_EQ(report->summary("sample.kpr"), "sample.kpr: sound with " +
                                                 std::to_string(report->warnings()) +
                                                 " warnings (3 pages, 20 fields)");
}

TEST_F(BuildJobs, ChecksAndPanelImagesLeaveNoLoadedCopyBehind) {
    const std::string path = folder.file("sample.img");
    ASSERT_TRUE(CheckProject(&window, project, "sample.kpr", &*driver));  // loads the libraries
    ASSERT_EQ(SavePanelImage(&window, project, *driver, "sample.kpr", path), path);
    const std::size_t before = mem::LiveBlocks(mem::Kind::Host);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(CheckProject(&window, project, "sample.kpr", &*driver));
        EXPECT_EQ(SavePanelImage(&window, project, *driver, "sample.kpr", path), path);
    }
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Host), before);
}

TEST_F(BuildJobs, PanelImageIsReadBackComparedAndWritten) {
    const std::string path = folder.file("sample.img");
    EXPECT_EQ(SavePanelImage(&window, project, *driver, "sample.kpr", path), path);
    const host::Bytes written = host::ReadInput(path);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "Panel Image: " + path + ": a panel image of " +
                           std::to_string(written.size()) +
                           " bytes built by K32PLC1.so; read back, it carries the project");
    const LoadedProject back = driver->readPanelImage("written", written);
    EXPECT_EQ(host::CompareReadBack(block(), back.block()), std::nullopt);
}

TEST_F(BuildJobs, PanelImageAndSendToCardRefuseAProjectWithErrors) {
    FieldAt(block(), {2, 1}).plc.dataFormat = 13;  // WORD(BCD) on a NUMERIC field
    const std::string path = folder.file("refused.img");
    EXPECT_EQ(SavePanelImage(&window, project, *driver, "sample.kpr", path), "");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(SendToCard(&window, project, *driver, "sample.kpr", "sample.kpr"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("card.img"))) << "the card was not touched";
    const std::string error =
        "page 3, field 2 (no. 16): data format 13 (WORD(BCD)) is refused by the driver for a "
        "NUMERIC field of class 2 (PLC data). Build > Check Project lists them all.";
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Panel Image: sample.kpr: the project has 1 error, so no panel image "
                        "is built: " + error,
                        "Send to Card: sample.kpr: the project has 1 error, so nothing is "
                        "sent: " + error}));
}

TEST_F(BuildJobs, PanelImageThatCannotBeWrittenLeavesNothingAndIsTold) {
    const std::string path = folder.file("missing/sample.img");
    EXPECT_EQ(SavePanelImage(&window, project, *driver, "sample.kpr", path), "");
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Panel Image: " + path + ": cannot be written", 0), 0u) << told[0];
}

TEST_F(BuildJobs, PlcListPdfReadsBackWithTheDriversLines) {
    const std::string pdf = folder.file("plc-list.pdf");
    EXPECT_TRUE(SavePlcListPdf(&window, project, *driver, pdf));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Print PLC List: " + pdf + ": 1 page, 20 field lines", 0), 0u)
        << told[0];
    QProcess text;
    text.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(text.waitForFinished(60000));
    const std::string lines = text.readAllStandardOutput().toStdString();
    for (const char* expected : {"PLC slave address   10", "PLC model           AG90/100/115/135",
                                 "Num Row Col Type |Node|Slave", "DB10 DW5", "DB255 DW255"})
        EXPECT_NE(lines.find(expected), std::string::npos) << expected << "\n" << lines;
}

TEST_F(BuildJobs, PrintPreviewShowsThePages) {
    int pages = 0;
    QTimer::singleShot(0, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(preview, nullptr);
        auto* widget = preview->findChild<QPrintPreviewWidget*>();
        ASSERT_NE(widget, nullptr);
        pages = widget->pageCount();
        preview->reject();
    });
    PreviewPlcList(&window, project, *driver);
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(told.empty());
}

// At 800x600 the tool bar hides its last buttons; the File menu keeps them in reach.
TEST_F(BuildJobs, ThePreviewsFileMenuSavesAPdfAtAnySize) {
    const std::string pdf = folder.file("list.pdf");
    QStringList commands;
    QTimer::singleShot(0, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(preview, nullptr);
        preview->resize(800, 600);
        auto* bar = preview->findChild<QMenuBar*>();
        ASSERT_NE(bar, nullptr);
        ASSERT_EQ(bar->actions().size(), 1);
        EXPECT_EQ(bar->actions()[0]->text(), "&File");
        QAction* save = nullptr;
        for (QAction* action : bar->actions()[0]->menu()->actions()) {
            if (action->isSeparator()) continue;
            commands.append(action->text() + " " + action->shortcut().toString());
            if (action->text() == "Save as &PDF...") save = action;
        }
        ASSERT_NE(save, nullptr);
        QTimer::singleShot(0, [&] {  // the save dialog: a name without ".pdf"
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(QString::fromStdString(folder.file("list")));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        save->trigger();
        preview->reject();
    });
    PreviewPlcList(&window, project, *driver);
    EXPECT_EQ(commands.join(", ").toStdString(),
              "&Print... Ctrl+P, Save as &PDF... Ctrl+S, &Close Ctrl+W");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Print PLC List: " + pdf + ": ", 0), 0u) << told[0];
}

TEST_F(BuildJobs, SendToAnUnformattedCardFormatsItWhenAllowedAndListsTheCardAfter) {
    answers = {IDYES};  // format the new card
    bool sent = false;
    const std::string contents = closingContents(
        [&] { return SendToCard(&window, project, *driver, "sample", "sample.kpr"); }, &sent);
    EXPECT_TRUE(sent);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              "Send to Card: The card in the reader is not formatted. Format it now? "
              "Everything on it is lost.");
    EXPECT_NE(contents.find("sample.kpr"), std::string::npos) << contents;
    const host::Bytes onCard = cardProjectFile();
    const LoadedProject back = driver->readPanelImage("the card's file", onCard);
    EXPECT_EQ(host::CompareReadBack(block(), back.block()), std::nullopt);
}

TEST_F(BuildJobs, SendDeclinedToFormatLeavesTheCardAlone) {
    // No, and Enter on the question: formatting is never what happens by default.
    for (const auto& answer : {std::deque<int>{IDNO}, std::deque<int>{}}) {
        answers = answer;
        bool sent = true;
        closingContents(
            [&] { return SendToCard(&window, project, *driver, "sample", "sample.kpr"); }, &sent);
        EXPECT_FALSE(sent);
        CKesSSFDCDevice device((platform::ProgramFolder() + "/").c_str());
        device.initSSFDC(host::kDefaultCardPort);
        EXPECT_FALSE(device.IsFormatted()) << (answer.empty() ? "Enter" : "No");
    }
}

TEST_F(BuildJobs, CardContentsOfAnUnformattedCardIsTold) {
    EXPECT_FALSE(ShowCardContents(&window));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              "Card Contents: card list: the card is not formatted (Send to Card formats it)");
}

TEST_F(BuildJobs, CardContentsListTheProjectFileSent) {
    answers = {IDYES};
    bool sent = false;
    closingContents([&] { return SendToCard(&window, project, *driver, "sample", "tank.kpr"); },
                    &sent);
    ASSERT_TRUE(sent);
    bool shown = false;
    const std::string contents = closingContents([&] { return ShowCardContents(&window); }, &shown);
    EXPECT_TRUE(shown);
    EXPECT_NE(contents.find("tank.kpr"), std::string::npos) << contents;
}

TEST_F(BuildJobs, CardFileNameThatCannotBeIsToldBeforeAnythingIsDone) {
    EXPECT_FALSE(SendToCard(&window, project, *driver, "sample", "a/b"));
    EXPECT_EQ(told, std::vector<std::string>{
                        "Send to Card: card send: \"a/b\" cannot be a file name on the card"});
}

TEST_F(BuildJobs, ACardAnotherProgramHasIsToldAndMayBeTriedAgain) {
    answers = {IDYES};
    bool done = false;
    closingContents([&] { return SendToCard(&window, project, *driver, "sample", "first.kpr"); },
                    &done);
    ASSERT_TRUE(done);
    told.clear();
    platform::CardLock other =
        platform::CardLock::Take(folder.file("card.img"), platform::CardUse::Read);

    // The contents are read beside another program that reads the card.
    const std::string contents = closingContents([&] { return ShowCardContents(&window); }, &done);
    EXPECT_TRUE(done);
    EXPECT_NE(contents.find("first.kpr"), std::string::npos) << contents;
    EXPECT_TRUE(told.empty());

    // A send waits for it: No gives up and leaves the card as it was.
    answers = {IDNO};
    EXPECT_FALSE(SendToCard(&window, project, *driver, "sample", "second.kpr"));
    EXPECT_EQ(told, (std::vector<std::string>{
                        "Send to Card: The SSFDC card is in use by another program.\n\nTry "
                        "again now?",
                        "Send to Card: card send: The SSFDC card is in use by another program. "
                        "(card error 4124)"}));

    // Yes, once the other program is done, sends it.
    told.clear();
    const auto fixture = platform::SetMessageBoxPresenter(
        [&](HWND, std::string_view text, std::string_view caption, UINT) {
            told.push_back(std::string(caption) + ": " + std::string(text));
            other.release();
            return IDYES;
        });
    closingContents([&] { return SendToCard(&window, project, *driver, "sample", "second.kpr"); },
                    &done);
    platform::SetMessageBoxPresenter(fixture);
    EXPECT_TRUE(done);
    EXPECT_EQ(told.size(), 1u);
    EXPECT_NE(cardProjectFile(), host::Bytes{});
}

// --- the job runner --------------------------------------------------------------------------

// Work that goes on until the user cancels: the dialog shows, its Cancel stops the work.
TEST_F(BuildJobs, JobDialogShowsProgressAndItsCancelReachesTheWork) {
    std::atomic<bool> cancelled = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        auto* bar = dialog->findChild<QProgressBar*>();
        if (!bar || bar->maximum() == 0 || bar->value() != bar->maximum() / 2) return;
        for (auto* button : dialog->findChildren<QPushButton*>())
            if (button->text() == "Cancel" && button->isVisible()) button->click();
    });
    clicker.start(0);
    RunJob(&window, "Long work", [&](JobProgress& progress) {
        progress.allowCancel(true);
        progress.advance(50, 100);
        while (!progress.cancelRequested()) std::this_thread::yield();
        cancelled = true;
    });
    clicker.stop();
    EXPECT_TRUE(cancelled);
}

TEST_F(BuildJobs, JobFailureComesBackWithWhatTheLibrariesSaid) {
    try {
        RunJob(&window, "Failing work", [](JobProgress&) {
            MessageBox(nullptr, "the library's own words", "caption", MB_OK);
            host::Fail(host::kExitDriverFailed, "it failed");
        });
        FAIL() << "no failure";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.code, host::kExitDriverFailed);
        EXPECT_EQ(failure.message, "it failed (the library said: the library's own words)");
    }
    EXPECT_TRUE(told.empty()) << "the library's message box was not shown";
}

}  // namespace
}  // namespace kestra::workbench::testing
