#include "platform/clock.h"

#include <gtest/gtest.h>

using kestra::platform::ManualClock;
using kestra::platform::ScopedClock;

TEST(Clock, AnInstalledClockDrivesTicksAndLocalTimeUntilRemoved) {
    ManualClock clock(1000, {2026, 12, 2, 8, 14, 30, 5, 250});
    {
        ScopedClock use(clock);
        EXPECT_EQ(GetTickCount(), 1000u);
        clock.advance(0xFFFFFFFFu - 999u + 5u);  // the tick count wraps like the original's
        EXPECT_EQ(GetTickCount(), 5u);
        SYSTEMTIME now;
        GetLocalTime(&now);
        EXPECT_EQ(now.wYear, 2026);
        EXPECT_EQ(now.wMonth, 12);
        EXPECT_EQ(now.wDay, 8);
        EXPECT_EQ(now.wHour, 14);
        EXPECT_EQ(now.wSecond, 5);
    }
    EXPECT_EQ(&kestra::platform::CurrentClock(), &kestra::platform::SystemClock());
    SYSTEMTIME real;
    GetLocalTime(&real);
    EXPECT_GE(real.wYear, 2024);
}
