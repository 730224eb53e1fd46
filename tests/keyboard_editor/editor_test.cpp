// The editing window end to end, offscreen: placing keys and value boxes, property sheets,
// undo of grid changes, the clipboard, the ROM export, the download to the simulated card, the
// card files dialog, and what "cardload /dump" then shows; the windows' titles, places, icons
// and keys, the Help menu, and where the program's own files go. With CLAVON_SCREENSHOTS set
// to a folder, every window and dialog is also saved there as a picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <future>
#include <thread>

#include "../card_loader/run_program.h"
#include "devices/card_reader.h"
#include "devices/ports.h"
#include "keyboard_editor/app_icons.h"
#include "keyboard_editor/child_frame.h"
#include "keyboard_editor/download_dialogs.h"
#include "keyboard_editor/help_viewer.h"
#include "keyboard_editor/main_frame.h"
#include "keyboard_editor/message_boxes.h"
#include "keyboard_editor/model_sheet.h"
#include "keyboard_editor/symbol_sheets.h"
#include "keyboard_support.h"
#include "support/card_reader_scope.h"

namespace clavon {
namespace {

using kestra::testing::EnvironmentScope;
using kestra::testing::TempFolder;
using testing::MessageLog;

class QtWidgetsEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "Clavon";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setOrganizationName("Tarvel R&D");
        QApplication::setApplicationName("Clavon");
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings_.path()));
    }
    void TearDown() override { app_.reset(); }

  private:
    TempFolder settings_;
    std::unique_ptr<QApplication> app_;
};
const ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtWidgetsEnvironment);

// Saves a picture of a widget when screenshots are asked for.
void Shot(QWidget& widget, const char* name) {
    const char* folder = std::getenv("CLAVON_SCREENSHOTS");
    if (!folder) return;
    widget.show();
    QApplication::processEvents();
    QTest::qWait(50);
    widget.grab().save(QString("%1/%2.png").arg(folder, name));
}

// Ports that hold every access from another thread than the test's until released: a
// transfer that lasts as long as the test wants.
class GatedPorts : public kestra::platform::PortIo {
  public:
    BYTE in(WORD port) override {
        Hold();
        return kestra::platform::ConfiguredPorts().in(port);
    }
    void out(WORD port, BYTE value) override {
        Hold();
        kestra::platform::ConfiguredPorts().out(port, value);
    }
    void Release() { open_.set_value(); }

  private:
    void Hold() {
        if (std::this_thread::get_id() != owner_) gate_.wait();
    }
    std::thread::id owner_ = std::this_thread::get_id();
    std::promise<void> open_;
    std::shared_future<void> gate_ = open_.get_future().share();
};

// The modification time of a file, or nothing when it is not there.
std::optional<std::filesystem::file_time_type> Written(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    return time;
}

class Editor : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::current_path(folder.path());
        ASSERT_EQ(Cardload({"/format"}).exitCode, 0);
        frame.show();
        child = frame.NewDocument();
        ASSERT_TRUE(child);
        Quiet(*child);
    }
    // The card's pauses are counted, not waited for.
    void Quiet(CChildFrame& window) {
        window.Controller().Manager().SetPause(
            [this](int milliseconds) { pauses.push_back(milliseconds); });
    }
    void TearDown() override {
        child->Controller().Manager().Wait();
        QApplication::processEvents();
        for (QMdiSubWindow* sub : frame.Area()->subWindowList()) {
            auto* c = qobject_cast<CChildFrame*>(sub->widget());
            c->Doc().UndoStack().setClean();
        }
        std::filesystem::current_path("/");
    }
    kestra::testing::ProgramRun Cardload(const std::vector<std::string>& arguments) {
        if (auto card = kestra::platform::ConfiguredSimCard()) card->flush();
        return kestra::testing::RunProgram("cardload", arguments,
                                           {{"KESTRA_WINDIR", folder.path()},
                                            {"KESTRA_CARD_READER", "sim"},
                                            {"KESTRA_SIM_CARD", folder.file("card.img")},
                                            {"DISPLAY", std::nullopt},
                                            {"QT_QPA_PLATFORM", std::nullopt}});
    }
    CClavonController& Controller() { return child->Controller(); }
    CClavonModel& Model() { return child->Doc().Model(); }
    void Click(QPointF panelPos) {
        CClavonView& view = child->View();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.mapFromScene(panelPos));
    }
    // Answers the next dialogs with `answer`, which returns the dialog's result.
    void Answer(std::function<int(QDialog&)> answer) { Controller().runDialog = std::move(answer); }

    TempFolder folder;  // the current folder and the Windows folder
    TempFolder home;    // the user's own folders
    EnvironmentScope cacheHome{"XDG_CACHE_HOME", home.file("cache")};
    EnvironmentScope dataHome{"XDG_DATA_HOME", home.file("data")};
    kestra::testing::WindowsFolderScope windows{folder.path()};
    EnvironmentScope reader{kestra::platform::kCardReaderVariable, std::string("sim")};
    EnvironmentScope card{kestra::platform::kSimCardVariable, folder.file("card.img")};
    MessageLog messages;
    CMainFrame frame;
    CChildFrame* child = nullptr;
    std::vector<int> pauses;
};

