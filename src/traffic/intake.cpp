#include "traffic/intake.hpp"

#include <algorithm>
#include <cmath>
#include <exception>

#include "aircraft/liveries.hpp"
#include "feed/park_fix.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "simclient/sim_ids.hpp"
#include "traffic/live_update.hpp"
#include "traffic/movement.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/stream_checks.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr std::int32_t kLeadTicks = 100;        // before the first sample is due
constexpr std::int32_t kGroundLeadTicks = 300;  // for a moving ground aircraft
constexpr std::size_t kMaxQueuedLiveCreations = 11;
constexpr std::size_t kMaxStreamSamples = 200;

double lf_userDistanceNm(const PosSample& s) {
    return gf_distanceNm({s.lat, s.lon}, {g_userAc.latitude, g_userAc.longitude});
}

// Degrees between two tracks, 0..180.
double lf_trackDifference(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

bool lf_finite(const PosSample& s) {
    const double values[] = {s.lat, s.lon, s.altitude, s.groundSpeed, s.track, s.verticalSpeed, s.trueAirspeed};
    for (const double v : values) {
        if (!std::isfinite(v)) return false;
    }
    if (s.bank && !std::isfinite(*s.bank)) return false;
    if (s.trueHeading && !std::isfinite(*s.trueHeading)) return false;
    return std::fabs(s.lat) <= 90.0 && std::fabs(s.lon) <= 180.0;
}

// Samples that come too soon after the last one, or that jump in speed.
bool lf_ignoreForTiming(const LiveAc& ac, const TrafficSample& sample) {
    if (sample.timestamp <= ac.lastTimestamp + 1.0) return true;
    const PosSample& newest = ac.stream.back();
    const double gsOld = newest.groundSpeed;
    const double gsNew = sample.pos.groundSpeed;
    if (gsOld > 5.0 && gsNew >= 10.0 * gsOld) return true;
    if (gsNew > 5.0 && gsOld >= 10.0 * gsNew) return true;
    if (gsOld <= 5.0 && gsNew >= 80.0) return true;
    if (gsNew <= 5.0 && gsOld >= 80.0) return true;
    if (ac.predictionCount >= 1) return false;
    // Thinning: a straight, steady flight needs no sample every second.
    const double elapsed = sample.timestamp - ac.lastTimestamp;
    const double turn = lf_trackDifference(sample.pos.track, newest.track);
    if (sample.pos.airborne != 0) {
        if (gsNew > 120.0 && turn <= 1.0) {
            const double limit = gsNew > 0.0 ? 0.2429806 / gsNew * 3600.0 : 15.0;  // 450 m
            if (elapsed <= limit) return true;
        }
    } else if (gsNew <= 30.0 && turn <= 2.0) {
        const double limit = gsNew > 0.0 ? std::min(0.0107991 / gsNew * 3600.0, 15.0) : 15.0;  // 20 m
        if (elapsed <= limit) return true;
    }
    return false;
}

}  // namespace

bool lf_categoryAllowed(AircraftCategory category) {
    switch (category) {
        case CatLight:
            return LIGHT_AIRCRAFT.value.load();
        case CatHighPerf:
            return HIGH_PERF_AIRCRAFT.value.load();
        case CatRotorcraft:
            return HELICOPTERS.value.load();
        case CatBuzjets:
        case CatLarge:
        case CatHeavy:
            return true;
        default:
            return false;
    }
}

namespace {

bool lf_mixesAirAndGround(const LiveAc& ac) {
    const bool air = std::any_of(ac.stream.begin(), ac.stream.end(), [](const PosSample& s) { return s.airborne; });
    const bool ground = std::any_of(ac.stream.begin(), ac.stream.end(), [](const PosSample& s) { return !s.airborne; });
    return air && ground;
}

void lf_completeIdentity(LiveAc& ac) {
    if (const auto record = gf_trafficServices().findRegistration(ac.registration)) {
        ac.airline = record->opr.empty() ? record->airl : record->opr;
        if (!record->type.empty()) ac.type = record->type;
        ac.cargo = record->cargo ? 1 : 0;
        if (!lf_isValidCallsign(ac.callsign)) ac.callsign = ac.registration;
    }
    if (ac.airline.empty() && !gf_setAirlineFromCallsign(ac)) ac.airline = "PVT";
}

bool lf_endsWithUnderscore(const std::string& s) { return !s.empty() && s.back() == '_'; }

void lf_drop(LiveAc& ac, DropReason reason) {
    ac.dropUnsent = 1;
    gf_countDrop(reason);
}

void lf_append(LiveAc& ac, const PosSample& sample) {
    ac.stream.push_back(sample);
    ++g_trafficCounts.samplesAppended;
}

double lf_normalised(double rad) {
    rad = std::fmod(rad, TWO_PI);
    return rad < 0.0 ? rad + TWO_PI : rad;
}

}  // namespace

