#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/meta_block.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/settings_file.hpp"
#include "platform/window.hpp"
#include "support/default_settings.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetSettingsToDefaults();
        m_savedPath = g_parametersXmlPath;
        g_parametersXmlPath = (m_settings.path() / "parameters.xml").string();
    }
    void TearDown() override {
        g_parametersXmlPath = m_savedPath;
        test::resetSettingsToDefaults();
    }

    fs::path file() const { return g_parametersXmlPath; }
    std::string text() const { return test::readFile(file()); }
    void writeSettings(const std::string& body) {
        test::writeFile(file(), "<?xml version=\"1.0\"?>\n<parameters>\n" + body + "</parameters>\n");
    }
    std::string storedValue(const std::string& key) const {
        pugi::xml_document doc;
        doc.load_file(file().c_str());
        for (auto n : doc.child("parameters").children("parameter")) {
            if (key == n.attribute("name").value()) return n.attribute("value").value();
        }
        return "<missing>";
    }

    test::TempDir m_settings;
    test::TempDir m_program;
    test::ScopedCwd m_cwd{m_program.path()};
    test::ScopedLog m_log;
    std::string m_savedPath;
};

TEST_F(Settings, FirstStartWritesEveryStoredKeyInTableOrder) {
    gf_loadParameters();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file().c_str()));
    std::vector<std::string> keys;
    for (auto n : doc.child("parameters").children("parameter")) keys.push_back(n.attribute("name").value());
    ASSERT_EQ(keys.size(), 1u + 25 + 13 + 8 + 8 + 1);  // 28 strings less the 20 folder keys
    EXPECT_EQ(keys.front(), "RANDOM");
    EXPECT_EQ(keys[26], "CUSTOM_PARKING_PERCENTAGE");
    EXPECT_EQ(keys[33], "LAST_EPOCH_TIME:");
    EXPECT_EQ(keys[39], "MATCHING_DEPTH");
    EXPECT_EQ(keys.back(), "BLOCK_CALLSIGN");
    for (const char* never : {"parking_percentage", "MAX_FIT_FL", "ALL_INSTALL_PATH", "CALLSIGN_2_OBJECTID",
                              "lfolder0", "afolder9", "copyright", "Block"}) {
        EXPECT_EQ(storedValue(never), "<missing>") << never;
    }
    EXPECT_EQ(storedValue("PORT_NUMBER"), "10747");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.3.0");
    EXPECT_TRUE(m_log.contains(" not found, default values taken:"));
    EXPECT_TRUE(m_log.contains("\n********************************** parameters **********************************\n"));
    EXPECT_TRUE(m_log.contains("PORT_NUMBER=\"10747\""));
    EXPECT_TRUE(m_log.contains("RANGE=40\n"));
    EXPECT_EQ(g_rangeMetres.load(), 40u * 1852u);
}

