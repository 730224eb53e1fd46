#include "keyboard_editor/clavon_view.h"

#include <QGraphicsSceneMouseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWheelEvent>

namespace clavon {
namespace {

constexpr double kHandle = 6;  // size of the sizing handle in the bottom-right corner

QRectF GeometryOf(const CODKesSymbol& symbol) {
    return QRectF(symbol.x, symbol.y, symbol.width, symbol.height);
}

}  // namespace

SymbolItem::SymbolItem(CODKesSymbol& symbol, CClavonView& view) : m_symbol(&symbol), m_view(view) {
    setFlags(ItemIsSelectable | ItemIsMovable);
    setAcceptHoverEvents(true);
    Sync();
}

void SymbolItem::Sync() {
    setPos(m_symbol->x, m_symbol->y);
    setRect(0, 0, m_symbol->width, m_symbol->height);
}

void SymbolItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    const QImage picture = m_symbol->Render();
    if (!picture.isNull())
        painter->drawImage(
            QPointF(m_symbol->SnappedX() - m_symbol->x, m_symbol->SnappedY() - m_symbol->y),
            picture);
    if (isSelected()) {
        painter->setPen(QPen(QColor(0, 90, 200), 0, Qt::DashLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect());
        painter->setBrush(QColor(0, 90, 200));
        painter->drawRect(
            QRectF(rect().right() - kHandle, rect().bottom() - kHandle, kHandle, kHandle));
    }
}

bool SymbolItem::InHandle(const QPointF& local) const {
    return isSelected() && local.x() >= rect().right() - kHandle &&
           local.y() >= rect().bottom() - kHandle;
}

void SymbolItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event) {
    setCursor(InHandle(event->pos()) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    QGraphicsRectItem::hoverMoveEvent(event);
}

void SymbolItem::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    m_view.BeginGeometry();
    m_sizing = event->button() == Qt::LeftButton && InHandle(event->pos());
    if (m_sizing) {
        event->accept();
        return;
    }
    QGraphicsRectItem::mousePressEvent(event);
}

void SymbolItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
    if (!m_sizing) {
        QGraphicsRectItem::mouseMoveEvent(event);
        for (QGraphicsItem* item : scene()->selectedItems()) {
            auto* symbolItem = static_cast<SymbolItem*>(item);
            symbolItem->m_symbol->MoveTo(item->pos().x(), item->pos().y());
        }
        return;
    }
    const QPointF local = event->pos();
    m_symbol->width = std::max(local.x(), 1.0);
    m_symbol->height = std::max(local.y(), 1.0);
    prepareGeometryChange();
    Sync();
}

void SymbolItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    QGraphicsRectItem::mouseReleaseEvent(event);
    const bool sized = m_sizing;
    m_sizing = false;
    m_view.EndGeometry(sized);
}

CClavonView::CClavonView(CClavonModel* model, QWidget* parent)
    : QGraphicsView(parent), m_model(model) {
    setScene(&m_scene);
    setDragMode(RubberBandDrag);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    setBackgroundBrush(QColor(128, 128, 128));
    connect(&m_scene, &QGraphicsScene::selectionChanged, this, &CClavonView::selectionChanged);
    Rebuild();
}

void CClavonView::SetModel(CClavonModel* model) {
    m_model = model;
    Rebuild();
}

void CClavonView::Rebuild() {
    // Items point into the model, which undo may have replaced: the selection is kept by
    // component index.
    std::vector<int> selected;
    for (QGraphicsItem* item : m_scene.selectedItems()) {
        const int index = static_cast<int>(m_scene.items(Qt::AscendingOrder).indexOf(item));
        if (index >= 0) selected.push_back(index);
    }
    {
        const QSignalBlocker block(m_scene);
        m_scene.clear();
        m_scene.setSceneRect(0, 0, m_model->PanelWidth(), m_model->PanelHeight());
        for (auto& symbol : m_model->Symbols()) m_scene.addItem(new SymbolItem(*symbol, *this));
        Select(selected);
    }
    viewport()->update();
    emit selectionChanged();
}

std::vector<CODKesSymbol*> CClavonView::Selection() const {
    std::vector<CODKesSymbol*> selected;
    for (auto& symbol : m_model->Symbols())
        for (QGraphicsItem* item : m_scene.selectedItems())
            if (&static_cast<SymbolItem*>(item)->Symbol() == symbol.get())
                selected.push_back(symbol.get());
    return selected;
}

