// The per-poll driver of the live traffic under a full load: 512 active
// aircraft with nothing due, all 512 due in one poll, the intake of 200
// and of 1,000 samples per second, and the look-up by act number. A
// counting operator new checks that a steady poll allocates nothing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "aircraft/dbase.hpp"
#include "bench_allocations.hpp"
#include "bench_support.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/parameter_table.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {
namespace {

bench::NullPort g_port;

constexpr std::uint32_t kFirstAct = 100000;

void lf_setUp() {
    gf_clearDbase();
    g_knownTypes.insert("A320");
    g_largeTypes.insert("A320");
    gf_reserveTrafficContainers();
    gf_resetTraffic();
    gf_setSimPort(&g_port);
    gf_trafficServices().sendUserPosition = [] {};
    gf_setTrafficAccepted(true);
    trafficTick = 1;  // no range request or hand-over in the first poll
    g_port.positionBack().reserve(kLiveRoom);
}

// One sample of an aircraft flying east, `k` polls from now.
PosSample lf_sample(std::uint32_t i, std::int32_t due, int k) {
    PosSample s;
    s.lat = 40.0 + 0.02 * i;
    s.lon = 8.0 + 0.001 * k;
    s.altitude = 20000.0;
    s.groundSpeed = 400.0;
    s.trueAirspeed = 400.0;
    s.track = 90.0;
    s.airborne = 1;
    s.dueTick = due;
    return s;
}

// `count` active aircraft, each with `samples` samples due one poll apart from `firstDue` on.
void lf_fleet(std::int32_t firstDue, int samples, std::uint32_t count = kLiveRoom) {
    g_liveAc.clear();
    lf_liveIndexChanged();
    for (std::uint32_t i = 0; i < count; ++i) {
        IdentStrings id;
        id.type = "A320";
        id.callsign = "BM" + std::to_string(i);
        FlightIdent ident(std::move(id));
        ident.actNumber = kFirstAct + i;
        LiveAc ac(lf_sample(i, firstDue, 0), std::move(ident), 0.0);
        for (int k = 1; k < samples; ++k) ac.stream.push_back(lf_sample(i, firstDue + k, k));
        ac.status = AcStatus::active;
        ac.moveState = AcState::flying;
        ac.pos.latitude = ac.stream.front().lat;
        ac.pos.longitude = ac.stream.front().lon;
        ac.pos.altitude = 20000.0;
        LiveAc& added = lf_appendLiveAc(std::move(ac));
        lf_setObjectId(added, 1000 + i);
    }
}

void BM_PollNothingDue(benchmark::State& state) {
    lf_setUp();
    lf_fleet(static_cast<std::int32_t>(trafficTick.load()) + 100000000, 3);
    // The index, both position buffers and the periodic work at their size.
    for (int i = 0; i < 200; ++i) lf_handleAddingStack();
    const std::uint64_t before = bench::g_allocations.load();
    std::uint64_t polls = 0;
    for (auto _ : state) {
        lf_handleAddingStack();
        ++polls;
    }
    const double perPoll = static_cast<double>(bench::g_allocations.load() - before) / static_cast<double>(polls);
    state.counters["allocs_per_poll"] = perPoll;
    if (perPoll > 0.0) state.SkipWithError("a steady poll allocates");
    gf_setSimPort(nullptr);
}
BENCHMARK(BM_PollNothingDue)->Unit(benchmark::kMicrosecond);

void BM_PollAllDue(benchmark::State& state) {
    lf_setUp();
    constexpr int kSamples = 200;
    int left = 0;
    for (auto _ : state) {
        if (left == 0) {
            state.PauseTiming();
            lf_fleet(static_cast<std::int32_t>(trafficTick.load()), kSamples);
            left = kSamples - 2;
            state.ResumeTiming();
        }
        lf_handleAddingStack();  // every aircraft takes its next target
        --left;
    }
    state.counters["aircraft"] = static_cast<double>(g_liveAc.size());
    gf_setSimPort(nullptr);
}
BENCHMARK(BM_PollAllDue)->Unit(benchmark::kMicrosecond);

// Two samples per poll (200 a second) for the 512 flying aircraft, each
// sample checked and appended to its aircraft's stream: the queue must not
// grow. 40000 polls keep every stream below its limit of 200 samples.
void BM_Intake200PerSecond(benchmark::State& state) {
    lf_setUp();
    lf_fleet(static_cast<std::int32_t>(trafficTick.load()) + 100000000, 3);
    std::uint32_t next = 0;
    std::size_t most = 0;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            TrafficSample s;
            const std::uint32_t i = next % kLiveRoom;
            s.actNumber = kFirstAct + i;
            s.ident.type = "A320";
            s.ident.callsign = "BM" + std::to_string(i);
            s.pos = lf_sample(i, 0, static_cast<int>(next / kLiveRoom) + 3);
            s.pos.track = 90.0 + static_cast<double>(next % 7);  // turning: no thinning
            s.timestamp = 1000.0 + static_cast<double>(next) * 0.005;
            ++next;
            gf_pushTrafficSample(std::move(s));
        }
        lf_handleAddingStack();
        most = std::max(most, gf_trafficQueueSize());
    }
    state.counters["queue_max"] = static_cast<double>(most);
    state.counters["stream_front"] = static_cast<double>(g_liveAc.front().stream.size());
    if (most > 2) state.SkipWithError("the traffic queue grows");
    gf_clearTrafficQueue();
    gf_setSimPort(nullptr);
}
BENCHMARK(BM_Intake200PerSecond)->Iterations(40000)->Unit(benchmark::kMicrosecond);

