#pragma once
// The ground half of the movement model. Received ground positions are sparse
// and noisy, so an aircraft is not driven in straight lines between them:
// sharp turns become quadratic Bezier curves, long legs with a change of speed
// are split at their midpoint, each leg is re-timed from the speed and the
// turn rate, and the throttle follows the ground speed; the take-off roll
// ends in the rotation and the landing roll-out in the turn off the runway.
// Pushback, pull-out, line-up and the last metres to a stand are in
// ground_manoeuvres.hpp.
#include <cstdint>

#include "foundation/geo.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// Before the steps of a ground leg: pushback, pull-out, midpoint, curve or
// straight leg, the search for a stand, and the re-timing of sample 1.
void lf_groundTurnChoice(LiveAc& ac, std::uint32_t now);
// Sets the due tick of sample 1 from the speed and the turn of the leg.
void lf_retimeGround(LiveAc& ac, std::uint32_t now);
// After the latitude and longitude steps of a moving ground leg: throttle,
// roll-out, attitude, curve step and the take-off test.
void lf_groundStepSetup(LiveAc& ac, std::int32_t ticks);

// Inserts the sample halfway between samples 0 and 1 as the new sample 1.
void lf_insertMidpoint(LiveAc& ac);
// A curve from the aircraft's position to sample 2; it leaves along the
// direction the aircraft moves in where it can (else sample 1 is its control
// point); sample 1 is erased.
void lf_setupCurve(LiveAc& ac);
// A curve from the aircraft's position to sample 1 that leaves along the
// direction the aircraft moves in; false (and no curve) when sample 1 lies
// almost straight behind.
bool lf_setupBend(LiveAc& ac);
// The position and direction (radians) of the curve at parameter t; false
// when no curve is set or t lies outside its range.
bool gf_bezierPointAt(const GroundCurve& curve, GeoPos& point, double& heading, double t);

}  // namespace skh
