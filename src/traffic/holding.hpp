#pragma once
// When the stream of an aircraft runs dry: an aircraft on the ground that
// has pushed back or is taxiing holds for new positions (for at most
// MAX_HOLDING_MINUTES, and not while another taxiing aircraft is close);
// any other aircraft is flown on by a few predicted positions (8 steps of
// 8 s in the air, 10 of 3 s on the ground, one week for a parked one).
#include <cstdint>

#include "traffic/aircraft_records.hpp"

namespace skh {

// Called when fewer than two samples remain; true when a sample was
// appended (the aircraft flies on), false when it is to be removed.
bool lf_dryStreamStep(LiveAc& ac);
// Appends one predicted sample; count predicted steps remain.
void lf_predictStep(LiveAc& ac, std::int32_t count);

}  // namespace skh
