// Where fields stand on a page's display: their placeholders, the marks of fields that overlap
// or run past the display, and how far a move or resize may go.
#include "workbench/views/page_layout.h"

#include <gtest/gtest.h>

#include <random>

#include "workbench/views/page_painter.h"

namespace kestra::workbench::testing {
namespace {

host::PanelDisplay Display(int rows, int columns) {
    host::PanelDisplay display;
    display.rows = rows;
    display.columns = columns;
    return display;
}

FieldRecord Field(std::uint8_t kind, std::uint8_t width = 1, std::uint8_t height = 1,
                  std::uint16_t fieldClass = 2, std::uint8_t format = 3) {
    FieldRecord field{};
    field.display.fieldType = kind;
    field.width = width;
    field.height = height;
    field.fieldClass = fieldClass;
    field.plc.dataFormat = format;
    return field;
}

PageLayout Boxes(const host::PanelDisplay& display, std::initializer_list<QRect> boxes) {
    PageLayout layout;
    layout.display = display;
    std::size_t number = 0;
    for (const QRect& box : boxes) {
        PlacedField& field = layout.fields.emplace_back();
        field.number = number++;
        field.cells = box;
    }
    MarkProblems(layout);
    return layout;
}

TEST(PageLayout, EachFieldShowsAPlaceholderOfItsTypeAndFormat) {
    FieldRecord fixed = Field(0, 6);
    fixed.display.format = sDISPFORMAT::kFixedPoint;
    fixed.display.decimals = 2;
    FieldRecord tooManyDecimals = fixed;
    tooManyDecimals.display.decimals = 6;
    const struct {
        const char* what;
        FieldRecord field;
        int width;
        QString message;
        FieldLook look;
        QString shown;
    } kCases[] = {
        {"a 5-wide NUMERIC", Field(0), 5, {}, FieldLook::Number, "#####"},
        {"fixed point, 2 places", fixed, 6, {}, FieldLook::Number, "###.##"},
        {"as many places as digits", tooManyDecimals, 6, {}, FieldLook::Number, "######"},
        {"ASCII", Field(2), 8, {}, FieldLook::Text, "XXXXXXXX"},
        {"MESSAGE, its first text", Field(1), 6, "Pump", FieldLook::Message, "Pump  "},
        {"MESSAGE, a long first text", Field(1), 3, "Running", FieldLook::Message, "Run"},
        {"MESSAGE without texts", Field(1), 4, {}, FieldLook::Message, "MMMM"},
        {"HORZ.BARGRAPH", Field(3), 20, {}, FieldLook::HorizontalBar, ""},
        {"VERT.BARGRAPH", Field(4), 1, {}, FieldLook::VerticalBar, ""},
        {"GRAPHICS", Field(5), 4, {}, FieldLook::Picture, ""},
        {"TOUCH GRAPHICS", Field(6), 4, {}, FieldLook::TouchPicture, ""},
        {"an attribute reference", Field(0, 1, 1, 3), 4, {}, FieldLook::Attribute, ""},
        {"a type the driver does not know", Field(9), 3, {}, FieldLook::Other, "???"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(LookOf(c.field), c.look) << c.what;
        EXPECT_EQ(Placeholder(c.look, c.field, c.width, c.message), c.shown) << c.what;
    }
}

TEST(PageLayout, FieldsThatShareACellOrRunPastTheDisplayAreMarked) {
    const host::PanelDisplay display = Display(4, 20);
    const struct {
        const char* what;
        PageLayout layout;
        std::vector<bool> overlaps, outside;
    } kCases[] = {
        {"apart", Boxes(display, {{0, 0, 5, 1}, {0, 1, 5, 1}}), {false, false}, {false, false}},
        {"side by side",
         Boxes(display, {{0, 0, 5, 1}, {5, 0, 5, 1}}),
         {false, false},
         {false, false}},
        {"one cell shared",
         Boxes(display, {{0, 0, 5, 1}, {4, 0, 5, 1}}),
         {true, true},
         {false, false}},
        {"one inside another",
         Boxes(display, {{0, 0, 1, 1}, {0, 0, 5, 2}, {9, 3, 1, 1}}),
         {true, true, false},
         {false, false, false}},
        {"a bar over two rows",
         Boxes(display, {{3, 1, 1, 3}, {0, 2, 5, 1}}),
         {true, true},
         {false, false}},
        {"to the last column", Boxes(display, {{15, 3, 5, 1}}), {false}, {false}},
        {"one column past", Boxes(display, {{16, 3, 5, 1}}), {false}, {true}},
        {"one row past", Boxes(display, {{0, 3, 1, 2}}), {false}, {true}},
        {"far past, sharing out there",
         Boxes(display, {{40, 9, 3, 1}, {42, 9, 3, 1}}),
         {true, true},
         {true, true}},
    };
    for (const auto& c : kCases) {
        ASSERT_EQ(c.layout.fields.size(), c.overlaps.size()) << c.what;
        for (std::size_t i = 0; i < c.overlaps.size(); ++i) {
            EXPECT_EQ(c.layout.fields[i].overlaps, c.overlaps[i]) << c.what << ", field " << i;
            EXPECT_EQ(c.layout.fields[i].outside, c.outside[i]) << c.what << ", field " << i;
        }
    }
}

TEST(PageLayout, OverlapsAgreeWithComparingEveryPair) {
    std::mt19937 random(31);
    for (int round = 0; round < 20; ++round) {
        PageLayout layout;
        layout.display = Display(8, 30);
        for (std::size_t i = 0; i < 40; ++i) {
            PlacedField& field = layout.fields.emplace_back();
            field.number = i;
            field.cells =
                QRect(static_cast<int>(random() % 34), static_cast<int>(random() % 10),
                      1 + static_cast<int>(random() % 6), 1 + static_cast<int>(random() % 3));
        }
        MarkProblems(layout);
        for (const PlacedField& field : layout.fields) {
            bool shares = false;
            for (const PlacedField& other : layout.fields)
                shares = shares || (&other != &field && other.cells.intersects(field.cells));
            EXPECT_EQ(field.overlaps, shares) << "round " << round << ", field " << field.number;
        }
    }
}

TEST(PageLayout, SizesFollowTheFieldDialogsRules) {
    const struct {
        const char* what;
        FieldRecord field;
        host::PanelDisplay display;
        int widest, highest;
    } kCases[] = {
        {"NUMERIC: one line, the display's width", Field(0), Display(16, 40), 40, 1},
        {"NUMERIC of a timer", Field(0, 1, 1, 2, 6), Display(16, 40), 4, 1},
        {"NUMERIC of a counter", Field(0, 1, 1, 2, 7), Display(16, 40), 3, 1},
        {"MESSAGE on a wide display", Field(1), Display(30, 200), 128, 1},
        {"ASCII", Field(2), Display(4, 20), 20, 1},
        {"HORZ.BARGRAPH", Field(3), Display(16, 40), 40, 16},
        {"GRAPHICS", Field(5), Display(30, 80), 80, 30},
        {"an attribute reference", Field(0, 1, 1, 3), Display(16, 40), 40, 16},
    };
    for (const auto& c : kCases) {
        const SizeLimits limits = LimitsOf(c.field, c.display);
        EXPECT_EQ(limits.widest, c.widest) << c.what;
        EXPECT_EQ(limits.highest, c.highest) << c.what;
    }
}

TEST(PageLayout, MovesStayOnTheDisplay) {
    const host::PanelDisplay display = Display(4, 20);
    const PageLayout layout =
        Boxes(display, {{0, 0, 5, 1}, {10, 1, 5, 1}, {17, 3, 3, 1}, {0, 5, 2, 1}});
    using Chosen = std::vector<std::size_t>;
    const struct {
        const char* what;
        Chosen chosen;
        CellStep wanted, held;
    } kCases[] = {
        {"in the middle", {1}, {1, 2}, {1, 2}},
        {"left of column 0", {0}, {0, -1}, {0, 0}},
        {"above row 0", {0}, {-3, 0}, {0, 0}},
        {"past the last column", {1}, {0, 9}, {0, 5}},
        {"at the bottom right corner", {2}, {1, 1}, {0, 0}},
        {"together: the nearest to an edge holds all", {0, 1}, {0, 8}, {0, 5}},
        {"past the display: only back", {3}, {1, 0}, {0, 0}},
        {"past the display, moving up", {3}, {-2, 0}, {-2, 0}},
        {"no field of the page", {9}, {1, 1}, {0, 0}},
    };
    for (const auto& c : kCases) EXPECT_EQ(HeldMove(layout, c.chosen, c.wanted), c.held) << c.what;
}

TEST(PageLayout, ResizesStayOnTheDisplayAndWithinTheLimits) {
    const host::PanelDisplay display = Display(4, 20);
    const struct {
        const char* what;
        FieldRecord field;
        QRect cells;
        CellStep step;
        QSize size;
    } kCases[] = {
        {"wider", Field(0), {0, 0, 5, 1}, {0, 2}, {7, 1}},
        {"narrower, to one at least", Field(0), {0, 0, 2, 1}, {0, -5}, {1, 1}},
        {"up to the last column", Field(2), {15, 0, 3, 1}, {0, 9}, {5, 1}},
        {"a timer's four digits", Field(0, 3, 1, 2, 6), {0, 0, 3, 1}, {0, 4}, {4, 1}},
        {"a NUMERIC stays one line", Field(0), {0, 0, 5, 1}, {2, 0}, {5, 1}},
        {"a bar grows down", Field(4), {0, 1, 1, 1}, {2, 0}, {1, 3}},
        {"a bar to the last row", Field(4), {0, 1, 1, 1}, {9, 0}, {1, 3}},
        {"past the display: shrinks only", Field(2), {18, 0, 5, 1}, {0, 1}, {5, 1}},
        {"past the display, shrinking", Field(2), {18, 0, 5, 1}, {0, -2}, {3, 1}},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(HeldSize(c.field, c.cells, c.step, display), c.size) << c.what;
}

TEST(PagePainter, ZoomHoldsACellToAHundredAndTwentyEightPixels) {
    const struct {
        int charWidth, charHeight, wanted, zoom;
        QSize cell;
    } kCases[] = {
        {6, 8, 8, 8, {48, 64}},       {8, 16, 8, 8, {64, 128}}, {32, 40, 8, 3, {96, 120}},
        {200, 256, 4, 1, {200, 256}}, {6, 8, 0, 1, {6, 8}},     {6, 8, 99, 8, {48, 64}},
    };
    for (const auto& c : kCases) {
        host::PanelDisplay display = Display(4, 20);
        display.charWidth = c.charWidth;
        display.charHeight = c.charHeight;
        PagePainter painter;
        painter.setGrid(display, c.wanted);
        EXPECT_EQ(painter.zoom(), c.zoom) << c.charWidth << " x " << c.charHeight;
        EXPECT_EQ(painter.cellSize(), c.cell) << c.charWidth << " x " << c.charHeight;
    }
}

TEST(PagePainter, PixelsAndCellsMeet) {
    host::PanelDisplay display = Display(4, 20);
    PagePainter painter;
    painter.setGrid(display, 2);  // cells of 12 x 16
    const int m = PagePainter::kMargin;
    EXPECT_EQ(painter.pixels({3, 2, 5, 1}), QRect(m + 36, m + 32, 60, 16));
    const struct {
        QPoint pixel, cell;
    } kCases[] = {
        {{m, m}, {0, 0}},           {{m + 11, m + 15}, {0, 0}}, {{m + 12, m + 16}, {1, 1}},
        {{m - 1, m - 1}, {-1, -1}}, {{0, 0}, {-1, -1}},         {{m - 13, m}, {-2, 0}},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(painter.cellAt(c.pixel), c.cell) << c.pixel.x() << "," << c.pixel.y();
    EXPECT_EQ(painter.size({20, 5}), QSize(240 + 2 * m, 80 + 2 * m));
}

}  // namespace
}  // namespace kestra::workbench::testing
