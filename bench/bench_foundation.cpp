// Geodesy runs for every aircraft every 10 ms; the UTF-16 conversions sit at
// every window call.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/geo.hpp"
#include "foundation/win_interfaces.hpp"

namespace {

using namespace skh;

void BM_distanceNm(benchmark::State& state) {
    GeoPos a{47.4581, 8.5555};
    const GeoPos b{51.4700, -0.4543};
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_distanceNm(a, b));
        a.lat += 1e-9;
    }
}
BENCHMARK(BM_distanceNm);

void BM_bearingRad(benchmark::State& state) {
    GeoPos a{47.4581, 8.5555};
    const GeoPos b{51.4700, -0.4543};
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_bearingRad(a, b));
        a.lon += 1e-9;
    }
}
BENCHMARK(BM_bearingRad);

void BM_destinationPoint(benchmark::State& state) {
    GeoPos a{47.4581, 8.5555};
    double bearing = 1.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_destinationPoint(a, bearing, 1234.5));
        bearing += 1e-9;
    }
}
BENCHMARK(BM_destinationPoint);

std::string sampleText() {
    std::string text;
    while (text.size() < 1024) text += "Z\xC3\xBCrich Kloten \xE2\x9C\x88 LSZH / ";
    text.resize(1024 - 4);
    return text;
}

void BM_utf8ToUtf16_1KiB(benchmark::State& state) {
    const std::string text = sampleText();
    for (auto _ : state) benchmark::DoNotOptimize(gf_utf8ToUtf16(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_utf8ToUtf16_1KiB);

void BM_utf16ToUtf8_1KiB(benchmark::State& state) {
    const std::u16string text = gf_utf8ToUtf16(sampleText());
    for (auto _ : state) benchmark::DoNotOptimize(gf_utf16ToUtf8(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(BM_utf16ToUtf8_1KiB);

}  // namespace

BENCHMARK_MAIN();
