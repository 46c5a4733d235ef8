// Stands for live aircraft among other aircraft: who is born on a stand and
// who gives way, a taxiing aircraft given the stand it stopped at, static
// aircraft out of the way of moving live ones, the occupied mark given back
// on every way out, and a landing aircraft of the movement lab that taxis to
// a free stand that fits it.
#include <gtest/gtest.h>

#include <functional>

#include "support/movement_lab.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/removal.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_lookup.hpp"
#include "traffic/stand_side.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

constexpr double kM = 1.0 / 1852.0;     // one metre in nm
constexpr double kDegPerM = kM / 60.0;  // one metre of latitude in degrees

class MakingWay : public test::TrafficTest {
protected:
    void SetUp() override {
        TrafficTest::SetUp();
        freshAirport();
    }
    void TearDown() override {
        g_parkAirports.clear();
        g_reservedStand.clear();
        gf_clearParkAirport();
        gf_clearNearestStandCache();
        TrafficTest::TearDown();
    }
    // Stands A (id 1), B 25 m north of it (adjacent), C 200 m north.
    void freshAirport() {
        gf_resetTraffic();
        gf_clearNearestStandCache();
        g_parkAirports.clear();
        g_reservedStand.clear();
        port.onGround = false;
        gf_setParkAirport(Airport{"LSZH", "ZRH", 47.0, 8.0, 1416.0});
        g_stands = {gf_makeStand("A", {}, 47.0, 8.0, 1.0, 20.0, false, false, false),
                    gf_makeStand("B", {}, 47.0 + 25 * kDegPerM, 8.0, 1.0, 20.0, false, false, false),
                    gf_makeStand("C", {}, 47.0 + 200 * kDegPerM, 8.0, 1.0, 20.0, false, false, false)};
        for (std::uint32_t i = 0; i < g_stands.size(); ++i) g_stands[i].id = i + 1;
        g_stands[0].adjacent = {2};
        g_stands[1].adjacent = {1};
    }
    // The user reserved stand A at LSZH, then typed a destination that was
    // already in the list: it moves to the front, LSZH stays loaded.
    static void reserveAWithDestinationFirst() {
        g_parkAirports = {ParkAirportEntry{"LSZH", "A", 47.0, 8.0, 0.0},
                          ParkAirportEntry{"EGKK", "", 51.15, -0.19, 0.0}};
        gf_takeReservedStandAtLoad();
        ASSERT_EQ(g_reservedStand, "A");
        gf_addParkAirport("EGKK", GeoPos{51.15, -0.19});
        ASSERT_EQ(g_parkAirports.front().code, "EGKK");
    }
    static FlightIdent ident(const std::string& callsign) {
        FlightIdent f;
        f.callsign = callsign;
        f.airline = "SWR";
        f.type = "A320";
        f.wingspan = 17 * kM;
        return f;
    }
    static PosSample at(double northM, double groundSpeed = 0.0) {
        PosSample p;
        p.lat = 47.0 + northM * kDegPerM;
        p.lon = 8.0;
        p.groundSpeed = groundSpeed;
        p.stationary = groundSpeed == 0.0 ? 1 : 0;
        return p;
    }
    // A live aircraft parked and active at a stand.
    static LiveAc& parkedAt(std::uint32_t act, const std::string& callsign, std::uint32_t standId) {
        const Stand& s = g_stands[standId - 1];
        LiveAc& ac = lf_appendLiveAc(LiveAc(at(0), ident(callsign), 0.0));
        ac.actNumber = act;
        lf_setObjectId(ac, act);
        ac.status = AcStatus::active;
        ac.moveState = AcState::parked;
        ac.standId = s.id;
        ac.standLat = s.lat;
        ac.standLon = s.lon;
        return ac;
    }
    static StaticAc& staticAt(std::uint32_t act, std::uint32_t standId, AcStatus status) {
        const Stand& s = g_stands[standId - 1];
        g_staticAc.emplace_back(ident("EZY" + std::to_string(act) + "*"), s.lat, s.lon, 0.0, s.id, 0);
        StaticAc& st = g_staticAc.back();
        st.actNumber = act;
        st.status = status;
        st.objectId = status == AcStatus::active ? 500 + act : 0;
        return st;
    }
    // A live aircraft that the intake creates standing on stand A: its
    // creation request is on its way, stand A is marked for it.
    LiveAc* bornOnA(std::uint32_t act, const std::string& callsign) {
        for (int n = 0; n < 3; ++n) {
            TrafficSample s = sample(act, callsign, "A320", 47.0 + 3 * kDegPerM, 8.0, 0.0, 0.0, 0.0, 1000.0 + 20 * n);
            s.pos.dueTick += 2000 * n;
            take(s);
        }
        for (int i = 0; i < 4000 && live(act) != nullptr && live(act)->status == AcStatus::buffer; ++i) polls(1);
        LiveAc* ac = live(act);
        EXPECT_TRUE(ac != nullptr && ac->status == AcStatus::adding2sim && ac->moveState == AcState::parked);
        return ac;
    }
    // The aircraft born on A becomes active. With no newer sample it is
    // given its week-long prediction at once, which frees the stand; with
    // `marked` it takes the stand again, as a towed aircraft arriving does.
    void activate(std::uint32_t act, std::uint32_t objectId, bool marked) {
        adopt(act, objectId, 0.0);
        polls(kActivationTicks);
        ASSERT_EQ(live(act)->status, AcStatus::active);
        ASSERT_FALSE(g_stands[0].occupied);
        if (!marked) return;
        lf_markStandTaken(*live(act));
        ASSERT_TRUE(g_stands[0].occupied);
    }
    static LiveAc& newcomer(const std::string& callsign, PosSample front) {
        LiveAc& ac = lf_appendLiveAc(LiveAc(front, ident(callsign), 0.0));
        ac.actNumber = 40001;
        return ac;
    }
};

