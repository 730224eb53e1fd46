#include "extension_classes/panel_image.h"

#include <Magick++.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <mutex>

namespace kestra::kxc {
namespace {

// The image control's sharpen strength runs to 1000; Magick++ takes an unsharp mask amount.
constexpr double kSharpenStrength = 800.0;
constexpr int kFilterSize = 4;
// Decoders may allocate at most this many megabytes for one picture.
constexpr int kReaderAllocationLimitMb = 256;

void InitMagick() {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

Magick::Image ToMagick(const QImage& rgb32) {
    // Format_RGB32 lies in memory as blue, green, red, 0xFF on a little-endian machine.
    Magick::Image image;
    image.read(size_t(rgb32.width()), size_t(rgb32.height()), "BGRA", Magick::CharPixel,
               rgb32.constBits());
    return image;
}

// Rows of a QImage are 32-bit aligned, so a 32-bit image has no padding between rows.
QImage FromMagick(Magick::Image& image, QSize size) {
    QImage out(size, QImage::Format_RGB32);
    if (out.isNull()) return out;
    image.write(0, 0, size_t(size.width()), size_t(size.height()), "BGRA", Magick::CharPixel,
                out.bits());
    return out.convertToFormat(QImage::Format_RGB32);
}

std::string BoxKernel(int size) {
    std::string kernel = std::to_string(size) + "x" + std::to_string(size) + "+" +
                         std::to_string((size - 1) / 2) + "+" + std::to_string((size - 1) / 2) +
                         ":";
    const std::string weight = std::to_string(1.0 / (size * size));
    for (int i = 0; i < size * size; ++i) kernel += (i ? "," : "") + weight;
    return kernel;
}

bool NeedsFilters(const PanelImageSettings& s) {
    return s.smooth || s.blur || s.sharpen || s.brightness != 0 || s.contrast != 0;
}

// Percent of the stored tenths, kept inside what the brightness-contrast operator takes.
double Percent(int tenths) {
    return std::clamp(tenths / 10.0, -100.0, 99.0);
}

QImage MirrorAsAsked(QImage image, const PanelImageSettings& s) {
    if (s.flip) image = image.mirrored(false, true);
    if (s.mirror) image = image.mirrored(true, false);
    return image;
}

// A 32-bit copy of the picture with its transparent parts on the panel's background.
QImage OnPanelBackground(const QImage& picture) {
    if (!picture.hasAlphaChannel()) return picture.convertToFormat(QImage::Format_RGB32);
    QImage opaque(picture.size(), QImage::Format_RGB32);
    if (opaque.isNull()) return opaque;
    opaque.fill(kPanelBackground);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, picture);
    return opaque;
}

LoadedPicture ReadFrom(QImageReader& reader) {
    reader.setAllocationLimit(kReaderAllocationLimitMb);
    if (!reader.canRead())
        return {{}, QStringLiteral("The file is not a picture that can be read.")};
    const QSize size = reader.size();
    if (size.isValid() && !IsAcceptableImageSize(size))
        return {{},
                QStringLiteral("The picture is too large (%1 x %2 pixels; at most %3 pixels "
                               "on a side and %4 million in all).")
                    .arg(size.width())
                    .arg(size.height())
                    .arg(kMaxImageSide)
                    .arg(kMaxImagePixels / 1000000)};
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {{}, QStringLiteral("The picture could not be read: %1.").arg(reader.errorString())};
    if (!IsAcceptableImageSize(image.size()))
        return {{}, QStringLiteral("The picture is too large.")};
    return {image, {}};
}

}  // namespace

DitherKind DitherOfChoice(int choice) {
    if (choice < 0 || choice >= int(std::size(kDitherChoices))) return DitherKind::None;
    return kDitherChoices[choice];
}

bool IsAcceptableImageSize(QSize size) {
    return size.width() > 0 && size.height() > 0 && size.width() <= kMaxImageSide &&
           size.height() <= kMaxImageSide &&
           qint64(size.width()) * size.height() <= kMaxImagePixels;
}

QImage ApplyPanelFilters(const QImage& picture, const PanelImageSettings& s) {
    QImage rgb = OnPanelBackground(picture);
    if (rgb.isNull() || !NeedsFilters(s)) return rgb;
    InitMagick();
    try {
        Magick::Image image = ToMagick(rgb);
        if (s.smooth) image.medianFilter(kFilterSize);
        if (s.blur) image.morphology(MagickCore::ConvolveMorphology, BoxKernel(kFilterSize));
        if (s.sharpen) image.unsharpmask(0.0, 1.0, kSharpenStrength / 500.0, 0.0);
        if (s.brightness != 0) image.brightnessContrast(Percent(s.brightness), 0.0);
        if (s.contrast != 0) image.brightnessContrast(0.0, Percent(s.contrast));
        return FromMagick(image, rgb.size());
    } catch (const std::exception&) {
        return {};
    }
}

QImage InvertPaletteImage(const QImage& indexed) {
    QImage out = indexed;
    const QList<QRgb> palette = indexed.colorTable();
    uchar map[256] = {};
    for (int i = 0; i < palette.size() && i < 256; ++i)
        map[i] = uchar(NearestPaletteIndex(
            palette,
            qRgb(255 - qRed(palette[i]), 255 - qGreen(palette[i]), 255 - qBlue(palette[i]))));
    for (int y = 0; y < out.height(); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x) line[x] = map[line[x]];
    }
    return out;
}

QImage ConvertPanelImage(const QImage& picture, const PanelImageSettings& s, QSize outputSize) {
    if (picture.isNull() || !IsAcceptableImageSize(picture.size())) return {};
    if (PanelPalette(s.colorBits).isEmpty()) return {};
    QImage filtered = ApplyPanelFilters(picture, s);
    if (filtered.isNull()) return {};
    if (outputSize.isValid() && !outputSize.isEmpty() && outputSize != filtered.size() &&
        IsAcceptableImageSize(outputSize))
        filtered = filtered.scaled(outputSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage panel = ReduceToPanelPalette(filtered, s.colorBits, DitherOfChoice(s.dither));
    if (panel.isNull()) return {};
    if (s.invert) panel = InvertPaletteImage(panel);
    return MirrorAsAsked(panel, s);
}

QImage ResizeSmooth(const QImage& picture, QSize size) {
    if (picture.isNull() || !IsAcceptableImageSize(size) || size == picture.size()) return picture;
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

LoadedPicture LoadPictureFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{},
                QStringLiteral("The file \"%1\" could not be opened: %2.")
                    .arg(path, file.errorString())};
    QImageReader reader(&file);
    return ReadFrom(reader);
}

LoadedPicture LoadPictureData(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return ReadFrom(reader);
}

}  // namespace kestra::kxc
