#include "livery_fixture.hpp"

#include <pugixml.hpp>

#include "aircraft/dbase.hpp"
#include "aircraft/liveries.hpp"
#include "aircraft/livery_cache.hpp"
#include "aircraft/livery_match.hpp"
#include "aircraft/livery_reports.hpp"
#include "aircraft/refused_liveries.hpp"
#include "foundation/constants.hpp"
#include "foundation/errors.hpp"
#include "foundation/parameter_table.hpp"

namespace skh::test {

namespace {

void resetLiveryState() {
    gf_clearLiveryIndex();
    gf_clearRefusedLiveries();
    gf_clearNoMatch();
    gf_resetMatchCounters();
    lf_clearLiveryLists();
    g_liveries.clear();
    g_liveryCount = 0;
    for (BoolParameter* p : {static_cast<BoolParameter*>(&LIGHT_AIRCRAFT), static_cast<BoolParameter*>(&HELICOPTERS),
                             static_cast<BoolParameter*>(&HIGH_PERF_AIRCRAFT), static_cast<BoolParameter*>(&LOG),
                             static_cast<BoolParameter*>(&SCAN_LIVERIES), static_cast<BoolParameter*>(&RANDOM)}) {
        p->value = p->defaultValue;
    }
    MATCHING_DEPTH.value = MATCHING_DEPTH.defaultValue;
}

}  // namespace

std::string testDbaseXml() {
    return R"(<?xml version="1.0"?>
<aircrafts><aircraft types="A319,A320,A321,B738,B744,B748,A388,C172,PA28,DA40,GLF5,EC35,R44,F16"/></aircrafts>
<high_performance><hpf types="F16"/></high_performance>
<heavy><hvy types="B744,B748,A388"/></heavy>
<large><lar types="A319,A320,A321,B738"/></large>
<buzjet><bzj types="GLF5"/></buzjet>
<rotorcraft><rot types="EC35,R44"/></rotorcraft>
<cargo_types><cargo_type types="B748"/></cargo_types>
<similar_types><similar types="A321,A320,A319"/><similar types="B748,B744"/><similar types="C172,PA28"/></similar_types>
<ICAO_airlines><ICAO codes="KLM,DLH,BAW,UPS,GEC,SHT,ZZZ"/></ICAO_airlines>
<cargo_operators><ICAO codes="GEC,UPS"/></cargo_operators>
<publishers><pub names="Publisher A, PubA"/><pub names="Aerosoft,AS"/></publishers>
<simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>
<dbase>
<db reg="PH-BXA" airl="KLM" type="B738" opr=""/>
<db reg="D-AIPA" airl="DLH" type="A320" opr=""/>
<db reg="N744UP" airl="UPS" type="B744" opr="" cargo="1"/>
<db reg="G-EUPA" airl="BAW" type="A319" opr="SHT"/>
<db reg="HBJVA" airl="SWR" type="C172" opr=""/>
</dbase>)";
}

std::vector<LiveryData> realisticLiveries() {
    return {
        {"KLM", "B738", "Boeing 737-800 KLM", "PH-BXA", 1, false},
        {"KLM", "B738", "Boeing 737-800 KLM Orange Pride", "PH-BXO", 1, false},
        {"KLM", "B744", "Boeing 747-400 KLM Cargo", "", 1, true},
        {"DLH", "A320", "Airbus A320 Lufthansa", "D-AIPB", 1, false},
        {"DLH", "B744", "Boeing 747-400 Lufthansa", "", 1, false},
        {"BAW", "A321", "Airbus A321 British Airways", "G-EUXC", 1, false},
        {"UPS", "B744", "Boeing 747-400F UPS", "", 2, true},
        {"GEC", "B748", "Boeing 747-8F Lufthansa Cargo", "", 2, true},
        {"ZZZ", "B738", "Boeing 737-800 House Colours", "", 2, false},
        {"ZZZ", "C172", "Cessna 172 White", "", 2, false},
        {"ZZZ", "GLF5", "Gulfstream V FSLTL_Generic", "", 2, false},
        {"PVT", "PA28", "Piper PA-28 N123AB", "N123AB", 2, false},
    };
}

LiveryTest::LiveryTest() {
    m_savedParametersPath = g_parametersXmlPath;
    g_parametersXmlPath = (m_program.path() / "parameters.xml").string();
    resetLiveryState();
    gf_clearDbase();
    pugi::xml_document doc;
    const std::string xml = testDbaseXml();
    EXPECT_TRUE(doc.load_string(xml.c_str()));
    lf_readDbaseDocument(doc);
    std::filesystem::create_directories(g_errorsFolder);
    std::filesystem::create_directories(g_infoFolder);
}

LiveryTest::~LiveryTest() {
    resetLiveryState();
    gf_clearDbase();
    g_parametersXmlPath = m_savedParametersPath;
}

void LiveryTest::install(const std::vector<LiveryData>& liveries) {
    g_liveries = liveries;
    gf_sortLiveries(g_liveries);
    lf_writeLiveriesScanned();
    lf_processScannedLiveries();
}

std::string LiveryTest::userError(void (*call)()) {
    try {
        call();
        return {};
    } catch (const UserErrorException& e) {
        return e.what();
    }
}

FlightIdent LiveryTest::aircraft(const std::string& airline, const std::string& type, const std::string& registration,
                                 bool cargo) {
    IdentStrings ident;
    ident.airline = airline;
    ident.type = type;
    ident.registration = registration;
    ident.callsign = airline + "123";
    FlightIdent f(std::move(ident));
    f.cargo = cargo ? 1 : 0;
    return f;
}

}  // namespace skh::test
