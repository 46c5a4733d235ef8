#include "traffic/traffic_driver.hpp"

#include <algorithm>
#include <exception>

#include "feed/traffic_queue.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/intake.hpp"
#include "traffic/live_update.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

// Reused for every sample, so taking one costs no allocation of its own.
TrafficSample g_incoming;

constexpr std::uint32_t kPollsPerWindow = 100;  // about a second

// What came and went in the last window of polls, for the line that says
// the intake falls behind.
struct IntakeWatch {
    std::uint64_t takenInWindow = 0;
    std::uint64_t queuedAtWindowStart = 0;
    bool behindLogged = false;
};
IntakeWatch g_intakeWatch;

// Once a window: the first drop of a full queue in a run is logged. The
// queue's dropped count goes back to 0 only when a reset empties it.
void lf_watchIntake(int taken) {
    IntakeWatch& w = g_intakeWatch;
    w.takenInWindow += static_cast<std::uint64_t>(taken);
    if (trafficTick.load() % kPollsPerWindow != 0) return;
    const std::uint64_t queued = g_trafficSamplesQueued.load(std::memory_order_relaxed);
    const std::uint64_t dropped = gf_trafficSamplesDropped();
    if (dropped == 0) {
        w.behindLogged = false;
    } else if (!w.behindLogged) {
        w.behindLogged = true;
        gf_logWarning(skh::format(
            "Traffic intake falls behind: {} samples arrived and {} were taken in the last {} polls; the queue "
            "holds {} (at most {}) and has dropped {}, older samples of aircraft with several waiting first",
            queued - w.queuedAtWindowStart, w.takenInWindow, kPollsPerWindow, gf_trafficQueueSize(), kTrafficQueueLimit,
            dropped));
    }
    w.takenInWindow = 0;
    w.queuedAtWindowStart = queued;
}

bool lf_anyStaticDropped() {
    return std::any_of(g_staticAc.begin(), g_staticAc.end(),
                       [](const StaticAc& s) { return s.dropUnsent != 0 || s.dropQueued != 0; });
}

}  // namespace

void lf_handleAddingStack() {
    lf_processSimEvents();
    gf_updateAllLiveAc();
    lf_handOverQueues();
    lf_takeTrafficSamples();
    lf_requestFromAddingStack();
    lf_requestAcWithinRange();
    trafficTick.fetch_add(1);
}

void gf_updateAllLiveAc() {
    bool drop = false;
    // Only marks inside this loop; the records go in the compaction after it.
    for (LiveAc& ac : g_liveAc) drop = updateLiveAc(ac) || drop;
    if (drop) lf_compactLiveAc();
    if (lf_anyStaticDropped()) lf_compactStaticAc();
    gf_simPort().swapPositions();
}

void lf_handOverQueues() {
    SimPort& port = gf_simPort();
    const std::uint32_t tick = trafficTick.load();
    if (tick % kRemovalEveryPolls == 0 && !removalQueue.empty()) {
        const std::uint32_t objectId = removalQueue.front();
        removalQueue.pop_front();
        port.queueRemove(objectId);
        lf_removalHandedOver(objectId);
        ++g_trafficCounts.removalsHandedOver;
    }
    if (tick % kCreationEveryPolls != 0) return;
    if (!g_liveCreateQueue.empty()) {
        port.queueCreate(g_liveCreateQueue.front());
        lf_awaitAdoption(g_liveCreateQueue.front().actNumber);
        g_liveCreateQueue.pop_front();
        ++g_trafficCounts.creationsHandedOver;
        return;
    }
    if (!g_staticCreateQueue.empty()) {
        port.queueCreate(g_staticCreateQueue.front());
        lf_awaitAdoption(g_staticCreateQueue.front().actNumber);
        g_staticCreateQueue.pop_front();
        ++g_trafficCounts.creationsHandedOver;
        ++g_trafficCounts.staticCreationsHandedOver;
    }
    if (lf_staticPlanPending()) lf_staticParking();
}

void lf_takeTrafficSamples() {
    const auto& clockUs = gf_trafficServices().steadyUs;
    const std::int64_t start = clockUs();
    int taken = 0;
    while (taken < kSamplesPerPoll || clockUs() - start < kIntakeBudgetUs) {
        if (!gf_popTrafficSample(g_incoming)) break;
        ++taken;
        ++g_trafficCounts.samplesTaken;
        try {
            lf_handleIncoming(g_incoming);
        } catch (const UserErrorException&) {
            throw;
        } catch (const std::exception& e) {
            gf_logWarning(skh::format("{} exception: {}, act {} {} dropped", "lf_handleIncoming", e.what(),
                                      g_incoming.actNumber, g_incoming.ident.callsign));
        }
    }
    lf_watchIntake(taken);
}

void lf_requestFromAddingStack() {
    if (addingStack.empty()) return;
    const std::uint32_t act = addingStack.back();
    addingStack.pop_back();
    LiveAc* ac = gf_findLiveByAct(act);
    if (ac == nullptr || ac->status != AcStatus::adding2sim || ac->dropUnsent != 0 || ac->dropQueued != 0) return;
    if (ac->callsign.empty()) {
        gf_logWarning(skh::format("{} {} objectid = 0?", "lf_handleAddingStack", gf_acDescription(*ac)));
        return;
    }
    AddRequest r;
    r.initPos.Latitude = ac->pos.latitude;
    r.initPos.Longitude = ac->pos.longitude;
    r.initPos.Altitude = ac->pos.altitude;
    r.initPos.Pitch = ac->pos.pitch * RAD2DEG;
    r.initPos.Bank = ac->pos.bank * RAD2DEG;
    r.initPos.Heading = ac->pos.trueHeading * RAD2DEG;
    r.initPos.OnGround = (!ac->stream.empty() && ac->stream.front().airborne == 0) ? 1 : 0;
    r.initPos.Airspeed = 0;
    r.callsign = ac->callsign;
    r.title = ac->liveryTitle;
    r.actNumber = ac->actNumber;
    g_liveCreateQueue.push_back(std::move(r));
}

void lf_requestAcWithinRange() {
    SimPort& port = gf_simPort();
    const std::uint32_t tick = trafficTick.load();
    const std::uint32_t every = g_landingWatch ? kRangeRequestWhileLandingPolls : kRangeRequestEveryPolls;
    if (tick % every == 0 && !port.requestFailed() && !port.requestWithinRange(g_rangeMetres.load())) {
        gf_logWarning("SimConnect request ac within range fails");
        port.requestError();
    }
    if (tick % kRangeRequestEveryPolls == 0) {
        gf_trafficServices().sendUserPosition();
        g_userAc = port.requestUserPosition();
        gf_setUserAcCopy(g_userAc);
    }
}

}  // namespace skh
