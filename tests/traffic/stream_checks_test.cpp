// The checks that decide whether a new sample may extend the stream of a
// placed live aircraft, by its movement state.
#include "traffic/stream_checks.hpp"

#include <gtest/gtest.h>

#include "foundation/geo.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::TrafficTest;

class TrafficStreamChecks : public TrafficTest {
protected:
    LiveAc ac;
    void SetUp() override {
        TrafficTest::SetUp();
        ac.category = CatLarge;
        ac.wingspan = 0.0097;  // an A320's half span, nm
        ac.status = AcStatus::active;
        ac.objectId = 1001;
    }
    static PosSample at(double lat, double lon, double gs, bool airborne = false) {
        PosSample s;
        s.lat = lat;
        s.lon = lon;
        s.groundSpeed = gs;
        s.airborne = airborne ? 1 : 0;
        s.altitude = airborne ? 3000.0 : 0.0;
        return s;
    }
    static GeoPos metresFrom(GeoPos p, double bearingDeg, double metres) {
        return gf_destinationPoint(p, bearingDeg * DEG2RAD, metres / 0.3048);
    }
};

TEST_F(TrafficStreamChecks, TinyMovesOnTheGroundBecomeStandingStill) {
    ac.onGround = 1;
    ac.moveState = AcState::taxi;
    ac.stream = {at(47.45, 8.55, 12.0)};
    const GeoPos near = metresFrom({47.45, 8.55}, 90.0, 10.0);
    PosSample s = at(near.lat, near.lon, 6.0);
    s.dueTick = 777;
    ASSERT_TRUE(checkExtendingSituations(ac, s));
    EXPECT_EQ(s.lat, 47.45);
    EXPECT_EQ(s.lon, 8.55);
    EXPECT_EQ(s.groundSpeed, 0.0);
    EXPECT_EQ(s.stationary, 1);
    EXPECT_EQ(s.dueTick, 777);

    // The same in the air is refused; a sample on the newest position is stationary.
    PosSample air = at(47.45, 8.5501, 140.0, true);
    EXPECT_FALSE(lf_checkNewSample(ac, air));
    PosSample same = at(47.45, 8.55, 3.0);
    ASSERT_TRUE(lf_checkNewSample(ac, same));
    EXPECT_EQ(same.stationary, 1);
    EXPECT_EQ(same.groundSpeed, 0.0);
    // While taking off a standing sample after 30 kt is refused.
    ac.takingOff = 1;
    ac.stream.back().groundSpeed = 35.0;
    PosSample standing = at(47.45, 8.55, 2.0);
    EXPECT_FALSE(lf_checkNewSample(ac, standing));
    // A helicopter may hover.
    ac.category = CatRotorcraft;
    PosSample hover = at(47.45, 8.5501, 0.0, true);
    EXPECT_TRUE(lf_checkNewSample(ac, hover));
}

TEST_F(TrafficStreamChecks, AfterTouchDownASampleBehindTheAircraftMovesTheStreamToIt) {
    ac.rollout = 1;
    ac.onGround = 1;
    ac.moveState = AcState::taxi;
    ac.pos.latitude = 47.46;
    ac.pos.longitude = 8.55;
    ac.pos.trueHeading = 0.0;  // rolling north
    PosSample front = at(47.45, 8.55, 120.0);
    front.dueTick = 500;
    ac.stream = {front};
    trafficTick = 1000;
    const GeoPos behind = metresFrom({47.45, 8.55}, 170.0, 200.0);
    PosSample s = at(behind.lat, behind.lon, 100.0);
    ASSERT_TRUE(checkExtendingSituations(ac, s));
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream.front().lat, 47.46);
    EXPECT_EQ(ac.stream.front().groundSpeed, 120.0);
    EXPECT_EQ(ac.stream.front().dueTick, 1001);

    // During the de-rotation the same sample is refused.
    ac.touchdown = 1;
    PosSample again = at(behind.lat, behind.lon, 100.0);
    EXPECT_FALSE(checkExtendingSituations(ac, again));

    // No acceleration on the roll-out.
    ac.touchdown = 0;
    const GeoPos ahead = metresFrom({47.46, 8.55}, 0.0, 300.0);
    PosSample faster = at(ahead.lat, ahead.lon, 150.0);
    ASSERT_TRUE(checkExtendingSituations(ac, faster));
    EXPECT_EQ(faster.groundSpeed, 120.0);
}

TEST_F(TrafficStreamChecks, AParkedAircraftWhoseSamplesJumpAwayIsRemoved) {
    ac.moveState = AcState::parked;
    ac.prevMoveState = AcState::taxi;
    ac.standLat = 47.45;
    ac.standLon = 8.55;
    ac.standId = 0;
    ac.stream = {at(47.45, 8.55, 0.0)};
    const GeoPos jump = metresFrom({47.45, 8.55}, 45.0, 300.0);
    PosSample s = at(jump.lat, jump.lon, 0.0);
    EXPECT_FALSE(checkExtendingSituations(ac, s));
    EXPECT_EQ(ac.reportedWhileParked, 1);
    EXPECT_EQ(ac.status, AcStatus::removingfromsim);
    EXPECT_EQ(removalQueue.back(), 1001u);
}

