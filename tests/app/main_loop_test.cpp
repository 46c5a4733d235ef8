#include "app/main_loop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/run_state.hpp"
#include "app/ui_requests.hpp"
#include "app_fixture.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/simconnect.hpp"
#include "traffic/park_airports.hpp"

namespace skh {
namespace {

// The main loop's thread with a simulator connection that only queues what
// it sends.
class MainLoop : public test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        gf_initQueues(5);
        m_handle = gf_scOpenUnattached();
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = m_handle;
    }
    void TearDown() override {
        g_parkAirports.clear();
        gf_resetSimClient();
        SimConnect_Close(m_handle);
        platform::destroyAllControls();
        AppTest::TearDown();
    }
    HANDLE m_handle = nullptr;
};

int countOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(MainLoop, PauseAndResume) {
    simRunning = true;
    gf_setTrafficAccepted(true);
    EXPECT_TRUE(lf_simTick());
    const std::uint32_t tick = trafficTick.load();

    // The flight stops: logged once, intake closed, position buffers emptied.
    simRunning = false;
    positionBuffers.back.resize(3);
    positionBuffers.front.resize(2);
    for (int i = 0; i < 250; ++i) EXPECT_TRUE(lf_simTick());
    EXPECT_EQ(countOf(m_log.text(), " Flight not running\n"), 1);
    EXPECT_TRUE(positionBuffers.back.empty());
    EXPECT_TRUE(positionBuffers.front.empty());
    EXPECT_FALSE(gf_pushTrafficSample(TrafficSample{}));
    EXPECT_EQ(trafficTick.load(), tick);  // no traffic step while paused

    // The next per-second data resumes it, once.
    simRunning = true;
    g_userDataReady = true;
    EXPECT_TRUE(lf_simTick());
    EXPECT_TRUE(lf_simTick());
    EXPECT_EQ(countOf(m_log.text(), " Flight resumed\n"), 1);
    EXPECT_TRUE(gf_pushTrafficSample(TrafficSample{}));
    EXPECT_EQ(g_secondTick, 1);
    EXPECT_FALSE(g_userDataReady.load());

    // A stop ends the loop at the next poll.
    gf_requestClose();
    EXPECT_FALSE(lf_simTick());
}

TEST_F(MainLoop, AutomaticRange) {
    struct Case {
        const char* label;
        bool onGround;
        double altitude;
        double parkNm;  // < 0: no park airport
        std::int32_t range;
    };
    const Case cases[] = {
        {"on the ground", true, 1400, 20, 10},
        {"above AR_ABOVE_HEIGHT", false, 49000, 20, 100},
        {"above AIRP_HEIGHT", false, 20000, 20, 40},
        {"20 nm out", false, 3000, 20, 25},
        {"5 nm out", false, 3000, 5, 10},
        {"36.4 nm out", false, 3000, 36.4, 40},
        {"40 nm out", false, 3000, 40, 40},
        {"no park airport", false, 3000, -1, 40},
    };
    AR_ABOVE_HEIGHT.value = 48000;
    AIRP_HEIGHT.value = 18000;
    gf_keepManualRange();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        userOnGround = c.onGround;
        UserAcState user;
        user.latitude = 47.0;
        user.longitude = 8.0;
        user.altitude = c.altitude;
        gf_setUserAcCopy(user);
        g_parkAirports.clear();
        if (c.parkNm >= 0) {
            const GeoPos p = gf_destinationPoint(GeoPos{47.0, 8.0}, 0.0, c.parkNm * 6076.11549);
            g_parkAirports.push_back(ParkAirportEntry{"LSZH", "", p.lat, p.lon, c.parkNm});
        }
        RANGE.value = 2;
        gf_updateAutoRange();
        EXPECT_EQ(RANGE.value.load(), c.range);
        EXPECT_DOUBLE_EQ(g_rangeNm.load(), c.range);
    }
}

TEST_F(MainLoop, WindowRequestsAreDoneOnTheLoopsThread) {
    // The handlers post from the UI thread; the loop takes the latest of each kind.
    RANGE.value = 65;
    std::thread ui([] {
        gf_requestMaxLive(25);
        gf_requestMaxLive(50);
        gf_requestDestination("EDDF", GeoPos{50.03, 8.57});
        gf_keepManualRange();  // as the AUTO_RANGE check box does
        gf_requestAutoRange(true);
    });
    ui.join();
    userOnGround = true;
    lf_handleUiRequests();
    EXPECT_EQ(g_maxLiveAtStart, 50u);
    EXPECT_EQ(DESTINATION.value.get(), "EDDF");
    EXPECT_EQ(storedValue("DESTINATION"), "EDDF");
    EXPECT_EQ(gf_statusText(), "New destination: EDDF");
    EXPECT_EQ(RANGE.value.load(), 10);
    EXPECT_EQ(g_manualRange, 65);

    // The next airport's learned file switches it on again while it is on:
    // the range kept is still the user's, not the automatic one in force.
    gf_learnedAutoRange(true);
    EXPECT_EQ(RANGE.value.load(), 10);
    EXPECT_EQ(g_manualRange, 65);
    EXPECT_EQ(gf_userRange(), 65);

    // Switched off: the range chosen by hand comes back; nothing else repeats.
    gf_clearStatusMessage();
    gf_restoreManualRange();
    gf_requestAutoRange(false);
    lf_handleUiRequests();
    EXPECT_EQ(RANGE.value.load(), 65);
    EXPECT_EQ(gf_statusText(), "");
    lf_handleUiRequests();
    EXPECT_EQ(RANGE.value.load(), 65);
}

