// The fields of one page as a table, read from the loaded project whenever a view asks: one
// row per field, no copy of the project and no widget per cell.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <optional>

namespace kestra::workbench {

class ProjectDocument;

class FieldTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kNumber, kClass, kKind, kSize, kAddress, kFormat, kLabel, kText, kColumns };

    explicit FieldTableModel(ProjectDocument& document, QObject* parent = nullptr);

    // The page shown (none: an empty table).
    void setPage(std::optional<std::size_t> page);
    std::optional<std::size_t> page() const { return page_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    void reload();

    ProjectDocument& document_;
    std::optional<std::size_t> page_;
};

}  // namespace kestra::workbench
