#include "airports/airport_output.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <pugixml.hpp>

#include "aircraft/dbase.hpp"
#include "foundation/format.hpp"
#include "foundation/scan_report.hpp"
#include "scan_test_support.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

struct Candidate {
    std::string path;
    std::string publisher;
    int stands;
};

BglAirport airportWith(int stands) {
    BglAirport a;
    a.ident = "LSZH";
    a.name = "Zurich";
    for (int i = 0; i < stands; ++i) {
        BglStand s;
        s.name = skh::format("g{}", i);
        s.lat = 47.45;
        s.lon = 8.55;
        s.heading = 1.0;
        s.radiusM = 20.0;
        a.stands.push_back(s);
    }
    return a;
}

std::string bglPathOf(const fs::path& file) {
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str())) return "";
    return doc.select_node("/parameters/parameter[@name='BGLpath']").node().attribute("value").value();
}

// Whatever order the tasks come in, the airport with most stands (then the
// smallest path) leaves its files, and only its files.
TEST(AirportOutput, TheSameAirportInSeveralFilesHasOneWinnerInAnyOrder) {
    g_thirdPartyPackages = {{"Some Maker", {"LSZH2"}}};
    std::vector<Candidate> candidates = {
        {"D:/x/c.bgl", "Some Maker", 3},  // linked and generated: 3 > 2
        {"D:/x/b.bgl", "unknown", 5},
        {"D:/x/a.bgl", "unknown", 5},  // the winner
        {"D:/x/d.bgl", "unknown", 0},
    };
    std::sort(candidates.begin(), candidates.end(), [](auto& x, auto& y) { return x.path < y.path; });
    int orders = 0;
    do {
        test::TempDir dir;
        AirportScanOutput output(dir / "orbx", dir / "third", nullptr);
        gf_startScanReport();
        for (const Candidate& c : candidates) {
            BglAirport a = airportWith(c.stands);
            output.handleAirport(a, c.path, c.publisher);
        }
        gf_takeScanReport();
        EXPECT_EQ(test::entryNames(dir / "third"), (std::set<std::string>{"LSZH.xml"}));
        EXPECT_EQ(bglPathOf(dir / "third" / "LSZH.xml"), "D:/x/a.bgl");
        EXPECT_TRUE(output.filesWritten());
        ++orders;
    } while (
        std::next_permutation(candidates.begin(), candidates.end(), [](auto& x, auto& y) { return x.path < y.path; }));
    EXPECT_EQ(orders, 24);
    gf_clearDbase();
}

TEST(AirportOutput, LinksFollowThePublisherAndTheArchive) {
    g_simaddonAirports = {"LSZH"};
    g_thirdPartyPackages = {{"Some Maker", {"EDDF12", "LSZH300"}}, {"Some Maker", {"LSZH7"}}};
    test::TempDir dir;
    AirportScanOutput output(dir / "orbx", dir / "third", nullptr);
    gf_startScanReport();

    // A simaddon airport in the archive is linked and never generated.
    BglAirport a = airportWith(400);
    output.handleAirport(a, "D:/orbx/LSZH.bgl", "simaddon");
    EXPECT_EQ(test::entryNames(dir / "orbx"), (std::set<std::string>{"LSZH.txt"}));
    EXPECT_EQ(test::readFile(dir / "orbx" / "LSZH.txt"), "archive/simaddon/LSZH.xml\n");

    std::vector<std::string> lines;
    std::int32_t count = -1;
    EXPECT_EQ(lf_findThirdpartyArchive("Some Maker", "LSZH", count, lines),
              std::optional<std::string>("archive/thirdparty/Some%20Maker/LSZH.xml"));
    EXPECT_EQ(count, 300);  // the first package that lists the airport
    EXPECT_EQ(lf_findThirdpartyArchive("Some maker", "LSZH", count, lines), std::nullopt);
    EXPECT_EQ(lf_findSimaddonArchive("EGLL", lines), std::nullopt);
    EXPECT_EQ(lines, (std::vector<std::string>{"thirdparty Some maker LSZH does not exist",
                                               "EGLL does not exist as simaddon"}));

    // An airport without stands that is not linked leaves nothing.
    BglAirport empty = airportWith(0);
    empty.ident = "KJFK";
    output.handleAirport(empty, "D:/x/KJFK.bgl", "unknown");
    EXPECT_FALSE(fs::exists(dir / "third" / "KJFK.xml"));
    const auto report = gf_takeScanReport();
    EXPECT_TRUE(test::anyLineHas(report, "simaddon airport LSZH linked to archive/simaddon/LSZH.xml"));
    EXPECT_FALSE(test::anyLineHas(report, "Generated"));
    gf_clearDbase();
}

}  // namespace
}  // namespace skh
