// The workbench window's hosted actions: a dialog that ends with OK and changes the project is
// one undo step, whose undo gives the project's image back byte for byte; Cancel is none; the
// field dialog acts on the field chosen in the page's table.
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include "plc_s5/dialog_ids.h"
#include "utilities/passwords.h"
#include "windows/qt/qt_host.h"
#include "workbench/views/page_canvas.h"
#include "workbench/views/page_view.h"
#include "window_hosting_test.h"
#include "workbench/window/main_window.h"

namespace kestra::workbench::testing {
namespace {

namespace dlg = kestra::s5::dialog;
using Node = ProjectTree::Node;

using HostedActions = WindowWithCoreDialogs;

TEST_F(HostedActions, ADialogsOkIsOneUndoStepThatGivesTheImageBack) {
    ProjectDocument& document = window->document();
    const Bytes before = SavedNow(document);
    triggerCore(window->hosted().alarms, [&](HWND dialog) {
        user_->type(dialog, dlg::kAlarmMessageEdit, "Tank overflow");
        user_->click(dialog, IDOK);
    });
    ASSERT_EQ(document.undoStack().count(), 1);
    EXPECT_EQ(document.undoStack().text(0), "Alarms");
    EXPECT_TRUE(window->isWindowModified());
    const Bytes after = SavedNow(document);
    EXPECT_NE(after, before);
    document.undoStack().undo();
    EXPECT_EQ(SavedNow(document), before);
    document.undoStack().redo();
    EXPECT_EQ(SavedNow(document), after);
}

TEST_F(HostedActions, CancelLeavesNoUndoStep) {
    triggerCore(window->hosted().passwords, [&](HWND dialog) {
        user_->type(dialog, PasswordControl(0, kPasswordCode), "1234");
        user_->click(dialog, IDCANCEL);
    });
    EXPECT_EQ(window->document().undoStack().count(), 0);
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(HostedActions, FieldPropertiesOpenOnTheFieldChosenInTheTable) {
    window->tree().select({Node::Field, 1, 2});
    QString summary;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        summary = dialog->findChild<QLabel*>()->text();
        dialog->reject();
    });
    window->hosted().field->trigger();
    EXPECT_TRUE(summary.startsWith("Page 2 \"Messages\", field 3 of 7")) << summary.toStdString();
    EXPECT_EQ(window->document().undoStack().count(), 0);
}

TEST_F(HostedActions, EnterAndADoubleClickInThePageViewOpenTheFieldChosenThere) {
    window->tree().select({Node::Page, 1, 1});
    PageCanvas& canvas = window->displayView().canvas();
    QStringList summaries;
    const auto readSummary = [&] {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            summaries.append(dialog->findChild<QLabel*>()->text());
            dialog->reject();
        });
    };
    canvas.choose({2});
    readSummary();
    QTest::keyClick(&canvas, Qt::Key_Return);
    readSummary();
    const QPoint onField = canvas.painter().pixels(canvas.layout().fields[1].cells).center();
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(onField),
                      QPointF(canvas.mapToGlobal(onField)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&canvas, &twice);
    ASSERT_EQ(summaries.size(), 2);
    EXPECT_TRUE(summaries[0].startsWith("Page 2 \"Messages\", field 3 of 7"))
        << summaries[0].toStdString();
    EXPECT_TRUE(summaries[1].startsWith("Page 2 \"Messages\", field 2 of 7"))
        << summaries[1].toStdString();
    EXPECT_EQ(window->document().undoStack().count(), 0);
}

TEST_F(HostedActions, WithoutAChosenFieldTheFieldDialogSaysSo) {
    window->tree().select({Node::Page, 0, 0});
    window->hosted().field->trigger();
    EXPECT_EQ(told, std::vector<std::string>{
                        "Field Properties: Choose a field in the page's table first."});
}

TEST_F(HostedActions, TheTreeSaysWhereAPanelModelIsSetUpWhenThereIsNone) {
    const auto lines =
        window->tree().findItems("Panel model:", Qt::MatchStartsWith | Qt::MatchRecursive);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.front()->text(0), "Panel model: not set up (Project > Panel Setup)");
}

TEST_F(HostedActions, OnlyTheKeyboardAndTheCardNeedNoProject) {
    QPointer<MainWindow> empty = new MainWindow;
    const MainWindow::HostedActions& h = empty->hosted();
    EXPECT_FALSE(h.alarms->isEnabled());
    EXPECT_FALSE(h.sendToCard->isEnabled());
    EXPECT_TRUE(h.keyboard->isEnabled());
    EXPECT_TRUE(h.cardContents->isEnabled());
    EXPECT_TRUE(window->hosted().alarms->isEnabled());
    EXPECT_TRUE(window->hosted().check->isEnabled());
    empty->close();
}

}  // namespace
}  // namespace kestra::workbench::testing
