// The steps of the movement model one at a time, on aircraft built by hand:
// re-timing, skipped standing samples, the flare, the configuration by
// altitude and height, the approach rate, go-arounds, wraps, the choice of
// curve, midpoint or straight leg, the curve itself, the drive to a stand
// and the parking, the rotation speed, and broken numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <gsl/narrow>
#include <limits>

#include "airports/stand.hpp"
#include "traffic/air_movement.hpp"
#include "traffic/ground_manoeuvres.hpp"
#include "traffic/ground_movement.hpp"
#include "traffic/holding.hpp"
#include "traffic/intake.hpp"
#include "traffic/movement.hpp"
#include "traffic/movement_common.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/traffic_state.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

constexpr double kFtPerNm = 6076.11549;
constexpr std::uint32_t kNow = 100000;

GeoPos moved(GeoPos from, double bearingDeg, double metres) {
    return gf_destinationPoint(from, bearingDeg * DEG2RAD, metres / 1852.0 * kFtPerNm);
}

PosSample point(GeoPos p, double gs, double altitude, std::int32_t dueFromNow, bool stationary = false) {
    PosSample s;
    s.lat = p.lat;
    s.lon = p.lon;
    s.groundSpeed = gs;
    s.trueAirspeed = gs;
    s.altitude = altitude;
    s.airborne = altitude > 0.0 ? 1 : 0;
    s.dueTick = static_cast<std::int32_t>(kNow) + dueFromNow;
    s.stationary = stationary ? 1 : 0;
    return s;
}

class MovementSteps : public test::TrafficTest {
protected:
    void SetUp() override {
        TrafficTest::SetUp();
        trafficTick = kNow;
    }

    // An active aircraft at its first sample, heading to the second.
    static LiveAc make(const std::string& type, const std::vector<PosSample>& samples) {
        IdentStrings id;
        id.type = type;
        id.callsign = "TST1";
        id.airline = "TST";
        LiveAc ac(samples.front(), FlightIdent(std::move(id)), 0.0);
        for (std::size_t i = 1; i < samples.size(); ++i) ac.stream.push_back(samples[i]);
        ac.actNumber = 40001;
        ac.status = AcStatus::active;
        ac.objectId = 1001;
        const bool airborne = samples.front().airborne != 0;
        ac.onGround = airborne ? 0 : 1;
        ac.moveState = airborne ? AcState::flying : AcState::taxi;
        ac.pos.latitude = samples[0].lat;
        ac.pos.longitude = samples[0].lon;
        ac.pos.altitude = samples[0].altitude;
        if (samples.size() > 1)
            ac.pos.trueHeading = gf_bearingRad({samples[0].lat, samples[0].lon}, {samples[1].lat, samples[1].lon});
        ac.groundTurnRateNow = ac.groundTurnRate;
        ac.maxClimbStep = gf_maxClimbStepOf(ac.category);
        ac.slowGroundSpeed = gf_slowGroundSpeedOf(ac.category);
        ac.staticCgHeight = 9.0;
        ac.maxEarlyTicks = ac.maxLateTicks = 3000;
        return ac;
    }

    // The value of the last event of a kind for the aircraft; -1 when none.
    long last(std::uint32_t eventId) const {
        for (auto it = port.events.rbegin(); it != port.events.rend(); ++it)
            if (it->objectId == 1001 && it->eventId == eventId) return it->value;
        return -1;
    }
};

TEST_F(MovementSteps, ATargetDueInThePastIsReachedIn25Polls) {
    for (const double alt : {5000.0, 0.0}) {
        SCOPED_TRACE(alt);
        const GeoPos a{47.4, 8.5};
        LiveAc ac = make("A320", {point(a, 150.0, alt, -6000), point(moved(a, 90.0, 500.0), 150.0, alt, -5000)});
        nextPosMain(ac);
        ASSERT_EQ(ac.stream.size(), 1u);
        const PosSample target = ac.stream.front();
        EXPECT_EQ(lf_ticksUntil(target.dueTick, kNow), 25);
        for (int i = 0; i < 25; ++i) advanceOneTick(ac);
        EXPECT_NEAR(ac.pos.latitude, target.lat, 1e-9);
        EXPECT_NEAR(ac.pos.longitude, target.lon, 1e-9);
    }
}

