// Where the keyboard editor keeps the files it writes for itself, and where a user's own copy
// of a shipped table is looked for. The program folder belongs to the installation and is
// only read; the card's file table ("SSFDCProps.bin") and the image of a download
// ("download.rom") go to the user's cache folder, a user's own "KeyCodes.txt" lies in the
// user's data folder. Nothing is written to the current folder.
#pragma once

#include <string>
#include <string_view>

#include "platform/user_folders.h"

namespace clavon {

inline constexpr const char* kSSFDCPropsFile = "SSFDCProps.bin";
inline constexpr const char* kDownloadRomFile = "download.rom";

using kestra::platform::UserCacheFolder;
using kestra::platform::UserDataFolder;

// The path of a file of the cache folder, the folder made when it is missing (a folder that
// cannot be made shows when the file is written).
std::string CacheFile(std::string_view name);

}  // namespace clavon
