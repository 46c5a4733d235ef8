#include "aircraft/liveries_scan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "aircraft/ai_packages.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_cache.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_index.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/upcalls.hpp"
#include "scan_fixture.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string klmSection(int number, const std::string& title, const std::string& extra = "atc_parking_codes=KLM") {
    return test::fltsim(number, title, "KLM", {extra});
}

// The scan runs its tasks on threads of their own: suites here also run
// under ThreadSanitizer.
class LiveriesScanThreaded : public test::ScanTest {
protected:
    LiveriesScanThreaded() {
        m_savedMaxTasks = g_maxTasks;
        g_maxTasks = 2;  // fewer slots than files: the throttle has to work
        g_activeTasks = 0;
        gf_resetScanTaskHighWater();
        SCAN_LIVERIES.value = true;
        LIG_AUTOMATIC.value = false;
        LIG_PRIORITIZE.value = false;
        SIM_INSTALL_PATH.value.set("D:\\Prepar3D v5");
        clearFolders();
    }
    ~LiveriesScanThreaded() override {
        clearFolders();
        g_maxTasks = m_savedMaxTasks;
        LIG_AUTOMATIC.value = LIG_AUTOMATIC.defaultValue;
        LIG_PRIORITIZE.value = LIG_PRIORITIZE.defaultValue;
        SIM_INSTALL_PATH.value.set("");
        g_stopRequested = false;
        g_closeRequested = false;
    }
    static void clearFolders() {
        for (StringParameter* p : g_liveryFolderParams) p->value.set("");
    }
    static void setFolders(const Lines& roots) {
        for (std::size_t i = 0; i < roots.size(); ++i) g_liveryFolderParams[i]->value.set(roots[i]);
    }
    static std::string scanError() { return userError(gf_scanLiveries); }
    // The records of the cache file.
    std::vector<LiveryData> cached() {
        lf_readLiveriesScanned();
        std::vector<LiveryData> records = std::move(g_liveries);
        g_liveries.clear();
        return records;
    }
    void expectTasksDone() {
        EXPECT_EQ(g_activeTasks.load(), 0);
        EXPECT_GE(gf_scanTaskHighWater(), 1);
        EXPECT_LE(gf_scanTaskHighWater(), g_maxTasks);
    }

private:
    std::int32_t m_savedMaxTasks = 1;
};

