#include "traffic/holding.hpp"

#include <algorithm>
#include <cmath>

#include "feed/park_fix.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/ground_manoeuvres.hpp"
#include "traffic/intake.hpp"
#include "traffic/movement_common.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr std::int32_t kHoldStepTicks = 300;
constexpr double kTicksPerMinute = 6000.0;
constexpr double kCollisionSpanFactor = 1.2;
constexpr double kRangeEdgeNm = 0.5;
constexpr double kUserKnownDeg = 0.0001;
constexpr double kAirborneOnlyBandFt = 1000.0;
constexpr std::int32_t kAirSteps = 8;
constexpr std::int32_t kGroundSteps = 10;
constexpr double kAirStepSeconds = 8.0;
constexpr double kGroundStepSeconds = 3.0;
constexpr std::int32_t kWeekTicks = 604800 * 100;
constexpr double kTakeoffClimbFtPerSecond = 25.0;
constexpr double kTakeoffClimbFpm = 1500.0;

// Another taxiing aircraft so close that the two would collide while one holds.
bool lf_otherTaxiingNear(const LiveAc& ac) {
    const GeoPos here = lf_geo(ac.pos);
    return std::any_of(g_liveAc.begin(), g_liveAc.end(), [&](const LiveAc& o) {
        return &o != &ac && o.onGround != 0 && o.moveState == AcState::taxi && o.status == AcStatus::active &&
               o.objectId != ac.objectId &&
               gf_distanceNm(here, lf_geo(o.pos)) < kCollisionSpanFactor * (ac.wingspan + o.wingspan);
    });
}

// One more stationary copy of the front sample while waiting; false when the
// wait is over.
bool lf_hold(LiveAc& ac, std::uint32_t now) {
    if (lf_otherTaxiingNear(ac)) {
        ac.holding = 0;
        ac.holdStartTick = 0;
        return false;
    }
    if (ac.holding == 0) {
        // The hold time starts when holding begins, so a second hold gets its full time.
        ac.holdStartTick = now;
    } else {
        if (AIRBORNE_ONLY.value.load()) return false;
        const double minutes = static_cast<double>(now - ac.holdStartTick) / kTicksPerMinute;
        if (minutes > MAX_HOLDING_MINUTES.value.load()) return false;
    }
    ac.holding = 1;
    PosSample wait = ac.stream.front();
    wait.dueTick = lf_tickAfter(static_cast<std::uint32_t>(wait.dueTick), kHoldStepTicks);
    wait.groundSpeed = 0.0;
    wait.stationary = 1;
    ac.stream.push_back(wait);
    ac.predictionCount = 1;
    return true;
}

double lf_takeoffSpeed(PosSample& s) {
    const double gs = s.groundSpeed;
    if (gs <= 30.0) return 40.0;
    if (gs <= 60.0) return 80.0;
    if (gs <= 100.0) return 110.0;
    if (gs <= 140.0) {
        s.verticalSpeed = 600.0;
        return 150.0;
    }
    if (gs <= 160.0) {
        s.verticalSpeed = 1200.0;
        return 170.0;
    }
    s.verticalSpeed = 2400.0;
    return 180.0;
}

// A ground sample's altitude is 0, not the runway's: a take-off climbs from
// where the aircraft is (the airport's elevation while that is not known yet),
// and from an airborne front only when the aircraft has not climbed past it.
double lf_climbBase(const LiveAc& ac, const PosSample& front) {
    double own = ac.pos.altitude;
    if (!(own > 0.0)) {
        const ParkAirportFix park = gf_parkAirportFix();
        own = park.set ? park.elevation : 0.0;
    }
    return front.airborne != 0 ? std::max(front.altitude, own) : own;
}

// An airborne prediction stays above the terrain under the aircraft (as the
// simulator last reported it), with the aircraft standing on it at least.
double lf_lowestAirborneAltitude(const LiveAc& ac) {
    return ac.pos.altitude - ac.heightAboveGround + ac.staticCgHeight;
}

double lf_rolloutSpeed(double gs) {
    if (gs >= 140.0) return 100.0;
    if (gs >= 100.0) return 80.0;
    if (gs >= 80.0) return 60.0;
    if (gs >= 60.0) return 30.0;
    return 20.0;
}

}  // namespace

