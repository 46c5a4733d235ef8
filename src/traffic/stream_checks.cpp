#include "traffic/stream_checks.hpp"

#include <cmath>

#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/live_update.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr double kSamePlaceDeg = 1e-8;
constexpr double kStandStillDeg = 0.00015;
constexpr double kStandCatchNm = 0.0458963;  // 85 m
constexpr double kGrowStepNm = 0.00162;      // 3 m
constexpr double kRunAwayNm = 0.10799;       // 200 m
constexpr std::uint32_t kWeekTicks = 60480000;

bool lf_samePlace(const PosSample& a, const PosSample& b) {
    return std::fabs(a.lat - b.lat) <= kSamePlaceDeg && std::fabs(a.lon - b.lon) <= kSamePlaceDeg;
}

// Difference of two angles in radians, folded into 0..180 degrees.
double lf_angleDeg(double a, double b) {
    double d = std::fmod(std::fabs(a - b), TWO_PI);
    if (d > M_PI) d = TWO_PI - d;
    return d * RAD2DEG;
}

double lf_bearingTo(const PosSample& from, const PosSample& to) {
    return gf_bearingRad({from.lat, from.lon}, {to.lat, to.lon});
}

// (-pi, pi]
double lf_signedAngle(double rad) {
    rad = std::fmod(rad, TWO_PI);
    if (rad > M_PI) rad -= TWO_PI;
    if (rad <= -M_PI) rad += TWO_PI;
    return rad;
}

void lf_restoreWindows(LiveAc& ac) {
    ac.maxEarlyTicks = 3000;
    ac.maxLateTicks = ac.takingOff != 0 ? 5000 : 3000;
}

}  // namespace

void lf_endPrediction(LiveAc& ac) {
    if (!ac.stream.empty()) ac.stream.front().dueTick = lf_tickAfter(trafficTick.load(), 1);
    ac.predictionCount = 0;
    lf_restoreWindows(ac);
}

bool checkExtendingSituations(LiveAc& ac, PosSample& sample) {
    switch (ac.moveState) {
        case AcState::parking:
        case AcState::parked:
            if (ac.status == AcStatus::active || ac.status == AcStatus::liveryrespawn ||
                ac.status == AcStatus::removingfromsim)
                return lf_checkNearStand(ac, sample);
            return false;
        case AcState::pushing_back:
            if (!STRAIGHT_PBS_ONLY.value.load() && ac.pushbackCounter == 2) {
                ac.pushbackTurn = 1;
                double heading = 0.0;
                bool known = true;
                if (sample.trueHeading) {
                    heading = *sample.trueHeading;
                } else if (sample.track != 0.0) {
                    heading = sample.track * DEG2RAD;
                } else {
                    known = false;
                }
                if (known) ac.pushbackTurnLeft = lf_signedAngle(heading - ac.pos.trueHeading) > 0.0 ? 1 : 0;
            }
            return false;
        case AcState::pushed_back: {
            const double d = gf_distanceNm({ac.pos.latitude, ac.pos.longitude}, {sample.lat, sample.lon});
            const double ws = ac.wingspan;
            if (d <= 6.0 * ws && !(d > 2.75 * ws && d > ac.departDistance)) {
                if (ac.holding == 0) ac.holdStartTick = trafficTick.load();
                ac.holding = 1;
                ac.departDistance = d;
                return false;
            }
            sample.stationary = 0;
            if (ac.predictionCount > 0) lf_endPrediction(ac);
            ac.pushbackTurn = 0;
            ac.pushbackCounter = 0;
            lf_setMoveState(ac, AcState::taxi);
            ac.standLat = ac.standLon = ac.standHeading = 0.0;
            ac.standId = 0;
            ac.standCargo = 0;
            ac.holding = 0;
            return true;
        }
        default:
            break;
    }
    if (ac.touchdown != 0 || ac.rollout != 0) return checkNewPosDuringLanding(ac, sample);
    if (ac.stream.empty()) {
        gf_logWarning(skh::format("{} empty sz?", "checkExtendingSituations"));
        return false;
    }
    const bool plausible = lf_checkNewSample(ac, sample);
    if (!plausible || ac.predictionCount < 1) return plausible;
    if (ac.onGround == 0 && lf_angleDeg(lf_bearingTo(ac.stream.back(), sample), ac.pos.trueHeading) >= 100.0)
        return false;
    lf_endPrediction(ac);
    ac.holding = 0;
    return true;
}

