#include "app/closing.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "airports/airport.hpp"
#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/stand_locations.hpp"
#include "app/app_state.hpp"
#include "app/run_state.hpp"
#include "app/traffic_seam.hpp"
#include "app_fixture.hpp"
#include "foundation/datasets.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text_files.hpp"
#include "foundation/upcalls.hpp"
#include "traffic/static_parking.hpp"
#include "traffic/static_plan.hpp"

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

TEST_F(Closing, AFlightPlanFolderThatCannotBeRemovedIsLogged) {
    // A name longer than any file system takes: the removal fails.
    g_flightPlanFolder = m_settings.path() / std::string(300, 'x');
    gf_requestClose();
    EXPECT_EQ(close(), ClosingOutcome::Quit);
    g_flightPlanFolder.clear();
    EXPECT_TRUE(m_log.contains("gf_removeFlightPlanFolder: File name too long\n")) << m_log.text();
}

// Two park airports of one publisher, each with a learned file and its
// backup. The closing step writes a learned file only from stands loaded for
// that airport, and only when something is to be saved.
class ClosingAtParkAirports : public Closing {
protected:
    test::ScopedEnv m_noServer{kDownloadUrlVariable, "http://127.0.0.1:9/"};
    const Airport m_zurich{"LSZH", "ZRH", 47.4647, 8.5492, 1416.0};
    const Airport m_bern{"LSZB", "BRN", 46.9141, 7.4971, 1674.0};

    void SetUp() override {
        Closing::SetUp();
        namespace fs = std::filesystem;
        const std::string meta =
            R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";
        for (const Airport* a : {&m_zurich, &m_bern}) {
            test::writeFile(g_myThirdpartyFolder / (a->icao + ".xml"),
                            "<?xml version=\"1.0\"?>" + meta + R"(<parameters><parameter name="airport_name" value=")" +
                                a->icao +
                                R"( Airport"/><parameter name="publisher" value="Maker"/>)"
                                R"(<parameter name="altitude" value="1500"/></parameters><parkpositions>)"
                                R"(<parkpos id="A1" latitude=")" +
                                std::to_string(a->lat) + R"(" longitude=")" + std::to_string(a->lon) +
                                R"(" radius="30"/></parkpositions>)");
            const fs::path learned = g_learnedThirdpartyFolder / "Maker" / (a->icao + ".xml");
            for (const auto& [path, hours] : {std::pair{learned, "20"}, std::pair{gf_backupPath(learned), "21"}}) {
                test::writeFile(path, "<?xml version=\"1.0\"?>" + meta +
                                          R"(<parameters><parameter name="airport_name" value=")" + a->icao +
                                          R"( Airport"/></parameters><parkpositions><parkpos id="A1"><opt reg="HB-J)" +
                                          a->icao + R"(" day="1" hh=")" + hours + R"("/></parkpos></parkpositions>)");
            }
        }
    }
    void TearDown() override {
        g_parkAirportLoaded = false;
        g_apfParamsChanged = false;
        g_learnSoftSwitchedOff = false;
        gf_clearParkAirport();
        gf_resetLearnedMerge();
        gf_clearStockProbes();
        Closing::TearDown();
    }
    // Every learned file and backup with its bytes.
    static std::map<std::string, std::string> learnedFiles() {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(g_learnedFolder)) {
            if (e.is_regular_file()) files[e.path().string()] = test::readFile(e.path());
        }
        return files;
    }
    void load(const Airport& airport) {
        gf_setParkAirport(airport);
        ASSERT_EQ(lf_readParkedFile(), "");
        ASSERT_TRUE(g_parkAirportLoaded.load());
    }
};

TEST_F(ClosingAtParkAirports, OnlyLoadedStandsWithSomethingNewAreSaved) {
    const auto before = learnedFiles();
    ASSERT_EQ(before.size(), 4u);
    struct Case {
        const char* label;
        std::function<void()> run;  // what happens before the close
    };
    const Case untouched[] = {
        {"closed before the park airport was loaded", [this] { gf_setParkAirport(m_zurich); }},
        {"closed with the stands loaded and nothing new", [this] { load(m_zurich); }},
        {"closed after a change of park airport, before the new one was loaded",
         [this] {
             load(m_bern);
             seam::gf_removeGroundTraffic();  // out of sight: Bern is given up
             gf_setParkAirport(m_zurich);
         }},
    };
    for (const Case& c : untouched) {
        SCOPED_TRACE(c.label);
        c.run();
        gf_requestClose();
        EXPECT_EQ(close(), ClosingOutcome::Quit);
        EXPECT_EQ(learnedFiles(), before);
        EXPECT_TRUE(gf_parkAirport().icao.empty());
        lf_resetSession();
    }
    EXPECT_FALSE(m_log.contains("saved with")) << m_log.text();

    // A changed setting of the loaded airport is saved, once, and the line
    // reaches the log although the closing step writes it.
    load(m_zurich);
    seam::gf_markApfParamsChanged();
    gf_requestClose();
    EXPECT_EQ(close(), ClosingOutcome::Quit);
    const std::string saved =
        R"(airports\learned\thirdparty\Maker\LSZH.xml' saved with 0 updates and one or more parameter changes)";
    EXPECT_TRUE(m_log.contains(saved)) << m_log.text();
    EXPECT_EQ(m_log.text().find("saved with"), m_log.text().rfind("saved with"));
    auto after = learnedFiles();
    const std::string zurich = (g_learnedThirdpartyFolder / "Maker" / "LSZH.xml").string();
    const std::string zurichBackup = gf_backupPath(zurich).string();
    EXPECT_EQ(after[zurichBackup], before.at(zurich));
    EXPECT_NE(after[zurich].find(R"(reg="HB-JLSZH")"), std::string::npos) << after[zurich];
    after.erase(zurich);
    after.erase(zurichBackup);
    auto others = before;
    others.erase(zurich);
    others.erase(zurichBackup);
    EXPECT_EQ(after, others);
}

}  // namespace
}  // namespace skh
