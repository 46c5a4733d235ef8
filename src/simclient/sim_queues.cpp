#include "simclient/sim_queues.hpp"

#include <algorithm>
#include <chrono>

#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/codepage.hpp"
#include "simclient/sim_client.hpp"
#include "simclient/sim_events.hpp"
#include "simclient/sim_ids.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

std::vector<AddRequest> simCreateQueue;
std::vector<ClientEventRequest> clientEventQueue;
std::vector<std::uint32_t> simRemoveQueue;
PositionBuffers positionBuffers;
std::vector<SentPacket> sentPackets;
std::vector<std::uint32_t> newObjectIds;
constinit std::atomic<bool> simRequestFailed{false};
constinit std::atomic<std::uint32_t> simMajorVersion{0};

namespace {

constexpr std::size_t kReserved = 256;

template <typename T>
void reserveAtLeast(std::vector<T>& v) {
    if (v.capacity() < kReserved) v.reserve(kReserved);
}

// Sends one creation; false when the request cannot be sent at all (its
// title does not fit the call), which fails that aircraft only. A refused
// call fails the run.
bool lf_createAiInSim(HANDLE h, const AddRequest& r, std::vector<std::uint32_t>& givenUp) {
    const std::string title = platform::utf8ToCp1252(r.title);
    const std::string tail = gf_tailNumberOf(r.callsign);
    if (title.size() > kMaxTitleBytes) {
        gf_logWarning(skh::format("! Title of {} bytes is too long to create ac in sim, hexid:{}, callsign: {}",
                                  title.size(), r.actNumber, r.callsign));
        return false;
    }
    if (SimConnect_AICreateNonATCAircraft(h, title.c_str(), tail.c_str(), r.initPos, REQUEST_CREATE_AI) < 0) {
        gf_logWarning(skh::format("! Simcon call to create ac in sim failed, hexid:{}, liv: '{}', callsign: {})",
                                  r.actNumber, r.title, r.callsign));
        gf_requestError();
        return true;
    }
    std::uint32_t sendId = 0;
    if (SimConnect_GetLastSentPacketID(h, &sendId) < 0) {
        gf_logWarning("GetLastSentPacketID");
        sendId = 0;
    }
    sentPackets.push_back({sendId, r.actNumber, platform::cp1252ToUtf8(tail), gf_steadyMs()});
    if (sentPackets.size() > kMaxSentPackets) {
        const auto oldest =
            std::min_element(sentPackets.begin(), sentPackets.end(),
                             [](const SentPacket& a, const SentPacket& b) { return a.sentAtMs < b.sentAtMs; });
        gf_logWarning(skh::format("creation of hexid:{}, callsign: {} never answered, given up", oldest->actNumber,
                                  oldest->callsign));
        if (oldest->actNumber != 0) givenUp.push_back(oldest->actNumber);
        *oldest = std::move(sentPackets.back());
        sentPackets.pop_back();
    }
    return true;
}

void lf_removeAiFromSim(HANDLE h, std::uint32_t objectId) {
    if (objectId <= userObjectId.load()) {
        gf_logWarning(skh::format("SimConnect call to remove ac with objectid {}", objectId));
        return;
    }
    if (SimConnect_AIRemoveObject(h, objectId, REQUEST_REMOVE_AI) < 0) {
        gf_logWarning(skh::format("{} !SimConnect call to remove AI ac from sim failed, id {}?", gf_utcTimeOfDay(),
                                  objectId));
        gf_requestError();
    }
}

void lf_sendClientEvents(HANDLE h) {
    for (const ClientEventRequest& e : clientEventQueue) {
        // Flaps move only while the simulator's AI does not hold the object.
        const bool flaps = e.eventId == EVENT_FLAPS_SET;
        if (flaps) SimConnect_AIReleaseControl(h, e.objectId, REQUEST_RELEASE_CONTROL);
        if (SimConnect_TransmitClientEvent(h, e.objectId, e.eventId, e.value, GROUP_AI, 0) < 0) {
            gf_setStatusMessage(skh::format("SimConnect TransmitClientEvent: {} fails", e.eventId), true);
            continue;
        }
        if (flaps) SimConnect_AIReleaseControl(h, e.objectId, REQUEST_RELEASE_CONTROL);
    }
    clientEventQueue.clear();
}

}  // namespace

std::int64_t gf_steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string gf_tailNumberOf(const std::string& callsign) {
    std::string tail = platform::utf8ToCp1252(callsign);
    // The call takes text up to its first NUL; what follows would never match.
    if (const auto nul = tail.find('\0'); nul != std::string::npos) tail.resize(nul);
    if (tail.size() > kMaxTailNumberBytes) tail.resize(kMaxTailNumberBytes);
    return tail;
}

void gf_initQueues(std::uint32_t simulatorMajorVersion) {
    simMajorVersion = simulatorMajorVersion;
    {
        const std::lock_guard lock(simQueueMutex);
        reserveAtLeast(positionBuffers.back);
        reserveAtLeast(positionBuffers.front);
        reserveAtLeast(simCreateQueue);
        reserveAtLeast(simRemoveQueue);
    }
    reserveAtLeast(sentPackets);
    reserveAtLeast(newObjectIds);
    simRequestFailed = false;
}

void gf_clearQueues() {
    {
        const std::lock_guard lock(simQueueMutex);
        simCreateQueue.clear();
        clientEventQueue.clear();
        simRemoveQueue.clear();
        positionBuffers.back.clear();
        positionBuffers.front.clear();
    }
    sentPackets.clear();
    newObjectIds.clear();
    simRequestFailed = false;
}

