#include "app/main_loop.hpp"

#include <cmath>
#include <gsl/narrow>
#include <initializer_list>
#include <mutex>

#include "airports/airport.hpp"
#include "app/run.hpp"
#include "app/run_state.hpp"
#include "app/startup.hpp"
#include "app/traffic_seam.hpp"
#include "app/ui_requests.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/clock.hpp"
#include "platform/window.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh {

std::atomic<std::int32_t> g_manualRange{40};

namespace {

// The switch between the user's range and the automatic one. The window's
// handlers make it at once on the UI thread; the main loop and the run's
// start set the automatic range only while it is in force. Taken after
// g_settingsMutex (a settings save asks for the user's range), never before.
std::mutex g_rangeMutex;
bool g_autoRangeInForce = false;  // guarded by g_rangeMutex; g_manualRange then holds the user's range

constexpr std::int32_t kPausePolls = 100;
std::int32_t g_pauseCounter = kPausePolls;

bool lf_userDataReady() { return g_userDataReady.load(); }

// The ten controls of the static parking, greyed while it is calculated.
void lf_enableParkingControls(bool enabled) {
    for (const UiControl* c : std::initializer_list<const UiControl*>{
             &parking_percentage, &MAX_PARK_SEL, &MAX_LIVE_SEL, &MAX_FIT_FL, &INITIAL_LOAD_ONLY, &PARK_FAKE, &PARK_SOFT,
             &WEEK, &g_flushStaticButton, &g_reReadButton}) {
        gf_enableControl(*c, enabled);
    }
}

void lf_showRange(std::int32_t before) {
    if (RANGE.value.load() != before) gf_showIntParameter(RANGE);
}

}  // namespace

void gf_setBusy() {
    g_mainWindowState.parkingBusy.exchange(true);
    lf_enableParkingControls(false);
    gf_clearStatusMessage();
    platform::invalidateMainWindow();
}

void gf_clearBusy() {
    g_mainWindowState.parkingBusy.exchange(false);
    gf_setBoard(g_mainWindowState.nextRenewalMinutes, 19);
    lf_enableParkingControls(true);
    gf_clearStatusMessage();
    platform::invalidateMainWindow();
}

void lf_updateCountsIfChanged() {
    auto& board = g_mainWindowState;
    const std::uint64_t parkedLive = seam::gf_avgLiveParkTime(true);
    const std::uint64_t live = seam::gf_activeLiveCount();
    gf_setBoard(board.liveCount, live);
    const std::uint64_t statics = seam::gf_avgStaticParkTime(true);
    if (statics != board.parkedStaticCount.load() || parkedLive != board.parkedLiveCount.load()) {
        board.parkedStaticCount = statics;
        board.parkedLiveCount = parkedLive;
        platform::invalidateMainWindow();
    }
}

void gf_updateAutoRange() {
    const UserAcState user = gf_userAcCopy();
    std::int32_t nm = 40;
    if (userOnGround.load()) {
        nm = 10;
    } else if (user.altitude > AR_ABOVE_HEIGHT.value.load()) {
        nm = 100;
    } else if (user.altitude > AIRP_HEIGHT.value.load()) {
        nm = 40;
    } else {
        GeoPos park;
        const double d =
            seam::gf_firstParkAirport(park) ? gf_distanceNm(GeoPos{user.latitude, user.longitude}, park) : 10000.0;
        if (d <= 7.0) {
            nm = 10;
        } else if (d < 37.0) {
            nm = lf_snapRangeStep(gsl::narrow<std::int32_t>(std::round(d)) + 3);
        }
    }
    const std::lock_guard lock(g_rangeMutex);
    // Switched off meanwhile: the user's range stays.
    if (!g_autoRangeInForce) return;
    const std::int32_t before = RANGE.value.load();
    gf_setRangeSelection(nm);
    lf_showRange(before);
}

