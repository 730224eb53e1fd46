#include "workbench/views/page_canvas.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <iterator>

#include "kestra/driver.h"
#include "plc_s5/type1_image.h"
#include "workbench/document/project_document.h"
#include "workbench/document/project_pages.h"
#include "workbench/views/driver_texts.h"
#include "workbench/views/field_table_model.h"

namespace kestra::workbench {

namespace {

// A display is first shown as large as fits this many pixels, up to this zoom.
constexpr QSize kFirstRoom(720, 480);
constexpr int kFirstZoomLimit = 4;

int FirstZoom(const host::PanelDisplay& display) {
    int zoom = PagePainter::kMinZoom;
    while (zoom < kFirstZoomLimit &&
           display.columns * display.charWidth * (zoom + 1) <= kFirstRoom.width() &&
           display.rows * display.charHeight * (zoom + 1) <= kFirstRoom.height())
        ++zoom;
    return zoom;
}

bool SameGrid(const host::PanelDisplay& a, const host::PanelDisplay& b) {
    return a.rows == b.rows && a.columns == b.columns && a.charWidth == b.charWidth &&
           a.charHeight == b.charHeight;
}

struct Arrow {
    int key;
    CellStep step;
};
constexpr Arrow kArrows[] = {
    {Qt::Key_Left, {0, -1}},
    {Qt::Key_Right, {0, 1}},
    {Qt::Key_Up, {-1, 0}},
    {Qt::Key_Down, {1, 0}},
};

}  // namespace

PageCanvas::PageCanvas(ProjectDocument& document, FieldTableModel& fields,
                       QItemSelectionModel& selection, QWidget* parent)
    : QWidget(parent), document_(document), fields_(fields), selection_(selection) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Page view"));
    setAccessibleDescription(
        tr("The page as its display shows it. Arrow keys move the selected fields, Shift and "
           "the arrow keys resize them, Enter opens their properties."));
    // The table's model is reset whenever the document changes or shows another page.
    connect(&fields_, &QAbstractItemModel::modelReset, this, &PageCanvas::relayout);
    connect(&selection_, &QItemSelectionModel::selectionChanged, this,
            qOverload<>(&QWidget::update));
    relayout();
}

QSize PageCanvas::sizeHint() const {
    return painter_.size(layout_.extent());
}

void PageCanvas::relayout() {
    if (drag_ != Drag::None) endDrag();
    const auto page = fields_.page();
    const host::PanelDisplay display =
        document_.hasProject() ? host::PanelDisplayOf(document_.block()) : host::PanelDisplay{};
    if (!SameGrid(display, layout_.display)) chosenZoom_.reset();
    if (page && document_.hasProject()) {
        layout_ = LayOutPage(document_.block(), *page, language_, display);
    } else {
        layout_ = PageLayout{};
        layout_.display = display;
    }
    painter_.setGrid(display, chosenZoom_.value_or(FirstZoom(display)));
    setFixedSize(painter_.size(layout_.extent()));
    update();
    Q_EMIT layoutChanged();
}

void PageCanvas::setZoom(int zoom) {
    zoom = std::clamp(zoom, PagePainter::kMinZoom, painter_.maxZoom());
    chosenZoom_ = zoom;
    if (zoom == painter_.zoom()) return;
    painter_.setGrid(layout_.display, zoom);
    setFixedSize(painter_.size(layout_.extent()));
    update();
    Q_EMIT zoomChanged(zoom);
}

void PageCanvas::setLanguage(std::size_t language) {
    if (language == language_) return;
    language_ = language;
    relayout();
}

void PageCanvas::setLabelsShown(bool shown) {
    labels_ = shown;
    update();
}

// ---- Selection -------------------------------------------------------------------------------

