#pragma once
// The airport list: every airport of the data set airports.xml (code, IATA
// code, position, elevation), read once per process by the start-up worker,
// sorted by code and read without a lock by everyone after that.
#include <atomic>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "airports/airport.hpp"
#include "foundation/geo.hpp"

namespace skh {

// Set once a read has completed; never cleared.
extern std::atomic<bool> g_airportsLoaded;

// Room reserved while reading.
inline constexpr std::size_t kAirportRoom = 40000;

// Decrypts input/airports.enc, reads every airport, sorts the list by code
// and removes the plain file on every way out. Once loaded, later calls only
// answer whether the list holds an airport. Throws UserErrorException 88
// when the file cannot be loaded or has no <airports> root.
bool gf_readAirports();

// Reads one <airport> element (its code already read) into `list`; a missing
// or unusable number is logged and the airport skipped.
void lf_addAirport(const pugi::xml_node& node, const std::string& code, std::vector<Airport>& list);

// The number of an airport attribute: a finite decimal (leading blanks, sign,
// fraction, exponent; text after it ignored) within [lo, hi]. Empty with the
// reason ("invalid stod argument", "stod argument out of range") otherwise.
struct AirportNumber {
    bool ok = false;
    double value = 0.0;
    const char* error = nullptr;
};
AirportNumber lf_readAirportNumber(std::string_view text, double lo, double hi);

// "CODE (IATA)", "?" for an empty code, no brackets without an IATA code.
std::string gf_airportDisplayName(const Airport& airport);

// The first airport of the list with exactly this code, or null.
const Airport* gf_findAirport(std::string_view code);

// The airport the position belongs to (within 5 nm), or null. When two
// airports compete, the one whose nearest stand is closer wins.
const Airport* gf_closestAirport(GeoPos position);

// The distance in nm from a position to the nearest stand of an airport and
// that stand's name; 100.0 when the airport's stand file cannot be used. The
// stand loader's gf_readDestApfForClosestStand unless a test sets another
// (an empty one: that again).
using ClosestStandLookup = std::function<double(const Airport& airport, GeoPos position, std::string& standName)>;
void gf_setClosestStandLookup(ClosestStandLookup lookup);

// Forgets the list and the loaded flag (tests only: a process reads it once).
void gf_forgetAirportsForTest();

}  // namespace skh
