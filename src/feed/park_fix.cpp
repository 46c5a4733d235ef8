#include "feed/park_fix.hpp"

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace skh {

namespace {
std::mutex g_fixMutex;
ParkAirportFix g_fix;  // guarded by g_fixMutex
// NaN while absent.
std::atomic<double> g_parkElevation{std::numeric_limits<double>::quiet_NaN()};
}  // namespace

ParkAirportFix gf_parkAirportFix() {
    const std::lock_guard lock(g_fixMutex);
    return g_fix;
}

void gf_setParkAirportFix(const ParkAirportFix& fix) {
    const std::lock_guard lock(g_fixMutex);
    g_fix = fix;
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
