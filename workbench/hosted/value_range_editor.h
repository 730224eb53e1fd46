// The dialog in which the editor's message and graphics editors show a field's value ranges:
// a table of ranges (first value, last value, and what the field shows for them: a text, a
// picture of the project's bitmaps with a preview, or both), ranges added and removed, and on
// OK checked as ValueRanges checks them (sorted, within the field's values, not overlapping,
// each with its picture where pictures are shown). The table's cells are edited in place (F2
// or typing); Insert adds a range and Delete removes the current one.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "workbench/hosted/project_bitmaps.h"
#include "workbench/hosted/value_ranges.h"

class QWidget;

namespace kestra::workbench {

struct RangeEditorSetup {
    QString title;  // the window's title
    QString about;  // the text above the table
    ValueBounds bounds;
    bool texts = true;      // a column of texts
    int textWidth = 0;      // characters a text may have; 0: any number
    bool pictures = false;  // a column of pictures, from `bitmaps`, and a preview
    std::vector<ProjectBitmap> bitmaps;
};

// Runs the dialog over `parent` on `ranges`; the ranges after OK (sorted), nothing after Cancel.
std::optional<std::vector<ValueRange>> EditValueRanges(QWidget* parent,
                                                       const RangeEditorSetup& setup,
                                                       std::vector<ValueRange> ranges);

}  // namespace kestra::workbench
