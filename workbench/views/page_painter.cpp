#include "workbench/views/page_painter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace kestra::workbench {

namespace {

// Fields that overlap or run past the display, and the cells past it.
const QColor kMarked(220, 30, 30);
// Labels are drawn only where a cell is this high, in a font a third of its height.
constexpr int kLabelCellHeight = 24;
// Glyphs kept at most; a page of more different characters starts the cache afresh.
constexpr qsizetype kGlyphLimit = 1024;

QColor WithAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

// A box's outline inside its pixels.
QRect Outline(const QRect& box) {
    return box.adjusted(0, 0, -1, -1);
}

}  // namespace

QColor ColourOf(const host::Rgb& rgb) {
    return {rgb.red, rgb.green, rgb.blue};
}

void PagePainter::setGrid(const host::PanelDisplay& display, int zoom) {
    const int largest = std::max({display.charWidth, display.charHeight, 1});
    maxZoom_ = std::clamp(kLargestCell / largest, kMinZoom, kMaxZoom);
    zoom_ = std::clamp(zoom, kMinZoom, maxZoom_);
    const QSize cell(std::max(1, display.charWidth) * zoom_,
                     std::max(1, display.charHeight) * zoom_);
    if (cell != cell_) glyphs_.clear();
    cell_ = cell;
}

QSize PagePainter::size(QSize extent) const {
    return {extent.width() * cell_.width() + 2 * kMargin,
            extent.height() * cell_.height() + 2 * kMargin};
}

QRect PagePainter::pixels(const QRect& cells) const {
    return {kMargin + cells.x() * cell_.width(), kMargin + cells.y() * cell_.height(),
            cells.width() * cell_.width(), cells.height() * cell_.height()};
}

QPoint PagePainter::cellAt(QPoint pixel) const {
    const auto cellOf = [](int offset, int size) {
        return offset >= 0 ? offset / size : -1 - (-offset - 1) / size;
    };
    return {cellOf(pixel.x() - kMargin, cell_.width()),
            cellOf(pixel.y() - kMargin, cell_.height())};
}

QRect PagePainter::handle(const QRect& cells) const {
    const QRect box = pixels(cells);
    return {box.right() - kHandle / 2, box.bottom() - kHandle / 2, kHandle, kHandle};
}

