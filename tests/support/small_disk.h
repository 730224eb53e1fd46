// A small file system of a test's own, to fill up: a tmpfs mounted in a mount namespace of a
// child process, so that it goes with the child whatever happens to the test. A test that may
// not mount (no privilege and no user namespaces) is skipped.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>

#include "support/child_process.h"

namespace kestra::testing {

// The exit code of a child that could not mount a file system.
inline constexpr int kNoSmallDisk = 77;

namespace detail {

inline bool WriteProcFile(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

// A mount namespace of this process's own: as root, or else inside a user namespace of its own.
inline bool OwnMountNamespace() {
    if (unshare(CLONE_NEWNS) == 0) return true;
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    return WriteProcFile("/proc/self/setgroups", "deny") &&
           WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

}  // namespace detail

// Runs `body` in a child process in which `folder` (an empty folder) is a tmpfs of `bytes`
// bytes. Returns the child's exit code: 0 when no assertion failed there, kNoSmallDisk when
// the file system could not be mounted.
inline int OnSmallDisk(const std::string& folder, std::uint64_t bytes,
                       const std::function<void()>& body) {
    return RunInChildProcess([&] {
        if (!detail::OwnMountNamespace() ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) !=
                0)
            _exit(kNoSmallDisk);
        body();
    });
}

// In a test: runs `body` on a small disk, skipping the test where there can be none.
#define KESTRA_ON_SMALL_DISK(folder, bytes, body)                                        \
    do {                                                                                 \
        const int kestraSmallDisk = ::kestra::testing::OnSmallDisk(folder, bytes, body); \
        if (kestraSmallDisk == ::kestra::testing::kNoSmallDisk)                          \
            GTEST_SKIP() << "no small file system can be mounted here";                  \
        EXPECT_EQ(kestraSmallDisk, 0);                                                   \
    } while (false)

}  // namespace kestra::testing
