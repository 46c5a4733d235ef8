#pragma once
// How a live aircraft moves between its received positions. It is not put
// at each position but flown there: once the front sample is due, the next
// one becomes the target and the steps of position, altitude, attitude and
// heading that reach it by its (re-timed) due tick are worked out, with the
// controls of the phase of flight; every poll in between adds the steps,
// flies the flare and the rotation, and follows ground curves. When the
// stream runs dry the aircraft holds or is predicted (holding.hpp), and when
// that ends too it leaves the simulator. Air and ground details are in
// air_movement.hpp, ground_movement.hpp and ground_manoeuvres.hpp.
#include "traffic/aircraft_records.hpp"

namespace skh {

// Called by the per-poll update once the front sample is due: makes the next
// sample the target and sets the steps towards it; removes the aircraft when
// no next sample exists any more. Logs and throws on a broken computation
// (a travel time beyond 32 bits, a step that is no number).
void nextPosMain(LiveAc& ac);
// Makes sample 1 the target, in the air as on the ground.
void nextPosGround(LiveAc& ac);
// Every poll while the front sample is not stationary: one step. Throws
// (leaving the position as it was) when the step would make the position
// anything but finite numbers.
void advanceOneTick(LiveAc& ac);
// A taxiing aircraft whose samples show a departure: lined up for the
// take-off roll (throttle, spoilers, flaps, lights, re-timing window).
void lf_startTakeoffRoll(LiveAc& ac);

}  // namespace skh
