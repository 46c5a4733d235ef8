#include "airports/scan_staging.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "airports/stand_locations.hpp"
#include "foundation/constants.hpp"
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
    // scan makes: theirs stay, the same name wins over the scan's file.
    test::writeFile(f.live / "KJFK.xml", "mine");
    test::writeFile(f.live / "LSZH.xml", "mine too");
    test::writeFile(f.live / "lfpg.TXT", "archive/thirdparty/Y/LFPG.xml");
    test::writeFile(f.live / "notes" / "a.txt", "x");
    test::writeFile(f.live / "notes" / "old" / "b.txt", "y");  // two levels down

    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 2");
    test::writeFile(f.staging / "LSZH.xml", "generated 2");
    test::writeFile(f.staging / "LFPG.xml", "generated 2");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live),
              (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LFPG.xml", "LSZH.xml", "lfpg.TXT", "notes"}));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "generated 2");
    EXPECT_EQ(test::readFile(f.live / "LSZH.xml"), "mine too");
    EXPECT_EQ(test::readFile(f.live / "notes" / "a.txt"), "x");
    EXPECT_EQ(test::readFile(f.live / "notes" / "old" / "b.txt"), "y");
    EXPECT_EQ(test::entryNames(f.backup),
              (std::set<std::string>{"EGLL.xml", "EGLL.txt", "KJFK.xml", "LSZH.xml", "lfpg.TXT", "notes"}));
    EXPECT_EQ(test::readFile(f.backup / "EGLL.xml"), "generated 1");
    EXPECT_TRUE(log.contains("the scan's LSZH.xml left out of " + f.live.string() +
                             ": the user's files of those airports stay in force"));
    EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGLL.xml", "LFPG.xml"}));

    // A scan that is cut short changes nothing.
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EDDF.xml", "half");
    lf_discardStaging(f);
    EXPECT_FALSE(fs::exists(f.staging));
    EXPECT_EQ(test::entryNames(f.live),
              (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LFPG.xml", "LSZH.xml", "lfpg.TXT", "notes"}));

    // A scan that finds nothing keeps only the user's files.
    lf_prepareStaging(f);
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"KJFK.xml", "LSZH.xml", "lfpg.TXT", "notes"}));
}

// In a folder with a list, a user's file of an airport that the scan makes a
// file of stays in force, scan after scan: the loader takes a link before a
// stand file, so the scan's stand file may stand beside the user's link, but
// the scan's file of the same name or its link beside the user's stand file
// gives way.
TEST(ScanStaging, TheUsersFileOfAnAirportStaysInForceWhenTheScanMakesOne) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::ScopedLog log;
    const ScanFolder f = lf_scanFolder(g_myThirdpartyFolder);
    test::writeFile(f.live / "KTST.xml", "generated 0");
    test::writeFile(f.scannedList, "KTST.xml\n");
    const std::string better = "archive/thirdparty/Better/EGLL.xml";
    test::writeFile(f.live / "EGLL.txt", better + "\n");
    test::writeFile(f.live / "LSZH.xml", "mine");
    test::writeFile(f.live / "LFPG.xml", "mine too");
    test::writeFile(f.live / "kjfk.XML", "mine as well");

    for (int scan = 1; scan <= 3; ++scan) {
        SCOPED_TRACE(testing::Message() << "scan " << scan);
        lf_prepareStaging(f);
        for (const char* name : {"EGLL.xml", "LSZH.xml", "KTST.xml", "KJFK.xml"}) {
            test::writeFile(f.staging / name, "generated");
        }
        test::writeFile(f.staging / "LFPG.txt", "archive/thirdparty/Maker/LFPG.xml\n");
        ASSERT_TRUE(lf_installStaging(f));
        EXPECT_EQ(test::entryNames(f.live),
                  (std::set<std::string>{"EGLL.txt", "EGLL.xml", "KTST.xml", "LFPG.xml", "LSZH.xml", "kjfk.XML"}));
        EXPECT_EQ(test::readFile(f.live / "EGLL.txt"), better + "\n");
        EXPECT_EQ(test::readFile(f.live / "LSZH.xml"), "mine");
        EXPECT_EQ(gf_getStockAirportFile("EGLL"), better);
        EXPECT_EQ(gf_getStockAirportFile("LFPG"), "airports\\my_thirdparty\\LFPG.xml");
        EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGLL.xml", "KTST.xml"}));
    }
    EXPECT_TRUE(log.contains("the scan's KJFK.xml,LFPG.txt,LSZH.xml left out of " + f.live.string() + ": "));
}

