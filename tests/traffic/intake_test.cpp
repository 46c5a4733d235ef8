// The intake of traffic samples and the preparation of new live aircraft:
// the filters that ignore samples, the new aircraft, the lead times, the
// rules that hold back or drop a newcomer, and what its creation request
// carries.
#include "traffic/intake.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "aircraft/liveries.hpp"
#include "feed/park_fix.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "traffic/removal.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::ScopedSetting;
using test::TrafficTest;

class TrafficIntake : public TrafficTest {
protected:
    // A buffered aircraft from one sample; the next sample is the case.
    std::size_t streamAfter(const TrafficSample& first, const TrafficSample& next) {
        gf_resetTraffic();
        take(first);
        take(next);
        const LiveAc* ac = live(first.actNumber);
        return ac == nullptr ? 0 : ac->stream.size();
    }
    // An active aircraft standing in the simulator at a position.
    LiveAc& addActive(std::uint32_t act, const std::string& callsign, double lat, double lon, std::uint32_t objectId) {
        TrafficSample s = sample(act, callsign, "A320", lat, lon, 20000.0, 400.0, 0.0, 0.0);
        FlightIdent ident(std::move(s.ident));
        ident.actNumber = act;
        LiveAc& ac = lf_appendLiveAc(LiveAc(s.pos, std::move(ident), 0.0));
        ac.status = AcStatus::active;
        lf_setObjectId(ac, objectId);
        ac.pos.latitude = lat;
        ac.pos.longitude = lon;
        ac.moveState = AcState::flying;
        return ac;
    }
    // Runs the polls until the aircraft has left the buffer (or is gone).
    void prepare(std::uint32_t act, int maxPolls = 4000) {
        for (int i = 0; i < maxPolls && live(act) != nullptr && live(act)->status == AcStatus::buffer; ++i) polls(1);
    }
    bool dropped(std::uint32_t act) { return live(act) == nullptr; }
};

