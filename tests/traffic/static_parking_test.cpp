// Placing and adjusting static aircraft: the callsigns of planned aircraft,
// records dropped next to other aircraft, the maximum of parked aircraft,
// the trimming of the adjustment, and the per-second check of taxiing
// aircraft against the static ones.
#include "traffic/static_parking.hpp"

#include <gtest/gtest.h>

#include <tuple>

#include "foundation/geo.hpp"
#include "foundation/main_window_state.hpp"
#include "static_fixture.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_side.hpp"

namespace skh {
namespace {

using test::ScopedSetting;
using test::StaticParkingTest;

using StaticParking = StaticParkingTest;

TEST_F(StaticParking, CallsignsOfPlannedAircraft) {
    struct Case {
        const char* callsign;
        const char* second;
        std::uint8_t stays;
        const char* expected;
    };
    for (const Case& c : {Case{"BAW12_", "", 1, "BAW12*"}, Case{"BAW12*", "", 1, "BAW12*"},
                          Case{"DLH100", "DLH101", 1, "DLH100*"}, Case{"DLH100", "DLH101", 0, "DLH101*"},
                          Case{"DLH100", "", 0, "DLH100*"}, Case{"", "", 1, ""}, Case{"KLM9__", "", 1, "KLM9*"}}) {
        SCOPED_TRACE(c.callsign);
        ParkPos p;
        p.callsign = c.callsign;
        p.secondCallsign = c.second;
        p.stays = c.stays;
        EXPECT_EQ(lf_detcs(p), c.expected);
    }
    EXPECT_TRUE(log.contains("lf_detcs callsign is empty.."));

    // No callsign: airline, act number and "*".
    loadStands("<parkpositions>" + stand("A1", 1, "") + "</parkpositions>");
    g_staticActCounter = 16;
    ParkPos p;
    p.standId = 1;
    p.airline = "DLH";
    p.type = "A320";
    g_parkPositions = {p};
    lf_staticParking();
    ASSERT_EQ(g_staticAc.size(), 1u);
    EXPECT_EQ(g_staticAc[0].callsign, "DLH17*");
    EXPECT_EQ(g_staticAc[0].actNumber, 17u);
    ASSERT_EQ(g_staticCreateQueue.size(), 1u);
    EXPECT_EQ(g_staticCreateQueue.front().callsign, "DLH17*");
}

TEST_F(StaticParking, NothingPlacedNextToAParkedAircraft) {
    loadStands("<parkpositions>" + stand("A1", 1, "") + stand("A2", 2, "") + stand("A3", 3, "") + stand("A4", 4, "") +
               stand("A5", 5, "") + "</parkpositions>");
    adjacent("A1", "A2");
    adjacent("A4", "A5");
    parkedLive(40001, "SWR10", "A2", 5);
    activeStatic(9, "EZY9*", "A5", weekSlot(3, 20));
    const auto plan = [](std::uint32_t standId) {
        ParkPos p;
        p.standId = standId;
        p.airline = "AFR";
        p.type = "A320";
        p.callsign = skh::format("AFR{}", standId);
        p.stays = 1;
        return p;
    };
    // Beside the live one, on it, beside the static one, a stand that is
    // gone, and a free stand.
    g_parkPositions = {plan(3), plan(99), plan(4), plan(2), plan(1)};
    for (int i = 0; i < 5; ++i) lf_staticParking();
    ASSERT_EQ(g_staticAc.size(), 2u);
    EXPECT_EQ(g_staticAc[1].callsign, "AFR3*");
    EXPECT_TRUE(
        log.contains("A1      : no static parking for AFR A320 AFR1, live aircraft SWR10 is adjacent at A2, "
                     "possibly colliding"));
    EXPECT_TRUE(log.contains("A2      : no static parking for AFR A320 AFR2, live aircraft SWR10 standing here"));
    EXPECT_TRUE(log.contains("A4      : no static parking for AFR A320 AFR4, static aircraft EZY9* is adjacent at A5"));
    EXPECT_TRUE(log.contains("stand with id 99 not found"));

    // A live aircraft that parks takes the planned parkings of its stand out.
    g_parkPositions = {plan(3), plan(1), plan(3)};
    lf_dropPlannedParkings(3);
    EXPECT_EQ(planStands(), std::vector<std::string>{"A1"});
}

TEST_F(StaticParking, MaxParkRemovesTheLongestParkedAndTheEarliestPlaced) {
    std::string stands;
    for (int i = 1; i <= 14; ++i) stands += stand(skh::format("S{}", i), i, "");
    loadStands("<parkpositions>" + stands + "</parkpositions>");
    g_mainWindowState.maxParkCount = 10;
    for (int i = 1; i <= 10; ++i) parkedLive(40000 + i, skh::format("SWR{}", i), skh::format("S{}", i), 10 + i);
    activeStatic(1, "EZY1*", "S11", weekSlot(3, 19));
    activeStatic(2, "EZY2*", "S12", weekSlot(3, 10));
    activeStatic(3, "EZY3*", "S13", weekSlot(3, 20));
    // A live aircraft created parked at a stand counts as one more.
    lf_checkMaxPark(1);
    EXPECT_EQ(live(40010)->status, AcStatus::removingfromsim);  // parked 20 minutes
    EXPECT_EQ(staticNamed("EZY2*")->status, AcStatus::removingfromsim);
    std::size_t removed = 0;
    for (const LiveAc& ac : g_liveAc) removed += ac.status == AcStatus::removingfromsim ? 1 : 0;
    for (const StaticAc& st : g_staticAc) removed += st.status == AcStatus::removingfromsim ? 1 : 0;
    EXPECT_EQ(removed, 2u);
    EXPECT_TRUE(log.contains("S10     : SWR10 live max park exceeded, removed"));
    EXPECT_TRUE(log.contains("S12     : EZY2* static max park exceeded, removed"));

    // INITIAL_LOAD_ONLY keeps the live ones; no maximum, nothing at all.
    ScopedSetting<BoolParameter, bool> initial(INITIAL_LOAD_ONLY, true);
    lf_checkMaxPark(2);
    EXPECT_EQ(live(40009)->status, AcStatus::active);
    g_mainWindowState.maxParkCount = 0;
    lf_checkMaxPark(5);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::removingfromsim);  // from the call before
    EXPECT_EQ(live(40008)->status, AcStatus::active);
}

TEST_F(StaticParking, ADepartureAcrossMidnight) {
    setTime(7, 47);  // Sunday 23:40
    loadStands(
        "<parkpositions>" +
        stand("A1", 1,
              opt("D-AAA1", "DLH", "A320", 7, "46,47", "DLH1:DLH2") + opt("D-AAA9", "DLH", "A320", 1, "0", "DLH1")) +
        stand("A2", 2, opt("D-AAA2", "DLH", "A320", 7, "46,47", "DLH5:DLH6")) + "</parkpositions>");
    parking_percentage.value = 100;
    for (const auto& [callsign, extra, standName, reg] :
         {std::tuple{"DLH1", "DLH2", "A1", "D-AAA1"}, {"DLH5", "DLH6", "A2", "D-AAA2"}}) {
        StaticAc& st = activeStatic(g_staticAc.size() + 1, std::string(callsign) + "*", standName, weekSlot(7, 46));
        st.secondCallsign = callsign;
        st.extraCallsign = extra;
        st.registration = reg;
    }
    gf_parkingAdjustments();
    // Monday's first half-hour continues DLH1 at A1; DLH5 leaves as DLH6.
    ASSERT_EQ(planStands(), std::vector<std::string>{"A2"});
    EXPECT_EQ(g_parkPositions[0].callsign, "DLH5");
    EXPECT_EQ(g_parkPositions[0].secondCallsign, "DLH6");
    EXPECT_EQ(g_parkPositions[0].stays, 0);
    EXPECT_EQ(g_parkPositions[0].fitOffset, 1u);
    EXPECT_EQ(staticNamed("DLH5*")->status, AcStatus::removingfromsim);
    EXPECT_EQ(staticNamed("DLH1*")->status, AcStatus::active);
    ASSERT_EQ(g_keptStatics.size(), 1u);
    EXPECT_EQ(g_keptStatics[0].callsign, "DLH1*");
}

TEST_F(StaticParking, TheReviewLooksBackAcrossMidnightAsFarAsThePlanDid) {
    // Sunday 23:40 and 23:10 placings, reviewed on Monday at 00:10 after a
    // plan that went back one half-hour: the one seen at 23:30 is kept.
    setTime(1, 0);
    const ScopedSetting<IntUiParameter, int> oneRound(MAX_FIT, 1);
    loadStands("<parkpositions>" + stand("A1", 1, opt("D-AAA1", "DLH", "A320", 7, "47", "DLH1")) +
               stand("A2", 3, opt("D-AAA5", "DLH", "A320", 7, "46", "DLH5")) + stand("A3", 5, "") + "</parkpositions>");
    parking_percentage.value = 100;
    for (const auto& [callsign, standName, reg, slot] :
         {std::tuple{"DLH1", "A1", "D-AAA1", 47}, {"DLH5", "A2", "D-AAA5", 46}}) {
        StaticAc& st = activeStatic(g_staticAc.size() + 1, std::string(callsign) + "*", standName, weekSlot(7, slot));
        st.secondCallsign = callsign;
        st.registration = reg;
    }
    gf_parkingAdjustments();
    EXPECT_EQ(g_realFitReached, 1);
    EXPECT_EQ(staticNamed("DLH1*")->status, AcStatus::active);
    EXPECT_EQ(staticNamed("DLH5*")->status, AcStatus::removingfromsim);  // 23:00 lies beyond the plan's reach
    ASSERT_EQ(g_keptStatics.size(), 1u);
    EXPECT_EQ(g_keptStatics[0].callsign, "DLH1*");
}

TEST_F(StaticParking, TheCollisionCheckMissesNoStaticWithinReach) {
    // A static B744 just inside and just outside the reach of a taxiing
    // A320 (1.1 x the two half spans), in every direction and up to 75
    // degrees of latitude, where the quick estimate errs most.
    loadStands("<parkpositions>" + stand("A1", 1, "") + "</parkpositions>");
    const double reachNm = 1.1 * (0.0097 + 0.0174);
    for (const double lat : {0.0, 47.0, -60.0, 75.0}) {
        for (int bearing = 0; bearing < 360; bearing += 45) {
            for (const double factor : {0.999, 1.001}) {
                SCOPED_TRACE(skh::format("lat {} bearing {} x{}", lat, bearing, factor));
                g_staticAc.clear();
                g_liveAc.clear();
                lf_liveIndexChanged();
                const GeoPos there = gf_destinationPoint({lat, 8.0}, bearing * DEG2RAD, reachNm * factor * 6076.11549);
                StaticAc& st = activeStatic(1, "BAW1*", "A1", weekSlot(3, 20), "B744");
                st.standLat = there.lat;
                st.standLon = there.lon;
                LiveAc& ac = parkedLive(40001, "SWR1", "A1", 0, AcState::taxi);
                ac.onGround = 1;
                ac.pos.latitude = lat;
                ac.pos.longitude = 8.0;
                gf_avoidStaticCollisionsOnGround();
                EXPECT_EQ(g_staticAc[0].status, factor < 1.0 ? AcStatus::removingfromsim : AcStatus::active);
            }
        }
    }
}

TEST_F(StaticParking, TrimmingEndsWhenEveryListIsEmpty) {
    loadStands("<parkpositions>" + stand("A1", 1, "") + stand("A2", 2, "") + "</parkpositions>");
    parkedLive(40001, "SWR1", "A1", 5);
    g_parkedLive = {{"SWR1", 1, 5}};
    g_keptStatics.resize(2);
    g_keptStatics[0].callsign = "EZY1*";
    g_keptStatics[1].callsign = "EZY2*";
    g_parkPositions.resize(3);
    lf_trimToWanted(-10);
    EXPECT_TRUE(g_parkPositions.empty());
    EXPECT_TRUE(g_keptStatics.empty());
    EXPECT_TRUE(g_parkedLive.empty());
    ASSERT_EQ(g_staticRemovals.size(), 2u);
    EXPECT_EQ(g_staticRemovals[0].callsign, "EZY2*");
    EXPECT_EQ(live(40001)->status, AcStatus::removingfromsim);

    // Wanted 2 with one of each: the plan's record goes first.
    g_staticRemovals.clear();
    g_parkPositions.resize(1);
    g_keptStatics.resize(1);
    g_parkedLive = {{"SWR9", 2, 1}};
    lf_trimToWanted(2);
    EXPECT_TRUE(g_parkPositions.empty());
    EXPECT_EQ(g_keptStatics.size(), 1u);
    EXPECT_TRUE(g_staticRemovals.empty());
}

}  // namespace
}  // namespace skh
