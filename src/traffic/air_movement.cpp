#include "traffic/air_movement.hpp"

#include <algorithm>
#include <cmath>

#include "feed/park_fix.hpp"
#include "feed/traffic_queue.hpp"
#include "simclient/sim_ids.hpp"
#include "traffic/movement_common.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr double kFeetPerMinutePerStep = 6000.0;  // ft/min to feet per poll
constexpr double kMinApproachRate = -601.0;       // ft/min
constexpr double kLowApproachRate = -600.0;       // at or below 100 ft
constexpr double kLowApproachHeightFt = 100.0;
constexpr double kIsaQnhHpa = 1013.25;
constexpr double kQnhFeetPerHpa = 6.0;
constexpr double kMinClimbRate = 601.0;     // ft/min of an aircraft that climbs off ground samples
constexpr std::size_t kLookAheadLast = 10;  // the highest index of the lift-off look-ahead

bool lf_bigCategory(AircraftCategory c) { return c == CatBuzjets || c == CatLarge || c == CatHeavy; }

// A vertical speed (ft/min) becomes the target's and the step's.
void lf_descendAt(LiveAc& ac, PosSample& target, double vs) {
    target.verticalSpeed = vs;
    ac.targetVerticalSpeed = vs;
    ac.altStep = vs / kFeetPerMinutePerStep;
}

double lf_climbStepTo(const LiveAc& ac, const PosSample& target, std::int32_t ticks) {
    const double alt = ac.pos.altitude;
    return target.altitude > alt ? std::min((target.altitude - alt) / ticks, ac.maxClimbStep) : 0.0;
}

void lf_altitudeStep(LiveAc& ac, std::int32_t& ticks, std::uint32_t now) {
    auto& st = ac.stream;
    const double alt = ac.pos.altitude;
    const double hag = ac.heightAboveGround;
    const bool air0 = st[0].airborne != 0;
    const bool air1 = st[1].airborne != 0;
    if (!air0 && !air1) {
        // Still in the air over ground samples: about to climb away, or coming down.
        double vsSum = 0.0;
        for (const PosSample& s : st) vsSum += s.verticalSpeed;
        if (ac.landing == 0 && vsSum > 100.0) {
            const std::size_t last = std::min(st.size() - 1, kLookAheadLast);
            for (std::size_t k = 3; k <= last; ++k) {
                if (st[k - 1].airborne == 0) continue;
                st.erase(st.begin() + 1, st.begin() + static_cast<std::ptrdiff_t>(k - 1));
                lf_retimeAir(ac, now);
                ticks = lf_legTicks(st[1], now);
                // The steps aim at the new target, not at the samples just dropped.
                ac.latStep = (st[1].lat - ac.pos.latitude) / ticks;
                ac.lonStep = lf_lonDelta(st[1].lon, ac.pos.longitude) / ticks;
                ac.altStep = lf_climbStepTo(ac, st[1], ticks);
                lf_setGear(ac, true);
                return;
            }
            lf_descendAt(ac, st[1], std::max(st[1].verticalSpeed, kMinClimbRate));
        } else {
            lf_descendAt(ac, st[1], lf_approachRate(ac, st[0], st[1]));
        }
        lf_setGear(ac, true);
    } else if (!air0) {
        ac.altStep = lf_climbStepTo(ac, st[1], ticks);  // lift-off
    } else if (!air1) {
        // Touch-down ahead.
        const ParkAirportFix park = gf_parkAirportFix();
        const std::int32_t qnh = g_qnh.load();
        if (park.set && qnh <= kStandardQnh) {
            ac.altStep = (park.elevation - alt) / ticks;
        } else {
            lf_descendAt(ac, st[1], qnh <= kStandardQnh ? kMinApproachRate : lf_approachRate(ac, st[0], st[1]));
        }
        lf_setGear(ac, true);
    } else if (ac.landing == 0) {
        const double rate = (st[1].altitude - alt) / ticks;
        if (hag > mv::kLowFlightFt) {
            ac.altStep = std::min(rate, ac.maxClimbStep);
        } else {
            // Near the ground a slow climb is made a little faster; a descent is
            // followed as it is (the slowest climb never turns a descent into one).
            const double climb = rate > 0.0 ? std::max(rate, mv::kMinLowClimbStepFt) : rate;
            ac.altStep = std::min(climb, ac.maxClimbStep);
        }
    } else if (st[0].altitude != st[1].altitude || hag > mv::kLowFlightFt ||
               st[0].verticalSpeed + st[1].verticalSpeed > 100.0) {
        ac.altStep = (st[1].altitude - alt) / ticks;
    } else {
        lf_descendAt(ac, st[1], lf_approachRate(ac, st[0], st[1]));
    }
}

