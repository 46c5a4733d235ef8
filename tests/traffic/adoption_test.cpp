// Simulator events: adoption of created objects and the 200 polls until they
// become active with their first events, ground reports, the static centre
// of gravity, refused creations, removed objects and the respawn that puts
// an aircraft back into the buffer.
#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/constants.hpp"
#include "foundation/geo.hpp"
#include "traffic/flight_plans.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::PortEvent;
using test::ScopedSetting;
using test::TrafficTest;

class TrafficAdoption : public TrafficTest {
protected:
    test::TempDir planDir;
    void SetUp() override {
        TrafficTest::SetUp();
        g_flightPlanFolder = planDir.path();
    }
    void TearDown() override {
        g_flightPlanFolder.clear();
        TrafficTest::TearDown();
    }
    // A cruising aircraft whose creation request has been handed over.
    LiveAc& requested(std::uint32_t act, const std::string& callsign) {
        for (int n = 0; n < 6; ++n) take(cruise(act, callsign, n));
        while (live(act) != nullptr && std::none_of(port.creates.begin(), port.creates.end(),
                                                    [&](const AddRequest& r) { return r.actNumber == act; }))
            polls(1);
        return *live(act);
    }
};

TEST_F(TrafficAdoption, ACreatedObjectBecomesActive200PollsAfterItsAdoption) {
    LiveAc& requestedAc = requested(30001, "SWR1");
    EXPECT_EQ(requestedAc.status, AcStatus::adding2sim);

    // Object ids 0 to 2 are never ours.
    for (std::uint32_t bad : {0u, 1u, 2u}) adopt(30001, bad);
    polls(1);
    EXPECT_EQ(live(30001)->objectId, 0u);
    EXPECT_TRUE(g_createdObjects.empty());

    adopt(30001, 1005, 18500.0);
    polls(1);
    LiveAc* ac = live(30001);
    EXPECT_EQ(ac->objectId, 1005u);
    EXPECT_EQ(ac->heightAboveGround, 18500.0);
    EXPECT_EQ(port.staticCgRequests, (std::vector<std::uint32_t>{1005}));
    ASSERT_EQ(g_createdObjects.size(), 1u);
    EXPECT_EQ(ac->status, AcStatus::adding2sim);

    polls(49);
    EXPECT_EQ(port.lightToggles, (std::vector<std::uint32_t>{1005}));  // at 50
    polls(50);
    EXPECT_EQ(port.lightToggles.size(), 2u);  // and at 100
    polls(99);
    EXPECT_EQ(live(30001)->status, AcStatus::adding2sim);
    EXPECT_TRUE(port.eventsOf(1005).empty());
    EXPECT_TRUE(port.back.empty() && port.front.empty());  // not positioned before it is active
    polls(1);                                              // 200
    ac = live(30001);
    EXPECT_EQ(ac->status, AcStatus::active);
    EXPECT_TRUE(g_createdObjects.empty());
    // Airborne below 10000 ft? No: at 20000 ft the landing and logo lights stay off.
    // (The movement's own configuration of the first leg follows these.)
    auto first = port.eventsOf(1005);
    ASSERT_GE(first.size(), 9u);
    first.resize(9);
    EXPECT_EQ(first,               (std::vector<PortEvent>{{1005, EVENT_ENGINE_AUTO_START, 0},
                                                           {1005, EVENT_SPOILERS_SET, 0},
                                                           {1005, EVENT_NAV_LIGHTS_SET, 1},
                                                           {1005, EVENT_BEACON_LIGHTS_SET, 1},
                                                           {1005, EVENT_LANDING_LIGHTS_SET, 0},
                                                           {1005, EVENT_TAXI_LIGHTS_SET, 0},
                                                           {1005, EVENT_STROBES_SET, 1},
                                                           {1005, EVENT_LOGO_LIGHTS_SET, 0},
                                                           {1005, EVENT_CABIN_LIGHTS_SET, 1}}));
    // Positions go to the simulator from the next poll on.
    polls(1);
    ASSERT_EQ(port.front.size(), 1u);
    EXPECT_EQ(port.front[0].objectId, 1005u);
}

