#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace kestra::platform {
namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

std::string SuiteFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    const std::string base =
        value && value[0] == '/' ? std::string(value) : JoinPath(HomeFolder(), underHome);
    return JoinPath(base, "kestra");
}

}  // namespace

std::string UserCacheFolder() {
    return SuiteFolder("XDG_CACHE_HOME", ".cache");
}

std::string UserDataFolder() {
    return SuiteFolder("XDG_DATA_HOME", ".local/share");
}

std::string UserConfigFolder() {
    return SuiteFolder("XDG_CONFIG_HOME", ".config");
}

bool MadeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

}  // namespace kestra::platform
