// Every path the tools are given that they cannot open or write: refused in
// one line that names the file and gives the system's reason, with status 1
// and nothing written, not even the outputs that could have been.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_env.hpp"
#include "tool_runner.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

// Each entry of the folder with its size: what a run may have written.
std::map<std::string, std::uintmax_t> lf_contents(const fs::path& folder) {
    std::map<std::string, std::uintmax_t> entries;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        entries[e.path().string()] = e.is_regular_file() ? e.file_size() : 0;
    return entries;
}

TEST(ToolPaths, EveryPathArgumentThatCannotBeOpenedIsNamedWithItsReasonInOneLine) {
    const test::TempDir dir;
    const fs::path work = dir / "work";
    const std::string missing = (work / "missing").string();  // a folder that is not there
    const std::string folder = (work / "folder").string();
    const std::string plain = (work / "plain.txt").string();  // a file where a folder should be
    const std::string log = (work / "log.txt").string();
    const std::string trace = (work / "trace.csv").string();
    const std::string packedFolder = (work / "packed" / "airports.enc").string();
    fs::create_directories(folder);
    fs::create_directories(packedFolder);
    test::writeFile(plain, "text\n");
    test::writeFile(work / "in.xml", "<airports/>\n");
    const std::vector<std::string> approach = {"--scenario", "approach"};
    const std::vector<std::string> quietRt = {"--tcp-port", "0", "--qnh", "none", "--duration", "1"};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        std::string file;  // named in the line
        const char* reason;
        platform::EnvironmentChanges env;
    };
    const Case cases[] = {
        {"skyhaven-trace",
         with(approach, {"--log", missing + "/log.txt", "--out", trace}),
         missing + "/log.txt",
         "No such file or directory",
         {}},
        {"skyhaven-trace", with(approach, {"--log", folder, "--out", trace}), folder, "Is a directory", {}},
        {"skyhaven-trace",
         with(approach, {"--log", log, "--out", missing + "/trace.csv"}),
         missing + "/trace.csv",
         "No such file or directory",
         {}},
        {"skyhaven-trace", with(approach, {"--out", folder}), folder, "Is a directory", {}},
        {"skyhaven-trace",
         with(approach, {"--out", plain + "/trace.csv"}),
         plain + "/trace.csv",
         "Not a directory",
         {}},
        // Open, then full: the trace is found out only as it is written.
        {"skyhaven-trace", with(approach, {"--out", "/dev/full"}), "/dev/full", "No space left on device", {}},
        {"skyhaven-trace", {"--stream", missing + "/s.csv", "--log", log}, missing + "/s.csv", "no such file", {}},
        {"skyhaven-trace",
         {"--runways", folder, "--airport", "LSZH", "--runway", "14", "--log", log, "--out", trace},
         folder,
         "a folder, not a file",
         {}},
        {"skyhaven-pack",
         {(work / "in.xml").string(), missing + "/airports.enc"},
         missing + "/airports.enc",
         "No such file or directory",
         {}},
        {"skyhaven-pack", {(work / "in.xml").string(), packedFolder}, packedFolder, "Is a directory", {}},
        {"skyhaven-pack",
         {missing + "/in.xml", (work / "airports.enc").string()},
         missing + "/in.xml",
         "no such file",
         {}},
        {"skyhaven-fake-rt",
         with({"--replay", missing + "/lines.txt"}, quietRt),
         missing + "/lines.txt",
         "no such file",
         {}},
        {"skyhaven-fake-rt", with({"--replay", folder}, quietRt), folder, "a folder, not a file", {}},
        {"skyhaven-fake-sim",
         {"--no-ipv4", "--pipe", "demo", "--seconds", "1"},
         plain + "/pipes",
         "Not a directory",
         {{"SKYHAVEN_PIPE_DIR", plain + "/pipes"}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string line = c.tool;
        for (const std::string& a : c.args) line += " " + a;
        SCOPED_TRACE(line);
        const auto before = lf_contents(work);
        const fs::path errors = dir / ("errors" + std::to_string(++n) + ".txt");
        EXPECT_EQ(test::runTool(c.tool, c.args, errors, c.env), 1);
        const std::string text = test::readFile(errors);
        EXPECT_EQ(text.rfind(std::string(c.tool) + ": ", 0), 0u) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;  // one line
        EXPECT_NE(text.find(c.file), std::string::npos) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_EQ(lf_contents(work), before);
    }

    // Where they can be written, the trace and the log are all that is.
    auto expected = lf_contents(work);
    const std::string newLog = (work / "run.log").string();
    ASSERT_EQ(test::runTool("skyhaven-trace", with(approach, {"--log", newLog, "--out", trace}), dir / "ok.txt"), 0)
        << test::readFile(dir / "ok.txt");
    expected[newLog] = fs::file_size(newLog);
    expected[trace] = fs::file_size(trace);
    EXPECT_EQ(lf_contents(work), expected);
}

}  // namespace
}  // namespace skh
