// The text form of the registry store, as a QSettings format.
//
//     ; comment
//     [HKEY_LOCAL_MACHINE\Software\TarvelFabricon\PLC Drivers\K32PLC1.so]
//     @="the default value"
//     "Driver_Name"="Simatic S5 - Old"
//     "Style"=dword:0000002a
//
// A section names a key by its hive and path; a key with nothing in it still has its section.
// Texts are quoted, with \\, \", \n, \r and \xHH escapes. Lines that cannot be read are left
// out; a store file never fails to load.
//
// Inside QSettings a key is the group "<hive>/<key>/<key>..." of escaped names ("%", "/" and
// "\" as %25, %2F, %5C), which holds its values under their escaped names, the default value
// as "%@", and the marker "%k" that says the key exists.
#pragma once

#include <QSettings>
#include <QString>
#include <string_view>

namespace kestra::kxc {

inline constexpr const char* kDefaultValueName = "%@";
inline constexpr const char* kKeyMarker = "%k";

QSettings::Format RegistryFormat();

QString EscapeName(std::string_view name);
QString EscapeName(const QString& name);
QString UnescapeName(const QString& escaped);

// The hive names as sections write them, in KXCHive order.
inline constexpr const char* kHiveNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                             "HKEY_LOCAL_MACHINE"};

// Reading and writing the text form (the QSettings format's functions).
bool ReadRegistryText(QIODevice& device, QSettings::SettingsMap& map);
bool WriteRegistryText(QIODevice& device, const QSettings::SettingsMap& map);

}  // namespace kestra::kxc