TEST_F(MakingWay, WhoIsBornOnAStandAndWhoGivesWay) {
    struct Case {
        const char* label;
        std::function<void()> setup;
        const char* callsign;
        const char* stand;  // null: none
        bool dropped;
        AcStatus occupant;  // of act 30001 when there is one
    };
    const AcStatus removed = AcStatus::removingfromsim;
    const AcStatus stays = AcStatus::active;
    const std::vector<Case> cases = {
        {"a free stand", [] {}, "SWR12", "A", false, stays},
        {"an occupant with the same callsign goes", [] { parkedAt(30001, "SWR12", 1); }, "SWR12", "A", false, removed},
        {"a ghost occupant goes", [] { parkedAt(30001, "SWR12_", 1); }, "SWR12", "A", false, removed},
        {"the newcomer is the occupant's ghost", [] { parkedAt(30001, "SWR12", 1); }, "SWR12_", nullptr, true, stays},
        {"an occupant that is the newcomer less a letter", [] { parkedAt(30001, "SWR1", 1); }, "SWR12", nullptr, true,
         stays},
        {"an occupant still reported stays", [] { parkedAt(30001, "EZY1", 1).reportedWhileParked = 1; }, "SWR12",
         nullptr, true, stays},
        {"another occupant goes", [] { parkedAt(30001, "EZY1", 1); }, "SWR12", "A", false, removed},
        {"a live neighbour too close", [] { parkedAt(30001, "EZY1", 2); }, "SWR12", nullptr, false, stays},
        {"the user's reserved stand, another airport first in the list", [] { reserveAWithDestinationFirst(); },
         "SWR12", nullptr, false, stays},
        {"the stand of the user's aircraft",
         [this] {
             port.onGround = true;
             g_userAc.latitude = 47.0;
             g_userAc.longitude = 8.0;
         },
         "SWR12", nullptr, false, stays},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        freshAirport();
        c.setup();
        LiveAc& ac = newcomer(c.callsign, at(3));
        const auto stand = lf_chooseSpawnStand(ac);
        EXPECT_EQ(stand ? stand->name.c_str() : std::string("none"), c.stand ? c.stand : "none");
        LiveAc* self = live(40001);
        ASSERT_NE(self, nullptr);
        EXPECT_EQ(self->dropUnsent, c.dropped ? 1 : 0);
        if (const LiveAc* occupant = live(30001)) {
            EXPECT_EQ(occupant->status, c.occupant);
        }
    }
}

