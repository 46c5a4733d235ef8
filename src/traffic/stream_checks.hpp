#pragma once
// Whether a new sample may extend the stream of a placed live aircraft, by
// its movement state; the checks adjust the sample (tiny moves become
// standing still) and the aircraft (an aircraft that pushed back starts to
// taxi, a parked one leaves its stand or is removed when its samples run
// away from the stand).
#include "feed/traffic_sample.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

bool checkExtendingSituations(LiveAc& ac, PosSample& sample);
bool checkNewPosDuringLanding(LiveAc& ac, PosSample& sample);
// Plausibility against the newest sample of a non-empty stream.
bool lf_checkNewSample(LiveAc& ac, PosSample& sample);
bool lf_checkNearStand(LiveAc& ac, PosSample& sample);
void lf_leaveStand(LiveAc& ac);

// Real samples again: the prediction ends and the front sample is due at
// the next poll.
void lf_endPrediction(LiveAc& ac);

}  // namespace skh
