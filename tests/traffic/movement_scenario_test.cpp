// Whole movements through the traffic control's per-poll driver, with
// scripted streams at a real runway (the test airport's 14/32 from the world
// runway list) and the simulator played by the flight lab: approach, flare,
// touch-down, roll-out and taxi; pushbacks to either side or straight; the
// take-off; holding and prediction when the stream runs dry (also during the
// take-off roll); the quality of the motion over all of them, with the nose
// and the direction of motion together on the ground.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "simclient/sim_ids.hpp"
#include "support/movement_lab.hpp"
#include "support/test_env.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {
namespace {

using lab::MovementLab;
using lab::PortEvent;
using lab::TraceRow;

const TraceRow& rowAt(const MovementLab& l, std::uint32_t tick) { return l.trace().at(tick); }

// The first poll at or after `from` at which the predicate holds.
template <class Pred>
std::optional<std::uint32_t> firstTick(const MovementLab& l, Pred pred, std::uint32_t from = 0) {
    for (std::size_t i = from; i < l.trace().size(); ++i)
        if (pred(l.trace()[i])) return l.trace()[i].tick;
    return std::nullopt;
}

std::vector<PortEvent> eventsOf(const MovementLab& l, std::uint32_t eventId, std::uint32_t value) {
    std::vector<PortEvent> out;
    for (const PortEvent& e : const_cast<MovementLab&>(l).sim().eventsOf(eventId))
        if (e.value == value) out.push_back(e);
    return out;
}

double headingOffDeg(double headingRad, double deg) {
    return std::fabs(std::remainder(headingRad * RAD2DEG - deg, 360.0));
}

class MovementScenario : public ::testing::Test {
protected:
    test::ScopedLog log;
};

TEST_F(MovementScenario, ApproachFlareTouchdownRolloutAndTaxiAtARealRunway) {
    MovementLab l(*lab::gf_builtInScenario("approach"));
    l.run();
    const double cg = l.scenario().staticCgFt;
    const GeoPos airport{l.scenario().parkAirport->lat, l.scenario().parkAirport->lon};

    // Gear and landing flaps come inside 10 nm of the park airport, below 2050 ft.
    const auto gearDown = eventsOf(l, EVENT_GEAR_SET, 1);
    ASSERT_FALSE(gearDown.empty());
    const TraceRow& configured = rowAt(l, gearDown.front().tick);
    EXPECT_LE(gf_distanceNm({configured.pos.latitude, configured.pos.longitude}, airport), 10.0);
    EXPECT_LE(configured.heightAboveGround, 2050.0);
    EXPECT_EQ(eventsOf(l, EVENT_FLAPS_SET, 16383).front().tick, gearDown.front().tick);
    EXPECT_EQ(eventsOf(l, EVENT_THROTTLE_SET, 4914).front().tick, gearDown.front().tick);

    // The flare's four phases in order, each at its height above the static centre of gravity.
    const double thresholds[] = {30.0, 20.0, 10.0, 3.0};
    std::uint32_t from = 0;
    for (std::uint32_t phase = 1; phase <= 4; ++phase) {
        const auto at = firstTick(
            l, [&](const TraceRow& r) { return r.flarePhase == phase; }, from);
        ASSERT_TRUE(at) << phase;
        // The first phase also looks at the height above the airport's elevation.
        const TraceRow& r = rowAt(l, *at);
        const double height =
            phase == 1 ? std::min(r.heightAboveGround, r.pos.altitude - l.scenario().terrainFt) : r.heightAboveGround;
        EXPECT_LE(height, cg + thresholds[phase - 1]) << phase;
        from = *at;
    }
    const lab::Quality q = l.quality();
    EXPECT_LE(q.mostNoseUpDeg, 4.0 + 1e-9);
    EXPECT_GT(q.mostNoseUpDeg, 3.5);  // the flare does raise the nose
    // Never below the terrain plus the height of the centre of gravity
    // (the simulator's contact margin is half a foot).
    EXPECT_GE(q.lowestAboveTerrainFt, -0.5);

    // Touch-down: spoilers out, reverse through the control block, the landing watch ends.
    const auto touch = firstTick(l, [](const TraceRow& r) { return r.touchdown != 0; });
    ASSERT_TRUE(touch);
    EXPECT_EQ(eventsOf(l, EVENT_SPOILERS_SET, 16383).front().tick, *touch);
    ASSERT_FALSE(l.sim().controlBlocks.empty());
    EXPECT_EQ(l.sim().controlBlocks.front().second, (std::array<double, 3>{100.0, 100.0, 100.0}));
    EXPECT_FALSE(g_landingWatch);

    // The roll-out ends when the heading has left the runway's by 15 degrees.
    const auto rolloutEnd = firstTick(
        l, [](const TraceRow& r) { return r.rollout == 0; }, *touch);
    ASSERT_TRUE(rolloutEnd);
    EXPECT_GE(headingOffDeg(rowAt(l, *rolloutEnd).pos.trueHeading, 137.0), 15.0);
    EXPECT_EQ(l.sim().controlBlocks.back().second, (std::array<double, 3>{0.0, 0.0, 0.0}));
    EXPECT_FALSE(eventsOf(l, EVENT_SPOILERS_SET, 0).empty());

    // The 90 degree turn off the runway and the turn back are flown as curves.
    const auto curve = firstTick(
        l, [](const TraceRow& r) { return r.curve != 0; }, *touch);
    ASSERT_TRUE(curve);
    const auto curveEnd = firstTick(
        l, [](const TraceRow& r) { return r.curve == 0; }, *curve);
    ASSERT_TRUE(curveEnd);
    EXPECT_GE(*curveEnd - *curve, 300u);
    const auto turned = firstTick(
        l, [](const TraceRow& r) { return headingOffDeg(r.pos.trueHeading, 227.0) < 5.0; }, *curve);
    EXPECT_TRUE(turned);

    // The targets are reached on time and smoothly.
    EXPECT_LE(q.airDueErrorM, 30.0);
    EXPECT_LE(q.groundDueErrorM, 5.0);
    EXPECT_GE(q.slowestSampleKt, 0.0);
    EXPECT_GE(q.slowestAirspeedKt, 0.0);
    // The sink rate changes in steps no larger than the flare's 150 ft/min (and the approach's rounding).
    EXPECT_LE(q.climbRateStepFpm, 200.0);
    EXPECT_LE(q.headingStepGroundDeg, 0.5);
}

TEST_F(MovementScenario, TakeoffFromTheRunwayAfterLiningUp) {
    MovementLab l(*lab::gf_builtInScenario("departure"));
    l.run();
    const LiveAc* ac = l.aircraft();
    ASSERT_NE(ac, nullptr);

    // Lined up once the samples show 43 kt: landing lights and strobes on, spoilers in.
    const auto lineUp = firstTick(l, [](const TraceRow& r) { return r.takingOff != 0; });
    ASSERT_TRUE(lineUp);
    EXPECT_EQ(eventsOf(l, EVENT_STROBES_SET, 1).front().tick, *lineUp);
    EXPECT_EQ(eventsOf(l, EVENT_LANDING_LIGHTS_SET, 1).front().tick, *lineUp);
    EXPECT_EQ(eventsOf(l, EVENT_SPOILERS_SET, 0).back().tick, *lineUp);
    EXPECT_EQ(ac->flapsIndex, 0u);  // flaps 1 from the taxi on, up again in the climb

    // Rotation: never below 43 kt; the pitch reaches the take-off pitch after rotationTicks.
    const auto rotation = l.ticksEntering(AcState::take_off);
    ASSERT_EQ(rotation.size(), 1u);
    const std::uint32_t r0 = rotation.front();
    EXPECT_GE(rowAt(l, r0).pos.trueAirspeed, 43.0);
    EXPECT_GE(rowAt(l, r0).pos.trueAirspeed, gf_rotationSpeed(CatLarge));
    const double pitchStep = std::fabs(ac->takeoffPitch - rowAt(l, r0 - 1).pos.pitch) / ac->rotationTicks;
    const std::uint32_t rotated = r0 + ac->rotationTicks - 2;  // the last poll with the counter at 1
    EXPECT_NEAR(rowAt(l, rotated).pos.pitch, ac->takeoffPitch, pitchStep * 1.001);
    EXPECT_GT(rowAt(l, rotated - 10).pos.pitch, ac->takeoffPitch + 9.0 * pitchStep);
    EXPECT_EQ(rowAt(l, rotated).phaseCounter, 1);

    // Gear up 300 polls into the climb-out.
    const auto gearUp = eventsOf(l, EVENT_GEAR_SET, 0);
    ASSERT_FALSE(gearUp.empty());
    EXPECT_EQ(rowAt(l, gearUp.front().tick).phaseCounter, -300);
    EXPECT_EQ(rowAt(l, gearUp.front().tick).state, AcState::take_off);

    // Flying from 800 ft above the ground, with climb power.
    const auto flying = l.ticksEntering(AcState::flying);
    ASSERT_FALSE(flying.empty());
    EXPECT_GE(rowAt(l, flying.front()).heightAboveGround, 800.0);
    EXPECT_EQ(eventsOf(l, EVENT_THROTTLE_SET, 11468).back().tick, flying.front());
    EXPECT_DOUBLE_EQ(rowAt(l, flying.front()).pos.pitch, ac->climbPitch);

    // The turn onto the runway was a curve; nothing jumped.
    EXPECT_TRUE(firstTick(l, [](const TraceRow& r) { return r.curve != 0 && r.onGround != 0; }));
    const lab::Quality q = l.quality();
    EXPECT_LE(q.airDueErrorM, 30.0);
    EXPECT_LE(q.groundDueErrorM, 5.0);
    EXPECT_GE(q.slowestSampleKt, 0.0);
    EXPECT_GE(q.lowestAboveTerrainFt, -0.5);
}

struct PushbackCase {
    const char* scenario;
    double endHeadingOffStandDeg;  // where the nose points after the push
};

TEST_F(MovementScenario, PushbackLeftRightAndStraightThenTaxi) {
    for (const PushbackCase& c : {PushbackCase{"pushback-left", 90.0}, PushbackCase{"pushback-right", -90.0},
                                  PushbackCase{"pushback-straight", 0.0}}) {
        SCOPED_TRACE(c.scenario);
        MovementLab l(*lab::gf_builtInScenario(c.scenario));
        const Stand stand = *l.scenario().stand;
        l.run();
        const auto pushing = l.ticksEntering(AcState::pushing_back);
        const auto pushed = l.ticksEntering(AcState::pushed_back);
        const auto taxi = l.ticksEntering(AcState::taxi);
        ASSERT_EQ(pushing.size(), 1u);
        ASSERT_EQ(pushed.size(), 1u);
        ASSERT_FALSE(taxi.empty());
        EXPECT_LT(pushing.front(), pushed.front());
        EXPECT_LT(pushed.front(), taxi.front());

        // Nav, beacon, taxi and logo lights on, the rest off; pushed with negative airspeed.
        const TraceRow& start = rowAt(l, pushing.front());
        EXPECT_LT(start.pos.trueAirspeed, 0.0);
        const auto lightAt = [&](std::uint32_t id) {
            for (const PortEvent& e : l.sim().eventsOf(id))
                if (e.tick == pushing.front()) return static_cast<int>(e.value);
            return -1;
        };
        EXPECT_EQ(lightAt(EVENT_TAXI_LIGHTS_SET), 1);
        EXPECT_EQ(lightAt(EVENT_LANDING_LIGHTS_SET), 0);
        EXPECT_EQ(lightAt(EVENT_CABIN_LIGHTS_SET), 0);

        // After the push: engines started, flaps 1, the nose to the side the stream showed.
        const TraceRow& done = rowAt(l, pushed.front());
        EXPECT_NEAR(std::remainder(done.pos.trueHeading * RAD2DEG - stand.heading * RAD2DEG, 360.0),
                    c.endHeadingOffStandDeg, 2.0);
        EXPECT_EQ(eventsOf(l, EVENT_ENGINE_AUTO_START, 0).back().tick, pushed.front());
        const double back = gf_distanceNm({stand.lat, stand.lon}, {done.pos.latitude, done.pos.longitude});
        if (c.endHeadingOffStandDeg == 0.0) {
            EXPECT_NEAR(back, 2.5 * stand.radius, 0.5 / 1852.0);  // P, straight behind the stand
        } else {
            const double side = l.aircraft()->wingspan;
            EXPECT_NEAR(back, std::hypot(2.5 * stand.radius, side), 1.0 / 1852.0);  // Q or R
        }
        // Pushed back, it holds while the samples stay close, then taxis.
        EXPECT_TRUE(firstTick(l, [](const TraceRow& r) { return r.state == AcState::pushed_back && r.holding != 0; }));
        EXPECT_GT(taxi.front() - pushed.front(), 1000u);

        const lab::Quality q = l.quality();
        EXPECT_LE(q.groundDueErrorM, 5.0);
        EXPECT_LE(q.headingStepGroundDeg, 0.5);
        EXPECT_GE(q.slowestSampleKt, 0.0);
    }
}

TEST_F(MovementScenario, AirborneTurnsStayWithinTheirRates) {
    lab::Quality worst;
    for (const char* name : {"turns", "turns-banked"}) {
        SCOPED_TRACE(name);
        MovementLab l(*lab::gf_builtInScenario(name));
        l.run();
        const lab::Quality q = l.quality();
        worst = lab::gf_worst(worst, q);
        EXPECT_LE(q.airDueErrorM, 30.0);
        EXPECT_GT(q.headingStepAirDeg, 0.0);
        if (std::string(name) == "turns") {
            EXPECT_LE(q.bankStepDeg, gf_maxBankChange(CatLarge) * RAD2DEG + 1e-9);
        }
    }
    EXPECT_LE(worst.headingStepAirDeg, 0.1);  // 15 degrees in 5 s is 0.03 per poll
}

}  // namespace
}  // namespace skh

