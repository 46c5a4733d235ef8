#include <gtest/gtest.h>

#include "foundation/constants.hpp"
#include "foundation/win_interfaces.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

TEST(WinInterfaces, ConvertersRaiseTheWindowsErrors) {
    EXPECT_EQ(gf_utf8ToUtf16(""), u"");
    EXPECT_EQ(gf_utf16ToUtf8(u""), "");
    EXPECT_EQ(gf_utf16ToUtf8(gf_utf8ToUtf16("Z\xC3\xBCrich \xE2\x9C\x88")), "Z\xC3\xBCrich \xE2\x9C\x88");
    try {
        gf_utf8ToUtf16("ab\xFF");
        FAIL() << "no exception";
    } catch (const win32::Utf8ConversionException& e) {
        EXPECT_EQ(e.ErrorCode(), 1113u);
        EXPECT_EQ(e.ConversionType(), 0u);
        EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence found in input string.");
    }
    try {
        gf_utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD801)));
        FAIL() << "no exception";
    } catch (const win32::Utf8ConversionException& e) {
        EXPECT_EQ(e.ErrorCode(), 1113u);
        EXPECT_EQ(e.ConversionType(), 1u);
        EXPECT_STREQ(e.what(), "Invalid UTF-16 sequence found in input string.");
        const win32::Utf8ConversionException copy = e;
        EXPECT_EQ(copy.ErrorCode(), 1113u);
    }
    EXPECT_STREQ(gf_inputTooLongError().what(), "Input string too long: size_t-length doesn't fit into int.");
}

TEST(WinInterfaces, Prepar3dInstallationFromTheRegistry) {
    test::TempDir dir;
    test::ScopedLog log;
    test::writeFile(dir / "reg.ini",
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n"
                    "SetupPath=/sims/p3d5\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\n"
                    "Other=1\n");
    test::ScopedEnv env("SKYHAVEN_REGISTRY", (dir / "reg.ini").string());
    EXPECT_TRUE(gf_isP3dInstalled(5));
    EXPECT_TRUE(gf_isP3dInstalled(6));
    EXPECT_FALSE(gf_isP3dInstalled(4));
    EXPECT_EQ(gf_p3dSetupPath(5), "/sims/p3d5");
    EXPECT_TRUE(gf_p3dSetupPath(6).empty());  // key without a SetupPath value
    EXPECT_TRUE(gf_p3dSetupPath(7).empty());

    test::writeFile(dir / "reg.ini",
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\nSetupPath=bad\xFF\n");
    EXPECT_TRUE(gf_p3dSetupPath(5).empty());
}

TEST(WinInterfaces, NoRegistryMeansNothingInstalled) {
    test::ScopedEnv env("SKYHAVEN_REGISTRY", std::nullopt);
    EXPECT_FALSE(gf_isP3dInstalled(5));
    EXPECT_FALSE(gf_isP3dInstalled(6));
    EXPECT_TRUE(gf_p3dSetupPath(5).empty());
    EXPECT_TRUE(gf_p3dSetupPath(6).empty());
}

TEST(WinInterfaces, AppDataFolderAndSettingsPath) {
    {
        test::ScopedEnv a("APPDATA", "/data/roaming");
        EXPECT_EQ(gf_appDataFolder(), "/data/roaming");
    }
    EXPECT_EQ(std::filesystem::path(g_parametersXmlPath), gf_appDataFolder() / "Skyhaven_P3D" / "parameters.xml");

    test::ScopedEnv a("APPDATA", std::nullopt);
    test::ScopedEnv x("XDG_CONFIG_HOME", std::nullopt);
    test::ScopedEnv h("HOME", std::nullopt);
    test::ScopedLog log;
    EXPECT_TRUE(gf_appDataFolder().empty());
    EXPECT_TRUE(gf_appDataFolderMissing());
    EXPECT_TRUE(log.contains("===> Could not find the AppData path"));
}

TEST(Constants, PathsAndPerCategoryTables) {
    EXPECT_EQ(g_dbaseEnc, std::filesystem::path("input") / "dbase.enc");
    EXPECT_EQ(g_incompleteSectionsReport, std::filesystem::path("output") / "errors" / "IncompleFltsimSections.txt");
    EXPECT_EQ(g_flareTicks.at(3), 450u);
    EXPECT_EQ(g_climbPitchTicks.at(2), 300u);
    EXPECT_DOUBLE_EQ(g_takeoffPitchDeg.at(5), -20.0);
    EXPECT_NEAR(g_groundTurnRate.at(0), 0.0026179939, 1e-10);
    EXPECT_THROW(g_touchdownTicks.at(6), std::out_of_range);
}

}  // namespace
}  // namespace skh
