#pragma once
// Loading the stands of the park airport: its stand file (local or fetched
// from the download server), refined by its learned file, with fake parked
// aircraft when asked for, numbered and with the stands too close to be used
// together; what it read goes to the log and the main window's board. Beside
// it two lighter readers of the same format: the distance to an airport's
// nearest stand, and whether the server's stock file is fit for off-line
// learning.
//
// Main loop only (it owns g_stands), except the values below that say
// otherwise.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "airports/stand.hpp"
#include "foundation/geo.hpp"
#include "foundation/parameters.hpp"

namespace skh {

// What the board shows of the park airport's file. Written by the main
// loop, read by the window's painting; each write is followed by a repaint.
struct ParkAirportBoard {
    std::atomic<std::uint32_t> standCount{0};
    std::atomic<bool> handmade{false};
    SharedText publisher;
    SharedText quality;        // lf_fmtQualityFactors of the airport's pair
    SharedText airportName;    // the airport name of the file read
    SharedText reservedStand;  // the user's reserved stand there; empty: none shown
};
extern ParkAirportBoard g_parkBoard;

// RT_traffic_week of the file read; 0 when it has none. Board and main loop.
extern std::atomic<std::uint32_t> g_rtTrafficWeek;
// The park airport's stands are in g_stands (also when there are none). Set
// at the end of a load, cleared when the park airport is given up.
extern std::atomic<bool> g_parkAirportLoaded;
// A per-airport setting was changed by the user since the load; the settings
// commands set it, the learned save reports it, every load clears it.
extern std::atomic<bool> g_apfParamsChanged;

// The downloaded copy of a park airport's server file.
extern const std::filesystem::path g_parkAirportXml;  // airports/park_airport.xml

// Loads the park airport's stands into g_stands (emptied by the caller) from
// the file reference of gf_getStockAirportFile; fills `info` and the quality
// factor pair. Returns "" on success, "no stands found" when the file gave
// none, else the error text (the caller gives the park airport up). A file
// without "altitude" (user error 65) or with a repeated stand name (94) is
// shown on the error line in red and returned as an error: it gives up this
// park airport, never the run.
std::string gf_readApf(const std::string& reference, ApfInfo& info, std::uint64_t& qualityFactors);

// Numbers the stands 1, 2, 3 ... and lists for each the stands closer than
// their radii allow (distance x 1.1 < radius A + radius B), in list order.
void lf_numberStands(std::vector<Stand>& stands);

// The distance in nm from a position to the nearest stand of the airport,
// whose name goes into `standName`; 100.0 (the name untouched) when there is
// no file, no stand, or none nearer than 100 nm. Never throws.
double gf_readDestApfForClosestStand(const std::string& code, GeoPos position, std::string& standName);

// Whether the server's stock file of the airport already carries enough
// learned data for off-line learning: a quality factor of 0 or more and an
// RT_traffic_week of at least 31. Throws std::filesystem::filesystem_error
// when its temporary copy cannot be removed.
bool gf_prepareOfflineLearning(const std::string& code);

}  // namespace skh
