#pragma once
// The per-poll update of a live aircraft, its re-creation when the feed
// changes who it is, the act/slot list of learned stays and the lists that
// the main window shows of the live aircraft.
#include <atomic>
#include <cstdint>

#include "feed/traffic_sample.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// Every poll for every live aircraft; true when the record is to be dropped
// at the compaction that follows.
bool updateLiveAc(LiveAc& ac);

// Before a sample of a known aircraft is appended: brings its identity up
// to date and re-creates it when its identity or livery changed; false
// when the sample is to be ignored.
bool lf_respawn(LiveAc& ac, const TrafficSample& sample);

// Writes the act's week slot into the act/slot list; without force only
// when at least 3 half-hours passed since its entry. True when written.
bool lf_noteActSlot(std::uint64_t weekSlot, std::uint32_t actNumber, bool force);

// The active parked live aircraft; with withAverage the mean time they have
// been parked goes to g_liveParkHours (hours, 0 when none).
std::size_t gf_avgLiveParkTime(bool withAverage);
extern std::atomic<double> g_liveParkHours;

// The CALLSIGN_2_OBJECTID list of the main window: emptied, or filled with
// the sorted callsigns of the active live aircraft that are not parked
// (returns their number). The list and the Block button are enabled only
// while the list holds aircraft.
void gf_refreshAcList();
std::size_t gf_listLiveAcNames();

}  // namespace skh