TEST_F(MovementSteps, StandingSamplesAreSkippedInTheAirButAHelicopterHovers) {
    const GeoPos a{47.4, 8.5};
    const GeoPos b = moved(a, 90.0, 2000.0);
    const std::vector<PosSample> stream{point(a, 150.0, 3000.0, 0), point(a, 0.0, 3000.0, 500, true),
                                        point(a, 0.0, 3000.0, 1000, true), point(b, 150.0, 3000.0, 1500)};
    LiveAc plane = make("A320", stream);
    nextPosMain(plane);
    ASSERT_EQ(plane.stream.size(), 1u);
    EXPECT_EQ(plane.stream.front().lon, b.lon);
    EXPECT_GT(plane.lonStep, 0.0);

    LiveAc helicopter = make("EC35", stream);
    nextPosMain(helicopter);
    ASSERT_EQ(helicopter.stream.size(), 3u);
    EXPECT_NE(helicopter.stream.front().stationary, 0);
    EXPECT_EQ(helicopter.latStep, 0.0);
    EXPECT_EQ(helicopter.lonStep, 0.0);
}

TEST_F(MovementSteps, TheFlareStepsTheSinkRateDownAndNeverRaisesTheNoseBeyondFourDegrees) {
    const GeoPos a{47.4, 8.5};
    LiveAc ac = make("A320", {point(a, 130.0, 500.0, 0), point(moved(a, 90.0, 900.0), 130.0, 450.0, 1000)});
    ac.landing = 1;
    ac.throttleIndex = 1;
    ac.pos.pitch = -1.0 * mv::kDeg;
    struct Step {
        double height;
        std::uint32_t phase;
        double altStep;
        double vs;
    };
    const Step steps[] = {{40.0, 0, 0.0, 0.0},       {39.0, 1, -0.1, -601.0},  {30.0, 1, -0.1, -601.0},
                          {29.0, 2, -0.075, -450.0}, {19.0, 3, -0.05, -300.0}, {12.0, 4, -0.025, -150.0}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.height);
        ac.heightAboveGround = s.height;
        lf_flareStep(ac);
        EXPECT_EQ(ac.flarePhase, s.phase);
        if (s.phase == 0) continue;
        EXPECT_DOUBLE_EQ(ac.altStep, s.altStep);
        EXPECT_DOUBLE_EQ(ac.stream.front().verticalSpeed, s.vs);
        EXPECT_TRUE(g_landingWatch);
    }
    EXPECT_DOUBLE_EQ(ac.pitchStep, (-4.0 * mv::kDeg + 1.0 * mv::kDeg) / ac.flareTicks);
    EXPECT_EQ(ac.throttleIndex, 0u);  // power off at 10 ft
    EXPECT_EQ(last(EVENT_THROTTLE_SET), 0);
    ac.pitchStep = -0.01;
    for (int i = 0; i < 1000; ++i) advanceOneTick(ac);
    EXPECT_DOUBLE_EQ(ac.pos.pitch, -4.0 * mv::kDeg);
}

struct ConfigCase {
    const char* label;
    const char* type;
    double altitude;
    double height;
    long cabin;  // the last CABIN_LIGHTS_SET
    long landingLight;
    long gear;  // the last GEAR_SET, -1 none
    std::uint8_t landing;
};

