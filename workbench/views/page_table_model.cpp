#include "workbench/views/page_table_model.h"

#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"

namespace kestra::workbench {

PageTableModel::PageTableModel(ProjectDocument& document, QObject* parent)
    : QAbstractTableModel(parent), document_(document) {
    connect(&document_, &ProjectDocument::projectChanged, this, &PageTableModel::reload);
}

void PageTableModel::setLanguage(std::size_t language) {
    language_ = language;
    reload();
}

void PageTableModel::reload() {
    beginResetModel();
    endResetModel();
}

int PageTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !document_.hasProject()) return 0;
    return static_cast<int>(Pages(document_.block()).size());
}

int PageTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant PageTableModel::data(const QModelIndex& index, int role) const {
    if (!document_.hasProject() || !index.isValid()) return {};
    if (role == Qt::TextAlignmentRole && (index.column() == kNumber || index.column() == kFields))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    const ProjectBlock& project = document_.block();
    const auto pages = Pages(project);
    const auto page = static_cast<std::size_t>(index.row());
    if (page >= pages.size()) return {};
    switch (index.column()) {
        case kNumber:
            return static_cast<int>(page + 1);
        case kName:
            return QString::fromStdString(PageName(project, page));
        case kFields:
            return static_cast<int>(Fields(pages[page]).size());
        case kText:
            return QString::fromStdString(PageText(project, page, language_));
        default:
            return {};
    }
}

bool PageTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !document_.hasProject() || !index.isValid()) return false;
    const auto page = static_cast<std::size_t>(index.row());
    const std::string text = value.toString().toStdString();
    if (index.column() == kName) {
        if (text == PageName(document_.block(), page)) return false;
        return document_.change(tr("Rename page %1").arg(page + 1),
                                [&] { return SetPageName(document_.block(), page, text); });
    }
    if (index.column() == kText) {
        if (text == PageText(document_.block(), page, language_)) return false;
        return document_.change(tr("Change the text of page %1").arg(page + 1), [&] {
            return SetPageText(document_.block(), page, language_, text);
        });
    }
    return false;
}

QVariant PageTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kNumber:
            return tr("No.");
        case kName:
            return tr("Name");
        case kFields:
            return tr("Fields");
        case kText:
            return tr("Text");
        default:
            return {};
    }
}

Qt::ItemFlags PageTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == kName || index.column() == kText) flags |= Qt::ItemIsEditable;
    return flags;
}

}  // namespace kestra::workbench
