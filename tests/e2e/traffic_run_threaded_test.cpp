// A whole run in this process with live traffic: the start-up worker, the
// run and its main loop on a clock twenty times faster than real time, the
// SimClient thread against the fake simulator and the readers fed by the
// fake RealTraffic. A flight from the feed becomes an AI aircraft with its
// livery, is adopted, moves, and is removed when its stream ends.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "aircraft/dbase.hpp"
#include "airports/airport_list.hpp"
#include "app/app_state.hpp"
#include "app/closing.hpp"
#include "app/run_state.hpp"
#include "app/startup.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/parameter_table.hpp"
#include "support/dataset_builder.hpp"
#include "support/fake_clock.hpp"
#include "support/fake_realtraffic.hpp"
#include "support/fake_simulator.hpp"
#include "support/libraries.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double kUserLat = 47.4647;
constexpr double kUserLon = 8.5492;

class TrafficRunThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        test::initLibraries();
        m_savedSettingsPath = g_parametersXmlPath;
        g_parametersXmlPath = (m_settings.path() / "parameters.xml").string();
        test::writeFile(g_parametersXmlPath, R"(<?xml version="1.0"?>
<parameters>
  <parameter name="SIM_INSTALL_PATH" value="D:\Prepar3D v5"/>
  <parameter name="PORT_NUMBER" value="0"/>
  <parameter name="SCAN_LIVERIES" value="false"/>
  <parameter name="SCAN_AIRPORTS" value="false"/>
  <parameter name="AUTO_RANGE" value="false"/>
  <parameter name="RANGE" value="40"/>
</parameters>
)");
        const fs::path program = m_env.folder(test::ScTestEnv::Folder::Current);
        fs::create_directories(program / "docs");
        test::packDataSet(
            R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.5492" alt="1416"/></airports>)",
            program / g_airportsEnc.string());
        test::writeFile(m_world / "appdata" / "InsideSystems" / "RealTraffic.jar", "");
        test::writeFile(program / g_liveriesScannedXml.string(),
                        R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss" atcid="HB-JLT"/>
<liv airl="DLH" type="A320" title="Airbus A320 Lufthansa" atcid="D-AIPA"/></liveries>)");
        // The aircraft database is read once per process; this one knows the A320.
        gf_clearDbase();
        g_knownTypes.insert("A320");
        g_largeTypes.insert("A320");
        g_icaoAirlines.insert("SWR");
        m_env.pointAtIpv4(m_sim);
        m_sim.placeUser(kUserLat, kUserLon, 6000.0, 90.0, 200.0);
        m_sim.startFrames(30.0);
        gf_setRunClock(m_clock.clock());
        gf_forgetAirportsForTest();
        g_startupDone = true;
        g_restartRequested = false;
        lf_resetSession();
        g_trafficReader.setUserPos(0.0, 0.0);
        g_rtAcceptSliceMs = 100;
        m_ticker = std::thread([this] {
            // A simulated second every 50 ms, as the faster clock has it.
            while (!m_stopTicker.load()) {
                m_sim.tickSecond();
                std::this_thread::sleep_for(50ms);
            }
        });
    }
    void TearDown() override {
        m_stopTicker = true;
        m_ticker.join();
        if (m_worker.joinable()) m_worker.join();
        m_rt.disconnect();
        m_sim.stop();
        lf_resetSession();
        gf_clearStatusMessage();
        g_restartRequested = false;
        g_rtOnThisPc = false;
        g_rtAcceptSliceMs = 1000;
        gf_forgetAirportsForTest();
        gf_clearDbase();
        gf_setRunClock(gf_steadyClock());
        g_parametersXmlPath = m_savedSettingsPath;
    }

    static bool eventually(const std::function<bool()>& condition, int timeoutMs = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    // One position of a flight east of the user, `n` reports along its way.
    static std::string flightLine(int n) {
        const GeoPos start = gf_destinationPoint({kUserLat, kUserLon}, 90.0 * DEG2RAD, 20.0 * 6076.11549);
        const GeoPos p = gf_destinationPoint(start, 0.0, n * 0.5 * 6076.11549);  // 0.5 nm a report
        return test::TrafficLineBuilder()
            .set(1, "4840100")
            .set(2, skh::format("{:.6f}", p.lat))
            .set(3, skh::format("{:.6f}", p.lon))
            .set(4, "12000")
            .set(5, "0")
            .set(7, "0.0")
            .set(8, "360")
            .set(9, "SWR123")
            .set(10, "A320")
            .set(11, "HB-JLT")
            .set(14, skh::format("{}", 1700000000 + 5 * n))
            .set(20, "360")
            .set(25, "0.1")
            .text();
    }

    test::TempDir m_settings;
    test::TempDir m_world;
    test::ScTestEnv m_env;
    test::ScopedLog m_log;
    test::ScopedEnv m_appData{"APPDATA", (m_world / "appdata").string()};
    test::ScopedEnv m_site{"SKYHAVEN_DOWNLOAD_URL", std::string("http://127.0.0.1:9/")};
    test::ScopedEnv m_trafficPort{"SKYHAVEN_TRAFFIC_PORT", std::string("0")};
    test::ScopedEnv m_qnhPort{"SKYHAVEN_QNH_PORT", std::string("0")};
    test::FakeSimulator m_sim;
    test::FakeRealTraffic m_rt;
    test::FastClock m_clock{20.0};
    std::string m_savedSettingsPath;
    std::thread m_ticker;
    std::atomic<bool> m_stopTicker{false};
    std::thread m_worker;
    ClosingOutcome m_outcome = ClosingOutcome::Restart;
};

