#pragma once
// What the simulator reports about the traffic control's objects, applied
// once per poll: adoption of created objects (object id, parking of ground
// aircraft, flight plan, static centre-of-gravity request), the 200 polls
// until a created object becomes active with its first events, ground
// reports and touch-down, removed objects and refused creations.
#include <array>
#include <cstdint>

#include "simclient/sim_events.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// Polls a created object waits before it becomes active; its lights are
// toggled at the two marks.
inline constexpr std::int32_t kActivationPolls = 200;
// Polls (30 s) a handed-over creation may wait for its object to be adopted
// before the aircraft is given up; an object of it identified later is
// removed. Looked at every kAdoptionCheckPolls.
inline constexpr std::int32_t kAdoptionWaitPolls = 3000;
inline constexpr std::uint32_t kAdoptionCheckPolls = 100;

void lf_processSimEvents();
// The creation of the act has gone to the simulator side: from now on its
// object is waited for.
void lf_awaitAdoption(std::uint32_t actNumber);

// Adoption of a created live object; false when the event is ignored.
bool lf_requestStaticCG(LiveAc& ac, const SimEvent& event);
void lf_parkAtStand(LiveAc& ac);
void lf_handleParked();
void lf_initialAcEvents(LiveAc& ac);
void lf_prepareParked(StaticAc& ac);
void lf_touchdown(LiveAc& ac);
void lf_onObjectRemoved(std::uint32_t objectId);
void lf_handleBlocked(std::uint32_t actNumber);

// Client events of one aircraft.
void lf_setThrottle(StaticAc& ac, std::uint32_t index);
void gf_setFlaps(StaticAc& ac, std::uint32_t index);
void lf_sendEvent(const StaticAc& ac, std::uint32_t eventId, std::uint32_t value);
// Spoilers handle, throttle levers 1 and 2 (percent); a failed call ends the run.
void lf_setControlBlock(const StaticAc& ac, const std::array<double, 3>& values);
// NAV, BEACON, LANDING, TAXI, STROBES, LOGO, CABIN.
void lf_sendLights(const StaticAc& ac, std::uint32_t nav, std::uint32_t beacon, std::uint32_t landing,
                   std::uint32_t taxi, std::uint32_t strobes, std::uint32_t logo, std::uint32_t cabin);

}  // namespace skh
