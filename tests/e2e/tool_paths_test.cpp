// Every path the tools are given that they cannot open or write, and every
// output that fails as it is written (standard output too): refused in one
// line that names the file and gives the system's reason, with status 1 and
// nothing written, not even the outputs that could have been. An output that
// is one of the inputs or another output, under any name, is refused before
// the run (status 2). An output that cannot be written in full, or whose tool
// is stopped while it writes, leaves the older one as it was.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "foundation/dataset_crypto.hpp"
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

// An airport list of some hundred kilobytes, to pack.
std::string lf_airportList() {
    std::string airports = "<?xml version=\"1.0\"?><airports>";
    for (int i = 0; i < 4000; ++i)
        airports += "<airport icao=\"X" + std::to_string(i) + "\" lat=\"47.0\" lon=\"8.0\"/>";
    return airports + "</airports>";
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
    const std::string runways = (work / "r.csv").string();
    test::writeFile(runways, "airport_ident,le_ident\n");
    const std::string runwaysLink = (work / "r-linked.csv").string();
    fs::create_hard_link(runways, runwaysLink);
    // Two outputs that are one file: by one name twice, a relative and an
    // absolute name, a link to a file not made yet, two names of one file.
    const std::string twice = (work / "twice.csv").string();
    const std::string twiceLink = (work / "twice-link.csv").string();
    fs::create_symlink("twice.csv", twiceLink);
    const std::string oldLog = (work / "old.log").string();
    test::writeFile(oldLog, "an older log\n");
    const std::string oldLogLink = (work / "old-linked.log").string();
    fs::create_hard_link(oldLog, oldLogLink);
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
        std::string before = {};  // what the shell does first
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
         {"--runways", runways, "--airport", "LSZH", "--runway", "14", "--out", runwaysLink},
         "the trace " + runwaysLink + " would overwrite the runway list " + runways,
         "(the same file)",
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
        // An output named twice.
        {"skyhaven-trace",
         with(approach, {"--out", twice, "--log", twice}),
         "the trace " + twice + " would overwrite the log " + twice,
         "(the same file)",
         {},
         "",
         2},
        {"skyhaven-trace",
         with(approach, {"--out", "twice.csv", "--log", twice}),
         "the trace twice.csv would overwrite the log " + twice,
         "(the same file)",
         {},
         "",
         2,
         "cd '" + work.string() + "' &&"},
        {"skyhaven-trace",
         with(approach, {"--log", twice, "--out", twiceLink}),
         "the trace " + twiceLink + " would overwrite the log " + twice,
         "(the same file)",
         {},
         "",
         2},
        {"skyhaven-trace",
         with(approach, {"--log", oldLog, "--out", oldLogLink}),
         "the trace " + oldLogLink + " would overwrite the log " + oldLog,
         "(the same file)",
         {},
         "",
         2},
        {"skyhaven-trace",
         with(approach, {"--log", oldLog}),
         "the standard output would overwrite the log " + oldLog,
         "(the same file)",
         {},
         ">>" + oldLogLink,
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
        EXPECT_EQ(c.redirect.empty() && c.before.empty()
                      ? test::runTool(c.tool, c.args, errors, c.env)
                      : test::runToolInShell(c.before, c.tool, c.args, c.redirect, errors),
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

    // The log is the file named, no other: files named as its older copies
    // would be, one of them the stream, stay as they were.
    const std::string notes = (work / "q.csv").string();
    const std::string notes0 = (work / "q0.csv").string();
    const std::string notes00 = (work / "q00.csv").string();
    test::writeFile(notes, "an older log\n");
    fs::copy_file(stream, notes0);
    test::writeFile(notes00, "the user's notes\n");
    expected = lf_contents(work);
    ASSERT_EQ(test::runTool("skyhaven-trace", {"--stream", notes0, "--log", notes, "--out", trace}, dir / "q.txt"), 0)
        << test::readFile(dir / "q.txt");
    expected[notes] = fs::file_size(notes);
    expected[trace] = fs::file_size(trace);
    EXPECT_EQ(lf_contents(work), expected);
    EXPECT_EQ(test::readFile(notes0), test::readFile(stream));
    EXPECT_EQ(test::readFile(notes00), "the user's notes\n");
    const std::vector<std::string> logLines = test::readLines(notes);
    ASSERT_FALSE(logLines.empty());
    EXPECT_NE(logLines[0].find(" (utc) Skyhaven_P3D version "), std::string::npos) << logLines[0];  // written over
}

// An output written over an older one is written beside and takes its name
// only when whole: a write that fails leaves the older one byte for byte.
TEST(ToolPaths, AnOutputThatCannotBeWrittenInFullLeavesTheOlderOneAsItWas) {
    const test::TempDir dir;
    const fs::path work = dir / "work";
    fs::create_directories(work);
    test::writeFile(dir / "airports.xml", lf_airportList());
    struct Case {
        const char* tool;
        std::string output;
        std::vector<std::string> args;
        std::string refusal;                         // the line's beginning
        std::function<bool(const fs::path&)> whole;  // the new output is one
    };
    const std::string trace = (work / "trace.csv").string();
    const std::string packed = (work / "airports.enc").string();
    const Case cases[] = {
        {"skyhaven-trace",
         trace,
         {"--scenario", "approach", "--out", trace},
         "skyhaven-trace: cannot write the trace " + trace + ": ",
         [](const fs::path& p) { return test::readLines(p).at(0).rfind("tick,lat,lon,", 0) == 0; }},
        {"skyhaven-pack",
         packed,
         {(dir / "airports.xml").string(), packed},
         "skyhaven-pack: Could not write output file: " + packed + ": ",
         [](const fs::path& p) { return gf_verifyDataSet(p); }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        for (const auto& e : fs::directory_iterator(work)) fs::remove(e.path());
        const std::string older = "an older output\n";
        test::writeFile(c.output, older);
        // Each output is larger than 64 blocks, the limit of the files here;
        // the signal of a write past it is ignored, so that write fails.
        const fs::path errors = dir / ("limited" + std::to_string(++n) + ".txt");
        ASSERT_EQ(test::runToolInShell("trap '' XFSZ; ulimit -f 64;", c.tool, c.args, "", errors), 1);
        const std::string text = test::readFile(errors);
        EXPECT_EQ(text.rfind(c.refusal, 0), 0u) << text;
        EXPECT_NE(text.find("File too large"), std::string::npos) << text;
        EXPECT_EQ(text.find(".tmp"), std::string::npos) << text;  // the output named, not the file beside it
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;      // one line
        EXPECT_EQ(test::readFile(c.output), older);
        EXPECT_EQ(lf_contents(work), (std::map<std::string, std::uintmax_t>{{c.output, older.size()}}));

        // Without the limit, the new output takes the older one's place, with
        // nothing left beside it.
        const fs::path whole = dir / ("whole" + std::to_string(n) + ".txt");
        ASSERT_EQ(test::runTool(c.tool, c.args, whole), 0) << test::readFile(whole);
        EXPECT_GT(fs::file_size(c.output), 64u * 1024);
        EXPECT_TRUE(c.whole(c.output));
        EXPECT_EQ(lf_contents(work).size(), 1u);
    }
}

// The state letter of a process ('T': stopped), 0 when it is gone.
char lf_processState(int pid) {
    const std::string stat = test::readFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(") ");
    return close == std::string::npos || close + 2 >= stat.size() ? '\0' : stat[close + 2];
}

// A tool stopped from outside (Ctrl-C, SIGTERM, a closed terminal) while it
// writes its output beside the older one takes the file beside with it and
// ends by the signal: the older output stays byte for byte, alone.
TEST(ToolPaths, AToolStoppedWhileItWritesLeavesTheOlderOutputAlone) {
    const test::TempDir dir;
    const fs::path work = dir / "work";
    fs::create_directories(work);
    test::writeFile(dir / "airports.xml", lf_airportList());
    const std::string trace = (work / "trace.csv").string();
    const std::string packed = (work / "airports.enc").string();
    const std::vector<std::string> traceArgs = {"--scenario", "approach", "--out", trace};
    const std::vector<std::string> packArgs = {(dir / "airports.xml").string(), packed};
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        std::string output;
        int signal;
    };
    const Case cases[] = {
        {"skyhaven-trace", traceArgs, trace, SIGINT},
        {"skyhaven-trace", traceArgs, trace, SIGTERM},
        {"skyhaven-pack", packArgs, packed, SIGTERM},
        {"skyhaven-pack", packArgs, packed, SIGHUP},
    };
    // The tool stops itself with this much of its output written beside;
    // each output is larger.
    constexpr std::uintmax_t kStopAt = 64 * 1024;
    const char* asan = std::getenv("ASAN_OPTIONS");
    const platform::EnvironmentChanges env = {
        {"LD_PRELOAD", SKYHAVEN_STOP_IN_WRITE},
        {"SKYHAVEN_STOP_IN_WRITE_AT", std::to_string(kStopAt)},
        // AddressSanitizer wants its runtime first; the preloaded library comes before it.
        {"ASAN_OPTIONS", (asan != nullptr ? std::string(asan) + ":" : "") + "verify_asan_link_order=0"}};
    const std::string older = "an older output\n";
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " stopped by " + strsignal(c.signal));
        for (const auto& e : fs::directory_iterator(work)) fs::remove(e.path());
        test::writeFile(c.output, older);
        std::vector<std::string> argv{test::toolPath(c.tool)};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const fs::path errors = dir / ("stopped" + std::to_string(++n) + ".txt");
        const int pid = platform::spawnProcess(argv, env, {}, errors);
        ASSERT_GT(pid, 0);
        const bool stopped = test::waitUntil([&] {
            const char state = lf_processState(pid);
            return state == 'T' || state == '\0' || state == 'Z';
        });
        EXPECT_TRUE(stopped && lf_processState(pid) == 'T') << test::readFile(errors);
        // Mid-write: the older output and, beside it, the part written so far.
        auto contents = lf_contents(work);
        EXPECT_EQ(contents.size(), 2u);
        EXPECT_EQ(contents[c.output], older.size());
        for (const auto& [name, size] : contents) {
            if (name != c.output) {
                EXPECT_EQ(size, kStopAt) << name;
            }
        }
        ::kill(pid, c.signal);
        ::kill(pid, SIGCONT);
        EXPECT_EQ(test::waitForTool(pid), 128 + c.signal) << test::readFile(errors);
        EXPECT_EQ(lf_contents(work), (std::map<std::string, std::uintmax_t>{{c.output, older.size()}}));
        EXPECT_EQ(test::readFile(c.output), older);
    }
}

}  // namespace
}  // namespace skh
