// Which stand a live aircraft is given at a position, and which stand an
// aircraft of a size most likely used at a half-hour.
#include "traffic/stand_choice.hpp"

#include <gtest/gtest.h>

#include "airports/airport.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "traffic/stand_learning.hpp"
#include "traffic/stand_lookup.hpp"

namespace skh {
namespace {

constexpr double kM = 1.0 / 1852.0;     // one metre in nm
constexpr double kDegPerM = kM / 60.0;  // one metre of latitude in degrees
constexpr GeoPos kHere{47.0, 8.0};

Stand stand(const char* name, double northM, double radiusM, bool heli = false, bool ramp = false, bool cargo = false) {
    Stand s = gf_makeStand(name, {}, kHere.lat + northM * kDegPerM, kHere.lon, 0.0, radiusM, cargo, ramp, heli);
    return s;
}

FlightIdent aircraft(double halfSpanM, AircraftCategory category = CatLarge, const char* callsign = "SWR12") {
    FlightIdent a;
    a.wingspan = halfSpanM * kM;
    a.category = category;
    a.callsign = callsign;
    a.airline = "SWR";
    a.type = "A320";
    return a;
}

StandOption option(const char* callsign, std::uint32_t day, std::uint32_t slot) {
    StandOption o;
    o.callsign = callsign;
    o.airline = "EZY";
    o.type = "A319";
    o.seq = 1;
    o.weekday = day;
    o.halfHours = 1ull << slot;
    o.real = 1;
    return o;
}

std::uint64_t weekSlot(std::uint32_t day, std::uint32_t slot) { return day | std::uint64_t{slot} << 32; }

class StandChoice : public ::testing::Test {
protected:
    void TearDown() override {
        g_stands.clear();
        RANDOM.value = true;
        gf_clearParkAirport();
        g_learnedChanges = 0;  // a stand that grew counts as learned
    }
    static const char* nameOf(const Stand* s) { return s != nullptr ? s->name.c_str() : "none"; }
};

TEST_F(StandChoice, AFreeStandThatFitsIsTakenAtThePosition) {
    struct Case {
        const char* label;
        std::vector<Stand> stands;
        FlightIdent ac;
        double maxNm;
        bool allowMatch;
        const char* expected;
    };
    Stand busy = stand("B", 2, 18);
    busy.occupied = true;
    Stand withOption = stand("M", 60, 18);
    withOption.options.push_back(option("SWR12", 1, 1));
    const std::vector<Case> cases = {
        {"the nearest that fits",
         {stand("A", 30, 18), stand("B", 10, 18), stand("C", 25, 10)},
         aircraft(17),
         kStandCatchNm,
         false,
         "B"},
        {"occupied stands are passed over", {busy, stand("A", 30, 18)}, aircraft(17), kStandCatchNm, false, "A"},
        {"nothing within the distance", {stand("A", 60, 18)}, aircraft(17), kStandCatchNm, false, "none"},
        {"too small only within 20 m", {stand("S", 25, 10)}, aircraft(17), kStandCatchNm, false, "none"},
        {"too small within 20 m", {stand("S", 15, 10)}, aircraft(17), kStandCatchNm, false, "S"},
        {"a helipad is no stand for an aeroplane",
         {stand("H", 5, 18, true), stand("A", 20, 18)},
         aircraft(17),
         kStandCatchNm,
         false,
         "none"},
        {"rotorcraft park on helipads only",
         {stand("A", 5, 18)},
         aircraft(6, CatRotorcraft),
         kStandCatchNm,
         false,
         "none"},
        {"a helipad for a rotorcraft",
         {stand("H", 5, 18, true)},
         aircraft(6, CatRotorcraft),
         kStandCatchNm,
         false,
         "H"},
        {"a stand whose option matches, within 85 m", {withOption}, aircraft(17), kStandCatchNm, true, "M"},
        {"only while matching is allowed", {withOption}, aircraft(17), kStandCatchNm, false, "none"},
        {"not for another callsign", {withOption}, aircraft(17, CatLarge, "DLH4"), kStandCatchNm, true, "none"},
        {"a stand at the position wins over a match",
         {withOption, stand("A", 40, 18)},
         aircraft(17),
         kStandCatchNm,
         true,
         "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        g_stands = c.stands;
        EXPECT_STREQ(nameOf(lf_findFreeStand(kHere, c.ac, c.maxNm, c.allowMatch)), c.expected);
    }
}

TEST_F(StandChoice, ATooSmallStandTakenGrowsToTheAircraft) {
    g_stands = {stand("S", 15, 10)};
    const std::int32_t before = g_learnedChanges.load();
    ASSERT_EQ(lf_findFreeStand(kHere, aircraft(17), kStandCatchNm, false), &g_stands[0]);
    EXPECT_NEAR(g_stands[0].radius / kM, 16.0, 1e-9);  // half span less 1 m
    EXPECT_TRUE(g_stands[0].radiusChanged);
    EXPECT_EQ(g_learnedChanges.load(), before + 1);
}

TEST_F(StandChoice, TheStandBySizeFollowsTheAircraftsKind) {
    RANDOM.value = false;  // every random choice takes its first way
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.0, 8.0, 1416.0});
    Stand cargoStand = stand("C", 0, 30, false, false, true);
    g_stands = {stand("G1", 0, 30), stand("G2", 0, 19), stand("R1", 0, 18, false, true), stand("H1", 0, 8, true),
                cargoStand};
    struct Case {
        const char* label;
        FlightIdent ac;
        const char* expected;
    };
    FlightIdent freighter = aircraft(30);
    freighter.cargo = 1;
    FlightIdent privateJet = aircraft(17);
    privateJet.airline = "PVT";
    const std::vector<Case> cases = {
        {"an airliner at the closest gate", aircraft(18), "G2"},
        {"a larger airliner", aircraft(29), "G1"},
        {"a freighter", freighter, "C"},
        {"a private aircraft on a ramp", privateJet, "R1"},
        {"a light aircraft on a ramp", aircraft(5, CatLight), "R1"},
        {"a helicopter on a helipad", aircraft(5, CatRotorcraft), "H1"},
        {"an airliner too large for every gate takes any gate", aircraft(60), "G1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_STREQ(nameOf(lf_chooseStandBySize(weekSlot(3, 20), c.ac, false)), c.expected);
    }

    // Stands used at that half-hour are not free; a matching option is preferred.
    g_stands[1].options.push_back(option("X", 3, 20));
    EXPECT_STREQ(nameOf(lf_chooseStandBySize(weekSlot(3, 20), aircraft(18), false)), "G1");
    EXPECT_STREQ(nameOf(lf_chooseStandBySize(weekSlot(4, 20), aircraft(18), false)), "G2");
    g_stands[0].options.push_back(option("SWR12", 1, 1));
    g_stands[1].options.clear();
    EXPECT_STREQ(nameOf(lf_chooseStandBySize(weekSlot(3, 20), aircraft(18), false)), "G1");
}

TEST_F(StandChoice, ASmallAirportTriesTheNextHalfHour) {
    RANDOM.value = false;
    g_stands = {stand("G1", 0, 20)};
    g_stands[0].options = {option("X", 7, 47)};
    EXPECT_EQ(lf_chooseStandBySize(weekSlot(7, 47), aircraft(18), false), nullptr);
    g_stands[0].options[0].halfHours |= 1;  // Sunday 23:30 and Sunday 00:00; Monday 00:00 is free
    EXPECT_STREQ(nameOf(lf_chooseStandBySize(weekSlot(7, 47), aircraft(18), true)), "G1");
    g_stands[0].options.push_back(option("Y", 1, 0));
    EXPECT_EQ(lf_chooseStandBySize(weekSlot(7, 47), aircraft(18), true), nullptr);
}

TEST_F(StandChoice, ChoicesByChanceRepeatWithTheSameSeed) {
    RANDOM.value = true;
    gf_setParkAirport(Airport{"EGLL", "LHR", 47.0, 8.0, 83.0});
    for (int i = 0; i < 8; ++i) g_stands.push_back(stand(i < 4 ? "G" : "R", i, 20, false, i >= 4));
    for (std::size_t i = 0; i < g_stands.size(); ++i) g_stands[i].name += std::to_string(i);
    auto run = [] {
        std::string picks;
        for (int i = 0; i < 40; ++i) picks += lf_chooseStandBySize(weekSlot(2, 10), aircraft(19), false)->name + " ";
        return picks;
    };
    gf_seedRandom(7);
    const std::string first = run();
    gf_seedRandom(7);
    EXPECT_EQ(run(), first);
    EXPECT_NE(first.find('R'), std::string::npos);  // now and then the ramp first
    EXPECT_NE(first.find("G0"), std::string::npos);
    EXPECT_NE(first.find("G3"), std::string::npos);
}

}  // namespace
}  // namespace skh