TEST_F(TrafficAdoption, AGroundAircraftGetsItsTaxiConfigurationAndAFlightPlan) {
    for (int n = 0; n < 4; ++n) {
        TrafficSample s = sample(30001, "EZY1", "A320", 47.45 + 0.0005 * n, 8.55, 0.0, 15.0, 0.0, 1000.0 + 5 * n);
        s.ident.origin = "LSZH";
        s.ident.destination = "EGKK";
        s.pos.dueTick += 500 * n;
        take(s);
    }
    while (port.creates.empty()) polls(1);
    adopt(30001, 1006, 0.0);
    polls(1);
    const LiveAc& ac = *live(30001);
    EXPECT_EQ(ac.onGround, 1);
    EXPECT_EQ(ac.moveState, AcState::taxi);
    ASSERT_EQ(port.flightPlans.size(), 1u);
    EXPECT_EQ(port.flightPlans[0].second, (planDir.path() / "1006.pln").string());
    EXPECT_EQ(ac.flightPlanSent, 1);
    polls(200);
    EXPECT_EQ(port.count(1006, EVENT_TAXI_LIGHTS_SET), 1u);
    EXPECT_EQ(port.eventsOf(1006).front(), (PortEvent{1006, EVENT_SPOILERS_SET, 0}));
    EXPECT_EQ(port.eventsOf(1006)[1], (PortEvent{1006, EVENT_ENGINE_AUTO_START, 0}));
    EXPECT_EQ(port.eventsOf(1006)[5], (PortEvent{1006, EVENT_TAXI_LIGHTS_SET, 1}));
    EXPECT_EQ(port.count(1006, EVENT_THROTTLE_SET), 1u);
    EXPECT_EQ(port.eventsOf(1006).back(), (PortEvent{1006, EVENT_FLAPS_SET, 3072}));

    // When the simulator removes it, its plan goes with it.
    ASSERT_TRUE(std::filesystem::exists(planDir.path() / "1006.pln"));
    simEvent(SimEventKind::objectRemoved, 1006);
    polls(1);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_FALSE(std::filesystem::exists(planDir.path() / "1006.pln"));
}

TEST_F(TrafficAdoption, GroundReportsAndTheStaticCentreOfGravity) {
    LiveAc& ac = activeCruiser(30001, "SWR1", 1007);
    simEvent(SimEventKind::staticCgReport, 1007, 0, 40.0, 3.0 * DEG2RAD);
    polls(1);
    EXPECT_EQ(live(30001)->staticCgHeight, 0.0);  // 40 ft is no aircraft's
    EXPECT_NEAR(live(30001)->staticPitch, 0.7 * DEG2RAD, 1e-12);
    simEvent(SimEventKind::staticCgReport, 1007, 0, 9.0, 0.005);
    polls(1);
    EXPECT_EQ(live(30001)->staticCgHeight, 9.0);
    EXPECT_EQ(live(30001)->staticPitch, 0.005);

    // Airborne reports only keep the height above ground.
    simEvent(SimEventKind::groundReport, 1007, 0, 1400.0, 1800.0);
    polls(1);
    EXPECT_EQ(live(30001)->heightAboveGround, 1800.0);
    EXPECT_EQ(live(30001)->onGround, 0);
    // On the ground the aircraft stands on it.
    live(30001)->phaseCounter = 1;
    simEvent(SimEventKind::groundReport, 1007, 1, 1400.0, 0.2);
    polls(1);
    EXPECT_EQ(live(30001)->onGround, 1);
    EXPECT_EQ(live(30001)->pos.altitude, 1409.0);
    (void)ac;

    // Reports for objects that are not ours change nothing.
    simEvent(SimEventKind::groundReport, 4242, 1, 0.0, 0.0);
    simEvent(SimEventKind::staticCgReport, 4242, 0, 9.0, 0.0);
    simEvent(SimEventKind::objectRemoved, 4242);
    simEvent(SimEventKind::blocked, 0, 99999);
    simEvent(SimEventKind::createFailed, 0, 99999);
    polls(1);
    EXPECT_NE(live(30001), nullptr);
}

TEST_F(TrafficAdoption, TouchDownDeploysTheSpoilersAndDerotates) {
    LiveAc& ac = activeCruiser(30001, "SWR1", 1008);
    ac.flarePhase = 3;
    ac.landing = 1;
    ac.pos.pitch = -4.0 * DEG2RAD;
    ac.staticPitch = 0.01;
    g_landingWatch = true;
    // The simulator refuses the touch-down data: like any failed direct call, that ends the run.
    port.callsFail = true;
    simEvent(SimEventKind::groundReport, 1008, 1, 1400.0, 0.0);
    lf_processSimEvents();
    EXPECT_EQ(port.requestErrors, 1);
    EXPECT_TRUE(log.contains("SimConnect set AI control data fails"));
    const LiveAc& down = *live(30001);
    EXPECT_EQ(down.touchdown, 1);
    EXPECT_EQ(down.rollout, 1);
    EXPECT_EQ(down.landed, 1);
    EXPECT_EQ(down.landing, 0);
    EXPECT_FALSE(g_landingWatch);
    EXPECT_EQ(port.count(1008, EVENT_SPOILERS_SET), 2u);  // 0 at activation, then out
    ASSERT_EQ(port.controlBlocks.size(), 1u);
    EXPECT_EQ(port.controlBlocks[0].second, (std::array<double, 3>{100.0, 100.0, 100.0}));
    EXPECT_NEAR(down.pitchStep, (0.01 + 4.0 * DEG2RAD) / 350.0, 1e-12);
}

