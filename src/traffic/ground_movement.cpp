#include "traffic/ground_movement.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "traffic/air_movement.hpp"
#include "traffic/ground_manoeuvres.hpp"
#include "traffic/movement_common.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/stand_side.hpp"

namespace skh {

namespace {

bool lf_moves(const PosSample& s) { return s.stationary == 0; }

// Samples 0 and 1 differ in speed by more than 5 kt over at least 100 m:
// the change of speed happens at their midpoint.
void lf_speedChangeSplit(LiveAc& ac) {
    const PosSample& s0 = ac.stream[0];
    const PosSample& s1 = ac.stream[1];
    if (!lf_moves(s0) && !lf_moves(s1)) return;
    if (std::fabs(s0.groundSpeed - s1.groundSpeed) <= mv::kSplitSpeedKt) return;
    if (gf_distanceNm(lf_geo(s0), lf_geo(s1)) < mv::kSplitLegNm) return;
    lf_insertMidpoint(ac);
}

// Polls to drive from sample 0 to 1 at their mean speed.
std::int32_t lf_travelTicks(const LiveAc& ac) {
    const PosSample& s0 = ac.stream[0];
    const PosSample& s1 = ac.stream[1];
    return lf_roundTicks(gf_distanceNm(lf_geo(s0), lf_geo(s1)) * mv::kTicksPerHour / lf_meanSpeed(s0, s1));
}

// A leg slides the aircraft sideways by at most this much where it can turn
// the rest on the way (degrees).
constexpr double kMaxSlideDeg = 15.0;

// The turn the aircraft makes at its ground turn rate while it drives the
// leg, degrees; a leg that slides less is driven straight.
double lf_straightTurnLimitDeg(const LiveAc& ac) {
    const double possible = ac.groundTurnRate * std::max(lf_travelTicks(ac), mv::kMinLegTicks) * RAD2DEG;
    return std::min(possible, kMaxSlideDeg);
}

void lf_chooseLeg(LiveAc& ac) {
    auto& st = ac.stream;
    if (st.size() >= 3 && lf_moves(st[2])) {
        const double turn = std::fabs(lf_trackChange(ac)) * RAD2DEG;
        const PosSample& s0 = st[0];
        const PosSample& s1 = st[1];
        if (turn > mv::kMidpointTurnDeg && gf_distanceNm(lf_geo(s0), lf_geo(s1)) > mv::kMidpointLegNm &&
            s0.groundSpeed <= mv::kMidpointSpeedKt &&
            lf_ticksUntil(s1.dueTick, static_cast<std::uint32_t>(s0.dueTick)) >= mv::kMidpointLegTicks) {
            lf_insertMidpoint(ac);
        } else if (turn > mv::kTurnNeededDeg && turn <= mv::kMaxCurveTurnDeg) {
            if (lf_samePosition(s0, st[2])) {
                lf_speedChangeSplit(ac);  // there and back again: no curve
            } else {
                lf_setupCurve(ac);
                ac.curveTurnDeg = turn;
            }
        } else {
            lf_speedChangeSplit(ac);
        }
    } else if (st.size() >= 3 || ac.predictionCount < 1) {
        lf_speedChangeSplit(ac);
    }
    if (ac.curve.active()) {
        ac.turnNeeded = 0;
    } else {
        // The error of the heading the short way round: 358 degrees apart is a 2 degree turn.
        ac.headingErrorDeg = std::fabs(lf_normalizePi(ac.trackBearing - ac.pos.trueHeading)) * RAD2DEG;
        ac.turnNeeded = ac.headingErrorDeg > mv::kTurnNeededDeg ? 1 : 0;
        // A turn the aircraft cannot make on the leg would slide it sideways:
        // the leg bends with the nose instead.
        if (ac.turnNeeded != 0 && ac.headingErrorDeg > lf_straightTurnLimitDeg(ac) && lf_setupBend(ac))
            ac.turnNeeded = 0;
    }
}

// A taxiing aircraft that stops near its last position may have reached a stand.
void lf_parkingTest(LiveAc& ac) {
    const auto& st = ac.stream;
    if (st.back().stationary == 0 || ac.moveState != AcState::taxi || !lf_parkStandsLoaded()) return;
    const AcState prev = ac.prevMoveState;
    if (ac.towed == 0 && (prev == AcState::parked || prev == AcState::pushing_back || prev == AcState::pushed_back))
        return;  // just left a stand: it does not park again at once
    if (ac.predictionCount < 1) {
        if (st[1].groundSpeed <= mv::kParkSpeedKt &&
            gf_distanceNm(lf_geo(ac.pos), lf_geo(st.back())) <= mv::kParkSearchNm)
            try2Park(ac, false);
    } else if (ac.landed != 0) {
        try2Park(ac, true);
    }
}

// The turn of the leg spreads over the leg: slower for a long straight-ish
// leg, faster for a sharp one.
void lf_adjustTurnRate(LiveAc& ac, std::int32_t travelTicks, double distanceNm) {
    const double angle = ac.curve.active() ? ac.curveTurnDeg : ac.headingErrorDeg;
    if (!(ac.groundTurnRateNow > 0.0) || !(angle > 0.0)) return;
    const std::int32_t turnTicks = lf_turnTicks(angle, ac.groundTurnRateNow);
    const double ratio = static_cast<double>(std::max(travelTicks, mv::kMinLegTicks)) / turnTicks;
    if (angle <= mv::kMidpointTurnDeg) {
        if (ratio >= 1.2) {
            double m = std::min(ratio, ratio * 10.0 / angle);
            if (distanceNm > 0.0) m = std::min(m, ratio * 30.0 / 1852.0 / distanceNm);
            if (m > 0.0) ac.groundTurnRateNow /= m;
        } else if (ratio > 0.0) {
            ac.groundTurnRateNow /= ratio;
        }
    } else {
        ac.groundTurnRateNow *= std::min(ratio, std::min(angle, 90.0) / 30.0);
        if (angle >= 90.0) {
            ac.maxEarlyTicks = std::max(ac.maxEarlyTicks, mv::kWideTurnWindowTicks);
            ac.maxLateTicks = std::max(ac.maxLateTicks, mv::kWideTurnWindowTicks);
        }
    }
}

void lf_rolloutHandling(LiveAc& ac, const PosSample& s0) {
    if (std::fabs(lf_normalizePi(ac.pos.trueHeading - ac.rolloutHeading)) >= mv::kRolloutEndDeg * mv::kDeg) {
        // Off the runway.
        gf_setFlaps(ac, 0);
        ac.rollout = 0;
        ac.rolloutHeading = 0.0;
        lf_setThrottleFixedWing(ac, 0);
        lf_setSpoilers(ac, false);
        lf_zeroControlBlock(ac);
        lf_sendLights(ac, 1, 1, 0, 1, 0, 1, 1);
    } else if (s0.groundSpeed <= mv::kRolloutSlowKt) {
        lf_setSpoilers(ac, false);
        lf_zeroControlBlock(ac);
        gf_setFlaps(ac, 1);
    }
}

void lf_takeoffThrottle(LiveAc& ac, const PosSample& s0, const PosSample& s1) {
    std::uint32_t index = 4;
    if (ac.category != CatRotorcraft && s0.groundSpeed < 25.0 && s1.groundSpeed < 30.0) {
        if (s0.groundSpeed >= 20.0 || s1.groundSpeed >= 25.0) {
            index = 2;
        } else if (s0.groundSpeed >= 15.0 || s1.groundSpeed >= 20.0) {
            index = 1;
        } else {
            index = 0;
        }
    }
    lf_setThrottle(ac, index);
}

void lf_takeoffTest(LiveAc& ac, std::int32_t ticks) {
    const auto& st = ac.stream;
    const auto later = [&](auto&& pred) { return std::all_of(st.begin() + 1, st.end(), pred); };
    const bool climbingFast = later([](const PosSample& s) { return s.verticalSpeed > mv::kClimbingVsFpm; });
    if (!climbingFast) {
        const double vr = gf_rotationSpeed(ac.category);
        if (!later([&](const PosSample& s) { return s.groundSpeed >= vr; })) return;
        if (!later([](const PosSample& s) { return s.airborne != 0; })) return;
        lf_startRotation(ac);
        ac.altStep = ac.maxClimbStep;
        return;
    }
    lf_startRotation(ac);
    const bool someOnGround = !later([](const PosSample& s) { return s.airborne != 0; });
    ac.altStep = someOnGround ? ac.maxClimbStep : std::max(st[1].altitude - ac.pos.altitude, 0.1) / ticks;
}

}  // namespace

void lf_groundTurnChoice(LiveAc& ac, std::uint32_t now) {
    if (ac.moveState == AcState::pushing_back) {
        lf_pushbackStep(ac);
    } else if (ac.moveState == AcState::parked) {
        lf_resetWindows(ac);
        if (ac.pullOutPending != 0) {
            const double away = gf_bearingRad({ac.standLat, ac.standLon}, lf_geo(ac.stream.back()));
            const std::int32_t degrees = lf_roundTicks(lf_normalizePi(away - ac.standHeading) * RAD2DEG);
            if (std::abs(degrees) < 90) {
                lf_pullOut(ac, now);
            } else {
                lf_startPushback(ac, now);
            }
        }
    } else if (ac.stream[1].stationary == 0) {
        lf_chooseLeg(ac);
    }
    if (ac.stream.size() < 2) return;
    lf_parkingTest(ac);
    if (ac.stream.size() < 2) return;
    lf_retimeGround(ac, now);
}

void lf_retimeGround(LiveAc& ac, std::uint32_t now) {
    const PosSample& s0 = ac.stream[0];
    PosSample& s1 = ac.stream[1];
    if (s1.stationary != 0) {
        // A stop keeps its spacing from the sample before.
        const std::int32_t gap =
            std::max(lf_ticksUntil(s1.dueTick, static_cast<std::uint32_t>(s0.dueTick)), mv::kMinLegTicks);
        const std::int64_t ahead = static_cast<std::int64_t>(lf_ticksUntil(s0.dueTick, now)) + gap;
        lf_retimeTarget(
            ac, s1,
            static_cast<std::int32_t>(std::clamp<std::int64_t>(ahead, 0, std::numeric_limits<std::int32_t>::max())),
            now);
        return;
    }
    ac.groundTurnRateNow = ac.groundTurnRate;
    const double distance = gf_distanceNm(lf_geo(s0), lf_geo(s1));
    const std::int32_t travel = lf_travelTicks(ac);
    if (ac.curve.active() || ac.turnNeeded != 0) lf_adjustTurnRate(ac, travel, distance);
    lf_retimeTarget(ac, s1, travel, now);
}

void lf_groundStepSetup(LiveAc& ac, std::int32_t ticks) {
    const PosSample& s0 = ac.stream[0];
    const PosSample& s1 = ac.stream[1];
    if (ac.moveState == AcState::parked || ac.moveState == AcState::flying) {
        lf_setMoveState(ac, AcState::taxi);
    } else {
        if (ac.takingOff != 0) {
            lf_takeoffThrottle(ac, s0, s1);
        } else if (ac.rollout == 0) {
            lf_setThrottleFixedWing(ac, 0);
        }
        if (ac.rollout != 0) lf_rolloutHandling(ac, s0);
    }
    if (ac.rollout == 0 && ac.takingOff == 0) lf_shrinkWindows(ac);
    if (ac.flarePhase == 0 && ac.moveState != AcState::take_off) {
        ac.pos.pitch = ac.staticPitch;
        ac.pos.bank = 0.0;
        ac.pitchStep = 0.0;
        ac.bankStep = 0.0;
    }
    if (ac.curve.active()) ac.curveTStep = 1.0 / ticks;
    ac.targetAirspeed = ac.moveState == AcState::pushing_back ? -s1.groundSpeed : s1.groundSpeed;
    if (ac.takingOff != 0 && ac.moveState != AcState::take_off && s0.groundSpeed >= mv::kTakeoffSpeedKt)
        lf_takeoffTest(ac, ticks);
}

void lf_insertMidpoint(LiveAc& ac) {
    const PosSample& s0 = ac.stream[0];
    const PosSample& s1 = ac.stream[1];
    PosSample m = s0;
    m.lat = (s0.lat + s1.lat) / 2.0;
    m.lon = s0.lon + lf_lonDelta(s1.lon, s0.lon) / 2.0;
    if (m.lon >= 180.0) m.lon -= 360.0;
    if (m.lon < -180.0) m.lon += 360.0;
    m.groundSpeed = (s0.groundSpeed + s1.groundSpeed) / 2.0;
    m.altitude = (s0.altitude + s1.altitude) / 2.0;
    m.dueTick = lf_tickAfter(static_cast<std::uint32_t>(s0.dueTick),
                             lf_roundTicks(lf_ticksUntil(s1.dueTick, static_cast<std::uint32_t>(s0.dueTick)) / 2.0));
    m.airborne = m.altitude > 0.0 ? 1 : 0;
    m.stationary = 0;
    // Nothing was measured here.
    m.bank.reset();
    m.trueHeading.reset();
    m.trueHeadingTaken = 0;
    ac.stream.insert(ac.stream.begin() + 1, m);
}

namespace {

constexpr double kMinCrossing = 0.05;     // sine of the smallest angle at which two lines are taken to meet
constexpr double kMinArmShare = 0.1;      // of the way to the end: a shorter arm of a curve makes a corner
constexpr double kEarlyTurnShare = 0.25;  // of the way to the end: the control point of a curve that turns early
constexpr double kMaxBendOffDeg = 150.0;  // an end farther off the direction of motion is behind the aircraft

double lf_cosLat(double latDeg) {
    return std::cos(std::clamp(latDeg, -mv::kMaxCurveLatDeg, mv::kMaxCurveLatDeg) * mv::kDeg);
}

// The direction the aircraft moves in: backwards while it is pushed.
double lf_movingDirection(const LiveAc& ac) {
    return ac.pos.trueHeading + (ac.moveState == AcState::pushing_back ? mv::kPi : 0.0);
}

// The bearing from sample i to i + 1 when both exist and the second moves.
std::optional<double> lf_legBearing(const LiveAc& ac, std::size_t i) {
    const auto& st = ac.stream;
    if (i + 1 >= st.size() || st[i + 1].stationary != 0 || lf_samePosition(st[i], st[i + 1])) return std::nullopt;
    return gf_bearingRad(lf_geo(st[i]), lf_geo(st[i + 1]));
}

// A curve leaves in the direction the aircraft moves in, so that the nose
// and the motion never part: its control point lies on that line. Where the
// line meets the one along which the curve is to arrive, ahead of the
// aircraft and short of the end, the curve joins the next leg without a
// corner too. Else the control point lies a quarter of the way to the end,
// which turns most of the way early. An end almost straight behind gets no
// such curve: false, and the control point stays as it is.
bool lf_leaveAlongHeading(const LiveAc& ac, GroundCurve& c, std::optional<double> arriving) {
    const double moving = lf_movingDirection(ac);
    const double ux = std::sin(moving);
    const double uy = std::cos(moving);
    const double distance = std::hypot(c.endEast, c.endNorth);
    if (!(distance > 0.0)) return false;
    if (arriving) {
        const double vx = std::sin(*arriving);
        const double vy = std::cos(*arriving);
        // a u + b v = end
        const double det = ux * vy - vx * uy;
        if (std::fabs(det) >= kMinCrossing) {
            const double a = (c.endEast * vy - vx * c.endNorth) / det;
            const double b = (ux * c.endNorth - uy * c.endEast) / det;
            if (a > kMinArmShare * distance && b > kMinArmShare * distance) {
                c.controlEast = a * ux;
                c.controlNorth = a * uy;
                return true;
            }
        }
    }
    const double off = std::fabs(lf_normalizePi(std::atan2(c.endEast, c.endNorth) - moving)) * RAD2DEG;
    if (off > kMaxBendOffDeg) return false;
    c.controlEast = kEarlyTurnShare * distance * ux;
    c.controlNorth = kEarlyTurnShare * distance * uy;
    return true;
}

// The turn a curve makes from its start to its end, degrees.
double lf_curveTurnDeg(const GroundCurve& c) {
    const double start = std::atan2(c.controlEast, c.controlNorth);
    const double end = std::atan2(c.endEast - c.controlEast, c.endNorth - c.controlNorth);
    return std::fabs(lf_normalizePi(end - start)) * RAD2DEG;
}

// The curve's origin at the aircraft and its end at sample i, in metres.
GroundCurve lf_curveTo(const LiveAc& ac, std::size_t i) {
    GroundCurve c;
    c.originLat = ac.pos.latitude;
    c.originLon = ac.pos.longitude;
    c.tStart = 0.0;
    c.tEnd = 1.0;
    const double east = lf_cosLat(c.originLat) * mv::kMetresPerDegree;
    c.controlNorth = (ac.stream[1].lat - c.originLat) * mv::kMetresPerDegree;
    c.controlEast = lf_lonDelta(ac.stream[1].lon, c.originLon) * east;
    c.endNorth = (ac.stream[i].lat - c.originLat) * mv::kMetresPerDegree;
    c.endEast = lf_lonDelta(ac.stream[i].lon, c.originLon) * east;
    return c;
}

}  // namespace

void lf_setupCurve(LiveAc& ac) {
    auto& st = ac.stream;
    if (st[2].groundSpeed == 0.0) st[2].groundSpeed = (st[0].groundSpeed + st[1].groundSpeed) / 2.0;
    GroundCurve c = lf_curveTo(ac, 2);
    // Arriving along the leg after the curve, or along sample 1 to 2 without one.
    const auto after = lf_legBearing(ac, 2);
    const auto arriving = after ? after : std::optional<double>(gf_bearingRad(lf_geo(st[1]), lf_geo(st[2])));
    lf_leaveAlongHeading(ac, c, arriving);
    ac.curve = c;
    ac.curveT = 0.0;
    st.erase(st.begin() + 1);
}

bool lf_setupBend(LiveAc& ac) {
    GroundCurve c = lf_curveTo(ac, 1);
    if (!lf_leaveAlongHeading(ac, c, lf_legBearing(ac, 1))) return false;
    ac.curve = c;
    ac.curveT = 0.0;
    ac.curveTurnDeg = lf_curveTurnDeg(c);
    return true;
}

bool gf_bezierPointAt(const GroundCurve& curve, GeoPos& point, double& heading, double t) {
    if (!curve.active()) return false;
    const double span = curve.tEnd - curve.tStart;
    if (span == 0.0 || t < std::min(curve.tStart, curve.tEnd) || t > std::max(curve.tStart, curve.tEnd)) return false;
    const double u = (t - curve.tStart) / span;
    const double a = 2.0 * u * (1.0 - u);
    const double b = u * u;
    const double north = a * curve.controlNorth + b * curve.endNorth;
    const double east = a * curve.controlEast + b * curve.endEast;
    const double dNorth = 2.0 * (1.0 - u) * curve.controlNorth + 2.0 * u * (curve.endNorth - curve.controlNorth);
    const double dEast = 2.0 * (1.0 - u) * curve.controlEast + 2.0 * u * (curve.endEast - curve.controlEast);
    double lon = curve.originLon + east / (lf_cosLat(curve.originLat) * mv::kMetresPerDegree);
    if (lon >= 180.0) lon -= 360.0;
    if (lon < -180.0) lon += 360.0;
    const GeoPos p{curve.originLat + north / mv::kMetresPerDegree, lon};
    const double h = lf_wrapTwoPi(std::atan2(dEast, dNorth));
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon) || !std::isfinite(h)) return false;
    point = p;
    heading = h;
    return true;
}

}  // namespace skh
