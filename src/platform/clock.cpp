#include "platform/clock.hpp"

#include <chrono>
#include <limits>

namespace skh::platform {

std::int64_t utcNowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

bool utcCalendar(std::int64_t seconds, std::tm& out) {
    // The Windows call accepts times from 1970 up to year 3000.
    constexpr std::int64_t kMax = 32535215999;  // 3000-12-31 23:59:59
    if (seconds < 0 || seconds > kMax) return false;
    const auto t = static_cast<std::time_t>(seconds);
    return gmtime_r(&t, &out) != nullptr;
}

}  // namespace skh::platform
