// The tools' command lines as a user meets them: --help is an answer, a bad
// value is refused in one line that names the option and what it takes, the
// lowest and highest values are taken, and the trace tool's approach starts
// where the aircraft is first placed.
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
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        int status;
        const char* says;  // part of the output: the usage, or the one line of a refusal
    };
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
        // The last values taken, beside the first refused above.
        {"skyhaven-fake-rt",
         {"--tcp-port", "0", "--traffic-port", "1", "--qnh-port", "65535", "--duration", "0.1", "--qnh", "none"},
         0,
         "0 TCP connection(s)"},
        {"skyhaven-fake-sim", {"--seconds", "1", "--frames", "0"}, 0, "summary: 0 client(s)"},
        {"skyhaven-fake-sim", {"--seconds", "10000000", "--frames", "1000"}, 0, "summary: 0 client(s)"},
    };
    const test::TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        std::string line = c.tool;
        for (const std::string& a : c.args) line += " " + a;
        SCOPED_TRACE(line);
        const fs::path output = dir / ("out" + std::to_string(++n) + ".txt");
        EXPECT_EQ(test::runTool(c.tool, c.args, output), c.status);
        const std::string text = test::readFile(output);
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        if (c.status == 0 || c.says[0] == 'u') continue;
        EXPECT_EQ(text.rfind(std::string(c.tool) + ": ", 0), 0u) << text;
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
