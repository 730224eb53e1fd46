// The registry store: keys, sub-keys and values under three hives, kept in one text file of
// our own through QSettings.
//
// Key paths are written with "\" between their parts, as Windows-era callers write them
// ("Software\\TarvelFabricon\\PLC Drivers"); "/" is taken as "\" too. Key and value names
// compare without regard to letter case and keep the case they were created with. The empty
// value name is a key's default value. Values are texts or 32-bit numbers.
//
// Where the store lives: the file named by the environment variable KESTRA_REGISTRY, else the
// key "File" of the section [Registry] in Fabricon.ini (in the Windows folder), else
// "registry.reg" in the folder "kestra" of the user's configuration folder
// ($XDG_CONFIG_HOME, or ~/.config).
//
// Each KXCRegistry object is one session on the store: it reads the file when it is made and
// writes every change at once when Sync is called or the object is destroyed. Writing goes
// through a temporary file that is renamed into place, so another reader sees the store
// before or after a session, never half of it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

class QSettings;

enum class KXCHive { ClassesRoot, CurrentUser, LocalMachine };

class KXCRegistry {
  public:
    static constexpr const char* kStoreVariable = "KESTRA_REGISTRY";
    static constexpr const char* kStoreSection = "Registry";
    static constexpr const char* kStoreKey = "File";
    static constexpr const char* kSettingsFile = "Fabricon.ini";
    // The store file as configured (see above).
    static std::string StorePath();

    // A session on the configured store, or on the given file.
    KXCRegistry();
    explicit KXCRegistry(const std::string& storeFile);
    ~KXCRegistry();
    KXCRegistry(const KXCRegistry&) = delete;
    KXCRegistry& operator=(const KXCRegistry&) = delete;

    // Writes the session's changes; false when the store could not be written.
    bool Sync();
    // False when the store file could not be read or written.
    bool IsUsable() const;

    bool KeyExists(KXCHive hive, std::string_view path) const;
    // Makes the key and every missing key above it; true when it exists afterwards.
    bool CreateKey(KXCHive hive, std::string_view path);
    // Deletes the key with all its sub-keys and values; false when there was none.
    bool DeleteKey(KXCHive hive, std::string_view path);

    // Names of the key's sub-keys and values, in enumeration order (letter case ignored);
    // empty when the key does not exist.
    std::vector<std::string> EnumKeys(KXCHive hive, std::string_view path) const;
    std::vector<std::string> EnumValues(KXCHive hive, std::string_view path) const;

    // A text value (a number value reads as its decimal text); none when missing.
    std::optional<std::string> QueryString(KXCHive hive, std::string_view path,
                                           std::string_view name) const;
    // A number value (a text value reads as its leading decimal number); none when missing.
    std::optional<DWORD> QueryDword(KXCHive hive, std::string_view path,
                                    std::string_view name) const;
    // Set a value, making the key when it is missing.
    bool SetString(KXCHive hive, std::string_view path, std::string_view name,
                   std::string_view value);
    bool SetDword(KXCHive hive, std::string_view path, std::string_view name, DWORD value);
    bool DeleteValue(KXCHive hive, std::string_view path, std::string_view name);

  private:
    std::unique_ptr<QSettings> settings_;
};
