// The tools' command lines as a user meets them: --help is an answer, a bad
// value, a repeated option, options that cannot work together and a fake
// simulator's script command it cannot run are refused at once in one line
// that begins with the tool's name, the lowest and highest values are taken,
// an empty replay ends as a finished one does, and the trace tool's approach
// starts where the aircraft is first placed. The test script answers --help
// and refuses what it does not take before it installs or builds anything;
// so does the demo with a runway list it cannot make Zurich's traffic from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/test_env.hpp"
#include "tool_runner.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

TEST(ToolOptions, HelpAnswersABadValueIsRefusedInOneLineAndTheLimitsAreTaken) {
    const test::TempDir dir;
    const std::string empty = (dir / "empty.txt").string();
    test::writeFile(empty, "# nothing to replay\n\n");
    // The test script alone: were it to start its work, it would stop at
    // once for want of the setup script beside it.
    const fs::path testScript = dir / "scripts" / "test.sh";
    fs::create_directories(testScript.parent_path());
    fs::copy_file(fs::path(SKYHAVEN_SOURCE_DIR) / "scripts" / "test.sh", testScript);
    const std::string script = testScript.string();
    struct Case {
        std::string tool;  // a tool's name, or a path
        std::vector<std::string> args;
        int status;
        const char* says;  // part of the output: the usage, or the one line of a refusal
        platform::EnvironmentChanges env = {};
    };
    const std::string pipes = (dir / "pipes").string();
    const std::string pipeLine = "pipe " + pipes + "/";
    const Case cases[] = {
        {"skyhaven-fake-rt", {"--help"}, 0, "usage: skyhaven-fake-rt"},
        {"skyhaven-fake-sim", {"-h"}, 0, "usage: skyhaven-fake-sim"},
        {"skyhaven-pack", {"--help"}, 0, "usage: skyhaven-pack"},
        {"skyhaven-trace", {"--help"}, 0, "usage: skyhaven-trace"},
        {"skyhaven-pack", {"in.xml"}, 2, "usage: skyhaven-pack"},
        {"skyhaven-fake-rt", {"--rate", "-3"}, 2, "--rate takes a number above 0 up to 1000000, not '-3'"},
        {"skyhaven-fake-rt", {"--rate", "0"}, 2, "--rate takes a number above 0 up to 1000000, not '0'"},
        {"skyhaven-fake-rt", {"--rate", "10x"}, 2, "--rate takes a number above 0 up to 1000000, not '10x'"},
        {"skyhaven-fake-rt", {"--rate", "nan"}, 2, "--rate takes a number above 0 up to 1000000, not 'nan'"},
        {"skyhaven-fake-rt", {"--speed", "inf"}, 2, "--speed takes a number above 0 up to 1000000, not 'inf'"},
        {"skyhaven-fake-rt", {"--duration", "0"}, 2, "--duration takes seconds above 0 up to 10000000, not '0'"},
        {"skyhaven-fake-rt", {"--duration", "1e400"}, 2, "--duration takes seconds above 0 up to 10000000"},
        {"skyhaven-fake-rt", {"--traffic-port", "70000"}, 2, "--traffic-port takes a port from 1 to 65535"},
        {"skyhaven-fake-rt", {"--qnh-port", "0"}, 2, "--qnh-port takes a port from 1 to 65535, not '0'"},
        {"skyhaven-fake-rt", {"--tcp-port", "-1"}, 2, "--tcp-port takes a port from 0 (no TCP link) to 65535"},
        {"skyhaven-fake-rt", {"--tcp-port", "80.5"}, 2, "--tcp-port takes a port from 0 (no TCP link) to 65535"},
        {"skyhaven-fake-rt", {"--reply", "maybe"}, 2, "--reply takes level2, level1, nolevel, malformed or none"},
        // A QNH that is no number would go out as a datagram that is not JSON.
        {"skyhaven-fake-rt", {"--qnh", "abc"}, 2, "--qnh takes a number or none, not 'abc'"},
        {"skyhaven-fake-rt", {"--qnh", "nan"}, 2, "--qnh takes a number or none, not 'nan'"},
        {"skyhaven-fake-rt", {"--qnh", "inf"}, 2, "--qnh takes a number or none, not 'inf'"},
        {"skyhaven-fake-rt", {"--qnh", ""}, 2, "--qnh takes a number or none, not ''"},
        {"skyhaven-fake-rt", {"--qnh", "1013,2"}, 2, "--qnh takes a number or none, not '1013,2'"},
        {"skyhaven-fake-rt", {"--qnh", "None"}, 2, "--qnh takes a number or none, not 'None'"},
        {"skyhaven-fake-rt", {"--rate"}, 2, "--rate needs a value"},
        {"skyhaven-fake-rt", {"--rates", "3"}, 2, "unknown option '--rates' (--help lists the options)"},
        {"skyhaven-trace", {"--after", "-5"}, 2, "--after takes seconds from 0 to 86400, not '-5'"},
        {"skyhaven-trace", {"--after", "5s"}, 2, "--after takes seconds from 0 to 86400, not '5s'"},
        {"skyhaven-trace", {"--park", "LSZH,95,8.5,1400"}, 2, "--park takes ICAO,LAT,LON,ELEV"},
        {"skyhaven-trace", {"--park", "LSZH,47.4,8.5,nan"}, 2, "--park takes ICAO,LAT,LON,ELEV"},
        {"skyhaven-trace", {"--scenario", "approach", "--out"}, 2, "--out needs a value"},
        {"skyhaven-trace", {"--scenario", "approach", "--fast"}, 2, "unknown option '--fast'"},
        {"skyhaven-fake-sim",
         {"--frames", "-1"},
         2,
         "--frames takes frames per second from 0 (none) to 1000, not '-1'"},
        {"skyhaven-fake-sim", {"--frames", "1e9"}, 2, "--frames takes frames per second from 0 (none) to 1000"},
        {"skyhaven-fake-sim", {"--seconds", "-1"}, 2, "--seconds takes whole seconds from 1 to 10000000, not '-1'"},
        {"skyhaven-fake-sim", {"--seconds", "0"}, 2, "--seconds takes whole seconds from 1 to 10000000, not '0'"},
        {"skyhaven-fake-sim", {"--seconds", "1.5"}, 2, "--seconds takes whole seconds from 1 to 10000000"},
        {"skyhaven-fake-sim", {"--seconds", "99999999999999999999"}, 2, "--seconds takes whole seconds"},
        {"skyhaven-fake-sim", {"--elevation", "high"}, 2, "--elevation takes feet from -1500 to 30000, not 'high'"},
        {"skyhaven-fake-sim", {"--script"}, 2, "--script needs a value"},
        {"skyhaven-fake-sim", {"--frame", "30"}, 2, "unknown option '--frame'"},
        // No way left for a client to reach it.
        {"skyhaven-fake-sim", {"--no-ipv4"}, 2, "--no-ipv4 needs --ipv6 or --pipe: nothing else serves"},
        {"skyhaven-fake-sim", {"--no-ipv4", "--seconds", "1"}, 2, "--no-ipv4 needs --ipv6 or --pipe"},
        {"skyhaven-pack", {"--bogus"}, 2, "skyhaven-pack: unknown option '--bogus' (--help lists the options)"},
        {script, {"--help"}, 0, "usage: scripts/test.sh [-h | --help]"},
        {script, {"-h"}, 0, "usage: scripts/test.sh"},
        {script, {"--bogus"}, 2, "test.sh: unknown argument '--bogus' (it takes none; --help says what it does)"},
        // Options that cannot work together, or given twice.
        {"skyhaven-trace", {"--scenario", "approach", "--stream", "x.csv"}, 2, "--stream cannot go with --scenario"},
        {"skyhaven-trace", {"--runways", "r.csv", "--scenario", "approach"}, 2, "--scenario cannot go with --runways"},
        {"skyhaven-trace",
         {"--scenario", "approach", "--scenario", "turns"},
         2,
         "--scenario is given twice; it takes one value"},
        {"skyhaven-trace", {"--stream", "x.csv", "--out", "a", "--out", "b"}, 2, "--out is given twice"},
        {"skyhaven-trace", {"--scenario", "approach", "--type", "C172"}, 2, "--type needs --stream"},
        {"skyhaven-trace", {"--stream", "x.csv", "--departure"}, 2, "--departure needs --runways"},
        {"skyhaven-trace", {"--runways", "r.csv", "--airport", "LSZH"}, 2, "--runways needs --runway"},
        {"skyhaven-trace",
         {"--scenario", "nowhere"},
         2,
         "--scenario takes a scenario that --list names, not 'nowhere'"},
        {"skyhaven-fake-rt", {"--replay", empty, "--rate", "5", "--speed", "1"}, 2, "--speed cannot go with --rate"},
        {"skyhaven-fake-rt", {"--rate", "5"}, 2, "--rate needs --replay"},
        {"skyhaven-fake-rt", {"--loop"}, 2, "--loop needs --replay"},
        {"skyhaven-fake-rt", {"--qnh", "1000", "--qnh", "1010"}, 2, "--qnh is given twice; it takes one value"},
        {"skyhaven-fake-rt", {"--tcp-port", "0", "--reply", "none"}, 2, "--reply needs a TCP link (not --tcp-port 0)"},
        {"skyhaven-fake-sim", {"--frames", "30", "--frames", "40"}, 2, "--frames is given twice; it takes one value"},
        {"skyhaven-fake-sim", {"--script", "exit", "--script", "exit"}, 2, "--script is given twice"},
        {"skyhaven-fake-sim", {"--trace", "--trace-all"}, 2, "--trace-all cannot go with --trace"},
        // A script command the fake cannot run: refused before it serves.
        {"skyhaven-fake-sim", {"--script", "bogus"}, 2, "--script: 'bogus' is not a command; 'help' lists them"},
        {"skyhaven-fake-sim",
         {"--script", "wait-client; user 147 8"},
         2,
         "--script: 'user 147 8': user takes LAT LON [ALT_FT] (latitude -90 to 90, longitude -180 to 180, feet "
         "-1500 to 100000)"},
        {"skyhaven-fake-sim", {"--script", "user 90.001 0"}, 2, "'user 90.001 0': user takes"},
        {"skyhaven-fake-sim", {"--script", "user -90.001 0"}, 2, "'user -90.001 0': user takes"},
        {"skyhaven-fake-sim", {"--script", "user 0 180.001"}, 2, "'user 0 180.001': user takes"},
        {"skyhaven-fake-sim", {"--script", "user 0 0 100001"}, 2, "'user 0 0 100001': user takes"},
        {"skyhaven-fake-sim", {"--script", "user 0 0 -1501"}, 2, "'user 0 0 -1501': user takes"},
        {"skyhaven-fake-sim", {"--script", "route 2001 1,1"}, 2, "'route 2001 1,1': route takes KT LAT,LON"},
        {"skyhaven-fake-sim", {"--script", "route 300 1,1 91,1"}, 2, "'route 300 1,1 91,1': route takes"},
        {"skyhaven-fake-sim", {"--script", "teleport 10801"}, 2, "'teleport 10801': teleport takes NM [BEARING]"},
        {"skyhaven-fake-sim", {"--script", "teleport 1 361"}, 2, "'teleport 1 361': teleport takes"},
        {"skyhaven-fake-sim", {"--script", "elevation 30001"}, 2, "'elevation 30001': elevation takes FT"},
        {"skyhaven-fake-sim", {"--script", "garbage 65537"}, 2, "'garbage 65537': garbage takes [N]"},
        {"skyhaven-fake-sim", {"--script", "wait -1"}, 2, "'wait -1': wait takes SECONDS"},
        {"skyhaven-fake-sim", {"--script", "sim maybe"}, 2, "'sim maybe': sim takes on or off"},
        // The last values taken, beside the first refused above.
        {"skyhaven-fake-rt",
         {"--tcp-port", "0", "--traffic-port", "1", "--qnh-port", "65535", "--duration", "0.1", "--qnh", "none"},
         0,
         "0 TCP connection(s)"},
        {"skyhaven-fake-sim", {"--seconds", "1", "--frames", "0"}, 0, "summary: 0 client(s)"},
        {"skyhaven-fake-sim",
         {"--no-ipv4", "--pipe", "--seconds", "1", "--frames", "0"},
         0,
         pipeLine.c_str(),
         {{"SKYHAVEN_PIPE_DIR", pipes}}},
        {"skyhaven-fake-rt",
         {"--tcp-port", "0", "--qnh-port", "65535", "--duration", "0.1", "--qnh", "1013.2"},
         0,
         "1 QNH datagram(s)"},
        {"skyhaven-fake-sim", {"--seconds", "10000000", "--frames", "1000"}, 0, "summary: 0 client(s)"},
        {"skyhaven-fake-sim",
         {"--frames", "0", "--script",
          "user -90 180 -1500; user 0 0 100000; route 2000 90,-180 -90,180,-1500; teleport 10800 360; "
          "elevation 30000; elevation -1500; garbage 65536; wait 0; exit"},
         0,
         "user at 0 0 100000 ft\nuser follows 2 points at 2000 kt\nuser teleported 10800 nm towards 360\n"
         "terrain at 30000 ft\nterrain at -1500 ft\n65536 garbage bytes sent\nexit\n"},
        // An empty replay ends as a finished one does, looped or not.
        {"skyhaven-fake-rt", {"--replay", empty, "--tcp-port", "0", "--qnh", "none"}, 0, "sent 0 traffic line(s)"},
        {"skyhaven-fake-rt",
         {"--replay", empty, "--loop", "--rate", "1000000", "--tcp-port", "0", "--qnh", "none"},
         0,
         "sent 0 traffic line(s)"},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string line = c.tool;
        for (const std::string& a : c.args) line += " " + a;
        SCOPED_TRACE(line);
        const fs::path output = dir / ("out" + std::to_string(++n) + ".txt");
        EXPECT_EQ(test::runTool(c.tool, c.args, output, c.env), c.status);
        const std::string text = test::readFile(output);
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        if (c.status == 0 || c.says[0] == 'u') continue;
        EXPECT_EQ(text.rfind(fs::path(c.tool).filename().string() + ": ", 0), 0u) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;  // one line
    }
}