TEST_F(TrafficIntake, SamplesTooSoonOrWithASpeedJumpAreIgnored) {
    struct Case {
        const char* label;
        double dt;  // seconds after the first sample
        double gsOld, gsNew;
        double trackNew;  // the first flies 37 degrees
        double altitude;  // both; 0 on the ground
        bool accepted;
    } const cases[] = {
        {"0.8 s later", 0.8, 200, 200, 50, 20000, false},
        {"1.0 s later", 1.0, 200, 200, 50, 20000, false},
        {"1.5 s later", 1.5, 200, 200, 50, 20000, true},
        {"300 kt after 20 kt", 10, 20, 300, 50, 20000, false},
        {"60 kt after 20 kt", 10, 20, 60, 50, 20000, true},
        {"20 kt after 300 kt", 10, 300, 20, 50, 20000, false},
        {"80 kt after 4 kt", 10, 4, 80, 50, 20000, false},
        {"4 kt after 80 kt", 10, 80, 4, 50, 20000, false},
        {"79 kt after 4 kt", 10, 4, 79, 50, 20000, true},
        // Thinning: 450 m at 400 kt take 2.19 s.
        {"straight at 400 kt after 2 s", 2, 400, 400, 37.5, 20000, false},
        {"straight at 400 kt after 3 s", 3, 400, 400, 37.5, 20000, true},
        {"turning at 400 kt after 2 s", 2, 400, 400, 39, 20000, true},
        // 20 m at 10 kt take 3.9 s; standing still 15 s.
        {"taxiing straight after 3 s", 3, 10, 10, 38, 0, false},
        {"taxiing straight after 5 s", 5, 10, 10, 38, 0, true},
        {"standing after 14 s", 14, 0, 0, 37, 0, false},
        {"standing after 16 s", 16, 0, 0, 37, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const double lat = c.altitude > 0 ? 47.5 : 47.45;
        const TrafficSample first = sample(30001, "SWR1", "A320", lat, 8.5, c.altitude, c.gsOld, 37.0, 1000.0);
        const TrafficSample next =
            sample(30001, "SWR1", "A320", lat + 0.01, 8.51, c.altitude, c.gsNew, c.trackNew, 1000.0 + c.dt);
        EXPECT_EQ(streamAfter(first, next), c.accepted ? 2u : 1u);
    }
    // An older sample than the newest is ignored too.
    EXPECT_EQ(streamAfter(sample(30001, "SWR1", "A320", 47.5, 8.5, 20000, 200, 37, 1000.0),
                          sample(30001, "SWR1", "A320", 47.6, 8.6, 20000, 200, 50, 990.0)),
              1u);
}

TEST_F(TrafficIntake, NewAircraftNeedAKnownTypeAnAllowedCategoryAndAClearAltitude) {
    registrations["HB-JXA"] = DbaseRecord{"EZS", "A320", "", false};
    registrations["HB-XYZ"] = DbaseRecord{"", "", "", false};
    TrafficSample byRegistration = cruise(30001, "EZS12", 0);
    byRegistration.ident.type = "";
    byRegistration.ident.registration = "HB-JXA";
    TrafficSample unknownType = cruise(30002, "ABC1", 0);
    unknownType.ident.type = "ZZZZ";
    TrafficSample unknownFixed = unknownType;
    unknownFixed.actNumber = 30003;
    unknownFixed.ident.registration = "HB-JXA";
    TrafficSample noTypeAnywhere = unknownType;
    noTypeAnywhere.actNumber = 30004;
    noTypeAnywhere.ident.registration = "HB-XYZ";
    for (auto* s : {&byRegistration, &unknownType, &unknownFixed, &noTypeAnywhere}) take(*s);
    ASSERT_NE(live(30001), nullptr);
    EXPECT_EQ(live(30001)->type, "A320");
    EXPECT_EQ(live(30001)->category, CatLarge);
    EXPECT_EQ(live(30002), nullptr);
    ASSERT_NE(live(30003), nullptr);
    EXPECT_EQ(live(30003)->type, "A320");
    EXPECT_EQ(live(30004), nullptr);

    // Categories that the settings switch off.
    const ScopedSetting light(LIGHT_AIRCRAFT, false);
    const ScopedSetting heli(HELICOPTERS, false);
    take(sample(30010, "HBABC", "C172", 47.5, 8.5, 3000, 100, 0, 1000));
    take(sample(30011, "REGA1", "EC35", 47.5, 8.5, 3000, 100, 0, 1000));
    take(sample(30012, "VIPER", "F16", 47.5, 8.5, 3000, 300, 0, 1000));
    EXPECT_EQ(live(30010), nullptr);
    EXPECT_EQ(live(30011), nullptr);
    ASSERT_NE(live(30012), nullptr);
    EXPECT_EQ(live(30012)->category, CatHighPerf);
    EXPECT_EQ(live(30012)->secondCallsign, "VIPER");
    EXPECT_EQ(live(30012)->moveState, AcState::birth);
    EXPECT_EQ(live(30012)->maxClimbStep, 1.0);
    EXPECT_EQ(live(30012)->slowGroundSpeed, 4.5);

    // The same flight under a second address.
    take(cruise(30020, "SWR9", 0));
    take(cruise(30021, "SWR9", 0));
    EXPECT_EQ(live(30021), nullptr);
}

TEST_F(TrafficIntake, AltitudesWithin108FeetOfTheParkAirportAreNotTakenForNewAircraft) {
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.46, 8.55, 1416.0});
    take(sample(30001, "SWR1", "A320", 47.5, 8.5, 1500.0, 150, 0, 1000));  // 84 ft above
    take(sample(30002, "SWR2", "A320", 47.5, 8.5, 1530.0, 150, 0, 1000));  // 114 ft above
    take(sample(30003, "SWR3", "A320", 47.5, 8.5, 0.0, 10, 0, 1000));      // on the ground
    take(sample(30004, "SWR4", "A320", 47.5, 8.5, 12000.0, 250, 0, 1000));
    EXPECT_EQ(live(30001), nullptr);
    EXPECT_NE(live(30002), nullptr);
    EXPECT_NE(live(30003), nullptr);
    EXPECT_NE(live(30004), nullptr);
    // A buffered aircraft ignores such samples too.
    take(sample(30002, "SWR2", "A320", 47.51, 8.51, 1450.0, 150, 10, 1010));
    EXPECT_EQ(live(30002)->stream.size(), 1u);

    // Without a park airport the band lies around -1000 ft.
    gf_clearParkAirport();
    take(sample(30005, "SWR5", "A320", 47.5, 8.5, 1500.0, 150, 0, 1000));
    EXPECT_NE(live(30005), nullptr);
}