std::vector<int> CClavonView::SelectedIndexes() const {
    std::vector<int> indexes;
    const std::vector<CODKesSymbol*> selection = Selection();
    for (std::size_t i = 0; i < m_model->Symbols().size(); ++i)
        if (std::find(selection.begin(), selection.end(), m_model->Symbols()[i].get()) !=
            selection.end())
            indexes.push_back(static_cast<int>(i));
    return indexes;
}

void CClavonView::Select(const std::vector<int>& indexes) {
    m_scene.clearSelection();
    for (QGraphicsItem* item : m_scene.items()) {
        auto* symbolItem = static_cast<SymbolItem*>(item);
        for (int i : indexes)
            if (i >= 0 && i < m_model->ComponentCount() &&
                &symbolItem->Symbol() == m_model->Symbols()[static_cast<std::size_t>(i)].get())
                item->setSelected(true);
    }
}

void CClavonView::Zoom(double factor) {
    const double next = std::clamp(ZoomFactor() * factor, 0.25, 8.0);
    setTransform(QTransform::fromScale(next, next));
}

void CClavonView::drawBackground(QPainter* painter, const QRectF& rect) {
    QGraphicsView::drawBackground(painter, rect);
    const QRectF panel(0, 0, m_model->PanelWidth(), m_model->PanelHeight());
    painter->fillRect(panel, QColor(RedOf(static_cast<Colour>(m_model->Int(kBackColour))),
                                    GreenOf(static_cast<Colour>(m_model->Int(kBackColour))),
                                    BlueOf(static_cast<Colour>(m_model->Int(kBackColour)))));
    if (!m_model->Background().isNull() && m_model->ComponentCount() > 0) {
        const PanelRect u = m_model->ComponentBounds();
        painter->drawImage(QRectF(u.left, u.top, u.Width(), u.Height()), m_model->Background());
    }
    painter->setPen(QPen(QColor(170, 170, 170), 0));
    const int gw = m_model->GridWidth(), gh = m_model->GridHeight();
    for (int y = 0; y <= m_model->PanelHeight(); y += gh)
        for (int x = 0; x <= m_model->PanelWidth(); x += gw) painter->drawPoint(x, y);
    painter->setPen(QPen(Qt::black, 0));
    painter->drawRect(panel);
}

void CClavonView::mousePressEvent(QMouseEvent* event) {
    clickUsed = false;
    if (event->button() == Qt::LeftButton) emit panelClicked(mapToScene(event->pos()));
    if (clickUsed) return;
    QGraphicsView::mousePressEvent(event);
}

void CClavonView::mouseMoveEvent(QMouseEvent* event) {
    emit pointerMoved(mapToScene(event->pos()));
    QGraphicsView::mouseMoveEvent(event);
}

void CClavonView::mouseReleaseEvent(QMouseEvent* event) {
    QGraphicsView::mouseReleaseEvent(event);
}

void CClavonView::mouseDoubleClickEvent(QMouseEvent* event) {
    QGraphicsView::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void CClavonView::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuAt(event->globalPos());
}

void CClavonView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        Zoom(event->angleDelta().y() > 0 ? 1.25 : 0.8);
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void CClavonView::keyPressEvent(QKeyEvent* event) {
    struct Step {
        int key, columns, rows;
    };
    static constexpr Step kSteps[] = {
        {Qt::Key_Left, -1, 0}, {Qt::Key_Right, 1, 0}, {Qt::Key_Up, 0, -1}, {Qt::Key_Down, 0, 1}};
    if (!m_scene.selectedItems().isEmpty() &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
        for (const Step& step : kSteps)
            if (event->key() == step.key) {
                emit arrowKey(step.columns, step.rows);
                event->accept();
                return;
            }
    QGraphicsView::keyPressEvent(event);
}

void CClavonView::BeginGeometry() {
    m_before.clear();
    for (auto& symbol : m_model->Symbols()) m_before[symbol.get()] = GeometryOf(*symbol);
    m_tracking = true;
}

void CClavonView::EndGeometry(bool sized) {
    if (!m_tracking) return;
    m_tracking = false;
    bool moved = false;
    for (auto& symbol : m_model->Symbols())
        moved = moved || m_before[symbol.get()] != GeometryOf(*symbol);
    if (moved && onGeometryEdit) onGeometryEdit(m_before, sized);
}

}  // namespace clavon
