// A card seen as a disk of its logical blocks.
//
// A USB SmartMedia reader runs the card's translation layer itself (error correction, bad
// blocks, copies of blocks) and shows only the card's logical blocks, one after the other, as
// a disk (/dev/sdX). A file can stand for such a disk (the logical image of a card). Only the
// path the user named is ever opened; nothing is searched for or guessed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

namespace kestra::platform {

class LogicalDiskError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
// The disk is in use: mounted, or opened exclusively by another program.
class LogicalDiskBusy : public LogicalDiskError {
  public:
    using LogicalDiskError::LogicalDiskError;
};

class LogicalDisk {
  public:
    // Opens a block device or a regular file for reading and writing; read-only when the
    // device or file does not allow writing (a write-protected card), or `forWriting` is false.
    // A block device to be written is opened exclusively, so that one that is mounted is not
    // taken. Throws LogicalDiskError when it cannot be opened or is neither a block device
    // nor a regular file.
    static std::unique_ptr<LogicalDisk> Open(const std::string& path, bool forWriting = true);

    ~LogicalDisk();
    LogicalDisk(const LogicalDisk&) = delete;
    LogicalDisk& operator=(const LogicalDisk&) = delete;

    const std::string& path() const { return path_; }
    std::uint64_t size() const { return size_; }
    bool writable() const { return writable_; }

    // Reads exactly out.size() bytes at `offset`; throws LogicalDiskError when the range lies
    // outside the disk or the read fails.
    void read(std::uint64_t offset, std::span<std::uint8_t> out) const;
    // Writes the bytes at `offset` and waits until the device has them; throws
    // LogicalDiskError as read does, and when the disk is read-only.
    void write(std::uint64_t offset, std::span<const std::uint8_t> data);

  private:
    LogicalDisk(std::string path, int fd, std::uint64_t size, bool writable);
    void checkRange(std::uint64_t offset, std::size_t length) const;

    std::string path_;
    int fd_;
    std::uint64_t size_;
    bool writable_;
};

}  // namespace kestra::platform
