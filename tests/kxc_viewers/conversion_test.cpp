// The panel image conversion: palettes, every dither kind, the filters, invert, flip, mirror,
// the output size, and where a picture is placed in its frame.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <random>

#include "extension_classes/panel_dither.h"
#include "extension_classes/panel_image.h"
#include "extension_classes/viewer_geometry.h"

using namespace kestra::kxc;

namespace {

QImage GreyGradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = x * 255 / (width - 1);
            image.setPixel(x, y, qRgb(v, v, v));
        }
    return image;
}

QImage ColourGradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgb(x * 255 / (width - 1), y * 255 / (height - 1), 255 - x * 255 / (width - 1)));
    return image;
}

// A black-and-white picture with a fixed random pattern.
QImage BlackWhitePattern(int width, int height) {
    std::mt19937 random(7);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random() & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return image;
}

double MeanOf(const QImage& image, int (*channel)(QRgb)) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) sum += channel(image.pixel(x, y));
    return sum / (double(image.width()) * image.height());
}

// Brightness as the eye sees it.
double Luma(QRgb c) {
    return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
}

double MeanLuma(const QImage& image, int top = 0, int rows = -1) {
    if (rows < 0) rows = image.height();
    double sum = 0;
    for (int y = top; y < top + rows; ++y)
        for (int x = 0; x < image.width(); ++x) sum += Luma(image.pixel(x, y));
    return sum / (double(image.width()) * rows);
}

bool OnlyPaletteIndexes(const QImage& image, int colors) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelIndex(x, y) >= colors) return false;
    return true;
}

constexpr DitherKind kAllKinds[] = {
    DitherKind::None,   DitherKind::Bayer,  DitherKind::FloydSteinberg, DitherKind::Stucki,
    DitherKind::Burkes, DitherKind::Sierra, DitherKind::StevensonArce,  DitherKind::Jarvis};

}  // namespace

