#include "airports/bgl_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <set>

#include "scan_test_support.hpp"
#include "support/bgl_builder.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

using test::BglAirportLayout;
using test::BglHelipadLayout;
using test::BglParkingLayout;

struct ReadResult {
    std::vector<BglAirport> airports;
    std::vector<std::string> fileReport;

    bool reportHas(const std::string& part) const {
        if (test::anyLineHas(fileReport, part)) return true;
        for (const auto& a : airports) {
            if (test::anyLineHas(a.report, part)) return true;
        }
        return false;
    }
};

ReadResult readBytes(const std::string& bytes) {
    ReadResult r;
    BglBytes source(bytes);
    lf_readBglAirports(source, "x.bgl",
                       {[&](BglAirport& a) { r.airports.push_back(a); },
                        [&](std::string line) { r.fileReport.push_back(std::move(line)); }});
    return r;
}

ReadResult readAirports(const std::vector<BglAirportLayout>& airports) { return readBytes(test::bglFileOf(airports)); }

const BglStand* findStand(const BglAirport& a, const std::string& name) {
    for (const auto& s : a.stands) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

constexpr double kDeg = std::numbers::pi / 180.0;
TEST(BglReader, RealCompilerOutputGivesTheAirportOfItsSource) {
    if (!test::realBglFilesPresent()) GTEST_SKIP() << "the real BGL files are not in " << test::realBglFolder();
    const auto folder = test::realBglFolder();
    // The v6 compiler stores the helipad's north heading as 358.99 degrees.
    for (const auto& [file, helipadHeadingDeg] : {std::pair{"KTST_v5.BGL", 360.0}, std::pair{"KTST_v6.bgl", 358.99}}) {
        SCOPED_TRACE(file);
        const auto path = folder / file;
        EXPECT_TRUE(lf_countBglAirports(path));
        BglBytes bytes;
        ASSERT_TRUE(bytes.open(path));
        std::vector<BglAirport> airports;
        std::vector<std::string> report;
        lf_readBglAirports(
            bytes, path.string(),
            {[&](BglAirport& a) { airports.push_back(a); }, [&](std::string l) { report.push_back(l); }});
        EXPECT_TRUE(report.empty()) << report.front();
        ASSERT_EQ(airports.size(), 1u);
        const BglAirport& a = airports[0];
        EXPECT_EQ(a.ident, "KTST");
        EXPECT_EQ(a.name, "Testfield Regional");
        EXPECT_EQ(a.elevationFt, 654);  // 199339 mm
        EXPECT_EQ(a.helipads, 1);
        EXPECT_TRUE(a.report.empty());
        ASSERT_EQ(a.stands.size(), 3u);

        const BglStand& heli = a.stands[0];
        EXPECT_EQ(heli.name, "helipad1");
        EXPECT_TRUE(heli.helipad);
        EXPECT_NEAR(heli.lat, 41.35386742, 1e-6);
        EXPECT_NEAR(heli.lon, -89.15108328, 1e-6);
        EXPECT_NEAR(heli.radiusM, 60 * 0.3048 / 2, 1e-3);  // 60 ft wide
        EXPECT_NEAR(heli.heading / kDeg, helipadHeadingDeg, 0.01);

        const BglStand* gate = findStand(a, "g1");
        ASSERT_NE(gate, nullptr);
        EXPECT_NEAR(gate->lat, 41.3532, 1e-6);
        EXPECT_NEAR(gate->lon, -89.1508, 1e-6);
        EXPECT_DOUBLE_EQ(gate->heading, 90.0 * kDeg);
        EXPECT_DOUBLE_EQ(gate->radiusM, 20.0);
        EXPECT_FALSE(gate->ramp);  // GATE_SMALL
        EXPECT_FALSE(gate->cargo);

        const BglStand* ramp = findStand(a, "r2");
        ASSERT_NE(ramp, nullptr);
        EXPECT_DOUBLE_EQ(ramp->heading, 270.0 * kDeg);
        EXPECT_DOUBLE_EQ(ramp->radiusM, 15.0);
        EXPECT_TRUE(ramp->ramp);  // RAMP_GA_SMALL
    }
}

TEST(BglReader, ParkingEntriesFollowTheNamingAndValueRules) {
    BglAirportLayout a;
    auto p = [](std::uint32_t number, auto change) {
        BglParkingLayout s;
        s.number = number;
        change(s);
        return s;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    a.parkings = {
        p(1, [](auto& s) { s.radius = 1.0f; }),                       // skipped, message
        p(2, [](auto& s) { s.radius = 200.0f; }),                     // skipped, message
        p(3, [](auto& s) { s.radius = 1.1f; }),                       // g3
        p(4, [](auto& s) { s.radius = 199.9f; }),                     // g4
        p(5, [&](auto& s) { s.radius = nan; }),                       // skipped, message
        p(6, [](auto& s) { s.type = 0; }),                            // silent
        p(7, [](auto& s) { s.type = 12; }),                           // silent
        p(8, [](auto& s) { s.type = 15; }),                           // silent
        p(9, [](auto& s) { s.type = 12, s.radius = 0.5f; }),          // radius message
        p(10, [](auto& s) { s.type = 5; }),                           // cargo ramp
        p(11, [](auto& s) { s.type = 8; }),                           // gate: no ramp
        p(12, [](auto& s) { s.heading = 0.0f; }),                     // 2 pi
        p(13, [](auto& s) { s.heading = -90.0f; }),                   // 270 degrees
        p(14, [](auto& s) { s.heading = 720.5f; }),                   // 0.5 degrees
        p(15, [&](auto& s) { s.heading = nan; }),                     // skipped, message
        p(16, [](auto& s) { s.lat = 0.00005, s.lon = 0.00005; }),     // invalid position
        p(17, [](auto& s) { s.nameCode = 12, s.airlineCodes = 3; }),  // "A17", entry with airline codes
        p(18, [](auto& s) { s.nameCode = 37; }),                      // "Z18"
        p(19, [](auto& s) { s.nameCode = 0; }),                       // "19"
    };
    const ReadResult r = readAirports({a});
    ASSERT_EQ(r.airports.size(), 1u);
    const BglAirport& got = r.airports[0];
    std::set<std::string> names;
    for (const auto& s : got.stands) names.insert(s.name);
    EXPECT_EQ(names, (std::set<std::string>{"g3", "g4", "g10", "g11", "g12", "g13", "g14", "A17", "Z18", "19"}));
    EXPECT_TRUE(r.reportHas("Skipped position with radius 1.0 m in x.bgl"));
    EXPECT_TRUE(r.reportHas("Skipped position with radius 200.0 m in x.bgl"));
    EXPECT_TRUE(r.reportHas("Skipped position with radius NAN m in x.bgl"));
    EXPECT_TRUE(r.reportHas("Skipped position with radius 0.5 m in x.bgl"));
    EXPECT_TRUE(r.reportHas("Skipped position g15 with heading NAN in x.bgl"));
    EXPECT_TRUE(r.reportHas("LatLon 0.000050,0.000050 invalid (skipped)"));
    EXPECT_EQ(got.report.size(), 6u);

    EXPECT_TRUE(findStand(got, "g10")->cargo);
    EXPECT_TRUE(findStand(got, "g10")->ramp);
    EXPECT_FALSE(findStand(got, "g11")->ramp);
    EXPECT_TRUE(findStand(got, "g3")->ramp);
    EXPECT_DOUBLE_EQ(findStand(got, "g12")->heading, 2 * std::numbers::pi);
    EXPECT_NEAR(findStand(got, "g13")->heading, 270 * kDeg, 1e-12);
    EXPECT_NEAR(findStand(got, "g14")->heading, 0.5 * kDeg, 1e-12);
    EXPECT_DOUBLE_EQ(findStand(got, "g3")->heading, std::numbers::pi / 2);
    for (const auto& s : got.stands) {
        EXPECT_TRUE(s.heading > 0 && s.heading <= 2 * std::numbers::pi) << s.name;
        EXPECT_NEAR(s.lat, 47.45, 1e-6);
    }
}

TEST(BglReader, RepeatedNamesGetLettersUpToJ) {
    BglAirportLayout a;
    a.parkings.assign(12, BglParkingLayout{});  // all "g1"
    const ReadResult r = readAirports({a});
    ASSERT_EQ(r.airports.size(), 1u);
    std::vector<std::string> names;
    for (const auto& s : r.airports[0].stands) names.push_back(s.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"g1", "g1a", "g1b", "g1c", "g1d", "g1e", "g1f", "g1g", "g1h", "g1i", "g1j"}));
    EXPECT_EQ(r.airports[0].report, (std::vector<std::string>{"===> Warning: more than 10 duplicate IDs g1 in x.bgl"}));
}

