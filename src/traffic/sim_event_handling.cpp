#include "traffic/sim_event_handling.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "feed/traffic_queue.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "simclient/sim_ids.hpp"
#include "traffic/flight_plans.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

// The events of one poll; kept between polls so that taking them allocates nothing.
std::vector<SimEvent> g_eventWork;

constexpr std::uint32_t kMinAdoptableObjectId = 3;
constexpr std::uint32_t kSpoilersOut = 16383;

bool lf_detail() { return LOG.value.load(); }
bool lf_isRotorcraft(const FlightIdent& f) { return f.category == CatRotorcraft; }

void lf_onGroundReport(const SimEvent& e) {
    LiveAc* ac = gf_findLiveByObjectId(e.objectId);
    if (ac == nullptr) return;
    if (e.actNumber == 1 && ac->onGround == 0 && ac->phaseCounter < 2 && ac->status != AcStatus::removingfromsim &&
        ac->moveState != AcState::take_off) {
        if (ac->flarePhase != 0 || ac->touchdown != 0) lf_touchdown(*ac);
        ac->onGround = 1;
        ac->altStep = 0.0;
        ac->phaseCounter = 1;
    }
    ac->heightAboveGround = e.b;
    if (ac->onGround != 0 || ac->phaseCounter >= 2) ac->pos.altitude = ac->staticCgHeight + e.a;
}

void lf_onStaticCgReport(const SimEvent& e) {
    LiveAc* ac = gf_findLiveByObjectId(e.objectId);
    if (ac == nullptr) return;
    if (e.a >= 1.0 && e.a <= 35.0) ac->staticCgHeight = e.a;
    // The simulator answers in radians; the plausible range is in degrees.
    const double degrees = e.b * RAD2DEG;
    ac->staticPitch = (degrees <= -1.0 || degrees > 2.5) ? 0.7 * DEG2RAD : e.b;
}

// After the record is gone: a refused title is counted against its livery.
void lf_reportRefused(const FlightIdent& refused, bool givenUp) {
    if (givenUp) {
        gf_countDrop(DropReason::notAdopted);
        gf_logWarning(skh::format("{} never created by the simulator, dropped", gf_acDescription(refused)));
    } else {
        ++g_trafficCounts.refused;
        gf_trafficServices().reportUncreatable(refused);
    }
}

void lf_onCreateFailed(const SimEvent& e) {
    const bool givenUp = e.reserved == kCreateGivenUp;
    if (gf_isLiveAct(e.actNumber)) {
        // A later aircraft of the act is matched anew, not given the refused title again.
        g_liveryCache.erase(e.actNumber);
        if (LiveAc* ac = gf_findLiveByAct(e.actNumber)) {
            const FlightIdent refused = *ac;
            lf_eraseLiveAc(*ac);
            lf_reportRefused(refused, givenUp);
        }
    } else if (StaticAc* st = gf_findStaticByAct(e.actNumber)) {
        const FlightIdent refused = *st;
        lf_eraseStaticAc(*st);
        ++(givenUp ? g_trafficCounts.staticGivenUp : g_trafficCounts.staticRefused);
        lf_reportRefused(refused, givenUp);
    }
}

// An adopted object whose aircraft is gone would stay frozen in the simulator.
void lf_removeOrphan(std::uint32_t objectId, std::uint32_t actNumber) {
    gf_logWarning(skh::format("object {} of act {} has no aircraft any more and is removed", objectId, actNumber));
    lf_queueRemoval(objectId);
}

void lf_applyEvent(const SimEvent& e) {
    switch (e.kind) {
        case SimEventKind::objectCreated: {
            LiveAc* ac = gf_findLiveByAct(e.actNumber);
            // Only an aircraft still waiting takes an object: one for a creation
            // given up (the aircraft gone, or back in the buffer since) or a
            // second one for the act is not its.
            if (ac == nullptr || ac->status != AcStatus::adding2sim || ac->objectId != 0) {
                if (e.objectId >= kMinAdoptableObjectId && (ac == nullptr || ac->objectId != e.objectId))
                    lf_removeOrphan(e.objectId, e.actNumber);
                return;
            }
            if (lf_requestStaticCG(*ac, e)) {
                ac->awaitingAdoption = 0;
                g_createdObjects.push_back({e.objectId, e.actNumber, 0, 0});
                ++g_trafficCounts.adopted;
            }
            return;
        }
        case SimEventKind::staticObjectCreated:
            if (StaticAc* st = gf_findStaticByAct(e.actNumber)) st->awaitingAdoption = 0;
            g_createdObjects.push_back({e.objectId, e.actNumber, 0, 1});
            return;
        case SimEventKind::objectRemoved:
            lf_onObjectRemoved(e.objectId);
            return;
        case SimEventKind::groundReport:
            lf_onGroundReport(e);
            return;
        case SimEventKind::staticCgReport:
            lf_onStaticCgReport(e);
            return;
        case SimEventKind::blocked:
            lf_handleBlocked(e.actNumber);
            return;
        case SimEventKind::createFailed:
            lf_onCreateFailed(e);
            return;
    }
    gf_logWarning(skh::format("simulator event of unknown kind {} ignored", static_cast<std::uint32_t>(e.kind)));
}

