// A whole run in this process with live traffic: the start-up worker, the
// run and its main loop on a clock twenty times faster than real time, the
// SimClient thread against the fake simulator and the readers fed by the
// fake RealTraffic. A flight from the feed becomes an AI aircraft with its
// livery, is adopted, moves, and is removed when its stream ends.
#include <gtest/gtest.h>

#include "aircraft/dbase.hpp"
#include "aircraft/livery_match.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/upcalls.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "support/fake_sim_console.hpp"
#include "support/in_process_run.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;

constexpr double kUserLat = 47.4647;
constexpr double kUserLon = 8.5492;

class TrafficRunThreaded : public test::InProcessRun {
protected:
    struct Flight {
        const char* act;
        const char* callsign;
        const char* registration;
    };
    static constexpr Flight kSwiss{"4840100", "SWR123", "HB-JLT"};

    TrafficRunThreaded()
        : InProcessRun({20.0, std::chrono::milliseconds(50),
                        R"(  <parameter name="SCAN_AIRPORTS" value="false"/>
  <parameter name="AUTO_RANGE" value="false"/>
  <parameter name="RANGE" value="40"/>
)",
                        R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss" atcid="HB-JLT"/>
<liv airl="DLH" type="A320" title="Airbus A320 Lufthansa" atcid="D-AIPA"/></liveries>)"}) {}

    void SetUp() override {
        // The aircraft database is read once per process; this one knows the A320.
        gf_clearDbase();
        g_knownTypes.insert("A320");
        g_largeTypes.insert("A320");
        g_icaoAirlines.insert("SWR");
        gf_resetMatchCounters();
        InProcessRun::SetUp();
        m_sim.placeUser(kUserLat, kUserLon, 6000.0, 90.0, 200.0);
        m_sim.startFrames(30.0);
    }
    void TearDown() override {
        InProcessRun::TearDown();
        gf_clearDbase();
    }