TEST_F(LiveriesScanThreaded, ManualScanThenAStartFromTheCache) {
    const std::string r1 = "D:\\AI\\Root1";
    aircraftFolder(r1 + "\\KLM B738", test::general("B738") + klmSection(0, "KLM one") + klmSection(1, "Shared title"),
                   {"KLM"});
    aircraftFolder(r1 + "\\KLM B738 sim", test::general("B738") + klmSection(0, "KLM sim.cfg"), {"KLM"}, "SIM.CFG");
    aircraftFolder(r1 + "\\Upper", test::general("B738") + klmSection(0, "KLM upper"), {"KLM"}, "Aircraft.Cfg");
    aircraftFolder(r1 + "\\Bak", test::general("B738") + klmSection(0, "KLM bak"), {"KLM"}, "aircraft.cfg.bak");
    aircraftFolder(r1 + "\\my airport", test::general("B738") + klmSection(0, "KLM airport"), {"KLM"});
    aircraftFolder(r1 + "\\My Airport", test::general("B738") + klmSection(0, "KLM Airport"), {"KLM"});
    aircraftFolder(r1 + "\\IVAO_MTL\\IVAO_B744F", test::fltsim(0, "B744 KLM ivao", "KLM"), {"KLM"});
    fs::create_directory_symlink(local(r1), local(r1 + "\\loop"));  // a link back up is not followed
    const std::string r2 = "D:\\AI\\Root2";
    aircraftFolder(r2 + "\\B738", test::general("B738") + klmSection(0, "Shared title") + klmSection(1, "KLM two"),
                   {"KLM"});
    aircraftFolder(r2 + "\\Big", "", {});
    fs::resize_file(local(r2 + "\\Big\\aircraft.cfg"), 50u * 1024 * 1024);
    test::writeFile(local("D:\\AI\\file.txt"), "not a folder");
    setFolders({r1, "D:\\AI\\Missing", "D:\\AI\\file.txt", r2});

    EXPECT_EQ(scanError(), "");
    expectTasksDone();
    EXPECT_TRUE(logHas("\n++++++++++++++++++++++++ liveries scan manual starts ++++++++++++++++++++++++++++++++\n"));
    EXPECT_TRUE(logHas("D:\\AI\\Missing does not exist, skipped!"));
    EXPECT_TRUE(logHas("D:\\AI\\file.txt is not a folder name, skipped!"));
    EXPECT_TRUE(logHas("6 liveries found in " + r1 + "\n"));
    EXPECT_TRUE(logHas("1 liverie found in " + r2 + "\n"));
    EXPECT_TRUE(logHas("7 in total"));
    EXPECT_TRUE(logHas("\nErrors:\n"));
    EXPECT_TRUE(logHas("liveries scan ends"));
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_NE(test::readFile(g_parametersXmlPath).find(R"(name="SCAN_LIVERIES" value="false")"), std::string::npos);
    EXPECT_TRUE(g_liveryIndexReady);
    EXPECT_TRUE(logHas("1 airlines, 2 pax aircraft models and 0 cargo aircraft models"));
    const Lines incomplete = test::readLines(g_incompleteSectionsReport);
    EXPECT_TRUE(std::count(incomplete.begin(), incomplete.end(),
                           r2 + "\\B738 [fltsim.0] title 'Shared title' already exists") == 1 ||
                std::count(incomplete.begin(), incomplete.end(),
                           r2 + "\\B738\\aircraft.cfg title 'Shared title' already exists") == 1);
    EXPECT_NE(test::readFile(g_invalidAircraftCfgReport).find(r2 + "\\Big\\aircraft.cfg has 52428800 bytes"),
              std::string::npos);

    std::vector<LiveryData> records = cached();
    Lines titles;
    for (const LiveryData& r : records) titles.push_back(r.title);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (Lines{"B744 KLM ivao", "KLM Airport", "KLM one", "KLM sim.cfg", "KLM two", "KLM upper",
                             "Shared title"}));

    // The next start of the program reads the cache instead of scanning.
    gf_clearLiveryIndex();
    EXPECT_EQ(scanError(), "");
    const std::string log = logText();
    EXPECT_EQ(log.find("liveries scan manual starts"), log.rfind("liveries scan manual starts"));
    EXPECT_TRUE(g_liveryIndexReady);
    EXPECT_EQ(g_liveryCount, 7u);
    FlightIdent ac = aircraft("KLM", "B744");
    gf_matchLiveryForSpawn(ac);
    EXPECT_EQ(ac.liveryTitle, "B744 KLM ivao");
}

