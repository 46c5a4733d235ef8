#pragma once
// Airports: the airport list's record and the current park airport, whose
// position and elevation the traffic feed uses to decide whether a received
// aircraft is on the ground there.
#include <string>
#include <vector>

#include "feed/park_fix.hpp"

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

// The current park airport, reached only through these calls; setting it
// also hands the feed its copy of the position and elevation.
Airport gf_parkAirport();
void gf_setParkAirport(const Airport& airport);
void gf_clearParkAirport();

}  // namespace skh
