#pragma once
// What a stream of positions cannot show on the ground: pulling out of a
// stand or being pushed back from it (straight, or ending in a 90 degree turn
// to the side the next position shows), the line-up for take-off, and the
// last metres to an assigned stand with the parking there.
#include <cstdint>

#include "traffic/aircraft_records.hpp"

namespace skh {

// The positions after a stand lie behind it: pushed back 2.5 stand radii,
// then (unless STRAIGHT_PBS_ONLY) one wingspan to the side.
void lf_startPushback(LiveAc& ac, std::uint32_t now);
// Every ground step while pushing back.
void lf_pushbackStep(LiveAc& ac);
// The positions after a stand lie ahead: one span straight out.
void lf_pullOut(LiveAc& ac, std::uint32_t now);
// Appends the drive to the stand (at the slow ground speed) and the stop on
// it 50 polls later.
void drive2Stand(LiveAc& ac, const PosSample& stand);
// The stream ran dry while driving to the stand: parks within 2 m, else taxis.
void lf_towedArrives(LiveAc& ac);

}  // namespace skh
