#pragma once
// Counts of what became of the traffic of a run: samples taken and
// ignored, aircraft made and dropped (by reason), creations, adoptions,
// refusals and removals. Written to the log at the end of a run, so that one
// can tell why traffic did or did not show. Main loop thread only.
#include <array>
#include <cstdint>
#include <string>

namespace skh {

// Why a buffered aircraft or a new one was not created, or a created one
// never adopted.
enum class DropReason : std::uint32_t {
    badNumbers,       // a sample with numbers out of range
    unknownType,      // no type the aircraft data knows
    categoryOff,      // LIGHT_AIRCRAFT, HIGH_PERF_AIRCRAFT or HELICOPTERS off
    parkAltitude,     // an altitude that cannot be told from the park airport's ground
    singleSample,     // one sample when it was due
    ghost,            // a removed ghost's callsign, or a ghost of a flying callsign
    liveLimit,        // MAX_LIVE_SEL
    blocked,          // BLOCK_CALLSIGN
    invalidCallsign,  // no usable callsign
    noLivery,         // no installed livery fits
    notAdopted,       // its creation was given up: no object of it was identified in time
    count
};

struct TrafficCounts {
    std::uint64_t samplesTaken = 0;     // from the traffic queue
    std::uint64_t samplesAppended = 0;  // to a stream
    std::uint64_t newAircraft = 0;      // records made in the buffer
    std::array<std::uint64_t, static_cast<std::size_t>(DropReason::count)> dropped{};
    std::uint64_t creationsHandedOver = 0;
    std::uint64_t adopted = 0;
    std::uint64_t activated = 0;
    std::uint64_t refused = 0;  // the simulator refused the creation
    std::uint64_t removalsHandedOver = 0;
    std::uint64_t removalsReported = 0;
    // The static aircraft's share of the figures above (and of the "not
    // adopted" drops), so that the live traffic's figures can be told apart.
    std::uint64_t staticCreationsHandedOver = 0;
    std::uint64_t staticRefused = 0;
    std::uint64_t staticGivenUp = 0;
    std::uint64_t staticRemovalsReported = 0;
};

extern TrafficCounts g_trafficCounts;

void gf_countDrop(DropReason reason);
// One line: "traffic: samples {} taken, ...; static aircraft among them: ...;
// dropped: no livery 3, ...".
std::string gf_trafficCountsText();
// Writes the line to the log (also while a stop is under way) and starts
// the counts anew.
void gf_logTrafficCounts();

}  // namespace skh
