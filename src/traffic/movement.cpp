#include "traffic/movement.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "traffic/air_movement.hpp"
#include "traffic/ground_movement.hpp"
#include "traffic/holding.hpp"
#include "traffic/movement_common.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/removal.hpp"
#include "traffic/stand_side.hpp"

namespace skh {

namespace {

// Dropping stationary samples and predicting new ones alternate; a stream
// that never yields a leg must not hold the poll.
constexpr int kMaxTargetSearches = 64;

bool lf_stepsFinite(const LiveAc& ac) {
    const double values[] = {ac.latStep,
                             ac.lonStep,
                             ac.altStep,
                             ac.pitchStep,
                             ac.bankStep,
                             ac.headingStep,
                             ac.targetVerticalSpeed,
                             ac.targetAirspeed,
                             ac.curveTStep,
                             ac.groundTurnRateNow};
    return std::all_of(std::begin(values), std::end(values), [](double v) { return std::isfinite(v); });
}

bool lf_positionFinite(const AiPositionBlock& p) {
    const double values[] = {p.latitude, p.longitude, p.pitch, p.bank, p.trueHeading, p.altitude};
    return std::all_of(std::begin(values), std::end(values), [](double v) { return std::isfinite(v); });
}

std::string lf_stateName(const LiveAc& ac) {
    try {
        return gf_moveStateName(ac.moveState);
    } catch (const std::out_of_range&) {
        return "?";
    }
}

std::string lf_statusText(const LiveAc& ac) {
    try {
        return gf_statusName(ac.status);
    } catch (const std::out_of_range&) {
        return "?";
    }
}

void lf_leaveWhenDry(LiveAc& ac) {
    if (ac.moveState != AcState::parked) lf_learnSoftOnLeave(ac, ac.moveState != AcState::flying);
    removeAircraftFromSim(ac);
}

void lf_nextPos(LiveAc& ac) {
    auto& st = ac.stream;
    for (int search = 0; search < kMaxTargetSearches; ++search) {
        if (st.size() >= 2) {
            if (ac.onGround == 0 && st[1].stationary != 0 && ac.category != CatRotorcraft) {
                st.erase(st.begin() + 1);  // airborne: a standing sample is no target
                continue;
            }
            nextPosGround(ac);
            return;
        }
        if (!lf_dryStreamStep(ac)) {
            lf_leaveWhenDry(ac);
            return;
        }
    }
    throw std::runtime_error("no target found in the stream");
}

// Straight steps from the position to sample 1, by its due tick.
void lf_setSteps(LiveAc& ac, std::uint32_t now) {
    auto& st = ac.stream;
    if (st[1].stationary != 0) {
        ac.latStep = 0.0;
        ac.lonStep = 0.0;
        if (ac.rollout == 0 && ac.takingOff == 0) lf_shrinkWindows(ac);
        return;
    }
    std::int32_t ticks = lf_legTicks(st[1], now);
    ac.latStep = (st[1].lat - ac.pos.latitude) / ticks;
    // The short way round, also across the date line.
    ac.lonStep = lf_lonDelta(st[1].lon, ac.pos.longitude) / ticks;
    if (ac.onGround != 0) {
        lf_groundStepSetup(ac, ticks);
    } else {
        lf_airStepSetup(ac, ticks, now);
    }
}

void lf_wrapPosition(LiveAc& ac) {
    AiPositionBlock& p = ac.pos;
    if (p.latitude > 90.0 || p.latitude < -90.0) {
        // Over the pole: down the other side, heading the other way.
        p.latitude = p.latitude > 0.0 ? 180.0 - p.latitude : -180.0 - p.latitude;
        p.longitude += 180.0;
        p.trueHeading = lf_wrapTwoPi(p.trueHeading + mv::kPi);
        ac.latStep = -ac.latStep;
    }
    if (p.longitude >= 180.0 || p.longitude < -180.0) p.longitude = lf_lonDelta(p.longitude, 0.0);
}

void lf_curveStep(LiveAc& ac) {
    GeoPos point;
    double before = 0.0;
    const bool hadPoint = gf_bezierPointAt(ac.curve, point, before, ac.curveT);
    ac.curveT = std::clamp(ac.curveT + ac.curveTStep, 0.0, 0.999999);
    double direction = 0.0;
    if (!gf_bezierPointAt(ac.curve, point, direction, ac.curveT)) {
        gf_logWarning(skh::format("{} error in curve at index: {:.2F}", gf_acDescription(ac), ac.curveT));
        return;
    }
    ac.pos.latitude = point.lat;
    ac.pos.longitude = point.lon;
    // The nose keeps up with the curve's own turn and closes a gap at the
    // ground turn rate: a slower turn would slide the aircraft sideways. A
    // curve that turns faster than the nose can may still leave it behind.
    const double curveTurn = hadPoint ? std::fabs(lf_normalizePi(direction - before)) : 0.0;
    const double rate =
        std::min(ac.groundTurnRateNow + curveTurn, std::max(ac.groundTurnRateNow, mv::kMaxCurveFollowDeg * mv::kDeg));
    if (ac.moveState == AcState::pushing_back) direction = lf_wrapTwoPi(direction + mv::kPi);
    lf_turnTowards(ac.pos.trueHeading, direction, rate);
}

void lf_moveStep(LiveAc& ac) {
    AiPositionBlock& p = ac.pos;
    switch (ac.moveState) {
        case AcState::take_off:
        case AcState::flying:
        case AcState::parked:
        case AcState::birth:
            p.trueHeading = lf_wrapTwoPi(p.trueHeading + ac.headingStep);
            p.latitude += ac.latStep;
            p.longitude += ac.lonStep;
            return;
        default:
            if (ac.moveState == AcState::parking || ac.turnNeeded != 0)
                lf_turnTowards(p.trueHeading, ac.trackBearing, ac.groundTurnRateNow);
            if (ac.moveState == AcState::pushed_back) return;
            p.latitude += ac.latStep;
            p.longitude += ac.lonStep;
            return;
    }
}

void lf_attitudeStep(LiveAc& ac) {
    AiPositionBlock& p = ac.pos;
    if (ac.heightAboveGround <= mv::kFlareTestFt && ac.landing != 0 && ac.onGround == 0) lf_flareStep(ac);
    if (ac.touchdown != 0) {
        // De-rotation after touch-down.
        p.pitch += ac.pitchStep;
        const bool passed =
            ac.pitchStep == 0.0 || (ac.pitchStep > 0.0 ? p.pitch >= ac.staticPitch : p.pitch <= ac.staticPitch);
        if (passed) {
            p.pitch = ac.staticPitch;
            ac.pitchStep = 0.0;
            p.bank = 0.0;
            ac.bankStep = 0.0;
            ac.touchdown = 0;
            ac.flarePhase = 0;
        }
        p.bank += ac.bankStep;
    } else if (ac.flarePhase != 0) {
        p.bank = std::clamp(p.bank + ac.bankStep, -mv::kPi, mv::kPi);
        p.pitch = std::max(p.pitch + ac.pitchStep, mv::kFlarePitch);
        p.altitude += ac.altStep;
    } else if (ac.onGround != 0) {
        p.pitch = ac.staticPitch;
        p.bank = 0.0;
    } else {
        p.bank += ac.bankStep;
        p.pitch += ac.pitchStep;
        p.altitude += ac.altStep;
    }
}

}  // namespace

void nextPosMain(LiveAc& ac) {
    try {
        lf_nextPos(ac);
        if (!lf_stepsFinite(ac)) throw std::runtime_error("a step towards the target is not a number");
        // An aircraft that left the simulator in its flare does not keep the watch on.
        lf_refreshLandingWatch(false);
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", e.what(), gf_acDescription(ac),
                                  ac.stream.size(), lf_stateName(ac), lf_statusText(ac)));
        throw;
    }
}

