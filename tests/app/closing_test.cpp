#include "app/closing.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/app_state.hpp"
#include "app/run_state.hpp"
#include "app_fixture.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;

class Closing : public test::AppTest {
protected:
    // Runs the closing step, collecting the status line at every sleep.
    ClosingOutcome close() {
        m_clock.onSleep([this](std::size_t n) {
            m_statuses.push_back(gf_statusText());
            if (m_onSleep) m_onSleep(n);
        });
        return lf_closingDown(m_clock.clock());
    }
    std::vector<std::string> m_statuses;
    std::function<void(std::size_t)> m_onSleep;
};

std::vector<SteadyClock::duration> repeat(SteadyClock::duration d, int n) {
    return std::vector<SteadyClock::duration>(static_cast<std::size_t>(n), d);
}

TEST_F(Closing, EachReasonEndsAsItShould) {
    struct Case {
        const char* label;
        std::function<void()> stop;
        ClosingOutcome outcome;
        std::vector<SteadyClock::duration> sleeps;
        bool scansOff;
        const char* logged;
    };
    const Case cases[] = {
        {"1 quits", [] { gf_simNoLongerConnected(); }, ClosingOutcome::Quit, {}, false, "Exiting: SIM WAS CLOSED"},
        {"2 waits 10 s, quits", [] { gf_requestStop(AppState::NewFlight, 30); }, ClosingOutcome::Quit,
         repeat(500ms, 20), false, "New flight detected, Skyhaven_P3D will close, please restart manually ..."},
        {"3 restarts", [] { gf_requestNewSettings(3); }, ClosingOutcome::Restart, repeat(1s, 3), false,
         "Restarting after 3 seconds\n\n\n\n\n\n"},
        {"4 quits", [] { gf_requestClose(); }, ClosingOutcome::Quit, {}, false, "Exiting: USER CLOSED SIM"},
        {"5 counts 9", [] { gf_requestStop(AppState::SimConnectError, 9); }, ClosingOutcome::Restart, repeat(1s, 9),
         true, "Restarting after 9 seconds"},
        {"6 counts 15", [] { gf_showThreadStopped("Traffic Reader", "recv failed"); }, ClosingOutcome::Restart,
         repeat(1s, 15), true, "Prepare for a restart ..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        lf_resetSession();
        m_statuses.clear();
        for (BoolUiParameter* scan : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
            scan->value = true;
            gf_saveBoolParameter(*scan);
        }
        DESTINATION.value.set("EDDF");
        gf_saveStringParameter(DESTINATION);
        const auto before = m_clock.sleeps().size();
        c.stop();
        EXPECT_EQ(close(), c.outcome);
        const auto sleeps = m_clock.sleeps();
        EXPECT_EQ(std::vector<SteadyClock::duration>(sleeps.begin() + static_cast<long>(before), sleeps.end()),
                  c.sleeps);
        EXPECT_EQ(g_restartRequested.load(), c.outcome == ClosingOutcome::Restart);
        EXPECT_EQ(SCAN_LIVERIES.value.load(), !c.scansOff);
        EXPECT_EQ(storedValue("SCAN_AIRPORTS"), c.scansOff ? "false" : "true");
        EXPECT_EQ(storedValue("DESTINATION"), "");
        EXPECT_TRUE(m_log.contains(c.logged)) << m_log.text();
        if (c.outcome == ClosingOutcome::Restart) {
            // The restart starts from a fresh state.
            EXPECT_FALSE(g_stopRequested.load());
            EXPECT_EQ(g_appState.load(), AppState::NotYetSet);
            EXPECT_TRUE(g_runStarting.load());
        }
    }
}

TEST_F(Closing, CountdownTextsAndTheirPlural) {
    gf_requestStop(AppState::SimConnectError, 9);
    ASSERT_EQ(close(), ClosingOutcome::Restart);
    ASSERT_EQ(m_statuses.size(), 9u);
    EXPECT_EQ(m_statuses.front(), "Restarting after 9 seconds");
    EXPECT_EQ(m_statuses[7], "Restarting after 2 seconds");
    EXPECT_EQ(m_statuses.back(), "Restarting after 1 second");
}

TEST_F(Closing, CloseDuringTheCountdownQuitsWithoutReset) {
    gf_requestStop(AppState::ReaderError, 15);
    m_onSleep = [](std::size_t n) {
        if (n == 3) gf_requestClose();
    };
    EXPECT_EQ(close(), ClosingOutcome::Quit);
    EXPECT_EQ(m_clock.sleeps().size(), 3u);
    EXPECT_FALSE(g_restartRequested.load());
    EXPECT_TRUE(g_closeRequested.load());  // nothing was reset
    EXPECT_EQ(g_appState.load(), AppState::ReaderError);
}

TEST_F(Closing, SystemErrorWaitsForTheCloseButton) {
    gf_setErrorMessage("41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!");
    gf_setSystemError();
    m_onSleep = [](std::size_t n) {
        if (n == 4) gf_requestClose();
    };
    EXPECT_EQ(close(), ClosingOutcome::Quit);
    EXPECT_EQ(m_clock.sleeps(), repeat(500ms, 4));
    EXPECT_EQ(gf_errorText(), "41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!");
    EXPECT_TRUE(m_log.contains("Exiting: SYSTEM ERROR\n"));
    EXPECT_TRUE(m_log.contains("User closed Skyhaven_P3D\n"));
    EXPECT_EQ(g_appState.load(), AppState::SystemError);  // the close changed no reason
}

TEST_F(Closing, TypedInstallPathEndsTheErrorWaitAndRestarts) {
    gf_setErrorMessage("151: No P3D install path detected, type full Install Path above, and press Enter");
    gf_setSystemError();
    m_onSleep = [](std::size_t n) {
        if (n == 2) {
            EXPECT_TRUE(gf_requestNewSettings(3));
        }
    };
    EXPECT_EQ(close(), ClosingOutcome::Restart);
    std::vector<SteadyClock::duration> expected = repeat(500ms, 2);
    for (int i = 0; i < 3; ++i) expected.push_back(1s);
    EXPECT_EQ(m_clock.sleeps(), expected);
    EXPECT_EQ(gf_errorText(), "");
    EXPECT_FALSE(m_log.contains("User closed"));
}

TEST_F(Closing, FirstReasonWinsAcrossThreads) {
    // A reader that fails while a new-settings restart is under way changes
    // nothing: the scans stay on.
    EXPECT_TRUE(gf_requestNewSettings(2));
    gf_showThreadStopped("QNH Reader", "socket closed");
    EXPECT_FALSE(gf_requestStop(AppState::SimWasClosed, 0));
    EXPECT_EQ(g_appState.load(), AppState::NewSettings);
    EXPECT_EQ(g_restartDelay.load(), 2);
    EXPECT_EQ(close(), ClosingOutcome::Restart);
    EXPECT_TRUE(SCAN_LIVERIES.value.load());

    // The close button sets USER CLOSED SIM only when no reason is set; a
    // second click changes nothing.
    gf_requestStop(AppState::SimConnectError, 9);
    gf_requestClose();
    gf_requestClose();
    EXPECT_EQ(g_appState.load(), AppState::SimConnectError);
    EXPECT_TRUE(g_closeRequested.load());
    lf_resetSession();
    gf_requestClose();
    EXPECT_EQ(g_appState.load(), AppState::UserClosedSim);
    EXPECT_FALSE(gf_requestNewSettings(3));
}

}  // namespace
}  // namespace skh
