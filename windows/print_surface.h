// Printing: the surface a printer's device context draws on.
//
// A print surface is a sequence of pages. The host that makes it decides the page's line
// height in device units; a printing program reads it (as the editor hands it to a driver
// with a print request) and places its lines at line number x line height. The page handling
// (when to start a new page) is the printing program's.
//
// Two print surfaces exist: the recording surface below, which keeps every printed line and
// its position so that tests read back exactly what was printed, and the Qt host's PDF page
// (windows/qt/pdf_print_surface.h).
#pragma once

#include <string>
#include <vector>

#include "windows/canvas.h"

namespace kestra::platform {

class PrintSurface : public Surface {
  public:
    // Height of one printed line, in device units.
    virtual int lineHeight() const = 0;
    // Lines that fit on one page.
    virtual int linesPerPage() const = 0;
    // Ends the current page; later drawing goes to a new one.
    virtual void newPage() = 0;
    // Pages begun so far (at least 1).
    virtual int pageCount() const = 0;
};

// One line a recording print surface kept.
struct PrintedLine {
    int page;  // from 0
    POINT at;  // top left corner, in device units
    std::string text;
};

// Records the text it is given, line by line; measures with the fixed metrics of the
// headless host (a character cell of 6 by 13 units at the default font).
class RecordingPrintSurface : public PrintSurface {
  public:
    explicit RecordingPrintSurface(int lineHeight = 13, int linesPerPage = 60);

    int lineHeight() const override { return lineHeight_; }
    int linesPerPage() const override { return linesPerPage_; }
    void newPage() override { ++page_; }
    int pageCount() const override { return page_ + 1; }

    const std::vector<PrintedLine>& lines() const { return lines_; }
    // A page as text: one row per line height, each text on the row its position gives and
    // indented by its position in character cells; rows up to the last printed one, each
    // ended by a newline.
    std::string pageText(int page) const;

    void text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
              const RECT* clip) override;
    void fillRect(const RECT&, COLORREF) override {}
    void line(POINT, POINT, COLORREF, int) override {}
    void polygon(std::span<const POINT>, COLORREF, COLORREF) override {}
    void blit(const HBITMAP__&, const RECT&, const RECT&, BlitOp) override {}
    void maskFill(const HBITMAP__&, const RECT&, const RECT&, COLORREF, COLORREF) override {}
    void focusRect(const RECT&) override {}
    SIZE textSize(std::string_view text, const LOGFONT& font) override;
    TEXTMETRIC textMetrics(const LOGFONT& font) override;

  private:
    int lineHeight_;
    int linesPerPage_;
    int page_ = 0;
    std::vector<PrintedLine> lines_;
};

// A printer device context drawing on the print surface (which must outlive it); DeleteDC
// releases it.
HDC CreatePrintDC(PrintSurface& surface);

}  // namespace kestra::platform
