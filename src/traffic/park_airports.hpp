#pragma once
// The candidate park airports in the order of airports/my_park_airports.txt;
// the first entry is the one that counts. Main loop only.
#include <filesystem>
#include <list>
#include <string>

namespace skh {

struct ParkAirportEntry {
    std::string code;           // as in the airport list, compared byte for byte
    std::string reservedStand;  // the user's stand there; empty: none
    double lat = 0.0;           // degrees
    double lon = 0.0;           // degrees
    double distance = 0.0;      // nm from the user aircraft
};

extern std::list<ParkAirportEntry> g_parkAirports;

// Writes the first entry (its code, and ",stand" when it has a reserved
// stand) into the file: replaces the line of that code or adds one, then
// sorts the lines and drops duplicates. Nothing when the list is empty.
void gf_updateMyParkAirports();
// The file written (tests point it elsewhere); airports/my_park_airports.txt.
void gf_setParkAirportsFile(const std::filesystem::path& path);

}  // namespace skh
