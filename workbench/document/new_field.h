// A new field of a page: where it goes, and the record the driver makes for it there.
//
// A field's place is a cell of the display its page is shown on (row and column from 0, the
// field record's bytes 0 and 1) and its size a box of characters (bytes 2 and 3). A new field
// goes to the first free place of its page in reading order, row by row and each row from the
// left: the first place where its box lies on the display and covers no other field; or to
// the cell the user points at.
#pragma once

#include <cstddef>
#include <optional>

#include "kestra/panel_display.h"
#include "kestra/project.h"
#include "workbench/hosted/add_field_dialog.h"

class KXCPlcDriver;

namespace kestra::workbench {

struct Cell {
    int row = 0;
    int column = 0;
    bool operator==(const Cell&) const = default;
};

// The first free place of the page for a box of the size; nothing when the display has none.
std::optional<Cell> FirstFreePlace(const ProjectBlock& project, std::size_t page, FieldSize size,
                                   const host::PanelDisplay& display);

// The cell moved up and left as far as the box needs to lie on the display (to its first row
// or column when it is larger than the display).
Cell PlaceOnDisplay(Cell cell, FieldSize size, const host::PanelDisplay& display);

// The field the driver makes of the choice (NewFieldRecord), of the chosen size, at the cell.
// Nothing when the driver refuses the choice.
std::optional<FieldRecord> MakeField(KXCPlcDriver& driver, ProjectBlock& project,
                                     const NewFieldChoice& choice, Cell cell);

}  // namespace kestra::workbench
