#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/constants.hpp"
#include "support/dataset_builder.hpp"
#include "support/libraries.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

// Runs the program in `folder` with its settings under `appdata`; returns
// the exit status and the standard output.
int runProgram(const fs::path& folder, const fs::path& appdata, std::string& output) {
    const fs::path program = fs::path(SKYHAVEN_BINARY_DIR) / "Skyhaven_P3D";
    const fs::path out = folder / "stdout.txt";
    const std::string command = "cd '" + folder.string() + "' && APPDATA='" + appdata.string() +
                                "' SKYHAVEN_REGISTRY= SKYHAVEN_DOWNLOAD_URL=http://127.0.0.1:9/ '" + program.string() + "' > '" + out.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    output = test::readFile(out);
    fs::remove(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const char* kSmallDbase = R"(<?xml version="1.0"?>
<aircrafts><aircraft types="A320,B744"/></aircrafts><high_performance><hpf types="F16"/></high_performance>
<heavy><hvy types="B744"/></heavy><large><lar types="A320"/></large><buzjet><bzj types="GLF5"/></buzjet>
<rotorcraft><rot types="EC35"/></rotorcraft><cargo_types><cargo_type types="B744"/></cargo_types>
<ICAO_airlines><ICAO codes="DLH"/></ICAO_airlines><cargo_operators><ICAO codes="GEC"/></cargo_operators>
<publishers><pub names="Orbx,FTX"/></publishers><simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>
<dbase><db reg="D-AIPA" airl="DLH" type="A320"/><db reg="D-ABVM" airl="DLH" type="B744"/></dbase>)";

// A program folder: "docs" and the aircraft database.
void prepareProgramFolder(const fs::path& folder) {
    test::initLibraries();
    fs::create_directories(folder / "docs");
    test::packDataSet(kSmallDbase, folder / g_dbaseEnc);
}

TEST(Program, RefusesToRunOutsideItsFolder) {
    test::TempDir dir;
    std::string output;
    EXPECT_NE(runProgram(dir.path(), dir / "appdata", output), 0);
    EXPECT_NE(output.find("Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!"), std::string::npos);
    EXPECT_NE(test::readFile(dir / "Log.txt").find("Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!"),
              std::string::npos);
}

TEST(Program, StartsWritesItsSettingsAndKeepsOlderLogs) {
    test::TempDir dir;
    prepareProgramFolder(dir.path());
    std::string output;
    ASSERT_EQ(runProgram(dir.path(), dir / "appdata", output), 0) << output;
    const auto log = test::readLines(dir / "Log.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log[0].find(" (utc) Skyhaven_P3D version 11.3.0 for Prepar3D v5/v6"), std::string::npos);
    const fs::path settings = dir / "appdata" / "Skyhaven_P3D" / "parameters.xml";
    ASSERT_TRUE(fs::exists(settings));
    EXPECT_NE(test::readFile(dir / "Log.txt").find("not found, default values taken:"), std::string::npos);

    ASSERT_EQ(runProgram(dir.path(), dir / "appdata", output), 0) << output;
    ASSERT_EQ(runProgram(dir.path(), dir / "appdata", output), 0) << output;
    EXPECT_TRUE(fs::exists(dir / "Log0.txt"));
    EXPECT_TRUE(fs::exists(dir / "Log00.txt"));
    EXPECT_NE(test::readFile(dir / "Log.txt").find("from '" + settings.string() + "'"), std::string::npos);
    EXPECT_NE(test::readFile(dir / "Log00.txt").find("not found, default values taken:"), std::string::npos);
}

TEST(Program, CorruptSettingsAreKeptAsBackup) {
    test::TempDir dir;
    prepareProgramFolder(dir.path());
    test::writeFile(dir / "appdata" / "Skyhaven_P3D" / "parameters.xml", "<parameters><oops");
    std::string output;
    ASSERT_EQ(runProgram(dir.path(), dir / "appdata", output), 0) << output;
    EXPECT_EQ(test::readFile(dir / "appdata" / "Skyhaven_P3D" / "parameters0.xml"), "<parameters><oops");
}

TEST(Program, ReadsTheAircraftDatabaseAndLeavesNoPlainText) {
    test::TempDir dir;
    prepareProgramFolder(dir.path());
    std::string output;
    ASSERT_EQ(runProgram(dir.path(), dir / "appdata", output), 0) << output;
    const std::string log = test::readFile(dir / "Log.txt");
    EXPECT_NE(log.find("\n1 publishers read\n"), std::string::npos);
    EXPECT_NE(log.find("\n2 dbase records read\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / g_dbaseXml));
    for (const char* folder : {"output/info", "output/errors", "airports/learned/stock", "airports/my_ORBX",
                               "input/my_regcodes"}) {
        EXPECT_TRUE(fs::is_directory(dir / folder)) << folder;
    }
}

TEST(Program, MissingAircraftDatabaseStopsTheStart) {
    test::TempDir dir;
    fs::create_directory(dir / "docs");
    std::string output;
    EXPECT_NE(runProgram(dir.path(), dir / "appdata", output), 0);
    EXPECT_NE(output.find("Error " + g_dbaseEnc.string() + " not available"), std::string::npos) << output;
}

TEST(Program, UnwritableLogEndsWithStatusOne) {
    test::TempDir dir;
    fs::create_directory(dir / "docs");
    fs::create_directory(dir / "Log.txt");  // a folder where the log should go
    std::string output;
    EXPECT_EQ(runProgram(dir.path(), dir / "appdata", output), 1);
    EXPECT_NE(output.find("cannot open the log"), std::string::npos);
}

}  // namespace
}  // namespace skh
