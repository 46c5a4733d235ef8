#include "airports/airport.hpp"

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace skh {

std::vector<Airport> g_airports;

namespace {
std::mutex g_parkAirportMutex;
Airport g_parkAirport;
// NaN while absent.
std::atomic<double> g_parkElevation{std::numeric_limits<double>::quiet_NaN()};
}  // namespace

Airport gf_parkAirport() {
    const std::lock_guard lock(g_parkAirportMutex);
    return g_parkAirport;
}

void gf_setParkAirport(const Airport& airport) {
    const std::lock_guard lock(g_parkAirportMutex);
    g_parkAirport = airport;
}

void gf_clearParkAirport() { gf_setParkAirport(Airport{}); }

ParkAirportFix gf_parkAirportFix() {
    const std::lock_guard lock(g_parkAirportMutex);
    ParkAirportFix fix;
    fix.set = !g_parkAirport.icao.empty();
    fix.pos = GeoPos{g_parkAirport.lat, g_parkAirport.lon};
    fix.elevation = g_parkAirport.elevation;
    return fix;
}

std::optional<double> gf_parkElevation() {
    const double v = g_parkElevation.load(std::memory_order_relaxed);
    if (std::isnan(v)) return std::nullopt;
    return v;
}

void gf_setParkElevation(std::optional<double> feet) {
    g_parkElevation.store(feet && std::isfinite(*feet) ? *feet : std::numeric_limits<double>::quiet_NaN(),
                          std::memory_order_relaxed);
}

}  // namespace skh
