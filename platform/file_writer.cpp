#include "platform/file_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/hold_point.h"
#include "platform/temporary_cleanup.h"

namespace kestra::platform {

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows before ELOOP
constexpr int kTemporaryTries = 100;

std::mutex faultLock;
std::optional<InjectedWriteFault> injectedFault;
std::atomic<bool> namedTemporaries{false};

std::optional<InjectedWriteFault> currentFault() {
    std::lock_guard lock(faultLock);
    return injectedFault;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names, its links followed one by one; nullopt with errno set
// when a link cannot be read or there are too many.
std::optional<std::string> followLinks(std::string path) {
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) return path;  // a file still to be made
            return std::nullopt;
        }
        if (!S_ISLNK(info.st_mode)) return path;
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1,
                         '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0) return std::nullopt;
        link.resize(static_cast<std::size_t>(length));
        path = link.starts_with('/') ? link : folderOf(path) + "/" + link;
    }
    errno = ELOOP;
    return std::nullopt;
}

// A file made with O_TMPFILE gets a name through its link in /proc.
bool unnamedFilesCanBeNamed() {
    static const bool procMounted = ::access("/proc/self/fd", X_OK) == 0;
    return procMounted && !namedTemporaries.load();
}

// A temporary name of the writer's own in `folder`: short, whatever the target's name.
std::string temporaryName(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    return folder + "/.kestra-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           ".tmp";
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

FileWriter::FileWriter(std::string path) : path_(std::move(path)) {}

FileWriter::~FileWriter() {
    discard();
}

bool FileWriter::fail(int number) {
    return fail(std::string(std::strerror(number)));
}

bool FileWriter::fail(std::string text) {
    error_ = std::move(text);
    failed_ = true;
    return false;
}

bool FileWriter::open() {
    discard();
    failed_ = false;
    error_.clear();
    written_ = 0;
    inPlace_ = false;
    existed_ = false;
    keepMode_.reset();
    keepOwner_.reset();
    if (path_.empty()) return fail(ENOENT);
    struct stat info;
    if (::stat(path_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return fail(EISDIR);
        if (!S_ISREG(info.st_mode)) return openInPlace();
    }
    const auto target = followLinks(path_);
    if (!target) return fail(errno);
    target_ = *target;
    if (::lstat(target_.c_str(), &info) == 0) {
        if ((info.st_mode & 0222) == 0) return fail("the file is read-only");
        if (::access(target_.c_str(), W_OK) != 0) return fail(errno);
        keepMode_ = info.st_mode & 07777;
        keepOwner_ = std::pair<unsigned, unsigned>(info.st_uid, info.st_gid);
    }
    return openBeside();
}

bool FileWriter::openInPlace() {
    target_ = path_;
    inPlace_ = true;
    fd_ = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    return fd_ >= 0 || fail(errno);
}

bool FileWriter::openBeside() {
    CleanUpTemporariesOnSignals();
    if (unnamedFilesCanBeNamed()) {
        fd_ = ::open(folderOf(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            unnamed_ = true;
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return fail(errno);
        }
    }
    if (fd_ < 0 && !openNamed()) return false;
    if (keepOwner_) {
        struct stat made;
        // Only a privileged process may give a file away; a failure keeps the writer's owner.
        if (::fstat(fd_, &made) == 0 &&
            (made.st_uid != keepOwner_->first || made.st_gid != keepOwner_->second))
            (void)::fchown(fd_, keepOwner_->first, keepOwner_->second);
    }
    if (keepMode_ && ::fchmod(fd_, *keepMode_) != 0) {
        const int number = errno;
        discard();
        return fail(number);
    }
    return true;
}

bool FileWriter::openNamed() {
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        const std::string candidate = temporaryName(folderOf(target_));
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            setTemporary(candidate);
            return true;
        }
        if (errno != EEXIST) return fail(errno);
    }
    return fail(EEXIST);
}

void FileWriter::setTemporary(std::string name) {
    temporary_ = std::move(name);
    registration_ = RegisterTemporary(temporary_.c_str());
}

bool FileWriter::write(std::string_view text) {
    return write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool FileWriter::write(std::span<const std::uint8_t> bytes) {
    if (failed_) return false;
    if (fd_ < 0) return fail(EBADF);
    std::optional<int> injected;
    if (const auto fault = currentFault(); fault && written_ + bytes.size() > fault->afterBytes) {
        bytes = bytes.first(static_cast<std::size_t>(
            fault->afterBytes > written_ ? fault->afterBytes - written_ : 0));
        injected = fault->error;
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        written_ += static_cast<std::uint64_t>(n);
    }
    return injected ? fail(*injected) : true;
}

bool FileWriter::reserve(std::uint64_t bytes) {
    if (failed_) return false;
    if (fd_ < 0) return fail(EBADF);
    if (inPlace_ || bytes == 0) return true;
    const int error = ::posix_fallocate(fd_, 0, static_cast<off_t>(bytes));
    return error == 0 || fail(error);
}

bool FileWriter::nameTemporary() {
    const std::string link = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < kTemporaryTries; ++attempt) {
        // Registered before it exists, so that no moment has a name the handler does not know.
        setTemporary(temporaryName(folderOf(target_)));
        if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        const int number = errno;
        ForgetTemporary(registration_);
        registration_ = -1;
        temporary_.clear();
        if (number != EEXIST) return fail(number);
    }
    return fail(EEXIST);
}

bool FileWriter::flushTemporary() {
    if (failed_ || fd_ < 0) {
        discard();
        return failed_ ? false : fail(EBADF);
    }
    if (!inPlace_ && ::fsync(fd_) != 0) {
        const int number = errno;
        discard();
        return fail(number);
    }
    return true;
}

bool FileWriter::closeTemporary() {
    const int closed = ::close(fd_);
    const int number = errno;
    fd_ = -1;
    if (closed != 0) {
        discard();
        return fail(number);
    }
    return true;
}

void FileWriter::temporaryPlaced() {
    ForgetTemporary(registration_);
    registration_ = -1;
    temporary_.clear();
    unnamed_ = false;
    syncFolder(folderOf(target_));
}

bool FileWriter::commit() {
    if (!flushTemporary()) return false;
    if (unnamed_ && !nameTemporary()) {
        discard();
        return false;
    }
    if (!closeTemporary()) return false;
    if (inPlace_) return true;
    HoldPoint("file-commit");
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int renameError = errno;
        discard();
        return fail(renameError);
    }
    temporaryPlaced();
    return true;
}

