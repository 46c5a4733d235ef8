#pragma once
// Taking aircraft out of the simulator. Aircraft leave only through
// removeAircraftFromSim, which acts by status; a record is erased when the
// simulator reports its object removed or its creation failed, or, when it
// never reached the simulator, at the next compaction. Nothing here erases a
// record, so every function may run inside a loop over the aircraft.
#include <cstdint>
#include <string>

#include "traffic/aircraft_records.hpp"

namespace skh {

void removeAircraftFromSim(StaticAc& ac);

// Queues the object for removal unless it is queued or handed over already:
// a second removal of the same id could take another object once the
// simulator has given the id again.
void lf_queueRemoval(std::uint32_t objectId);
// The id's removal was reported (or the object is gone): it may be queued again.
void lf_removalDone(std::uint32_t objectId);
// Records an id handed over to the simulator side.
void lf_removalHandedOver(std::uint32_t objectId);
void lf_clearRemovalsInFlight();

// Takes a live aircraft's creation back before it reaches the simulator:
// off the adding stack or out of the live creation queue; true when it did.
bool lf_withdrawCreation(const StaticAc& ac);

// Removes the object so that the aircraft is created again (with a livery
// matched anew).
void liveryRespawn(LiveAc& ac);

// Removes the ghost of a new callsign: the live aircraft whose callsign is
// it followed by "_".
void lf_removeGhost(const std::string& callsign);

// Removes the first active static aircraft that duplicates the live one.
void gf_removeDuplicateStatics(const LiveAc& ac, bool onGround);
// Removes every static aircraft (withdrawing queued creations).
void gf_removeAllStaticAc();
// Removes the aircraft standing on the user's reserved stand.
void gf_clearReservedStand();

// The RealTraffic link is lost: the live aircraft leave the simulator,
// unless the run is stopping or the window closing.
void gf_removeLiveOnLinkLoss();

}  // namespace skh
