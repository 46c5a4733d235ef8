// The airport stand file: what the writer writes in each mode, what survives
// a write and read, and how damaged stands and options are skipped.
#include "airports/stand_file.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "aircraft/dbase.hpp"
#include "foundation/errors.hpp"
#include "foundation/geo.hpp"
#include "foundation/parameter_table.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

StandOption option(std::string reg, std::uint32_t seq, std::uint64_t hours, std::uint32_t real = 1) {
    StandOption o;
    o.airline = "SWR";
    o.type = "A320";
    o.registration = std::move(reg);
    o.halfHours = hours;
    o.seq = seq;
    o.weekday = 3;
    o.real = real;
    return o;
}

class StandFile : public ::testing::Test {
protected:
    void TearDown() override {
        gf_clearDbase();
        g_apfHandmade = false;
        WEEK.value = false;
    }
    pugi::xml_document written(const AirportFileData& data, std::uint32_t mode) {
        const auto path = dir / "EGLL.xml";
        EXPECT_TRUE(gf_writeAirportFile(data, path, mode));
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file(path.c_str()));
        return doc;
    }
    static std::string attributes(const pugi::xml_node& node) {
        std::string out;
        for (const auto& a : node.attributes()) out += std::string(out.empty() ? "" : " ") + a.name() + "=" + a.value();
        return out;
    }
    static pugi::xml_node parkpos(const pugi::xml_document& doc, int index) {
        auto n = doc.child("parkpositions").child("parkpos");
        for (int i = 0; i < index; ++i) n = n.next_sibling("parkpos");
        return n;
    }
    test::TempDir dir;
    test::ScopedLog log;
};

AirportFileData sampleAirport() {
    AirportFileData d;
    d.ident = "EGLL";
    d.name = "London Heathrow";
    d.bglPath = "D:\\Scenery\\EGLL.bgl";
    d.publisher = "unknown";
    d.altitude = 83;
    d.qfReal = 12;
    d.qfSoft = 5;
    Stand gate = gf_makeStand("A1", {option("HBJNA", 1, 0b111 << 5)}, 51.4775123456, -0.4614, 90.0 * DEG2RAD, 25.0,
                              false, false, false);
    Stand heli = gf_makeStand("H1", {}, 51.47, -0.45, 0.0, 12.0, true, false, true);
    Stand cargo = gf_makeStand("C1", {}, 51.46, -0.44, 359.96 * DEG2RAD, 40.04, true, true, false);
    d.stands = {gate, heli, cargo};
    return d;
}

TEST_F(StandFile, AGeneratedFileHoldsFullStandsInTheFixedFormatsAndReadsBack) {
    const auto doc = written(sampleAirport(), kGeneratedFile);
    std::vector<std::string> tops;
    for (auto n = doc.first_child(); n; n = n.next_sibling()) tops.push_back(n.name());
    EXPECT_EQ(tops, (std::vector<std::string>{"meta", "parameters", "parkpositions"}));
    std::string params;
    for (auto p : doc.child("parameters").children()) params += std::string(p.attribute("name").value()) + ",";
    EXPECT_EQ(params, "airport_name,publisher,altitude,num_parkpos,BGLpath,");

    EXPECT_EQ(attributes(parkpos(doc, 0)),
              "id=A1 latitude=51.477512 longitude=-0.461400 heading=90.0 radius=25.0 cargo=false ramp=false");
    EXPECT_FALSE(parkpos(doc, 0).child("opt"));  // no options in a generated file
    EXPECT_EQ(attributes(parkpos(doc, 1)),
              "id=H1 latitude=51.470000 longitude=-0.450000 heading=0.0 radius=12.0 heli=true ramp=false");
    EXPECT_EQ(attributes(parkpos(doc, 2)),
              "id=C1 latitude=51.460000 longitude=-0.440000 heading=360.0 radius=40.0 cargo=true ramp=true");

    std::vector<Stand> stands;
    gf_readStandList(doc, 1, stands, StandLists::First);
    ASSERT_EQ(stands.size(), 3u);
    EXPECT_NEAR(stands[0].radius, 25.0 / 1852.0, 1e-12);
    EXPECT_NEAR(stands[0].heading, std::numbers::pi / 2, 1e-12);
    EXPECT_TRUE(stands[1].helipad && stands[1].cargo == false);
    EXPECT_DOUBLE_EQ(stands[2].heading, 0.0);  // 360.0 comes back as north
    EXPECT_TRUE(stands[2].cargo && stands[2].ramp);
}

