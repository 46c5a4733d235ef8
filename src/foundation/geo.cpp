#include "foundation/geo.hpp"

#include <algorithm>
#include <cmath>

namespace skh {

namespace {
constexpr double PI = 3.141592653589793;
}  // namespace

double gf_distanceNm(GeoPos a, GeoPos b) {
    const double latA = a.lat * DEG2RAD;
    const double latB = b.lat * DEG2RAD;
    const double sLat = std::sin((latB - latA) / 2.0);
    const double sLon = std::sin((b.lon - a.lon) * DEG2RAD / 2.0);
    // Rounding can push h a hair outside [0, 1]; the square roots need it inside.
    const double h = std::clamp(sLat * sLat + std::cos(latB) * std::cos(latA) * sLon * sLon, 0.0, 1.0);
    return std::atan2(std::sqrt(h), std::sqrt(1.0 - h)) * NM_PER_RAD_X2;
}

double gf_bearingRad(GeoPos from, GeoPos to) {
    const double latF = from.lat * DEG2RAD;
    const double latT = to.lat * DEG2RAD;
    const double d = (to.lon - from.lon) * DEG2RAD;
    double theta = std::atan2(std::sin(d) * std::cos(latT),
                              std::cos(latF) * std::sin(latT) - std::sin(latF) * std::cos(latT) * std::cos(d));
    if (theta < 0.0) theta += TWO_PI;
    if (theta >= TWO_PI) theta -= TWO_PI;  // -0.0-ish values that round up to 2 pi
    return theta;
}

GeoPos gf_destinationPoint(GeoPos from, double bearingRad, double distanceFeet) {
    const double delta = distanceFeet * RAD_PER_FOOT;
    const double lat1 = from.lat * DEG2RAD;
    const double lon1 = from.lon * DEG2RAD;
    const double sinLat1 = std::sin(lat1);
    const double cosLat1 = std::cos(lat1);
    const double sinDelta = std::sin(delta);
    const double cosDelta = std::cos(delta);
    const double sinLat2 =
        std::clamp(sinLat1 * cosDelta + cosLat1 * sinDelta * std::cos(bearingRad), -1.0, 1.0);
    const double lat2 = std::asin(sinLat2);
    double lon2 = lon1 + std::atan2(std::sin(bearingRad) * sinDelta * cosLat1, cosDelta - sinLat1 * sinLat2);
    // lon1 and the atan2 term each lie within [-pi, pi], so one turn at most
    // brings the sum back (the same result as the IEEE remainder by 2 pi).
    if (lon2 > PI) lon2 -= TWO_PI;
    if (lon2 < -PI) lon2 += TWO_PI;
    return {lat2 * RAD2DEG, lon2 * RAD2DEG};
}

}  // namespace skh
