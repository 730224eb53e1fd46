#include <QFontMetrics>
#include <QHeaderView>
#include <QResizeEvent>
#include <algorithm>
#include <vector>

#include "extension_classes/kxc_message.h"
#include "extension_classes/plc_info.h"
#include "extension_classes/plc_select.h"

namespace {

constexpr UINT kColumnTitles = 22301;
// Column widths in percent of the control's width.
constexpr int kColumnPercent[] = {35, 15, 35, 15};
constexpr int kInfoRole = Qt::UserRole;
// Room beside a column title for the header's margins.
constexpr int kTitlePadding = 16;

CPlcInfo* infoOf(const QTreeWidgetItem* item) {
    return item ? static_cast<CPlcInfo*>(item->data(0, kInfoRole).value<void*>()) : nullptr;
}

}  // namespace

CPlcListCtl::CPlcListCtl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetupColumns();
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &CPlcListCtl::SortByColumn);
}

void CPlcListCtl::SetupColumns() {
    const QStringList titles = KXCLoadString(kColumnTitles).split(u'\t');
    setColumnCount(static_cast<int>(std::size(kColumnPercent)));
    setHeaderLabels(titles);
    // Wide enough that each column's share shows its whole title.
    int width = 0;
    const QFontMetrics metrics(header()->font());
    for (int column = 0; column < titles.size() && column < columnCount(); ++column)
        width = std::max(width, (metrics.horizontalAdvance(titles[column]) + kTitlePadding) * 100 /
                                    kColumnPercent[column]);
    setMinimumWidth(width + frameWidth() * 2);
    applyWidths();
}

void CPlcListCtl::applyWidths() {
    const int width = viewport()->width();
    for (int column = 0; column < columnCount(); ++column)
        setColumnWidth(column, width * kColumnPercent[column] / 100);
}

void CPlcListCtl::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    applyWidths();
}

bool CPlcListCtl::hidden(const CPlcInfo& info) const {
    if (m_bHideInternal &&
        (info.m_nProjectCode == kPlcCodeInternal || info.m_nProjectCode == kPlcCodeForth))
        return true;
    return m_bHideClients && info.m_nProjectCode == kPlcCodeClient;
}

void CPlcListCtl::UpdateDriverList(CPlcInfoList* list) {
    clear();
    if (!list) return;
    for (int i = 0; i < list->GetCount(); ++i)
        if (CPlcInfo* info = list->GetAt(i); !hidden(*info))
            InsertDriverItem(topLevelItemCount(), info);
    const int column = m_nSortColumn;
    const bool ascending = m_bAscending;
    m_nSortColumn = kName;
    m_bAscending = true;
    sortRows();
    m_nSortColumn = column;
    m_bAscending = ascending;
}

void CPlcListCtl::InsertDriverItem(int index, CPlcInfo* info) {
    if (!info) return;
    auto* item = new QTreeWidgetItem;
    item->setText(kName, QString::fromStdString(info->m_strDriverName));
    item->setText(kDriverVersion, QString::fromStdString(info->GetVersionStr()));
    item->setText(kDllName, QString::fromStdString(info->m_strDllName));
    item->setText(kDllVersion, QString::fromStdString(info->m_strDllVersion));
    item->setData(0, kInfoRole, QVariant::fromValue(static_cast<void*>(info)));
    insertTopLevelItem(std::clamp(index, 0, topLevelItemCount()), item);
}

void CPlcListCtl::DeleteDriverItem(CPlcInfo* info) {
    for (int row = 0; row < topLevelItemCount(); ++row)
        if (infoOf(topLevelItem(row)) == info) {
            // A deleted row leaves no selection behind (the row that takes its place is not
            // selected in its stead).
            const bool wasSelected = topLevelItem(row)->isSelected();
            if (wasSelected) setCurrentItem(nullptr);
            delete takeTopLevelItem(row);
            if (wasSelected) clearSelection();
            return;
        }
}

CPlcInfo* CPlcListCtl::GetSelectedDriver() const {
    const auto items = selectedItems();
    return items.isEmpty() ? nullptr : infoOf(items.front());
}

std::string CPlcListCtl::GetSelectedDriverDll() const {
    const CPlcInfo* info = GetSelectedDriver();
    return info ? info->m_strDllName : std::string();
}

void CPlcListCtl::SetSelectedDriver(const CPlcInfo* info) {
    if (info)
        SetSelectedDriver(info->m_strDllName);
    else
        ClearSelections();
}

void CPlcListCtl::SetSelectedDriver(const std::string& dll) {
    ClearSelections();
    for (int row = 0; row < topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = topLevelItem(row);
        if (const CPlcInfo* info = infoOf(item); info && info->m_strDllName == dll) {
            setCurrentItem(item);
            item->setSelected(true);
            scrollToItem(item);
            return;
        }
    }
}

void CPlcListCtl::ClearSelections() {
    clearSelection();
}

void CPlcListCtl::SortByColumn(int column) {
    const int last = m_nSortColumn < 0 ? kName : m_nSortColumn;
    if (column == last) m_bAscending = !m_bAscending;
    m_nSortColumn = column;
    sortRows();
}

void CPlcListCtl::sortRows() {
    const int column = m_nSortColumn < 0 ? kName : m_nSortColumn;
    CPlcInfo* selected = GetSelectedDriver();
    std::vector<QTreeWidgetItem*> rows;
    while (topLevelItemCount() > 0) rows.push_back(takeTopLevelItem(0));
    std::stable_sort(rows.begin(), rows.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        const int order = a->text(column).compare(b->text(column), Qt::CaseSensitive);
        return m_bAscending ? order < 0 : order > 0;
    });
    for (QTreeWidgetItem* row : rows) addTopLevelItem(row);
    if (selected) SetSelectedDriver(selected);
}
