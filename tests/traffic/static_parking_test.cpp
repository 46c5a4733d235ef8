// Static aircraft at the park airport: a plan from real and soft options
// placed one aircraft per creation hand-over, made active with their parked
// events, adjusted 20 minutes later (kept, replaced, departing); the
// callsigns of planned aircraft, the maximum of parked aircraft and the
// records dropped next to other aircraft.
#include "traffic/static_parking.hpp"

#include <gtest/gtest.h>

#include "static_fixture.hpp"
#include "traffic/stand_side.hpp"

namespace skh {
namespace {

using test::ScopedSetting;
using test::StaticParkingTest;

class StaticParking : public StaticParkingTest {
protected:
    // Wednesday 10:10 (slot 20); 8 stands at 50 %: four wanted.
    void loadScenario() {
        loadStands(
            "<parkpositions>" + stand("A1", 1, opt("D-AAA1", "DLH", "A320", 3, "19,20,21", "DLH100:DLH101")) +
            stand("A2", 2,
                  opt("G-BBB1", "BAW", "A320", 3, "18", "BAW12_") + opt("F-HAAA", "AFR", "A320", 3, "21", "AFR1")) +
            stand("A3", 3, opt("HB-JAA", "SWR", "A320", 3, "20,21", "")) +
            stand("H1", 4, opt("HB-ZZZ", "REG", "EC35", 3, "20", "REGA1"), R"(heli="true")") +
            stand("A5", 5, opt("G-EZY1", "EZY", "A320", 3, "20", "EZY1", true)) +
            stand("A6", 6, opt("D-AAA1", "DLH", "A320", 3, "20", "DLH200")) +
            stand("A7", 7, opt("HB-JBB", "SWR", "A320", 2, "20", "SWR7")) + stand("A8", 8, "") + "</parkpositions>");
    }

    void adoptCreated(std::uint32_t firstObjectId) {
        for (std::size_t i = 0; i < port.creates.size(); ++i) {
            const std::uint32_t act = port.creates[i].actNumber;
            if (StaticAc* st = gf_findStaticByAct(act); st != nullptr && st->status == AcStatus::adding2sim)
                adopt(act, firstObjectId + static_cast<std::uint32_t>(i));
        }
    }
};

TEST_F(StaticParking, PlanPlaceActivateAndAdjustTwentyMinutesLater) {
    loadScenario();
    lf_showParkingParams();

    // Real options first, widening into the past; the soft pass fills the
    // fourth; best fits at the end, where the placing takes them.
    ASSERT_EQ(planStands(), (std::vector<std::string>{"A2", "A1", "A3", "A5"}));
    const ParkPos& baw = g_parkPositions[0];
    EXPECT_EQ(baw.fitOffset, 2u);
    EXPECT_EQ(baw.callsign, "BAW12_");
    EXPECT_EQ(baw.stays, 1);
    const ParkPos& dlh = g_parkPositions[1];
    EXPECT_EQ(dlh.fitOffset, 0u);
    EXPECT_EQ(dlh.secondCallsign, "DLH101");
    EXPECT_EQ(dlh.stays, 1);  // seen at 10:30 too
    EXPECT_EQ(g_parkPositions[2].registration, "HB-JAA");
    EXPECT_EQ(g_parkPositions[3].airline, "EZY");
    EXPECT_EQ(g_realFitReached, 47);
    EXPECT_EQ(g_softFitReached, 0);
    EXPECT_TRUE(g_staticBoard.softPositionsUsed.load());
    EXPECT_EQ(g_staticBoard.maxParkCount.load(), 4);
    EXPECT_EQ(g_staticBoard.maxParkPercent.load(), 50);
    // The second D-AAA1 is skipped, not withdrawn from the learned save.
    const StandOption& twin = standNamed("A6").options.front();
    EXPECT_TRUE(twin.skip);
    EXPECT_EQ(twin.seq, 1u);
    EXPECT_EQ(busy, std::vector<bool>{true});
    EXPECT_TRUE(log.contains("3 real positions found, Max fit=24 hours, day 3, hh:20 or 10.5 hrs, fit: 24 hour"));
    EXPECT_TRUE(log.contains("1 soft position found, Max fit=24 hours, day 3, hh:20 or 10.5 hrs, fit: 0.5 hour"));
    EXPECT_TRUE(log.contains("4 positions (50% vs wanted 50%, with Max fit=24 hours)"));

    // One placing per creation hand-over, every 50 polls.
    polls(1);
    ASSERT_EQ(g_staticAc.size(), 1u);
    EXPECT_EQ(g_staticAc[0].status, AcStatus::adding2sim);
    polls(50);
    ASSERT_EQ(port.creates.size(), 1u);
    EXPECT_EQ(port.creates[0].callsign, "EZY1*");
    adopt(port.creates[0].actNumber, 101);
    polls(199);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::adding2sim);
    polls(1);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::active);
    EXPECT_EQ(port.count(101, EVENT_ENGINE_AUTO_SHUTDOWN), 1u);
    EXPECT_EQ(port.count(101, EVENT_CABIN_LIGHTS_SET), 1u);
    EXPECT_EQ(port.count(101, EVENT_THROTTLE_SET), 1u);