TEST_F(Editor, NewKeyboardToCardAndBack) {
    // A click at (13, 25) places the new key at (16, 32) on the 8 x 16 grid.
    frame.Action(ID_BUTTON)->trigger();
    Click({13, 25});
    ASSERT_EQ(Model().ComponentCount(), 1);
    EXPECT_EQ(Model().Symbols()[0]->SnappedRect(), (PanelRect{16, 32, 64, 64}));
    EXPECT_EQ(Controller().SelectionText().toStdString(), "x:16 y:32 w:48 h:32");
    EXPECT_EQ(frame.SelectionPane()->text().toStdString(), "x:16 y:32 w:48 h:32");
    QTest::mouseMove(child->View().viewport(), child->View().mapFromScene(QPointF(100, 50)));
    EXPECT_EQ(frame.PointerPane()->text().toStdString(), "x:100 y:50");

    Click({300, 300});  // no placing without the command
    EXPECT_EQ(Model().ComponentCount(), 1);
    EXPECT_FALSE(Controller().Place(SymbolKind::Button, {600, 380}));
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Out of bounds!"});
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {64, 32}));
    frame.Action(ID_VALUE)->trigger();
    Click({17, 70});
    ASSERT_EQ(Model().ComponentCount(), 3);
    EXPECT_EQ(Model().Symbols()[2]->Kind(), SymbolKind::Value);
    EXPECT_EQ(Model().Symbols()[2]->SnappedRect(), (PanelRect{16, 64, 64, 96}));

    // The key's sheet: a label, a key code picked from "KeyCodes.txt".
    child->View().Select({0});
    Answer([](QDialog& dialog) {
        auto* page = dialog.findChild<CKesButtonPPGeneral*>();
        page->label->setText("Esc");
        const auto items = page->codeList->findItems("Esc", Qt::MatchExactly);
        page->codeList->setCurrentItem(items.front());
        EXPECT_EQ(page->codeText->text().toStdString(), "27");
        Shot(dialog, "key-sheet");
        return QDialog::Accepted;
    });
    QTest::mouseDClick(child->View().viewport(), Qt::LeftButton, {},
                       child->View().mapFromScene(QPointF(30, 40)));
    EXPECT_EQ(Model().Symbols()[0]->Properties().Text(CKesButton::kLabel), "Esc");
    EXPECT_EQ(Model().Symbols()[0]->Properties().Int(CKesButton::kKeyCode), 27);

    child->View().Select({2});
    Answer([](QDialog& dialog) {
        auto* page = dialog.findChild<CSymValuePPGeneral*>();
        page->type->setCurrentIndex(3);
        Shot(dialog, "value-sheet");
        return QDialog::Accepted;
    });
    Controller().SymbolProperties();
    EXPECT_EQ(Model().Symbols()[2]->Properties().Int(CSymValue::kType), 3);

    // The keyboard's sheet: its name and the second associated field.
    Answer([](QDialog& dialog) {
        auto& sheet = static_cast<CModelSheet&>(dialog);
        sheet.name->setText("Numbers");
        sheet.fieldList->item(1)->setCheckState(Qt::Checked);
        Shot(dialog, "model-general");
        sheet.Tabs()->setCurrentIndex(1);
        Shot(dialog, "model-background");
        sheet.Tabs()->setCurrentIndex(2);
        Shot(dialog, "model-panel");
        return QDialog::Accepted;
    });
    frame.Action(ID_KEYBOARD)->trigger();
    EXPECT_EQ(Model().Text(kName), "Numbers");
    EXPECT_EQ(Model().Int(kFieldMask), 3);
    child->View().Select({});
    Shot(frame, "main-window");

    // Export To ROM.
    Controller().askRomPath = [&] { return std::optional<std::string>(folder.file("pad.rom")); };
    ASSERT_TRUE(Controller().ExportToRom());
    EXPECT_TRUE(std::filesystem::exists(folder.file("pad.rom")));

    // Download ROM: a new file gets the first free subtype.
    Answer([](QDialog& dialog) {
        auto& download = static_cast<CSubtypeDlg&>(dialog);
        EXPECT_TRUE(download.newFile->isChecked());
        EXPECT_FALSE(download.existing->isEnabled());
        Shot(dialog, "download");
        return QDialog::Accepted;
    });
    // The program's own files go to the user's cache folder, never to the program folder
    // (an installed one is not the user's to write) nor to the current folder.
    const std::string program = kestra::platform::ProgramFolder();
    const auto programTable = Written(program + "/SSFDCProps.bin");
    const auto programImage = Written(program + "/download.rom");
    QSignalSpy ended(&Controller(), &CClavonController::transferChanged);
    frame.Action(ID_DOWNLOAD_ROM)->trigger();
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_TRUE(frame.Action(ID_APP_EXIT)->isEnabled());
    EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(),
              "The keyboard has been sent to the SSFDC card (subtype 1).");
    EXPECT_TRUE(std::filesystem::exists(home.file("cache/kestra/download.rom")));
    EXPECT_TRUE(std::filesystem::exists(home.file("cache/kestra/SSFDCProps.bin")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("download.rom")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("SSFDCProps.bin")));
    EXPECT_EQ(Written(program + "/SSFDCProps.bin"), programTable);
    EXPECT_EQ(Written(program + "/download.rom"), programImage);
    EXPECT_EQ(pauses, (std::vector<int>{100, 100}));
    kestra::testing::ProgramRun dump = Cardload({"/dump", ""});
    EXPECT_NE(dump.out.find("Numbers"), std::string::npos) << dump.out << dump.err;

    // Downloading again, over the existing keyboard: its fields are shown, its subtype kept.
    Answer([](QDialog& dialog) {
        auto& download = static_cast<CSubtypeDlg&>(dialog);
        download.newFile->setChecked(false);
        download.existing->setCurrentRow(0);
        EXPECT_EQ(download.fieldList->item(0)->checkState(), Qt::Checked);
        EXPECT_EQ(download.fieldList->item(1)->checkState(), Qt::Checked);
        EXPECT_EQ(download.fieldList->item(2)->checkState(), Qt::Unchecked);
        EXPECT_EQ(download.Subtype(), 1);
        return QDialog::Accepted;
    });
    Controller().DownloadRom();
    ASSERT_TRUE(ended.wait(60000));

    // "SSFDC files": the keyboard is listed, deleted, and gone.
    Answer([this](QDialog& dialog) {
        auto& files = static_cast<CSSFDCFilesDlg&>(dialog);
        EXPECT_EQ(files.tree->topLevelItemCount(), 1);
        QTreeWidgetItem* group = files.tree->topLevelItem(0);
        EXPECT_EQ(group->text(0).toStdString(), "Keyboards");
        EXPECT_EQ(group->childCount(), 1);
        EXPECT_EQ(group->child(0)->text(0).toStdString(), "Numbers");
        files.tree->setCurrentItem(group);
        EXPECT_FALSE(files.deleteButton->isEnabled());
        files.tree->setCurrentItem(group->child(0));
        EXPECT_TRUE(files.deleteButton->isEnabled());
        Shot(dialog, "ssfdc-files");
        // A question first; "No" keeps the file.
        messages.answers = {IDNO};
        files.deleteButton->click();
        EXPECT_EQ(files.tree->topLevelItemCount(), 1);
        messages.answers = {IDYES};
        files.deleteButton->click();
        EXPECT_EQ(files.tree->topLevelItemCount(), 0);
        files.closeButton->click();
        return dialog.result();
    });
    frame.Action(ID_SSFDC)->trigger();
    dump = Cardload({"/dump", ""});
    EXPECT_EQ(dump.out.find("Numbers"), std::string::npos);
    const std::string question =
        "Delete the keyboard \"Numbers\" from the SSFDC card?\n\nA deleted file cannot be "
        "brought back.";
    EXPECT_EQ(messages.texts, (std::vector<std::string>{"Out of bounds!", question, question}));
    EXPECT_EQ(messages.types[1], MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
}

