// The RealTraffic TCP server against the fake RealTraffic's TCP client.
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "feed_fixture.hpp"
#include "support/reserved_port.hpp"

namespace skh::test {
namespace {

using Reply = FakeRealTraffic::Reply;
using Clock = std::chrono::steady_clock;

UserAcState userAt(double lat, double lon) {
    UserAcState u;
    u.latitude = lat;
    u.longitude = lon;
    u.pitch = -0.05;
    u.bank = 0.1;
    u.trueHeading = 1.5;
    u.altitude = 35000.0;
    u.groundVelocity = 123.4567;
    return u;
}

class RealTrafficLinkThreaded : public FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        g_rtReplyTimeoutMs = 400;
        g_rtAcceptSliceMs = 50;
    }
    // Listens on a free port, lets the fake connect and runs the handshake.
    void handshake(Reply reply, std::string version = "9.0") {
        lf_listenTcp("0");
        rt.setReply(reply, std::move(version));
        rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
        lf_waitForRealTraffic();
    }
    // A level-2 link with the state that a lost link must reset.
    void linkWithTrafficState() {
        handshake(Reply::Level2);
        gf_setUserAcCopy(userAt(47.5, 8.5));
        g_trafficTime = 1700000000.0;
        g_qnhReader.lastQnh = 1000;
        heardCallsigns.add("SWR1");
    }
    FakeRealTraffic rt;
};

TEST_F(RealTrafficLinkThreaded, RunStartHandshakeAtLevel2SendsTheSimulatorTime) {
    const ReservedPort reserved;
    const std::uint16_t port = reserved.number();
    PORT_NUMBER.value.set(std::to_string(port));
    g_runStarting = true;
    rt.connect(port);  // before the server listens: the fake retries
    gf_connectRealTraffic(1700000000);
    PORT_NUMBER.value.set(PORT_NUMBER.defaultValue);

    EXPECT_TRUE(g_rtConnected.load());
    EXPECT_TRUE(g_rtProfessional.load());
    EXPECT_EQ(g_mainWindowState.realTrafficEdition.get(), "RT prof edition: 9.0");
    EXPECT_TRUE(g_mainWindowState.realTrafficConnected.load());
    EXPECT_FALSE(g_runStarting.load());
    EXPECT_TRUE(log.contains("Waiting for RealTraffic to connect to Skyhaven_P3D ..."));
    EXPECT_TRUE(log.contains("RealTraffic connected"));
    ASSERT_GE(rt.waitForLine("Qs123=", 20000), 0);
    const auto lines = rt.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Qs999=version");
    EXPECT_EQ(lines[1], "Qs123=1700000000000");
    EXPECT_EQ(gf_statusText(), "");

    // Only RealTraffic on this PC can reach the server.
    platform::SocketAddress local;
    ASSERT_EQ(platform::localAddress(g_rtListenSocket.load(), local), 0);
    EXPECT_EQ(platform::addressText(local), "127.0.0.1:" + std::to_string(port));
}

TEST_F(RealTrafficLinkThreaded, VersionReplies) {
    struct Case {
        const char* what;
        Reply reply;
        std::string raw;
        bool professional;
        std::string edition;
        std::string logged;
    };
    const std::vector<Case> cases = {
        {"level 1", Reply::Level1, "", false, "RT stnd edition: 9.0", ""},
        {"no level", Reply::NoLevel, "", false, "RT stnd edition: 9.0", ""},
        {"version as a number", Reply::VersionNumber, "", true, "RT prof edition: 9.0", ""},
        {"reply in two segments", Reply::Split, "", true, "RT prof edition: 9.0", ""},
        {"level as text", Reply::Raw, R"({"version":"10.1","level":"2"})", true, "RT prof edition: 10.1", ""},
        {"level of a wrong type", Reply::Raw, R"({"version":"10.1","level":[2]})", false, "RT stnd edition: 10.1",
         "===> RealTraffic level not understood: [2]"},
        {"version of a wrong type", Reply::Raw, R"({"version":{},"level":2})", true,
         "RT prof edition: ", "===> RealTraffic version not understood: {}"},
        {"level nested deeply", Reply::Raw,
         std::string(R"({"version":"10.1","level":)").append(8000, '[').append(8000, ']').append("}"), false,
         "RT stnd edition: 10.1", "===> RealTraffic level not understood: array nested too deeply"},
        {"not an object", Reply::Raw, "[]", false, "", ""},
        {"not JSON", Reply::Malformed, "", false, "",
         "===> RealTraffic version reply not understood, taken as level 1: RealTraffic says hello"},
        {"cut short", Reply::Raw, R"({"version":"9.0","lev)", false, "",
         "===> RealTraffic version reply not understood"},
        {"no answer", Reply::None, "", false, "", "No RealTraffic version received?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_rtProfessional = !c.professional;
        g_mainWindowState.realTrafficEdition.set("old");
        if (c.reply == Reply::Raw) rt.setRawReply(c.raw);
        lf_listenTcp("0");
        if (c.reply != Reply::Raw) rt.setReply(c.reply);
        rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
        const auto start = Clock::now();
        lf_waitForRealTraffic();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(g_rtProfessional.load(), c.professional);
        if (c.reply != Reply::None) {
            EXPECT_EQ(g_mainWindowState.realTrafficEdition.get(), c.edition);
        }
        if (!c.logged.empty()) {
            EXPECT_TRUE(log.contains(c.logged)) << log.text();
        }
        EXPECT_TRUE(g_mainWindowState.realTrafficConnected.load());
        gf_closeRealTrafficLink();
        ASSERT_TRUE(rt.waitClosed(20000));
        rt.disconnect();
    }
}

