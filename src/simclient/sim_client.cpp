#include "simclient/sim_client.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "simclient/sim_handlers.hpp"
#include "simclient/sim_ids.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

constinit std::atomic<int> g_simOpenRetryMs{100};

namespace {

using Clock = std::chrono::steady_clock;

// Waits until `until` or until the stop is requested.
void sleepUntil(Clock::time_point until, const std::stop_token& stop) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    cv.wait_until(lock, stop, until, [] { return false; });
}

// Dispatches every millisecond until the stop is requested, the simulator
// quits or the connection fails.
void lf_dispatchLoop(HANDLE h, const std::stop_token& stop) {
    // The 1 ms timer resolution the loop relies on is the steady clock's own here.
    while (!stop.stop_requested()) {
        const auto next = Clock::now() + std::chrono::milliseconds(1);
        const HRESULT rc = SimConnect_CallDispatch(h, lf_dispatch, nullptr);
        if (lf_quitReceived()) {
            gf_log("SimConnect: the simulator quits");
            lf_simGone();
            return;
        }
        if (rc < 0) {
            gf_log(skh::format("SimConnect: connection lost (0x{:08X})", static_cast<std::uint32_t>(rc)));
            lf_simGone();
            return;
        }
        std::this_thread::sleep_until(next);
    }
}

// Always on the way out: the park stand (on the main loop's side), the lamp,
// and the connection, taken back from the other threads before it is closed.
void lf_closeConnection(HANDLE owned) {
    g_parkStandUpdateWanted = true;
    gf_setBoard(g_mainWindowState.simConnectConnected, false);
    try {
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = nullptr;
    } catch (const std::system_error& e) {
        gf_logWarning(skh::format("SimClient: {}", e.what()));
    }
    if (owned == nullptr) return;
    if (SimConnect_Close(owned) >= 0) {
        gf_log("SimConnect closed ok");
    } else {
        gf_logWarning("Closing SimConnect failed?!");
    }
}

}  // namespace

void lf_simGone() {
    simRunning = false;
    gf_setBoard(g_mainWindowState.simulatorRunning, false);
    gf_simNoLongerConnected();
}

void lf_addToGroup(HANDLE h, std::uint32_t clientEventId) {
    SimConnect_AddClientEventToNotificationGroup(h, GROUP_AI, clientEventId, true);
}

void lf_setupSimConnect(HANDLE h) {
    for (const auto& e : kSystemEvents) SimConnect_SubscribeToSystemEvent(h, e.id, e.name);
    for (const auto& d : kDataDefinitions)
        SimConnect_AddToDataDefinition(h, d.definition, d.name, d.units, d.type, 0.0f, kScUnused);
    for (const auto& m : kClientEvents) SimConnect_MapClientEventToSimEvent(h, m.id, m.event);
    for (const std::uint32_t id : kGroupEvents) lf_addToGroup(h, id);
    SimConnect_SetNotificationGroupPriority(h, GROUP_AI, GROUP_AI_PRIORITY);
}

void gf_simClientThread(std::stop_token stop) {
    HANDLE owned = nullptr;
    try {
        bool first = true;
        while (!g_stopRequested.load() && !g_closeRequested.load() && !stop.stop_requested()) {
            if (first) {
                first = false;
                const std::string version = gf_getP3DVersion();
                gf_setStatusMessage(skh::format("Waiting for Prepar3Dv{} ...", version), true);
                gf_log("");
                platform::invalidateMainWindow();
            }
            HANDLE h = nullptr;
            if (SimConnect_Open(&h, PRODUCT_NAME.c_str(), nullptr, 0, nullptr, 0) >= 0 && h != nullptr) {
                owned = h;
                lf_resetConnectionState();
                lf_setupSimConnect(h);
                {
                    const std::lock_guard lock(simQueueMutex);
                    simConnectHandle = h;
                }
                lf_dispatchLoop(h, stop);
                break;
            }
            sleepUntil(Clock::now() + std::chrono::milliseconds(g_simOpenRetryMs.load()), stop);
        }
    } catch (const UserErrorException& e) {
        const std::string text = e.what();
        gf_setErrorMessage(text.empty() ? "Unknown exception" : text);
        // The run goes on showing the error; its requests must not restart it.
        g_simUserError = e.number() != 0 ? e.number() : -1;
        gf_sayHowToCloseAfterError();
    } catch (const std::exception& e) {
        gf_setErrorMessage(e.what());
        lf_simGone();
    } catch (...) {
        gf_setErrorMessage(skh::format("Exception in {}", "SimClient"));
        lf_simGone();
    }
    lf_closeConnection(owned);
}

void gf_resetSimClient() {
    {
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = nullptr;
        g_userAcState = UserAcState{};
    }
    gf_clearQueues();
    lf_resetConnectionState();
    lf_resetUserTracking();
    simRunning = false;
    g_simUserError = 0;
    userObjectId = 2;
    userOnGround = false;
    userOnGroundKnown = false;
    g_userDataReady = false;
    userTitle.set("");
    userWingspan = 0.0;
    userWingspanKnown = false;
    userCategory = 0;
    simEpochSeconds = 0;
    simFrameRate = 0.0f;
    g_userStandCheckWanted = false;
    g_parkStandUpdateWanted = false;
    auto& w = g_mainWindowState;
    w.simulatorName.set("");
    w.userAircraftTitle.set("");
    w.userStand.set("");
    w.simConnectConnected = false;
    w.simulatorRunning = false;
    w.userWingspanKnown = true;
    platform::invalidateMainWindow();
}

}  // namespace skh
