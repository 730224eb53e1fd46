// Steps on dialogs that open one inside the other (the workbench's field dialog, the driver's
// field dialog in it, the editor its button calls), as the tests of the hosted dialogs take
// them: each is scheduled right before what opens its dialog and runs once that dialog is up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "windows/window.h"

namespace kestra::workbench::testing {

// On the window core's dialog that holds the focus, once the next dialog is up.
inline void WhenCoreDialogOpens(const std::function<void(HWND)>& steps) {
    QTimer::singleShot(0, [steps] { steps(GetAncestor(GetFocus(), GA_ROOT)); });
}

// On the modal Qt dialog, once the next dialog is up.
inline void WhenQtDialogOpens(const std::function<void(QDialog*)>& steps) {
    QTimer::singleShot(0, [steps] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no Qt dialog is open";
        steps(dialog);
    });
}

inline void Press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
    auto* box = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    box->button(which)->click();
}

inline QPushButton* ButtonOf(QDialog* dialog, const QString& text) {
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// The editor the table's current cell has open.
template <typename Editor>
Editor* OpenCellEditor(QTableWidget* table) {
    return qobject_cast<Editor*>(table->indexWidget(table->currentIndex()));
}

// In the message or graphics editor: a range added with Add, its text typed into the cell
// that Add opens for editing (where the ranges have texts), its values then set.
inline void AddRange(QDialog* editor, int first, int last, const QString& text) {
    auto* table = editor->findChild<QTableWidget*>("ranges");
    ASSERT_NE(table, nullptr);
    ButtonOf(editor, "&Add")->click();
    if (auto* cell = OpenCellEditor<QLineEdit>(table)) {
        QTest::keyClicks(cell, text);
        QTest::keyClick(cell, Qt::Key_Return);
        QCoreApplication::processEvents();  // the cell takes the text after the key
    } else if (!text.isEmpty()) {
        ADD_FAILURE() << "no cell is open for " << text.toStdString();
    }
    const int row = table->rowCount() - 1;
    table->item(row, 0)->setData(Qt::EditRole, first);
    table->item(row, 1)->setData(Qt::EditRole, last);
}

// The rows of the editor's table, each "first-last text".
inline QStringList RowsOf(QDialog* editor) {
    QStringList rows;
    auto* table = editor->findChild<QTableWidget*>("ranges");
    if (!table) return rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << QStringLiteral("%1-%2 %3")
                    .arg(table->item(r, 0)->text(), table->item(r, 1)->text(),
                         table->item(r, table->columnCount() - 1)->text());
    return rows;
}

}  // namespace kestra::workbench::testing