bool FileWriter::commitNew() {
    existed_ = false;
    if (inPlace_) {
        discard();
        existed_ = true;
        return fail(EEXIST);
    }
    if (!flushTemporary()) return false;
    int placed = 0;
    if (unnamed_) {
        // Linking the unnamed file to the target's name fails where a file is.
        const std::string link = "/proc/self/fd/" + std::to_string(fd_);
        placed = ::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW);
    } else {
        if (!closeTemporary()) return false;
        placed =
            ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (placed != 0 && errno == EINVAL) {  // a file system without it: link, then unlink
            placed = ::link(temporary_.c_str(), target_.c_str());
            if (placed == 0) ::unlink(temporary_.c_str());
        }
    }
    if (placed != 0) {
        const int number = errno;
        existed_ = number == EEXIST;
        discard();
        return fail(number);
    }
    if (fd_ >= 0) ::close(fd_);  // flushed already; the file is in place
    fd_ = -1;
    temporaryPlaced();
    return true;
}

void FileWriter::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    unnamed_ = false;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    ForgetTemporary(registration_);
    registration_ = -1;
    temporary_.clear();
}

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> contents,
                    std::string* error) {
    FileWriter writer(path);
    const bool ok = writer.open() && writer.write(contents) && writer.commit();
    if (!ok && error) *error = writer.error();
    return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view contents, std::string* error) {
    return WriteWholeFile(
        path, std::span(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size()),
        error);
}

void InjectWriteFault(std::optional<InjectedWriteFault> fault) {
    std::lock_guard lock(faultLock);
    injectedFault = fault;
}

void UseNamedTemporaries(bool named) {
    namedTemporaries = named;
}

}  // namespace kestra::platform