void nextPosGround(LiveAc& ac) {
    try {
        const std::uint32_t now = trafficTick.load();
        ac.curve.clear();
        ac.curveT = 0.0;
        auto& st = ac.stream;
        if (st[1].stationary == 0 && lf_samePosition(st[0], st[1])) st[1].stationary = 1;
        if (st[1].stationary == 0) ac.trackBearing = gf_bearingRad(lf_geo(st[0]), lf_geo(st[1]));
        if (ac.onGround != 0) {
            lf_groundTurnChoice(ac, now);
        } else if (st[1].stationary == 0) {
            lf_retimeAir(ac, now);
        } else {
            lf_retimeGround(ac, now);  // a hovering Rotorcraft
        }
        if (st.size() < 2) return;  // gone to a stand or removed: the next poll decides
        lf_setSteps(ac, now);
        st.pop_front();
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{}: {}, {}, sz:{}", "nextPosGround", e.what(), gf_acDescription(ac), ac.stream.size()));
        throw;
    }
}

void advanceOneTick(LiveAc& ac) {
    const AiPositionBlock before = ac.pos;
    if (ac.curve.active()) {
        lf_curveStep(ac);
    } else {
        lf_moveStep(ac);
    }
    if (ac.moveState != AcState::take_off) {
        lf_attitudeStep(ac);
    } else {
        lf_climbOutStep(ac);
    }
    lf_wrapPosition(ac);
    if (!lf_positionFinite(ac.pos)) {
        ac.pos = before;
        throw std::runtime_error("position not finite");
    }
}

}  // namespace skh