TEST_F(TrafficAdoption, RefusedCreationsEraseTheRecordAndCountTheLivery) {
    LiveAc& ac = requested(30001, "SWR1");
    (void)ac;
    StaticAc st;
    st.actNumber = 10000;
    st.callsign = "SWR9*";
    st.status = AcStatus::adding2sim;
    g_staticAc.push_back(st);
    simEvent(SimEventKind::createFailed, 0, 10001);  // no such aircraft
    simEvent(SimEventKind::createFailed, 0, 10000);
    simEvent(SimEventKind::createFailed, 0, 30001);
    ASSERT_EQ(g_liveryCache.count(30001), 1u);
    polls(1);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_EQ(g_liveryCache.count(30001), 0u);  // the next aircraft of the act is matched anew
    EXPECT_TRUE(g_staticAc.empty());
    EXPECT_EQ(uncreatable, (std::vector<std::string>{"SWR9*", "SWR1"}));
    // The closing counts tell the static refusal from the live one.
    EXPECT_NE(gf_trafficCountsText().find("2 refused"), std::string::npos) << gf_trafficCountsText();
    EXPECT_NE(gf_trafficCountsText().find("static aircraft among them: 0 created, 1 refused, 0 given up, 0 removed"),
              std::string::npos)
        << gf_trafficCountsText();

    // A creation the simulator never answered blames no livery.
    requested(30002, "SWR2");
    simEvent(SimEventKind::createFailed, 0, 30002, 0.0, 0.0, kCreateGivenUp);
    polls(1);
    EXPECT_EQ(live(30002), nullptr);
    EXPECT_EQ(uncreatable.size(), 2u);
    EXPECT_TRUE(log.contains("never created by the simulator, dropped"));
}

// Whatever is created is adopted or given up within a bounded time: a live
// and a static aircraft whose objects are never identified are dropped (the
// closing counts say why), and objects of theirs identified later, like a
// second object for an aircraft that has one, are removed.
TEST_F(TrafficAdoption, ACreationNotAdoptedInTimeIsGivenUpAndItsLateObjectRemoved) {
    StaticAc st;
    st.actNumber = 17;
    st.callsign = "EZY5*";
    st.status = AcStatus::adding2sim;
    g_staticAc.push_back(st);
    AddRequest parked;
    parked.actNumber = 17;
    parked.callsign = "EZY5*";
    g_staticCreateQueue.push_back(parked);
    requested(30001, "SWR1");
    requested(30002, "SWR2");
    while (port.creates.size() < 3) polls(1);
    adopt(30002, 1040);  // the one that is answered
    const std::uint32_t lastHandOver = port.creatTicks.back();

    while (trafficTick.load() < port.creatTicks.front() + kAdoptionWaitPolls) polls(1);
    EXPECT_NE(live(30001), nullptr);
    while (trafficTick.load() < lastHandOver + kAdoptionWaitPolls + kAdoptionCheckPolls) polls(1);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_EQ(gf_findStaticByAct(17), nullptr);
    ASSERT_NE(live(30002), nullptr);
    EXPECT_EQ(live(30002)->objectId, 1040u);
    EXPECT_TRUE(uncreatable.empty());  // no livery is blamed
    EXPECT_NE(gf_trafficCountsText().find("0 refused"), std::string::npos) << gf_trafficCountsText();
    EXPECT_NE(gf_trafficCountsText().find("not adopted 2"), std::string::npos) << gf_trafficCountsText();
    EXPECT_NE(gf_trafficCountsText().find("3 created"), std::string::npos) << gf_trafficCountsText();
    EXPECT_NE(gf_trafficCountsText().find("static aircraft among them: 1 created, 0 refused, 1 given up"),
              std::string::npos)
        << gf_trafficCountsText();

    // Identified late, each goes; so does a second object for an aircraft that has one.
    adopt(30001, 1041);
    adopt(17, 1042);
    adopt(30002, 1043);
    polls(kActivationTicks + 30);
    std::vector<std::uint32_t> removed = port.removes;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::uint32_t>{1041, 1042, 1043}));
    EXPECT_EQ(live(30002)->objectId, 1040u);
}

