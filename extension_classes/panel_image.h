// Conversion of a picture into the image a panel shows: transparent parts on the panel's
// background, the filters, brightness and contrast, a smooth scaling to the output size, the
// reduction to the panel's colour depth with the chosen dither, then invert, flip and mirror,
// always in that order. Scaling before the reduction gives the panel a clean dither pattern at
// its own size. Filters, brightness and contrast run on Magick++; the colour reduction is our
// own (panel_dither.h).
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

#include "extension_classes/panel_dither.h"

namespace kestra::kxc {

// The dither choices of the image page, in the order of its combo box; index 2
// (Floyd-Steinberg) is the default.
inline constexpr DitherKind kDitherChoices[8] = {
    DitherKind::None,   DitherKind::Bayer,  DitherKind::FloydSteinberg, DitherKind::Stucki,
    DitherKind::Burkes, DitherKind::Sierra, DitherKind::StevensonArce,  DitherKind::Jarvis,
};
inline constexpr int kDefaultDither = 2;
DitherKind DitherOfChoice(int choice);

// What the viewer converts with.
struct PanelImageSettings {
    int dither = kDefaultDither;  // index into kDitherChoices
    int contrast = 0;             // tenths of a percent, -400 to 1000 from the image page
    int brightness = 0;           // likewise
    bool smooth = false;          // median of 4 x 4
    bool invert = false;
    bool blur = false;     // average of 4 x 4
    bool sharpen = false;  // sharpen by 800
    bool flip = false;     // top to bottom
    bool mirror = false;   // left to right
    int colorBits = 8;     // 1, 4 or 8
    bool operator==(const PanelImageSettings&) const = default;
};

// The panel's background, on which transparent parts of a picture lie (the frame's colour).
inline constexpr QRgb kPanelBackground = 0xFFFFFFFF;

// Pictures larger than this are refused when loaded, and never converted.
inline constexpr int kMaxImageSide = 16384;
inline constexpr qint64 kMaxImagePixels = 40LL * 1000 * 1000;
bool IsAcceptableImageSize(QSize size);

// Converts the picture with the settings; `outputSize` (when valid and not empty) is the size
// of the result, else the picture keeps its size. The result is an 8-bit indexed image with the
// panel palette of the colour depth; null for a null or oversized picture or bad settings.
QImage ConvertPanelImage(const QImage& picture, const PanelImageSettings& settings,
                         QSize outputSize = QSize());

// The filter stage alone (smooth, blur, sharpen, brightness, contrast), on a 32-bit copy whose
// transparent parts lie on the panel's background.
QImage ApplyPanelFilters(const QImage& picture, const PanelImageSettings& settings);

// The panel image turned to the inverse colours of its own palette (each entry goes to the
// entry nearest its inverse), flipped and mirrored as asked.
QImage InvertPaletteImage(const QImage& indexed);

// A smooth resize of an original picture for display.
QImage ResizeSmooth(const QImage& picture, QSize size);

// Reads a picture file. Files that are not pictures, damaged pictures and pictures beyond the
// size limit give a null image and a message saying why.
struct LoadedPicture {
    QImage image;
    QString error;
};
LoadedPicture LoadPictureFile(const QString& path);
LoadedPicture LoadPictureData(const QByteArray& data);

}  // namespace kestra::kxc
