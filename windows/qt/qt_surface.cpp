// Drawing of device contexts with a QPainter.
#include "windows/qt/qt_surface.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPolygon>
#include <algorithm>
#include <cstring>

namespace kestra::platform::qt {
namespace {

QColor colourOf(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

QRect rectOf(const RECT& r) {
    return QRect(r.left, r.top, std::max<LONG>(0, r.right - r.left),
                 std::max<LONG>(0, r.bottom - r.top));
}

QString textOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPainter::CompositionMode modeOf(BlitOp op) {
    switch (op) {
        case BlitOp::And:
            return QPainter::RasterOp_SourceAndDestination;
        case BlitOp::Or:
            return QPainter::RasterOp_SourceOrDestination;
        case BlitOp::Xor:
            return QPainter::RasterOp_SourceXorDestination;
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

SIZE measure(std::string_view text, const LOGFONT& font) {
    QFontMetrics metrics(FontFor(font));
    return {metrics.horizontalAdvance(textOf(text)), metrics.height()};
}

TEXTMETRIC metricsOf(const LOGFONT& font) {
    QFont qfont = FontFor(font);
    QFontMetrics m(qfont);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    LONG average = (m.horizontalAdvance(alphabet) + 26) / 52;
    return {m.height(),  m.ascent(), m.descent(),  0,
            m.leading(), average,    m.maxWidth(), font.lfWeight ? font.lfWeight : FW_NORMAL};
}

}  // namespace

QFont& DialogFont() {
    static QFont font = [] {
        QFont f = QApplication::font();
        f.setPointSize(9);
        return f;
    }();
    return font;
}

QFont FontFor(const LOGFONT& record) {
    QFont font = DialogFont();
    if (record.lfFaceName[0])
        font.setFamily(QString::fromLatin1(
            record.lfFaceName,
            static_cast<qsizetype>(strnlen(record.lfFaceName, sizeof record.lfFaceName))));
    if (record.lfHeight < 0) font.setPixelSize(-record.lfHeight);
    if (record.lfHeight > 0) font.setPixelSize(std::max<LONG>(1, record.lfHeight * 7 / 8));
    if (record.lfWeight >= FW_BOLD) font.setBold(true);
    font.setItalic(record.lfItalic != 0);
    font.setUnderline(record.lfUnderline != 0);
    font.setStrikeOut(record.lfStrikeOut != 0);
    return font;
}

QImage ImageOf(const HBITMAP__& bitmap) {
    // A COLORREF (0x00BBGGRR) is laid out in memory as R, G, B, x.
    return QImage(reinterpret_cast<const uchar*>(bitmap.pixels.data()), bitmap.width, bitmap.height,
                  bitmap.width * 4, QImage::Format_RGBX8888);
}

void PainterSurface::fillRect(const RECT& rect, COLORREF colour) {
    painter_->fillRect(rectOf(rect), colourOf(colour));
}

void PainterSurface::line(POINT from, POINT to, COLORREF colour, int width) {
    // GDI leaves out the end point; so does this for lines along an axis.
    POINT end = to;
    if (from.x == to.x && from.y != to.y) end.y += to.y > from.y ? -1 : 1;
    if (from.y == to.y && from.x != to.x) end.x += to.x > from.x ? -1 : 1;
    if (end.x == from.x && end.y == from.y && (from.x != to.x || from.y != to.y)) {
        painter_->fillRect(QRect(from.x, from.y, 1, 1), colourOf(colour));
        return;
    }
    QPen pen(colourOf(colour));
    pen.setWidth(std::max(width, 1) == 1 ? 0 : width);
    painter_->setPen(pen);
    painter_->drawLine(from.x, from.y, end.x, end.y);
}

void PainterSurface::polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) {
    QPolygon polygon;
    for (POINT p : points) polygon << QPoint(p.x, p.y);
    painter_->setPen(QPen(colourOf(outline), 0));
    painter_->setBrush(colourOf(fill));
    painter_->drawPolygon(polygon);
    painter_->setBrush(Qt::NoBrush);
}

void PainterSurface::text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
                          const RECT* clip) {
    painter_->save();
    QFont qfont = FontFor(font);
    painter_->setFont(qfont);
    painter_->setPen(colourOf(colour));
    if (clip) painter_->setClipRect(rectOf(*clip), Qt::IntersectClip);
    painter_->drawText(at.x, at.y + QFontMetrics(qfont).ascent(), textOf(text));
    painter_->restore();
}

void PainterSurface::blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) {
    painter_->save();
    painter_->setCompositionMode(modeOf(op));
    painter_->drawImage(rectOf(to), ImageOf(source), rectOf(from));
    painter_->restore();
}

void PainterSurface::maskFill(const HBITMAP__& source, const RECT& from, const RECT& to,
                              COLORREF background, COLORREF colour) {
    QImage mask(source.width, source.height, QImage::Format_ARGB32);
    QRgb paint = colourOf(colour).rgba();
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x) {
            auto pixel =
                source.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width) +
                              static_cast<std::size_t>(x)];
            mask.setPixel(x, y, (pixel & 0xFFFFFF) != (background & 0xFFFFFF) ? paint : 0);
        }
    painter_->drawImage(rectOf(to), mask, rectOf(from));
}

void PainterSurface::focusRect(const RECT& rect) {
    painter_->save();
    painter_->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 0, Qt::DotLine);
    painter_->setPen(pen);
    painter_->setBrush(Qt::NoBrush);
    painter_->drawRect(
        QRect(rect.left, rect.top, rect.right - rect.left - 1, rect.bottom - rect.top - 1));
    painter_->restore();
}

SIZE PainterSurface::textSize(std::string_view text, const LOGFONT& font) {
    return measure(text, font);
}
TEXTMETRIC PainterSurface::textMetrics(const LOGFONT& font) {
    return metricsOf(font);
}

SIZE MeasuringSurface::textSize(std::string_view text, const LOGFONT& font) {
    return measure(text, font);
}
TEXTMETRIC MeasuringSurface::textMetrics(const LOGFONT& font) {
    return metricsOf(font);
}

BitmapPainterSurface::BitmapPainterSurface(HBITMAP__& bitmap)
    : PainterSurface(nullptr),
      bitmap_(bitmap),
      image_(reinterpret_cast<uchar*>(bitmap.pixels.data()), bitmap.width, bitmap.height,
             bitmap.width * 4, QImage::Format_RGBX8888),
      ownPainter_(std::make_unique<QPainter>(&image_)) {
    painter_ = ownPainter_.get();
}

BitmapPainterSurface::~BitmapPainterSurface() {
    ownPainter_->end();
    for (auto& pixel : bitmap_.pixels) pixel &= 0xFFFFFF;  // back to COLORREF values
}

}  // namespace kestra::platform::qt
