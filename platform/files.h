// Folders and file names.
//
// The program folder is the folder of the running program; every program, library and data
// file of the suite lies in it. The Windows folder, where bare INI file names resolve, is the
// system data folder: the folder named by the environment variable KESTRA_WINDIR, or the
// folder "windows" in the program folder. The system folder is its sub-folder "system".
//
// Texts in the OEM and the ANSI character sets are both UTF-8 here, so the conversions
// between them copy. Both "/" and "\" separate folders in names that callers pass in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace kestra::platform {

inline constexpr const char* kWindowsFolderVariable = "KESTRA_WINDIR";

std::string ProgramFolder();
std::string WindowsFolder();
std::string SystemFolder();

inline bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}
// The name after the last "/", "\" or ":".
std::string_view FileNamePart(std::string_view path);
// Everything up to and including the last "/", "\" or ":" (empty when there is none).
std::string_view FolderPart(std::string_view path);
// A caller's path with "\" turned into "/".
std::string ToNativePath(std::string_view path);
// folder + "/" + name, without doubling the separator.
std::string JoinPath(std::string_view folder, std::string_view name);

bool FileExists(const std::string& path);
// The path of an existing file, trying the exact name first and then a name that differs
// only in letter case inside the same folder (names from Windows-era data ignore case).
std::optional<std::string> FindExisting(const std::string& path);

// The standard search path of the suite: program folder, current folder, system folder,
// Windows folder, then the folders of PATH. A name with a folder part is taken as it is.
std::optional<std::string> SearchPath(std::string_view name);

// Files are written through platform/file_writer.h.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads a file to its end, also one that is not a regular file (a pipe, /dev/stdin), taking
// at most `limit` bytes: a file with more is TooLarge (a regular one before anything is read).
struct LimitedRead {
    enum class Status { Ok, Missing, Unreadable, TooLarge };
    Status status = Status::Ok;
    std::string contents;
    std::string error;  // why it is Missing or Unreadable ("Permission denied", ...)
};
LimitedRead ReadFileLimited(const std::string& path, std::uint64_t limit);

// Directory entries matching a pattern with "*" and "?", letter case ignored, sorted.
std::vector<std::string> MatchingEntries(const std::string& folder, std::string_view pattern);

}  // namespace kestra::platform

UINT GetWindowsDirectory(char* buffer, UINT size);
UINT GetSystemDirectory(char* buffer, UINT size);
// OEM and ANSI are both UTF-8: copies (source and destination may be the same).
BOOL OemToCharA(const char* source, char* destination);
BOOL CharToOemA(const char* source, char* destination);
