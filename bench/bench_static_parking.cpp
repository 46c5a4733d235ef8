// The static parking of a large park airport: the plan for 512 stands with
// 64 options each (real and soft, spread over the week and the day), 256
// wanted, MAX_FIT 47 and RANDOM on; the 20-minute adjustment of 256 active
// static aircraft to a new half-hour; and the once-a-second check of 512
// taxiing live aircraft against 256 static ones.
#include <benchmark/benchmark.h>

#include <random>

#include "aircraft/dbase.hpp"
#include "airports/airport.hpp"
#include "airports/park_airport_load.hpp"
#include "bench_allocations.hpp"
#include "bench_support.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/static_parking.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {
namespace {

bench::NullPort g_port;

constexpr int kStands = 512;
constexpr int kOptions = 64;
constexpr double kMonday = 345600.0 + 2900.0 * 604800.0;  // a Monday 00:00 UTC
const char* const kTypes[] = {"A320", "B744", "CRJ9", "A320", "A320"};

void lf_setTime(int weekday, int slot) {
    g_rtProfessional = true;
    g_trafficTime = kMonday + (weekday - 1) * 86400.0 + slot * 1800.0 + 600.0;
    g_weekSlot = gf_weekdayAndSlot();
}

// Stands 60 m apart in rows of 32; options of random airlines
// and registrations, each seen on one weekday in one to three half-hours.
void lf_airport() {
    gf_clearDbase();
    for (const char* t : {"A320", "B744", "CRJ9"}) g_knownTypes.insert(t);
    g_largeTypes.insert("A320");
    g_heavyTypes.insert("B744");
    g_buzjetTypes.insert("CRJ9");
    g_wingspans = {{"A320", 0.0097}, {"B744", 0.0174}, {"CRJ9", 0.0066}};
    gf_reserveTrafficContainers();
    gf_resetTraffic();
    gf_setSimPort(&g_port);
    gf_trafficServices().matchStaticLivery = [](FlightIdent& f, bool, std::string_view) {
        f.liveryTitle = "Bench livery";
        return true;
    };
    gf_setParkAirport(Airport{"BNCH", "", 47.0, 8.0, 1000.0});
    std::mt19937 rng(7);
    g_stands.clear();
    for (int s = 0; s < kStands; ++s) {
        std::vector<StandOption> options;
        for (int o = 0; o < kOptions; ++o) {
            StandOption opt;
            opt.airline = skh::format("A{:02}", rng() % 60);
            opt.type = kTypes[rng() % 5];
            opt.registration = skh::format("R{}-{}", s, o);
            opt.callsign = skh::format("{}{}", opt.airline, rng() % 9000 + 100);
            if (rng() % 3 == 0) opt.secondCallsign = skh::format("{}{}", opt.airline, rng() % 9000 + 100);
            const int slot = static_cast<int>(rng() % 48);
            for (int k = 0; k < 1 + static_cast<int>(rng() % 3) && slot + k < 48; ++k)
                opt.halfHours |= 1ull << (slot + k);
            opt.seq = static_cast<std::uint32_t>(o + 1);
            opt.weekday = 1 + rng() % 7;
            opt.origin = 1;
            opt.real = rng() % 4 == 0 ? 0 : 1;
            options.push_back(std::move(opt));
        }
        // Every eighth stand shares room with the one before it.
        const double lon = 8.0 + (s % 32) * 0.0008 - (s % 8 == 7 ? 0.0004 : 0.0);
        g_stands.push_back(gf_makeStand(skh::format("G{:03}", s), std::move(options), 47.0 + (s / 32) * 0.0009, lon,
                                        0.0, 30.0, false, false, false));
    }
    lf_numberStands(g_stands);
    RANDOM.value = true;
    PARK_SOFT.value = true;
    WEEK.value = false;
    MAX_FIT.value = 47;
    MAX_PARK_SEL.value = 500;
    CUSTOM_PARKING_PERCENTAGE.value = 50;
    lf_setTime(3, 20);
}

void BM_BuildPlan(benchmark::State& state) {
    lf_airport();
    std::size_t planned = 0;
    for (auto _ : state) {
        lf_showParkingParams();
        planned = g_parkPositions.size();
    }
    state.counters["planned"] = static_cast<double>(planned);
    if (planned != 256) state.SkipWithError("the plan did not reach 256");
}
BENCHMARK(BM_BuildPlan)->Unit(benchmark::kMillisecond);

// 256 static aircraft placed from the plan and active, then the adjustment
// half an hour later; the statics are set up again outside the timing.
void BM_ParkingAdjustments(benchmark::State& state) {
    lf_airport();
    lf_showParkingParams();
    while (!g_parkPositions.empty()) lf_staticParking();
    std::uint32_t objectId = 100;
    for (StaticAc& st : g_staticAc) {
        st.status = AcStatus::active;
        st.objectId = ++objectId;
    }
    const std::vector<StaticAc> placed = g_staticAc;
    const std::vector<Stand> stands = g_stands;
    lf_setTime(3, 21);
    std::size_t removed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g_staticAc = placed;
        g_stands = stands;
        g_staticCreateQueue.clear();
        removalQueue.clear();
        lf_clearRemovalsInFlight();
        state.ResumeTiming();
        gf_parkingAdjustments();
        removed = removalQueue.size();
    }
    state.counters["statics"] = static_cast<double>(placed.size());
    state.counters["removed"] = static_cast<double>(removed);
    state.counters["added"] = static_cast<double>(g_parkPositions.size());
}
BENCHMARK(BM_ParkingAdjustments)->Unit(benchmark::kMillisecond);

// Every live aircraft taxies between two rows of stands and has moved since
// its last check; each passes a few static aircraft closely, none touches.
void BM_StaticCollisionCheck(benchmark::State& state) {
    lf_airport();
    lf_showParkingParams();
    while (!g_parkPositions.empty()) lf_staticParking();
    for (StaticAc& st : g_staticAc) st.status = AcStatus::active;
    g_liveAc.clear();
    for (std::uint32_t i = 0; i < kLiveRoom; ++i) {
        IdentStrings id;
        id.type = "CRJ9";
        id.callsign = skh::format("LV{}", i);
        FlightIdent ident(std::move(id));
        ident.actNumber = 100000 + i;
        PosSample first;
        LiveAc ac(first, std::move(ident), 0.0);
        ac.status = AcStatus::active;
        ac.moveState = AcState::taxi;
        ac.onGround = 1;
        ac.pos.latitude = 47.0 + 0.0009 * (i % 15) + 0.00045;  // 50 m from either row
        ac.pos.longitude = 8.0 + 0.00005 * (i / 15);
        lf_appendLiveAc(std::move(ac));
    }
    std::size_t removed = 0;
    for (auto _ : state) {
        for (LiveAc& ac : g_liveAc) ac.lastCollisionCheckLat = 0.0;  // each has moved
        gf_avoidStaticCollisionsOnGround();
    }
    for (const StaticAc& st : g_staticAc) removed += st.status == AcStatus::removingfromsim ? 1 : 0;
    state.counters["live"] = static_cast<double>(g_liveAc.size());
    state.counters["statics"] = static_cast<double>(g_staticAc.size());
    if (removed != 0) state.SkipWithError("a static aircraft was removed");
}
BENCHMARK(BM_StaticCollisionCheck)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace skh

BENCHMARK_MAIN();