TEST_F(Settings, ValuesAreReadConvertedAndClamped) {
    writeSettings(R"(<parameter name="PROGRAM_VERSION" value="11.3.0"/>
<parameter name="RANDOM" value="no"/>
<parameter name="LOG" value="yes"/>
<parameter name="AEROWINX" value="True"/>
<parameter name="WEEK" value="1"/>
<parameter name="SCAN_LIVERIES" value="on"/>
<parameter name="SCAN_AIRPORTS" value=""/>
<parameter name="GUID_CHANGES"/>
<parameter name="RANGE" value="7"/>
<parameter name="RANGE" value="30"/>
<parameter name="MAX_FIT" value="500"/>
<parameter name="MATCHING_DEPTH" value="-3"/>
<parameter name="MAIN_WINDOW_X" value="0x10"/>
<parameter name="MAIN_WINDOW_Y" value="12abc"/>
<parameter name="P3D_VERSION" value="text"/>
<parameter name="LAST_EPOCH_TIME:" value="99999999999999"/>
<parameter name="UNKNOWN_KEY" value="kept"/>
<parameter name="PORT_NUMBER" value="12345"/>
<parameter name="lfolder3" value=""/>
<parameter name="lfolder4" value="D:\AI"/>
)");
    gf_loadParameters();
    EXPECT_FALSE(RANDOM.value);
    EXPECT_TRUE(LOG.value);
    EXPECT_TRUE(AEROWINX.value);
    EXPECT_TRUE(WEEK.value);
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_FALSE(SCAN_AIRPORTS.value);
    EXPECT_FALSE(GUID_CHANGES.value);  // no value attribute reads as false
    EXPECT_EQ(RANGE.value, 7);          // the first element counts; 7 stays though it is no choice
    EXPECT_EQ(g_rangeMetres.load(), 12964u);
    EXPECT_EQ(MAX_FIT.value, 47);
    EXPECT_EQ(MATCHING_DEPTH.value, 1);
    EXPECT_EQ(MAIN_WINDOW_X.value, 16);
    EXPECT_EQ(MAIN_WINDOW_Y.value, 12);
    EXPECT_EQ(P3D_VERSION.value, 5);  // unreadable reads as 0, then clamped
    EXPECT_EQ(LAST_EPOCH_TIME.value, 2147483647);
    EXPECT_EQ(PORT_NUMBER.value.get(), "12345");
    EXPECT_EQ(lfolder4.value.get(), "D:\\AI");
    EXPECT_EQ(storedValue("lfolder3"), "<missing>");
    EXPECT_EQ(storedValue("lfolder4"), "D:\\AI");
    EXPECT_EQ(storedValue("UNKNOWN_KEY"), "kept");
    EXPECT_EQ(storedValue("HELICOPTERS"), "true");  // missing keys are appended with defaults
    EXPECT_TRUE(m_log.contains("Parameter 'lfolder3' removed"));
    EXPECT_TRUE(m_log.contains("lfolder4=\"D:\\AI\""));
    EXPECT_FALSE(m_log.contains("lfolder5"));
}

TEST_F(Settings, CorruptFileIsKeptAsBackupBeforeDefaultsReplaceIt) {
    for (const std::string& bad : {std::string("<parameters><parameter name=\"X\""),
                                  std::string("<settings><parameter name=\"PORT_NUMBER\" value=\"1\"/></settings>"),
                                  std::string("\xFF\xFE<\0p\0", 6)}) {
        test::writeFile(file(), bad);
        gf_loadParameters();
        const fs::path backup = m_settings.path() / "parameters0.xml";
        ASSERT_TRUE(fs::exists(backup));
        EXPECT_EQ(test::readFile(backup), bad);
        EXPECT_EQ(PORT_NUMBER.value.get(), "10747");
        EXPECT_EQ(storedValue("PORT_NUMBER"), "10747");
    }
    EXPECT_TRUE(m_log.contains("is not a valid settings file"));
}

TEST_F(Settings, SaversChangeOneElementAndKeepTheRest) {
    gf_loadParameters();
    LOG.value = false;
    gf_saveBoolParameter(LOG);
    MAX_LIVE_SEL.value = 25;
    gf_saveIntParameter(MAX_LIVE_SEL);
    gf_setStringParameter(lfolder2, "E:\\Liveries");
    EXPECT_EQ(storedValue("LOG"), "false");
    EXPECT_EQ(storedValue("MAX_LIVE_SEL"), "25");
    EXPECT_EQ(storedValue("lfolder2"), "E:\\Liveries");  // appended at the end
    EXPECT_EQ(storedValue("RANDOM"), "true");
    EXPECT_TRUE(m_log.contains("LOG=false"));

    EXPECT_TRUE(lf_removeParameter(lfolder2));
    EXPECT_FALSE(lf_removeParameter(lfolder2));
    EXPECT_EQ(storedValue("lfolder2"), "<missing>");

    // An element without a value attribute gets one.
    writeSettings("<parameter name=\"AEROWINX\"/>\n");
    AEROWINX.value = true;
    gf_saveBoolParameter(AEROWINX);
    EXPECT_EQ(storedValue("AEROWINX"), "true");
}

