#include "aircraft/aircraft_cfg.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "aircraft/dbase.hpp"
#include "aircraft/ivao_sections.hpp"
#include "aircraft/livery_data.hpp"
#include "aircraft/scan_tasks.hpp"
#include "scan_fixture.hpp"

namespace skh {
namespace {

using Lines = std::vector<std::string>;

bool contains(const Lines& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

TEST(AircraftCfgLines, KeyValueMatchers) {
    struct Case {
        const char* line;
        const char* key;
        const char* value;  // "" for no match
    } cases[] = {
        {"TITLE = Boeing 737 KLM  ", "title", "Boeing 737 KLM"},
        {"\t title\t=\tA\r", "title", "A"},
        {"title=", "title", ""},
        {"title=   ", "title", ""},
        {"titles=x", "title", ""},
        {"xtitle=x", "title", ""},
        {"title=a\rb", "title", ""},
        {"atc_id = PH-BXA ; old", "atc_id", "PH-BXA ; old"},
        {"Atc_Parking_Types=GATE_HEAVY, RAMP_CARGO", "atc_parking_types", "GATE_HEAVY, RAMP_CARGO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(lf_matchKeyValue(c.line, c.key), c.value);
    }
    std::string code;
    EXPECT_TRUE(lf_matchAtcParkingCodes("atc_parking_codes= KLM , MPH", code));
    EXPECT_EQ(code, "KLM");
    EXPECT_EQ(lf_matchAtcModel("atc_model=B738"), "B738");
    // Lines of any length are matched in one pass; a long line is no match, not a crash.
    const std::string longLine = "title=" + std::string(1 << 20, 'x');
    EXPECT_EQ(lf_matchKeyValue(longLine, "title").size(), std::size_t{1 << 20});
    EXPECT_EQ(lf_matchFltsimSection(std::string(50000, '[')), "");
}

TEST(AircraftCfgLines, SectionHeaders) {
    struct Case {
        const char* line;
        const char* number;
    } cases[] = {
        {"[FLTSIM.12]", "12"}, {" [fltsim.0]  ", "0"}, {"[fltsim.x]", "10000"}, {"[fltsim.3] // old", "10000"},
        {"[Fltsim.x]", ""},    {"//[fltsim.1]", ""},   {"[General]", ""},       {"x[FLTSIM.]", "10000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(lf_matchFltsimSection(c.line), c.number);
    }
}

TEST(AircraftCfgLines, IvaoPathsTypesAndTitles) {
    EXPECT_EQ(lf_ivaoModelCode("D:\\AI\\IVAO_MTL\\IVAO_B744F\\aircraft.cfg"), "B744F");
    EXPECT_EQ(lf_ivaoModelCode("D:\\AI\\ivao_mtl\\ivao_A320w\\Aircraft.CFG"), "A320w");
    EXPECT_EQ(lf_ivaoModelCode("D:\\AI\\ivao_x-csl\\B738\\aircraft.cfg"), "");
    EXPECT_EQ(lf_ivaoModelCode("\\IVAO_MTL\\IVAO_B738\\aircraft.cfg"), "");  // nothing before IVAO_MTL
    EXPECT_EQ(lf_ivaoModelCode("D:\\IVAO_MTL\\IVAO_B7-8\\aircraft.cfg"), "");
    EXPECT_EQ(lf_ivaoTypeFromModel("B744F"), "B744");
    EXPECT_EQ(lf_ivaoTypeFromModel("GLID_KA8"), "GLID");
    EXPECT_EQ(lf_ivaoTypeFromModel("T154B2"), "T154");
    EXPECT_EQ(lf_ivaoTypeFromModel("A320w"), "A320");
    EXPECT_EQ(lf_ivaoTypeFromModel("B738"), "B738");
    EXPECT_EQ(lf_ivaoAirlineFromTitle("B738 KLM", "B738"), "KLM");
    EXPECT_EQ(lf_ivaoAirlineFromTitle("b738KLM Royal", "B738"), "KLM");
    EXPECT_EQ(lf_ivaoAirlineFromTitle("Boeing 738 KLM", "B738"), "");
    EXPECT_EQ(lf_ivaoAirlineFromTitle("B738 K-L", "B738"), "");
}

class AircraftCfgFiles : public test::ScanTest {
protected:
    std::list<LiveryData> scan(const std::string& folder, const std::string& bytes,
                               const std::vector<std::string>& textures) {
        aircraftFolder(folder, bytes, textures);
        return lf_scanFolder(1, folder + "\\aircraft.cfg");
    }
    static const LiveryData* find(const std::list<LiveryData>& records, const std::string& title) {
        for (const LiveryData& r : records) {
            if (r.title == title) return &r;
        }
        return nullptr;
    }
};

// One aircraft.cfg with a section for each rule of the parser.
TEST_F(AircraftCfgFiles, EachSectionRuleOnOneFile) {
    const std::string folder = "D:\\AI\\B738";
    const std::string cfg =
        test::general("B738") + test::fltsim(0, "B738 KLM", "KLM", {"atc_parking_codes=KLMX", "atc_id=PH-BXA;old"}) +
        test::fltsim(1, "B738 DLH cargo", "DLH",
                     {"atc_parking_codes=DLH,MPH", "atc_parking_types=gate_heavy,Ramp_Cargo"}) +
        test::fltsim(2, "B738 RFO", "RFO", {"atc_parking_codes=RFO"}) +
        test::fltsim(3, "B738 bad code", "BAD", {"atc_parking_codes=QQ", "atc_id=PH-BXB,PH-BXC"}) +
        test::fltsim(4, "B738 two titles", "KLM", {"title=again"}) +
        test::fltsim(5, "B738 star", "KLM", {"atc_parking_codes=KLM", "atc_id=PH*BXA"}) +
        test::fltsim(6, "B738 no texture", "MISSING", {"atc_parking_codes=KLM"}) +
        "[fltsim.7]\nsim=plane\nmodel=\ntexture=KLM\natc_parking_codes=KLM\n" +
        test::fltsim(8, "B738 KLM", "KLM", {"atc_parking_codes=KLM"}) +  // repeated title
        test::fltsim(9, "Private HBJVA wearing", "KLM") + "[General]\nui_manufacturer=x\n" +
        "[fltsim.10]\ntitle=B738 long " + std::string(260, 'L') + "\nsim=plane\nmodel=\ntexture=KLM\n" +
        "atc_parking_codes=KLM\n[fltsim.11]\ntitle=B738 ZZZ\nsim=plane\nmodel=\ntexture=KLM\n"
        "atc_parking_codes=ZZZ\natc_id=PH-ZZZ\n[fltsim.12]\ntitle=B738 multi\nsim=plane\nmodel=\ntexture=KLM\n"
        "atc_parking_codes=KLM\natc_id=PH-BXB,PH-BXC\n// comment at the end\n\n";
    const std::list<LiveryData> records = scan(folder, cfg, {"KLM", "DLH", "RFO", "BAD"});
    ASSERT_EQ(records.size(), 7u);
    const LiveryData* klm = find(records, "B738 KLM");
    ASSERT_NE(klm, nullptr);
    EXPECT_EQ(klm->airl, "KLM");
    EXPECT_EQ(klm->atcid, "PH-BXA");
    EXPECT_EQ(klm->type, "B738");
    EXPECT_FALSE(klm->cargo);
    EXPECT_EQ(klm->folderNo, 1);
    const LiveryData* cargo = find(records, "B738 DLH cargo");
    ASSERT_NE(cargo, nullptr);
    EXPECT_TRUE(cargo->cargo);
    EXPECT_EQ(cargo->airl, "DLH");
    const LiveryData* bad = find(records, "B738 bad code");  // no airline, no single ATC id: private
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(bad->airl, "PVT");
    EXPECT_EQ(bad->atcid, "");
    const LiveryData* privat = find(records, "Private HBJVA wearing");
    ASSERT_NE(privat, nullptr);
    EXPECT_EQ(privat->airl, "PVT");
    EXPECT_EQ(privat->atcid, "HBJVA");  // the registration found in the title
    const LiveryData* generic = find(records, "B738 ZZZ");
    ASSERT_NE(generic, nullptr);
    EXPECT_EQ(generic->atcid, "");
    ASSERT_NE(find(records, "B738 multi"), nullptr);
    EXPECT_EQ(find(records, "B738 multi")->atcid, "");
    ASSERT_NE(find(records, "B738 star"), nullptr);
    EXPECT_EQ(find(records, "B738 star")->atcid, "");

    const Lines incomplete = g_incompleteFltsimSections.lines();
    EXPECT_TRUE(contains(incomplete, folder + " [fltsim.4] has more than one title key"));
    EXPECT_TRUE(contains(incomplete, "invalid atc_id=PH*BXA in: B738 star"));
    EXPECT_TRUE(contains(incomplete, folder + "\\model or related path does not exist: [fltsim.6]"));
    EXPECT_TRUE(contains(incomplete, folder + " [fltsim.7] misses title"));
    EXPECT_TRUE(contains(incomplete, folder + " [fltsim.8] title 'B738 KLM' already exists"));
    EXPECT_TRUE(
        contains(incomplete, folder + "\\aircraft.cfg [fltsim.3] icao_airline is missing, or it has invalid info "));
    EXPECT_TRUE(contains(incomplete, folder + " [fltsim.10] title of 270 bytes is too long for the simulator"));
    EXPECT_FALSE(contains(incomplete, "[fltsim.2]"));  // RFO liveries go without a word
    EXPECT_EQ(g_invalidAirlineCodes.lines(),
              Lines{"QQ" + std::string(10, ' ') + " in " + folder + "\\aircraft.cfg [fltsim.3]"});
}

TEST_F(AircraftCfgFiles, FilesRefusedAsAWholeAndHeavyTypesWithoutAirline) {
    // A section number above 10000 refuses the file, before its type is looked at.
    EXPECT_TRUE(scan("D:\\AI\\Big", test::general("") + test::fltsim(10001, "Big", "KLM"), {"KLM"}).empty());
    EXPECT_EQ(g_invalidAircraftCfgFiles.lines(),
              Lines{"D:\\AI\\Big\\aircraft.cfg contains a [fltsim.x] section with a number < 0 or > 10000"});
    EXPECT_TRUE(scan("D:\\AI\\Huge", test::general("B738") + "[fltsim.99999999999]\ntitle=x\n", {}).empty());
    EXPECT_TRUE(logHas("===> fltsim num [fltsim.99999999999] incorrect"));
    EXPECT_TRUE(scan("D:\\AI\\NoModel", test::general("") + test::fltsim(0, "No model", "KLM"), {"KLM"}).empty());
    EXPECT_TRUE(contains(g_invalidAircraftCfgFiles.lines(),
                         "Line atc_model= is missing in [General] section of D:\\AI\\NoModel\\aircraft.cfg"));
    EXPECT_TRUE(scan("D:\\AI\\Empty", test::general("B738"), {}).empty());
    EXPECT_EQ(g_emptyAircraftCfgFiles.lines(), Lines{"D:\\AI\\Empty\\aircraft.cfg"});
    // atc_model inside a section is found; a fixed type is reported; heavy types need an airline.
    g_typeFixes.emplace("B74F", "B744");
    const auto heavy = scan("D:\\AI\\B744",
                            test::fltsim(0, "B744 nobody", "X", {"atc_model=B74F"}) +
                                test::fltsim(1, "B744 unknown reg", "X", {"atc_id=ZZ-ZZZ"}) +
                                test::fltsim(2, "B744 KLM", "X", {"atc_parking_codes=KLM"}),
                            {"X"});
    ASSERT_EQ(heavy.size(), 1u);
    EXPECT_EQ(heavy.front().type, "B744");
    EXPECT_EQ(g_codeFixes.lines(), Lines{"Model fix: B74F found in D:\\AI\\B744\\aircraft.cfg changed into B744"});
    const Lines incomplete = g_incompleteFltsimSections.lines();
    EXPECT_TRUE(contains(incomplete, "'D:\\AI\\B744' '[fltsim.0]' has no airline and no regcode info"));
    EXPECT_TRUE(contains(incomplete, "'D:\\AI\\B744' '[fltsim.1]' has no airline and regcode not in dbase"));
    EXPECT_TRUE(scan("D:\\AI\\Unknown", test::general("XXXX") + test::fltsim(0, "t", "X"), {"X"}).empty());
    EXPECT_EQ(g_invalidModelCodes.lines(), Lines{"XXXX" + std::string(12, ' ') + " in D:\\AI\\Unknown\\aircraft.cfg"});
}

// The charsets an aircraft.cfg arrives in, and lines too long to be real.
TEST_F(AircraftCfgFiles, CharsetsAndOverlongLines) {
    const auto body = [](const std::string& title) {
        return test::general("B738") + test::fltsim(0, title, "KLM", {"atc_parking_codes=KLM"});
    };
    std::string crlf;
    for (const char c : body("Wide LE")) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(scan("D:\\AI\\LE", test::utf16le(crlf), {"KLM"}).front().title, "Wide LE");
    EXPECT_EQ(scan("D:\\AI\\BE", test::utf16be(body("Wide BE")), {"KLM"}).front().title, "Wide BE");
    EXPECT_EQ(scan("D:\\AI\\BOM", "\xEF\xBB\xBF" + body("Bom"), {"KLM"}).front().title, "Bom");
    const auto ansi = scan("D:\\AI\\ANSI", body("Caf\xE9 KLM"), {"KLM"});
    ASSERT_EQ(ansi.size(), 1u);
    EXPECT_EQ(ansi.front().title, "Caf\xE9 KLM");  // a code-page title keeps its bytes
    const auto longLine = scan("D:\\AI\\Long",
                               test::general("B738") +
                                   "[fltsim.0]\ntitle=Long KLM\nsim=plane\nmodel=\n"
                                   "texture=KLM\natc_parking_codes=KLM\nremark=" +
                                   std::string(1 << 20, 'r') + "\n",
                               {"KLM"});
    EXPECT_EQ(longLine.size(), 1u);
    EXPECT_TRUE(contains(g_invalidAircraftCfgFiles.lines(), "D:\\AI\\Long\\aircraft.cfg line 9 has 1048583 bytes"));
    EXPECT_TRUE(scan("D:\\AI\\Binary", std::string("\x01\x02\x00\xFF\xFE\x03", 6) + "[fltsim", {}).empty());
    EXPECT_TRUE(scan("D:\\AI\\OneByte", "x", {}).empty());
}

TEST_F(AircraftCfgFiles, IvaoPackages) {
    const std::string folder = "D:\\AI\\IVAO_MTL\\IVAO_B744F";
    aircraftFolder(folder,
                   test::fltsim(0, "B744 KLM Cargo", "KLM", {"atc_parking_types=CARGO", "atc_id=PH-BFA;old"}) +
                       test::fltsim(1, "Boeing 747 Lufthansa", "KLM", {"atc_id=D-AIPA"}) +
                       test::fltsim(2, "B744QQQ", "KLM") + test::fltsim(3, "Nothing", "KLM") + "x [ ends\n" +
                       test::fltsim(4, "Boeing 747 unknown", "KLM", {"atc_id=ZZ-ZZZ"}),
                   {"KLM"});
    const auto records = lf_scanIvaoFolder(2, folder + "\\aircraft.cfg");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.front().airl, "KLM");
    EXPECT_FALSE(records.front().cargo);  // IVAO liveries are never cargo liveries
    EXPECT_EQ(records.front().atcid, "PH-BFA;old");
    EXPECT_EQ(records.front().type, "B744");
    EXPECT_EQ(records.back().airl, "DLH");
    const Lines incomplete = g_incompleteFltsimSections.lines();
    EXPECT_TRUE(contains(incomplete, folder + " [fltsim.3] misses airlinecode in title: Nothing, and no regcode"));
    EXPECT_TRUE(contains(incomplete, "misses airlinecode in title: Boeing 747 unknown, and regcode unknown ZZ-ZZZ"));
    EXPECT_EQ(g_invalidAirlineCodes.lines(),
              Lines{"QQQ" + std::string(9, ' ') + " in " + folder + "\\aircraft.cfg [fltsim.2]"});

    EXPECT_TRUE(lf_scanIvaoFolder(2, "D:\\AI\\ivao_x-csl\\B738\\aircraft.cfg").empty());
    EXPECT_EQ(g_invalidModelCodes.lines(), Lines{std::string(16, ' ') + " in D:\\AI\\ivao_x-csl\\B738\\aircraft.cfg"});
    aircraftFolder("D:\\AI\\IVAO_MTL\\IVAO_A320", "x", {});
    EXPECT_TRUE(lf_scanIvaoFolder(2, "D:\\AI\\IVAO_MTL\\IVAO_A320\\aircraft.cfg").empty());
    EXPECT_TRUE(logHas("===> No character set found for D:\\AI\\IVAO_MTL\\IVAO_A320\\aircraft.cfg"));
}

}  // namespace
}  // namespace skh
