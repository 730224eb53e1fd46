// The pages of the project as a table: number, name, field count and the page's text in the
// chosen language. Names and texts are edited in place; each edit is one change of the
// document.
#pragma once

#include <QAbstractTableModel>
#include <cstddef>

namespace kestra::workbench {

class ProjectDocument;

class PageTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kNumber, kName, kFields, kText, kColumns };

    explicit PageTableModel(ProjectDocument& document, QObject* parent = nullptr);

    // The language whose page texts the table shows and edits.
    void setLanguage(std::size_t language);
    std::size_t language() const { return language_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    void reload();

    ProjectDocument& document_;
    std::size_t language_ = 0;
};

}  // namespace kestra::workbench
