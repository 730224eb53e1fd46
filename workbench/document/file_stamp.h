// What a file was when the workbench last read or wrote it, to tell whether another program
// has changed it since.
#pragma once

#include <cstdint>
#include <string>

namespace kestra::workbench {

struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNanoseconds = 0;

    // The file as it is now (a missing or unreadable one does not exist).
    static FileStamp Of(const std::string& path);
    bool operator==(const FileStamp&) const = default;
};

}  // namespace kestra::workbench
