// One run of the feed against the fake RealTraffic, as the run drives it:
// handshake, readers, position and time lines, closing.
#include <regex>
#include <string>

#include "feed_fixture.hpp"

namespace skh::test {
namespace {

class FeedRunThreaded : public FeedTest {};

TEST_F(FeedRunThreaded, FakeRealTrafficAgainstReadersAndServer) {
    g_rtAcceptSliceMs = 50;
    FakeRealTraffic rt;
    rt.setReply(FakeRealTraffic::Reply::Level2, "9.1");

    // Start of the run: server, handshake, time; then the readers.
    PORT_NUMBER.value.set("0");
    std::thread connector([&rt] {
        ASSERT_TRUE(waitUntil([] { return gf_rtListenPort() != 0; }));
        rt.connect(static_cast<std::uint16_t>(gf_rtListenPort()));
    });
    gf_connectRealTraffic(1700000000);
    connector.join();
    PORT_NUMBER.value.set(PORT_NUMBER.defaultValue);
    ASSERT_TRUE(g_rtConnected.load());
    EXPECT_EQ(g_mainWindowState.realTrafficEdition.get(), "RT prof edition: 9.1");

    gf_startQnhReader(0);
    gf_startTrafficReader(0);
    ASSERT_TRUE(waitUntil([] { return g_qnhReader.boundPort.load() && g_trafficReader.boundPort.load(); }));
    const auto trafficPort = static_cast<std::uint16_t>(g_trafficReader.boundPort.load());
    const auto qnhPort = static_cast<std::uint16_t>(g_qnhReader.boundPort.load());

    // Main-loop polls: traffic arrives at poll 250 and is due 3000 polls later.
    trafficTick = 250;
    ASSERT_TRUE(rt.sendDatagram(trafficPort, TrafficLineBuilder().text()));
    ASSERT_TRUE(rt.sendDatagram(trafficPort, TrafficLineBuilder().set(10, "BALL").set(28, "B2").text()));
    ASSERT_TRUE(rt.sendQnh(qnhPort, R"({"QNH":2992})"));
    ASSERT_TRUE(waitUntil([] { return g_trafficReader.datagramCounter.load() == 2 && g_qnhReader.datagramCounter.load() == 1; }));
    TrafficSample sample;
    ASSERT_TRUE(gf_popTrafficSample(sample));
    EXPECT_EQ(sample.pos.dueTick, 3250);
    EXPECT_FALSE(gf_popTrafficSample(sample));
    EXPECT_EQ(g_qnh.load(), 1013);
    EXPECT_DOUBLE_EQ(g_trafficTime.load(), 1700000000.25);

    UserAcState user;
    user.latitude = 47.45;
    user.longitude = 8.55;
    user.altitude = 35123.4;
    user.pitch = 0.0213;
    user.groundVelocity = 250.0;
    gf_setUserAcCopy(user);
    gf_sendUserPosition();
    gf_sendQs123(1700000015);

    // The watchdog: both streams flowed since the handshake; then a quiet
    // spell turns the Traffic lamp stale until the next line.
    gf_checkReaderActivity();
    EXPECT_EQ(g_mainWindowState.trafficLamp.load(), LampActive);
    gf_checkReaderActivity();
    EXPECT_EQ(g_mainWindowState.trafficLamp.load(), LampStale);
    ASSERT_TRUE(rt.sendDatagram(trafficPort, TrafficLineBuilder().set(14, "1700000001").text()));
    ASSERT_TRUE(waitUntil([] { return g_trafficReader.datagramCounter.load() == 3; }));
    gf_checkReaderActivity();
    EXPECT_EQ(g_mainWindowState.trafficLamp.load(), LampActive);

    // Closing: readers stopped, "exit", sockets closed, threads joined.
    gf_stopReaders();
    gf_closeRealTrafficLink();
    gf_joinReaders();
    ASSERT_TRUE(rt.waitClosed(20000));

    const auto lines = rt.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Qs999=version");
    EXPECT_EQ(lines[1], "Qs123=1700000000000");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Qs121=-?\d+;-?\d+;-?\d+\.\d{6};-?\d+;-?\d+;-?\d+\.\d{6};-?\d+\.\d{6})")))
        << lines[2];
    EXPECT_EQ(lines[2], "Qs121=2130;0;0.000000;35123400;250000;0.828159;0.149226");
    EXPECT_EQ(lines[3], "Qs123=1700000015000");
    EXPECT_EQ(lines[4], "exit");
    EXPECT_EQ(g_mainWindowState.trafficLamp.load(), LampStopped);
    EXPECT_FALSE(g_stopRequested.load());
}

}  // namespace
}  // namespace skh::test
