// One card, one writer: the lock a program holds on a card while it works with it.
//
// Before a program looks at a card it takes the file that stands for the card (the simulated
// card's image, a USB reader's disk or the file standing for it, the parport device of a real
// parallel-port reader) with an advisory lock (flock), and it lets it go when its work is
// done. A program that changes the card holds it alone; programs that only read it (a listing,
// the contents) share it with each other. A program that finds the card taken either waits
// for it or gives up, and in both cases can say who holds it: the kernel's table of locks
// (/proc/locks) names the process of each lock on the file, and /proc/PID/cmdline its program.
#pragma once

#include <sys/types.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::platform {

// What a program does with the card: reading shares it, writing holds it alone.
enum class CardUse { Read, Write };

// The card is held by another program: what() names it ("kestra (process 1234)").
class CardInUse : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CardLock {
  public:
    // Told, once, who holds the card before the lock waits for it.
    using Waiting = std::function<void(const std::string& holders)>;

    CardLock() = default;
    ~CardLock();
    CardLock(CardLock&& other) noexcept;
    CardLock& operator=(CardLock&& other) noexcept;
    CardLock(const CardLock&) = delete;
    CardLock& operator=(const CardLock&) = delete;

    // Takes the card `path` names for `use`. When another program holds it so that this use
    // must wait: without `waiting`, throws CardInUse naming the holders; with it, tells
    // `waiting` and waits until the card is free. A path that cannot be opened takes nothing:
    // the card's own opening says what is wrong with it.
    static CardLock Take(const std::string& path, CardUse use, const Waiting& waiting = {});

    bool held() const { return fd_ >= 0; }
    // Lets the card go (also done when the lock is destroyed).
    void release();

  private:
    explicit CardLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The processes other than `self` that hold a lock of flock on the file (dev_t numbers as
// major and minor, and the inode), from the text of /proc/locks; waiting requests are not
// holders. Lines that do not read as the kernel writes them are passed over.
std::vector<pid_t> FlockHolders(std::string_view procLocks, unsigned major, unsigned minor,
                                unsigned long inode, pid_t self);

// "kestra (process 1234)" for each holder of a lock on the open file, joined with " and ";
// "another program" when the holders cannot be found out.
std::string DescribeCardHolders(int fd);

}  // namespace kestra::platform
