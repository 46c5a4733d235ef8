// Where an airport's stand file and learned file are found, against a local
// download server that serves stock files and misbehaves on demand.
#include "airports/stand_locations.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "foundation/constants.hpp"
#include "support/http_server.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using Fault = test::HttpServer::Fault;

const std::string kStandFile =
    R"(<?xml version="1.0"?><meta/><parameters><parameter name="altitude" value="83"/></parameters>)"
    R"(<parkpositions><parkpos id="A1" latitude="51.4" longitude="-0.4" radius="30"/></parkpositions>)";

class StandLocations : public ::testing::Test {
protected:
    StandLocations()
        : site(dir / "site"),
          cwd((fs::create_directories(dir / "program"), dir / "program")),
          url(kDownloadUrlVariable, server.url()) {}
    void SetUp() override {
        gf_clearStockProbes();
        for (const auto* f : {&g_myThirdpartyFolder, &g_myOrbxFolder}) fs::create_directories(*f);
        fs::create_directories(dir / "site/P3D/archive/stock");
        test::writeFile(dir / "site/P3D/archive/stock/EGLL.xml", kStandFile);
        test::writeFile(dir / "site/P3D/archive/stock/LSZH.xml", "<html><body>Moved</body></html>");
        limits = g_standDownloadLimits;
        g_standDownloadLimits = {std::chrono::milliseconds(2000), 64, std::chrono::seconds(1),
                                 std::chrono::milliseconds(2500)};
    }
    void TearDown() override {
        g_standDownloadLimits = limits;
        gf_clearStockProbes();
        gf_setStockProbeClock({});
    }
    // Files of the program folder other than the folders made in SetUp.
    static std::vector<std::string> strayFiles() {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(".")) {
            if (e.is_regular_file()) names.push_back(e.path().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir dir;
    test::HttpServer server{dir / "site"};
    fs::path site;
    test::ScopedCwd cwd;
    test::ScopedEnv url;
    test::ScopedLog log;
    DownloadLimits limits;
};

TEST_F(StandLocations, TheSourcesAreTriedInTheirOrder) {
    test::writeFile(g_myThirdpartyFolder / "EGLL.txt", "archive/thirdparty/Some%20Maker/EGLL.xml\r\n");
    test::writeFile(g_myThirdpartyFolder / "EGLL.xml", kStandFile);
    EXPECT_EQ(gf_getStockAirportFile("EGLL"), "archive/thirdparty/Some%20Maker/EGLL.xml");  // the link wins
    fs::remove(g_myThirdpartyFolder / "EGLL.txt");
    EXPECT_EQ(gf_getStockAirportFile("EGLL"), "airports\\my_thirdparty\\EGLL.xml");
    fs::remove(g_myThirdpartyFolder / "EGLL.xml");

    test::writeFile(g_myOrbxFolder / "KLAX.txt", "");
    EXPECT_TRUE(gf_findParkAirportFile("KLAX"));  // a link file counts by its existence
    EXPECT_EQ(gf_getStockAirportFile("KLAX"), "");
    test::writeFile(g_myOrbxFolder / "KLAX.xml", kStandFile);
    EXPECT_EQ(gf_getStockAirportFile("KLAX"), "airports\\my_ORBX\\KLAX.xml");

    EXPECT_TRUE(gf_findParkAirportFile("EGLL"));
    EXPECT_EQ(gf_getStockAirportFile("EGLL"), "archive/stock/EGLL.xml");
    EXPECT_FALSE(gf_findParkAirportFile("EDDF"));  // nowhere
    EXPECT_EQ(gf_getStockAirportFile("EDDF"), "");
    EXPECT_FALSE(gf_findParkAirportFile("LSZH"));  // an HTML page is no stand file
    EXPECT_EQ(gf_getStockAirportFile("../x"), "");

    // One probe per airport and run while no time passes; nothing left behind.
    EXPECT_EQ(server.requestCount("/P3D/archive/stock/EGLL.xml"), 1u);
    EXPECT_EQ(server.requestCount("/P3D/archive/stock/EDDF.xml"), 1u);
    EXPECT_EQ(strayFiles(), (std::vector<std::string>{"./airports/my_ORBX/KLAX.txt", "./airports/my_ORBX/KLAX.xml"}));
    gf_clearStockProbes();
    EXPECT_FALSE(gf_findParkAirportFile("EDDF"));
    EXPECT_EQ(server.requestCount("/P3D/archive/stock/EDDF.xml"), 2u);
}

// A probe that failed on the way is asked again after a while; the server's
// "not found" and a found file stay for the run.
TEST_F(StandLocations, AFailedProbeIsAskedAgainLater) {
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    gf_setStockProbeClock([&now] { return now; });
    test::writeFile(dir / "site/P3D/archive/stock/KLAX.xml", kStandFile);
    server.setFault("/P3D/archive/stock/EGLL.xml", Fault::ServerError);
    server.setFault("/P3D/archive/stock/KLAX.xml", Fault::CutBody);
    struct Step {
        std::chrono::minutes after;
        bool egll, klax;  // EDDF is never there
        std::size_t egllAsked, klaxAsked;
    };
    const std::vector<Step> steps = {
        {std::chrono::minutes(0), false, false, 1, 1},
        {kStockProbeRetry - std::chrono::minutes(1), false, false, 1, 1},
        {std::chrono::minutes(1), true, true, 2, 2},
        {kStockProbeRetry * 3, true, true, 2, 2},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "step " << i);
        const Step& step = steps[i];
        now += step.after;
        EXPECT_EQ(lf_stockAirportAvailable("EGLL"), step.egll);
        EXPECT_EQ(lf_stockAirportAvailable("KLAX"), step.klax);
        EXPECT_FALSE(lf_stockAirportAvailable("EDDF"));
        EXPECT_EQ(server.requestCount("/P3D/archive/stock/EGLL.xml"), step.egllAsked);
        EXPECT_EQ(server.requestCount("/P3D/archive/stock/KLAX.xml"), step.klaxAsked);
        EXPECT_EQ(server.requestCount("/P3D/archive/stock/EDDF.xml"), 1u);
        server.clearFaults();
    }
}

TEST_F(StandLocations, ALinkFileGivesTheReferenceOnItsFirstLine) {
    struct Case {
        const char* label;
        std::string text;
        const char* reference;  // null: none
    };
    const std::vector<Case> cases = {
        {"trailing blanks", "archive/simaddon/EGLL.xml   \nsecond line", "archive/simaddon/EGLL.xml"},
        {"cut after the name", "archive/simaddon/EGLL.xml.bak", "archive/simaddon/EGLL.xml"},
        {"byte-order mark and leading blanks", "\xEF\xBB\xBF  archive/simaddon/EGLL.xml\r\n",
         "archive/simaddon/EGLL.xml"},
        {"no .xml", "archive/simaddon/EGLL.txt", nullptr},
        {"one byte", "a", nullptr},
        {"empty", "", nullptr},
        {"climbs out", "archive/../../etc/EGLL.xml", nullptr},
        {"absolute", "/etc/EGLL.xml", nullptr},
        {"drive", "C:\\Windows\\EGLL.xml", nullptr},
        {"control character", "archive/\x01/EGLL.xml", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::writeFile("link.txt", c.text);
        std::string reference = "unchanged";
        EXPECT_EQ(lf_readLinkFile("link.txt", reference), c.reference != nullptr);
        EXPECT_EQ(reference, c.reference != nullptr ? c.reference : "unchanged");
    }
    std::string reference;
    EXPECT_FALSE(lf_readLinkFile("missing.txt", reference));
    EXPECT_TRUE(log.contains("link file link.txt names no valid file: 'archive/../../etc/EGLL.xml'"));
}

TEST_F(StandLocations, TheLearnedFileFollowsTheReferenceAndThePublisher) {
    struct Case {
        const char* reference;
        const char* publisher;
        const char* learned;
    };
    const std::vector<Case> cases = {
        {"archive/stock/EGLL.xml", "stock", "airports\\learned\\stock\\EGLL.xml"},
        {"archive/thirdparty/Some%20Maker/EGLL.xml", "Some Maker",
         "airports\\learned\\thirdparty\\Some Maker\\EGLL.xml"},
        {"archive/stock/EGLL.xml", "Some Maker", "airports\\learned\\thirdparty\\Some Maker\\EGLL.xml"},
        {"airports\\my_thirdparty\\EGLL.xml", "Some Maker", "airports\\learned\\thirdparty\\Some Maker\\EGLL.xml"},
        {"airports\\my_thirdparty2024\\EGLL.xml", "Some Maker", "airports\\learned\\thirdparty\\Some Maker\\EGLL.xml"},
        {"airports\\my_ORBX\\EGLL.xml", "simaddon", "airports\\learned\\simaddon\\EGLL.xml"},
        {"", "stock", ""},
        {"airports\\my_thirdparty\\EGLL.xml", "../../x", ""},
        {"airports\\my_thirdparty\\EGLL.xml", "a/b", ""},
        {"airports\\my_thirdparty\\EGLL.xml", "C:", ""},
        {"archive/thirdparty/%20/EGLL.xml", "x", ""},
        {"archive/../EGLL.xml", "x", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reference << " by " << c.publisher);
        EXPECT_EQ(lf_learnedFilePath(c.reference, c.publisher), c.learned);
    }
    // Learned data left where the reference maps to is still read, until
    // the save's own place holds a file.
    fs::create_directories("airports/learned/my_ORBX");
    test::writeFile("airports/learned/my_ORBX/EGLL.xml", "old");
    EXPECT_EQ(lf_learnedFilePath("airports\\my_ORBX\\EGLL.xml", "simaddon"), "airports\\learned\\my_ORBX\\EGLL.xml");
    const auto saved = gf_learnedSavePath("EGLL", "simaddon");
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, fs::path("airports/learned/simaddon/EGLL.xml"));
    test::writeFile(*saved, "new");
    EXPECT_EQ(lf_learnedFilePath("airports\\my_ORBX\\EGLL.xml", "simaddon"), "airports\\learned\\simaddon\\EGLL.xml");

    fs::create_directories("airports/learned/stock");
    test::writeFile("airports/learned/stock/LSZH.xml", "old");
    EXPECT_EQ(lf_learnedFilePath("archive/stock/LSZH.xml", "Some Maker"), "airports\\learned\\stock\\LSZH.xml");

    EXPECT_EQ(gf_learnedSavePath("EGLL", "Some Maker"), fs::path("airports/learned/thirdparty/Some Maker/EGLL.xml"));
    EXPECT_TRUE(fs::is_directory("airports/learned/thirdparty/Some Maker"));
    EXPECT_EQ(gf_learnedSavePath("EGLL", ".."), std::nullopt);
    EXPECT_EQ(gf_learnedSavePath("../EGLL", "stock"), std::nullopt);
}

TEST_F(StandLocations, AFailedDownloadKeepsThePreviousFileAndEndsInTime) {
    const fs::path local = "airports/park_airport.xml";
    ASSERT_EQ(lf_downloadFile("archive/stock/EGLL.xml", local), "");
    EXPECT_EQ(test::readFile(local), kStandFile);

    const std::string failed = "failed to download: '" + server.url() + "P3D/archive/stock/EGLL.xml'";
    for (const Fault fault : {Fault::ServerError, Fault::Redirect, Fault::CutBody, Fault::Stall, Fault::StallBody}) {
        SCOPED_TRACE(static_cast<int>(fault));
        server.setFault("/P3D/archive/stock/EGLL.xml", fault);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(lf_downloadFile("archive/stock/EGLL.xml", local), failed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(test::readFile(local), kStandFile);
    }
    server.clearFaults();
    EXPECT_EQ(lf_downloadFile("archive/stock/LSZH.xml", local),
              "failed to download: '" + server.url() + "P3D/archive/stock/LSZH.xml'");
    EXPECT_EQ(lf_downloadFile("archive/../P3D/archive/stock/EGLL.xml", local),
              "failed to download: '" + server.url() + "P3D/archive/../P3D/archive/stock/EGLL.xml'");
    EXPECT_EQ(test::readFile(local), kStandFile);
    EXPECT_TRUE(log.contains(failed));
    EXPECT_EQ(strayFiles(), (std::vector<std::string>{"./airports/park_airport.xml"}));
}

}  // namespace
}  // namespace skh
