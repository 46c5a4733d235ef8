#pragma once
// The stand choice for live aircraft at the park airport: the free stand at a
// position that fits an aircraft, and the stand that an aircraft of a size
// most likely used at a half-hour (for soft learning). Distances, half spans
// and radii in nm. Main loop only (it owns g_stands).
#include <cstdint>

#include "aircraft/flight_ident.hpp"
#include "airports/stand.hpp"
#include "foundation/geo.hpp"

namespace skh {

inline constexpr double kTightParkNm = 0.0108;    // 20 m: a too-small stand is taken only this close
inline constexpr double kOptionMatchNm = 0.0459;  // 85 m: a stand whose option matches is looked for this far
inline constexpr double kOneMetreNm = 1.0 / 1852.0;

// The nearest stand that is not occupied within `maxNm` that the aircraft
// fits (its half span at most 1.8 m above the radius), or a too-small one
// within 20 m; failing that, with `allowMatch`, the nearest fitting stand
// within 85 m with an option that matches the aircraft. A helipad only for
// rotorcraft and rotorcraft only on helipads. A too-small stand taken is
// widened to the half span less 1 m (a learned change). Null when none.
Stand* lf_findFreeStand(GeoPos p, const FlightIdent& aircraft, double maxNm, bool allowMatch);

// The stand that an aircraft of this size most likely used at the weekday
// and slot of `weekSlot` (gf_weekdayAndSlot form): stands of the aircraft's
// kind that are free at that slot, closest size class first and stands with
// a matching option before others; with `allowNext`, at an airport of at
// most 10 stands, the next half-hour is tried when this one gives nothing.
// Throws gsl::narrowing_error for a size class that is no 32-bit integer.
Stand* lf_chooseStandBySize(std::uint64_t weekSlot, const FlightIdent& aircraft, bool allowNext);

}  // namespace skh
