#include <gtest/gtest.h>

#include <cmath>

#include "foundation/geo.hpp"

namespace skh {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(Geo, DistanceIsOneMinuteOfArcPerNauticalMile) {
    EXPECT_NEAR(gf_distanceNm({0, 0}, {0, 1}), 60.0, 1e-9);
    EXPECT_NEAR(gf_distanceNm({0, 0}, {1, 0}), 60.0, 1e-9);
    EXPECT_DOUBLE_EQ(gf_distanceNm({47.3, 8.5}, {47.3, 8.5}), 0.0);
    EXPECT_NEAR(gf_distanceNm({0, 0}, {0, 180}), 10800.0, 1e-6);
    // Rounding at antipodes and near-identical points must not give NaN.
    EXPECT_FALSE(std::isnan(gf_distanceNm({45, 10}, {-45, -170})));
    EXPECT_FALSE(std::isnan(gf_distanceNm({89.9999999, 0}, {89.9999999, 1e-12})));
}

TEST(Geo, BearingIsInZeroToTwoPi) {
    EXPECT_NEAR(gf_bearingRad({0, 0}, {1, 0}), 0.0, 1e-12);
    EXPECT_NEAR(gf_bearingRad({0, 0}, {0, 1}), kPi / 2, 1e-12);
    EXPECT_NEAR(gf_bearingRad({0, 0}, {0, -1}), 3 * kPi / 2, 1e-12);
    EXPECT_NEAR(gf_bearingRad({0, 0}, {-1, 0}), kPi, 1e-12);
    for (double lon = -180; lon <= 180; lon += 7.5) {
        const double b = gf_bearingRad({10, 20}, {-10, lon});
        EXPECT_GE(b, 0.0);
        EXPECT_LT(b, 2 * kPi);
    }
}

TEST(Geo, DestinationPointRoundTripsAndWrapsLongitude) {
    const GeoPos east = gf_destinationPoint({0, 0}, kPi / 2, 6076.115);
    EXPECT_NEAR(east.lat, 0.0, 1e-9);
    EXPECT_NEAR(east.lon, 1.0 / 60.0, 1e-6);

    const GeoPos across = gf_destinationPoint({0, 179.99}, kPi / 2, 6076.115 * 6);
    EXPECT_GE(across.lon, -180.0);
    EXPECT_LE(across.lon, 180.0);
    EXPECT_NEAR(across.lon, -179.91, 1e-3);

    const GeoPos from{51.47, -0.45};
    const double bearing = 1.234;
    const GeoPos to = gf_destinationPoint(from, bearing, 6076.115 * 25);
    EXPECT_NEAR(gf_distanceNm(from, to), 25.0, 1e-3);
    EXPECT_NEAR(gf_bearingRad(from, to), bearing, 1e-6);

    // Straight over the pole: the asin argument must stay within [-1, 1].
    const GeoPos pole = gf_destinationPoint({89.0, 0}, 0.0, 6076.115 * 60);
    EXPECT_FALSE(std::isnan(pole.lat));
    EXPECT_NEAR(pole.lat, 90.0, 1e-6);
}

}  // namespace
}  // namespace skh
