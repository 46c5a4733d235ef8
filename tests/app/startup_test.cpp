#include "app/startup.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "airports/airport_list.hpp"
#include "app/main_window.hpp"
#include "app/run_state.hpp"
#include "app_fixture.hpp"
#include "feed/udp_reader.hpp"
#include "foundation/errors.hpp"
#include "platform/window.hpp"
#include "support/dataset_builder.hpp"
#include "support/libraries.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

// A program folder with its data sets; the registry stand-in, AppData and an
// unreachable download site of the test's own.
class Startup : public test::AppTest {
protected:
    void SetUp() override {
        test::initLibraries();
        AppTest::SetUp();
        gf_forgetAirportsForTest();
        g_startupDone = true;  // the aircraft database has its own tests
        fs::create_directories(m_program / "docs");
        test::packDataSet(R"(<airports><airport code="LSZH" iata="ZRH" lat="47.4647" lon="8.5492" alt="1416"/>
                             <airport code="EDDF" lat="50.0333" lon="8.5706" alt="364"/></airports>)",
                          m_program / g_airportsEnc.string());
        SIM_INSTALL_PATH.value.set("");
        gf_saveStringParameter(SIM_INSTALL_PATH);
    }
    void TearDown() override {
        gf_forgetAirportsForTest();
        for (StringParameter* p : g_airportFolderParams) p->value.set("");
        SIM_INSTALL_PATH.value.set("");
        ALL_INSTALL_PATH.value.set("");
        AppTest::TearDown();
    }
    void registry(const std::string& text) { test::writeFile(m_registryFile, text); }

    test::TempDir m_world;
    fs::path m_registryFile = m_world / "registry.ini";
    test::ScopedEnv m_registry{"SKYHAVEN_REGISTRY", m_registryFile.string()};
    test::ScopedEnv m_appData{"APPDATA", (m_world / "appdata").string()};
    test::ScopedEnv m_site{"SKYHAVEN_DOWNLOAD_URL", std::string("http://127.0.0.1:9/")};
};

const char* kV5 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\nSetupPath=D:\\Prepar3D v5\\\n";
const char* kV6 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\nSetupPath=E:\\P3D v6\\\n";
const char* kV5WithoutPath = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n";

TEST_F(Startup, WithoutDocsFolderError41WaitsForTheClose) {
    fs::remove_all(m_program / "docs");
    m_clock.onSleep([](std::size_t n) {
        if (n == 3) gf_requestClose();
    });
    EXPECT_EQ(lf_startupThread(), ClosingOutcome::QuitFailed);
    EXPECT_EQ(gf_errorText(), "41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!");
    EXPECT_EQ(m_clock.sleeps().size(), 3u);
    EXPECT_TRUE(m_log.contains("Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!\n"));
    EXPECT_TRUE(m_log.contains("Exiting: SYSTEM ERROR\n"));
    EXPECT_TRUE(m_log.contains("User closed Skyhaven_P3D\n"));
    EXPECT_FALSE(fs::exists(m_program / "output"));  // nothing else was done
}

