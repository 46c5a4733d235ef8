#include "airports/airport_list.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "foundation/constants.hpp"
#include "foundation/datasets.hpp"
#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "support/dataset_builder.hpp"
#include "support/libraries.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

// A program folder with its own log; the list is forgotten before and after.
class AirportList : public ::testing::Test {
protected:
    void SetUp() override {
        test::initLibraries();
        gf_forgetAirportsForTest();
        gf_setClosestStandLookup({});
    }
    void TearDown() override {
        gf_forgetAirportsForTest();
        gf_setClosestStandLookup({});
    }
    void pack(const std::string& xml) { test::packDataSet(xml, m_dir / g_airportsEnc.string()); }

    test::TempDir m_dir;
    test::ScopedCwd m_cwd{m_dir.path()};
    test::ScopedLog m_log;
};

TEST(AirportNumber, FiniteDecimalsInRangeOnly) {
    struct Case {
        const char* text;
        bool ok;
        double value;
        const char* error;
    };
    const Case cases[] = {
        {"47.5", true, 47.5, nullptr},
        {"  -8.25", true, -8.25, nullptr},
        {"+3", true, 3.0, nullptr},
        {"-0.5e1", true, -5.0, nullptr},
        {".5", true, 0.5, nullptr},
        {"5.", true, 5.0, nullptr},
        {"12.5abc", true, 12.5, nullptr},  // text after the number is ignored
        {"1e", true, 1.0, nullptr},
        {"2E+1x", true, 20.0, nullptr},
        {"1e-400", true, 0.0, nullptr},  // too small for a double: zero
        {"", false, 0, "invalid stod argument"},
        {"abc", false, 0, "invalid stod argument"},
        {"-", false, 0, "invalid stod argument"},
        {".", false, 0, "invalid stod argument"},
        {"nan", false, 0, "invalid stod argument"},
        {"inf", false, 0, "invalid stod argument"},
        {"-Infinity", false, 0, "invalid stod argument"},
        {"0x1A", false, 0, "invalid stod argument"},
        {"1e400", false, 0, "stod argument out of range"},
        {"90.0001", false, 0, "stod argument out of range"},
        {"-91", false, 0, "stod argument out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const AirportNumber n = lf_readAirportNumber(c.text, -90.0, 90.0);
        EXPECT_EQ(n.ok, c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(n.value, c.value);
        } else {
            EXPECT_STREQ(n.error, c.error);
        }
    }
}

TEST_F(AirportList, ReadsSortsAndSkipsBadAirports) {
    pack(R"(<?xml version="1.0"?>
<other><airport code="XXXX" lat="1" lon="1" alt="1"/></other>
<airports>
  <airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.5492" alt="1416"/>
  <airport code="EDDF" iata="FRA" lat="50.0333" lon="8.5706" alt="364 ft"/>
  <airport iata="NOC" lat="1" lon="2" alt="3"/>
  <airport code="BADA" lat="x" lon="y" alt="nan"/>
  <airport code="BADB" lat="95" lon="8" alt="100"/>
  <airport code="BADC" lat="47" lon="8"/>
  <airport code="BADD" lat="47" lon="0x10" alt="100"/>
  <Airport code="CASE" lat="1" lon="1" alt="1"/>
  <runway code="RWAY" lat="1" lon="1" alt="1"/>
  <airport code="AAAA" lat="1e-400" lon="-180" alt="-1300"/>
</airports>)");
    ASSERT_TRUE(gf_readAirports());
    ASSERT_EQ(g_airports.size(), 4u);
    EXPECT_EQ(g_airports[0].icao, "");
    EXPECT_EQ(g_airports[1].icao, "AAAA");
    EXPECT_EQ(g_airports[2].icao, "EDDF");
    EXPECT_EQ(g_airports[3].icao, "LSZH");
    EXPECT_DOUBLE_EQ(g_airports[2].elevation, 364.0);
    EXPECT_DOUBLE_EQ(g_airports[3].lat, 47.4647);
    EXPECT_EQ(gf_airportDisplayName(g_airports[0]), "? (NOC)");
    EXPECT_EQ(gf_airportDisplayName(g_airports[1]), "AAAA");
    EXPECT_EQ(gf_airportDisplayName(g_airports[3]), "LSZH (ZRH)");
    EXPECT_EQ(g_airports.capacity(), g_airports.size());
    EXPECT_FALSE(fs::exists(g_airportsXml));
    ASSERT_NE(gf_findAirport("EDDF"), nullptr);
    EXPECT_EQ(gf_findAirport("EDDF")->iata, "FRA");
    EXPECT_EQ(gf_findAirport("eddf"), nullptr);

    const std::string log = m_log.text();
    EXPECT_NE(log.find("Error parsing coordinates for airport 'BADA': invalid stod argument\n"), std::string::npos);
    EXPECT_NE(log.find("Error parsing coordinates for airport 'BADB': stod argument out of range\n"),
              std::string::npos);
    EXPECT_NE(log.find("Missing lat/lon/alt for airport 'BADC'\n"), std::string::npos);
    EXPECT_NE(log.find("Error parsing coordinates for airport 'BADD': invalid stod argument\n"), std::string::npos);
    EXPECT_NE(log.find("4 airports read\n"), std::string::npos);

    // Read once per process: the data set is not looked at again.
    fs::remove(g_airportsEnc);
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 4u);
}

