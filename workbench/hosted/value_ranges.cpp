#include "workbench/hosted/value_ranges.h"

#include <algorithm>
#include <limits>

#include "kestra/host.h"
#include "string_table/string_table.h"

namespace kestra::workbench {

namespace {

constexpr std::int64_t kLowestKey = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t kHighestKey = std::numeric_limits<std::int16_t>::max();

// "Value 5", "Values 3 to 7" (lower case for the middle of a sentence).
std::string Values(std::int32_t first, std::int32_t last, bool opening = true) {
    const std::string word = opening ? "Value" : "value";
    return first == last ? word + " " + std::to_string(first)
                         : word + "s " + std::to_string(first) + " to " + std::to_string(last);
}

ValueRange RangeOf(const ListEntry& entry) {
    ValueRange range;
    range.first = entry.firstKey;
    range.last = entry.lastKey;
    range.entry = entry;
    return range;
}

ListEntry EntryOf(const ValueRange& range) {
    ListEntry entry = range.entry;
    entry.firstKey = static_cast<std::int16_t>(range.first);
    entry.lastKey = static_cast<std::int16_t>(range.last);
    return entry;
}

}  // namespace

ValueBounds ValueBoundsOf(const sDISPFORMAT& display) {
    const bool isSigned = display.format & sDISPFORMAT::kSigned;
    auto value = [isSigned](std::int32_t stored) {
        return isSigned ? std::int64_t{stored} : std::int64_t{static_cast<std::uint32_t>(stored)};
    };
    const std::int64_t low = std::max(value(display.minimum), kLowestKey);
    const std::int64_t high = std::min(value(display.maximum), kHighestKey);
    if (high < low) return {};
    return {static_cast<std::int32_t>(low), static_cast<std::int32_t>(high)};
}

std::optional<std::string> CheckRanges(std::vector<ValueRange>& ranges, ValueBounds bounds,
                                       bool picturesNeeded, std::size_t* row) {
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const ValueRange& a, const ValueRange& b) { return a.first < b.first; });
    auto fault = [row](std::size_t at, std::string text) {
        if (row) *row = at;
        return std::optional<std::string>(std::move(text));
    };
    if (bounds.empty() && !ranges.empty())
        return fault(0,
                     "The field has no value that a range can name: set its minimum and "
                     "maximum first.");
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const ValueRange& r = ranges[i];
        if (r.first > r.last)
            return fault(i, "Values " + std::to_string(r.first) + " to " + std::to_string(r.last) +
                                ": the first value is above the last.");
        if (r.first < bounds.low || r.last > bounds.high)
            return fault(i, Values(r.first, r.last) + (r.first == r.last ? " lies" : " lie") +
                                " outside the field's values, " + std::to_string(bounds.low) +
                                " to " + std::to_string(bounds.high) + ".");
        if (i > 0 && r.first <= ranges[i - 1].last)
            return fault(i, Values(r.first, r.last) +
                                (r.first == r.last ? " overlaps " : " overlap ") +
                                Values(ranges[i - 1].first, ranges[i - 1].last, false) + ".");
        if (picturesNeeded && r.picture < 0)
            return fault(i, Values(r.first, r.last) + (r.first == r.last ? " has" : " have") +
                                " no picture.");
    }
    return std::nullopt;
}

std::optional<std::int32_t> FirstFreeValue(const std::vector<ValueRange>& ranges,
                                           ValueBounds bounds) {
    for (std::int64_t v = bounds.low; v <= bounds.high; ++v) {
        const auto holder = std::find_if(ranges.begin(), ranges.end(), [v](const ValueRange& r) {
            return r.first <= v && v <= r.last;
        });
        if (holder == ranges.end()) return static_cast<std::int32_t>(v);
        v = std::max<std::int64_t>(v, holder->last);
    }
    return std::nullopt;
}

std::vector<ValueRange> TextRanges(const ProjectBlock& project,
                                   std::span<const ListEntry> entries) {
    std::vector<ValueRange> ranges;
    for (const ListEntry& entry : entries) {
        ValueRange range = RangeOf(entry);
        if (entry.textId != kNoListText) range.text = host::ProjectText(project, entry.textId);
        ranges.push_back(std::move(range));
    }
    return ranges;
}

std::vector<ValueRange> PictureRanges(std::span<const ListEntry> entries, std::size_t bitmaps) {
    std::vector<ValueRange> ranges;
    for (const ListEntry& entry : entries) {
        ValueRange range = RangeOf(entry);
        if (entry.value >= 0 && static_cast<std::size_t>(entry.value.get()) < bitmaps)
            range.picture = entry.value;
        ranges.push_back(std::move(range));
    }
    return ranges;
}

std::optional<std::vector<ListEntry>> TextEntries(ProjectBlock& project,
                                                  std::span<const ValueRange> ranges,
                                                  std::vector<std::uint16_t>& held) {
    std::vector<ListEntry> entries;
    const std::size_t heldBefore = held.size();
    for (const ValueRange& range : ranges) {
        const WORD id = StrTabAddText(range.text.c_str(), &project);
        if (id == kNoStringId) {
            ReleaseTexts(project, std::span(held).subspan(heldBefore));
            held.resize(heldBefore);
            return std::nullopt;
        }
        held.push_back(id);
        ListEntry entry = EntryOf(range);
        entry.textId = id;
        entries.push_back(entry);
    }
    return entries;
}

std::vector<ListEntry> PictureEntries(std::span<const ValueRange> ranges) {
    std::vector<ListEntry> entries;
    for (const ValueRange& range : ranges) {
        ListEntry entry = EntryOf(range);
        entry.textId = kNoListText;
        entry.value = range.picture;
        entries.push_back(entry);
    }
    return entries;
}

void ReleaseTexts(ProjectBlock& project, std::span<const std::uint16_t> texts) {
    for (std::uint16_t id : texts) StrTabGetText(id, &project, nullptr, 0, 1);
}

}  // namespace kestra::workbench
