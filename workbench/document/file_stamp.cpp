#include "workbench/document/file_stamp.h"

#include <sys/stat.h>

namespace kestra::workbench {

FileStamp FileStamp::Of(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modifiedNanoseconds =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace kestra::workbench
