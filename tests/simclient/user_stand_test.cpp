// The stand work for the user's aircraft on the main loop's side: which stand
// a position is at, the stand text of the main window, and the reservation
// of the user's stand at the first park airport in my_park_airports.txt.
#include <gtest/gtest.h>

#include "airports/airport.hpp"
#include "airports/stand.hpp"
#include "foundation/constants.hpp"
#include "support/test_env.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/stand_lookup.hpp"
#include "traffic/user_stand.hpp"
#include "simclient_fixture.hpp"

namespace skh {
namespace {

constexpr double kNmPerDegree = 60.0;

class UserStand : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetRun();
        gf_clearNearestStandCache();
        gf_setParkAirportsFile(dir / "my_park_airports.txt");
        g_stands = {{"A1", 47.0, 8.0, 0.0, 0.02, 1}, {"A2", 47.0 + 0.0250 / kNmPerDegree, 8.0, 0.0, 0.02, 2}};
        userOnGround = true;
        userOnGroundKnown = true;
    }
    void TearDown() override {
        g_stands.clear();
        g_parkAirports.clear();
        gf_clearParkAirport();
        gf_setUserAcCopy(UserAcState{});
        gf_clearNearestStandCache();
        gf_setParkAirportsFile(g_parkAirportsFile);
        test::resetRun();
    }
    static void userAt(double lat, double lon) {
        const std::lock_guard lock(simQueueMutex);
        g_userAcState.latitude = lat;
        g_userAcState.longitude = lon;
    }
    std::string file() const { return test::readFile(dir / "my_park_airports.txt"); }

    test::TempDir dir;
    test::ScopedLog log;
};

TEST_F(UserStand, TheNearestStandWithin55MetresIsTheOneAPositionIsAt) {
    struct Case {
        double northNm;
        const char* stand;
    };
    const Case cases[] = {
        {0.0, "A1"}, {0.0120, "A1"}, {0.0130, "A2"}, {0.0250 + 0.0290, "A2"}, {0.0250 + 0.0300, ""}, {-0.0300, ""},
    };
    for (const Case& c : cases) {
        gf_clearNearestStandCache();
        EXPECT_EQ(gf_nearestStandName(47.0 + c.northNm / kNmPerDegree, 8.0), c.stand) << c.northNm;
    }
    userOnGround = false;
    EXPECT_EQ(gf_nearestStandName(47.0, 8.0), "");  // an aircraft in the air stands nowhere
    userOnGround = true;
    g_stands.clear();
    gf_clearNearestStandCache();
    EXPECT_EQ(gf_nearestStandName(47.0, 8.0), "");
}

TEST_F(UserStand, TheSamePositionIsAnsweredFromMemory) {
    EXPECT_EQ(gf_nearestStandName(47.0, 8.0), "A1");
    g_stands[0].name = "Z9";
    EXPECT_EQ(gf_nearestStandName(47.0, 8.0), "A1");
    EXPECT_EQ(gf_nearestStandName(47.0, 8.0 + 1e-7), "Z9");
}

TEST_F(UserStand, NewUserDataNamesTheStandInTheMainWindow) {
    userAt(47.0, 8.0);
    gf_userStandWork();  // nothing asked yet
    EXPECT_EQ(g_mainWindowState.userStand.get(), "");
    g_userStandCheckWanted = true;
    gf_userStandWork();
    EXPECT_EQ(g_mainWindowState.userStand.get(), "A1");
    EXPECT_FALSE(g_userStandCheckWanted);
    userAt(47.5, 8.0);
    g_userStandCheckWanted = true;
    gf_userStandWork();
    EXPECT_EQ(g_mainWindowState.userStand.get(), "");
}

TEST_F(UserStand, TheStandIsReservedAtTheFirstParkAirportWhenTheUserStandsStill) {
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.46, 8.55, 1416.0});
    g_parkAirports = {{"LSZH", "", 47.46, 8.55, 0.0}, {"EDDF", "V100", 50.0, 8.5, 0.0}};
    userAt(47.0, 8.0);

    UserAcState moving;
    moving.groundVelocity = 2.5;
    gf_setUserAcCopy(moving);
    g_parkStandUpdateWanted = true;
    gf_userStandWork();
    EXPECT_EQ(g_parkAirports.front().reservedStand, "");  // still rolling

    moving.groundVelocity = 2.0;
    gf_setUserAcCopy(moving);
    g_parkStandUpdateWanted = true;
    gf_userStandWork();
    EXPECT_EQ(g_parkAirports.front().reservedStand, "A1");
    EXPECT_EQ(file(), "LSZH,A1\n");
    EXPECT_TRUE(log.contains("my_park_airports.txt created with LSZH,A1"));

    // Another current park airport, or no ground state yet: nothing.
    g_parkAirports.front().reservedStand = "";
    gf_setParkAirport(Airport{"EDDF", "FRA", 50.0, 8.5, 364.0});
    lf_updateParkStand();
    EXPECT_EQ(g_parkAirports.front().reservedStand, "");
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.46, 8.55, 1416.0});
    userOnGroundKnown = false;
    lf_updateParkStand();
    EXPECT_EQ(g_parkAirports.front().reservedStand, "");
}

TEST_F(UserStand, TheParkAirportsFileIsUpdatedSortedAndWithoutDuplicates) {
    test::writeFile(dir / "my_park_airports.txt", "LSZH,A1\r\nKJFK\nEDDF , V100\nKJFK\n\n");
    g_parkAirports = {{"EDDF", "B20", 50.0, 8.5, 0.0}};
    gf_updateMyParkAirports();
    EXPECT_EQ(file(), "\nEDDF,B20\nKJFK\nLSZH,A1\n");
    EXPECT_TRUE(log.contains("my_park_airports.txt:EDDF,B20 updated stand"));

    g_parkAirports = {{"LOWW", "", 48.1, 16.6, 0.0}};
    gf_updateMyParkAirports();
    EXPECT_EQ(file(), "\nEDDF,B20\nKJFK\nLOWW\nLSZH,A1\n");
    EXPECT_TRUE(log.contains("my_park_airports.txt:LOWW new entry"));
}

}  // namespace
}  // namespace skh
