#pragma once
// Who an aircraft is: the identity texts received from the feed (or planned
// for a parked aircraft), its size category and wingspan from the aircraft
// database, its per-category movement constants, and the livery chosen for
// it. The head of every aircraft record of the traffic control; the livery
// matching writes its title, cargo and FSLTL fields.
#include <cstdint>
#include <string>
#include <string_view>

#include "feed/traffic_sample.hpp"
#include "foundation/aircraft_types.hpp"

namespace skh {

struct FlightIdent : IdentStrings {
    // IdentStrings: airline, type, origin, destination, callsign,
    // secondCallsign, extraCallsign, registration, flag.
    double wingspan = 0.0;           // half the type's span, nm (the unit of a stand's radius)
    double staticCgHeight = 0.0;     // feet above ground when standing; 0 until the simulator tells
    double staticPitch = 0.0;        // radians when standing; 0 until the simulator tells
    double takeoffPitch = 0.0;       // radians, negative nose up
    double climbPitch = 0.0;         // radians
    double groundTurnRate = 0.0;     // radians per poll
    double groundTurnRateNow = 0.0;  // the turn rate of the current ground leg
    double maxClimbStep = 0.0;       // feet per poll
    double slowGroundSpeed = 0.0;    // knots: push-back and the last leg to a stand
    std::uint32_t actNumber = 0;     // live: the feed's address (> 10000); static: counter mod 10000
    AircraftCategory category = CatLarge;
    // A view of the livery title, owned by the livery index for as long as
    // the index stands (until it is cleared for a rescan); empty: no livery.
    std::string_view liveryTitle;
    std::uint32_t flareTicks = 0;
    std::uint32_t touchdownTicks = 0;
    std::uint32_t rotationTicks = 0;
    std::uint32_t climbPitchTicks = 0;
    std::uint8_t cargo = 0;       // the aircraft is to get a cargo livery
    std::uint8_t fsltlModel = 0;  // the chosen title contains "FSLTL_"

    FlightIdent() = default;
    // Moves the texts in and takes the category, wingspan and per-category
    // constants of the type; throws std::out_of_range for a category that the
    // tables lack.
    explicit FlightIdent(IdentStrings&& ident);
};

// The per-category values that the creation of a live aircraft takes.
double gf_maxClimbStepOf(AircraftCategory category);     // feet per poll
double gf_slowGroundSpeedOf(AircraftCategory category);  // knots

// Moves the eight texts (the source is left empty) and copies every number,
// the title view and the flags.
void moveFlightIdent(FlightIdent& to, FlightIdent& from);
// Copy-assigns the eight texts and the flag byte.
void assignIdentStrings(IdentStrings& to, const IdentStrings& from);

// One-line descriptions for log lines.
std::string lf_fmtAirlineType(const FlightIdent& f);  // "{:3} {:4}"
bool lf_equalAirlineType(const FlightIdent& a, const FlightIdent& b);
std::string lf_fmtRoute(const FlightIdent& f);      // "{:3}->{:3}", or eight blanks
std::string lf_fmtCallsign8(const FlightIdent& f);  // "{:8}"
std::string lf_fmtFlightLine(const FlightIdent& f);
std::string gf_acDescription(const FlightIdent& f);
std::string gf_acDescriptionLong(const FlightIdent& f);
std::string lf_fmtIdentKey(const FlightIdent& f);  // airline/type key, a blank, the registration

// Not empty, not "@@@@@@@@" and at most 8 characters.
bool lf_isValidCallsign(std::string_view callsign);
// Three letters and a digit at the front: the letters upper-cased; else empty.
std::string gf_airlineFromCallsign(std::string_view callsign);
// Sets the airline from the callsign; true when it did.
bool gf_setAirlineFromCallsign(FlightIdent& f);

}  // namespace skh