TEST_F(TrafficStreamChecks, AParkedAircraftLeavesItsStandOnlyWhenItsSamplesReallyMoveAway) {
    ac.moveState = AcState::parked;
    ac.prevMoveState = AcState::taxi;
    ac.standLat = 47.45;
    ac.standLon = 8.55;
    ac.stream = {at(47.45, 8.55, 0.0)};
    const GeoPos start{47.45, 8.55};
    // Jitter around the stand: no departure.
    for (double m : {5.0, 7.0, 4.0, 6.0}) {
        const GeoPos p = metresFrom(start, 90.0, m);
        PosSample s = at(p.lat, p.lon, 0.0);
        EXPECT_FALSE(checkExtendingSituations(ac, s)) << m;
    }
    EXPECT_EQ(ac.pullOutPending, 0);
    // Growing steps of more than 3 m, beyond half a wingspan: it pulls out.
    bool left = false;
    for (double m : {12.0, 18.0, 24.0, 30.0}) {
        const GeoPos p = metresFrom(start, 90.0, m);
        PosSample s = at(p.lat, p.lon, 3.0);
        left = checkExtendingSituations(ac, s);
        if (left) {
            EXPECT_EQ(s.stationary, 0);
            break;
        }
    }
    EXPECT_TRUE(left);
    EXPECT_EQ(ac.pullOutPending, 1);
    EXPECT_EQ(ac.moveState, AcState::parked);
}

TEST_F(TrafficStreamChecks, APushedBackAircraftStaysUntilItsSamplesMoveOff) {
    ac.moveState = AcState::pushed_back;
    ac.onGround = 1;
    ac.pos.latitude = 47.45;
    ac.pos.longitude = 8.55;
    ac.standId = 7;
    ac.standLat = 47.4501;
    ac.stream = {at(47.45, 8.55, 0.0)};
    trafficTick = 5000;
    const double span = ac.wingspan * 1852.0;  // metres
    const GeoPos within = metresFrom({47.45, 8.55}, 0.0, 2.5 * span);
    PosSample s = at(within.lat, within.lon, 0.0);
    EXPECT_FALSE(checkExtendingSituations(ac, s));
    EXPECT_EQ(ac.holding, 1);
    EXPECT_EQ(ac.holdStartTick, 5000u);
    EXPECT_EQ(ac.moveState, AcState::pushed_back);

    const GeoPos beyond = metresFrom({47.45, 8.55}, 0.0, 7.0 * span);
    PosSample off = at(beyond.lat, beyond.lon, 8.0);
    off.stationary = 1;
    EXPECT_TRUE(checkExtendingSituations(ac, off));
    EXPECT_EQ(off.stationary, 0);
    EXPECT_EQ(ac.moveState, AcState::taxi);
    EXPECT_EQ(ac.prevMoveState, AcState::pushed_back);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.standLat, 0.0);
    EXPECT_EQ(ac.holding, 0);
}

TEST_F(TrafficStreamChecks, ThePushBackTurnIsChosenFromTheNextSample) {
    ac.moveState = AcState::pushing_back;
    ac.pushbackCounter = 2;
    ac.pos.trueHeading = 90.0 * DEG2RAD;
    PosSample s = at(47.45, 8.55, 0.0);
    s.track = 120.0;
    EXPECT_FALSE(checkExtendingSituations(ac, s));
    EXPECT_EQ(ac.pushbackTurn, 1);
    EXPECT_EQ(ac.pushbackTurnLeft, 1);
    s.trueHeading = 60.0 * DEG2RAD;
    checkExtendingSituations(ac, s);
    EXPECT_EQ(ac.pushbackTurnLeft, 0);
}

TEST_F(TrafficStreamChecks, RealSamplesEndAPrediction) {
    ac.moveState = AcState::flying;
    ac.predictionCount = 3;
    ac.maxEarlyTicks = 1000;
    ac.pos.trueHeading = 0.0;
    PosSample front = at(47.45, 8.55, 250.0, true);
    front.dueTick = 90000;
    ac.stream = {front, at(47.46, 8.55, 250.0, true)};
    trafficTick = 4000;
    // Behind the airborne aircraft: refused.
    PosSample back = at(47.40, 8.55, 250.0, true);
    EXPECT_FALSE(checkExtendingSituations(ac, back));
    EXPECT_EQ(ac.predictionCount, 3);
    PosSample ahead = at(47.50, 8.551, 250.0, true);
    EXPECT_TRUE(checkExtendingSituations(ac, ahead));
    EXPECT_EQ(ac.predictionCount, 0);
    EXPECT_EQ(ac.maxEarlyTicks, 3000);
    EXPECT_EQ(ac.maxLateTicks, 3000);
    EXPECT_EQ(ac.stream.front().dueTick, 4001);
}

}  // namespace
}  // namespace skh
