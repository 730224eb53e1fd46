// The address notation of the data blocks ("DB10 DW5", "DB10 DR5", "DB10 D5.11",
// "DB10 DD10"), the limits of element numbers and moving a reference.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kestra/plc_records.h"
#include "plc_s5/tables.h"

namespace kestra::s5 {

// The model row of a PLC setup block; a missing block means model 1. Nothing for a model the
// driver does not know.
const ModelRow* RowOf(const uPLCSETUP* setup);

// Element numbers that a value of the format may start at.
struct ElementRange {
    int low, high;
    bool holds(long long element) const { return element >= low && element <= high; }
};
// The reading range, or the writing range with kWritingNeeded. With kFormatKnown the upper
// end leaves room for the whole value; texts (format 5, or kPreferredOnly) count `width`
// characters.
ElementRange ElementRangeFor(const ModelRow& row, unsigned format, unsigned filter, unsigned width);
// One spin step (+1, -1 or 0): past the upper end wraps to the lower and back.
int SpinElement(int element, int step, const ElementRange& range);

// The address text of a reference, in its own format or the preferred one; nothing when the
// reference cannot be written (a memory area without element names, or a bit number that
// names no bit).
std::optional<std::string> WriteAddress(const ModelRow& row, const uPLCADR& ref, bool preferred);
// Reads an address text into the reference; false (the reference untouched) when rejected.
bool ReadAddress(const ModelRow& row, std::string_view text, uPLCADR& ref, bool preferred);

// Moves a reference by `amount` bytes up (direction 1) or down (0): 0 moved, 2 moved and
// clamped at the end of the area, -1 invalid arguments.
int MoveAddress(const ModelRow& row, uPLCADR& ref, bool preferred, unsigned direction,
                long long amount, unsigned unit);

}  // namespace kestra::s5
