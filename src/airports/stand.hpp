#pragma once
// The stands (parking positions) of the current park airport, each with the
// occupants learned for it (its options). The airport subsystem fills the
// list when it loads an airport; the traffic control uses and changes it.
// g_stands, g_apfInfo, g_apfAirport and g_apfHandmade belong to the main
// loop's thread; the airports scan builds its own AirportFileData on its task
// threads.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace skh {

inline constexpr double kMetresPerNm = 1852.0;
inline constexpr double kNmPerMetre = 0.0005399568034557236;  // 1 / 1852

// One occupant learned for a stand (an "opt" element of a stand file).
struct StandOption {
    std::string airline;
    std::string type;
    std::string registration;
    std::string callsign;
    std::string secondCallsign;   // the callsign coupled to the first one
    std::uint64_t halfHours = 0;  // bit i: seen in slot i (0..47) of the day, UTC
    std::uint32_t seq = 0;        // 1-based within the stand; 0: withdrawn, never written
    std::uint32_t weekday = 0;    // 1 Monday .. 7 Sunday; 0: the file gave none
    std::uint32_t origin = 0;     // 1: from the archived, generated or hand-made file; 0: learned
    std::uint32_t real = 0;       // 1: learned from real traffic; 0: soft (guessed)
    // Left out of the static parking plan until the options are renumbered or
    // the stands loaded again (its identity is in use). Never stored: such an
    // option is still written by the learned save, unlike one with seq 0.
    bool skip = false;
    // Made up by the fake parked aircraft: it lives in memory only and is
    // never written to a stand file (it is not the user's, nor learned).
    bool fake = false;
};

// The identity part of an "opt" element.
struct OptIdentity {
    std::string callsign;
    std::string secondCallsign;
    std::string airline;
    std::string type;
};

// Act number -> the weekday and slot (gf_weekdayAndSlot form) at which the
// act was last recorded at the stand.
using ActSlotMap = std::unordered_map<std::uint32_t, std::uint64_t>;

struct Stand {
    std::string name;                     // unique within one airport
    double lat = 0.0;                     // degrees
    double lon = 0.0;                     // degrees
    double heading = 0.0;                 // radians (degrees in the file)
    double radius = 0.0;                  // nm (metres in the file)
    std::uint32_t id = 0;                 // 1-based place in g_stands, numbered when an airport is loaded
    std::vector<StandOption> options;     // in the order read or learned
    ActSlotMap realActs;                  // learning from real traffic
    ActSlotMap softActs;                  // soft learning
    std::vector<std::uint32_t> adjacent;  // ids of stands too close to be used together
    bool manual = false;                  // created by hand in a learned file
    bool radiusChanged = false;
    bool cargoChanged = false;
    bool planned = false;   // taken by the static parking plan
    bool occupied = false;  // a live aircraft was given it
    bool reserved = false;  // the user's reserved stand
    bool adjacentTaken = false;
    bool cargo = false;
    bool ramp = false;
    bool helipad = false;
    std::uint32_t occupant = 0;  // act number of the live aircraft that holds the occupied mark
};

// A stand as a file describes it: heading in radians, radius in metres
// (stored in nm); every other flag false, id 0, no acts, no neighbours.
Stand gf_makeStand(std::string name, std::vector<StandOption> options, double lat, double lon, double headingRad,
                   double radiusMetres, bool cargo, bool ramp, bool helipad);

// The size test of a type against a stand, in half spans and radii (nm).
inline constexpr double kOversizeNm = 0.0009719222462203025;  // a type fits a stand at most 1.8 m smaller
inline constexpr double kSmallSpanNm = 0.009611230689557531;  // 17.8 m: half spans up to it ...
inline constexpr double kSmallStepNm = 0.00755939524838013;   // ... step 14 m,
inline constexpr double kLargeStepNm = 0.011339092872570195;  // larger ones 21 m
inline double lf_sizeStep(double wingspan) { return wingspan <= kSmallSpanNm ? kSmallStepNm : kLargeStepNm; }
// The wingspan (half span, nm) exceeds the radius by at most 1.8 m and the
// radius is less than half a size step larger. Throws gsl::narrowing_error
// for a step count that is no 32-bit integer.
bool lf_radiusStepFits(const Stand& stand, double wingspan);

// round(x) (halves away from zero) as a 32-bit integer; throws
// gsl::narrowing_error when that is no 32-bit integer (NaN included).
std::int32_t gf_roundToInt32(double x);

// An airport stand file in memory: what the writer writes.
struct AirportFileData {
    std::string ident;  // ICAO code; names the file
    std::string name;   // the airport's name
    std::string bglPath;
    std::string publisher;
    std::int32_t qfReal = -1;
    std::int32_t qfSoft = -1;
    std::int32_t altitude = 0;  // feet
    std::vector<Stand> stands;
};

// What the park-airport load read from the parameters of the airport's file.
struct ApfInfo {
    std::string name;
    std::string publisher;
    std::int32_t altitude = 0;  // feet
};

extern std::vector<Stand> g_stands;
extern ApfInfo g_apfInfo;
// The airport whose file g_apfInfo and g_stands were loaded from; empty while
// none is loaded. The learned save writes only for this airport.
extern std::string g_apfAirport;
// True while the stands of the current airport come from a hand-made file.
extern bool g_apfHandmade;

// Counts the loads and clearings of g_stands, so that answers remembered
// about the stands (the stand at the user's position) can tell they are old.
extern std::uint64_t g_standsGeneration;
inline void gf_standsChanged() { ++g_standsGeneration; }

// The stand with this id in g_stands; null for 0, for an id beyond the list
// and for a list that was renumbered or emptied since the id was given out.
Stand* gf_standById(std::uint32_t id);
// The stand's name, "sid==0?" for id 0 and "sid==?" for an id not in g_stands.
std::string gf_standNameOf(std::uint32_t id);

}  // namespace skh
