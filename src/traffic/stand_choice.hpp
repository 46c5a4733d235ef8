#pragma once
// The stand choice for live aircraft at the park airport and the room they
// need: the free stand at a position that fits an aircraft, the stand for an
// aircraft that stops on the apron (try2Park) or is born standing
// (lf_chooseSpawnStand), clearing that stand and its neighbours of live and
// static aircraft, keeping static aircraft out of the way of moving live
// ones, and the stand that an aircraft of a size most likely used at a
// half-hour (for soft learning). Distances, half spans and radii in nm.
// Log lines name the stand of the aircraft concerned first and are written
// only while LOG is set. Main loop only (it owns g_stands and the aircraft).
#include <cstdint>
#include <optional>
#include <string>

#include "aircraft/flight_ident.hpp"
#include "airports/stand.hpp"
#include "foundation/geo.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

inline constexpr double kTightParkNm = 0.0108;    // 20 m: a too-small stand is taken only this close
inline constexpr double kOptionMatchNm = 0.0459;  // 85 m: a stand whose option matches is looked for this far
inline constexpr double kOneMetreNm = 1.0 / 1852.0;

// The nearest stand that is not occupied within `maxNm` that the aircraft
// fits (its half span at most 1.8 m above the radius), or a too-small one
// within 20 m; failing that, with `allowMatch`, the nearest fitting stand
// within 85 m with an option that matches the aircraft. A helipad only for
// rotorcraft and rotorcraft only on helipads. A too-small stand taken is
// widened to the half span less 1 m (a learned change). Null when none.
Stand* lf_findFreeStand(GeoPos p, const FlightIdent& aircraft, double maxNm, bool allowMatch);

// The stand that an aircraft of this size most likely used at the weekday
// and slot of `weekSlot` (gf_weekdayAndSlot form): stands of the aircraft's
// kind that are free at that slot, closest size class first and stands with
// a matching option before others; with `allowNext`, at an airport of at
// most 10 stands, the next half-hour is tried when this one gives nothing.
// Throws gsl::narrowing_error for a size class that is no 32-bit integer.
Stand* lf_chooseStandBySize(std::uint64_t weekSlot, const FlightIdent& aircraft, bool allowNext);

// The user's stands, never given to a live aircraft: the reserved stand at
// the current park airport and the stand the user's aircraft stands at.
bool lf_isUsersStand(const Stand& stand);

// A taxiing aircraft stopped near a stand: it is given the nearest free stand
// that fits within 20 m (55 m, also by a matching option, for the wide search
// after a landing), the stand and its neighbours are cleared, and it drives
// there (state parking, stream cut to its front).
void try2Park(LiveAc& ac, bool wide);
// A copy of the stand at the position of an aircraft born on the ground at
// the park airport, made free for it; none when there is none, the stand is
// the user's, or a neighbour too close is taken (the newcomer is then placed
// elsewhere). When the stand's occupant stays, the newcomer is marked to be
// dropped (dropUnsent).
std::optional<Stand> lf_chooseSpawnStand(LiveAc& ac);

// The live aircraft parked, pushing back or pushed back at the stand (active)
// goes for a newcomer with this callsign (same callsign, or a ghost), or
// stays (the newcomer is its ghost, or it is still reported); true when the
// stand is free for the newcomer.
bool lf_freeStandForLive(std::uint32_t standId, const std::string& callsign);
// Removes the live aircraft parked at the stand (active), other than `ac`.
void lf_removeStandOccupant(std::uint32_t standId, const LiveAc& ac);
// Removes the live aircraft parked or pushing back at the adjacent stand
// when it is within 1.1 x the sum of the two half spans of `target`.
void lf_removeAdjacentLive(std::uint32_t adjacentId, const Stand& target, const LiveAc& ac);
// Static aircraft at the stand (and at its neighbours when too close) go,
// or never come when their creation is still queued.
void lf_makeWay(const LiveAc& ac, const Stand& stand);
// Removes the first active static aircraft whose stand is within 1.1 x the
// sum of the two half spans of the live aircraft (one per call); nothing
// during roll-out or take-off. Remembers the position checked.
void gf_avoidStaticCollisions(LiveAc& ac);
// The per-second check of every active live aircraft on the ground that
// taxis or drives to a stand and has moved since its last check.
void gf_avoidStaticCollisionsOnGround();
// The stands were emptied or replaced: live aircraft keep no stand id that
// would name another stand; one driving to its stand taxis on.
void gf_releaseLiveStands();

}  // namespace skh
