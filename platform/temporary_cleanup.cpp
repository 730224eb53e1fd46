#include "platform/temporary_cleanup.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

namespace kestra::platform {

namespace {

// A registration's name is written while the slot is Filling and read by the handler only
// while it is Named, so that the handler never sees half a name.
enum SlotState : int { kFree = 0, kFilling = 1, kNamed = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSlots = 32;
Slot slots[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// Only async-signal-safe calls here: unlink, sigaction, raise.
void RemoveTemporaries(int signal) {
    const int saved = errno;
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == kNamed) ::unlink(slot.path);
    errno = saved;
    if (signal == SIGXFSZ) return;  // the write past the limit fails with EFBIG instead
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    ::raise(signal);  // delivered with the default action once the handler returns
}

}  // namespace

void CleanUpTemporariesOnSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : kSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0) continue;
            const bool defaultAction =
                !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL;
            if (!defaultAction) continue;
            struct sigaction action {};
            action.sa_handler = RemoveTemporaries;
            sigemptyset(&action.sa_mask);
            for (int other : kSignals) sigaddset(&action.sa_mask, other);
            action.sa_flags = SA_RESTART;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

int RegisterTemporary(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire))
            continue;
        std::memcpy(slots[i].path, path, length + 1);
        slots[i].state.store(kNamed, std::memory_order_release);
        return i;
    }
    return -1;
}

void ForgetTemporary(int registration) {
    if (registration < 0 || registration >= kSlots) return;
    slots[registration].state.store(kFree, std::memory_order_release);
}

}  // namespace kestra::platform
