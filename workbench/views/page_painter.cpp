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
// Labels are drawn only where a cell is this high, in a font half its height.
constexpr int kLabelCellHeight = 12;

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
    zoom_ = std::clamp(zoom, kMinZoom, kMaxZoom);
    const QSize cell(display.charWidth * zoom_, display.charHeight * zoom_);
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
    return {cellOf(pixel.x() - kMargin, cell_.width()), cellOf(pixel.y() - kMargin, cell_.height())};
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
    paintCharacters(painter, layout, extent);
    paintShapes(painter, layout);
    paintBoxes(painter, layout, marks);
    if (marks.labels) paintLabels(painter, layout);
    if (marks.focus) {
        painter.setPen(QPen(marks.highlight, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(Outline(screen.adjusted(-kMargin / 2, -kMargin / 2, kMargin / 2,
                                                 kMargin / 2)));
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

std::vector<PagePainter::Cell> PagePainter::compose(const PageLayout& layout, QSize extent) const {
    // What each cell shows: the page text from the first row, then the fields in page order,
    // a later field over an earlier one.
    const int width = extent.width(), height = extent.height();
    std::vector<Cell> cells(static_cast<std::size_t>(width) * height);
    const auto at = [width](int x, int y) { return static_cast<std::size_t>(y) * width + x; };
    for (int row = 0; row < std::min<int>(layout.textLines.size(), layout.display.rows); ++row) {
        const QString& line = layout.textLines[row];
        for (int column = 0; column < std::min<int>(line.size(), layout.display.columns);
             ++column)
            cells[at(column, row)] = {line[column], false};
    }
    for (const PlacedField& field : layout.fields) {
        const QRect& box = field.cells;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const int i = x - box.left();
                const bool shown = y == box.top() && i < field.placeholder.size();
                cells[at(x, y)] = {shown ? field.placeholder[i] : QLatin1Char(' '), true};
            }
    }
    return cells;
}

const QImage& PagePainter::glyph(QChar character, QColor colour) {
    const quint64 key = (static_cast<quint64>(colour.rgba()) << 32) | character.unicode();
    if (const auto found = glyphs_.constFind(key); found != glyphs_.constEnd()) return *found;
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
    const qreal baseline = (cell_.height() - metrics.ascent() - metrics.descent()) / 2 +
                           metrics.ascent();
    painter.drawText(QPointF(0, baseline), text);
    painter.end();
    return *glyphs_.insert(key, image);
}

void PagePainter::paintCharacters(QPainter& painter, const PageLayout& layout, QSize extent) {
    const std::vector<Cell> cells = compose(layout, extent);
    const QColor text = ColourOf(layout.display.screenText);
    const QColor data = ColourOf(layout.display.screenData);
    std::size_t i = 0;
    for (int y = 0; y < extent.height(); ++y)
        for (int x = 0; x < extent.width(); ++x, ++i) {
            const Cell& cell = cells[i];
            if (cell.character.isSpace()) continue;
            painter.drawImage(QPoint(kMargin + x * cell_.width(), kMargin + y * cell_.height()),
                              glyph(cell.character, cell.data ? data : text));
        }
}

void PagePainter::paintShapes(QPainter& painter, const PageLayout& layout) const {
    const QColor data = ColourOf(layout.display.screenData);
    for (const PlacedField& field : layout.fields) {
        const QRect box = pixels(field.cells);
        switch (field.look) {
            case FieldLook::HorizontalBar:
                // A bar three fifths full, from the left.
                painter.fillRect(QRect(box.left() + 1, box.top() + box.height() / 4,
                                       std::max(1, box.width() * 3 / 5), std::max(1, box.height() / 2)),
                                 data);
                break;
            case FieldLook::VerticalBar: {
                const int bar = std::max(1, box.height() * 3 / 5);
                painter.fillRect(QRect(box.left() + box.width() / 4, box.bottom() - bar,
                                       std::max(1, box.width() / 2), bar),
                                 data);
                break;
            }
            case FieldLook::Picture:
                painter.fillRect(box, QBrush(data, Qt::DiagCrossPattern));
                break;
            case FieldLook::TouchPicture:
                painter.fillRect(box, QBrush(data, Qt::BDiagPattern));
                break;
            case FieldLook::Attribute:
                painter.fillRect(box, QBrush(ColourOf(layout.display.attribute),
                                             Qt::Dense6Pattern));
                break;
            default:
                break;
        }
    }
}

void PagePainter::paintBoxes(QPainter& painter, const PageLayout& layout,
                             const Marks& marks) const {
    QVector<QRect> plain, marked, selected, handles;
    plain.reserve(static_cast<qsizetype>(layout.fields.size()));
    for (const PlacedField& field : layout.fields) {
        const QRect box = Outline(pixels(field.cells));
        (field.overlaps || field.outside ? marked : plain).append(box);
        if (marks.selected && field.number < marks.selected->size() &&
            (*marks.selected)[field.number]) {
            selected.append(box);
            handles.append(handle(field.cells));
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(WithAlpha(ColourOf(layout.display.screenData), 150), 0));
    painter.drawRects(plain);
    painter.setPen(QPen(kMarked, 2, Qt::DashLine));
    painter.drawRects(marked);
    if (selected.isEmpty()) return;
    painter.setPen(QPen(marks.highlight, 2));
    painter.setBrush(WithAlpha(marks.highlight, 60));
    painter.drawRects(selected);
    for (const QRect& knob : handles) {
        painter.fillRect(knob, marks.highlight);
        painter.fillRect(knob.adjusted(1, 1, -1, -1), Qt::white);
    }
}

void PagePainter::paintLabels(QPainter& painter, const PageLayout& layout) const {
    if (cell_.height() < kLabelCellHeight) return;
    QFont font = painter.font();
    font.setPixelSize(std::max(8, cell_.height() / 2));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QColor background = WithAlpha(ColourOf(layout.display.pageBackground), 220);
    painter.setPen(ColourOf(layout.display.screenData));
    for (const PlacedField& field : layout.fields) {
        if (field.label.isEmpty()) continue;
        // On the box's top edge, towards the row above.
        const QRect box = pixels(field.cells);
        QRect tag(box.left() + 2, box.top() - metrics.height() / 2,
                  metrics.horizontalAdvance(field.label) + 4, metrics.height());
        if (tag.top() < 0) tag.moveTop(box.top());
        painter.fillRect(tag, background);
        painter.drawText(tag, Qt::AlignCenter, field.label);
    }
}

}  // namespace kestra::workbench
