// The Qt host's printer: pages of a PDF file.
//
// Text drawn with the device context's default font goes out in the host's fixed-pitch print
// font, so that columns of printed lines stay aligned; the line height is that font's line
// spacing in the page's device units (the writer's resolution). Other drawing goes through a
// QPainter as on a window.
#pragma once

#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <memory>

#include "windows/print_surface.h"
#include "windows/qt/qt_surface.h"

namespace kestra::platform::qt {

class PdfPrintSurface : public PrintSurface {
  public:
    struct Options {
        int resolution = 300;  // device units per inch
        int pointSize = 9;     // of the print font
        bool landscape = true;
        QString title;
    };
    // Writes to `path` (A4, 10 mm margins) until the surface is destroyed or finish() is
    // called; ok() says whether the file could be opened.
    PdfPrintSurface(const QString& path, const Options& options);
    ~PdfPrintSurface() override;
    PdfPrintSurface(const PdfPrintSurface&) = delete;
    PdfPrintSurface& operator=(const PdfPrintSurface&) = delete;

    bool ok() const { return painter_ && painter_->isActive(); }
    // Ends the last page and closes the file.
    void finish();

    int lineHeight() const override { return lineHeight_; }
    int linesPerPage() const override { return linesPerPage_; }
    void newPage() override;
    int pageCount() const override { return pages_; }

    void text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
              const RECT* clip) override;
    void fillRect(const RECT& rect, COLORREF colour) override;
    void line(POINT from, POINT to, COLORREF colour, int width) override;
    void polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) override;
    void blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) override;
    void maskFill(const HBITMAP__& source, const RECT& from, const RECT& to, COLORREF background,
                  COLORREF colour) override;
    void focusRect(const RECT&) override {}
    SIZE textSize(std::string_view text, const LOGFONT& font) override;
    TEXTMETRIC textMetrics(const LOGFONT& font) override;

  private:
    QFont fontFor(const LOGFONT& font) const;

    QPdfWriter writer_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<PainterSurface> drawing_;
    QFont printFont_;
    int lineHeight_ = 1;
    int linesPerPage_ = 1;
    int pages_ = 1;
};

}  // namespace kestra::platform::qt
