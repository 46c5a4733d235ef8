// The operations on a stand's options: which option an aircraft matches, the
// size test, and how options are inserted, coupled and widened.
#include "traffic/stand_options.hpp"

#include <gtest/gtest.h>

#include <gsl/narrow>
#include <limits>
#include <stdexcept>

#include "aircraft/dbase.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

StandOption opt(std::uint32_t seq, std::uint32_t real, std::string cs, std::string cs2, std::string reg = "HBJNA",
                std::uint32_t day = 3, std::uint64_t hours = 1ull << 20) {
    StandOption o;
    o.airline = "SWR";
    o.type = "A320";
    o.registration = std::move(reg);
    o.callsign = std::move(cs);
    o.secondCallsign = std::move(cs2);
    o.halfHours = hours;
    o.seq = seq;
    o.weekday = day;
    o.real = real;
    return o;
}

IdentStrings aircraft(std::string callsign, std::string reg) {
    IdentStrings a;
    a.airline = "DLH";
    a.type = "A321";
    a.callsign = std::move(callsign);
    a.registration = std::move(reg);
    return a;
}

TEST(StandOptions, WhichOptionsAnAircraftMatches) {
    struct Case {
        const char* label;
        StandOption option;
        const char* callsign;
        const char* airline;
        const char* type;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"first callsign", opt(1, 1, "SWR12", "LX12"), "SWR12", "", "", true},
        {"second callsign", opt(1, 1, "SWR12", "LX12"), "LX12", "", "", true},
        {"airline and type", opt(1, 1, "SWR12", ""), "EZY1", "SWR", "A320", true},
        {"airline alone", opt(1, 1, "SWR12", ""), "EZY1", "SWR", "A321", false},
        {"withdrawn", opt(0, 1, "SWR12", ""), "SWR12", "SWR", "A320", false},
        {"soft", opt(1, 0, "SWR12", ""), "SWR12", "SWR", "A320", false},
        {"no callsign on either side", opt(1, 1, "", ""), "", "EZY", "A320", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(lf_optionMatches(c.callsign, c.airline, c.type, c.option), c.matches);
    }
}

TEST(StandOptions, ARegistrationIsSeenAroundItsSlotsOnItsWeekday) {
    const StandOption at20 = opt(1, 1, "", "", "HBJNA", 3, 1ull << 20);
    const StandOption at0 = opt(1, 1, "", "", "HBJNA", 3, 1ull << 0);
    struct Case {
        const StandOption& option;
        std::uint32_t day, slot;
        const char* reg;
        bool seen;
    };
    const std::vector<Case> cases = {
        {at20, 3, 19, "HBJNA", true},  {at20, 3, 20, "HBJNA", true},  {at20, 3, 21, "HBJNA", true},
        {at20, 3, 22, "HBJNA", false}, {at20, 4, 20, "HBJNA", false}, {at20, 3, 20, "HBJNB", false},
        {at0, 3, 47, "HBJNA", true},   {at0, 3, 1, "HBJNA", true},    {at0, 3, 2, "HBJNA", false},
        {at0, 3, 48, "HBJNA", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "day " << c.day << " slot " << c.slot << " " << c.reg);
        EXPECT_EQ(lf_optionSeenAround(c.day, c.slot, c.reg, c.option), c.seen);
    }
}

TEST(StandOptions, ATypeFitsAStandOfItsOwnSizeStep) {
    const double m = 1.0 / 1852.0;
    struct Case {
        double radiusM, spanM;
        bool fits;
    };
    const std::vector<Case> cases = {
        {18.0, 18.0, true}, {16.3, 18.0, true},  {16.1, 18.0, false},  // at most 1.8 m too small
        {28.4, 18.0, true}, {28.6, 18.0, false},                       // less than half of 21 m larger
        {23.9, 17.0, true}, {24.1, 17.0, false},                       // less than half of 14 m larger
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.radiusM << " m for " << c.spanM << " m");
        Stand s;
        s.radius = c.radiusM * m;
        EXPECT_EQ(lf_radiusStepFits(s, c.spanM * m), c.fits);
    }
    Stand s;
    s.radius = 30 * m;
    EXPECT_THROW(lf_radiusStepFits(s, -std::numeric_limits<double>::infinity()), gsl::narrowing_error);
}

TEST(StandOptions, InsertingCouplingAndWideningOptions) {
    g_dbaseRecords["HB-JNA"] = DbaseRecord{"SWR", "B77W", "EDW", false};
    test::ScopedLog log;
    std::vector<StandOption> options;
    EXPECT_EQ(lf_insertStandOption(options, aircraft("DLH4_", ""), "", 2, 20, 0, 1), std::make_pair(0u, false));
    EXPECT_EQ(lf_insertStandOption(options, aircraft("DLH4_", "DAIPA"), "DAIPA", 2, 20, 0, 1),
              std::make_pair(1u, true));
    EXPECT_EQ(options[0].callsign, "DLH4");
    EXPECT_EQ(options[0].airline, "DLH");
    EXPECT_EQ(options[0].halfHours, 1ull << 20);
    EXPECT_EQ(lf_insertStandOption(options, aircraft("DLH4", "DAIPA"), "DAIPA", 2, 20, 0, 1),
              std::make_pair(0u, false));  // the same again
    EXPECT_EQ(lf_insertStandOption(options, aircraft("EDW1", "HBJNA"), "HBJNA", 2, 21, 0, 0), std::make_pair(2u, true));
    EXPECT_EQ(options[1].airline, "EDW");  // the database's operator and type
    EXPECT_EQ(options[1].type, "B77W");
    EXPECT_EQ(options[1].real, 0u);
    EXPECT_THROW(lf_insertStandOption(options, aircraft("X", "Y"), "Y", 2, 48, 0, 1), std::out_of_range);

    lf_makeStandOption(options, 2, "SWR1_");
    lf_makeStandOption(options, 2, "EDW1");
    EXPECT_EQ(options[1].secondCallsign, "SWR1");
    lf_makeStandOption(options, 2, "LX1");  // a third replaces the second
    EXPECT_EQ(options[1].callsign, "EDW1");
    EXPECT_EQ(options[1].secondCallsign, "LX1");

    EXPECT_TRUE(updateOptions(options, {21, 22, 23}, 1));
    EXPECT_EQ(options[0].halfHours, 0b1111ull << 20);
    EXPECT_FALSE(updateOptions(options, {1}, 9));
    EXPECT_FALSE(updateOptions(options, {24, 48}, 1));
    EXPECT_TRUE(log.contains("updateOptions exception:invalid bitset position"));

    // Stay from 23:00 (slot 46) to 01:00 (slot 2) of the next day: the old
    // day's option gets 46 and 47, the new one 0 and 1 (it has 2 already).
    std::vector<StandOption> stay = {opt(1, 1, "SWR12", "", "HBJNA", 3, 1ull << 46),
                                     opt(2, 1, "", "", "HBJNA", 4, 1ull << 2)};
    lf_buildOptionList(stay, 46, "LX12_", 2, 1, 2);
    EXPECT_EQ(stay[0].halfHours, 0b11ull << 46);
    EXPECT_EQ(stay[1].halfHours, 0b111ull);
    EXPECT_EQ(stay[0].secondCallsign, "LX12");
    EXPECT_EQ(stay[1].callsign, "LX12");
    lf_buildOptionList(stay, 50, "LX12", 2, 1, 2);
    EXPECT_TRUE(log.contains("updateOptionsWrapped exception:invalid bitset position"));
    gf_clearDbase();
}

}  // namespace
}  // namespace skh