TEST(BglReader, HelipadsAreNumberedPerAirportAndRepeatsSkipped) {
    BglAirportLayout first;
    first.ident = "EDDF";
    first.helipads = {BglHelipadLayout{50.1, 8.6, 4.0f, 0.0f}, BglHelipadLayout{50.1, 8.6, 4.0f, 0.0f},
                      BglHelipadLayout{50.2, 8.7, 30.0f, 90.0f}, BglHelipadLayout{50.3, 8.7, 0.0f, 0.0f},
                      BglHelipadLayout{91.0, 8.7, 10.0f, 0.0f}};
    BglAirportLayout second = first;
    second.ident = "EDDM";
    second.names = {"Second"};
    second.helipads.resize(1);
    // A parking list ends the walk: a helipad stored after it is not read.
    BglAirportLayout third;
    third.ident = "EDDS";
    third.parkings = {BglParkingLayout{}};
    third.helipads = {BglHelipadLayout{}};
    third.helipadsAfterParkings = true;

    const ReadResult r = readAirports({first, second, third});
    ASSERT_EQ(r.airports.size(), 3u);
    const BglAirport& a = r.airports[0];
    ASSERT_EQ(a.stands.size(), 2u);
    EXPECT_EQ(a.helipads, 2);
    EXPECT_EQ(a.stands[0].name, "helipad1");
    EXPECT_DOUBLE_EQ(a.stands[0].radiusM, 2.0);
    EXPECT_DOUBLE_EQ(a.stands[0].heading, 2 * std::numbers::pi);
    EXPECT_EQ(a.stands[1].name, "helipad2");
    EXPECT_DOUBLE_EQ(a.stands[1].heading, std::numbers::pi / 2);
    EXPECT_EQ(a.report.size(), 3u);
    EXPECT_TRUE(r.reportHas("double helipad Test Airport (skipped) 50.100000,8.600000"));
    EXPECT_TRUE(r.reportHas("Skipped helipad with width 0.0 m in x.bgl"));
    EXPECT_TRUE(r.reportHas("lat/lon helipad incorrect (skipped): "));

    EXPECT_EQ(r.airports[1].stands.at(0).name, "helipad1");
    EXPECT_EQ(r.airports[1].name, "Second");
    ASSERT_EQ(r.airports[2].stands.size(), 1u);
    EXPECT_EQ(r.airports[2].stands[0].name, "g1");
}

