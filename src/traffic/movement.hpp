#pragma once
// How a live aircraft moves between its received positions. Until the
// movement model stands, the aircraft flies in a straight line from where it
// is to the next sample, arriving when that sample is due: no take-off or
// landing manoeuvres, no ground curves, no holding or prediction when the
// stream runs dry (the aircraft is then removed).
#include "traffic/aircraft_records.hpp"

namespace skh {

// Called by the per-poll update once the front sample is due: makes the
// next sample the target and sets the steps towards it; removes the
// aircraft when no next sample exists. Throws on a broken computation.
void nextPosMain(LiveAc& ac);
// Every poll while the front sample is not stationary: one step.
void advanceOneTick(LiveAc& ac);
// A taxiing aircraft whose samples show it taking off.
void lf_startTakeoffRoll(LiveAc& ac);

}  // namespace skh
