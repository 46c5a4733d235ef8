#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <set>

#include "aircraft/dbase.hpp"
#include "airports/airport_scan.hpp"
#include "airports/stand_locations.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/upcalls.hpp"
#include "platform/win_path.hpp"
#include "scan_test_support.hpp"
#include "support/bgl_builder.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using test::BglAirportLayout;
using test::BglParkingLayout;

BglAirportLayout airport(const std::string& ident, int parkings) {
    BglAirportLayout a;
    a.ident = ident;
    a.names = {ident + " Airport"};
    for (int i = 0; i < parkings; ++i) {
        BglParkingLayout p;
        p.number = static_cast<std::uint32_t>(parkings - i);  // stored out of name order
        a.parkings.push_back(p);
    }
    return a;
}

std::string parameter(const pugi::xml_document& doc, const char* key) {
    return doc.select_node(skh::format("/parameters/parameter[@name='{}']", key).c_str())
        .node()
        .attribute("value")
        .value();
}

class AirportScanThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(prog / "airports" / "my_ORBX");
        fs::create_directories(prog / "airports" / "my_thirdparty");
        fs::create_directories(prog / "output" / "info");
        m_savedSettings = g_parametersXmlPath;
        g_parametersXmlPath = (dir / "parameters.xml").string();
        m_savedMax = g_maxTasks;
        g_maxTasks = 4;
        SIM_INSTALL_PATH.value.set("C:\\P3D v5");
        AFG_AUTOMATIC.value = true;
        SCAN_AIRPORTS.value = true;
        g_simaddonAirports = {"EGLL"};
        g_thirdPartyPackages = {{"Other", {"LSZH300"}}, {"Some Maker", {"EDDF", "LSZH2"}}};
    }
    void TearDown() override {
        g_parametersXmlPath = m_savedSettings;
        g_maxTasks = m_savedMax;
        g_stopRequested = false;
        SIM_INSTALL_PATH.value.set("");
        for (auto* p : g_airportFolderParams) p->value.set("");
        gf_clearDbase();
    }
    void bgl(const std::string& windowsFolder, const std::string& file, const std::vector<BglAirportLayout>& airports) {
        const fs::path folder = platform::mapWindowsPath(windowsFolder);
        fs::create_directories(folder);
        test::writeFile(folder / file, test::bglFileOf(airports));
    }
    void sceneryCfg(const std::string& text) {
        const fs::path cfg = programData / "Lockheed Martin" / "Prepar3D v5" / "scenery.cfg";
        fs::create_directories(cfg.parent_path());
        test::writeFile(cfg, text);
    }

    test::TempDir dir;
    fs::path prog = dir / "prog";
    fs::path drives = dir / "drives";
    fs::path programData = dir / "programdata";
    test::ScopedEnv drivesEnv{"SKYHAVEN_DRIVES", drives.string()};
    test::ScopedEnv programDataEnv{"SKYHAVEN_PROGRAMDATA", programData.string()};
    test::ScopedLog log;
    std::string m_savedSettings;
    std::int32_t m_savedMax = 1;

    AirportScanServices services{[](const std::string& path) -> std::string {
                                     if (path.find("ORBX") != std::string::npos) return "simaddon";
                                     if (path.find("SomeMaker") != std::string::npos) return "Some Maker";
                                     return "unknown";
                                 },
                                 [](const std::string& ident) { return ident == "KXYZ" || ident == "KJFK"; }};
};