bool lf_ambiguousAtParkAirport(const PosSample& sample) {
    const ParkAirportFix park = gf_parkAirportFix();
    const double elevation = park.set ? park.elevation : -1000.0;
    return sample.altitude > 0.0 && sample.altitude < 10000.0 && std::fabs(sample.altitude - elevation) <= 108.0;
}

void lf_handleIncoming(TrafficSample& sample) {
    if (!lf_finite(sample.pos) || !std::isfinite(sample.timestamp)) {
        gf_logWarning(skh::format("{} sample of act {} ({}) with numbers out of range dropped", "lf_handleIncoming",
                                  sample.actNumber, sample.ident.callsign));
        gf_countDrop(DropReason::badNumbers);
        return;
    }
    LiveAc* ac = gf_findLiveByAct(sample.actNumber);
    if (ac == nullptr) {
        const std::string& cs = sample.ident.callsign;
        // The same flight under a second address.
        if (!cs.empty() && std::any_of(g_liveAc.begin(), g_liveAc.end(), [&](const LiveAc& a) {
                return a.callsign == cs && a.type == sample.ident.type;
            }))
            return;
        lf_handleNewAircraft(sample);
        return;
    }
    if (ac->status == AcStatus::liveryrespawn || ac->status == AcStatus::removingfromsim) return;
    if (ac->dropUnsent != 0 || ac->dropQueued != 0) return;
    if (!ac->stream.empty() && lf_ignoreForTiming(*ac, sample)) return;
    if (ac->status == AcStatus::buffer && lf_ambiguousAtParkAirport(sample.pos)) return;
    if (!lf_respawn(*ac, sample)) return;
    ac->lastTimestamp = sample.timestamp;
    decodeExisting(*ac, sample.pos);
}

void lf_handleNewAircraft(TrafficSample& sample) {
    IdentStrings& id = sample.ident;
    if (id.type.empty()) {
        if (const auto record = gf_trafficServices().findRegistration(id.registration)) id.type = record->type;
    }
    if (!gf_trafficServices().isKnownType(id.type)) {
        const auto record = gf_trafficServices().findRegistration(id.registration);
        if (!record || record->type.empty()) {
            gf_countDrop(DropReason::unknownType);
            return;
        }
        id.type = record->type;
    }
    lf_addNewLiveAc(sample);
}

void lf_addNewLiveAc(TrafficSample& sample) {
    const AircraftCategory category = gf_sizeCategory(sample.ident.type);
    if (!lf_categoryAllowed(category)) {
        gf_countDrop(DropReason::categoryOff);
        return;
    }
    if (lf_ambiguousAtParkAirport(sample.pos)) {
        gf_countDrop(DropReason::parkAltitude);
        return;
    }
    sample.ident.secondCallsign = sample.ident.callsign;
    sample.ident.extraCallsign.clear();
    sample.ident.flag = 0;
    FlightIdent ident(std::move(sample.ident));
    ident.actNumber = sample.actNumber;
    ident.groundTurnRateNow = ident.groundTurnRate;
    ident.maxClimbStep = gf_maxClimbStepOf(ident.category);
    ident.slowGroundSpeed = gf_slowGroundSpeedOf(ident.category);
    sample.pos.stationary = 0;
    ++g_trafficCounts.newAircraft;
    lf_appendLiveAc(LiveAc(sample.pos, std::move(ident), sample.timestamp));
}