TEST_F(TrafficIntake, NewAircraftArePreparedAShortLeadBeforeTheirFirstSampleIsDue) {
    for (int n = 0; n < 3; ++n) take(cruise(30001, "SWR1", n));
    // A moving ground aircraft gets three seconds.
    for (int n = 0; n < 3; ++n) {
        TrafficSample s = sample(30002, "EZY1", "A320", 47.45 + 0.0005 * n, 8.55, 0.0, 15.0, 0.0, 1000.0 + 5 * n);
        s.pos.dueTick += 500 * n;
        take(s);
    }
    trafficTick = 2699;
    polls(1);
    EXPECT_EQ(live(30002)->status, AcStatus::buffer);
    polls(1);  // 2700
    EXPECT_EQ(live(30002)->status, AcStatus::adding2sim);
    EXPECT_EQ(live(30002)->moveState, AcState::taxi);
    trafficTick = 2899;
    polls(1);
    EXPECT_EQ(live(30001)->status, AcStatus::buffer);
    polls(1);  // 2900
    EXPECT_EQ(live(30001)->status, AcStatus::adding2sim);
    EXPECT_EQ(live(30001)->moveState, AcState::flying);

    // A single sample at that time is not enough.
    take(cruise(30003, "SWR3", 0));
    prepare(30003);
    EXPECT_TRUE(dropped(30003));
}

TEST_F(TrafficIntake, TheCreationRequestCarriesThePlacedPositionInDegrees) {
    for (int n = 0; n < 3; ++n) {
        TrafficSample s = cruise(30001, "SWR1", n);
        s.pos.verticalSpeed = 1200.0;
        s.pos.bank = 0.1;
        take(s);
    }
    prepare(30001);
    polls(60);
    ASSERT_EQ(port.creates.size(), 1u);
    const AddRequest& r = port.creates[0];
    EXPECT_EQ(r.actNumber, 30001u);
    EXPECT_EQ(r.callsign, "SWR1");
    EXPECT_EQ(r.title, "Livery SWR A320");
    EXPECT_DOUBLE_EQ(r.initPos.Latitude, 47.5);
    EXPECT_DOUBLE_EQ(r.initPos.Altitude, 20000.0);
    EXPECT_EQ(r.initPos.OnGround, 0u);
    EXPECT_EQ(r.initPos.Airspeed, 0u);
    // Climbing at 1200 ft/min: -3 - 2 x 2.2 degrees; the heading towards the second sample.
    EXPECT_NEAR(r.initPos.Pitch, -7.4, 1e-9);
    EXPECT_NEAR(r.initPos.Bank, 0.1 * RAD2DEG, 1e-9);
    EXPECT_NEAR(r.initPos.Heading, gf_bearingRad({47.5, 8.5}, {47.51, 8.51}) * RAD2DEG, 1e-9);
    EXPECT_EQ(live(30001)->airline, "SWR");  // from the callsign

    // On the ground, standing: the nose slightly down and the track as heading.
    for (int n = 0; n < 3; ++n) {
        TrafficSample s = sample(30002, "N123", "C172", 47.45, 8.55, 0.0, 0.0, 123.0, 1000.0 + 20 * n);
        s.pos.dueTick += 500 * n;
        take(s);
    }
    prepare(30002);
    polls(60);
    ASSERT_EQ(port.creates.size(), 2u);
    EXPECT_EQ(port.creates[1].initPos.OnGround, 1u);
    EXPECT_NEAR(port.creates[1].initPos.Pitch, 0.6, 1e-9);
    EXPECT_NEAR(port.creates[1].initPos.Heading, 123.0, 1e-9);
    EXPECT_EQ(live(30002)->airline, "PVT");
    EXPECT_EQ(live(30002)->stream.front().stationary, 1);
}

TEST_F(TrafficIntake, TheIdentityIsCompletedFromTheRegistrationData) {
    registrations["HB-JXA"] = DbaseRecord{"EZY", "A320", "EZS", true};
    TrafficSample s = cruise(30001, "@@@@@@@@", 0);
    s.ident.registration = "HB-JXA";
    take(s);
    for (int n = 1; n < 3; ++n) take(cruise(30001, "@@@@@@@@", n));
    prepare(30001);
    const LiveAc& ac = *live(30001);
    EXPECT_EQ(ac.airline, "EZS");  // the operator before the airline
    EXPECT_EQ(ac.cargo, 1);
    EXPECT_EQ(ac.callsign, "HB-JXA");  // an invalid callsign gives way to the registration
    EXPECT_EQ(ac.status, AcStatus::adding2sim);
}