namespace skh {
namespace {

// A straight run of samples from `from` along `bearingDeg`, every 5 s.
std::vector<lab::ScriptedSample> straightRun(GeoPos from, double bearingDeg, double gs, double altitudeFt,
                                             double seconds, std::uint32_t firstTick, double terrainFt) {
    const double nm = gs * seconds / 3600.0;
    const GeoPos to = gf_destinationPoint(from, bearingDeg * DEG2RAD, nm * 6076.11549);
    const bool ground = altitudeFt <= 0.0;
    return lab::gf_samplesAlong({{from, gs, altitudeFt, 0.0, ground}, {to, gs, altitudeFt, 0.0, ground}}, terrainFt,
                                firstTick, 5.0);
}

lab::Scenario atAirport(std::vector<lab::ScriptedSample> samples) {
    lab::Scenario s;
    s.terrainFt = 1402.0;
    s.parkAirport = Airport{"LSZH", "ZRH", 47.458, 8.548, 1402.0};
    s.samples = std::move(samples);
    return s;
}

// The first poll at which the aircraft had left the simulator (or was being removed).
std::optional<std::uint32_t> removedAt(const MovementLab& l) {
    return firstTick(l, [](const TraceRow& r) { return r.status == AcStatus::removingfromsim; });
}

TEST_F(MovementScenario, ATaxiingAircraftHoldsUntilTheTimeoutAndASecondHoldGetsItsFullTime) {
    const GeoPos start{47.455, 8.552};
    // 30 s of taxiing, a pause of 40 s, 20 s more, then nothing.
    auto samples = straightRun(start, 90.0, 12.0, 0.0, 30.0, 0, 1402.0);
    const GeoPos later = gf_destinationPoint(start, 90.0 * DEG2RAD, 12.0 * 50.0 / 3600.0 * 6076.11549);
    for (const auto& s : straightRun(later, 90.0, 12.0, 0.0, 20.0, 7000, 1402.0)) samples.push_back(s);
    lab::Scenario scenario = atAirport(samples);
    scenario.maxHoldingMinutes = 1;
    MovementLab l(scenario);
    l.runPolls(30000);

    const auto firstHold = firstTick(l, [](const TraceRow& r) { return r.holding != 0; });
    ASSERT_TRUE(firstHold);
    const auto moving = firstTick(
        l, [](const TraceRow& r) { return r.holding == 0; }, *firstHold);
    ASSERT_TRUE(moving);
    const auto secondHold = firstTick(
        l, [](const TraceRow& r) { return r.holding != 0; }, *moving);
    ASSERT_TRUE(secondHold);
    // Standing while holding: no airspeed, no move.
    const TraceRow& held = rowAt(l, *firstHold + 100);
    EXPECT_EQ(held.pos.trueAirspeed, 0.0);
    EXPECT_EQ(held.pos.latitude, rowAt(l, *firstHold + 200).pos.latitude);
    // The second hold lasts its full minute (in 3 s steps) before the aircraft is removed.
    const auto removed = removedAt(l);
    ASSERT_TRUE(removed);
    EXPECT_GE(*removed - *secondHold, 6000u);
    EXPECT_LE(*removed - *secondHold, 6700u);
}

TEST_F(MovementScenario, HoldingWithAirborneOnlyWaitsOneStep) {
    lab::Scenario scenario = atAirport(straightRun({47.455, 8.552}, 90.0, 12.0, 0.0, 30.0, 0, 1402.0));
    scenario.airborneOnly = true;
    MovementLab l(scenario);
    l.runPolls(12000);
    const auto hold = firstTick(l, [](const TraceRow& r) { return r.holding != 0; });
    const auto removed = removedAt(l);
    ASSERT_TRUE(hold && removed);
    EXPECT_LE(*removed - *hold, 400u);
}

TEST_F(MovementScenario, ATaxiingAircraftNextToAnotherOneIsRemovedAtOnceWhenItsStreamEnds) {
    const GeoPos start{47.455, 8.552};
    auto samples = straightRun(start, 90.0, 12.0, 0.0, 30.0, 0, 1402.0);
    // Another aircraft taxis alongside, 20 m to the north, for longer.
    const GeoPos beside = gf_destinationPoint(start, 0.0, 20.0 / 1852.0 * 6076.11549);
    for (auto s : straightRun(beside, 90.0, 12.0, 0.0, 90.0, 0, 1402.0)) {
        s.act = 40002;
        samples.push_back(s);
    }
    MovementLab l(atAirport(samples));
    l.runPolls(12000);
    const auto removed = removedAt(l);
    ASSERT_TRUE(removed);
    EXPECT_FALSE(firstTick(l, [](const TraceRow& r) { return r.holding != 0; }));
    const LiveAc* other = gf_findLiveByAct(40002);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->status, AcStatus::active);
}

TEST_F(MovementScenario, AnAirborneAircraftIsPredictedEightStepsUnlessItIsAtTheEdgeOfTheRange) {
    // 20 nm from the user: predicted; 39.7 nm: removed at once (the range is 40 nm).
    for (const double nm : {20.0, 39.7}) {
        SCOPED_TRACE(nm);
        lab::Scenario scenario;
        const GeoPos user{47.458, 8.548};
        scenario.user = user;
        const GeoPos start = gf_destinationPoint(user, 0.0, (nm - 1.5) * 6076.11549);
        scenario.samples = straightRun(start, 0.0, 300.0, 9000.0, 18.0, 0, 0.0);
        MovementLab l(scenario);
        l.runPolls(12000);
        const auto removed = removedAt(l);
        ASSERT_TRUE(removed);
        const auto predicted = firstTick(l, [](const TraceRow& r) { return r.predictionCount > 0; });
        if (nm > 39.0) {
            EXPECT_FALSE(predicted);
            continue;
        }
        ASSERT_TRUE(predicted);
        // Eight steps of 8 s, each 5 % slower than the one before.
        // (each leg re-timed from the mean of its two speeds: a little under 8 s)
        EXPECT_GE(*removed - *predicted, 8u * 750u);
        EXPECT_LE(*removed - *predicted, 8u * 800u + 100u);
        std::vector<GeoPos> ends;
        for (std::uint32_t t = *predicted; t < *removed; ++t)
            if (rowAt(l, t).dueErrorM) ends.push_back({rowAt(l, t).pos.latitude, rowAt(l, t).pos.longitude});
        ASSERT_GE(ends.size(), 4u);
        const double first = gf_distanceNm(ends[1], ends[2]);
        const double second = gf_distanceNm(ends[2], ends[3]);
        EXPECT_NEAR(second / first, 0.95, 0.01);
    }
}

}  // namespace
}  // namespace skh