TEST_F(LiveriesScanThreaded, ScansThatFindNothing) {
    EXPECT_EQ(scanError(),
              "48: Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries "
              "automatic)");
    fs::create_directories(local("D:\\AI\\Empty"));
    setFolders({"D:\\AI\\Empty"});
    EXPECT_EQ(scanError(), "53: no liveries found");
    EXPECT_TRUE(logHas("No liveries found in D:\\AI\\Empty"));
    EXPECT_FALSE(fs::exists(g_errorsFolder));  // nothing to report
    EXPECT_TRUE(logHas("\nNo errors"));
    LIG_AUTOMATIC.value = true;
    const test::ScopedEnv appData("APPDATA", (m_program.path() / "appdata").string());
    const test::ScopedEnv programData("SKYHAVEN_PROGRAMDATA", (m_program.path() / "programdata").string());
    EXPECT_EQ(scanError(),
              "43: Automatic scan has not found any liveries, switch off automatic and set lfolder "
              "parameter(-s), Manual 5.1");
    EXPECT_TRUE(logHas("add-ons.cfg not found!\n0 AI add-on packages found"));
    EXPECT_TRUE(SCAN_LIVERIES.value);
    EXPECT_EQ(g_activeTasks.load(), 0);

    // The only aircraft found has a type the data set does not know: the
    // report says so before the error.
    test::writeFile(m_program.path() / "programdata/Lockheed Martin/Prepar3D v5/simobjects.cfg",
                    "[Entry.0]\nPath=D:\\AI\\Traffic\n");
    aircraftFolder("D:\\AI\\Traffic\\B77W", test::general("777-300ER") + klmSection(0, "KLM 777"), {"KLM"});
    EXPECT_EQ(scanError().substr(0, 3), "43:");
    const Lines invalid = test::readLines(g_invalidAircraftCodesReport);
    ASSERT_EQ(invalid.size(), 1u);
    EXPECT_NE(invalid[0].find("777-300ER"), std::string::npos);
    EXPECT_NE(invalid[0].find("D:\\AI\\Traffic\\B77W"), std::string::npos);
    EXPECT_TRUE(logHas("1 invalid model code, see "));
}

TEST_F(LiveriesScanThreaded, AStoppedScanKeepsTheSettingAndSkipsProcessing) {
    aircraftFolder("D:\\AI\\R\\B738", test::general("B738") + klmSection(0, "KLM one"), {"KLM"});
    setFolders({"D:\\AI\\R"});
    g_stopRequested = true;
    EXPECT_EQ(scanError(), "");
    EXPECT_TRUE(SCAN_LIVERIES.value);
    EXPECT_FALSE(g_liveryIndexReady);
    EXPECT_FALSE(fs::exists(g_liveriesScannedXml));
    EXPECT_EQ(g_activeTasks.load(), 0);
    g_stopRequested = false;
    EXPECT_EQ(scanError(), "");  // the next start scans from empty lists
    EXPECT_TRUE(logHas("1 liverie found in D:\\AI\\R"));
    expectTasksDone();
}

TEST_F(LiveriesScanThreaded, PrioritizedRootsAndManyFiles) {
    aircraftFolder("D:\\A\\KLM", test::general("B738") + klmSection(0, "First B738"), {"KLM"});
    aircraftFolder("D:\\B\\KLM", test::general("A320") + klmSection(0, "Second A320"), {"KLM"});
    std::string many = test::general("B738");
    for (int i = 0; i < 3; ++i) many += klmSection(i, "Third B738 " + std::to_string(i));
    aircraftFolder("D:\\C\\KLM", many, {"KLM"});
    for (int i = 0; i < 24; ++i) {
        aircraftFolder("D:\\C\\Fleet" + std::to_string(i),
                       test::general("A320") + klmSection(0, "Fleet A320 " + std::to_string(i)), {"KLM"});
    }
    setFolders({"D:\\A", "D:\\B", "D:\\C"});
    LIG_PRIORITIZE.value = true;
    EXPECT_EQ(scanError(), "");
    expectTasksDone();
    std::vector<LiveryData> records = cached();
    ASSERT_EQ(records.size(), 2u);  // B738 of root 1 only, A320 of root 2 only
    EXPECT_EQ(records[0].title, "Second A320");
    EXPECT_EQ(records[1].title, "First B738");
}

