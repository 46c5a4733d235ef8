// The UDP readers on real sockets, fed by the fake RealTraffic.
#include <algorithm>
#include <string>

#include "feed_fixture.hpp"
#include "support/reserved_port.hpp"

namespace skh::test {
namespace {

class ReadersThreaded : public FeedTest {
protected:
    std::uint16_t startTraffic() {
        gf_startTrafficReader(0);
        EXPECT_TRUE(waitUntil([] { return g_trafficReader.boundPort.load() != 0; }));
        return static_cast<std::uint16_t>(g_trafficReader.boundPort.load());
    }
    std::uint16_t startQnh() {
        gf_startQnhReader(0);
        EXPECT_TRUE(waitUntil([] { return g_qnhReader.boundPort.load() != 0; }));
        return static_cast<std::uint16_t>(g_qnhReader.boundPort.load());
    }
    FakeRealTraffic rt;
};

TEST_F(ReadersThreaded, TrafficLinesBecomeQueuedSamples) {
    trafficTick = 100;
    const auto port = startTraffic();
    // The lamps light just after the port is known.
    EXPECT_TRUE(waitUntil([] {
        return g_mainWindowState.trafficLamp.load() == LampActive && g_mainWindowState.weatherLamp.load() == LampActive;
    }));

    ASSERT_TRUE(rt.sendDatagram(port, TrafficLineBuilder().text()));
    ASSERT_TRUE(rt.sendDatagram(port, TrafficLineBuilder().set(1, "4840101").set(9, "EZY1").text()));
    ASSERT_TRUE(rt.sendDatagram(port, TrafficLineBuilder().set(10, "SERV VEH").text()));
    ASSERT_TRUE(waitUntil([] { return g_trafficReader.datagramCounter.load() == 3; }));
    ASSERT_EQ(gf_trafficQueueSize(), 2u);
    TrafficSample s;
    ASSERT_TRUE(gf_popTrafficSample(s));
    EXPECT_EQ(s.actNumber, 4840100u);
    EXPECT_EQ(s.pos.dueTick, 3100);
    ASSERT_TRUE(gf_popTrafficSample(s));
    EXPECT_EQ(s.ident.callsign, "EZY1");

    gf_stopReaders();
    gf_joinReaders();
    EXPECT_EQ(g_mainWindowState.trafficLamp.load(), LampStopped);
    EXPECT_TRUE(log.contains("          Traffic Reader connected"));
    EXPECT_TRUE(log.contains("Traffic Reader has stopped"));
    EXPECT_TRUE(log.contains("          Traffic Reader disconnected"));
    EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(ReadersThreaded, OversizedAndBadDatagramsDoNotStopTheReaders) {
    const auto trafficPort = startTraffic();
    const auto qnhPort = startQnh();

    ASSERT_TRUE(rt.sendDatagram(trafficPort, std::string(20000, 'x')));
    ASSERT_TRUE(rt.sendDatagram(trafficPort, std::string(UdpReader::kBufferSize, ',')));
    ASSERT_TRUE(rt.sendQnh(qnhPort, "not json"));
    ASSERT_TRUE(rt.sendQnh(qnhPort, R"({"QNH":1e10})"));
    ASSERT_TRUE(rt.sendQnh(qnhPort, R"({"QNH":1020})"));
    ASSERT_TRUE(rt.sendDatagram(trafficPort, TrafficLineBuilder().text()));

    ASSERT_TRUE(waitUntil([] { return g_qnh.load() == 1020; }));
    ASSERT_TRUE(waitUntil([] { return gf_trafficQueueSize() == 1; }));
    EXPECT_EQ(g_trafficReader.datagramCounter.load(), 1);
    EXPECT_EQ(g_qnhReader.datagramCounter.load(), 3);
    EXPECT_EQ(g_mainWindowState.qnhShown.load(), 1020);
    EXPECT_TRUE(log.contains("buffer overrun: 16384 bytes"));
    EXPECT_TRUE(log.contains("===> QNH datagram is not a JSON object: not json"));
    EXPECT_FALSE(g_stopRequested.load());

    gf_stopReaders();
    gf_joinReaders();
    EXPECT_TRUE(log.contains("QNH Reader has stopped"));
}

TEST_F(ReadersThreaded, AFloodOfBadDatagramsLogsItsFirstLinesThenCounts) {
    constexpr int kFlood = 1000;
    for (int i = 0; i < kFlood; ++i) g_trafficReader.handleDatagram("garbage " + std::to_string(i));
    g_trafficReader.handleDatagram(std::string(UdpReader::kBufferSize, 'x'));  // an overrun is one too
    const auto linesWith = [&](const std::string& part) {
        const auto lines = log.lines();
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.find(part) != std::string::npos; });
    };
    EXPECT_EQ(linesWith("exception in processLineSub: line has 1 field, 29 needed: garbage "),
              UdpReader::kLoggedBadDatagrams);
    EXPECT_EQ(linesWith("buffer overrun"), 0);
    EXPECT_EQ(linesWith("Traffic Reader: more than 50 bad datagrams; the next ones are only counted"), 1);
    EXPECT_LE(log.lines().size(), static_cast<std::size_t>(UdpReader::kLoggedBadDatagrams) + 2);

