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

}  // namespace skh::platform
