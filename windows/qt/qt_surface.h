// Drawing of the window core's device contexts with a QPainter.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <memory>

#include "windows/canvas.h"

namespace kestra::platform::qt {

// The Qt font for a logical font record; a record without a face name or height takes the
// host's dialog font for it.
QFont FontFor(const LOGFONT& font);
// The dialog font of the Qt host.
QFont& DialogFont();

// A bitmap's pixels seen as an image (no copy; valid while the bitmap lives).
QImage ImageOf(const HBITMAP__& bitmap);

class PainterSurface : public Surface {
  public:
    explicit PainterSurface(QPainter* painter) : painter_(painter) {}
    void fillRect(const RECT& rect, COLORREF colour) override;
    void line(POINT from, POINT to, COLORREF colour, int width) override;
    void polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) override;
    void text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
              const RECT* clip) override;
    void blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) override;
    void maskFill(const HBITMAP__& source, const RECT& from, const RECT& to, COLORREF background,
                  COLORREF colour) override;
    void focusRect(const RECT& rect) override;
    SIZE textSize(std::string_view text, const LOGFONT& font) override;
    TEXTMETRIC textMetrics(const LOGFONT& font) override;

  protected:
    QPainter* painter_;
};

// Measures with Qt's fonts and draws nothing.
class MeasuringSurface : public NullSurface {
  public:
    SIZE textSize(std::string_view text, const LOGFONT& font) override;
    TEXTMETRIC textMetrics(const LOGFONT& font) override;
};

// Paints into a bitmap's own pixels.
class BitmapPainterSurface : public PainterSurface {
  public:
    explicit BitmapPainterSurface(HBITMAP__& bitmap);
    ~BitmapPainterSurface() override;

  private:
    HBITMAP__& bitmap_;
    QImage image_;
    std::unique_ptr<QPainter> ownPainter_;
};

}  // namespace kestra::platform::qt