TEST_F(Editor, UndoOfAGridChangeAndOfAPanelThatIsTooSmall) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    ASSERT_TRUE(Controller().Place(SymbolKind::Value, {64, 64}));
    auto setGrid = [&](int w, int h, int panelW) {
        Answer([=](QDialog& dialog) {
            auto& sheet = static_cast<CModelSheet&>(dialog);
            sheet.gridWidth->setValue(w);
            sheet.gridHeight->setValue(h);
            sheet.panelWidth->setValue(panelW);
            return QDialog::Accepted;
        });
        Controller().ModelProperties();
    };
    setGrid(16, 16, 640);
    EXPECT_EQ(Model().Symbols()[0]->SnappedRect(), (PanelRect{32, 32, 128, 64}));
    EXPECT_EQ(Model().Symbols()[1]->SnappedX(), 128);
    frame.Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Model().GridWidth(), 8);
    EXPECT_EQ(Model().Symbols()[0]->SnappedRect(), (PanelRect{16, 32, 64, 64}));
    EXPECT_EQ(Model().Symbols()[1]->SnappedX(), 64);
    frame.Action(ID_EDIT_REDO)->trigger();
    EXPECT_EQ(Model().GridWidth(), 16);
    EXPECT_EQ(Model().Symbols()[0]->SnappedX(), 32);
    frame.Action(ID_EDIT_UNDO)->trigger();

    setGrid(8, 16, 100);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Keyboard too big"});
    EXPECT_EQ(Model().PanelWidth(), 640);
    setGrid(8, 16, 120);
    EXPECT_EQ(Model().PanelWidth(), 120);
    frame.Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Model().PanelWidth(), 640);
}

