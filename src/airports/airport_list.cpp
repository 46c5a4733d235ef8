#include "airports/airport_list.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <stdexcept>

#include "airports/park_airport_load.hpp"
#include "foundation/constants.hpp"
#include "foundation/dataset_crypto.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"

namespace skh {

constinit std::atomic<bool> g_airportsLoaded{false};

namespace {

constexpr double kCandidateNm = 5.0;
constexpr double kNoStandNm = 100.0;
// One degree of latitude is 60 nm: a cheap bound before the great circle.
constexpr double kCandidateLatDeg = kCandidateNm / 60.0;

// Elevations of real airfields lie between the Dead Sea and the Himalayas.
constexpr double kMinAltFeet = -2000.0;
constexpr double kMaxAltFeet = 30000.0;

constexpr const char* kInvalid = "invalid stod argument";
constexpr const char* kOutOfRange = "stod argument out of range";

std::mutex g_lookupMutex;
ClosestStandLookup g_standLookup;  // guarded by g_lookupMutex

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

double lf_closestStandNm(const Airport& airport, GeoPos position, std::string& standName) {
    ClosestStandLookup lookup;
    {
        const std::lock_guard lock(g_lookupMutex);
        lookup = g_standLookup;
    }
    const double d = lookup ? lookup(airport, position, standName)
                            : gf_readDestApfForClosestStand(airport.icao, position, standName);
    return std::isfinite(d) ? d : kNoStandNm;
}

}  // namespace

AirportNumber lf_readAirportNumber(std::string_view text, double lo, double hi) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissa = i;
    bool nonZeroInteger = false;
    std::size_t digits = 0;
    while (i < n && isDigit(text[i])) {
        nonZeroInteger = nonZeroInteger || text[i] != '0';
        ++i;
        ++digits;
    }
    // Hexadecimal is no decimal, though the library reader would take it.
    if (digits == 1 && i < n && (text[i] == 'x' || text[i] == 'X') && text[i - 1] == '0') return {false, 0.0, kInvalid};
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) return {false, 0.0, kInvalid};  // also "inf", "nan" and a lone sign or point
    bool negativeExponent = false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) negativeExponent = text[j++] == '-';
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j])) ++j;
            i = j;
        } else {
            negativeExponent = false;  // "1e" is the number 1 followed by text
        }
    }
    double value = 0.0;
    const auto r = std::from_chars(text.data() + mantissa, text.data() + i, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too small for a double is a zero; too large is an error.
        if (!(negativeExponent || !nonZeroInteger)) return {false, 0.0, kOutOfRange};
        value = 0.0;
    } else if (r.ec != std::errc()) {
        return {false, 0.0, kInvalid};
    }
    if (negative) value = -value;
    if (!std::isfinite(value) || value < lo || value > hi) return {false, 0.0, kOutOfRange};
    return {true, value, nullptr};
}

void lf_addAirport(const pugi::xml_node& node, const std::string& code, std::vector<Airport>& list) {
    const pugi::xml_attribute lat = node.attribute("lat");
    const pugi::xml_attribute lon = node.attribute("lon");
    const pugi::xml_attribute alt = node.attribute("alt");
    if (!lat || !lon || !alt) {
        gf_log(skh::format("Missing lat/lon/alt for airport '{}'", code));
        return;
    }
    struct Field {
        pugi::xml_attribute attribute;
        double lo, hi;
    };
    const Field fields[] = {{alt, kMinAltFeet, kMaxAltFeet}, {lat, -90.0, 90.0}, {lon, -180.0, 180.0}};
    double values[3] = {};
    for (std::size_t k = 0; k < 3; ++k) {
        const AirportNumber number = lf_readAirportNumber(fields[k].attribute.value(), fields[k].lo, fields[k].hi);
        if (!number.ok) {
            gf_log(skh::format("Error parsing coordinates for airport '{}': {}", code, number.error));
            return;
        }
        values[k] = number.value;
    }
    list.push_back(Airport{code, node.attribute("iata").value(), values[1], values[2], values[0]});
}

bool gf_readAirports() {
    if (g_airportsLoaded.load()) return !g_airports.empty();

    std::vector<Airport> list;
    list.reserve(kAirportRoom);
    {
        // The plain file goes again however the reading ends.
        std::optional<DecryptedDataSet> plain;
        try {
            plain.emplace(g_airportsEnc, g_airportsXml);
        } catch (const std::exception& e) {
            gf_logWarning(skh::format("{} exception : {}", "gf_readAirports", e.what()));
            gf_removeFile(g_airportsXml);
            throw;
        }
        pugi::xml_document doc;
        const pugi::xml_parse_result loaded = doc.load_file(g_airportsXml.c_str());
        if (!loaded) {
            throw UserErrorException(88,
                                     skh::format("{} not loaded: {}", g_airportsXml.string(), loaded.description()));
        }
        const pugi::xml_node root = doc.child("airports");
        if (!root) throw UserErrorException(88, "Missing <airports> root in: " + g_airportsXml.string());
        for (const pugi::xml_node airport : root.children("airport")) {
            lf_addAirport(airport, airport.attribute("code").value(), list);
        }
    }
    std::sort(list.begin(), list.end(), [](const Airport& a, const Airport& b) { return a.icao < b.icao; });
    gf_log(skh::format("{} airports read", list.size()));
    list.shrink_to_fit();
    g_airports = std::move(list);
    g_airportsLoaded = true;
    return !g_airports.empty();
}

std::string gf_airportDisplayName(const Airport& airport) {
    std::string name = airport.icao.empty() ? "?" : airport.icao;
    if (!airport.iata.empty()) name += " (" + airport.iata + ")";
    return name;
}

const Airport* gf_findAirport(std::string_view code) {
    const auto it = std::lower_bound(g_airports.begin(), g_airports.end(), code,
                                     [](const Airport& a, std::string_view c) { return a.icao < c; });
    return it != g_airports.end() && it->icao == code ? &*it : nullptr;
}

const Airport* gf_closestAirport(GeoPos position) {
    const Airport* best = nullptr;
    const Airport* neighbour = nullptr;
    double bestNm = kNoStandNm;
    for (const Airport& airport : g_airports) {
        if (std::fabs(airport.lat - position.lat) > kCandidateLatDeg) continue;
        const double d = gf_distanceNm(position, GeoPos{airport.lat, airport.lon});
        if (d <= kCandidateNm && d < bestNm) {
            if (best != nullptr) neighbour = best;
            best = &airport;
            bestNm = d;
        }
    }
    if (best == nullptr || neighbour == nullptr) return best;
    gf_log(skh::format("Airport {} is closest, neighbour is {}", best->icao, neighbour->icao));
    std::string bestStand;
    std::string neighbourStand;
    const double bestStandNm = lf_closestStandNm(*best, position, bestStand);
    const double neighbourStandNm = lf_closestStandNm(*neighbour, position, neighbourStand);
    if (neighbourStandNm < bestStandNm) {
        gf_log(
            skh::format("Airport {} is closest, but stand {} at neighbouring airport {} is closer at {:.0F} "
                        "meters ...",
                        best->icao, neighbourStand, neighbour->icao, neighbourStandNm * 1852.0));
        return neighbour;
    }
    return best;
}

void gf_setClosestStandLookup(ClosestStandLookup lookup) {
    const std::lock_guard lock(g_lookupMutex);
    g_standLookup = std::move(lookup);
}

void gf_forgetAirportsForTest() {
    g_airports.clear();
    g_airports.shrink_to_fit();
    g_airportsLoaded = false;
}

}  // namespace skh
