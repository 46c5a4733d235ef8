// Room for a live aircraft at its stand: the live and static aircraft at the
// stand and, when too close, at its neighbours go.
#include <cmath>
#include <string_view>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/removal.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr double kMovedDeg = 1e-8;

bool lf_detail() { return LOG.value.load(); }

void lf_detailLine(const std::string& line) {
    if (lf_detail()) gf_log(line);
}

bool lf_endsWithGhostMark(std::string_view callsign) { return !callsign.empty() && callsign.back() == '_'; }

std::string_view lf_withoutLast(std::string_view callsign) {
    return callsign.empty() ? callsign : callsign.substr(0, callsign.size() - 1);
}

// Two aircraft (half spans in nm) this far apart may touch.
bool lf_tooClose(double distanceNm, double wingspanA, double wingspanB) {
    return 1.1 * (wingspanA + wingspanB) >= distanceNm;
}

bool lf_atStand(const LiveAc& ac, std::uint32_t standId, bool pushedBackToo) {
    if (ac.standId != standId || ac.status != AcStatus::active) return false;
    return ac.moveState == AcState::parked || ac.moveState == AcState::pushing_back ||
           (pushedBackToo && ac.moveState == AcState::pushed_back);
}

std::string lf_sameLiveVersion(const StaticAc& st, const LiveAc& ac) {
    const bool same = (!ac.callsign.empty() && (st.secondCallsign == ac.callsign || st.extraCallsign == ac.callsign)) ||
                      (!ac.registration.empty() && st.registration == ac.registration);
    return same ? " the same live version" : "";
}

}  // namespace

bool lf_freeStandForLive(std::uint32_t standId, const std::string& callsign) {
    LiveAc* occupant = nullptr;
    for (LiveAc& ac : g_liveAc) {
        if (lf_atStand(ac, standId, true)) {
            occupant = &ac;
            break;
        }
    }
    if (occupant == nullptr) return true;
    const std::string standName = gf_standNameOf(occupant->standId);
    const std::string& held = occupant->callsign;
    if (held == callsign) {
        lf_detailLine(skh::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ", standName, held,
                                  callsign));
    } else if (!callsign.empty() && lf_withoutLast(callsign) == held) {
        return false;  // the newcomer is the occupant's ghost
    } else if ((!held.empty() && lf_withoutLast(held) == callsign) ||
               (lf_endsWithGhostMark(held) && !lf_endsWithGhostMark(callsign))) {
        lf_detailLine(skh::format("{:8}: {:8} ghost, replace by {}", standName, held, callsign));
    } else if (lf_endsWithGhostMark(callsign) || occupant->reportedWhileParked != 0) {
        return false;
    } else {
        lf_detailLine(
            skh::format("{:8}: {:8} removed because another live {} wants the stand ...", standName, held, callsign));
    }
    removeAircraftFromSim(*occupant);
    return true;
}

void lf_removeStandOccupant(std::uint32_t standId, const LiveAc& ac) {
    for (LiveAc& other : g_liveAc) {
        if (&other == &ac || other.standId != standId || other.status != AcStatus::active ||
            other.moveState != AcState::parked) {
            continue;
        }
        lf_detailLine(skh::format("{:8}: {:8} removed, {} wants to park there", gf_standNameOf(standId), other.callsign,
                                  ac.callsign));
        removeAircraftFromSim(other);
    }
}

void lf_removeAdjacentLive(std::uint32_t adjacentId, const Stand& target, const LiveAc& ac) {
    const Stand* adjacent = gf_standById(adjacentId);
    if (adjacent == nullptr || (adjacent->lat == 0.0 && adjacent->lon == 0.0)) return;
    const double d = gf_distanceNm(GeoPos{adjacent->lat, adjacent->lon}, GeoPos{target.lat, target.lon});
    for (LiveAc& other : g_liveAc) {
        if (&other == &ac || !lf_atStand(other, adjacentId, false)) continue;
        if (!lf_tooClose(d, ac.wingspan, other.wingspan)) return;
        lf_detailLine(skh::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                                  adjacent->name, other.callsign, ac.callsign, target.name));
        removeAircraftFromSim(other);
        return;
    }
}

void lf_makeWay(const LiveAc& ac, const Stand& stand) {
    bool dropped = false;
    for (StaticAc& st : g_staticAc) {
        if (st.standId != stand.id || st.standId == 0) continue;
        const std::string line = skh::format("{:8}: {:8} {} makes way for{} {} {}", stand.name, st.callsign,
                                             st.registration, lf_sameLiveVersion(st, ac), ac.callsign, ac.registration);
        if (st.status == AcStatus::active) {
            lf_detailLine(line);
            removeAircraftFromSim(st);
        } else if (st.status == AcStatus::adding2sim && st.removeWhenCreated == 0 && st.dropQueued == 0) {
            if (lf_withdrawCreation(st)) {
                st.dropQueued = 1;
                dropped = true;
                lf_detailLine("queued " + line);
            } else {
                st.removeWhenCreated = 1;
            }
        } else if (st.status == AcStatus::buffer) {
            removeAircraftFromSim(st);
            dropped = true;
        }
    }
    if (dropped) lf_compactStaticAc();
    for (const std::uint32_t adjacentId : stand.adjacent) {
        const Stand* adjacent = gf_standById(adjacentId);
        if (adjacent == nullptr) continue;
        const double d = gf_distanceNm(GeoPos{adjacent->lat, adjacent->lon}, GeoPos{stand.lat, stand.lon});
        for (StaticAc& st : g_staticAc) {
            if (st.standId != adjacentId || st.status != AcStatus::active) continue;
            if (!lf_tooClose(d, ac.wingspan, st.wingspan)) continue;
            lf_detailLine(skh::format("{:8}: {:8} makes way for {} parking at excluded stand {}", adjacent->name,
                                      st.callsign, ac.callsign, stand.name));
            removeAircraftFromSim(st);
            break;
        }
    }
}

void gf_avoidStaticCollisions(LiveAc& ac) {
    if (ac.rollout != 0 || ac.takingOff != 0 || ac.moveState == AcState::take_off) return;
    ac.lastCollisionCheckLat = ac.pos.latitude;
    ac.lastCollisionCheckLon = ac.pos.longitude;
    const GeoPos p{ac.pos.latitude, ac.pos.longitude};
    for (StaticAc& st : g_staticAc) {
        if (st.status != AcStatus::active || st.callsign == ac.callsign) continue;
        if (!lf_tooClose(gf_distanceNm(GeoPos{st.standLat, st.standLon}, p), st.wingspan, ac.wingspan)) continue;
        lf_detailLine(skh::format("{:8}: {:8} removed for collision avoidance with static {}",
                                  gf_standNameOf(st.standId), st.callsign, ac.callsign));
        removeAircraftFromSim(st);
        return;
    }
}

void gf_avoidStaticCollisionsOnGround() {
    if (g_staticAc.empty()) return;
    for (LiveAc& ac : g_liveAc) {
        if (ac.onGround == 0 || ac.status != AcStatus::active) continue;
        if (ac.moveState != AcState::taxi && ac.moveState != AcState::parking) continue;
        if (std::fabs(ac.pos.latitude - ac.lastCollisionCheckLat) < kMovedDeg &&
            std::fabs(ac.pos.longitude - ac.lastCollisionCheckLon) < kMovedDeg) {
            continue;
        }
        gf_avoidStaticCollisions(ac);
    }
}

}  // namespace skh
