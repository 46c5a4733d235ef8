// The park airport: loading a busy airport (512 stands, a learned file of 150
// options a stand) with its adjacency, the learned save of 512 x 64 options,
// and the 16-second choice of the park airport in sight among 3,000 entries.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "airports/airport.hpp"
#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/text_files.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/stand_learning.hpp"

namespace {

namespace fs = std::filesystem;
using namespace skh;

constexpr int kStands = 512;
constexpr const char* kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";

// The program folder of the benchmark, the current folder while the
// benchmarks run.
void enterProgramFolder() {
    static const test::TempDir folder;
    fs::current_path(folder.path());
}

// The airport's stand file and learned file, written anew.
void makeAirport() {
    enterProgramFolder();
    fs::remove_all(g_airportsFolder);
    fs::create_directories(g_myThirdpartyFolder);
    std::mt19937 rng(7);
    std::string a = std::string("<?xml version=\"1.0\"?>") + kMeta +
                    R"(<parameters><parameter name="airport_name" value="Big"/><parameter name="publisher" )"
                    R"(value="Maker"/><parameter name="altitude" value="83"/></parameters><parkpositions>)";
    std::string l = std::string("<?xml version=\"1.0\"?>") + kMeta +
                    R"(<parameters><parameter name="airport_name" value="Big"/></parameters><parkpositions>)";
    for (int s = 0; s < kStands; ++s) {
        // Rows of stands 40 m apart with radii of 15 to 40 m: many neighbours.
        a += skh::format(R"(<parkpos id="G{:03}" latitude="{:.6f}" longitude="{:.6f}" heading="90" radius="{}" )"
                         R"(cargo="false" ramp="false"/>)",
                         s, 51.47 + (s / 32) * 0.0004, -0.45 + (s % 32) * 0.0006, 15 + s % 26);
        l += skh::format(R"(<parkpos id="G{:03}">)", s);
        for (int i = 0; i < 150; ++i) {
            const unsigned first = rng() % 44;
            l += skh::format(R"(<opt reg="R{}-{}" airl="SWR" type="A320" day="{}" hh="{},{},{}" cs="SWR{}"/>)", s, i,
                             1 + i % 7, first, first + 1, first + 2, i);
        }
        l += "</parkpos>";
    }
    gf_writeFileAtomically(g_myThirdpartyFolder / "EGLL.xml", a + "</parkpositions>");
    fs::create_directories("airports/learned/thirdparty/Maker");
    gf_writeFileAtomically("airports/learned/thirdparty/Maker/EGLL.xml", l + "</parkpositions>");
    gf_setParkAirport(Airport{"EGLL", "LHR", 51.47, -0.45, 0.0});
}

void BM_ReadApfWithLearnedFile(benchmark::State& state) {
    makeAirport();
    for (auto _ : state) {
        g_stands.clear();
        ApfInfo info;
        std::uint64_t qf = 0;
        const std::string error = gf_readApf("airports\\my_thirdparty\\EGLL.xml", info, qf);
        if (!error.empty()) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(g_stands.data());
    }
    state.counters["options"] = static_cast<double>(g_stands.size() * 150);
}
BENCHMARK(BM_ReadApfWithLearnedFile)->Unit(benchmark::kMillisecond);

void BM_Adjacency(benchmark::State& state) {
    std::size_t pairs = 0;
    for (auto _ : state) {
        lf_numberStands(g_stands);
        pairs = 0;
        for (const Stand& s : g_stands) pairs += s.adjacent.size();
    }
    state.counters["adjacent"] = static_cast<double>(pairs);
}
BENCHMARK(BM_Adjacency)->Unit(benchmark::kMillisecond);

void BM_LearnedSave(benchmark::State& state) {
    enterProgramFolder();  // the save writes there, also when it runs alone
    g_apfInfo = ApfInfo{"Big", "Maker", 83};
    g_stands.clear();
    for (int s = 0; s < kStands; ++s) {
        Stand stand = gf_makeStand(skh::format("G{:03}", s), {}, 51.47, -0.45, 0.0, 30.0, false, false, false);
        for (std::uint32_t i = 0; i < 64; ++i) {
            StandOption o;
            o.airline = "SWR";
            o.type = "A320";
            o.registration = skh::format("HB{}{}", s, i);
            o.callsign = skh::format("SWR{}", i);
            o.halfHours = 0x7ull << (i % 44);
            o.seq = i + 1;
            o.weekday = 1 + i % 7;
            o.real = 1;
            stand.options.push_back(std::move(o));
        }
        g_stands.push_back(std::move(stand));
    }
    gf_resetLearnedMerge();
    // The save writes only stands loaded for the park airport: these stand for EGLL's.
    gf_setParkAirport(Airport{"EGLL", "LHR", 51.47, -0.45, 0.0});
    g_parkAirportLoaded = true;
    g_apfAirport = "EGLL";
    for (auto _ : state) {
        if (!lf_saveLearnedParking()) state.SkipWithError("not saved");
    }
}
BENCHMARK(BM_LearnedSave)->Unit(benchmark::kMillisecond);

// Flying past 3,000 candidates, none in sight: every call recomputes and
// sorts the whole list.
void BM_ParkAirportInSight(benchmark::State& state) {
    gf_clearParkAirport();
    g_parkAirports.clear();
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> lat(-60.0, 70.0), lon(-180.0, 180.0);
    for (int i = 0; i < 3000; ++i) {
        g_parkAirports.push_back(ParkAirportEntry{skh::format("K{:04}", i), "", lat(rng), lon(rng), 0.0});
    }
    userOnGround = false;
    UserAcState user;
    user.altitudeAboveGround = 35000.0;
    double step = 0.0;
    for (auto _ : state) {
        user.latitude = 10.0 + step;
        user.longitude = 20.0;
        step += 0.01;
        gf_setUserAcCopy(user);
        gf_handleStaticParking(false);
    }
    g_parkAirports.clear();
}
BENCHMARK(BM_ParkAirportInSight)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
