// The add-on airports scan on a large installation: the quick airport test
// that runs for every BGL file of every add-on folder, the parse of big
// airports and of files with thousands of airports, the parallel folder scan
// against one task at a time, and the report written at the end.
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

#include "airports/airport_folder_scan.hpp"
#include "airports/airport_output.hpp"
#include "airports/bgl_reader.hpp"
#include "bench_memory.hpp"
#include "support/test_env.hpp"
#include "foundation/format.hpp"
#include "foundation/random.hpp"
#include "foundation/scan_report.hpp"
#include "foundation/text_files.hpp"
#include "support/bgl_builder.hpp"

namespace {

using namespace skh;
namespace fs = std::filesystem;

test::BglAirportLayout bigAirport(const std::string& ident, int parkings) {
    test::BglAirportLayout a;
    a.ident = ident;
    a.helipads = {test::BglHelipadLayout{}};
    std::mt19937 rng(7);
    for (int i = 0; i < parkings; ++i) {
        test::BglParkingLayout p;
        p.nameCode = 10;
        p.number = static_cast<std::uint32_t>(i % 300);  // some repeated names, as real airports have
        p.type = 1 + static_cast<std::uint32_t>(rng() % 11);
        p.radius = 10.0f + static_cast<float>(rng() % 40);
        p.heading = static_cast<float>(rng() % 360);
        p.lat = 47.4 + (rng() % 1000) * 1e-5;
        p.lon = 8.5 + (rng() % 1000) * 1e-5;
        p.airlineCodes = rng() % 3;
        a.parkings.push_back(p);
    }
    return a;
}

std::string identOf(int n) {
    std::string s = "AAAA";
    for (int k = 3; k >= 0; --k, n /= 26) s[static_cast<std::size_t>(k)] = static_cast<char>('A' + n % 26);
    return s;
}

void writeBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::size_t readAll(BglBytes& bytes) {
    std::size_t stands = 0;
    lf_readBglAirports(bytes, "bench.bgl", {[&](BglAirport& a) { stands += a.stands.size(); }, [](std::string) {}});
    return stands;
}

// Most BGL files of an add-on hold no airport; the test reads only the header
// and the section table. Target: at least 10,000 files per second.
void BM_CountBglAirports(benchmark::State& state) {
    const test::TempDir dir;
    const int files = 2000;
    const std::string withAirport = test::bglFileOf({bigAirport("LSZH", 50)});
    const std::string scenery = test::bglFile({test::BglSectionLayout{0x65, 1, {std::string(40000, '\0')}}});
    std::vector<fs::path> paths;
    for (int i = 0; i < files; ++i) {
        paths.push_back(dir.path() / skh::format("f{}.bgl", i));
        writeBytes(paths.back(), i % 10 == 0 ? withAirport : scenery);
    }
    std::int64_t found = 0;
    for (auto _ : state) {
        for (const auto& p : paths) found += lf_countBglAirports(p) ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CountBglAirports)->Unit(benchmark::kMillisecond);

// Target: an airport with 512 parkings under 5 ms.
void BM_Parse512Parkings(benchmark::State& state) {
    const std::string file = test::bglFileOf({bigAirport("LSZH", 512)});
    for (auto _ : state) {
        BglBytes bytes(file);
        benchmark::DoNotOptimize(readAll(bytes));
    }
}
BENCHMARK(BM_Parse512Parkings)->Unit(benchmark::kMicrosecond);

// Target: a file of 5,000 airports under 1 s, read from disk through the window.
void BM_Parse5000Airports(benchmark::State& state) {
    const test::TempDir dir;
    std::vector<test::BglAirportLayout> airports;
    for (int i = 0; i < 5000; ++i) airports.push_back(bigAirport(identOf(i), 20));
    const fs::path path = dir.path() / "world.bgl";
    const std::string file = test::bglFileOf(airports);
    writeBytes(path, file);
    std::size_t stands = 0;
    for (auto _ : state) {
        BglBytes bytes;
        bytes.open(path);
        stands = readAll(bytes);
    }
    state.counters["stands"] = static_cast<double>(stands);
    state.counters["file MB"] = static_cast<double>(file.size()) / 1e6;
}
BENCHMARK(BM_Parse5000Airports)->Unit(benchmark::kMillisecond);

// Peak memory while a big file is read: the window and one airport's stands,
// not the file. Target: at most the task count times the largest record read.
void BM_PeakMemoryOfABigFile(benchmark::State& state) {
    const test::TempDir dir;
    const fs::path path = dir.path() / "big.bgl";
    double fileMb = 0.0;
    {
        std::vector<test::BglAirportLayout> airports;
        for (int i = 0; i < 4000; ++i) airports.push_back(bigAirport(identOf(i), 200));
        const std::string file = test::bglFileOf(airports);
        fileMb = static_cast<double>(file.size()) / 1e6;
        writeBytes(path, file);
    }
    double growth = 0.0;
    for (auto _ : state) {
        bench::resetPeakRss();
        const double before = bench::peakRssMb();
        BglBytes bytes;
        bytes.open(path);
        benchmark::DoNotOptimize(readAll(bytes));
        growth = bench::peakRssMb() - before;
    }
    state.counters["file_MB"] = fileMb;
    state.counters["peak_growth_MB"] = growth;
}
BENCHMARK(BM_PeakMemoryOfABigFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// The folder scan with one task and with eight at a time; each task reads a
// file of four big airports and writes their stand files. Target: 6-8x
// faster on 8 cores.
void BM_ParallelFolderScan(benchmark::State& state) {
    const test::TempDir dir;
    const int files = 160;
    for (int i = 0; i < files; ++i) {
        std::vector<test::BglAirportLayout> airports;
        for (int k = 0; k < 4; ++k) airports.push_back(bigAirport(identOf(i * 4 + k), 400));
        writeBytes(dir.path() / skh::format("f{}.bgl", i), test::bglFileOf(airports));
    }
    const std::int32_t saved = g_maxTasks;
    g_maxTasks = static_cast<std::int32_t>(state.range(0));
    gf_startScanReport();
    for (auto _ : state) {
        // The whole task: read, then write a generated stand file per airport.
        AirportScanOutput output(dir.path() / "out" / "my_ORBX", dir.path() / "out" / "my_thirdparty",
                                 [](const std::string&) { return std::string("unknown"); });
        lf_scanFolderBgls(dir.path(), "bench", dir.path() / "out",
                          [&](const fs::path& file) { output.processBglFile(file); });
        gf_takeScanReport();
    }
    g_maxTasks = saved;
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParallelFolderScan)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Target: a report of 100,000 lines added and written under 1 s.
void BM_WriteScanReport(benchmark::State& state) {
    const test::TempDir dir;
    const fs::path path = dir.path() / "AirportsScanLog.txt";
    for (auto _ : state) {
        gf_startScanReport();
        for (int i = 0; i < 100000; ++i) {
            gf_addScanReport("Skipped position with radius 0.5 m in D:\\Addons\\Some Airport\\scenery\\AF2_" +
                             std::to_string(i) + ".bgl");
        }
        std::string text;
        for (const std::string& line : gf_takeScanReport()) {
            text += line;
            text += '\n';
        }
        benchmark::DoNotOptimize(gf_writeFileAtomically(path, text));
    }
}
BENCHMARK(BM_WriteScanReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
