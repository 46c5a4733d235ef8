// The whole program against the fake simulator (on the pipe stand-in) and
// the fake RealTraffic, in one process tree, with the headless window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "foundation/format.hpp"
#include "program_fixture.hpp"
#include "simclient/sim_handlers.hpp"
#include "simconnect/sc_types.hpp"
#include "support/fake_realtraffic.hpp"
#include "support/fake_simulator.hpp"
#include "support/reserved_port.hpp"
#include "support/xvfb.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ProgramProcess;
using test::ProgramWorld;

class ProgramRunThreaded : public ::testing::Test {
protected:
    ProgramRunThreaded() {
        m_world.prepareProgramFolder();
        test::writeFile(m_world.path("appdata") / "InsideSystems" / "RealTraffic.jar", "");
        m_world.writeSettings(skh::format(R"(  <parameter name="SIM_INSTALL_PATH" value="D:\Prepar3D v5"/>
  <parameter name="PORT_NUMBER" value="{}"/>
  <parameter name="SCAN_LIVERIES" value="false"/>
)",
                                          m_tcpPort.number()));
        test::FakeSimOptions options;
        options.ipv4 = false;
        options.pipeName = kScDefaultPipeName;
        options.keepRequests = false;
        m_sim = std::make_unique<test::FakeSimulator>(options);
        m_ticker = std::thread([this] {
            while (!m_stop.load()) {
                m_sim->tickSecond();
                std::this_thread::sleep_for(100ms);
            }
        });
    }
    ~ProgramRunThreaded() override {
        m_stop = true;
        m_ticker.join();
        m_rt.disconnect();
        m_sim->stop();
    }

    platform::EnvironmentChanges environment() const {
        auto env = m_world.environment();
        env.emplace_back("SKYHAVEN_TRAFFIC_PORT", std::to_string(m_trafficPort.number()));
        env.emplace_back("SKYHAVEN_QNH_PORT", std::to_string(m_qnhPort.number()));
        return env;
    }
    // Starts the program; RealTraffic connects and the first traffic line
    // arrives once the readers listen.
    void startRun(ProgramProcess& program) {
        ASSERT_TRUE(program.started());
        m_rt.connect(m_tcpPort.number());
        ASSERT_TRUE(program.waitForLog("Traffic Reader connected")) << program.output() << program.log();
        ASSERT_TRUE(m_rt.sendDatagram(m_trafficPort.number(), test::TrafficLineBuilder().text()));
        ASSERT_TRUE(m_rt.sendQnh(m_qnhPort.number(), R"({"QNH":1020})"));
    }

    // Zurich with three stands that an earlier scan made, and its learned
    // file with `parameters` and the stands' `learned` options (by default
    // one that knows nothing yet); the user aircraft on the apron, at no stand.
    void prepareParkAirport(const std::string& parameters = "<parameters/>", const std::string& learned = "") {
        const std::string meta =
            R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/>)"
            R"(</meta>)";
        std::string stands;
        for (int i = 1; i <= 3; ++i) {
            stands +=
                skh::format(R"(<parkpos id="E{}" latitude="47.4534" longitude="{:.4f}" heading="180" radius="30"/>)", i,
                            standLon(i));
        }
        test::writeFile(m_world.folder() / "airports" / "my_thirdparty" / "LSZH.xml",
                        meta +
                            R"(<parameters><parameter name="publisher" value="Demo"/><parameter name="altitude" )"
                            R"(value="1416"/></parameters><parkpositions>)" +
                            stands + "</parkpositions>");
        test::writeFile(learnedFile(), meta + parameters + "<parkpositions>" + learned + "</parkpositions>");
        m_world.writeSettings(skh::format(R"(  <parameter name="SIM_INSTALL_PATH" value="D:\Prepar3D v5"/>
  <parameter name="PORT_NUMBER" value="{}"/>
  <parameter name="SCAN_LIVERIES" value="false"/>
  <parameter name="SCAN_AIRPORTS" value="false"/>
  <parameter name="AIRP_RANGE" value="5"/>
)",
                                          m_tcpPort.number()));
        m_sim->placeUser(47.4480, 8.5560, std::nullopt);
        m_sim->startFrames(30.0);  // creations go out on frames
    }
    static double standLon(int stand) { return 8.5577 + 0.0008 * stand; }
    fs::path learnedFile() const {
        return m_world.folder() / "airports" / "learned" / "thirdparty" / "Demo" / "LSZH.xml";
    }
    // A live aircraft standing at E2 when it is first seen: the stand learns
    // it as the aircraft is made, when its first report is due (the feed's
    // 30 s behind), and the simulator shows it there.
    void parkALiveAircraft(const ProgramProcess& program) {
        ASSERT_TRUE(program.waitForLog("The park airport is LSZH")) << program.log();
        const auto shown = [this] {
            for (const auto& [id, p] : m_sim->lastPositions())
                if (p.atcId.rfind("SWR123", 0) == 0 && !p.removed) return true;
            return false;
        };
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (int i = 0; !shown(); ++i) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << program.log();
            ASSERT_TRUE(m_rt.sendDatagram(m_trafficPort.number(), test::TrafficLineBuilder()
                                                                      .set(2, "47.453400")
                                                                      .set(3, skh::format("{:.6f}", standLon(2)))
                                                                      .set(4, "0")
                                                                      .set(5, "0")
                                                                      .set(8, "0")
                                                                      .set(14, std::to_string(1700000100 + i))
                                                                      .set(18, "0")
                                                                      .set(20, "-1")
                                                                      .text()));
            test::waitUntil(shown, 1s);
        }
    }
    // The close saved what the stand learned.
    void expectLearnedSaved(const ProgramProcess& program) const {
        const std::string log = program.log();
        EXPECT_NE(log.find("LSZH.xml' saved with 1 update"), std::string::npos) << log;
        const std::string saved = test::readFile(learnedFile());
        EXPECT_NE(saved.find(R"(<parkpos id="E2")"), std::string::npos) << saved;
        EXPECT_NE(saved.find(R"(reg="HB-JLT")"), std::string::npos) << saved;
    }

    ProgramWorld m_world;
    test::ScopedEnv m_pipes{"SKYHAVEN_PIPE_DIR", m_world.path("pipes").string()};
    // The program listens on these; they are fixed before it starts.
    test::ReservedPort m_tcpPort;
    test::ReservedPort m_trafficPort;
    test::ReservedPort m_qnhPort;
    std::unique_ptr<test::FakeSimulator> m_sim;
    test::FakeRealTraffic m_rt;
    std::thread m_ticker;
    std::atomic<bool> m_stop{false};
};

