#include "airports/stand.hpp"

#include <cmath>
#include <gsl/narrow>

namespace skh {

std::vector<Stand> g_stands;
ApfInfo g_apfInfo;
std::string g_apfAirport;
bool g_apfHandmade = false;
std::uint64_t g_standsGeneration = 0;

Stand gf_makeStand(std::string name, std::vector<StandOption> options, double lat, double lon, double headingRad,
                   double radiusMetres, bool cargo, bool ramp, bool helipad) {
    Stand s;
    s.name = std::move(name);
    s.options = std::move(options);
    s.lat = lat;
    s.lon = lon;
    s.heading = headingRad;
    s.radius = radiusMetres * kNmPerMetre;
    s.cargo = cargo;
    s.ramp = ramp;
    s.helipad = helipad;
    return s;
}

std::int32_t gf_roundToInt32(double x) {
    const double r = std::round(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw gsl::narrowing_error();
    return static_cast<std::int32_t>(r);
}

bool lf_radiusStepFits(const Stand& stand, double wingspan) {
    const double d = wingspan - stand.radius;
    if (d > kOversizeNm) return false;
    return gf_roundToInt32(-d / lf_sizeStep(wingspan)) == 0;
}

Stand* gf_standById(std::uint32_t id) {
    if (id == 0 || id > g_stands.size()) return nullptr;
    Stand& s = g_stands[id - 1];
    return s.id == id ? &s : nullptr;
}

std::string gf_standNameOf(std::uint32_t id) {
    if (id == 0) return "sid==0?";
    const Stand* s = gf_standById(id);
    return s != nullptr ? s->name : "sid==?";
}

}  // namespace skh
