#pragma once
// A whole run in this process: the start-up worker, the run, the main loop
// and the closing step on a clock that runs faster than real time, against
// the fake simulator and the fake RealTraffic, with the settings, data sets
// and liveries cache of a small program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "aircraft/liveries.hpp"
#include "aircraft/refused_liveries.hpp"
#include "airports/airport_list.hpp"
#include "app/app_state.hpp"
#include "app/closing.hpp"
#include "app/run_state.hpp"
#include "app/startup.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "foundation/constants.hpp"
#include "support/dataset_builder.hpp"
#include "support/fake_clock.hpp"
#include "support/fake_realtraffic.hpp"
#include "support/fake_simulator.hpp"
#include "support/libraries.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"

namespace skh::test {

// What a run starts with.
struct InProcessRunSetup {
    double clockFactor = 10.0;                  // how much faster than real time the run goes
    std::chrono::milliseconds secondEvery{20};  // real time between the simulator's seconds
    std::string settings;                       // further parameter lines
    std::string liveries =                      // the liveries cache
        R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss" atcid="HB-JLT"/></liveries>)";
};

class InProcessRun : public ::testing::Test {
protected:
    using Setup = InProcessRunSetup;

    explicit InProcessRun(Setup setup = {}) : m_setup(std::move(setup)), m_clock(m_setup.clockFactor) {}

    void SetUp() override {
        namespace fs = std::filesystem;
        initLibraries();
        m_savedSettingsPath = g_parametersXmlPath;
        g_parametersXmlPath = (m_settings.path() / "parameters.xml").string();
        writeFile(g_parametersXmlPath,
                  "<?xml version=\"1.0\"?>\n<parameters>\n"
                  "  <parameter name=\"SIM_INSTALL_PATH\" value=\"D:\\Prepar3D v5\"/>\n"
                  "  <parameter name=\"PORT_NUMBER\" value=\"0\"/>\n"
                  "  <parameter name=\"SCAN_LIVERIES\" value=\"false\"/>\n" +
                      m_setup.settings + "</parameters>\n");
        const fs::path program = m_env.folder(ScTestEnv::Folder::Current);
        fs::create_directories(program / "docs");
        packDataSet(R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.5492" alt="1416"/></airports>)",
                    program / g_airportsEnc.string());
        writeFile(m_world / "appdata" / "InsideSystems" / "RealTraffic.jar", "");
        writeFile(program / g_liveriesScannedXml.string(), m_setup.liveries);
        m_env.pointAtIpv4(m_sim);
        gf_setRunClock(m_clock.clock());
        gf_forgetAirportsForTest();
        g_startupDone = true;
        g_restartRequested = false;
        lf_resetSession();
        gf_clearRefusedLiveries();  // what a run refused stays refused for its process only
        // The index is built once per process; each run here reads its own cache.
        gf_clearLiveryIndex();
        g_trafficReader.setUserPos(0.0, 0.0);
        g_rtAcceptSliceMs = 100;
        m_ticker = std::thread([this] {
            while (!m_stopTicker.load()) {
                m_sim.tickSecond();
                std::this_thread::sleep_for(m_setup.secondEvery);
            }
        });
    }
    void TearDown() override {
        m_stopTicker = true;
        m_ticker.join();
        if (m_worker.joinable()) {
            gf_requestClose();  // a run that failed waits for the window to close
            m_worker.join();
        }
        m_rt.disconnect();
        m_sim.stop();
        lf_resetSession();
        gf_clearStatusMessage();
        g_restartRequested = false;
        g_rtOnThisPc = false;
        g_rtAcceptSliceMs = 1000;
        gf_forgetAirportsForTest();
        gf_setRunClock(gf_steadyClock());
        g_parametersXmlPath = m_savedSettingsPath;
    }

    // Starts a start-up worker, as the window does on its start message.
    void startWorker() {
        m_worker = std::thread([this] { m_outcome = lf_startupThread(); });
    }
    ClosingOutcome joinWorker() {
        m_worker.join();
        return m_outcome;
    }
    // RealTraffic connects once the run listens.
    void connectRealTraffic() {
        ASSERT_TRUE(waitUntil([] { return gf_rtListenPort() != 0; }));
        m_rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
    }
    // A sleep of about d (the clock moved on a little while it was asked).
    bool hasSleep(SteadyClock::duration d) const {
        const auto s = m_clock.sleeps();
        return std::any_of(s.begin(), s.end(), [d](auto x) { return x <= d && x > d - std::chrono::milliseconds(50); });
    }

    Setup m_setup;
    TempDir m_settings;
    TempDir m_world;
    ScTestEnv m_env;
    ScopedLog m_log;
    ScopedEnv m_appData{"APPDATA", (m_world / "appdata").string()};
    ScopedEnv m_site{"SKYHAVEN_DOWNLOAD_URL", std::string("http://127.0.0.1:9/")};
    ScopedEnv m_trafficPort{"SKYHAVEN_TRAFFIC_PORT", std::string("0")};
    ScopedEnv m_qnhPort{"SKYHAVEN_QNH_PORT", std::string("0")};
    FakeSimulator m_sim;
    FakeRealTraffic m_rt;
    FastClock m_clock;
    std::string m_savedSettingsPath;
    std::thread m_ticker;
    std::atomic<bool> m_stopTicker{false};
    std::thread m_worker;
    ClosingOutcome m_outcome = ClosingOutcome::Restart;
};

}  // namespace skh::test
