#include "workbench/window/user_folders.h"

#include <QDir>

#include "platform/user_folders.h"

namespace kestra::workbench {

namespace {

QString MadeFolder(const QString& path) {
    return platform::MadeFolder(path.toStdString()) ? path : QString();
}

}  // namespace

std::unique_ptr<QSettings> Settings() {
    return std::make_unique<QSettings>(
        QString::fromStdString(platform::UserConfigFolder()) + "/workbench.ini",
        QSettings::IniFormat);
}

void KeepSetting(const QString& key, const QVariant& value) {
    const std::unique_ptr<QSettings> settings = Settings();
    if (settings->value(key) != value) settings->setValue(key, value);
}

QString DataFolder() {
    return MadeFolder(QString::fromStdString(platform::UserDataFolder()) + "/workbench");
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
