#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <ctime>

namespace kestra::platform {
namespace {

class SystemClockImpl : public Clock {
  public:
    std::uint32_t tickCount() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    LocalTime localTime() override {
        auto now = std::chrono::system_clock::now();
        std::time_t seconds = std::chrono::system_clock::to_time_t(now);
        std::tm parts{};
        localtime_r(&seconds, &parts);
        auto millis =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000;
        return {static_cast<std::uint16_t>(parts.tm_year + 1900),
                static_cast<std::uint16_t>(parts.tm_mon + 1),
                static_cast<std::uint16_t>(parts.tm_wday),
                static_cast<std::uint16_t>(parts.tm_mday),
                static_cast<std::uint16_t>(parts.tm_hour),
                static_cast<std::uint16_t>(parts.tm_min),
                static_cast<std::uint16_t>(parts.tm_sec),
                static_cast<std::uint16_t>(millis)};
    }
};

std::atomic<Clock*> current{nullptr};

}  // namespace

Clock& SystemClock() {
    static SystemClockImpl clock;
    return clock;
}

Clock& CurrentClock() {
    Clock* clock = current.load();
    return clock ? *clock : SystemClock();
}

Clock* SetClock(Clock* clock) {
    return current.exchange(clock);
}

}  // namespace kestra::platform

DWORD GetTickCount() {
    return kestra::platform::CurrentClock().tickCount();
}

void GetLocalTime(SYSTEMTIME* time) {
    if (!time) return;
    auto t = kestra::platform::CurrentClock().localTime();
    *time = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
}
