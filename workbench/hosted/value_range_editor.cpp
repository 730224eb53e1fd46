#include "workbench/hosted/value_range_editor.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/message_box.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

constexpr int kOriginalRole = Qt::UserRole;     // column 0: where the row's range was read
constexpr int kPictureRole = Qt::UserRole + 1;  // the picture column: the bitmap's position
constexpr QSize kPreviewSize{220, 120};
constexpr int kIconHeight = 24;
constexpr int kCellPadding = 24;
constexpr int kTextColumnWidth = 180;

// The values of a range: a spin box within the field's values.
class ValueDelegate : public QStyledItemDelegate {
  public:
    ValueDelegate(ValueBounds bounds, QObject* parent)
        : QStyledItemDelegate(parent), bounds_(bounds) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* box = new QSpinBox(parent);
        box->setRange(bounds_.low, bounds_.high);
        box->setFrame(false);
        return box;
    }

  private:
    ValueBounds bounds_;
};

// A text: a line of at most the field's width.
class TextDelegate : public QStyledItemDelegate {
  public:
    TextDelegate(int width, QObject* parent) : QStyledItemDelegate(parent), width_(width) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && width_ > 0)
            line->setMaxLength(width_);
        return editor;
    }

  private:
    int width_;
};

// A picture: one of the project's bitmaps.
class PictureDelegate : public QStyledItemDelegate {
  public:
    PictureDelegate(const std::vector<ProjectBitmap>& bitmaps, QObject* parent)
        : QStyledItemDelegate(parent), bitmaps_(bitmaps) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* box = new QComboBox(parent);
        for (const ProjectBitmap& bitmap : bitmaps_) box->addItem(IconOf(bitmap), bitmap.name);
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QComboBox*>(editor)->setCurrentIndex(index.data(kPictureRole).toInt());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        const int picture = static_cast<QComboBox*>(editor)->currentIndex();
        if (picture < 0) return;
        model->setData(index, picture, kPictureRole);
        model->setData(index, bitmaps_[static_cast<std::size_t>(picture)].name, Qt::DisplayRole);
        model->setData(index, IconOf(bitmaps_[static_cast<std::size_t>(picture)]),
                       Qt::DecorationRole);
    }
    static QIcon IconOf(const ProjectBitmap& bitmap) {
        if (bitmap.picture.isNull()) return {};
        return QIcon(QPixmap::fromImage(bitmap.picture.scaledToHeight(kIconHeight)));
    }

  private:
    const std::vector<ProjectBitmap>& bitmaps_;
};

