// Time as the suite sees it: a millisecond tick count and the local calendar time, both read
// through one replaceable clock, so that timers and images that record the time of saving can
// be tested exactly.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace kestra::platform {

struct LocalTime {
    std::uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint32_t tickCount() = 0;  // milliseconds, wrapping at 2^32
    virtual LocalTime localTime() = 0;
};

// The system's clock.
Clock& SystemClock();
// The clock in use; SetClock(nullptr) goes back to the system clock. Returns the previous one.
Clock& CurrentClock();
Clock* SetClock(Clock* clock);

// A clock that moves only when told to.
class ManualClock : public Clock {
  public:
    explicit ManualClock(std::uint32_t ticks = 0, LocalTime time = {2000, 1, 6, 1, 0, 0, 0, 0})
        : ticks_(ticks), time_(time) {}
    std::uint32_t tickCount() override { return ticks_; }
    LocalTime localTime() override { return time_; }
    void advance(std::uint32_t milliseconds) { ticks_ += milliseconds; }
    void setTime(const LocalTime& time) { time_ = time; }

  private:
    std::uint32_t ticks_;
    LocalTime time_;
};

// Installs a clock for one scope.
class ScopedClock {
  public:
    explicit ScopedClock(Clock& clock) : previous_(SetClock(&clock)) {}
    ~ScopedClock() { SetClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    Clock* previous_;
};

}  // namespace kestra::platform

struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

DWORD GetTickCount();
void GetLocalTime(SYSTEMTIME* time);
