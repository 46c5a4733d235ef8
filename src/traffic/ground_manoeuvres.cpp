#include "traffic/ground_manoeuvres.hpp"

#include <algorithm>
#include <cmath>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "simclient/sim_ids.hpp"
#include "traffic/ground_movement.hpp"
#include "traffic/live_update.hpp"
#include "traffic/movement.hpp"
#include "traffic/movement_common.hpp"
#include "traffic/movement_tables.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

double lf_slowSpeed(const LiveAc& ac) { return ac.slowGroundSpeed > 0.0 ? ac.slowGroundSpeed : 1.0; }

// Polls to cover the distance at the slow ground speed.
std::int32_t lf_slowTicks(const LiveAc& ac, GeoPos from, GeoPos to) {
    return lf_roundTicks(gf_distanceNm(from, to) / lf_slowSpeed(ac) * mv::kTicksPerHour);
}

// A made-up ground position: the front sample moved to p at the slow speed.
PosSample lf_groundPoint(const LiveAc& ac, GeoPos p, std::int32_t due) {
    PosSample s = ac.stream.front();
    s.lat = p.lat;
    s.lon = p.lon;
    s.groundSpeed = lf_slowSpeed(ac);
    s.stationary = 0;
    s.dueTick = due;
    s.bank.reset();
    s.trueHeading.reset();
    s.trueHeadingTaken = 0;
    return s;
}

void lf_cutToFront(LiveAc& ac) { ac.stream.erase(ac.stream.begin() + 1, ac.stream.end()); }

// Engines running, nothing moving yet.
void lf_readyToTaxi(LiveAc& ac) {
    lf_sendEvent(ac, EVENT_ENGINE_AUTO_START, 0);
    lf_setThrottle(ac, 0);
    gf_setFlaps(ac, 1);
}

double lf_wingspanFeet(const LiveAc& ac) { return ac.wingspan * mv::kFeetPerNm; }

}  // namespace

void lf_startPushback(LiveAc& ac, std::uint32_t now) {
    ac.predictionCount = 0;
    const double pushDirection = lf_wrapTwoPi(ac.standHeading + mv::kPi);
    const Stand* stand = gf_standById(ac.standId);
    // Without the stand record the aircraft's own span stands in for the stand's radius.
    const double radiusNm = stand != nullptr && stand->radius > 0.0 ? stand->radius : ac.wingspan;
    const GeoPos here = lf_geo(ac.pos);
    const GeoPos p = gf_destinationPoint(here, pushDirection, 2.5 * radiusNm * mv::kFeetPerNm);
    ac.stream.front().groundSpeed = lf_slowSpeed(ac);
    ac.trackBearing = ac.pos.trueHeading;
    ac.turnNeeded = 0;
    const std::int32_t travel = lf_slowTicks(ac, here, p);
    lf_cutToFront(ac);
    ac.stream.push_back(lf_groundPoint(ac, p, lf_tickAfter(now, travel)));
    lf_insertMidpoint(ac);
    const GeoPos q = gf_destinationPoint(p, lf_wrapTwoPi(pushDirection + mv::kPi / 2.0), lf_wingspanFeet(ac));
    const GeoPos r = gf_destinationPoint(p, lf_wrapTwoPi(pushDirection - mv::kPi / 2.0), lf_wingspanFeet(ac));
    const std::int32_t sideDue = lf_tickAfter(now, travel / 2 + lf_slowTicks(ac, lf_geo(ac.stream[1]), q));
    ac.stream.push_back(lf_groundPoint(ac, r, sideDue));
    ac.reserveSample = lf_groundPoint(ac, q, sideDue);
    lf_sendLights(ac, 1, 1, 0, 1, 0, 1, 0);
    lf_setMoveState(ac, AcState::pushing_back);
    ac.pushbackCounter = 2;
}

void lf_pushbackStep(LiveAc& ac) {
    --ac.pushbackCounter;
    if (ac.pushbackCounter == 1) {
        auto& st = ac.stream;
        if (ac.pushbackTurn != 0 && st.size() >= 3) {
            if (ac.pushbackTurnLeft != 0) st.back() = ac.reserveSample;
            lf_setupCurve(ac);
            ac.curveTStep = 1.0 / lf_turnTicks(90.0, ac.groundTurnRateNow);
            ac.curveTurnDeg = 90.0;
        } else if (st.size() >= 3) {
            st.pop_back();  // a straight push
        }
        return;
    }
    if (ac.pushbackCounter >= 1) return;
    ac.trackBearing = ac.pos.trueHeading;
    lf_readyToTaxi(ac);
    lf_setMoveState(ac, AcState::pushed_back);
    ac.pushbackCounter = 1;
    ac.departDistance = 900.0;
    ac.predictionCount = 0;
    ac.pullOutPending = 0;
}

