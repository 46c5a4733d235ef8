#include "foundation/time_text.hpp"

#include <cmath>
#include <ctime>

#include "foundation/format.hpp"
#include "foundation/upcalls.hpp"
#include "platform/clock.hpp"

namespace skh {

namespace {

constexpr const char* kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};

// Latest traffic timestamps beyond this are not plausible (year 3000).
constexpr double kLatestPlausible = 32535215999.0;

const char* weekdayName(int cWeekday) {
    const int w = cWeekday == 0 ? 7 : cWeekday;  // Monday 1 .. Sunday 7
    return (w >= 1 && w <= 7) ? kWeekdays[w - 1] : "???";
}

const char* monthName(int month) { return (month >= 0 && month < 12) ? kMonths[month] : "???"; }

std::string timeOfDayOf(std::int64_t seconds) {
    std::tm tm{};
    if (!platform::utcCalendar(seconds, tm)) return "Invalid time";
    return skh::format("{:02}:{:02}:{:02}", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

}  // namespace

std::int64_t gf_timeSourceNow() {
    if (g_rtProfessional.load()) {
        const double t = g_trafficTime.load();
        // The timestamp comes from the network: only a finite, plausible value
        // is converted to an integer.
        if (std::isfinite(t) && t >= 1.0 && t <= kLatestPlausible) return static_cast<std::int64_t>(t);
    }
    return platform::utcNowSeconds();
}

std::string gf_timeText(std::int64_t seconds) {
    std::tm tm{};
    if (!platform::utcCalendar(seconds, tm)) return "Invalid time";
    return skh::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", weekdayName(tm.tm_wday), monthName(tm.tm_mon),
                       tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
}

std::string gf_utcTimeOfDay() { return timeOfDayOf(platform::utcNowSeconds()); }

std::string gf_dateText() {
    std::tm tm{};
    if (!platform::utcCalendar(platform::utcNowSeconds(), tm)) return "Invalid time";
    return skh::format("{} {:02}, {}", monthName(tm.tm_mon), tm.tm_mday, tm.tm_year + 1900);
}

std::string gf_timeOfDay() { return timeOfDayOf(gf_timeSourceNow()); }

std::uint64_t gf_weekdayAndSlotAt(std::int64_t seconds) {
    std::tm tm{};
    std::int32_t weekday = -1;
    std::int32_t slot = -1;
    if (platform::utcCalendar(seconds, tm)) {
        weekday = tm.tm_wday == 0 ? 7 : tm.tm_wday;
        const bool secondHalf = tm.tm_min > 29 || (tm.tm_min == 29 && tm.tm_sec >= 30);
        slot = (2 * tm.tm_hour + (secondHalf ? 1 : 0)) % 48;
    }
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(slot)) << 32) |
           static_cast<std::uint32_t>(weekday);
}

constinit std::atomic<std::uint64_t> g_weekSlot{0};

std::uint64_t gf_weekdayAndSlot() { return gf_weekdayAndSlotAt(gf_timeSourceNow()); }

}  // namespace skh
