// The movement model's hot paths: a steady poll of 512 airborne aircraft on
// 30-sample streams (the per-poll update with its integrator, no target
// due), a poll in which all 512 reach their targets at once, and the set-up
// of one ground turn flown as a Bezier curve. Allocations inside the timed
// polls are counted through a hook on operator new.
#include <benchmark/benchmark.h>

#include <vector>

#include "aircraft/dbase.hpp"
#include "bench_allocations.hpp"
#include "bench_support.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "traffic/movement.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"

namespace {

using namespace skh;

constexpr std::size_t kAircraft = 512;
constexpr std::size_t kStream = 30;
constexpr std::uint32_t kNow = 1000000;

bench::NullPort g_port;

PosSample lf_sample(GeoPos p, double gs, double alt, std::int32_t due) {
    PosSample s;
    s.lat = p.lat;
    s.lon = p.lon;
    s.groundSpeed = gs;
    s.trueAirspeed = gs;
    s.altitude = alt;
    s.airborne = alt > 0.0 ? 1 : 0;
    s.verticalSpeed = -500.0;
    s.dueTick = due;
    return s;
}

// 512 airborne aircraft spread over the area, each with 30 samples 5 s apart
// along a gently turning track; the first target due `firstDue` polls from now.
void lf_fillSky(std::int32_t firstDue) {
    gf_resetTraffic();
    for (std::size_t i = 0; i < kAircraft; ++i) {
        IdentStrings id;
        id.type = "A320";
        id.callsign = skh::format("B{}", i);
        id.airline = "BEN";
        GeoPos p{46.5 + static_cast<double>(i % 32) * 0.05, 7.5 + static_cast<double>(i / 32) * 0.1};
        double track = static_cast<double>(i % 360) * DEG2RAD;
        const double alt = 8000.0 + static_cast<double>(i % 50) * 100.0;
        LiveAc ac(lf_sample(p, 300.0, alt, static_cast<std::int32_t>(kNow) - 10), FlightIdent(std::move(id)), 0.0);
        for (std::size_t k = 1; k < kStream; ++k) {
            track += 2.0 * DEG2RAD;
            p = gf_destinationPoint(p, track, 300.0 * 5.0 / 3600.0 * 6076.11549);
            ac.stream.push_back(
                lf_sample(p, 300.0, alt - 40.0 * static_cast<double>(k),
                          static_cast<std::int32_t>(kNow) + firstDue + 500 * static_cast<std::int32_t>(k - 1)));
        }
        ac.actNumber = 100000 + static_cast<std::uint32_t>(i);
        ac.objectId = 1000 + static_cast<std::uint32_t>(i);
        ac.status = AcStatus::active;
        ac.moveState = AcState::flying;
        ac.pos.latitude = ac.stream.front().lat;
        ac.pos.longitude = ac.stream.front().lon;
        ac.pos.altitude = alt;
        ac.maxClimbStep = gf_maxClimbStepOf(ac.category);
        ac.heightAboveGround = alt;
        lf_appendLiveAc(std::move(ac));
    }
    // The first poll sets every aircraft on its way to its first target.
    trafficTick = kNow;
    gf_updateAllLiveAc();
}

void lf_setUp() {
    gf_clearDbase();
    g_knownTypes.insert("A320");
    g_largeTypes.insert("A320");
    gf_reserveTrafficContainers();
    gf_setSimPort(&g_port);
}

void BM_SteadyPoll512(benchmark::State& state) {
    lf_setUp();
    lf_fillSky(1000000);  // the targets lie far ahead: nothing becomes due
    for (int i = 0; i < 10; ++i) gf_updateAllLiveAc();
    const std::size_t before = bench::g_allocations.load();
    std::size_t polls = 0;
    for (auto _ : state) {
        gf_updateAllLiveAc();
        ++polls;
    }
    const double perPoll = static_cast<double>(bench::g_allocations.load() - before) / static_cast<double>(polls);
    state.counters["allocs_per_poll"] = perPoll;
    if (perPoll > 0.0) state.SkipWithError("a steady poll allocates");
    if (g_port.front.size() != kAircraft) state.SkipWithError("not every aircraft sent its position");
}
BENCHMARK(BM_SteadyPoll512)->Unit(benchmark::kMicrosecond);

void BM_AllDueInOnePoll512(benchmark::State& state) {
    lf_setUp();
    lf_fillSky(1);
    int left = 0;
    for (auto _ : state) {
        if (left == 0) {
            state.PauseTiming();
            lf_fillSky(1);
            left = static_cast<int>(kStream) - 3;
            state.ResumeTiming();
        }
        // Every front sample is due now.
        for (LiveAc& ac : g_liveAc) ac.stream.front().dueTick = static_cast<std::int32_t>(trafficTick.load());
        gf_updateAllLiveAc();
        --left;
    }
    std::size_t active = 0;
    for (const LiveAc& ac : g_liveAc) active += ac.status == AcStatus::active ? 1 : 0;
    if (active != kAircraft) state.SkipWithError("aircraft were lost");
}
BENCHMARK(BM_AllDueInOnePoll512)->Unit(benchmark::kMicrosecond);

void BM_GroundTurnSetUp(benchmark::State& state) {
    lf_setUp();
    gf_resetTraffic();
    trafficTick = kNow;
    const GeoPos a{47.45, 8.55};
    const GeoPos b = gf_destinationPoint(a, 90.0 * DEG2RAD, 40.0 / 1852.0 * 6076.11549);
    const GeoPos c = gf_destinationPoint(b, 180.0 * DEG2RAD, 40.0 / 1852.0 * 6076.11549);
    const GeoPos d = gf_destinationPoint(c, 180.0 * DEG2RAD, 40.0 / 1852.0 * 6076.11549);
    const auto now = static_cast<std::int32_t>(kNow);
    const PosSample s0 = lf_sample(a, 15.0, 0.0, now);
    const PosSample s1 = lf_sample(b, 15.0, 0.0, now + 500);
    IdentStrings id;
    id.type = "A320";
    LiveAc ac(s0, FlightIdent(std::move(id)), 0.0);
    ac.stream.push_back(s1);
    ac.stream.push_back(lf_sample(c, 15.0, 0.0, now + 1000));
    ac.stream.push_back(lf_sample(d, 15.0, 0.0, now + 1500));
    ac.status = AcStatus::active;
    ac.objectId = 1000;
    ac.onGround = 1;
    ac.moveState = AcState::taxi;
    ac.groundTurnRateNow = ac.groundTurnRate;
    const AiPositionBlock start{a.lat, a.lon, 0.0, 0.0, 90.0 * DEG2RAD, 1411.0, 0.0, 15.0};
    bool curved = true;
    for (auto _ : state) {
        ac.pos = start;
        nextPosMain(ac);
        curved = curved && ac.curve.active();
        // Back to the corner ahead: the front and the corner return to the stream.
        ac.stream.push_front(s1);
        ac.stream.push_front(s0);
        benchmark::DoNotOptimize(ac.curveTStep);
    }
    if (!curved) state.SkipWithError("the turn was no curve");
}
BENCHMARK(BM_GroundTurnSetUp)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