// Ten samples per poll (1,000 a second) for 500 flying aircraft, each
// sample a new position of its aircraft 2 s after the last, checked and
// appended. Counters: the poll's time (mean, p99, worst; the pushes of the
// feed are outside it) and the longest queue seen before a poll; it must
// never hold more than one poll's samples. 8000 polls keep every stream
// below its limit of 200 samples.
void BM_Intake1000PerSecond(benchmark::State& state) {
    constexpr std::uint32_t kAircraft = 500;
    constexpr int kPerPoll = 10;
    lf_setUp();
    lf_fleet(static_cast<std::int32_t>(trafficTick.load()) + 100000000, 3, kAircraft);
    g_trafficCounts = TrafficCounts{};
    std::uint32_t next = 0;
    std::size_t most = 0;
    std::vector<double> pollUs;
    pollUs.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        for (int k = 0; k < kPerPoll; ++k) {
            TrafficSample s;
            const std::uint32_t i = next % kAircraft;
            const int report = static_cast<int>(next / kAircraft) + 3;
            s.actNumber = kFirstAct + i;
            s.ident.type = "A320";
            s.ident.callsign = "BM" + std::to_string(i);
            s.pos = lf_sample(i, 0, report);
            s.pos.track = 90.0 + static_cast<double>(next % 7);  // turning: no thinning
            s.timestamp = 1000.0 + 2.0 * report;
            ++next;
            gf_pushTrafficSample(std::move(s));
        }
        most = std::max(most, gf_trafficQueueSize());
        const auto start = std::chrono::steady_clock::now();
        lf_handleAddingStack();
        pollUs.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(pollUs.begin(), pollUs.end());
    double sum = 0.0;
    for (const double us : pollUs) sum += us;
    state.counters["poll_us_mean"] = sum / static_cast<double>(pollUs.size());
    state.counters["poll_us_p99"] = pollUs[pollUs.size() * 99 / 100];
    state.counters["poll_us_max"] = pollUs.back();
    state.counters["queue_max"] = static_cast<double>(most);
    state.counters["appended"] = static_cast<double>(g_trafficCounts.samplesAppended);
#ifdef NDEBUG  // a sanitizer build needs more than the budget for ten samples
    if (most > kPerPoll) state.SkipWithError("the traffic queue grows");
#endif
    gf_clearTrafficQueue();
    gf_setSimPort(nullptr);
}
BENCHMARK(BM_Intake1000PerSecond)->Iterations(8000)->Unit(benchmark::kMicrosecond);

void BM_FindByAct(benchmark::State& state) {
    lf_setUp();
    lf_fleet(100000000, 2);
    std::uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_findLiveByAct(kFirstAct + (i++ % kLiveRoom)));
        benchmark::DoNotOptimize(gf_findLiveByObjectId(1000 + (i % kLiveRoom)));
    }
    gf_setSimPort(nullptr);
}
BENCHMARK(BM_FindByAct);

}  // namespace
}  // namespace skh

BENCHMARK_MAIN();
