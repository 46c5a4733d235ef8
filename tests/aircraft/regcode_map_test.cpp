#include "aircraft/regcode_map.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "aircraft/liveries.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/livery_index.hpp"
#include "foundation/constants.hpp"
#include "livery_fixture.hpp"
#include "support/dataset_builder.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class RegcodeMapTest : public test::LiveryTest {
protected:
    static void packAig(const std::string& liveries) {
        test::packDataSet("<?xml version=\"1.0\"?><AIG-regcodes>" + liveries + "</AIG-regcodes>", g_aigRegcodesEnc);
    }
    static std::string titleOf(const std::string& regcode) {
        const auto it = g_regcodeMap.find(regcode);
        return it == g_regcodeMap.end() ? std::string() : std::string(it->second);
    }
};

// In-line regcodes first, then the data set, then the user's files: later
// sources win, each change and clash reported.
TEST_F(RegcodeMapTest, SourcesMergeInOrderWithTheirReports) {
    packAig(R"(<livery title="Boeing 737-800 KLM Orange Pride" reg="PH-BXA"/>)"
            R"(<livery title="Airbus A320 Lufthansa" reg="D-AIPC,D-AIPD" special="yes"/>)"
            R"(<livery title="Not Installed" reg="X-XXXX"/>)"
            R"(<livery title="Boeing 737-800 House Colours"/>)");
    test::writeFile(g_myRegcodesFolder / "mine.txt", "Boeing 737-800 KLM;PH-BXA\nNot Installed Either;Y-YYYY\n");
    std::vector<LiveryData> liveries = test::realisticLiveries();
    liveries.push_back({"KLM", "B738", "Boeing 737-800 KLM Clash", "PH-BXO", 1, false});
    install(liveries);

    EXPECT_EQ(test::readLines(g_inlineRegcodesReport),
              Lines{"PH-BXO 'Boeing 737-800 KLM Orange Pride' => already in use by 'Boeing 737-800 KLM Clash'"});
    EXPECT_TRUE(logHas("1 in-line regcode clashes, see '" + g_inlineRegcodesReport.string() + "'"));
    EXPECT_EQ(titleOf("PH-BXO"), "Boeing 737-800 KLM Clash");
    EXPECT_EQ(titleOf("PH-BXA"), "Boeing 737-800 KLM");  // the user's file has the last word
    EXPECT_EQ(titleOf("D-AIPC"), "Airbus A320 Lufthansa");
    EXPECT_EQ(titleOf("D-AIPD"), "Airbus A320 Lufthansa");
    EXPECT_EQ(titleOf("X-XXXX"), "");
    ASSERT_EQ(g_excludedTitles.size(), 2u);  // the AIG special, and a single user registration
    EXPECT_TRUE(gf_isExcludedTitle("Airbus A320 Lufthansa"));

    EXPECT_EQ(test::readLines(g_offlineRegcodesReport),
              (Lines{"Processing file " + g_aigRegcodesXml.string(),
                     "   regcode PH-BXA for 'Boeing 737-800 KLM Orange Pride', instead of the same for "
                     "'Boeing 737-800 KLM'",
                     "2 new regcodes added, 1 regcode replaced, 1 regcode defined as special",
                     "Processing files in " + g_myRegcodesFolder.string(),
                     "   regcode PH-BXA for 'Boeing 737-800 KLM', instead of the same for "
                     "'Boeing 737-800 KLM Orange Pride'",
                     "0 new regcodes added, 1 regcode replaced, 1 regcode defined as special"}));
    EXPECT_TRUE(
        logHas("Offline regcode files processed, results can be found in '" + g_offlineRegcodesReport.string() + "'"));
    EXPECT_TRUE(logHas("2 special liveries"));
    EXPECT_TRUE(logHas("\n7 registration codes\n"));
    EXPECT_FALSE(fs::exists(g_aigRegcodesXml));  // the plain text is gone again
}

TEST_F(RegcodeMapTest, WithoutTheDataSetOnlyInlineRegcodesCount) {
    install(test::realisticLiveries());
    EXPECT_EQ(g_regcodeMap.size(), 5u);
    EXPECT_FALSE(fs::exists(g_offlineRegcodesReport));
    EXPECT_FALSE(fs::exists(g_inlineRegcodesReport));
}

TEST_F(RegcodeMapTest, DontUseTitlesComeFromEntriesWithoutRegistrations) {
    packAig(R"(<livery title="Retired Livery"/><livery title="Used" reg="PH-ABC"/><livery title="Other Retired"/>)");
    test::writeFile(g_myRegcodesFolder / "mine.txt", "My Retired\nMine;PH-DEF\n");
    lf_readDontUseTitles();
    EXPECT_TRUE(lf_isDontUseTitle("Retired Livery"));
    EXPECT_TRUE(lf_isDontUseTitle("My Retired"));
    EXPECT_FALSE(lf_isDontUseTitle("Used"));
    EXPECT_FALSE(lf_isDontUseTitle("retired livery"));  // titles differ by case
    EXPECT_TRUE(logHas("2 don't use titles read\n"));
    EXPECT_TRUE(logHas("1 don't use title read from files in " + g_myRegcodesFolder.string()));
    EXPECT_FALSE(fs::exists(g_aigRegcodesXml));
}

TEST_F(RegcodeMapTest, BadUserFilesAreLoggedAndTheRestIsMerged) {
    packAig(
        R"(<livery title="Airbus A320 Lufthansa" reg="D-AIPC"/><livery title="Airbus A320 Lufthansa" reg="D-AIPE"/>)");
    test::writeFile(g_myRegcodesFolder / "mine.txt",
                    "Boeing 737-800 KLM;AB\n"
                    "Boeing 737-800 KLM;PH-BXE,PH-BXE\n"
                    "Boeing 737-800 KLM;PH-VERYLONGREGISTRATION\n" +
                        std::string(1 << 20, 'x') + ";PH-BXF\n" + "a;b;c;d\n");
    install(test::realisticLiveries());
    EXPECT_EQ(titleOf("PH-BXE"), "Boeing 737-800 KLM");
    EXPECT_EQ(titleOf("D-AIPC"), "Airbus A320 Lufthansa");
    EXPECT_EQ(titleOf("D-AIPE"), "");  // a repeated AIG title is dropped
    EXPECT_TRUE(logHas("SAME AS PREVIOUS title 'Airbus A320 Lufthansa'"));
    EXPECT_TRUE(logHas("wrong regcode length 'AB'"));
    EXPECT_TRUE(logHas("wrong regcode length 'PH-VERYLONGREGISTRATION'"));
    EXPECT_TRUE(logHas("There were errors processing the regcode files in folder '" + g_myRegcodesFolder.string() +
                       "', see Log.txt"));
    EXPECT_EQ(test::readLines(g_offlineRegcodesReport)[1],
              "There were errors processing the AIG-regcode file '" + g_aigRegcodesXml.string() + "', see Log.txt");
}

}  // namespace
}  // namespace skh