TEST_F(LiveriesScanThreaded, AddOnPackagesAndSimObjectsGiveTheRoots) {
    const test::ScopedEnv appData("APPDATA", (m_program.path() / "appdata").string());
    const test::ScopedEnv programData("SKYHAVEN_PROGRAMDATA", (m_program.path() / "programdata").string());
    test::writeFile(m_program.path() / "appdata/Lockheed Martin/Prepar3D v5/add-ons.cfg",
                    test::utf16le("[Package.0]\r\nPATH=D:\\P3D Packages\\AI\r\nTITLE=AI\r\nREQUIRED=false\r\n"
                                  "[Discovery.0]\r\nPATH=D:\\Discovered\r\n[Package.1]\r\nPATH=D:\\Missing Package\r\n"
                                  "[package.2]\r\nPATH=D:\\Lower\r\n[Package.3]\r\nPath = D:\\Broken\r\n"));
    test::writeFile(local("D:\\P3D Packages\\AI\\add-on.xml"),
                    "<SimBase.Document>\n<AddOn.Component>\n<Category>SimObjects</Category>\n"
                    "<Path>SimObjects\\Airplanes</Path>\n</AddOn.Component>\n<AddOn.Component>\n"
                    "<Category>SimObjects</Category>\n<Name>x</Name>\n<Path>D:\\Nope</Path>\n</AddOn.Component>\n"
                    "<Category>SimObjects</Category>\n<Path>D:\\Lights Reborn\\SimObjects</Path>\n"
                    "<Category>Scenery</Category>\n<Path>D:\\Scenery</Path>\n</SimBase.Document>\n");
    test::writeFile(local("D:\\Lower\\add-on.xml"), "<Category>SimObjects</Category>\n<Path>D:\\Lower\\AI</Path>\n");
    test::writeFile(local("D:\\Broken\\add-on.xml"), std::string("\x00\x01<<SimObjects\n\xff", 15));
    test::writeFile(m_program.path() / "programdata/Lockheed Martin/Prepar3D v5/simobjects.cfg",
                    "[Entry.0]\nTitle=Default Airplanes\nPath=SimObjects\\Airplanes\nRequired=True\n"
                    "[Entry.1]\nTitle=My Traffic\nPath=SimObjects\\MyTraffic\n[Entry.2]\nPath=D:\\AI\\Traffic\n"
                    "[Entry.3]\nPath=D:\\Addons\\SimObjects\\Airplanes\n");
    Lines roots;
    lf_readP3DAddOnsAircraft(roots);
    lf_readSimObjectsCfg(roots);
    EXPECT_EQ(roots, (Lines{"D:\\P3D Packages\\AI\\SimObjects\\Airplanes", "D:\\Prepar3D v5\\SimObjects\\MyTraffic",
                            "D:\\AI\\Traffic"}));
    const std::string appDataText = (m_program.path() / "appdata").string();
    EXPECT_TRUE(logHas("\nReading " + appDataText +
                       "\\Lockheed Martin\\Prepar3D v5\\add-ons.cfg for AI add-on packages...\n"
                       "path found:D:\\P3D Packages\\AI\npath found:D:\\Missing Package\npath found:D:\\Broken\n"
                       "   exploring D:\\P3D Packages\\AI\\add-on.xml\n"
                       "      Simobjects found:D:\\P3D Packages\\AI\\SimObjects\\Airplanes\n"
                       "   exploring D:\\Broken\\add-on.xml\n1 AI add-on package found\n"));
    EXPECT_TRUE(
        logHas("\nReading C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\simobjects.cfg for AI add-on "
               "packages...\n2 AI add-on packages found"));

    // An automatic scan walks them.
    aircraftFolder("D:\\AI\\Traffic\\B738", test::general("B738") + klmSection(0, "Traffic KLM"), {"KLM"});
    LIG_AUTOMATIC.value = true;
    EXPECT_EQ(scanError(), "");
    EXPECT_TRUE(logHas("liveries scan automatic starts"));
    EXPECT_TRUE(logHas("D:\\P3D Packages\\AI\\SimObjects\\Airplanes does not exist, skipped!"));
    EXPECT_TRUE(logHas("1 liverie found in D:\\AI\\Traffic"));
    expectTasksDone();
}

}  // namespace
}  // namespace skh
