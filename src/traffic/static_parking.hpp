#pragma once
// Static aircraft at the park airport: the plan (static_plan.hpp) placed one
// aircraft per creation hand-over, never on or next to a parked live or
// static aircraft; every 20 minutes the adjustment that keeps the aircraft
// that still fit the time of day, replaces the others and re-creates a
// departing one under its departure callsign; the maximum of parked
// aircraft; and the end of it all when the park airport is left.
//
// A static aircraft's callsign always ends with "*"; its act number is a
// counter from 1 to 9999. Its placing time (weekday and slot of when it was
// seen, the current one moved back by the plan's fit offset) is kept in
// parkedSince.
//
// lf_staticPlanPending, lf_staticParking, lf_dropPlannedParkings,
// lf_checkMaxPark and lf_searchForCoupledCsAroundThisTime are declared with
// the stand side (stand_side.hpp), where the live traffic asks for them.
// Main loop only.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "traffic/park_airports.hpp"
#include "traffic/static_plan.hpp"

namespace skh {

// A static aircraft an adjustment keeps.
struct WantedStatic {
    std::string callsign;
    std::string secondCallsign;
    std::string extraCallsign;
    std::string registration;
    std::string airline;
    std::string type;
    std::uint64_t placed = 0;  // week slot of its placing
    std::uint32_t standId = 0;
    std::uint8_t departing = 0;  // to be re-created under its departure callsign
};

// A static aircraft an adjustment removes.
struct StaticRemoval {
    std::string callsign;
    std::uint32_t standId = 0;
};

// The adjustment's lists: the kept aircraft (latest placed first) and those
// to remove.
extern std::vector<WantedStatic> g_keptStatics;
extern std::vector<StaticRemoval> g_staticRemovals;
// The act number of the last static aircraft made.
extern std::uint32_t g_staticActCounter;

// What the static parking asks of the application; unset: nothing happens.
struct StaticParkingCalls {
    std::function<void(bool on)> setBusy;          // the busy state of the parking calculation
    std::function<std::int32_t()> maxLiveAtStart;  // MAX_LIVE_SEL as the run started
};
void gf_setStaticParkingCalls(StaticParkingCalls calls);
void lf_setParkingBusy(bool on);

// The static parking's part of the park airports' hooks (plan placed, average
// fits, the start of a calculation, the load of the stands, the plan, giving
// the airport up, removing the ground traffic and the aircraft on the
// reserved stand); the application adds its busy state and the closest
// airport.
StaticParkingHooks gf_staticParkingHooks();

// Reserves the adjustment's lists (with the traffic containers).
void lf_reserveStaticParking();
// Empties the plan, the adjustment's lists, the coupled callsigns and what
// the board shows of them (a new run, a new park airport).
void gf_clearStaticParkingWork();
// The first phase of a renewal: busy, and the working lists emptied for the
// adjustment that follows.
void gf_restartStaticParking();

// The callsign shown for a planned aircraft: its callsign when it stays into
// the next half-hour, else its second one (the other when that is empty), in
// the static form; empty (logged) when it has none.
std::string lf_detcs(const ParkPos& p);
// Every trailing "_" removed, then "*" appended unless it ends with one.
std::string lf_staticCallsign(std::string_view callsign);
// The plan sorted by fit offset, best fits at the end (stable).
void lf_sortPlanBestLast();

// The 20-minute adjustment of the static aircraft to the time of day.
void gf_parkingAdjustments();
// Sorts each active static aircraft into the kept list, the removal list, or
// leaves it to be replaced by the plan.
void lf_reviewStaticAircraft(std::uint64_t dayAndSlot);
void lf_keepOrReplaceStatic(const StaticAc& st, std::size_t planIndex, std::uint64_t dayAndSlot);
// Drops plan records, then kept aircraft, then parked live aircraft, until
// no more than `wanted` stand; stops when all three are empty.
void lf_trimToWanted(std::int64_t wanted);
// An option of the aircraft's stand, weekday, registration, airline and type
// seen in the last n half-hours, back across midnight into the day before
// (Sunday before Monday), as the plan searched them.
bool lf_optionSeenRecently(const StaticAc& st, std::uint64_t dayAndSlot, std::int32_t n);

// The live aircraft parked at stands (callsign, stand, minutes parked);
// those parked longer than 90 minutes (180 for a heavy) are removed instead,
// unless INITIAL_LOAD_ONLY is on.
void lf_collectWantedStands();
// (act number, seconds parked) of the active live aircraft parked at a
// stand, longest parked first.
void lf_listParkedLive(std::vector<std::pair<std::uint32_t, std::int64_t>>& list);
// Removes the `count` longest parked live aircraft.
void lf_removeLiveParked(std::size_t count);

// Removes the static aircraft and the live aircraft on the ground (not one
// driving to its stand) and gives the park airport up.
void gf_removeGroundTraffic();
// Saves the learned parking when the park airport's stands are loaded and
// something is pending (learned updates, changed per-airport settings, soft
// learning switched off at the load); afterwards nothing is pending. True
// when a file was written.
bool lf_saveLearnedIfPending();
// Gives the park airport up: saves what was learned when there is something
// to save, and empties its stands, plan and lists.
void lf_leaveParkAirport();

}  // namespace skh
