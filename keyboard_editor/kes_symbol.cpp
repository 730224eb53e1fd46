#include "keyboard_editor/kes_symbol.h"

#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <cmath>

#include "keyboard_editor/clavon_model.h"
#include "platform/records.h"

namespace clavon {
namespace {

constexpr Colour kWhite = MakeColour(255, 255, 255);
// A picture file bigger than this is not loaded.
constexpr qint64 kMaxPictureBytes = 4 * 1024 * 1024;

QRgb PixelOf(Colour colour) {
    return qRgb(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

QColor QColourOf(Colour colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

Qt::Alignment HorizontalFlag(int alignment) {
    return alignment == 0 ? Qt::AlignLeft : alignment == 1 ? Qt::AlignHCenter : Qt::AlignRight;
}

Qt::Alignment VerticalFlag(int alignment) {
    return alignment == 0 ? Qt::AlignTop : alignment == 1 ? Qt::AlignVCenter : Qt::AlignBottom;
}

QImage BlankPicture(int width, int height) {
    QImage image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A record of `size` zero bytes with its type byte and identifier set.
std::vector<std::uint8_t> RecordHead(std::size_t size, std::uint8_t type, std::uint32_t id) {
    std::vector<std::uint8_t> data(size, 0);
    data[0] = type;
    kestra::WriteLe32(&data[3], id);
    return data;
}

void Put16(std::vector<std::uint8_t>& data, std::size_t at, int value) {
    kestra::WriteLe16(&data[at], static_cast<std::uint16_t>(value));
}

constexpr const char* kValueTypes[] = {"Edit", "Old", "Min", "Max"};
constexpr const char* kFontSizes[] = {"Reg", "Dbl", "Lrg", "Exl"};

}  // namespace

int SnapToGrid(double value, int cell) {
    if (cell <= 0) return static_cast<int>(std::lround(value));
    return static_cast<int>(std::lround(value / cell)) * cell;
}

void FillPixels(QImage& image, int left, int top, int right, int bottom, Colour colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width());
    bottom = std::min(bottom, image.height());
    const QRgb pixel = PixelOf(colour);
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = left; x < right; ++x) row[x] = pixel;
    }
}

CRomBlock ImageRecord(std::uint32_t id, int x, int y, int width, int height, const QImage& picture,
                      const CPanelPalette& palette) {
    const int bpp = palette.BitsPerPixel();
    const std::size_t packed = PackedSize(width, height, bpp);
    std::vector<std::uint8_t> data = RecordHead(29, 18, id);
    Put16(data, 17, x);
    Put16(data, 19, y);
    Put16(data, 21, std::max(width, 0));
    Put16(data, 23, std::max(height, 0));
    data[25] = static_cast<std::uint8_t>(bpp);
    const std::vector<std::uint8_t> pixels = PackPixels(picture, palette, packed);
    data.insert(data.end(), pixels.begin(), pixels.end());
    return CRomBlock{18, 0, id, std::move(data)};
}

// ---- the symbol interface ----

int CODKesSymbol::SnappedX() const {
    return m_model->SnapX(x);
}
int CODKesSymbol::SnappedY() const {
    return m_model->SnapY(y);
}
int CODKesSymbol::SnappedWidth() const {
    return m_model->SnapX(width);
}
int CODKesSymbol::SnappedHeight() const {
    return m_model->SnapY(height);
}
int CODKesSymbol::Columns() const {
    return SnappedWidth() / m_model->GridWidth();
}

void CODKesSymbol::RecordPlacement() {
    placement[0] = SnappedX();
    placement[1] = SnappedY();
    placement[2] = SnappedWidth();
    placement[3] = SnappedHeight();
}

void CODKesSymbol::ReplaceFromPlacement() {
    x = placement[0];
    y = placement[1];
    width = placement[2];
    height = placement[3];
}

// ---- keys ----

CKesButton::CKesButton(CClavonModel& model) : CODKesSymbol(model) {
    m_properties.Set(kHorzAlign, 1);
    m_properties.Set(kVertAlign, 1);
    m_properties.Set(kKeyCode, 65);
    m_properties.Set(kPicture, std::string());
    m_properties.Set(kKept1, 1);
    m_properties.Set(kKept2, 1);
    m_properties.Set(kFace, 0xC0C0C0);
    m_properties.Set(kShadow, 0x505050);
    m_properties.Set(kLine, 0);
    m_properties.Set(kLabel, std::string("KesButton"));
    width = kNewColumns * model.GridWidth();
    height = kNewRows * model.GridHeight();
    font.height = static_cast<int>(height / 2);
}

void CODKesSymbol::CopyCommonTo(CODKesSymbol& copy) const {
    copy.m_properties = m_properties;
    copy.x = x;
    copy.y = y;
    copy.width = width;
    copy.height = height;
    std::copy(std::begin(placement), std::end(placement), copy.placement);
    copy.kept = kept;
}

std::unique_ptr<CODKesSymbol> CKesButton::Clone(CClavonModel& model) const {
    auto copy = std::make_unique<CKesButton>(model);
    CopyCommonTo(*copy);
    copy->font = font;
    return copy;
}

void CKesButton::Draw(QImage& target, const PanelRect& r, int drawState) const {
    const CPanelPalette& palette = m_model->Palette();
    const Colour face = palette.DrawingColour(static_cast<Colour>(m_properties.Int(kFace)));
    const Colour shadow = palette.DrawingColour(static_cast<Colour>(m_properties.Int(kShadow)));
    const Colour line = palette.DrawingColour(static_cast<Colour>(m_properties.Int(kLine)));
    const int l = r.left, t = r.top, rr = r.right, b = r.bottom;
    FillPixels(target, l, t, rr, b, face);
    // Outer edges (full length), then the inner edges between the corners.
    const bool released = drawState != 2;
    const Colour outerTopLeft = released ? face : line;
    const Colour innerTopLeft = released ? kWhite : shadow;
    const Colour outerBottomRight = released ? line : face;
    const Colour innerBottomRight = released ? shadow : kWhite;
    FillPixels(target, l, t, l + 1, b, outerTopLeft);
    FillPixels(target, l, t, rr, t + 1, outerTopLeft);
    FillPixels(target, l + 1, t + 1, l + 2, b - 1, innerTopLeft);
    FillPixels(target, l + 1, t + 1, rr - 1, t + 2, innerTopLeft);
    FillPixels(target, l, b - 1, rr, b, outerBottomRight);
    FillPixels(target, rr - 1, t, rr, b, outerBottomRight);
    FillPixels(target, l + 1, b - 2, rr - 1, b - 1, innerBottomRight);
    FillPixels(target, rr - 2, t + 1, rr - 1, b - 1, innerBottomRight);

    PanelRect content =
        released ? PanelRect{l + 2, t + 2, rr - 2, b - 2} : PanelRect{l + 4, t + 4, rr - 2, b - 2};
    QPainter painter(&target);
    painter.setClipRect(QRect(content.left, content.top, std::max(content.Width(), 0),
                              std::max(content.Height(), 0)));
    const std::string label = m_properties.Text(kLabel);
    if (!label.empty()) {
        QFont qfont(QString::fromStdString(font.face));
        qfont.setPixelSize(std::max(font.height, 1));
        qfont.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight / 1, 100, 900)));
        qfont.setItalic(font.italic);
        qfont.setUnderline(font.underline);
        qfont.setStyleStrategy(QFont::NoAntialias);
        painter.setFont(qfont);
        painter.setPen(QColourOf(palette.DrawingColour(font.colour)));
        painter.drawText(
            QRect(content.left, content.top, content.Width(), content.Height()),
            static_cast<int>(HorizontalFlag(m_properties.Int(kHorzAlign)) |
                             VerticalFlag(m_properties.Int(kVertAlign)) | Qt::TextSingleLine),
            QString::fromStdString(label));
    }
    DrawPicture(painter, content);
}

