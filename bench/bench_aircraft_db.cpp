// Reading a large aircraft database, and its look-ups.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "bench_memory.hpp"
#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"
#include "platform/memory.hpp"

namespace {

namespace fs = std::filesystem;
using namespace skh;

constexpr int kRecords = 500000;

std::string registrationOf(int i) {
    // Mixed lengths, as real registrations: "D-ABCD", "N12345", "HBJVA".
    static const char* prefixes[] = {"D-A", "N", "HB", "G-", "PH-", "VH-", "JA"};
    return skh::format("{}{:05X}", prefixes[i % 7], i);
}

const fs::path& benchFolder() {
    static const test::TempDir scratch;
    static const fs::path folder = [] {
        if (sodium_init() < 0) std::abort();
        const fs::path& p = scratch.path();
        fs::create_directories(p / "input");
        const fs::path xml = p / "plain.xml";
        std::ofstream out(xml);
        out << "<?xml version=\"1.0\"?>\n"
            << R"(<aircrafts><aircraft types="A320,B738,B744,C172"/></aircrafts>)"
            << R"(<high_performance><hpf types="F16"/></high_performance><heavy><hvy types="B744"/></heavy>)"
            << R"(<large><lar types="A320,B738"/></large><buzjet><bzj types="GLF5"/></buzjet>)"
            << R"(<rotorcraft><rot types="EC35"/></rotorcraft><cargo_types><cargo_type types="B744"/></cargo_types>)"
            << R"(<ICAO_airlines><ICAO codes="DLH,SWR"/></ICAO_airlines><cargo_operators><ICAO codes="GEC"/></cargo_operators>)"
            << R"(<simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>)"
            << "<dbase>\n";
        for (int i = 0; i < kRecords; ++i) {
            out << "<db reg=\"" << registrationOf(i) << "\" airl=\"DLH\" type=\"A320\" opr=\"Operator " << i % 977
                << "\" cargo=\"" << (i % 13 == 0 ? 1 : 0) << "\"/>\n";
        }
        out << "</dbase>\n";
        out.close();
        gf_streamEncryptFile(g_dataSetKey, xml, p / "input" / "dbase.enc");
        fs::remove(xml);
        return p;
    }();
    return folder;
}

// Also the resident size after the read, before and after the freed memory
// goes back to the system, as the start-up does after reading the data.
void BM_readDbase500k(benchmark::State& state) {
    fs::current_path(benchFolder());
    for (auto _ : state) {
        gf_clearDbase();
        gf_readDbase();
    }
    state.counters["records"] = static_cast<double>(g_dbaseRecords.size());
    state.counters["peak_rss_MB"] = bench::peakRssMb();
    state.counters["rss_before_trim_MB"] = bench::residentMb();
    platform::releaseFreedMemory();
    state.counters["rss_after_trim_MB"] = bench::residentMb();
}
BENCHMARK(BM_readDbase500k)->Unit(benchmark::kMillisecond)->Iterations(1);

void ensureLoaded() {
    if (g_dbaseRecords.size() >= static_cast<std::size_t>(kRecords)) return;
    fs::current_path(benchFolder());
    gf_clearDbase();
    gf_readDbase();
}

void BM_findDbaseRecord(benchmark::State& state) {
    ensureLoaded();
    std::vector<std::string> queries;
    for (int i = 0; i < 1000; ++i) {
        std::string reg = registrationOf(i * 397 % kRecords);
        // Half of them without the dash, so the variants are tried.
        if (i % 2 == 0) std::erase(reg, '-');
        queries.push_back(reg);
    }
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(gf_findDbaseRecord(queries[i++ % queries.size()]));
}
BENCHMARK(BM_findDbaseRecord);

void BM_findRegistrationIn1000Texts(benchmark::State& state) {
    ensureLoaded();
    std::vector<std::string> texts;
    for (int i = 0; i < 1000; ++i) {
        texts.push_back(skh::format("Airbus A320-214 Lufthansa livery {} with sharklets, repaint by someone {}", i,
                                    i % 3 == 0 ? registrationOf(i) : std::string("unknown")));
    }
    for (auto _ : state) {
        for (const auto& t : texts) benchmark::DoNotOptimize(gf_findRegistrationIn(t));
    }
}
BENCHMARK(BM_findRegistrationIn1000Texts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