void lf_pullOut(LiveAc& ac, std::uint32_t now) {
    ac.pullOutPending = 0;
    ac.predictionCount = 0;
    const GeoPos stand{ac.standLat, ac.standLon};
    const GeoPos target = gf_destinationPoint(stand, ac.standHeading, 2.0 * lf_wingspanFeet(ac));
    ac.stream.front().groundSpeed = lf_slowSpeed(ac);
    const std::int32_t travel = std::max(lf_slowTicks(ac, lf_geo(ac.stream.front()), target), mv::kMinLegTicks);
    lf_cutToFront(ac);
    ac.stream.push_back(lf_groundPoint(ac, target, lf_tickAfter(now, travel)));
    lf_setMoveState(ac, AcState::taxi);
    ac.trackBearing = ac.pos.trueHeading;
    lf_sendLights(ac, 1, 1, 0, 1, 0, 1, 0);
    lf_readyToTaxi(ac);
    if (LOG.value.load()) gf_log(skh::format("{:8}: {:8} pulling out", gf_standNameOf(ac.standId), ac.callsign));
}

void lf_startTakeoffRoll(LiveAc& ac) {
    if (ac.towed != 0) gf_logWarning(skh::format("towed aircraft takes-off? {}", gf_acDescription(ac)));
    ac.takingOff = 1;
    lf_setThrottle(ac, 0);
    lf_setSpoilers(ac, false);
    gf_setFlaps(ac, 1);
    ac.landing = 0;
    ac.landed = 0;
    ac.climbedAway = 0;
    lf_sendLights(ac, 1, 1, 1, 1, 1, 1, 0);
    lf_resetWindows(ac);
    if (!ac.airline.empty()) lf_learnSoftOnLeave(ac, ac.moveState != AcState::flying);
}

void drive2Stand(LiveAc& ac, const PosSample& stand) {
    auto& st = ac.stream;
    if (st.empty()) {
        gf_logWarning(skh::format("{} empty sz?", "drive2Stand"));
        return;
    }
    PosSample& newest = st.back();
    const std::int32_t travel = std::max(lf_slowTicks(ac, lf_geo(newest), lf_geo(stand)), mv::kMinStandTicks);
    PosSample at;
    at.lat = stand.lat;
    at.lon = stand.lon;
    at.altitude = ac.pos.altitude;
    at.groundSpeed = lf_slowSpeed(ac);
    at.trueAirspeed = lf_slowSpeed(ac);
    at.track = ac.standHeading * RAD2DEG;
    at.verticalSpeed = 0.0;
    at.airborne = 0;
    at.dueTick = lf_tickAfter(static_cast<std::uint32_t>(st.front().dueTick), travel);
    at.stationary = lf_samePosition(at, newest) ? 1 : 0;
    at.bank = ac.pos.bank;
    PosSample still = at;
    still.groundSpeed = 0.0;
    still.trueAirspeed = 0.0;
    still.stationary = 1;
    still.dueTick = lf_tickAfter(static_cast<std::uint32_t>(at.dueTick), mv::kStandSettleTicks);
    newest.groundSpeed = lf_slowSpeed(ac);
    st.push_back(at);
    st.push_back(still);
    ac.trackBearing = ac.standHeading;
    lf_dropPrediction(ac);
}

void lf_towedArrives(LiveAc& ac) {
    if (lf_standOccupied(ac.standId)) {
        // Taken by another aircraft while this one drove there: the stand is
        // not this one's, so its removal must not free it.
        ac.predictionCount = 1;
        ac.standId = 0;
        removeAircraftFromSim(ac);
        return;
    }
    if (gf_distanceNm(lf_geo(ac.pos), {ac.standLat, ac.standLon}) > mv::kAtStandNm) {
        lf_setMoveState(ac, AcState::taxi);
        return;
    }
    lf_setMoveState(ac, AcState::parked);
    ac.parkedSince = g_weekSlot;
    const bool log = LOG.value.load();
    if (ac.towed != 0 && log) gf_log(skh::format("          towed aircraft {} parks", gf_acDescription(ac)));
    if (!ac.stream.empty()) ac.stream.front().stationary = 1;
    ac.parkedAtMs = gf_trafficServices().steadyMs();
    lf_markStandTaken(ac);
    lf_prepareParked(ac);
    if (log) gf_log(skh::format("{:8}: {:8} arrived at stand", gf_standNameOf(ac.standId), ac.callsign));
    g_coupledSearchActs.push_back(ac.actNumber);
    if (!ac.airline.empty() && ac.cargo == ac.standCargo && lt_addStandOption(ac.standId, ac, 0, g_weekSlot, false))
        lf_noteActSlot(g_weekSlot, ac.actNumber, true);
    lf_checkMaxPark(0);
}

}  // namespace skh
