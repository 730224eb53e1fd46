// The main window with the keyboard alone: File > New answered by keys leaves the focus in the
// window, and the workbench's questions are answered by their buttons' letters.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QTest>
#include <QTimer>

#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

// Runs `steps` on the modal window that shows next.
void OnNextModal(const std::function<void(QWidget*)>& steps) {
    QTimer::singleShot(0, [steps] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        QApplication::setActiveWindow(modal);
        steps(modal);
    });
}

void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key, modifiers);
}

TEST_F(WorkbenchTest, AfterNewByKeysTheWindowHasTheFocus) {
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    bool asked = false;
    OnNextModal([&](QWidget* select) {
        EXPECT_EQ(select->windowTitle(), "Select controller");
        Key(Qt::Key_Space);  // the driver under the cursor
        // With no project open, OK asks whether to switch controllers: Return says OK.
        OnNextModal([&](QWidget*) {
            asked = true;
            Key(Qt::Key_Return);
        });
        Key(Qt::Key_Return);
        // A window manager that leaves no window active once both are gone.
        QApplication::setActiveWindow(nullptr);
    });
    ASSERT_TRUE(window.newProject());
    EXPECT_TRUE(asked);
    QApplication::processEvents();  // the window system's answer to the activation
    EXPECT_EQ(QApplication::activeWindow(), &window);
    EXPECT_EQ(QApplication::focusWidget(), &window.tree()) << "the next key reaches the tree";
}

TEST_F(WorkbenchTest, QuestionsAreAnsweredByTheLettersOfTheirButtons) {
    const struct {
        QMessageBox::StandardButtons buttons;
        QMap<QMessageBox::StandardButton, QString> texts;
        Qt::Key letter;
        QMessageBox::StandardButton answer;
    } kCases[] = {
        {QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
         {},
         Qt::Key_D,
         QMessageBox::Discard},
        {QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
         {},
         Qt::Key_S,
         QMessageBox::Save},
        {QMessageBox::Save | QMessageBox::SaveAll | QMessageBox::Cancel,
         {{QMessageBox::Save, "&Overwrite"}, {QMessageBox::SaveAll, "Save &As..."}},
         Qt::Key_A,
         QMessageBox::SaveAll},
        {QMessageBox::Yes | QMessageBox::No, {}, Qt::Key_N, QMessageBox::No},
    };
    MainWindow window;
    window.show();
    for (const auto& c : kCases) {
        Question question;
        question.title = "Keys";
        question.text = "Go on?";
        question.buttons = c.buttons;
        question.buttonTexts = c.texts;
        QStringList texts;
        OnNextModal([&](QWidget* box) {
            for (auto* button : box->findChildren<QAbstractButton*>())
                if (button->isVisible()) texts.append(button->text());
            Key(c.letter, Qt::AltModifier);
            for (auto* button : box->findChildren<QAbstractButton*>())
                if (button->isDown()) return button->click();  // it clicks a moment later
        });
        EXPECT_EQ(Ask(&window, question), c.answer) << texts.join(", ").toStdString();
        for (const QString& text : texts) EXPECT_TRUE(text.contains('&')) << text.toStdString();
    }
}

}  // namespace
}  // namespace kestra::workbench::testing