void gf_keepManualRange() {
    const std::lock_guard lock(g_rangeMutex);
    // Already in force: RANGE is an automatic value by now.
    if (g_autoRangeInForce) return;
    g_manualRange = RANGE.value.load();
    g_autoRangeInForce = true;
}

void gf_restoreManualRange() {
    const std::lock_guard lock(g_rangeMutex);
    // Never in force (switched off before the run set it): RANGE is the user's.
    if (!g_autoRangeInForce) return;
    g_autoRangeInForce = false;
    gf_setRangeSelection(g_manualRange.load());
    gf_showIntParameter(RANGE);
}

std::int32_t gf_userRange() {
    const std::lock_guard lock(g_rangeMutex);
    return g_autoRangeInForce ? g_manualRange.load() : RANGE.value.load();
}

void lf_enableAfterReservedStand() {
    if (!g_rereadRequested.load() || g_mainWindowState.parkingBusy.load()) return;
    std::string message;
    if (seam::gf_checkParkAirports(true, message)) gf_setStatusMessage(message, true);
    gf_enableControl(g_reReadButton, true);
    gf_enableControl(DESTINATION, true);
    g_rereadRequested = false;
}

void lf_handleUiRequests() {
    const UiRequests r = gf_takeUiRequests();
    if (!r.any()) return;
    if (r.navLights) seam::gf_setParkedNavLights(r.navLightsOn);
    if (r.maxLive) {
        if (!seam::gf_parkAirportLoaded()) {
            g_maxLiveAtStart = static_cast<std::uint32_t>(std::max(r.maxLiveValue, 0));
        } else {
            seam::gf_markApfParamsChanged();
        }
        seam::gf_limitLiveCount();
    }
    if (r.destination) lf_setDestination(r.destinationCode, r.destinationPos);
    if (r.refreshAcList) seam::gf_refreshAcList();
    if (r.autoRange) {
        seam::gf_markApfParamsChanged();
        // The check box has switched it already; the automatic value needs this thread's data.
        if (r.autoRangeOn) gf_updateAutoRange();
    }
}

void gf_switchAutoRange(bool on) {
    if (on) {
        gf_keepManualRange();
        gf_updateAutoRange();
    } else {
        gf_restoreManualRange();
    }
}

void gf_learnedAutoRange(bool on) {
    gf_switchAutoRange(on);
    gf_enableControl(RANGE, !on);
    gf_enableControl(AR_ABOVE_HEIGHT, on);
    if (!on) gf_clearStatusMessage();
}

void lf_handleFlightNotRunning() {
    if (!g_flightPaused) {
        gf_setTrafficAccepted(false);
        g_flightPaused = true;
        g_pauseCounter = kPausePolls;
        {
            const std::lock_guard lock(simQueueMutex);
            positionBuffers.back.clear();
            positionBuffers.front.clear();
        }
        gf_log(skh::format("{} Flight not running", gf_utcTimeOfDay()));
    }
    seam::lf_processSimEvents();
    // Once a second (100 polls) while paused.
    if (--g_pauseCounter < 1) {
        g_pauseCounter = kPausePolls;
        lf_enableAfterReservedStand();
        gf_sendUserPosition();
        lf_updateCountsIfChanged();
        g_weekSlot = gf_weekdayAndSlot();
    }
}

void lf_secondTick() {
    if (g_flightPaused) {
        g_flightPaused = false;
        gf_log(skh::format("{} Flight resumed", gf_utcTimeOfDay()));
        gf_setTrafficAccepted(true);
    }
    gf_ageStatusMessage();
    lf_updateCountsIfChanged();
    g_weekSlot = gf_weekdayAndSlot();
    ++g_secondTick;

    seam::gf_handleNewArrival(g_weekSlot.load());
    if (g_flushStaticRequested.load()) {
        seam::gf_removeAllStaticAc();
        g_flushStaticRequested = false;
        if (!INITIAL_LOAD_ONLY.value.load()) {
            INITIAL_LOAD_ONLY.value = true;  // for this run only: not saved
            gf_showBoolParameter(INITIAL_LOAD_ONLY);
        }
    }
    if (g_listNamesRequested.load()) {
        gf_setBoard(g_mainWindowState.selectedAcText, std::string());
        seam::gf_listLiveAcNames();
        g_listNamesRequested = false;
    }
    seam::gf_avoidUserCollision();
    if (COLLISION_LIVE_PARKED_GND.value.load()) seam::gf_avoidStaticCollisions();
    if (g_blockRequested.load()) {
        const std::string callsign = BLOCK_CALLSIGN.value.get();
        if (!callsign.empty()) seam::gf_removeBlockedLiveAc(callsign);
        g_blockRequested = false;
    }
}

