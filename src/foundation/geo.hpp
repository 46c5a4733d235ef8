#pragma once
// Great-circle geometry on the sphere on which one nautical mile is one minute
// of arc. Positions in degrees, bearings in radians.
namespace skh {

struct GeoPos {
    double lat = 0.0;
    double lon = 0.0;
};

inline constexpr double DEG2RAD = 0.017453292519943295;
inline constexpr double RAD2DEG = 57.29577951308232;
inline constexpr double NM_PER_RAD_X2 = 6875.493541569878;  // 2 * 10800 / pi
inline constexpr double RAD_PER_FOOT = 4.787404208238998e-8;
inline constexpr double TWO_PI = 6.283185307179586;

double gf_distanceNm(GeoPos a, GeoPos b);
// Initial true bearing, 0 up to (not including) 2 pi.
double gf_bearingRad(GeoPos from, GeoPos to);
GeoPos gf_destinationPoint(GeoPos from, double bearingRad, double distanceFeet);

}  // namespace skh
