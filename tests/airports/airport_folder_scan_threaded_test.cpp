#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "airports/airport_folder_scan.hpp"
#include "foundation/format.hpp"
#include "foundation/random.hpp"
#include "foundation/scan_report.hpp"
#include "foundation/upcalls.hpp"
#include "scan_test_support.hpp"
#include "support/bgl_builder.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

using test::anyLineHas;

class AirportFolderScanThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        gf_startScanReport();
        m_savedMax = g_maxTasks;
    }
    void TearDown() override {
        g_maxTasks = m_savedMax;
        g_stopRequested = false;
        gf_takeScanReport();
    }
    void writeBgl(const fs::path& path) {
        fs::create_directories(path.parent_path());
        test::writeFile(path, test::bglFileOf({test::BglAirportLayout{}}));
    }

    test::TempDir dir;
    std::int32_t m_savedMax = 1;
};

TEST_F(AirportFolderScanThreaded, OnlyBglFilesWithAirportsOutsideTheSkippedFoldersGetATask) {
    const fs::path root = dir / "Addons";
    const fs::path stock = root / "P3D" / "Scenery";
    writeBgl(root / "a.bgl");
    writeBgl(root / "sub" / "b.BGL");
    writeBgl(root / "c.Bgl");
    writeBgl(root / "statics" / "d.bgl");
    writeBgl(root / "x_heliports" / "e.bgl");
    writeBgl(stock / "0607" / "f.bgl");
    writeBgl(root / "P3D" / "Scenery Addons" / "g.bgl");
    test::writeFile(root / "terrain.bgl", test::bglFile({test::BglSectionLayout{0x65, 1, {std::string(8, '\0')}}}));
    test::writeFile(root / "broken.bgl", std::string(100, '\x01'));
    test::writeFile(root / "a.txt", "");
    writeBgl(root / "locked" / "h.bgl");
    fs::permissions(root / "locked", fs::perms::none);
    std::error_code ec;
    const fs::directory_iterator probe(root / "locked", ec);
    const bool locked = static_cast<bool>(ec);  // root reads any folder

    std::mutex m;
    std::set<std::string> seen;
    const bool completed = lf_scanFolderBgls(root, "D:\\Addons", stock, [&](const fs::path& file) {
        const std::lock_guard lock(m);
        seen.insert(fs::relative(file, root).generic_string());
    });
    fs::permissions(root / "locked", fs::perms::owner_all);

    EXPECT_TRUE(completed);
    std::set<std::string> expected = {"a.bgl", "sub/b.BGL", "P3D/Scenery Addons/g.bgl"};
    if (!locked) expected.insert("locked/h.bgl");
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(g_activeTasks.load(), 0);
    const auto report = gf_takeScanReport();
    EXPECT_EQ(report.front(), "Scanning for addon airports in D:\\Addons");
    EXPECT_TRUE(anyLineHas(report, "broken.bgl not read: its header size is 16843009 instead of 56"));
    EXPECT_EQ(anyLineHas(report, "skipped " + (root / "locked").string()), locked);
}

TEST_F(AirportFolderScanThreaded, AtMostMaxTasksRunAndEveryTaskIsJoined) {
    for (int i = 0; i < 24; ++i) writeBgl(dir / skh::format("f{}.bgl", i));
    g_maxTasks = 3;
    std::mutex m;
    std::condition_variable cv;
    int running = 0;
    int most = 0;
    int done = 0;
    bool filled = false;
    lf_scanFolderBgls(dir.path(), "x", {}, [&](const fs::path&) {
        std::unique_lock lock(m);
        most = std::max(most, ++running);
        // The first tasks wait until all slots are taken, so the limit is reached.
        if (running == 3) filled = true;
        cv.notify_all();
        cv.wait_for(lock, std::chrono::seconds(20), [&] { return filled; });
        --running;
        ++done;
    });
    EXPECT_EQ(most, 3);
    EXPECT_EQ(done, 24);
    EXPECT_EQ(g_activeTasks.load(), 0);
}

TEST_F(AirportFolderScanThreaded, AStopEndsNewTasksAndAFailedTaskIsReported) {
    for (int i = 0; i < 30; ++i) writeBgl(dir / skh::format("f{}.bgl", i));
    g_maxTasks = 2;
    std::atomic<int> started{0};
    const bool completed = lf_scanFolderBgls(dir.path(), "x", {}, [&](const fs::path&) {
        if (++started == 4) {
            g_stopRequested = true;
            throw std::runtime_error("disk gone");
        }
    });
    EXPECT_FALSE(completed);
    EXPECT_GE(started.load(), 4);
    EXPECT_LE(started.load(), 6);  // those already started when the flag was seen
    EXPECT_EQ(g_activeTasks.load(), 0);
    EXPECT_TRUE(anyLineHas(gf_takeScanReport(), "disk gone"));
}

TEST_F(AirportFolderScanThreaded, TenThousandFilesInAFolder) {
    const std::string good = test::bglFileOf({test::BglAirportLayout{}});
    for (int i = 0; i < 10000; ++i) test::writeFile(dir / skh::format("f{}.bgl", i), i % 50 == 0 ? good : "");
    g_maxTasks = 4;
    std::atomic<int> tasks{0};
    EXPECT_TRUE(lf_scanFolderBgls(dir.path(), "x", {}, [&](const fs::path&) { ++tasks; }));
    EXPECT_EQ(tasks.load(), 200);
    const auto report = gf_takeScanReport();
    EXPECT_EQ(report.size(), 1u + 9800u);
}

TEST_F(AirportFolderScanThreaded, AMissingFolderEndsInAReportLine) {
    EXPECT_TRUE(lf_scanFolderBgls(dir / "nothing", "D:\\nothing", {}, [](const fs::path&) { FAIL(); }));
    EXPECT_TRUE(anyLineHas(gf_takeScanReport(), "airports search in folder D:\\nothing aborted because of iterator"));
    EXPECT_TRUE(lf_isBglFile(".BGL"));
    EXPECT_FALSE(lf_isBglFile(".Bgl"));
}

}  // namespace
}  // namespace skh