TEST_F(Editor, ClipboardScalingContextMenusAndStatus) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    ASSERT_TRUE(Controller().Place(SymbolKind::Value, {64, 64}));
    child->View().Select({0});
    frame.Action(ID_EDIT_COPY)->trigger();
    frame.Action(ID_EDIT_PASTE)->trigger();
    ASSERT_EQ(Model().ComponentCount(), 3);
    EXPECT_EQ(Model().Symbols()[2]->SnappedRect(), (PanelRect{24, 48, 72, 80}));
    frame.Action(ID_EDIT_CUT)->trigger();
    EXPECT_EQ(Model().ComponentCount(), 2);
    frame.Action(ID_EDIT_UNDO)->trigger();
    frame.Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Model().ComponentCount(), 2);

    // Menus by selection.
    child->View().Select({0});
    std::unique_ptr<QMenu> menu(Controller().ContextMenu(nullptr));
    EXPECT_EQ(menu->title().toStdString(), "Button Menu");
    EXPECT_EQ(menu->actions().size(), 5);  // Cut, Copy, Paste, a separator, Properties
    child->View().Select({});
    menu.reset(Controller().ContextMenu(nullptr));
    EXPECT_EQ(menu->title().toStdString(), "Model Menu");
    EXPECT_EQ(Controller().SelectionText().toStdString(), "-  -");

    // Scaling two symbols at once is refused; a value box narrowed to 3 columns gets font 1.
    auto geometry = [&] {
        std::map<CODKesSymbol*, QRectF> before;
        for (auto& s : Model().Symbols()) before[s.get()] = QRectF(s->x, s->y, s->width, s->height);
        return before;
    };
    auto before = geometry();
    Model().Symbols()[0]->width = 96;
    Model().Symbols()[1]->width = 96;
    child->View().onGeometryEdit(before, true);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Can not scale more components at once!"});
    EXPECT_EQ(Model().Symbols()[0]->SnappedWidth(), 48);
    Model().Symbols()[1]->Properties().Set(CSymValue::kFontSize, 3);
    before = geometry();
    Model().Symbols()[1]->width = 25;  // 3 columns after snapping
    child->View().onGeometryEdit(before, true);
    EXPECT_EQ(Model().Symbols()[1]->SnappedWidth(), 24);
    EXPECT_EQ(Model().Symbols()[1]->Properties().Int(CSymValue::kFontSize), 1);
    frame.Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Model().Symbols()[1]->SnappedWidth(), 48);
    EXPECT_EQ(Model().Symbols()[1]->Properties().Int(CSymValue::kFontSize), 3);
}