TEST_F(MovementSteps, LightsAndConfigurationFollowAltitudeAndTheApproachHeights) {
    // The park airport lies 5 nm ahead.
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.4, 8.62, 1402.0});
    const ConfigCase cases[] = {
        {"high", "A320", 12000.0, 10000.0, 1, 0, 0, 0},
        {"en route, large", "A320", 4000.0, 2100.0, 1, 1, -1, 0},
        {"approach, large", "A320", 3500.0, 2000.0, 0, 1, 1, 1},
        {"en route, light", "C172", 2200.0, 700.0, 1, 1, -1, 0},
        {"approach, light", "C172", 2000.0, 600.0, 0, 1, 1, 1},
    };
    for (const ConfigCase& c : cases) {
        SCOPED_TRACE(c.label);
        port.events.clear();
        g_coupledSearchActs.clear();
        const GeoPos a{47.4, 8.5};
        std::vector<PosSample> stream{point(a, 140.0, c.altitude, 0),
                                      point(moved(a, 90.0, 1000.0), 140.0, c.altitude - 50.0, 700),
                                      point(moved(a, 90.0, 2000.0), 140.0, c.altitude - 100.0, 1400)};
        for (PosSample& s : stream) s.verticalSpeed = -700.0;
        LiveAc ac = make(c.type, stream);
        ac.heightAboveGround = c.height;
        nextPosMain(ac);
        EXPECT_EQ(last(EVENT_CABIN_LIGHTS_SET), c.cabin);
        EXPECT_EQ(last(EVENT_LANDING_LIGHTS_SET), c.landingLight);
        EXPECT_EQ(last(EVENT_GEAR_SET), c.gear);
        EXPECT_EQ(ac.landing, c.landing);
        if (c.altitude >= 10000.0) {
            EXPECT_EQ(last(EVENT_THROTTLE_SET), 11468);
            EXPECT_EQ(last(EVENT_FLAPS_SET), 0);
            EXPECT_EQ(last(EVENT_STROBES_SET), 0);
        }
        if (c.landing != 0) {
            EXPECT_EQ(last(EVENT_FLAPS_SET), 16383);
            EXPECT_EQ(g_coupledSearchActs, (std::vector<std::uint32_t>{40001}));
            EXPECT_EQ(ac.maxEarlyTicks, 3000);
        }
    }
}

TEST_F(MovementSteps, TheApproachRateComesFromTheVerticalSpeedsAndTheQnh) {
    const GeoPos a{47.4, 8.5};
    LiveAc ac = make("A320", {point(a, 140.0, 3000.0, 0), point(a, 140.0, 2900.0, 500)});
    PosSample s0 = ac.stream[0];
    PosSample s1 = ac.stream[1];
    s0.verticalSpeed = -800.0;
    s1.verticalSpeed = -700.0;
    struct Case {
        double height;
        std::int32_t qnh;
        double rate;
    };
    for (const Case& c : {Case{90.0, 1013, -600.0}, Case{500.0, 1013, -748.5}, Case{500.0, 1030, -850.5},
                          Case{500.0, 990, -610.5}, Case{500.0, 960, -601.0}}) {
        ac.heightAboveGround = c.height;
        g_qnh = c.qnh;
        EXPECT_DOUBLE_EQ(lf_approachRate(ac, s0, s1), c.rate) << c.height << " " << c.qnh;
    }
}

TEST_F(MovementSteps, NearTheGroundASlowClimbIsHastenedButADescentIsFollowed) {
    const GeoPos a{47.4, 8.5};
    struct Case {
        double height;
        double climbFt;  // to sample 1, 5 s (500 polls) away at 140 kt
        double altStep;
    };
    for (const Case& c : {Case{800.0, 10.0, 0.2}, Case{800.0, -100.0, -0.2}, Case{800.0, 0.0, 0.0},
                          Case{1500.0, 1000.0, 0.6}, Case{1500.0, -500.0, -1.0}}) {
        SCOPED_TRACE(c.climbFt);
        LiveAc ac =
            make("A320", {point(a, 140.0, 2000.0, 0), point(moved(a, 0.0, 360.1), 140.0, 2000.0 + c.climbFt, 500)});
        ac.heightAboveGround = c.height;
        nextPosMain(ac);
        EXPECT_NEAR(ac.altStep, c.altStep, 1e-3);
    }
}

TEST_F(MovementSteps, AGoAroundEndsTheFlareAndTheLandingWatchUnlessAnotherAircraftFlares) {
    for (const bool otherFlares : {false, true}) {
        SCOPED_TRACE(otherFlares);
        g_liveAc.clear();
        lf_liveIndexChanged();
        const GeoPos a{47.4, 8.5};
        std::vector<PosSample> stream{point(a, 140.0, 1600.0, 0), point(moved(a, 90.0, 1000.0), 140.0, 1700.0, 500),
                                      point(moved(a, 90.0, 2000.0), 140.0, 1800.0, 1000)};
        for (PosSample& s : stream) s.verticalSpeed = 1200.0;
        LiveAc& ac = lf_appendLiveAc(make("A320", stream));
        ac.landing = 1;
        ac.flarePhase = 2;
        ac.heightAboveGround = 200.0;
        if (otherFlares) {
            LiveAc other = make("A320", stream);
            other.actNumber = 40002;
            other.objectId = 1002;
            other.flarePhase = 1;
            lf_appendLiveAc(std::move(other));
        }
        g_landingWatch = true;
        nextPosMain(*gf_findLiveByAct(40001));
        const LiveAc& after = *gf_findLiveByAct(40001);
        EXPECT_EQ(after.flarePhase, 0u);
        EXPECT_EQ(after.landing, 0);
        EXPECT_EQ(after.climbedAway, 1);
        EXPECT_EQ(g_landingWatch, otherFlares);
    }
}

