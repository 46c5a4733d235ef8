// The QNH handler and the readers' watchdog, fed without sockets.
#include <string>
#include <vector>

#include "feed/wsa_error_text.hpp"
#include "feed_fixture.hpp"
#include "platform/window.hpp"

namespace skh::test {
namespace {

using Qnh = FeedTest;

TEST_F(Qnh, ValuesBecomeWholeHectopascalsWithin900To1100) {
    const std::vector<std::pair<std::string, std::int32_t>> cases = {
        {R"({"QNH":1009})", 1009},
        {R"({"QNH":2992})", 1013},    // inHg hundredths
        {R"({"QNH":3100})", 1050},
        {R"({"QNH":850})", 900},
        {R"({"QNH":1150})", 900},     // 389 hPa as inHg hundredths
        {R"({"QNH":-20})", 900},
        {R"({"QNH":"1008"})", 1008},
        {R"({"QNH":"1007hPa"})", 1007},
        {R"({"QNH":1012.6})", 1013},
        {R"({"QNH":1011.5})", 1012},  // halves away from zero
        {R"({"QNH":29.92})", 900},
        {R"({"QNH":5000000})", 1100},
        {R"( {"other":1, "QNH":1002} )", 1002},
    };
    for (const auto& [json, expected] : cases) {
        SCOPED_TRACE(json);
        g_qnhReader.handleDatagram(json);
        EXPECT_EQ(g_qnh.load(), expected);
        EXPECT_EQ(g_qnhReader.lastQnh.load(), expected);
        EXPECT_EQ(g_mainWindowState.qnhShown.load(), expected);
    }
    EXPECT_FALSE(log.contains("===>"));
}

TEST_F(Qnh, BadDatagramsKeepTheLastValue) {
    g_qnhReader.handleDatagram(R"({"QNH":1005})");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"QNH 1005", "===> QNH datagram is not a JSON object: QNH 1005"},
        {R"({"QNH":1005)", "===> QNH datagram is not a JSON object"},
        {R"([1005])", "===> QNH datagram is not a JSON object: [1005]"},
        {"\xff\xfe{\"QNH\":999}", "===> QNH datagram is not a JSON object: ??{"},
        {R"({"QNH":"high"})", "===> QNH string parse error: high in {\"QNH\":\"high\"}"},
        {R"({"QNH":"99999999999"})", "===> QNH string parse error: 99999999999"},
        {R"({"QNH":1e10})", "===> QNH out of range: {\"QNH\":1e10}"},
        {R"({"QNH":-1e300})", "===> QNH out of range"},
        {R"({"QNH":10000000000})", "===> QNH out of range: {\"QNH\":10000000000}"},
        {R"({"QNH":-10000000000})", "===> QNH out of range: {\"QNH\":-10000000000}"},
        {R"({"QNH":true})", "no QNH {\"QNH\":true}"},
        {R"({"QNH":null})", "no QNH {\"QNH\":null}"},
        {R"({"QNH":[1000]})", "no QNH"},
        {R"({"qnh":1000})", "no QNH {\"qnh\":1000}"},
    };
    for (const auto& [datagram, expectedLog] : cases) {
        SCOPED_TRACE(datagram);
        g_qnhReader.handleDatagram(datagram);
        EXPECT_EQ(g_qnh.load(), 1005);
        EXPECT_EQ(g_qnhReader.lastQnh.load(), 1005);
        EXPECT_TRUE(log.contains(expectedLog)) << log.text();
    }
}

TEST_F(Qnh, StandardValueIsPassedOnEveryTimeOthersOnce) {
    const auto paints = [] { return platform::invalidateCount(); };
    auto before = paints();
    g_qnhReader.handleDatagram(R"({"QNH":1013})");
    g_qnhReader.handleDatagram(R"({"QNH":1013 })");
    // Passed on both times; the board already shows 1013, so nothing is repainted.
    EXPECT_EQ(g_qnh.load(), 1013);
    EXPECT_EQ(paints() - before, 0u);

    before = paints();
    g_qnhReader.handleDatagram(R"({"QNH":1012})");
    g_qnhReader.handleDatagram(R"({"QNH":1012 })");
    EXPECT_EQ(paints() - before, 1u);

    // A new value turns a stale Weather lamp active again.
    g_mainWindowState.weatherLamp = LampStale;
    g_qnhReader.handleDatagram(R"({"QNH":1011})");
    EXPECT_EQ(g_mainWindowState.weatherLamp.load(), LampActive);
    g_mainWindowState.weatherLamp = LampStopped;
    g_qnhReader.handleDatagram(R"({"QNH":1010})");
    EXPECT_EQ(g_mainWindowState.weatherLamp.load(), LampStopped);
}

TEST_F(Qnh, WatchdogShowsStaleAndActiveStreams) {
    auto& w = g_mainWindowState;
    g_rtOnThisPc = true;

    // Not connected to RealTraffic: nothing is judged.
    gf_checkReaderActivity();
    EXPECT_EQ(w.trafficLamp.load(), LampOff);

    w.realTrafficConnected = true;
    w.trafficLamp = LampActive;
    w.weatherLamp = LampActive;
    lf_resetRealTrafficLink();  // both lamps shown active

    g_qnhReader.handleDatagram(R"({"QNH":1010})");
    g_trafficReader.handleDatagram("a line");
    gf_checkReaderActivity();
    EXPECT_EQ(w.weatherLamp.load(), LampActive);
    EXPECT_EQ(w.trafficLamp.load(), LampActive);

    const auto before = platform::invalidateCount();
    gf_checkReaderActivity();
    EXPECT_EQ(w.weatherLamp.load(), LampStale);
    EXPECT_EQ(w.trafficLamp.load(), LampStale);
    EXPECT_EQ(platform::invalidateCount() - before, 2u);

    g_trafficReader.handleDatagram("another line");
    gf_checkReaderActivity();
    EXPECT_EQ(w.trafficLamp.load(), LampActive);
    EXPECT_EQ(w.weatherLamp.load(), LampStale);

    // Active and still flowing: no repaint.
    g_trafficReader.handleDatagram("a third line");
    const auto quiet = platform::invalidateCount();
    gf_checkReaderActivity();
    EXPECT_EQ(w.trafficLamp.load(), LampActive);
    EXPECT_EQ(platform::invalidateCount() - quiet, 0u);  // the QNH lamp was stale already
}

TEST(WsaErrorText, CodeAndText) {
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {10004, "10004 Interrupted system call"},
        {10040, "10040 Messenger too long"},
        {10048, "10048 Address already in use"},
        {10054, "10054 Connection reset by peer"},
        {10058, "10058 Can't send numLines socket shutdown"},
        {11004, "11004 No host data of that type was found"},
        {11002, "11002 Unknown errror code"},
        {0, "0 Unknown errror code"},
        {-1, "-1 Unknown errror code"},
    };
    for (const auto& [code, text] : cases) EXPECT_EQ(gf_wsaErrorText(code), text);
}

}  // namespace
}  // namespace skh::test