TEST(BglReader, AirportFieldsIdentNameAndElevation) {
    struct Case {
        const char* label;
        BglAirportLayout airport;
        bool read;
        std::string name;
        std::int32_t feet;
    };
    auto airportWith = [](auto change) {
        BglAirportLayout s;
        change(s);
        return s;
    };
    const std::string longName(50, 'N');
    const std::vector<Case> cases = {
        {"v1 record", airportWith([](auto& s) { s.v2 = false; }), true, "Test Airport", 1417},
        {"three-letter ident", airportWith([](auto& s) { s.ident = "ZRH"; }), false, "", 0},
        {"five-letter ident", airportWith([](auto& s) { s.ident = "LSZHX"; }), false, "", 0},
        {"digits in ident", airportWith([](auto& s) { s.ident = "K1G4"; }), true, "Test Airport", 1417},
        {"-3000 mm", airportWith([](auto& s) { s.elevationMm = -3000; }), true, "Test Airport", -10},
        {"below the Dead Sea", airportWith([](auto& s) { s.elevationMm = -500000; }), true, "Test Airport", 0},
        {"La Paz", airportWith([](auto& s) { s.elevationMm = 4061000; }), true, "Test Airport", 13323},
        {"5 000 000 mm", airportWith([](auto& s) { s.elevationMm = 5000000; }), true, "Test Airport", 0},
        {"45-byte name keeps 44", airportWith([&](auto& s) { s.names = {longName.substr(0, 45)}; }), true,
         longName.substr(0, 44), 1417},
        {"50-byte name keeps 44", airportWith([&](auto& s) { s.names = {longName}; }), true, longName.substr(0, 44),
         1417},
        {"two different names", airportWith([](auto& s) {
             s.names = {"A", "B"};
         }),
         true, "", 1417},
        {"a third name after a clash", airportWith([](auto& s) {
             s.names = {"A", "B", "C"};
         }),
         true, "C", 1417},
        {"the same name twice", airportWith([](auto& s) {
             s.names = {"A", "A"};
         }),
         true, "A", 1417},
        {"8-bit name", airportWith([](auto& s) { s.names = {"Z\xfcrich"}; }), true, "Z\xc3\xbcrich", 1417},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ReadResult r = readAirports({c.airport});
        ASSERT_EQ(r.airports.size(), c.read ? 1u : 0u);
        if (!c.read) continue;
        EXPECT_EQ(r.airports[0].ident, c.airport.ident);
        EXPECT_EQ(r.airports[0].name, c.name);
        EXPECT_EQ(r.airports[0].elevationFt, c.feet);
    }
}

