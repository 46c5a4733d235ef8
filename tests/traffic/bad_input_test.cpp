// Bad input from both sides: a crowd of aircraft beyond every limit, a feed
// of duplicate, late, broken and jumping samples, and a simulator that
// refuses, removes on its own, reuses ids and reports unknown objects. Each
// is handled by its rule and the run goes on.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/format.hpp"
#include "traffic/intake.hpp"
#include "traffic/removal.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::ScopedSetting;
using test::TrafficTest;

class TrafficBadInput : public TrafficTest {
protected:
    // Adopts every handed-over request not yet adopted, with fresh ids.
    void adoptAll(std::uint32_t& nextId) {
        for (const AddRequest& r : port.creates) {
            const LiveAc* ac = live(r.actNumber);
            if (ac != nullptr && ac->objectId == 0 && ac->status == AcStatus::adding2sim) adopt(r.actNumber, nextId++);
        }
    }
};

TEST_F(TrafficBadInput, TwoThousandAircraftInRangeStayWithinTheLimits) {
    const ScopedSetting limit(MAX_LIVE_SEL, 25);
    // 2000 aircraft on a 40 x 50 grid, three samples each, arriving over 6 s.
    for (int n = 0; n < 3; ++n) {
        for (std::uint32_t i = 0; i < 2000; ++i) {
            const double lat = 46.0 + 0.05 * (i / 50) + 0.01 * n;
            const double lon = 7.0 + 0.05 * (i % 50) + 0.01 * n;
            TrafficSample s =
                sample(100000 + i, skh::format("C{}", i), "A320", lat, lon, 15000.0, 300.0, 45.0, 1000.0 + 3.0 * n);
            s.pos.dueTick += 300 * n;
            take(s);
        }
    }
    EXPECT_EQ(g_liveAc.size(), 2000u);  // beyond the room reserved for 512
    std::uint32_t nextId = 1000;
    for (int round = 0; round < 40; ++round) {
        polls(100);
        adoptAll(nextId);
        EXPECT_LE(lf_activeLiveCount(), 25u);
        EXPECT_LE(g_liveCreateQueue.size() + addingStack.size(), 25u);
    }
    // The streams are used up: what was created goes, the rest was dropped.
    EXPECT_LE(g_liveAc.size(), 50u);
    for (const LiveAc& ac : g_liveAc) EXPECT_NE(ac.status, AcStatus::buffer);
    EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(TrafficBadInput, ABrokenFeedStillGivesOneConsistentAircraft) {
    std::vector<TrafficSample> feed;
    for (int n = 0; n < 10; ++n) feed.push_back(cruise(30001, "SWR1", n));
    TrafficSample nan = cruise(30001, "SWR1", 10);
    nan.pos.groundSpeed = std::nan("");
    TrafficSample late = cruise(30001, "SWR1", 2);  // an old one again
    TrafficSample twice = cruise(30001, "SWR1", 9);
    TrafficSample jump = cruise(30001, "SWR1", 11);
    jump.pos.groundSpeed = 4500.0;  // ten times faster
    TrafficSample longCallsign = cruise(30002, std::string(30, 'X'), 0);
    for (TrafficSample* s : {&nan, &late, &twice, &jump}) feed.push_back(*s);
    for (int n = 0; n < 3; ++n) feed.push_back(cruise(30002, std::string(30, 'X'), n, 45.0));
    for (TrafficSample& s : feed) push(s);
    polls(3500);
    // Ten samples for 30001; nothing of the broken ones.
    ASSERT_NE(live(30001), nullptr);
    EXPECT_EQ(port.creates.size(), 1u);
    EXPECT_EQ(port.creates[0].callsign, "SWR1");
    EXPECT_EQ(live(30002), nullptr);  // an invalid callsign without a registration to stand in
    EXPECT_TRUE(log.contains("with numbers out of range dropped"));
    // What became of the feed, for the log at the end of the run.
    EXPECT_EQ(gf_trafficCountsText(),
              "traffic: samples 17 taken, 11 appended; aircraft 2 new, 1 created, 0 adopted, 0 active, 0 refused, "
              "0 removals asked, 0 removed; static aircraft among them: 0 created, 0 refused, 0 given up, 0 removed; "
              "dropped: bad numbers 1, invalid callsign 1");
    gf_logTrafficCounts();
    EXPECT_TRUE(log.contains("traffic: samples 17 taken"));
    EXPECT_EQ(g_trafficCounts.samplesTaken, 0u);
}

TEST_F(TrafficBadInput, ASimulatorThatMisbehavesLeavesNoRecordBehind) {
    std::uint32_t nextId = 1000;
    for (std::uint32_t i = 0; i < 6; ++i)
        for (int n = 0; n < 8; ++n) take(cruise(30001 + i, skh::format("T{}", i), n, 45.0 + i));
    while (port.creates.size() < 6) polls(1);
    // The first two are refused, the others created.
    simEvent(SimEventKind::createFailed, 0, 30001);
    simEvent(SimEventKind::createFailed, 0, 30002);
    polls(1);
    adoptAll(nextId);
    // Events for objects and acts that are not ours.
    simEvent(SimEventKind::groundReport, 77, 1, 0.0, 0.0);
    simEvent(SimEventKind::objectRemoved, 78);
    simEvent(SimEventKind::staticCgReport, 79, 0, 9.0, 0.0);
    polls(201);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_EQ(live(30002), nullptr);
    EXPECT_EQ(uncreatable.size(), 2u);
    ASSERT_EQ(lf_activeLiveCount(), 4u);
    // The simulator removes one on its own; its id comes back for another object.
    const std::uint32_t gone = live(30003)->objectId;
    simEvent(SimEventKind::objectRemoved, gone);
    polls(1);
    EXPECT_EQ(live(30003), nullptr);
    take(cruise(30009, "T9", 0, 40.0));
    for (int n = 1; n < 8; ++n) take(cruise(30009, "T9", n, 40.0));
    while (port.creates.size() < 7) polls(1);
    adopt(30009, gone);
    polls(201);
    EXPECT_EQ(live(30009)->status, AcStatus::active);
    // The end of the run: every object is removed once, and every record closes.
    for (LiveAc& ac : g_liveAc) removeAircraftFromSim(ac);
    for (LiveAc& ac : g_liveAc) removeAircraftFromSim(ac);
    polls(100);
    std::vector<std::uint32_t> ids = port.removes;
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_EQ(ids.size(), 4u);
    for (const std::uint32_t id : port.removes) simEvent(SimEventKind::objectRemoved, id);
    polls(1);
    EXPECT_TRUE(g_liveAc.empty());
}

}  // namespace
}  // namespace skh
