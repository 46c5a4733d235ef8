#pragma once
// Builds BGL scenery files for tests: airport records with names, helipads
// and parking lists, placed in sections and subsections, plus helpers to
// damage the bytes afterwards.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace skh::test {

struct BglParkingLayout {
    std::uint32_t nameCode = 10;  // "g"
    std::uint32_t type = 1;
    std::uint32_t number = 1;
    float radius = 20.0f;   // metres
    float heading = 90.0f;  // degrees
    double lat = 47.45;
    double lon = 8.55;
    std::uint32_t airlineCodes = 0;
};

struct BglHelipadLayout {
    double lat = 47.46;
    double lon = 8.56;
    float width = 20.0f;  // metres
    float heading = 0.0f;
};

struct BglAirportLayout {
    std::string ident = "LSZH";
    bool v2 = true;  // record 0xAB with list 0xAD, else 0x3C with 0x3D
    std::int32_t elevationMm = 432000;
    std::vector<std::string> names = {"Test Airport"};
    std::vector<BglHelipadLayout> helipads;
    std::vector<BglParkingLayout> parkings;
    bool helipadsAfterParkings = false;
};

struct BglSectionLayout {
    std::uint32_t type = 3;
    std::uint32_t flags = 1;
    std::vector<std::string> subsections;  // the record bytes of each subsection
};

std::uint32_t bglIdentValue(std::string_view ident);
std::uint32_t bglLatValue(double lat);
std::uint32_t bglLonValue(double lon);

std::string bglAirportRecord(const BglAirportLayout& airport);
// A record of any id with `body` after its 6-byte header (size = 6 + body).
std::string bglRecord(std::uint16_t id, const std::string& body);
std::string bglFile(const std::vector<BglSectionLayout>& sections);
// One airport section with one subsection that holds all the airports.
std::string bglFileOf(const std::vector<BglAirportLayout>& airports);

void putU16(std::string& bytes, std::size_t offset, std::uint16_t value);
void putU32(std::string& bytes, std::size_t offset, std::uint32_t value);
void putF32(std::string& bytes, std::size_t offset, float value);
std::uint32_t getU32(const std::string& bytes, std::size_t offset);

// Byte offsets of the fixed parts of a bglFile/bglFileOf result.
inline constexpr std::size_t kBglSectionCountAt = 20;
inline constexpr std::size_t kBglFirstSectionAt = 56;
// Where the first subsection's records begin in a bglFileOf result.
inline constexpr std::size_t kBglFirstRecordsAt = 56 + 20 + 16;

}  // namespace skh::test