TEST_F(StandFile, ALearnedSaveWritesChangesOptionsAndTheAirportsSettings) {
    AirportFileData d = sampleAirport();
    d.publisher = "Some Maker";
    d.stands[0].options.push_back(option("HBJNB", 0, 1));  // withdrawn
    d.stands[0].options.push_back(option("", 2, 1ull | 1ull << 47, 0));
    d.stands[0].options.back().callsign = "SWR12";
    d.stands[0].options.back().secondCallsign = "LX12";
    d.stands[1].radiusChanged = true;
    d.stands[2].manual = true;
    WEEK.value = true;

    const auto doc = written(d, kLearnedSave);
    std::string params;
    for (auto p : doc.child("parameters").children()) params += std::string(p.attribute("name").value()) + ",";
    EXPECT_EQ(params,
              "airport_name,publisher,num_parkpos,LATERAL_RANGE,AUTO_RANGE,WEEK,PARK_FAKE,PARK_SOFT,"
              "parking_percentage,INITIAL_LOAD_ONLY,MAX_FIT,MAX_LIVE,LEARN_SOFT,");
    EXPECT_EQ(lf_readAirportBoolParam(doc, "WEEK"), true);  // the setting itself, readable back

    EXPECT_EQ(attributes(parkpos(doc, 0)), "id=A1");
    EXPECT_EQ(attributes(parkpos(doc, 1)), "id=H1 radius_change=true radius=12.0");
    EXPECT_EQ(attributes(parkpos(doc, 2)),
              "id=C1 latitude=51.460000 longitude=-0.440000 heading=360.0 radius=40.0 cargo=true ramp=true "
              "manual=true");
    const auto opts = parkpos(doc, 0).children("opt");
    std::vector<std::string> texts;
    for (auto o : opts) texts.push_back(attributes(o));
    EXPECT_EQ(texts, (std::vector<std::string>{"reg=HBJNA airl=SWR type=A320 day=3 hh=5,6,7",
                                               "reg= airl=SWR type=A320 soft=true day=3 hh=0,47 cs=SWR12:LX12"}));

    std::vector<Stand> back;
    ASSERT_TRUE(lf_readParkpos(parkpos(doc, 2), "C1", 0, back));
    EXPECT_TRUE(back[0].cargo && back[0].ramp);
    g_apfHandmade = true;
    const auto handmade = written(d, kLearnedSave);
    EXPECT_EQ(lf_readAirportStringParam(handmade, "handmade"), "true");
    EXPECT_EQ(lf_readAirportIntParam(handmade, "altitude"), 83);
    EXPECT_EQ(lf_readAirportIntParam(handmade, "Qf_real"), 12);
    EXPECT_EQ(attributes(parkpos(handmade, 1)),
              "id=H1 latitude=51.470000 longitude=-0.450000 heading=0.0 radius=12.0 heli=true ramp=false");
}

