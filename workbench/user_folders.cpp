#include "workbench/user_folders.h"

#include <QDir>
#include <QStandardPaths>

namespace kestra::workbench {

namespace {

QString MadeFolder(const QString& path) {
    return QDir().mkpath(path) ? path : QString();
}

}  // namespace

std::unique_ptr<QSettings> Settings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "kestra",
                                       "workbench");
}

void KeepSetting(const QString& key, const QVariant& value) {
    const std::unique_ptr<QSettings> settings = Settings();
    if (settings->value(key) != value) settings->setValue(key, value);
}

QString DataFolder() {
    return MadeFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                      "/kestra/workbench");
}

QString AutosaveFolder() {
    const QString data = DataFolder();
    return data.isEmpty() ? QString() : MadeFolder(data + "/autosave");
}

InDataFolder::InDataFolder() : previous_(QDir::currentPath()) {
    const QString folder = DataFolder();
    if (!folder.isEmpty()) QDir::setCurrent(folder);
}

InDataFolder::~InDataFolder() {
    QDir::setCurrent(previous_);
}

}  // namespace kestra::workbench