TEST(PanelPalette, HasTheColoursOfEachDepth) {
    EXPECT_EQ(PanelPalette(1), (QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    const QList<QRgb> sixteen = PanelPalette(4);
    ASSERT_EQ(sixteen.size(), 16);
    EXPECT_EQ(sixteen[1], qRgb(128, 0, 0));
    EXPECT_EQ(sixteen[8], qRgb(192, 192, 192));
    EXPECT_EQ(sixteen[15], qRgb(255, 255, 255));
    const QList<QRgb> cube = PanelPalette(8);
    ASSERT_EQ(cube.size(), 256);
    // RRRGGGBB: index 0b001'110'10 is red level 1, green level 6, blue level 2.
    EXPECT_EQ(cube[0b00111010], qRgb(36, 218, 170));
    EXPECT_EQ(cube[0xFF], qRgb(255, 255, 255));
    EXPECT_EQ(cube[0xE0], qRgb(255, 0, 0));
    EXPECT_TRUE(PanelPalette(2).isEmpty());
    EXPECT_TRUE(PanelPalette(24).isEmpty());
}

// Error diffusion keeps the mean brightness of a grey gradient within 2 levels of 255 at every
// depth; the 4 x 4 ordered matrix within 6.
TEST(Dither, EveryKindGivesPaletteColoursAndKeepsTheMeanBrightness) {
    const QImage grey = GreyGradient(256, 64);
    const double want = MeanOf(grey, qGreen);
    for (int bits : {1, 4, 8}) {
        for (DitherKind kind : kAllKinds) {
            SCOPED_TRACE(testing::Message() << "bits " << bits << " kind " << int(kind));
            const QImage out = ReduceToPanelPalette(grey, bits, kind);
            ASSERT_EQ(out.format(), QImage::Format_Indexed8);
            ASSERT_EQ(out.size(), grey.size());
            EXPECT_EQ(out.colorTable(), PanelPalette(bits));
            EXPECT_TRUE(OnlyPaletteIndexes(out, 1 << bits));
            if (kind == DitherKind::None) continue;
            const double bound = kind == DitherKind::Bayer ? 6.0 : 2.0;
            EXPECT_NEAR(MeanOf(out, qGreen), want, bound);
        }
    }
}

TEST(Dither, ColourPicturesKeepTheirMeanColour) {
    const QImage colour = ColourGradient(128, 96);
    for (DitherKind kind : kAllKinds) {
        if (kind == DitherKind::None) continue;
        SCOPED_TRACE(int(kind));
        const QImage out = ReduceToPanelPalette(colour, 8, kind);
        EXPECT_NEAR(MeanOf(out, qRed), MeanOf(colour, qRed), 6.0);
        EXPECT_NEAR(MeanOf(out, qGreen), MeanOf(colour, qGreen), 6.0);
        EXPECT_NEAR(MeanOf(out, qBlue), MeanOf(colour, qBlue), 6.0);
    }
}

// A dark gradient from red at the top to blue at the bottom, at 1 bit: every dither keeps its
// brightness overall, no band of rows comes out much brighter than it is, and no row is
// white. (The first rows of a kernel that sends its error mostly downwards come out darker.)
TEST(Dither, OneBitColourGradientKeepsItsBrightness) {
    QImage gradient(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y)
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixel(x, y, qRgb(128 - y * 128 / 119, 0, y * 128 / 119));
    constexpr int kBand = 8;
    for (DitherKind kind : kAllKinds) {
        if (kind == DitherKind::None) continue;
        SCOPED_TRACE(int(kind));
        const QImage out = ReduceToPanelPalette(gradient, 1, kind);
        EXPECT_NEAR(MeanLuma(out), MeanLuma(gradient), kind == DitherKind::Bayer ? 6.0 : 3.0);
        for (int top = 0; top + kBand <= out.height(); top += kBand)
            EXPECT_LT(MeanLuma(out, top, kBand), MeanLuma(gradient, top, kBand) + 16.0)
                << "rows " << top << " to " << top + kBand - 1;
        for (int y = 0; y < out.height(); ++y) EXPECT_LT(MeanLuma(out, y, 1), 128.0) << "row " << y;
    }
}

TEST(Dither, BlackAndWhiteToOneBitIsExactWithEveryKind) {
    const QImage picture = BlackWhitePattern(37, 23);
    for (DitherKind kind : kAllKinds) {
        SCOPED_TRACE(int(kind));
        const QImage out = ReduceToPanelPalette(picture, 1, kind);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                ASSERT_EQ(out.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
    }
}

TEST(Dither, PaletteColoursPassThroughUnchanged) {
    // A picture made only of the palette's own colours needs no dithering at any depth.
    for (int bits : {4, 8}) {
        const QList<QRgb> palette = PanelPalette(bits);
        QImage picture(int(palette.size()), 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, palette[x]);
        for (DitherKind kind : {DitherKind::None, DitherKind::FloydSteinberg, DitherKind::Jarvis}) {
            const QImage out = ReduceToPanelPalette(picture, bits, kind);
            for (int x = 0; x < picture.width(); ++x) EXPECT_EQ(out.pixelIndex(x, 1), x);
        }
    }
}

TEST(Dither, RefusesNullPicturesAndOtherDepths) {
    EXPECT_TRUE(ReduceToPanelPalette(QImage(), 8, DitherKind::None).isNull());
    EXPECT_TRUE(ReduceToPanelPalette(GreyGradient(4, 4), 2, DitherKind::None).isNull());
    EXPECT_TRUE(ReduceToPanelPalette(GreyGradient(4, 4), 16, DitherKind::None).isNull());
}

TEST(Dither, ChoicesMapToTheKindsInComboOrder) {
    EXPECT_EQ(DitherOfChoice(0), DitherKind::None);
    EXPECT_EQ(DitherOfChoice(1), DitherKind::Bayer);
    EXPECT_EQ(DitherOfChoice(2), DitherKind::FloydSteinberg);
    EXPECT_EQ(DitherOfChoice(7), DitherKind::Jarvis);
    EXPECT_EQ(DitherOfChoice(8), DitherKind::None);
    EXPECT_EQ(DitherOfChoice(-1), DitherKind::None);
}

// A 3 x 2 black-and-white picture: row 0 = B W W, row 1 = W B B.
class PanelConversion : public testing::Test {
  protected:
    static QImage Small() {
        QImage image(3, 2, QImage::Format_RGB32);
        const QRgb b = qRgb(0, 0, 0), w = qRgb(255, 255, 255);
        const QRgb rows[2][3] = {{b, w, w}, {w, b, b}};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) image.setPixel(x, y, rows[y][x]);
        return image;
    }
    static std::vector<int> Indexes(const QImage& image) {
        std::vector<int> out;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) out.push_back(image.pixelIndex(x, y));
        return out;
    }
    PanelImageSettings OneBit() const {
        PanelImageSettings s;
        s.colorBits = 1;
        return s;
    }
};

TEST_F(PanelConversion, InvertFlipAndMirrorAreExact) {
    PanelImageSettings s = OneBit();
    EXPECT_EQ(Indexes(ConvertPanelImage(Small(), s)), (std::vector<int>{0, 1, 1, 1, 0, 0}));
    s.invert = true;
    EXPECT_EQ(Indexes(ConvertPanelImage(Small(), s)), (std::vector<int>{1, 0, 0, 0, 1, 1}));
    s = OneBit();
    s.flip = true;
    EXPECT_EQ(Indexes(ConvertPanelImage(Small(), s)), (std::vector<int>{1, 0, 0, 0, 1, 1}));
    s = OneBit();
    s.mirror = true;
    EXPECT_EQ(Indexes(ConvertPanelImage(Small(), s)), (std::vector<int>{1, 1, 0, 0, 0, 1}));
    s.flip = true;
    EXPECT_EQ(Indexes(ConvertPanelImage(Small(), s)), (std::vector<int>{0, 0, 1, 1, 1, 0}));
}

TEST_F(PanelConversion, InvertOnTheColourCubeTakesTheOppositeLevels) {
    QImage picture(1, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, PanelPalette(8)[0b00111010]);
    PanelImageSettings s;
    s.invert = true;
    EXPECT_EQ(ConvertPanelImage(picture, s).pixelIndex(0, 0), 0b11000101);
}

TEST_F(PanelConversion, OutputSizeKeepsPaletteColours) {
    PanelImageSettings s;
    s.colorBits = 4;
    const QImage out = ConvertPanelImage(ColourGradient(40, 30), s, QSize(97, 13));
    ASSERT_EQ(out.size(), QSize(97, 13));
    EXPECT_EQ(out.colorTable(), PanelPalette(4));
    EXPECT_TRUE(OnlyPaletteIndexes(out, 16));
}

// The picture is scaled smoothly before its colours are reduced, so that a fine pattern keeps
// its brightness at the panel's size instead of breaking into bands of one colour.
TEST_F(PanelConversion, ScalingComesBeforeTheColourReduction) {
    QImage checks(200, 160, QImage::Format_RGB32);
    for (int y = 0; y < checks.height(); ++y)
        for (int x = 0; x < checks.width(); ++x)
            checks.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QSize sizes[] = {QSize(50, 40), QSize(67, 53), QSize(400, 320)};
    for (QSize size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << " x " << size.height());
        const QImage out = ConvertPanelImage(checks, OneBit(), size);
        ASSERT_EQ(out.size(), size);
        ASSERT_EQ(out.colorTable(), PanelPalette(1));
        EXPECT_NEAR(MeanLuma(out), 127.5, 8.0);
        for (int top = 0; top + 8 <= out.height(); top += 8)
            EXPECT_NEAR(MeanLuma(out, top, 8), 127.5, 40.0) << "rows from " << top;
    }
    // Flip and mirror still come after the reduction: the corner pixel moves.
    PanelImageSettings s = OneBit();
    s.dither = 0;
    s.mirror = true;
    s.flip = true;
    const QImage plain = ConvertPanelImage(Small(), OneBit(), QSize(3, 2));
    const QImage turned = ConvertPanelImage(Small(), s, QSize(3, 2));
    EXPECT_EQ(turned.pixelIndex(2, 1), plain.pixelIndex(0, 0));
}

