#include "devices/logical_disk.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestra::platform {
namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw LogicalDiskError(path + ": " + what);
}

std::string SystemReason() {
    return std::strerror(errno);
}

std::uint64_t SizeOf(const std::string& path, int fd, const struct stat& info) {
    if (S_ISREG(info.st_mode)) return static_cast<std::uint64_t>(info.st_size);
    std::uint64_t bytes = 0;
    if (ioctl(fd, BLKGETSIZE64, &bytes) != 0)
        Fail(path, "the size cannot be read: " + SystemReason());
    return bytes;
}

}  // namespace

std::unique_ptr<LogicalDisk> LogicalDisk::Open(const std::string& path, bool forWriting) {
    if (path.empty()) throw LogicalDiskError("no device was named for the card reader");
    // A block device to be written is opened exclusively: one that is mounted or otherwise in
    // use is not taken.
    struct stat named {};
    const int exclusive =
        forWriting && ::stat(path.c_str(), &named) == 0 && S_ISBLK(named.st_mode) ? O_EXCL : 0;
    bool writable = forWriting;
    int fd = forWriting ? ::open(path.c_str(), O_RDWR | O_CLOEXEC | exclusive) : -1;
    if (!forWriting || (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))) {
        writable = false;
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | exclusive);
    }
    if (fd < 0 && errno == EBUSY)
        throw LogicalDiskBusy(path + ": is in use (mounted?); unmount it first");
    if (fd < 0) Fail(path, "cannot be opened: " + SystemReason());
    struct stat info {};
    if (fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) {
        ::close(fd);
        Fail(path, "is neither a block device nor a file");
    }
    try {
        const std::uint64_t size = SizeOf(path, fd, info);
        return std::unique_ptr<LogicalDisk>(new LogicalDisk(path, fd, size, writable));
    } catch (...) {
        ::close(fd);
        throw;
    }
}

LogicalDisk::LogicalDisk(std::string path, int fd, std::uint64_t size, bool writable)
    : path_(std::move(path)), fd_(fd), size_(size), writable_(writable) {}

LogicalDisk::~LogicalDisk() {
    ::close(fd_);
}

void LogicalDisk::checkRange(std::uint64_t offset, std::size_t length) const {
    if (offset > size_ || length > size_ - offset)
        Fail(path_, "bytes " + std::to_string(offset) + " to " + std::to_string(offset + length) +
                        " lie outside the disk of " + std::to_string(size_) + " bytes");
}

void LogicalDisk::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    checkRange(offset, out.size());
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t got =
            ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            Fail(path_, "read at " + std::to_string(offset + done) + " failed" +
                            (got < 0 ? ": " + SystemReason() : std::string()));
        done += static_cast<std::size_t>(got);
    }
}

void LogicalDisk::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (!writable_) Fail(path_, "the card is write-protected or the device is read-only");
    checkRange(offset, data.size());
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = ::pwrite(fd_, data.data() + done, data.size() - done,
                                     static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0)
            Fail(path_, "write at " + std::to_string(offset + done) + " failed" +
                            (put < 0 ? ": " + SystemReason() : std::string()));
        done += static_cast<std::size_t>(put);
    }
    if (::fdatasync(fd_) != 0) Fail(path_, "the device did not take the data: " + SystemReason());
}

}  // namespace kestra::platform