void lf_periodicSummaries(const SecondActions& a) {
    const std::int32_t t = g_secondTick;
    if (g_renewalRequested.load()) {
        if (!g_renewalPending) {
            g_renewalPending = true;
            gf_setBusy();
            seam::gf_restartStaticParking();
        } else {
            g_renewalPending = false;
            gf_clearErrorMessage();
            if (!gf_parkAirport().icao.empty()) seam::gf_parkingAdjustments();
            g_renewalRequested = false;
        }
    }
    const auto& board = g_mainWindowState;
    if (board.trafficLamp.load() == LampStale || board.weatherLamp.load() == LampStale) gf_checkReaderActivity();
    if (a.autoRange && AUTO_RANGE.value.load()) gf_updateAutoRange();
    if (a.nextRenewal) {
        const std::int32_t m = t / 60;
        gf_setBoard(g_mainWindowState.nextRenewalMinutes, (m / 20 + 1) * 20 - m);
    }
    if (a.renewal) {
        seam::gf_logNoMatch();
        if (seam::gf_parkAirportLoaded() && !INITIAL_LOAD_ONLY.value.load() && !g_renewalRequested.load()) {
            g_renewalRequested = true;
        }
    }
    if (a.daily) {
        g_secondTick = 0;
        seam::gf_logMatchingSummary();
        seam::gf_clearMatchingStatistics();
    }
}

bool lf_simTick() {
    // The run ends at the next poll, also when no per-second data comes.
    if (gf_stopUnderWay()) return false;
    lf_handleUiRequests();
    seam::gf_userStandWork();
    if (!simRunning.load() || simRequestFailed.load()) {
        lf_handleFlightNotRunning();
        return !gf_stopUnderWay();
    }
    seam::lf_handleAddingStack();
    bool ready = true;
    if (g_userDataReady.compare_exchange_strong(ready, false)) {
        lf_secondTick();
        if (gf_stopUnderWay()) return false;
        const SecondActions a = secondActions(g_secondTick);
        if (a.quarterMinute) {
            if (g_rtProfessional.load()) gf_sendQs123(lf_simSeconds());
            lf_copyUserPosToReader();
            seam::gf_clearReservedStand();
            lf_enableAfterReservedStand();
            lf_periodicSummaries(a);
        } else {
            if (a.staticParking && !g_renewalPending) seam::gf_handleStaticParking(false);
            if (a.readerCheck) gf_checkReaderActivity();
            if (a.duplicateStatic) seam::gf_removeDuplicateStatic();
        }
    }
    return true;
}

void lf_mainLoop(const Clock& clock) {
    seam::gf_handleStaticParking(true);
    gf_checkReaderActivity();
    g_secondTick = 0;
    PollPacer pacer(clock);
    pacer.start();
    g_weekSlot = gf_weekdayAndSlot();
    gf_setTrafficAccepted(true);
    gf_fillCallsignComboBox();
    gf_enableControl(g_callsignToObjectIdButton, true);
    [[maybe_unused]] const platform::TimerResolutionGuard timerResolution;
    bool go = lf_simTick();
    while (go) {
        pacer.waitForNextPoll(lf_userDataReady);
        go = lf_simTick();
    }
}

}  // namespace skh