TEST_F(Editor, WhileATransferRunsTheWindowStaysAndEveryCommandComesBackAtItsEnd) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    auto gate = std::make_shared<GatedPorts>();
    kestra::platform::PortScope ports(gate);
    bool released = false;
    auto release = [&] {
        if (!std::exchange(released, true)) gate->Release();
        Controller().Manager().Wait();
    };
    struct Finally {
        std::function<void()> run;
        ~Finally() { run(); }
    } releaseAtTheEnd{release};
    Answer([](QDialog&) { return QDialog::Accepted; });
    Controller().DownloadRom();
    ASSERT_TRUE(Controller().Manager().IsUsed());
    for (int id : {int{ID_APP_EXIT}, int{ID_DOWNLOAD_ROM}, int{ID_SSFDC}})
        EXPECT_FALSE(frame.Action(id)->isEnabled()) << id;
    QMdiSubWindow* window = frame.Area()->subWindowList().front();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Downloading!"});
    EXPECT_EQ(frame.Area()->subWindowList().size(), 1);

    QSignalSpy ended(&Controller(), &CClavonController::transferChanged);
    gate->Release();
    released = true;
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_FALSE(Controller().Manager().IsUsed());
    for (int id : {int{ID_APP_EXIT}, int{ID_DOWNLOAD_ROM}, int{ID_SSFDC}, int{ID_FILE_CLOSE},
                   int{ID_EXPORT_ROM}})
        EXPECT_TRUE(frame.Action(id)->isEnabled()) << id;
    EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(),
              "The keyboard has been sent to the SSFDC card (subtype 1).");
}

TEST_F(Editor, ReplacePutsSymbolsBackWhereTheyWereSaved) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {80, 32}));
    std::string error;
    ASSERT_TRUE(child->Doc().Save(folder.file("pad.kbd"), error)) << error;
    auto move = [&](std::size_t index, double x, double y) {
        std::map<CODKesSymbol*, QRectF> before;
        for (auto& s : Model().Symbols()) before[s.get()] = QRectF(s->x, s->y, s->width, s->height);
        Model().Symbols()[index]->MoveTo(x, y);
        child->View().onGeometryEdit(before, false);
    };
    move(0, 160, 96);
    move(1, 200, 160);
    auto place = [&](std::size_t index) {
        const PanelRect r = Model().Symbols()[index]->SnappedRect();
        return std::pair{r.left, r.top};
    };

    // The selected key goes back; the other stays where it was moved to.
    child->View().Select({0});
    frame.Action(ID_REPLACE)->trigger();
    EXPECT_EQ(place(0), (std::pair{16, 32}));
    EXPECT_EQ(place(1), (std::pair{200, 160}));
    EXPECT_EQ(child->View().SelectedIndexes(), std::vector<int>{0});
    frame.Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(place(0), (std::pair{160, 96}));

    // With nothing selected, every symbol goes back.
    child->View().Select({});
    frame.Action(ID_REPLACE)->trigger();
    EXPECT_EQ(place(0), (std::pair{16, 32}));
    EXPECT_EQ(place(1), (std::pair{80, 32}));

    // A symbol made since the save goes back to where it was made.
    ASSERT_TRUE(Controller().Place(SymbolKind::Value, {16, 128}));
    move(2, 96, 256);
    child->View().Select({2});
    frame.Action(ID_REPLACE)->trigger();
    EXPECT_EQ(place(2), (std::pair{16, 128}));
}

TEST_F(Editor, ArrowKeysMoveTheSelectionOneGridStepAtATime) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {0, 32}));
    ASSERT_TRUE(Controller().Place(SymbolKind::Value, {64, 32}));
    CClavonView& view = child->View();
    const int steps = child->Doc().UndoStack().count();
    view.Select({0, 1});
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(Model().Symbols()[0]->SnappedRect(), (PanelRect{8, 48, 56, 80}));
    EXPECT_EQ(Model().Symbols()[1]->SnappedRect(), (PanelRect{72, 48, 120, 80}));
    EXPECT_EQ(child->Doc().UndoStack().count(), steps + 2) << "one undo step per key";
    frame.Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Model().Symbols()[0]->SnappedRect(), (PanelRect{8, 32, 56, 64}));
    EXPECT_EQ(view.SelectedIndexes(), (std::vector<int>{0, 1}));

    // Nothing leaves the panel: at its left edge the whole selection stays.
    QTest::keyClick(&view, Qt::Key_Left);
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_EQ(Model().Symbols()[0]->SnappedX(), 0);
    EXPECT_EQ(Model().Symbols()[1]->SnappedX(), 64);
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(Model().Symbols()[1]->SnappedY(), 16);
    view.Select({});
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(Model().Symbols()[1]->SnappedX(), 64) << "without a selection the keys scroll";
}

