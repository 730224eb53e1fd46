#include "platform/hold_point.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string>

namespace kestra::platform {

namespace {

struct Hold {
    std::string point;
    int ready = -1;
    int go = -1;
};

std::optional<int> Descriptor(std::string_view text) {
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

// POINT:READY:GO, or nothing when the variable is not set or not of that form.
std::optional<Hold> Configured() {
    const char* value = std::getenv(kHoldVariable);
    if (!value) return std::nullopt;
    const std::string_view text(value);
    const auto second = text.rfind(':');
    if (second == std::string_view::npos || second == 0) return std::nullopt;
    const auto first = text.rfind(':', second - 1);
    if (first == std::string_view::npos) return std::nullopt;
    const auto ready = Descriptor(text.substr(first + 1, second - first - 1));
    const auto go = Descriptor(text.substr(second + 1));
    if (!ready || !go) return std::nullopt;
    return Hold{std::string(text.substr(0, first)), *ready, *go};
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

void HoldPoint(std::string_view point) {
    const std::optional<Hold> hold = Configured();
    static std::atomic<bool> held{false};
    if (!hold || hold->point != point || held.exchange(true)) return;
    WriteAll(hold->ready, hold->point + " " + std::to_string(::getpid()) + "\n");
    char byte = 0;
    while (::read(hold->go, &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace kestra::platform
