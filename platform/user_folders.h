// The user's own folders, where a program of the suite keeps what it writes for itself: the
// program folder belongs to the installation and is only read, and nothing goes to the
// current folder unless the user named it. Each is the suite's folder "kestra" inside the
// base folder that the user's environment names:
//
//   cache    $XDG_CACHE_HOME/kestra    or ~/.cache/kestra         files made again at will
//   data     $XDG_DATA_HOME/kestra     or ~/.local/share/kestra   the user's own copies, autosaves
//   config   $XDG_CONFIG_HOME/kestra   or ~/.config/kestra        settings, the registry store
//
// A variable that is unset, empty or not an absolute path is not taken. The folders are named,
// not made: MadeFolder makes one when it is about to be written.
#pragma once

#include <string>
#include <string_view>

namespace kestra::platform {

std::string UserCacheFolder();
std::string UserDataFolder();
std::string UserConfigFolder();

// Makes the folder (and the folders above it) when missing; false when it cannot be made.
bool MadeFolder(const std::string& folder);

}  // namespace kestra::platform
