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
    test::ScopedLog log;
    const ScanFolder f = lf_scanFolder(dir / "my_thirdparty");
    EXPECT_EQ(f.staging, dir / "my_thirdparty.scanning");

    // First scan, no folder yet.
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 1");
    test::writeFile(f.staging / "EGLL.txt", "archive/thirdparty/X/EGLL.xml");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGLL.xml", "EGLL.txt"}));
    EXPECT_FALSE(fs::exists(f.staging));

    // The user adds a file of their own, and files of airports that the next
    // scan makes: the scan's files win over both the same name and a link.
    test::writeFile(f.live / "KJFK.xml", "mine");
    test::writeFile(f.live / "LSZH.xml", "mine too");
    test::writeFile(f.live / "lfpg.TXT", "archive/thirdparty/Y/LFPG.xml");
    fs::create_directories(f.live / "notes");
    test::writeFile(f.live / "notes" / "a.txt", "x");

    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 2");
    test::writeFile(f.staging / "LSZH.xml", "generated 2");
    test::writeFile(f.staging / "LFPG.xml", "generated 2");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live),
              (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LFPG.xml", "LSZH.xml", "notes"}));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "generated 2");
    EXPECT_EQ(test::readFile(f.live / "LSZH.xml"), "generated 2");
    EXPECT_EQ(test::readFile(f.live / "notes" / "a.txt"), "x");
    EXPECT_EQ(test::entryNames(f.backup),
              (std::set<std::string>{"EGLL.xml", "EGLL.txt", "KJFK.xml", "LSZH.xml", "lfpg.TXT", "notes"}));
    EXPECT_EQ(test::readFile(f.backup / "LSZH.xml"), "mine too");
    EXPECT_TRUE(log.contains("the scan's files replace LSZH.xml,lfpg.TXT in "));
    EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGLL.xml", "LFPG.xml", "LSZH.xml"}));

    // A scan that is cut short changes nothing.
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EDDF.xml", "half");
    lf_discardStaging(f);
    EXPECT_FALSE(fs::exists(f.staging));
    EXPECT_EQ(test::entryNames(f.live),
              (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LFPG.xml", "LSZH.xml", "notes"}));

    // A scan that finds nothing keeps only the user's files.
    lf_prepareStaging(f);
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"KJFK.xml", "notes"}));
}

// An older version left files without a list of what its scan made.
TEST(ScanStaging, AFolderWithoutAListIsRebuiltCompletely) {
    test::TempDir dir;
    test::ScopedLog log;
    const ScanFolder f = lf_scanFolder(dir / "my_ORBX");
    test::writeFile(f.live / "EGLL.xml", "older scan");
    test::writeFile(f.live / "EGLL.txt", "archive/simaddon/EGLL.xml");
    test::writeFile(f.live / "EDDF.xml", "older scan, scenery removed since");
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated");
    test::writeFile(f.staging / "EGKK.xml", "generated");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGKK.xml", "EGLL.xml"}));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "generated");
    EXPECT_EQ(test::entryNames(f.backup), (std::set<std::string>{"EDDF.xml", "EGLL.txt", "EGLL.xml"}));
    EXPECT_TRUE(log.contains("had no list of the files a scan made and was rebuilt; its old files are kept in " +
                             f.backup.string() + " until the next scan: EDDF.xml,EGLL.txt,EGLL.xml"));
    EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGKK.xml", "EGLL.xml"}));

    // From now on the list tells the user's files apart.
    test::writeFile(f.live / "KJFK.xml", "mine");
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGKK.xml", "generated again");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGKK.xml", "KJFK.xml"}));
}

}  // namespace
}  // namespace skh