TEST_F(RealTrafficLinkThreaded, UserPositionLinesCarryWholeNumbers) {
    handshake(Reply::Level1);
    gf_setUserAcCopy(userAt(47.5, 8.5));
    gf_sendUserPosition();
    const int i = rt.waitForLine("Qs121=", 20000);
    ASSERT_GE(i, 0);
    EXPECT_EQ(rt.lines()[i], "Qs121=-5000;10000;1.500000;35000000;123456.7;0.829031;0.148353");

    // Nothing is sent for a position at 0,0 (no user aircraft yet).
    gf_setUserAcCopy(userAt(0.00005, -0.00002));
    gf_sendUserPosition();
    gf_sendQs123(0);
    gf_closeRealTrafficLink();
    ASSERT_TRUE(rt.waitClosed(20000));
    const auto lines = rt.lines();
    EXPECT_EQ(lines.back(), "exit");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("Qs12"); }), 1);
}

TEST_F(RealTrafficLinkThreaded, LinesLongerThanTheSocketBufferGoOutWhole) {
    handshake(Reply::Level1);
    const std::string payload(4 << 20, 'x');
    ASSERT_TRUE(sendDataPacket(payload + "\r\n"));
    ASSERT_TRUE(sendDataPacket("Qs123=1000\r\n"));
    ASSERT_GE(rt.waitForLine("Qs123=1000", 20000), 0);
    const auto lines = rt.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], payload);
}

TEST_F(RealTrafficLinkThreaded, LostLinkTakesLiveAircraftOutAndReconnectsWithoutBlocking) {
    int removals = 0;
    gf_setLiveRemovalHook([&removals] { ++removals; });
    linkWithTrafficState();

    rt.disconnect();  // RealTraffic goes away
    ASSERT_TRUE(waitUntil([] {
        gf_sendUserPosition();
        return !g_rtConnected.load();
    }));
    EXPECT_FALSE(g_mainWindowState.realTrafficConnected.load());
    EXPECT_EQ(removals, 1);
    EXPECT_DOUBLE_EQ(g_trafficTime.load(), 0.0);
    EXPECT_EQ(g_qnhReader.lastQnh.load(), 1013);
    EXPECT_EQ(heardCallsigns.size(), 0u);
    EXPECT_TRUE(log.contains("sendDataPacket to RealTraffic failed: 10054 Connection reset by peer"));
    EXPECT_TRUE(log.contains("RealTraffic client socket closed"));
    EXPECT_TRUE(log.contains("RealTraffic gone? Wait for RealTraffic to re-connect ..."));

    // While RealTraffic is away the main loop is never held.
    for (int poll = 0; poll < 5; ++poll) {
        const auto start = Clock::now();
        gf_sendUserPosition();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));  // no accept wait
    }
    gf_sendQs123(1700000000);  // skipped while not connected
    EXPECT_EQ(removals, 1);

    const std::size_t before = rt.lines().size();
    rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
    ASSERT_TRUE(rt.waitConnected(20000));
    ASSERT_TRUE(waitUntil([] {
        gf_sendUserPosition();
        return g_rtConnected.load();
    }));
    EXPECT_TRUE(g_mainWindowState.realTrafficConnected.load());
    EXPECT_TRUE(log.contains("RealTraffic re-connected"));
    EXPECT_TRUE(g_rtProfessional.load()) << "no new handshake; the level stays";

    gf_sendUserPosition();
    EXPECT_GE(rt.waitForLine("Qs121=", 20000, before), static_cast<int>(before));
    EXPECT_EQ(rt.waitForLine("Qs999", 50, before), -1);
}

