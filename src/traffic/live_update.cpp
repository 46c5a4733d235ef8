#include "traffic/live_update.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "airports/airport.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "platform/window.hpp"
#include "traffic/intake.hpp"
#include "traffic/movement.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

std::atomic<double> g_liveParkHours{0.0};

namespace {

constexpr std::uint32_t kSlotsPerDay = 48;
constexpr std::uint32_t kSlotsPerWeek = 336;

bool lf_dropped(const LiveAc& ac) { return ac.dropUnsent != 0 || ac.dropQueued != 0; }

std::uint32_t lf_weekIndex(std::uint64_t weekSlot) {
    const auto weekday = static_cast<std::uint32_t>(weekSlot & 0xFFFFFFFFu);
    const auto slot = static_cast<std::uint32_t>(weekSlot >> 32);
    return (weekday == 0 ? 0 : weekday - 1) * kSlotsPerDay + slot;
}

void lf_checkPosition(const AiPositionBlock& p) {
    const double values[] = {p.latitude,    p.longitude, p.pitch,         p.bank,
                             p.trueHeading, p.altitude,  p.verticalSpeed, p.trueAirspeed};
    for (const double v : values) {
        if (!std::isfinite(v)) throw std::runtime_error("position not finite");
    }
}

std::string lf_safeName(AcState s) {
    try {
        return gf_moveStateName(s);
    } catch (const std::out_of_range&) {
        return "?";
    }
}

std::string lf_safeName(AcStatus s) {
    try {
        return gf_statusName(s);
    } catch (const std::out_of_range&) {
        return "?";
    }
}

// Origin and destination from the sample; passes when nothing had to change.
bool lf_routeCheck(LiveAc& ac, const IdentStrings& id) {
    bool changed = false;
    if (ac.destination.empty() && !id.destination.empty()) {
        ac.destination = id.destination;
        changed = true;
    }
    if (ac.origin.empty() && !id.origin.empty()) {
        ac.origin = id.origin;
        changed = true;
    }
    if (!ac.origin.empty() && !ac.destination.empty() && !id.origin.empty() && !id.destination.empty() &&
        ac.origin != id.origin && ac.destination != id.destination) {
        const Airport park = gf_parkAirport();
        // Back to where it came from: the same flight turning round at the park airport.
        if (!park.icao.empty() && ac.origin == park.icao && id.destination == ac.origin) return !changed;
        ac.origin = id.origin;
        ac.destination = id.destination;
        if (ac.onGround != 0 && ac.moveState != AcState::parked && ac.moveState != AcState::parking) {
            lf_setMoveState(ac, AcState::taxi);
            ac.groundHeading = ac.pos.trueHeading;
        }
        changed = true;
    }
    return !changed;
}

// Airline and type from the sample's registration; passes while the livery may stay.
bool lf_identityCheck(LiveAc& ac, const IdentStrings& id) {
    if (id.registration.empty()) return true;
    bool passes = true;
    if (const auto record = gf_trafficServices().findRegistration(id.registration)) {
        const std::string airline = record->opr.empty() ? record->airl : record->opr;
        const std::string type = record->type.empty() ? ac.type : record->type;
        if (airline != ac.airline || type != ac.type) {
            // The registration too: the identity completion before the new
            // creation would otherwise bring back the old airline.
            ac.registration = id.registration;
            ac.airline = airline;
            ac.type = type;
            g_liveryCache.erase(ac.actNumber);
            passes = false;
        }
    } else {
        const std::string airline = gf_airlineFromCallsign(id.callsign);
        if (!airline.empty() && airline != ac.airline) {
            ac.airline = airline;
            g_liveryCache.erase(ac.actNumber);
            passes = false;
        }
    }
    if (ac.callsign == ac.registration && id.registration != ac.registration) {
        ac.registration = id.registration;
        ac.callsign = id.registration;
        ac.secondCallsign = id.registration;
    }
    return passes;
}

void lf_setControl(const UiControl& control, bool enabled) {
    const platform::WindowHandle h = control.hwnd.load();
    if (h != 0) platform::enableWindow(h, enabled);
}

}  // namespace

bool updateLiveAc(LiveAc& ac) {
    if (lf_dropped(ac)) return true;
    try {
        if (ac.status == AcStatus::buffer) {
            lf_prepareNewAc(ac);
            return lf_dropped(ac);
        }
        if (ac.status != AcStatus::active) return lf_dropped(ac);
        if (ac.stream.empty()) {
            gf_logWarning(skh::format("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                                      "updateLiveAc", gf_acDescription(ac), ac.actNumber, ac.objectId, ac.pos.altitude,
                                      skh::format("{:.6f},{:.6f}", ac.pos.latitude, ac.pos.longitude),
                                      ac.pos.trueAirspeed));
            removeAircraftFromSim(ac);
            return lf_dropped(ac);
        }
        if (lf_isDue(ac.stream.front().dueTick, trafficTick.load())) {
            nextPosMain(ac);
            ac.pos.verticalSpeed = ac.targetVerticalSpeed / 60.0;
            const bool standing = ac.stream.empty() || ac.stream.front().stationary != 0;
            ac.pos.trueAirspeed = standing ? 0.0 : ac.targetAirspeed;
            if (ac.status != AcStatus::active) return lf_dropped(ac);
        }
        if (!ac.stream.empty() && ac.stream.front().stationary == 0) advanceOneTick(ac);
        if (ac.objectId == 0) {
            gf_logWarning(skh::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                                      ac.actNumber, ac.callsign, ac.registration, lf_fmtAirlineType(ac),
                                      ac.stream.size()));
            removeAircraftFromSim(ac);
            return lf_dropped(ac);
        }
        lf_checkPosition(ac.pos);
        gf_simPort().positionBack().push_back({ac.pos, ac.objectId});
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", e.what(), gf_acDescription(ac),
                                  ac.stream.size(), lf_safeName(ac.moveState), lf_safeName(ac.status)));
        // An object in the simulator is taken out; only what never got there is dropped.
        if (ac.status == AcStatus::buffer) {
            ac.dropUnsent = 1;
        } else {
            removeAircraftFromSim(ac);
        }
    }
    return lf_dropped(ac);
}

