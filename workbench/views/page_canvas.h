// The page view's picture of the page and what a person does on it: fields are selected with
// the mouse (Ctrl toggles one, a band drawn on empty cells selects what it touches) and with the
// keyboard, moved by dragging them or with the arrow keys, resized by dragging a selected
// field's handle or with Shift and the arrow keys, always by whole cells. A move or resize of
// the selected fields is one change of the document. The selection is the field table's: the
// canvas reads and writes its selection model, so selecting in either selects in both.
#pragma once

#include <QWidget>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "workbench/views/page_layout.h"
#include "workbench/views/page_painter.h"

class QItemSelectionModel;
class QMenu;

namespace kestra::workbench {

class FieldTableModel;
class ProjectDocument;

class PageCanvas : public QWidget {
    Q_OBJECT
  public:
    // Shows the page of `fields`, and selects through `selection` (the table's).
    PageCanvas(ProjectDocument& document, FieldTableModel& fields, QItemSelectionModel& selection,
               QWidget* parent = nullptr);

    const PageLayout& layout() const { return layout_; }
    const PagePainter& painter() const { return painter_; }
    int zoom() const { return painter_.zoom(); }
    void setZoom(int zoom);
    void setLanguage(std::size_t language);
    void setLabelsShown(bool shown);

    // The fields selected, by page order number.
    std::vector<std::size_t> chosen() const;
    void choose(const std::vector<std::size_t>& fields);

    // The selected fields moved or resized by whole cells (held to the display and to the
    // driver's sizes) as one change; false when nothing changed.
    bool moveChosen(CellStep step);
    bool resizeChosen(CellStep step);

    // The menu of a cell: "Add Field Here", then the actions given to the canvas.
    QMenu* menuAt(QPoint cell);

    QSize sizeHint() const override;

  Q_SIGNALS:
    // Enter or a double click on a field.
    void propertiesRequested();
    // A double click on an empty cell of the display, or "Add Field Here" (0-based cell).
    void addFieldRequested(int row, int column);
    // The page, its display or its marks changed.
    void layoutChanged();
    void zoomChanged(int zoom);
    // Pixels of the canvas the person should see (a field moved or selected by key).
    void wantsVisible(const QRect& pixels);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

  private:
    enum class Drag { None, Move, Resize, Band };

    void relayout();
    // The field records of the page shown (none without one).
    std::span<const FieldRecord> records() const;
    // The layout as it shows while a drag is under way.
    PageLayout dragged() const;
    void endDrag();
    const PlacedField* handleAt(QPoint pixel) const;
    void chooseStep(int step);
    // Asks to show the current field.
    void reveal();
    QString describe(const PlacedField& field) const;

    ProjectDocument& document_;
    FieldTableModel& fields_;
    QItemSelectionModel& selection_;
    std::size_t language_ = 0;
    bool labels_ = true;
    std::optional<int> chosenZoom_;  // a zoom the user chose for this display
    PageLayout layout_;
    PagePainter painter_;

    Drag drag_ = Drag::None;
    QPoint pressPixel_;
    QPoint pressCell_;
    CellStep dragStep_;
    QRect band_;                         // pixels
    std::vector<std::size_t> bandBase_;  // selected before a band drawn with Ctrl
};

}  // namespace kestra::workbench
