#include "extension_classes/fab_dib_info.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <cstring>

namespace kestra::kxc {
namespace {

constexpr int kMaxDitherIndex = 7;

// Copies a UTF-8 text into a field, cut before a character that would not fit with its zero.
template <size_t N>
void PutName(char (&field)[N], const QString& text) {
    QByteArray bytes = text.toUtf8();
    qsizetype length = std::min<qsizetype>(bytes.size(), N - 1);
    // Do not leave half of a multi-byte character at the end.
    while (length > 0 && length < bytes.size() && (uchar(bytes[length]) & 0xC0) == 0x80) --length;
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), size_t(length));
}

template <size_t N>
std::optional<QString> GetName(const char (&field)[N]) {
    const void* end = std::memchr(field, 0, N);
    if (!end) return std::nullopt;
    return QString::fromUtf8(field, static_cast<const char*>(end) - field);
}

void PutLe16(QByteArray& out, int offset, uint16_t v) {
    out[offset] = char(v & 0xFF);
    out[offset + 1] = char(v >> 8);
}
void PutLe32(QByteArray& out, int offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[offset + i] = char((v >> (8 * i)) & 0xFF);
}

}  // namespace

QByteArray WriteFabDibInfo(const FabDibInfo& info) {
    sFABDIBINFO record{};
    PutName(record.szFileName, info.fileName);
    PutName(record.szImageName, info.imageName);
    record.nDither = uint8_t(info.dither);
    record.nColorBits = uint8_t(info.colorBits);
    record.nContrast = uint8_t(info.contrast & 0xFF);
    record.nBrightness = uint8_t(info.brightness & 0xFF);
    record.dwFlags = info.flags & 0x3F;
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

std::optional<FabDibInfo> ReadFabDibInfo(const QByteArray& bytes) {
    if (bytes.size() < qsizetype(sizeof(sFABDIBINFO))) return std::nullopt;
    sFABDIBINFO record;
    std::memcpy(&record, bytes.constData(), sizeof record);
    const auto fileName = GetName(record.szFileName);
    const auto imageName = GetName(record.szImageName);
    if (!fileName || !imageName) return std::nullopt;
    if (record.nColorBits != 1 && record.nColorBits != 4 && record.nColorBits != 8)
        return std::nullopt;
    if (record.nDither > kMaxDitherIndex) return std::nullopt;
    FabDibInfo info;
    info.fileName = *fileName;
    info.imageName = *imageName;
    info.dither = record.nDither;
    info.colorBits = record.nColorBits;
    info.contrast = int8_t(record.nContrast);
    info.brightness = int8_t(record.nBrightness);
    info.flags = record.dwFlags.get() & 0x3F;
    return info;
}

void PutPanelImage(QMimeData& data, const QImage& image, const FabDibInfo& info) {
    data.setImageData(image);
    data.setData(QStringLiteral("image/bmp"), EncodeIndexedBmp(image, info.colorBits));
    data.setData(QString::fromLatin1(kFabDibInfoMime), WriteFabDibInfo(info));
}

QByteArray EncodeIndexedBmp(const QImage& indexed, int colorBits) {
    if (indexed.format() != QImage::Format_Indexed8 || indexed.isNull()) return {};
    if (colorBits != 1 && colorBits != 4 && colorBits != 8) return {};
    const QList<QRgb> table = indexed.colorTable();
    const int colors = 1 << colorBits;
    if (table.size() > colors) return {};
    const qint64 width = indexed.width();
    const qint64 height = indexed.height();
    const qint64 rowBytes = (width * colorBits + 31) / 32 * 4;
    const qint64 bitsOffset = 14 + 40 + qint64(colors) * 4;
    const qint64 fileSize = bitsOffset + rowBytes * height;
    if (fileSize > INT32_MAX) return {};
    QByteArray out(qsizetype(fileSize), '\0');
    out[0] = 'B';
    out[1] = 'M';
    PutLe32(out, 2, uint32_t(fileSize));
    PutLe32(out, 10, uint32_t(bitsOffset));
    PutLe32(out, 14, 40);
    PutLe32(out, 18, uint32_t(width));
    PutLe32(out, 22, uint32_t(height));
    PutLe16(out, 26, 1);
    PutLe16(out, 28, uint16_t(colorBits));
    PutLe32(out, 34, uint32_t(rowBytes * height));
    PutLe32(out, 46, uint32_t(colors));
    for (int i = 0; i < table.size(); ++i) {
        const qsizetype at = 54 + qsizetype(i) * 4;
        out[at] = char(qBlue(table[i]));
        out[at + 1] = char(qGreen(table[i]));
        out[at + 2] = char(qRed(table[i]));
    }
    for (qint64 y = 0; y < height; ++y) {
        const uchar* src = indexed.constScanLine(int(height - 1 - y));
        char* row = out.data() + bitsOffset + y * rowBytes;
        for (qint64 x = 0; x < width; ++x) {
            const int index = src[x] & (colors - 1);
            const qint64 bit = x * colorBits;
            row[bit / 8] = char(uchar(row[bit / 8]) | (index << (8 - colorBits - bit % 8)));
        }
    }
    return out;
}

}  // namespace kestra::kxc
