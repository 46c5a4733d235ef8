#include "traffic/movement.hpp"

#include <algorithm>
#include <cmath>

#include "feed/traffic_queue.hpp"
#include "foundation/geo.hpp"
#include "traffic/removal.hpp"
#include "traffic/stand_side.hpp"

namespace skh {

namespace {

// A target due in the past is reached in this many polls, never fewer.
constexpr std::int32_t kMinLegTicks = 25;

double lf_wrapAngle(double rad) {
    rad = std::fmod(rad, TWO_PI);
    return rad < 0.0 ? rad + TWO_PI : rad;
}

}  // namespace

void nextPosMain(LiveAc& ac) {
    if (ac.stream.size() < 2) {
        if (ac.moveState != AcState::parked) lf_learnSoftOnLeave(ac, ac.moveState != AcState::flying);
        removeAircraftFromSim(ac);
        return;
    }
    const PosSample& from = ac.stream[0];
    const PosSample& to = ac.stream[1];
    const std::uint32_t now = trafficTick.load();
    const std::int32_t ticks = std::max(lf_ticksUntil(to.dueTick, now), kMinLegTicks);
    const bool standing =
        to.stationary != 0 || (std::fabs(to.lat - from.lat) <= 1e-8 && std::fabs(to.lon - from.lon) <= 1e-8);
    if (standing) {
        ac.latStep = ac.lonStep = ac.altStep = 0.0;
    } else {
        ac.latStep = (to.lat - ac.pos.latitude) / ticks;
        ac.lonStep = (to.lon - ac.pos.longitude) / ticks;
        ac.altStep = (to.altitude - ac.pos.altitude) / ticks;
        ac.trackBearing = gf_bearingRad({from.lat, from.lon}, {to.lat, to.lon});
        ac.pos.trueHeading = ac.trackBearing;
    }
    ac.targetVerticalSpeed = to.verticalSpeed;
    ac.targetAirspeed = to.trueAirspeed;
    if (to.airborne != 0) {
        lf_setMoveState(ac, AcState::flying);
    } else if (ac.moveState == AcState::flying || ac.moveState == AcState::birth) {
        lf_setMoveState(ac, AcState::taxi);
    }
    ac.stream.pop_front();
}

void advanceOneTick(LiveAc& ac) {
    ac.pos.latitude += ac.latStep;
    ac.pos.longitude += ac.lonStep;
    ac.pos.altitude += ac.altStep;
    ac.pos.trueHeading = lf_wrapAngle(ac.pos.trueHeading);
    if (ac.pos.longitude >= 180.0) ac.pos.longitude -= 360.0;
    if (ac.pos.longitude < -180.0) ac.pos.longitude += 360.0;
    ac.pos.latitude = std::clamp(ac.pos.latitude, -90.0, 90.0);
}

void lf_startTakeoffRoll(LiveAc& ac) { ac.takingOff = 1; }

}  // namespace skh