TEST_F(Settings, ASaveWithoutAUsableFileWritesEveryParameterFromMemory) {
    gf_setStringParameter(DBASE_VERSION, "3.1.4");  // no file yet
    EXPECT_EQ(storedValue("DBASE_VERSION"), "3.1.4");
    EXPECT_EQ(storedValue("RANDOM"), "true");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");

    // The user's settings, then a file damaged while the program runs.
    writeSettings(R"(<parameter name="PORT_NUMBER" value="12345"/><parameter name="lfolder4" value="D:\AI"/>)");
    gf_loadParameters();
    const std::string damaged = "<parameters><parameter name=";
    test::writeFile(file(), damaged);
    LOG.value = false;
    gf_saveBoolParameter(LOG);
    EXPECT_EQ(test::readFile(m_settings.path() / "parameters0.xml"), damaged);
    EXPECT_EQ(storedValue("LOG"), "false");
    EXPECT_EQ(storedValue("PORT_NUMBER"), "12345");
    EXPECT_EQ(storedValue("lfolder4"), "D:\\AI");
    EXPECT_EQ(storedValue("lfolder5"), "<missing>");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.3.0");
    EXPECT_TRUE(m_log.contains("is not a valid settings file ("));
}

// Each way parameters.xml can be unusable gets one true account in the log,
// and a file that cannot be kept is never replaced.
TEST_F(Settings, AnUnusableSettingsFileIsReportedOnceAndNeverLost) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& settings)> prepare;
        bool replaced;                            // by a file of defaults
        std::vector<std::string> logged, absent;  // parts of the log
    };
    const std::string damaged = "<parameters><parameter name=\"PORT_NUMBER\" value=\"1\"";
    const Case cases[] = {
        {"damaged, kept as parameters0.xml",
         [&](const fs::path& f) { test::writeFile(f, damaged); },
         true,
         {"<file> is not a valid settings file (", "; it is kept as ", "parameters0.xml, default values taken:"},
         {"not found"}},
        {"damaged, and parameters0.xml cannot be written",
         [&](const fs::path& f) {
             test::writeFile(f, damaged);
             fs::create_directories(f.parent_path() / "parameters0.xml" / "inner");
         },
         false,
         {"<file> is not a valid settings file (", "could not be kept as ",
          "; it is left as it is and default values are used",
          "Saving '<file>' failed: it is not a valid settings file and could not be kept as "},
         {"not found", "default values taken"}},
        {"a folder in its place",
         [](const fs::path& f) { fs::create_directories(f / "inner"); },
         false,
         {"<file> is a folder, not a settings file; it is left as it is and default values are used",
          "Saving '<file>' failed: it is a folder"},
         {"not found", "Could not allocate", "Invalid argument", "could not be kept"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir settings;
        g_parametersXmlPath = (settings.path() / "parameters.xml").string();
        test::ScopedLog log;
        c.prepare(file());
        PORT_NUMBER.value.set("999");
        gf_loadParameters();  // the version update saves PROGRAM_VERSION
        EXPECT_EQ(PORT_NUMBER.value.get(), "10747");
        EXPECT_EQ(PROGRAM_VERSION.value.get(), "11.3.0");
        if (c.replaced) {
            EXPECT_EQ(storedValue("PORT_NUMBER"), "10747");
        } else if (fs::is_regular_file(file())) {
            EXPECT_EQ(test::readFile(file()), damaged);
        } else {
            EXPECT_TRUE(fs::is_directory(file()));
        }
        auto withPath = [&](std::string part) {
            for (auto at = part.find("<file>"); at != std::string::npos; at = part.find("<file>"))
                part.replace(at, 6, file().string());
            return part;
        };
        const std::string text = log.text();
        for (const std::string& part : c.logged)
            EXPECT_NE(text.find(withPath(part)), std::string::npos) << withPath(part) << "\n" << text;
        for (const std::string& part : c.absent) EXPECT_EQ(text.find(part), std::string::npos) << part << "\n" << text;
        // Said once, not again by every save.
        const std::string account = withPath(c.logged.front());
        EXPECT_EQ(text.find(account, text.find(account) + 1), std::string::npos) << text;
    }
}

TEST_F(Settings, TheValueIsLoggedBeforeItsSaveAndAFailedSaveSaysWhy) {
    g_parametersXmlPath = (m_settings.path() / "no-such-folder" / "parameters.xml").string();
    LOG.value = false;
    gf_saveBoolParameter(LOG);
    const std::string text = m_log.text();
    const auto value = text.find("LOG=false\n");
    const auto failed = text.find("Saving '" + file().string() + "' failed: cannot create ");
    ASSERT_NE(value, std::string::npos) << text;
    ASSERT_NE(failed, std::string::npos) << text;
    EXPECT_LT(value, failed);
    EXPECT_NE(text.find("No such file or directory", failed), std::string::npos) << text;
}

TEST_F(Settings, RangeSelectionClampsAndSelectsItsChoice) {
    platform::destroyAllControls();
    RANGE.hwnd = platform::createControl(platform::ControlKind::ComboBox, RANGE.controlId, u"", 0, 0, 0, 0);
    gf_fillIntComboBox(RANGE);
    EXPECT_EQ(platform::comboGetCurSel(RANGE.hwnd), 15);  // 40
    EXPECT_EQ(gf_setRangeSelection(7), 12964u);
    EXPECT_EQ(RANGE.value, 7);
    EXPECT_EQ(platform::comboGetCurSel(RANGE.hwnd), 15);  // unchanged: 7 is no choice
    EXPECT_EQ(gf_setRangeSelection(500), 100u * 1852u);
    EXPECT_EQ(RANGE.value, 100);
    EXPECT_DOUBLE_EQ(g_rangeNm.load(), 100.0);
    EXPECT_EQ(platform::comboGetCurSel(RANGE.hwnd), 19);
    EXPECT_EQ(gf_setRangeSelection(-4), 2u * 1852u);
    EXPECT_EQ(platform::comboGetCurSel(RANGE.hwnd), 0);
    RANGE.hwnd = 0;
    platform::destroyAllControls();
}

TEST_F(Settings, LoaderShowsValuesInTheirControls) {
    platform::destroyAllControls();
    LOG.hwnd = platform::createControl(platform::ControlKind::CheckBox, LOG.controlId, u"", 0, 0, 0, 0);
    platform::createControl(platform::ControlKind::Edit, BLOCK_CALLSIGN.controlId, u"", 0, 0, 0, 0);
    platform::createControl(platform::ControlKind::ComboBox, MAX_LIVE_SEL.controlId, u"", 0, 0, 0, 0);
    writeSettings(R"(<parameter name="LOG" value="true"/><parameter name="BLOCK_CALLSIGN" value="DLH1"/>
<parameter name="MAX_LIVE_SEL" value="25"/><parameter name="MAX_FIT" value="12"/>)");
    gf_loadParameters();
    EXPECT_TRUE(platform::getCheck(LOG.hwnd));
    EXPECT_EQ(platform::getWindowText(platform::getDlgItem(BLOCK_CALLSIGN.controlId)), u"DLH1");
    EXPECT_EQ(platform::getWindowText(platform::getDlgItem(MAX_LIVE_SEL.controlId)), u"25");
    EXPECT_TRUE(m_log.contains(skh::format("GetDlgItem failed for ID {}", RANGE.controlId)));
    // MAX_FIT has no control of its own: MAX_FIT_FL's shows it.
    EXPECT_EQ(MAX_FIT.value.load(), 12);
    EXPECT_FALSE(m_log.contains(skh::format("GetDlgItem failed for ID {}", MAX_FIT.controlId)));
    LOG.hwnd = 0;
    platform::destroyAllControls();
}

TEST_F(Settings, ChoiceAndCallsignComboBoxes) {
    platform::destroyAllControls();
    gf_fillIntComboBox(MAX_LIVE_SEL);  // no control: nothing happens
    CALLSIGN_2_OBJECTID.hwnd = platform::createControl(platform::ControlKind::ComboBox,
                                                       CALLSIGN_2_OBJECTID.controlId, u"", 0, 0, 0, 0);
    gf_fillCallsignComboBox();
    platform::ControlState state;
    ASSERT_TRUE(platform::controlState(CALLSIGN_2_OBJECTID.hwnd, state));
    EXPECT_TRUE(state.items.empty());
    CALLSIGN_2_OBJECTID.setList({"BAW1", "DLH123", "SWR8"});
    CALLSIGN_2_OBJECTID.value.set("DLH");
    gf_fillCallsignComboBox();
    ASSERT_TRUE(platform::controlState(CALLSIGN_2_OBJECTID.hwnd, state));
    EXPECT_EQ(state.items.size(), 3u);
    EXPECT_EQ(state.selection, 1);

    MAX_LIVE_SEL.choices.push_back(1000);
    EXPECT_EQ(MAX_PARK_SEL.choices.size(), 7u);  // separate copies of one list
    MAX_LIVE_SEL.choices.pop_back();
    CALLSIGN_2_OBJECTID.hwnd = 0;
    platform::destroyAllControls();
}

// ---------------------------------------------------------------------------
// Upgrades

class VersionUpdate : public Settings {
protected:
    void upgradeFrom(const std::string& version, const std::string& extra = "") {
        writeSettings("<parameter name=\"PROGRAM_VERSION\" value=\"" + version + "\"/>\n" +
                      "<parameter name=\"SCAN_LIVERIES\" value=\"false\"/>\n" +
                      "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/>\n" +
                      "<parameter name=\"CALLSIGN_OBJECTIDS\" value=\"x\"/>\n" + extra);
        gf_loadParameters();
    }
};

TEST_F(VersionUpdate, MigratesOldKeysOnce) {
    upgradeFrom("10.9.9",
                R"(<parameter name="LATERAL_RANGE" value="7"/><parameter name="AIRPORT_RANGE" value="12"/>
<parameter name="MAX_LIVE" value="60"/>)");
    EXPECT_EQ(RANGE.value, 8);
    EXPECT_EQ(AIRP_RANGE.value, 10);
    EXPECT_EQ(AR_ABOVE_HEIGHT.value, 48000);
    EXPECT_EQ(AIRP_HEIGHT.value, 18000);
    EXPECT_EQ(MAX_LIVE_SEL.value, 50);
    EXPECT_EQ(MAX_PARK_SEL.value, 500);  // CUSTOM_MAX_PARK missing: -1
    EXPECT_TRUE(SCAN_LIVERIES.value);
    EXPECT_TRUE(SCAN_AIRPORTS.value);
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.3.0");
    EXPECT_EQ(storedValue("RANGE"), "8");
    EXPECT_EQ(storedValue("LATERAL_RANGE"), "<missing>");
    EXPECT_EQ(storedValue("CALLSIGN_OBJECTIDS"), "<missing>");
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "true");
    EXPECT_TRUE(m_log.contains("This is a version update from 10.9.9 -> 11.3.0"));

    // The next start finds equal versions and changes nothing.
    RANGE.value = 30;
    gf_saveIntParameter(RANGE);
    gf_loadParameters();
    EXPECT_EQ(RANGE.value, 30);
}

