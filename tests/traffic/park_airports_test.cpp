// The park airports: my_park_airports.txt read and written, the airports of
// the my_thirdparty folder, the destination, the re-read, and the choice of
// the park airport in sight of the user aircraft.
#include "traffic/park_airports.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "airports/airport.hpp"
#include "airports/stand.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> codes() {
    std::vector<std::string> out;
    for (const auto& e : g_parkAirports)
        out.push_back(e.reservedStand.empty() ? e.code : e.code + "," + e.reservedStand);
    return out;
}

class ParkAirports : public ::testing::Test {
protected:
    ParkAirports() : cwd(dir.path()) {}
    void SetUp() override {
        fs::create_directories(g_myThirdpartyFolder);
        savedAirports = g_airports;
        g_airports = {{"EDDF", "FRA", 50.03, 8.57, 364},
                      {"EGKK", "LGW", 51.15, -0.19, 202},
                      {"EGLL", "LHR", 51.47, -0.45, 83},
                      {"LSGG", "GVA", 46.24, 6.11, 1411},
                      {"LSZH", "ZRH", 47.46, 8.55, 1416}};
        gf_setParkAirportsFile(g_parkAirportsFile);
        hooks.busy = [this] { return busy; };
        hooks.setBusy = [this](bool on) { busy = on; };
        hooks.planPlaced = [] { return true; };
        hooks.readParkedFile = [this] {
            ++loads;
            return loadError;
        };
        hooks.showParkingParams = [this] { ++plans; };
        hooks.leaveParkAirport = [this] {
            ++left;
            gf_clearParkAirport();
        };
        hooks.removeGroundTraffic = [this] {
            ++removed;
            gf_clearParkAirport();
        };
        hooks.clearReservedStand = [this] { ++cleared; };
        hooks.closestAirport = [](GeoPos p) -> const Airport* {
            const auto it =
                std::min_element(g_airports.begin(), g_airports.end(), [&](const Airport& a, const Airport& b) {
                    return gf_distanceNm(p, GeoPos{a.lat, a.lon}) < gf_distanceNm(p, GeoPos{b.lat, b.lon});
                });
            return &*it;
        };
        gf_setStaticParkingHooks(hooks);
    }
    void TearDown() override {
        g_airports = savedAirports;
        g_parkAirports.clear();
        g_reservedStand.clear();
        g_stands.clear();
        gf_clearParkAirport();
        gf_setStaticParkingHooks({});
        gf_setParkAirportsFile(g_parkAirportsFile);
        DESTINATION.value = "";
        userOnGround = false;
        userOnGroundKnown = false;
        gf_setUserAcCopy(UserAcState{});
        gf_clearStatusMessage();
    }
    static void userAt(double lat, double lon, bool onGround, double height = 0.0) {
        UserAcState u;
        u.latitude = lat;
        u.longitude = lon;
        u.altitudeAboveGround = height;
        gf_setUserAcCopy(u);
        userOnGround = onGround;
        userOnGroundKnown = true;
    }

    test::TempDir dir;
    test::ScopedCwd cwd;
    test::ScopedLog log;
    std::vector<Airport> savedAirports;
    StaticParkingHooks hooks;
    bool busy = false;
    std::string loadError;
    int loads = 0, plans = 0, left = 0, removed = 0, cleared = 0;
};

TEST_F(ParkAirports, TheFileIsReadLineByLine) {
    // A byte-order mark, CRLF and LF mixed, blanks, an empty line, a repeat,
    // lower case, three fields, an unknown code, and a stand with "..".
    test::writeFile(g_parkAirportsFile,
                    "\xEF\xBB\xBF"
                    "LSZH , E12 \r\n\r\nEDDF\nLSZH,B3\r\neglL\nEGKK,A,B\nXXXX\nEGLL,..\nLSGG,\n");
    test::writeFile(g_myThirdpartyFolder / "EGKK.xml", "");
    test::writeFile(g_myThirdpartyFolder / "EGKK.txt", "");
    test::writeFile(g_myThirdpartyFolder / "EDDF.txt", "");
    test::writeFile(g_myThirdpartyFolder / "NONE.xml", "");
    fs::create_directories(g_myThirdpartyFolder / "EGLL");
    EXPECT_FALSE(lf_readMyParkAirports());  // unknown airports
    EXPECT_EQ(codes(), (std::vector<std::string>{"LSZH,E12", "EDDF", "EGLL,..", "LSGG", "EGKK"}));
    EXPECT_TRUE(log.contains("===> my_park_airports.txt:LSZH double, skipped"));
    EXPECT_TRUE(log.contains("===> my_park_airports.txt:EGKK,A,B wrong syntax, skipped"));
    EXPECT_TRUE(log.contains("airport eglL is unknown"));
    EXPECT_TRUE(log.contains("airport XXXX is unknown"));
    EXPECT_TRUE(log.contains("4 park airports read from 'my_park_airports.txt'"));
    EXPECT_TRUE(log.contains("1 park airport added from my_thirdparty folder(-s)"));

    fs::remove(g_parkAirportsFile);
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_TRUE(log.contains(fs::absolute(g_parkAirportsFile).string() + " not found"));
    EXPECT_EQ(codes(), (std::vector<std::string>{"EDDF", "EGKK"}));
}

