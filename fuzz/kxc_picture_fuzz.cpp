// Random bytes as a picture file for the viewer and as a panel-image record. A picture that
// loads is converted at each depth, and a record that reads is written back identically.
#include <QGuiApplication>
#include <QImage>
#include <QLoggingCategory>
#include <cstddef>
#include <cstdint>

#include "extension_classes/fab_dib_info.h"
#include "extension_classes/panel_image.h"

using namespace kestra::kxc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "kxc_picture_fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto info = ReadFabDibInfo(bytes)) {
        // Names that are not UTF-8 are read with replacement characters; from then on a record
        // reads and writes back unchanged.
        const QByteArray again = WriteFabDibInfo(*info);
        const auto reread = ReadFabDibInfo(again);
        if (!reread || WriteFabDibInfo(*reread) != again) __builtin_trap();
    }
    const LoadedPicture picture = LoadPictureData(bytes);
    if (picture.image.isNull()) return 0;
    if (!IsAcceptableImageSize(picture.image.size())) __builtin_trap();
    // Keep the conversion small, so that the fuzzer spends its time in the readers.
    const QImage small = picture.image.width() * qint64(picture.image.height()) > 4096
                             ? picture.image.scaled(64, 64)
                             : picture.image;
    PanelImageSettings settings;
    settings.dither = int(size % 8);
    for (int bits : {1, 4, 8}) {
        settings.colorBits = bits;
        const QImage panel = ConvertPanelImage(small, settings, QSize(17, 9));
        if (panel.isNull() || panel.size() != QSize(17, 9)) __builtin_trap();
        if (EncodeIndexedBmp(panel, bits).isEmpty()) __builtin_trap();
    }
    return 0;
}
