// Painting a page as its display shows it: the display's character grid in the display
// table's colours ("PageBgrColor" inside the display, "ScreenBgrColor" around it, "GridColor"
// between the cells, "TSGridColor" for a touch display's touch cells), the page text in
// "ScreenTextColor", each field's placeholder and box in "ScreenDataColor" (attribute fields
// in "AttributeColor"), fields that overlap or run past the display marked, and the selected
// fields with their resize handles.
//
// The page is first composed cell by cell (a later field over an earlier one), then drawn from
// the cells: characters from glyphs rendered once per character and colour, patterns and
// frames as runs of neighbouring cells. A page therefore costs about the same however many
// fields cover its cells; only bars, selected fields and labels are drawn field by field.
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
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
    // A cell is zoomed to this many pixels at most, however large the display's characters.
    static constexpr int kLargestCell = 128;

    // The grid of a display at a zoom (held to the zooms it allows); glyphs already rendered
    // are kept while it stays.
    void setGrid(const host::PanelDisplay& display, int zoom);
    int zoom() const { return zoom_; }
    // The largest zoom of the display set.
    int maxZoom() const { return maxZoom_; }
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
        QRect clip;          // the pixels to paint; empty: all
    };
    void paint(QPainter& painter, const PageLayout& layout, const Marks& marks);

  private:
    // What a cell shows: the page text's or the topmost field's character, the topmost
    // field's pattern, and the frames of the fields on its four edges.
    enum class Fill : std::uint8_t { None, Picture, TouchPicture, Attribute };
    enum Frame : std::uint8_t { kNoFrame, kPlainFrame, kMarkedFrame };
    struct Cell {
        QChar character = QLatin1Char(' ');
        bool data = false;  // a field's character, else the page text's
        Fill fill = Fill::None;
        std::uint8_t top = kNoFrame, bottom = kNoFrame, left = kNoFrame, right = kNoFrame;
    };
    using Cells = std::vector<Cell>;
    Cells compose(const PageLayout& layout, QSize extent) const;
    const QImage& glyph(QChar character, QColor colour);
    void paintGrid(QPainter& painter, const host::PanelDisplay& display) const;
    void paintFills(QPainter& painter, const Cells& cells, QSize extent,
                    const host::PanelDisplay& display) const;
    void paintBars(QPainter& painter, const PageLayout& layout) const;
    void paintCharacters(QPainter& painter, const Cells& cells, QSize extent, const QRect& clip,
                         const host::PanelDisplay& display);
    void paintFrames(QPainter& painter, const Cells& cells, QSize extent,
                     const host::PanelDisplay& display) const;
    void paintSelection(QPainter& painter, const PageLayout& layout, const Marks& marks) const;
    void paintLabels(QPainter& painter, const PageLayout& layout) const;

    QSize cell_{6, 8};
    int zoom_ = 1;
    int maxZoom_ = kMaxZoom;
    QHash<quint64, QImage> glyphs_;
};

// The colour of a display table triple.
QColor ColourOf(const host::Rgb& rgb);

}  // namespace kestra::workbench