bool lf_respawn(LiveAc& ac, const TrafficSample& sample) {
    if (ac.landing != 0 || ac.touchdown != 0 || ac.rollout != 0 || ac.flarePhase != 0 || ac.takingOff != 0 ||
        ac.moveState == AcState::take_off)
        return true;
    const IdentStrings& id = sample.ident;
    if (ac.status == AcStatus::buffer) {
        if (!id.origin.empty()) ac.origin = id.origin;
        if (!id.destination.empty()) ac.destination = id.destination;
        if (!id.callsign.empty()) ac.callsign = id.callsign;
        if (!id.registration.empty()) ac.registration = id.registration;
        return true;
    }
    if (ac.status != AcStatus::active || ac.moveState == AcState::pushing_back || ac.predictionCount >= 1) return true;
    const bool route = lf_routeCheck(ac, id);
    const bool identity = lf_identityCheck(ac, id);
    bool respawn = !(route && identity);
    if (!id.callsign.empty() && id.callsign != ac.callsign && id.registration != ac.registration) {
        // A new callsign: the tail number shown in the simulator changes.
        const bool ghostMark = id.callsign.back() == '_';
        if (!ghostMark) {
            lf_removeGhost(id.callsign);
        } else if (lf_callsignInUse(id.callsign)) {
            return false;
        }
        ac.callsign = id.callsign;
        ac.secondCallsign = id.callsign;
        ac.extraCallsign.clear();
        respawn = true;
    }
    if (!respawn) return true;
    if (!GUID_CHANGES.value.load()) return false;
    if (LOG.value.load()) gf_log(skh::format("          {} respawns", lf_fmtFlightLine(ac)));
    liveryRespawn(ac);
    return true;
}

bool lf_noteActSlot(std::uint64_t weekSlot, std::uint32_t actNumber, bool force) {
    const auto it =
        std::find_if(g_actSlots.begin(), g_actSlots.end(), [&](const ActSlot& a) { return a.actNumber == actNumber; });
    if (it == g_actSlots.end()) {
        g_actSlots.push_back({actNumber, weekSlot});
        return true;
    }
    if (!force) {
        const auto now = static_cast<std::uint32_t>(weekSlot >> 32);
        const auto then = static_cast<std::uint32_t>(it->weekSlot >> 32);
        if ((now + kSlotsPerDay - then % kSlotsPerDay) % kSlotsPerDay < 3) return false;
    }
    it->weekSlot = weekSlot;
    return true;
}

std::size_t gf_avgLiveParkTime(bool withAverage) {
    std::size_t count = 0;
    std::uint64_t slots = 0;
    const std::uint32_t now = lf_weekIndex(g_weekSlot);
    for (const LiveAc& ac : g_liveAc) {
        if (ac.status != AcStatus::active || ac.moveState != AcState::parked) continue;
        ++count;
        if (withAverage) slots += (now + kSlotsPerWeek - lf_weekIndex(ac.parkedSince) % kSlotsPerWeek) % kSlotsPerWeek;
    }
    if (withAverage) {
        g_liveParkHours = count == 0 ? 0.0 : static_cast<double>(slots) / (2.0 * static_cast<double>(count)) + 0.5;
    }
    return count;
}

void gf_refreshAcList() {
    CALLSIGN_2_OBJECTID.setList({std::string()});
    CALLSIGN_2_OBJECTID.value.set(std::string());
    gf_fillCallsignComboBox();
    lf_setControl(CALLSIGN_2_OBJECTID, false);
    lf_setControl(g_blockButton, false);
}

std::size_t gf_listLiveAcNames() {
    std::vector<std::string> names;
    for (const LiveAc& ac : g_liveAc) {
        if (ac.status == AcStatus::active && ac.moveState != AcState::parked) names.push_back(ac.callsign);
    }
    std::sort(names.begin(), names.end());
    const std::size_t count = names.size();
    CALLSIGN_2_OBJECTID.value.set(names.empty() ? std::string() : names.front());
    CALLSIGN_2_OBJECTID.setList(std::move(names));
    gf_fillCallsignComboBox();
    // Unblock follows BLOCK_CALLSIGN (the block commands switch it): enabled
    // here, it would make every choice in the list disable Block.
    lf_setControl(CALLSIGN_2_OBJECTID, count > 0);
    lf_setControl(g_blockButton, count > 0);
    return count;
}

}  // namespace skh