TEST_F(MakingWay, ANewcomerIsBornOnAStandOnlyNearTheParkAirportAndStandingStill) {
    LiveAc& far = newcomer("SWR12", at(6 * 1852));
    EXPECT_FALSE(lf_chooseSpawnStand(far));
    far.stream = {at(3, 2.0), at(3, 10.0), at(6)};  // rolling faster than 5 kt
    EXPECT_FALSE(lf_chooseSpawnStand(far));
    far.stream = {at(3, 2.0), at(3, 2.0), at(60)};  // its samples wander over 35 m
    EXPECT_FALSE(lf_chooseSpawnStand(far));
    far.stream = {at(30, 2.0), at(28, 2.0), at(5)};  // creeping onto the stand: the newest sample counts
    const auto stand = lf_chooseSpawnStand(far);
    ASSERT_TRUE(stand);
    EXPECT_EQ(stand->name, "A");
    EXPECT_EQ(far.stream.front().stationary, 1);
    EXPECT_EQ(far.stream.front().groundSpeed, 0.0);
}

TEST_F(MakingWay, StaticAircraftMakeWayOrNeverCome) {
    test::ScopedSetting<BoolUiParameter, bool> detail(LOG, true);
    staticAt(1, 1, AcStatus::active);
    staticAt(2, 1, AcStatus::adding2sim);
    g_staticCreateQueue.push_back(AddRequest{});
    g_staticCreateQueue.back().actNumber = 2;
    staticAt(3, 2, AcStatus::active);  // at the neighbour, 25 m away: too close for two A320s
    staticAt(4, 3, AcStatus::active);  // 200 m away
    LiveAc& ac = newcomer("SWR12", at(0));
    ac.registration = "HBJNA";
    ASSERT_TRUE(lf_chooseSpawnStand(ac));
    ASSERT_EQ(g_staticAc.size(), 3u);  // the queued one is gone with its request
    EXPECT_TRUE(g_staticCreateQueue.empty());
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);
    EXPECT_EQ(g_staticAc[1].status, AcStatus::removingfromsim);
    EXPECT_EQ(g_staticAc[2].status, AcStatus::active);
    EXPECT_TRUE(log.contains("A       : EZY1*     makes way for SWR12 HBJNA"));
    EXPECT_TRUE(log.contains("queued A       : EZY2*     makes way for SWR12 HBJNA"));
    EXPECT_TRUE(log.contains("B       : EZY3*    makes way for SWR12 parking at excluded stand A"));
}

TEST_F(MakingWay, ATaxiingAircraftThatStopsIsGivenTheStandAndItsNeighboursAreCleared) {
    test::ScopedSetting<BoolUiParameter, bool> detail(LOG, true);
    parkedAt(30001, "EZY1", 1);
    parkedAt(30002, "EZY2", 2);
    staticAt(5, 2, AcStatus::active);
    LiveAc& ac = newcomer("SWR12", at(40, 5.0));
    ac.status = AcStatus::active;
    ac.moveState = AcState::taxi;
    ac.stream.push_back(at(8));  // stopped 8 m from A, 17 m from B
    try2Park(ac, false);
    EXPECT_EQ(ac.moveState, AcState::parking);
    EXPECT_EQ(ac.standId, 1u);
    EXPECT_DOUBLE_EQ(ac.standHeading, 1.0);
    ASSERT_EQ(ac.stream.size(), 3u);  // the front, the drive to the stand and the stop on it
    EXPECT_DOUBLE_EQ(ac.stream.back().lat, 47.0);
    EXPECT_EQ(ac.stream.back().stationary, 1);
    EXPECT_EQ(live(30001)->status, AcStatus::removingfromsim);
    EXPECT_EQ(live(30002)->status, AcStatus::removingfromsim);  // 25 m away: too close for two A320s
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);
    EXPECT_TRUE(log.contains("A       : EZY1     removed, SWR12 wants to park there"));
    EXPECT_TRUE(log.contains("B       : EZY2     removed by parking SWR12 at adjacent and possibly colliding stand A"));
}