TEST(BglReader, DecodersOfPackedValues) {
    bool ok = false;
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(test::bglIdentValue("KTST") | 0x1F, ok), "KTST");
    EXPECT_TRUE(ok);
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(0, ok), " ");
    EXPECT_FALSE(ok);
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(0xFFFFFFFF, ok).size(), 6u);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(38u << 5, ok), "6 ");  // digit 1 gives "6"
    EXPECT_EQ(lf_parkingNamePrefix(9), "nwp");
    EXPECT_EQ(lf_parkingNamePrefix(11), "");
    EXPECT_EQ(lf_parkingNamePrefix(38), "[");
    EXPECT_EQ(lf_parkingNamePrefix(63), "t");
    EXPECT_DOUBLE_EQ(lf_bglLongitude(0), -180.0);
    EXPECT_DOUBLE_EQ(lf_bglLatitude(0), 90.0);
    EXPECT_FALSE(lf_isValidBglPosition(90.0001, 0));
    EXPECT_TRUE(lf_isValidBglPosition(-90, 180));
    EXPECT_TRUE(lf_isValidBglPosition(0.0002, 0));
    double h = 0;
    EXPECT_FALSE(lf_bglHeading(std::numeric_limits<float>::infinity(), h));
    EXPECT_TRUE(lf_bglHeading(-0.0f, h));
    EXPECT_DOUBLE_EQ(h, 2 * std::numbers::pi);
    EXPECT_TRUE(lf_bglHeading(360.0f, h));
    EXPECT_DOUBLE_EQ(h, 2 * std::numbers::pi);
}