// Every failure of the start ends the program with a failure status, also
// when the user had already closed the window; a close alone does not.
TEST_F(Startup, AFailedStartQuitsFailedHoweverItIsClosed) {
    registry(kV5);
    const fs::path liveries = m_program / g_liveriesScannedXml.string();
    test::writeFile(liveries, R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss"/></liveries>)");
    m_clock.onSleep([](std::size_t) { gf_requestClose(); });
    struct Case {
        const char* label;
        std::function<void()> arrange;
        ClosingOutcome outcome;
        const char* exiting;
    };
    const Case cases[] = {
        {"a user error", [this] { fs::remove_all(m_program / "docs"); }, ClosingOutcome::QuitFailed,
         "Exiting: SYSTEM ERROR\n"},
        {"another exception", [this] { test::writeFile(m_program / "output", "a file where a folder should go"); },
         ClosingOutcome::QuitFailed, "Exiting: SYSTEM ERROR\n"},
        {"an exception after the close",
         [this] {
             test::writeFile(m_program / "output", "a file where a folder should go");
             gf_requestClose();
         },
         ClosingOutcome::QuitFailed, "Exiting: USER CLOSED SIM\n"},
        {"a close alone", [] { gf_requestClose(); }, ClosingOutcome::Quit, "Exiting: USER CLOSED SIM\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::size_t before = m_log.text().size();
        lf_resetSession();
        fs::create_directories(m_program / "docs");
        fs::remove_all(m_program / "output");
        c.arrange();
        EXPECT_EQ(lf_startupThread(), c.outcome);
        const std::string logged = m_log.text().substr(before);
        EXPECT_NE(logged.find(c.exiting), std::string::npos) << logged;
    }
}

TEST_F(Startup, FoldersInstallationAndRealTraffic) {
    registry(kV5);
    test::writeFile(m_program / "input" / "AIG-regcodes0.xml", "old");
    test::writeFile(m_program / "input" / "AIG-regcodes00.xml", "older");
    lf_detectInstallations();
    for (const char* folder : {"output", "output/info", "output/errors", "airports", "airports/learned",
                               "airports/learned/stock", "airports/learned/simaddon", "airports/learned/thirdparty",
                               "airports/my_ORBX", "airports/my_thirdparty", "input/my_regcodes"}) {
        EXPECT_TRUE(fs::is_directory(m_program / folder)) << folder;
    }
    EXPECT_FALSE(fs::exists(m_program / "input" / "AIG-regcodes0.xml"));
    EXPECT_FALSE(fs::exists(m_program / "input" / "AIG-regcodes00.xml"));
    EXPECT_EQ(ALL_INSTALL_PATH.value.get(), "D:\\Prepar3D v5\\");
    EXPECT_EQ(storedValue("SIM_INSTALL_PATH"), "D:\\Prepar3D v5\\");
    EXPECT_EQ(storedValue("PROGRAM_INSTALL_PATH"), fs::current_path().string());
    EXPECT_TRUE(m_log.contains("P3Dv5detected\n"));
    EXPECT_TRUE(m_log.contains("2 airports read\n"));
    EXPECT_FALSE(g_rtOnThisPc.load());
    EXPECT_TRUE(m_log.contains("RealTraffic not detected at this PC\n"));

    test::writeFile(m_world / "appdata" / "InsideSystems" / "RealTraffic.jar", "");
    lf_detectInstallations();
    EXPECT_TRUE(g_rtOnThisPc.load());
    EXPECT_TRUE(m_log.contains("RealTraffic detected at this PC\n"));
    g_rtOnThisPc = false;

    lf_checkStockAirportsPath();
    EXPECT_TRUE(m_log.contains("Stock airports path does not exist: "));
}

TEST_F(Startup, SimulatorDetection) {
    struct Case {
        const char* label;
        std::string registry;
        const char* afolder3;
        int error;  // 0: none
        const char* path;
    };
    const Case cases[] = {
        {"v5 and v6", std::string(kV5) + kV6, "", 153, ""},    {"neither", "", "", 151, ""},
        {"neither, folders by hand", "", "D:\\Addons", 0, ""}, {"v6", kV6, "", 0, "E:\\P3D v6\\"},
        {"v5 without SetupPath", kV5WithoutPath, "", 151, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        registry(c.registry);
        afolder3.value.set(c.afolder3);
        ALL_INSTALL_PATH.value.set("stale");
        int error = 0;
        try {
            lf_detectP3D();
        } catch (const UserErrorException& e) {
            error = std::stoi(e.what());
        }
        EXPECT_EQ(error, c.error);
        if (c.error == 0 && c.path[0] == '\0') {
            EXPECT_TRUE(m_log.contains("P3D not detected?\n"));
        }
        if (c.error == 151) {
            EXPECT_EQ(ALL_INSTALL_PATH.value.get(), "");
        }
        if (c.path[0] != '\0') {
            EXPECT_EQ(ALL_INSTALL_PATH.value.get(), c.path);
        }
    }

    // With an install path set before, no detection runs.
    registry(std::string(kV5) + kV6);
    afolder3.value.set("");
    SIM_INSTALL_PATH.value.set("F:\\Prepar3D v6");
    gf_saveStringParameter(SIM_INSTALL_PATH);
    EXPECT_NO_THROW(lf_detectInstallations());
    EXPECT_EQ(ALL_INSTALL_PATH.value.get(), "F:\\Prepar3D v6");
}

TEST_F(Startup, MissingLiveriesCacheTurnsTheScanOn) {
    registry(kV5);
    SCAN_LIVERIES.value = false;
    gf_saveBoolParameter(SCAN_LIVERIES);
    m_clock.onSleep([](std::size_t) { gf_requestClose(); });
    // The scan finds no livery in this folder: error 43.
    EXPECT_EQ(lf_startupThread(), ClosingOutcome::QuitFailed);
    EXPECT_EQ(storedValue("SCAN_LIVERIES"), "true");
    EXPECT_TRUE(m_log.contains("File " + g_liveriesScannedXml.string() + " is gone, rescan liveries\n"));
}

TEST_F(Startup, ClosedDuringTheScansStartsNoRun) {
    registry(kV5);
    test::writeFile(m_program / g_liveriesScannedXml.string(),
                    R"(<liveries><liv airl="SWR" type="A320" title="Airbus A320 Swiss"/></liveries>)");
    gf_requestClose();
    EXPECT_EQ(lf_startupThread(), ClosingOutcome::Quit);
    EXPECT_EQ(g_appState.load(), AppState::UserClosedSim);
    EXPECT_FALSE(g_simClientJThread.joinable());
    EXPECT_FALSE(m_log.contains("Flight Simulator"));
}

// A start shows each window-bound setting in its control; MAX_FIT has none
// of its own (MAX_FIT_FL's combo box shows it).
TEST_F(Startup, EverySettingShownFindsItsControl) {
    registry(kV5);
    lf_createControls();
    for (const bool stored : {true, false}) {
        SCOPED_TRACE(stored ? "from parameters.xml" : "defaults");
        if (!stored) fs::remove(g_parametersXmlPath);
        const std::size_t before = m_log.text().size();
        lf_detectInstallations();
        const std::string logged = m_log.text().substr(before);
        EXPECT_NE(logged.find("MAX_FIT=47"), std::string::npos) << logged;
        EXPECT_EQ(logged.find("GetDlgItem failed"), std::string::npos) << logged;
    }
    platform::ControlState maxFit;
    ASSERT_TRUE(platform::controlState(platform::getDlgItem(MAX_FIT_FL.controlId), maxFit));
    EXPECT_EQ(maxFit.items.at(static_cast<std::size_t>(maxFit.selection)), u"24.0");  // MAX_FIT 47
    platform::destroyAllControls();
}

TEST(SnapFloatStep, HalfHoursToMaxFitChoices) {
    const std::pair<int, float> cases[] = {{-1, 0.5f},  {0, 0.5f},   {1, 1.0f},   {8, 4.5f},   {9, 5.0f},
                                           {19, 10.0f}, {20, 10.0f}, {21, 10.0f}, {23, 12.0f}, {47, 24.0f}};
    for (const auto& [n, hours] : cases) EXPECT_EQ(lf_snapFloatStep(n), hours) << n;
}

}  // namespace
}  // namespace skh
