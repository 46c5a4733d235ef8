#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "program_fixture.hpp"
#include "support/xvfb.hpp"

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
    EXPECT_EQ(program.close(), 1);
    EXPECT_NE(program.log().find("Exiting: SYSTEM ERROR\n"), std::string::npos);
    EXPECT_NE(program.log().find("User closed Skyhaven_P3D\n"), std::string::npos);
    EXPECT_NE(program.output().find("Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!"),
              std::string::npos);
}

TEST(Program, SecondInstanceReturnsMinusOneAtOnce) {
    for (const bool sharedTemp : {false, true}) {
        SCOPED_TRACE(sharedTemp ? "lock in the shared temp folder" : "lock in SKYHAVEN_LOCK_DIR");
        ProgramWorld world;
        auto env = world.environment();
        if (sharedTemp) {
            fs::create_directories(world.path("temp"));
            env.emplace_back("SKYHAVEN_LOCK_DIR", "");
            env.emplace_back("XDG_RUNTIME_DIR", "");
            env.emplace_back("TMPDIR", world.path("temp").string());
        }
        ProgramProcess first(world.folder(), env);
        ASSERT_TRUE(first.waitForLog("Error 41"));
        ProgramProcess second(world.folder(), env);
        EXPECT_EQ(second.wait(), 255);
        EXPECT_EQ(second.output(), "");
        EXPECT_FALSE(fs::exists(world.folder() / "Log0.txt"));  // the second copy did not touch the log
        EXPECT_EQ(first.close(), 1);
        if (sharedTemp) {
            EXPECT_TRUE(
                fs::exists(world.path("temp") / ("Local_$Skyhaven_P3D$." + std::to_string(::getuid()) + ".lock")));
        }
    }
}