TEST_F(TrafficIntake, ANewcomerNearTheUserOnTheGroundIsCreatedFromItsFirstSampleBeyond150m) {
    port.onGround = true;
    port.user.latitude = 47.45;
    port.user.longitude = 8.55;
    port.user.altitude = 1416.0;
    g_userAc = port.user;
    const double metres[] = {60.0, 140.0, 160.0, 260.0, 360.0};
    for (int n = 0; n < 5; ++n) {
        const GeoPos p = gf_destinationPoint({47.45, 8.55}, 0.0, metres[n] / 0.3048);
        TrafficSample s = sample(30001, "SWR1", "A320", p.lat, p.lon, 0.0, 8.0, 0.0, 1000.0 + 6 * n);
        s.pos.dueTick += 300 * n;
        take(s);
    }
    ASSERT_EQ(live(30001)->stream.size(), 5u);
    prepare(30001);
    ASSERT_EQ(live(30001)->status, AcStatus::adding2sim);
    EXPECT_EQ(live(30001)->stream.size(), 3u);
    const GeoPos third = gf_destinationPoint({47.45, 8.55}, 0.0, 160.0 / 0.3048);
    EXPECT_DOUBLE_EQ(live(30001)->pos.latitude, third.lat);

    // Without the setting the first sample serves.
    const ScopedSetting off(COLLISION_USER_GND, false);
    for (int n = 0; n < 3; ++n) {
        const GeoPos p = gf_destinationPoint({47.45, 8.55}, 0.0, metres[n] / 0.3048);
        TrafficSample s = sample(30002, "SWR2", "A320", p.lat, p.lon, 0.0, 8.0, 0.0, 1000.0 + 6 * n);
        s.pos.dueTick += 300 * n;
        take(s);
    }
    prepare(30002);
    EXPECT_EQ(live(30002)->stream.size(), 3u);
}

TEST_F(TrafficIntake, AnAirborneNewcomerOnACollisionCourseWithTheAirborneUserIsHeld) {
    port.user.latitude = 47.5;
    port.user.longitude = 8.5;
    port.user.altitude = 20000.0;
    g_userAc = port.user;
    // 5 nm south of the user, flying north at the user's level: held while it comes.
    for (int n = 0; n < 4; ++n) {
        TrafficSample s =
            sample(30001, "SWR1", "A320", 47.5 - (5.0 - n * 0.2) / 60.0, 8.5, 20000.0, 250.0, 0.0, 1000.0 + 3 * n);
        s.pos.dueTick += 300 * n;
        take(s);
    }
    // 5 nm south and flying east 3 nm off: created.
    for (int n = 0; n < 4; ++n) {
        TrafficSample s = sample(30002, "SWR2", "A320", 47.5 - 5.0 / 60.0, 8.5 + (0.05 + 0.01 * n), 20000.0, 250.0,
                                 90.0, 1000.0 + 3 * n);
        s.pos.dueTick += 300 * n;
        take(s);
    }
    prepare(30002);
    EXPECT_EQ(live(30002)->status, AcStatus::adding2sim);
    prepare(30001);
    EXPECT_TRUE(dropped(30001));  // held until its stream was used up
}

TEST_F(TrafficIntake, TheLiveLimitReplacesAFarAircraftByANearNewcomer) {
    const ScopedSetting limit(MAX_LIVE_SEL, 10);
    port.user.latitude = g_userAc.latitude = 47.0;
    port.user.longitude = g_userAc.longitude = 8.5;
    for (std::uint32_t i = 0; i < 9; ++i)
        addActive(20001 + i, "N" + std::to_string(i), 47.0 + 0.1 * i / 60.0, 8.5, 1001 + i);
    addActive(20010, "FAR", 47.0 + 20.0 / 60.0, 8.5, 1010);  // 20 nm
    EXPECT_EQ(lf_activeLiveCount(), 10u);

    // 20.05 nm away: not enough farther, the newcomer goes.
    EXPECT_TRUE(lf_makeRoomForNewLiveAc(20.05));
    EXPECT_EQ(live(20010)->status, AcStatus::active);

    // A newcomer 5 nm away takes its place.
    for (int n = 0; n < 3; ++n) take(cruise(30001, "SWR1", n, 47.0 + 5.0 / 60.0));
    // Its first sample lies 5 nm north of the user.
    prepare(30001);
    EXPECT_EQ(live(30001)->status, AcStatus::adding2sim);
    EXPECT_EQ(live(20010)->status, AcStatus::removingfromsim);
    EXPECT_EQ(removalQueue.back(), 1010u);

    // Lowering the limit removes the farthest ones; the newcomer on its way counts.
    const ScopedSetting lower(MAX_LIVE_SEL, 7);
    gf_limitLiveCount();
    EXPECT_EQ(lf_activeLiveCount(), 6u);
    EXPECT_EQ(lf_liveCountForLimit(), 7u);
    EXPECT_EQ(live(20009)->status, AcStatus::removingfromsim);

    // No room at 0: every newcomer goes.
    const ScopedSetting none(MAX_LIVE_SEL, 0);
    for (int n = 0; n < 3; ++n) take(cruise(30002, "SWR2", n));
    prepare(30002);
    EXPECT_TRUE(dropped(30002));
}

