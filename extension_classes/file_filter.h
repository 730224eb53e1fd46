// Which files a file tree shows: a ";"-separated list of patterns such as *.BMP;*.JPG whose
// extension parts are compared with a file's extension, letter case ignored.
#pragma once

#include <QString>

namespace kestra::kxc {

// True when the file has an extension, the filter is not empty and one of its entries, trimmed,
// has the same extension (an entry whose extension is "*" takes every extension).
bool FilterFileType(const QString& filter, const QString& fileName);

}  // namespace kestra::kxc
