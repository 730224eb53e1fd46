#include "workbench/hosted/project_bitmaps.h"

#include <QByteArray>
#include <QCoreApplication>

#include "kestra/dib.h"
#include "kestra/project_sections.h"
#include "platform/memory.h"
#include "platform/records.h"
#include "utilities/services.h"

namespace kestra::workbench {

namespace {

constexpr std::uint32_t kCoreHeaderSize = sizeof(BitmapCoreHeader);
constexpr std::size_t kFileHeaderSize = 14;  // "BM", file size, two zero words, bits offset

// Bits per pixel of a packed bitmap whose header PictureOfPackedBitmap read.
unsigned BitCountOf(std::span<const std::byte> packed) {
    return ReadLe32(packed.data()) == kInfoHeaderSize
               ? ReadLe16(packed.data() + offsetof(BitmapInfoHeader, bitCount))
               : ReadLe16(packed.data() + offsetof(BitmapCoreHeader, bitCount));
}

}  // namespace

QImage PictureOfPackedBitmap(std::span<const std::byte> packed) {
    if (packed.size() < sizeof(std::uint32_t)) return {};
    const std::uint32_t header = ReadLe32(packed.data());
    if ((header != kInfoHeaderSize && header != kCoreHeaderSize) || packed.size() < header)
        return {};
    const std::size_t bitsAt = header + PaletteSize(packed.data());
    if (bitsAt > packed.size()) return {};
    // A packed bitmap is a bitmap file without its file header.
    QByteArray file(static_cast<qsizetype>(kFileHeaderSize), '\0');
    file[0] = 'B';
    file[1] = 'M';
    WriteLe32(reinterpret_cast<std::uint8_t*>(file.data()) + 2,
              static_cast<std::uint32_t>(kFileHeaderSize + packed.size()));
    WriteLe32(reinterpret_cast<std::uint8_t*>(file.data()) + 10,
              static_cast<std::uint32_t>(kFileHeaderSize + bitsAt));
    file.append(reinterpret_cast<const char*>(packed.data()),
                static_cast<qsizetype>(packed.size()));
    return QImage::fromData(file, "BMP");
}

std::vector<ProjectBitmap> ProjectBitmaps(const ProjectBlock& project) {
    const std::size_t count = project.ext.bitmapCount;
    const auto* entries = reinterpret_cast<const BitmapEntry*>(
        mem::At(project.ext.bitmaps, 0, count * sizeof(BitmapEntry)));
    std::vector<ProjectBitmap> bitmaps;
    if (!entries) return bitmaps;
    for (std::size_t i = 0; i < count; ++i) {
        ProjectBitmap bitmap;
        const auto packed = std::as_bytes(mem::Bytes(entries[i].dib));
        if (entries[i].dib != 0u) bitmap.picture = PictureOfPackedBitmap(packed);
        bitmap.name =
            bitmap.picture.isNull()
                ? QCoreApplication::translate("kestra::workbench", "Bitmap %1 (no picture)")
                      .arg(i + 1)
                : QCoreApplication::translate("kestra::workbench", "Bitmap %1 (%2 x %3, %4 bit)")
                      .arg(i + 1)
                      .arg(bitmap.picture.width())
                      .arg(bitmap.picture.height())
                      .arg(BitCountOf(packed));
        bitmaps.push_back(std::move(bitmap));
    }
    return bitmaps;
}

}  // namespace kestra::workbench
