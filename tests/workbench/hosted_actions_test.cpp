// The workbench window's hosted actions: a dialog that ends with OK and changes the project is
// one undo step, whose undo gives the project's image back byte for byte; Cancel is none; the
// field dialog acts on the field chosen in the page's table.
#include <QLabel>
#include <QTimer>

#include "plc_s5/dialog_ids.h"
#include "utilities/passwords.h"
#include "hosted_window_test.h"

namespace kestra::workbench::testing {
namespace {

namespace dlg = kestra::s5::dialog;
using Node = ProjectTree::Node;

class HostedActions : public HostedWindowTest {};

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