TEST_F(StandFile, OptionsKeepCallsignsAndHoursAndTakeTheDatabasesIdentity) {
    g_dbaseRecords["HB-JNA"] = DbaseRecord{"SWR", "B77W", "EDW", false};
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<parkpositions><parkpos id="A1" latitude="47" longitude="8" radius="30">
        <opt reg="HBJNA" airl="XXX" type="C172" day="2" hh="0,47" cs="EDW12:SWR12"/>
        <opt reg="" airl="DLH" type="A321" day="2" hh="0,47" cs="DLH4"/>
        <opt reg="" airl="DLH" type="A321" day="2" hh="0,47" cs="DLH4"/>
        <opt reg="X" soft="yes"/></parkpos></parkpositions>)"));
    std::vector<Stand> stands;
    ASSERT_TRUE(lf_readParkpos(doc.child("parkpositions").child("parkpos"), "A1", 1, stands));
    const auto& o = stands[0].options;
    ASSERT_EQ(o.size(), 4u);  // duplicates in one element are both kept
    EXPECT_EQ(o[0].airline, "EDW");
    EXPECT_EQ(o[0].type, "B77W");
    EXPECT_EQ(o[0].callsign, "EDW12");
    EXPECT_EQ(o[0].secondCallsign, "SWR12");
    EXPECT_EQ(o[0].halfHours, 1ull | 1ull << 47);
    EXPECT_EQ(o[1].callsign, "DLH4");
    EXPECT_EQ(o[1].secondCallsign, "");
    EXPECT_EQ(o[2].seq, 3u);
    EXPECT_EQ(o[3].real, 0u);
    EXPECT_EQ(o[3].weekday, 0u);
    for (const auto& opt : o) EXPECT_EQ(opt.origin, 1u);

    AirportFileData d;
    d.stands = stands;
    const auto back = written(d, kLearnedSave);
    const auto first = parkpos(back, 0).child("opt");
    EXPECT_EQ(attributes(first), "reg=HBJNA day=2 hh=0,47 cs=EDW12:SWR12");  // the database speaks for it
}

TEST_F(StandFile, DamagedStandsAndOptionsAreSkippedWithAMessage) {
    const std::string huge(10 * 1024 * 1024, 'x');
    struct Case {
        const char* label;
        std::string attributes;
        bool read;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"ordinary", R"(id="G1" latitude="47" longitude="8" radius="30" heading="-90")", true, ""},
        {"latitude 0 alone is a place", R"(id="G2" latitude="0" longitude="8" radius="30")", true, ""},
        {"no position", R"(id="G3" radius="30")", false, ""},
        {"NaN latitude", R"(id="G4" latitude="nan" longitude="8" radius="30")", false, "latitude 'nan'"},
        {"latitude off the globe", R"(id="G5" latitude="91" longitude="8" radius="30")", false, "latitude '91'"},
        {"infinite radius", R"(id="G6" latitude="47" longitude="8" radius="inf")", false, "radius 'inf'"},
        {"radius 0", R"(id="G7" latitude="47" longitude="8" radius="0")", false, "radius '0'"},
        {"negative radius", R"(id="G8" latitude="47" longitude="8" radius="-3")", false, "radius '-3'"},
        {"huge heading", R"(id="G9" latitude="47" longitude="8" radius="30" heading="1e308")", false, "heading"},
        {"no id", R"(latitude="47" longitude="8" radius="30")", false, "it has no id"},
        {"128-byte id", R"(id=")" + std::string(128, 'n') + R"(" latitude="47" longitude="8" radius="30")", true, ""},
        {"129-byte id", R"(id=")" + std::string(129, 'n') + R"(" latitude="47" longitude="8" radius="30")", false,
         "its id is 129 bytes long"},
        {"10 MB id", R"(id=")" + huge + R"(" latitude="47" longitude="8" radius="30")", false, "bytes long"},
        {"id not UTF-8", "id=\"G\xE9\" latitude=\"47\" longitude=\"8\" radius=\"30\"", false, "not UTF-8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(("<parkpos " + c.attributes + "/>").c_str()));
        const auto node = doc.child("parkpos");
        std::vector<Stand> stands;
        EXPECT_EQ(lf_readParkpos(node, node.attribute("id").value(), 1, stands), c.read);
        EXPECT_EQ(stands.size(), c.read ? 1u : 0u);
        if (*c.logged != '\0') {
            EXPECT_TRUE(log.contains(c.logged)) << log.text().substr(0, 2000);
        }
    }
    EXPECT_LT(log.text().size(), 10000u);  // the huge id is not copied into the log

    pugi::xml_document doc;
    const std::string opts = R"(<opt reg="A" day="1" hh="0,47,48,-1,x"/><opt reg="B" day="9"/><opt reg=")" + huge +
                             R"("/><opt reg="C" day="-1"/><opt reg="D" hh=")" + huge + R"("/><opt reg="E" day="7"/>)";
    ASSERT_TRUE(
        doc.load_string(("<parkpos latitude=\"47\" longitude=\"8\" radius=\"30\">" + opts + "</parkpos>").c_str()));
    std::vector<Stand> stands;
    ASSERT_TRUE(lf_readParkpos(doc.child("parkpos"), "G1", 1, stands));
    const auto& o = stands[0].options;
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o[0].halfHours, 1ull | 1ull << 47);  // the good hours of a damaged list still count
    EXPECT_EQ(o[1].registration, "E");
    EXPECT_EQ(o[1].seq, 2u);
    EXPECT_TRUE(log.contains("invalid hour '48' in 0,47,48,-1,x"));
    EXPECT_TRUE(log.contains("day '9' is not 0 to 7"));
    EXPECT_LT(log.text().size(), 10000u);
}