TEST_F(MovementSteps, PositionsWrapAcrossTheDateLineAndOverThePole) {
    const GeoPos west{10.0, 179.995};
    const GeoPos east{10.0, -179.995};
    LiveAc ac = make("A320", {point(west, 300.0, 30000.0, 0), point(east, 300.0, 30000.0, 100)});
    nextPosMain(ac);
    EXPECT_GT(ac.lonStep, 0.0);
    EXPECT_LT(ac.lonStep, 0.001);
    const std::int32_t legTicks = lf_ticksUntil(ac.stream.front().dueTick, kNow);
    for (int i = 0; i < legTicks; ++i) {
        advanceOneTick(ac);
        EXPECT_GE(ac.pos.longitude, -180.0);
        EXPECT_LT(ac.pos.longitude, 180.0);
    }
    EXPECT_NEAR(ac.pos.longitude, -179.995, 1e-6);

    ac.pos.latitude = 89.9995;
    ac.pos.longitude = 10.0;
    ac.pos.trueHeading = 0.0;
    ac.latStep = 0.001;
    ac.lonStep = 0.0;
    ac.headingStep = 0.0;
    advanceOneTick(ac);
    EXPECT_NEAR(ac.pos.latitude, 89.9995, 1e-9);
    EXPECT_NEAR(ac.pos.longitude, -170.0, 1e-9);
    EXPECT_NEAR(ac.pos.trueHeading, 3.141592653589793, 1e-9);
    EXPECT_LT(ac.latStep, 0.0);  // on down the other side
}

struct LegCase {
    const char* label;
    double turnDeg;
    double legMetres;
    double gs;
    std::int32_t spacing;  // polls between samples
    bool curve;
    bool midpoint;
};

TEST_F(MovementSteps, GroundTurnsBecomeCurvesAfterAMidpointWhenSlowAndLong) {
    const LegCase cases[] = {
        {"90 degrees, 5 s apart", 90.0, 40.0, 15.0, 500, true, false},
        {"90 degrees, 7 s and 54 m", 90.0, 54.0, 15.0, 700, false, true},
        {"90 degrees, 7 s, fast", 90.0, 54.0, 50.0, 700, true, false},
        {"160 degrees", 160.0, 40.0, 15.0, 500, true, false},
        {"170 degrees", 170.0, 40.0, 15.0, 500, false, false},
        {"2 degrees", 2.0, 40.0, 15.0, 500, false, false},
    };
    for (const LegCase& c : cases) {
        SCOPED_TRACE(c.label);
        const GeoPos a{47.45, 8.55};
        const GeoPos b = moved(a, 90.0, c.legMetres);
        const GeoPos d = moved(b, 90.0 + c.turnDeg, c.legMetres);
        LiveAc ac =
            make("A320", {point(a, c.gs, 0.0, 0), point(b, c.gs, 0.0, c.spacing), point(d, c.gs, 0.0, 2 * c.spacing),
                          point(moved(d, 90.0 + c.turnDeg, c.legMetres), c.gs, 0.0, 3 * c.spacing)});
        nextPosMain(ac);
        EXPECT_EQ(ac.curve.active(), c.curve);
        if (c.curve) {
            EXPECT_NEAR(ac.curveTurnDeg, c.turnDeg, 0.5);
            EXPECT_EQ(ac.stream.front().lon, d.lon);  // the corner is the control point
            EXPECT_EQ(ac.turnNeeded, 0);
        } else if (c.midpoint) {
            ASSERT_EQ(ac.stream.size(), 4u);
            EXPECT_NEAR(ac.stream.front().lat, (a.lat + b.lat) / 2.0, 1e-12);
            EXPECT_EQ(lf_ticksUntil(ac.stream.front().dueTick, kNow), c.spacing / 2);
        } else {
            EXPECT_EQ(ac.stream.front().lon, b.lon);
        }
    }
}

