// Flight plans: the file, when one is sent, and what is refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/constants.hpp"
#include "traffic/flight_plans.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::TrafficTest;

class FlightPlans : public TrafficTest {
protected:
    test::TempDir settings;
    std::filesystem::path oldSettings = g_settingsFolder;
    void SetUp() override {
        TrafficTest::SetUp();
        g_settingsFolder = settings.path() / "Skyhaven_P3D";
        ASSERT_TRUE(gf_makeFlightPlanFolder());
    }
    void TearDown() override {
        gf_removeFlightPlanFolder();
        g_settingsFolder = oldSettings;
        g_flightPlanFolder.clear();
        TrafficTest::TearDown();
    }
    static LiveAc aircraft(AircraftCategory category, const std::string& origin, const std::string& destination,
                           std::uint32_t objectId) {
        LiveAc ac;
        ac.category = category;
        ac.origin = origin;
        ac.destination = destination;
        ac.objectId = objectId;
        ac.callsign = "DLH400";
        ac.registration = "D-ABYA";
        ac.airline = "DLH";
        ac.type = "B748";
        return ac;
    }
};

TEST_F(FlightPlans, AnAdoptedAircraftWithARouteGetsItsEightLines) {
    EXPECT_EQ(g_flightPlanFolder, settings.path() / "Skyhaven_P3D" / "orig_dest");
    LiveAc ac = aircraft(CatLarge, "EDDF", "KJFK", 1234);
    lf_createAiFlightPlan(ac);
    const auto path = g_flightPlanFolder / "1234.pln";
    EXPECT_EQ(test::readLines(path),
              (std::vector<std::string>{
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "<SimBase.Document Type=\"AceXML\" version=\"4,3\">",
                  "<FlightPlan.FlightPlan>", "<FPType>IFR</FPType>", "<DepartureID>EDDF</DepartureID>",
                  "<DestinationID>KJFK</DestinationID>", "</FlightPlan.FlightPlan>", "</SimBase.Document>"}));
    EXPECT_EQ(test::readFile(path).back(), '\n');
    ASSERT_EQ(port.flightPlans.size(), 1u);
    EXPECT_EQ(port.flightPlans[0], (std::pair<std::uint32_t, std::string>{1234, path.string()}));
    EXPECT_EQ(ac.flightPlanSent, 1);

    LiveAc heli = aircraft(CatRotorcraft, "LSZH", "LSGG", 1235);
    lf_createAiFlightPlan(heli);
    EXPECT_EQ(test::readLines(g_flightPlanFolder / "1235.pln")[3], "<FPType>VFR</FPType>");

    // The folder goes with everything in it.
    EXPECT_TRUE(gf_removeFlightPlanFolder());
    EXPECT_FALSE(std::filesystem::exists(g_flightPlanFolder));
    EXPECT_TRUE(gf_removeFlightPlanFolder());
}

TEST_F(FlightPlans, NoPlanWithoutAPlainRouteOrWithAPathTheSimulatorCannotTake) {
    struct Case {
        const char* origin;
        const char* destination;
    } const cases[] = {
        {"EDDF", ""}, {"", "KJFK"}, {"ED<F", "KJFK"}, {"EDDF", "KJFK\"/>"}, {"EDDF", "TOOLONGID"}, {"ED DF", "KJFK"},
    };
    std::uint32_t id = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.origin) + "->" + c.destination);
        LiveAc ac = aircraft(CatLarge, c.origin, c.destination, ++id);
        lf_createAiFlightPlan(ac);
        EXPECT_EQ(ac.flightPlanSent, 0);
        EXPECT_FALSE(std::filesystem::exists(g_flightPlanFolder / gf_flightPlanFileName(id)));
    }
    EXPECT_TRUE(port.flightPlans.empty());
    EXPECT_TRUE(log.contains("no flight plan for route 'ED<F'->'KJFK'"));

    const auto deep = settings.path() / std::string(240, 'd');
    std::filesystem::create_directories(deep);
    g_flightPlanFolder = deep;
    LiveAc ac = aircraft(CatLarge, "EDDF", "KJFK", 4242);
    lf_createAiFlightPlan(ac);
    EXPECT_TRUE(port.flightPlans.empty());
    EXPECT_TRUE(log.contains("no flight plan, path too long"));
}

TEST_F(FlightPlans, ARefusedRequestIsOnlyLoggedAndTheAircraftFliesOn) {
    port.callsFail = true;
    LiveAc ac = aircraft(CatHeavy, "EDDF", "KJFK", 1236);
    lf_createAiFlightPlan(ac);
    EXPECT_EQ(ac.flightPlanSent, 0);
    EXPECT_TRUE(log.contains("DLH400   D-ABYA DLH B748 creating a flight plan failed"));
    EXPECT_EQ(port.requestErrors, 0);
    EXPECT_FALSE(g_stopRequested.load());
}

}  // namespace
}  // namespace skh
