// Where the keyboard editor keeps the files it writes for itself, and where a user's own copy
// of a shipped table is looked for. The program folder belongs to the installation and is
// only read; the card's file table ("SSFDCProps.bin") and the image of a download
// ("download.rom") go to the user's cache folder, a user's own "KeyCodes.txt" lies in the
// user's data folder. Nothing is written to the current folder.
#pragma once

#include <string>
#include <string_view>

namespace clavon {

inline constexpr const char* kSSFDCPropsFile = "SSFDCProps.bin";
inline constexpr const char* kDownloadRomFile = "download.rom";

// $XDG_CACHE_HOME/kestra, or ~/.cache/kestra when the variable is unset, empty or not an
// absolute path.
std::string UserCacheFolder();
// $XDG_DATA_HOME/kestra, or ~/.local/share/kestra likewise.
std::string UserDataFolder();

// The path of a file of the cache folder, the folder made when it is missing (a folder that
// cannot be made shows when the file is written).
std::string CacheFile(std::string_view name);

}  // namespace clavon
