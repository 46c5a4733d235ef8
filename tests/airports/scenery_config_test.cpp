#include "airports/scenery_config.hpp"

#include <gtest/gtest.h>

#include "foundation/errors.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

const std::string kInstall = "C:\\Program Files\\Lockheed Martin\\Prepar3D v5";

// One scenery.cfg with the traps of the format: key names inside values,
// stock folders by marker and by path, case differences, inactive areas.
const std::string kSceneryCfg =
    "[General]\r\n"
    "Title=FS World\r\n"
    "Description=FS Scenery Data\r\n"
    "\r\n"
    "[Area.001]\r\n"
    "Title=Default Terrain\r\n"
    "Local=Scenery\\World\r\n"
    "Active=TRUE\r\n"
    "Required=TRUE\r\n"
    "Layer=1\r\n"
    "\r\n"
    "[Area.002]\r\n"
    "Title=Airport Area Pack\r\n"
    "Local=D:\\Addons\\Title Layer Area\\scenery\r\n"
    "Active=TRUE\r\n"
    "\r\n"
    "[Area.003]\r\n"
    "Title=Switched off\r\n"
    "Local=D:\\Inactive\r\n"
    "Active=FALSE\r\n"
    "\r\n"
    "[Area.004]\r\n"
    "Local=Addon Scenery\\WorldAirports\r\n"
    "Active=TRUE\r\n"
    "\r\n"
    "[Area.005]\r\n"
    "Local=c:\\program files\\lockheed martin\\prepar3d v5\\scenery\\0607\r\n"
    "Active=TRUE\r\n"
    "\r\n"
    "[AREA.006]\r\n"
    "  local = C:\\Program Files\\Lockheed Martin\\Prepar3D v5\\Scenery Addons\\EGLL  \r\n"
    "  active = true\r\n"
    "\r\n"
    "[Area.007]\r\n"
    "Local=Scenery\\asia\r\n"
    "Active=TRUE\r\n"
    "\r\n"
    "[Area.008]\r\n"
    "Title=Area 51\r\n"
    "Active=True\r\n"
    "Local=E:\\Z\xc3\xbcrich\\Area51\r\n"
    "\r\n"
    "[Area.009]\r\n"
    "Local=\r\n"
    "Active=TRUE\r\n"
    "[Area.010]\r\n"
    "Local=\\\\nas\\scenery\\KJFK\r\n"
    "Active=TRUE";

const std::vector<std::string> kExpected = {
    "D:\\Addons\\Title Layer Area\\scenery",
    kInstall + "\\Addon Scenery\\WorldAirports",
    "C:\\Program Files\\Lockheed Martin\\Prepar3D v5\\Scenery Addons\\EGLL",
    "E:\\Z\xc3\xbcrich\\Area51",
    "\\\\nas\\scenery\\KJFK",
};

std::u16string toUtf16(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b == 0xC3) {
            out.push_back(static_cast<char16_t>(0xC0 | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
        } else {
            out.push_back(b);
        }
    }
    return out;
}

std::string encode(const std::string& utf8, const std::string& charset) {
    if (charset == "utf8") return utf8;
    if (charset == "utf8bom") return "\xEF\xBB\xBF" + utf8;
    if (charset == "ansi") {
        std::string out;
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto b = static_cast<unsigned char>(utf8[i]);
            out.push_back(b == 0xC3 ? static_cast<char>(0xC0 | (utf8[++i] & 0x3F)) : utf8[i]);
        }
        return out;
    }
    const bool big = charset == "utf16be";
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : toUtf16(utf8)) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xFF);
        out += big ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

class SceneryConfig : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedEnv programData{"SKYHAVEN_PROGRAMDATA", dir.path().string()};
    test::ScopedLog log;
    SceneryConfigSetup setup = lf_scenerySetup("5", kInstall);

    void writeConfig(const std::filesystem::path& path, const std::string& bytes) {
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path, bytes);
    }
};

TEST_F(SceneryConfig, FilesLieBelowTheProgramDataRoot) {
    EXPECT_EQ(setup.sceneryCfgText, "C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg");
    EXPECT_EQ(setup.sceneryCfg, dir.path() / "Lockheed Martin/Prepar3D v5/scenery.cfg");
    EXPECT_EQ(setup.addonsXml, dir.path() / "Lockheed Martin/Prepar3D v5/scenery_add-ons.xml");
    EXPECT_EQ(setup.stockText, kInstall + "\\Scenery");
    EXPECT_EQ(lf_stockAirportsText(""), "");
    EXPECT_EQ(lf_stockAirportsText("D:\\P3D\\"), "D:\\P3D\\Scenery");
}

TEST_F(SceneryConfig, SceneryCfgInEveryCharsetGivesTheActiveAddonAreas) {
    for (const std::string charset : {"ansi", "utf8", "utf8bom", "utf16le", "utf16be"}) {
        SCOPED_TRACE(charset);
        writeConfig(setup.sceneryCfg, encode(kSceneryCfg, charset));
        std::vector<std::string> folders;
        lf_readSceneryCfg(folders, setup);
        EXPECT_EQ(folders, kExpected);
    }
    EXPECT_TRUE(
        log.contains("\\nReading: C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg for airport add-ons ..."));
    EXPECT_TRUE(log.contains("      found:D:\\Addons\\Title Layer Area\\scenery"));
    EXPECT_TRUE(log.contains("5 scenery add-on paths found"));
}