TEST_F(MovementSteps, AChangeOfSpeedOnALongLegHappensAtItsMidpoint) {
    const GeoPos a{47.45, 8.55};
    for (const double metres : {150.0, 80.0}) {
        LiveAc ac = make("A320", {point(a, 25.0, 0.0, 0), point(moved(a, 90.0, metres), 8.0, 0.0, 1200)});
        nextPosMain(ac);
        EXPECT_EQ(ac.stream.size(), metres >= 100.0 ? 2u : 1u) << metres;
    }
}

TEST_F(MovementSteps, TheCurveRunsFromItsOriginToItsEndPoint) {
    GroundCurve c;
    GeoPos p;
    double heading = 0.0;
    EXPECT_FALSE(gf_bezierPointAt(c, p, heading, 0.5));  // no curve set
    c.originLat = 47.0;
    c.originLon = 8.0;
    c.controlNorth = 100.0;
    c.controlEast = 0.0;
    c.endNorth = 100.0;
    c.endEast = 100.0;
    ASSERT_TRUE(gf_bezierPointAt(c, p, heading, 0.0));
    EXPECT_DOUBLE_EQ(p.lat, 47.0);
    EXPECT_DOUBLE_EQ(heading, 0.0);
    ASSERT_TRUE(gf_bezierPointAt(c, p, heading, 1.0));
    EXPECT_NEAR((p.lat - 47.0) * mv::kMetresPerDegree, 100.0, 1e-6);
    EXPECT_NEAR((p.lon - 8.0) * mv::kMetresPerDegree * std::cos(47.0 * mv::kDeg), 100.0, 1e-6);
    EXPECT_NEAR(heading, 90.0 * mv::kDeg, 1e-12);
    ASSERT_TRUE(gf_bezierPointAt(c, p, heading, 0.5));
    EXPECT_NEAR((p.lat - 47.0) * mv::kMetresPerDegree, 75.0, 1e-6);
    EXPECT_NEAR(heading, 45.0 * mv::kDeg, 1e-12);
    EXPECT_FALSE(gf_bezierPointAt(c, p, heading, 1.01));
    EXPECT_FALSE(gf_bezierPointAt(c, p, heading, -0.01));
    // At the pole the east-west metres stay finite.
    c.originLat = 90.0;
    ASSERT_TRUE(gf_bezierPointAt(c, p, heading, 0.5));
    EXPECT_TRUE(std::isfinite(p.lon));
}

TEST_F(MovementSteps, ATurnTakesItsDegreesAtTheRateInRadiansPerPollAlsoAtTheEndOfAPushback) {
    struct Row {
        double ratePerPoll;  // radians
        std::int32_t polls;  // for 90 degrees
    };
    // An A320 turns 7 degrees a second: 90 degrees take 12.9 s; a C172 turns about twice as fast.
    for (const Row& r :
         {Row{0.07 * mv::kDeg, 1286}, Row{0.15 * mv::kDeg, 600}, Row{10.0, 1}, Row{0.0, 1}, Row{-1.0, 1}}) {
        SCOPED_TRACE(r.ratePerPoll);
        EXPECT_EQ(lf_turnTicks(90.0, r.ratePerPoll), r.polls);
        const GeoPos a{47.45, 8.55};
        LiveAc ac = make("A320", {point(a, 4.0, 0.0, 0), point(moved(a, 180.0, 30.0), 4.0, 0.0, 500),
                                  point(moved(a, 200.0, 50.0), 4.0, 0.0, 1000)});
        ac.moveState = AcState::pushing_back;
        ac.pushbackCounter = 2;
        ac.pushbackTurn = 1;
        ac.groundTurnRateNow = r.ratePerPoll;
        lf_pushbackStep(ac);
        EXPECT_TRUE(ac.curve.active());
        EXPECT_DOUBLE_EQ(ac.curveTStep, 1.0 / r.polls);
        EXPECT_EQ(ac.curveTurnDeg, 90.0);
    }
}