TEST_F(ProgramRunThreaded, RunsAgainstTheFakesAndClosesOnRequest) {
    ProgramProcess program(m_world.folder(), environment());
    ASSERT_NO_FATAL_FAILURE(startRun(program));
    // The RealTraffic link: version question, simulator time, user position.
    ASSERT_GE(m_rt.waitForLine("Qs121=", 20000), 0);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(m_rt.sendDatagram(m_trafficPort.number(),
                                      test::TrafficLineBuilder().set(14, std::to_string(1700000001 + i)).text()));
    }
    ASSERT_TRUE(program.waitForOutput("RealTraffic detected at this PC"));
    EXPECT_EQ(program.close(), 0);

    const auto lines = m_rt.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Qs999=version");
    EXPECT_EQ(lines[1], "Qs123=" + std::to_string(*gf_simEpochSeconds(43200, 152, 2024) * 1000));
    EXPECT_EQ(lines[2].rfind("Qs121=", 0), 0u);
    EXPECT_EQ(lines.back(), "exit");
    const std::string log = program.log();
    for (const char* line : {"Lockheed Martin Prepar3D v5 (5.3.12.28584) connected\n", "RealTraffic connected\n",
                             "QNH Reader connected\n", "Exiting: USER CLOSED SIM\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    EXPECT_NE(log.find(" traffic lines received, "), std::string::npos);
    EXPECT_TRUE(m_sim->waitForDisconnect(20s));
}

TEST_F(ProgramRunThreaded, RealTrafficGoneAndBack) {
    ProgramProcess program(m_world.folder(), environment());
    ASSERT_NO_FATAL_FAILURE(startRun(program));
    ASSERT_GE(m_rt.waitForLine("Qs121=", 20000), 0);
    m_rt.disconnect();
    ASSERT_TRUE(program.waitForLog("RealTraffic gone? Wait for RealTraffic to re-connect ..."));
    m_rt.connect(m_tcpPort.number());
    ASSERT_TRUE(program.waitForLog("RealTraffic re-connected"));
    EXPECT_FALSE(program.wait(200));  // the run goes on
    EXPECT_EQ(program.close(), 0);
    EXPECT_NE(program.log().find("Exiting: USER CLOSED SIM\n"), std::string::npos);
}

TEST_F(ProgramRunThreaded, SimulatorEndsTheRun) {
    struct Case {
        const char* label;
        std::function<void(test::FakeSimulator&)> fault;
    };
    const Case cases[] = {
        {"quit", [](test::FakeSimulator& sim) { sim.quit(); }},
        {"connection reset", [](test::FakeSimulator& sim) { sim.resetClients(); }},
        {"garbage",
         [](test::FakeSimulator& sim) {
             const std::vector<std::byte> garbage(64, std::byte{0xEE});
             sim.sendRaw(garbage);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // This run's lines: the ones before are an earlier run's.
        const std::size_t earlier = m_rt.lines().size();
        ProgramProcess program(m_world.folder(), environment());
        ASSERT_NO_FATAL_FAILURE(startRun(program));
        ASSERT_GE(m_rt.waitForLine("Qs121=", 20000, earlier), 0);
        c.fault(*m_sim);
        // The simulator is gone: the program quits by itself, nothing restarts.
        EXPECT_EQ(program.wait(), 0);
        EXPECT_NE(program.log().find("Exiting: SIM WAS CLOSED\n"), std::string::npos) << program.log();
        m_rt.disconnect();
    }
}

TEST_F(ProgramRunThreaded, TheParkAirportFillsWithStaticAircraftAndEmptiesWhenTheUserLeaves) {
    // What was learned at Zurich's three stands (all of the week).
    std::string learned;
    for (int i = 1; i <= 3; ++i) {
        learned += skh::format(R"(<parkpos id="E{}">)", i);
        for (int day = 1; day <= 7; ++day) {
            learned +=
                skh::format(R"(<opt reg="HB-JX{}" airl="SWR" type="A320" day="{}" hh="{}" cs="SWR7{}"/>)", i, day,
                            "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,"
                            "29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47",
                            i);
        }
        learned += "</parkpos>";
    }
    prepareParkAirport(R"(<parameters><parameter name="parking_percentage" value="100"/></parameters>)", learned);

    ProgramProcess program(m_world.folder(), environment());
    ASSERT_NO_FATAL_FAILURE(startRun(program));
    ASSERT_TRUE(program.waitForLog("3 positions (100% vs wanted 100%"));
    // Static aircraft in the simulator: their callsigns end in "*".
    const auto statics = [&](bool removed) {
        std::size_t n = 0;
        for (const auto& [id, p] : m_sim->lastPositions())
            n += !p.atcId.empty() && p.atcId.back() == '*' && p.removed == removed ? 1 : 0;
        return n;
    };
    ASSERT_TRUE(test::waitUntil([&] { return statics(false) == 3; })) << program.log();

    // In the air 8 nm north, beyond AIRP_RANGE: out of sight (a jump of more
    // than 10 nm would be a new flight).
    m_sim->placeUser(47.4480 + 8.0 / 60.0, 8.5560, 4000.0);
    ASSERT_TRUE(program.waitForLog("LSZH (ZRH) is out of sight")) << program.log();
    EXPECT_TRUE(test::waitUntil([&] { return statics(true) == 3; }));
    EXPECT_EQ(program.close(), 0);
    EXPECT_NE(program.log().find("The park airport is LSZH"), std::string::npos);
}

// Closing the terminal (a logout, the terminal window closed) is a close
// like Ctrl-C, also when the console is gone by then: the shell passes the
// hangup on and the system sends its own, and writes to the console fail.
TEST_F(ProgramRunThreaded, ClosingTheTerminalClosesTheRunAndSavesWhatTheStandsLearned) {
    prepareParkAirport();
    const fs::path console = m_world.path("console");
    ASSERT_EQ(::mkfifo(console.c_str(), 0600), 0);
    const int reader = ::open(console.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ProgramProcess program(m_world.folder(), environment(), console);
    const bool started = [&] {
        startRun(program);
        if (!HasFatalFailure()) parkALiveAircraft(program);
        return !HasFatalFailure();
    }();
    // The terminal is gone: writes to the console fail from here on (the
    // run's few status lines fitted in the pipe unread).
    ::close(reader);
    ASSERT_TRUE(started);

    ASSERT_TRUE(program.signal(platform::EndRequest::Hangup));
    EXPECT_TRUE(program.waitForLog("Exiting: USER CLOSED SIM\n")) << program.log();
    EXPECT_TRUE(program.signal(platform::EndRequest::Hangup));
    EXPECT_EQ(program.wait(), 0) << program.log();
    expectLearnedSaved(program);
    EXPECT_EQ(m_rt.lines().back(), "exit");
}

// The X server of the main window ends during the run: the program closes
// as after its close button, saving what the stands learned.
TEST_F(ProgramRunThreaded, LosingTheDisplayClosesTheRunAndSavesWhatTheStandsLearned) {
    test::XvfbServer display;
    if (!display.failure().empty()) GTEST_SKIP() << "No FLTK window test: " << display.failure();
    prepareParkAirport();
    auto env = environment();
    env.emplace_back("SKYHAVEN_HEADLESS", "");
    env.emplace_back("DISPLAY", display.name());
    ProgramProcess program(m_world.folder(), env);
    ASSERT_NO_FATAL_FAILURE(startRun(program));
    ASSERT_NO_FATAL_FAILURE(parkALiveAircraft(program));
    EXPECT_EQ(program.log().find("No display for the main window"), std::string::npos) << program.log();

    display.end();
    EXPECT_EQ(program.wait(), 0) << program.output() << program.log();
    EXPECT_NE(program.log().find("The display of the main window is gone"), std::string::npos) << program.log();
    expectLearnedSaved(program);
    EXPECT_EQ(m_rt.lines().back(), "exit");
}

}  // namespace
}  // namespace skh
