// The file writer: links, modes, special files and failures, in a temporary folder.
#include "platform/file_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <future>
#include <set>

#include "platform/hold_point.h"
#include "support/child_process.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

namespace pf = kestra::platform;
namespace fs = std::filesystem;
using kestra::testing::TempFolder;

namespace {

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

unsigned Mode(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFu;
}

bool IsLink(const std::string& path) {
    return fs::is_symlink(fs::symlink_status(path));
}

class FileWriterTest : public ::testing::Test {
  protected:
    void TearDown() override { pf::InjectWriteFault(std::nullopt); }
    TempFolder folder;
};

}  // namespace

TEST_F(FileWriterTest, NewAndReplacedFilesKeepTheirModeAndLeaveNoTemporary) {
    const mode_t mask = ::umask(022);
    const std::string made = folder.file("new.bin");
    ASSERT_TRUE(pf::WriteWholeFile(made, std::string_view("first")));
    EXPECT_EQ(folder.read("new.bin"), "first");
    EXPECT_EQ(Mode(made), 0644u) << "a new file: 0666 less the umask";
    ::umask(mask);

    const std::string kept = folder.write("kept.bin", "old contents");
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    ASSERT_TRUE(pf::WriteWholeFile(kept, std::string_view("new")));
    EXPECT_EQ(folder.read("kept.bin"), "new");
    EXPECT_EQ(Mode(kept), 0640u);
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"new.bin", "kept.bin"}));
}

TEST_F(FileWriterTest, LinksAreFollowedToTheFileTheyName) {
    fs::create_directories(folder.file("real"));
    const std::string target = folder.write("real/panel.rom", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    fs::create_symlink("real/panel.rom", folder.file("link.rom"));          // relative
    fs::create_symlink(folder.file("link.rom"), folder.file("link2.rom"));  // to a link

    pf::FileWriter writer(folder.file("link2.rom"));
    ASSERT_TRUE(writer.open()) << writer.error();
    EXPECT_EQ(writer.target(), folder.path() + "/real/panel.rom");
    ASSERT_TRUE(writer.write(std::string_view("through two links")));
    ASSERT_TRUE(writer.commit()) << writer.error();

    EXPECT_TRUE(IsLink(folder.file("link.rom")));
    EXPECT_TRUE(IsLink(folder.file("link2.rom")));
    EXPECT_EQ(folder.read("real/panel.rom"), "through two links");
    EXPECT_EQ(Mode(target), 0600u);
    EXPECT_EQ(Entries(folder.file("real")), (std::set<std::string>{"panel.rom"}));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"real", "link.rom", "link2.rom"}));

    // A link that names nothing yet makes the file it names.
    fs::create_symlink("real/made.rom", folder.file("dangling.rom"));
    ASSERT_TRUE(pf::WriteWholeFile(folder.file("dangling.rom"), std::string_view("made")));
    EXPECT_TRUE(IsLink(folder.file("dangling.rom")));
    EXPECT_EQ(folder.read("real/made.rom"), "made");

    // A loop of links is refused.
    fs::create_symlink("b", folder.file("a"));
    fs::create_symlink("a", folder.file("b"));
    std::string error;
    EXPECT_FALSE(pf::WriteWholeFile(folder.file("a"), std::string_view("x"), &error));
    EXPECT_EQ(error, std::strerror(ELOOP));
}

TEST_F(FileWriterTest, WhatCannotBeWrittenIsRefusedAndLeftAsItWas) {
    std::string error;
    EXPECT_FALSE(
        pf::WriteWholeFile(folder.file("no/such/folder/x.bin"), std::string_view("x"), &error));
    EXPECT_EQ(error, std::strerror(ENOENT));
    EXPECT_TRUE(Entries(folder.path()).empty());

    const std::string locked = folder.write("locked.bin", "keep me");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    EXPECT_FALSE(pf::WriteWholeFile(locked, std::string_view("lost"), &error));
    EXPECT_EQ(error, "the file is read-only") << "even for a privileged user";
    EXPECT_EQ(folder.read("locked.bin"), "keep me");

    fs::create_directories(folder.file("dir"));
    EXPECT_FALSE(pf::WriteWholeFile(folder.file("dir"), std::string_view("x"), &error));
    EXPECT_EQ(error, std::strerror(EISDIR));
    EXPECT_TRUE(fs::is_directory(folder.file("dir")));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"locked.bin", "dir"}));
}

