// The static parking behind the run's calls: the start of the run connects
// it to the window's busy state, a plan switches the state on, and the
// driver switches it off once the plan is placed; the renewal's adjustment
// waits for stands.
#include <gtest/gtest.h>

#include "airports/stand.hpp"
#include "app/traffic_seam.hpp"
#include "app_fixture.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "traffic/static_parking.hpp"

namespace skh {
namespace {

using StaticParkingSeam = test::AppTest;

TEST_F(StaticParkingSeam, BusyWhilePlannedAircraftWait) {
    seam::gf_reserveTrafficContainers();  // connects the static parking to the window
    seam::gf_handleStaticParking(true);   // the user position is not known yet: nothing else
    EXPECT_FALSE(g_mainWindowState.parkingBusy.load());

    g_rtProfessional = true;
    g_trafficTime = 345600.0 + 2900.0 * 604800.0 + 2 * 86400.0 + 20 * 1800.0 + 600.0;  // Wednesday 10:10
    g_weekSlot = gf_weekdayAndSlot();
    StandOption option;
    option.airline = "DLH";
    option.type = "A320";
    option.callsign = "DLH1";
    option.seq = 1;
    option.weekday = 3;
    option.real = 1;
    option.halfHours = std::uint64_t{1} << 20;
    g_stands.push_back(gf_makeStand("A1", {option}, 47.45, 8.55, 0.0, 30.0, false, false, false));
    g_stands.back().id = 1;
    MAX_PARK_SEL.value = 100;
    parking_percentage.value = 100;
    lf_showParkingParams();
    EXPECT_EQ(g_parkPositions.size(), 1u);
    EXPECT_TRUE(g_mainWindowState.parkingBusy.load());

    g_parkPositions.clear();
    seam::gf_handleStaticParking(false);
    EXPECT_FALSE(g_mainWindowState.parkingBusy.load());

    g_stands.clear();
    seam::gf_parkingAdjustments();
    EXPECT_FALSE(g_mainWindowState.parkingBusy.load());
    g_rtProfessional = false;
    g_trafficTime = 0.0;
}

}  // namespace
}  // namespace skh
