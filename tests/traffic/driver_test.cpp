// The per-poll driver: the order and cadences of the hand-overs and
// requests, the reset between runs, and a sample that breaks the intake.
#include <gtest/gtest.h>

#include <stdexcept>

#include "aircraft/liveries.hpp"
#include "airports/stand.hpp"
#include "traffic/intake.hpp"
#include "traffic/removal.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::TrafficTest;

class TrafficDriver : public TrafficTest {
protected:
    static AddRequest request(std::uint32_t act, const std::string& callsign) {
        AddRequest r;
        r.actNumber = act;
        r.callsign = callsign;
        return r;
    }
};

TEST_F(TrafficDriver, HandOversAndRequestsKeepTheirCadences) {
    for (std::uint32_t i = 0; i < 10; ++i) g_liveCreateQueue.push_back(request(20001 + i, "L" + std::to_string(i)));
    g_staticCreateQueue.push_back(request(17, "S1*"));
    for (std::uint32_t id : {1001u, 1002u, 1003u}) removalQueue.push_back(id);

    polls(510);
    // One creation every 50 polls, the tenth 450 polls after the first; live before static.
    ASSERT_EQ(port.creates.size(), 11u);
    EXPECT_EQ(port.creatTicks.front(), 0u);
    EXPECT_EQ(port.creatTicks[9], 450u);
    EXPECT_EQ(port.creates[9].actNumber, 20010u);
    EXPECT_EQ(port.creates[10].callsign, "S1*");
    EXPECT_EQ(port.creatTicks[10], 500u);
    // One removal every 10 polls.
    EXPECT_EQ(port.removes, (std::vector<std::uint32_t>{1001, 1002, 1003}));
    EXPECT_EQ(port.removeTicks, (std::vector<std::uint32_t>{0, 10, 20}));
    // The aircraft within range every 100 polls, and the user's position with them.
    EXPECT_EQ(port.rangeRequestTicks, (std::vector<std::uint32_t>{0, 100, 200, 300, 400, 500}));
    EXPECT_EQ(userPositionsSent, 6);
    EXPECT_EQ(port.swaps, 510u);
    EXPECT_EQ(trafficTick.load(), 510u);

    // Every 20 polls while an aircraft comes down to land.
    port.rangeRequestTicks.clear();
    g_landingWatch = true;
    polls(51);
    EXPECT_EQ(port.rangeRequestTicks, (std::vector<std::uint32_t>{520, 540, 560}));

    // A failed request stops the asking.
    port.callsFail = true;
    polls(20);
    EXPECT_EQ(port.requestErrors, 1);
    EXPECT_TRUE(log.contains("SimConnect request ac within range fails"));
    polls(100);
    EXPECT_EQ(port.requestErrors, 1);
}

TEST_F(TrafficDriver, TheResetEmptiesEverythingAndSetsTheQnhBack) {
    for (int n = 0; n < 3; ++n) take(cruise(30001, "SWR1", n));
    push(cruise(30002, "SWR2", 0));
    g_liveCreateQueue.push_back(request(30003, "X"));
    g_staticCreateQueue.push_back(request(3, "Y*"));
    removalQueue.push_back(1005);
    addingStack.push_back(30001);
    g_removedGhosts.push_back("ABC_");
    g_createdObjects.push_back({1005, 30001, 0, 0});
    g_staticAc.emplace_back();
    g_stands.push_back(gf_makeStand("A1", {}, 47.0, 8.0, 0.0, 30.0, false, false, false));
    g_noMatchLines.insert("DLH A320 D-AIZZ");
    g_landingWatch = true;
    g_qnh = 990;
    simEvent(SimEventKind::objectRemoved, 1005);
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.46, 8.55, 1416.0});

    gf_resetTraffic();
    EXPECT_TRUE(g_liveAc.empty());
    EXPECT_TRUE(g_staticAc.empty());
    EXPECT_EQ(gf_trafficQueueSize(), 0u);
    EXPECT_TRUE(g_liveCreateQueue.empty() && g_staticCreateQueue.empty() && removalQueue.empty());
    EXPECT_TRUE(addingStack.empty() && g_removedGhosts.empty() && g_createdObjects.empty());
    EXPECT_TRUE(g_stands.empty() && g_noMatchLines.empty());
    EXPECT_TRUE(gf_takeSimEvents().empty());
    EXPECT_FALSE(g_landingWatch);
    EXPECT_EQ(g_qnh.load(), 1013);
    EXPECT_TRUE(gf_parkAirport().icao.empty());
    EXPECT_EQ(live(30001), nullptr);
}

TEST_F(TrafficDriver, ABrokenSampleIsDroppedOnceAndTheRunGoesOn) {
    gf_trafficServices().findRegistration = [](std::string_view) -> std::optional<DbaseRecord> {
        throw std::runtime_error("registration data broken");
    };
    TrafficSample s = sample(30001, "SWR1", "", 47.5, 8.5, 20000.0, 400.0, 37.0, 1000.0);
    s.ident.registration = "HB-JXA";
    push(s);
    push(cruise(30002, "SWR2", 0));
    polls(1);
    EXPECT_TRUE(log.contains("lf_handleIncoming exception: registration data broken, act 30001 SWR1 dropped"));
    EXPECT_EQ(gf_trafficQueueSize(), 0u);
    EXPECT_NE(live(30002), nullptr);
    polls(5);
    const auto lines = log.lines();
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.find("registration data broken") != std::string::npos; }),
        1);
    EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(TrafficDriver, SamplesWithNumbersOffTheScaleAreDropped) {
    TrafficSample nan = cruise(30001, "SWR1", 0);
    nan.pos.altitude = std::nan("");
    TrafficSample off = cruise(30002, "SWR2", 0);
    off.pos.lat = 91.0;
    TrafficSample inf = cruise(30003, "SWR3", 0);
    inf.timestamp = HUGE_VAL;
    TrafficSample bank = cruise(30004, "SWR4", 0);
    bank.pos.bank = std::nan("");
    for (auto* s : {&nan, &off, &inf, &bank}) take(*s);
    EXPECT_TRUE(g_liveAc.empty());
    EXPECT_TRUE(log.contains("sample of act 30001 (SWR1) with numbers out of range dropped"));
    EXPECT_TRUE(log.contains("sample of act 30004 (SWR4) with numbers out of range dropped"));
}

TEST_F(TrafficDriver, AnAircraftRemovedBeforeItsTurnMakesNoRequest) {
    for (int n = 0; n < 4; ++n) {
        take(cruise(30001, "SWR1", n));
        take(cruise(30002, "SWR2", n, 46.5));
    }
    trafficTick = 2900;
    polls(1);  // both prepared; the one stacked last is taken first
    ASSERT_EQ(addingStack, (std::vector<std::uint32_t>{30001}));
    ASSERT_EQ(g_liveCreateQueue.size(), 1u);
    removeAircraftFromSim(*live(30001));
    removeAircraftFromSim(*live(30002));
    polls(60);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_EQ(live(30002), nullptr);
    EXPECT_TRUE(port.creates.empty());
    EXPECT_TRUE(g_liveCreateQueue.empty() && addingStack.empty());
}

}  // namespace
}  // namespace skh