void decodeExisting(LiveAc& ac, PosSample sample) {
    try {
        if (ac.stream.size() > kMaxStreamSamples) {
            removeAircraftFromSim(ac);
            return;
        }
        if (ac.holding != 0 && !ac.stream.empty()) {
            const PosSample& front = ac.stream.front();
            const double metres = gf_distanceNm({front.lat, front.lon}, {sample.lat, sample.lon}) * kMetresPerNm;
            if (metres > HOLDING_THRESHOLD_METERS.value.load()) {
                ac.holding = 0;
                removeAircraftFromSim(ac);
                return;
            }
        }
        if (ac.moveState == AcState::birth) {
            if (!ac.stream.empty() && lf_checkNewSample(ac, sample)) lf_append(ac, sample);
            return;
        }
        if (!checkExtendingSituations(ac, sample)) return;
        if (ac.stream.empty()) {
            lf_append(ac, sample);
            return;
        }
        auto& st = ac.stream;
        if (sample.airborne == 0 && st.back().stationary != 0) {
            if (sample.stationary != 0) {
                if (st.size() > 1 && std::all_of(st.begin(), st.end(), [](const PosSample& s) { return s.stationary; }))
                    st.resize(1);
            } else if (st.size() >= 3) {
                // The last moving sample before the newest, within the newest six.
                const std::size_t last = st.size() - 2;
                const std::size_t first = st.size() >= 6 ? st.size() - 6 : 0;
                for (std::size_t i = last + 1; i-- > first;) {
                    if (st[i].stationary != 0) continue;
                    const bool recent =
                        lf_ticksUntil(st.back().dueTick, static_cast<std::uint32_t>(st[i].dueTick)) < 1500;
                    const bool near = gf_distanceNm({st[i].lat, st[i].lon}, {sample.lat, sample.lon}) <= 0.011879;
                    if (recent || near) st.erase(st.begin() + static_cast<std::ptrdiff_t>(i) + 1, st.end());
                    break;
                }
            }
        }
        const PosSample& newest = st.back();
        if (lf_dueNotLater(sample.dueTick, newest.dueTick))
            sample.dueTick = lf_tickAfter(static_cast<std::uint32_t>(newest.dueTick), 1);
        if (ac.status == AcStatus::active && ac.onGround != 0 && ac.takingOff == 0 &&
            ac.moveState != AcState::take_off) {
            if (ac.landed != 0 && newest.airborne != 0 && sample.airborne != 0) {
                // Touched down and flies on: a go-around from the runway.
                lf_setMoveState(ac, AcState::taxi);
                ac.takingOff = 1;
                lf_setThrottle(ac, 3);
                if (ac.category != CatRotorcraft) lf_sendEvent(ac, EVENT_SPOILERS_SET, 16383);
                gf_setFlaps(ac, 1);
                lf_sendLights(ac, 1, 1, 1, 1, 1, 1, 0);
                ac.maxLateTicks = 3000;
            } else if (ac.moveState == AcState::taxi &&
                       (sample.airborne != 0 || (sample.groundSpeed >= 43.0 && newest.groundSpeed >= 43.0))) {
                lf_startTakeoffRoll(ac);
            }
        }
        lf_append(ac, sample);
        if (st.size() == 2 && st[0].stationary != 0 && st[1].stationary != 0)
            st[0].dueTick = lf_tickAfter(trafficTick.load(), 1);
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{} exception {}", "decodeExisting", e.what()));
    }
}

void lf_prepareNewAc(LiveAc& ac) {
    if (ac.stream.empty()) {
        ac.dropUnsent = 1;
        return;
    }
    const PosSample& front = ac.stream.front();
    const std::int32_t lead = (front.airborne == 0 && front.groundSpeed != 0.0) ? kGroundLeadTicks : kLeadTicks;
    if (lf_ticksUntil(front.dueTick, trafficTick.load()) > lead) return;
    if (ac.stream.size() == 1) {
        lf_drop(ac, DropReason::singleSample);
        return;
    }
    if (lf_endsWithUnderscore(ac.callsign) &&
        std::find(g_removedGhosts.begin(), g_removedGhosts.end(), ac.callsign) != g_removedGhosts.end()) {
        lf_drop(ac, DropReason::ghost);
        return;
    }
    if (lf_mixesAirAndGround(ac)) {
        ac.stream.pop_front();
        return;
    }
    if (lf_holdNearUser(ac)) return;
    if (g_liveCreateQueue.size() >= kMaxQueuedLiveCreations && ac.moveState == AcState::birth) {
        ac.stream.pop_front();
        return;
    }
    const std::int32_t maxLive = MAX_LIVE_SEL.value.load();
    if (maxLive <= 0) {
        lf_drop(ac, DropReason::liveLimit);
        return;
    }
    const std::size_t wanted = lf_liveCountForLimit();
    if (wanted >= static_cast<std::size_t>(maxLive) && lf_makeRoomForNewLiveAc(lf_userDistanceNm(ac.stream.front()))) {
        lf_drop(ac, DropReason::liveLimit);
        return;
    }
    const std::string blocked = BLOCK_CALLSIGN.value.get();
    if (!blocked.empty() && blocked == ac.callsign) {
        lf_drop(ac, DropReason::blocked);
        return;
    }
    lf_completeIdentity(ac);
    if (lf_isValidCallsign(ac.callsign) && g_noMatchLines.count(lf_fmtIdentKey(ac)) == 0 &&
        (!lf_endsWithUnderscore(ac.callsign) || !lf_callsignInUse(ac.callsign))) {
        spawnLiveAc(ac);
        return;
    }
    lf_drop(ac, !lf_isValidCallsign(ac.callsign)                ? DropReason::invalidCallsign
                : g_noMatchLines.count(lf_fmtIdentKey(ac)) != 0 ? DropReason::noLivery
                                                                : DropReason::ghost);
}

