// The main window's editing commands on pages and fields, and the clipboard. Each command is
// one change of the document, so that it can be undone.
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <algorithm>

#include "extension_classes/plc_driver.h"
#include "kestra/driver.h"
#include "kestra/panel_display.h"
#include "platform/image_cursor.h"
#include "workbench/document/field_records.h"
#include "workbench/document/new_field.h"
#include "workbench/hosted/add_field_dialog.h"
#include "workbench/views/field_table_model.h"
#include "workbench/window/main_window.h"
#include "workbench/views/page_table_model.h"
#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"
#include "workbench/window/questions.h"

namespace kestra::workbench {

namespace {

// Where new pages and fields go: after the current one, or at the end.
std::size_t After(std::optional<std::size_t> current, std::size_t size) {
    return current ? std::min(*current + 1, size) : size;
}

}  // namespace

std::vector<std::size_t> MainWindow::selectedFields() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : fieldTable_->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void MainWindow::selectFields(std::size_t page, std::size_t first, std::size_t count) {
    if (fieldModel_->page() != page) fieldModel_->setPage(page);
    const int rows = fieldModel_->rowCount();
    if (rows == 0 || count == 0) return;
    const int top = std::min(static_cast<int>(first), rows - 1);
    const int bottom = std::min(static_cast<int>(first + count) - 1, rows - 1);
    QItemSelection selection(fieldModel_->index(top, 0),
                             fieldModel_->index(bottom, FieldTableModel::kColumns - 1));
    fieldTable_->selectionModel()->setCurrentIndex(fieldModel_->index(top, 0),
                                                   QItemSelectionModel::NoUpdate);
    fieldTable_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    fieldTable_->scrollTo(fieldModel_->index(top, 0));
}

// ---- Pages -----------------------------------------------------------------------------------

void MainWindow::addPage() {
    if (!document_->hasProject()) return;
    const std::size_t pages = Pages(document_->block()).size();
    const std::size_t at = After(currentPage(), pages);
    const std::string name = tr("Page %1").arg(pages + 1).toStdString();
    if (!document_->change(tr("Add page"), [&] {
            return ReorderPages(document_->block(), Inserting(pages, at, 1), {name});
        }))
        return;
    tree_->select({ProjectTree::Node::Page, static_cast<int>(at), static_cast<int>(at)});
}

void MainWindow::deletePages() {
    const auto page = currentPage();
    if (!page || !document_->hasProject()) return;
    const std::size_t pages = Pages(document_->block()).size();
    if (pages <= 1) {
        Tell(this, tr("Delete Page"), tr("A project keeps at least one page."),
             QMessageBox::Information);
        return;
    }
    const bool deleted = document_->change(tr("Delete page %1").arg(*page + 1), [&] {
        return ReorderPages(document_->block(), Deleting(pages, *page, 1));
    });
    if (!deleted) return;
    const int next = static_cast<int>(std::min(*page, pages - 2));
    tree_->select({ProjectTree::Node::Page, next, next});
}

void MainWindow::movePage(int step) {
    const auto page = currentPage();
    if (!page || !document_->hasProject()) return;
    const std::size_t pages = Pages(document_->block()).size();
    const auto to = static_cast<std::ptrdiff_t>(*page) + step;
    if (to < 0 || static_cast<std::size_t>(to) >= pages) return;
    const bool moved = document_->change(tr("Move page %1").arg(*page + 1), [&] {
        return ReorderPages(document_->block(), Moving(pages, *page, static_cast<std::size_t>(to)));
    });
    if (!moved) return;
    if (views_->currentWidget() == pagesView_)
        pageTable_->setCurrentIndex(pageModel_->index(static_cast<int>(to), PageTableModel::kName));
    else
        tree_->select({ProjectTree::Node::Page, static_cast<int>(to), static_cast<int>(to)});
}

// ---- Fields ----------------------------------------------------------------------------------

void MainWindow::addField() {
    addFieldWhere(std::nullopt);
}

bool MainWindow::addFieldAt(int row, int column) {
    return addFieldWhere(std::pair(row, column));
}

bool MainWindow::addFieldWhere(std::optional<std::pair<int, int>> cell) {
    const auto page = currentPage();
    if (!page || !document_->driver()) return false;
    const std::vector<std::size_t> selected = selectedFields();
    const std::size_t count = Fields(Pages(document_->block())[*page]).size();
    const std::size_t at =
        After(selected.empty() ? std::nullopt : std::optional(selected.back()), count);
    const QString where = cell ? tr("at row %1, column %2 of page %3")
                                     .arg(cell->first + 1)
                                     .arg(cell->second + 1)
                                     .arg(*page + 1)
                               : tr("at the first free place of page %1").arg(*page + 1);
    QString placed;
    const bool added = document_->change(tr("Add field"), [&] {
        ProjectBlock& project = document_->block();
        KXCPlcDriver& driver = document_->driver()->loader();
        const host::PanelDisplay display = host::PanelDisplayOf(project);
        const auto choice = AskNewField(this, *document_->driver(), project, display, where);
        if (!choice) return false;
        std::optional<Cell> place;
        if (cell)
            place = PlaceOnDisplay({cell->first, cell->second}, choice->size, display);
        else
            place = FirstFreePlace(project, *page, choice->size, display);
        if (!place) {
            placed = tr("Page %1 has no free place for a field of %2 x %3 characters: it went to "
                        "row 1, column 1, over other fields.")
                         .arg(*page + 1)
                         .arg(choice->size.width)
                         .arg(choice->size.height);
            place = Cell{};
        }
        const std::optional<FieldRecord> field = MakeField(driver, project, *choice, *place);
        return field &&
               ReorderFields(project, *page, Inserting(count, at, 1), {&*field, 1});
    });
    if (!added) return false;
    selectFields(*page, at, 1);
    if (!placed.isEmpty()) statusBar()->showMessage(placed, 10000);
    return true;
}

void MainWindow::duplicateFields() {
    const auto page = currentPage();
    const std::vector<std::size_t> selected = selectedFields();
    if (!page || selected.empty()) return;
    const std::size_t count = Fields(Pages(document_->block())[*page]).size();
    const std::size_t at = selected.back() + 1;
    const bool duplicated = document_->change(tr("Duplicate fields"), [&] {
        ProjectBlock& project = document_->block();
        std::vector<FieldRecord> copies;
        for (std::size_t row : selected) {
            const auto field = CopyField(project, Fields(Pages(project)[*page])[row]);
            if (!field) return false;
            copies.push_back(*field);
        }
        return ReorderFields(project, *page, Inserting(count, at, copies.size()), copies);
    });
    if (duplicated) selectFields(*page, at, selected.size());
}

void MainWindow::deleteFields() {
    const auto page = currentPage();
    const std::vector<std::size_t> selected = selectedFields();
    if (!page || selected.empty()) return;
    const bool deleted =
        document_->change(tr("Delete %n field(s)", "", static_cast<int>(selected.size())), [&] {
            ProjectBlock& project = document_->block();
            Order order;
            const std::size_t count = Fields(Pages(project)[*page]).size();
            for (std::size_t row = 0; row < count; ++row)
                if (!std::binary_search(selected.begin(), selected.end(), row))
                    order.emplace_back(row);
            return ReorderFields(project, *page, order);
        });
    if (deleted) selectFields(*page, selected.front(), 1);
}

void MainWindow::moveField(int step) {
    const auto page = currentPage();
    const std::vector<std::size_t> selected = selectedFields();
    if (!page || selected.size() != 1) return;
    const std::size_t count = Fields(Pages(document_->block())[*page]).size();
    const auto to = static_cast<std::ptrdiff_t>(selected.front()) + step;
    if (to < 0 || static_cast<std::size_t>(to) >= count) return;
    const bool moved = document_->change(tr("Move field %1").arg(selected.front() + 1), [&] {
        return ReorderFields(document_->block(), *page,
                             Moving(count, selected.front(), static_cast<std::size_t>(to)));
    });
    if (moved) selectFields(*page, static_cast<std::size_t>(to), 1);
}

// ---- Clipboard -------------------------------------------------------------------------------

void MainWindow::copyFields() {
    const auto page = currentPage();
    const std::vector<std::size_t> selected = selectedFields();
    if (!page || selected.empty()) return;
    const ProjectBlock& project = document_->block();
    const auto fields = Fields(Pages(project)[*page]);
    std::vector<FieldRecord> copied;
    QStringList lines;
    for (std::size_t row : selected) {
        copied.push_back(fields[row]);
        QStringList cells;
        for (int column = 0; column < FieldTableModel::kColumns; ++column)
            cells.append(fieldModel_->index(static_cast<int>(row), column).data().toString());
        lines.append(cells.join('\t'));
    }
    const std::vector<std::byte> form = EncodeFields(project, copied);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kFieldsMimeType),
                  QByteArray(reinterpret_cast<const char*>(form.data()),
                             static_cast<qsizetype>(form.size())));
    mime->setText(lines.join('\n') + '\n');
    QApplication::clipboard()->setMimeData(mime);
    statusBar()->showMessage(tr("Copied %n field(s)", "", static_cast<int>(selected.size())), 3000);
}

