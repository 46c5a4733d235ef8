#include "airports/scan_staging.hpp"

#include <gtest/gtest.h>

#include <set>

#include "scan_test_support.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

// Three scans in a row with the user placing files between them.
TEST(ScanStaging, UserFilesSurviveEveryScanAndTheLastFilesStayAsBackup) {
    test::TempDir dir;
    const ScanFolder f = lf_scanFolder(dir / "my_thirdparty");
    EXPECT_EQ(f.staging, dir / "my_thirdparty.scanning");

    // First scan, no folder yet.
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 1");
    test::writeFile(f.staging / "EGLL.txt", "archive/thirdparty/X/EGLL.xml");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGLL.xml", "EGLL.txt"}));
    EXPECT_FALSE(fs::exists(f.staging));

    // The user adds a file of their own and one that the next scan also makes.
    test::writeFile(f.live / "KJFK.xml", "mine");
    test::writeFile(f.live / "LSZH.xml", "mine too");
    fs::create_directories(f.live / "notes");
    test::writeFile(f.live / "notes" / "a.txt", "x");

    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 2");
    test::writeFile(f.staging / "LSZH.xml", "generated 2");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LSZH.xml", "notes"}));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "generated 2");
    EXPECT_EQ(test::readFile(f.live / "LSZH.xml"), "mine too");
    EXPECT_EQ(test::readFile(f.live / "notes" / "a.txt"), "x");
    EXPECT_EQ(test::entryNames(f.backup),
              (std::set<std::string>{"EGLL.xml", "EGLL.txt", "KJFK.xml", "LSZH.xml", "notes"}));
    EXPECT_EQ(test::readFile(f.backup / "EGLL.xml"), "generated 1");

    // A scan that is cut short changes nothing.
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EDDF.xml", "half");
    lf_discardStaging(f);
    EXPECT_FALSE(fs::exists(f.staging));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LSZH.xml", "notes"}));

    // A scan that finds nothing keeps only the user's files.
    lf_prepareStaging(f);
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"KJFK.xml", "LSZH.xml", "notes"}));
}

TEST(ScanStaging, AFolderWithoutAListKeepsEverything) {
    test::TempDir dir;
    const ScanFolder f = lf_scanFolder(dir / "my_ORBX");
    fs::create_directories(f.live);
    test::writeFile(f.live / "EGLL.xml", "placed by hand");
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated");
    test::writeFile(f.staging / "EGKK.xml", "generated");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "placed by hand");
    EXPECT_EQ(test::readFile(f.live / "EGKK.xml"), "generated");
    EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGKK.xml"}));
}

}  // namespace
}  // namespace skh