// Creations whose object was not adopted in time are given up as if the
// simulator had never answered them.
void lf_giveUpUnadopted() {
    const std::uint32_t now = trafficTick.load();
    const auto overdue = [now](const StaticAc& ac) {
        return ac.awaitingAdoption != 0 && ac.status == AcStatus::adding2sim && lf_isDue(ac.adoptionDue, now);
    };
    std::vector<std::uint32_t> acts;
    for (const LiveAc& ac : g_liveAc)
        if (overdue(ac)) acts.push_back(ac.actNumber);
    for (const StaticAc& st : g_staticAc)
        if (overdue(st)) acts.push_back(st.actNumber);
    for (const std::uint32_t act : acts) {
        SimEvent e;
        e.kind = SimEventKind::createFailed;
        e.actNumber = act;
        e.reserved = kCreateGivenUp;
        lf_onCreateFailed(e);
    }
}

void lf_toggleLights(std::uint32_t objectId) {
    if (!gf_simPort().toggleAllLights(objectId)) {
        gf_logWarning("SimConnect gf_allLightsToggle fails");
        gf_simPort().requestError();
    }
}

void lf_activateLive(const CreatedObject& entry) {
    LiveAc* ac = gf_findLiveByAct(entry.actNumber);
    if (ac == nullptr || ac->objectId != entry.objectId) return;  // gone meanwhile
    lf_initialAcEvents(*ac);
    ++g_trafficCounts.activated;
    if (ac->removeWhenCreated != 0) {
        ac->removeWhenCreated = 0;
        removeAircraftFromSim(*ac);
    }
}

void lf_activateStatic(const CreatedObject& entry) {
    StaticAc* st = gf_findStaticByAct(entry.actNumber);
    if (st == nullptr) {
        lf_removeOrphan(entry.objectId, entry.actNumber);
        return;
    }
    st->status = AcStatus::active;
    lf_setObjectId(*st, entry.objectId);
    lf_prepareParked(*st);
    if (lf_detail()) gf_log(skh::format("{:8}: {:8} parked", gf_standNameOf(st->standId), st->callsign));
    if (st->removeWhenCreated != 0) {
        st->removeWhenCreated = 0;
        removeAircraftFromSim(*st);
    }
}

}  // namespace

void lf_sendEvent(const StaticAc& ac, std::uint32_t eventId, std::uint32_t value) {
    gf_simPort().queueEvent(ac.objectId, eventId, value);
}

void lf_setControlBlock(const StaticAc& ac, const std::array<double, 3>& values) {
    if (!gf_simPort().setControlBlock(ac.objectId, values)) {
        gf_logWarning("SimConnect set AI control data fails");
        gf_simPort().requestError();
    }
}

void lf_sendLights(const StaticAc& ac, std::uint32_t nav, std::uint32_t beacon, std::uint32_t landing,
                   std::uint32_t taxi, std::uint32_t strobes, std::uint32_t logo, std::uint32_t cabin) {
    gf_simPort().queueLights(ac.objectId, {nav, beacon, landing, taxi, strobes, logo, cabin});
}

void lf_setThrottle(StaticAc& ac, std::uint32_t index) {
    if (index == ac.throttleIndex) return;
    if (index < kThrottleLevels.size()) lf_sendEvent(ac, EVENT_THROTTLE_SET, kThrottleLevels[index]);
    ac.throttleIndex = index;
}