std::vector<std::size_t> PageCanvas::chosen() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : selection_.selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PageCanvas::choose(const std::vector<std::size_t>& fields) {
    const auto count = static_cast<std::size_t>(std::max(fields_.rowCount(), 0));
    std::vector<std::size_t> rows;
    std::copy_if(fields.begin(), fields.end(), std::back_inserter(rows),
                 [count](std::size_t field) { return field < count; });
    std::sort(rows.begin(), rows.end());
    // Runs of neighbouring rows as one range each.
    QItemSelection selection;
    for (std::size_t first = 0, last = 0; first < rows.size(); first = last + 1) {
        last = first;
        while (last + 1 < rows.size() && rows[last + 1] <= rows[last] + 1) ++last;
        selection.select(fields_.index(static_cast<int>(rows[first]), 0),
                         fields_.index(static_cast<int>(rows[last]), 0));
    }
    selection_.select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!selection.isEmpty())
        selection_.setCurrentIndex(selection.back().topLeft(), QItemSelectionModel::NoUpdate);
}

void PageCanvas::reveal() {
    const QModelIndex current = selection_.currentIndex();
    const auto number = static_cast<std::size_t>(current.row());
    if (current.isValid() && number < layout_.fields.size())
        Q_EMIT wantsVisible(painter_.pixels(layout_.fields[number].cells));
}

void PageCanvas::chooseStep(int step) {
    if (layout_.fields.empty()) return;
    const auto chosen = this->chosen();
    const auto last = static_cast<std::ptrdiff_t>(layout_.fields.size()) - 1;
    std::ptrdiff_t next =
        chosen.empty()
            ? (step > 0 ? 0 : last)
            : static_cast<std::ptrdiff_t>(step > 0 ? chosen.back() : chosen.front()) + step;
    choose({static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(next, 0, last))});
}

// ---- Changes ---------------------------------------------------------------------------------

bool PageCanvas::moveChosen(CellStep step) {
    const auto page = fields_.page();
    const auto chosen = this->chosen();
    if (!page || chosen.empty()) return false;
    const CellStep held = HeldMove(layout_, chosen, step);
    if (held == CellStep{}) return false;
    const QString text = chosen.size() == 1 ? tr("Move field %1").arg(chosen.front() + 1)
                                            : tr("Move %1 fields").arg(chosen.size());
    const bool moved = document_.change(
        text, [&] { return MoveFields(document_.block(), *page, chosen, held); });
    choose(chosen);
    return moved;
}

bool PageCanvas::resizeChosen(CellStep step) {
    const auto page = fields_.page();
    const auto chosen = this->chosen();
    if (!page || chosen.empty() || step == CellStep{}) return false;
    const QString text = chosen.size() == 1 ? tr("Resize field %1").arg(chosen.front() + 1)
                                            : tr("Resize %1 fields").arg(chosen.size());
    const bool resized = document_.change(text, [&] {
        return ResizeFields(document_.block(), *page, chosen, step, layout_.display);
    });
    choose(chosen);
    return resized;
}

// ---- Painting --------------------------------------------------------------------------------

std::span<const FieldRecord> PageCanvas::records() const {
    const auto page = fields_.page();
    if (!page || !document_.hasProject()) return {};
    const auto pages = Pages(document_.block());
    return *page < pages.size() ? Fields(pages[*page]) : std::span<FieldRecord>();
}

PageLayout PageCanvas::dragged() const {
    PageLayout shown = layout_;
    if (dragStep_ == CellStep{}) return shown;
    const auto records = this->records();
    for (std::size_t number : chosen()) {
        if (number >= shown.fields.size() || number >= records.size()) continue;
        QRect& cells = shown.fields[number].cells;
        if (drag_ == Drag::Move) {
            cells.translate(dragStep_.columns, dragStep_.rows);
        } else {
            cells.setSize(HeldSize(records[number], cells, dragStep_, shown.display));
            shown.fields[number].placeholder =
                Placeholder(document_.block(), records[number], cells.width());
        }
    }
    MarkProblems(shown);
    return shown;
}

void PageCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    std::vector<bool> selected(layout_.fields.size(), false);
    for (std::size_t number : chosen())
        if (number < selected.size()) selected[number] = true;
    PagePainter::Marks marks;
    marks.selected = &selected;
    marks.highlight = palette().color(QPalette::Highlight);
    marks.labels = labels_;
    marks.focus = hasFocus();
    marks.clip = event->rect();
    const bool preview = (drag_ == Drag::Move || drag_ == Drag::Resize) && dragStep_ != CellStep{};
    painter_.paint(painter, preview ? dragged() : layout_, marks);
    if (drag_ == Drag::Band && !band_.isEmpty()) {
        painter.setPen(QPen(marks.highlight, 1, Qt::DashLine));
        painter.setBrush(
            QColor(marks.highlight.red(), marks.highlight.green(), marks.highlight.blue(), 40));
        painter.drawRect(band_.adjusted(0, 0, -1, -1));
    }
}

// ---- Mouse -----------------------------------------------------------------------------------

const PlacedField* PageCanvas::handleAt(QPoint pixel) const {
    for (std::size_t number : chosen())
        if (number < layout_.fields.size() &&
            painter_.handle(layout_.fields[number].cells).adjusted(-2, -2, 2, 2).contains(pixel))
            return &layout_.fields[number];
    return nullptr;
}

void PageCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressPixel_ = event->position().toPoint();
    pressCell_ = painter_.cellAt(pressPixel_);
    dragStep_ = {};
    const bool toggle = event->modifiers() & Qt::ControlModifier;
    if (!toggle && handleAt(pressPixel_)) {
        drag_ = Drag::Resize;
        return;
    }
    std::vector<std::size_t> chosen = this->chosen();
    if (const PlacedField* field = layout_.fieldAt(pressCell_)) {
        const auto at = std::lower_bound(chosen.begin(), chosen.end(), field->number);
        const bool isChosen = at != chosen.end() && *at == field->number;
        if (toggle) {
            if (isChosen)
                chosen.erase(at);
            else
                chosen.insert(at, field->number);
            choose(chosen);
            return;
        }
        if (!isChosen) choose({field->number});
        drag_ = Drag::Move;
        return;
    }
    bandBase_ = toggle ? chosen : std::vector<std::size_t>{};
    if (!toggle) choose({});
    drag_ = Drag::Band;
    band_ = {};
}

void PageCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pixel = event->position().toPoint();
    if (drag_ == Drag::None) {
        setCursor(handleAt(pixel)                           ? Qt::SizeFDiagCursor
                  : layout_.fieldAt(painter_.cellAt(pixel)) ? Qt::SizeAllCursor
                                                            : Qt::ArrowCursor);
        return;
    }
    const QPoint delta = painter_.cellAt(pixel) - pressCell_;
    CellStep step{delta.y(), delta.x()};
    switch (drag_) {
        case Drag::Move:
            step = HeldMove(layout_, chosen(), step);
            [[fallthrough]];
        case Drag::Resize:
            if (step != dragStep_) {
                dragStep_ = step;
                update();
            }
            break;
        case Drag::Band: {
            band_ = QRect(pressPixel_, pixel).normalized();
            std::vector<std::size_t> touched = bandBase_;
            for (const PlacedField& field : layout_.fields)
                if (painter_.pixels(field.cells).intersects(band_)) touched.push_back(field.number);
            std::sort(touched.begin(), touched.end());
            touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
            choose(touched);
            update();
            break;
        }
        case Drag::None:
            break;
    }
}

void PageCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_ == Drag::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const Drag drag = drag_;
    const CellStep step = dragStep_;
    endDrag();
    if (step == CellStep{}) return;
    if (drag == Drag::Move) moveChosen(step);
    if (drag == Drag::Resize) resizeChosen(step);
}

void PageCanvas::endDrag() {
    drag_ = Drag::None;
    dragStep_ = {};
    band_ = {};
    bandBase_.clear();
    update();
}

void PageCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint cell = painter_.cellAt(event->position().toPoint());
    if (const PlacedField* field = layout_.fieldAt(cell)) {
        choose({field->number});
        Q_EMIT propertiesRequested();
    } else if (layout_.display.holds(cell.y(), cell.x(), 1, 1)) {
        Q_EMIT addFieldRequested(cell.y(), cell.x());
    }
}

void PageCanvas::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier) || event->angleDelta().y() == 0) {
        event->ignore();  // the scroll area scrolls
        return;
    }
    setZoom(zoom() + (event->angleDelta().y() > 0 ? 1 : -1));
    event->accept();
}

