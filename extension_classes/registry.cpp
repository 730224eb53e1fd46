#include "extension_classes/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <cstdlib>

#include "extension_classes/registry_format.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/user_folders.h"

namespace kxc = kestra::kxc;

namespace {

QString hiveGroup(KXCHive hive) {
    return QLatin1String(kxc::kHiveNames[static_cast<int>(hive)]);
}

QStringList pathParts(std::string_view path) {
    QString text = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    text.replace(u'/', u'\\');
    return text.split(u'\\', Qt::SkipEmptyParts);
}

QString valueName(std::string_view name) {
    return name.empty() ? QLatin1String(kxc::kDefaultValueName) : kxc::EscapeName(name);
}

bool sameName(const QString& escaped, const QString& wanted) {
    return kxc::UnescapeName(escaped).compare(wanted, Qt::CaseInsensitive) == 0;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
}

// The stored group of a key (letter case as stored), or none when some part is missing. With
// `create`, missing parts are made with the case asked for and marked.
std::optional<QString> resolveKey(QSettings& settings, KXCHive hive, std::string_view path,
                                  bool create) {
    QString group = hiveGroup(hive);
    for (const QString& part : pathParts(path)) {
        settings.beginGroup(group);
        const QStringList children = settings.childGroups();
        settings.endGroup();
        auto found = std::find_if(children.begin(), children.end(),
                                  [&](const QString& child) { return sameName(child, part); });
        if (found != children.end()) {
            group += u'/' + *found;
            continue;
        }
        if (!create) return std::nullopt;
        group += u'/' + kxc::EscapeName(part);
        settings.setValue(group + u'/' + QLatin1String(kxc::kKeyMarker), true);
    }
    return group;
}

// The stored key of a value inside a group (letter case as stored), or none.
std::optional<QString> resolveValue(QSettings& settings, const QString& group,
                                    std::string_view name) {
    settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    settings.endGroup();
    if (name.empty()) {
        if (keys.contains(QLatin1String(kxc::kDefaultValueName)))
            return group + u'/' + QLatin1String(kxc::kDefaultValueName);
        return std::nullopt;
    }
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    for (const QString& key : keys) {
        if (key == QLatin1String(kxc::kKeyMarker) || key == QLatin1String(kxc::kDefaultValueName))
            continue;
        if (sameName(key, wanted)) return group + u'/' + key;
    }
    return std::nullopt;
}

}  // namespace

std::string KXCRegistry::StorePath() {
    if (const char* file = std::getenv(kStoreVariable); file && *file)
        return kestra::platform::ToNativePath(file);
    char buffer[1024] = {};
    GetPrivateProfileString(kStoreSection, kStoreKey, "", buffer, sizeof buffer, kSettingsFile);
    if (buffer[0]) return kestra::platform::ToNativePath(buffer);
    return kestra::platform::JoinPath(kestra::platform::UserConfigFolder(), "registry.reg");
}

KXCRegistry::KXCRegistry() : KXCRegistry(StorePath()) {}

KXCRegistry::KXCRegistry(const std::string& storeFile) {
    const QString file = QString::fromStdString(storeFile);
    QDir().mkpath(QFileInfo(file).absolutePath());
    settings_ = std::make_unique<QSettings>(file, kxc::RegistryFormat());
    settings_->setFallbacksEnabled(false);
}

KXCRegistry::~KXCRegistry() {
    settings_->sync();
}

bool KXCRegistry::Sync() {
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

bool KXCRegistry::IsUsable() const {
    return settings_->status() == QSettings::NoError && settings_->isWritable();
}

bool KXCRegistry::KeyExists(KXCHive hive, std::string_view path) const {
    return resolveKey(*settings_, hive, path, false).has_value();
}

bool KXCRegistry::CreateKey(KXCHive hive, std::string_view path) {
    if (pathParts(path).isEmpty()) return false;
    return resolveKey(*settings_, hive, path, true).has_value();
}

bool KXCRegistry::DeleteKey(KXCHive hive, std::string_view path) {
    if (pathParts(path).isEmpty()) return false;
    auto group = resolveKey(*settings_, hive, path, false);
    if (!group) return false;
    settings_->remove(*group);
    return true;
}

std::vector<std::string> KXCRegistry::EnumKeys(KXCHive hive, std::string_view path) const {
    std::vector<std::string> names;
    auto group = resolveKey(*settings_, hive, path, false);
    if (!group) return names;
    settings_->beginGroup(*group);
    for (const QString& child : settings_->childGroups())
        names.push_back(kxc::UnescapeName(child).toStdString());
    settings_->endGroup();
    std::stable_sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

std::vector<std::string> KXCRegistry::EnumValues(KXCHive hive, std::string_view path) const {
    std::vector<std::string> names;
    auto group = resolveKey(*settings_, hive, path, false);
    if (!group) return names;
    settings_->beginGroup(*group);
    for (const QString& key : settings_->childKeys()) {
        if (key == QLatin1String(kxc::kKeyMarker)) continue;
        names.push_back(key == QLatin1String(kxc::kDefaultValueName)
                            ? std::string()
                            : kxc::UnescapeName(key).toStdString());
    }
    settings_->endGroup();
    std::stable_sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

std::optional<std::string> KXCRegistry::QueryString(KXCHive hive, std::string_view path,
                                                    std::string_view name) const {
    auto group = resolveKey(*settings_, hive, path, false);
    if (!group) return std::nullopt;
    auto key = resolveValue(*settings_, *group, name);
    if (!key) return std::nullopt;
    const QVariant value = settings_->value(*key);
    if (value.typeId() == QMetaType::UInt) return std::to_string(value.toUInt());
    return value.toString().toStdString();
}

std::optional<DWORD> KXCRegistry::QueryDword(KXCHive hive, std::string_view path,
                                             std::string_view name) const {
    auto group = resolveKey(*settings_, hive, path, false);
    if (!group) return std::nullopt;
    auto key = resolveValue(*settings_, *group, name);
    if (!key) return std::nullopt;
    const QVariant value = settings_->value(*key);
    if (value.typeId() == QMetaType::UInt) return value.toUInt();
    return static_cast<DWORD>(std::strtoul(value.toString().toStdString().c_str(), nullptr, 10));
}

bool KXCRegistry::SetString(KXCHive hive, std::string_view path, std::string_view name,
                            std::string_view value) {
    auto group = resolveKey(*settings_, hive, path, true);
    if (!group || pathParts(path).isEmpty()) return false;
    auto key = resolveValue(*settings_, *group, name);
    settings_->setValue(key.value_or(*group + u'/' + valueName(name)),
                        QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    return true;
}

bool KXCRegistry::SetDword(KXCHive hive, std::string_view path, std::string_view name,
                           DWORD value) {
    auto group = resolveKey(*settings_, hive, path, true);
    if (!group || pathParts(path).isEmpty()) return false;
    auto key = resolveValue(*settings_, *group, name);
    settings_->setValue(key.value_or(*group + u'/' + valueName(name)), QVariant(uint{value}));
    return true;
}

bool KXCRegistry::DeleteValue(KXCHive hive, std::string_view path, std::string_view name) {
    auto group = resolveKey(*settings_, hive, path, false);
    if (!group) return false;
    auto key = resolveValue(*settings_, *group, name);
    if (!key) return false;
    settings_->remove(*key);
    return true;
}