namespace skh {
namespace {

TEST_F(MovementScenario, AParkedAircraftWhosePositionsLieAheadPullsOutOneSpan) {
    MovementLab l(*lab::gf_builtInScenario("pull-out"));
    const Stand stand = *l.scenario().stand;
    l.run();
    EXPECT_TRUE(l.ticksEntering(AcState::pushing_back).empty());
    const auto taxi = l.ticksEntering(AcState::taxi);
    ASSERT_FALSE(taxi.empty());
    EXPECT_TRUE(log.contains("E12     : SWR14    pulling out"));
    EXPECT_EQ(eventsOf(l, EVENT_ENGINE_AUTO_START, 0).back().tick, taxi.front());
    // Straight ahead along the stand's heading, one span out, at the slow speed.
    const LiveAc* ac = l.aircraft();
    ASSERT_NE(ac, nullptr);
    const TraceRow& out = rowAt(l, taxi.front());
    EXPECT_NEAR(out.pos.trueAirspeed, ac->slowGroundSpeed, 1e-9);
    EXPECT_NEAR(out.pos.trueHeading, stand.heading, 1e-9);
    const auto reached = firstTick(
        l, [](const TraceRow& r) { return r.dueErrorM.has_value(); }, taxi.front() + 1);
    ASSERT_TRUE(reached);
    const TraceRow& there = rowAt(l, *reached);
    EXPECT_NEAR(gf_distanceNm({stand.lat, stand.lon}, {there.pos.latitude, there.pos.longitude}), 2.0 * ac->wingspan,
                0.5 / 1852.0);
    EXPECT_LE(l.quality().groundDueErrorM, 5.0);
}

}  // namespace
}  // namespace skh

