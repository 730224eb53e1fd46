#include "keyboard_editor/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/files.h"

namespace clavon {
namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

// The folder a base-directory variable names, or the home folder's default for it; a
// relative path in the variable is not taken.
std::string BaseFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    const std::string base = value && value[0] == '/'
                                 ? std::string(value)
                                 : kestra::platform::JoinPath(HomeFolder(), underHome);
    return kestra::platform::JoinPath(base, "kestra");
}

}  // namespace

std::string UserCacheFolder() {
    return BaseFolder("XDG_CACHE_HOME", ".cache");
}

std::string UserDataFolder() {
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

std::string CacheFile(std::string_view name) {
    const std::string folder = UserCacheFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return kestra::platform::JoinPath(folder, name);
}

}  // namespace clavon