TEST_F(RealTrafficLinkThreaded, ALostLinkIsTheSameWhicheverSendMeetsIt) {
    struct Case {
        const char* what;
        void (*send)();
        bool closing;
        int removals;
    };
    const Case cases[] = {
        {"user position", [] { gf_sendUserPosition(); }, false, 1},
        {"simulator time", [] { gf_sendQs123(1700000015); }, false, 1},
        {"simulator time while closing", [] { gf_sendQs123(1700000015); }, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int removals = 0;
        gf_setLiveRemovalHook([&removals] { ++removals; });
        linkWithTrafficState();
        g_closeRequested = c.closing;
        const std::size_t logged = log.lines().size();

        rt.disconnect();  // RealTraffic goes away; only this kind of send meets it
        ASSERT_TRUE(waitUntil([&c] {
            c.send();
            return !g_rtConnected.load();
        }));
        EXPECT_FALSE(g_mainWindowState.realTrafficConnected.load());
        EXPECT_EQ(removals, c.removals);
        EXPECT_DOUBLE_EQ(g_trafficTime.load(), 0.0);
        EXPECT_EQ(g_qnhReader.lastQnh.load(), 1013);
        EXPECT_EQ(heardCallsigns.size(), 0u);
        EXPECT_TRUE(gf_statusText().ends_with(" RealTraffic gone? Wait for RealTraffic to re-connect ..."))
            << gf_statusText();
        const auto lines = log.lines();
        const std::vector<std::string> tail(lines.begin() + static_cast<std::ptrdiff_t>(logged), lines.end());
        // While closing, status lines stay out of the log, as every one does.
        ASSERT_EQ(tail.size(), c.closing ? 2u : 3u) << log.text();
        EXPECT_EQ(tail[0], "sendDataPacket to RealTraffic failed: 10054 Connection reset by peer");
        EXPECT_EQ(tail[1], "RealTraffic client socket closed");
        if (!c.closing) {
            EXPECT_TRUE(tail[2].ends_with(" RealTraffic gone? Wait for RealTraffic to re-connect ...")) << tail[2];
        }

        // The next user position takes RealTraffic back.
        rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
        ASSERT_TRUE(waitUntil([] {
            gf_sendUserPosition();
            return g_rtConnected.load();
        }));
        EXPECT_TRUE(g_mainWindowState.realTrafficConnected.load());
        EXPECT_TRUE(log.contains("RealTraffic re-connected"));
        gf_closeRealTrafficLink();
        ASSERT_TRUE(rt.waitClosed(20000));
        rt.disconnect();
        g_closeRequested = false;
    }
}

TEST_F(RealTrafficLinkThreaded, ClosingOrEndingRunsLeaveTheLinkAlone) {
    int removals = 0;
    gf_setLiveRemovalHook([&removals] { ++removals; });
    handshake(Reply::Level1);
    gf_setUserAcCopy(userAt(47.5, 8.5));

    // The user closes the window: a lost link takes no aircraft out.
    g_closeRequested = true;
    rt.disconnect();
    ASSERT_TRUE(waitUntil([] {
        gf_sendUserPosition();
        return !g_rtConnected.load();
    }));
    EXPECT_EQ(removals, 0);

    // A run that is ending does not accept RealTraffic again.
    gf_requestStop(AppState::NewSettings, 0);
    rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
    ASSERT_TRUE(rt.waitConnected(20000));
    for (int i = 0; i < 5; ++i) gf_sendUserPosition();
    EXPECT_FALSE(g_rtConnected.load());
}

TEST_F(RealTrafficLinkThreaded, StartUpWaitEndsWhenTheWindowCloses) {
    g_rtAcceptSliceMs = 1000;  // the longest slice the wait takes
    lf_listenTcp("0");
    auto waiting = std::async(std::launch::async, [] { lf_waitForRealTraffic(); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    const auto start = Clock::now();
    g_closeRequested = true;
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));  // about one slice, not the whole wait
    EXPECT_FALSE(g_rtConnected.load());
}

TEST_F(RealTrafficLinkThreaded, ServerSetUpFailures) {
    // The port is taken by another program.
    lf_listenTcp("0");
    const std::string port = std::to_string(gf_rtListenPort());
    const platform::Socket taken = g_rtListenSocket.exchange(platform::kInvalidSocket);
    try {
        lf_listenTcp(port);
        FAIL() << "bind succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Bind failed at port " + port + " with error 10048 Address already in use");
    }
    EXPECT_EQ(g_rtListenSocket.load(), platform::kInvalidSocket);
    platform::closeSocket(taken);

    for (const std::string bad : {"port", "99999"}) {
        SCOPED_TRACE(bad);
        try {
            lf_listenTcp(bad);
            FAIL() << "listened on " << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with("getaddrinfo failed with error ")) << e.what();
        }
    }

    // Aerowinx users: no server, RealTraffic shown as connected at once.
    AEROWINX.value = true;
    gf_connectRealTraffic(1700000000);
    EXPECT_TRUE(g_mainWindowState.realTrafficConnected.load());
    EXPECT_EQ(g_rtListenSocket.load(), platform::kInvalidSocket);
}

}  // namespace
}  // namespace skh::test