class RangeEditorDialog : public QDialog {
  public:
    RangeEditorDialog(QWidget* parent, const RangeEditorSetup& setup,
                      const std::vector<ValueRange>& ranges)
        : QDialog(parent), setup_(setup), originals_(ranges) {
        setWindowTitle(setup.title);
        auto* label = new QLabel(setup.about + "\n\n" + tr("&Ranges:"), this);
        label->setWordWrap(true);
        table_ = new QTableWidget(0, columnCount(), this);
        table_->setObjectName("ranges");
        table_->setSelectionBehavior(QAbstractItemView::SelectRows);
        table_->setSelectionMode(QAbstractItemView::SingleSelection);
        table_->setTabKeyNavigation(false);
        table_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
        table_->verticalHeader()->hide();
        table_->horizontalHeader()->setStretchLastSection(true);
        QStringList headers{tr("First value"), tr("Last value")};
        if (setup.pictures) headers << tr("Picture");
        if (setup.texts) headers << tr("Text");
        table_->setHorizontalHeaderLabels(headers);
        for (int column : {0, 1})
            table_->setItemDelegateForColumn(column, new ValueDelegate(setup.bounds, this));
        if (setup.pictures) {
            table_->setItemDelegateForColumn(pictureColumn(),
                                             new PictureDelegate(setup_.bitmaps, this));
            table_->setIconSize(QSize(kIconHeight * 2, kIconHeight));
        }
        if (setup.texts)
            table_->setItemDelegateForColumn(textColumn(), new TextDelegate(setup.textWidth, this));
        table_->setWordWrap(false);
        int width = 2 * table_->horizontalHeader()->defaultSectionSize();
        if (setup.pictures) {
            // Room for the longest bitmap's name beside its icon.
            int names = 0;
            for (const ProjectBitmap& bitmap : setup.bitmaps)
                names = std::max(names, table_->fontMetrics().horizontalAdvance(bitmap.name));
            const int column = table_->iconSize().width() + names + kCellPadding;
            table_->setColumnWidth(pictureColumn(), column);
            width += column;
        }
        if (setup.texts) width += kTextColumnWidth;
        table_->setMinimumWidth(width + kCellPadding);
        table_->setMinimumHeight(200);

        auto* body = new QWidget(this);
        auto* bodyLayout = new QVBoxLayout(body);
        bodyLayout->setContentsMargins(0, 0, 0, 0);
        bodyLayout->addWidget(table_);
        if (setup.pictures) {
            preview_ = new QLabel(body);
            preview_->setObjectName("preview");
            preview_->setFixedSize(kPreviewSize);
            preview_->setAlignment(Qt::AlignCenter);
            preview_->setFrameShape(QFrame::StyledPanel);
            bodyLayout->addWidget(preview_, 0, Qt::AlignHCenter);
        }
        body->setFocusProxy(table_);
        const auto buttons = LayOutListDialog(*this, label, body, {"&Add", "&Remove"});
        add_ = buttons[0];
        remove_ = buttons[1];
        connect(add_, &QPushButton::clicked, this, [this] { addRange(); });
        connect(remove_, &QPushButton::clicked, this, [this] { removeRange(); });
        // Insert and Delete in the table, while no cell is being edited.
        auto key = [this](QKeySequence sequence, auto slot) {
            auto* action = new QAction(table_);
            action->setShortcut(sequence);
            action->setShortcutContext(Qt::WidgetShortcut);
            connect(action, &QAction::triggered, this, slot);
            table_->addAction(action);
        };
        key(QKeySequence(Qt::Key_Insert), [this] { addRange(); });
        key(QKeySequence(Qt::Key_Delete), [this] { removeRange(); });
        connect(table_, &QTableWidget::currentCellChanged, this, [this] { showPicture(); });
        connect(table_, &QTableWidget::itemChanged, this, [this] { showPicture(); });

        for (std::size_t i = 0; i < originals_.size(); ++i)
            appendRow(originals_[i], static_cast<int>(i));
        if (!ranges.empty()) table_->setCurrentCell(0, 0);
        if (setup.bounds.empty()) add_->setEnabled(false);
        if (setup.pictures && setup.bitmaps.empty()) add_->setEnabled(false);
        updateButtons();
        showPicture();
    }

    std::vector<ValueRange> ranges() const {
        std::vector<ValueRange> ranges;
        for (int row = 0; row < table_->rowCount(); ++row) {
            const int original = table_->item(row, 0)->data(kOriginalRole).toInt();
            ValueRange range =
                original >= 0 ? originals_[static_cast<std::size_t>(original)] : ValueRange{};
            range.first = table_->item(row, 0)->data(Qt::EditRole).toInt();
            range.last = table_->item(row, 1)->data(Qt::EditRole).toInt();
            if (setup_.pictures)
                range.picture = table_->item(row, pictureColumn())->data(kPictureRole).toInt();
            if (setup_.texts) range.text = table_->item(row, textColumn())->text().toStdString();
            ranges.push_back(std::move(range));
        }
        return ranges;
    }

    void accept() override {
        // A cell still being edited (OK pressed by its key) gives its text first.
        if (QWidget* editing = table_->indexWidget(table_->currentIndex()))
            QMetaObject::invokeMethod(table_, "commitData", Q_ARG(QWidget*, editing));
        std::vector<ValueRange> checked = ranges();
        std::size_t row = 0;
        if (auto fault = CheckRanges(checked, setup_.bounds, setup_.pictures, &row)) {
            // The row at fault, counted in the table's order.
            const ValueRange& bad = checked[row];
            for (int r = 0; r < table_->rowCount(); ++r)
                if (table_->item(r, 0)->data(Qt::EditRole).toInt() == bad.first &&
                    table_->item(r, 1)->data(Qt::EditRole).toInt() == bad.last)
                    table_->setCurrentCell(r, 0);
            Tell(this, setup_.title.toStdString(), *fault, MB_OK | MB_ICONWARNING);
            table_->setFocus();
            return;
        }
        accepted_ = std::move(checked);
        QDialog::accept();
    }

    const std::vector<ValueRange>& accepted() const { return accepted_; }

