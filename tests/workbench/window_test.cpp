// The main window as a user meets it: title, tables, questions before work is lost, settings,
// drops, the clipboard between windows, the keyboard.
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "workbench/views/field_table_model.h"
#include "workbench/window/main_window.h"
#include "workbench/views/page_canvas.h"
#include "workbench/views/page_table_model.h"
#include "workbench/views/page_view.h"
#include "workbench/document/project_pages.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

using Node = ProjectTree::Node;

class Window : public SampleWindowTest {
  protected:
    void showPage(std::size_t page) {
        window->tree().select({Node::Page, static_cast<int>(page), static_cast<int>(page)});
    }
    QString cell(int row, int column) {
        return window->fieldModel().index(row, column).data().toString();
    }
    void selectRows(int first, int last) {
        QTableView& table = window->fieldTable();
        const QItemSelection rows(table.model()->index(first, 0), table.model()->index(last, 0));
        table.selectionModel()->select(
            rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
};

TEST_F(Window, TheTitleNamesTheFileAndMarksUnsavedChanges) {
    EXPECT_EQ(window->windowTitle(), "sample.kpr[*] - Kestra Workbench");
    EXPECT_FALSE(window->isWindowModified());
    showPage(0);
    window->addPage();
    EXPECT_TRUE(window->isWindowModified());
    window->document().undoStack().undo();
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(Window, TheFieldTableShowsWhatTheDriverCallsEachField) {
    showPage(0);
    ASSERT_EQ(window->fieldModel().rowCount(), 7);
    using C = FieldTableModel;
    const struct {
        int row;
        const char *kind, *size, *address, *format;
    } kRows[] = {
        {0, "NUMERIC", "5 x 1", "DB10 DW5", "WORD(Bin)"},
        {1, "NUMERIC", "3 x 1", "DB10 DR5", "BYTE(Bin)"},
        {2, "NUMERIC", "1 x 1", "DB10 D5.11", "BIT"},
        {3, "NUMERIC", "8 x 1", "DB20 DD10", "DBLE WORD(Bin)"},
        {4, "NUMERIC", "4 x 1", "DB11 DW0", "TIMER   [KT]"},
    };
    for (const auto& r : kRows) {
        EXPECT_EQ(cell(r.row, C::kNumber), QString::number(r.row + 1));
        EXPECT_EQ(cell(r.row, C::kClass), "PLC data") << r.row;
        EXPECT_EQ(cell(r.row, C::kKind), r.kind) << r.row;
        EXPECT_EQ(cell(r.row, C::kSize), r.size) << r.row;
        EXPECT_EQ(cell(r.row, C::kAddress), r.address) << r.row;
        EXPECT_EQ(cell(r.row, C::kFormat), r.format) << r.row;
    }
    showPage(1);
    EXPECT_EQ(cell(0, C::kKind), "MESSAGE");
    EXPECT_EQ(cell(1, C::kFormat), "ASCII");
}

TEST_F(Window, PageNamesAndTextsAreEditedInPlaceInEachLanguage) {
    window->tree().select({Node::Pages});
    PageTableModel& pages = window->pageModel();
    EXPECT_EQ(pages.index(1, PageTableModel::kText).data().toString(), "Messages and bar graphs");
    window->setLanguage(1);
    EXPECT_EQ(pages.index(1, PageTableModel::kText).data().toString(), "Meldungen und Balken");
    ASSERT_TRUE(pages.setData(pages.index(1, PageTableModel::kText), "Meldungen"));
    ASSERT_TRUE(pages.setData(pages.index(2, PageTableModel::kName), "Timers"));
    EXPECT_FALSE(pages.setData(pages.index(2, PageTableModel::kName), QString(41, 'x')));
    const ProjectBlock& p = window->document().block();
    EXPECT_EQ(PageText(p, 1, 1), "Meldungen");
    EXPECT_EQ(PageText(p, 1, 0), "Messages and bar graphs");
    EXPECT_EQ(PageName(p, 2), "Timers");
    EXPECT_EQ(window->document().undoStack().count(), 2);

    // The page's own view edits the same name.
    showPage(0);
    auto* name = window->findChild<QLineEdit*>();
    ASSERT_NE(name, nullptr);
    name->setText("Tank farm");
    name->setModified(true);
    emit name->editingFinished();
    EXPECT_EQ(PageName(window->document().block(), 0), "Tank farm");
}

TEST_F(Window, AsksBeforeUnsavedWorkIsLost) {
    showPage(0);
    window->addPage();
    {
        Answers cancel(QMessageBox::Cancel);
        EXPECT_FALSE(window->close());
        EXPECT_FALSE(window->openFile(sample()));
        ASSERT_EQ(cancel.asked.size(), 2u);
        EXPECT_TRUE(cancel.asked[0].text.contains("sample.kpr"))
            << cancel.asked[0].text.toStdString();
        EXPECT_EQ(Pages(window->document().block()).size(), 4u) << "the work is still there";
    }
    {
        Answers discard(QMessageBox::Discard);
        EXPECT_TRUE(window->openFile(sample()));
        EXPECT_EQ(Pages(window->document().block()).size(), 3u);
    }
}

TEST_F(Window, AFileThatCannotBeOpenedIsToldAndTheOpenProjectStays) {
    showPage(0);
    window->addPage();
    Answers discard(QMessageBox::Discard);
    const std::string foreign = folder_.write("picture.kpr", "GIF89a, not a project");
    EXPECT_FALSE(window->openFile(QString::fromStdString(foreign)));
    ASSERT_EQ(discard.asked.size(), 2u);  // unsaved work, then the failure
    const QString told = discard.asked[1].text;
    EXPECT_TRUE(told.contains("not a project image")) << told.toStdString();
    EXPECT_TRUE(told.contains("stays as it was")) << told.toStdString();
    EXPECT_EQ(window->document().path(), sample());
    EXPECT_EQ(Pages(window->document().block()).size(), 4u);
}

TEST_F(Window, SavingOverAFileChangedElsewhereAsksFirst) {
    showPage(0);
    window->addPage();
    std::filesystem::remove(sample_);
    folder_.write("sample.kpr", "written by another program");
    {
        Answers cancel(QMessageBox::Cancel);
        EXPECT_FALSE(window->save());
        ASSERT_EQ(cancel.asked.size(), 1u);
        EXPECT_EQ(folder_.read("sample.kpr"), "written by another program");
        EXPECT_TRUE(window->document().isModified());
    }
    {
        Answers overwrite(QMessageBox::Save);
        EXPECT_TRUE(window->save());
        EXPECT_EQ(folder_.read("sample.kpr").size(), SavedNow(window->document()).size());
    }
    Answers none(QMessageBox::Cancel);
    showPage(0);
    window->addPage();
    EXPECT_TRUE(window->save()) << "unchanged since the last save: no question";
    EXPECT_TRUE(none.asked.empty());
}

TEST_F(Window, RecentFilesAndTheWindowAreKeptInTheUsersSettings) {
    window->close();
    const std::string settings = file("config/kestra/workbench.ini");
    const std::string text = folder_.read("config/kestra/workbench.ini");
    EXPECT_NE(text.find("recentFiles"), std::string::npos) << settings;
    EXPECT_NE(text.find("sample.kpr"), std::string::npos) << text;
    EXPECT_NE(text.find("geometry"), std::string::npos) << text;
}

// A window kept on a larger screen, or partly off this one, comes back whole on the screen.
TEST_F(WorkbenchTest, AWindowKeptPartlyOffTheScreenComesBackOnIt) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QRect kept : {QRect(0, screen.bottom() - 100, 600, 400),
                             QRect(screen.right() - 100, 50, 600, 400), QRect(-300, -200, 600, 400),
                             QRect(0, 0, screen.width() + 300, screen.height() + 280)}) {
        {
            MainWindow before;
            before.setGeometry(kept);
            before.show();
            before.close();
        }
        MainWindow after;
        EXPECT_TRUE(screen.contains(after.geometry()))
            << "kept at " << kept.x() << "," << kept.y() << " " << kept.width() << "x"
            << kept.height() << ", back at " << after.x() << "," << after.y() << " "
            << after.width() << "x" << after.height();
    }
}

TEST_F(Window, AFileDroppedOnTheWindowOpens) {
    const Bytes image = SampleImage();
    const std::string other = folder_.write("other.kpr", std::string(image.begin(), image.end()));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    QApplication::processEvents();
    EXPECT_EQ(window->document().path().toStdString(), other);
}

TEST_F(Window, FieldsAreCopiedAndPastedBetweenWindows) {
    showPage(0);
    selectRows(1, 2);
    window->copyFields();
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->text().contains("DB10 DR5")) << "other programs get the rows as text";

