// The value ranges of a MESSAGE, GRAPHICS or TOUCH GRAPHICS field, as the editor's message and
// graphics editors show them: the field's list 1 (and a TOUCH GRAPHICS field's list 2) read as
// ranges of values, each with what the field shows for them, checked, and written back as list
// entries.
//
// A range [first, last] names values of the field. List entry keys are signed 16-bit numbers,
// so a range can name those values of the field's value range (its minimum to its maximum,
// compared signed or unsigned by the field's signed bit) that fit in 16 bits. Ranges are kept
// sorted by their first value and never overlap. What a range shows is a text of the project's
// string table (a message; a touch graphics field's text) or a picture, the position of one of
// the project's bitmaps, kept as the entry's value (a picture list is a numeric list whose
// entries name no text).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kestra/project.h"

namespace kestra::workbench {

// The string index of a list entry that names no text: the store leaves it as it is.
inline constexpr std::uint16_t kNoListText = 0xFFFF;

struct ValueRange {
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::string text;
    int picture = -1;   // a position in the project's bitmap table; -1: none
    ListEntry entry{};  // what the range was read from: the entry's carried bytes stay

    bool operator==(const ValueRange& other) const {
        return first == other.first && last == other.last && text == other.text &&
               picture == other.picture;
    }
};

// The values a range of the field can name; empty when low > high.
struct ValueBounds {
    std::int32_t low = 0;
    std::int32_t high = -1;
    bool empty() const { return high < low; }
};
ValueBounds ValueBoundsOf(const sDISPFORMAT& display);

// Sorts the ranges by their first value and says what is wrong with them ("Values 3 to 5
// overlap values 1 to 3."; with `picturesNeeded` a range without a picture is wrong too),
// naming in `row` (when given) the range at fault, counted from 0 after sorting; nothing when
// they are sound.
std::optional<std::string> CheckRanges(std::vector<ValueRange>& ranges, ValueBounds bounds,
                                       bool picturesNeeded = false, std::size_t* row = nullptr);

// The smallest value in the bounds that no range names.
std::optional<std::int32_t> FirstFreeValue(const std::vector<ValueRange>& ranges,
                                           ValueBounds bounds);

// The ranges of list entries whose texts the project's string table holds; of a picture list
// (each entry's value a bitmap position below `bitmaps`, others none).
std::vector<ValueRange> TextRanges(const ProjectBlock& project, std::span<const ListEntry> entries);
std::vector<ValueRange> PictureRanges(std::span<const ListEntry> entries, std::size_t bitmaps);

// The list entries of ranges: their texts (each added to the string table, which holds one
// reference for the entry; their identifiers are appended to `held`), or their pictures.
// Nothing when the string table takes no more texts; what it took is released again.
std::optional<std::vector<ListEntry>> TextEntries(ProjectBlock& project,
                                                  std::span<const ValueRange> ranges,
                                                  std::vector<std::uint16_t>& held);
std::vector<ListEntry> PictureEntries(std::span<const ValueRange> ranges);

// Releases one reference of each text.
void ReleaseTexts(ProjectBlock& project, std::span<const std::uint16_t> texts);

}  // namespace kestra::workbench