using MainLoopThreaded = MainLoop;

// The user ticks and unticks AUTO_RANGE while the main loop updates the
// automatic range: once unticked, the range the user chose stays, whatever
// the update was doing at that moment. An automatic value left behind would
// be kept as the user's range at the next tick, so one shows at the end.
TEST_F(MainLoopThreaded, AutoRangeTickedAndUntickedWhileTheLoopUpdatesIt) {
    RANGE.hwnd = platform::createControl(platform::ControlKind::ComboBox, RANGE.controlId, u"", 0, 0, 50, 12);
    RANGE.value = 25;
    userOnGround = true;  // the automatic range: 10 nm
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> updates{0};
    std::thread loop([&] {
        while (!stop.load()) {
            lf_handleUiRequests();
            gf_updateAutoRange();
            ++updates;
        }
    });
    // As the AUTO_RANGE check box does.
    const auto tick = [] {
        gf_keepManualRange();
        gf_requestAutoRange(true);
    };
    const auto untick = [] {
        gf_restoreManualRange();
        gf_requestAutoRange(false);
    };
    // The first tick waits for the loop: the automatic range is in force.
    tick();
    const bool automatic = test::waitUntil([] { return RANGE.value.load() == 10; });
    untick();
    for (int i = 1; i < 2000; ++i) {
        tick();
        untick();
    }
    // Whatever update was under way at the last untick has ended.
    const std::uint64_t after = updates.load() + 2;
    const bool updated = test::waitUntil([&] { return updates.load() >= after; });
    stop = true;
    loop.join();
    EXPECT_TRUE(automatic);
    EXPECT_TRUE(updated);
    EXPECT_EQ(RANGE.value.load(), 25);
    EXPECT_EQ(g_manualRange.load(), 25);
    RANGE.hwnd = 0;
}

TEST_F(MainLoop, BusyStateIsAFlag) {
    for (UiControl* c : {static_cast<UiControl*>(&parking_percentage), static_cast<UiControl*>(&WEEK),
                         static_cast<UiControl*>(&g_flushStaticButton)}) {
        c->hwnd = platform::createControl(platform::ControlKind::CheckBox, c->controlId, u"", 0, 0, 12, 12);
    }
    const auto enabled = [](const UiControl& c) {
        platform::ControlState s;
        return platform::controlState(c.hwnd.load(), s) && s.enabled;
    };
    gf_setStatusMessage("working", false);
    gf_setBusy();
    gf_setBusy();
    EXPECT_FALSE(enabled(WEEK));
    EXPECT_FALSE(enabled(g_flushStaticButton));
    EXPECT_TRUE(g_mainWindowState.parkingBusy.load());
    EXPECT_EQ(gf_statusText(), "");
    gf_clearBusy();
    EXPECT_TRUE(enabled(WEEK));
    EXPECT_TRUE(enabled(parking_percentage));
    EXPECT_FALSE(g_mainWindowState.parkingBusy.load());
    EXPECT_EQ(g_mainWindowState.nextRenewalMinutes.load(), 19);
    for (UiControl* c : {static_cast<UiControl*>(&parking_percentage), static_cast<UiControl*>(&WEEK),
                         static_cast<UiControl*>(&g_flushStaticButton)}) {
        c->hwnd = 0;
    }
}

TEST_F(MainLoop, PeriodicSummariesAndRenewal) {
    // Second 900: the minutes to the next 20-minute mark for the board.
    g_secondTick = 900;
    lf_periodicSummaries(secondActions(900));
    EXPECT_EQ(g_mainWindowState.nextRenewalMinutes.load(), 5);

    // A requested renewal runs in two phases, 15 s apart.
    g_renewalRequested = true;
    lf_periodicSummaries(secondActions(915));
    EXPECT_TRUE(g_renewalPending);
    EXPECT_TRUE(g_mainWindowState.parkingBusy.load());
    gf_setErrorMessage("old error");
    lf_periodicSummaries(secondActions(930));
    EXPECT_FALSE(g_renewalPending);
    EXPECT_FALSE(g_renewalRequested.load());
    EXPECT_EQ(gf_errorText(), "");
    gf_clearBusy();

    // Once a day the second counter starts again.
    g_secondTick = 86400;
    lf_periodicSummaries(secondActions(86400));
    EXPECT_EQ(g_secondTick, 0);
}

}  // namespace
}  // namespace skh
