#pragma once
// The constants of the movement model: the four per-category tables (kept in
// radians where they are angles) and the named thresholds of the air and
// ground code, each with its unit. One poll (tick) is 10 ms.
#include <cstdint>

#include "foundation/aircraft_types.hpp"

namespace skh {

// Per category; a category outside the tables throws std::out_of_range
// ("invalid unordered_map<K, T> key"). Built once, on first use.
double gf_maxPitchChange(AircraftCategory category);  // radians per poll
double gf_maxBank(AircraftCategory category);         // radians
double gf_maxBankChange(AircraftCategory category);   // radians per poll
double gf_rotationSpeed(AircraftCategory category);   // knots

namespace mv {

inline constexpr double kDeg = 0.017453292519943295;  // radians per degree
inline constexpr double kPi = 3.141592653589793;

// Timing.
inline constexpr std::int32_t kMinLegTicks = 25;            // a target is reached in no fewer polls
inline constexpr double kTicksPerHour = 360000.0;           // polls per hour: nm x this / kt = polls
inline constexpr std::int32_t kWindowTicks = 3000;          // re-timing window before / after the received due tick
inline constexpr std::int32_t kTakeoffLateTicks = 5000;     // the late window while taking off
inline constexpr std::int32_t kMinWindowTicks = 1000;       // the windows shrink towards this
inline constexpr std::int32_t kWindowShrinkTicks = 100;     // per step
inline constexpr std::int32_t kWideTurnWindowTicks = 2000;  // at least this for turns of 90 degrees or more

// Positions.
inline constexpr double kSamePositionDeg = 1e-8;       // two positions are the same within this
inline constexpr double kMetresPerDegree = 111132.95;  // flat-earth metres per degree of latitude
inline constexpr double kFeetPerNm = 6076.11549;
inline constexpr double kMaxCurveLatDeg = 89.9;  // cos(latitude) of a curve is taken at most this far north or south

// Air.
inline constexpr double kLightsAltitudeFt = 10000.0;     // the high and low light sets meet here
inline constexpr double kApproachHeightBigFt = 2050.0;   // approach configuration below, Buzjets, Large, Heavy
inline constexpr double kApproachHeightSmallFt = 625.0;  // the others
inline constexpr double kGearUpHeightFt = 2400.0;        // en route: gear and flaps up from here
inline constexpr double kFlapsTwoHeightFt = 2000.0;      // en route: a second flap step below this
inline constexpr double kNearParkAirportNm = 10.0;       // an approach to the park airport starts inside this
inline constexpr double kLowFlightFt = 1000.0;           // above ground: followed without the minimum climb
inline constexpr double kLandingHeadingFt = 2000.0;      // the sample's own heading is flown below this while landing
inline constexpr double kMinLowClimbStepFt = 0.2;        // per poll: the slowest climb near the ground
inline constexpr double kFlareTestFt = 400.0;            // the flare is tested at or below this height
inline constexpr double kFlarePitch = -4.0 * kDeg;       // the nose never rises further in the flare
inline constexpr double kGroundPitch = 0.6 * kDeg;       // pitch of an aircraft created on the ground
inline constexpr double kClimbOutHeightFt = 800.0;       // the climb-out ends here
inline constexpr std::int32_t kGearUpTick = -300;        // climb-out polls after rotation when the gear comes up
inline constexpr std::int32_t kMinPhaseCounter = -1000;

// Ground.
inline constexpr double kTurnDeadbandDeg = 0.5;    // headings closer than this are left alone
inline constexpr double kTurnNeededDeg = 3.0;      // a ground leg turns the aircraft above this
inline constexpr double kMidpointTurnDeg = 45.0;   // a sharper turn at low speed gets a midpoint first
inline constexpr double kMaxCurveTurnDeg = 160.0;  // sharper turns are no curves
inline constexpr double kMaxCurveFollowDeg = 0.3;  // per poll: the fastest the nose follows a curve
inline constexpr double kMidpointLegNm = 0.027;    // 50 m
inline constexpr double kMidpointSpeedKt = 43.0;
inline constexpr std::int32_t kMidpointLegTicks = 600;
inline constexpr double kSplitSpeedKt = 5.0;  // a leg with a larger change of speed is split
inline constexpr double kSplitLegNm = 100.0 / 1852.0;
inline constexpr double kTakeoffSpeedKt = 43.0;  // take-off rotation never below this at the front sample
inline constexpr double kClimbingVsFpm = 256.0;  // later samples climbing faster than this rotate at once
inline constexpr double kParkSearchNm = 0.0189;  // 35 m: an aircraft this close to its last sample looks for a stand
inline constexpr double kParkSpeedKt = 5.0;
inline constexpr double kAtStandNm = 0.00108;          // 2 m: parks only this close to the stand
inline constexpr double kRolloutEndDeg = 15.0;         // the roll-out ends when the heading has left the runway by this
inline constexpr double kRolloutSlowKt = 90.0;         // spoilers in at this speed on the runway
inline constexpr std::int32_t kMinStandTicks = 100;    // the last leg to a stand takes at least this
inline constexpr std::int32_t kStandSettleTicks = 50;  // the stand is reached again this much later, standing

}  // namespace mv
}  // namespace skh