// Transparent parts of a picture lie on the panel's background, white.
TEST_F(PanelConversion, TransparentAreasTakeThePanelBackground) {
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    picture.setPixel(2, 2, qRgba(0, 0, 0, 255));
    for (int bits : {1, 4, 8}) {
        PanelImageSettings s;
        s.colorBits = bits;
        s.dither = 0;
        const QImage out = ConvertPanelImage(picture, s);
        EXPECT_EQ(out.pixel(0, 0), kPanelBackground) << bits;
        EXPECT_EQ(out.pixel(7, 5), kPanelBackground) << bits;
        EXPECT_EQ(out.pixel(2, 2), qRgb(0, 0, 0)) << bits;
    }
}

TEST_F(PanelConversion, RefusesBadInput) {
    EXPECT_TRUE(ConvertPanelImage(QImage(), PanelImageSettings{}).isNull());
    PanelImageSettings s;
    s.colorBits = 24;
    EXPECT_TRUE(ConvertPanelImage(Small(), s).isNull());
    EXPECT_FALSE(IsAcceptableImageSize(QSize(kMaxImageSide + 1, 1)));
    EXPECT_FALSE(IsAcceptableImageSize(QSize(10000, 5000)));
    EXPECT_TRUE(IsAcceptableImageSize(QSize(8000, 5000)));
    EXPECT_FALSE(IsAcceptableImageSize(QSize(0, 5)));
}

TEST(PanelFilters, SmoothAndBlurLeaveAPlainAreaAlone) {
    QImage plain(16, 16, QImage::Format_RGB32);
    plain.fill(qRgb(90, 140, 200));
    PanelImageSettings s;
    s.smooth = true;
    s.blur = true;
    const QImage out = ApplyPanelFilters(plain, s);
    ASSERT_EQ(out.size(), plain.size());
    EXPECT_EQ(out.pixel(8, 8), qRgb(90, 140, 200));
    EXPECT_EQ(out.pixel(0, 0), qRgb(90, 140, 200));
}

