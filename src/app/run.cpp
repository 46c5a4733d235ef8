#include "app/run.hpp"

#include <cmath>
#include <cstdlib>
#include <mutex>

#include "app/main_loop.hpp"
#include "app/run_state.hpp"
#include "app/traffic_seam.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "simclient/sim_client.hpp"
#include "simclient/sim_handlers.hpp"
#include "simclient/sim_ids.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "simconnect/simconnect.hpp"

namespace skh {

namespace {

constexpr Millis kSimWaitStep{100};
constexpr Millis kUserWaitStep{500};
constexpr Millis kPositionWaitStep{200};
constexpr std::chrono::seconds kReaderGap{2};
constexpr Millis kTrafficWaitStep{100};
constexpr int kTrafficWaitSteps = 150;

std::uint16_t lf_portFromEnvironment(const char* name, std::uint16_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0 || value > 65535) return fallback;
    return static_cast<std::uint16_t>(value);
}

bool lf_userPositionKnown() {
    const UserAcState user = gf_userAcCopy();
    return gf_userPositionKnown(user.latitude, user.longitude);
}

}  // namespace

std::uint16_t lf_trafficPort() { return lf_portFromEnvironment("SKYHAVEN_TRAFFIC_PORT", kTrafficPort); }
std::uint16_t lf_qnhPort() { return lf_portFromEnvironment("SKYHAVEN_QNH_PORT", kQnhPort); }

std::int64_t lf_simSeconds() {
    const UserAcState user = gf_userAcState();
    return gf_simEpochSeconds(user.zuluTime, user.zuluDayOfYear, user.zuluYear).value_or(0);
}

void lf_copyUserPosToReader() {
    const UserAcState user = gf_userAcCopy();
    g_trafficReader.setUserPos(user.latitude, user.longitude);
}

bool lf_requestUserAircraft(const Clock& clock) {
    while (!simRunning.load() || simRequestFailed.load()) {
        if (gf_stopUnderWay()) return false;
        clock.sleepFor(kSimWaitStep);
    }
    bool failed = false;
    {
        const std::lock_guard lock(simQueueMutex);
        failed = SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_USER_ON_GROUND, DEFINITION_USER_ON_GROUND,
                                                   kScObjectIdUser, ScPeriod::Second, 0, 0, 0, 0) < 0;
    }
    if (failed) {
        gf_logWarning("SimConnect request ac gnd/air fails");
        gf_requestError();
    }
    // The first per-second answer tells the ground state once the position is known.
    while (!userOnGroundKnown.load() || !lf_userPositionKnown()) {
        gf_setUserAcCopy(gf_requestUserPosition());
        if (userOnGroundKnown.load() && lf_userPositionKnown()) break;
        clock.sleepFor(kUserWaitStep);
        if (gf_stopUnderWay()) return false;
    }
    gf_requestUserTitleModel();
    while (!lf_userPositionKnown()) {
        gf_setUserAcCopy(gf_requestUserPosition());
        clock.sleepFor(kPositionWaitStep);
        if (gf_stopUnderWay()) return false;
    }
    return true;
}

void lf_warnNoTraffic(const Clock& clock) {
    for (int i = 0; i < kTrafficWaitSteps; ++i) {
        if (std::trunc(g_trafficTime.load()) != 0.0 || gf_stopUnderWay()) return;
        clock.sleepFor(kTrafficWaitStep);
    }
    if (std::trunc(g_trafficTime.load()) == 0.0) gf_logRaw("No traffic in this region?");
}

void lf_runSession(const Clock& clock) {
    auto& board = g_mainWindowState;
    gf_setBoard(board.realTrafficConnected, false);
    gf_setBoard(board.simConnectConnected, false);

    seam::gf_reserveTrafficContainers();
    seam::gf_initInUseTitles();
    gf_initQueues(static_cast<std::uint32_t>(P3D_VERSION.value.load()));
    platform::invalidateMainWindow();

    if (g_simClientJThread.joinable()) {
        g_simClientJThread.request_stop();
        g_simClientJThread.join();
    }
    g_simClientJThread = std::jthread(gf_simClientThread);

    if (!lf_requestUserAircraft(clock)) return;
    lf_copyUserPosToReader();
    if (AUTO_RANGE.value.load()) {
        gf_switchAutoRange(true);
        gf_enableControl(RANGE, false);
    }

    const bool aerowinx = AEROWINX.value.load();
    if (g_rtOnThisPc.load() && !aerowinx) {
        lf_listenTcp(PORT_NUMBER.value.get());
    } else {
        gf_setBoard(board.realTrafficConnected, true);
    }
    if (gf_stopUnderWay()) return;
    gf_setBoard(board.realTrafficIdle, false);
    if (!aerowinx) {
        lf_waitForRealTraffic();
        if (g_rtProfessional.load()) gf_sendQs123(lf_simSeconds());
    } else {
        g_rtProfessional = false;
    }
    if (gf_stopUnderWay()) return;

    gf_setTrafficAccepted(false);
    g_queuedAtReaderStart = g_trafficSamplesQueued.load();
    gf_startQnhReader(lf_qnhPort());
    clock.sleepFor(kReaderGap);
    if (gf_stopUnderWay()) return;
    gf_startTrafficReader(lf_trafficPort());
    gf_sendUserPosition();
    lf_warnNoTraffic(clock);
    g_weekSlot = gf_weekdayAndSlot();
    lf_mainLoop(clock);
}

}  // namespace skh