TEST_F(MakingWay, OccupiedAndReservedStandsAreNotGiven) {
    g_stands[0].occupied = true;
    LiveAc& ac = newcomer("SWR12", at(40, 5.0));
    ac.moveState = AcState::taxi;
    ac.stream.push_back(at(8));
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 2u);  // B, 17 m away

    freshAirport();
    reserveAWithDestinationFirst();
    LiveAc& next = newcomer("SWR14", at(40, 5.0));
    next.moveState = AcState::taxi;
    next.stream.push_back(at(3));
    try2Park(next, true);
    EXPECT_EQ(next.standId, 0u);
    EXPECT_EQ(next.moveState, AcState::taxi);
    g_reservedStand.clear();
    try2Park(next, true);  // the same place is not tried twice
    EXPECT_EQ(next.standId, 0u);

    // A live aircraft that stands on the reserved stand anyway is removed.
    freshAirport();
    reserveAWithDestinationFirst();
    parkedAt(30001, "EZY1", 1);
    parkedAt(30002, "EZY2", 3);
    gf_clearReservedStand();
    EXPECT_EQ(live(30001)->status, AcStatus::removingfromsim);
    EXPECT_EQ(live(30002)->status, AcStatus::active);
}

TEST_F(MakingWay, StaticAircraftInTheWayOfATaxiingOneGoOneASecond) {
    staticAt(1, 1, AcStatus::active);
    staticAt(2, 1, AcStatus::active);
    staticAt(3, 3, AcStatus::active);
    LiveAc& ac = newcomer("SWR12", at(10, 10.0));
    ac.status = AcStatus::active;
    ac.moveState = AcState::taxi;
    ac.onGround = 1;
    ac.pos.latitude = 47.0 + 10 * kDegPerM;
    ac.pos.longitude = 8.0;
    gf_avoidStaticCollisionsOnGround();
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);
    EXPECT_EQ(g_staticAc[1].status, AcStatus::active);  // at most one a call
    gf_avoidStaticCollisionsOnGround();
    EXPECT_EQ(g_staticAc[1].status, AcStatus::active);  // not moved since the last check
    ac.pos.latitude += 1e-6;
    gf_avoidStaticCollisionsOnGround();
    EXPECT_EQ(g_staticAc[1].status, AcStatus::removingfromsim);
    EXPECT_EQ(g_staticAc[2].status, AcStatus::active);  // 190 m away
    staticAt(4, 1, AcStatus::active);
    ac.takingOff = 1;
    gf_avoidStaticCollisions(ac);
    EXPECT_EQ(g_staticAc[3].status, AcStatus::active);
}

TEST_F(MakingWay, EmptiedStandsLeaveNoStandIdBehind) {
    LiveAc& ac = newcomer("SWR12", at(40, 5.0));
    ac.moveState = AcState::taxi;
    ac.stream.push_back(at(8));
    try2Park(ac, false);
    ASSERT_EQ(ac.standId, 1u);
    g_stands.clear();
    EXPECT_EQ(gf_standById(1), nullptr);
    EXPECT_EQ(gf_standNameOf(1), "sid==?");
    gf_releaseLiveStands();
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.standLat, 0.0);
    EXPECT_EQ(ac.moveState, AcState::taxi);
}