TEST_F(AirportScanThreaded, AWholeScanLinksGeneratesReportsAndKeepsUserFiles) {
    BglAirportLayout kxyz = airport("KXYZ", 2);
    kxyz.helipads = {test::BglHelipadLayout{}};
    bgl("D:\\Addons\\ORBX EGLL\\scenery", "EGLL.bgl", {airport("EGLL", 3)});
    bgl("D:\\Addons\\ORBX KXYZ", "KXYZ.BGL", {kxyz});
    bgl("D:\\Addons\\SomeMaker LSZH", "LSZH.bgl", {airport("LSZH", 3)});
    bgl("D:\\Addons\\SomeMaker EDDF", "EDDF.bgl", {airport("EDDF", 1)});
    bgl("D:\\Addons\\Misc", "KJFK.bgl", {airport("KJFK", 1)});
    bgl("D:\\Addons\\Misc", "b_LFPG.bgl", {airport("LFPG", 5)});
    bgl("D:\\Addons\\Misc", "a_LFPG.bgl", {airport("LFPG", 2)});
    bgl("D:\\Addons\\Misc\\statics", "SSSS.bgl", {airport("SSSS", 1)});
    bgl("C:\\P3D v5\\Scenery\\World\\scenery", "ZZZZ.bgl", {airport("ZZZZ", 1)});
    test::writeFile(drives / "d/Addons/Misc/empty.bgl", "");
    sceneryCfg(
        "[Area.001]\nLocal=Scenery\\World\nActive=TRUE\n"
        "[Area.002]\nLocal=D:\\Addons\nActive=TRUE\n"
        "[Area.003]\nLocal=c:\\p3d v5\\scenery\nActive=TRUE\n"
        "[Area.004]\nLocal=D:\\Missing\nActive=TRUE\n");
    // A file the user placed, and one the previous scan wrote.
    test::writeFile(prog / "airports/my_thirdparty/USER.xml", "mine");
    test::writeFile(prog / "airports/my_thirdparty.scanned", "LSZH.xml\n");
    test::writeFile(prog / "airports/my_ORBX/OLD1.xml", "old scan");
    test::writeFile(prog / "airports/my_ORBX.scanned", "OLD1.xml\n");

    {
        test::ScopedCwd cwd(prog);
        gf_scanAddonAirports(services);
    }

    const fs::path orbx = prog / "airports/my_ORBX";
    const fs::path third = prog / "airports/my_thirdparty";
    EXPECT_EQ(test::entryNames(orbx), (std::set<std::string>{"EGLL.txt", "KXYZ.xml"}));
    EXPECT_EQ(test::entryNames(third), (std::set<std::string>{"EDDF.txt", "EDDF.xml", "KJFK.xml", "LFPG.xml",
                                                              "LSZH.txt", "LSZH.xml", "USER.xml"}));
    EXPECT_EQ(test::readFile(orbx / "EGLL.txt"), "archive/simaddon/EGLL.xml\n");
    EXPECT_EQ(test::readFile(third / "LSZH.txt"), "archive/thirdparty/Some%20Maker/LSZH.xml\n");
    EXPECT_EQ(test::readFile(third / "USER.xml"), "mine");
    EXPECT_EQ(test::entryNames(prog / "airports/my_ORBX.previous"), (std::set<std::string>{"OLD1.xml"}));

    pugi::xml_document kxyzDoc;
    ASSERT_TRUE(kxyzDoc.load_file((orbx / "KXYZ.xml").c_str()));
    EXPECT_EQ(parameter(kxyzDoc, "airport_name"), "KXYZ Airport");
    EXPECT_EQ(parameter(kxyzDoc, "publisher"), "simaddon");
    EXPECT_EQ(parameter(kxyzDoc, "altitude"), "1417");
    EXPECT_EQ(parameter(kxyzDoc, "num_parkpos"), "3");
    std::vector<std::string> ids;
    for (const auto& p : kxyzDoc.child("parkpositions").children("parkpos")) ids.push_back(p.attribute("id").value());
    EXPECT_EQ(ids, (std::vector<std::string>{"g1", "g2", "helipad1"}));
    pugi::xml_document lfpg;
    ASSERT_TRUE(lfpg.load_file((third / "LFPG.xml").c_str()));
    EXPECT_EQ(parameter(lfpg, "num_parkpos"), "5");
    EXPECT_NE(parameter(lfpg, "BGLpath").find("b_LFPG.bgl"), std::string::npos);

    const auto report = test::readLines(prog / "output/info/AirportsScanLog.txt");
    EXPECT_EQ(report.front(), "Scanning for addon airports in D:\\Addons");
    for (const std::string line :
         {"simaddon airport EGLL linked to archive/simaddon/EGLL.xml", "KXYZ does not exist as simaddon",
          "Generated KXYZ.xml: 3 positions, of which 1 helipad",
          "thirdparty airport LSZH linked to archive/thirdparty/Some%20Maker/LSZH.xml",
          "===> LSZH has 3 parkpos while archived one has 2", "Generated LSZH.xml: 3 positions",
          "===> EDDF has 1 parkpos while archived one has 0", "thirdparty unknown KJFK does not exist",
          "empty.bgl not read: it has 0 bytes"}) {
        EXPECT_EQ(test::anyLineHas(report, line), std::string(line).find("unknown") == std::string::npos) << line;
    }
    EXPECT_FALSE(test::anyLineHas(report, "ZZZZ"));
    EXPECT_FALSE(test::anyLineHas(report, "SSSS"));
    EXPECT_TRUE(test::anyLineHas(report, "LFPG"));

    EXPECT_EQ(test::entryNames(prog / "ZURI"), (std::set<std::string>{"KJFK.xml", "KXYZ.xml"}));
    EXPECT_EQ(g_tbloFileCount.load(), 2u);
    EXPECT_TRUE(g_orbxAirportsDone.load());
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
    EXPECT_TRUE(g_addonAirportFound.load());
    EXPECT_TRUE(g_airportFilesChanged.load());
    EXPECT_TRUE(g_airportsScanOk.load());
    EXPECT_EQ(g_activeTasks.load(), 0);
    EXPECT_TRUE(log.contains("++++++++++++++++++++++++ airports scan automatic starts +++++++++++++++++++++++++++++"));
    EXPECT_TRUE(log.contains("      found:D:\\Addons"));
    EXPECT_TRUE(log.contains("D:\\Missing does not exist, skipped!"));
    EXPECT_TRUE(log.contains("AirportsScanLog.txt written"));
    EXPECT_TRUE(log.contains("Airports scan successful"));
    EXPECT_TRUE(log.contains("Some Maker EDDF EDDF invalid number"));
    EXPECT_TRUE(log.contains("-------------------------- airports scan ends    ----------------------------"));

    // A second scan cut short by a stop leaves every file of the first in place.
    SCAN_AIRPORTS.value = true;
    AirportScanServices stopping = services;
    stopping.publisherOf = [&](const std::string& path) {
        g_stopRequested = true;
        return services.publisherOf(path);
    };
    {
        test::ScopedCwd cwd(prog);
        gf_scanAddonAirports(stopping);
    }
    g_stopRequested = false;
    EXPECT_EQ(test::entryNames(orbx), (std::set<std::string>{"EGLL.txt", "KXYZ.xml"}));
    EXPECT_EQ(test::entryNames(third).size(), 7u);
    EXPECT_FALSE(fs::exists(prog / "airports/my_ORBX.scanning"));
    EXPECT_TRUE(SCAN_AIRPORTS.value.load());
    EXPECT_FALSE(g_airportsScanOk.load());
    EXPECT_TRUE(log.contains("airports scan stopped: the airport files of the previous scan stay in place"));
}