namespace skh {
namespace {

TEST(MovementLabInput, RecordedStreamsAndRunwayRowsSkipWhatDoesNotParse) {
    std::istringstream stream(
        "seconds,lat,lon,altitude,groundSpeed,track,verticalSpeed\n"
        "0,47.4,8.5,3000,140,90,-500\n"
        "# a comment\n"
        "5,47.4,8.51,2950,140,90,-500,142\n"
        "10,nan,8.52,2900,140,90,-500\n"
        "15,95,8.53,2900,140,90,-500\n"
        "20,47.4,8.54,2850,-3,90,-500\n"
        "25,47.4,8.55\n"
        "30,47.4,8.56,0,12,90,0\n");
    std::size_t skipped = 0;
    const auto samples = lab::gf_readRecordedStream(stream, &skipped);
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(skipped, 4u);
    EXPECT_EQ(samples[1].arrivalTick, 500u);
    EXPECT_EQ(samples[1].pos.trueAirspeed, 142.0);
    EXPECT_EQ(samples[0].pos.trueAirspeed, 140.0);
    EXPECT_EQ(samples[2].pos.airborne, 0);

    const auto rwy = lab::gf_parseRunwayRow(
        R"(239121,4505,"LSZH",10827,197,"CON",1,0,"14",47.483101,8.53473,1402,137,492,"32",47.4613,8.56446,1402,317,)");
    ASSERT_TRUE(rwy);
    EXPECT_EQ((*rwy)[0].ident, "14");
    EXPECT_EQ((*rwy)[1].ident, "32");
    EXPECT_DOUBLE_EQ((*rwy)[1].threshold.lat, 47.4613);
    EXPECT_DOUBLE_EQ((*rwy)[0].headingDeg, 137.0);
    EXPECT_FALSE(lab::gf_parseRunwayRow(R"(255155,6524,"00AK",2500,40,"GRVL",0,0,"N",,,,,,"S",,,,,)"));
    EXPECT_FALSE(lab::gf_parseRunwayRow("garbage"));
}

}  // namespace
}  // namespace skh

