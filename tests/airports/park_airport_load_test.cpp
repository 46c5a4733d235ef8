// Loading the park airport's stands from its stand file and learned file,
// with fake parked aircraft; the closest-stand reader and the off-line
// learning check, against a local download server.
#include "airports/park_airport_load.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "aircraft/dbase.hpp"
#include "airports/airport.hpp"
#include "airports/fake_parked.hpp"
#include "airports/learned_stands.hpp"
#include "airports/stand_locations.hpp"
#include "feed/park_fix.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "support/http_server.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

const std::string kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";
constexpr double kDegPerMetre = 1.0 / 1852.0 / 60.0;

std::string param(const std::string& key, const std::string& value) {
    return R"(<parameter name=")" + key + R"(" value=")" + value + R"("/>)";
}
std::string standFile(const std::string& params, const std::string& stands, const std::string& meta = kMeta) {
    return "<?xml version=\"1.0\"?>" + meta + "<parameters>" + params + "</parameters><parkpositions>" + stands +
           "</parkpositions>";
}
// A stand `north` metres north of 51.47/-0.45.
std::string parkpos(const std::string& id, double north, double radius, const std::string& extra = "") {
    return skh::format(R"(<parkpos id="{}" latitude="{:.6f}" longitude="-0.450000" heading="90" radius="{}" {}/>)", id,
                       51.47 + north * kDegPerMetre, radius, extra);
}

class ParkAirportLoad : public ::testing::Test {
protected:
    ParkAirportLoad()
        : cwd((fs::create_directories(dir / "program"), dir / "program")), url(kDownloadUrlVariable, server.url()) {}
    void SetUp() override {
        for (const auto* f : {&g_myThirdpartyFolder, &g_myOrbxFolder, &g_learnedStockFolder})
            fs::create_directories(*f);
        fs::create_directories(dir / "site/P3D/archive/stock");
        limits = g_standDownloadLimits;
        g_standDownloadLimits = {std::chrono::milliseconds(2000), 64, std::chrono::seconds(1),
                                 std::chrono::milliseconds(2500)};
        gf_clearStockProbes();
        gf_setParkAirport(Airport{"EGLL", "LHR", 51.47, -0.45, 0.0});
        g_stands.clear();
        PARK_FAKE.value = false;
        RANDOM.value = false;
    }
    void TearDown() override {
        g_standDownloadLimits = limits;
        gf_clearStockProbes();
        gf_clearParkAirport();
        g_stands.clear();
        g_apfHandmade = false;
        g_parkAirportLoaded = false;
        PARK_FAKE.value = false;
        RANDOM.value = true;
        parking_percentage.value = parking_percentage.defaultValue;
        gf_resetLearnedMerge();
        gf_clearErrorMessage();
        gf_clearStatusMessage();
    }
    std::string load(const std::string& reference) {
        g_stands.clear();
        ApfInfo info;
        std::uint64_t qf = 0;
        const std::string result = gf_readApf(reference, info, qf);
        lastInfo = info;
        lastQf = qf;
        return result;
    }

    test::TempDir dir;
    test::HttpServer server{dir / "site"};
    test::ScopedCwd cwd;
    test::ScopedEnv url;
    test::ScopedLog log;
    DownloadLimits limits;
    ApfInfo lastInfo;
    std::uint64_t lastQf = 0;
};

