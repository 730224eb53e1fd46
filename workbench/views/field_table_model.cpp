#include "workbench/views/field_table_model.h"

#include "workbench/views/driver_texts.h"
#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"

namespace kestra::workbench {

namespace {

struct ColumnHead {
    const char* title;
    const char* tip;
};

constexpr ColumnHead kHeads[FieldTableModel::kColumns] = {
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "No."),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "The field's place on its page")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Class"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "What the field is tied to")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Kind"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel",
                       "The field type by the driver's name")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Size"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Width x height")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "PLC address"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel",
                       "Where the field reads or writes PLC data, as the driver writes it")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Data format"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel",
                       "The data format by the driver's name")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Label"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "The field's label")},
    {QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel", "Text"),
     QT_TRANSLATE_NOOP("kestra::workbench::FieldTableModel",
                       "The field's text (one for every language: a language carries page texts)")},
};

}  // namespace

FieldTableModel::FieldTableModel(ProjectDocument& document, QObject* parent)
    : QAbstractTableModel(parent), document_(document) {
    connect(&document_, &ProjectDocument::projectChanged, this, &FieldTableModel::reload);
}

void FieldTableModel::setPage(std::optional<std::size_t> page) {
    beginResetModel();
    page_ = page;
    endResetModel();
}

void FieldTableModel::reload() {
    beginResetModel();
    endResetModel();
}

int FieldTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !page_ || !document_.hasProject()) return 0;
    const auto pages = Pages(document_.block());
    return *page_ < pages.size() ? static_cast<int>(Fields(pages[*page_]).size()) : 0;
}

int FieldTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant FieldTableModel::data(const QModelIndex& index, int role) const {
    if (!page_ || !document_.hasProject() || !index.isValid()) return {};
    if (role == Qt::TextAlignmentRole && (index.column() == kNumber || index.column() == kSize))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const ProjectBlock& project = document_.block();
    const auto pages = Pages(project);
    if (*page_ >= pages.size()) return {};
    const auto fields = Fields(pages[*page_]);
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= fields.size()) return {};
    const FieldRecord& field = fields[row];
    host::Driver* driver = document_.driver();
    switch (index.column()) {
        case kNumber:
            return static_cast<int>(row + 1);
        case kClass:
            return ClassName(driver, field);
        case kKind:
            return KindName(driver, field);
        case kSize:
            return QStringLiteral("%1 x %2").arg(field.width).arg(field.height);
        case kAddress:
            return AddressText(driver, project, field);
        case kFormat:
            return DataFormatName(driver, field);
        case kLabel:
            return QString::fromStdString(TextIn(field.label));
        case kText:
            return field.textId != 0u ? QString::fromStdString(Text(project, field.textId))
                                      : QString();
        default:
            return {};
    }
}

QVariant FieldTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
    if (role == Qt::DisplayRole) return tr(kHeads[section].title);
    if (role == Qt::ToolTipRole) return tr(kHeads[section].tip);
    return {};
}

}  // namespace kestra::workbench
