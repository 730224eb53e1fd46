// Bitmap tables of any content, as a project hands them to the graphics editor: the table's
// count and entries taken from the input, each packed bitmap the rest of the input cut at a
// length the input chooses; the pictures are read, and picture lists of any values are read
// and checked. Nothing may read past a block, and sound ranges must be sorted and apart.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kestra/project_sections.h"
#include "platform/memory.h"
#include "workbench/hosted/project_bitmaps.h"
#include "workbench/hosted/value_ranges.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestra;
    using namespace kestra::workbench;
    if (size < 4) return 0;
    const std::size_t count = data[0] % 4;
    const std::size_t cut = std::min<std::size_t>(ReadLe16(data + 1), size - 3);
    const std::uint8_t* packed = data + 3;

    ProjectBlock project{};
    std::vector<BitmapEntry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        entries[i].dib = GlobalAlloc(GHND, cut ? cut : 1);
        if (cut) std::memcpy(mem::Data(entries[i].dib), packed, cut);
    }
    // The count may claim more entries than the table holds.
    project.ext.bitmapCount = static_cast<std::uint16_t>(count + (data[0] >> 7));
    if (count) {
        project.ext.bitmaps = GlobalAlloc(GHND, count * sizeof(BitmapEntry));
        std::memcpy(mem::Data(project.ext.bitmaps), entries.data(), count * sizeof(BitmapEntry));
    }
    const auto bitmaps = ProjectBitmaps(project);
    (void)PictureOfPackedBitmap(std::as_bytes(std::span(packed, size - 3)));

    const std::size_t listed = (size - 3) / sizeof(ListEntry);
    std::vector<ListEntry> list(listed);
    if (listed) std::memcpy(list.data(), packed, listed * sizeof(ListEntry));
    auto ranges = PictureRanges(list, bitmaps.size());
    const ValueBounds bounds{static_cast<std::int16_t>(ReadLe16(data + 1)), 300};
    if (!CheckRanges(ranges, bounds, true))
        for (std::size_t i = 0; i < ranges.size(); ++i)
            if (ranges[i].first > ranges[i].last || ranges[i].picture < 0 ||
                (i > 0 && ranges[i].first <= ranges[i - 1].last))
                __builtin_trap();

    for (const BitmapEntry& entry : entries) GlobalFree(entry.dib);
    if (project.ext.bitmaps != 0u) GlobalFree(project.ext.bitmaps);
    return 0;
}