TEST_F(Editor, WindowsAreTitledPlacedInsideTheWorkspaceAndCarryTheProgramsIcon) {
    CChildFrame* second = frame.NewDocument();
    Quiet(*second);
    EXPECT_EQ(child->Doc().Title().toStdString(), "Untitled 1");
    EXPECT_EQ(second->Doc().Title().toStdString(), "Untitled 2");
    EXPECT_EQ(frame.windowTitle().toStdString(), "Untitled 2[*] - Clavon");
    const QRect room = frame.Area()->viewport()->rect();
    ASSERT_EQ(frame.Area()->subWindowList().size(), 2);
    for (QMdiSubWindow* window : frame.Area()->subWindowList())
        EXPECT_TRUE(room.contains(window->geometry())) << window->windowTitle().toStdString();
    EXPECT_NE(frame.Area()->subWindowList()[0]->pos(), frame.Area()->subWindowList()[1]->pos());

    const qint64 icon = ApplicationIcon().cacheKey();
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), icon);
    EXPECT_EQ(frame.windowIcon().cacheKey(), icon);
    EXPECT_EQ(frame.Area()->subWindowList()[1]->windowIcon().cacheKey(), icon);

    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    frame.Area()->setActiveSubWindow(frame.Area()->subWindowList()[0]);
    EXPECT_EQ(frame.windowTitle().toStdString(), "Untitled 1[*] - Clavon");
    EXPECT_TRUE(frame.isWindowModified());
    std::string error;
    ASSERT_TRUE(child->Doc().Save(folder.file("pad.kbd"), error));
    EXPECT_EQ(frame.windowTitle().toStdString(), "pad.kbd[*] - Clavon");
    EXPECT_FALSE(frame.isWindowModified());

    // Keys of the File menu.
    using Keys = QList<QKeySequence>;
    EXPECT_EQ(frame.Action(ID_FILE_SAVE_AS)->shortcuts(), Keys{QKeySequence("Ctrl+Shift+S")});
    EXPECT_EQ(frame.Action(ID_FILE_CLOSE)->shortcuts(),
              (Keys{QKeySequence("Ctrl+W"), QKeySequence("Ctrl+F4")}));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(frame.Area()->activeSubWindow()->widget(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(frame.Area()->subWindowList().size(), 1);
    EXPECT_EQ(frame.windowTitle().toStdString(), "Untitled 2[*] - Clavon");
    QTest::keyClick(frame.Area()->activeSubWindow()->widget(), Qt::Key_F4, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(frame.Area()->subWindowList().isEmpty());
    EXPECT_EQ(frame.windowTitle().toStdString(), "Clavon");
    child = frame.NewDocument();
    Quiet(*child);
    EXPECT_EQ(child->Doc().Title().toStdString(), "Untitled 3");

    // The toolbar shows icons; each says what it does.
    auto* toolbar = frame.findChild<QToolBar*>("Standard");
    ASSERT_TRUE(toolbar);
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator()) continue;
        EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
        EXPECT_TRUE(action->toolTip().startsWith(action->iconText()))
            << action->toolTip().toStdString();
    }
    EXPECT_EQ(frame.Action(ID_FILE_SAVE)->toolTip().toStdString(), "Save (Ctrl+S)");
    Shot(frame, "main-window-icons");
}

TEST(EditorKeys, CtrlQEndsTheProgramAsTheFileMenusExitDoes) {
    CMainFrame frame;
    frame.show();
    EXPECT_EQ(frame.Action(ID_APP_EXIT)->toolTip().toStdString(), "Exit (Ctrl+Q)");
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(Editor, F1ShowsTheGuideShippedWithTheProgram) {
    EXPECT_EQ(frame.Action(ID_HELP_FINDER)->shortcuts(), QList<QKeySequence>{QKeySequence("F1")});
    frame.Action(ID_HELP_FINDER)->trigger();
    auto* viewer = frame.findChild<CHelpViewer*>();
    ASSERT_TRUE(viewer);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle().toStdString(), "Clavon Help");
    const QString guide = viewer->Browser()->toPlainText();
    EXPECT_TRUE(guide.startsWith("Clavon, the keyboard editor")) << guide.left(80).toStdString();
    EXPECT_TRUE(guide.contains("SSFDCProps.bin"));
    frame.Action(ID_HELP_FINDER)->trigger();
    EXPECT_EQ(frame.findChildren<CHelpViewer*>().size(), 1) << "one viewer, raised again";
    Shot(*viewer, "help-viewer");
    EXPECT_TRUE(AboutText().contains("Clavon " CLAVON_TEST_VERSION));
    // Help needs no document.
    for (QMdiSubWindow* window : frame.Area()->subWindowList()) window->close();
    QApplication::processEvents();
    EXPECT_TRUE(frame.Action(ID_HELP_FINDER)->isEnabled());
    EXPECT_TRUE(frame.Action(ID_APP_ABOUT)->isEnabled());
    child = frame.NewDocument();
}