// Flights that come and go while the simulator takes its time: a creation is
// adopted 3 s after its hand-over and active 2 s later, a removal reported
// 0.5 s after its hand-over. Every aircraft handed over counts against the
// limit until it is gone, so the simulator never holds more active ones.
TEST_F(TrafficIntake, ActiveAircraftNeverOutnumberTheLiveLimitWhileFlightsComeAndGo) {
    const test::ScopedLog quiet;
    constexpr std::uint32_t kFlights = 40;
    constexpr int kSamples = 13;  // one every 5 s
    constexpr std::uint32_t kFirstAct = 20001;
    for (const int limit : {5, 10}) {
        SCOPED_TRACE(limit);
        gf_resetTraffic();
        port.creates.clear();
        port.removes.clear();
        trafficTick = 0;
        const ScopedSetting max(MAX_LIVE_SEL, limit);
        struct Due {
            std::uint32_t tick;
            SimEvent event;
        };
        std::vector<Due> simulator;
        std::size_t createsSeen = 0, removesSeen = 0;
        std::uint32_t nextObject = 1000;
        std::size_t peak = 0;
        // Until the last flight's predictions have run out and it is gone.
        for (std::uint32_t tick = 0; tick < 60000 && (tick < 10000 || !g_liveAc.empty()); ++tick) {
            // Flight i appears every second and reports every 5 s, 2 to 21 nm north of the user.
            for (std::uint32_t i = 0; i < kFlights; ++i) {
                const std::uint32_t start = 100 * i;
                if (tick < start || (tick - start) % 500 != 0 || (tick - start) / 500 >= kSamples) continue;
                const int n = static_cast<int>((tick - start) / 500);
                const double north = 2.0 + ((i * 7) % 20);
                TrafficSample s = sample(kFirstAct + i, skh::format("F{}", i), "A320", 47.0 + north / 60.0,
                                         8.2 + 0.0135 * n, 20000.0, 400.0, 90.0, 1000.0 + 5.0 * n);
                take(s);
            }
            for (; createsSeen < port.creates.size(); ++createsSeen) {
                SimEvent e;
                e.kind = SimEventKind::objectCreated;
                e.actNumber = port.creates[createsSeen].actNumber;
                e.objectId = nextObject++;
                e.b = 20000.0;
                simulator.push_back({tick + 300, e});
            }
            for (; removesSeen < port.removes.size(); ++removesSeen) {
                SimEvent e;
                e.kind = SimEventKind::objectRemoved;
                e.objectId = port.removes[removesSeen];
                simulator.push_back({tick + 50, e});
            }
            for (auto it = simulator.begin(); it != simulator.end();) {
                if (it->tick > tick) {
                    ++it;
                    continue;
                }
                gf_pushSimEvent(it->event);
                it = simulator.erase(it);
            }
            polls(1);
            peak = std::max(peak, lf_activeLiveCount());
        }
        EXPECT_EQ(peak, static_cast<std::size_t>(limit));
        // Newcomers nearer than the farthest active aircraft took its place.
        EXPECT_GT(port.creates.size(), static_cast<std::size_t>(limit) + 5);
        EXPECT_TRUE(g_liveAc.empty());  // every flight came and went
    }
}