// An update turns the scan on: what an older version left of an airport
// whose scenery is still installed gives way to the new scan's file.
TEST_F(AirportScanThreaded, TheScanReplacesWhatAnOlderVersionLeft) {
    if (!test::realBglFilesPresent()) GTEST_SKIP() << "the real BGL files are not in " << test::realBglFolder();
    const fs::path real = test::realBglFolder();
    const fs::path scenery = drives / "d/Addons/Testfield/scenery";
    fs::create_directories(scenery);
    fs::copy_file(real / "KTST_v5.BGL", scenery / "KTST_v5.BGL");
    sceneryCfg("[Area.001]\nLocal=D:\\Addons\\Testfield\nActive=TRUE\n");
    const fs::path third = prog / "airports/my_thirdparty";
    test::writeFile(third / "KTST.xml",
                    R"(<?xml version="1.0"?><parameters><parameter name="num_parkpos" value="1"/></parameters>)"
                    R"(<parkpositions><parkpos id="g1" latitude="41.35" longitude="-89.15" radius="20"/>)"
                    R"(</parkpositions>)");
    test::writeFile(third / "KTST.txt", "archive/thirdparty/Old%20Maker/KTST.xml\n");

    test::ScopedCwd cwd(prog);
    gf_scanAddonAirports(services);
    EXPECT_EQ(test::entryNames(third), (std::set<std::string>{"KTST.xml"}));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((third / "KTST.xml").c_str()));
    EXPECT_EQ(parameter(doc, "num_parkpos"), "3");
    EXPECT_EQ(gf_getStockAirportFile("KTST"), "airports\\my_thirdparty\\KTST.xml");
    EXPECT_EQ(test::entryNames(prog / "airports/my_thirdparty.previous"),
              (std::set<std::string>{"KTST.txt", "KTST.xml"}));
    EXPECT_TRUE(log.contains("had no list of the files a scan made and was rebuilt"));
}

TEST_F(AirportScanThreaded, ManualModeNeedsFoldersOutsideTheStockScenery) {
    test::ScopedCwd cwd(prog);
    AFG_AUTOMATIC.value = false;
    try {
        gf_scanAddonAirports(services);
        ADD_FAILURE() << "no error 49";
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(), "49: Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
    }
    afolder3.value.set("C:\\P3D v5\\Scenery\\0607");
    EXPECT_THROW(gf_scanAddonAirports(services), UserErrorException);
    EXPECT_TRUE(SCAN_AIRPORTS.value.load());

    // Nothing found: the report is written anyway and the scan is done.
    afolder3.value.set("D:\\Empty");
    fs::create_directories(drives / "d/Empty");
    gf_scanAddonAirports(services);
    EXPECT_TRUE(fs::exists(prog / "output/info/AirportsScanLog.txt"));
    EXPECT_FALSE(g_addonAirportFound.load());
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
    EXPECT_FALSE(fs::exists(prog / "ZURI"));
    EXPECT_TRUE(log.contains("Warning: Scan has not found any add-on airports"));
}

}  // namespace
}  // namespace skh
