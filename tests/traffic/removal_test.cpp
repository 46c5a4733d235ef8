// Taking aircraft out of the simulator by status, the faults of the update
// that must not leave frozen objects or leaking records, the respawn rules of
// changed identities, ghosts, duplicates of static aircraft and the lost
// RealTraffic link.
#include "traffic/removal.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "feed/live_removal.hpp"
#include "traffic/intake.hpp"
#include "traffic/live_update.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::ScopedSetting;
using test::TrafficTest;

class TrafficRemoval : public TrafficTest {
protected:
    LiveAc& requested(std::uint32_t act, const std::string& callsign, double lat = 47.5) {
        for (int n = 0; n < 6; ++n) take(cruise(act, callsign, n, lat));
        while (live(act) != nullptr && std::none_of(port.creates.begin(), port.creates.end(),
                                                    [&](const AddRequest& r) { return r.actNumber == act; }))
            polls(1);
        return *live(act);
    }
    LiveAc& buffered(std::uint32_t act, const std::string& callsign) {
        take(cruise(act, callsign, 0));
        return *live(act);
    }
};

TEST_F(TrafficRemoval, EachStatusLeavesTheSimulatorItsOwnWay) {
    // Buffer: dropped at the next compaction.
    removeAircraftFromSim(buffered(30001, "B1"));
    EXPECT_EQ(live(30001)->dropUnsent, 1);

    // Being added, request still queued: withdrawn and dropped.
    for (int n = 0; n < 6; ++n) take(cruise(30002, "Q1", n));
    while (g_liveCreateQueue.empty()) polls(1);
    removeAircraftFromSim(*live(30002));
    EXPECT_TRUE(g_liveCreateQueue.empty());
    EXPECT_EQ(live(30002)->dropQueued, 1);
    polls(1);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_EQ(live(30002), nullptr);

    // Being added, request handed over: removed once created.
    removeAircraftFromSim(requested(30003, "H1"));
    EXPECT_EQ(live(30003)->removeWhenCreated, 1);
    EXPECT_EQ(live(30003)->status, AcStatus::adding2sim);

    // Active: queued once, however often it is asked for.
    LiveAc& a = activeCruiser(30004, "A1", 1004);
    removeAircraftFromSim(a);
    EXPECT_EQ(a.status, AcStatus::removingfromsim);
    removeAircraftFromSim(*live(30004));
    removeAircraftFromSim(*live(30004));
    EXPECT_EQ(std::count(removalQueue.begin(), removalQueue.end(), 1004u), 1);
    polls(10);
    removeAircraftFromSim(*live(30004));  // handed over, not yet reported
    polls(30);
    EXPECT_EQ(std::count(port.removes.begin(), port.removes.end(), 1004u), 1);
    // The record stays until the simulator reports the removal.
    ASSERT_NE(live(30004), nullptr);
    simEvent(SimEventKind::objectRemoved, 1004);
    polls(1);
    EXPECT_EQ(live(30004), nullptr);
}

TEST_F(TrafficRemoval, AnActiveRecordWithoutObjectIsDroppedNotLeaked) {
    LiveAc& a = activeCruiser(30001, "A1", 1001);
    lf_setObjectId(a, 0);
    polls(1);
    EXPECT_TRUE(log.contains("updateLiveAc objectid=0? hexid: 30001"));
    EXPECT_TRUE(log.contains("removeAircraftFromSim removing act"));
    polls(1);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_TRUE(removalQueue.empty());

    StaticAc st;
    st.actNumber = 5;
    st.status = AcStatus::active;
    g_staticAc.push_back(st);
    removeAircraftFromSim(g_staticAc.front());
    polls(1);
    EXPECT_TRUE(g_staticAc.empty());
}

TEST_F(TrafficRemoval, AFaultInTheUpdateTakesTheObjectOutAndKeepsTheRecord) {
    LiveAc& a = activeCruiser(30001, "A1", 1001);
    a.pos.latitude = std::nan("");
    polls(1);
    EXPECT_TRUE(log.contains("updateLiveAc: position not finite"));
    LiveAc* after = live(30001);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->status, AcStatus::removingfromsim);
    EXPECT_EQ(removalQueue.back(), 1001u);
    EXPECT_TRUE(port.back.empty());  // nothing unusable reaches the simulator
    polls(20);
    EXPECT_EQ(port.removes, (std::vector<std::uint32_t>{1001}));
    EXPECT_NE(live(30001), nullptr);
}