bool lf_holdNearUser(LiveAc& ac) {
    const PosSample& front = ac.stream.front();
    const UserAcState& user = g_userAc;
    const double d = lf_userDistanceNm(front);
    bool hold = false;
    if (gf_simPort().userOnGround()) {
        if (ac.heldNearUser != 0 && (user.groundVelocity > 8.0 ||
                                     (front.airborne == 0 && (front.groundSpeed > 8.0 || d * kMetresPerNm >= 500.0)))) {
            ac.heldNearUser = 0;
            hold = true;
        } else if (COLLISION_USER_GND.value.load() && front.airborne == 0 && d < 0.0809935) {
            hold = true;
        }
    } else if (COLLISION_USER_AIR.value.load()) {
        const GeoPos userPos{user.latitude, user.longitude};
        const GeoPos acPos{front.lat, front.lon};
        if (front.airborne != 0 && d <= 6.0 && std::fabs(front.altitude - user.altitude) <= 3000.0) {
            // The user's distance from the aircraft's track line.
            double angle = std::fabs(lf_normalised(gf_bearingRad(acPos, userPos) - front.track * DEG2RAD));
            if (angle > M_PI) angle = TWO_PI - angle;
            if (angle > M_PI / 2) angle = M_PI - angle;
            if (d * std::sin(angle) * kFeetPerNm <= 4000.0) ac.heldNearUser = 1;
        }
        if (front.airborne == 0 && d <= 1.5 && user.altitudeAboveGround < 1000.0) {
            const double lateral = d * std::sin(gf_bearingRad(userPos, acPos) - user.trueHeading) * kFeetPerNm;
            if (std::fabs(lateral) <= 500.0) ac.heldNearUser = 1;
        }
        hold = ac.heldNearUser != 0;
    }
    if (hold) ac.stream.pop_front();
    return hold;
}

