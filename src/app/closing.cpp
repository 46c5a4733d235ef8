#include "app/closing.hpp"

#include "airports/airport.hpp"
#include "app/app_state.hpp"
#include "app/main_loop.hpp"
#include "app/run_state.hpp"
#include "app/traffic_seam.hpp"
#include "app/ui_requests.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/text.hpp"
#include "foundation/upcalls.hpp"
#include "simclient/sim_state.hpp"

namespace skh {

namespace {

constexpr Millis kCloseWaitStep{500};
constexpr std::chrono::seconds kNewFlightWait{10};

// Lines of the closing step go straight to the log: the ordinary writer is
// silent while a stop flag is set, which it always is here.
void lf_statusAndLog(const std::string& text) {
    gf_setStatusMessage(text, false);
    gf_logRaw(text);
}

bool lf_restartReason(AppState state) {
    return state == AppState::NewSettings || state == AppState::SimConnectError || state == AppState::ReaderError;
}

void lf_switchScansOff() {
    for (BoolUiParameter* scan : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
        scan->value = false;
        gf_saveBoolParameter(*scan);
        gf_showBoolParameter(*scan);
    }
}

void lf_emptyAndSave(StringUiParameter& p) {
    p.value.set(std::string());
    gf_saveStringParameter(p);
    gf_showStringParameter(p);
}

}  // namespace

bool lf_stopRunThreads() {
    const bool readers = g_trafficReader.joinable() || g_qnhReader.joinable();
    gf_setTrafficAccepted(false);
    if (g_simClientJThread.joinable()) g_simClientJThread.request_stop();
    gf_stopReaders();
    if (g_simClientJThread.joinable()) g_simClientJThread.join();
    gf_joinReaders();
    return readers;
}

bool lf_restartCountdown(const Clock& clock) {
    const int n = g_restartDelay.load();
    if (n < 1) return !g_closeRequested.load();
    gf_logRaw(skh::format("Restarting after {} seconds\n\n\n\n\n", n));
    for (int i = n; i >= 1; --i) {
        if (g_closeRequested.load()) return false;
        gf_setStatusMessage(skh::format("Restarting after {} second{}", i, gf_plural32(i)), false);
        clock.sleepFor(std::chrono::seconds(1));
    }
    return !g_closeRequested.load();
}

ClosingOutcome lf_closingDown(const Clock& clock) {
    gf_logRaw(skh::format("Exiting: {}", gf_appStateName(g_appState.load())));
    if (lf_stopRunThreads()) {
        gf_logRaw(skh::format("{} traffic lines received, {} accepted", g_trafficReader.datagramCounter.load(),
                              g_trafficSamplesQueued.load() - g_queuedAtReaderStart));
    }
    gf_closeRealTrafficLink();
    // What the SimClient thread asked for at its end (the user's stand
    // reservation) is done now that it has ended, before anything is reset.
    seam::gf_userStandWork();

    if (g_appState.load() == AppState::SystemError) {
        // A typed install path (NEW SETTINGS) also ends the wait.
        while (!g_closeRequested.load() && g_appState.load() == AppState::SystemError) clock.sleepFor(kCloseWaitStep);
        if (g_closeRequested.load()) lf_statusAndLog(skh::format("User closed {}", PRODUCT_NAME));
    }

    if (!gf_parkAirport().icao.empty()) {
        seam::gf_saveLearnedParking();
        seam::gf_removeGroundTraffic();
    }
    seam::gf_removeFlightPlanFolder();
    lf_emptyAndSave(DESTINATION);
    lf_emptyAndSave(BLOCK_CALLSIGN);
    seam::gf_clearRunCallsigns();
    // Cleared once logged: the summary at the end of a run covers that run.
    seam::gf_logMatchingSummary();
    seam::gf_clearMatchingStatistics();
    seam::gf_logNoMatch();
    seam::gf_logTrafficCounts();

    const AppState state = g_appState.load();
    if (lf_restartReason(state) && !g_closeRequested.load()) {
        g_restartRequested = true;
        gf_clearErrorMessage();
        lf_statusAndLog("Prepare for a restart ...");
        if (state != AppState::NewSettings) lf_switchScansOff();
        if (lf_restartCountdown(clock)) {
            lf_resetSession();
            return ClosingOutcome::Restart;
        }
        // Closed during the countdown: quit, nothing to reset.
        g_restartRequested = false;
        return ClosingOutcome::Quit;
    }
    g_restartRequested = false;
    if (state == AppState::NewFlight) {
        lf_statusAndLog(skh::format("New flight detected, {} will close, please restart manually ...", PRODUCT_NAME));
        const SteadyTime until = clock.now() + kNewFlightWait;
        while (!g_closeRequested.load() && clock.now() < until) clock.sleepFor(kCloseWaitStep);
    }
    return ClosingOutcome::Quit;
}

void lf_resetSession() {
    g_qnh = kStandardQnh;
    g_qnhReader.lastQnh = kStandardQnh;
    lf_resetRealTrafficLink();
    g_rtProfessional = false;
    g_runStarting = true;
    seam::gf_clearStaticParkingWork();
    gf_resetSimClient();
    seam::gf_resetTraffic();
    gf_clearErrorMessage();
    gf_resetBoard();
    {
        const std::lock_guard lock(g_mainWindowState.statusMutex);
        g_mainWindowState.g_statusTick = 0;
    }
    gf_resetStopState();
    g_flightPaused = false;
    g_renewalRequested = false;
    g_renewalPending = false;
    g_blockRequested = false;
    g_flushStaticRequested = false;
    g_listNamesRequested = false;
    g_rereadRequested = false;
    g_secondTick = 0;
    gf_clearUiRequests();
    g_stockAirportsPath.clear();
    // The next run keeps what RANGE holds as the user's range: not the automatic one.
    gf_restoreManualRange();
    gf_setRangeSelection(RANGE.value.load());
}

}  // namespace skh