TEST_F(VersionUpdate, MaximumAircraftSteps) {
    const std::pair<int, int> cases[] = {{-1, 500}, {0, 0}, {1, 10}, {17, 10}, {18, 25}, {60, 50},
                                         {63, 75}, {88, 100}, {299, 100}, {300, 500}};
    for (const auto& [v, expected] : cases) {
        upgradeFrom("11.1.1", skh::format("<parameter name=\"MAX_LIVE\" value=\"{}\"/>", v));
        EXPECT_EQ(MAX_LIVE_SEL.value, expected) << v;
    }
}

TEST_F(VersionUpdate, CleansTheProgramFolderWithoutMigratingFromRecentVersions) {
    for (const char* name : {"KLAX.xml", "EDD1.xml", "KLAX1.xml", "KLAX.XML", "abcd.xml", "abcd.txt",
                             "install_new_version.exe", "versions.json"}) {
        test::writeFile(m_program / name, "x");
    }
    test::writeFile(m_program / "TO_BE_LEARNED_OFFLINE" / "a.txt", "x");
    test::writeFile(m_program / "input" / "airports_p3d.xml", "x");
    upgradeFrom("11.2.0", R"(<parameter name="MAX_LIVE" value="60"/>)");
    for (const char* gone : {"KLAX.xml", "EDD1.xml", "install_new_version.exe", "versions.json",
                             "TO_BE_LEARNED_OFFLINE", "input/airports_p3d.xml"}) {
        EXPECT_FALSE(fs::exists(m_program / gone)) << gone;
    }
    for (const char* kept : {"KLAX1.xml", "KLAX.XML", "abcd.xml", "abcd.txt"}) {
        EXPECT_TRUE(fs::exists(m_program / kept)) << kept;
    }
    EXPECT_EQ(MAX_LIVE_SEL.value, 500);  // no migration from 11.2.0
    EXPECT_TRUE(SCAN_LIVERIES.value);
}

