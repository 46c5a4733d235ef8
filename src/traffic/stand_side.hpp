#pragma once
// What the live traffic asks of the stands of the park airport: a stand for
// an aircraft born on the ground, the occupied and cargo marks, learning who
// stood where, the maximum of parked aircraft and the static parking (the
// stand choice itself is in stand_choice.hpp). Each forwards to stand
// learning (stand_learning.hpp) or static parking (static_parking.hpp).
#include <cstdint>
#include <optional>
#include <string>

#include "airports/stand.hpp"
#include "traffic/aircraft_records.hpp"
#include "traffic/stand_choice.hpp"

namespace skh {

// The first stand of that name; null when none.
Stand* lf_findStandByName(const std::string& name);

// Stands whose cargo mark a parked aircraft changed in this run.
extern std::int32_t g_cargoChangedStands;
// The aircraft stands on its stand: the stand is occupied, and the aircraft
// holds that mark; a cargo aircraft on a cargo stand it was not meant for
// (standCargo 0) takes the stand's cargo mark away.
void lf_markStandTaken(LiveAc& ac);
// Frees the occupied mark that the aircraft still holds, and no other: every
// way a live record leaves, or gives its stand up, calls this (the removal,
// the erasing of a record, the compaction, a stand left or a week-long
// prediction). Nothing for a static aircraft or one that holds no mark.
void lf_releaseStandMark(const StaticAc& ac);
// Learns that the aircraft stands on the stand at the week slot; true when
// an option was written.
bool lt_addStandOption(std::uint32_t standId, const LiveAc& ac, std::uint32_t mode, std::uint64_t weekSlot, bool fill);
// Soft learning when an aircraft leaves the scene near the park airport.
void lf_learnSoftOnLeave(LiveAc& ac, bool notFlying);
// Couples the callsign of the stand option of the aircraft's stand around
// this time to it (its extra callsign), once per aircraft.
void lf_searchForCoupledCsAroundThisTime(LiveAc& ac, std::uint64_t weekSlot);
// Enforces the maximum of parked aircraft; `extra` counts a live aircraft
// parked at a stand that is not yet active.
void lf_checkMaxPark(std::uint32_t extra);
// Places the next planned static aircraft (every 50 polls while the plan is not empty).
bool lf_staticPlanPending();
void lf_staticParking();
// A live aircraft parks on the stand: the plan no longer places anyone there.
void lf_dropPlannedParkings(std::uint32_t standId);

// Another aircraft was given the stand.
bool lf_standOccupied(std::uint32_t standId);
// The stands of the park airport are loaded.
bool lf_parkStandsLoaded();

// Emptied by the reset.
void lf_resetStandState();

}  // namespace skh