    QPointer<MainWindow> other = new MainWindow;
    other->show();
    ASSERT_TRUE(other->openFile(sample()));
    other->tree().select({Node::Page, 2, 2});
    other->fieldTable().selectRow(0);
    other->pasteFields();
    EXPECT_EQ(other->fieldModel().rowCount(), 8);
    EXPECT_EQ(other->fieldModel().index(1, FieldTableModel::kAddress).data().toString(),
              "DB10 DR5");
    EXPECT_EQ(other->fieldModel().index(2, FieldTableModel::kAddress).data().toString(),
              "DB10 D5.11");
    EXPECT_EQ(other->selectedFields(), (std::vector<std::size_t>{1, 2}));
    other->document().undoStack().undo();
    EXPECT_EQ(other->fieldModel().rowCount(), 6);
    other->document().undoStack().setClean();
    other->close();
}

TEST_F(Window, FieldsAreAddedDuplicatedMovedAndDeletedFromTheMenus) {
    showPage(0);
    selectRows(0, 0);
    OnNextDialog([](QDialog* addField) { addField->accept(); });  // a NUMERIC field of PLC data
    window->addField();
    EXPECT_EQ(window->fieldModel().rowCount(), 8);
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{1});
    selectRows(2, 3);
    window->duplicateFields();
    EXPECT_EQ(window->fieldModel().rowCount(), 10);
    EXPECT_EQ(cell(4, FieldTableModel::kAddress), "DB10 DR5");
    selectRows(4, 4);
    window->moveField(-1);
    EXPECT_EQ(cell(3, FieldTableModel::kAddress), "DB10 DR5");
    selectRows(0, 1);
    window->deleteFields();
    EXPECT_EQ(window->fieldModel().rowCount(), 8);
    EXPECT_EQ(window->document().undoStack().count(), 4);
    for (int i = 0; i < 4; ++i) window->document().undoStack().undo();
    EXPECT_EQ(window->fieldModel().rowCount(), 7);
    EXPECT_FALSE(window->document().isModified());
}