namespace skh {
namespace {

// Rows of the world runway list (runways.csv is not in the repository).
constexpr const char* kLszhRow =
    R"(239121,4505,"LSZH",10827,197,"CON",1,0,"14",47.483101,8.53473,1402,137,492,"32",47.4613,8.56446,1402,317,)";
constexpr const char* kEddfRow =
    R"(236134,2212,"EDDF",13123,197,"ASP",1,0,"07C",50.03260040283203,8.534629821777344,329,69.6,,"25C",50.045101165771484,8.586979866027832,364,249.6,)";
constexpr const char* kKsfoRow =
    R"(240772,3878,"KSFO",11870,200,"ASP",1,0,"10L",37.628742,-122.39341,5,118,,"28R",37.613538,-122.35716,13,298,300)";
constexpr const char* kKdenRow =
    R"(244460,3486,"KDEN",16000,200,"CON",1,0,"16R",39.89580154418945,-104.69599914550781,5319,180.5,,"34L",39.851898193359375,-104.6969985961914,5324,0.5,)";

lab::RunwayEnd runwayEnd(const char* row, const std::string& ident) {
    const auto ends = lab::gf_parseRunwayRow(row);
    if (!ends) throw std::runtime_error(std::string("bad runway row ") + row);
    return (*ends)[0].ident == ident ? (*ends)[0] : (*ends)[1];
}

TEST_F(MovementScenario, ATakeoffRollWhoseStreamRunsDryClimbsAwayAboveTheRunway) {
    // A high airport and the test airport: ground samples have altitude 0, the runway does not.
    for (const auto& [row, ident] : {std::pair{kKdenRow, "16R"}, std::pair{kLszhRow, "14"}}) {
        SCOPED_TRACE(ident);
        lab::Scenario s = lab::gf_runwayScenario(runwayEnd(row, ident), true);
        // The stream ends during the roll, at 90 kt; the roll, rotation and climb are predicted.
        const auto cut = std::find_if(s.samples.begin(), s.samples.end(),
                                      [](const lab::ScriptedSample& x) { return x.pos.groundSpeed >= 85.0; });
        ASSERT_NE(cut, s.samples.end());
        s.samples.erase(cut + 1, s.samples.end());
        s.ticks = lab::gf_ticksAfterStream(s.samples, 120.0);
        MovementLab l(s);
        l.run();

        ASSERT_FALSE(l.ticksEntering(AcState::take_off).empty());
        EXPECT_GE(l.quality().lowestAboveTerrainFt, -0.5);
        // From lift-off on the aircraft only climbs, until the predictions are used up.
        const auto liftOff = firstTick(l, [](const TraceRow& r) { return r.sent && r.onGround == 0; });
        ASSERT_TRUE(liftOff);
        EXPECT_GE(*liftOff, l.ticksEntering(AcState::take_off).front());
        std::optional<std::uint32_t> descent;
        double highest = 0.0;
        for (std::size_t i = *liftOff + 1; i < l.trace().size() && l.trace()[i].sent; ++i) {
            const TraceRow& r = l.trace()[i];
            if (!descent && r.pos.altitude < l.trace()[i - 1].pos.altitude - 1e-6) descent = r.tick;
            highest = r.pos.altitude - s.terrainFt;
        }
        EXPECT_FALSE(descent) << "descends at poll " << *descent;
        EXPECT_GT(highest, 500.0);
    }
}

}  // namespace
}  // namespace skh

