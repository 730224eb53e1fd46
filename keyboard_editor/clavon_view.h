// The view of a keyboard: the panel area with its grid, and one item per symbol that can be
// selected, moved and sized with the mouse.
#pragma once

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <functional>
#include <map>

#include "keyboard_editor/clavon_model.h"

namespace clavon {

class CClavonView;

class SymbolItem : public QGraphicsRectItem {
  public:
    SymbolItem(CODKesSymbol& symbol, CClavonView& view);
    CODKesSymbol& Symbol() const { return *m_symbol; }
    void Sync();
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

  protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;

  private:
    bool InHandle(const QPointF& local) const;
    CODKesSymbol* m_symbol;
    CClavonView& m_view;
    bool m_sizing = false;
};

class CClavonView : public QGraphicsView {
    Q_OBJECT
  public:
    explicit CClavonView(CClavonModel* model, QWidget* parent = nullptr);
    void SetModel(CClavonModel* model);
    CClavonModel& Model() const { return *m_model; }
    // Rebuilds the items from the model; the selection is kept by component index.
    void Rebuild();
    std::vector<CODKesSymbol*> Selection() const;
    // The component indexes of the selected symbols, ascending.
    std::vector<int> SelectedIndexes() const;
    void Select(const std::vector<int>& indexes);
    void Zoom(double factor);
    double ZoomFactor() const { return transform().m11(); }

    // Set by a receiver of panelClicked that used the click (to place a symbol).
    bool clickUsed = false;
    // Called when the user has moved or sized symbols with the mouse: the geometry before.
    std::function<void(const std::map<CODKesSymbol*, QRectF>& before, bool sized)> onGeometryEdit;

  signals:
    void panelClicked(QPointF panelPos);
    void pointerMoved(QPointF panelPos);
    void doubleClicked();
    void contextMenuAt(QPoint globalPos);
    void selectionChanged();
    // An arrow key with symbols selected: the grid cells to move them by.
    void arrowKey(int columns, int rows);

  protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    friend class SymbolItem;
    void BeginGeometry();
    void EndGeometry(bool sized);

    CClavonModel* m_model;
    QGraphicsScene m_scene;
    std::map<CODKesSymbol*, QRectF> m_before;
    bool m_tracking = false;
};

}  // namespace clavon
