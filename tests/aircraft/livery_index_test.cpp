#include "aircraft/livery_index.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aircraft/liveries.hpp"
#include "aircraft/similar_models.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/parameter_table.hpp"
#include "livery_fixture.hpp"
#include "platform/window.hpp"

namespace skh {
namespace {

using Types = std::vector<std::string>;

class LiveryIndexTest : public test::LiveryTest {
protected:
    void TearDown() override {
        HELICOPTERS.hwnd = 0;
        platform::destroyAllControls();
    }
};

TEST_F(LiveryIndexTest, ProcessingBuildsTheIndexAndReportsEachCategory) {
    HELICOPTERS.hwnd = platform::createControl(platform::ControlKind::CheckBox, HELICOPTERS.controlId, u"", 0, 0, 1, 1);
    install(test::realisticLiveries());
    EXPECT_TRUE(g_liveryIndexReady);
    EXPECT_EQ(g_liveryCount, 12u);
    EXPECT_TRUE(logHas("12 liveries read from " + g_liveriesScannedXml.string()));
    EXPECT_TRUE(logHas("\n5 registration codes\n"));
    EXPECT_TRUE(logHas("7 airlines, 7 pax aircraft models and 2 cargo aircraft models"));
    EXPECT_TRUE(logHas("7 similar model definitions"));
    EXPECT_TRUE(logHas("Category Light: 2 pax liveries\n  C172,PA28\n"));
    EXPECT_TRUE(logHas("Category Buzjets: 1 pax liverie\n  GLF5\n"));
    EXPECT_TRUE(logHas("Category Large: 5 pax liveries\n  A320,A321,B738\n"));
    EXPECT_TRUE(logHas("Category Heavy: 1 pax liverie and 3 cargo liveries\n  B744,B748\n"));
    EXPECT_TRUE(logHas("Category HighPerf: No livery found\n"));
    EXPECT_TRUE(
        logHas("Category Rotorcraft: No livery found\nHELICOPTERS=false\n"
               "HELICOPTERS temporarily switched off because you do not have Helicopters installed"));
    EXPECT_FALSE(HELICOPTERS.value);
    EXPECT_NE(test::readFile(g_parametersXmlPath).find(R"(name="HELICOPTERS" value="false")"), std::string::npos);
    platform::ControlState control;
    ASSERT_TRUE(platform::controlState(HELICOPTERS.hwnd, control));
    EXPECT_FALSE(control.enabled);
    EXPECT_EQ(g_lightTypes, (Types{"C172", "PA28"}));
    EXPECT_EQ(g_buzjetTypesInstalled, Types{"GLF5"});

    // An airline with only cargo liveries is in the cargo index alone.
    EXPECT_EQ(g_liveryIndex[0].count("UPS"), 0u);
    ASSERT_EQ(g_liveryIndex[1].count("UPS"), 1u);
    EXPECT_EQ(g_liveryIndex[1].at("UPS").at("B744"), TitleViews{"Boeing 747-400F UPS"});
    EXPECT_EQ(g_liveryTypeIndex[0].at("B738"),
              (TitleViews{"Boeing 737-800 KLM", "Boeing 737-800 KLM Orange Pride", "Boeing 737-800 House Colours"}));
    EXPECT_TRUE(gf_hasLivery("BAW", "A321"));
    EXPECT_FALSE(gf_hasLivery("BAW", "A320"));
    EXPECT_EQ(gf_liveryKeys(), (Types{"BAW", "DLH", "GEC", "KLM", "PVT", "UPS", "ZZZ"}));

    // A second start in the same process keeps the index.
    lf_processScannedLiveries();
    EXPECT_TRUE(logHas("Processing scanned liveries skipped; already done in previous start-up"));
}

TEST_F(LiveryIndexTest, CountLinesAndTypeLines) {
    std::vector<LiveryData> liveries{{"DLH", "B744", "Pax 744", "", 1, false},
                                     {"UPS", "B744", "Freighter 744", "", 1, true},
                                     {"GEC", "B748", "Freighter 748", "", 1, true},
                                     {"ZZZ", "EC35", "Heli", "", 1, false}};
    for (int i = 1; i <= 41; ++i)
        liveries.push_back({"ZZZ", skh::format("L{:03}", i), skh::format("Light {}", i), "", 1, false});
    HELICOPTERS.value = false;
    install(liveries);
    EXPECT_TRUE(logHas("Category Heavy: 1 pax liverie and 2 cargo liveries\n"));
    EXPECT_TRUE(logHas("Category Rotorcraft: 1 pax liverie\n  EC35\n"));
    const std::vector<std::string> lines = m_log.lines();
    std::vector<std::string> typeLines;
    for (const std::string& line : lines) {
        if (line.rfind("  L0", 0) == 0) typeLines.push_back(line);
    }
    ASSERT_EQ(typeLines.size(), 3u);
    EXPECT_EQ(typeLines[0].substr(0, 12), "  L001,L002,");
    EXPECT_EQ(typeLines[0].back(), '0');  // L020, no trailing comma
    EXPECT_EQ(typeLines[1].substr(typeLines[1].size() - 4), "L040");
    EXPECT_EQ(typeLines[2], "  L041");
    // A setting already off is not switched off again; nothing saved.
    EXPECT_FALSE(logHas("HELICOPTERS temporarily"));
}

TEST_F(LiveryIndexTest, SimilarModelsOfTypesAndAirlines) {
    install({{"DLH", "A320", "A320 DLH", "", 1, false},
             {"BAW", "A321", "A321 BAW", "", 1, false},
             {"BAW", "C172", "C172 BAW", "", 1, false}});
    EXPECT_EQ(g_installedSimilarTypes.at("A319"), (Types{"A320", "A321"}));
    EXPECT_EQ(g_installedSimilarTypes.at("A320"), Types{"A321"});
    EXPECT_EQ(g_installedSimilarTypes.at("A321"), Types{"A320"});
    EXPECT_EQ(g_installedSimilarTypes.count("C172"), 0u);  // no other member installed
    EXPECT_EQ(g_installedSimilarTypes.at("PA28"), Types{"C172"});
    const auto& baw = g_airlineSimilarTypes.at("BAW");
    EXPECT_EQ(baw.at("A319"), Types{"A321"});
    EXPECT_EQ(baw.at("A320"), Types{"A321"});
    EXPECT_EQ(baw.count("A321"), 0u);
    EXPECT_EQ(gf_findSimilarModel("BAW", "A320"), Types{"A321"});
    EXPECT_TRUE(gf_findSimilarModel("KLM", "A320").empty());
    EXPECT_TRUE(gf_singleTypeList([] { return std::string(); }).empty());
    EXPECT_EQ(gf_singleTypeList([] { return std::string("B738"); }), Types{"B738"});
}

TEST_F(LiveryIndexTest, PublisherFromFileName) {
    std::vector<std::string> report;
    const auto sink = [&report](const std::string& line) { report.push_back(line); };
    EXPECT_EQ(gf_publisherFromFileName("ORBX_EGLL_scenery.bgl", sink), "simaddon");
    EXPECT_EQ(gf_publisherFromFileName("scenery\\orbx_egll.bgl", sink), "simaddon");
    EXPECT_EQ(report, (Types{"from filename => publisher simaddon", "from filename => publisher simaddon"}));
    EXPECT_EQ(gf_publisherFromFileName("D:\\Addons\\puba_EDDF\\scenery\\AP.bgl"), "Publisher A");
    EXPECT_EQ(gf_publisherFromFileName("AS_LSZH.bgl"), "Aerosoft");
    EXPECT_EQ(gf_publisherFromFileName("KLAX_ap.bgl"), "unknown");
}

}  // namespace
}  // namespace skh