TEST_F(Window, TheKeyboardReachesTheTreeThePageAndItsFields) {
    QApplication::setActiveWindow(window);
    showPage(0);
    window->tree().setFocus();
    QTest::keyClick(&window->tree(), Qt::Key_Down);  // the next page
    EXPECT_EQ(window->tree().current(), (ProjectTree::Place{Node::Page, 1, 1}));
    EXPECT_EQ(window->fieldModel().page(), 1u);
    QTest::keyClick(&window->tree(), Qt::Key_Right);  // the page opens: its fields
    QTest::keyClick(&window->tree(), Qt::Key_Down);
    EXPECT_EQ(window->tree().current(), (ProjectTree::Place{Node::Field, 1, 0}));
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{0}) << "the table follows";
    QTest::keyClick(&window->tree(), Qt::Key_Left);  // back to the page
    QTest::keyClick(&window->tree(), Qt::Key_Left);
    EXPECT_EQ(window->tree().current(), (ProjectTree::Place{Node::Page, 1, 1}));
    QTest::keyClick(&window->tree(), Qt::Key_Return);  // into the page's fields
    EXPECT_EQ(QApplication::focusWidget(), &window->fieldTable());
    QTest::keyClick(&window->fieldTable(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &window->displayView().canvas()) << "then the page";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(qobject_cast<QComboBox*>(QApplication::focusWidget())) << "then the language";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &window->tree()) << "and round to the tree";
    QTest::keyClick(&window->tree(), Qt::Key_Tab);
    EXPECT_TRUE(qobject_cast<QLineEdit*>(QApplication::focusWidget())) << "then the page's name";
}

}  // namespace
}  // namespace kestra::workbench::testing
