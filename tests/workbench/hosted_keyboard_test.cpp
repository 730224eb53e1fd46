// The hosted dialogs with the keyboard alone, offscreen: Field Properties walked with Tab and
// Shift+Tab across the driver's page and the workbench's own buttons, the page's and the
// dialog's mnemonics, an address typed after tabbing to its box; and the message boxes of the
// libraries' dialogs answered with Return.
#include <QAbstractButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <cstring>

#include "hosted_test_support.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/k32plc1.h"
#include "workbench/hosted/hosted_dialogs.h"

namespace kestra::workbench::testing {
namespace {

namespace dlg = kestra::s5::dialog;

constexpr FieldPlace kFirstField{0, 0};  // page 1, field 1: NUMERIC, WORD, DB10 DW5

class HostedKeyboard : public HostedTest {
  protected:
    // Where the focus is: a control of the driver's page by its id, a button by its text.
    std::string focus(QDialog* dialog) {
        QWidget* widget = QApplication::focusWidget();
        if (!widget || widget->window() != dialog) return "outside the dialog";
        HWND core = GetFocus();
        if (core && host().widgetOf(core) == widget) return std::to_string(GetDlgCtrlID(core));
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return button->text().remove('&').toStdString();
        for (QWidget* named = widget; named && named != dialog; named = named->parentWidget())
            if (!named->objectName().isEmpty()) return named->objectName().toStdString();
        return widget->metaObject()->className();
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    std::vector<std::string> walk(QDialog* dialog, Qt::Key key, int steps) {
        std::vector<std::string> seen{focus(dialog)};
        for (int i = 0; i < steps; ++i) {
            press(key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            seen.push_back(focus(dialog));
        }
        return seen;
    }
    // Opens Field Properties on the first field and runs `steps` with it active.
    bool editFirstField(const std::function<void(QDialog*)>& steps) {
        return driveQt<bool>(
            [&] { return EditFieldProperties(&window, project, *driver, kFirstField); },
            [&](QDialog* dialog) {
                QApplication::setActiveWindow(dialog);
                steps(dialog);
            });
    }
};

TEST_F(HostedKeyboard, TabAndShiftTabReachEveryControlOfThePageBetweenTheDialogsButtons) {
    using V = std::vector<std::string>;
    // From the page's first control: data type, data format, DB and its spin, offset and its
    // spin, address, priority (the byte and bit controls are disabled or hidden for a WORD),
    // the workbench's buttons as they stand in their row, then the field's own settings above
    // the page, row by row, and the page again.
    const V forward{"403",       "402",        "405",   "418",    "404",
                    "417",       "407",        "437",   "OK",     "Display and Limits...",
                    "Cancel",    "fieldType",  "fieldClass", "row", "column",
                    "width",     "height",     "label", "text",   "403"};
    const V backward(forward.rbegin(), forward.rend());
    const int steps = static_cast<int>(forward.size()) - 1;
    editFirstField([&](QDialog* dialog) {
        EXPECT_EQ(walk(dialog, Qt::Key_Tab, steps), forward);
        EXPECT_EQ(walk(dialog, Qt::Key_Backtab, steps), backward);
        press(Qt::Key_Escape);
    });
}

TEST_F(HostedKeyboard, TypingAnAddressAfterTabbingToItsBoxChangesExactlyTheAddressBytes) {
    const FieldRecord original = FieldAt(block(), kFirstField);
    const FieldRecord expected = withAddress(kFirstField, "DB12 DW7");

    const bool changed = editFirstField([&](QDialog* dialog) {
        while (focus(dialog) != std::to_string(dlg::kAddressEdit) && !HasFailure())
            press(Qt::Key_Tab);
        auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->selectedText(), "DB10 DW5") << "Tab selects the box's text";
        QTest::keyClicks(edit, "DB12 DW7");
        press(Qt::Key_Return);  // OK, from the address box
    });
    ASSERT_TRUE(changed);
    const FieldRecord& now = FieldAt(block(), kFirstField);
    const auto* before = reinterpret_cast<const std::uint8_t*>(&original);
    const auto* after = reinterpret_cast<const std::uint8_t*>(&now);
    const auto* wanted = reinterpret_cast<const std::uint8_t*>(&expected);
    const std::size_t plcStart = offsetof(FieldRecord, plc);
    for (std::size_t i = 0; i < sizeof(FieldRecord); ++i) {
        EXPECT_EQ(after[i], wanted[i]) << "byte " << i;
        if (after[i] != before[i])
            EXPECT_TRUE(i >= plcStart && i < plcStart + sizeof(uPLCADR))
                << "byte " << i << " is outside the PLC reference";
    }
    EXPECT_NE(std::memcmp(&now, &original, sizeof now), 0);
}

TEST_F(HostedKeyboard, ThePagesMnemonicsWorkFromTheButtonsAndTheDialogsFromThePage) {
    editFirstField([&](QDialog* dialog) {
        for (int i = 0; i < 10; ++i) press(Qt::Key_Tab);  // from the page to Cancel
        ASSERT_EQ(focus(dialog), "Cancel");
        press(Qt::Key_A, Qt::AltModifier);  // "&Address"
        EXPECT_EQ(focus(dialog), std::to_string(dlg::kAddressEdit));
        press(Qt::Key_Y, Qt::AltModifier);  // "Data T&ype"
        EXPECT_EQ(focus(dialog), std::to_string(dlg::kDataTypeCombo));
        QAbstractButton* definition = nullptr;
        for (auto* button : dialog->findChildren<QAbstractButton*>())
            if (button->text() == "&Display and Limits...") definition = button;
        ASSERT_NE(definition, nullptr);
        press(Qt::Key_D, Qt::AltModifier);  // from inside the page
        EXPECT_TRUE(definition->isDown()) << "Alt+D presses Display and Limits";
        definition->setDown(false);
        press(Qt::Key_Escape);
    });
}

}  // namespace
}  // namespace kestra::workbench::testing
