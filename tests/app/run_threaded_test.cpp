// Whole runs on this process's threads against the fake simulator and the
// fake RealTraffic: the start-up worker, the run, the main loop and the
// closing step, on a clock that runs ten times faster than real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "airports/airport_list.hpp"
#include "app/app_state.hpp"
#include "app/closing.hpp"
#include "app/run_state.hpp"
#include "app/startup.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/constants.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "simclient/sim_handlers.hpp"
#include "simclient/sim_state.hpp"
#include "support/dataset_builder.hpp"
#include "support/fake_clock.hpp"
#include "support/fake_realtraffic.hpp"
#include "support/fake_simulator.hpp"
#include "support/in_process_run.hpp"
#include "support/libraries.hpp"
#include "support/reserved_port.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A simulated second every 20 ms: the per-second work runs 50 times as often.
class AppRunThreaded : public test::InProcessRun {};

TEST_F(AppRunThreaded, StartsInOrderRunsAndClosesWithEveryThreadJoined) {
    std::atomic<bool> userKnownAtHandshake{false};
    m_rt.setReply(test::FakeRealTraffic::Reply::Level2, "9.1");
    m_rt.setLineCallback([&](const std::string& line) {
        if (line == "Qs999=version") {
            userKnownAtHandshake = userOnGroundKnown.load() && m_sim.clientCount() == 1;
        }
    });
    startWorker();
    connectRealTraffic();

    // The QNH Reader first, the Traffic Reader 2 s later.
    ASSERT_TRUE(test::waitUntil([] { return g_qnhReader.boundPort.load() != 0; }));
    EXPECT_EQ(g_trafficReader.boundPort.load(), 0);
    ASSERT_TRUE(test::waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
    EXPECT_TRUE(hasSleep(2s));

    // RealTraffic's first line ends the wait for traffic; the main loop polls.
    const auto port = static_cast<std::uint16_t>(g_trafficReader.boundPort.load());
    ASSERT_TRUE(m_rt.sendDatagram(port, test::TrafficLineBuilder().text()));
    const std::uint32_t tick = trafficTick.load();
    ASSERT_TRUE(test::waitUntil([&] { return trafficTick.load() > tick + 100; }));

    // A traffic line around the user aircraft: its position reached the reader.
    const auto before = g_trafficSamplesQueued.load();
    ASSERT_TRUE(m_rt.sendDatagram(port, test::TrafficLineBuilder().set(14, "1700000001.5").text()));
    ASSERT_TRUE(test::waitUntil([&] { return g_trafficSamplesQueued.load() > before; }));

    // The per-second work reaches second 15 and sends the time again.
    ASSERT_TRUE(m_rt.waitForLine("Qs123=", 20000, 2) > 0);

    gf_requestClose();
    EXPECT_EQ(joinWorker(), ClosingOutcome::Quit);
    EXPECT_TRUE(m_rt.waitClosed(20000));
    EXPECT_TRUE(m_sim.waitForDisconnect(20s));
    EXPECT_FALSE(g_simClientJThread.joinable());
    EXPECT_FALSE(g_qnhReader.joinable());
    EXPECT_FALSE(g_trafficReader.joinable());

    EXPECT_TRUE(userKnownAtHandshake.load());
    const auto lines = m_rt.lines();
    ASSERT_GE(lines.size(), 5u);
    const std::int64_t simMs = *gf_simEpochSeconds(43200, 152, 2024) * 1000;
    EXPECT_EQ(lines[0], "Qs999=version");
    EXPECT_EQ(lines[1], "Qs123=" + std::to_string(simMs));
    EXPECT_EQ(lines[2].rfind("Qs121=", 0), 0u) << lines[2];
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Qs123=" + std::to_string(simMs)), 2);
    EXPECT_EQ(lines.back(), "exit");
    EXPECT_TRUE(m_log.contains("Exiting: USER CLOSED SIM\n"));
    EXPECT_FALSE(m_log.contains("No traffic in this region?"));
}

TEST_F(AppRunThreaded, ReaderErrorRestartsOnTheSamePortsWithTheScansOff) {
    const test::ReservedPort reservedTraffic;
    const test::ReservedPort reservedQnh;
    const int trafficPort = reservedTraffic.number();
    const int qnhPort = reservedQnh.number();
    const test::ScopedEnv samePort("SKYHAVEN_TRAFFIC_PORT", std::to_string(trafficPort));
    const test::ScopedEnv sameQnhPort("SKYHAVEN_QNH_PORT", std::to_string(qnhPort));
    startWorker();
    connectRealTraffic();
    ASSERT_TRUE(test::waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
    EXPECT_EQ(g_trafficReader.boundPort.load(), trafficPort);
    EXPECT_EQ(g_qnhReader.boundPort.load(), qnhPort);
    ASSERT_TRUE(m_rt.sendDatagram(static_cast<std::uint16_t>(trafficPort), test::TrafficLineBuilder().text()));
    const std::uint32_t tick = trafficTick.load();
    ASSERT_TRUE(test::waitUntil([&] { return trafficTick.load() > tick + 50; }));

    gf_showThreadStopped("Traffic Reader", "recv failed");
    ASSERT_EQ(joinWorker(), ClosingOutcome::Restart);
    EXPECT_TRUE(hasSleep(1s));
    EXPECT_TRUE(m_log.contains("Restarting after 15 seconds"));
    EXPECT_EQ(m_sim.connectedClients(), 0u);

    // The window starts the next worker: a new run on the same ports.
    m_rt.disconnect();
    startWorker();
    connectRealTraffic();
    ASSERT_TRUE(test::waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
    EXPECT_EQ(g_trafficReader.boundPort.load(), trafficPort);
    EXPECT_EQ(g_qnhReader.boundPort.load(), qnhPort);
    EXPECT_EQ(m_sim.clientCount(), 2u);
    EXPECT_FALSE(SCAN_LIVERIES.value.load());  // switched off and saved by the closing step
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
    EXPECT_EQ(SIM_INSTALL_PATH.value.get(), "D:\\Prepar3D v5");  // nothing else of the settings lost
    EXPECT_EQ(PORT_NUMBER.value.get(), "0");

    gf_requestClose();
    EXPECT_EQ(joinWorker(), ClosingOutcome::Quit);
    EXPECT_FALSE(g_simClientJThread.joinable());
    EXPECT_FALSE(m_log.contains("Bind failed"));
}

TEST_F(AppRunThreaded, SimulatorClosingEndsTheRun) {
    startWorker();
    connectRealTraffic();
    ASSERT_TRUE(test::waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
    m_sim.quit();
    EXPECT_EQ(joinWorker(), ClosingOutcome::Quit);
    EXPECT_TRUE(m_log.contains("Exiting: SIM WAS CLOSED\n"));
    EXPECT_TRUE(m_log.contains("Flight Simulator no longer connected, Skyhaven_P3D will stop ..."));
    EXPECT_FALSE(g_trafficReader.joinable());
}

}  // namespace
}  // namespace skh