void lf_pitchStep(LiveAc& ac, const PosSample& target, std::int32_t ticks) {
    double v = target.verticalSpeed;
    v = v > 0.0 ? std::min(v, 2400.0) : std::max(v, -3000.0) / 2.0;
    const double pitch = -3.0 * mv::kDeg - (v / 600.0) * 2.2 * mv::kDeg;
    const double limit = gf_maxPitchChange(ac.category);
    ac.pitchStep = std::clamp((pitch - ac.pos.pitch) / ticks, -limit, limit);
}

void lf_headingAndBankSteps(LiveAc& ac, const PosSample& target, std::int32_t ticks) {
    const double ownHeadingBelow = ac.landing != 0 ? mv::kLandingHeadingFt : mv::kLowFlightFt;
    double change = 0.0;
    if (target.trueHeading && target.bank && ac.heightAboveGround <= ownHeadingBelow) {
        change = lf_normalizePi(*target.trueHeading - ac.pos.trueHeading);
    } else {
        change = lf_trackChange(ac);
    }
    ac.headingStep = change / ticks;
    if (target.bank) {
        ac.bankStep = (*target.bank - ac.pos.bank) / ticks;
    } else {
        const double maxBank = gf_maxBank(ac.category);
        const double bank = std::clamp(change, -maxBank, maxBank);
        const double limit = gf_maxBankChange(ac.category);
        ac.bankStep = std::clamp((-bank - ac.pos.bank) / ticks, -limit, limit);
    }
}

void lf_enRouteConfiguration(LiveAc& ac, const PosSample& front) {
    lf_shrinkWindows(ac);
    lf_sendEvent(ac, EVENT_CABIN_LIGHTS_SET, 1);
    ac.takingOff = 0;
    ac.landing = 0;
    if (front.verticalSpeed <= -250.0 && ac.throttleIndex == 3) {
        lf_setThrottleFixedWing(ac, 2);
    } else if (front.verticalSpeed > 400.0 && ac.throttleIndex == 4) {
        lf_setThrottleFixedWing(ac, 3);
    }
    const double hag = ac.heightAboveGround;
    if (hag >= mv::kGearUpHeightFt) {
        lf_setGear(ac, false);
        gf_setFlaps(ac, 0);
    } else if (front.verticalSpeed <= 100.0) {
        if (ac.flapsIndex == 0) {
            gf_setFlaps(ac, 1);
        } else if (ac.flapsIndex == 1 && hag < mv::kFlapsTwoHeightFt) {
            gf_setFlaps(ac, 2);
        }
    }
}

