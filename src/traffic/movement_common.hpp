#pragma once
// Small pieces that the air, ground and dry-stream code of the movement model
// share: angles, the timing of a leg and its re-timing window, and the client
// events that every category but the Rotorcraft gets.
#include <cstdint>

#include "foundation/geo.hpp"
#include "traffic/aircraft_records.hpp"

namespace skh {

// (-pi, pi] and [0, 2 pi).
double lf_normalizePi(double rad);
double lf_wrapTwoPi(double rad);
// A difference of longitudes the short way round, [-180, 180).
double lf_lonDelta(double toLon, double fromLon);
// Turns the heading towards the target by at most rate (radians) the shorter
// way; headings within the dead band are left alone.
void lf_turnTowards(double& heading, double target, double rate);

inline GeoPos lf_geo(const PosSample& s) { return {s.lat, s.lon}; }
inline GeoPos lf_geo(const AiPositionBlock& p) { return {p.latitude, p.longitude}; }
// Within 1e-8 degrees in latitude and longitude.
bool lf_samePosition(const PosSample& a, const PosSample& b);

// round(x) as polls; throws gsl::narrowing_error when that is no 32-bit
// integer (NaN included).
std::int32_t lf_roundTicks(double x);
// Polls to turn by `degrees` at `rate` radians per poll, at least 1 (also
// for a rate that is not positive).
std::int32_t lf_turnTicks(double degrees, double rate);
// Polls from now until the sample is due, never fewer than the minimum leg.
std::int32_t lf_legTicks(const PosSample& target, std::uint32_t now);
// The mean ground speed of a leg (kt): from the due ticks when both samples
// stand, then at least 1 kt.
double lf_meanSpeed(const PosSample& s0, const PosSample& s1);
// Bearing from sample 1 to sample 2 minus the heading, (-pi, pi]; 0 with
// fewer than three samples.
double lf_trackChange(const LiveAc& ac);
// Dates the target trafficTick + max(travel, minimum leg), held within the
// re-timing window around its received due tick while no prediction runs,
// never sooner than the minimum leg from now.
void lf_retimeTarget(const LiveAc& ac, PosSample& target, std::int32_t travelTicks, std::uint32_t now);

// The re-timing windows shrink by one step towards their minimum.
void lf_shrinkWindows(LiveAc& ac);
// The windows after a change of phase: 3000 early, 3000 late (5000 while
// taking off).
void lf_resetWindows(LiveAc& ac);
// A running prediction ends (the due ticks stay as they are).
void lf_dropPrediction(LiveAc& ac);

// Client events that a Rotorcraft never gets.
void lf_setGear(const LiveAc& ac, bool down);
void lf_setSpoilers(const LiveAc& ac, bool out);
// Throttle index for a fixed-wing aircraft; a Rotorcraft always gets 4.
void lf_setThrottleFixedWing(LiveAc& ac, std::uint32_t index);
// The AI control block (spoilers, two throttles) back to zero, not for a Light aircraft.
void lf_zeroControlBlock(const LiveAc& ac);

// Clears the landing watch when no aircraft is in a flare any more; at most
// once a poll unless everyCall.
void lf_refreshLandingWatch(bool everyCall);

}  // namespace skh
