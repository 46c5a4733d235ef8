#pragma once
// The airports of a compiled scenery (BGL) file with their stands and
// helipads. Every offset and size is checked against its record, its section
// and the file; a damaged file ends in report lines, never in an exception,
// and what was read before the damage is kept.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "airports/bgl_bytes.hpp"

namespace skh {

// A stand as the scan finds it in the scenery.
struct BglStand {
    std::string name;
    double lat = 0.0;      // degrees
    double lon = 0.0;      // degrees
    double heading = 0.0;  // radians, in (0, 2 pi]: north is 2 pi
    double radiusM = 0.0;  // metres
    bool cargo = false;
    bool ramp = false;
    bool helipad = false;
};

struct BglAirport {
    std::string ident;  // four characters
    std::string name;   // UTF-8; empty when the file names it twice differently
    std::int32_t elevationFt = 0;
    std::vector<BglStand> stands;  // in file order, helipads first
    std::int32_t helipads = 0;
    std::vector<std::string> report;  // scan report lines about this airport, in reading order
};

// Where the reader delivers: each airport with a valid ident as soon as it is
// read, and report lines about the file itself.
struct BglAirportSink {
    std::function<void(BglAirport&)> airport;
    std::function<void(std::string)> report;
};

struct BglFileCheck {
    bool hasAirports = false;
    std::string problem;  // why the file is no readable BGL file; empty for a good one
};

// The quick test before a file gets a task: reads the header and the section
// table only.
BglFileCheck lf_checkBglFile(BglBytes& bytes);
BglFileCheck lf_checkBglFile(const std::filesystem::path& path);
bool lf_countBglAirports(const std::filesystem::path& path);

// Reads every airport of the file; `bglPath` is the text the report lines name.
void lf_readBglAirports(BglBytes& bytes, const std::string& bglPath, const BglAirportSink& sink);

// The packed identifier: base 38 above the low 5 bits. ok is true for exactly
// four characters without blanks.
std::string lf_decodeIdentifierOrRegionCode(std::uint32_t value, bool& ok);
std::string lf_parkingNamePrefix(std::uint32_t nameCode);
double lf_bglLongitude(std::uint32_t value);
double lf_bglLatitude(std::uint32_t value);
bool lf_isValidBglPosition(double lat, double lon);
// Degrees to radians in (0, 2 pi]; false for a value that is not finite.
bool lf_bglHeading(float degrees, double& radians);
// Millimetres to feet; 0 outside the elevations real airports have.
std::int32_t lf_bglElevationFeet(std::int32_t millimetres);

}  // namespace skh