void PagePainter::paint(QPainter& painter, const PageLayout& layout, const Marks& marks) {
    const host::PanelDisplay& display = layout.display;
    const QSize extent = layout.extent();
    const QRect screen = pixels({0, 0, display.columns, display.rows});
    painter.fillRect(QRect(QPoint(0, 0), size(extent)), ColourOf(display.screenBackground));
    painter.fillRect(screen, ColourOf(display.pageBackground));
    if (extent != QSize(display.columns, display.rows)) {
        // Cells past the display, where fields that run past it stand.
        const QRegion past = QRegion(pixels({{0, 0}, extent})) - QRegion(screen);
        for (const QRect& part : past)
            painter.fillRect(part, QBrush(WithAlpha(kMarked, 90), Qt::BDiagPattern));
    }
    paintGrid(painter, display);
    const Cells cells = compose(layout, extent);
    paintFills(painter, cells, extent, display);
    paintBars(painter, layout);
    paintCharacters(painter, cells, extent, marks.clip, display);
    paintFrames(painter, cells, extent, display);
    paintSelection(painter, layout, marks);
    if (marks.labels) paintLabels(painter, layout);
    if (marks.focus) {
        painter.setPen(QPen(marks.highlight, 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(
            Outline(screen.adjusted(-kMargin / 2, -kMargin / 2, kMargin / 2, kMargin / 2)));
    }
}

void PagePainter::paintGrid(QPainter& painter, const host::PanelDisplay& display) const {
    const QRect screen = pixels({0, 0, display.columns, display.rows});
    QVector<QLine> lines;
    if (cell_.width() >= 4 && cell_.height() >= 4) {
        for (int column = 1; column < display.columns; ++column) {
            const int x = screen.x() + column * cell_.width();
            lines.append({x, screen.top(), x, screen.bottom()});
        }
        for (int row = 1; row < display.rows; ++row) {
            const int y = screen.y() + row * cell_.height();
            lines.append({screen.left(), y, screen.right(), y});
        }
        painter.setPen(QPen(ColourOf(display.grid), 0));
        painter.drawLines(lines);
    }
    painter.setPen(QPen(ColourOf(display.grid), 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(Outline(screen));
    if (!display.touch()) return;
    // The touch cells divide the display's pixels evenly.
    lines.clear();
    for (int column = 1; column < display.touchColumns; ++column) {
        const int x = screen.x() + column * screen.width() / display.touchColumns;
        lines.append({x, screen.top(), x, screen.bottom()});
    }
    for (int row = 1; row < display.touchRows; ++row) {
        const int y = screen.y() + row * screen.height() / display.touchRows;
        lines.append({screen.left(), y, screen.right(), y});
    }
    painter.setPen(QPen(ColourOf(display.touchGrid), 0, Qt::DashLine));
    painter.drawLines(lines);
}

PagePainter::Cells PagePainter::compose(const PageLayout& layout, QSize extent) const {
    // The page text from the first row, then the fields in page order, a later field over an
    // earlier one; every field's frame on the edges of its cells, a marked one over the others.
    const int width = extent.width(), height = extent.height();
    Cells cells(static_cast<std::size_t>(width) * height);
    const auto at = [&cells, width](int x, int y) -> Cell& {
        return cells[static_cast<std::size_t>(y) * width + x];
    };
    for (int row = 0; row < std::min<int>(layout.textLines.size(), layout.display.rows); ++row) {
        const QString& line = layout.textLines[row];
        for (int column = 0; column < std::min<int>(line.size(), layout.display.columns); ++column)
            at(column, row).character = line[column];
    }
    for (const PlacedField& field : layout.fields) {
        const QRect& box = field.cells;
        Fill fill = Fill::None;
        if (field.look == FieldLook::Picture) fill = Fill::Picture;
        if (field.look == FieldLook::TouchPicture) fill = Fill::TouchPicture;
        if (field.look == FieldLook::Attribute) fill = Fill::Attribute;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const int i = x - box.left();
                Cell& cell = at(x, y);
                cell.character = y == box.top() && i < field.placeholder.size()
                                     ? field.placeholder[i]
                                     : QLatin1Char(' ');
                cell.data = true;
                cell.fill = fill;
            }
        const std::uint8_t frame = field.overlaps || field.outside ? kMarkedFrame : kPlainFrame;
        for (int x = box.left(); x <= box.right(); ++x) {
            at(x, box.top()).top = std::max(at(x, box.top()).top, frame);
            at(x, box.bottom()).bottom = std::max(at(x, box.bottom()).bottom, frame);
        }
        for (int y = box.top(); y <= box.bottom(); ++y) {
            at(box.left(), y).left = std::max(at(box.left(), y).left, frame);
            at(box.right(), y).right = std::max(at(box.right(), y).right, frame);
        }
    }
    return cells;
}

void PagePainter::paintFills(QPainter& painter, const Cells& cells, QSize extent,
                             const host::PanelDisplay& display) const {
    const QColor data = ColourOf(display.screenData);
    const auto brushOf = [&](Fill fill) {
        switch (fill) {
            case Fill::Picture:
                return QBrush(data, Qt::DiagCrossPattern);
            case Fill::TouchPicture:
                return QBrush(data, Qt::BDiagPattern);
            default:
                return QBrush(ColourOf(display.attribute), Qt::Dense6Pattern);
        }
    };
    // Runs of neighbouring cells of one pattern, row by row.
    for (int y = 0; y < extent.height(); ++y) {
        const Cell* row = &cells[static_cast<std::size_t>(y) * extent.width()];
        for (int x = 0; x < extent.width();) {
            const Fill fill = row[x].fill;
            int end = x + 1;
            while (end < extent.width() && row[end].fill == fill) ++end;
            if (fill != Fill::None) painter.fillRect(pixels({x, y, end - x, 1}), brushOf(fill));
            x = end;
        }
    }
}

void PagePainter::paintBars(QPainter& painter, const PageLayout& layout) const {
    const QColor data = ColourOf(layout.display.screenData);
    for (const PlacedField& field : layout.fields) {
        const QRect box = pixels(field.cells);
        if (field.look == FieldLook::HorizontalBar) {
            // Three fifths full, from the left.
            painter.fillRect(QRect(box.left() + 1, box.top() + box.height() / 4,
                                   std::max(1, box.width() * 3 / 5), std::max(1, box.height() / 2)),
                             data);
        } else if (field.look == FieldLook::VerticalBar) {
            // Three fifths full, from the bottom.
            const int bar = std::max(1, box.height() * 3 / 5);
            painter.fillRect(QRect(box.left() + box.width() / 4, box.bottom() - bar,
                                   std::max(1, box.width() / 2), bar),
                             data);
        }
    }
}

const QImage& PagePainter::glyph(QChar character, QColor colour) {
    const quint64 key = (static_cast<quint64>(colour.rgba()) << 32) | character.unicode();
    if (const auto found = glyphs_.constFind(key); found != glyphs_.constEnd()) return *found;
    if (glyphs_.size() >= kGlyphLimit) glyphs_.clear();
    QImage image(cell_, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(std::max(5, cell_.height() * 4 / 5));
    const QFontMetricsF metrics(font);
    const QString text(character);
    const qreal advance = std::max<qreal>(metrics.horizontalAdvance(text), 1);
    // A character wider than its cell is narrowed to fit it.
    const qreal scale = std::min<qreal>(1, cell_.width() / advance);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(colour);
    painter.translate((cell_.width() - advance * scale) / 2, 0);
    painter.scale(scale, 1);
    const qreal baseline =
        (cell_.height() - metrics.ascent() - metrics.descent()) / 2 + metrics.ascent();
    painter.drawText(QPointF(0, baseline), text);
    painter.end();
    return *glyphs_.insert(key, image);
}

void PagePainter::paintCharacters(QPainter& painter, const Cells& cells, QSize extent,
                                  const QRect& clip, const host::PanelDisplay& display) {
    const QColor text = ColourOf(display.screenText);
    const QColor data = ColourOf(display.screenData);
    // Only the cells in the clip.
    QRect shown(QPoint(0, 0), extent);
    if (!clip.isEmpty()) shown &= QRect(cellAt(clip.topLeft()), cellAt(clip.bottomRight()));
    for (int y = shown.top(); y <= shown.bottom(); ++y)
        for (int x = shown.left(); x <= shown.right(); ++x) {
            const Cell& cell = cells[static_cast<std::size_t>(y) * extent.width() + x];
            if (cell.character.isSpace()) continue;
            painter.drawImage(QPoint(kMargin + x * cell_.width(), kMargin + y * cell_.height()),
                              glyph(cell.character, cell.data ? data : text));
        }
}

void PagePainter::paintFrames(QPainter& painter, const Cells& cells, QSize extent,
                              const host::PanelDisplay& display) const {
    // Each frame as runs of neighbouring cell edges of one kind: a box's outline lies inside
    // its pixels, so the bottom and right edges are a cell's last row and column of pixels. A
    // marked frame is two pixels wide: a second run one pixel further in.
    QVector<QLine> lines[3];
    const auto runs = [&](int count, int length, auto cellOf, auto edgeOf, auto lineOf) {
        for (int i = 0; i < count; ++i)
            for (int j = 0; j < length;) {
                const std::uint8_t frame = edgeOf(cellOf(i, j));
                int end = j + 1;
                while (end < length && edgeOf(cellOf(i, end)) == frame) ++end;
                if (frame != kNoFrame) {
                    lines[frame].append(lineOf(i, j, end, 0));
                    if (frame == kMarkedFrame) lines[frame].append(lineOf(i, j, end, 1));
                }
                j = end;
            }
    };
    const int w = extent.width(), h = extent.height();
    const int cw = cell_.width(), ch = cell_.height();
    const auto byRow = [&](int y, int x) -> const Cell& {
        return cells[static_cast<std::size_t>(y) * w + x];
    };
    const auto byColumn = [&](int x, int y) -> const Cell& { return byRow(y, x); };
    const auto across = [&](int pixelY, int from, int to) {
        return QLine(kMargin + from * cw, pixelY, kMargin + to * cw - 1, pixelY);
    };
    const auto down = [&](int pixelX, int from, int to) {
        return QLine(pixelX, kMargin + from * ch, pixelX, kMargin + to * ch - 1);
    };
    runs(
        h, w, byRow, [](const Cell& c) { return c.top; },
        [&](int y, int from, int to, int in) { return across(kMargin + y * ch + in, from, to); });
    runs(
        h, w, byRow, [](const Cell& c) { return c.bottom; },
        [&](int y, int from, int to, int in) {
            return across(kMargin + (y + 1) * ch - 1 - in, from, to);
        });
    runs(
        w, h, byColumn, [](const Cell& c) { return c.left; },
        [&](int x, int from, int to, int in) { return down(kMargin + x * cw + in, from, to); });
    runs(
        w, h, byColumn, [](const Cell& c) { return c.right; },
        [&](int x, int from, int to, int in) {
            return down(kMargin + (x + 1) * cw - 1 - in, from, to);
        });
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(WithAlpha(ColourOf(display.screenData), 150), 0));
    painter.drawLines(lines[kPlainFrame]);
    painter.setPen(QPen(kMarked, 0, Qt::DashLine));
    painter.drawLines(lines[kMarkedFrame]);
}

void PagePainter::paintSelection(QPainter& painter, const PageLayout& layout,
                                 const Marks& marks) const {
    if (!marks.selected) return;
    QVector<QRect> outlines, handles;
    for (const PlacedField& field : layout.fields) {
        if (field.number >= marks.selected->size() || !(*marks.selected)[field.number]) continue;
        const QRect box = pixels(field.cells);
        painter.fillRect(box, WithAlpha(marks.highlight, 60));
        outlines.append(Outline(box));
        outlines.append(Outline(box).adjusted(1, 1, -1, -1));
        handles.append(handle(field.cells));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(marks.highlight, 0));
    painter.drawRects(outlines);
    for (const QRect& knob : handles) {
        painter.fillRect(knob, marks.highlight);
        painter.fillRect(knob.adjusted(1, 1, -1, -1), Qt::white);
    }
}

void PagePainter::paintLabels(QPainter& painter, const PageLayout& layout) const {
    if (cell_.height() < kLabelCellHeight) return;
    QFont font = painter.font();
    font.setPixelSize(cell_.height() / 3);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    // A small tag in the box's top right corner, in the page's colour on the fields' colour.
    const QColor chip = WithAlpha(ColourOf(layout.display.screenData), 190);
    painter.setPen(ColourOf(layout.display.pageBackground));
    for (const PlacedField& field : layout.fields) {
        if (field.label.isEmpty()) continue;
        const QRect box = pixels(field.cells).adjusted(1, 1, -1, -1);
        const QString text = metrics.elidedText(field.label, Qt::ElideRight, box.width() - 4);
        if (text.isEmpty()) continue;
        const int width = metrics.horizontalAdvance(text) + 4;
        const QRect tag(box.right() + 1 - width, box.top(), width, metrics.height());
        painter.fillRect(tag, chip);
        painter.drawText(tag, Qt::AlignCenter, text);
    }
}

}  // namespace kestra::workbench