void lf_approachConfiguration(LiveAc& ac, const PosSample& front) {
    lf_sendEvent(ac, EVENT_CABIN_LIGHTS_SET, 0);
    const ParkAirportFix park = gf_parkAirportFix();
    const bool near = park.set && gf_distanceNm(lf_geo(ac.pos), park.pos) <= mv::kNearParkAirportNm;
    if (front.verticalSpeed <= -250.0 && ac.landing == 0 && near) {
        lf_setThrottleFixedWing(ac, 1);
        gf_setFlaps(ac, 3);
        lf_setGear(ac, true);
        g_coupledSearchActs.push_back(ac.actNumber);
        ac.landing = 1;
        ac.climbedAway = 0;
        ac.standLat = 0.0;
        ac.standLon = 0.0;
        ac.standId = 0;
        lf_resetWindows(ac);
        ac.phaseCounter = 1;
    } else if (front.verticalSpeed > 600.0 || (ac.landing != 0 && !near)) {
        if (ac.climbedAway != 0) return;
        // A go-around or a departure: cleaned up once.
        ac.climbedAway = 1;
        lf_shrinkWindows(ac);
        lf_setThrottle(ac, 4);
        lf_setGear(ac, false);
        gf_setFlaps(ac, 0);
        ac.flarePhase = 0;
        ac.landing = 0;
        lf_refreshLandingWatch(true);
    }
}

void lf_lightsAndConfiguration(LiveAc& ac) {
    const PosSample& front = ac.stream.front();
    if (front.altitude < mv::kLightsAltitudeFt) {
        if (ac.lightsLow == 0) {
            lf_sendLights(ac, 1, 1, 1, 1, 1, 1, 1);
            ac.lightsLow = 1;
            ac.lightsHigh = 0;
        }
        const double approachHeight =
            lf_bigCategory(ac.category) ? mv::kApproachHeightBigFt : mv::kApproachHeightSmallFt;
        if (ac.heightAboveGround > approachHeight) {
            lf_enRouteConfiguration(ac, front);
        } else {
            lf_approachConfiguration(ac, front);
        }
    } else if (ac.lightsHigh == 0) {
        lf_sendLights(ac, 1, 1, 0, 0, 0, 0, 1);
        ac.lightsHigh = 1;
        ac.lightsLow = 0;
        lf_setThrottleFixedWing(ac, 3);
        lf_setGear(ac, false);
        gf_setFlaps(ac, 0);
    }
}

// Moves the pitch by at most step towards the target without passing it.
void lf_pitchTowards(double& pitch, double target, double step) {
    const double d = target - pitch;
    pitch = std::fabs(d) <= std::fabs(step) ? target : pitch + (d > 0.0 ? std::fabs(step) : -std::fabs(step));
}

}  // namespace

void lf_retimeAir(LiveAc& ac, std::uint32_t now) {
    const PosSample& s0 = ac.stream[0];
    PosSample& s1 = ac.stream[1];
    if (s1.stationary != 0) return;
    const double distance = gf_distanceNm(lf_geo(s0), lf_geo(s1));
    double speed = 0.0;
    if (ac.landing != 0 && s1.airborne == 0) {
        speed = s0.groundSpeed > 0.0 ? s0.groundSpeed : 100.0;
    } else {
        speed = lf_meanSpeed(s0, s1);
    }
    lf_retimeTarget(ac, s1, lf_roundTicks(distance * mv::kTicksPerHour / speed), now);
}

double lf_approachRate(const LiveAc& ac, const PosSample& s0, const PosSample& s1) {
    if (ac.heightAboveGround <= kLowApproachHeightFt) return kLowApproachRate;
    const double qnhCorrection = (g_qnh.load() - kIsaQnhHpa) * kQnhFeetPerHpa;
    return std::min((s0.verticalSpeed + s1.verticalSpeed) / 2.0 - qnhCorrection, kMinApproachRate);
}

void lf_airStepSetup(LiveAc& ac, std::int32_t& ticks, std::uint32_t now) {
    if (ac.moveState != AcState::take_off && ac.moveState != AcState::flying) lf_setMoveState(ac, AcState::flying);
    ac.targetAirspeed = ac.stream[1].trueAirspeed;
    ac.targetVerticalSpeed = ac.stream[1].verticalSpeed;
    if (ac.flarePhase == 0) lf_altitudeStep(ac, ticks, now);
    const PosSample& target = ac.stream[1];
    if (ac.moveState != AcState::take_off) lf_pitchStep(ac, target, ticks);
    lf_headingAndBankSteps(ac, target, ticks);
    lf_lightsAndConfiguration(ac);
}