// Every label of a form ends with a colon.
void ExpectColons(QWidget& dialog) {
    for (QFormLayout* form : dialog.findChildren<QFormLayout*>())
        for (int row = 0; row < form->rowCount(); ++row) {
            QLayoutItem* item = form->itemAt(row, QFormLayout::LabelRole);
            auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
            if (label && !label->text().isEmpty())
                EXPECT_TRUE(label->text().endsWith(':')) << label->text().toStdString();
        }
}

TEST_F(Editor, SheetsLabelTheirFieldsAndShowColoursAsPeopleWriteThem) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    ASSERT_TRUE(Controller().Place(SymbolKind::Value, {16, 64}));
    CModelSheet sheet(Model(), {"Speed"}, {});
    ExpectColons(sheet);
    EXPECT_EQ(sheet.backColour->currentText().toStdString(), "#FFFFFF");
    EXPECT_EQ(sheet.face->currentText().toStdString(), "#C0C0C0");
    // The frame's colours follow the border.
    ASSERT_FALSE(sheet.border->isChecked());
    auto* form = sheet.face->parentWidget()->findChild<QFormLayout*>();
    ASSERT_TRUE(form);
    for (QWidget* chooser : {static_cast<QWidget*>(sheet.face), static_cast<QWidget*>(sheet.shadow),
                             static_cast<QWidget*>(sheet.line)}) {
        EXPECT_FALSE(chooser->isEnabled());
        EXPECT_FALSE(form->labelForField(chooser)->isEnabled());
    }
    sheet.border->setChecked(true);
    for (QWidget* chooser : {static_cast<QWidget*>(sheet.face), static_cast<QWidget*>(sheet.shadow),
                             static_cast<QWidget*>(sheet.line)})
        EXPECT_TRUE(chooser->isEnabled());
    sheet.Tabs()->setCurrentIndex(1);
    Shot(sheet, "model-background-border");

    auto& key = static_cast<CKesButton&>(*Model().Symbols()[0]);
    CKesButtonPPGeneral keyPage(key, {{27, "Esc"}});
    ExpectColons(keyPage);
    // A value box's red foreground (stored as 0x0000FF) is shown as #FF0000 and kept as it was.
    auto& value = static_cast<CSymValue&>(*Model().Symbols()[1]);
    CSymValuePPGeneral valuePage(value);
    ExpectColons(valuePage);
    EXPECT_EQ(valuePage.foreground->currentText().toStdString(), "#FF0000");
    EXPECT_EQ(valuePage.background->currentText().toStdString(), "#C0C0C0");
    valuePage.Apply(value);
    EXPECT_EQ(value.Properties().Int(CSymValue::kForeground), 0x0000FF);

    const CSSFDCFileTable table = *CSSFDCFileTable::Parse(std::vector<std::uint8_t>(4, 0));
    CSubtypeDlg download(table, {"Speed"});
    QStringList labels;
    for (QLabel* label : download.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Associated Fields:")) << labels.join('|').toStdString();

    // The reader's dialog is wide enough for its title in a bold title bar.
    CCommParamsDlg comm(0x378);
    comm.show();
    QFont bold = comm.font();
    bold.setBold(true);
    EXPECT_GE(comm.width(), QFontMetrics(bold).horizontalAdvance(comm.windowTitle()) + 100);
    Shot(comm, "comm-params");
}

