#include "feed/readers.hpp"

#include "foundation/main_window_state.hpp"
#include "platform/window.hpp"
#include "feed/traffic_queue.hpp"

namespace skh {

TrafficReader g_trafficReader;
QnhReader g_qnhReader;

namespace {

void lf_checkOne(UdpReader& reader, std::atomic<std::int32_t>& lamp) {
    const std::int32_t count = reader.datagramCounter.load();
    const std::int32_t previous = reader.lastCounter.exchange(count);
    if (count == previous) {
        gf_setBoard(lamp, LampStale);
        reader.shownActive = false;
    } else if (!reader.shownActive.exchange(true)) {
        gf_setBoard(lamp, LampActive);
    }
}

}  // namespace

void lf_trafficReaderThread(std::uint16_t port) { g_trafficReader.threadBody(port); }

void lf_qnhReaderThread(std::uint16_t port) { g_qnhReader.threadBody(port); }

void gf_startTrafficReader(std::uint16_t port) { g_trafficReader.start(port, &lf_trafficReaderThread); }

void gf_startQnhReader(std::uint16_t port) { g_qnhReader.start(port, &lf_qnhReaderThread); }

void gf_stopReaders() {
    g_qnhReader.requestStop();
    g_trafficReader.requestStop();
}

void gf_joinReaders() {
    g_qnhReader.join();
    g_trafficReader.join();
}

void gf_checkReaderActivity() {
    if (!g_mainWindowState.realTrafficConnected.load()) return;
    lf_checkOne(g_qnhReader, g_mainWindowState.weatherLamp);
    lf_checkOne(g_trafficReader, g_mainWindowState.trafficLamp);
}

void gf_resetReadersForLink() {
    g_trafficReader.stopFlag = false;
    g_qnhReader.stopFlag = false;
    g_qnhReader.lastQnh = kStandardQnh;
    g_qnhReader.datagramCounter = 0;
    g_qnhReader.lastCounter = 0;
    g_qnhReader.shownActive = true;
    g_trafficReader.shownActive = true;
}

}  // namespace skh
