#include "devices/card_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <utility>

#include "platform/files.h"

namespace kestra::platform {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

template <typename Number>
bool ReadNumber(std::string_view text, Number& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc{} && end == text.data() + text.size();
}

// "MAJOR:MINOR:INODE", the first two hexadecimal.
bool ReadFileId(std::string_view text, unsigned& major, unsigned& minor, unsigned long& inode) {
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos) return false;
    const std::size_t second = text.find(':', first + 1);
    if (second == std::string_view::npos) return false;
    return ReadNumber(text.substr(0, first), major, 16) &&
           ReadNumber(text.substr(first + 1, second - first - 1), minor, 16) &&
           ReadNumber(text.substr(second + 1), inode);
}

// The program of a process as a user knows it: the name it was started by, without its folder.
std::string ProgramOf(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    if (const auto line = ReadWholeFile(proc + "/cmdline"); line && !line->empty()) {
        const std::string first = line->substr(0, line->find('\0'));
        const std::string_view name = FileNamePart(first);
        if (!name.empty()) return std::string(name);
    }
    if (auto name = ReadWholeFile(proc + "/comm"); name && !name->empty()) {
        while (!name->empty() && name->back() == '\n') name->pop_back();
        return *name;
    }
    return "a program";
}

}  // namespace

CardLock::~CardLock() {
    release();
}

CardLock::CardLock(CardLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

CardLock& CardLock::operator=(CardLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void CardLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);  // the lock goes with the last descriptor of its open file
    fd_ = -1;
}

CardLock CardLock::Take(const std::string& path, CardUse use, const Waiting& waiting) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    CardLock lock(fd);
    const int kind = use == CardUse::Write ? LOCK_EX : LOCK_SH;
    if (::flock(fd, kind | LOCK_NB) == 0) return lock;
    if (errno != EWOULDBLOCK) return {};  // a file system without locks: nothing to take
    const std::string holders = DescribeCardHolders(fd);
    if (!waiting) throw CardInUse(holders);
    waiting(holders);
    while (::flock(fd, kind) != 0)
        if (errno != EINTR) return {};
    return lock;
}

std::vector<pid_t> FlockHolders(std::string_view procLocks, unsigned major, unsigned minor,
                                unsigned long inode, pid_t self) {
    std::vector<pid_t> holders;
    while (!procLocks.empty()) {
        const std::size_t end = std::min(procLocks.find('\n'), procLocks.size());
        const std::vector<std::string_view> words = Words(procLocks.substr(0, end));
        procLocks.remove_prefix(std::min(end + 1, procLocks.size()));
        // "N: FLOCK ADVISORY WRITE PID MAJOR:MINOR:INODE START END"; a waiting request has
        // "->" after its number.
        if (words.size() < 6 || words[1] != "FLOCK") continue;
        pid_t pid = 0;
        unsigned lineMajor = 0, lineMinor = 0;
        unsigned long lineInode = 0;
        if (!ReadNumber(words[4], pid) || pid <= 0 || pid == self) continue;
        if (!ReadFileId(words[5], lineMajor, lineMinor, lineInode)) continue;
        if (lineMajor != major || lineMinor != minor || lineInode != inode) continue;
        if (std::find(holders.begin(), holders.end(), pid) == holders.end()) holders.push_back(pid);
    }
    return holders;
}

std::string DescribeCardHolders(int fd) {
    struct stat info {};
    const auto locks = ReadWholeFile("/proc/locks");
    if (::fstat(fd, &info) != 0 || !locks) return "another program";
    const std::vector<pid_t> holders =
        FlockHolders(*locks, ::major(info.st_dev), ::minor(info.st_dev),
                     static_cast<unsigned long>(info.st_ino), ::getpid());
    if (holders.empty()) return "another program";
    std::string text;
    for (pid_t pid : holders) {
        if (!text.empty()) text += " and ";
        text += ProgramOf(pid) + " (process " + std::to_string(pid) + ")";
    }
    return text;
}

}  // namespace kestra::platform