TEST_F(MovementSteps, TheDriveToAStandAddsTwoSamplesAndTheAircraftParksOnlyWithinTwoMetres) {
    g_stands.push_back(Stand{"A1", 47.45, 8.55, 45.0 * mv::kDeg, 0.012, 1});
    // 1.5 m and 2.5 m from the stand, and 1.5 m from a stand given to another aircraft meanwhile.
    for (const double off : {1.5, 2.5, -1.5}) {
        SCOPED_TRACE(off);
        g_stands.front().occupied = off < 0.0;
        g_stands.front().occupant = off < 0.0 ? 40002 : 0;  // another aircraft's
        port.events.clear();
        g_coupledSearchActs.clear();
        const GeoPos stand{47.45, 8.55};
        const GeoPos here = moved(stand, 180.0, 30.0);
        LiveAc ac = make("A320", {point(here, 3.0, 0.0, -10)});
        ac.moveState = AcState::parking;
        ac.standLat = stand.lat;
        ac.standLon = stand.lon;
        ac.standHeading = 45.0 * mv::kDeg;
        ac.standId = 1;
        ac.predictionCount = 3;
        drive2Stand(ac, point(stand, 0.0, 0.0, 0));
        ASSERT_EQ(ac.stream.size(), 3u);
        const PosSample& at = ac.stream[1];
        const PosSample& still = ac.stream[2];
        EXPECT_EQ(at.lat, stand.lat);
        EXPECT_EQ(at.groundSpeed, ac.slowGroundSpeed);
        EXPECT_DOUBLE_EQ(at.track, 45.0);
        EXPECT_EQ(at.stationary, 0);
        EXPECT_EQ(lf_ticksUntil(at.dueTick, static_cast<std::uint32_t>(ac.stream[0].dueTick)),
                  lf_roundTicks(30.0 / 1852.0 * 360000.0 / ac.slowGroundSpeed));
        EXPECT_EQ(lf_ticksUntil(still.dueTick, static_cast<std::uint32_t>(at.dueTick)), 50);
        EXPECT_EQ(still.stationary, 1);
        EXPECT_EQ(still.groundSpeed, 0.0);
        EXPECT_EQ(ac.stream.front().groundSpeed, ac.slowGroundSpeed);
        EXPECT_EQ(ac.predictionCount, 0);
        EXPECT_DOUBLE_EQ(ac.trackBearing, 45.0 * mv::kDeg);

        const GeoPos arrived = moved(stand, 0.0, std::fabs(off));
        ac.pos.latitude = arrived.lat;
        ac.pos.longitude = arrived.lon;
        ac.stream.resize(1);
        lf_towedArrives(ac);
        if (off < 0.0) {
            EXPECT_EQ(ac.status, AcStatus::removingfromsim);
            EXPECT_EQ(ac.predictionCount, 1);
            EXPECT_TRUE(g_stands.front().occupied);
        } else if (off < 2.0) {
            EXPECT_EQ(ac.moveState, AcState::parked);
            EXPECT_EQ(ac.stream.front().stationary, 1);
            EXPECT_EQ(ac.parkedAtMs, nowMs);
            EXPECT_EQ(last(EVENT_ENGINE_AUTO_SHUTDOWN), 0);
            EXPECT_EQ(g_coupledSearchActs, (std::vector<std::uint32_t>{40001}));
            EXPECT_TRUE(g_stands.front().occupied);
        } else {
            EXPECT_EQ(ac.moveState, AcState::taxi);
            EXPECT_EQ(last(EVENT_ENGINE_AUTO_SHUTDOWN), -1);
        }
    }
    LiveAc empty;
    drive2Stand(empty, PosSample{});
    EXPECT_TRUE(log.contains("drive2Stand empty sz?"));
}

TEST_F(MovementSteps, TheTakeoffRotationNeverStartsBelow43Knots) {
    for (const double gs : {42.0, 43.0}) {
        SCOPED_TRACE(gs);
        const GeoPos a{47.45, 8.55};
        // (close speeds: a change of speed would get a midpoint first)
        PosSample s1 = point(moved(a, 90.0, 120.0), 46.0, 1500.0, 500);
        PosSample s2 = point(moved(a, 90.0, 240.0), 48.0, 1700.0, 1000);
        s1.verticalSpeed = s2.verticalSpeed = 1500.0;
        LiveAc ac = make("A320", {point(a, gs, 0.0, 0), s1, s2});
        ac.takingOff = 1;
        nextPosMain(ac);
        if (gs < 43.0) {
            EXPECT_EQ(ac.moveState, AcState::taxi);
        } else {
            EXPECT_EQ(ac.moveState, AcState::take_off);
            EXPECT_EQ(ac.phaseCounter, static_cast<std::int32_t>(ac.rotationTicks));
            EXPECT_LT(ac.pitchStep, 0.0);
        }
    }
}

