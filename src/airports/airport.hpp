#pragma once
// Airports: the airport list's record and the current park airport, whose
// position and elevation the traffic feed uses to decide whether a received
// aircraft is on the ground there.
#include <optional>
#include <string>
#include <vector>

#include "foundation/geo.hpp"

namespace skh {

struct Airport {
    std::string icao;  // empty: no airport
    std::string iata;
    double lat = 0.0;        // degrees
    double lon = 0.0;        // degrees
    double elevation = 0.0;  // feet
};

// The airport list, filled by its reader before a run and only read during it.
extern std::vector<Airport> g_airports;

// The current park airport; shared with the Traffic Reader thread, so reached
// only through these calls.
Airport gf_parkAirport();
void gf_setParkAirport(const Airport& airport);
void gf_clearParkAirport();

// What the traffic feed needs of the park airport, read in one step.
struct ParkAirportFix {
    bool set = false;  // a park airport is set (its code is not empty)
    GeoPos pos;
    double elevation = 0.0;
};
ParkAirportFix gf_parkAirportFix();

// The park airport's elevation (feet) as the reference of the feed's
// on-ground decision; present while the park airport's stands are loaded.
std::optional<double> gf_parkElevation();
void gf_setParkElevation(std::optional<double> feet);

}  // namespace skh
