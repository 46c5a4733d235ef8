// Painting the whole main window into a display list, as every paint does,
// with every item of the board, the settings area and the statistics shown.
#include <benchmark/benchmark.h>

#include <vector>

#include "airports/airport.hpp"
#include "airports/airport_scan.hpp"
#include "airports/park_airport_load.hpp"
#include "app/board_paint.hpp"
#include "app/main_window.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "traffic/stand_learning.hpp"

namespace {

using namespace skh;

void fillBoard() {
    auto& b = g_mainWindowState;
    gf_setBoard(b.simConnectConnected, true);
    gf_setBoard(b.simulatorRunning, true);
    gf_setBoard(b.simulatorName, "Prepar3D v5 (5.4.9.28482)");
    gf_setBoard(b.userAircraftTitle, "Airbus A320neo Swiss International Air Lines HB-JDA");
    gf_setBoard(b.userStand, "GATE E23");
    gf_setBoard(b.realTrafficIdle, false);
    gf_setBoard(b.realTrafficConnected, true);
    gf_setBoard(b.realTrafficEdition, "RT prof edition: 10.0.1");
    gf_setBoard(b.trafficLamp, LampActive);
    gf_setBoard(b.weatherLamp, LampActive);
    gf_setBoard(b.qnhShown, 1013);
    gf_setBoard(b.liveriesCount, 5432);
    gf_setBoard(b.orbxAirportCount, 120);
    gf_setBoard(b.thirdpartyAirportCount, 45);
    gf_setBoard(b.liveCount, 187);
    gf_setBoard(g_tbloFileCount, 12);
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.4647, 8.5492, 1416});
    g_parkAirportLoaded = true;
    gf_setBoard(b.nextRenewalMinutes, 7);
    gf_setBoard(b.parkFileOk, true);
    gf_setBoard(g_parkBoard.airportName, "Zurich");
    gf_setBoard(g_parkBoard.publisher, "simaddon");
    gf_setBoard(g_parkBoard.quality, "80/20");
    gf_setBoard(g_parkBoard.reservedStand, "E23");
    gf_setBoard(g_parkBoard.standCount, 145);
    gf_setBoard(b.parkedLiveCount, 14);
    gf_setBoard(b.parkedStaticCount, 61);
    gf_setBoard(b.liveAvgFit, 2.5);
    gf_setBoard(b.staticAvgFit, 4.5);
    g_learnedChanges = 31;
    gf_setBoard(b.maxParkCount, 75);
    gf_setBoard(b.maxParkPercent, 52);
    gf_setStatusMessage("Skyhaven_P3D will respond in 15 seconds ...", false);
}

void BM_paintWholeWindow(benchmark::State& state) {
    lf_createControls();
    fillBoard();
    platform::RecordingSurface r;
    for (auto _ : state) {
        r.ops.clear();
        lf_paintWindow(r);
        benchmark::DoNotOptimize(r.ops.data());
    }
    state.counters["items"] = static_cast<double>(r.ops.size());
}
BENCHMARK(BM_paintWholeWindow)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