TEST(PanelFilters, SmoothRemovesASinglePixelAndBlurSpreadsIt) {
    QImage dot(15, 15, QImage::Format_RGB32);
    dot.fill(qRgb(0, 0, 0));
    dot.setPixel(7, 7, qRgb(255, 255, 255));
    PanelImageSettings smooth;
    smooth.smooth = true;
    EXPECT_EQ(ApplyPanelFilters(dot, smooth).pixel(7, 7), qRgb(0, 0, 0));
    PanelImageSettings blur;
    blur.blur = true;
    const QImage blurred = ApplyPanelFilters(dot, blur);
    // A 4 x 4 average spreads the dot over 16 pixels at 1/16 of its value.
    EXPECT_NEAR(qGreen(blurred.pixel(7, 7)), 16, 1);
    EXPECT_NEAR(qGreen(blurred.pixel(6, 6)), 16, 1);
    EXPECT_EQ(qGreen(blurred.pixel(2, 2)), 0);
}

TEST(PanelFilters, BrightnessContrastAndSharpenMoveTheRightWay) {
    const QImage grey = GreyGradient(64, 8);
    PanelImageSettings brighter;
    brighter.brightness = 300;
    EXPECT_GT(MeanOf(ApplyPanelFilters(grey, brighter), qGreen), MeanOf(grey, qGreen) + 30);
    PanelImageSettings darker;
    darker.brightness = -300;
    EXPECT_LT(MeanOf(ApplyPanelFilters(grey, darker), qGreen), MeanOf(grey, qGreen) - 30);
    PanelImageSettings contrast;
    contrast.contrast = 500;
    const QImage steep = ApplyPanelFilters(grey, contrast);
    EXPECT_LT(qGreen(steep.pixel(8, 4)), qGreen(grey.pixel(8, 4)));
    EXPECT_GT(qGreen(steep.pixel(56, 4)), qGreen(grey.pixel(56, 4)));
    // Sharpening an edge overshoots on both sides of it.
    QImage edge(16, 4, QImage::Format_RGB32);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 4; ++y)
            edge.setPixel(x, y, x < 8 ? qRgb(64, 64, 64) : qRgb(192, 192, 192));
    PanelImageSettings sharpen;
    sharpen.sharpen = true;
    const QImage sharp = ApplyPanelFilters(edge, sharpen);
    EXPECT_LT(qGreen(sharp.pixel(7, 2)), 64);
    EXPECT_GT(qGreen(sharp.pixel(8, 2)), 192);
}

TEST(Fitting, CenterRectsFollowsTheFrame) {
    const QRect frame(0, 0, 200, 100);
    // Narrower and lower than the frame: kept, centred both ways.
    EXPECT_EQ(CenterRects(QSize(50, 40), frame), QRect(75, 30, 50, 40));
    // Wider: takes the frame's width, height scaled 80 * 200 / 400 = 40, centred down.
    EXPECT_EQ(CenterRects(QSize(400, 80), frame), QRect(0, 30, 200, 40));
    // Narrower but taller: takes the frame's height, width 50 * 100 / 300 = 16.67 -> 17.
    EXPECT_EQ(CenterRects(QSize(50, 300), frame), QRect(91, 0, 17, 100));
    // Wider and, scaled, still taller: width from the picture 400 * 100 / 400 = 100.
    EXPECT_EQ(CenterRects(QSize(400, 400), frame), QRect(50, 0, 100, 100));
    // The frame's own offset carries over.
    EXPECT_EQ(CenterRects(QSize(50, 40), QRect(10, 20, 200, 100)), QRect(85, 50, 50, 40));
    EXPECT_TRUE(CenterRects(QSize(0, 10), frame).isEmpty());
    EXPECT_TRUE(CenterRects(QSize(10, 10), QRect(0, 0, 0, 5)).isEmpty());
}

TEST(Fitting, CenterImagePlacesByPaintSizeMode) {
    EXPECT_EQ(CenterImage(QSize(50, 40), QSize(200, 100), 0).topLeft(), QPoint(75, 30));
    EXPECT_EQ(CenterImage(QSize(300, 40), QSize(200, 100), 0).topLeft(), QPoint(0, 30));
    EXPECT_EQ(CenterImage(QSize(50, 40), QSize(200, 100), 0).bottomRight(), QPoint(199, 99));
    EXPECT_EQ(CenterImage(QSize(400, 80), QSize(200, 100), 1), QRect(0, 30, 200, 40));
    EXPECT_EQ(CenterImage(QSize(400, 80), QSize(200, 100), 3), QRect(0, 30, 200, 40));
}
