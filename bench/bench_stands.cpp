// The stands of a busy airport: 512 stands, each with 150 learned options.
// Reading the archived file and merging the learned one happens at every
// park-airport load, the learned save at every change of park airport, and
// the quality factors at both.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "airports/learned_stands.hpp"
#include "airports/stand_file.hpp"
#include "support/test_env.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text_files.hpp"
#include "simclient/sim_state.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_lookup.hpp"

namespace {

namespace fs = std::filesystem;
using namespace skh;

constexpr int kStands = 512;
constexpr int kOptionsPerStand = 150;

const fs::path& benchFolder() {
    static const test::TempDir folder;
    return folder.path();
}

const std::string kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";

// The archived file and the learned file of one large airport.
struct Airport {
    fs::path archived = benchFolder() / "archived.xml";
    fs::path learned = benchFolder() / "learned.xml";
    Airport() {
        std::mt19937 rng(42);
        std::string a = "<?xml version=\"1.0\"?>" + kMeta +
                        R"(<parameters><parameter name="airport_name" value="Big"/></parameters><parkpositions>)";
        std::string l = "<?xml version=\"1.0\"?>" + kMeta +
                        R"(<parameters><parameter name="airport_name" value="Big"/></parameters><parkpositions>)";
        for (int s = 0; s < kStands; ++s) {
            a += skh::format(R"(<parkpos id="G{:03}" latitude="{:.6f}" longitude="{:.6f}" heading="{}" )"
                             R"(radius="{}" cargo="false" ramp="false"/>)",
                             s, 51.47 + s * 1e-4, -0.45 + (s % 7) * 1e-4, s % 360, 20 + s % 25);
            l += skh::format(R"(<parkpos id="G{:03}">)", kStands - 1 - s);  // learned files list stands in any order
            for (int i = 0; i < kOptionsPerStand; ++i) {
                const unsigned first = rng() % 44;
                l += skh::format(R"(<opt reg="R{}-{}" airl="SWR" type="A320" day="{}" hh="{},{},{}" cs="SWR{}"/>)", s,
                                 i, 1 + i % 7, first, first + 1, first + 2, i);
            }
            l += "</parkpos>";
        }
        gf_writeFileAtomically(archived, a + "</parkpositions>");
        gf_writeFileAtomically(learned, l + "</parkpositions>");
    }
};

const Airport& airport() {
    static const Airport a;
    return a;
}

std::vector<Stand> loaded() {
    std::vector<Stand> stands;
    stands.reserve(kStands);
    pugi::xml_document doc;
    doc.load_file(airport().archived.c_str());
    gf_readStandList(doc, 1, stands, StandLists::First);
    lf_readLearned(airport().learned, "Big", stands);
    return stands;
}

void BM_readAirportWithLearnedFile(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Stand> stands = loaded();
        benchmark::DoNotOptimize(stands.data());
        if (stands.size() != kStands || stands[0].options.size() != kOptionsPerStand) {
            state.SkipWithError("the learned file was not merged");
        }
    }
}
BENCHMARK(BM_readAirportWithLearnedFile)->Unit(benchmark::kMillisecond);

void BM_learnedSave(benchmark::State& state) {
    AirportFileData data;
    data.ident = "BIGA";
    data.name = "Big";
    data.stands = loaded();
    gf_resetLearnedMerge();
    const fs::path path = benchFolder() / "BIGA.xml";
    for (auto _ : state) {
        if (!gf_writeLearnedFile(data, path)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_learnedSave)->Unit(benchmark::kMillisecond);

void BM_qualityFactors(benchmark::State& state) {
    const std::vector<Stand> stands = loaded();
    for (auto _ : state) benchmark::DoNotOptimize(gf_qualityFactors(stands));
}
BENCHMARK(BM_qualityFactors)->Unit(benchmark::kMicrosecond);

// The stands of the large airport, each with 32 options (the per-stand
// choices look at every option of every stand in the worst case).
void useLargeAirport() {
    g_stands = loaded();
    for (Stand& s : g_stands) s.options.resize(32);
}

FlightIdent airliner() {
    FlightIdent a;
    a.wingspan = 17.0 / 1852.0;
    a.callsign = "BAW123";
    a.airline = "BAW";
    a.type = "A320";
    return a;
}

void BM_findFreeStand(benchmark::State& state) {
    useLargeAirport();
    const FlightIdent a = airliner();
    GeoPos p{51.47 + 256 * 1e-4, -0.45};
    for (auto _ : state) {
        benchmark::DoNotOptimize(lf_findFreeStand(p, a, kStandCatchNm, true));
        p.lon += 1e-9;
    }
}
BENCHMARK(BM_findFreeStand)->Unit(benchmark::kMicrosecond);

void BM_nearestStandName(benchmark::State& state) {
    useLargeAirport();
    userOnGround = true;
    double lat = 51.47 + 256 * 1e-4;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_nearestStandName(lat, -0.45));
        lat += 1e-7;  // another position every time: no answer from memory
        if (lat > 51.47 + 257 * 1e-4) lat = 51.47 + 256 * 1e-4;
    }
}
BENCHMARK(BM_nearestStandName)->Unit(benchmark::kMicrosecond);

void BM_chooseStandBySize(benchmark::State& state) {
    useLargeAirport();
    RANDOM.value = true;
    const FlightIdent a = airliner();
    for (auto _ : state) benchmark::DoNotOptimize(lf_chooseStandBySize(3 | std::uint64_t{20} << 32, a, true));
}
BENCHMARK(BM_chooseStandBySize)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