void MainWindow::cutFields() {
    copyFields();
    deleteFields();
}

void MainWindow::pasteFields() {
    const auto page = currentPage();
    if (!page || !document_->hasProject()) return;
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    const QString type = QString::fromLatin1(kFieldsMimeType);
    if (!mime || !mime->hasFormat(type)) {
        statusBar()->showMessage(tr("The clipboard holds no fields"), 5000);
        return;
    }
    const QByteArray form = mime->data(type);
    const std::vector<std::size_t> selected = selectedFields();
    const std::size_t count = Fields(Pages(document_->block())[*page]).size();
    const std::size_t at = selected.empty() ? count : selected.back() + 1;
    std::size_t pasted = 0;
    try {
        document_->change(tr("Paste fields"), [&] {
            const std::vector<FieldRecord> fields = DecodeFields(
                document_->block(), std::as_bytes(std::span<const char>(
                                        form.constData(), static_cast<std::size_t>(form.size()))));
            pasted = fields.size();
            return ReorderFields(document_->block(), *page, Inserting(count, at, fields.size()),
                                 fields);
        });
    } catch (const ImageError& error) {
        Tell(this, tr("Paste Fields"),
             tr("The fields on the clipboard cannot be pasted: at byte %1, %2.")
                 .arg(error.offset())
                 .arg(QString::fromStdString(error.what())));
        return;
    }
    if (pasted) selectFields(*page, at, pasted);
}

}  // namespace kestra::workbench