TEST_F(ParkAirports, ManyAirportsAreReadWithAWarningFromThreeThousandAndOne) {
    g_airports.clear();
    for (int i = 0; i < 3001; ++i) g_airports.push_back(Airport{skh::format("K{:04}", i), "", 40.0, -100.0, 0.0});
    std::string text;
    for (int i = 0; i < 3000; ++i) text += skh::format("K{:04}\n", i);
    test::writeFile(g_parkAirportsFile, text);
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_FALSE(log.contains("a lot of airports"));
    test::writeFile(g_parkAirportsFile, text + "K3000\n" + std::string(7000, '\n'));
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(g_parkAirports.size(), 3001u);
    EXPECT_TRUE(
        log.contains("Warning: There are a lot of airports (3001), that will cost SKHV much cpu time and may "
                     "cause stutters"));
}

TEST_F(ParkAirports, TheFirstAirportIsWrittenSafely) {
    gf_updateMyParkAirports();  // an empty list writes nothing
    EXPECT_FALSE(fs::exists(g_parkAirportsFile));

    gf_addParkAirport("LSZH", GeoPos{47.46, 8.55});
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "LSZH\n");
    EXPECT_TRUE(log.contains("my_park_airports.txt created with LSZH"));
    gf_addParkAirport("EDDF", GeoPos{50.03, 8.57});
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EDDF\nLSZH\n");  // sorted
    EXPECT_TRUE(log.contains("my_park_airports.txt:EDDF new entry"));
    g_parkAirports.front().reservedStand = "V12";
    gf_updateMyParkAirports();
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EDDF,V12\nLSZH\n");
    EXPECT_TRUE(log.contains("my_park_airports.txt:EDDF,V12 updated stand"));
    // A known airport only moves to the front; the file stays.
    gf_addParkAirport("LSZH", GeoPos{});
    EXPECT_EQ(codes(), (std::vector<std::string>{"LSZH", "EDDF,V12"}));
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EDDF,V12\nLSZH\n");

    // A stand whose name a line cannot hold is not written.
    g_parkAirports.front().reservedStand = "A,1";
    gf_updateMyParkAirports();
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EDDF,V12\nLSZH\n");
    EXPECT_TRUE(log.contains("cannot be written as one line"));
    // A file that exists but cannot be read is kept.
    g_parkAirports.front().reservedStand = "B2";
    fs::remove(g_parkAirportsFile);
    fs::create_directories(g_parkAirportsFile);
    gf_updateMyParkAirports();
    EXPECT_TRUE(fs::is_directory(g_parkAirportsFile));
    EXPECT_TRUE(log.contains("cannot be read, LSZH,B2 not saved"));
    fs::remove(g_parkAirportsFile);
    // A file with a mark and CRLF lines is rewritten clean.
    test::writeFile(g_parkAirportsFile, "\xEF\xBB\xBFLSZH,A1\r\nEGLL\r\n");
    gf_updateMyParkAirports();
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EGLL\nLSZH,B2\n");
    std::vector<std::string> names;  // no temporary file is left
    for (const auto& e : fs::directory_iterator(g_airportsFolder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"my_park_airports.txt", "my_thirdparty"}));
}

