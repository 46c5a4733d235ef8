#pragma once
// The airborne half of the movement model: re-timing of an airborne target,
// the steps of altitude, pitch, heading and bank towards it with the lights
// and configuration of the phase of flight, the landing flare, and the
// take-off rotation and climb-out. Called by the per-target and per-poll
// steps of movement.hpp.
#include <cstdint>

#include "traffic/aircraft_records.hpp"

namespace skh {

// Sets the due tick of sample 1 from the length of the leg and its speed.
void lf_retimeAir(LiveAc& ac, std::uint32_t now);
// The steps towards sample 1 (latitude and longitude steps are set already;
// they are set again when a look-ahead replaces the target). ticks may grow
// with it.
void lf_airStepSetup(LiveAc& ac, std::int32_t& ticks, std::uint32_t now);
// The vertical speed of an approach (ft/min) from the two samples' vertical
// speeds and the QNH.
double lf_approachRate(const LiveAc& ac, const PosSample& s0, const PosSample& s1);

// Every poll below 400 ft with landing set: the flare phases by height.
void lf_flareStep(LiveAc& ac);
// The take-off roll turns into the rotation.
void lf_startRotation(LiveAc& ac);
// Every poll in state take_off.
void lf_climbOutStep(LiveAc& ac);

}  // namespace skh