// Damaged files: every one ends in a report line, and what came before the
// damage is kept.
TEST(BglReader, DamagedFilesEndInReportLines) {
    BglAirportLayout good;
    good.parkings = {BglParkingLayout{}, BglParkingLayout{}};
    const std::string file = test::bglFileOf({good, good});
    const std::string record = test::bglAirportRecord(good);
    const std::size_t firstRecord = test::kBglFirstRecordsAt;
    const std::size_t secondRecord = firstRecord + record.size();
    const std::size_t subsectionEntry = 56 + 20;

    struct Case {
        const char* label;
        std::string bytes;
        std::size_t airports;
        std::string line;
    };
    auto damaged = [&](auto change) {
        std::string b = file;
        change(b);
        return b;
    };
    const std::vector<Case> cases = {
        {"empty", "", 0, "not read: it has 0 bytes"},
        {"header only", file.substr(0, 56), 0, "not read: it has 56 bytes"},
        {"header size", damaged([](auto& b) { test::putU32(b, 4, 40); }), 0, "header size is 40 instead of 56"},
        {"header size and 2^32-1 sections", damaged([](auto& b) {
             test::putU32(b, 4, 0x01010101);
             test::putU32(b, test::kBglSectionCountAt, 0xFFFFFFFF);
         }),
         0, "header size is 16843009 instead of 56"},
        {"2^32-1 sections", damaged([](auto& b) { test::putU32(b, test::kBglSectionCountAt, 0xFFFFFFFF); }), 0,
         "table of 4294967295 sections runs past the end"},
        {"2^32-1 subsections", damaged([](auto& b) { test::putU32(b, test::kBglFirstSectionAt + 8, 0xFFFFFFFF); }), 2,
         "table of 4294967295 subsections"},
        {"subsection table past the end",
         damaged([](auto& b) { test::putU32(b, test::kBglFirstSectionAt + 12, 0xFFFFFFF0); }), 0,
         "runs past the end of the file"},
        {"data size past the end", damaged([&](auto& b) { test::putU32(b, subsectionEntry + 12, 0xFFFFFFFF); }), 2,
         "airport data of 4294967295 bytes"},
        {"records offset near 2^32", damaged([&](auto& b) { test::putU32(b, subsectionEntry + 8, 0xFFFFFFFC); }), 0,
         ""},
        {"airport size past its section", damaged([&](auto& b) { test::putU32(b, secondRecord + 2, 0x7FFFFFFF); }), 1,
         "runs past its section"},
        {"airport size 0", damaged([&](auto& b) { test::putU32(b, secondRecord + 2, 0); }), 1,
         "decodeSizeAtBoundary returned 0 at o2"},
        {"subsection size 0", damaged([&](auto& b) { test::putU32(b, subsectionEntry + 12, 0); }), 0,
         "airport data at 92 has 0 bytes, too few for a record, skipped"},
        {"subsection smaller than a record header", damaged([&](auto& b) { test::putU32(b, subsectionEntry + 12, 5); }),
         0, "airport data at 92 has 5 bytes, too few for a record, skipped"},
        {"another record of size 0 first", damaged([&](auto& b) {
             test::putU16(b, firstRecord, 0x99);
             test::putU32(b, firstRecord + 2, 0);
         }),
         0, "record 0x99 at 92 has a size of 0, the airport data after it is skipped"},
        {"airport shorter than its header", damaged([&](auto& b) { test::putU32(b, secondRecord + 2, 40); }), 1,
         "shorter than its header"},
        {"name size 0", damaged([&](auto& b) { test::putU32(b, secondRecord + 60 + 2, 0); }), 2,
         "decodeSizeAtBoundary returned 0 at o3"},
        {"name size huge", damaged([&](auto& b) { test::putU32(b, secondRecord + 60 + 2, 0xFFFFFFF0); }), 2,
         "exceeded data buffer size"},
        {"parking count too big", damaged([&](auto& b) { test::putU16(b, file.size() - 88 + 6, 0xFFFF); }), 2,
         "parking list of LSZH cut short after 2 of 65535 entries"},
        {"airline codes past the list", damaged([&](auto& b) { b[file.size() - 80 + 3] = static_cast<char>(0xFF); }), 2,
         "parking list of LSZH cut short after 0 of 2"},
        {"truncated in the second airport", file.substr(0, secondRecord + 70), 1, "runs past the end of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ReadResult r = readBytes(c.bytes);
        EXPECT_EQ(r.airports.size(), c.airports);
        if (!c.line.empty()) {
            EXPECT_TRUE(r.reportHas(c.line));
        }
        BglBytes bytes(c.bytes);
        const BglFileCheck check = lf_checkBglFile(bytes);
        EXPECT_EQ(check.problem.empty(),
                  c.bytes.size() > 56 && test::getU32(c.bytes, 4) == 56 && test::getU32(c.bytes, 20) == 1);
    }
}

TEST(BglReader, SubsectionsListedTwiceAreWalkedOnce) {
    BglAirportLayout a;
    a.parkings = {BglParkingLayout{}};
    std::string records = test::bglAirportRecord(a);
    std::string file = test::bglFile({test::BglSectionLayout{3, 1, {records, records}}});
    // Point the second subsection at the first one's data.
    test::putU32(file, 56 + 20 + 16 + 8, test::getU32(file, 56 + 20 + 8));
    const ReadResult r = readBytes(file);
    EXPECT_EQ(r.airports.size(), 1u);
    EXPECT_TRUE(r.reportHas("is listed twice, skipped"));
}

// Any damage of a good file: no crash, finite values, and when nothing is
// read, a report line or a file the quick test turns away.
TEST(BglReader, RandomDamageKeepsTheInvariants) {
    BglAirportLayout a;
    a.helipads = {BglHelipadLayout{}};
    for (std::uint32_t i = 0; i < 20; ++i) a.parkings.push_back(BglParkingLayout{10, 1 + i % 11, i});
    const std::string file = test::bglFileOf({a, a});
    std::mt19937 rng(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = file;
        const int mode = round % 3;
        if (mode == 0) {
            bytes.resize(rng() % (file.size() + 1));
        } else {
            for (int k = 0; k < 4; ++k) bytes[rng() % bytes.size()] = static_cast<char>(rng());
        }
        if (mode == 2) {  // whole words, so that sizes and counts change a lot
            test::putU32(bytes, (rng() % (bytes.size() / 4)) * 4, static_cast<std::uint32_t>(rng()));
        }
        const ReadResult r = readBytes(bytes);
        BglBytes source(bytes);
        const BglFileCheck check = lf_checkBglFile(source);
        if (!r.airports.empty()) {
            EXPECT_TRUE(check.hasAirports);
        }
        for (const auto& ap : r.airports) {
            std::set<std::string> names;
            for (const auto& s : ap.stands) {
                EXPECT_TRUE(names.insert(s.name).second) << s.name;
                EXPECT_TRUE(std::isfinite(s.heading) && s.heading > 0 && s.heading <= 2 * std::numbers::pi);
                EXPECT_TRUE(std::isfinite(s.radiusM) && s.radiusM > 0 && s.radiusM < 200);
                EXPECT_TRUE(lf_isValidBglPosition(s.lat, s.lon));
            }
        }
    }
}

TEST(BglReader, QuickTestOnFiles) {
    test::TempDir dir;
    BglAirportLayout a;
    test::writeFile(dir / "a.bgl", test::bglFileOf({a}));
    test::writeFile(dir / "scenery.bgl", test::bglFile({test::BglSectionLayout{0x65, 1, {std::string(8, '\0')}}}));
    test::writeFile(dir / "wide.bgl", test::bglFile({test::BglSectionLayout{3, 0x10001, {test::bglAirportRecord(a)}}}));
    test::writeFile(dir / "empty.bgl", "");
    EXPECT_TRUE(lf_countBglAirports(dir / "a.bgl"));
    EXPECT_FALSE(lf_countBglAirports(dir / "scenery.bgl"));
    EXPECT_FALSE(lf_countBglAirports(dir / "wide.bgl"));
    EXPECT_FALSE(lf_countBglAirports(dir / "empty.bgl"));
    EXPECT_FALSE(lf_countBglAirports(dir / "missing.bgl"));
    EXPECT_EQ(lf_checkBglFile(dir / "missing.bgl").problem, "it cannot be opened");
    EXPECT_TRUE(lf_checkBglFile(dir / "scenery.bgl").problem.empty());
}

}  // namespace
}  // namespace skh
