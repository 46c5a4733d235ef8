// Every path the tools are given that they cannot open or write, and every
// output that fails as it is written (standard output too): refused in one
// line that names the file and gives the system's reason, with status 1 and
// nothing written, not even the outputs that could have been. An output that
// is one of the inputs, under any name, is refused before the run (status 2).
// A trace that cannot be written in full leaves the older one as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    const std::string stream = (work / "stream.csv").string();
    test::writeFile(stream, "seconds,lat,lon,alt,gs,track,vs\n0,47.3,8.5,5000,200,0,0\n5,47.31,8.5,5000,200,0,0\n");
    const std::string streamLink = (work / "linked.csv").string();  // the stream under another name
    fs::create_hard_link(stream, streamLink);
    const std::string packLink = (work / "same" / "airports.enc").string();
    fs::create_directories(work / "same");
    fs::create_hard_link(work / "in.xml", packLink);
    const std::string lines = (work / "lines.txt").string();
    test::writeFile(lines, "TFC,1,2,3\n");
    const std::string fifo = (work / "fifo").string();  // that nobody writes
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
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
        std::string reason;
        platform::EnvironmentChanges env;
        std::string redirect = {};  // of standard input and output, by the shell
        int status = 1;
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
        {"skyhaven-fake-rt", with({"--replay", fifo}, quietRt), fifo, "not a regular file", {}},
        // Outputs that fail as they are written.
        {"skyhaven-trace",
         with(approach, {"--log", "/dev/full", "--out", trace}),
         "the log /dev/full",
         "No space left on device",
         {}},
        {"skyhaven-trace", approach, "the standard output", "No space left on device", {}, ">/dev/full"},
        {"skyhaven-trace", {"--list"}, "the standard output", "No space left on device", {}, ">/dev/full"},
        {"skyhaven-fake-rt", quietRt, "the standard output", "No space left on device", {}, ">/dev/full"},
        {"skyhaven-fake-sim",
         {"--seconds", "20", "--frames", "0"},
         "the standard output",
         "No space left on device",
         {},
         ">/dev/full"},
        {"skyhaven-pack", {"--help"}, "the standard output", "No space left on device", {}, ">/dev/full"},
        // An output that is an input.
        {"skyhaven-trace",
         {"--stream", stream, "--out", streamLink},
         "the trace " + streamLink + " would overwrite the stream " + stream,
         "(the same file)",
         {},
         "",
         2},
        {"skyhaven-trace",
         {"--stream", streamLink, "--log", stream, "--out", trace},
         "the log " + stream,
         "would overwrite the stream " + streamLink,
         {},
         "",
         2},
        {"skyhaven-trace",
         {"--stream", stream},
         "the standard output would overwrite the stream " + stream,
         "(the same file)",
         {},
         ">>" + streamLink,
         2},
        {"skyhaven-fake-rt",
         with({"--replay", lines}, quietRt),
         "the standard output would overwrite the replay " + lines,
         "(the same file)",
         {},
         ">>" + lines,
         2},
        {"skyhaven-pack",
         {(work / "in.xml").string(), packLink},
         packLink + " would overwrite " + (work / "in.xml").string(),
         "(the same file); nothing written",
         {},
         "",
         2},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string line = c.tool;
        for (const std::string& a : c.args) line += " " + a;
        SCOPED_TRACE(line);
        const auto before = lf_contents(work);
        const fs::path errors = dir / ("errors" + std::to_string(++n) + ".txt");
        EXPECT_EQ(c.redirect.empty() ? test::runTool(c.tool, c.args, errors, c.env)
                                     : test::runToolInShell("", c.tool, c.args, c.redirect, errors),
                  c.status);
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

TEST(ToolPaths, ATraceThatCannotBeWrittenInFullLeavesTheOlderOneAsItWas) {
    const test::TempDir dir;
    const fs::path work = dir / "work";
    fs::create_directories(work);
    const std::string trace = (work / "trace.csv").string();
    const std::string older = "tick,lat,lon\n1,47.0,8.0\n";
    test::writeFile(trace, older);
    const std::vector<std::string> args = {"--scenario", "approach", "--out", trace};
    // The approach's trace is megabytes; files may grow to 64 blocks here,
    // and the signal of a write past that is ignored, so that write fails.
    ASSERT_EQ(test::runToolInShell("trap '' XFSZ; ulimit -f 64;", "skyhaven-trace", args, "", dir / "limited.txt"), 1);
    const std::string text = test::readFile(dir / "limited.txt");
    EXPECT_EQ(text.rfind("skyhaven-trace: cannot write the trace " + trace + ": ", 0), 0u) << text;
    EXPECT_NE(text.find("File too large"), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << text;  // one line
    EXPECT_EQ(test::readFile(trace), older);
    EXPECT_EQ(lf_contents(work), (std::map<std::string, std::uintmax_t>{{trace, older.size()}}));

    // Without the limit, the new trace takes the older one's place, with
    // nothing left beside it.
    ASSERT_EQ(test::runTool("skyhaven-trace", args, dir / "whole.txt"), 0) << test::readFile(dir / "whole.txt");
    EXPECT_EQ(test::readLines(trace).at(0).rfind("tick,lat,lon,", 0), 0u);
    EXPECT_GT(fs::file_size(trace), 64u * 1024);
    EXPECT_EQ(lf_contents(work).size(), 1u);
}

}  // namespace
}  // namespace skh
