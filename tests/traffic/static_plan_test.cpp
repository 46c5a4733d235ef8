// The static parking plan: the wanted count, the rounds into the past with
// the weekday wrap, WEEK, helipads, the identity test, collisions with
// static neighbours, the coupled callsign of a live aircraft, and stand
// files that cannot give what is wanted.
#include "traffic/static_plan.hpp"

#include <gtest/gtest.h>

#include "foundation/main_window_state.hpp"
#include "static_fixture.hpp"
#include "traffic/stand_side.hpp"

namespace skh {
namespace {

using test::ScopedSetting;
using test::StaticParkingTest;

class StaticPlan : public StaticParkingTest {
protected:
    static std::string stands(int count, const std::string& options = "") {
        std::string out = "<parkpositions>";
        for (int i = 1; i <= count; ++i) out += stand(skh::format("S{}", i), i, options);
        return out + "</parkpositions>";
    }
};

TEST_F(StaticPlan, WantedCount) {
    struct Case {
        int stands, percent, custom, maxPark;
        std::int64_t wanted;
        int shownPercent;
    };
    for (const Case& c : {Case{10, 30, -1, 100, 3, 30}, Case{3, 30, -1, 100, 1, 33}, Case{3, 50, -1, 100, 2, 67},
                          Case{10, 30, -1, 0, 0, 30}, Case{0, 50, -1, 100, 1, 0}, Case{1, 0, -1, 100, 1, 100},
                          Case{20, 30, 100, 500, 20, 100}, Case{100, 50, -1, 10, 10, 10}}) {
        SCOPED_TRACE(skh::format("{} stands, {} %, custom {}, max {}", c.stands, c.percent, c.custom, c.maxPark));
        loadStands(stands(c.stands));
        parking_percentage.value = c.percent;
        CUSTOM_PARKING_PERCENTAGE.value = c.custom;
        MAX_PARK_SEL.value = c.maxPark;
        EXPECT_EQ(lf_wantedStaticCount(), c.wanted);
        EXPECT_EQ(g_mainWindowState.maxParkCount.load(), c.wanted);
        EXPECT_EQ(g_mainWindowState.maxParkPercent.load(), c.shownPercent);
    }
}

TEST_F(StaticPlan, RoundsGoBackOverMidnightIntoTheDayBefore) {
    setTime(1, 0);  // Monday 00:10
    loadStands("<parkpositions>" + stand("A1", 1, opt("D-AAA1", "DLH", "A320", 7, "47", "DLH1")) +
               stand("A2", 2, opt("D-AAA2", "DLH", "A320", 1, "0", "DLH2:DLH3")) +
               stand("A3", 3, opt("D-AAA3", "DLH", "A320", 5, "0", "DLH4")) + "</parkpositions>");
    parking_percentage.value = 100;
    lf_showParkingParams();
    ASSERT_EQ(planStands(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(g_parkPositions[0].fitOffset, 1u);  // Sunday 23:30, one round back
    EXPECT_EQ(g_parkPositions[1].stays, 0);       // no option for 00:30
    EXPECT_TRUE(log.contains("It is day 1 (Mon), 0.5 hours"));
    EXPECT_TRUE(log.contains("2 real positions found, Max fit=24 hours, day 1, hh:0 or 0.5 hrs, fit: 24 hour"));

    // WEEK: any weekday fits, and the log says so.
    ScopedSetting<BoolParameter, bool> anyDay(WEEK, true);
    lf_showParkingParams();
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A1", "A2", "A3"}));
    EXPECT_TRUE(log.contains("3 real positions found, Max fit=24 hours, week, hh:0 or 0.5 hrs, fit: 1 hour"));

    // Staying into the next half-hour at 23:30 asks Monday's options of the
    // same airline and type for the first half-hour.
    setTime(7, 47);
    loadStands(
        "<parkpositions>" +
        stand("A1", 1,
              opt("D-AAA1", "DLH", "A320", 7, "46,47", "DLH1:DLH2") + opt("D-AAA9", "DLH", "A320", 1, "0", "DLH1")) +
        stand("A2", 2, opt("D-AAA2", "DLH", "A320", 7, "47", "DLH5:DLH6")) + "</parkpositions>");
    lf_showParkingParams();
    ASSERT_EQ(planStands(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(g_parkPositions[0].stays, 1);
    EXPECT_EQ(g_parkPositions[1].stays, 0);
}

TEST_F(StaticPlan, HelipadsOnlyWithHelicopters) {
    parking_percentage.value = 100;
    loadStands("<parkpositions>" + stand("H1", 1, opt("HB-ZZZ", "REG", "EC35", 3, "20", "REGA1"), R"(heli="true")") +
               stand("H2", 2, opt("HB-ZZY", "REG", "EC35", 3, "20", "REGA2"), R"(heli="true")") + "</parkpositions>");
    lf_showParkingParams();
    EXPECT_TRUE(g_parkPositions.empty());
    EXPECT_TRUE(log.contains("no parking positions found"));
    EXPECT_EQ(busy, std::vector<bool>{false});
    ScopedSetting<BoolParameter, bool> heli(HELICOPTERS, true);
    lf_showParkingParams();
    EXPECT_EQ(planStands(), (std::vector<std::string>{"H1", "H2"}));
}

TEST_F(StaticPlan, BestFitsLastAndNoMoreThanWanted) {
    // Five stands at 60 %: three wanted of five found, the oldest go.
    loadStands("<parkpositions>" + stand("A1", 1, opt("R1", "AAL", "A320", 3, "12", "AAL1")) +
               stand("A2", 2, opt("R2", "BAW", "A320", 3, "20", "BAW1")) +
               stand("A3", 3, opt("R3", "CSA", "A320", 3, "19", "CSA1")) +
               stand("A4", 4, opt("R4", "DAL", "A320", 3, "5", "DAL1")) +
               stand("A5", 5, opt("R5", "EIN", "A320", 3, "20", "EIN1")) + "</parkpositions>");
    parking_percentage.value = 60;
    lf_showParkingParams();
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A3", "A2", "A5"}));
    EXPECT_EQ(g_parkPositions.front().fitOffset, 1u);
    EXPECT_EQ(g_parkPositions.back().fitOffset, 0u);

    // MAX_FIT bounds the rounds: nothing older than one half-hour.
    MAX_FIT.value = 1;
    parking_percentage.value = 100;
    lf_showParkingParams();
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A3", "A2", "A5"}));
    EXPECT_TRUE(log.contains("3 positions (60% vs wanted 100%, with Max fit=1 hours)"));
}

TEST_F(StaticPlan, IdentitiesInUseAreSkippedUntilRenumbered) {
    loadStands("<parkpositions>" + stand("A1", 1, opt("D-AAA1", "DLH", "A320", 3, "20", "DLH1")) +
               stand("A2", 2, opt("D-AAA1", "DLH", "A320", 3, "20", "DLH9")) +
               stand("A3", 3, opt("G-ABCD", "BAW", "A320", 3, "20", "BAW7:BAW8")) +
               stand("A4", 4, opt("F-GHIJ", "AFR", "A320", 3, "20", "AFR5")) +
               stand("A5", 5, opt("EI-ABC", "EIN", "A320", 3, "20", "EIN3")) +
               stand("A6", 6, opt("", "EZY", "A320", 3, "20", "EZY4")) +
               stand("A7", 7, opt("", "", "A320", 3, "20", "")) + "</parkpositions>");
    parking_percentage.value = 100;
    parkedLive(40001, "AFR5", "A4", 3, AcState::flying).standId = 0;  // a live AFR5 is about
    activeStatic(1, "EIN3*", "A5", weekSlot(3, 20)).secondCallsign = "EIN3";
    lf_noteCoupledCallsign("BAW8_");  // coupled to a live aircraft since the last plan
    lf_showParkingParams();
    // A2 has A1's registration, BAW8 is coupled, AFR5 flies, EIN3 stands;
    // an option without registration and callsign is no one's.
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A1", "A6", "A7"}));
    for (const char* name : {"A2", "A3", "A4", "A5"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(standNamed(name).options.front().skip);
        EXPECT_EQ(standNamed(name).options.front().seq, 1u);
    }
    EXPECT_TRUE(lf_callsignInCoupledMap("BAW8"));
    // A parked live aircraft's callsign is in use too.
    g_parkedLive = {{"EZY4", 99, 1}};
    EXPECT_TRUE(lf_identityInUse(standNamed("A6").options.front(), {}));
    g_parkedLive.clear();

    // The next plan without new coupled callsigns: the skip marks stay until
    // an adjustment renumbers the options.
    lf_showParkingParams();
    EXPECT_FALSE(lf_callsignInCoupledMap("BAW8"));
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A1", "A6", "A7"}));
    gf_parkingAdjustments();
    EXPECT_FALSE(standNamed("A3").options.front().skip);
    const auto plan = planStands();
    EXPECT_NE(std::find(plan.begin(), plan.end(), "A3"), plan.end());
}

TEST_F(StaticPlan, NoAircraftWhereAStaticNeighbourWouldTouchIt) {
    // A2 lies 11 m from A1; a B744 on A1 leaves room for nothing beside it.
    loadStands("<parkpositions>" + stand("A1", 1, "") +
               R"(<parkpos id="A2" latitude="47.451100" longitude="8.55" heading="90" radius="30">)" +
               opt("D-AAA1", "DLH", "A320", 3, "20", "DLH1") + "</parkpos>" +
               stand("A3", 3, opt("D-AAA2", "DLH", "C172", 3, "20", "DLH2")) + "</parkpositions>");
    adjacent("A1", "A2");
    parking_percentage.value = 100;
    activeStatic(1, "BAW1*", "A1", weekSlot(3, 20), "B744");
    lf_showParkingParams();
    EXPECT_EQ(planStands(), std::vector<std::string>{"A3"});
    EXPECT_FALSE(standNamed("A2").options.front().skip);
}

TEST_F(StaticPlan, CoupledCallsignAroundThisTime) {
    loadStands("<parkpositions>" +
               stand("A1", 1,
                     opt("D-AAA1", "DLH", "A320", 3, "31", "DLH100:DLH101") +
                         opt("D-AAA2", "DLH", "B744", 3, "34", "DLH200:DLH201")) +
               stand("A2", 2, opt("D-AAA3", "DLH", "A320", 2, "20", "DLH300:DLH301")) + "</parkpositions>");
    struct Case {
        const char* callsign;
        const char* type;
        const char* second;
        const char* extra;
    };
    for (const Case& c : {Case{"DLH100_", "A320", "", ""},             // slot 31 is 11 half-hours away
                          Case{"DLH201", "B744", "DLH200", "DLH201"},  // a heavy looks 14 either side
                          Case{"DLH300", "A320", "", ""}}) {           // another weekday
        SCOPED_TRACE(c.callsign);
        LiveAc& ac =
            parkedLive(40000 + static_cast<std::uint32_t>(g_liveAc.size()), c.callsign, "A2", 0, AcState::flying);
        ac.type = c.type;
        ac.category = std::string(c.type) == "B744" ? CatHeavy : CatLarge;
        ac.secondCallsign.clear();
        lf_searchForCoupledCsAroundThisTime(ac, g_weekSlot);
        EXPECT_EQ(ac.secondCallsign, c.second);
        EXPECT_EQ(ac.extraCallsign, c.extra);
    }
    setTime(3, 22);
    LiveAc& ghost = parkedLive(40009, "DLH100_", "A2", 0, AcState::flying);
    lf_searchForCoupledCsAroundThisTime(ghost, g_weekSlot);
    EXPECT_EQ(ghost.secondCallsign, "DLH100");
    EXPECT_EQ(ghost.extraCallsign, "DLH101");
    // The next plan takes the coupled callsigns over: with "_" or without.
    lf_takeOverCoupledCallsigns();
    EXPECT_TRUE(lf_callsignInCoupledMap("DLH100"));
    EXPECT_TRUE(lf_callsignInCoupledMap("DLH201"));
    EXPECT_FALSE(lf_callsignInCoupledMap("DLH300"));
}

TEST_F(StaticPlan, StandFilesThatCannotGiveWhatIsWanted) {
    // No stands at all.
    g_stands.clear();
    lf_showParkingParams();
    EXPECT_TRUE(g_parkPositions.empty());
    EXPECT_EQ(g_mainWindowState.maxParkPercent.load(), 0);

    // 20 stands, 500 allowed, all wanted: only five have options; one of
    // them a type without livery, one an unknown registration and type.
    std::string text = "<parkpositions>";
    for (int i = 1; i <= 20; ++i) {
        std::string o;
        if (i == 3) o = opt("D-AAA3", "DLH", "A320", 3, "20", "DLH3");
        if (i == 6) o = opt("N-UNKNOWN", "XXX", "ZZZZ", 3, "20", "XXX6");
        if (i == 9) o = opt("D-AAA9", "DLH", "CRJ9", 3, "20", "DLH9");
        if (i == 12) o = opt("D-AAB2", "DLH", "A320", 3, "2", "DLH12");
        if (i == 15) o = opt("D-AAB5", "DLH", "A320", 3, "20", "DLH15", true);
        text += stand(skh::format("S{}", i), i, o);
    }
    loadStands(text + "</parkpositions>");
    MAX_PARK_SEL.value = 500;
    CUSTOM_PARKING_PERCENTAGE.value = 100;
    noLivery.insert("CRJ9");
    lf_showParkingParams();
    EXPECT_EQ(g_mainWindowState.maxParkCount.load(), 20);
    EXPECT_EQ(planStands(), (std::vector<std::string>{"S12", "S3", "S6", "S9", "S15"}));
    EXPECT_TRUE(log.contains("4 real positions found"));
    EXPECT_TRUE(log.contains("5 positions (25% vs wanted 50%"));
    polls(251);
    std::vector<std::string> callsigns;
    for (const AddRequest& r : port.creates) callsigns.push_back(r.callsign);
    EXPECT_EQ(callsigns, (std::vector<std::string>{"DLH15*", "XXX6*", "DLH3*", "DLH12*"}));
    EXPECT_EQ(g_staticAc.size(), 4u);
    EXPECT_TRUE(g_parkPositions.empty());
}

}  // namespace
}  // namespace skh
