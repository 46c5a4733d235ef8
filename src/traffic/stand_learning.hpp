#pragma once
// Learning who stands where at the park airport, and saving it. A real option
// is learned when a live aircraft is seen parked at a stand; a soft one is
// guessed for an aircraft that leaves without a known stand. Each records the
// aircraft's identity (its registration, else its callsign), the weekday and
// the half-hours; a stay seen at arrival and departure is widened into one
// window of half-hours, across midnight and the end of the week. At the end
// of a run, or when the park airport changes, the learned stands are saved
// into the airport's learned file.
//
// Main loop only: g_stands and the stands' act maps belong to it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "aircraft/flight_ident.hpp"
#include "airports/stand.hpp"
#include "foundation/geo.hpp"

namespace skh {

// The learned changes of the current airport since its load or its last save.
extern std::atomic<std::int32_t> g_learnedChanges;
// Counts one learned change (an option, a radius or cargo correction) and
// has the main window repainted.
void lf_countChange();
// Whether soft learning may run at this airport (the static parking switches
// it off where enough was learned from real traffic).
extern bool g_softLearningAllowed;

// The identity learning records: the registration, else the callsign; empty
// when the aircraft has neither.
std::string lf_learningIdentity(const FlightIdent& a);

// The real option: aircraft `a` stands on stand `standId` at `weekSlot`
// (gf_weekdayAndSlot form). `fill` false when it arrives at the stand or is
// created on it, true when it starts to move off it: then a stay seen since
// its arrival is filled in. An option of the archived file that lacks the
// half-hour is never extended. True when the aircraft was learned; every
// error is logged and gives false, the stand keeping what it had.
bool lt_addStandOption(std::uint32_t standId, const FlightIdent& a, std::uint64_t weekSlot, bool fill);
// The soft twin; `departure` when the aircraft leaves the scene.
bool lt_addSoftStandOption(std::uint32_t standId, const FlightIdent& a, bool departure, std::uint64_t weekSlot,
                           bool fill);

// Soft learning when a live aircraft leaves the scene near the park airport
// without a known stand (its stream ran dry, or it lines up): with LEARN_SOFT
// on and soft learning allowed, within 5 nm of the park airport and, when
// flying, below 2,500 ft; a stay recorded earlier is widened, else the stand
// its size most likely used gets a soft option.
void lf_learnSoftOnLeave(const FlightIdent& a, GeoPos position, double heightAboveGround, std::uint32_t standId,
                         bool notFlying);
// The stand that an aircraft of a size most likely used at a weekday and
// slot: lf_chooseStandBySize unless a test sets another; without one no new
// soft option is guessed.
using StandBySize = std::function<Stand*(std::uint64_t weekSlot, const FlightIdent& a, bool allowNext)>;
void gf_setStandBySize(StandBySize choose);

// Widens the option recorded for the aircraft at `recorded` to `now` when the
// stay fits its window (12 half-hours for cargo, 8 for heavies, 6 for the
// others): on the same weekday the slots in between are set on the recorded
// option; across a day change a new option takes the new day's part. True
// when filled (or nothing was to fill), false when the stay is too long or
// no option was recorded.
bool lf_fillStayWindow(std::uint64_t now, Stand& stand, std::uint64_t recorded, const FlightIdent& a,
                       const std::string& identity, bool real);

// Half-hours from `from` to `to` (weekday and slot pairs), over the week.
std::int32_t lf_elapsedSlots(std::uint64_t from, std::uint64_t to);

// Saves the learned stands of the current park airport into its learned
// file and shows the outcome on the status line; true when saved.
bool lf_saveLearnedParking();

}  // namespace skh