TEST_F(TrafficAdoption, AnAircraftRemovedBeforeItExistsGoesAfterItsFirstEvents) {
    requested(30001, "SWR1");
    removeAircraftFromSim(*live(30001));
    EXPECT_EQ(live(30001)->removeWhenCreated, 1);
    adopt(30001, 1009);
    polls(200);
    EXPECT_EQ(live(30001)->status, AcStatus::removingfromsim);
    EXPECT_EQ(port.count(1009, EVENT_ENGINE_AUTO_START), 1u);
    polls(10);
    EXPECT_EQ(port.removes, (std::vector<std::uint32_t>{1009}));
    simEvent(SimEventKind::objectRemoved, 1009);
    polls(1);
    EXPECT_EQ(live(30001), nullptr);

    // An adopted object whose aircraft is gone is not left frozen in the simulator.
    adopt(30077, 1010);
    polls(11);
    EXPECT_EQ(port.removes.back(), 1010u);
}

TEST_F(TrafficAdoption, AStaticAircraftIsPreparedParked) {
    StaticAc st;
    st.actNumber = 17;
    st.callsign = "EZY5*";
    st.status = AcStatus::adding2sim;
    st.standCargo = 0;
    g_staticAc.push_back(st);
    adopt(17, 1020);
    polls(200);
    const StaticAc& parked = g_staticAc.front();
    EXPECT_EQ(parked.status, AcStatus::active);
    EXPECT_EQ(parked.objectId, 1020u);
    EXPECT_EQ(port.eventsOf(1020), (std::vector<PortEvent>{{1020, EVENT_THROTTLE_SET, 0},
                                                           {1020, EVENT_FLAPS_SET, 0},
                                                           {1020, EVENT_ENGINE_AUTO_SHUTDOWN, 0},
                                                           {1020, EVENT_NAV_LIGHTS_SET, 1},
                                                           {1020, EVENT_BEACON_LIGHTS_SET, 0},
                                                           {1020, EVENT_LANDING_LIGHTS_SET, 0},
                                                           {1020, EVENT_TAXI_LIGHTS_SET, 0},
                                                           {1020, EVENT_STROBES_SET, 0},
                                                           {1020, EVENT_LOGO_LIGHTS_SET, 1},
                                                           {1020, EVENT_CABIN_LIGHTS_SET, 1}}));
    EXPECT_TRUE(port.lightToggles.empty());
    EXPECT_TRUE(port.staticCgRequests.empty());
    // Removed by the simulator: erased, and counted as a static removal.
    simEvent(SimEventKind::objectRemoved, 1020);
    polls(1);
    EXPECT_TRUE(g_staticAc.empty());
    EXPECT_NE(gf_trafficCountsText().find("1 removed; static aircraft among them: 0 created, 0 refused, 0 given up, "
                                          "1 removed"),
              std::string::npos)
        << gf_trafficCountsText();
}

TEST_F(TrafficAdoption, ALiveryRespawnPutsTheAircraftBackIntoTheBufferAndCreatesItAnew) {
    registrations["HB-JXA"] = DbaseRecord{"EZS", "A320", "", false};
    registrations["HB-JXB"] = DbaseRecord{"SWR", "A320", "", false};
    for (int n = 0; n < 6; ++n) {
        TrafficSample s = cruise(30001, "EZS12", n);
        s.ident.registration = "HB-JXA";
        take(s);
    }
    while (port.creates.empty()) polls(1);
    adopt(30001, 1011);
    polls(201);
    ASSERT_EQ(live(30001)->status, AcStatus::active);
    EXPECT_EQ(port.creates[0].title, "Livery EZS A320");

    // The registration now belongs to another airline: a new livery is needed.
    TrafficSample changed = cruise(30001, "EZS12", 7);
    changed.ident.registration = "HB-JXB";
    changed.pos.dueTick = static_cast<std::int32_t>(trafficTick.load() + 3000);
    take(changed);
    LiveAc* ac = live(30001);
    EXPECT_EQ(ac->status, AcStatus::liveryrespawn);
    EXPECT_EQ(ac->airline, "SWR");
    EXPECT_EQ(removalQueue.back(), 1011u);
    polls(10);
    simEvent(SimEventKind::objectRemoved, 1011);
    lf_processSimEvents();
    ac = live(30001);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->status, AcStatus::buffer);
    EXPECT_EQ(ac->objectId, 0u);
    EXPECT_EQ(ac->throttleIndex, 5u);
    EXPECT_EQ(ac->flapsIndex, 4u);
    EXPECT_EQ(ac->registration, "HB-JXB");
    // Created again, at once, where it stood, with the livery of its new airline.
    polls(60);
    ASSERT_EQ(port.creates.size(), 2u);
    EXPECT_EQ(port.creates[1].title, "Livery SWR A320");
    EXPECT_EQ(live(30001)->status, AcStatus::adding2sim);
}

}  // namespace
}  // namespace skh
