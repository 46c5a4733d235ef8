#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/clock.hpp"

namespace skh {
namespace {

// 2024-01-01 was a Monday.
constexpr std::int64_t kMon20240101 = 1704067200;

TEST(TimeText, FormatsUtcWithTheProgramsNameTables) {
    EXPECT_EQ(gf_timeText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(gf_timeText(kMon20240101), "Mon Jan 01 00:00:00 2024");
    EXPECT_EQ(gf_timeText(kMon20240101 + 6 * 86400 + 3723), "Sun Jan 07 01:02:03 2024");
    // October is spelt "Okt".
    EXPECT_EQ(gf_timeText(1728000000), "Fri Okt 04 00:00:00 2024");
    EXPECT_EQ(gf_timeText(-1), "Invalid time");
    EXPECT_EQ(gf_timeText(std::numeric_limits<std::int64_t>::max()), "Invalid time");
}

TEST(TimeText, DateAndTimeOfDayHaveTheirFixedForms) {
    const std::string date = gf_dateText();  // "Mmm dd, yyyy"
    ASSERT_EQ(date.size(), 12u);
    EXPECT_EQ(date.substr(6, 2), ", ");
    const std::string tod = gf_utcTimeOfDay();
    ASSERT_EQ(tod.size(), 8u);
    EXPECT_EQ(tod[2], ':');
    EXPECT_EQ(tod[5], ':');
}

struct SlotCase {
    std::int64_t offset;  // seconds after Monday 00:00:00
    std::int32_t weekday;
    std::int32_t slot;
};

TEST(TimeText, WeekdayAndHalfHourSlot) {
    const SlotCase cases[] = {
        {0, 1, 0},
        {29 * 60 + 29, 1, 0},
        {29 * 60 + 30, 1, 1},
        {10 * 3600 + 29 * 60 + 29, 1, 20},
        {10 * 3600 + 29 * 60 + 30, 1, 21},
        {23 * 3600 + 59 * 60 + 59, 1, 47},
        {6 * 86400 + 12 * 3600, 7, 24},  // Sunday is 7
        {5 * 86400 + 45 * 60, 6, 1},
    };
    for (const auto& c : cases) {
        const std::uint64_t ws = gf_weekdayAndSlotAt(kMon20240101 + c.offset);
        EXPECT_EQ(gf_weekdayOf(ws), c.weekday) << c.offset;
        EXPECT_EQ(gf_slotOf(ws), c.slot) << c.offset;
    }
    const std::uint64_t bad = gf_weekdayAndSlotAt(-5);
    EXPECT_EQ(gf_weekdayOf(bad), -1);
    EXPECT_EQ(gf_slotOf(bad), -1);
}

TEST(TimeText, TimeSourceFallsBackToThePcClockForImplausibleTrafficTimes) {
    g_rtProfessional = true;
    const std::int64_t pcNow = platform::utcNowSeconds();
    g_trafficTime = kMon20240101 + 0.75;
    EXPECT_EQ(gf_timeSourceNow(), kMon20240101);
    for (const double bad : {0.4, 0.0, -10.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e300}) {
        g_trafficTime = bad;
        EXPECT_GE(gf_timeSourceNow(), pcNow) << bad;
    }
    g_rtProfessional = false;
    g_trafficTime = kMon20240101;
    EXPECT_GE(gf_timeSourceNow(), pcNow);
    g_trafficTime = 0.0;
}

}  // namespace
}  // namespace skh
