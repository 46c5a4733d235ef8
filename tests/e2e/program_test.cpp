#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "program_fixture.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using test::ProgramProcess;
using test::ProgramWorld;

TEST(Program, OutsideItsFolderShowsError41UntilClosed) {
    ProgramWorld world;
    ProgramProcess program(world.folder(), world.environment());
    ASSERT_TRUE(program.waitForLog("Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!\n"));
    EXPECT_FALSE(program.wait(300));  // it waits for the user to close the window
    EXPECT_EQ(program.close(), 0);
    EXPECT_NE(program.log().find("Exiting: SYSTEM ERROR\n"), std::string::npos);
    EXPECT_NE(program.log().find("User closed Skyhaven_P3D\n"), std::string::npos);
    EXPECT_NE(program.output().find("Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!"),
              std::string::npos);
}

TEST(Program, SecondInstanceReturnsMinusOneAtOnce) {
    ProgramWorld world;
    ProgramProcess first(world.folder(), world.environment());
    ASSERT_TRUE(first.waitForLog("Error 41"));
    ProgramProcess second(world.folder(), world.environment());
    EXPECT_EQ(second.wait(), 255);
    EXPECT_FALSE(fs::exists(world.folder() / "Log0.txt"));  // the second copy did not touch the log
    EXPECT_EQ(first.close(), 0);
}

TEST(Program, StartsWritesItsSettingsAndKeepsOlderLogs) {
    ProgramWorld world;
    world.prepareProgramFolder();
    for (int run = 0; run < 3; ++run) {
        ProgramProcess program(world.folder(), world.environment());
        // No simulator installed on this machine: the user is asked for its path.
        ASSERT_TRUE(program.waitForOutput("Error 151: No P3D install path detected"));
        ASSERT_EQ(program.close(), 0);
    }
    const auto log = test::readLines(world.folder() / "Log.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log[0].find(" (utc) Skyhaven_P3D version 11.3.0 for Prepar3D v5/v6"), std::string::npos);
    ASSERT_TRUE(fs::exists(world.settingsFile()));
    EXPECT_TRUE(fs::exists(world.folder() / "Log0.txt"));
    EXPECT_TRUE(fs::exists(world.folder() / "Log00.txt"));
    EXPECT_NE(test::readFile(world.folder() / "Log.txt").find("from '" + world.settingsFile().string() + "'"),
              std::string::npos);
    EXPECT_NE(test::readFile(world.folder() / "Log00.txt").find("not found, default values taken:"), std::string::npos);
    const std::string text = test::readFile(world.folder() / "Log.txt");
    EXPECT_NE(text.find("\n2 dbase records read\n"), std::string::npos);
    EXPECT_NE(text.find("\n1 airports read\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(world.folder() / g_dbaseXml));
    EXPECT_FALSE(fs::exists(world.folder() / g_airportsXml));
    for (const char* folder :
         {"output/info", "output/errors", "airports/learned/stock", "airports/my_ORBX", "input/my_regcodes"}) {
        EXPECT_TRUE(fs::is_directory(world.folder() / folder)) << folder;
    }
    // The window position was saved at the exit.
    EXPECT_NE(test::readFile(world.settingsFile()).find(R"(name="MAIN_WINDOW_X" value="400")"), std::string::npos);
}

TEST(Program, CorruptSettingsAreKeptAsBackup) {
    ProgramWorld world;
    world.prepareProgramFolder();
    test::writeFile(world.settingsFile(), "<parameters><oops");
    ProgramProcess program(world.folder(), world.environment());
    ASSERT_TRUE(program.waitForLog("Error 151"));
    EXPECT_EQ(program.close(), 0);
    EXPECT_EQ(test::readFile(world.settingsFile().parent_path() / "parameters0.xml"), "<parameters><oops");
}

TEST(Program, DamagedAirportListIsError88) {
    ProgramWorld world;
    world.prepareProgramFolder();
    test::packDataSet("<airfields/>", world.folder() / g_airportsEnc);
    ProgramProcess program(world.folder(), world.environment());
    ASSERT_TRUE(program.waitForLog("Error 88: Missing <airports> root in: input/airports.xml\n"));
    EXPECT_EQ(program.close(), 0);
    EXPECT_FALSE(fs::exists(world.folder() / g_airportsXml));
}

TEST(Program, UnwritableLogEndsWithStatusOne) {
    ProgramWorld world;
    fs::create_directory(world.folder() / "docs");
    fs::create_directory(world.folder() / "Log.txt");  // a folder where the log should go
    ProgramProcess program(world.folder(), world.environment());
    EXPECT_EQ(program.wait(), 1);
    EXPECT_NE(program.output().find("cannot open the log"), std::string::npos);
}

}  // namespace
}  // namespace skh
