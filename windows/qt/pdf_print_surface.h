// The Qt host's printers: pages of a paged paint device (a printer, a PDF writer), and pages
// of a PDF file.
//
// Text drawn with the device context's default font goes out in the host's fixed-pitch print
// font, so that columns of printed lines stay aligned; the line height is that font's line
// spacing in the page's device units (the device's resolution). Other drawing goes through a
// QPainter as on a window.
#pragma once

#include <QFont>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <memory>

#include "windows/print_surface.h"
#include "windows/qt/qt_surface.h"

namespace kestra::platform::qt {

// A4 with margins of 10 mm.
QPageLayout A4Layout(bool landscape);

// Pages of a paged paint device: A4 with margins of 10 mm, in the orientation asked for, or
// the page layout the device has (a printer the user set up).
class PagedPrintSurface : public PrintSurface {
  public:
    struct Options {
        int resolution = 300;  // device units per inch (of a PDF file; a printer keeps its own)
        int pointSize = 9;     // of the print font
        bool landscape = true;
        bool deviceLayout = false;  // keep the device's page layout instead
        QString title;              // of a PDF file
    };
    // Paints on `device` until the surface is destroyed or finish() is called; the device
    // must outlive the surface. ok() says whether painting could begin.
    PagedPrintSurface(QPagedPaintDevice& device, const Options& options);
    ~PagedPrintSurface() override;
    PagedPrintSurface(const PagedPrintSurface&) = delete;
    PagedPrintSurface& operator=(const PagedPrintSurface&) = delete;

    bool ok() const { return painter_ && painter_->isActive(); }
    // Ends the last page (and, for a file, closes it).
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

    QPagedPaintDevice& device_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<PainterSurface> drawing_;
    QFont printFont_;
    int lineHeight_ = 1;
    int linesPerPage_ = 1;
    int pages_ = 1;
};

namespace detail {
// The PDF writer of a PdfPrintSurface, made before the pages that paint on it.
struct PdfWriterOf {
    PdfWriterOf(const QString& path, const PagedPrintSurface::Options& options);
    QPdfWriter writer;
};
}  // namespace detail

// Pages of a PDF file at `path`; the file is written when the surface is finished.
class PdfPrintSurface : private detail::PdfWriterOf, public PagedPrintSurface {
  public:
    using Options = PagedPrintSurface::Options;
    PdfPrintSurface(const QString& path, const Options& options)
        : detail::PdfWriterOf(path, options), PagedPrintSurface(writer, options) {}
};

}  // namespace kestra::platform::qt
