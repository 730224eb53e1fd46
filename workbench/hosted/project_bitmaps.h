// The project's bitmaps as the editor shows them: for each entry of the bitmap table (extension
// offset 87, its entries each a head and a packed device-independent bitmap) a name and the
// picture, so that a GRAPHICS field's values can be given pictures by their positions in the
// table.
#pragma once

#include <QImage>
#include <QString>
#include <cstddef>
#include <span>
#include <vector>

#include "kestra/project.h"

namespace kestra::workbench {

struct ProjectBitmap {
    QString name;    // "Bitmap 2 (32 x 16, 1 bit)"
    QImage picture;  // null when the entry holds no picture that can be read
};

// The bitmaps in the order of the table; empty when the table is not there.
std::vector<ProjectBitmap> ProjectBitmaps(const ProjectBlock& project);

// The picture of a packed device-independent bitmap (header, palette, bits); null when the
// bytes are not one.
QImage PictureOfPackedBitmap(std::span<const std::byte> packed);

}  // namespace kestra::workbench
