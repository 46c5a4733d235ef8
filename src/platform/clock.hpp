#pragma once
// Wall-clock and calendar access.
#include <cstdint>
#include <ctime>

namespace skh::platform {

// Seconds since 1970-01-01 00:00:00 UTC of the PC clock.
std::int64_t utcNowSeconds();

// Breaks `seconds` since 1970 into UTC calendar fields; false when the value
// cannot be represented.
bool utcCalendar(std::int64_t seconds, std::tm& out);

// The 1 ms system timer resolution the main loop asks for while it runs.
// The steady clock's sleeps are that fine here already, so it changes
// nothing; it marks where the Windows side sets and restores it.
class TimerResolutionGuard {
public:
    TimerResolutionGuard() = default;
    ~TimerResolutionGuard() = default;
    TimerResolutionGuard(const TimerResolutionGuard&) = delete;
    TimerResolutionGuard& operator=(const TimerResolutionGuard&) = delete;
};

}  // namespace skh::platform