void lf_predictStep(LiveAc& ac, std::int32_t count) {
    ac.predictionCount = count;
    const PosSample& front = ac.stream.front();
    PosSample s = front;
    const bool ground = ac.onGround != 0;
    const bool parked = ac.moveState == AcState::parked;
    const double seconds = ground ? kGroundStepSeconds : kAirStepSeconds;
    if (front.stationary != 0 || parked) {
        s.groundSpeed = 0.0;
    } else if (!ground) {
        if (ac.landing == 0) {
            s.groundSpeed = std::max(s.groundSpeed * 0.95, 1.0);
        } else if (count >= 4) {
            s.groundSpeed = std::max(s.groundSpeed * 0.9, 1.0);
        }
    } else if (ac.rollout == 0) {
        s.groundSpeed = ac.takingOff != 0 ? lf_takeoffSpeed(s) : 0.0;
    } else {
        s.groundSpeed = lf_rolloutSpeed(s.groundSpeed);
    }
    const double feet = seconds * 100.0 * s.groundSpeed * mv::kFeetPerNm / mv::kTicksPerHour;
    const GeoPos p = gf_destinationPoint(lf_geo(front), ac.pos.trueHeading, feet);
    s.lat = p.lat;
    s.lon = p.lon;
    s.stationary = lf_samePosition(s, front) ? 1 : 0;
    if (ac.landing != 0 && ac.flarePhase == 0) {
        s.altitude -= 10.005 * seconds;
        s.verticalSpeed = -667.0;
    }
    if (ac.moveState == AcState::take_off) {
        s.altitude = lf_climbBase(ac, front) + kTakeoffClimbFtPerSecond * seconds;
        s.verticalSpeed = kTakeoffClimbFpm;
    }
    if (s.altitude > 0.0) s.altitude = std::max(s.altitude, lf_lowestAirborneAltitude(ac));
    s.airborne = s.altitude > 0.0 ? 1 : 0;
    if (s.airborne == 0) s.altitude = 0.0;
    // The prediction is the aircraft's, not a measurement.
    s.bank.reset();
    s.trueHeading.reset();
    s.trueHeadingTaken = 0;
    const std::uint32_t from = static_cast<std::uint32_t>(front.dueTick);
    if (parked) {
        // Stands for a week; its stand may be given to another aircraft meanwhile.
        s.dueTick = lf_tickAfter(from, kWeekTicks);
        lf_releaseStandMark(ac);
        ac.reportedWhileParked = 0;
        ac.leaveCheck = 1;
    } else {
        s.dueTick = lf_tickAfter(from, static_cast<std::int32_t>(seconds * 100.0));
    }
    ac.stream.push_back(s);
}

bool lf_dryStreamStep(LiveAc& ac) {
    if (ac.stream.empty()) return false;
    const std::uint32_t now = trafficTick.load();
    if (ac.moveState == AcState::parking) lf_towedArrives(ac);
    if (ac.moveState == AcState::pushed_back || (ac.moveState == AcState::taxi && ac.takingOff == 0 && ac.rollout == 0))
        return lf_hold(ac, now);
    if (ac.predictionCount < 0) return false;
    if (ac.predictionCount == 1) {
        ac.predictionCount = -1;
        return false;
    }
    if (ac.predictionCount > 1) {
        lf_predictStep(ac, ac.predictionCount - 1);
        return true;
    }
    if (!lf_categoryAllowed(ac.category)) return false;
    std::int32_t steps = kGroundSteps;
    if (ac.onGround == 0) {
        const UserAcState& user = g_userAc;
        const bool userKnown = std::fabs(user.latitude) > kUserKnownDeg || std::fabs(user.longitude) > kUserKnownDeg;
        if (userKnown &&
            gf_distanceNm(lf_geo(ac.pos), {user.latitude, user.longitude}) >= g_rangeNm.load() - kRangeEdgeNm)
            return false;
        if (AIRBORNE_ONLY.value.load()) {
            const ParkAirportFix park = gf_parkAirportFix();
            if (std::fabs(ac.pos.altitude - (park.set ? park.elevation : 0.0)) <= kAirborneOnlyBandFt) return false;
        }
        steps = kAirSteps;
    } else if (ac.moveState == AcState::parked) {
        steps = 1;
    }
    lf_predictStep(ac, steps);
    return true;
}

}  // namespace skh
