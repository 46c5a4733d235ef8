#include "aircraft/livery_match.hpp"

#include <gtest/gtest.h>

#include "aircraft/liveries.hpp"
#include "aircraft/livery_index.hpp"
#include "aircraft/refused_liveries.hpp"
#include "aircraft/regcode_map.hpp"
#include "foundation/errors.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "livery_fixture.hpp"

namespace skh {
namespace {

class LiveryMatch : public test::LiveryTest {
protected:
    void SetUp() override {
        RANDOM.value = false;
        install(test::realisticLiveries());
    }
};

struct LiveCase {
    const char* label;
    std::int32_t depth;
    const char* airline;
    const char* type;
    const char* registration;
    bool cargo;
    const char* title;  // "" for no match
    int step;
};

// The ladder of a live aircraft, from the registration to a similar type of
// any airline, on the realistic installation (RANDOM off: first candidate).
TEST_F(LiveryMatch, LiveAircraftWalkTheStepsInOrder) {
    const LiveCase cases[] = {
        {"registration wins over airline", 4, "DLH", "B738", "PH-BXA", false, "Boeing 737-800 KLM", 1},
        {"airline and type", 4, "KLM", "B738", "PH-XXX", false, "Boeing 737-800 KLM", 2},
        {"cargo falls back to passenger", 4, "DLH", "B744", "", true, "Boeing 747-400 Lufthansa", 2},
        {"cargo livery for cargo", 4, "KLM", "B744", "", true, "Boeing 747-400 KLM Cargo", 2},
        {"passenger never gets cargo", 4, "UPS", "B744", "", false, "", 0},
        {"database airline of the registration", 4, "SHT", "A321", "G-EUPA", false, "Airbus A321 British Airways", 2},
        {"similar type of the airline", 4, "BAW", "A320", "", false, "Airbus A321 British Airways", 3},
        {"private goes generic first", 4, "PVT", "B738", "", false, "Boeing 737-800 House Colours", 4},
        {"generic for an unknown airline", 4, "XYZ", "B738", "", false, "Boeing 737-800 House Colours", 4},
        {"heavy: only the generic lookup", 4, "XYZ", "A388", "", false, "", 0},
        {"private airline and type", 4, "PVT", "PA28", "", false, "Piper PA-28 N123AB", 2},
        {"light type of any airline", 4, "XYZ", "PA28", "", false, "Piper PA-28 N123AB", 5},
        {"light similar type of any airline", 4, "PVT", "DA40", "", false, "Cessna 172 White", 6},
        {"depth 1: registration only", 1, "KLM", "B738", "", false, "", 0},
        {"depth 2: no similar types", 2, "BAW", "A320", "", false, "", 0},
        {"depth 3: generic only for small kinds", 3, "XYZ", "B738", "", false, "", 0},
        {"depth 3: generic for a small kind", 3, "XYZ", "GLF5", "", false, "Gulfstream V FSLTL_Generic", 4},
    };
    for (const LiveCase& c : cases) {
        SCOPED_TRACE(c.label);
        MATCHING_DEPTH.value = c.depth;
        gf_resetMatchCounters();
        FlightIdent ac = aircraft(c.airline, c.type, c.registration, c.cargo);
        gf_matchLiveryForSpawn(ac);
        EXPECT_EQ(ac.liveryTitle, c.title);
        for (int step = 1; step <= 6; ++step) {
            EXPECT_EQ(g_matchesAtStep[step - 1], step == c.step ? 1 : 0) << "step " << step;
        }
    }
}

TEST_F(LiveryMatch, StaticAircraftTakeTheStandsCargoFlagAndLogTheirStep) {
    FlightIdent cargo = aircraft("UPS", "B744");
    EXPECT_TRUE(gf_matchLivery(cargo, true, "C12"));
    EXPECT_EQ(cargo.liveryTitle, "Boeing 747-400F UPS");
    EXPECT_TRUE(logHas("          " + gf_acDescription(cargo) + " =2= Boeing 747-400F UPS"));

    FlightIdent again = cargo;
    EXPECT_TRUE(gf_matchLivery(again, false, "C12"));  // already has a title
    EXPECT_TRUE(logHas(" =s= Boeing 747-400F UPS"));

    // The static entry tries the airline step with an empty airline and takes
    // every similar type, whatever its size category.
    FlightIdent noAirline = aircraft("", "A388");
    EXPECT_FALSE(gf_matchLivery(noAirline, false, "E7"));
    EXPECT_TRUE(logHas("E7      : " + gf_acDescriptionLong(noAirline) + " no livery match ..."));
    FlightIdent similar = aircraft("UPS", "B748");
    EXPECT_TRUE(gf_matchLivery(similar, true, "C1"));
    EXPECT_EQ(similar.liveryTitle, "Boeing 747-400F UPS");
    EXPECT_TRUE(logHas(" =3= Boeing 747-400F UPS"));

    MATCHING_DEPTH.value = 1;
    FlightIdent shallow = aircraft("KLM", "B738");
    EXPECT_FALSE(gf_matchLivery(shallow, false, "A1"));
    EXPECT_TRUE(logHas("no livery match ..."));
    for (const std::int32_t count : g_matchesAtStep) EXPECT_EQ(count, 0);  // static matches are not counted
}

TEST_F(LiveryMatch, SpecialLiveriesAreOnlyGivenThroughTheirRegistration) {
    const TitleView special = lf_findTitleView("Boeing 737-800 KLM");
    ASSERT_FALSE(special.empty());
    gf_addExcludedTitle(special);
    g_regcodeMap.try_emplace("PH-BXA", special);
    FlightIdent byAirline = aircraft("KLM", "B738");
    gf_matchLiveryForSpawn(byAirline);
    EXPECT_EQ(byAirline.liveryTitle, "Boeing 737-800 KLM Orange Pride");
    FlightIdent byRegistration = aircraft("KLM", "B738", "PH-BXA");
    gf_matchLiveryForSpawn(byRegistration);
    EXPECT_EQ(byRegistration.liveryTitle, "Boeing 737-800 KLM");

    // When every candidate is special, the last try stands.
    gf_addExcludedTitle(lf_findTitleView("Boeing 737-800 KLM Orange Pride"));
    FlightIdent allSpecial = aircraft("KLM", "B738");
    gf_matchLiveryForSpawn(allSpecial);
    EXPECT_EQ(allSpecial.liveryTitle, "Boeing 737-800 KLM");
}

TEST_F(LiveryMatch, TraceFsltlFlagSummaryAndUnmatchedAircraft) {
    FlightIdent jet = aircraft("XYZ", "GLF5");
    gf_matchLiveryForSpawn(jet);
    EXPECT_EQ(jet.liveryTitle, "Gulfstream V FSLTL_Generic");
    EXPECT_EQ(jet.fsltlModel, 1);
    EXPECT_TRUE(logHas("          " + gf_acDescription(jet) + " =4= Gulfstream V FSLTL_Generic"));
    FlightIdent klm = aircraft("KLM", "B738", "PH-BXA");
    gf_matchLiveryForSpawn(klm);
    EXPECT_EQ(klm.fsltlModel, 0);

    FlightIdent none = aircraft("UPS", "A388", "N388UP");
    gf_matchLiveryForSpawn(none);
    EXPECT_TRUE(none.liveryTitle.empty());
    FlightIdent noRegistration = aircraft("UPS", "A388");
    gf_matchLiveryForSpawn(noRegistration);
    EXPECT_EQ(g_noMatchLines.size(), 1u);  // only aircraft with a registration are listed
    gf_logNoMatch();
    const std::string key = lf_fmtIdentKey(none);
    EXPECT_TRUE(logHas("\nNo match found for:\n" + key + "\n\n"));
    LOG.value = false;
    const std::size_t before = logText().size();
    gf_logNoMatch();
    EXPECT_EQ(logText().size(), before);
    LOG.value = true;

    gf_logMatchingSummary();
    const std::string stars(31, '*');
    EXPECT_TRUE(logHas("\n\n" + stars + " live traffic livery matching summary " + stars +
                       "\nMatches at step: \n"
                       "  1: 1\n  2: 0\n  3: 0\n  4: 1\n  5: 0\n  6: 0\n" +
                       std::string(100, '*') + "\n\n"));
}

TEST_F(LiveryMatch, NoLiveMatchWritesNoSummary) {
    const std::size_t before = logText().size();
    gf_logMatchingSummary();
    EXPECT_EQ(logText().size(), before);
}

TEST_F(LiveryMatch, RefusedTitlesAreNeverGivenAgainAndTheTwentiethEndsTheRun) {
    FlightIdent ac = aircraft("KLM", "B744", "", true);
    gf_matchLiveryForSpawn(ac);
    ASSERT_EQ(ac.liveryTitle, "Boeing 747-400 KLM Cargo");
    lf_reportUncreatable(ac);
    EXPECT_TRUE(logHas("KLM123 'Boeing 747-400 KLM Cargo' could not be created by your Sim!"));
    FlightIdent next = aircraft("KLM", "B744", "", true);
    gf_matchLiveryForSpawn(next);
    EXPECT_TRUE(next.liveryTitle.empty());  // refused at step 2: later steps are not tried
    FlightIdent parked = aircraft("KLM", "B744");
    EXPECT_FALSE(gf_matchLivery(parked, true, "C3"));

    g_closeRequested = true;  // refusals after the window closed change nothing
    lf_reportUncreatable(ac);
    g_closeRequested = false;
    EXPECT_EQ(g_refusedTitles.size(), 1u);

    for (int i = 2; i < 20; ++i) lf_reportUncreatable(ac);  // the same title counts every time
    EXPECT_FALSE(logHas("Error 81"));
    try {
        lf_reportUncreatable(ac);
        FAIL() << "the 20th refusal must end the run";
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(), "81: There are too many liveries that could not be created by P3D!, see Log.txt");
    }
    EXPECT_TRUE(logHas("\n===> Error 81, There are too many liveries that could not be created by P3D!\n"));
    EXPECT_EQ(gf_listMapEntries(), std::vector<std::string>{"  B744 KLM"});

