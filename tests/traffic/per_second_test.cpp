// The slower work on the live and static aircraft: collision avoidance with
// the user aircraft, duplicates of static aircraft, new arrivals, a blocked
// callsign and the nav lights of parked aircraft.
#include <gtest/gtest.h>

#include "foundation/geo.hpp"
#include "simclient/sim_state.hpp"
#include "traffic/per_second_work.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::TrafficTest;

constexpr double kFeetPerNm = 6076.11549;

class TrafficPerSecond : public TrafficTest {
protected:
    LiveAc& placed(std::uint32_t act, const std::string& callsign, GeoPos p, double altitude, double heading,
                   bool onGround, std::uint32_t objectId) {
        LiveAc ac;
        ac.actNumber = act;
        ac.callsign = callsign;
        ac.status = AcStatus::active;
        ac.onGround = onGround ? 1 : 0;
        ac.moveState = onGround ? AcState::taxi : AcState::flying;
        ac.pos.latitude = p.lat;
        ac.pos.longitude = p.lon;
        ac.pos.altitude = altitude;
        ac.pos.trueHeading = heading;
        ac.wingspan = 0.0097;
        ac.stream.push_back(PosSample{});
        LiveAc& added = lf_appendLiveAc(std::move(ac));
        lf_setObjectId(added, objectId);
        return added;
    }
    void userAt(GeoPos p, double altitude, double aboveGround, double heading, bool onGround) {
        g_userAc.latitude = p.lat;
        g_userAc.longitude = p.lon;
        g_userAc.altitude = altitude;
        g_userAc.altitudeAboveGround = aboveGround;
        g_userAc.trueHeading = heading;
        port.onGround = onGround;
    }
    static GeoPos from(GeoPos p, double bearingRad, double feet) { return gf_destinationPoint(p, bearingRad, feet); }
};

TEST_F(TrafficPerSecond, AnAircraftOnTheRunwayAheadOfALandingUserIsRemoved) {
    const GeoPos user{47.45, 8.55};
    userAt(user, 1700.0, 300.0, 0.0, false);
    // 0.5 nm ahead, 40 ft and 60 ft off the user's heading line.
    const GeoPos ahead = from(user, 0.0, 0.5 * kFeetPerNm);
    placed(30001, "FAR", from(ahead, M_PI / 2, 60.0), 1400.0, M_PI / 2, true, 1001);
    EXPECT_FALSE(gf_avoidUserCollision());
    placed(30002, "NEAR", from(ahead, M_PI / 2, 40.0), 1400.0, M_PI / 2, true, 1002);
    EXPECT_TRUE(gf_avoidUserCollision());
    EXPECT_EQ(live(30001)->status, AcStatus::active);
    EXPECT_EQ(live(30002)->status, AcStatus::removingfromsim);
    EXPECT_FALSE(gf_avoidUserCollision());  // one a second
}

TEST_F(TrafficPerSecond, AnAirborneAircraftWhoseTrackPassesTheUserIsRemoved) {
    const GeoPos user{47.0, 8.0};
    userAt(user, 10000.0, 9000.0, 0.0, false);
    // 3 nm east, flying north: its track passes 650 ft from the user when it is moved 650 ft sideways.
    const GeoPos east = from(user, M_PI / 2, 3.0 * kFeetPerNm);
    const GeoPos track = from(user, M_PI / 2, 650.0);
    const double bearing = gf_bearingRad(east, track);  // towards the point 650 ft from the user
    placed(30001, "LOW", east, 9000.0, bearing, false, 1001);
    EXPECT_FALSE(gf_avoidUserCollision());  // 1000 ft below
    live(30001)->pos.altitude = 9100.0;     // 900 ft below
    EXPECT_TRUE(gf_avoidUserCollision());
    EXPECT_EQ(live(30001)->status, AcStatus::removingfromsim);

    // Without the setting nothing is removed.
    const test::ScopedSetting off(COLLISION_USER_AIR, false);
    placed(30002, "NEXT", east, 9100.0, bearing, false, 1002);
    EXPECT_FALSE(gf_avoidUserCollision());
}

TEST_F(TrafficPerSecond, OnTheGroundTheUsersNeighboursGo) {
    const GeoPos user{47.45, 8.55};
    userAt(user, 1400.0, 0.0, 0.0, true);
    userWingspan = 0.0097;
    // A live aircraft closer than 1.15 x the two half spans.
    placed(30001, "TAXI", from(user, 0.0, 0.02 * kFeetPerNm), 1400.0, 0.0, true, 1001);
    EXPECT_TRUE(gf_avoidUserCollision());
    EXPECT_EQ(live(30001)->status, AcStatus::removingfromsim);
    // A static aircraft within 1.1 x: checked once the user has moved.
    StaticAc st;
    st.actNumber = 5;
    st.status = AcStatus::active;
    st.wingspan = 0.0097;
    const GeoPos stand = from(user, M_PI, 0.019 * kFeetPerNm);
    st.standLat = stand.lat;
    st.standLon = stand.lon;
    lf_setObjectId(st, 2005);
    g_staticAc.push_back(st);
    EXPECT_TRUE(gf_avoidUserCollision());
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);
    userWingspan = 0.0;
}

TEST_F(TrafficPerSecond, DuplicatesBlockedCallsignsAndNavLights) {
    LiveAc& a = placed(30001, "EZY12", {47.45, 8.55}, 1400.0, 0.0, true, 1001);
    a.registration = "G-EZAA";
    StaticAc st;
    st.actNumber = 5;
    st.status = AcStatus::active;
    st.callsign = "EZY12*";
    lf_setObjectId(st, 2005);
    g_staticAc.push_back(st);
    gf_setParkedNavLights(true);
    EXPECT_EQ(port.events, (std::vector<test::PortEvent>{{2005, EVENT_NAV_LIGHTS_SET, 1}}));
    gf_removeDuplicateStatic();
    EXPECT_EQ(g_staticAc[0].status, AcStatus::removingfromsim);

    placed(30002, "SWR7", {47.0, 8.0}, 20000.0, 0.0, false, 1002);
    EXPECT_EQ(gf_activeLiveCount(), 2u);
    gf_removeBlockedLiveAc("swr7");  // byte for byte
    EXPECT_EQ(live(30002)->status, AcStatus::active);
    gf_removeBlockedLiveAc("SWR7");
    EXPECT_EQ(live(30002)->status, AcStatus::removingfromsim);

    // New arrivals are taken one a second and dropped also when gone.
    g_coupledSearchActs = {39999, 30001};
    gf_handleNewArrival(0);
    EXPECT_EQ(g_coupledSearchActs, (std::vector<std::uint32_t>{30001}));
    gf_handleNewArrival(0);
    EXPECT_TRUE(g_coupledSearchActs.empty());
    EXPECT_EQ(live(30001)->flag, 1);
}

}  // namespace
}  // namespace skh