TEST_F(SceneryConfig, MissingFilesAreLoggedAndGiveNothing) {
    std::vector<std::string> folders;
    lf_readSceneryCfg(folders, setup);
    lf_readSceneryAddonsXml(folders, setup);
    EXPECT_TRUE(folders.empty());
    EXPECT_TRUE(log.contains("C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery.cfg not found!"));
    EXPECT_TRUE(log.contains("C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\scenery_add-ons.xml not found!"));
}

TEST_F(SceneryConfig, AddonsXmlPathsAreTakenAsTheyAre) {
    writeConfig(setup.addonsXml, encode("<?xml version=\"1.0\"?>\r\n<SceneryAddons>\r\n"
                                        "  <Entry><Path>D:\\Addons\\LSZH</Path></Entry>\r\n"
                                        "  <Entry><Path></Path></Entry>\r\n"
                                        "  <Entry><Path>D:\\Addons\\Z\xc3\xbcrich</Path></Entry>\r\n"
                                        "</SceneryAddons>\r\n",
                                        "utf16le"));
    std::vector<std::string> folders = {"first"};
    lf_readSceneryAddonsXml(folders, setup);
    EXPECT_EQ(folders, (std::vector<std::string>{"first", "D:\\Addons\\LSZH", "D:\\Addons\\Z\xc3\xbcrich"}));
    EXPECT_TRUE(log.contains("found path:D:\\Addons\\LSZH"));
    EXPECT_TRUE(log.contains("2 scenery add-on paths found"));
}

TEST_F(SceneryConfig, AMegabyteLineIsJustALine) {
    writeConfig(setup.sceneryCfg, skh::format("[Area.001]\nTitle={}\nLocal=D:\\Big\nActive=TRUE\nLocal={}\n",
                                              std::string(1 << 20, 'x'), std::string(1 << 20, 'y')));
    std::vector<std::string> folders;
    lf_readSceneryCfg(folders, setup);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], "D:\\Big");
    EXPECT_EQ(folders[1].size(), kInstall.size() + 1 + (1 << 20));
}

TEST_F(SceneryConfig, ManualFoldersRefuseTheStockScenery) {
    for (auto* p : g_airportFolderParams) p->value.set("");
    std::vector<std::string> folders = {"stale"};
    lf_checkFolderParameter(folders, setup.stockText);
    EXPECT_TRUE(folders.empty());

    afolder0.value.set("D:\\Addons\\LSZH");
    afolder1.value.set(kInstall + "\\Scenery Addons");
    afolder2.value.set("c:\\PROGRAM FILES\\lockheed martin\\prepar3d v5\\scenery\\world");
    try {
        lf_checkFolderParameter(folders, setup.stockText);
        ADD_FAILURE() << "no error 42";
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(), "42: parameter afolder2 points to stock airports instead of add-on airports!");
    }
    // With the install path unknown there is no stock folder to refuse.
    lf_checkFolderParameter(folders, lf_stockAirportsText(""));
    EXPECT_EQ(folders.size(), 3u);
    EXPECT_TRUE(log.contains("From parameter afolder1: " + kInstall + "\\Scenery Addons"));
    for (auto* p : g_airportFolderParams) p->value.set("");
}

TEST(SceneryPaths, FolderAndMarkerComparisonsUseWholeComponents) {
    struct Case {
        const char* path;
        const char* folder;
        bool within;
    };
    const Case cases[] = {
        {"C:\\P3D\\Scenery", "C:\\P3D\\Scenery", true},
        {"C:\\P3D\\Scenery\\0607\\scenery", "C:\\P3D\\Scenery", true},
        {"c:/p3d/SCENERY/World/", "C:\\P3D\\Scenery\\", true},
        {"C:\\P3D\\Scenery Addons\\EGLL", "C:\\P3D\\Scenery", false},
        {"C:\\P3D\\SceneryX", "C:\\P3D\\Scenery", false},
        {"C:\\P3D\\Addons\\..\\Scenery\\World", "C:\\P3D\\Scenery", true},
        {"D:\\Addons\\Scenery", "Scenery", false},
        {"C:\\P3D", "C:\\P3D\\Scenery", false},
        {"D:\\Anything", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " in " + c.folder);
        EXPECT_EQ(lf_isWithinFolder(c.path, c.folder), c.within);
    }
    EXPECT_TRUE(lf_isStockScenery("Scenery\\World"));
    EXPECT_TRUE(lf_isStockScenery("Scenery\\cities\\Paris"));
    EXPECT_TRUE(lf_isStockScenery("scenery\\1107"));
    EXPECT_FALSE(lf_isStockScenery("Addon Scenery\\WorldAirports"));
    EXPECT_FALSE(lf_isStockScenery("Addon Scenery\\ASIA Pack"));
    EXPECT_FALSE(lf_isStockScenery("World"));
}

}  // namespace
}  // namespace skh