void gf_setFlaps(StaticAc& ac, std::uint32_t index) {
    if (index == ac.flapsIndex || lf_isRotorcraft(ac)) return;
    if (index < kFlapsLevels.size()) {
        lf_sendEvent(ac, EVENT_FLAPS_SET, kFlapsLevels[index]);
    } else {
        gf_logWarning("gf_setFlaps: invalid flaps index");
    }
    ac.flapsIndex = index;
}

void lf_processSimEvents() {
    {
        // Taken out at once, so the SimClient thread never waits for the
        // work below (which takes simQueueMutex for its direct calls).
        const std::lock_guard lock(simEventMutex);
        g_eventWork.swap(g_simEvents);
    }
    for (const SimEvent& e : g_eventWork) {
        try {
            lf_applyEvent(e);
        } catch (const UserErrorException&) {
            g_eventWork.clear();
            throw;
        } catch (const std::exception& ex) {
            gf_logWarning(skh::format("{} exception: {}", "lf_processSimEvents", ex.what()));
        }
    }
    g_eventWork.clear();
    if (!g_createdObjects.empty()) lf_handleParked();
    if (trafficTick.load() % kAdoptionCheckPolls == 0) lf_giveUpUnadopted();
}

void lf_awaitAdoption(std::uint32_t actNumber) {
    StaticAc* ac = gf_isLiveAct(actNumber) ? gf_findLiveByAct(actNumber) : gf_findStaticByAct(actNumber);
    if (ac == nullptr) return;
    ac->awaitingAdoption = 1;
    ac->adoptionDue = lf_tickAfter(trafficTick.load(), kAdoptionWaitPolls);
}

bool lf_requestStaticCG(LiveAc& ac, const SimEvent& event) {
    if (event.objectId < kMinAdoptableObjectId) return false;
    lf_setObjectId(ac, event.objectId);
    ac.heightAboveGround = event.b;
    if (!ac.stream.empty() && ac.stream.front().airborne == 0) lf_parkAtStand(ac);
    lf_createAiFlightPlan(ac);
    if (!gf_simPort().requestStaticCg(ac.objectId)) {
        gf_logWarning("SimConnect request StaticCG fails");
        gf_simPort().requestError();
    }
    return true;
}

void lf_parkAtStand(LiveAc& ac) {
    ac.onGround = 1;
    ac.altStep = 0.0;
    if (ac.moveState != AcState::parked) {
        ac.phaseCounter = 1;
        return;
    }
    ac.parkedSince = g_weekSlot;
    const std::string standName = gf_standNameOf(ac.standId);
    if (lf_detail()) gf_log(skh::format("{:8}: {:8} parks", standName, ac.callsign));
    lf_dropPlannedParkings(ac.standId);
    for (StaticAc& st : g_staticAc) {
        if (st.status != AcStatus::active || st.standId != ac.standId || ac.standId == 0) continue;
        if (lf_detail()) gf_log(skh::format("{:8}: {:8} parks over static {}", standName, ac.callsign, st.callsign));
        removeAircraftFromSim(st);
    }
}

void lf_handleParked() {
    bool finished = false;
    // Activation may queue events only; it never adds to this list.
    for (CreatedObject& entry : g_createdObjects) {
        if (entry.counter < 0) continue;
        ++entry.counter;
        if (entry.kind == 0 && (entry.counter == 50 || entry.counter == 100)) lf_toggleLights(entry.objectId);
        if (entry.counter < kActivationPolls) continue;
        entry.counter = -1;
        finished = true;
        if (entry.kind == 0) {
            lf_activateLive(entry);
        } else {
            lf_activateStatic(entry);
        }
    }
    if (finished) std::erase_if(g_createdObjects, [](const CreatedObject& e) { return e.counter < 0; });
}

