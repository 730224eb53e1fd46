#include "workbench/document/new_field.h"

#include <algorithm>
#include <vector>

#include "plc_s5/type1_image.h"
#include "workbench/document/project_pages.h"

namespace kestra::workbench {

namespace {

// Which cells of the display the page's fields cover, summed so that any box can be asked
// about at once: sums[r][c] counts the covered cells above and left of (r, c).
class Cover {
  public:
    Cover(const ProjectBlock& project, std::size_t page, const host::PanelDisplay& display)
        : rows_(std::max(display.rows, 0)), columns_(std::max(display.columns, 0)),
          sums_(static_cast<std::size_t>((rows_ + 1) * (columns_ + 1)), 0) {
        std::vector<int> covered(static_cast<std::size_t>(rows_ * columns_), 0);
        const auto pages = Pages(project);
        if (page < pages.size())
            for (const FieldRecord& field : Fields(pages[page])) {
                const int top = s5::FieldRow(field), left = s5::FieldColumn(field);
                const int bottom = std::min(top + std::max<int>(field.height, 1), rows_);
                const int right = std::min(left + std::max<int>(field.width, 1), columns_);
                for (int r = top; r < bottom; ++r)
                    for (int c = left; c < right; ++c) covered[at(r, c, columns_)] = 1;
            }
        for (int r = 0; r < rows_; ++r)
            for (int c = 0; c < columns_; ++c)
                sum(r + 1, c + 1) = covered[at(r, c, columns_)] + sum(r, c + 1) + sum(r + 1, c) -
                                    sum(r, c);
    }

    bool free(Cell cell, FieldSize size) const {
        const int bottom = cell.row + size.height, right = cell.column + size.width;
        return sumAt(bottom, right) - sumAt(cell.row, right) - sumAt(bottom, cell.column) +
                   sumAt(cell.row, cell.column) ==
               0;
    }

  private:
    static std::size_t at(int r, int c, int columns) {
        return static_cast<std::size_t>(r * columns + c);
    }
    int& sum(int r, int c) { return sums_[at(r, c, columns_ + 1)]; }
    int sumAt(int r, int c) const { return sums_[at(r, c, columns_ + 1)]; }

    int rows_, columns_;
    std::vector<int> sums_;
};

}  // namespace

std::optional<Cell> FirstFreePlace(const ProjectBlock& project, std::size_t page, FieldSize size,
                                   const host::PanelDisplay& display) {
    if (size.width < 1 || size.height < 1) return std::nullopt;
    const Cover cover(project, page, display);
    for (int row = 0; row + size.height <= display.rows; ++row)
        for (int column = 0; column + size.width <= display.columns; ++column)
            if (cover.free({row, column}, size)) return Cell{row, column};
    return std::nullopt;
}

Cell PlaceOnDisplay(Cell cell, FieldSize size, const host::PanelDisplay& display) {
    return {std::clamp(cell.row, 0, std::max(display.rows - size.height, 0)),
            std::clamp(cell.column, 0, std::max(display.columns - size.width, 0))};
}

std::optional<FieldRecord> MakeField(KXCPlcDriver& driver, ProjectBlock& project,
                                     const NewFieldChoice& choice, Cell cell) {
    std::optional<FieldRecord> field =
        NewFieldRecord(driver, project, choice.type, choice.fieldClass);
    if (!field) return std::nullopt;
    constexpr int kByte = 255;
    s5::FieldRow(*field) = static_cast<std::uint8_t>(std::clamp(cell.row, 0, kByte - 1));
    s5::FieldColumn(*field) = static_cast<std::uint8_t>(std::clamp(cell.column, 0, kByte - 1));
    field->width = static_cast<std::uint8_t>(std::clamp(choice.size.width, 1, kByte));
    field->height = static_cast<std::uint8_t>(std::clamp(choice.size.height, 1, kByte));
    return field;
}

}  // namespace kestra::workbench
