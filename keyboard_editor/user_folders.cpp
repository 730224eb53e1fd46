#include "keyboard_editor/user_folders.h"

#include "platform/files.h"

namespace clavon {

std::string CacheFile(std::string_view name) {
    const std::string folder = UserCacheFolder();
    kestra::platform::MadeFolder(folder);
    return kestra::platform::JoinPath(folder, name);
}

}  // namespace clavon