TEST_F(MovementSteps, ABrokenLegIsLoggedAndPassedOnAndABrokenStepLeavesThePositionAsItWas) {
    const GeoPos a{47.45, 8.55};
    // Two samples far apart at a speed of almost nothing: a travel time beyond 32 bits.
    LiveAc slow = make("A320", {point(a, 1e-7, 3000.0, 0), point(moved(a, 90.0, 20000.0), 0.0, 3000.0, 500)});
    EXPECT_THROW(nextPosMain(slow), gsl::narrowing_error);
    EXPECT_TRUE(log.contains("nextPosMain: narrowing_error"));
    EXPECT_TRUE(log.contains("nextPosGround: narrowing_error"));

    LiveAc ac = make("A320", {point(a, 150.0, 3000.0, 0), point(moved(a, 90.0, 2000.0), 150.0, 3000.0, 500)});
    nextPosMain(ac);
    const AiPositionBlock before = ac.pos;
    ac.latStep = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(advanceOneTick(ac), std::runtime_error);
    EXPECT_EQ(ac.pos.latitude, before.latitude);
    EXPECT_EQ(ac.pos.altitude, before.altitude);
}

}  // namespace
}  // namespace skh

namespace skh {
namespace {

struct DryCase {
    const char* label;
    const char* type;
    double altitude;
    AcState state;
    bool lightAircraftOn;
    bool appended;
    std::int32_t predictionCount;
    std::int32_t stepTicks;
};

TEST_F(MovementSteps, ADryStreamIsPredictedByStateAndCategory) {
    g_stands.push_back(Stand{"A1", 47.45, 8.55, 0.0, 0.012, 1});
    const DryCase cases[] = {
        {"airborne", "A320", 5000.0, AcState::flying, true, true, 8, 800},
        {"airborne light, allowed", "C172", 3000.0, AcState::flying, true, true, 8, 800},
        {"airborne light, switched off", "C172", 3000.0, AcState::flying, false, false, 0, 0},
        {"parked: a week", "A320", 0.0, AcState::parked, true, true, 1, 604800 * 100},
        {"taking off on the ground", "A320", 0.0, AcState::take_off, true, true, 10, 300},
    };
    for (const DryCase& c : cases) {
        SCOPED_TRACE(c.label);
        test::ScopedSetting<BoolUiParameter, bool> light(LIGHT_AIRCRAFT, c.lightAircraftOn);
        const GeoPos a{47.45, 8.55};
        LiveAc ac = make(c.type, {point(a, c.altitude > 0.0 ? 120.0 : 0.0, c.altitude, -5, c.altitude <= 0.0)});
        ac.moveState = c.state;
        ac.standId = c.state == AcState::parked ? 1 : 0;
        g_stands.front().occupied = true;
        g_stands.front().occupant = ac.actNumber;
        ac.reportedWhileParked = 1;
        EXPECT_EQ(lf_dryStreamStep(ac), c.appended);
        EXPECT_EQ(ac.predictionCount, c.predictionCount);
        if (!c.appended) continue;
        ASSERT_EQ(ac.stream.size(), 2u);
        EXPECT_EQ(lf_ticksUntil(ac.stream[1].dueTick, static_cast<std::uint32_t>(ac.stream[0].dueTick)), c.stepTicks);
        if (c.state == AcState::parked) {
            EXPECT_EQ(ac.stream[1].stationary, 1);
            EXPECT_FALSE(g_stands.front().occupied);  // its stand may be given away meanwhile
            EXPECT_EQ(ac.reportedWhileParked, 0);
            EXPECT_EQ(ac.leaveCheck, 1);
        }
        if (c.altitude > 0.0) {
            EXPECT_DOUBLE_EQ(ac.stream[1].groundSpeed, 120.0 * 0.95);
        }
    }
    // A predicted descent 39 ft above the reported terrain stops on it (80 ft lower would be underground).
    LiveAc landing = make("A320", {point({47.45, 8.55}, 140.0, 1450.0, -5)});
    landing.landing = 1;
    landing.heightAboveGround = 48.0;
    ASSERT_TRUE(lf_dryStreamStep(landing));
    ASSERT_EQ(landing.stream.size(), 2u);
    EXPECT_DOUBLE_EQ(landing.stream[1].altitude, 1450.0 - 48.0 + 9.0);
    EXPECT_EQ(landing.stream[1].airborne, 1);
}

}  // namespace
}  // namespace skh
