// The display a project's pages are shown on, as the display table ("Displays.ini") describes
// it: a grid of rows x columns character cells of CharWidth x CharHeight pixels, the colours
// the editor paints it in, the attributes it can show and, on a touch display, its touch grid.
//
// The display is the one the project's panel setup chose (the display record it keeps, else
// the display code in the project record); a project without panel setup is shown on the
// generic model's first display type (section "Panel Model" of the table). Where the table
// says nothing of a display, the panel setup's own record gives its geometry, and the colours
// are the table's usual ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kestra/project.h"

namespace kestra::host {

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct PanelDisplay {
    enum class Source {
        PanelSetup,    // the display the project's panel setup chose
        GenericModel,  // no panel setup: the generic model's first display type
        Fallback,      // neither the project nor the display table names one
    };
    Source source = Source::Fallback;
    int code = 0;      // display code: section DTYPE<code> of the table
    std::string name;  // its name in the table's "Panel Model", else "DTYPE<code>"

    int rows = 16;
    int columns = 40;
    int charWidth = 6;  // pixels of a character cell
    int charHeight = 8;

    bool highlight = false, blink = false, reverse = false;  // attributes it can show

    // The colours of "ScreenTextColor", "ScreenDataColor", "GridColor", "PageBgrColor",
    // "ScreenBgrColor", "AttributeColor" and "TSGridColor".
    Rgb screenText{0, 0, 0};
    Rgb screenData{0, 0, 128};
    Rgb grid{192, 192, 192};
    Rgb pageBackground{255, 255, 255};
    Rgb screenBackground{255, 255, 255};
    Rgb attribute{255, 0, 0};
    Rgb touchGrid{0, 160, 0};

    // A touch display's grid of touch cells (0 x 0 on other displays).
    int touchColumns = 0;
    int touchRows = 0;
    bool touch() const { return touchColumns > 0 && touchRows > 0; }

    // Whether a box of character cells lies on the display.
    bool holds(int row, int column, int width, int height) const {
        return row >= 0 && column >= 0 && width >= 0 && height >= 0 && row + height <= rows &&
               column + width <= columns;
    }
};

// A display type of the table (touchscreen type -1: the display's own); nothing when the
// table has no section for it or gives it no rows and columns.
std::optional<PanelDisplay> DisplayOfTable(int code, int touchType = -1);

// The display the project's pages are shown on.
PanelDisplay PanelDisplayOf(const ProjectBlock& project);

}  // namespace kestra::host