// What a folder holds, each file with its bytes.
std::string listing(const fs::path& folder) {
    std::string out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
        out += e.path().lexically_relative(folder).string();
        out += e.is_regular_file() ? ": " + test::readFile(e.path()) + "\n" : "/\n";
    }
    return out;
}

TEST(ToolOptions, TheDemoRefusesARunwayListWithoutZurichsRunwaysBeforeItSetsUpBuildsOrRemovesAnything) {
    const test::TempDir dir;
    // The demo with the script that makes its traffic from the runways; a
    // setup script in place of the real one marks where the work begins.
    const fs::path project = dir / "project";
    fs::create_directories(project / "scripts");
    for (const char* name : {"demo.sh", "demo_traffic.py"})
        fs::copy_file(fs::path(SKYHAVEN_SOURCE_DIR) / "scripts" / name, project / "scripts" / name);
    test::writeFile(project / "scripts" / "setup.sh", "#!/bin/sh\necho setup begins\nexit 3\n");
    fs::permissions(project / "scripts" / "setup.sh", fs::perms::owner_exec, fs::perm_options::add);
    // What the last run left, which a refused run keeps as it was.
    const fs::path demo = project / "build" / "demo";
    for (const char* name : {"program.txt", "fake-sim.txt", "fake-rt.txt", "appdata/Skyhaven_P3D/parameters.xml"}) {
        fs::create_directories((demo / name).parent_path());
        test::writeFile(demo / name, std::string("the last run's ") + name + "\n");
    }
    const std::string before = listing(project / "build");

    const std::string header =
        R"("id","airport_ref","airport_ident","length_ft","width_ft","surface","lighted","closed","le_ident",)"
        R"("le_latitude_deg","le_longitude_deg","le_elevation_ft","le_heading_degT","le_displaced_threshold_ft",)"
        R"("he_ident","he_latitude_deg","he_longitude_deg","he_elevation_ft","he_heading_degT",)"
        R"("he_displaced_threshold_ft")"
        "\n";
    // Zurich's runway 14/32, LENGTH feet long, closed or not.
    const auto lszh = [](const char* length, const char* closed = "0") {
        return std::string(R"(239121,4505,"LSZH",)") + length + R"(,197,"CON",1,)" + closed +
               R"(,"14",47.483101,8.53473,1402,137,492,"32",47.4613,8.56446,1402,317,)" + "\n";
    };
    fs::create_directories(dir / "folder");
    struct Case {
        fs::path runways;
        std::optional<std::string> bytes;  // written to `runways` first
        int status;
        std::string says;  // part of the output; after the file's name when it begins with ':'
    };
    const Case cases[] = {
        {dir / "columns.csv", "ident,name,length_ft\nLSZH,Zurich,10827\n", 1,
         ": not the world's runway list: its header has no airport_ident, closed, le_ident, le_latitude_deg"},
        {dir / "one-column-less.csv",
         header.substr(0, header.find(R"("he_elevation_ft",)")) + header.substr(header.find(R"("he_heading_degT")")) +
             lszh("10827"),
         1, ": not the world's runway list: its header has no he_elevation_ft ("},
        {dir / "no-zurich.csv",
         header + R"(234567,2212,"EDDF",13123,197,"CON",1,0,"07C",50.03,8.53,364,69,,"25C",50.04,8.58,328,249,)"
                  "\n",
         1, ": holds no runway of LSZH that airliners use (5000 ft or longer, both ends and an elevation known)"},
        {dir / "zurich-short.csv", header + lszh("4999"), 1, ": holds no runway of LSZH that airliners use"},
        {dir / "zurich-closed.csv", header + lszh("10827", "1"), 1, ": holds no runway of LSZH that airliners use"},
        {dir / "empty.csv", "", 1, ": not the world's runway list: it is empty"},
        {dir / "latin1.csv", header + "1,2,\"Z\xfcrich\"\n", 1, ": not the world's runway list: not UTF-8 text"},
        {dir / "folder", std::nullopt, 1, "RUNWAYS_CSV names no file: '"},
        // Taken: the demo goes on to its setup.
        {dir / "zurich.csv", header + lszh("5000"), 3, "setup begins"},
        {fs::path(SKYHAVEN_SOURCE_DIR) / "../shared/testdata/world/runways.csv", std::nullopt, 3, "setup begins"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runways.string());
        if (c.bytes) test::writeFile(c.runways, *c.bytes);
        if (!fs::exists(c.runways)) {
            if (std::getenv("SKYHAVEN_TESTDATA_REQUIRED") != nullptr) ADD_FAILURE() << c.runways << " is missing";
            continue;
        }
        const fs::path output = dir / (c.runways.filename().string() + ".txt");
        EXPECT_EQ(test::runTool((project / "scripts" / "demo.sh").string(), {}, output,
                                {{"RUNWAYS_CSV", c.runways.string()}, {"DEMO_BUILD", ""}, {"DEMO_MINUTES", ""}}),
                  c.status);
        const std::string text = test::readFile(output);
        EXPECT_EQ(listing(project / "build"), before);
        if (c.status != 1) {
            EXPECT_NE(text.find(c.says), std::string::npos) << text;
            continue;
        }
        const std::string named = c.says.rfind(':', 0) == 0 ? c.runways.string() + c.says : c.says;
        EXPECT_NE(text.find(named), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;  // one line
    }
}

TEST(ToolOptions, TheTracesBuiltInApproachIsLszh14FromTheAircraftsFirstPosition) {
    const test::TempDir dir;
    ASSERT_EQ(test::runTool("skyhaven-trace", {"--list"}, dir / "list.txt"), 0);
    EXPECT_NE(test::readFile(dir / "list.txt").find("approach "), std::string::npos);
    EXPECT_NE(test::readFile(dir / "list.txt").find("LSZH 14"), std::string::npos) << test::readFile(dir / "list.txt");

    ASSERT_EQ(test::runTool("skyhaven-trace", {"--scenario", "approach", "--out", (dir / "approach.csv").string()},
                            dir / "approach.txt"),
              0)
        << test::readFile(dir / "approach.txt");
    const std::vector<std::string> rows = test::readLines(dir / "approach.csv");
    ASSERT_GT(rows.size(), 100u);
    EXPECT_EQ(rows[0].rfind("tick,lat,lon,", 0), 0u);
    // Every row has a position: none at 0,0 waiting to be born.
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].find(",0.00000000,0.00000000,"), std::string::npos) << rows[i];
        ASSERT_EQ(rows[i].find(",birth,"), std::string::npos) << rows[i];
    }

    const fs::path runways = fs::path(SKYHAVEN_SOURCE_DIR) / "../shared/testdata/world/runways.csv";
    if (!fs::exists(runways)) {
        if (std::getenv("SKYHAVEN_TESTDATA_REQUIRED") != nullptr) ADD_FAILURE() << runways << " is missing";
        return;
    }
    ASSERT_EQ(test::runTool("skyhaven-trace",
                            {"--runways", runways.string(), "--airport", "LSZH", "--runway", "14", "--out",
                             (dir / "lszh14.csv").string()},
                            dir / "lszh14.txt"),
              0)
        << test::readFile(dir / "lszh14.txt");
    EXPECT_TRUE(test::readFile(dir / "lszh14.csv") == test::readFile(dir / "approach.csv"));
}

}  // namespace
}  // namespace skh