TEST_F(VersionUpdate, AFileThatCannotBeRemovedDoesNotStopTheMigration) {
    // A non-empty folder in place of input/airports_p3d.xml cannot be removed.
    test::writeFile(m_program / "input" / "airports_p3d.xml" / "inner", "x");
    upgradeFrom("10.0.0", R"(<parameter name="MAX_LIVE" value="20"/>)");
    EXPECT_EQ(MAX_LIVE_SEL.value, 25);
    EXPECT_TRUE(SCAN_AIRPORTS.value);
    EXPECT_TRUE(m_log.contains("Failed to remove input/airports_p3d.xml"));
}

TEST_F(VersionUpdate, NewerStoredVersionIsOnlyOverwritten) {
    upgradeFrom("12.0.0", R"(<parameter name="MAX_LIVE" value="20"/>)");
    EXPECT_EQ(storedValue("PROGRAM_VERSION"), "11.3.0");
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_EQ(MAX_LIVE_SEL.value, 500);
    EXPECT_FALSE(m_log.contains("version update"));
}

TEST_F(Settings, MetaBlockWritesAndReadsItsItems) {
    pugi::xml_document doc;
    ASSERT_TRUE(gf_writeMeta(doc));
    EXPECT_TRUE(gf_readMetaInfo(doc, author));
    EXPECT_EQ(author.value.get(), "Skyhaven_P3D");
    EXPECT_TRUE(gf_readMetaInfo(doc, version));
    EXPECT_EQ(version.value.get(), "11.3.0");
    EXPECT_TRUE(gf_readMetaInfo(doc, P3D));
    EXPECT_EQ(P3D.value.get(), "v5/v6");
    EXPECT_TRUE(gf_readMetaInfo(doc, date));
    EXPECT_EQ(date.value.get().size(), 12u);
    EXPECT_FALSE(gf_readMetaInfo(doc, MSFS));
    EXPECT_EQ(MSFS.value.get(), "");

    pugi::xml_document nested;
    gf_writeMeta(nested.append_child("airport"));
    author.value.set("x");
    EXPECT_FALSE(gf_readMetaInfo(nested, author));
    EXPECT_EQ(author.value.get(), "");

    pugi::xml_document noValue;
    noValue.load_string("<meta><info name=\"version\"/></meta>");
    EXPECT_TRUE(gf_readMetaInfo(noValue, version));
    EXPECT_EQ(version.value.get(), "");
    EXPECT_FALSE(gf_writeMeta(pugi::xml_node()));
}

TEST_F(Settings, ThreadedConcurrentSavesLoseNoUpdate) {
    gf_loadParameters();
    std::thread a([] {
        for (int i = 0; i < 40; ++i) {
            MAIN_WINDOW_X.value = i;
            gf_saveIntParameter(MAIN_WINDOW_X);
        }
    });
    std::thread b([] {
        for (int i = 0; i < 40; ++i) {
            MAIN_WINDOW_Y.value = i;
            gf_saveIntParameter(MAIN_WINDOW_Y);
        }
    });
    a.join();
    b.join();
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "39");
    EXPECT_EQ(storedValue("MAIN_WINDOW_Y"), "39");
}

}  // namespace
}  // namespace skh