TEST_F(FileWriterTest, SpecialFilesAreWrittenInPlace) {
    // A FIFO stays a FIFO, and its reader gets the bytes.
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reader = std::async(std::launch::async, [&] { return pf::ReadWholeFile(fifo); });
    pf::FileWriter writer(fifo);
    ASSERT_TRUE(writer.open()) << writer.error();
    EXPECT_TRUE(writer.inPlace());
    ASSERT_TRUE(writer.write(std::string_view("through the pipe")));
    ASSERT_TRUE(writer.commit());
    EXPECT_EQ(reader.get(), "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A link to a device (as /dev/stdout is) writes the device and keeps the link.
    fs::create_symlink("/dev/null", folder.file("out"));
    pf::FileWriter device(folder.file("out"));
    ASSERT_TRUE(device.open()) << device.error();
    EXPECT_TRUE(device.inPlace());
    ASSERT_TRUE(device.write(std::string_view("gone")));
    ASSERT_TRUE(device.commit());
    EXPECT_TRUE(IsLink(folder.file("out")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"pipe", "out"}));

    // A device that fails a write reports it.
    std::string error;
    EXPECT_FALSE(pf::WriteWholeFile("/dev/full", std::string_view("x"), &error));
    EXPECT_EQ(error, std::strerror(ENOSPC));
}

TEST_F(FileWriterTest, AFailedOrDroppedWriteKeepsTheOldFile) {
    const std::string path = folder.write("card.raw", "the old image");
    pf::InjectWriteFault(pf::InjectedWriteFault{10, EIO});
    pf::FileWriter writer(path);
    ASSERT_TRUE(writer.open());
    EXPECT_TRUE(writer.write(std::string_view("0123456")));
    EXPECT_FALSE(writer.write(std::string_view("789abc"))) << "fails at byte 10";
    EXPECT_EQ(writer.error(), std::strerror(EIO));
    EXPECT_FALSE(writer.write(std::string_view("more")));
    EXPECT_FALSE(writer.commit());
    EXPECT_EQ(folder.read("card.raw"), "the old image");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"card.raw"}));
    pf::InjectWriteFault(std::nullopt);

    {
        pf::FileWriter dropped(path);
        ASSERT_TRUE(dropped.open());
        ASSERT_TRUE(dropped.write(std::string_view("never committed")));
    }
    EXPECT_EQ(folder.read("card.raw"), "the old image");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"card.raw"}));
}

TEST(ReadFileLimited, ReadsPipesToTheEndWithinTheLimit) {
    TempFolder folder;
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto writer = std::async(std::launch::async,
                             [&] { return pf::WriteWholeFile(fifo, std::string(100000, 'p')); });
    const pf::LimitedRead read = pf::ReadFileLimited(fifo, 100000);
    EXPECT_TRUE(writer.get());
    EXPECT_EQ(read.status, pf::LimitedRead::Status::Ok);
    EXPECT_EQ(read.contents, std::string(100000, 'p'));

    std::signal(SIGPIPE, SIG_IGN);  // the reader may stop before the writer is done
    writer = std::async(std::launch::async,
                        [&] { return pf::WriteWholeFile(fifo, std::string(100001, 'p')); });
    EXPECT_EQ(pf::ReadFileLimited(fifo, 100000).status, pf::LimitedRead::Status::TooLarge);
    writer.get();  // the writer sees the pipe closed early
    EXPECT_EQ(pf::ReadFileLimited(folder.write("big", "12345"), 4).status,
              pf::LimitedRead::Status::TooLarge);
    EXPECT_EQ(pf::ReadFileLimited(folder.file("none"), 4).status, pf::LimitedRead::Status::Missing);
    EXPECT_EQ(pf::ReadFileLimited(folder.path(), 4).status, pf::LimitedRead::Status::Unreadable);
}

namespace {

// The file writer both ways: with unnamed temporary files, and with named ones as on a file
// system without O_TMPFILE.
class FileWriterModes : public FileWriterTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override { pf::UseNamedTemporaries(GetParam()); }
    void TearDown() override {
        pf::UseNamedTemporaries(false);
        FileWriterTest::TearDown();
    }
};

std::string NameOfLength(std::size_t length) {
    return std::string(length - 4, 'n') + ".kpr";
}