// The list of what a scan made cannot be written for one scan: that scan
// leaves the folder as it was, and the next one updates the airport file it
// makes, while the user's file stays. The list is blocked by a name so long
// that its temporary file cannot be made beside it; reading it still works.
TEST(ScanStaging, AScanThatCannotWriteItsListLeavesTheFolderAsItWas) {
    test::TempDir dir;
    test::ScopedLog log;
    const ScanFolder f = lf_scanFolder(dir / "my_thirdparty");
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 1");
    ASSERT_TRUE(lf_installStaging(f));
    test::writeFile(f.live / "KJFK.xml", "mine");

    ScanFolder blocked = f;
    blocked.scannedList = dir / std::string(250, 'l');
    fs::copy_file(f.scannedList, blocked.scannedList);
    lf_prepareStaging(blocked);
    test::writeFile(blocked.staging / "EGLL.xml", "generated 2");
    test::writeFile(blocked.staging / "LSZH.xml", "generated 2");
    EXPECT_FALSE(lf_installStaging(blocked));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGLL.xml", "KJFK.xml"}));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "generated 1");
    EXPECT_EQ(test::readLines(blocked.scannedList), (std::vector<std::string>{"EGLL.xml"}));
    EXPECT_TRUE(log.contains(f.live.string() + " not replaced, the new airport files stay in " + f.staging.string() +
                             ": could not write " + blocked.scannedList.string()))
        << log.text();

    for (int scan = 3; scan <= 4; ++scan) {
        SCOPED_TRACE(testing::Message() << "scan " << scan);
        const std::string generated = "generated " + std::to_string(scan);
        lf_prepareStaging(f);
        test::writeFile(f.staging / "EGLL.xml", generated);
        test::writeFile(f.staging / "LSZH.xml", generated);
        ASSERT_TRUE(lf_installStaging(f));
        EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EGLL.xml", "KJFK.xml", "LSZH.xml"}));
        EXPECT_EQ(test::readFile(f.live / "LSZH.xml"), generated);
        EXPECT_EQ(test::readFile(f.live / "KJFK.xml"), "mine");
        EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGLL.xml", "LSZH.xml"}));
    }

    // A user's link to a drive that is not there now is carried over as it
    // is; a file that cannot be carried over at all (a pipe) keeps the
    // folder as it was, instead of leaving it behind in the backup.
    fs::create_symlink(dir / "gone" / "EDDF.xml", f.live / "EDDF.xml");
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 5");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_TRUE(fs::is_symlink(f.live / "EDDF.xml"));
    EXPECT_EQ(fs::read_symlink(f.live / "EDDF.xml"), dir / "gone" / "EDDF.xml");

    ASSERT_EQ(mkfifo((f.live / "pipe").c_str(), 0600), 0);
    lf_prepareStaging(f);
    test::writeFile(f.staging / "EGLL.xml", "generated 6");
    EXPECT_FALSE(lf_installStaging(f));
    EXPECT_EQ(test::readFile(f.live / "EGLL.xml"), "generated 5");
    EXPECT_TRUE(fs::is_symlink(f.live / "EDDF.xml"));
    EXPECT_TRUE(log.contains(": could not keep the user's pipe: ")) << log.text();
    EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EGLL.xml"}));
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

// The first scan over a folder without a list cannot swap (its backup cannot
// be made): the folder stays as it was, and the list it leaves must name the
// old files too, or the next scan would take them for the user's and keep
// them in force over its own.
TEST(ScanStaging, AnOldFileOfAFolderWithoutAListNeverPassesForTheUsers) {
    test::TempDir dir;
    test::ScopedLog log;
    const ScanFolder f = lf_scanFolder(dir / "my_ORBX");
    test::writeFile(f.live / "EDDF.xml", "older scan");
    ScanFolder blocked = f;
    blocked.backup = dir / "no such folder" / "my_ORBX.previous";
    lf_prepareStaging(blocked);
    test::writeFile(blocked.staging / "EGLL.xml", "generated 1");
    EXPECT_FALSE(lf_installStaging(blocked));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EDDF.xml"}));
    EXPECT_TRUE(log.contains(f.live.string() + " not replaced")) << log.text();

    lf_prepareStaging(f);
    test::writeFile(f.staging / "EDDF.xml", "generated 2");
    test::writeFile(f.staging / "EGLL.xml", "generated 2");
    ASSERT_TRUE(lf_installStaging(f));
    EXPECT_EQ(test::entryNames(f.live), (std::set<std::string>{"EDDF.xml", "EGLL.xml"}));
    EXPECT_EQ(test::readFile(f.live / "EDDF.xml"), "generated 2");
    EXPECT_EQ(test::readLines(f.scannedList), (std::vector<std::string>{"EDDF.xml", "EGLL.xml"}));
    EXPECT_FALSE(log.contains("left out of")) << log.text();
}

}  // namespace
}  // namespace skh