QMenu* PageCanvas::menuAt(QPoint cell) {
    auto* menu = new QMenu(this);
    QAction* add = menu->addAction(tr("Add Field &Here"));
    add->setEnabled(layout_.display.holds(cell.y(), cell.x(), 1, 1) && !layout_.fieldAt(cell));
    connect(add, &QAction::triggered, this,
            [this, cell] { Q_EMIT addFieldRequested(cell.y(), cell.x()); });
    if (!actions().isEmpty()) {
        menu->addSeparator();
        menu->addActions(actions());
    }
    return menu;
}

void PageCanvas::contextMenuEvent(QContextMenuEvent* event) {
    QPoint cell = painter_.cellAt(event->pos());
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard: at the first selected field, or the display's first cell.
        const auto chosen = this->chosen();
        cell = chosen.empty() || chosen.front() >= layout_.fields.size()
                   ? QPoint(0, 0)
                   : layout_.fields[chosen.front()].cells.topLeft();
        at = mapToGlobal(painter_.pixels({cell, QSize(1, 1)}).center());
    } else if (const PlacedField* field = layout_.fieldAt(cell)) {
        const auto chosen = this->chosen();
        if (!std::binary_search(chosen.begin(), chosen.end(), field->number))
            choose({field->number});
    }
    QMenu* menu = menuAt(cell);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(at);
}

// ---- Keyboard --------------------------------------------------------------------------------

void PageCanvas::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    for (const Arrow& arrow : kArrows) {
        if (event->key() != arrow.key) continue;
        if (modifiers == Qt::NoModifier) {
            moveChosen(arrow.step);
        } else if (modifiers == Qt::ShiftModifier) {
            resizeChosen(arrow.step);
        } else {
            QWidget::keyPressEvent(event);
            return;
        }
        event->accept();
        reveal();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::NoModifier && !chosen().empty()) Q_EMIT propertiesRequested();
            break;
        case Qt::Key_Escape:
            if (drag_ != Drag::None)
                endDrag();
            else
                choose({});
            break;
        case Qt::Key_Home:
            if (!layout_.fields.empty()) choose({0});
            break;
        case Qt::Key_End:
            if (!layout_.fields.empty()) choose({layout_.fields.size() - 1});
            break;
        case Qt::Key_PageDown:
            chooseStep(1);
            break;
        case Qt::Key_PageUp:
            chooseStep(-1);
            break;
        case Qt::Key_A:
            if (modifiers != Qt::ControlModifier) {
                QWidget::keyPressEvent(event);
                return;
            }
            {
                std::vector<std::size_t> all(layout_.fields.size());
                for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
                choose(all);
            }
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
    reveal();
}

void PageCanvas::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void PageCanvas::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// ---- Tool tips -------------------------------------------------------------------------------

QString PageCanvas::describe(const PlacedField& field) const {
    const auto records = this->records();
    if (field.number >= records.size()) return {};
    const ProjectBlock& project = document_.block();
    const FieldRecord& record = records[field.number];
    host::Driver* driver = document_.driver();
    QString text = tr("Field %1: %2").arg(field.number + 1).arg(KindName(driver, record));
    const QString address = AddressText(driver, project, record);
    if (!address.isEmpty()) text += tr(", %1, %2").arg(address, DataFormatName(driver, record));
    text += tr("\nRow %1, column %2, %3 x %4 characters")
                .arg(s5::FieldRow(record) + 1)
                .arg(s5::FieldColumn(record) + 1)
                .arg(record.width)
                .arg(record.height);
    if (!field.label.isEmpty()) text += tr("\nLabel: %1").arg(field.label);
    if (field.overlaps) text += tr("\nIt overlaps another field.");
    if (field.outside) text += tr("\nIt runs past the display.");
    return text;
}

bool PageCanvas::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    if (const PlacedField* field = layout_.fieldAt(painter_.cellAt(help->pos())))
        QToolTip::showText(help->globalPos(), describe(*field), this);
    else
        QToolTip::hideText();
    return true;
}

}  // namespace kestra::workbench