// A child process that writes `path` through a writer and stops at the writer's hold point,
// where the new file has its temporary name; it says so on `ready` and waits on `go`.
pid_t HeldWriter(const std::string& path, bool named, int ready, int go) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        setenv(pf::kHoldVariable,
               ("file-commit:" + std::to_string(ready) + ":" + std::to_string(go)).c_str(), 1);
        pf::UseNamedTemporaries(named);
        pf::FileWriter writer(path);
        const bool ok = writer.open() && writer.write(std::string_view("new")) && writer.commit();
        _exit(ok ? 0 : 1);
    }
    return child;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Temporaries, FileWriterModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST_P(FileWriterModes, AnyNameAFolderHoldsIsWrittenAndReplaced) {
    for (std::size_t length : {8, 200, 242, 250, 255}) {
        const std::string name = NameOfLength(length);
        const std::string path = folder.file(name);
        std::string error;
        ASSERT_TRUE(pf::WriteWholeFile(path, std::string_view("first"), &error))
            << length << ": " << error;
        ASSERT_TRUE(pf::WriteWholeFile(path, std::string_view("second"), &error))
            << length << ": " << error;
        EXPECT_EQ(folder.read(name), "second") << length;
        EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{name})) << length;
        fs::remove(path);
    }
}

TEST_P(FileWriterModes, ANewFileIsPutOnlyWhereNoneIs) {
    pf::FileWriter made(folder.file("card.img"));
    ASSERT_TRUE(made.open() && made.write(std::string_view("first")) && made.commitNew())
        << made.error();
    EXPECT_FALSE(made.existed());

    pf::FileWriter late(folder.file("card.img"));
    ASSERT_TRUE(late.open() && late.write(std::string_view("second")));
    EXPECT_FALSE(late.commitNew());
    EXPECT_TRUE(late.existed());
    EXPECT_EQ(late.error(), std::strerror(EEXIST));
    EXPECT_EQ(folder.read("card.img"), "first");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"card.img"}));
}

TEST_P(FileWriterModes, AProgramEndedBySignalLeavesNoTemporaryFile) {
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string path = folder.write("out.kpr", "old");
        int ready[2], go[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(go), 0);
        const pid_t child = HeldWriter(path, GetParam(), ready[1], go[0]);
        close(ready[1]);
        close(go[0]);
        char line[64] = {};
        ASSERT_GT(read(ready[0], line, sizeof line - 1), 0) << "the writer never got there";
        EXPECT_EQ(Entries(folder.path()).size(), 2u) << "the temporary file has its name";
        kill(child, number);
        int status = 0;
        waitpid(child, &status, 0);
        close(ready[0]);
        close(go[1]);
        ASSERT_TRUE(WIFSIGNALED(status)) << strsignal(number);
        EXPECT_EQ(WTERMSIG(status), number);
        EXPECT_EQ(folder.read("out.kpr"), "old") << strsignal(number);
        EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"out.kpr"})) << strsignal(number);
    }
}

TEST_P(FileWriterModes, AFileSizeLimitFailsTheWriteAndKeepsTheOldFile) {
    const std::string path = folder.write("out.kpr", "old");
    const bool named = GetParam();
    const int code = kestra::testing::RunInChildProcess([&] {
        pf::UseNamedTemporaries(named);
        const rlimit limit{4096, 4096};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        std::string error;
        EXPECT_FALSE(pf::WriteWholeFile(path, std::string(10000, 'x'), &error));
        EXPECT_EQ(error, std::strerror(EFBIG));
    });
    EXPECT_EQ(code, 0) << "not ended by SIGXFSZ (" << 128 + SIGXFSZ << ")";
    EXPECT_EQ(folder.read("out.kpr"), "old");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"out.kpr"}));
}

TEST_P(FileWriterModes, AFullDiskFailsTheWriteAndKeepsTheOldFile) {
    const bool named = GetParam();
    fs::create_directories(folder.file("disk"));
    const std::string disk = folder.file("disk");
    KESTRA_ON_SMALL_DISK(disk, 64 * 1024, [&] {
        pf::UseNamedTemporaries(named);
        const std::string path = disk + "/out.kpr";
        ASSERT_TRUE(pf::WriteWholeFile(path, std::string_view("old")));
        std::string error;
        EXPECT_FALSE(pf::WriteWholeFile(path, std::string(256 * 1024, 'x'), &error));
        EXPECT_EQ(error, std::strerror(ENOSPC));
        pf::FileWriter reserved(path);
        ASSERT_TRUE(reserved.open());
        EXPECT_FALSE(reserved.reserve(1024 * 1024)) << "no room is found out at once";
        EXPECT_EQ(reserved.error(), std::strerror(ENOSPC));
        reserved.discard();
        EXPECT_EQ(pf::ReadWholeFile(path), "old");
        EXPECT_EQ(Entries(disk), (std::set<std::string>{"out.kpr"}));
    });
}
