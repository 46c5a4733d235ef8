#pragma once
// Every call the start-up, the run, the main loop and the closing step make
// into the traffic control and the scans, in one place, each a thin adapter.
// All of them run on the start-up worker thread (the main loop's thread).
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/geo.hpp"

namespace skh::seam {

// --- Start-up ----------------------------------------------------------------

// The liveries scan (or its cache LiveriesScanned.xml when SCAN_LIVERIES is
// off) into the livery index; sets the board's livery count. Throws the
// cache's user errors.
void gf_scanLiveries();
// The add-on airports scan from the scenery configuration or the folder
// settings into generated stand files and link files.
void gf_scanAddonAirports();
// Reads airports/my_park_airports.txt into the ordered park-airport list.
void lf_readMyParkAirports();
// Makes the airport the first park airport (a destination set by the user).
void gf_addParkAirport(const std::string& code, GeoPos position);
// The folder orig_dest of the settings folder for the flight plans; removed
// with its plans at the end of a run.
void gf_makeFlightPlanFolder();
void gf_removeFlightPlanFolder();

// --- Start of a run and the reset before a restart ---------------------------

// Reserves the traffic containers (512 live, 256 static, 512 stands, ...)
// once per process, and sets what the traffic control and the learned files
// ask of the application.
void gf_reserveTrafficContainers();
// Reserves the in-use title lists of the livery matching (4096 entries).
void gf_initInUseTitles();
// Empties every traffic container and queue, the park airport's identity,
// stands and planned parkings; QNH back to 1013.
void gf_resetTraffic();
// Clears the static parking's working map and recalculation flag.
void gf_clearStaticParkingWork();

// --- Every poll ----------------------------------------------------------------

// The per-poll driver: simulator events, the update of every live aircraft
// with the position-buffer swap, one removal every 10 and one creation every
// 50 polls handed to the simulator side, at most two traffic samples taken
// in, one creation request from the adding stack, the aircraft within range
// every 100 polls (20 while landing), the user position sent to RealTraffic
// and refreshed every 100 polls; then trafficTick advances.
void lf_handleAddingStack();
// The simulator events (created, removed, ground reports, ...), also while
// the flight is paused.
void lf_processSimEvents();
// The user's stand: the board's stand text after new user data, the
// reservation after a loaded flight or the end of the SimClient thread.
void gf_userStandWork();

// --- Every simulated second ------------------------------------------------------

// The first entry of the new arrivals: finds the live aircraft, searches the
// callsign coupled to its stand around this time once
// (lf_searchForCoupledCsAroundThisTime) and removes static aircraft that
// duplicate it (gf_removeDuplicateStatics); the entry is then dropped, also
// when its aircraft is gone.
void gf_handleNewArrival(std::uint64_t weekSlot);
// Removes every static aircraft ("Flush static").
void gf_removeAllStaticAc();
// The callsigns of the active, unparked live aircraft become the aircraft
// list of the main window; returns their number.
std::size_t gf_listLiveAcNames();
// Collision avoidance with the user aircraft, in the air or on the ground
// (live aircraft near the user's path, static aircraft at the user's
// position); removes at most one aircraft; true when it removed one.
bool gf_avoidUserCollision();
// Live aircraft taxiing or parking that moved are checked against the static
// aircraft (gf_avoidStaticCollisions).
void gf_avoidStaticCollisions();
// Removes the first active live aircraft with this callsign (a blocked one).
void gf_removeBlockedLiveAc(const std::string& callsign);
// Every 15 s: when the user has a reserved stand, the aircraft on it go.
void gf_clearReservedStand();
// Every 16 s (the first call at the start of the main loop): static parking
// at the park airport in sight.
void gf_handleStaticParking(bool firstCall);
// Every 61 s: removes one static aircraft that duplicates an active live
// aircraft on the ground (same callsign with "*", or same registration).
void gf_removeDuplicateStatic();
// First phase of a renewal of static parking: the plan is calculated anew.
void gf_restartStaticParking();
// Second phase: adjusts the static aircraft to the new plan when a park
// airport with stands is set (gf_parkingAdjustments).
void gf_parkingAdjustments();
// Checks the park airports and the reserved stand again; true with a message
// when something changed.
bool gf_checkParkAirports(bool reread, std::string& message);
// The position of the first park airport, when there is one.
bool gf_firstParkAirport(GeoPos& position);
// The stands of the current park airport are loaded.
bool gf_parkAirportLoaded();
// A setting the park airport's stand file keeps changed since it was loaded.
void gf_markApfParamsChanged();

// --- Board counts ------------------------------------------------------------------

// Active live aircraft that are not parked.
std::uint64_t gf_activeLiveCount();
// Parked live aircraft (and their average fit into the board).
std::uint64_t gf_avgLiveParkTime(bool refresh);
// Static aircraft in the simulator (and their average fit into the board).
std::uint64_t gf_avgStaticParkTime(bool refresh);

// --- Livery matching statistics ------------------------------------------------------

// The aircraft types that found no livery since the last call.
void gf_logNoMatch();
// The livery-matching summary.
void gf_logMatchingSummary();
// The counts of that summary back to 0 (after the daily summary and the
// closing one).
void gf_clearMatchingStatistics();

// --- Commands of the main window, consumed by the main loop ------------------------------

// NAV_LIGHTS_WHILE_PARKED: the nav lights of static and parked live aircraft.
void gf_setParkedNavLights(bool on);
// MAX_LIVE_SEL lowered: live aircraft beyond the limit make room.
void gf_limitLiveCount();
// The aircraft list back to one empty entry.
void gf_refreshAcList();

// --- Closing -------------------------------------------------------------------------------

// Saves what was learned about the park airport's stands, when they are
// loaded and something is pending, and removes the aircraft on the ground.
void gf_saveLearnedParking();
void gf_removeGroundTraffic();
// Empties the callsigns the traffic control keeps over a run.
void gf_clearRunCallsigns();
// Writes what became of the run's traffic to the log.
void gf_logTrafficCounts();

}  // namespace skh::seam
