// The airport list: reading a 40,000-airport data set (decryption, XML,
// numbers, sort; target under 300 ms) and the closest-airport search over
// that list (target under 5 ms).
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "airports/airport_list.hpp"
#include "support/test_env.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/format.hpp"

namespace {

namespace fs = std::filesystem;

// A program folder with an encrypted list of `count` airports spread over
// the world, the current folder for the benchmark's life.
class AirportFolder {
public:
    explicit AirportFolder(int count) {
        if (sodium_init() < 0) throw std::runtime_error("sodium_init failed");
        fs::create_directories("input");
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> lat(-60.0, 70.0), lon(-180.0, 180.0), alt(0.0, 9000.0);
        {
            std::ofstream out("plain.xml", std::ios::binary);
            out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<airports>\n";
            for (int i = 0; i < count; ++i) {
                const char code[] = {static_cast<char>('A' + (i * 7919) % 26), static_cast<char>('A' + (i / 26) % 26),
                                     static_cast<char>('A' + (i / 676) % 26), static_cast<char>('A' + i % 26), 0};
                out << skh::format(R"(  <airport code="{}" iata="{}" lat="{:.6f}" lon="{:.6f}" alt="{:.0f}"/>)", code,
                                   i % 3 == 0 ? std::string(code, 3) : std::string(), lat(rng), lon(rng), alt(rng))
                    << '\n';
            }
            out << "</airports>\n";
        }
        skh::gf_streamEncryptFile(skh::g_dataSetKey, "plain.xml", skh::g_airportsEnc);
        fs::remove("plain.xml");
    }

private:
    skh::test::TempDir m_dir;
    skh::test::ScopedCwd m_cwd{m_dir.path()};
};

void BM_ReadAirports(benchmark::State& state) {
    const AirportFolder folder(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        skh::gf_forgetAirportsForTest();
        if (!skh::gf_readAirports()) state.SkipWithError("no airports read");
    }
    state.counters["airports"] = static_cast<double>(skh::g_airports.size());
    skh::gf_forgetAirportsForTest();
}
BENCHMARK(BM_ReadAirports)->Arg(40000)->Unit(benchmark::kMillisecond);

void BM_ClosestAirport(benchmark::State& state) {
    const AirportFolder folder(40000);
    skh::gf_forgetAirportsForTest();
    skh::gf_readAirports();
    // The stand files of two competing airports are the stand loader's
    // benchmark; here they count as unusable.
    skh::gf_setClosestStandLookup([](const skh::Airport&, skh::GeoPos, std::string&) { return 100.0; });
    std::mt19937 rng(11);
    std::uniform_int_distribution<std::size_t> pick(0, skh::g_airports.size() - 1);
    std::size_t found = 0;
    std::size_t round = 0;
    for (auto _ : state) {
        // Half the searches start at an airport, half in open country.
        const skh::Airport& a = skh::g_airports[pick(rng)];
        const skh::GeoPos p{a.lat + ((++round & 1) ? 0.01 : 1.3), a.lon};
        const skh::Airport* closest = skh::gf_closestAirport(p);
        if (closest != nullptr) ++found;
        benchmark::DoNotOptimize(closest);
    }
    state.counters["found"] = static_cast<double>(found);
    skh::gf_setClosestStandLookup({});
    skh::gf_forgetAirportsForTest();
}
BENCHMARK(BM_ClosestAirport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
