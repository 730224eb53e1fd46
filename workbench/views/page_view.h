// The page view beside a page's field table: a heading that names the display the page is
// shown on (and says so when the project has no panel setup yet and the generic model's first
// display type stands in) and how many fields overlap or run past it, the page itself in a
// scroll area (PageCanvas), and the view's actions for the View menu: zoom in, zoom out,
// actual size and the fields' labels.
#pragma once

#include <QList>
#include <QWidget>
#include <cstddef>

class QAction;
class QItemSelectionModel;
class QLabel;
class QScrollArea;

namespace kestra::workbench {

class FieldTableModel;
class PageCanvas;
class ProjectDocument;

class PageView : public QWidget {
    Q_OBJECT
  public:
    // Shows the page of `fields` and shares the table's `selection`.
    PageView(ProjectDocument& document, FieldTableModel& fields, QItemSelectionModel& selection,
             QWidget* parent = nullptr);

    PageCanvas& canvas() { return *canvas_; }
    QString heading() const;
    void setLanguage(std::size_t language);

    // Zoom In, Zoom Out, Actual Size and Field Labels, for a menu.
    QList<QAction*> viewActions() const;
    // Offered in the page's context menu after "Add Field Here".
    void addContextActions(const QList<QAction*>& actions);

  Q_SIGNALS:
    // Enter or a double click on a field.
    void propertiesRequested();
    // A double click on an empty cell, or "Add Field Here" (0-based cell).
    void addFieldRequested(int row, int column);

  private:
    void updateHeading();
    void updateZoomActions();

    QLabel* heading_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    PageCanvas* canvas_ = nullptr;
    QAction* zoomIn_ = nullptr;
    QAction* zoomOut_ = nullptr;
    QAction* actualSize_ = nullptr;
    QAction* labels_ = nullptr;
};

}  // namespace kestra::workbench
