#include "aircraft/flight_ident.hpp"

#include <cctype>
#include <unordered_map>
#include <utility>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/random.hpp"

namespace skh {

FlightIdent::FlightIdent(IdentStrings&& ident) : IdentStrings(std::move(ident)) {
    wingspan = gf_wingspanOf(type);
    category = gf_sizeCategory(type);
    // unordered_map::at throws std::out_of_range for a category a table lacks.
    flareTicks = g_flareTicks.at(category);
    touchdownTicks = g_touchdownTicks.at(category);
    rotationTicks = g_rotationTicks.at(category);
    climbPitchTicks = g_climbPitchTicks.at(category);
    takeoffPitch = gf_randomSpread(g_takeoffPitchDeg.at(category), 2.5) * DEG2RAD;
    climbPitch = gf_randomSpread(g_climbPitchDeg.at(category), 5.0) * DEG2RAD;
    groundTurnRate = g_groundTurnRate.at(category);
}

double gf_maxClimbStepOf(AircraftCategory category) {
    static const std::unordered_map<AircraftCategory, double> kTable{{CatLight, 0.5},    {CatBuzjets, 0.75},
                                                                     {CatLarge, 0.6},    {CatHeavy, 0.5},
                                                                     {CatHighPerf, 1.0}, {CatRotorcraft, 0.75}};
    return kTable.at(category);
}

double gf_slowGroundSpeedOf(AircraftCategory category) {
    static const std::unordered_map<AircraftCategory, double> kTable{
        {CatLight, 5.0}, {CatBuzjets, 4.5}, {CatLarge, 4.0}, {CatHeavy, 3.0}, {CatHighPerf, 4.5}, {CatRotorcraft, 5.0}};
    return kTable.at(category);
}

void moveFlightIdent(FlightIdent& to, FlightIdent& from) {
    const std::uint8_t flag = from.flag;
    IdentStrings texts = std::exchange(static_cast<IdentStrings&>(from), IdentStrings{});
    from.flag = flag;
    to = from;  // every number, the view and the flags; the texts are empty now
    static_cast<IdentStrings&>(to) = std::move(texts);
}

void assignIdentStrings(IdentStrings& to, const IdentStrings& from) { to = from; }

std::string lf_fmtAirlineType(const FlightIdent& f) { return skh::format("{:3} {:4}", f.airline, f.type); }

bool lf_equalAirlineType(const FlightIdent& a, const FlightIdent& b) {
    return a.airline == b.airline && a.type == b.type;
}

std::string lf_fmtRoute(const FlightIdent& f) {
    if (f.origin.empty() && f.destination.empty()) return std::string(8, ' ');
    return skh::format("{:3}->{:3}", f.origin, f.destination);
}

std::string lf_fmtCallsign8(const FlightIdent& f) { return skh::format("{:8}", f.callsign); }

std::string lf_fmtFlightLine(const FlightIdent& f) {
    return skh::format("{} {:8} {}", lf_fmtRoute(f), f.callsign, f.registration);
}

std::string gf_acDescription(const FlightIdent& f) {
    return skh::format("{} {}", lf_fmtFlightLine(f), lf_fmtAirlineType(f));
}

std::string gf_acDescriptionLong(const FlightIdent& f) {
    return skh::format("{} {} {}", lf_fmtCallsign8(f), f.registration, lf_fmtAirlineType(f));
}

std::string lf_fmtIdentKey(const FlightIdent& f) { return lf_fmtAirlineType(f) + " " + f.registration; }

bool lf_isValidCallsign(std::string_view callsign) {
    return !callsign.empty() && callsign != "@@@@@@@@" && callsign.size() <= 8;
}

std::string gf_airlineFromCallsign(std::string_view cs) {
    const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
    if (cs.size() < 4 || !letter(cs[0]) || !letter(cs[1]) || !letter(cs[2]) ||
        std::isdigit(static_cast<unsigned char>(cs[3])) == 0) {
        return {};
    }
    std::string airline(cs.substr(0, 3));
    for (char& c : airline) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return airline;
}

bool gf_setAirlineFromCallsign(FlightIdent& f) {
    std::string airline = gf_airlineFromCallsign(f.callsign);
    if (airline.empty()) return false;
    f.airline = std::move(airline);
    return true;
}

}  // namespace skh