    ASSERT_EQ(port.creates.size(), 4u);
    EXPECT_EQ(port.creatTicks, (std::vector<std::uint32_t>{50, 100, 150, 200}));
    EXPECT_EQ(port.creates[1].callsign, "SWR2*");
    EXPECT_EQ(port.creates[2].callsign, "DLH100*");
    EXPECT_EQ(port.creates[3].callsign, "BAW12*");
    for (const AddRequest& r : port.creates) {
        EXPECT_EQ(r.initPos.OnGround, 1u);
        EXPECT_DOUBLE_EQ(r.initPos.Heading, 90.0);
        EXPECT_EQ(r.title, "Static " + r.callsign.substr(0, 3) + " A320");
    }
    EXPECT_TRUE(g_parkPositions.empty());
    adoptCreated(102);
    polls(202);
    for (const StaticAc& st : g_staticAc) EXPECT_EQ(st.status, AcStatus::active) << st.callsign;
    // Placed at the slot they were seen: BAW two half-hours ago.
    EXPECT_EQ(staticNamed("BAW12*")->parkedSince, weekSlot(3, 18));
    EXPECT_EQ(staticNamed("DLH100*")->parkedSince, weekSlot(3, 20));
    EXPECT_EQ(gf_avgStaticParkTime(true), 4u);
    EXPECT_FLOAT_EQ(g_staticBoard.staticAvgFit.load(), 0.75f);  // (0 + 0 + 0 + 2) / 8 + 0.5

    // 20 minutes later, 10:30: AFR was seen at A2 since BAW's placing and
    // replaces it; DLH100 leaves as DLH101; SWR and EZY still fit.
    setTime(3, 21, 0);
    const std::uint32_t bawObject = staticNamed("BAW12*")->objectId;
    const std::uint32_t dlhObject = staticNamed("DLH100*")->objectId;
    port.creates.clear();
    gf_parkingAdjustments();
    EXPECT_TRUE(log.contains("Parking adjustments: 2 to be removed, 2 to be added"));
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(g_parkPositions[0].fitOffset, 1u);  // stood one half-hour
    EXPECT_EQ(staticNamed("BAW12*")->status, AcStatus::removingfromsim);
    EXPECT_EQ(staticNamed("DLH100*")->status, AcStatus::removingfromsim);
    EXPECT_EQ(staticNamed("SWR2*")->status, AcStatus::active);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::active);
    polls(151);
    EXPECT_NE(std::find(port.removes.begin(), port.removes.end(), bawObject), port.removes.end());
    EXPECT_NE(std::find(port.removes.begin(), port.removes.end(), dlhObject), port.removes.end());
    ASSERT_EQ(port.creates.size(), 2u);
    EXPECT_EQ(port.creates[0].callsign, "AFR1*");
    EXPECT_EQ(port.creates[1].callsign, "DLH101*");
    // The departing aircraft keeps the time it was placed.
    EXPECT_EQ(staticNamed("DLH101*")->parkedSince, weekSlot(3, 20));
    EXPECT_EQ(staticNamed("DLH101*")->standId, standNamed("A1").id);
}

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
    g_staticBoard.maxParkCount = 10;
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
    g_staticBoard.maxParkCount = 0;
    lf_checkMaxPark(5);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::removingfromsim);  // from the call before
    EXPECT_EQ(live(40008)->status, AcStatus::active);
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
