#include "extension_classes/file_filter.h"

#include <QFileInfo>
#include <QStringList>

namespace kestra::kxc {
namespace {

// The extension of a name: what follows its last dot, empty when there is none.
QString ExtensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash) return {};
    return name.mid(dot + 1);
}

}  // namespace

bool FilterFileType(const QString& filter, const QString& fileName) {
    const QString ext = ExtensionOf(QFileInfo(fileName).fileName());
    if (ext.isEmpty() || filter.trimmed().isEmpty()) return false;
    for (const QString& entry : filter.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString wanted = ExtensionOf(entry.trimmed());
        if (wanted == QLatin1String("*") || wanted.compare(ext, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

}  // namespace kestra::kxc