    // The count comes when the reader's thread ends; the next run logs its
    // first bad lines in full again.
    startTraffic();
    gf_stopReaders();
    gf_joinReaders();
    EXPECT_EQ(linesWith("Traffic Reader: 951 bad datagrams not logged (1001 in all)"), 1) << log.text();
    g_trafficReader.handleDatagram("garbage again");
    EXPECT_TRUE(log.contains("line has 1 field, 29 needed: garbage again"));

    // The weather port is bounded the same way, whatever the refusal says.
    for (int i = 0; i < kFlood; ++i) {
        g_qnhReader.handleDatagram(i % 2 == 0 ? "not json" : R"({"wind":3})");
    }
    EXPECT_EQ(linesWith("QNH datagram is not a JSON object") + linesWith("no QNH"), UdpReader::kLoggedBadDatagrams);
    EXPECT_EQ(linesWith("QNH Reader: more than 50 bad datagrams; the next ones are only counted"), 1);
}

TEST_F(ReadersThreaded, PortInUseStopsTheRunWithReaderError) {
    // Another program holds the port.
    const platform::Socket other = platform::openUdpSocket(platform::Family::IPv4);
    platform::SocketAddress address;
    ASSERT_EQ(platform::resolveAddress("127.0.0.1", "0", platform::Family::IPv4, false, address), 0);
    ASSERT_EQ(platform::bindSocket(other, address), 0);
    const auto port = static_cast<std::uint16_t>(platform::localPort(other));

    gf_startTrafficReader(port);
    gf_joinReaders();
    platform::closeSocket(other);

    EXPECT_TRUE(g_stopRequested.load());
    EXPECT_EQ(g_appState.load(), AppState::ReaderError);
    EXPECT_EQ(g_restartDelay.load(), 15);
    const std::string expected =
        "The Traffic Reader has stopped with error: bind to stream socket failed, error: 10048 Address already in use";
    EXPECT_EQ(gf_statusText(), expected);
    EXPECT_TRUE(log.contains(expected));
    // The receive loop never ran, so the reader did not report a stop.
    const auto lines = log.lines();
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "Traffic Reader has stopped"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "          Traffic Reader disconnected"), lines.end());
    EXPECT_NE(g_mainWindowState.trafficLamp.load(), LampStopped);
}

TEST_F(ReadersThreaded, JoinedReadersFreeTheirPortsForTheNextRun) {
    // Fixed for every run, as the program's are.
    const ReservedPort reserved;
    const std::uint16_t port = reserved.number();
    gf_startQnhReader(port);
    ASSERT_TRUE(waitUntil([] { return g_qnhReader.boundPort.load() != 0; }));
    for (int run = 0; run < 3; ++run) {
        gf_stopReaders();
        gf_joinReaders();
        gf_startQnhReader(port);
        ASSERT_TRUE(waitUntil([] { return g_qnhReader.boundPort.load() != 0; }));
        ASSERT_TRUE(rt.sendQnh(port, R"({"QNH":)" + std::to_string(1001 + run) + "}"));
        ASSERT_TRUE(waitUntil([run] { return g_qnh.load() == 1001 + run; }));
    }
    EXPECT_FALSE(g_stopRequested.load());
}

TEST_F(ReadersThreaded, RepeatsFromAnotherPcAreCountedNotParsed) {
    g_rtOnThisPc = false;  // the reader listens on every address
    const auto port = startTraffic();
    const std::string line = TrafficLineBuilder().text();
    ASSERT_TRUE(rt.sendDatagram(port, line));
    ASSERT_TRUE(rt.sendDatagram(port, line));
    ASSERT_TRUE(waitUntil([] { return g_trafficReader.datagramCounter.load() == 2; }));
    EXPECT_EQ(gf_trafficQueueSize(), 1u);
}

}  // namespace
}  // namespace skh::test
