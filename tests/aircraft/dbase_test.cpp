#include <gtest/gtest.h>

#include <filesystem>

#include "aircraft/dbase.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "support/dataset_builder.hpp"
#include "support/libraries.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

struct Sections {
    std::string aircrafts = R"(<aircrafts><aircraft types="A320, B738,B744 ,C172,GLF5,EC35,F16,A388"/></aircrafts>)";
    std::string highPerf = R"(<high_performance><hpf types="F16"/></high_performance>)";
    std::string heavy = R"(<heavy><hvy types="B744,A388"/></heavy>)";
    std::string large = R"(<large><lar types="A320,B738,A388"/></large>)";
    std::string buzjet = R"(<buzjet><bzj types="GLF5"/></buzjet>)";
    std::string rotorcraft = R"(<rotorcraft><rot types="EC35"/></rotorcraft>)";
    std::string cargoTypes = R"(<cargo_types><cargo_type types="B744"/></cargo_types>)";
    std::string similar = R"(<similar_types><similar types="B738,A320"/><similar types="B744, A388"/></similar_types>)";
    std::string airlines = R"(<ICAO_airlines><ICAO codes="DLH,SWR,BAW"/></ICAO_airlines>)";
    std::string cargoOps = R"(<cargo_operators><ICAO codes="GEC"/></cargo_operators>)";
    std::string publishers =
        R"(<publishers><pub names="Orbx, FTX"/><pub names="Aerosoft,AS"/><pub names="Orbx, FTX"/></publishers>)";
    std::string wingspans = R"(<wingspans><wingspan type="A320" meters="34"/><wingspan type="B744" meters="64.4"/>
<wingspan type="A320" meters="40"/><wingspan type="XXXX" meters="30"/><wingspan type="B738" meters="nan"/>
<wingspan type="C172" meters="-11"/><wingspan type="GLF5" meters="0"/><wingspan type="EC35"/></wingspans>)";
    std::string fixes = R"(<fixes><fx wro="B38M" cor="B738"/><fx wro="B38M" cor="A320"/><fx wro="X" cor="NONE"/>
<fx wro="Y" cor=""/></fixes>)";
    std::string simaddons = R"(<simaddonsP3D><simaddonP3D arpts="KLAX,EGLL"/></simaddonsP3D>)";
    std::string thirdParties =
        R"(<thirdpartiesP3D><thirdpartieP3D pub="Orbx" arpts="EGLL2, LSZH1"/></thirdpartiesP3D>)";
    std::string records = R"(<dbase><db reg="D-AIPA" airl="DLH" type="A320" opr="Lufthansa" cargo="0"/>
<db reg="N123AB" airl="UPS" type="B744" opr="UPS Airlines" cargo="true"/>
<db reg="D-AIPA" airl="XXX" type="B738" opr="dup"/>
<db reg="HBJVA" airl="SWR" type="A320" opr="Swiss"/>
<db reg="G-ABC" airl="BAW" type="A320" opr="BA"/></dbase>)";

    std::string xml() const {
        return "<?xml version=\"1.0\"?>\n" + aircrafts + highPerf + heavy + large + buzjet + rotorcraft + cargoTypes +
               similar + airlines + cargoOps + publishers + wingspans + fixes + simaddons + thirdParties + records;
    }
};

class Dbase : public ::testing::Test {
protected:
    void SetUp() override { gf_clearDbase(); }
    void TearDown() override { gf_clearDbase(); }
    void read(const Sections& s) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(s.xml().c_str()));
        lf_readDbaseDocument(doc);
    }
    test::ScopedLog m_log;
};

TEST_F(Dbase, SizeCategoriesAndKnownCodes) {
    read(Sections{});
    EXPECT_EQ(gf_sizeCategory("A388"), CatLarge);  // large is tested before heavy
    EXPECT_EQ(gf_sizeCategory("B744"), CatHeavy);
    EXPECT_EQ(gf_sizeCategory("GLF5"), CatBuzjets);
    EXPECT_EQ(gf_sizeCategory("EC35"), CatRotorcraft);
    EXPECT_EQ(gf_sizeCategory("F16"), CatHighPerf);
    EXPECT_EQ(gf_sizeCategory("C172"), CatLight);
    EXPECT_EQ(gf_sizeCategory("ZZZZ"), CatLight);
    EXPECT_TRUE(gf_isKnownType("B744"));
    EXPECT_FALSE(gf_isKnownType(""));
    EXPECT_FALSE(gf_isKnownType("b744"));
    EXPECT_TRUE(gf_isIcaoAirline("SWR"));
    EXPECT_FALSE(gf_isIcaoAirline(""));
    ASSERT_EQ(g_similarGroups.size(), 2u);
    EXPECT_EQ(g_similarGroups[0], (std::vector<std::string>{"A320", "B738"}));
    EXPECT_EQ(g_similarGroups[1], (std::vector<std::string>{"A388", "B744"}));
    ASSERT_EQ(g_publishers.size(), 2u);  // sorted, duplicates removed
    EXPECT_EQ(g_publishers[0], (std::vector<std::string>{"Aerosoft", "AS"}));
    EXPECT_EQ(g_publishers[1], (std::vector<std::string>{"Orbx", "FTX"}));
    EXPECT_EQ(g_simaddonAirports.count("EGLL"), 1u);
    ASSERT_EQ(g_thirdPartyPackages.size(), 1u);
    EXPECT_EQ(g_thirdPartyPackages[0].airports, (std::vector<std::string>{"EGLL2", "LSZH1"}));
    EXPECT_TRUE(m_log.contains("2 publishers read\n"));
}