void gf_queueCreate(const AddRequest& request) {
    const std::lock_guard lock(simQueueMutex);
    simCreateQueue.push_back(request);
}

void gf_queueEvent(const ClientEventRequest& request) {
    const std::lock_guard lock(simQueueMutex);
    clientEventQueue.push_back(request);
}

void gf_queueLights(std::uint32_t objectId, const std::uint32_t values[7]) {
    static constexpr std::uint32_t kOrder[7] = {EVENT_NAV_LIGHTS_SET,     EVENT_BEACON_LIGHTS_SET,
                                                EVENT_LANDING_LIGHTS_SET, EVENT_TAXI_LIGHTS_SET,
                                                EVENT_STROBES_SET,        EVENT_LOGO_LIGHTS_SET,
                                                EVENT_CABIN_LIGHTS_SET};
    const std::lock_guard lock(simQueueMutex);
    for (int i = 0; i < 7; ++i) clientEventQueue.push_back({objectId, kOrder[i], values[i]});
}

void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t value) {
    gf_queueEvent({objectId, EVENT_CABIN_LIGHTS_SET, value});
}

void gf_queueRemove(std::uint32_t objectId) {
    const std::lock_guard lock(simQueueMutex);
    simRemoveQueue.push_back(objectId);
}

bool gf_removeQueuedCreate(std::deque<AddRequest>& requests, const std::string& callsign) {
    if (callsign.empty()) return false;
    const auto removed = std::erase_if(requests, [&](const AddRequest& r) { return r.callsign == callsign; });
    return removed > 0;
}

bool gf_swapPositionBuffers() {
    auto& buffers = positionBuffers;
    std::unique_lock lock(simQueueMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        // At low frame rates a dropped poll is not seen; at high ones it would be.
        if (simFrameRate.load() <= 50.0f) {
            buffers.back.clear();
            return false;
        }
        lock.lock();
    }
    buffers.back.swap(buffers.front);
    lock.unlock();
    buffers.back.clear();
    return true;
}

UserAcState gf_requestUserPosition() {
    const std::lock_guard lock(simQueueMutex);
    if (!simRequestFailed.load() && !gf_simUserErrorShown() &&
        SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_USER_STATE, DEFINITION_USER_STATE, kScObjectIdUser,
                                          ScPeriod::Once, 0, 0, 0, 0) < 0) {
        gf_logWarning("SimConnect request user ac position fails");
        gf_requestError();
    }
    return g_userAcState;
}

void gf_requestUserTitleModel() {
    const std::lock_guard lock(simQueueMutex);
    if (gf_simUserErrorShown()) return;
    if (SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_USER_TITLE, DEFINITION_USER_TITLE, kScObjectIdUser,
                                          ScPeriod::Once, 0, 0, 0, 0) < 0) {
        gf_logWarning("SimConnect request user ac title fails");
        gf_requestError();
    }
    if (SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_USER_MODEL, DEFINITION_USER_MODEL, kScObjectIdUser,
                                          ScPeriod::Once, 0, 0, 0, 0) < 0) {
        gf_logWarning("SimConnect reques user ac model fails");
        gf_requestError();
    }
}

void gf_requestError() {
    // The connection was closed on purpose for a user error that shows: a
    // request on it failing is no reason to restart.
    if (gf_simUserErrorShown()) return;
    // A request meets a failed transport when the simulator has just gone and
    // the SimClient thread has not yet dispatched the news: the run ends as
    // that thread would end it, as the simulator closed, not with a restart
    // after a request error - whichever thread notices first.
    if (gf_scTransportFailed(simConnectHandle.load())) {
        simRequestFailed = true;
        lf_simGone();
        return;
    }
    gf_setStatusMessage("SimConnect request error", true);
    simRequestFailed = true;
    gf_requestStop(AppState::SimConnectError, 9);
}

void lf_drainQueues() {
    std::vector<std::uint32_t> uncreatable;
    std::vector<std::uint32_t> givenUp;
    {
        // The SimClient thread never waits for the main loop: what is queued
        // now goes out with a later frame.
        std::unique_lock lock(simQueueMutex, std::try_to_lock);
        if (!lock.owns_lock()) return;
        if (simRequestFailed.load()) {
            positionBuffers.front.clear();
            clientEventQueue.clear();
            simCreateQueue.clear();
            simRemoveQueue.clear();
            return;
        }
        const HANDLE h = simConnectHandle;
        const std::uint32_t user = userObjectId.load();
        for (const PositionUpdate& p : positionBuffers.front) {
            if (p.objectId <= user) continue;
            SimConnect_SetDataOnSimObject(h, DEFINITION_AI_POSITION, p.objectId, 0, 0, sizeof(AiPositionBlock),
                                          &p.block);
        }
        positionBuffers.front.clear();
        lf_sendClientEvents(h);
        for (const AddRequest& r : simCreateQueue) {
            if (!lf_createAiInSim(h, r, givenUp) && r.actNumber != 0) uncreatable.push_back(r.actNumber);
        }
        simCreateQueue.clear();
        for (const std::uint32_t id : simRemoveQueue) lf_removeAiFromSim(h, id);
        simRemoveQueue.clear();
    }
    // simEventMutex comes before simQueueMutex, so the reports wait until it is released.
    for (const std::uint32_t act : uncreatable) {
        SimEvent e;
        e.actNumber = act;
        e.kind = SimEventKind::createFailed;
        gf_pushSimEvent(e);
    }
    for (const std::uint32_t act : givenUp) {
        SimEvent e;
        e.actNumber = act;
        e.kind = SimEventKind::createFailed;
        e.reserved = kCreateGivenUp;
        gf_pushSimEvent(e);
    }
}

}  // namespace skh
