// The panel-image record that travels beside a panel image on the clipboard and in drags
// (the format "FabDibInfo"): 300 bytes naming the file and the image and the settings it was
// converted with.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/records.h"

class QImage;
class QMimeData;

namespace kestra::kxc {

#pragma pack(push, 1)
struct sFABDIBINFO {
    char szFileName[260];  // zero-terminated
    char szImageName[32];  // zero-terminated, at most 31 characters
    uint8_t nDither;
    uint8_t nColorBits;
    uint8_t nContrast;    // low 8 bits
    uint8_t nBrightness;  // low 8 bits
    le32 dwFlags;
};
#pragma pack(pop)
static_assert(sizeof(sFABDIBINFO) == 300);
static_assert(offsetof(sFABDIBINFO, szImageName) == 260);
static_assert(offsetof(sFABDIBINFO, nDither) == 292);
static_assert(offsetof(sFABDIBINFO, dwFlags) == 296);

enum FabDibFlag : uint32_t {
    kFabSmooth = 0x01,
    kFabInvert = 0x02,
    kFabBlur = 0x04,
    kFabSharpen = 0x08,
    kFabFlip = 0x10,
    kFabMirror = 0x20,
};

// The record as the viewer fills it and a paste reads it back.
struct FabDibInfo {
    QString fileName;
    QString imageName;
    int dither = 0;
    int colorBits = 8;
    int contrast = 0;    // as stored: the low 8 bits, sign-extended when read
    int brightness = 0;  // likewise
    uint32_t flags = 0;
};

// The registered name of the record's format, and the MIME type it travels under here.
inline constexpr const char* kFabDibInfoFormat = "FabDibInfo";
inline constexpr const char* kFabDibInfoMime = "application/x-kestra-fabdibinfo";

// The 300 bytes of a record. Names are cut to fit their fields whole characters at a time
// (259 bytes of file name, 31 of image name) and always end with a zero.
QByteArray WriteFabDibInfo(const FabDibInfo& info);

// Reads a record; none when there are fewer than 300 bytes, a name is not terminated inside
// its field, the colour depth is not 1, 4 or 8, or the dither index is past the last choice.
// Further bytes (a sender may round its block up) are ignored.
std::optional<FabDibInfo> ReadFabDibInfo(const QByteArray& bytes);

// Puts a panel image and its record on mime data: the image as image/bmp and as Qt's own image
// type, the record under kFabDibInfoMime.
void PutPanelImage(QMimeData& data, const QImage& image, const FabDibInfo& info);

// A BMP file (file header and packed bitmap) of an indexed image at 1, 4 or 8 bits per pixel,
// bottom row first, with the image's colour table; empty when the image does not fit the depth.
QByteArray EncodeIndexedBmp(const QImage& indexed, int colorBits);

}  // namespace kestra::kxc
