#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace kestra::platform {

namespace {
std::string currentFolder() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string(".");
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

UINT copyOut(const std::string& text, char* buffer, UINT size) {
    if (!buffer || size == 0) return static_cast<UINT>(text.size() + 1);
    if (text.size() + 1 > size) return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}
}  // namespace

std::string ProgramFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return currentFolder();
    std::string path(buffer, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WindowsFolder() {
    const char* configured = std::getenv(kWindowsFolderVariable);
    if (configured && *configured) return configured;
    return JoinPath(ProgramFolder(), "windows");
}

std::string SystemFolder() {
    return JoinPath(WindowsFolder(), "system");
}

std::string_view FileNamePart(std::string_view path) {
    auto cut = path.find_last_of("/\\:");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view FolderPart(std::string_view path) {
    auto cut = path.find_last_of("/\\:");
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut + 1);
}

std::string ToNativePath(std::string_view path) {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string joined(folder);
    if (!joined.empty() && !IsSeparator(joined.back())) joined += '/';
    joined += name;
    return joined;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> FindExisting(const std::string& path) {
    if (FileExists(path)) return path;
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = readdir(dir)) {
        if (equalsIgnoringCase(entry->d_name, name)) {
            std::string candidate = slash == std::string::npos ? std::string(entry->d_name)
                                                               : JoinPath(folder, entry->d_name);
            if (FileExists(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    closedir(dir);
    return found;
}

std::optional<std::string> SearchPath(std::string_view name) {
    if (name.empty()) return std::nullopt;
    std::string native = ToNativePath(name);
    if (native.find('/') != std::string::npos) return FindExisting(native);

    std::vector<std::string> folders = {ProgramFolder(), currentFolder(), SystemFolder(),
                                        WindowsFolder()};
    if (const char* path = std::getenv("PATH")) {
        std::stringstream list(path);
        for (std::string folder; std::getline(list, folder, ':');)
            if (!folder.empty()) folders.push_back(folder);
    }
    for (const auto& folder : folders)
        if (auto found = FindExisting(JoinPath(folder, native))) return found;
    return std::nullopt;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

LimitedRead ReadFileLimited(const std::string& path, std::uint64_t limit) {
    LimitedRead result;
    auto problem = [&](LimitedRead::Status status, int number) {
        result.status = status;
        result.error = std::strerror(number);
        result.contents.clear();
        return result;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return problem(errno == ENOENT || errno == ENOTDIR ? LimitedRead::Status::Missing
                                                           : LimitedRead::Status::Unreadable,
                       errno);
    struct stat info;
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return problem(LimitedRead::Status::Unreadable, EISDIR);
    }
    if (known && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > limit) {
        ::close(fd);
        result.status = LimitedRead::Status::TooLarge;
        return result;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int number = errno;
            ::close(fd);
            return problem(LimitedRead::Status::Unreadable, number);
        }
        if (n == 0) break;
        if (result.contents.size() + static_cast<std::size_t>(n) > limit) {
            ::close(fd);
            result.contents.clear();
            result.status = LimitedRead::Status::TooLarge;
            return result;
        }
        result.contents.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return result;
}

std::vector<std::string> MatchingEntries(const std::string& folder, std::string_view pattern) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    std::string glob(pattern);
    while (dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (fnmatch(glob.c_str(), entry->d_name, FNM_CASEFOLD | FNM_PERIOD) == 0)
            names.emplace_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kestra::platform

UINT GetWindowsDirectory(char* buffer, UINT size) {
    return kestra::platform::copyOut(kestra::platform::WindowsFolder(), buffer, size);
}
UINT GetSystemDirectory(char* buffer, UINT size) {
    return kestra::platform::copyOut(kestra::platform::SystemFolder(), buffer, size);
}

BOOL OemToCharA(const char* source, char* destination) {
    if (!source || !destination) return FALSE;
    if (source != destination) std::memmove(destination, source, std::strlen(source) + 1);
    return TRUE;
}
BOOL CharToOemA(const char* source, char* destination) {
    return OemToCharA(source, destination);
}
