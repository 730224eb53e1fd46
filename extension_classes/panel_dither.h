// Colour reduction of a picture to a panel's palette: the three panel palettes (black and
// white, the 16 standard colours, the 3-3-2 colour cube) and the dither kinds the image page
// offers, as one table-driven error-diffusion routine plus an ordered 4 x 4 Bayer matrix.
#pragma once

#include <QImage>
#include <QList>
#include <QRgb>

namespace kestra::kxc {

// The dither kinds, numbered as the image control numbers its dither types.
enum class DitherKind {
    None = 0,
    FloydSteinberg = 1,
    Stucki = 2,
    Burkes = 3,
    Sierra = 4,
    StevensonArce = 5,
    Jarvis = 6,
    Bayer = 7,
};

// The panel palette of a colour depth: 2 colours for 1 bit, 16 for 4 bits, 256 for 8 bits;
// empty for any other depth.
QList<QRgb> PanelPalette(int colorBits);

// The palette index nearest to a colour (least sum of squared differences, lowest index on a
// tie).
int NearestPaletteIndex(const QList<QRgb>& palette, QRgb color);

// The picture reduced to the palette of `colorBits` (1, 4 or 8) with the given dither kind:
// an 8-bit indexed image whose colour table is that palette. A null picture or another depth
// gives a null image.
QImage ReduceToPanelPalette(const QImage& picture, int colorBits, DitherKind kind);

}  // namespace kestra::kxc