TEST_F(MakingWay, EveryWayOutOfAStandFreesItsMarkAndOnlyItsOwn) {
    struct Case {
        const char* label;
        std::function<void(std::uint32_t act)> leave;
        bool takenByAnother = false;  // a second aircraft holds the stand afterwards
    };
    const std::vector<Case> cases = {
        {"the simulator refuses the creation", [](std::uint32_t act) { simEvent(SimEventKind::createFailed, 0, act); }},
        {"the creation is withdrawn before the hand-over",
         [](std::uint32_t act) { removeAircraftFromSim(*live(act)); }},
        {"dropped from the buffer after a livery respawn",
         [this](std::uint32_t act) {
             activate(act, 1001, true);
             liveryRespawn(*live(act));
             polls(10);
             simEvent(SimEventKind::objectRemoved, 1001);
             lf_processSimEvents();
             ASSERT_EQ(live(act)->status, AcStatus::buffer);
             ASSERT_TRUE(g_stands[0].occupied);  // it is to come back on its stand
             const test::ScopedSetting none(MAX_LIVE_SEL, 0);
             polls(1);
             ASSERT_EQ(live(act), nullptr);
         }},
        {"the simulator removes the object on its own",
         [this](std::uint32_t act) {
             activate(act, 1001, true);
             simEvent(SimEventKind::objectRemoved, 1001);
         }},
        {"removed from the simulator",
         [this](std::uint32_t act) {
             activate(act, 1001, true);
             removeAircraftFromSim(*live(act));
             EXPECT_FALSE(g_stands[0].occupied);  // at once, not when the object is gone
             polls(10);
             simEvent(SimEventKind::objectRemoved, 1001);
         }},
        {"a week-long prediction frees the stand, another aircraft takes it, then the first goes",
         [this](std::uint32_t act) {
             activate(act, 1001, false);
             // The newcomer takes stand A and sends the first one away.
             ASSERT_NE(bornOnA(act + 1, "EZY2"), nullptr);
             ASSERT_EQ(live(act)->status, AcStatus::removingfromsim);
             polls(10);
             simEvent(SimEventKind::objectRemoved, 1001);
         },
         true},
    };
    const FlightIdent a320 = ident("SWR9");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        freshAirport();
        ASSERT_NE(bornOnA(30001, "SWR1"), nullptr);
        ASSERT_TRUE(g_stands[0].occupied);
        EXPECT_EQ(lf_findFreeStand(GeoPos{47.0, 8.0}, a320, kStandCatchNm, false), &g_stands[1]);
        c.leave(30001);
        polls(1);
        EXPECT_EQ(live(30001), nullptr);
        if (c.takenByAnother) {
            EXPECT_TRUE(g_stands[0].occupied);
            ASSERT_NE(live(30002), nullptr);
            EXPECT_EQ(live(30002)->standId, 1u);
            EXPECT_EQ(lf_findFreeStand(GeoPos{47.0, 8.0}, a320, kStandCatchNm, false), &g_stands[1]);
        } else {
            EXPECT_FALSE(g_stands[0].occupied);
            EXPECT_EQ(lf_findFreeStand(GeoPos{47.0, 8.0}, a320, kStandCatchNm, false), &g_stands[0]);
        }
    }
}

// A landing of the movement lab at its test runway, with stands beside the
// place where the taxi ends: an occupied one, one too small and one that fits.
TEST(StandArrival, ALandingAircraftTaxisToAFreeStandThatFitsIt) {
    test::ScopedLog log;
    test::ScopedSetting<BoolUiParameter, bool> detail(LOG, true);
    lab::Scenario scenario = *lab::gf_builtInScenario("approach");
    const PosSample stop = scenario.samples.back().pos;
    lab::MovementLab l(scenario);
    const double halfSpanM = gf_wingspanOf("A320") * 1852.0;
    const auto standAt = [&](const char* name, double northM, double radiusM) {
        Stand s = gf_makeStand(name, {}, stop.lat + northM * kDegPerM, stop.lon, 0.5, radiusM, false, false, false);
        s.id = static_cast<std::uint32_t>(g_stands.size() + 1);
        g_stands.push_back(s);
    };
    standAt("BUSY", 2, halfSpanM + 5);
    g_stands.back().occupied = true;
    standAt("SMALL", -15, halfSpanM - 6);
    standAt("FIT", 12, halfSpanM + 4);
    ASSERT_TRUE(l.runUntil([](const lab::TraceRow& r) { return r.state == AcState::parked; }, scenario.ticks));
    const LiveAc* ac = l.aircraft();
    ASSERT_NE(ac, nullptr);
    ASSERT_NE(gf_standById(ac->standId), nullptr);
    EXPECT_EQ(gf_standById(ac->standId)->name, "FIT");
    EXPECT_TRUE(log.contains("FIT     : SWR14    arrived at stand"));
    EXPECT_LT(gf_distanceNm(GeoPos{ac->pos.latitude, ac->pos.longitude}, GeoPos{ac->standLat, ac->standLon}), 2.0 * kM);
    EXPECT_FALSE(g_stands[1].radiusChanged);  // the small stand was never taken
}

}  // namespace
}  // namespace skh
