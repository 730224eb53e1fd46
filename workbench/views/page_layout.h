// Where a page's fields stand on the panel's display, as the page view shows them: the page
// text as screen text, line by line from the first row; each field as a box of character cells
// at its row and column (record bytes 0 and 1) of its width and height (bytes 2 and 3), with
// what it shows in place of its data (a placeholder of its type and format), and whether it
// overlaps another field or runs past the display. Also the edits the view makes of a field's
// place and size: a move changes only the row and column bytes of the fields moved, a resize
// only their width and height bytes, both snapped to cells and held to the sizes the driver's
// field dialog allows.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <span>
#include <vector>

#include "kestra/panel_display.h"
#include "kestra/project.h"

namespace kestra::workbench {

// How a field shows on the display, by its field type (record byte 6) and class.
enum class FieldLook {
    Number,         // NUMERIC: a digit per character
    Message,        // MESSAGE: the text of a value
    Text,           // ASCII: a character per character
    HorizontalBar,  // HORZ.BARGRAPH
    VerticalBar,    // VERT.BARGRAPH
    Picture,        // GRAPHICS
    TouchPicture,   // TOUCH GRAPHICS
    Attribute,      // class 3: an attribute over its cells
    Other,          // a field the driver does not make
};

struct PlacedField {
    std::size_t number = 0;  // its place on the page, from 0
    QRect cells;             // x = column, y = row; a width or height of 0 shows as 1
    FieldLook look = FieldLook::Other;
    QString placeholder;  // the characters shown on its first row (empty for bars, pictures)
    QString label;
    bool overlaps = false;  // shares a cell with another field
    bool outside = false;   // runs past the display's last row or column
};

struct PageLayout {
    host::PanelDisplay display;
    QStringList textLines;  // the page text, a line per row from the first
    std::vector<PlacedField> fields;

    // The cells of everything shown: the display and whatever fields run past it.
    QSize extent() const;
    std::size_t overlapping() const;
    std::size_t outside() const;
    // The topmost field (the last in page order) that holds a cell.
    const PlacedField* fieldAt(QPoint cell) const;
};

// The page as its display shows it; `language` picks the page text.
PageLayout LayOutPage(const ProjectBlock& project, std::size_t page, std::size_t language,
                      const host::PanelDisplay& display);

// Marks the fields that overlap another or run past the display (after boxes have moved).
void MarkProblems(PageLayout& layout);

// The characters a field of this look shows in `width` cells; `firstMessage` is the text of
// a message field's first value, if it has any.
QString Placeholder(FieldLook look, const FieldRecord& field, int width,
                    const QString& firstMessage = {});
// The same for a field of a project, with its first message text.
QString Placeholder(const ProjectBlock& project, const FieldRecord& field, int width);
FieldLook LookOf(const FieldRecord& field);

// ---- Moving and resizing, in whole cells.

struct CellStep {
    int rows = 0;
    int columns = 0;
    bool operator==(const CellStep&) const = default;
};

// The smallest and largest width and height a field may take on the display: the width up to
// the display's columns (128 at most for a MESSAGE field, 4 for a timer and 3 for a counter
// NUMERIC field), the height 1 for the NUMERIC, MESSAGE and ASCII fields of the PLC, else up
// to the display's rows.
struct SizeLimits {
    int widest = 1;
    int highest = 1;
};
SizeLimits LimitsOf(const FieldRecord& field, const host::PanelDisplay& display);

// How far the fields `chosen` (page order numbers) may move together towards `wanted`: none
// leaves row or column 0, and none goes further past the display's far edges than it already
// stands.
CellStep HeldMove(const PageLayout& layout, std::span<const std::size_t> chosen, CellStep wanted);

// The size a field takes when it grows by `step` (rows: height, columns: width), held to its
// limits and to the display: a field grows only as far as the display reaches, and one that
// already runs past it may only shrink.
QSize HeldSize(const FieldRecord& field, QRect cells, CellStep step,
               const host::PanelDisplay& display);

// Moves the chosen fields of a page by `step` (already held), writing only their row and
// column bytes; false when a field is not on the page or nothing would change.
bool MoveFields(ProjectBlock& project, std::size_t page, std::span<const std::size_t> chosen,
                CellStep step);
// Resizes the chosen fields by `step`, each held to its limits, writing only their width and
// height bytes; false when a field is not on the page or nothing would change.
bool ResizeFields(ProjectBlock& project, std::size_t page, std::span<const std::size_t> chosen,
                  CellStep step, const host::PanelDisplay& display);

}  // namespace kestra::workbench