TEST_F(StandFile, AStandListHasRoomBeyond512AndRefusesARepeatedName) {
    std::string text = "<meta/><parameters/><parkpositions>";
    for (int i = 0; i < 600; ++i) {
        text += skh::format(R"(<parkpos id="P{}" latitude="47.{:04}" longitude="8" radius="20"/>)", i, i);
    }
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string((text + "</parkpositions>").c_str()));
    std::vector<Stand> stands;
    gf_readStandList(doc, 1, stands, StandLists::First);
    EXPECT_EQ(stands.size(), 600u);

    ASSERT_TRUE(doc.load_string(
        R"(<parkpositions><parkpos id="A" latitude="1" longitude="1" radius="9"/><parkpos id="B" latitude="1" longitude="1" radius="9"/>
           <parkpos id="A" latitude="1" longitude="1" radius="9"/><parkpos id="C" latitude="1" longitude="1" radius="9"/></parkpositions>)"));
    stands.clear();
    try {
        gf_readStandList(doc, 1, stands, StandLists::First);
        ADD_FAILURE() << "no error 94";
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(), "94: Parking position A appears more than once?");
    }
    EXPECT_EQ(stands.size(), 2u);
}

TEST_F(StandFile, OnlyAStandFileIsTakenForOne) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {"<?xml version=\"1.0\"?><meta/><parameters/><parkpositions/>", true},
        {"<parameters><parameter name=\"x\" value=\"1\"/></parameters>", true},
        {"<meta/>", false},
        {"<html><body>Not found</body></html>", false},
        {"<meta/><parameters/><script/>", false},
    };
    for (const auto& [text, isStand] : cases) {
        SCOPED_TRACE(text);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(text));
        EXPECT_EQ(gf_isStandDocument(doc), isStand);
    }
    test::writeFile(dir / "page.xml", "<!DOCTYPE html><html><head><title>x</title></head></html>");
    EXPECT_FALSE(gf_isStandFile(dir / "page.xml"));
    EXPECT_FALSE(gf_isStandFile(dir / "missing.xml"));
}

TEST_F(StandFile, ParametersAreFoundByKeyInTheFirstBlockThatHoldsThem) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<meta/><parameters><parameter name="a" value="yes"/><parameter name="n"/>
        <parameter name="i" value="0x10"/></parameters><parameters><parameter name="a" value="no"/>
        <parameter name="s" value="text"/></parameters>)"));
    EXPECT_EQ(lf_readAirportBoolParam(doc, "a"), true);
    EXPECT_EQ(lf_readAirportBoolParam(doc, "n"), false);
    EXPECT_EQ(lf_readAirportIntParam(doc, "i"), 16);
    EXPECT_EQ(lf_readAirportIntParam(doc, "n"), 0);
    EXPECT_EQ(lf_readAirportStringParam(doc, "s"), "text");
    EXPECT_EQ(lf_readAirportStringParam(doc, "missing"), std::nullopt);
}

}  // namespace
}  // namespace skh