    gf_matchLiveryForSpawn(ac = aircraft("XYZ", "GLF5"));
    gf_logMatchingSummary();
    EXPECT_TRUE(logHas("\nCould not be created by P3D:\n  B744 KLM\n"));
}

// A rescan rebuilds the index while aircraft records and the refused titles
// still hold titles of the old one: none of them may read freed memory.
TEST_F(LiveryMatch, TitlesHeldAcrossARescanStayReadable) {
    FlightIdent held = aircraft("DLH", "A320");
    gf_matchLiveryForSpawn(held);
    ASSERT_EQ(held.liveryTitle, "Airbus A320 Lufthansa");
    lf_reportUncreatable(held);
    gf_clearLiveryIndex();
    EXPECT_FALSE(g_liveryIndexReady);
    std::vector<LiveryData> fewer = test::realisticLiveries();
    fewer.resize(3);
    install(fewer);
    EXPECT_EQ(held.liveryTitle, "Airbus A320 Lufthansa");  // old bytes, still there
    EXPECT_TRUE(gf_isRefusedTitle("Airbus A320 Lufthansa"));
    EXPECT_TRUE(lf_findTitleView("Airbus A320 Lufthansa").empty());
    EXPECT_EQ(g_liveryCount, 3u);
    FlightIdent after = aircraft("KLM", "B738");
    gf_matchLiveryForSpawn(after);
    EXPECT_EQ(after.liveryTitle, "Boeing 737-800 KLM");
}

}  // namespace
}  // namespace skh
