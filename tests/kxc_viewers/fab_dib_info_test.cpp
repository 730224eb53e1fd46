// The 300-byte panel-image record and the bitmap files written at the panel's colour depth.
#include "extension_classes/fab_dib_info.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMimeData>

#include "extension_classes/panel_dither.h"

using namespace kestra::kxc;

namespace {

FabDibInfo Sample() {
    FabDibInfo info;
    info.fileName = QStringLiteral("/home/anna/pictures/pump station.bmp");
    info.imageName = QStringLiteral("pump station");
    info.dither = 5;
    info.colorBits = 4;
    info.contrast = -400;
    info.brightness = 300;
    info.flags = kFabSmooth | kFabFlip | kFabMirror;
    return info;
}

}  // namespace

TEST(FabDibInfoRecord, LaysOutTheFieldsAtTheirOffsets) {
    const QByteArray bytes = WriteFabDibInfo(Sample());
    ASSERT_EQ(bytes.size(), 300);
    EXPECT_EQ(QByteArray(bytes.constData()), QByteArray("/home/anna/pictures/pump station.bmp"));
    EXPECT_EQ(bytes[37], '\0');
    EXPECT_EQ(QByteArray(bytes.constData() + 260), QByteArray("pump station"));
    EXPECT_EQ(uint8_t(bytes[292]), 5);
    EXPECT_EQ(uint8_t(bytes[293]), 4);
    EXPECT_EQ(uint8_t(bytes[294]), uint8_t(-400 & 0xFF));  // 0x70
    EXPECT_EQ(uint8_t(bytes[295]), uint8_t(300 & 0xFF));   // 0x2C
    EXPECT_EQ(uint8_t(bytes[296]), 0x31);
    EXPECT_EQ(bytes.mid(297, 3), QByteArray(3, '\0'));
    // Everything after the names is zero.
    EXPECT_EQ(bytes.mid(38, 222), QByteArray(222, '\0'));
    EXPECT_EQ(bytes.mid(272, 20), QByteArray(20, '\0'));
}

TEST(FabDibInfoRecord, RoundTripsWithTheLowBitsOfContrastAndBrightness) {
    const auto back = ReadFabDibInfo(WriteFabDibInfo(Sample()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fileName, Sample().fileName);
    EXPECT_EQ(back->imageName, Sample().imageName);
    EXPECT_EQ(back->dither, 5);
    EXPECT_EQ(back->colorBits, 4);
    EXPECT_EQ(back->contrast, int8_t(-400 & 0xFF));
    EXPECT_EQ(back->brightness, int8_t(300 & 0xFF));
    EXPECT_EQ(back->flags, kFabSmooth | kFabFlip | kFabMirror);
}

TEST(FabDibInfoRecord, LongNamesAreCutAndStayTerminated) {
    FabDibInfo info = Sample();
    info.imageName = QString(40, QLatin1Char('n'));
    info.fileName = QString(300, QLatin1Char('f'));
    const QByteArray bytes = WriteFabDibInfo(info);
    ASSERT_EQ(bytes.size(), 300);
    EXPECT_EQ(bytes[259], '\0');
    EXPECT_EQ(bytes[291], '\0');
    const auto back = ReadFabDibInfo(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->imageName, QString(31, QLatin1Char('n')));
    EXPECT_EQ(back->fileName, QString(259, QLatin1Char('f')));
    // A name of two-byte characters is cut before a character, never inside one.
    info.imageName = QString(20, QChar(0x00E9));
    const auto accented = ReadFabDibInfo(WriteFabDibInfo(info));
    ASSERT_TRUE(accented);
    EXPECT_EQ(accented->imageName, QString(15, QChar(0x00E9)));
    // Unknown flag bits are not written.
    info.flags = 0xFFFFFFFF;
    EXPECT_EQ(uint8_t(WriteFabDibInfo(info)[296]), 0x3F);
}

TEST(FabDibInfoRecord, RefusesDamagedRecords) {
    const QByteArray good = WriteFabDibInfo(Sample());
    EXPECT_FALSE(ReadFabDibInfo(good.left(299)));
    EXPECT_FALSE(ReadFabDibInfo(QByteArray()));
    EXPECT_TRUE(ReadFabDibInfo(good + QByteArray(12, 'x')));  // a block rounded up
    QByteArray unterminated = good;
    unterminated.replace(260, 32, QByteArray(32, 'a'));
    EXPECT_FALSE(ReadFabDibInfo(unterminated));
    QByteArray noFileEnd = good;
    noFileEnd.replace(0, 260, QByteArray(260, 'a'));
    EXPECT_FALSE(ReadFabDibInfo(noFileEnd));
    for (uint8_t bits : {0, 2, 3, 16, 24}) {
        QByteArray bad = good;
        bad[293] = char(bits);
        EXPECT_FALSE(ReadFabDibInfo(bad)) << int(bits);
    }
    QByteArray badDither = good;
    badDither[292] = 8;
    EXPECT_FALSE(ReadFabDibInfo(badDither));
}

TEST(FabDibInfoRecord, TravelsBesideTheImage) {
    QImage image(5, 3, QImage::Format_Indexed8);
    image.setColorTable(PanelPalette(1));
    image.fill(1);
    image.setPixel(2, 1, 0);
    QMimeData data;
    PutPanelImage(data, image, Sample());
    EXPECT_TRUE(data.hasImage());
    EXPECT_TRUE(data.hasFormat(QStringLiteral("image/bmp")));
    ASSERT_TRUE(data.hasFormat(QString::fromLatin1(kFabDibInfoMime)));
    EXPECT_EQ(data.data(QString::fromLatin1(kFabDibInfoMime)), WriteFabDibInfo(Sample()));
}

TEST(IndexedBmp, WritesEachDepthAndReadsBack) {
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        const QList<QRgb> palette = PanelPalette(bits);
        QImage image(13, 7, QImage::Format_Indexed8);
        image.setColorTable(palette);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                image.setPixel(x, y, uint((x * 7 + y * 3) % palette.size()));
        const QByteArray bmp = EncodeIndexedBmp(image, bits);
        const int rowBytes = (13 * bits + 31) / 32 * 4;
        ASSERT_EQ(bmp.size(), 14 + 40 + (1 << bits) * 4 + rowBytes * 7);
        EXPECT_EQ(bmp.left(2), QByteArray("BM"));
        EXPECT_EQ(uint8_t(bmp[28]), bits);
        QImage back;
        ASSERT_TRUE(back.loadFromData(bmp, "BMP"));
        ASSERT_EQ(back.size(), image.size());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(back.pixel(x, y), image.pixel(x, y)) << x << "," << y;
    }
}

TEST(IndexedBmp, RefusesWhatDoesNotFitTheDepth) {
    QImage image(4, 4, QImage::Format_Indexed8);
    image.setColorTable(PanelPalette(8));
    image.fill(0);
    EXPECT_TRUE(EncodeIndexedBmp(image, 4).isEmpty());
    EXPECT_TRUE(EncodeIndexedBmp(image, 24).isEmpty());
    EXPECT_TRUE(EncodeIndexedBmp(QImage(4, 4, QImage::Format_RGB32), 8).isEmpty());
}
