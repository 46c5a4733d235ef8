// The traffic feed's hot paths: one traffic line parsed, filtered and pushed
// onto the traffic queue; and the Traffic Reader on loopback taking 20,000
// datagrams a second from the fake RealTraffic.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "airports/airport.hpp"
#include "feed/readers.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "support/fake_realtraffic.hpp"
#include "feed/traffic_queue.hpp"

namespace {

using skh::test::TrafficLineBuilder;

void prepareFeed() {
    skh::g_rtOnThisPc = true;
    skh::g_rangeNm = 40.0;
    skh::g_trafficReader.setUserPos(skh::test::kDefaultLat, skh::test::kDefaultLon);
    skh::gf_setParkAirport(skh::Airport{"LSZH", "ZRH", skh::test::kDefaultLat, skh::test::kDefaultLon, 1416.0});
    skh::gf_setParkElevation(1416.0);
    skh::gf_setTrafficAccepted(true);
    skh::gf_clearTrafficQueue();
}

// A mix like a busy area's feed: mostly airborne aircraft, some on the ground
// at the park airport, a few beyond range, vehicles, gliders, lines without
// identity and broken lines.
std::vector<std::string> trafficMix(std::size_t count) {
    std::vector<std::string> lines;
    lines.reserve(count);
    const char* types[] = {"A320", "B738", "A21N", "E190", "B77W", "A359", "CRJ9", "DH8D"};
    const char* callsigns[] = {"SWR", "DLH", "EZY", "RYR", "UAE", "AFR", "KLM", "BAW"};
    for (std::size_t i = 0; i < count; ++i) {
        TrafficLineBuilder line;
        const auto k = static_cast<int>(i % 100);
        const double dLat = static_cast<double>(i % 37) * 0.01 - 0.18;
        const double dLon = static_cast<double>(i % 53) * 0.01 - 0.26;
        line.set(1, std::to_string(4000000 + i % 5000))
            .set(2, skh::format("{:.6f}", skh::test::kDefaultLat + dLat))
            .set(3, skh::format("{:.6f}", skh::test::kDefaultLon + dLon))
            .set(4, std::to_string(2000 + (i * 37) % 36000))
            .set(7, skh::format("{:.1f}", static_cast<double>(i % 360)))
            .set(9, skh::format("{}{}", callsigns[i % 8], 100 + i % 900))
            .set(10, types[i % 8])
            .set(14, skh::format("{:.2f}", 1700000000.0 + static_cast<double>(i) * 0.01))
            .set(23, k % 3 == 0 ? "4.5" : "-1")
            .set(25, skh::format("{:.1f}", static_cast<double>((i + 3) % 360)));
        if (k < 8) line.set(4, "1420").set(8, "12");                  // taxiing at the park airport
        else if (k < 12) line.set(2, "49.500000");                    // beyond range
        else if (k < 14) line.set(10, "SERV VEH");                    // ground vehicle
        else if (k < 16) line.set(10, "GLID").set(28, "B1");          // glider
        else if (k < 17) line.set(9, "null").set(11, "null");         // no identity
        else if (k < 18) line.set(8, "fast");                         // broken field
        lines.push_back(line.text());
    }
    return lines;
}

void BM_ParseFilterPush(benchmark::State& state) {
    prepareFeed();
    const auto lines = trafficMix(10007);
    std::size_t i = 0;
    std::size_t pushed = 0;
    for (auto _ : state) {
        skh::g_trafficReader.handleDatagram(lines[i]);
        if (++i == lines.size()) i = 0;
        // The consumer's share: keep the queue short, as the main loop does.
        if ((++pushed & 1023) == 0) skh::gf_clearTrafficQueue();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    skh::gf_clearTrafficQueue();
}
BENCHMARK(BM_ParseFilterPush)->Iterations(1000000)->Unit(benchmark::kNanosecond);

// 20,000 datagrams a second for one second, paced in 1-ms bursts.
void BM_UdpTrafficReader20kPerSecond(benchmark::State& state) {
    prepareFeed();
    skh::gf_setParkElevation(std::nullopt);
    const auto lines = trafficMix(997);
    constexpr int kRate = 20000;
    constexpr int kPerMs = kRate / 1000;
    for (auto _ : state) {
        skh::g_trafficReader.datagramCounter = 0;
        skh::g_trafficReader.setWaitTimeoutMs(50);  // a quick stop at the end
        skh::gf_startTrafficReader(0);
        while (skh::g_trafficReader.boundPort.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto port = static_cast<std::uint16_t>(skh::g_trafficReader.boundPort.load());

        skh::test::FakeRealTraffic rt;
        std::int64_t sent = 0;
        std::int64_t failed = 0;
        const auto start = std::chrono::steady_clock::now();
        for (int ms = 0; ms < 1000; ++ms) {
            for (int k = 0; k < kPerMs; ++k) {
                if (rt.sendDatagram(port, lines[static_cast<std::size_t>(sent + failed) % lines.size()])) {
                    ++sent;
                } else {
                    ++failed;
                }
            }
            std::this_thread::sleep_until(start + std::chrono::milliseconds(ms + 1));
        }
        // Let the reader drain its socket.
        std::int32_t seen = -1;
        while (seen != skh::g_trafficReader.datagramCounter.load()) {
            seen = skh::g_trafficReader.datagramCounter.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        skh::gf_stopReaders();
        skh::gf_joinReaders();
        skh::gf_clearTrafficQueue();

        state.counters["sent"] = static_cast<double>(sent);
        state.counters["send_failed"] = static_cast<double>(failed);
        state.counters["received"] = static_cast<double>(seen);
        state.counters["lost"] = static_cast<double>(sent - seen);
        if (seen != sent) state.SkipWithError("the Traffic Reader lost datagrams");
    }
}
BENCHMARK(BM_UdpTrafficReader20kPerSecond)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