TEST_F(AirportList, UnloadableFilesAreUserError88AndLeaveNoPlainText) {
    struct Case {
        const char* label;
        const char* xml;  // null: no data set at all
        std::string message;
    };
    const Case cases[] = {
        {"wrong root", "<airfields><airport code=\"LSZH\" lat=\"1\" lon=\"1\" alt=\"1\"/></airfields>",
         "88: Missing <airports> root in: " + g_airportsXml.string()},
        {"not XML", "<airports><airport code=", "88: " + g_airportsXml.string() + " not loaded: "},
        {"no data set", nullptr, "88: " + g_airportsXml.string() + " not loaded: File was not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(g_airportsEnc);
        if (c.xml != nullptr) pack(c.xml);
        try {
            gf_readAirports();
            ADD_FAILURE() << "no error";
        } catch (const UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
        EXPECT_FALSE(fs::exists(g_airportsXml));
        EXPECT_FALSE(g_airportsLoaded.load());
        EXPECT_TRUE(g_airports.empty());
    }
    // A later start tries again.
    pack(R"(<airports><airport code="LSZH" lat="47" lon="8" alt="1"/></airports>)");
    EXPECT_TRUE(gf_readAirports());
}

TEST_F(AirportList, LargeAndHostileFiles) {
    std::string xml = "<airports>";
    for (int i = 0; i < 100000; ++i) {
        xml += skh::format(R"(<airport code="{:04}" lat="{}" lon="{}" alt="{}"/>)", i, (i % 180) - 89.5,
                           (i % 360) - 179.5, i % 5000);
    }
    xml += skh::format(R"(<airport code="HUGE" lat="{}" lon="1" alt="1"/>)", std::string(10'000'000, '7'));
    xml += skh::format(R"(<airport code="LONG" iata="{}" lat="1" lon="1" alt="1"/>)", std::string(10'000'000, 'Q'));
    xml += "</airports>";
    pack(xml);
    ASSERT_TRUE(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 100001u);
    EXPECT_EQ(gf_findAirport("HUGE"), nullptr);
    ASSERT_NE(gf_findAirport("LONG"), nullptr);
    EXPECT_TRUE(std::is_sorted(g_airports.begin(), g_airports.end(),
                               [](const Airport& a, const Airport& b) { return a.icao < b.icao; }));
    EXPECT_TRUE(m_log.contains("Error parsing coordinates for airport 'HUGE': stod argument out of range"));
}

// Positions east of a reference point at the given distances.
Airport airportAt(const char* code, double nm) {
    const GeoPos p = gf_destinationPoint(GeoPos{47.0, 8.0}, 90.0 * DEG2RAD, nm * 6076.11549);
    return Airport{code, "", p.lat, p.lon, 1000.0};
}

TEST_F(AirportList, ClosestAirportAndItsNeighbour) {
    const GeoPos here{47.0, 8.0};
    int lookups = 0;
    gf_setClosestStandLookup([&lookups](const Airport& a, GeoPos, std::string& stand) {
        ++lookups;
        stand = a.icao + "-G1";
        return a.icao == "BBBB" ? 0.2 : a.icao == "CCCC" ? 0.3 : 0.5;
    });

    g_airports = {airportAt("AAAA", 4.9), airportAt("ZZZZ", 5.1)};
    ASSERT_NE(gf_closestAirport(here), nullptr);
    EXPECT_EQ(gf_closestAirport(here)->icao, "AAAA");
    EXPECT_EQ(lookups, 0);  // a single candidate reads no stand file
    g_airports = {airportAt("ZZZZ", 5.1)};
    EXPECT_EQ(gf_closestAirport(here), nullptr);
    // 5.0 nm itself is in: north of the equator the distance comes out exact.
    const GeoPos equator{0.0, 8.0};
    g_airports = {Airport{"EEEE", "", 5.0 / 60.0, 8.0, 0.0}};
    ASSERT_EQ(gf_distanceNm(equator, GeoPos{5.0 / 60.0, 8.0}), 5.0);
    EXPECT_NE(gf_closestAirport(equator), nullptr);

    // Equal distances: the smaller code is best and the other no neighbour.
    g_airports = {airportAt("AAAA", 2.0), airportAt("DDDD", 2.0)};
    EXPECT_EQ(gf_closestAirport(here)->icao, "AAAA");
    EXPECT_EQ(lookups, 0);

    // Met in code order at 3, 1 and 2 nm: best 1 nm, neighbour the 3 nm one,
    // whose stand (0.2 nm) beats the best's (0.3 nm).
    g_airports = {airportAt("BBBB", 3.0), airportAt("CCCC", 1.0), airportAt("DDDD", 2.0)};
    EXPECT_EQ(gf_closestAirport(here)->icao, "BBBB");
    EXPECT_EQ(lookups, 2);
    EXPECT_TRUE(m_log.contains("Airport CCCC is closest, neighbour is BBBB\n"));
    EXPECT_TRUE(m_log.contains(
        "Airport CCCC is closest, but stand BBBB-G1 at neighbouring airport BBBB is closer at 370 meters ...\n"));

    // Equal stand distances keep the best; so do two unusable stand files.
    g_airports = {airportAt("AAAA", 3.0), airportAt("DDDD", 1.0)};
    EXPECT_EQ(gf_closestAirport(here)->icao, "DDDD");
    gf_setClosestStandLookup([](const Airport&, GeoPos, std::string&) { return 100.0; });
    g_airports = {airportAt("BBBB", 3.0), airportAt("CCCC", 1.0)};
    EXPECT_EQ(gf_closestAirport(here)->icao, "CCCC");

    // Without a test's lookup the stands come from the airports' stand files:
    // BBBB has one 0.1 nm from here, CCCC only one 2 nm away.
    gf_setClosestStandLookup({});
    const test::ScopedEnv noServer(kDownloadUrlVariable, "http://127.0.0.1:9/");
    const auto standFile = [](const char* code, double nm) {
        const GeoPos p = gf_destinationPoint(GeoPos{47.0, 8.0}, 0.0, nm * 6076.11549);
        test::writeFile(g_myThirdpartyFolder / (std::string(code) + ".xml"),
                        skh::format(R"(<?xml version="1.0"?><parameters/><parkpositions><parkpos id="{}-G1" )"
                                    R"(latitude="{:.6f}" longitude="{:.6f}" heading="90" radius="20"/>)"
                                    "</parkpositions>",
                                    code, p.lat, p.lon));
    };
    standFile("BBBB", 0.1);
    standFile("CCCC", 2.0);
    EXPECT_EQ(gf_closestAirport(here)->icao, "BBBB");
    EXPECT_TRUE(m_log.contains("but stand BBBB-G1 at neighbouring airport BBBB is closer at 185 meters"))
        << m_log.text();
}

}  // namespace
}  // namespace skh
