// The editing window end to end, offscreen: placing keys and value boxes, property sheets,
// undo of grid changes, the clipboard, the ROM export, the download to the simulated card, the
// card files dialog, and what "cardload /dump" then shows. With CLAVON_SCREENSHOTS set to a
// folder, every window and dialog is also saved there as a picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <future>

#include "../card_loader/run_program.h"
#include "devices/card_reader.h"
#include "keyboard_editor/child_frame.h"
#include "keyboard_editor/download_dialogs.h"
#include "keyboard_editor/main_frame.h"
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

class Editor : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::current_path(folder.path());
        ASSERT_EQ(Cardload({"/format"}).exitCode, 0);
        frame.show();
        child = frame.NewDocument();
        ASSERT_TRUE(child);
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

    TempFolder folder;
    kestra::testing::WindowsFolderScope windows{folder.path()};
    EnvironmentScope reader{kestra::platform::kCardReaderVariable, std::string("sim")};
    EnvironmentScope card{kestra::platform::kSimCardVariable, folder.file("card.img")};
    MessageLog messages;
    CMainFrame frame;
    CChildFrame* child = nullptr;
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
    frame.Action(ID_DOWNLOAD_ROM)->trigger();
    Controller().Manager().Wait();
    QTest::qWait(20);
    EXPECT_TRUE(frame.Action(ID_APP_EXIT)->isEnabled());
    EXPECT_TRUE(std::filesystem::exists(folder.file("download.rom")));
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
    Controller().Manager().Wait();
    QTest::qWait(20);

    // "SSFDC files": the keyboard is listed, deleted, and gone.
    Answer([](QDialog& dialog) {
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
        files.deleteButton->click();
        EXPECT_EQ(files.tree->topLevelItemCount(), 0);
        files.closeButton->click();
        return dialog.result();
    });
    frame.Action(ID_SSFDC)->trigger();
    dump = Cardload({"/dump", ""});
    EXPECT_EQ(dump.out.find("Numbers"), std::string::npos);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Out of bounds!"});
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

TEST_F(Editor, WhileATransferRunsTheWindowStaysAndExitIsDisabled) {
    ASSERT_TRUE(Controller().Place(SymbolKind::Button, {16, 32}));
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Controller().Manager().SetFinished([released](bool, const std::string&) { released.wait(); });
    Answer([](QDialog&) { return QDialog::Accepted; });
    Controller().DownloadRom();
    ASSERT_TRUE(Controller().Manager().IsUsed());
    EXPECT_FALSE(frame.Action(ID_APP_EXIT)->isEnabled());
    EXPECT_FALSE(frame.Action(ID_DOWNLOAD_ROM)->isEnabled());
    EXPECT_FALSE(frame.Action(ID_SSFDC)->isEnabled());
    QMdiSubWindow* window = frame.Area()->subWindowList().front();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Downloading!"});
    EXPECT_EQ(frame.Area()->subWindowList().size(), 1);
    release.set_value();
    Controller().Manager().Wait();
    EXPECT_FALSE(Controller().Manager().IsUsed());
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

}  // namespace
}  // namespace clavon
