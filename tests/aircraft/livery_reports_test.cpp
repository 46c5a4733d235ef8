#include "aircraft/livery_reports.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_index.hpp"
#include "aircraft/regcode_map.hpp"
#include "foundation/constants.hpp"
#include "livery_fixture.hpp"
#include "support/dataset_builder.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class LiveryReports : public test::LiveryTest {};

TEST_F(LiveryReports, ListsGoToTheirFilesWithOneLogLineEach) {
    lf_addError12("KL", "D:\\AI\\KLM\\aircraft.cfg", "[fltsim.3]");
    lf_addError12("KL", "D:\\AI\\KLM\\aircraft.cfg", "[fltsim.3]");
    lf_addError16("", "D:\\AI\\X\\aircraft.cfg");
    lf_addIncompleteSection("b section");
    lf_addIncompleteSection("a section");
    lf_addIncompleteSection("a section");
    lf_addInvalidCfgFile("D:\\AI\\bad\\aircraft.cfg contains a [fltsim.x] section with a number < 0 or > 10000");
    lf_addCodeFix("B38M => B738");
    g_emptyAircraftCfgFiles.add("D:\\AI\\empty\\aircraft.cfg");
    lf_writeScanReport();
    EXPECT_EQ(test::readLines(g_invalidAirlineCodesReport),
              Lines(2, "KL           in D:\\AI\\KLM\\aircraft.cfg [fltsim.3]"));
    EXPECT_EQ(test::readLines(g_invalidAircraftCodesReport),
              Lines{std::string(16, ' ').append(" in D:\\AI\\X\\aircraft.cfg")});
    EXPECT_EQ(test::readLines(g_incompleteSectionsReport), (Lines{"a section", "b section"}));
    EXPECT_EQ(test::readLines(g_fixesReport), Lines{"B38M => B738"});
    EXPECT_EQ(test::readLines(g_noFltsimReport), Lines{"D:\\AI\\empty\\aircraft.cfg"});
    const std::string errors = g_errorsFolder.string();
    EXPECT_TRUE(logHas("\nErrors:\n2 invalid airline codes, see " + g_invalidAirlineCodesReport.string() + "\n"));
    EXPECT_TRUE(logHas("1 invalid model code, see " + g_invalidAircraftCodesReport.string()));
    EXPECT_TRUE(logHas("1 code fixes, see " + g_fixesReport.string()));
    EXPECT_TRUE(logHas("1 invalid aircraft.cfg files, see " + g_invalidAircraftCfgReport.string()));
    EXPECT_TRUE(logHas("3 incomplete [fltsim.x] sections, see " + g_incompleteSectionsReport.string()));
    EXPECT_TRUE(logHas("\nInformation:\n1 empty aircraft.cfg files, see " + g_noFltsimReport.string()));
    EXPECT_FALSE(logHas("No errors"));

    // The next scan starts from empty lists: its Fixes.txt holds only its own fixes.
    lf_clearLiveryLists();
    EXPECT_EQ(gf_scannedTitleCount(), 0u);
    lf_addCodeFix("A20N => A320");
    lf_writeScanReport();
    EXPECT_EQ(test::readLines(g_fixesReport), Lines{"A20N => A320"});
}

TEST_F(LiveryReports, AScanWithoutFindingsWritesNoFile) {
    fs::remove_all(g_errorsFolder);
    lf_writeScanReport();
    EXPECT_TRUE(logHas("\nNo errors\n\nInformation:\n"));
    EXPECT_FALSE(fs::exists(g_errorsFolder));
    EXPECT_TRUE(fs::is_empty(g_infoFolder));
}

TEST_F(LiveryReports, AReportThatCannotBeWrittenIsNotAnnouncedAsWritten) {
    fs::create_directories(g_incompleteSectionsReport);  // a folder where the file should go
    lf_addIncompleteSection("x");
    lf_writeScanReport();
    EXPECT_TRUE(logHas("could not write " + g_incompleteSectionsReport.string()));
    EXPECT_FALSE(logHas("incomplete [fltsim.x] sections, see"));
}

TEST_F(LiveryReports, PreviousReportsAreRemovedUpToAFolderThatIsNotEmpty) {
    for (const fs::path* p : {&g_noFltsimReport, &g_liveriesScannedXml, &g_fixesReport, &g_incompleteSectionsReport}) {
        test::writeFile(*p, "old");
    }
    lf_removePreviousReports();
    EXPECT_FALSE(fs::exists(g_noFltsimReport));
    EXPECT_FALSE(fs::exists(g_liveriesScannedXml));
    EXPECT_FALSE(fs::exists(g_errorsFolder));

    test::writeFile(g_fixesReport, "old");
    test::writeFile(g_errorsFolder / "mine.txt", "user file");
    lf_removePreviousReports();
    EXPECT_FALSE(fs::exists(g_fixesReport));
    EXPECT_TRUE(fs::exists(g_errorsFolder / "mine.txt"));
    EXPECT_TRUE(logHas("problems with removing previous files: "));
}

TEST_F(LiveryReports, DatabaseCorrectsOnlyToNonEmptyValues) {
    g_dbaseRecords.emplace("EMPTY1", DbaseRecord{"", "", "", true});
    g_liveries = {{"XXX", "A320", "Airbus BAW", "G-EUPA", 1, false},
                  {"KLM", "B738", "Boeing KLM", "EMPTY1", 1, false},
                  {"KLM", "B738", "Boeing no id", "", 1, false}};
    lf_applyDbaseToLiveries();
    EXPECT_EQ(g_liveries[0].airl, "SHT");  // the operator wins over the airline
    EXPECT_EQ(g_liveries[0].type, "A319");
    EXPECT_EQ(g_liveries[1].airl, "KLM");
    EXPECT_EQ(g_liveries[1].type, "B738");
    EXPECT_TRUE(g_liveries[1].cargo);
    EXPECT_EQ(g_liveries[2].airl, "KLM");
    ASSERT_EQ(g_dbaseUpdates.size(), 3u);
    const std::string title = "Airbus BAW" + std::string(70, ' ');
    EXPECT_EQ(g_dbaseUpdates, (Lines{title + " G-EUPA airl XXX => SHT", title + " G-EUPA model A320 => A319",
                                     "Boeing KLM" + std::string(70, ' ') + " EMPTY1 cargo false => true"}));
    lf_writeScanReport();
    EXPECT_EQ(test::readLines(g_conversionsReport), g_dbaseUpdates);
    EXPECT_TRUE(logHas("3 liveries updated with real live data from dbase, see " + g_conversionsReport.string()));
}

}  // namespace
}  // namespace skh
