#include "foundation/log.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "foundation/upcalls.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

TEST(Log, RotationKeepsTwoPreviousRunsAndWritesTheHeader) {
    test::TempDir dir;
    const fs::path log = dir / "Log.txt";
    gf_openLog(log);
    gf_logRaw("first run");
    gf_closeLog();
    EXPECT_FALSE(fs::exists(dir / "Log0.txt"));
    EXPECT_FALSE(fs::exists(dir / "Log00.txt"));

    gf_openLog(log);
    gf_logRaw("second run");
    gf_closeLog();
    gf_openLog(log);
    gf_logRaw("third run");
    gf_closeLog();

    const auto current = test::readLines(log);
    ASSERT_EQ(current.size(), 2u);
    EXPECT_NE(current[0].find(" (utc) Skyhaven_P3D version 11.3.0 for Prepar3D v5/v6"), std::string::npos);
    EXPECT_EQ(current[1], "third run");
    EXPECT_EQ(test::readLines(dir / "Log0.txt").back(), "second run");
    EXPECT_EQ(test::readLines(dir / "Log00.txt").back(), "first run");
}

TEST(Log, HeaderStartsWithTheUtcTimeText) {
    test::ScopedLog log;
    const auto lines = log.lines();
    ASSERT_FALSE(lines.empty());
    // "Www Mmm dd hh:mm:ss yyyy (utc) ..."
    ASSERT_GT(lines[0].size(), 31u);
    EXPECT_EQ(lines[0].substr(24, 7), " (utc) ");
}

TEST(Log, WritersPrefixTheirLines) {
    test::ScopedLog log;
    gf_logWarning("careful");
    gf_logIndented("detail");
    gf_log("plain");
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "===> careful");
    EXPECT_EQ(lines[2], "          detail");
    EXPECT_EQ(lines[3], "plain");
}

TEST(Log, StopFlagsSilenceOnlyThePlainWriter) {
    test::ScopedLog log;
    g_stopRequested = true;
    gf_log("dropped while stopping");
    gf_logRaw("raw");
    gf_logWarning("warning");
    g_stopRequested = false;
    g_closeRequested = true;
    gf_log("dropped while closing");
    gf_logIndented("indented");
    g_closeRequested = false;
    const std::string text = log.text();
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_NE(text.find("raw\n"), std::string::npos);
    EXPECT_NE(text.find("===> warning\n"), std::string::npos);
    EXPECT_NE(text.find("          indented\n"), std::string::npos);
}

TEST(Log, WritesBeforeOpeningAreDroppedSilently) {
    gf_closeLog();
    gf_logRaw("nowhere");
    gf_logWarning("nowhere");
    EXPECT_FALSE(gf_logIsOpen());
}

TEST(Log, UnopenableLogThrowsAndLeavesWritersSilent) {
    test::TempDir dir;
    const fs::path bad = dir / "missing-folder" / "Log.txt";
    EXPECT_THROW(
        {
            try {
                gf_openLog(bad);
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), "Failed to write file " + bad.string());
                throw;
            }
        },
        std::runtime_error);
    EXPECT_FALSE(gf_logIsOpen());
    gf_logRaw("dropped");
}

TEST(Log, AFailedRotationNeverLosesTheLastRunsLog) {
    struct Case {
        const char* folder;  // a folder named like an older log makes the copy over it fail
        std::vector<std::string> log, log0;
    };
    const Case cases[] = {
        // The run before last cannot be kept; the last run still becomes Log0.txt.
        {"Log00.txt", {"<header>", "===> Could not keep the previous logs: "}, {"last run"}},
        // The last run cannot be kept: this run goes on after it.
        {"Log0.txt", {"last run", "<header>", "===> Could not keep the previous logs: "}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        test::TempDir dir;
        fs::create_directory(dir / c.folder);
        if (std::string(c.folder) != "Log0.txt") test::writeFile(dir / "Log0.txt", "run before last\n");
        test::writeFile(dir / "Log.txt", "last run\n");
        gf_openLog(dir / "Log.txt");
        gf_closeLog();
        const auto lines = test::readLines(dir / "Log.txt");
        ASSERT_EQ(lines.size(), c.log.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (c.log[i] == "<header>") {
                EXPECT_NE(lines[i].find(" (utc) Skyhaven_P3D version "), std::string::npos) << lines[i];
            } else {
                EXPECT_EQ(lines[i].rfind(c.log[i], 0), 0u) << lines[i];
            }
        }
        EXPECT_NE(lines.back().find(std::string(c.folder)), std::string::npos) << lines.back();
        if (!c.log0.empty()) {
            EXPECT_EQ(test::readLines(dir / "Log0.txt"), c.log0);
        }
    }
}

TEST(LogThreaded, ConcurrentLinesNeverInterleave) {
    test::ScopedLog log;
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            const std::string line(40, static_cast<char>('a' + t));
            for (int i = 0; i < kLines; ++i) gf_logRaw(line);
        });
    }
    for (auto& th : threads) th.join();
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u + kThreads * kLines);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), 40u);
        EXPECT_EQ(lines[i].find_first_not_of(lines[i][0]), std::string::npos) << lines[i];
    }
}

}  // namespace
}  // namespace skh