TEST_F(TrafficIntake, AnAircraftWithoutALiveryIsRememberedAndNotTriedAgain) {
    noLivery.insert("CRJ9");
    int matches = 0;
    auto real = gf_trafficServices().matchLiveryForSpawn;
    gf_trafficServices().matchLiveryForSpawn = [&](FlightIdent& f) {
        ++matches;
        real(f);
    };
    for (std::uint32_t act : {30001u, 30002u}) {
        for (int n = 0; n < 3; ++n) {
            TrafficSample s = cruise(act, "DLA" + std::to_string(act), n);
            s.ident.type = "CRJ9";
            s.ident.registration = "D-ACNA";
            take(s);
        }
        prepare(act);
        EXPECT_TRUE(dropped(act));
    }
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(g_noMatchLines.count("DLA CRJ9 D-ACNA"), 1u);
}

TEST_F(TrafficIntake, BlockedGhostAndMixedStreamsAreNotCreated) {
    {
        const test::ScopedLog quiet;
        BLOCK_CALLSIGN.value.set("SWR1");
        for (int n = 0; n < 3; ++n) take(cruise(30001, "SWR1", n));
        prepare(30001);
        EXPECT_TRUE(dropped(30001));
        BLOCK_CALLSIGN.value.set("");
    }
    // A ghost of a removed ghost callsign.
    g_removedGhosts.push_back("SWR2_");
    for (int n = 0; n < 3; ++n) take(cruise(30002, "SWR2_", n));
    prepare(30002);
    EXPECT_TRUE(dropped(30002));
    // A ghost whose base callsign flies.
    for (int n = 0; n < 3; ++n) take(cruise(30003, "SWR3", n, 46.0));
    for (int n = 0; n < 3; ++n) take(cruise(30004, "SWR3_", n, 45.0));
    prepare(30003);
    prepare(30004);
    EXPECT_EQ(live(30003)->status, AcStatus::adding2sim);
    EXPECT_TRUE(dropped(30004));
    // A stream that changes between ground and air loses its front sample.
    TrafficSample ground = sample(30005, "SWR5", "A320", 47.45, 8.55, 0.0, 150.0, 0.0, 1000.0);
    take(ground);
    for (int n = 1; n < 4; ++n) take(cruise(30005, "SWR5", n));
    trafficTick = static_cast<std::uint32_t>(ground.pos.dueTick - 100);
    polls(1);
    EXPECT_EQ(live(30005)->stream.size(), 3u);
    EXPECT_EQ(live(30005)->status, AcStatus::buffer);
}

TEST_F(TrafficIntake, ANewCallsignRemovesTheGhostOfItsFlight) {
    for (int n = 0; n < 3; ++n) take(cruise(30001, "EZY12_", n, 46.0));
    prepare(30001);
    ASSERT_EQ(live(30001)->status, AcStatus::adding2sim);
    polls(60);  // its request handed over
    for (int n = 0; n < 3; ++n) take(cruise(30002, "EZY12", n));
    prepare(30002);
    EXPECT_EQ(live(30002)->status, AcStatus::adding2sim);
    EXPECT_EQ(live(30001)->removeWhenCreated, 1);
    EXPECT_EQ(g_removedGhosts, (std::vector<std::string>{"EZY12_"}));
}

TEST_F(TrafficIntake, AStreamOfMoreThan200SamplesCostsTheAircraft) {
    LiveAc& ac = activeCruiser(30001, "SWR1", 101);
    int n = 8;
    while (ac.stream.size() < 200) take(cruise(30001, "SWR1", n++));
    // 200 waiting: the next sample is taken, the one after ends it.
    take(cruise(30001, "SWR1", n++));
    EXPECT_EQ(ac.stream.size(), 201u);
    EXPECT_EQ(ac.status, AcStatus::active);
    take(cruise(30001, "SWR1", n++));
    EXPECT_EQ(ac.status, AcStatus::removingfromsim);
}

TEST_F(TrafficIntake, ElevenQueuedCreationsHoldBackAnotherNewcomer) {
    for (std::uint32_t i = 0; i < 11; ++i) {
        AddRequest r;
        r.actNumber = 40000 + i;
        g_liveCreateQueue.push_back(r);
    }
    for (int n = 0; n < 4; ++n) take(cruise(30001, "SWR1", n));
    trafficTick = 2901;  // not a hand-over poll
    polls(1);
    EXPECT_EQ(live(30001)->status, AcStatus::buffer);
    EXPECT_EQ(live(30001)->stream.size(), 3u);
}

}  // namespace
}  // namespace skh
