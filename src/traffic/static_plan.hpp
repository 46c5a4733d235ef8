#pragma once
// The static parking plan of the park airport: for each stand the aircraft
// seen there at this half-hour (on this weekday unless WEEK is on), taken
// from the stand's options. The search starts at the current half-hour and
// goes one half-hour further into the past per round, up to MAX_FIT rounds,
// first over the options learned from real traffic, then over the soft
// ones, until the wanted share of the stands is planned. The placing
// (static_parking.hpp) takes the plan from its end, where the best fits lie.
//
// Also here: the callsign a live aircraft is coupled to by its stand's
// options around this time, and the average fit of the static aircraft.
//
// Week slots are in the form of gf_weekdayAndSlot: weekday 1..7 (Monday 1)
// in the low, half-hour slot 0..47 in the high 32 bits; "now" is the run's
// g_weekSlot, which the main loop refreshes every second. Main loop only:
// the plan, the stands and the aircraft have no lock.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "airports/stand.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// One planned static parking.
struct ParkPos {
    std::uint32_t standId = 0;
    std::uint32_t fitOffset = 0;  // half-hours the option's slot lies before now; 0: seen in this one
    std::string airline;
    std::string type;
    std::string callsign;
    std::string secondCallsign;
    std::string registration;
    std::uint8_t stays = 0;  // expected to stay into the next half-hour
};

// The plan; consumed from its end.
extern std::vector<ParkPos> g_parkPositions;

// Modes of a search pass.
inline constexpr std::uint32_t kSoftOptions = 0;
inline constexpr std::uint32_t kRealOptions = 1;
inline constexpr std::uint32_t kAnyOptions = 2;

inline constexpr std::int32_t kDaySlots = 48;
inline constexpr std::int32_t kWeekSlots = 7 * kDaySlots;

// What the board shows of the static parking (the maximum parked and its
// share of the stands, the soft positions used, the average fit, whether the
// parking data was read and the reserved stand found) is in
// g_mainWindowState, set through gf_setBoard.

// The fit offsets the last passes reached: real (0 at the start of a plan)
// and soft (-1 when no soft pass ran).
extern std::int32_t g_realFitReached;
extern std::int32_t g_softFitReached;

// A live aircraft parked at a stand, as the adjustment lists them.
struct ParkedLive {
    std::string callsign;
    std::uint32_t standId = 0;
    std::int64_t minutesParked = 0;
};
// Longest parked last (trimming takes from the end).
extern std::vector<ParkedLive> g_parkedLive;

// Callsigns of live aircraft coupled to a stand option since the last plan;
// a plan takes them over, and their static counterparts are neither planned
// nor kept.
void lf_noteCoupledCallsign(const std::string& callsign);
void lf_takeOverCoupledCallsigns();
// The callsign, or it with "_" appended, is among those taken over.
bool lf_callsignInCoupledMap(const std::string& callsign);
// Forgets both (a new run).
void lf_clearCoupledCallsigns();

// Week slot arithmetic: the slot n half-hours before (wrapping the day and
// the week), and the slot as a count of half-hours since Monday 00:00. The
// half-hours from one slot to another are lf_elapsedSlots (stand_learning).
std::uint64_t lf_weekSlotBefore(std::uint64_t weekSlot, std::int64_t n);
std::int32_t lf_weekSlotIndex(std::uint64_t weekSlot);
// An option of the stand for the weekday with the airline and type was seen
// in its first half-hour (a stay across midnight).
bool lf_seenFirstThing(const Stand& stand, const std::string& airline, const std::string& type, std::int32_t weekday);
// Weekday 1..7 and slot 0..47.
bool lf_isValidWeekSlot(std::uint64_t weekSlot);
// Half-hours as hours for the log: x * 0.5 + 0.5 as a whole number when it
// is one, else with one decimal.
std::string lf_slotHours(std::int64_t halfHours);

// Soft learning was switched off when the park airport was loaded (enough
// learned from real traffic); its learned file is then saved when it is left.
extern bool g_learnSoftSwitchedOff;

// Loads the park airport's stands with their learned options (emptying the
// old ones first) and takes the user's reserved stand there; "" on success,
// else the error text (the caller gives the park airport up).
std::string lf_readParkedFile();

// Writes "It is day ..." to the log; returns the current week slot.
std::uint64_t lf_logDayAndTime();
// The user's reserved stand and the stand at the user aircraft are reserved.
void lf_markReservedStands();
// The stand is planned, its neighbours adjacent-taken.
void lf_markPlanned(Stand& stand);
// Clears the planned, reserved and adjacent-taken marks of every stand.
void lf_clearPlanMarks();

// Builds a new plan for the loaded stands (after the park airport's file was
// read): empties the plan and the adjustment's lists, wants
// lf_wantedStaticCount aircraft and keeps the best fits, best at the end.
// Sets the busy state when the plan is not empty, clears it otherwise.
void lf_showParkingParams();
// The number of static aircraft wanted now: parking_percentage (or
// CUSTOM_PARKING_PERCENTAGE) of the stands, at most MAX_PARK_SEL; shown on
// the board. Throws gsl::narrowing_error for a count that is no integer.
std::int64_t lf_wantedStaticCount();
// The real pass, then the soft one when PARK_SOFT or PARK_FAKE is on and
// the real one did not give enough; `present` aircraft stand already.
void lf_fitBothModes(std::uint64_t dayAndSlot, std::int64_t wanted, std::int64_t present);
// One pass over the rounds 0..MAX_FIT; true when enough stands were planned.
bool lf_fitOneMode(std::uint64_t dayAndSlot, std::int64_t wanted, std::int64_t present, std::uint32_t mode);
bool lf_fitParkedPositions(std::uint64_t dayAndSlot, std::uint32_t mode, std::int64_t wanted,
                           std::vector<ParkPos>& candidates, std::int32_t& round);
// One round: the stands whose options were seen n half-hours ago, into
// `candidates`.
void lf_searchStands(std::uint64_t dayAndSlot, std::uint32_t mode, std::int32_t n, std::vector<ParkPos>& candidates);
// Someone with the option's identity is planned (in the plan or this
// round's candidates), coupled to a live aircraft, standing as a static or
// live aircraft, or parked live.
bool lf_identityInUse(const StandOption& option, const std::vector<ParkPos>& candidates);

// lf_searchForCoupledCsAroundThisTime, the coupled callsign of a new live
// aircraft, is declared with the stand side (stand_side.hpp).

// Static aircraft in the simulator (active or being removed); with `update`
// the average of the half-hours since their placing goes to the board (not
// while WEEK is on).
std::size_t gf_avgStaticParkTime(bool update);

}  // namespace skh