TEST_F(Dbase, WingspansSkipInvalidValuesAndAverageByClass) {
    read(Sections{});
    const double a320 = 34 * 0.5 / 1852;
    const double b744 = 64.4 * 0.5 / 1852;
    EXPECT_DOUBLE_EQ(gf_wingspanOf("A320"), a320);  // the first entry of a type stays
    EXPECT_DOUBLE_EQ(g_maxWingspan, b744);
    EXPECT_DOUBLE_EQ(gf_wingspanOf("B738"), a320);  // class average of Large
    EXPECT_DOUBLE_EQ(gf_wingspanOf("C172"), (a320 + b744) / 2);  // empty class: overall mean
    for (const char* bad : {"XXXX", "B738", "C172", "GLF5", "EC35"}) {
        EXPECT_TRUE(m_log.contains(skh::format("===> wingspan model {} is not valid, skipped", bad))) << bad;
    }
    for (double v : g_categoryWingspans) EXPECT_TRUE(std::isfinite(v));
}

TEST_F(Dbase, EveryEmptySizeClassTakesTheMeanOfAllEntries) {
    // Entries only for Large and Heavy: Light, Buzjets, HighPerf and
    // Rotorcraft have none.
    Sections s;
    s.wingspans = R"(<wingspans><wingspan type="A320" meters="34"/><wingspan type="B738" meters="36"/>
<wingspan type="B744" meters="64.4"/></wingspans>)";
    read(s);
    const double a320 = 34 * 0.5 / 1852, b738 = 36 * 0.5 / 1852, b744 = 64.4 * 0.5 / 1852;
    const double mean = (a320 + b738 + b744) / 3;
    EXPECT_DOUBLE_EQ(g_categoryWingspans[CatLarge], (a320 + b738) / 2);
    EXPECT_DOUBLE_EQ(g_categoryWingspans[CatHeavy], b744);
    for (const AircraftCategory c : {CatLight, CatBuzjets, CatHighPerf, CatRotorcraft})
        EXPECT_DOUBLE_EQ(g_categoryWingspans[c], mean) << "class " << c;
    EXPECT_DOUBLE_EQ(gf_wingspanOf("EC35"), mean);  // a rotorcraft without an entry
}

TEST_F(Dbase, NoValidWingspanLeavesEveryAverageAtZero) {
    Sections s;
    s.wingspans = R"(<wingspans><wingspan type="NOPE" meters="30"/></wingspans>)";
    read(s);
    for (double v : g_categoryWingspans) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(gf_wingspanOf("A320"), 0.0);
}

TEST_F(Dbase, FixesKeepTheFirstAndRejectUnknownTargets) {
    read(Sections{});
    EXPECT_EQ(g_typeFixes.at("B38M"), "B738");
    EXPECT_EQ(g_typeFixes.count("X"), 0u);
    EXPECT_TRUE(m_log.contains("===> wrong part of fix: 'B38M', already exists, skipped"));
    EXPECT_TRUE(m_log.contains("===> wrong fix X -> NONE, the latter is not valid"));
    EXPECT_TRUE(m_log.contains("===> wrong fix Y -> , the latter is not valid"));
}

TEST_F(Dbase, RegistrationLookupsTryTheDashedSpellings) {
    read(Sections{});
    EXPECT_EQ(lf_registrationVariants("DAIPA"), (std::vector<std::string>{"DA-IPA", "D-AIPA", "DAIPA"}));
    EXPECT_EQ(lf_registrationVariants("N123AB"), (std::vector<std::string>{"N123AB"}));
    EXPECT_EQ(lf_registrationVariants("D-AIPA"), (std::vector<std::string>{"D-AIPA"}));
    EXPECT_EQ(lf_registrationVariants("EIDW"), (std::vector<std::string>{"EIDW"}));

    const auto record = gf_findDbaseRecord("DAIPA");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->airl, "DLH");  // the first record of a repeated registration stays
    EXPECT_FALSE(record->cargo);
    EXPECT_TRUE(gf_findDbaseRecord("N123AB")->cargo);
    EXPECT_FALSE(gf_findDbaseRecord("").has_value());
    EXPECT_FALSE(gf_findDbaseRecord("N12345").has_value());
    EXPECT_EQ(gf_dbaseOperator("HBJVA"), "Swiss");
    EXPECT_EQ(gf_dbaseAirline("G-ABC"), "BAW");
    EXPECT_EQ(gf_dbaseAirline("nothing"), "");
    EXPECT_TRUE(m_log.contains("===> regcode D-AIPA already exists"));
    EXPECT_TRUE(m_log.contains("4 dbase records read"));
}