    // Starts the run and waits until the Traffic Reader listens.
    std::uint16_t startRunWithTraffic() {
        startWorker();
        connectRealTraffic();
        EXPECT_TRUE(test::waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
        return static_cast<std::uint16_t>(g_trafficReader.boundPort.load());
    }
    // Reports `from` to `to` (excluded) of the flight, a little apart in
    // polls as they would come.
    void sendReports(std::uint16_t port, int from, int to, const Flight& f = kSwiss, double eastNm = 20.0) {
        for (int n = from; n < to; ++n) {
            ASSERT_TRUE(m_rt.sendDatagram(port, flightLine(n, f, eastNm)));
            std::this_thread::sleep_for(20ms);
        }
    }
    // Faults on the simulator's side, given as the fake simulator program
    // takes them.
    std::string simCommand(const std::string& line) {
        std::string said;
        test::FakeSimConsole(m_sim, [&](const std::string& text) { said += text; }).run(line);
        return said;
    }

    // One position of a flight that starts east of the user and flies north,
    // `n` reports along its way.
    static std::string flightLine(int n, const Flight& f = kSwiss, double eastNm = 20.0) {
        const GeoPos start = gf_destinationPoint({kUserLat, kUserLon}, 90.0 * DEG2RAD, eastNm * 6076.11549);
        const GeoPos p = gf_destinationPoint(start, 0.0, n * 0.5 * 6076.11549);  // 0.5 nm a report
        return test::TrafficLineBuilder()
            .set(1, f.act)
            .set(2, skh::format("{:.6f}", p.lat))
            .set(3, skh::format("{:.6f}", p.lon))
            .set(4, "12000")
            .set(5, "0")
            .set(7, "0.0")
            .set(8, "360")
            .set(9, f.callsign)
            .set(10, "A320")
            .set(11, f.registration)
            .set(14, skh::format("{}", 1700000000 + 5 * n))
            .set(20, "360")
            .set(25, "0.1")
            .text();
    }

    // Waits until the run's one flight has been removed from the simulator,
    // closes, and checks that the counts and the protocol agree.
    void closeOnceTheOnlyFlightIsRemoved() {
        ASSERT_TRUE(test::waitUntil([this] { return m_sim.counts().removedByClient == 1; }, 30s));
        EXPECT_EQ(m_sim.counts().liveObjects, 0u);
        gf_requestClose();
        EXPECT_EQ(joinWorker(), ClosingOutcome::Quit);
        // (The simulator's report of the removal may come after the close.)
        EXPECT_TRUE(m_log.contains("aircraft 1 new, 1 created, 1 adopted, 1 active, 0 refused, 1 removals asked"))
            << m_log.text();
        EXPECT_TRUE(m_sim.protocolErrors().empty());
    }
};

TEST_F(TrafficRunThreaded, AFlightIsCreatedWithItsLiveryMovedAndRemovedWhenItsStreamEnds) {
    const std::uint16_t port = startRunWithTraffic();
    sendReports(port, 0, 12);
    // Created with its livery and callsign, adopted and positioned.
    ASSERT_TRUE(m_sim.waitForRequests(ScRequestId::AICreateNonATCAircraft, 1, 20000ms));
    const auto creation = m_sim.requestsOf(ScRequestId::AICreateNonATCAircraft).at(0);
    EXPECT_EQ(creation.texts.at(0), "Airbus A320 Swiss");
    EXPECT_EQ(creation.texts.at(1), "SWR123");
    ASSERT_TRUE(test::waitUntil([this] { return !m_sim.lastPositions().empty(); }));
    const std::uint32_t objectId = m_sim.lastPositions().begin()->first;
    ASSERT_TRUE(test::waitUntil([&] { return m_sim.object(objectId) && m_sim.object(objectId)->releases > 0; }));
    const double firstLat = m_sim.lastPositions().at(objectId).latitude;
    ASSERT_TRUE(test::waitUntil([&] { return m_sim.lastPositions().at(objectId).latitude > firstLat + 0.01; }));
    // Its first events after the activation.
    ASSERT_TRUE(test::waitUntil([&] {
        for (const auto& e : m_sim.clientEventLog())
            if (e.objectId == objectId && e.event == "ENGINE_AUTO_START") return true;
        return false;
    }));

    // The stream ends: the aircraft goes (after its predicted steps).
    closeOnceTheOnlyFlightIsRemoved();
    // The closing summary counts the run's one match by registration, and
    // the next run counts from 0.
    EXPECT_TRUE(m_log.contains("Matches at step: \n  1: 1\n  2: 0\n")) << m_log.text();
    EXPECT_EQ(g_matchesAtStep, (std::array<std::int32_t, 6>{}));
}

// A flight first seen near the edge of the range, the user then moving away:
// its object is created outside the range around the user, where the
// periodic request for the aircraft in range never finds it. It is adopted
// all the same and, when its stream ends, removed; nothing is left behind.
TEST_F(TrafficRunThreaded, AnObjectCreatedOutsideTheRangeIsAdoptedAndLaterRemoved) {
    const std::uint16_t port = startRunWithTraffic();
    sendReports(port, 0, 12, kSwiss, 39.3);
    const GeoPos away = gf_destinationPoint({kUserLat, kUserLon}, 270.0 * DEG2RAD, 2.0 * 6076.11549);
    m_sim.placeUser(away.lat, away.lon, 6000.0, 90.0, 200.0);
    ASSERT_EQ(m_sim.requestCount(ScRequestId::AICreateNonATCAircraft), 0u);  // about 30 s after the first report

    ASSERT_TRUE(m_sim.waitForRequests(ScRequestId::AICreateNonATCAircraft, 1, 20000ms));
    const auto at = m_sim.requestsOf(ScRequestId::AICreateNonATCAircraft).at(0).initPos;
    ASSERT_GT(gf_distanceNm(away, {at.Latitude, at.Longitude}), 40.0);  // out of range when created
    ASSERT_TRUE(test::waitUntil([this] { return !m_sim.lastPositions().empty(); }));
    const std::uint32_t objectId = m_sim.lastPositions().begin()->first;
    ASSERT_TRUE(test::waitUntil([&] {
        const auto o = m_sim.object(objectId);
        return !o || o->releases > 0;
    }));
    closeOnceTheOnlyFlightIsRemoved();
}

// The simulator refuses the first creation: that costs the flight and its
// livery, not the run; the next flight is created. An exception the program
// does not expect is logged and the run goes on.
TEST_F(TrafficRunThreaded, ARefusedCreationCostsOneFlightAndAnExceptionIsLogged) {
    EXPECT_EQ(simCommand("refuse-create"), "the next creation is refused");
    const std::uint16_t port = startRunWithTraffic();
    sendReports(port, 0, 6);
    ASSERT_TRUE(test::waitUntil([this] { return m_sim.counts().refusedCreations == 1; }));
    ASSERT_TRUE(test::waitUntil([] {
        return gf_statusText() == "SWR123 'Airbus A320 Swiss' could not be created by your Sim!";
    })) << gf_statusText();

    sendReports(port, 0, 12, {"4000001", "DLH401", "D-AIPA"});
    ASSERT_TRUE(m_sim.waitForRequests(ScRequestId::AICreateNonATCAircraft, 2, 20000ms));
    EXPECT_EQ(m_sim.requestsOf(ScRequestId::AICreateNonATCAircraft).at(1).texts.at(0), "Airbus A320 Lufthansa");
    ASSERT_TRUE(test::waitUntil([this] { return m_sim.counts().liveObjects == 1; }));

    // For the last packet the simulator received, whichever that is by now.
    EXPECT_EQ(simCommand("exception 24").rfind("exception 24 sent for send id ", 0), 0u);
    ASSERT_TRUE(
        test::waitUntil([this] { return m_log.contains("SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE"); }));
    ASSERT_TRUE(test::waitUntil([this] { return m_sim.counts().removedByClient == 1; }, 30s));

    gf_requestClose();
    EXPECT_EQ(joinWorker(), ClosingOutcome::Quit);
    EXPECT_TRUE(m_log.contains("1 refused")) << m_log.text();
    EXPECT_FALSE(m_log.contains("Exiting: SIMCONNECT ERROR")) << m_log.text();
    EXPECT_TRUE(m_sim.protocolErrors().empty());
}

// An exception that is a user error (a version mismatch) ends the SimClient
// thread and closes its connection on purpose: the run shows the error and
// waits for the user; the main loop asks nothing of the closed connection,
// logs nothing about it and never restarts.
TEST_F(TrafficRunThreaded, AUserErrorFromTheSimulatorShowsWithoutARestartLoop) {
    const std::uint16_t port = startRunWithTraffic();
    sendReports(port, 0, 6);
    ASSERT_TRUE(m_sim.waitForRequests(ScRequestId::AICreateNonATCAircraft, 1, 20000ms));

    simCommand("exception 5");
    ASSERT_TRUE(test::waitUntil([] { return gf_simUserErrorShown(); }));
    EXPECT_EQ(gf_errorText().rfind("95: SimConnect Version Mismatch", 0), 0u) << gf_errorText();
    EXPECT_TRUE(m_sim.waitForDisconnect(20s));
    // Several of the main loop's range requests and user position requests.
    const std::uint32_t tick = trafficTick.load();
    ASSERT_TRUE(test::waitUntil([tick] { return trafficTick.load() > tick + 5 * 100; }));
    sendReports(port, 6, 9);
    EXPECT_FALSE(g_stopRequested.load());
    EXPECT_FALSE(simRequestFailed.load());
    EXPECT_NE(g_appState.load(), AppState::SimConnectError);
    EXPECT_FALSE(m_log.contains("SimConnect request")) << m_log.text();
    EXPECT_EQ(gf_errorText().rfind("95: ", 0), 0u);

    gf_requestClose();
    EXPECT_EQ(joinWorker(), ClosingOutcome::QuitFailed);  // the program ends with a failure status
    EXPECT_FALSE(m_log.contains("Exiting: SIMCONNECT ERROR")) << m_log.text();
}

}  // namespace
}  // namespace skh
