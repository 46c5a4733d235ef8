#include "traffic/traffic_counts.hpp"

#include "foundation/format.hpp"
#include "foundation/log.hpp"

namespace skh {

TrafficCounts g_trafficCounts;

namespace {

constexpr const char* kReasonNames[] = {"bad numbers",      "unknown type", "category off", "park altitude",
                                        "single sample",    "ghost",        "live limit",   "blocked",
                                        "invalid callsign", "no livery",    "not adopted"};
static_assert(std::size(kReasonNames) == static_cast<std::size_t>(DropReason::count));

}  // namespace

void gf_countDrop(DropReason reason) { ++g_trafficCounts.dropped[static_cast<std::size_t>(reason)]; }

std::string gf_trafficCountsText() {
    const TrafficCounts& c = g_trafficCounts;
    std::string dropped;
    for (std::size_t i = 0; i < c.dropped.size(); ++i) {
        if (c.dropped[i] == 0) continue;
        dropped += skh::format("{}{} {}", dropped.empty() ? "" : ", ", kReasonNames[i], c.dropped[i]);
    }
    return skh::format(
        "traffic: samples {} taken, {} appended; aircraft {} new, {} created, {} adopted, {} active, {} refused, "
        "{} removals asked, {} removed; static aircraft among them: {} created, {} refused, {} given up, {} removed; "
        "dropped: {}",
        c.samplesTaken, c.samplesAppended, c.newAircraft, c.creationsHandedOver, c.adopted, c.activated, c.refused,
        c.removalsHandedOver, c.removalsReported, c.staticCreationsHandedOver, c.staticRefused, c.staticGivenUp,
        c.staticRemovalsReported, dropped.empty() ? "none" : dropped);
}

void gf_logTrafficCounts() {
    gf_logRaw(gf_trafficCountsText());
    g_trafficCounts = TrafficCounts{};
}

}  // namespace skh
