// The liveries scan of a large installation on tmpfs: 3,000 aircraft.cfg
// files with 30,000 sections scanned by 8 tasks, against reading the same
// bytes from the same files; the most tasks at once and the peak memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries_scan.hpp"
#include "aircraft/livery_data.hpp"
#include "bench_memory.hpp"
#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"

namespace {

namespace fs = std::filesystem;
using namespace skh;

constexpr int kSectionsPerFile = 10;
constexpr int kTasks = 8;

// In memory where the machine has a folder for it: the scan's own work is
// what is measured, not the disk's.
const fs::path& benchRoot() {
    static const test::TempDir folder(fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    return folder.path();
}

constexpr int kFiles = 3000;

// One tree of kFiles files in two halves: the whole tree, or its first half.
std::string rootText(int files) {
    const fs::path root = benchRoot() / "root";
    return (files == kFiles ? root : root / "half0").string();
}

// A package folder per file: aircraft.cfg, its model and texture folders and
// the flight model, as an AI package installs them.
void makeTree() {
    const fs::path root = benchRoot() / "root";
    const int files = kFiles;
    if (fs::exists(root / "done")) return;
    fs::remove_all(root);
    static const char* airlines[] = {"KLM", "DLH", "BAW", "AFR", "UAL", "DAL", "AAL", "SWR"};
    static const char* types[] = {"A320", "B738", "A321", "B744", "A388", "E190"};
    for (int f = 0; f < files; ++f) {
        const fs::path folder =
            root / skh::format("half{}", f % 2) / skh::format("Pack{:02}", f % 40) / skh::format("Aircraft {:05}", f);
        fs::create_directories(folder / "model");
        std::ofstream(folder / "plane.air") << "air";
        std::string cfg =
            skh::format("[General]\natc_type=AIRBUS\natc_model={}\nui_manufacturer=Maker\n\n", types[f % 6]);
        for (int s = 0; s < kSectionsPerFile; ++s) {
            const char* airline = airlines[(f + s) % 8];
            fs::create_directories(folder / skh::format("texture.{}{}", airline, s));
            cfg += skh::format(
                "[fltsim.{}]\ntitle=AI {} {} livery {} of package {}\nsim=plane\nmodel=\ntexture={}{}\n"
                "atc_airline={}\natc_flight_number=1{:03}\natc_heavy=0\natc_id=R-{:05}{}\n"
                "atc_parking_types=GATE,RAMP{}\natc_parking_codes={}\nui_type=Airliner\nui_variation={} {}\n"
                "description=An AI livery of {} used by the benchmark, with a line of ordinary length.\n\n",
                s, airline, types[f % 6], s, f, airline, s, airline, s, f, s, s % 4 == 0 ? ",CARGO" : "", airline,
                airline, s, airline);
        }
        std::ofstream(folder / "aircraft.cfg") << cfg;
    }
    std::ofstream(root / "done") << "1";
}

void loadDbase() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    pugi::xml_document doc;
    doc.load_string(
        R"(<aircrafts><aircraft types="A320,B738,A321,B744,A388,E190"/></aircrafts>)"
        R"(<high_performance><hpf types="F16"/></high_performance><heavy><hvy types="B744,A388"/></heavy>)"
        R"(<large><lar types="A320,B738,A321"/></large><buzjet><bzj types="GLF5"/></buzjet>)"
        R"(<rotorcraft><rot types="EC35"/></rotorcraft><cargo_types><cargo_type types="B744"/></cargo_types>)"
        R"(<ICAO_airlines><ICAO codes="KLM,DLH,BAW,AFR,UAL,DAL,AAL,SWR"/></ICAO_airlines>)"
        R"(<cargo_operators><ICAO codes="GEC"/></cargo_operators><simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>)");
    lf_readDbaseDocument(doc);
}

void prepare() {
    loadDbase();
    makeTree();
    const fs::path program = benchRoot() / "program";
    fs::create_directories(program / "output");
    fs::current_path(program);
    g_parametersXmlPath = (program / "parameters.xml").string();
    g_maxTasks = kTasks;
    g_activeTasks = 0;
    LIG_PRIORITIZE.value = false;
}

// Reads every file of the tree once, as plain bytes: the floor of the scan.
double readSameBytesSeconds(int files, std::uintmax_t& bytes) {
    const auto start = std::chrono::steady_clock::now();
    bytes = 0;
    std::string content;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(rootText(files))) {
        if (!e.is_regular_file() || e.path().filename() != "aircraft.cfg") continue;
        std::ifstream in(e.path(), std::ios::binary);
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        bytes += content.size();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_readSameBytes(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    prepare();
    std::uintmax_t bytes = 0;
    for (auto _ : state) benchmark::DoNotOptimize(readSameBytesSeconds(files, bytes));
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_readSameBytes)->Arg(kFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_scan(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    prepare();
    // The best of three reads and of the scans, so a busy machine skews the
    // ratio less.
    std::uintmax_t bytes = 0;
    double readSeconds = 1e9;
    for (int i = 0; i < 3; ++i) readSeconds = std::min(readSeconds, readSameBytesSeconds(files, bytes));
    double scanSeconds = 1e9;
    std::size_t records = 0;
    gf_resetScanTaskHighWater();
    bench::resetPeakRss();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        lf_scanLiveryFolders({rootText(files)});
        scanSeconds =
            std::min(scanSeconds, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        records = fs::file_size("output/LiveriesScanned.xml");
    }
    state.counters["cache_bytes"] = static_cast<double>(records);
    state.counters["scan_over_read"] = scanSeconds / readSeconds;
    state.counters["task_high_water"] = gf_scanTaskHighWater();
    state.counters["active_after"] = g_activeTasks.load();
    state.counters["peak_rss_MB"] = bench::peakRssMb();
    if (gf_scanTaskHighWater() > g_maxTasks) state.SkipWithError("more tasks ran than the throttle allows");
    if (g_activeTasks.load() != 0) state.SkipWithError("tasks left behind");
}
BENCHMARK(BM_scan)->Arg(1500)->Arg(kFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