TEST_F(ParkAirports, TheParkAirportInSight) {
    test::writeFile(g_parkAirportsFile, "LSZH\nEGLL\nEDDF\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    // In the air near Frankfurt: the list is sorted by distance, EDDF is in sight.
    userAt(50.0, 8.6, false, 3000.0);
    gf_handleStaticParking(true);
    EXPECT_EQ(codes(), (std::vector<std::string>{"EDDF", "LSZH", "EGLL"}));
    EXPECT_EQ(gf_parkAirport().icao, "EDDF");
    EXPECT_TRUE(gf_parkAirportChosen());
    EXPECT_TRUE(busy);
    EXPECT_EQ(gf_statusText(), "EDDF in sight at 2.1 nm");
    // The next run loads it and builds the plan.
    gf_handleStaticParking(false);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(plans, 1);
    EXPECT_FALSE(gf_parkAirportChosen());
    // Flying on towards Zurich: EDDF goes out of sight.
    userAt(47.5, 8.5, false, 3000.0);
    gf_handleStaticParking(false);
    EXPECT_EQ(removed, 1);
    EXPECT_TRUE(log.contains("EDDF (FRA) is out of sight ("));
    gf_handleStaticParking(false);
    EXPECT_EQ(gf_parkAirport().icao, "LSZH");
    // Too high to be in sight.
    gf_clearParkAirport();
    userAt(47.46, 8.55, false, 30000.0);
    gf_handleStaticParking(false);
    EXPECT_TRUE(gf_parkAirport().icao.empty());

    // A destination keeps the order: LSZH stays behind EGLL though nearer.
    DESTINATION.value = "EGLL";
    gf_addParkAirport("EGLL", GeoPos{51.47, -0.45});
    userAt(47.40, 8.50, false, 3000.0);
    gf_handleStaticParking(false);
    EXPECT_EQ(codes().front(), "EGLL");
    EXPECT_TRUE(gf_parkAirport().icao.empty());

    // Parked at Heathrow, Gatwick (first in the list) comes nearer: Heathrow's aircraft go.
    DESTINATION.value = "";
    g_parkAirports.clear();
    g_parkAirports.push_front(ParkAirportEntry{"EGKK", "", 51.15, -0.19, 0});
    ASSERT_TRUE(lf_setParkAirport("EGLL"));
    userAt(51.25, -0.28, false, 3000.0);  // 6.9 nm from Gatwick, 13.8 from Heathrow
    gf_handleStaticParking(false);
    EXPECT_EQ(removed, 2);
    EXPECT_TRUE(log.contains("EGKK is in sight (6.9 nm), parked aircraft at EGLL (LHR) will be removed first"));
    gf_handleStaticParking(false);
    EXPECT_EQ(gf_parkAirport().icao, "EGKK");
    // The current airport nearer than the first entry stays.
    ASSERT_TRUE(lf_setParkAirport("EGLL"));
    userAt(51.40, -0.40, false, 3000.0);
    gf_handleStaticParking(false);
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(gf_parkAirport().icao, "EGLL");
}

TEST_F(ParkAirports, OnTheGroundTheAirportThereIsChosenAndTheReservedStandApplied) {
    // No stand file: nothing chosen.
    userAt(51.471, -0.451, true);
    gf_handleStaticParking(false);
    EXPECT_EQ(gf_statusText(), "User aircraft on the ground at EGLL, no airport file found");
    test::writeFile(g_myThirdpartyFolder / "EGLL.txt", "");
    gf_handleStaticParking(false);
    EXPECT_EQ(gf_parkAirport().icao, "EGLL");
    EXPECT_TRUE(log.contains("User aircraft on the ground at EGLL"));
    EXPECT_TRUE(log.contains("The park airport is EGLL (LHR)"));
    // A load that fails gives the airport up.
    loadError = "lf_readParkedFile EGLL not found";
    gf_handleStaticParking(false);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(gf_statusText(), loadError);

    // Re-read: the first entry's reserved stand changed by hand.
    ASSERT_TRUE(lf_setParkAirport("EGLL"));
    g_stands = {gf_makeStand("A1", {}, 51.0, 0.0, 0.0, 30, false, false, false),
                gf_makeStand("B2", {}, 51.1, 0.0, 0.0, 30, false, false, false)};
    gf_standsChanged();
    g_reservedStand = "A1";
    g_stands[0].reserved = true;
    test::writeFile(g_parkAirportsFile, "EGLL,B2\n");
    std::string text;
    ASSERT_TRUE(gf_checkParkAirports(true, text));
    EXPECT_EQ(text, "reserved stand changed from 'A1' to 'B2'");
    EXPECT_FALSE(g_stands[0].reserved);
    EXPECT_TRUE(g_stands[1].reserved);
    EXPECT_EQ(g_reservedStand, "B2");
    EXPECT_EQ(cleared, 1);
    text.clear();
    ASSERT_TRUE(gf_checkParkAirports(true, text));
    EXPECT_EQ(text, "park airports and stands are okay");
    // The next load of the airport with the user standing at A1 reserves it.
    userAt(51.0, 0.0, true);
    gf_takeReservedStandAtLoad();
    EXPECT_EQ(g_reservedStand, "A1");
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EGLL,A1\n");
    // At an airport that is not first in the list, it becomes the first.
    ASSERT_TRUE(lf_setParkAirport("LSZH"));
    userAt(51.1, 0.0, true);
    gf_standsChanged();
    gf_takeReservedStandAtLoad();
    EXPECT_EQ(codes().front(), "LSZH,B2");
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "EGLL,A1\nLSZH,B2\n");

    test::writeFile(g_parkAirportsFile, "EGLL,B2\nQQQQ\n");
    text = "untouched";
    EXPECT_FALSE(gf_checkParkAirports(true, text));
    EXPECT_EQ(text, "untouched");
}

}  // namespace
}  // namespace skh
