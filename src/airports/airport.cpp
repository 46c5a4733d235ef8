#include "airports/airport.hpp"

#include <mutex>
#include <optional>

namespace skh {

std::vector<Airport> g_airports;

namespace {
std::mutex g_parkAirportMutex;
Airport g_parkAirport;  // guarded by g_parkAirportMutex
}  // namespace

Airport gf_parkAirport() {
    const std::lock_guard lock(g_parkAirportMutex);
    return g_parkAirport;
}

void gf_setParkAirport(const Airport& airport) {
    {
        const std::lock_guard lock(g_parkAirportMutex);
        g_parkAirport = airport;
    }
    gf_setParkAirportFix(ParkAirportFix{!airport.icao.empty(), GeoPos{airport.lat, airport.lon}, airport.elevation});
}

void gf_clearParkAirport() {
    gf_setParkAirport(Airport{});
    gf_setParkElevation(std::nullopt);
}

}  // namespace skh
