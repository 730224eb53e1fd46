#include "keyboard_editor/app_icons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <cmath>

#include "keyboard_editor/clavon_controller.h"
#include "keyboard_editor/main_frame.h"

namespace clavon {
namespace {

const QColor kOutline(48, 48, 48);
const QColor kFace(192, 192, 192);
const QColor kPaper(255, 255, 255);
const QColor kAccent(32, 96, 192);

using Glyph = void (*)(QPainter&);

// Glyphs are drawn on a 16 x 16 grid and scaled to each size.
QIcon Drawn(Glyph glyph, double grid = 16) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / grid, size / grid);
        glyph(painter);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The keyboard of the desktop entry's icon (keyboard_editor/desktop/clavon.svg), on a 64 grid.
void Keyboard64(QPainter& p) {
    p.setPen(QPen(kOutline, 2));
    p.setBrush(kFace);
    p.drawRoundedRect(QRectF(2, 10, 60, 44), 4, 4);
    p.setPen(QPen(QColor(80, 80, 80), 1.5));
    p.setBrush(kPaper);
    const QRectF keys[] = {{8, 16, 14, 10},  {25, 16, 14, 10}, {42, 16, 14, 10}, {8, 30, 14, 10},
                           {25, 30, 14, 10}, {42, 30, 14, 18}, {8, 43, 31, 5}};
    for (const QRectF& key : keys) p.drawRoundedRect(key, 1, 1);
}

void Keyboard(QPainter& p) {
    p.scale(0.25, 0.25);
    Keyboard64(p);
}

// Bold lettering of `pixels` height in `box`.
void Letter(QPainter& p, const QRectF& box, int pixels, const QColor& colour,
            Qt::Alignment alignment, const char* text) {
    QFont font = p.font();
    font.setPixelSize(pixels);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, static_cast<int>(alignment), text);
}

// A raised key with a letter on it.
void Key(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kFace);
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
    p.setPen(QPen(kPaper, 1));
    p.drawLine(QPointF(3, 4), QPointF(13, 4));
    Letter(p, QRectF(1.5, 3.5, 13, 10), 8, kOutline, Qt::AlignCenter, "A");
}

// A value box showing a number.
void Value(QPainter& p) {
    p.setPen(QPen(kAccent, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(0.5, 3.5, 15, 9));
    Letter(p, QRectF(1, 4, 13.5, 8), 7, kAccent, Qt::AlignRight | Qt::AlignVCenter, "12");
}

void Page(QPainter& p, const QRectF& r) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (double y = r.top() + 3; y < r.bottom() - 1; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void Copy(QPainter& p) {
    Page(p, QRectF(1.5, 1.5, 8, 10));
    Page(p, QRectF(6.5, 4.5, 8, 10));
}

void Paste(QPainter& p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(176, 128, 72));
    p.drawRoundedRect(QRectF(2.5, 2.5, 11, 12.5), 1, 1);
    p.setBrush(kFace);
    p.drawRect(QRectF(5.5, 1.5, 5, 2.5));
    Page(p, QRectF(4.5, 5.5, 7, 8));
}

void Cut(QPainter& p) {
    p.setPen(QPen(kOutline, 1.2));
    p.drawLine(QPointF(4.5, 1), QPointF(10.5, 10));
    p.drawLine(QPointF(11.5, 1), QPointF(5.5, 10));
    p.setPen(QPen(kAccent, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(4.5, 12.5), 2.3, 2.3);
    p.drawEllipse(QPointF(11.5, 12.5), 2.3, 2.3);
}

// A SmartMedia card: a plate with a cut corner and its contact field.
void Card(QPainter& p, const QRectF& r) {
    QPainterPath outline;
    outline.moveTo(r.left(), r.top());
    outline.lineTo(r.right() - 3, r.top());
    outline.lineTo(r.right(), r.top() + 3);
    outline.lineTo(r.right(), r.bottom());
    outline.lineTo(r.left(), r.bottom());
    outline.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(90, 90, 100));
    p.drawPath(outline);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(224, 176, 48));
    p.drawRect(QRectF(r.left() + 2, r.top() + 2, r.width() - 6, r.height() / 2 - 1));
}

void Ssfdc(QPainter& p) {
    Card(p, QRectF(2.5, 1.5, 11, 13));
}

void Arrow(QPainter& p, QPointF from, QPointF to) {
    p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(from, to);
    const QPointF direction = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF across(-direction.y(), direction.x());
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawPolygon(
        QPolygonF{to + direction * 2.5, to - direction + across * 3, to - direction - across * 3});
}

void Download(QPainter& p) {
    Card(p, QRectF(3.5, 8.5, 9, 7));
    Arrow(p, QPointF(8, 0.5), QPointF(8, 5));
}

void Export(QPainter& p) {
    Page(p, QRectF(1.5, 1.5, 9, 13));
    Arrow(p, QPointF(6, 8), QPointF(12.5, 8));
}

// A letter in a round badge.
void Badge(QPainter& p, const char* letter) {
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    Letter(p, QRectF(1, 1, 14, 14), 11, kPaper, Qt::AlignCenter, letter);
}

void Help(QPainter& p) {
    Badge(p, "?");
}

void About(QPainter& p) {
    Badge(p, "i");
}

struct CommandLook {
    int id;
    const char* themeName;
    QStyle::StandardPixmap standard;  // used without a glyph
    Glyph glyph;
};

constexpr auto kNone = QStyle::SP_CustomBase;

// The theme's name for each command's icon, and what stands in when the theme has none.
const CommandLook kCommandLooks[] = {
    {ID_FILE_NEW, "document-new", QStyle::SP_FileIcon, nullptr},
    {ID_FILE_OPEN, "document-open", QStyle::SP_DialogOpenButton, nullptr},
    {ID_FILE_SAVE, "document-save", QStyle::SP_DialogSaveButton, nullptr},
    {ID_EDIT_CUT, "edit-cut", kNone, Cut},
    {ID_EDIT_COPY, "edit-copy", kNone, Copy},
    {ID_EDIT_PASTE, "edit-paste", kNone, Paste},
    {ID_EDIT_UNDO, "edit-undo", QStyle::SP_ArrowBack, nullptr},
    {ID_EDIT_REDO, "edit-redo", QStyle::SP_ArrowForward, nullptr},
    {ID_EDIT_CLEAR, "edit-delete", QStyle::SP_DialogDiscardButton, nullptr},
    {ID_BUTTON, "insert-object", kNone, Key},
    {ID_VALUE, "insert-text", kNone, Value},
    {ID_KEYBOARD, "document-properties", kNone, Keyboard},
    {ID_EXPORT_ROM, "document-export", kNone, Export},
    {ID_DOWNLOAD_ROM, "document-send", kNone, Download},
    {ID_SSFDC, "media-flash", kNone, Ssfdc},
    {ID_HELP_FINDER, "help-contents", kNone, Help},
    {ID_APP_ABOUT, "help-about", kNone, About},
};

}  // namespace

QIcon ApplicationIcon() {
    static const QIcon icon = Drawn(Keyboard64, 64);
    return icon;
}

QIcon CommandIcon(int id) {
    for (const CommandLook& look : kCommandLooks) {
        if (look.id != id) continue;
        if (QIcon::hasThemeIcon(look.themeName)) return QIcon::fromTheme(look.themeName);
        if (look.glyph) return Drawn(look.glyph);
        return QApplication::style()->standardIcon(look.standard);
    }
    return {};
}

}  // namespace clavon