void lf_flareStep(LiveAc& ac) {
    const double h = ac.heightAboveGround;
    const double c = ac.staticCgHeight;
    PosSample* front = ac.stream.empty() ? nullptr : &ac.stream.front();
    const auto sink = [&](double altStep, double vs, std::uint32_t phase) {
        ac.altStep = altStep;
        if (front != nullptr) front->verticalSpeed = vs;
        ac.flarePhase = phase;
    };
    switch (ac.flarePhase) {
        case 0: {
            const ParkAirportFix park = gf_parkAirportFix();
            ac.groundElevationKnown = park.set ? 1 : 0;
            ac.groundElevation = park.set ? park.elevation : 0.0;
            ac.approachHeight = park.set ? ac.pos.altitude - park.elevation : h;
            if (std::min(h, ac.approachHeight) > c + 30.0) return;
            ac.pitchStep = (mv::kFlarePitch - ac.pos.pitch) / std::max<std::uint32_t>(ac.flareTicks, 1);
            sink(-0.1, -601.0, 1);
            g_landingWatch = true;
            return;
        }
        case 1:
            if (h <= c + 20.0) sink(-0.075, -450.0, 2);
            return;
        case 2:
            if (h <= c + 10.0) {
                sink(-0.05, -300.0, 3);
                lf_setThrottle(ac, 0);
            }
            return;
        case 3:
            if (h <= c + 3.0) sink(-0.025, -150.0, 4);
            return;
        default:
            return;
    }
}

void lf_startRotation(LiveAc& ac) {
    ac.phaseCounter = static_cast<std::int32_t>(ac.rotationTicks);
    ac.pos.bank = 0.0;
    ac.bankStep = 0.0;
    ac.pitchStep = (ac.takeoffPitch - ac.pos.pitch) / std::max<std::uint32_t>(ac.rotationTicks, 1);
    lf_setMoveState(ac, AcState::take_off);
    ac.headingStep = 0.0;
    ac.curve.clear();
    ac.curveT = 0.0;
    if (ac.rollout != 0) {
        // A touch-and-go.
        ac.rollout = 0;
        ac.landing = 0;
        lf_setThrottle(ac, 4);
        lf_setSpoilers(ac, true);
        gf_setFlaps(ac, 1);
    }
}

void lf_climbOutStep(LiveAc& ac) {
    if (ac.phaseCounter > mv::kMinPhaseCounter) --ac.phaseCounter;
    AiPositionBlock& p = ac.pos;
    if (ac.phaseCounter >= 1) {
        ac.onGround = 0;
        lf_pitchTowards(p.pitch, ac.takeoffPitch, ac.pitchStep);
        return;
    }
    p.bank = std::clamp(p.bank + ac.bankStep, -mv::kPi, mv::kPi);
    const double climbRate = (ac.climbPitch - ac.takeoffPitch) / std::max<std::uint32_t>(ac.climbPitchTicks, 1);
    lf_pitchTowards(p.pitch, ac.climbPitch, climbRate);
    const std::int32_t n = ac.phaseCounter;
    if (n > -100) {
        p.altitude += ac.altStep / 10.0;
    } else if (n > -200) {
        p.altitude += ac.altStep / 5.0;
    } else if (n > mv::kGearUpTick) {
        p.altitude += ac.altStep / 2.0;
    } else if (n == mv::kGearUpTick) {
        lf_setGear(ac, false);
        p.altitude += ac.altStep;
    } else {
        p.altitude += ac.altStep;
        if (p.pitch != ac.climbPitch) return;
        ac.pitchStep = 0.0;
        if (ac.heightAboveGround < mv::kClimbOutHeightFt) return;
        lf_setThrottleFixedWing(ac, 3);
        lf_setMoveState(ac, AcState::flying);
        ac.phaseCounter = 1;
    }
}

}  // namespace skh
