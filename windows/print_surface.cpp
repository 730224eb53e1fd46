#include "windows/print_surface.h"

#include <algorithm>
#include <map>

namespace kestra::platform {

RecordingPrintSurface::RecordingPrintSurface(int lineHeight, int linesPerPage)
    : lineHeight_(std::max(1, lineHeight)), linesPerPage_(std::max(1, linesPerPage)) {}

void RecordingPrintSurface::text(POINT at, std::string_view text, const LOGFONT&, COLORREF,
                                 const RECT*) {
    lines_.push_back({page_, at, std::string(text)});
}

SIZE RecordingPrintSurface::textSize(std::string_view text, const LOGFONT& font) {
    return FixedTextSize(text, font);
}

TEXTMETRIC RecordingPrintSurface::textMetrics(const LOGFONT& font) {
    return FixedTextMetrics(font);
}

std::string RecordingPrintSurface::pageText(int page) const {
    const LONG cell = std::max<LONG>(1, FixedTextSize("M", DefaultFont()).cx);
    std::map<LONG, std::string> rows;
    for (const PrintedLine& line : lines_) {
        if (line.page != page) continue;
        std::string& row = rows[line.at.y / lineHeight_];
        const auto column = static_cast<std::size_t>(std::max<LONG>(0, line.at.x / cell));
        if (row.size() < column) row.resize(column, ' ');
        row.replace(column, std::min(line.text.size(), row.size() - column), line.text);
    }
    std::string text;
    LONG next = 0;
    for (const auto& [row, content] : rows) {
        for (; next < row; ++next) text += '\n';
        text += content + '\n';
        next = row + 1;
    }
    return text;
}

HDC CreatePrintDC(PrintSurface& surface) {
    return CreateSurfaceDC(surface);
}

}  // namespace kestra::platform
