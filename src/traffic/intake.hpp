#pragma once
// Traffic samples from the feed become live aircraft: a sample of a known
// aircraft is checked and appended to its stream, one of an unknown aircraft
// makes a new aircraft in the buffer. A buffered aircraft is prepared shortly
// before its first sample is due (held back near the user, dropped at the
// live limit, when blocked or without a livery, its identity completed) and
// placed for its creation.
#include <cstdint>
#include <string>

#include "feed/traffic_sample.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// One sample taken from the traffic queue. A sample with a number that is
// not finite or a position off the globe is logged and dropped.
void lf_handleIncoming(TrafficSample& sample);
void lf_handleNewAircraft(TrafficSample& sample);
void lf_addNewLiveAc(TrafficSample& sample);
void decodeExisting(LiveAc& ac, PosSample sample);

// Every poll while the aircraft is in the buffer; may mark it dropUnsent.
void lf_prepareNewAc(LiveAc& ac);
bool lf_holdNearUser(LiveAc& ac);
void spawnLiveAc(LiveAc& ac);
bool lf_callsignInUse(const std::string& callsign);

// The live limit (MAX_LIVE_SEL): removes the farthest active aircraft when
// it is more than 0.1 nm farther from the user than `distanceNm`; true when
// none is (the newcomer is to be dropped).
bool lf_makeRoomForNewLiveAc(double distanceNm);
// Removes active aircraft until no more than MAX_LIVE_SEL count against it.
void gf_limitLiveCount();
std::size_t lf_activeLiveCount();
// What counts against MAX_LIVE_SEL: the active live aircraft and every
// creation under way (on the adding stack, queued, handed to the simulator,
// or created and not yet active), since each of them becomes active; not one
// that is to be removed as soon as it exists.
std::size_t lf_liveCountForLimit();

// The settings let aircraft of this category in (LIGHT_AIRCRAFT,
// HIGH_PERF_AIRCRAFT, HELICOPTERS; the others always).
bool lf_categoryAllowed(AircraftCategory category);

// A sample whose altitude cannot be told from standing on the park
// airport's ground.
bool lf_ambiguousAtParkAirport(const PosSample& sample);

}  // namespace skh