TEST_F(TrafficRunThreaded, AFlightIsCreatedWithItsLiveryMovedAndRemovedWhenItsStreamEnds) {
    m_worker = std::thread([this] { m_outcome = lf_startupThread(); });
    ASSERT_TRUE(eventually([] { return gf_rtListenPort() != 0; }));
    m_rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
    ASSERT_TRUE(eventually([] { return g_trafficReader.boundPort.load() != 0; }));
    const auto port = static_cast<std::uint16_t>(g_trafficReader.boundPort.load());

    // Twelve reports, a little apart in polls as they would come.
    for (int n = 0; n < 12; ++n) {
        ASSERT_TRUE(m_rt.sendDatagram(port, flightLine(n)));
        std::this_thread::sleep_for(20ms);
    }
    // Created with its livery and callsign, adopted and positioned.
    ASSERT_TRUE(m_sim.waitForRequests(ScRequestId::AICreateNonATCAircraft, 1, 20000ms));
    const auto creation = m_sim.requestsOf(ScRequestId::AICreateNonATCAircraft).at(0);
    EXPECT_EQ(creation.texts.at(0), "Airbus A320 Swiss");
    EXPECT_EQ(creation.texts.at(1), "SWR123");
    ASSERT_TRUE(eventually([this] { return !m_sim.lastPositions().empty(); }));
    const std::uint32_t objectId = m_sim.lastPositions().begin()->first;
    ASSERT_TRUE(eventually([&] { return m_sim.object(objectId) && m_sim.object(objectId)->releases > 0; }));
    const double firstLat = m_sim.lastPositions().at(objectId).latitude;
    ASSERT_TRUE(eventually([&] { return m_sim.lastPositions().at(objectId).latitude > firstLat + 0.01; }));
    // Its first events after the activation.
    ASSERT_TRUE(eventually([&] {
        for (const auto& e : m_sim.clientEventLog())
            if (e.objectId == objectId && e.event == "ENGINE_AUTO_START") return true;
        return false;
    }));

    // The stream ends: the aircraft goes (after its predicted steps).
    ASSERT_TRUE(eventually([this] { return m_sim.counts().removedByClient == 1; }, 30000));
    EXPECT_EQ(m_sim.counts().liveObjects, 0u);

    gf_requestClose();
    m_worker.join();
    EXPECT_EQ(m_outcome, ClosingOutcome::Quit);
    EXPECT_TRUE(
        m_log.contains("aircraft 1 new, 1 created, 1 adopted, 1 active, 0 refused, 1 removals asked, 1 removed"))
        << m_log.text();
    EXPECT_TRUE(m_sim.protocolErrors().empty());
}

}  // namespace
}  // namespace skh