void lf_initialAcEvents(LiveAc& ac) {
    const bool airborne = ac.stream.empty() ? ac.moveState == AcState::flying : ac.stream.front().airborne != 0;
    const bool rotor = lf_isRotorcraft(ac);
    if (airborne) {
        lf_sendEvent(ac, EVENT_ENGINE_AUTO_START, 0);
        if (!rotor) lf_sendEvent(ac, EVENT_SPOILERS_SET, 0);
        const std::uint32_t landing = ac.pos.altitude <= 10000.0 ? 1 : 0;
        lf_sendLights(ac, 1, 1, landing, 0, 1, landing, ac.heightAboveGround >= 2000.0 ? 1 : 0);
    } else if (ac.moveState != AcState::parked) {
        if (!rotor) lf_sendEvent(ac, EVENT_SPOILERS_SET, 0);
        lf_sendEvent(ac, EVENT_ENGINE_AUTO_START, 0);
        const bool taxi = ac.moveState == AcState::taxi;
        lf_sendLights(ac, 1, 1, 0, taxi ? 1 : 0, 0, 1, 1);
        lf_setThrottle(ac, rotor ? 4 : 0);
        gf_setFlaps(ac, taxi ? 1 : 0);
    } else {
        if (!rotor) lf_sendEvent(ac, EVENT_SPOILERS_SET, 0);
        lf_sendEvent(ac, EVENT_ENGINE_AUTO_SHUTDOWN, 0);
        lf_sendLights(ac, NAV_LIGHTS_WHILE_PARKED.value.load() ? 1 : 0, 0, 0, 0, 0, 1, 1);
        lf_setThrottle(ac, rotor ? 4 : 0);
        gf_setFlaps(ac, 0);
    }
    ac.status = AcStatus::active;
}

void lf_prepareParked(StaticAc& ac) {
    if (ac.throttleIndex != 0) {
        lf_sendEvent(ac, EVENT_THROTTLE_SET, kThrottleLevels[0]);
        ac.throttleIndex = 0;
    }
    gf_setFlaps(ac, 0);
    lf_sendEvent(ac, EVENT_ENGINE_AUTO_SHUTDOWN, 0);
    std::uint32_t cabin = 0;
    if (ac.standCargo == 0) cabin = gf_trafficServices().randomBelow(10) == 9 ? 0 : 1;
    lf_sendLights(ac, NAV_LIGHTS_WHILE_PARKED.value.load() ? 1 : 0, 0, 0, 0, 0, 1, cabin);
}

void lf_touchdown(LiveAc& ac) {
    ac.touchdown = 1;
    ac.rollout = 1;
    ac.landing = 0;
    ac.landed = 1;
    g_landingWatch = false;
    ac.rolloutHeading = ac.pos.trueHeading;
    if (!lf_isRotorcraft(ac)) lf_sendEvent(ac, EVENT_SPOILERS_SET, kSpoilersOut);
    if (ac.category != CatLight) {
        const double reverse = ac.fsltlModel != 0 ? -100.0 : 100.0;
        lf_setControlBlock(ac, {100.0, reverse, reverse});
    }
    if (ac.touchdownTicks == 0) {
        gf_log(skh::format("{} ! onGround slots {:.1f}", ac.callsign, static_cast<double>(ac.touchdownTicks)));
        ac.pitchStep = ac.staticPitch;
    } else {
        const double ticks = ac.touchdownTicks;
        ac.pitchStep = (ac.staticPitch - ac.pos.pitch) / ticks;
        ac.bankStep = -ac.pos.bank / ticks;
    }
    g_coupledSearchActs.push_back(ac.actNumber);
}

void lf_onObjectRemoved(std::uint32_t objectId) {
    lf_removalDone(objectId);
    std::erase_if(g_createdObjects, [&](const CreatedObject& c) { return c.objectId == objectId; });
    if (LiveAc* ac = gf_findLiveByObjectId(objectId)) {
        if (ac->status == AcStatus::liveryrespawn) {
            ac->status = AcStatus::buffer;
            ac->throttleIndex = kThrottleNotSent;
            ac->flapsIndex = kFlapsAtConstruction;
            lf_setObjectId(*ac, 0);
            return;
        }
        lf_removeFlightPlanFile(*ac);
        lf_eraseLiveAc(*ac);
        ++g_trafficCounts.removalsReported;
        return;
    }
    if (StaticAc* st = gf_findStaticByObjectId(objectId)) {
        lf_eraseStaticAc(*st);
        ++g_trafficCounts.removalsReported;
        ++g_trafficCounts.staticRemovalsReported;
    }
}

void lf_handleBlocked(std::uint32_t actNumber) {
    LiveAc* ac = gf_findLiveByAct(actNumber);
    if (ac == nullptr) return;
    if (ac->status == AcStatus::buffer) {
        gf_log(skh::format("{} will be removed from buffer while blocked", gf_acDescription(*ac)));
        ac->dropUnsent = 1;
    } else if (ac->status == AcStatus::active) {
        gf_log(skh::format("{} removed from simulator immediately while blocked", gf_acDescription(*ac)));
        removeAircraftFromSim(*ac);
    }
}

}  // namespace skh