TEST_F(Editor, CardErrorsOpenNoEmptyListAndAnUnformattedCardIsFormattedOnRequest) {
    int dialogs = 0;
    Answer([&](QDialog& dialog) {
        ++dialogs;
        if (auto* files = qobject_cast<CSSFDCFilesDlg*>(&dialog))
            EXPECT_EQ(files->tree->topLevelItemCount(), 0);
        return QDialog::Rejected;
    });
    {
        EnvironmentScope unknown(kestra::platform::kCardReaderVariable,
                                 std::string("parallel-port-9"));
        frame.Action(ID_SSFDC)->trigger();
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Can not read SSFDC properties!"});
    EXPECT_TRUE(frame.statusBar()->currentMessage().contains("could not be set up"))
        << frame.statusBar()->currentMessage().toStdString();
    messages.clear();
    {
        EnvironmentScope empty(kestra::platform::kSimCardVariable, std::string("none"));
        frame.Action(ID_SSFDC)->trigger();
    }
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"No SSFDC!"});
    messages.clear();

    // An unformatted card: a question; "No" leaves the card as it is and opens nothing.
    ASSERT_EQ(Cardload({"/unformat"}).exitCode, 0);
    auto formatted = [&] {
        return Cardload({"/info"}).out.find("Formatted:    Yes") != std::string::npos;
    };
    ASSERT_FALSE(formatted());
    messages.answers = {IDNO};
    frame.Action(ID_SSFDC)->trigger();
    EXPECT_EQ(messages.texts, std::vector<std::string>{kFormatQuestion});
    EXPECT_EQ(messages.types[0], MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    EXPECT_EQ(dialogs, 0);
    EXPECT_FALSE(formatted());
    // A card that cannot be changed: the question, then why it could not be formatted.
    {
        std::filesystem::copy_file(folder.file("card.img"), folder.file("locked.img"));
        std::filesystem::permissions(folder.file("locked.img"), std::filesystem::perms::owner_read);
        EnvironmentScope locked(kestra::platform::kSimCardVariable, folder.file("locked.img"));
        messages.clear();
        messages.answers = {IDYES};
        frame.Action(ID_SSFDC)->trigger();
        EXPECT_EQ(dialogs, 0);
        ASSERT_EQ(messages.texts.size(), 2u);
        EXPECT_NE(messages.texts[1].find("read-only"), std::string::npos) << messages.texts[1];
        EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(),
                  "The SSFDC card could not be formatted.");
    }
    messages.clear();
    // "Yes" formats it through the card device service, and the (empty) list opens.
    messages.answers = {IDYES};
    frame.Action(ID_SSFDC)->trigger();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(formatted());
    EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(), "The SSFDC card is formatted.");
    EXPECT_EQ(messages.texts, std::vector<std::string>{kFormatQuestion});
}

TEST_F(Editor, DownloadGuardsAndDocumentFiles) {
    // Nothing to download from an empty keyboard.
    frame.Action(ID_DOWNLOAD_ROM)->trigger();
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    // Overwriting with nothing selected.
    Answer([](QDialog& dialog) {
        static_cast<CSubtypeDlg&>(dialog).newFile->setChecked(false);
        return QDialog::Accepted;
    });
    Controller().DownloadRom();
    EXPECT_TRUE(Controller().Ready());
    EXPECT_EQ(messages.texts,
              (std::vector<std::string>{"Empty project!", "Error assigning subtype code"}));
    messages.texts.clear();
    {
        EnvironmentScope empty(kestra::platform::kSimCardVariable, std::string("none"));
        kestra::platform::ConfigureCardReader();
        Controller().DownloadRom();
    }
    kestra::platform::ConfigureCardReader();
    EXPECT_EQ(messages.texts, std::vector<std::string>{"No SSFDC!"});
    EXPECT_TRUE(Controller().Ready());

    // A saved document opens in a new window; a damaged one gives a message and no window.
    std::string error;
    ASSERT_TRUE(child->Doc().Save(folder.file("pad.kbd"), error)) << error;
    CChildFrame* opened = frame.OpenDocument(QString::fromStdString(folder.file("pad.kbd")));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->Doc().Model().ComponentCount(), 1);
    EXPECT_EQ(frame.RecentFiles().front().toStdString(), folder.file("pad.kbd"));
    folder.write("bad.kbd", "{\"format\": \"Clavon keyboard\", \"version\": 7}");
    messages.texts.clear();
    const int windows = static_cast<int>(frame.Area()->subWindowList().size());
    EXPECT_EQ(frame.OpenDocument(QString::fromStdString(folder.file("bad.kbd"))), nullptr);
    EXPECT_EQ(static_cast<int>(frame.Area()->subWindowList().size()), windows);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], "Can not open " + folder.file("bad.kbd") +
                                     ": it was saved by a newer version of Clavon (document "
                                     "version 7; this version reads version 1). Open it with a "
                                     "newer Clavon.");
}

TEST(MessageBoxes, EachKindHasItsButtonsAndItsDefault) {
    struct Case {
        UINT type;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton preset;
    };
    for (const Case& c : {Case{MB_OK, QMessageBox::Ok, QMessageBox::Ok},
                          Case{MB_YESNO | MB_DEFBUTTON2, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No},
                          Case{MB_RETRYCANCEL | MB_ICONEXCLAMATION,
                               QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry}}) {
        const auto box = MakeMessageBox("text", "SSFDC", c.type);
        EXPECT_EQ(box->standardButtons(), c.buttons) << c.type;
        EXPECT_EQ(box->standardButton(box->defaultButton()), c.preset) << c.type;
    }
}

}  // namespace
}  // namespace clavon
