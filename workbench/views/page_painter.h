// Painting a page as its display shows it: the display's character grid in the display
// table's colours ("PageBgrColor" inside the display, "ScreenBgrColor" around it, "GridColor"
// between the cells, "TSGridColor" for a touch display's touch cells), the page text in
// "ScreenTextColor", each field's placeholder and box in "ScreenDataColor" (attribute fields
// in "AttributeColor"), fields that overlap or run past the display marked, and the selected
// fields with their resize handles.
//
// Characters are drawn cell by cell from glyphs rendered once per character and colour, so
// that a page costs the same however many fields cover its cells; boxes are drawn in batches.
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

#include "workbench/views/page_layout.h"

class QPainter;

namespace kestra::workbench {

class PagePainter {
  public:
    // Pixels around the display, so that its edge and the fields past it show.
    static constexpr int kMargin = 12;
    static constexpr int kHandle = 7;  // the side of a resize handle
    static constexpr int kMinZoom = 1;
    static constexpr int kMaxZoom = 8;

    // The grid of a display at a zoom; glyphs already rendered are kept while it stays.
    void setGrid(const host::PanelDisplay& display, int zoom);
    int zoom() const { return zoom_; }
    QSize cellSize() const { return cell_; }

    // The picture's size for a page of this extent (in cells).
    QSize size(QSize extent) const;
    // The pixels of a box of cells, and the cell under a pixel (which may lie off the grid).
    QRect pixels(const QRect& cells) const;
    QPoint cellAt(QPoint pixel) const;
    // The resize handle of a box: a square on its bottom right corner.
    QRect handle(const QRect& cells) const;

    struct Marks {
        const std::vector<bool>* selected = nullptr;  // by field number
        QColor highlight{48, 140, 198};               // the selection
        bool labels = true;
        bool focus = false;  // the view has the keyboard focus
    };
    void paint(QPainter& painter, const PageLayout& layout, const Marks& marks);

  private:
    struct Cell {
        QChar character = QLatin1Char(' ');
        bool data = false;  // a field's character, else the page text's
    };
    std::vector<Cell> compose(const PageLayout& layout, QSize extent) const;
    const QImage& glyph(QChar character, QColor colour);
    void paintGrid(QPainter& painter, const host::PanelDisplay& display) const;
    void paintCharacters(QPainter& painter, const PageLayout& layout, QSize extent);
    void paintShapes(QPainter& painter, const PageLayout& layout) const;
    void paintBoxes(QPainter& painter, const PageLayout& layout, const Marks& marks) const;
    void paintLabels(QPainter& painter, const PageLayout& layout) const;

    QSize cell_{6, 8};
    int zoom_ = 1;
    QHash<quint64, QImage> glyphs_;
};

// The colour of a display table triple.
QColor ColourOf(const host::Rgb& rgb);

}  // namespace kestra::workbench
