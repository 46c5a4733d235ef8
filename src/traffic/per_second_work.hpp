#pragma once
// What the main loop's slower work and the main window's commands do with
// the live and static aircraft: new arrivals and their static duplicates,
// collision avoidance with the user aircraft, a blocked callsign, the board
// counts, the nav lights of parked aircraft and the callsigns kept over a
// run. Main loop thread only.
#include <cstdint>
#include <string>

namespace skh {

// The first entry of g_coupledSearchActs: the callsign coupled to its stand
// is searched once, and static aircraft that duplicate it are removed. The
// entry goes, also when its aircraft is gone (so it never blocks the list).
void gf_handleNewArrival(std::uint64_t weekSlot);
// Collision avoidance with the user aircraft, airborne or on the ground;
// removes at most one aircraft; true when it did.
bool gf_avoidUserCollision();
// Removes the first active live aircraft with this callsign (byte for byte).
void gf_removeBlockedLiveAc(const std::string& callsign);
// Removes one active static aircraft that duplicates an active live
// aircraft on the ground: the live callsign followed by "*", or the same
// registration.
void gf_removeDuplicateStatic();
// Active live aircraft that are not parked.
std::uint64_t gf_activeLiveCount();
// Nav lights of the active static and the active parked live aircraft.
void gf_setParkedNavLights(bool on);
// Empties the callsigns kept over a run (the removed ghosts).
void gf_clearRunCallsigns();
// Forgets where the user was at the last check against the static aircraft,
// so that the next check looks at them wherever the user is.
void gf_resetUserGroundCheck();

}  // namespace skh
