// The one way the suite writes a user's file.
//
// A reader of the file sees either the old contents or the new ones, never half of each,
// and whatever the user had made of the name is kept:
//   - A symbolic link is followed, link after link, and the file it finally names is
//     written; the links stay as they were. A link that names nothing yet makes that file.
//   - A regular file is written to a temporary file beside it (same folder, so the rename
//     cannot cross file systems), flushed to the disk and then renamed over the old one. The
//     new file gets the old file's permission bits (and, where the process may, its owner and
//     group); a new file gets the usual permissions of a created file (0666 less the umask).
//     The temporary file has no name while it is written (O_TMPFILE, where the file system
//     offers it) and a short one of its own (".kestra-PID-N.tmp") only for the moment before
//     the rename, so that any name a folder can hold can be written, and a program ended
//     meanwhile by a signal leaves nothing behind (platform/temporary_cleanup.h).
//   - What is not a regular file (a terminal, a pipe or FIFO, a device such as /dev/stdout
//     or /dev/null) is opened and written in place: it has no contents to keep, and renaming
//     over it would replace the device or pipe with a plain file.
//   - A folder, or an existing file that is read-only (no write permission bit at all, or
//     one this process may not write), is refused and left as it is.
//   - On any failure, and when the writer is dropped without commit(), the temporary file is
//     removed and the old file is untouched. A failure writing in place cannot be undone.
// Hard links to a replaced file keep the old contents, as after any rename.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestra::platform {

class FileWriter {
  public:
    explicit FileWriter(std::string path);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Prepares the write; false (with error()) when the file cannot be written.
    bool open();
    bool write(std::span<const std::uint8_t> bytes);
    bool write(std::string_view text);
    // Allocates room for `bytes` bytes of the new file at once, so that a full disk shows now
    // rather than part-way (and the file has no holes); nothing to do when written in place.
    bool reserve(std::uint64_t bytes);
    // Puts the new contents in place; false when they could not be (the old file stays).
    bool commit();
    // Puts the new contents in place only where no file of that name exists yet; when one
    // does (made meanwhile by another program, say), it stays, the new contents are dropped,
    // and the result is false with existed() true.
    bool commitNew();
    bool existed() const { return existed_; }
    // Drops what was written; the old file stays.
    void discard();

    // Why the last step failed ("Permission denied", "No such file or directory", ...).
    const std::string& error() const { return error_; }
    // The file that is written: the path with its links followed.
    const std::string& target() const { return target_; }
    // True when the target is written in place (not a regular file).
    bool inPlace() const { return inPlace_; }

  private:
    bool fail(int number);
    bool fail(std::string text);
    bool openInPlace();
    bool openBeside();
    bool openNamed();
    // Each false when it fails, the new file then discarded.
    bool flushTemporary();
    bool closeTemporary();
    bool nameTemporary();
    void setTemporary(std::string name);
    // The temporary file became the target.
    void temporaryPlaced();

    std::string path_;
    std::string target_;
    std::string temporary_;  // the temporary file's name, while it has one
    int registration_ = -1;  // of the temporary name, for the signal handler
    std::string error_;
    int fd_ = -1;
    bool unnamed_ = false;  // the new file was made without a name (O_TMPFILE)
    bool existed_ = false;
    bool inPlace_ = false;
    bool failed_ = false;
    std::uint64_t written_ = 0;
    std::optional<unsigned> keepMode_;
    std::optional<std::pair<unsigned, unsigned>> keepOwner_;
};

// Writes a whole file through a FileWriter; on failure `error` (if given) says why.
bool WriteWholeFile(const std::string& path, std::string_view contents,
                    std::string* error = nullptr);
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> contents,
                    std::string* error = nullptr);

// For tests: every writer then fails with `error` (an errno value) once it has written
// `afterBytes` bytes in all; nullopt ends it.
struct InjectedWriteFault {
    std::uint64_t afterBytes = 0;
    int error = 5;  // EIO
};
void InjectWriteFault(std::optional<InjectedWriteFault> fault);
// For tests: temporary files get their name when they are made, as on a file system without
// O_TMPFILE.
void UseNamedTemporaries(bool named);

}  // namespace kestra::platform