void CKesButton::DrawPicture(QPainter& painter, const PanelRect& c) const {
    const std::string path = m_properties.Text(kPicture);
    if (path != m_loadedPicture) {
        m_picture = QImage();
        m_loadedPicture = path;
        const QFileInfo info(QString::fromStdString(path));
        if (!path.empty() && info.isFile() && info.size() <= kMaxPictureBytes)
            m_picture.load(info.filePath());
    }
    if (m_picture.isNull()) return;
    const int pw = m_picture.width(), ph = m_picture.height();
    const int horz = m_properties.Int(kHorzAlign), vert = m_properties.Int(kVertAlign);
    int px = 0, py = 0;
    auto vertical = [&](int placement) {
        return placement == 1   ? c.top + (c.Height() - ph) / 2
               : placement == 2 ? c.bottom - ph
                                : c.top;
    };
    if (horz == 1) {
        px = c.left + (c.Width() - pw) / 2;
        // Opposite the label: label at the top puts the picture at the bottom and so on.
        py = vertical(vert == 0 ? 2 : vert == 2 ? 0 : 1);
    } else {
        px = horz == 0 ? c.right - pw : c.left;
        py = vertical(vert);
    }
    painter.drawImage(px, py, m_picture);
}

QImage CKesButton::Render() const {
    QImage image = BlankPicture(SnappedWidth(), SnappedHeight());
    if (!image.isNull()) Draw(image, {0, 0, image.width(), image.height()}, state);
    return image;
}

