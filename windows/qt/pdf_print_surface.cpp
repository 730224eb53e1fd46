#include "windows/qt/pdf_print_surface.h"

#include <QFontMetrics>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <algorithm>
#include <cstring>

namespace kestra::platform::qt {
namespace {

QString TextOf(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsDefaultFont(const LOGFONT& font) {
    return font.lfFaceName[0] == 0 || std::memcmp(&font, &DefaultFont(), sizeof font) == 0;
}

}  // namespace

QPageLayout A4Layout(bool landscape) {
    return QPageLayout(QPageSize(QPageSize::A4),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

namespace detail {

PdfWriterOf::PdfWriterOf(const QString& path, const PagedPrintSurface::Options& options)
    : writer(path) {
    writer.setResolution(options.resolution);
    writer.setTitle(options.title);
}

}  // namespace detail

PagedPrintSurface::PagedPrintSurface(QPagedPaintDevice& device, const Options& options)
    : device_(device) {
    if (!options.deviceLayout) device_.setPageLayout(A4Layout(options.landscape));
    printFont_ = QFont(QStringLiteral("Monospace"));
    printFont_.setStyleHint(QFont::TypeWriter);
    printFont_.setFixedPitch(true);
    printFont_.setPointSize(options.pointSize);
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&device_)) return;
    drawing_ = std::make_unique<PainterSurface>(painter_.get());
    const QFontMetrics metrics(printFont_, &device_);
    lineHeight_ = std::max(1, metrics.lineSpacing());
    const int pageHeight = device_.pageLayout().paintRectPixels(device_.logicalDpiY()).height();
    linesPerPage_ = std::max(1, pageHeight / lineHeight_);
}

PagedPrintSurface::~PagedPrintSurface() {
    finish();
}

void PagedPrintSurface::finish() {
    if (painter_ && painter_->isActive()) painter_->end();
}

void PagedPrintSurface::newPage() {
    if (!ok()) return;
    device_.newPage();
    ++pages_;
}

QFont PagedPrintSurface::fontFor(const LOGFONT& font) const {
    if (IsDefaultFont(font)) return printFont_;
    QFont chosen = FontFor(font);
    // Font records give heights in screen pixels; on the page they are points.
    if (chosen.pixelSize() > 0) chosen.setPointSize(chosen.pixelSize());
    return chosen;
}

void PagedPrintSurface::text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
                             const RECT* clip) {
    if (!ok()) return;
    painter_->save();
    const QFont chosen = fontFor(font);
    painter_->setFont(chosen);
    painter_->setPen(QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)));
    if (clip)
        painter_->setClipRect(
            QRect(clip->left, clip->top, clip->right - clip->left, clip->bottom - clip->top),
            Qt::IntersectClip);
    painter_->drawText(at.x, at.y + QFontMetrics(chosen, &device_).ascent(), TextOf(text));
    painter_->restore();
}

void PagedPrintSurface::fillRect(const RECT& rect, COLORREF colour) {
    if (ok()) drawing_->fillRect(rect, colour);
}
void PagedPrintSurface::line(POINT from, POINT to, COLORREF colour, int width) {
    if (ok()) drawing_->line(from, to, colour, width);
}
void PagedPrintSurface::polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) {
    if (ok()) drawing_->polygon(points, fill, outline);
}
void PagedPrintSurface::blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) {
    if (ok()) drawing_->blit(source, from, to, op);
}
void PagedPrintSurface::maskFill(const HBITMAP__& source, const RECT& from, const RECT& to,
                                 COLORREF background, COLORREF colour) {
    if (ok()) drawing_->maskFill(source, from, to, background, colour);
}

SIZE PagedPrintSurface::textSize(std::string_view text, const LOGFONT& font) {
    const QFontMetrics metrics(fontFor(font), &device_);
    return {metrics.horizontalAdvance(TextOf(text)), metrics.height()};
}

TEXTMETRIC PagedPrintSurface::textMetrics(const LOGFONT& font) {
    const QFontMetrics m(fontFor(font), &device_);
    return {
        m.height(),  m.ascent(),           m.descent(),  0,
        m.leading(), m.averageCharWidth(), m.maxWidth(), font.lfWeight ? font.lfWeight : FW_NORMAL};
}

}  // namespace kestra::platform::qt
