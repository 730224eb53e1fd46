// Taking a card: programs that read it share it, one that changes it has it alone, and one
// that finds it taken hears who holds it, or waits for it.
#include "devices/card_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/temp_folder.h"

using kestra::platform::CardInUse;
using kestra::platform::CardLock;
using kestra::platform::CardUse;
using kestra::platform::FlockHolders;
using kestra::testing::TempFolder;

namespace {

// Another process that holds the card for `use` until it is told to let go.
class OtherProgram {
  public:
    OtherProgram(const std::string& path, CardUse use) {
        int ready[2], go[2];
        if (pipe(ready) != 0 || pipe(go) != 0) return;
        std::fflush(stdout);
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(go[1]);
            const CardLock lock = CardLock::Take(path, use);
            char byte = lock.held() ? 'h' : 'n';
            if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) < 0) _exit(1);
            _exit(0);
        }
        close(ready[1]);
        close(go[0]);
        go_ = go[1];
        char byte = 0;
        held_ = read(ready[0], &byte, 1) == 1 && byte == 'h';
        close(ready[0]);
    }
    ~OtherProgram() { letGo(); }
    void letGo() {
        if (go_ < 0) return;
        close(go_);
        go_ = -1;
        waitpid(pid_, nullptr, 0);
    }
    bool held() const { return held_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int go_ = -1;
    bool held_ = false;
};

const char* Name(CardUse use) {
    return use == CardUse::Read ? "read" : "write";
}

}  // namespace

TEST(CardLock, ReadersShareTheCardAndAWriterHasItAlone) {
    TempFolder folder;
    const std::string card = folder.write("card.img", "card");
    struct Case {
        CardUse held, asked;
        bool inUse;
    };
    for (const Case& c :
         {Case{CardUse::Read, CardUse::Read, false}, Case{CardUse::Read, CardUse::Write, true},
          Case{CardUse::Write, CardUse::Read, true}, Case{CardUse::Write, CardUse::Write, true}}) {
        const std::string what = std::string(Name(c.held)) + " then " + Name(c.asked);
        OtherProgram other(card, c.held);
        ASSERT_TRUE(other.held()) << what;
        try {
            const CardLock lock = CardLock::Take(card, c.asked);
            EXPECT_FALSE(c.inUse) << what;
            EXPECT_TRUE(lock.held()) << what;
        } catch (const CardInUse& holders) {
            EXPECT_TRUE(c.inUse) << what;
            EXPECT_EQ(std::string(holders.what()),
                      "devices_tests (process " + std::to_string(other.pid()) + ")")
                << what;
        }
    }
}

TEST(CardLock, AWaitingProgramHearsWhoHoldsTheCardAndGetsItOnceItIsFree) {
    TempFolder folder;
    const std::string card = folder.write("card.img", "card");
    OtherProgram other(card, CardUse::Write);
    ASSERT_TRUE(other.held());
    std::string told;
    const CardLock lock = CardLock::Take(card, CardUse::Write, [&](const std::string& holders) {
        told = holders;
        other.letGo();  // only now, once this program waits
    });
    EXPECT_TRUE(lock.held());
    EXPECT_EQ(told, "devices_tests (process " + std::to_string(other.pid()) + ")");
}

TEST(CardLock, ACardIsFreeOnceLetGoAndAFileThatCannotBeOpenedTakesNothing) {
    TempFolder folder;
    const std::string card = folder.write("card.img", "card");
    CardLock first = CardLock::Take(card, CardUse::Write);
    ASSERT_TRUE(first.held());
    // This process holds it through another open file: it is still taken.
    EXPECT_THROW(CardLock::Take(card, CardUse::Read), CardInUse);
    CardLock moved = std::move(first);
    EXPECT_FALSE(first.held());
    EXPECT_THROW(CardLock::Take(card, CardUse::Read), CardInUse);
    moved.release();
    EXPECT_TRUE(CardLock::Take(card, CardUse::Write).held());
    EXPECT_FALSE(CardLock::Take(folder.file("none.img"), CardUse::Write).held());
}

TEST(FlockHolders, TakesTheHoldersOfFlockLocksOnTheFileFromTheKernelsTable) {
    // Lines as /proc/locks has them: device numbers in hexadecimal, the inode in decimal.
    const std::string table =
        "1: FLOCK  ADVISORY  WRITE 1234 00:2a:5678 0 EOF\n"
        "1: -> FLOCK  ADVISORY  WRITE 1240 00:2a:5678 0 EOF\n"  // waits: holds nothing
        "2: FLOCK  ADVISORY  READ 1235 00:2a:5678 0 EOF\n"
        "3: FLOCK  ADVISORY  READ 1235 00:2a:5678 0 EOF\n"   // the same process twice
        "4: POSIX  ADVISORY  WRITE 1236 00:2a:5678 0 EOF\n"  // not a flock
        "5: FLOCK  ADVISORY  WRITE 1237 00:2b:5678 0 EOF\n"  // another device
        "6: FLOCK  ADVISORY  WRITE 1238 00:2a:5679 0 EOF\n"  // another file
        "7: FLOCK  ADVISORY  WRITE 99 00:2a:5678 0 EOF\n"    // this process
        "8: FLOCK  ADVISORY  WRITE -1 00:2a:5678 0 EOF\n"
        "9: FLOCK  ADVISORY  WRITE 1239 00:2a\n"
        "10: FLOCK\n"
        "11: FLOCK  ADVISORY  WRITE 1241 103:02:5678 0 EOF";  // no line end at the end
    EXPECT_EQ(FlockHolders(table, 0x00, 0x2a, 5678, 99), (std::vector<pid_t>{1234, 1235}));
    EXPECT_EQ(FlockHolders(table, 0x103, 0x02, 5678, 99), (std::vector<pid_t>{1241}));
    EXPECT_TRUE(FlockHolders("", 0, 0x2a, 5678, 99).empty());
}