bool checkNewPosDuringLanding(LiveAc& ac, PosSample& sample) {
    auto& st = ac.stream;
    if (st.empty()) {
        gf_logWarning(skh::format("{} empty sz?", "checkNewPosDuringLanding"));
        return false;
    }
    if (lf_samePlace(st.back(), sample)) return false;
    const double heading = ac.pos.trueHeading;
    if (st.size() == 1) {
        const double diff = lf_angleDeg(lf_bearingTo(st.back(), sample), heading);
        if (ac.touchdown != 0) {
            if (diff >= 90.0) return false;
        } else if (diff >= 150.0) {
            if (ac.predictionCount > 0) return false;
            // Behind the aircraft: go on from where it is now.
            PosSample here = st.front();
            here.lat = ac.pos.latitude;
            here.lon = ac.pos.longitude;
            here.dueTick = lf_tickAfter(trafficTick.load(), 1);
            st.front() = here;
        }
    } else {
        const bool three = st.size() >= 3;
        if (lf_angleDeg(lf_bearingTo(st.back(), sample), heading) >= 90.0) {
            st.pop_back();
            if (three && lf_angleDeg(lf_bearingTo(st.back(), sample), heading) >= 90.0) st.pop_back();
        }
    }
    if (ac.predictionCount > 0) {
        ac.predictionCount = 0;
        lf_restoreWindows(ac);
    }
    const PosSample& newest = st.back();
    if (lf_samePlace(newest, sample)) {
        sample.stationary = 1;
    } else {
        sample.stationary = 0;
        // No acceleration on the roll-out.
        if (sample.groundSpeed > 40.0 && sample.groundSpeed > newest.groundSpeed)
            sample.groundSpeed = newest.groundSpeed;
    }
    return true;
}

bool lf_checkNewSample(LiveAc& ac, PosSample& sample) {
    if (ac.stream.empty()) return false;
    const PosSample& newest = ac.stream.back();
    if (lf_samePlace(newest, sample)) sample.stationary = 1;
    if (ac.category == CatRotorcraft) return true;
    const bool flyingActive = ac.status == AcStatus::active && ac.onGround == 0;
    if (sample.stationary == 0) {
        if (std::fabs(sample.lat - newest.lat) <= kStandStillDeg &&
            std::fabs(sample.lon - newest.lon) <= kStandStillDeg) {
            if (sample.airborne != 0 || flyingActive) return false;
            if (ac.takingOff != 0 && sample.groundSpeed > 0.0 && newest.groundSpeed >= 50.0) return false;
            const std::int32_t due = sample.dueTick;
            sample = newest;
            sample.dueTick = due;
            sample.groundSpeed = 0.0;
            sample.stationary = 1;
            return true;
        }
        if (sample.groundSpeed != 0.0) return true;
        if (sample.airborne != 0 || ac.takingOff != 0) return newest.groundSpeed < 50.0;
        return true;
    }
    if (sample.airborne != 0 || flyingActive) return false;
    if (ac.takingOff != 0 && sample.groundSpeed > 0.0 && newest.groundSpeed >= 30.0) return false;
    sample.groundSpeed = 0.0;
    return true;
}

bool lf_checkNearStand(LiveAc& ac, PosSample& sample) {
    ac.reportedWhileParked = 1;
    ac.pullOutPending = 0;
    const double d = gf_distanceNm({ac.standLat, ac.standLon}, {sample.lat, sample.lon});
    const double radius = ac.prevMoveState == AcState::parking ? 2.0 * kStandCatchNm : kStandCatchNm;
    if (d <= radius) {
        ac.parkedAtMs = gf_trafficServices().steadyMs();
        if (ac.standDistanceKnown == 0) {
            ac.standDistanceKnown = 1;
            ac.standFirstDistance = ac.standGreatestDistance = d;
            ac.standGrowingSteps = 0;
            return false;
        }
        if (d >= ac.standGreatestDistance + kGrowStepNm) {
            ++ac.standGrowingSteps;
            ac.standGreatestDistance = d;
            const double growth = d - ac.standFirstDistance;
            if ((ac.standGrowingSteps < 3 || growth < 0.5 * ac.wingspan) && growth <= ac.wingspan) return false;
        } else {
            if (d <= ac.standGreatestDistance - kGrowStepNm) ac.standGrowingSteps = 0;
            return false;
        }
    } else if (ac.moveState == AcState::parking) {
        lf_setMoveState(ac, AcState::taxi);
        sample.stationary = 0;
        return true;
    } else if (ac.moveState == AcState::parked && d > kRunAwayNm) {
        removeAircraftFromSim(ac);
        return false;
    }
    sample.stationary = 0;
    ac.pullOutPending = 1;
    if (ac.prevMoveState == AcState::parked) return true;
    lf_leaveStand(ac);
    lf_setMoveState(ac, AcState::parked);
    return true;
}

void lf_leaveStand(LiveAc& ac) {
    if (ac.predictionCount >= 1) {
        if (ac.moveState == AcState::parked && ac.leaveCheck != 0 && !ac.stream.empty()) {
            const std::uint32_t since =
                trafficTick.load() - static_cast<std::uint32_t>(ac.stream.front().dueTick) + kWeekTicks;
            std::uint32_t bound = 0;
            if (ac.category == CatHeavy) bound = 360000;
            if (ac.category == CatLarge) bound = 150000;
            if (ac.category == CatBuzjets) bound = 90000;
            if (since < bound) ac.towed = 1;
            ac.leaveCheck = 0;
        }
        lf_endPrediction(ac);
    }
    if (!ac.callsign.empty() && ac.standCargo == ac.cargo && lt_addStandOption(ac.standId, ac, 0, g_weekSlot, true))
        lf_noteActSlot(g_weekSlot, ac.actNumber, true);
    lf_releaseStandMark(ac);
    ac.standDistanceKnown = 0;
}

}  // namespace skh