void spawnLiveAc(LiveAc& ac) {
    auto& st = ac.stream;
    if (st.size() < 2) {
        gf_logWarning(skh::format("{} sz:{}", "spawnLiveAc", st.size()));
        return;
    }
    if (st[1].stationary != 0) {
        st[0].stationary = 1;
        st[0].groundSpeed = 0.0;
        st[1].groundSpeed = 0.0;
        if (st.size() >= 3 && st[2].stationary != 0) st[2].groundSpeed = 0.0;
    } else {
        st[0].stationary = 0;
    }
    // A respawned aircraft comes back with a livery matched anew.
    if (ac.liveryTitle.empty()) {
        if (const auto cached = g_liveryCache.find(ac.actNumber); cached != g_liveryCache.end()) {
            ac.liveryTitle = cached->second;
        } else {
            gf_trafficServices().matchLiveryForSpawn(ac);
            if (!ac.liveryTitle.empty()) g_liveryCache[ac.actNumber] = ac.liveryTitle;
        }
        if (ac.liveryTitle.empty()) {
            if (!ac.registration.empty()) g_noMatchLines.insert(lf_fmtIdentKey(ac));
            lf_drop(ac, DropReason::noLivery);
            return;
        }
    }
    if (ac.moveState == AcState::birth) {
        if (st.front().airborne != 0) {
            lf_setMoveState(ac, AcState::flying);
        } else if (const auto stand = lf_chooseSpawnStand(ac)) {
            ac.standLat = stand->lat;
            ac.standLon = stand->lon;
            ac.standHeading = stand->heading;
            ac.standId = stand->id;
            ac.standCargo = (stand->cargo ? 1 : 0);
            lf_setMoveState(ac, AcState::parked);
            ac.parkedAtMs = gf_trafficServices().steadyMs();
            lf_markStandTaken(ac);
            st.resize(1);
            st.front().lat = stand->lat;
            st.front().lon = stand->lon;
            st.front().track = stand->heading * RAD2DEG;
            if (lt_addStandOption(ac.standId, ac, 0, g_weekSlot, false)) lf_noteActSlot(g_weekSlot, ac.actNumber, true);
            lf_checkMaxPark(1);
        } else {
            lf_setMoveState(ac, AcState::taxi);
        }
        if (ac.dropUnsent != 0) return;
    }
    const PosSample& front = st.front();
    ac.pos.latitude = front.lat;
    ac.pos.longitude = front.lon;
    ac.pos.altitude = front.altitude;
    ac.pos.verticalSpeed = front.verticalSpeed;
    ac.pos.trueAirspeed = front.trueAirspeed;
    ac.pos.bank = front.bank.value_or(0.0);
    if (front.airborne != 0) {
        double vs = std::min(front.verticalSpeed, 2400.0);
        if (vs < 0.0) vs = std::max(vs, -3000.0) / 2.0;
        ac.pos.pitch = (-3.0 - vs / 600.0 * 2.2) * DEG2RAD;
    } else {
        ac.pos.pitch = 0.6 * DEG2RAD;
    }
    double heading = 0.0;
    if (ac.fixedHeadingSet != 0) {
        heading = ac.fixedHeading;
    } else if (ac.moveState == AcState::parked) {
        heading = ac.standHeading;
    } else if (st.size() < 2 || st[1].stationary != 0) {
        heading = front.track * DEG2RAD;
    } else {
        heading = gf_bearingRad({front.lat, front.lon}, {st[1].lat, st[1].lon});
    }
    ac.pos.trueHeading = lf_normalised(heading);
    ac.groundHeading = front.airborne != 0 ? 0.0 : ac.pos.trueHeading;
    g_coupledSearchActs.push_back(ac.actNumber);
    ac.heldNearUser = 0;
    ac.status = AcStatus::adding2sim;
    addingStack.push_back(ac.actNumber);
    if (!lf_endsWithUnderscore(ac.callsign)) lf_removeGhost(ac.callsign);
}

bool lf_callsignInUse(const std::string& callsign) {
    if (callsign.empty()) return false;
    const std::string_view base(callsign.data(), callsign.size() - 1);
    return std::any_of(g_liveAc.begin(), g_liveAc.end(),
                       [&](const LiveAc& a) { return a.status != AcStatus::removingfromsim && a.callsign == base; });
}

std::size_t lf_activeLiveCount() {
    return static_cast<std::size_t>(
        std::count_if(g_liveAc.begin(), g_liveAc.end(), [](const LiveAc& a) { return a.status == AcStatus::active; }));
}

std::size_t lf_liveCountForLimit() {
    return static_cast<std::size_t>(std::count_if(g_liveAc.begin(), g_liveAc.end(), [](const LiveAc& a) {
        if (a.status == AcStatus::active) return true;
        return a.status == AcStatus::adding2sim && a.removeWhenCreated == 0 && a.dropQueued == 0 && a.dropUnsent == 0;
    }));
}

bool lf_makeRoomForNewLiveAc(double distanceNm) {
    double best = distanceNm;
    LiveAc* farthest = nullptr;
    for (LiveAc& a : g_liveAc) {
        if (a.status != AcStatus::active) continue;
        const double d = gf_distanceNm({a.pos.latitude, a.pos.longitude}, {g_userAc.latitude, g_userAc.longitude});
        if (d > best + 0.1) {
            best = d;
            farthest = &a;
        }
    }
    if (farthest == nullptr) return true;
    removeAircraftFromSim(*farthest);
    return false;
}

void gf_limitLiveCount() {
    const std::int32_t maxLive = std::max(MAX_LIVE_SEL.value.load(), 0);
    const std::size_t counted = lf_liveCountForLimit();
    for (std::size_t n = counted; n > static_cast<std::size_t>(maxLive); --n) {
        if (lf_makeRoomForNewLiveAc(-1.0)) break;
    }
}

}  // namespace skh