// A lock that cannot be taken for another reason than a first copy ends the
// start at once with status 1 and a line that names the file and the reason.
TEST(Program, ALockThatCannotBeTakenEndsWithOneLineThatSaysWhy) {
    struct Case {
        const char* label;
        const char* folder;  // SKYHAVEN_LOCK_DIR in the world
        const char* reason;
    };
    const Case cases[] = {
        {"folder missing", "missing", "No such file or directory"},
        {"folder is a file", "a file", "Not a directory"},
        {"lock file is a folder", "locks", "Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramWorld world;
        test::writeFile(world.path("a file"), "");
        fs::create_directories(world.path("locks") / "Local_$Skyhaven_P3D$.lock");
        auto env = world.environment();
        env.emplace_back("SKYHAVEN_LOCK_DIR", world.path(c.folder).string());
        ProgramProcess program(world.folder(), env);
        EXPECT_EQ(program.wait(), 1);
        EXPECT_EQ(program.output(), "Skyhaven_P3D: cannot take the single-instance lock " +
                                        (world.path(c.folder) / "Local_$Skyhaven_P3D$.lock").string() + ": " +
                                        c.reason + "\n");
        EXPECT_FALSE(fs::exists(world.folder() / "Log.txt"));
    }
}

TEST(Program, StartsWritesItsSettingsAndKeepsOlderLogs) {
    ProgramWorld world;
    world.prepareProgramFolder();
    for (int run = 0; run < 3; ++run) {
        ProgramProcess program(world.folder(), world.environment());
        // No simulator installed on this machine: the user is asked for its path.
        ASSERT_TRUE(program.waitForOutput("Error 151: No P3D install path detected"));
        ASSERT_EQ(program.close(), 1);
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

// How often `part` occurs in `text`.
std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

constexpr const char* kNoWindowLine = "No window to type the install path into: give it as SIM_INSTALL_PATH in ";

TEST(Program, WithoutAWindowTheInstallPathErrorsSayOnceWhereThePathCanBeGiven) {
    const std::string v5 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\nSetupPath=";
    const std::string v6 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\nSetupPath=E:\\P3D v6\n";
    struct Case {
        const char* label;
        std::string registry;  // "<none>": no registry stand-in file
        const char* error;
        const char* where;  // what the console line says of the registry stand-in
    };
    const Case cases[] = {
        {"no registry stand-in", "<none>", "Error 151: No P3D install path detected",
         "or as SetupPath of the key [HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5] (or v6) in the "
         "registry stand-in "},
        {"v5 without its path", v5 + "\n", "Error 151: No P3D install path detected",
         "or as SetupPath of the key [HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5] (or v6) in the "
         "registry stand-in "},
        {"v5 and v6", v5 + "D:\\P3D v5\n" + v6, "Error 153: More than one P3D version detected",
         "or keep the key of one Prepar3D version only in the registry stand-in "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramWorld world;
        world.prepareProgramFolder();
        if (c.registry != "<none>") test::writeFile(world.path("registry.ini"), c.registry);
        const std::string registryText = c.registry == "<none>"
                                             ? std::string("(none: SKYHAVEN_REGISTRY names its file)")
                                             : world.path("registry.ini").string();
        auto env = world.environment();
        if (c.registry == "<none>") env.emplace_back("SKYHAVEN_REGISTRY", "");
        ProgramProcess program(world.folder(), env);
        ASSERT_TRUE(program.waitForOutput(kNoWindowLine));
        ASSERT_EQ(program.close(), 1);
        const std::string output = program.output();
        EXPECT_EQ(occurrences(output, kNoWindowLine), 1u) << output;
        EXPECT_NE(output.find(std::string(kNoWindowLine) + world.settingsFile().string() + ", " + c.where +
                              registryText + "; then start Skyhaven_P3D again (Ctrl-C closes it)\n"),
                  std::string::npos)
            << output;
        // The error line is the same as with a window, and comes first.
        EXPECT_LT(output.find(c.error), output.find(kNoWindowLine)) << output;
    }

    // Given there, the path is taken: the start goes on past the detection.
    ProgramWorld world;
    world.prepareProgramFolder();
    fs::create_directories(world.path("P3D v5"));
    world.writeGoodSettings();
    ProgramProcess program(world.folder(), world.environment());
    ASSERT_TRUE(program.waitForLog("Waiting for Prepar3Dv5 ..."));
    ASSERT_EQ(program.close(), 0);
    EXPECT_EQ(program.log().find("Error 15"), std::string::npos) << program.log();
    EXPECT_EQ(program.output().find(kNoWindowLine), std::string::npos) << program.output();
}

TEST(Program, WithAWindowTheInstallPathErrorWaitsForTheWindowSilently) {
    test::XvfbDisplay display;
    if (!display.failure().empty()) GTEST_SKIP() << "No FLTK window test: " << display.failure();
    ProgramWorld world;
    world.prepareProgramFolder();
    auto env = world.environment();
    env.emplace_back("SKYHAVEN_HEADLESS", "");  // the window on the virtual display
    ProgramProcess program(world.folder(), env);
    ASSERT_TRUE(program.waitForOutput("Error 151: No P3D install path detected"));
    ASSERT_EQ(program.close(), 1);
    EXPECT_EQ(program.output().find(kNoWindowLine), std::string::npos) << program.output();
    EXPECT_EQ(program.log().find("No display for the main window"), std::string::npos) << program.log();
}

TEST(Program, CorruptSettingsAreKeptAsBackup) {
    ProgramWorld world;
    world.prepareProgramFolder();
    test::writeFile(world.settingsFile(), "<parameters><oops");
    ProgramProcess program(world.folder(), world.environment());
    ASSERT_TRUE(program.waitForLog("Error 151"));
    EXPECT_EQ(program.close(), 1);
    EXPECT_EQ(test::readFile(world.settingsFile().parent_path() / "parameters0.xml"), "<parameters><oops");
}

TEST(Program, DamagedAirportListIsError88) {
    ProgramWorld world;
    world.prepareProgramFolder();
    test::packDataSet("<airfields/>", world.folder() / g_airportsEnc);
    ProgramProcess program(world.folder(), world.environment());
    ASSERT_TRUE(program.waitForLog("Error 88: Missing <airports> root in: input/airports.xml\n"));
    EXPECT_EQ(program.close(), 1);
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

constexpr const char* kCloseLine = "Skyhaven_P3D waits to be closed after this error (Ctrl-C closes it)\n";

// After a fatal error the program waits for the user and ends with status 1
// however it is closed; a run that nothing failed ends with 0. Without a
// window the error line ends and the next line says how to close it (error
// 151's own line says so already).
TEST(Program, AFatalErrorEndsWithStatusOneWithOrWithoutAWindow) {
    const auto prepared = [](const ProgramWorld& world) { world.prepareProgramFolder(); };
    struct Case {
        const char* label;
        std::function<void(const ProgramWorld&)> prepare;
        std::string error;  // the error line on the console; empty: none
        int status;
    };
    const Case cases[] = {
        {"not its folder", [](const ProgramWorld&) {},
         "Error 41: Skyhaven_P3D must be run from the Skyhaven_P3D folder!\n", 1},
        {"no dbase.enc",
         [](const ProgramWorld& world) {
             world.prepareProgramFolder();
             fs::remove(world.folder() / g_dbaseEnc);
         },
         "Error " + g_dbaseEnc.string() + " not available\n", 1},
        {"no install path", prepared,
         "Error 151: No P3D install path detected, type full Install Path above, and press Enter\n", 1},
        {"nothing fails",
         [](const ProgramWorld& world) {
             world.prepareProgramFolder();
             world.writeGoodSettings();
         },
         "", 0},
    };
    test::XvfbDisplay display;
    for (const bool window : {false, true}) {
        if (window && !display.failure().empty()) {
            std::printf("No FLTK window cases: %s\n", display.failure().c_str());
            continue;
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.label) + (window ? ", with a window" : ", without a window"));
            ProgramWorld world;
            c.prepare(world);
            auto env = world.environment();
            if (window) env.emplace_back("SKYHAVEN_HEADLESS", "");
            ProgramProcess program(world.folder(), env);
            ASSERT_TRUE(program.waitForOutput(c.error.empty() ? "Waiting for Prepar3Dv5 ..." : c.error));
            EXPECT_EQ(program.close(), c.status);
            const std::string output = program.output();
            const bool ownLine = !window && !c.error.empty() && c.error.find("Error 151") == std::string::npos;
            EXPECT_EQ(occurrences(output, kCloseLine), ownLine ? 1u : 0u) << output;
            if (ownLine) {
                EXPECT_NE(output.find(c.error + kCloseLine), std::string::npos) << output;
            }
            if (c.status == 0) {
                EXPECT_EQ(output.find("Error"), std::string::npos) << output;
            }
        }
    }

    // A settings folder that cannot be made ends the program at once.
    ProgramWorld world;
    world.prepareProgramFolder();
    test::writeFile(world.path("appdata"), "a file where the settings folder should go");
    ProgramProcess program(world.folder(), world.environment());
    EXPECT_EQ(program.wait(), 1);
    EXPECT_NE(program.output().find("Skyhaven_P3D: Failed to create directory: "), std::string::npos)
        << program.output();
}

}  // namespace
}  // namespace skh