TEST_F(Dbase, FindRegistrationInText) {
    Sections s;
    s.records = R"(<dbase><db reg="" airl="X"/><db reg="G-ABC"/><db reg="HBJVA" /><db reg="D-AIPAX"/></dbase>)";
    read(s);
    EXPECT_EQ(gf_findRegistrationIn("Airbus A320 British G-ABC livery").value_or("?"), "G-ABC");
    EXPECT_EQ(gf_findRegistrationIn("Swiss HBJVA").value_or("?"), "HBJVA");
    EXPECT_FALSE(gf_findRegistrationIn("D-AIPAX is six characters long").has_value());
    EXPECT_FALSE(gf_findRegistrationIn("g-abc").has_value());  // case-sensitive
    EXPECT_FALSE(gf_findRegistrationIn("").has_value());
}

TEST_F(Dbase, MissingRequiredSectionIsUserError61) {
    Sections s;
    s.heavy.clear();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(s.xml().c_str()));
    try {
        lf_readDbaseDocument(doc);
        FAIL();
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(), "61: In XML file section [heavy], element [hvy], attribute [types] is empty.");
    }
    Sections optional;
    optional.fixes.clear();
    optional.records.clear();
    optional.similar.clear();
    optional.publishers.clear();
    optional.thirdParties.clear();
    read(optional);
    EXPECT_TRUE(g_dbaseRecords.empty());
    EXPECT_TRUE(m_log.contains("0 dbase records read"));
}

TEST_F(Dbase, PrefixedAirportNumbers) {
    std::int32_t value = 7;
    PrefixedIntContext context{"Orbx", "EGLL", value};
    EXPECT_TRUE(lf_parsePrefixedInt(context, "EGLL2"));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(lf_parsePrefixedInt(context, "EGLL"));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(m_log.contains("===> Orbx EGLL EGLL invalid number"));
    EXPECT_TRUE(lf_parsePrefixedInt(context, "EGLL99999999999"));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(lf_parsePrefixedInt(context, "EGLL-3x"));
    EXPECT_EQ(value, -3);
    EXPECT_FALSE(lf_parsePrefixedInt(context, "EGKK1"));
}

// ---------------------------------------------------------------------------
// The encrypted data set

class DbaseDataSet : public Dbase {
protected:
    void SetUp() override {
        Dbase::SetUp();
        test::initLibraries();
    }
    test::TempDir m_program;
    test::ScopedCwd m_cwd{m_program.path()};
};

TEST_F(DbaseDataSet, ReadsTheEncryptedDataSetAndRemovesThePlainText) {
    test::packDataSet(Sections{}.xml(), g_dbaseEnc);
    EXPECT_TRUE(gf_readDbase());
    EXPECT_EQ(g_dbaseRecords.size(), 4u);
    EXPECT_FALSE(fs::exists(g_dbaseXml));
}

TEST_F(DbaseDataSet, FailuresLeaveNoPlainTextBehind) {
    EXPECT_THROW(
        {
            try {
                gf_readDbase();
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), g_dbaseEnc.string() + " not available");
                throw;
            }
        },
        std::runtime_error);

    test::packDataSet("<aircrafts><aircraft", g_dbaseEnc);
    try {
        gf_readDbase();
        FAIL();
    } catch (const UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("60: '" + g_dbaseXml.string() + "' not read because of ", 0), 0u);
    }
    EXPECT_FALSE(fs::exists(g_dbaseXml));

    Sections s;
    s.large.clear();
    test::packDataSet(s.xml(), g_dbaseEnc);
    EXPECT_THROW(gf_readDbase(), UserErrorException);
    EXPECT_FALSE(fs::exists(g_dbaseXml));

    DataSetKey wrong{};
    test::packDataSet(Sections{}.xml(), g_dbaseEnc, wrong);
    EXPECT_THROW(gf_readDbase(), std::runtime_error);
    EXPECT_FALSE(fs::exists(g_dbaseXml));
}

TEST_F(DbaseDataSet, OddRegistrationsAndBytesAreKeptAsTheyAre) {
    Sections s;
    s.records = "<dbase><db reg=\"X\" airl=\"A\"/><db reg=\"" + std::string(40, 'R') +
                "\" airl=\"B\"/><db reg=\"D-\xC3\x84\xC3\x96\" airl=\"\xFF\"/><db/></dbase>";
    test::packDataSet(s.xml(), g_dbaseEnc);
    EXPECT_TRUE(gf_readDbase());
    EXPECT_EQ(g_dbaseRecords.size(), 4u);
    EXPECT_EQ(gf_dbaseAirline(std::string(40, 'R')), "B");
    EXPECT_EQ(gf_dbaseAirline("X"), "A");
}

}  // namespace
}  // namespace skh