TEST_F(TrafficRemoval, AnObjectTheSimulatorRemovedOnItsOwnIsNeverRemovedTwice) {
    LiveAc& a = activeCruiser(30001, "A1", 1001);
    trafficTick = trafficTick.load() / 10 * 10 + 1;  // not a hand-over poll
    removeAircraftFromSim(a);
    simEvent(SimEventKind::objectRemoved, 1001);  // the simulator was faster
    polls(1);
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_TRUE(removalQueue.empty());
    // The id comes back for a new aircraft of ours: it stays.
    activeCruiser(30002, "A2", 1001);
    polls(30);
    EXPECT_TRUE(port.removes.empty());
    EXPECT_EQ(live(30002)->status, AcStatus::active);
}

TEST_F(TrafficRemoval, CallsignChangesRespawnUnlessTheNewCallsignIsAGhostOfAnotherFlight) {
    activeCruiser(30001, "EZY12", 1001);
    LiveAc& b = activeCruiser(30002, "SWR7", 1002, 46.0);
    (void)b;
    // The feed gives SWR7's address the callsign of EZY12's ghost.
    TrafficSample ghost = cruise(30002, "EZY12_", 20, 46.0);
    ghost.ident.registration = "HB-XXX";
    take(ghost);
    EXPECT_EQ(live(30002)->callsign, "SWR7");
    EXPECT_EQ(live(30002)->status, AcStatus::active);

    // A real new callsign: shown in the simulator after a respawn.
    TrafficSample renamed = cruise(30002, "SWR8", 21, 46.0);
    renamed.ident.registration = "HB-XXX";
    take(renamed);
    EXPECT_EQ(live(30002)->callsign, "SWR8");
    EXPECT_EQ(live(30002)->secondCallsign, "SWR8");
    EXPECT_EQ(live(30002)->status, AcStatus::liveryrespawn);
}

TEST_F(TrafficRemoval, AnotherAirlineOnTheRegistrationRespawnsOnlyWithGuidChanges) {
    registrations["HB-JXA"] = DbaseRecord{"EZS", "A320", "", false};
    registrations["HB-JXB"] = DbaseRecord{"SWR", "A320", "", false};
    for (bool guidChanges : {false, true}) {
        SCOPED_TRACE(guidChanges);
        const ScopedSetting setting(GUID_CHANGES, guidChanges);
        const std::uint32_t act = guidChanges ? 30002 : 30001;
        LiveAc& a = activeCruiser(act, "EZS" + std::to_string(act - 30000), act - 29000);
        a.registration = "HB-JXA";
        a.airline = "EZS";
        const std::size_t before = a.stream.size();
        TrafficSample s = cruise(act, a.callsign, 20);
        s.ident.registration = "HB-JXB";
        s.pos.dueTick = static_cast<std::int32_t>(trafficTick.load() + 3000);
        take(s);
        if (guidChanges) {
            EXPECT_EQ(live(act)->status, AcStatus::liveryrespawn);
        } else {
            EXPECT_EQ(live(act)->status, AcStatus::active);
            EXPECT_EQ(live(act)->stream.size(), before);  // ignored
        }
    }
}

TEST_F(TrafficRemoval, RoutesAndIdentitiesAreTakenOverWhileBuffered) {
    TrafficSample first = cruise(30001, "SWR1", 0);
    take(first);
    TrafficSample next = cruise(30001, "SWR100", 1);
    next.ident.origin = "LSZH";
    next.ident.destination = "KJFK";
    next.ident.registration = "HB-JHA";
    take(next);
    const LiveAc& ac = *live(30001);
    EXPECT_EQ(ac.callsign, "SWR100");
    EXPECT_EQ(ac.origin, "LSZH");
    EXPECT_EQ(ac.destination, "KJFK");
    EXPECT_EQ(ac.registration, "HB-JHA");
}

