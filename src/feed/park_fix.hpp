#pragma once
// The feed's own copy of what it needs of the current park airport: its
// position and elevation decide whether a received aircraft is on the ground
// there. The airport code that owns the park airport copies it in; the
// Traffic Reader thread reads it.
#include <optional>

#include "foundation/geo.hpp"

namespace skh {

struct ParkAirportFix {
    bool set = false;  // a park airport is set (its code is not empty)
    GeoPos pos;
    double elevation = 0.0;  // feet
};

ParkAirportFix gf_parkAirportFix();
void gf_setParkAirportFix(const ParkAirportFix& fix);

// The park airport's elevation (feet) as the reference of the feed's
// on-ground decision; present while the park airport's stands are loaded.
std::optional<double> gf_parkElevation();
void gf_setParkElevation(std::optional<double> feet);

}  // namespace skh
