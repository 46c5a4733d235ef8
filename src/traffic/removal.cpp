#include "traffic/removal.hpp"

#include <algorithm>
#include <cmath>
#include <exception>

#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

// Ids handed over to the simulator side whose removal is not yet reported.
// Bounded: an id the simulator never reports is forgotten after this many.
std::deque<std::uint32_t> g_removalsInFlight;
constexpr std::size_t kMaxRemovalsInFlight = 256;

bool lf_detail() { return LOG.value.load(); }

template <class Q>
bool lf_withdrawByAct(Q& queue, std::uint32_t actNumber) {
    return std::erase_if(queue, [&](const AddRequest& r) { return r.actNumber == actNumber; }) > 0;
}

bool lf_endsWithUnderscore(const std::string& s) { return !s.empty() && s.back() == '_'; }

}  // namespace

void lf_queueRemoval(std::uint32_t objectId) {
    if (objectId == 0) return;
    if (std::find(removalQueue.begin(), removalQueue.end(), objectId) != removalQueue.end()) return;
    if (std::find(g_removalsInFlight.begin(), g_removalsInFlight.end(), objectId) != g_removalsInFlight.end()) return;
    removalQueue.push_back(objectId);
}

void lf_removalDone(std::uint32_t objectId) {
    std::erase(g_removalsInFlight, objectId);
    // The simulator may remove an object on its own; a removal still queued
    // would later hit whatever object gets the id next.
    std::erase(removalQueue, objectId);
}

void lf_removalHandedOver(std::uint32_t objectId) {
    if (g_removalsInFlight.size() >= kMaxRemovalsInFlight) g_removalsInFlight.pop_front();
    g_removalsInFlight.push_back(objectId);
}

void lf_clearRemovalsInFlight() { g_removalsInFlight.clear(); }

bool lf_withdrawCreation(const StaticAc& ac) {
    if (!gf_isLiveAct(ac.actNumber)) return lf_withdrawByAct(g_staticCreateQueue, ac.actNumber);
    // By act number, not by callsign: two live aircraft may share a callsign.
    const bool stacked = std::erase(addingStack, ac.actNumber) > 0;
    const bool queued = lf_withdrawByAct(g_liveCreateQueue, ac.actNumber);
    return stacked || queued;
}

void removeAircraftFromSim(StaticAc& ac) {
    // Whatever its status, the aircraft is on its way out: its stand is free.
    lf_releaseStandMark(ac);
    switch (ac.status) {
        case AcStatus::buffer:
            ac.dropUnsent = 1;
            return;
        case AcStatus::adding2sim:
            if (ac.removeWhenCreated != 0 || ac.dropQueued != 0) return;
            if (lf_withdrawCreation(ac)) {
                ac.dropQueued = 1;
            } else {
                ac.removeWhenCreated = 1;
            }
            return;
        case AcStatus::active:
        case AcStatus::liveryrespawn:
        case AcStatus::removingfromsim:
            if (ac.removeWhenCreated != 0) return;
            ac.status = AcStatus::removingfromsim;
            if (ac.objectId != 0) {
                lf_queueRemoval(ac.objectId);
            } else {
                // Nothing in the simulator to wait for: the record goes at the next compaction.
                gf_logWarning(skh::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim",
                                          gf_acDescription(ac)));
                ac.dropUnsent = 1;
            }
            return;
    }
}

void liveryRespawn(LiveAc& ac) {
    try {
        if (ac.moveState == AcState::parked && !ac.stream.empty()) {
            ac.stream.resize(1);
            ac.stream.front().stationary = 1;
            ac.stream.front().track = ac.pos.trueHeading * RAD2DEG;
        }
        PosSample now = ac.stream.empty() ? PosSample{} : ac.stream.front();
        now.lat = ac.pos.latitude;
        now.lon = ac.pos.longitude;
        now.altitude = ac.pos.altitude;
        now.bank = ac.pos.bank;
        now.dueTick = lf_tickAfter(trafficTick.load(), 1);
        if (ac.moveState != AcState::parked && !ac.stream.empty()) {
            const PosSample& front = ac.stream.front();
            now.stationary = std::fabs(front.lat - now.lat) <= 1e-8 && std::fabs(front.lon - now.lon) <= 1e-8;
        }
        ac.stream.push_front(now);
        ac.status = AcStatus::liveryrespawn;
        // Matched anew once the aircraft is back in the buffer.
        ac.liveryTitle = {};
        if (ac.objectId == 0) {
            gf_logWarning(skh::format("{} removing act {} with objectid=0 ?", "liveryRespawn", gf_acDescription(ac)));
        } else {
            lf_queueRemoval(ac.objectId);
        }
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {}", "liveryRespawn", e.what()));
    }
}