namespace skh {
namespace {

TEST_F(MovementScenario, OnTheGroundTheNoseAndTheMotionKeepTogetherAndEveryTargetIsReached) {
    std::vector<lab::Scenario> scenarios;
    for (const std::string& name : lab::gf_builtInScenarioNames()) scenarios.push_back(*lab::gf_builtInScenario(name));
    for (const auto& [row, ident] : {std::pair{kLszhRow, "14"}, std::pair{kEddfRow, "25C"}, std::pair{kKsfoRow, "28R"}})
        for (const bool departure : {false, true})
            scenarios.push_back(lab::gf_runwayScenario(runwayEnd(row, ident), departure));
    for (const lab::Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        MovementLab l(s);
        l.run();
        const lab::Quality q = l.quality();
        // Curves, bends after a pushback, turn-offs and line-ups: no sliding sideways or backwards.
        EXPECT_LE(q.crabDeg, 30.0) << "at poll " << q.crabTick << " for " << q.crabSeconds << " s";
        EXPECT_LT(q.groundDueErrorM, 0.005);
        EXPECT_LT(q.airDueErrorM, 0.005);
        EXPECT_LE(q.headingStepGroundDeg, mv::kMaxCurveFollowDeg + 1e-9);
        EXPECT_GT(q.dueChecks, 10u);
    }
}

}  // namespace
}  // namespace skh