  private:
    int columnCount() const { return 2 + (setup_.pictures ? 1 : 0) + (setup_.texts ? 1 : 0); }
    int pictureColumn() const { return 2; }
    int textColumn() const { return setup_.pictures ? 3 : 2; }

    // A row of the range; `original` is where it stands in the ranges the dialog was given,
    // or -1 for a new one.
    void appendRow(const ValueRange& range, int original) {
        const QSignalBlocker quiet(table_);
        const int row = table_->rowCount();
        table_->insertRow(row);
        auto* first = new QTableWidgetItem;
        first->setData(Qt::EditRole, range.first);
        first->setData(kOriginalRole, original);
        table_->setItem(row, 0, first);
        auto* last = new QTableWidgetItem;
        last->setData(Qt::EditRole, range.last);
        table_->setItem(row, 1, last);
        if (setup_.pictures) {
            auto* picture = new QTableWidgetItem;
            picture->setData(kPictureRole, range.picture);
            if (range.picture >= 0 &&
                static_cast<std::size_t>(range.picture) < setup_.bitmaps.size()) {
                const ProjectBitmap& bitmap =
                    setup_.bitmaps[static_cast<std::size_t>(range.picture)];
                picture->setText(bitmap.name);
                picture->setIcon(PictureDelegate::IconOf(bitmap));
            } else {
                picture->setText(tr("(none: choose one)"));
            }
            table_->setItem(row, pictureColumn(), picture);
        }
        if (setup_.texts)
            table_->setItem(row, textColumn(),
                            new QTableWidgetItem(QString::fromStdString(range.text)));
    }

    void addRange() {
        if (!add_->isEnabled()) return;
        const auto value = FirstFreeValue(ranges(), setup_.bounds);
        if (!value) {
            Tell(this, setup_.title.toStdString(),
                 "Every value of the field has its range already: change a range's values to "
                 "make room.",
                 MB_OK | MB_ICONINFORMATION);
            return;
        }
        ValueRange range;
        range.first = range.last = *value;
        if (setup_.pictures) range.picture = 0;
        appendRow(range, -1);
        const int row = table_->rowCount() - 1;
        table_->setCurrentCell(row, setup_.texts ? textColumn() : pictureColumn());
        table_->setFocus();
        table_->editItem(table_->currentItem());
        updateButtons();
    }

    void removeRange() {
        const int row = table_->currentRow();
        if (row < 0) return;
        table_->removeRow(row);
        const int last = table_->rowCount() - 1;
        if (last >= 0) table_->setCurrentCell(row < last ? row : last, 0);
        updateButtons();
        showPicture();
    }

    void updateButtons() { remove_->setEnabled(table_->rowCount() > 0); }

    void showPicture() {
        if (!preview_) return;
        const int row = table_->currentRow();
        const int picture =
            row >= 0 ? table_->item(row, pictureColumn())->data(kPictureRole).toInt() : -1;
        if (picture < 0 || static_cast<std::size_t>(picture) >= setup_.bitmaps.size() ||
            setup_.bitmaps[static_cast<std::size_t>(picture)].picture.isNull()) {
            preview_->setPixmap({});
            preview_->setText(setup_.bitmaps.empty() ? tr("The project has no bitmaps.")
                                                     : tr("No picture"));
            return;
        }
        // Small panel pictures are enlarged by whole pixels, so that they stay sharp.
        const QImage& image = setup_.bitmaps[static_cast<std::size_t>(picture)].picture;
        const QSize room = kPreviewSize - QSize(8, 8);
        const int scale = std::max(1, std::min(room.width() / std::max(image.width(), 1),
                                               room.height() / std::max(image.height(), 1)));
        QImage shown = image.scaled(image.size() * scale);
        if (shown.width() > room.width() || shown.height() > room.height())
            shown = image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        preview_->setPixmap(QPixmap::fromImage(shown));
    }

    RangeEditorSetup setup_;
    std::vector<ValueRange> originals_;  // what the table's rows were made of
    QTableWidget* table_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    std::vector<ValueRange> accepted_;
};

}  // namespace

std::optional<std::vector<ValueRange>> EditValueRanges(QWidget* parent,
                                                       const RangeEditorSetup& setup,
                                                       std::vector<ValueRange> ranges) {
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const ValueRange& a, const ValueRange& b) { return a.first < b.first; });
    RangeEditorDialog dialog(parent, setup, ranges);
    CentreOverParent(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.accepted();
}

}  // namespace kestra::workbench