void lf_removeGhost(const std::string& callsign) {
    const std::string ghostCallsign = callsign + "_";
    const auto it = std::find_if(g_liveAc.begin(), g_liveAc.end(), [&](const LiveAc& a) {
        return a.callsign == ghostCallsign && a.status != AcStatus::removingfromsim;
    });
    if (it == g_liveAc.end()) return;
    LiveAc& ghost = *it;
    if (lf_detail()) {
        if (ghost.moveState == AcState::parked) {
            gf_log(skh::format("{:8}: {:8} is a ghost and will be removed, continue with {}",
                               gf_standNameOf(ghost.standId), ghost.callsign, callsign));
        } else {
            gf_log(skh::format("          {:8} is a ghost and will be removed, continue with {}", ghost.callsign,
                               callsign));
        }
    }
    g_removedGhosts.push_back(ghost.callsign);
    removeAircraftFromSim(ghost);
}

void gf_removeDuplicateStatics(const LiveAc& ac, bool onGround) {
    if (ac.callsign.empty()) return;
    const std::string base =
        lf_endsWithUnderscore(ac.callsign) ? ac.callsign.substr(0, ac.callsign.size() - 1) : std::string();
    for (StaticAc& st : g_staticAc) {
        if (st.status != AcStatus::active) continue;
        if (!ac.registration.empty() && st.registration == ac.registration) {
            if (lf_detail()) {
                gf_log(skh::format("{:8}: {:8} {} removed, new {} '{}' has same regcode {}", gf_standNameOf(st.standId),
                                   st.callsign, st.registration, ac.callsign, lf_fmtAirlineType(ac), ac.registration));
            }
            removeAircraftFromSim(st);
            return;
        }
        const auto coupled = [&](const std::string& cs) {
            return !cs.empty() && (cs == st.secondCallsign || cs == st.extraCallsign);
        };
        const bool same = coupled(ac.callsign);
        if (same || coupled(ac.extraCallsign) || (!base.empty() && coupled(base))) {
            if (lf_detail()) {
                gf_log(skh::format("{:8}: {:8} '{} {}' removed, new {} {} '{}' '{}' has {} callsign",
                                   gf_standNameOf(st.standId), st.callsign, st.secondCallsign, st.extraCallsign,
                                   onGround ? "on ground" : "airborne", lf_fmtAirlineType(ac), ac.callsign,
                                   ac.extraCallsign, same ? "same" : "coupled"));
            }
            removeAircraftFromSim(st);
            return;
        }
    }
}

void gf_removeAllStaticAc() {
    // One already handed over to the simulator side goes as soon as it exists.
    for (StaticAc& st : g_staticAc) {
        if (st.status == AcStatus::active || st.status == AcStatus::adding2sim) removeAircraftFromSim(st);
    }
    lf_compactStaticAc();
}

void gf_clearReservedStand() {
    if (g_reservedStand.empty()) return;
    const Stand* stand = lf_findStandByName(g_reservedStand);
    if (stand == nullptr) return;
    for (StaticAc& st : g_staticAc) {
        if (st.standId == stand->id && st.status == AcStatus::active) {
            removeAircraftFromSim(st);
            return;
        }
    }
    for (LiveAc& ac : g_liveAc) {
        if (ac.standId == stand->id && ac.status == AcStatus::active && ac.moveState == AcState::parked) {
            removeAircraftFromSim(ac);
            return;
        }
    }
}

void gf_removeLiveOnLinkLoss() {
    if (g_stopRequested.load() || g_closeRequested.load()) return;
    for (LiveAc& ac : g_liveAc) {
        if (ac.status == AcStatus::active) {
            removeAircraftFromSim(ac);
        } else if (ac.status == AcStatus::adding2sim && ac.removeWhenCreated == 0) {
            if (lf_withdrawCreation(ac)) {
                ac.dropQueued = 1;
            } else {
                ac.removeWhenCreated = 1;
            }
        }
    }
    lf_compactLiveAc();
}

}  // namespace skh