TEST_F(ParkAirportLoad, BadFilesGiveTheirMessageAndGiveUpOnlyTheAirport) {
    const std::string ok = param("altitude", "83") + param("publisher", "Maker");
    struct Case {
        const char* label;
        std::string file;       // written as airports/my_thirdparty/EGLL.xml; empty: none
        std::string reference;  // loaded
        std::string result;
        std::string errorLine;   // the red line of the main window
        bool fileAtHand = true;  // the hand-made mark is cleared
    };
    const std::string local = "airports\\my_thirdparty\\EGLL.xml";
    const std::vector<Case> cases = {
        {"no reference", "", "", "gf_readApf: xml is empty", "", false},
        {"not XML", "<meta><parameters>", local,
         "airports\\my_thirdparty\\EGLL.xml: could not load file: airports/my_thirdparty/EGLL.xml", ""},
        {"no date in the meta block",
         standFile(ok, parkpos("A1", 0, 30),
                   R"(<meta><info name="author" value="a"/><info name="version" value="v"/></meta>)"),
         local, "airports\\my_thirdparty\\EGLL.xml: refused to load (copyright)", ""},
        {"no altitude", standFile(param("publisher", "Maker"), parkpos("A1", 0, 30)), local,
         "gf_readApf: 65: Parameter altitude not found", "65: Parameter altitude not found"},
        {"a stand twice", standFile(ok, parkpos("A1", 0, 30) + parkpos("A2", 50, 30) + parkpos("A1", 100, 30)), local,
         "gf_readApf: 94: Parking position A1 appears more than once?",
         "94: Parking position A1 appears more than once?"},
        {"an altitude no airport has", standFile(param("altitude", "99999"), parkpos("A1", 0, 30)), local,
         "airports\\my_thirdparty\\EGLL.xml: altitude 99999 ft is no airport's", ""},
        {"not on the server", "", "archive/stock/EGLL.xml",
         "failed to download: '" + server.url() + "P3D/archive/stock/EGLL.xml'", "", false},
        {"a reference that leaves its folder", "", "airports\\..\\..\\EGLL.xml",
         "airports\\..\\..\\EGLL.xml: could not load file: an unsafe reference", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        gf_clearErrorMessage();
        g_apfHandmade = true;
        fs::remove(g_myThirdpartyFolder / "EGLL.xml");
        if (!c.file.empty()) test::writeFile(g_myThirdpartyFolder / "EGLL.xml", c.file);
        EXPECT_EQ(load(c.reference), c.result);
        EXPECT_EQ(gf_errorText(), c.errorLine);
        EXPECT_FALSE(g_parkAirportLoaded.load());
        EXPECT_FALSE(g_stopRequested.load());  // the run goes on
        EXPECT_EQ(g_apfHandmade, !c.fileAtHand);
    }

    gf_clearParkAirport();
    EXPECT_FALSE(gf_parkElevation());
    EXPECT_EQ(load(local), "gf_readApf: no park airport set");
}

TEST_F(ParkAirportLoad, AFileWithoutLearnedFileIsNumberedWithItsNeighbours) {
    PARK_FAKE.value = true;  // no effect without a learned file
    test::writeFile(g_myOrbxFolder / "EGLL.xml",
                    standFile(param("airport_name", "Heathrow") + param("publisher", "simaddon") +
                                  param("altitude", "83") + param("Qf_real", "50") + param("RT_traffic_week", "12"),
                              // A1-A2 20 m apart, A2-A3 30 m apart, radii 15 m: only A1 and A2 touch.
                              parkpos("A1", 0, 15) + parkpos("A2", 20, 15) + parkpos("A3", 50, 15) +
                                  R"(<parkpos id="Z" latitude="0" longitude="0"/>)"
                                  // An archived file gives its stands in its first list only.
                                  "</parkpositions><parkpositions>" +
                                  parkpos("B1", 80, 15)));
    EXPECT_EQ(load("airports\\my_ORBX\\EGLL.xml"), "");
    ASSERT_EQ(g_stands.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(g_stands[i].id, i + 1);
    EXPECT_EQ(g_stands[0].adjacent, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(g_stands[1].adjacent, (std::vector<std::uint32_t>{1}));
    EXPECT_TRUE(g_stands[2].adjacent.empty());
    EXPECT_TRUE(std::all_of(g_stands.begin(), g_stands.end(), [](const Stand& s) { return s.options.empty(); }));
    EXPECT_EQ(parking_percentage.value.load(), 30);
    EXPECT_EQ(gf_qfReal(lastQf), 50);
    EXPECT_EQ(gf_qfSoft(lastQf), -1);
    EXPECT_EQ(lastInfo.altitude, 83);
    EXPECT_EQ(gf_parkAirport().elevation, 83.0);
    EXPECT_EQ(gf_parkElevation(), 83.0);  // the feed's ground reference
    EXPECT_EQ(g_rtTrafficWeek.load(), 12u);
    EXPECT_TRUE(g_parkAirportLoaded.load());
    EXPECT_EQ(g_parkBoard.standCount.load(), 3u);
    EXPECT_EQ(g_parkBoard.publisher.get(), "simaddon");
    EXPECT_EQ(g_parkBoard.quality.get(), "50");

    const auto lines = log.lines();
    const std::vector<std::string> tail = {
        "          parking_percentage      : 30%",
        "Airport file read from 'airports\\my_ORBX\\EGLL.xml' for Heathrow",
        "          publisher               : simaddon",
        "          altitude                : 83 ft",
        "          num_parkpos             : 3",
        "          quality factor          : 50",
        "          RT traffic week         : 12",
    };
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(tail.size()), lines.end()), tail);

    // No stands at all still loads the airport.
    test::writeFile(g_myOrbxFolder / "EGLL.xml", standFile(param("altitude", "83"), ""));
    g_parkAirportLoaded = false;
    EXPECT_EQ(load("airports\\my_ORBX\\EGLL.xml"), "no stands found");
    EXPECT_TRUE(g_parkAirportLoaded.load());
    EXPECT_EQ(lf_fmtQualityFactors(lastQf), "  ");
}

TEST_F(ParkAirportLoad, AServerFileIsFetchedAndItsLearnedFileMergedWithFakes) {
    test::writeFile(dir / "site/P3D/archive/stock/EGLL.xml",
                    standFile(param("publisher", "stock") + param("altitude", "83"),
                              parkpos("A1", 0, 30) + parkpos("H1", 200, 15, R"(heli="true")")));
    const std::string learned =
        standFile(param("airport_name", "") + param("PARK_FAKE", "true"),
                  R"(<parkpos id="A1"><opt reg="GEUUA" airl="BAW" type="A320" day="2" hh="20" cs="BAW12"/></parkpos>)");
    test::writeFile(g_learnedStockFolder / "EGLL.xml", learned);
    EXPECT_EQ(load("archive/stock/EGLL.xml"), "");
    EXPECT_TRUE(fs::exists(g_parkAirportXml));
    ASSERT_EQ(g_stands.size(), 2u);
    ASSERT_EQ(g_stands[0].options.size(), 1u);  // learned; no type of the E row fits 30 m here
    EXPECT_EQ(g_stands[0].options[0].callsign, "BAW12");
    ASSERT_EQ(g_stands[1].options.size(), 1u);
    EXPECT_EQ(g_stands[1].options[0].type, "EC35");
    EXPECT_EQ(g_stands[1].options[0].registration, "REGFAKE1");
    EXPECT_GE(gf_qfSoft(lastQf), 0);                                        // recomputed from the stands
    EXPECT_EQ(test::readFile(g_learnedStockFolder / "EGLL.xml"), learned);  // reading never writes it

    // The server failing on the next load: the message, and the learned file as it was.
    server.setFault("*", test::HttpServer::Fault::CutBody);
    EXPECT_EQ(load("archive/stock/EGLL.xml"), "failed to download: '" + server.url() + "P3D/archive/stock/EGLL.xml'");
    EXPECT_EQ(test::readFile(g_learnedStockFolder / "EGLL.xml"), learned);
}

// A learned file that the system cannot open (a link to itself) or read to
// its end (a folder at its name) is neither absent nor damaged: the load
// moves nothing and flies its backup, if there is one, in this run only, and
// the save is refused, with the file, the system's reason and what the user
// can do, so that nothing is written over it nor over the backup.
TEST_F(ParkAirportLoad, ALearnedFileThatCannotBeOpenedOrReadIsNeverMovedNorWrittenOver) {
    test::writeFile(dir / "site/P3D/archive/stock/EGLL.xml",
                    standFile(param("publisher", "stock") + param("altitude", "83"),
                              parkpos("A1", 0, 30) + parkpos("A2", 100, 30)));
    const fs::path learned = g_learnedStockFolder / "EGLL.xml";
    const fs::path backup = g_learnedStockFolder / "EGLL0.xml";
    const std::string backupText =
        standFile("", R"(<parkpos id="A2"><opt reg="GEUUB" airl="BAW" type="A320" day="2" hh="20"/></parkpos>)");
    struct Case {
        const char* label;
        std::function<void()> make;
        std::function<bool()> unchanged;
        std::string reason;  // the system's
        std::string remedy;  // what the user can do
    };
    const Case cases[] = {
        {"a link to itself, which no open gets through", [&] { fs::create_symlink("EGLL.xml", learned); },
         [&] { return fs::is_symlink(learned) && fs::read_symlink(learned) == "EGLL.xml"; },
         "Too many levels of symbolic links",
         "the link at " + learned.string() + " is replaced by the file it stands for, or removed"},
        {"a folder, which no read gets through",
         [&] {
             fs::create_directory(learned);
             test::writeFile(learned / "notes.txt", "the user's");
         },
         [&] { return fs::is_directory(learned) && test::readFile(learned / "notes.txt") == "the user's"; },
         "Is a directory", "the folder at " + learned.string() + " is removed or renamed"},
    };
    for (const Case& c : cases) {
        for (const bool withBackup : {true, false}) {
            SCOPED_TRACE(std::string(c.label) + (withBackup ? ", with a backup" : ", without a backup"));
            fs::remove_all(learned);
            fs::remove(backup);
            if (withBackup) test::writeFile(backup, backupText);
            c.make();
            const std::set<std::string> before = test::entryNames(g_learnedStockFolder);
            const std::size_t firstLine = log.lines().size();

            EXPECT_EQ(load("archive/stock/EGLL.xml"), "");
            ASSERT_EQ(g_stands.size(), 2u);
            EXPECT_EQ(g_stands[1].options.size(), withBackup ? 1u : 0u);  // the backup's
            EXPECT_EQ(test::entryNames(g_learnedStockFolder), before);
            EXPECT_TRUE(c.unchanged());
            EXPECT_TRUE(log.contains(learned.string() + " could not be read and is kept as it is: " + c.reason));

            AirportFileData data;
            data.stands = g_stands;
            const auto savePath = gf_learnedSavePath("EGLL", "stock");
            ASSERT_TRUE(savePath.has_value());
            EXPECT_FALSE(gf_writeLearnedFile(data, *savePath));
            EXPECT_EQ(test::entryNames(g_learnedStockFolder), before);
            EXPECT_TRUE(c.unchanged());
            if (withBackup) {
                EXPECT_EQ(test::readFile(backup), backupText);
            }
            EXPECT_TRUE(log.lines().back().ends_with(learned.string() + " could not be read: " + c.reason +
                                                     "; learned data of this airport is not saved until " + c.remedy))
                << log.lines().back();
            const std::vector<std::string> lines = log.lines();
            for (std::size_t i = firstLine; i < lines.size(); ++i) {
                EXPECT_EQ(lines[i].find("tries again"), std::string::npos) << lines[i];
            }
        }
    }
    fs::remove_all(learned);
}

TEST_F(ParkAirportLoad, TheClosestStandAndTheOfflineCheck) {
    test::writeFile(g_myThirdpartyFolder / "EGLL.xml",
                    standFile(param("altitude", "83"), parkpos("A1", 0, 30) + parkpos("A2", 100, 30) +
                                                           R"(<parkpos id="BAD" latitude="nan" longitude="1"/>)"));
    std::string name = "before";
    EXPECT_NEAR(gf_readDestApfForClosestStand("EGLL", GeoPos{51.47 + 90 * kDegPerMetre, -0.45}, name), 10.0 / 1852.0,
                1e-5);  // the file keeps six decimals
    EXPECT_EQ(name, "A2");
    name = "before";
    EXPECT_EQ(gf_readDestApfForClosestStand("EGLL", GeoPos{51.47 - 100.001 / 60.0, -0.45}, name),
              100.0);  // just past 100 nm
    EXPECT_EQ(name, "before");
    EXPECT_EQ(gf_readDestApfForClosestStand("LFPG", GeoPos{49.0, 2.5}, name), 100.0);  // no file anywhere
    EXPECT_EQ(name, "before");

    struct Case {
        const char* code;
        std::string params;
        bool suitable;
    };
    const std::vector<Case> cases = {
        {"EDDA", param("Qf_real", "0") + param("RT_traffic_week", "30"), false},
        {"EDDB", param("Qf_real", "0") + param("RT_traffic_week", "31"), true},
        {"EDDC", param("Qf_soft", "5") + param("RT_traffic_week", "52"), true},
        {"EDDD", param("RT_traffic_week", "52"), false},
        {"EDDE", param("Qf_real", "10"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        test::writeFile(dir / "site/P3D/archive/stock" / (std::string(c.code) + ".xml"), standFile(c.params, ""));
        EXPECT_EQ(gf_prepareOfflineLearning(c.code), c.suitable);
        EXPECT_FALSE(fs::exists(std::string(c.code) + ".xml"));
    }
    EXPECT_FALSE(gf_prepareOfflineLearning("EDDZ"));
    EXPECT_TRUE(log.contains("===> Failed to download EDDZ.xml"));
    EXPECT_TRUE(log.contains("===> EDDA not suitable for offline learning"));
}

// Fake parked aircraft, one stand at a time.
class FakeParked : public ::testing::Test {
protected:
    void SetUp() override {
        RANDOM.value = false;
        saved = g_wingspans;
        // Half spans in nm.
        for (const auto& [type, metres] : std::vector<std::pair<std::string, double>>{{"C208", 8.0},
                                                                                      {"B752", 19.0},
                                                                                      {"B763", 24.0},
                                                                                      {"A306", 22.0},
                                                                                      {"C172", 5.5},
                                                                                      {"A320", 17.0},
                                                                                      {"B738", 17.9},
                                                                                      {"B77W", 32.5}})
            g_wingspans[type] = metres / 1852.0;
        savedCategories = g_categoryWingspans;
        g_categoryWingspans.fill(20.0 / 1852.0);  // any other type
    }
    void TearDown() override {
        g_wingspans = saved;
        g_categoryWingspans = savedCategories;
        RANDOM.value = true;
    }
    static Stand stand(double radiusMetres, bool cargo = false, bool ramp = false, bool heli = false) {
        return gf_makeStand("S", {}, 51.0, 0.0, 0.0, radiusMetres, cargo, ramp, heli);
    }
    std::map<std::string, double, std::less<>> saved;
    std::array<double, 6> savedCategories{};
};

constexpr std::uint64_t kTuesday20 = 2 | (std::uint64_t{20} << 32);

TEST_F(FakeParked, TheRowsByPrecedenceAndTheNaming) {
    StandOption seventh;
    seventh.seq = 7;
    struct Case {
        const char* label;
        Stand stand;
        const char* code;
        const char* airline;  // nullptr: no option
        const char* type;
    };
    Stand withSeven = stand(17.0);
    withSeven.options.push_back(seventh);
    const std::vector<Case> cases = {
        {"helipad, any size", stand(200.0, true, true, true), "EGLL", "PVT", "EC35"},
        {"cargo before ramp", stand(8.0, true, true), "EGLL", "FDX", "C208"},
        {"ramp", stand(5.5, false, true), "EGLL", "PVT", "C172"},
        {"ramp too small for every type", stand(1.0, false, true), "EGLL", nullptr, nullptr},
        {"region E, first that fits", stand(17.0), "EGLL", "SAS", "A320"},
        {"region E, large stand", stand(33.0), "EGLL", "KLM", "B77W"},
        {"region L: no size test", stand(1.0), "LSZH", "ZZZ", "B738"},
        {"region by the first letter only", stand(17.0), "egll", "ZZZ", "B738"},
    };
    std::vector<Stand> stands;
    for (const auto& c : cases) stands.push_back(c.stand);
    stands.push_back(withSeven);
    // Each stand on its own airport code: one call per case.
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        std::vector<Stand> one{stands[i]};
        lf_addFakeParked(cases[i].code, one, kTuesday20);
        if (cases[i].airline == nullptr) {
            EXPECT_TRUE(one[0].options.empty());
            continue;
        }
        ASSERT_EQ(one[0].options.size(), 1u);
        const StandOption& o = one[0].options[0];
        EXPECT_EQ(o.airline, cases[i].airline);
        EXPECT_EQ(o.type, cases[i].type);
        EXPECT_EQ(o.callsign, "FAKE1");
        EXPECT_EQ(o.weekday, 2u);
        EXPECT_EQ(o.halfHours, std::uint64_t{1} << 20);
        EXPECT_EQ(o.seq, 1u);
        EXPECT_EQ(o.origin, 1u);
        EXPECT_EQ(o.real, 0u);
    }
    // One call over all: the counter skips the stand that got nothing.
    lf_addFakeParked("EGLL", stands, kTuesday20);
    EXPECT_EQ(stands[2].options.at(0).registration, "REGFAKE3");
    EXPECT_TRUE(stands[3].options.empty());
    EXPECT_EQ(stands[4].options.at(0).registration, "REGFAKE4");
    EXPECT_EQ(stands.back().options.back().seq, 8u);

    std::vector<Stand> bad{stand(17.0)};
    EXPECT_THROW(lf_addFakeParked("EGLL", bad, 2 | (std::uint64_t{48} << 32)), std::out_of_range);
}

TEST_F(FakeParked, RandomDrawsAmongTheFittingPairsOnly) {
    RANDOM.value = true;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        std::vector<Stand> one{stand(17.0)};
        lf_addFakeParked("EGLL", one, kTuesday20);
        seen.insert(one[0].options.at(0).airline + " " + one[0].options[0].type);
    }
    // The E row's types of about 17 m half span.
    for (const auto& s : seen) EXPECT_TRUE(s.ends_with("A320") || s.ends_with("B738")) << s;
    EXPECT_GT(seen.size(), 1u);
}

}  // namespace
}  // namespace skh