std::vector<CRomBlock> CKesButton::RomRecords(const PanelRect& keyboard) {
    const std::uint32_t keyId = m_model->NewId();
    const std::uint32_t releasedId = m_model->NewId();
    const std::uint32_t pressedId = m_model->NewId();
    std::vector<std::uint8_t> key = RecordHead(35, 17, keyId);
    Put16(key, 17, SnappedX() - keyboard.left);
    Put16(key, 19, SnappedY() - keyboard.top);
    Put16(key, 21, SnappedWidth());
    Put16(key, 23, SnappedHeight());
    Put16(key, 25, m_properties.Int(kKeyCode));
    kestra::WriteLe32(&key[27], releasedId);
    kestra::WriteLe32(&key[31], pressedId);

    std::vector<CRomBlock> blocks;
    blocks.push_back(CRomBlock{17, 0, keyId, std::move(key)});
    for (const auto& [drawState, id] : {std::pair{1, releasedId}, std::pair{2, pressedId}}) {
        state = drawState;
        blocks.push_back(ImageRecord(id, SnappedX(), SnappedY(), SnappedWidth(), SnappedHeight(),
                                     Render(), m_model->Palette()));
    }
    state = 1;
    return blocks;
}

// ---- value boxes ----

CSymValue::CSymValue(CClavonModel& model) : CODKesSymbol(model) {
    m_properties.Set(kBackground, 0xC0C0C0);
    m_properties.Set(kForeground, 0x0000FF);
    m_properties.Set(kAlignment, 2);
    m_properties.Set(kType, 0);
    m_properties.Set(kFontSize, 0);
    width = kNewColumns * model.GridWidth();
    height = kNewRows * model.GridHeight();
}

std::unique_ptr<CODKesSymbol> CSymValue::Clone(CClavonModel& model) const {
    auto copy = std::make_unique<CSymValue>(model);
    CopyCommonTo(*copy);
    return copy;
}

QString CSymValue::Caption() const {
    const int type = std::clamp(m_properties.Int(kType), 0, 3);
    const int size = std::clamp(m_properties.Int(kFontSize), 0, 3);
    return QString("%1/%2").arg(kValueTypes[type], kFontSizes[size]);
}

QImage CSymValue::Render() const {
    QImage image = BlankPicture(SnappedWidth(), SnappedHeight());
    if (image.isNull()) return image;
    const CPanelPalette& palette = m_model->Palette();
    FillPixels(image, 0, 0, image.width(), image.height(),
               palette.DrawingColour(static_cast<Colour>(m_properties.Int(kBackground))));
    QPainter painter(&image);
    QFont qfont("MS Sans Serif");
    qfont.setPointSize(8);
    qfont.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(qfont);
    painter.setPen(
        QColourOf(palette.DrawingColour(static_cast<Colour>(m_properties.Int(kForeground)))));
    int alignment = m_properties.Int(kAlignment);
    if (alignment == 3) alignment = 2;  // "Default" is drawn as "Right"
    painter.drawText(
        image.rect(),
        static_cast<int>(HorizontalFlag(alignment) | Qt::AlignVCenter | Qt::TextSingleLine),
        Caption());
    return image;
}

std::vector<CRomBlock> CSymValue::RomRecords(const PanelRect& keyboard) {
    const std::uint32_t id = m_model->NewId();
    const CPanelPalette& palette = m_model->Palette();
    std::vector<std::uint8_t> data = RecordHead(37, 22, id);
    kestra::WriteLe32(&data[7], static_cast<std::uint32_t>(m_properties.Int(kFontSize) * 8));
    Put16(data, 17, SnappedX() - keyboard.left);
    Put16(data, 19, SnappedY() - keyboard.top);
    Put16(data, 21, SnappedWidth());
    Put16(data, 23, SnappedHeight());
    Put16(data, 27, palette.Index(static_cast<Colour>(m_properties.Int(kBackground))));
    Put16(data, 29, palette.Index(static_cast<Colour>(m_properties.Int(kForeground))));
    data[31] = static_cast<std::uint8_t>(SnappedHeight() / m_model->GridHeight());
    data[32] = static_cast<std::uint8_t>(m_properties.Int(kAlignment));
    Put16(data, 33, m_properties.Int(kType));
    return {CRomBlock{22, 0, id, std::move(data)}};
}

int CSymValue::FontSizeForColumns(int fontSize, int columns) {
    if (fontSize == 3 && columns < 8) fontSize = 2;
    if (fontSize == 2 && columns < 4) fontSize = 1;
    if (fontSize == 1 && columns < 2) fontSize = 0;
    return fontSize;
}

}  // namespace clavon
