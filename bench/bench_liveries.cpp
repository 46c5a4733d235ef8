// The livery data under a large installation: 30,000 liveries and an
// aircraft database of 500,000 registrations. Reading the cache, building the
// index, the similar models and the regcode map, matching live aircraft, and
// the memory the index takes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sodium.h>

#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_cache.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_index.hpp"
#include "aircraft/regcode_map.hpp"
#include "aircraft/similar_models.hpp"
#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"

namespace {

namespace fs = std::filesystem;
using namespace skh;

constexpr int kLiveries = 30000;
constexpr int kAirlines = 400;
constexpr int kTypes = 150;
constexpr int kRegistrations = 500000;
constexpr int kMatches = 10000;

std::string airlineOf(int i) { return skh::format("A{:02}", i % kAirlines); }
std::string typeOf(int i) { return skh::format("T{:03}", i % kTypes); }
std::string registrationOf(int i) { return skh::format("R-{:06}", i); }

// Titles of realistic length (about 45 bytes), unique.
std::string titleOf(int i) {
    return skh::format("AI Livery {} {} {} Pack {} repaint v2", airlineOf(i * 7), typeOf(i * 13), i, i % 17);
}

std::vector<LiveryData> makeLiveries() {
    std::vector<LiveryData> liveries;
    liveries.reserve(kLiveries);
    for (int i = 0; i < kLiveries; ++i) {
        liveries.push_back({i % 50 == 0 ? std::string("ZZZ") : airlineOf(i * 7), typeOf(i * 13), titleOf(i),
                            i % 2 == 0 ? registrationOf(i) : std::string(), 1, i % 5 == 0});
    }
    gf_sortLiveries(liveries);
    return liveries;
}

// A program folder with the cache, the AIG data set and the database, made once.
const std::vector<LiveryData>& setUp() {
    static const std::vector<LiveryData> liveries = [] {
        if (sodium_init() < 0) std::abort();
        static const test::TempDir scratch;
        const fs::path& folder = scratch.path();
        fs::create_directories(folder / "input");
        fs::create_directories(folder / "output" / "info");
        fs::create_directories(folder / "output" / "errors");
        fs::current_path(folder);
        g_parametersXmlPath = (folder / "parameters.xml").string();
        RANDOM.value = false;
        LOG.value = false;

        std::string types;
        for (int t = 0; t < kTypes; ++t) types.append(t ? "," : "").append(typeOf(t));
        std::string groups;
        for (int t = 0; t + 2 < kTypes; t += 3) {
            groups += skh::format(R"(<similar types="{},{},{}"/>)", typeOf(t), typeOf(t + 1), typeOf(t + 2));
        }
        const std::string xml = skh::format(
            R"(<aircrafts><aircraft types="{}"/></aircrafts><high_performance><hpf types="T149"/></high_performance>)"
            R"(<heavy><hvy types="T000,T001,T002"/></heavy><large><lar types="T003,T004,T005,T006"/></large>)"
            R"(<buzjet><bzj types="T007"/></buzjet><rotorcraft><rot types="T008"/></rotorcraft>)"
            R"(<cargo_types><cargo_type types="T000"/></cargo_types><similar_types>{}</similar_types>)"
            R"(<ICAO_airlines><ICAO codes="A00"/></ICAO_airlines><cargo_operators><ICAO codes="A01"/></cargo_operators>)"
            R"(<simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>)",
            types, groups);
        pugi::xml_document doc;
        doc.load_string(xml.c_str());
        gf_clearDbase();
        lf_readDbaseDocument(doc);
        g_dbaseRecords.reserve(kRegistrations);
        for (int i = 0; i < kRegistrations; ++i) {
            g_dbaseRecords.emplace(registrationOf(i),
                                   DbaseRecord{airlineOf(i), typeOf(i), i % 3 ? "" : airlineOf(i + 1), i % 11 == 0});
        }

        std::vector<LiveryData> made = makeLiveries();
        g_liveries = made;
        lf_writeLiveriesScanned();
        g_liveries.clear();

        std::ofstream aig("aig.xml");
        aig << "<AIG-regcodes>\n";
        for (int i = 1; i < kLiveries; i += 2) {
            aig << "<livery title=\"" << titleOf(i) << "\" reg=\"" << registrationOf(kLiveries + i) << ","
                << registrationOf(i) << "\"" << (i % 97 == 1 ? " special=\"1\"" : "") << "/>\n";
        }
        aig << "</AIG-regcodes>\n";
        aig.close();
        gf_streamEncryptFile(g_dataSetKey, "aig.xml", g_aigRegcodesEnc);
        fs::remove("aig.xml");
        return made;
    }();
    return liveries;
}

void buildIndex() {
    lf_indexModels();
    lf_indexLiveries();
    lf_indexTypes();
}

void BM_readCache(benchmark::State& state) {
    setUp();
    for (auto _ : state) lf_readLiveriesScanned();
    state.counters["liveries"] = static_cast<double>(g_liveries.size());
}
BENCHMARK(BM_readCache)->Unit(benchmark::kMillisecond);

void BM_buildIndex(benchmark::State& state) {
    const std::vector<LiveryData>& liveries = setUp();
    for (auto _ : state) {
        state.PauseTiming();
        gf_clearLiveryIndex();
        g_liveries = liveries;
        state.ResumeTiming();
        buildIndex();
    }
}
BENCHMARK(BM_buildIndex)->Unit(benchmark::kMillisecond);

void BM_similarModels(benchmark::State& state) {
    const std::vector<LiveryData>& liveries = setUp();
    gf_clearLiveryIndex();
    g_liveries = liveries;
    buildIndex();
    for (auto _ : state) {
        gf_clearSimilarModels();
        gf_buildSimilarModels();
    }
    state.counters["types"] = static_cast<double>(g_installedSimilarTypes.size());
}
BENCHMARK(BM_similarModels)->Unit(benchmark::kMillisecond);

void BM_regcodeMap(benchmark::State& state) {
    const std::vector<LiveryData>& liveries = setUp();
    for (auto _ : state) {
        state.PauseTiming();
        gf_clearLiveryIndex();
        g_liveries = liveries;
        buildIndex();
        state.ResumeTiming();
        lf_checkInlineRegcodes();
        lf_writeOfflineRegcodes();
    }
    state.counters["regcodes"] = static_cast<double>(g_regcodeMap.size());
}
BENCHMARK(BM_regcodeMap)->Unit(benchmark::kMillisecond);

// Live aircraft of every kind: known registrations, airline and type,
// similar types, generic and no livery at all.
std::vector<FlightIdent> makeAircraft() {
    std::vector<FlightIdent> aircraft;
    aircraft.reserve(kMatches);
    for (int i = 0; i < kMatches; ++i) {
        IdentStrings ident;
        switch (i % 5) {
            case 0:  // registration of the regcode map
                ident = {airlineOf(i), typeOf(i), "", "", "", "", "", registrationOf((i * 2) % kLiveries)};
                break;
            case 1:  // airline and type of an installed livery
                ident = {airlineOf(i * 7 * 3), typeOf(i * 13 * 3), "", "", "", "", "", skh::format("X-{}", i)};
                break;
            case 2:  // a registration of the database, matched through its airline
                ident = {"", typeOf(i + 1), "", "", "", "", "", registrationOf(kLiveries + i)};
                break;
            case 3:  // unknown airline: similar or generic types
                ident = {"QQQ", typeOf(i), "", "", "", "", "", ""};
                break;
            default:  // an unknown type: a light type of any airline
                ident = {"QQQ", "NONE", "", "", "", "", "", skh::format("N{}", i)};
        }
        aircraft.emplace_back(std::move(ident));
    }
    return aircraft;
}

void BM_match10000(benchmark::State& state) {
    const std::vector<LiveryData>& liveries = setUp();
    gf_clearLiveryIndex();
    g_liveries = liveries;
    buildIndex();
    lf_checkInlineRegcodes();
    lf_writeOfflineRegcodes();
    gf_buildSimilarModels();
    for (AircraftCategory c = CatLight; c <= CatRotorcraft; ++c) lf_summarizeCategories(c);
    std::vector<FlightIdent> aircraft = makeAircraft();
    std::size_t matched = 0;
    for (auto _ : state) {
        matched = 0;
        gf_clearNoMatch();
        for (FlightIdent& ac : aircraft) {
            gf_matchLiveryForSpawn(ac);
            matched += ac.liveryTitle.empty() ? 0 : 1;
        }
    }
    state.counters["matched"] = static_cast<double>(matched);
}
BENCHMARK(BM_match10000)->Unit(benchmark::kMillisecond);

void BM_indexMemory(benchmark::State& state) {
    const std::vector<LiveryData>& liveries = setUp();
    std::size_t used = 0;
    for (auto _ : state) {
        gf_clearLiveryIndex();
        g_liveries = liveries;
        malloc_trim(0);
        const std::size_t before = mallinfo2().uordblks;
        buildIndex();
        used = mallinfo2().uordblks - before;
    }
    const double titleBytes = static_cast<double>(gf_titleBytes());
    state.counters["index_bytes"] = static_cast<double>(used);
    state.counters["title_bytes"] = titleBytes;
    state.counters["budget_bytes"] = 2.0 * titleBytes + 100.0 * kLiveries;
    if (static_cast<double>(used) > 2.0 * titleBytes + 100.0 * kLiveries) state.SkipWithError("index over its budget");
}
BENCHMARK(BM_indexMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
