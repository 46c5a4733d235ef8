// What the trace tool says when it cannot fly what it was given: the file it
// cannot read by name, a type the flight lab does not know with the types it
// does, a stream without samples, every message after the tool's name, and
// no figure where the trace has none instead of a placeholder. Every
// scenario runs at a set weekday and half-hour, so the stand learning it
// drives has a time to file what it sees.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_env.hpp"
#include "tool_runner.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

TEST(TraceTool, NamesWhatItCannotFlyAndGivesNoPlaceholderFigures) {
    const test::TempDir dir;
    const std::string stream = (dir / "stream.csv").string();
    std::string lines = "seconds,lat,lon,alt,gs,track,vs\n";
    for (int i = 0; i < 8; ++i)
        lines += std::to_string(i * 5) + "," + std::to_string(47.3 + i * 0.005) + ",8.5,5000,200,0,0\n";
    test::writeFile(stream, lines);
    const std::string badLine = (dir / "bad-line.csv").string();
    test::writeFile(badLine, lines + "40,north,8.5,5000,200,0,0\n");
    const std::string noSamples = (dir / "no-samples.csv").string();
    test::writeFile(noSamples, "seconds,lat,lon,alt,gs,track,vs\n# nothing flown\n");
    test::writeFile(dir / "runways.csv", "airport_ident,le_ident\n");
    fs::create_directories(dir / "folder.csv");
    const std::string out = (dir / "trace.csv").string();
    struct Case {
        const char* label;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> says;  // parts of what it writes on standard error
        const char* never;              // a text it must not write
    };
    const std::string missing = (dir / "missing.csv").string();
    const Case cases[] = {
        {"a type the lab does not know",
         {"--stream", stream, "--type", "B738", "--out", out},
         2,
         {"skyhaven-trace: --type takes a type the flight lab knows (A320, B744, CRJ9, C172, EC35, F16), not "
          "'B738'\n"},
         "targets"},
        {"a type it knows", {"--stream", stream, "--type", "C172", "--out", out}, 0, {"over 7 targets"}, "no figure"},
        {"a line it cannot read",
         {"--stream", badLine, "--out", out},
         0,
         {"skyhaven-trace: 1 line(s) of the stream skipped\n", "over 7 targets"},
         "no figure"},
        {"a stream without samples",
         {"--stream", noSamples, "--out", out},
         1,
         {"skyhaven-trace: no samples in " + noSamples + "\n"},
         "targets"},
        {"no stream file",
         {"--stream", missing, "--out", out},
         1,
         {"skyhaven-trace: cannot read the stream " + missing + ": no such file\n"},
         "targets"},
        {"no runway list",
         {"--runways", missing, "--airport", "LSZH", "--runway", "14", "--out", out},
         1,
         {"skyhaven-trace: cannot read the runway list " + missing + ": no such file\n"},
         "not found"},
        {"a folder for the runway list",
         {"--runways", (dir / "folder.csv").string(), "--airport", "LSZH", "--runway", "14", "--out", out},
         1,
         {"folder.csv: a folder, not a file\n"},
         "not found"},
        {"a runway list without the runway",
         {"--runways", (dir / "runways.csv").string(), "--airport", "LSZH", "--runway", "14", "--out", out},
         1,
         {"skyhaven-trace: runway LSZH 14 not found with its geometry in " + (dir / "runways.csv").string() + "\n"},
         "targets"},
        {"a push-back, never airborne",
         {"--scenario", "pushback-straight", "--out", out},
         0,
         {"lowest above terrain + CG: no figure (never airborne)", "slowest sample: "},
         "1000000000"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const fs::path errors = dir / ("errors" + std::to_string(++n) + ".txt");
        EXPECT_EQ(test::runTool("skyhaven-trace", c.args, errors), c.status);
        const std::string text = test::readFile(errors);
        for (const std::string& part : c.says) EXPECT_NE(text.find(part), std::string::npos) << text;
        EXPECT_EQ(text.find(c.never), std::string::npos) << text;
    }
}

TEST(TraceTool, EveryScenarioRunsAtASetWeekdayAndHalfHour) {
    const test::TempDir dir;
    ASSERT_EQ(test::runTool("skyhaven-trace", {"--list"}, dir / "list.txt"), 0);
    std::vector<std::string> names;
    for (const std::string& line : test::readLines(dir / "list.txt")) names.push_back(line.substr(0, line.find(' ')));
    ASSERT_GE(names.size(), 8u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const fs::path log = dir / (name + ".log");
        EXPECT_EQ(test::runTool("skyhaven-trace",
                                {"--scenario", name, "--log", log.string(), "--out", (dir / "trace.csv").string()},
                                dir / "errors.txt"),
                  0)
            << test::readFile(dir / "errors.txt");
        const std::string text = test::readFile(log);
        EXPECT_NE(text.find("version"), std::string::npos) << text;  // the log was written
        EXPECT_EQ(text.find("invalid weekday"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace skh