TEST_F(TrafficRemoval, AStaticDuplicateOfALiveAircraftIsRemoved) {
    LiveAc& a = activeCruiser(30001, "EZY12", 1001);
    a.registration = "G-EZAA";
    StaticAc same;
    same.actNumber = 3;
    same.callsign = "EZY9*";
    same.registration = "G-EZBB";
    same.secondCallsign = "EZY12";
    same.status = AcStatus::active;
    lf_setObjectId(same, 2003);
    StaticAc other = same;
    other.actNumber = 4;
    other.secondCallsign = "EZY99";
    other.registration = "G-EZAA";
    lf_setObjectId(other, 2004);
    g_staticAc = {other, same};
    gf_removeDuplicateStatics(*live(30001), false);
    // The same registration comes first.
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);
    EXPECT_EQ(g_staticAc[1].status, AcStatus::active);
    gf_removeDuplicateStatics(*live(30001), false);
    EXPECT_EQ(g_staticAc[1].status, AcStatus::removingfromsim);
    EXPECT_TRUE(log.contains("has same callsign"));
}

TEST_F(TrafficRemoval, FlushingStaticAircraftLeavesNoneBehind) {
    const auto staticAc = [](std::uint32_t act, AcStatus status, std::uint32_t objectId) {
        StaticAc st;
        st.actNumber = act;
        st.callsign = "S" + std::to_string(act) + "*";
        st.status = status;
        st.objectId = objectId;
        return st;
    };
    g_staticAc = {staticAc(1, AcStatus::active, 2001), staticAc(2, AcStatus::adding2sim, 0),
                  staticAc(3, AcStatus::adding2sim, 0), staticAc(4, AcStatus::buffer, 0)};
    AddRequest waiting;
    waiting.actNumber = 2;
    waiting.callsign = "S2*";
    g_staticCreateQueue.push_back(waiting);
    gf_removeAllStaticAc();
    ASSERT_EQ(g_staticAc.size(), 3u);
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);
    EXPECT_EQ(g_staticAc[1].actNumber, 3u);
    EXPECT_EQ(g_staticAc[1].removeWhenCreated, 1);  // handed over already: removed once it exists
    EXPECT_EQ(g_staticAc[2].actNumber, 4u);
    EXPECT_TRUE(g_staticCreateQueue.empty());
    EXPECT_EQ(removalQueue, (std::deque<std::uint32_t>{2001}));
}

TEST_F(TrafficRemoval, ALostRealTrafficLinkTakesTheLiveAircraftOut) {
    gf_reserveTrafficContainers();  // installs the work behind the feed's hook
    activeCruiser(30001, "A1", 1001);
    // One handed over to the simulator side, one still waiting in the queue.
    buffered(30002, "H1").status = AcStatus::adding2sim;
    buffered(30003, "Q1").status = AcStatus::adding2sim;
    AddRequest waiting;
    waiting.actNumber = 30003;
    waiting.callsign = "Q1";
    g_liveCreateQueue.push_back(waiting);
    buffered(30004, "B1");

    g_stopRequested = true;
    gf_removeAllLiveAircraft();  // not while the run stops
    g_stopRequested = false;
    EXPECT_EQ(live(30001)->status, AcStatus::active);

    gf_removeAllLiveAircraft();
    EXPECT_EQ(live(30001)->status, AcStatus::removingfromsim);
    EXPECT_EQ(live(30002)->removeWhenCreated, 1);
    EXPECT_EQ(live(30003), nullptr);  // its request withdrawn, the record erased
    EXPECT_NE(live(30004), nullptr);
    EXPECT_TRUE(g_liveCreateQueue.empty());
    EXPECT_EQ(g_liveAc[0].actNumber, 30001u);  // the others keep their order
    EXPECT_EQ(g_liveAc[1].actNumber, 30002u);
}

TEST_F(TrafficRemoval, TheActSlotListTakesAnAircraftOncePerStay) {
    const auto slot = [](std::uint64_t weekday, std::uint64_t s) { return weekday | (s << 32); };
    EXPECT_TRUE(lf_noteActSlot(slot(2, 20), 30001, false));
    EXPECT_FALSE(lf_noteActSlot(slot(2, 22), 30001, false));
    EXPECT_TRUE(lf_noteActSlot(slot(2, 23), 30001, false));
    EXPECT_TRUE(lf_noteActSlot(slot(2, 24), 30001, true));
    EXPECT_FALSE(lf_noteActSlot(slot(3, 25), 30001, false));  // a day and one slot later
    EXPECT_EQ(g_actSlots.size(), 1u);
    EXPECT_EQ(g_actSlots[0].weekSlot, slot(2, 24));
}

}  // namespace
}  // namespace skh
