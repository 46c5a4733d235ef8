#include "traffic/movement_common.hpp"

#include <algorithm>
#include <cmath>
#include <gsl/narrow>
#include <limits>

#include "feed/traffic_queue.hpp"
#include "simclient/sim_ids.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

double lf_normalizePi(double rad) {
    if (rad > -mv::kPi && rad <= mv::kPi) return rad;
    rad = std::remainder(rad, TWO_PI);  // [-pi, pi]
    return rad <= -mv::kPi ? rad + TWO_PI : rad;
}

double lf_wrapTwoPi(double rad) {
    if (rad >= 0.0 && rad < TWO_PI) return rad;
    rad = std::fmod(rad, TWO_PI);
    if (rad < 0.0) rad += TWO_PI;
    return rad >= TWO_PI ? 0.0 : rad;
}

double lf_lonDelta(double toLon, double fromLon) {
    double d = toLon - fromLon;
    if (d >= -180.0 && d < 180.0) return d;
    d = std::fmod(d + 180.0, 360.0);
    if (d < 0.0) d += 360.0;
    return d - 180.0;
}

void lf_turnTowards(double& heading, double target, double rate) {
    const double diff = lf_normalizePi(target - heading);
    if (std::fabs(diff) <= mv::kTurnDeadbandDeg * mv::kDeg) return;
    // The last step of a turn stops on the target instead of swinging past it.
    const double step = std::min(std::fabs(rate), std::fabs(diff));
    heading = lf_wrapTwoPi(heading + (diff > 0.0 ? step : -step));
}

bool lf_samePosition(const PosSample& a, const PosSample& b) {
    return std::fabs(a.lat - b.lat) <= mv::kSamePositionDeg && std::fabs(a.lon - b.lon) <= mv::kSamePositionDeg;
}

std::int32_t lf_roundTicks(double x) {
    const double r = std::round(x);
    if (!(r >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          r <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
        throw gsl::narrowing_error();
    return static_cast<std::int32_t>(r);
}

std::int32_t lf_turnTicks(double degrees, double rate) {
    if (!(rate > 0.0)) return 1;
    return std::max(lf_roundTicks(degrees * mv::kDeg / rate), 1);
}

std::int32_t lf_legTicks(const PosSample& target, std::uint32_t now) {
    return std::max(lf_ticksUntil(target.dueTick, now), mv::kMinLegTicks);
}

double lf_meanSpeed(const PosSample& s0, const PosSample& s1) {
    if (s0.groundSpeed != 0.0 || s1.groundSpeed != 0.0) return (s0.groundSpeed + s1.groundSpeed) / 2.0;
    std::int32_t span = lf_ticksUntil(s1.dueTick, static_cast<std::uint32_t>(s0.dueTick));
    if (span < mv::kMinLegTicks) span = mv::kMinLegTicks;  // 25 also when negative
    const double speed = gf_distanceNm(lf_geo(s0), lf_geo(s1)) * mv::kTicksPerHour / span;
    return std::max(speed, 1.0);
}

double lf_trackChange(const LiveAc& ac) {
    if (ac.stream.size() < 3) return 0.0;
    const double bearing = gf_bearingRad(lf_geo(ac.stream[1]), lf_geo(ac.stream[2]));
    return lf_normalizePi(bearing - ac.pos.trueHeading);
}

void lf_retimeTarget(const LiveAc& ac, PosSample& target, std::int32_t travelTicks, std::uint32_t now) {
    std::int32_t ahead = std::max(travelTicks, mv::kMinLegTicks);
    if (ac.predictionCount < 1) {
        const std::int32_t received = lf_ticksUntil(target.dueTick, now);
        // Computed in 64 bits: a window around a far-off due tick must not wrap.
        const std::int64_t lo = static_cast<std::int64_t>(received) - ac.maxEarlyTicks;
        const std::int64_t hi = static_cast<std::int64_t>(received) + ac.maxLateTicks;
        ahead = static_cast<std::int32_t>(std::clamp<std::int64_t>(ahead, std::min(lo, hi), hi));
    }
    // A target whose window lies in the past is still flown to in the minimum
    // leg: dated now, it would be passed over at the next poll.
    target.dueTick = lf_tickAfter(now, std::max(ahead, mv::kMinLegTicks));
}

void lf_shrinkWindows(LiveAc& ac) {
    if (ac.maxEarlyTicks > mv::kMinWindowTicks)
        ac.maxEarlyTicks = std::max(ac.maxEarlyTicks - mv::kWindowShrinkTicks, mv::kMinWindowTicks);
    if (ac.maxLateTicks > mv::kMinWindowTicks)
        ac.maxLateTicks = std::max(ac.maxLateTicks - mv::kWindowShrinkTicks, mv::kMinWindowTicks);
}

void lf_resetWindows(LiveAc& ac) {
    ac.maxEarlyTicks = mv::kWindowTicks;
    ac.maxLateTicks = ac.takingOff != 0 ? mv::kTakeoffLateTicks : mv::kWindowTicks;
}

void lf_dropPrediction(LiveAc& ac) {
    if (ac.predictionCount <= 0) return;
    ac.predictionCount = 0;
    lf_resetWindows(ac);
}

void lf_setGear(const LiveAc& ac, bool down) {
    if (ac.category != CatRotorcraft) lf_sendEvent(ac, EVENT_GEAR_SET, down ? 1u : 0u);
}

void lf_setSpoilers(const LiveAc& ac, bool out) {
    if (ac.category != CatRotorcraft) lf_sendEvent(ac, EVENT_SPOILERS_SET, out ? 16383u : 0u);
}

void lf_setThrottleFixedWing(LiveAc& ac, std::uint32_t index) {
    lf_setThrottle(ac, ac.category == CatRotorcraft ? 4u : index);
}

void lf_zeroControlBlock(const LiveAc& ac) {
    if (ac.category == CatLight) return;
    lf_setControlBlock(ac, {0.0, 0.0, 0.0});
}

void lf_refreshLandingWatch(bool everyCall) {
    if (!g_landingWatch) return;
    // Looked at once a poll at most unless asked: many aircraft may take a
    // new target in one poll.
    static std::uint32_t lastTick = 0;
    static bool looked = false;
    const std::uint32_t now = trafficTick.load();
    if (!everyCall && looked && lastTick == now) return;
    lastTick = now;
    looked = true;
    g_landingWatch = std::any_of(g_liveAc.begin(), g_liveAc.end(), [](const LiveAc& ac) {
        return ac.status == AcStatus::active && ac.flarePhase != 0 && ac.onGround == 0;
    });
}

}  // namespace skh
