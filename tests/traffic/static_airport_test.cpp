// The static parking of a park airport from its files: the stand file with
// real and soft options and its learned file are loaded, the plan is placed
// one aircraft per creation hand-over, the aircraft become active with their
// parked events, 20 minutes later the adjustment keeps, replaces and departs,
// and leaving the airport removes the ground traffic and saves what was
// learned. Also the switch-off of soft learning where enough is known.
#include <gtest/gtest.h>

#include <filesystem>

#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/stand_locations.hpp"
#include "foundation/constants.hpp"
#include "foundation/datasets.hpp"
#include "foundation/main_window_state.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "static_fixture.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/stand_learning.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;
using test::ScopedSetting;
using test::StaticParkingTest;

const std::string kMeta =
    R"(<meta><info name="author" value="a"/><info name="date" value="d"/><info name="version" value="v"/></meta>)";

std::string param(const std::string& key, const std::string& value) {
    return R"(<parameter name=")" + key + R"(" value=")" + value + R"("/>)";
}

class StaticAirport : public StaticParkingTest {
protected:
    test::TempDir dir;
    test::ScopedCwd cwd{dir.path()};
    // No stock file anywhere: a refused connection.
    test::ScopedEnv url{kDownloadUrlVariable, "http://127.0.0.1:9/"};
    ScopedSetting<BoolUiParameter, bool> learnSoft{LEARN_SOFT, true};

    void SetUp() override {
        StaticParkingTest::SetUp();
        fs::create_directories(g_myThirdpartyFolder);
        g_learnedChanges = 0;
        g_softLearningAllowed = true;
    }
    void TearDown() override {
        g_parkAirportLoaded = false;
        g_apfHandmade = false;
        g_learnedChanges = 0;
        g_softLearningAllowed = true;
        g_learnSoftSwitchedOff = false;
        gf_resetLearnedMerge();
        gf_clearStockProbes();
        StaticParkingTest::TearDown();
    }

    static fs::path learnedFile() { return g_learnedThirdpartyFolder / "Maker" / "LSZH.xml"; }

    static void writeAirport(const std::string& params, const std::string& stands, const std::string& learned) {
        test::writeFile(g_myThirdpartyFolder / "LSZH.xml",
                        "<?xml version=\"1.0\"?>" + kMeta + "<parameters>" + param("airport_name", "Zurich") +
                            param("publisher", "Maker") + param("altitude", "1416") + params +
                            "</parameters><parkpositions>" + stands + "</parkpositions>");
        if (learned.empty()) return;
        fs::create_directories(learnedFile().parent_path());
        test::writeFile(learnedFile(), "<?xml version=\"1.0\"?>" + kMeta + "<parameters>" +
                                           param("airport_name", "Zurich") + learned + "</parameters><parkpositions/>");
    }

    void adoptCreated(std::uint32_t firstObjectId) {
        for (std::size_t i = 0; i < port.creates.size(); ++i) {
            const std::uint32_t act = port.creates[i].actNumber;
            if (StaticAc* st = gf_findStaticByAct(act); st != nullptr && st->status == AcStatus::adding2sim)
                adopt(act, firstObjectId + static_cast<std::uint32_t>(i));
        }
    }
};

TEST_F(StaticAirport, PlanPlaceActivateAdjustAndLeave) {
    // Wednesday 10:10 (slot 20); 8 stands at the learned 50 %: four wanted.
    writeAirport(
        "",
        stand("A1", 1, opt("D-AAA1", "DLH", "A320", 3, "19,20,21", "DLH100:DLH101")) +
            stand("A2", 2,
                  opt("G-BBB1", "BAW", "A320", 3, "18", "BAW12_") + opt("F-HAAA", "AFR", "A320", 3, "21", "AFR1")) +
            stand("A3", 3, opt("HB-JAA", "SWR", "A320", 3, "20,21", "")) +
            stand("H1", 4, opt("HB-ZZZ", "REG", "EC35", 3, "20", "REGA1"), R"(heli="true")") +
            stand("A5", 5, opt("G-EZY1", "EZY", "A320", 3, "20", "EZY1", true)) +
            stand("A6", 6, opt("D-AAA1", "DLH", "A320", 3, "20", "DLH200")) +
            stand("A7", 7, opt("HB-JBB", "SWR", "A320", 2, "20", "SWR7")) + stand("A8", 8, ""),
        param("parking_percentage", "50"));
    parking_percentage.value = 10;
    ASSERT_EQ(lf_readParkedFile(), "");
    EXPECT_EQ(g_stands.size(), 8u);
    EXPECT_TRUE(g_parkAirportLoaded.load());
    EXPECT_TRUE(g_mainWindowState.parkFileOk.load());
    EXPECT_EQ(g_parkBoard.airportName.get(), "Zurich");
    EXPECT_TRUE(g_softLearningAllowed);
    lf_showParkingParams();

    // Real options first, widening into the past; the soft pass fills the
    // fourth; best fits at the end, where the placing takes them.
    ASSERT_EQ(planStands(), (std::vector<std::string>{"A2", "A1", "A3", "A5"}));
    const ParkPos& baw = g_parkPositions[0];
    EXPECT_EQ(baw.fitOffset, 2u);
    EXPECT_EQ(baw.callsign, "BAW12_");
    EXPECT_EQ(baw.stays, 1);
    const ParkPos& dlh = g_parkPositions[1];
    EXPECT_EQ(dlh.fitOffset, 0u);
    EXPECT_EQ(dlh.secondCallsign, "DLH101");
    EXPECT_EQ(dlh.stays, 1);  // seen at 10:30 too
    EXPECT_EQ(g_parkPositions[2].registration, "HB-JAA");
    EXPECT_EQ(g_parkPositions[3].airline, "EZY");
    EXPECT_EQ(g_realFitReached, 47);
    EXPECT_EQ(g_softFitReached, 0);
    EXPECT_TRUE(g_mainWindowState.softPositionsUsed.load());
    EXPECT_EQ(g_mainWindowState.maxParkCount.load(), 4);
    EXPECT_EQ(g_mainWindowState.maxParkPercent.load(), 50);
    // The second D-AAA1 is skipped, not withdrawn from the learned save.
    const StandOption& twin = standNamed("A6").options.front();
    EXPECT_TRUE(twin.skip);
    EXPECT_EQ(twin.seq, 1u);
    EXPECT_EQ(busy, std::vector<bool>{true});
    EXPECT_TRUE(log.contains("3 real positions found, Max fit=24 hours, day 3, hh:20 or 10.5 hrs, fit: 24 hour"));
    EXPECT_TRUE(log.contains("1 soft position found, Max fit=24 hours, day 3, hh:20 or 10.5 hrs, fit: 0.5 hour"));
    EXPECT_TRUE(log.contains("4 positions (50% vs wanted 50%, with Max fit=24 hours)"));

    // One placing per creation hand-over, every 50 polls.
    polls(1);
    ASSERT_EQ(g_staticAc.size(), 1u);
    EXPECT_EQ(g_staticAc[0].status, AcStatus::adding2sim);
    polls(50);
    ASSERT_EQ(port.creates.size(), 1u);
    EXPECT_EQ(port.creates[0].callsign, "EZY1*");
    adopt(port.creates[0].actNumber, 101);
    polls(199);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::adding2sim);
    polls(1);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::active);
    EXPECT_EQ(port.count(101, EVENT_ENGINE_AUTO_SHUTDOWN), 1u);
    EXPECT_EQ(port.count(101, EVENT_CABIN_LIGHTS_SET), 1u);
    EXPECT_EQ(port.count(101, EVENT_THROTTLE_SET), 1u);

    ASSERT_EQ(port.creates.size(), 4u);
    EXPECT_EQ(port.creatTicks, (std::vector<std::uint32_t>{50, 100, 150, 200}));
    EXPECT_EQ(port.creates[1].callsign, "SWR2*");
    EXPECT_EQ(port.creates[2].callsign, "DLH100*");
    EXPECT_EQ(port.creates[3].callsign, "BAW12*");
    for (const AddRequest& r : port.creates) {
        EXPECT_EQ(r.initPos.OnGround, 1u);
        EXPECT_DOUBLE_EQ(r.initPos.Heading, 90.0);
        EXPECT_DOUBLE_EQ(r.initPos.Altitude, 1416.0);
        EXPECT_EQ(r.title, "Static " + r.callsign.substr(0, 3) + " A320");
    }
    EXPECT_TRUE(g_parkPositions.empty());
    adoptCreated(102);
    polls(202);
    for (const StaticAc& st : g_staticAc) EXPECT_EQ(st.status, AcStatus::active) << st.callsign;
    // Placed at the slot they were seen: BAW two half-hours ago.
    EXPECT_EQ(staticNamed("BAW12*")->parkedSince, weekSlot(3, 18));
    EXPECT_EQ(staticNamed("DLH100*")->parkedSince, weekSlot(3, 20));
    EXPECT_EQ(gf_avgStaticParkTime(true), 4u);
    EXPECT_FLOAT_EQ(g_mainWindowState.staticAvgFit.load(), 0.75f);  // (0 + 0 + 0 + 2) / 8 + 0.5

    // 20 minutes later, 10:30: AFR was seen at A2 since BAW's placing and
    // replaces it; DLH100 leaves as DLH101; SWR and EZY still fit.
    setTime(3, 21, 0);
    const std::uint32_t bawObject = staticNamed("BAW12*")->objectId;
    const std::uint32_t dlhObject = staticNamed("DLH100*")->objectId;
    port.creates.clear();
    gf_parkingAdjustments();
    EXPECT_TRUE(log.contains("Parking adjustments: 2 to be removed, 2 to be added"));
    EXPECT_EQ(planStands(), (std::vector<std::string>{"A1", "A2"}));
    EXPECT_EQ(g_parkPositions[0].fitOffset, 1u);  // stood one half-hour
    EXPECT_EQ(staticNamed("BAW12*")->status, AcStatus::removingfromsim);
    EXPECT_EQ(staticNamed("DLH100*")->status, AcStatus::removingfromsim);
    EXPECT_EQ(staticNamed("SWR2*")->status, AcStatus::active);
    EXPECT_EQ(staticNamed("EZY1*")->status, AcStatus::active);
    polls(151);
    EXPECT_NE(std::find(port.removes.begin(), port.removes.end(), bawObject), port.removes.end());
    EXPECT_NE(std::find(port.removes.begin(), port.removes.end(), dlhObject), port.removes.end());
    ASSERT_EQ(port.creates.size(), 2u);
    EXPECT_EQ(port.creates[0].callsign, "AFR1*");
    EXPECT_EQ(port.creates[1].callsign, "DLH101*");
    // The departing aircraft keeps the time it was placed.
    EXPECT_EQ(staticNamed("DLH101*")->parkedSince, weekSlot(3, 20));
    EXPECT_EQ(staticNamed("DLH101*")->standId, standNamed("A1").id);
    simEvent(SimEventKind::objectRemoved, bawObject);
    simEvent(SimEventKind::objectRemoved, dlhObject);
    adoptCreated(110);
    polls(201);
    EXPECT_EQ(g_staticAc.size(), 4u);

    // A live aircraft parks at A8 and is learned; others taxi, fly and drive
    // to their stands.
    LiveAc& parked = parkedLive(40001, "SWR10", "A8", 5);
    parked.registration = "HB-JCA";
    ASSERT_TRUE(lt_addStandOption(parked.standId, parked, g_weekSlot, false));
    parkedLive(40002, "SWR11", "A7", 0, AcState::taxi);
    parkedLive(40003, "SWR12", "A7", 0, AcState::flying);
    parkedLive(40004, "SWR13", "A3", 0, AcState::parking);
    port.removes.clear();
    gf_removeGroundTraffic();
    for (const StaticAc& st : g_staticAc) EXPECT_EQ(st.status, AcStatus::removingfromsim) << st.callsign;
    EXPECT_EQ(live(40001)->status, AcStatus::removingfromsim);
    EXPECT_EQ(live(40002)->status, AcStatus::removingfromsim);
    EXPECT_EQ(live(40002)->standId, 0u);
    EXPECT_EQ(live(40003)->status, AcStatus::active);
    EXPECT_EQ(live(40004)->status, AcStatus::active);
    // Driving to a stand of the airport left: it taxis on, with no stand id
    // that the next airport's stands would answer to.
    EXPECT_EQ(live(40004)->standId, 0u);
    EXPECT_EQ(live(40004)->moveState, AcState::taxi);
    EXPECT_TRUE(gf_parkAirport().icao.empty());
    EXPECT_TRUE(g_stands.empty());
    EXPECT_FALSE(g_parkAirportLoaded.load());
    EXPECT_FALSE(g_mainWindowState.parkFileOk.load());
    EXPECT_EQ(g_learnedChanges.load(), 0);
    const std::vector<std::uint32_t> leaving = {101, 103, 110, 111, 40001 % 10000 + 5000, 40002 % 10000 + 5000};
    polls(100);
    for (const std::uint32_t id : leaving)
        EXPECT_NE(std::find(port.removes.begin(), port.removes.end(), id), port.removes.end()) << id;
    // The learned file holds the new option beside the learned settings.
    const std::string saved = test::readFile(learnedFile());
    EXPECT_NE(saved.find(R"(reg="HB-JCA")"), std::string::npos) << saved;
    EXPECT_NE(saved.find("parking_percentage"), std::string::npos);
}

TEST_F(StaticAirport, SoftLearningOffWhereEnoughIsKnown) {
    struct Case {
        int stands;
        int qfReal;
        bool learnSoftAfter;
    };
    for (const Case& c : {Case{19, 80, true}, Case{20, 45, false}, Case{20, 44, true}}) {
        SCOPED_TRACE(skh::format("{} stands, Qf_real {}", c.stands, c.qfReal));
        LEARN_SOFT.value = true;
        fs::remove(learnedFile());
        std::string stands;
        for (int i = 1; i <= c.stands; ++i) stands += stand(skh::format("S{}", i), i, "");
        writeAirport(param("Qf_real", std::to_string(c.qfReal)) + param("Qf_soft", "10"), stands, "");
        gf_setParkAirport(Airport{"LSZH", "ZRH", 47.45, 8.55, 1416.0});
        ASSERT_EQ(lf_readParkedFile(), "");
        EXPECT_EQ(LEARN_SOFT.value.load(), c.learnSoftAfter);
        EXPECT_EQ(g_softLearningAllowed, c.learnSoftAfter);
        EXPECT_EQ(g_learnSoftSwitchedOff, !c.learnSoftAfter);
        // Leaving saves the airport's learned file when soft learning was
        // switched off there, even without learned updates.
        lf_leaveParkAirport();
        EXPECT_EQ(fs::exists(learnedFile()), !c.learnSoftAfter);
        EXPECT_TRUE(g_stands.empty());
    }
}

TEST_F(StaticAirport, FakeParkedAircraftNeverReachAHandMadeFile) {
    writeAirport("", stand("A1", 1, "") + stand("A2", 2, ""), "");
    fs::create_directories(learnedFile().parent_path());
    const std::string handmade = "<?xml version=\"1.0\"?>" + kMeta + "<parameters>" + param("airport_name", "Zurich") +
                                 param("handmade", "true") + "</parameters><parkpositions>" +
                                 stand("A1", 1, opt("HB-JUS", "SWR", "A320", 1, "20", "SWR1")) + stand("A2", 2, "") +
                                 "</parkpositions>";
    // Three visits on three days, each learning one aircraft at A2.
    const auto visitThreeTimes = [&](bool fake) {
        test::writeFile(learnedFile(), handmade);
        PARK_FAKE.value = fake;
        for (int day = 1; day <= 3; ++day) {
            setTime(day, 10 + day);
            gf_setParkAirport(Airport{"LSZH", "ZRH", 47.45, 8.55, 1416.0});
            ASSERT_EQ(lf_readParkedFile(), "");
            ASSERT_TRUE(g_apfHandmade);
            const std::size_t fakes = fake ? 1 : 0;  // one a stand
            ASSERT_EQ(standNamed("A2").options.size(), day - 1 + fakes);
            FlightIdent seen;
            seen.actNumber = 40000 + static_cast<std::uint32_t>(day);
            seen.registration = skh::format("HB-JL{}", day);
            seen.airline = "SWR";
            seen.type = "A320";
            ASSERT_TRUE(lt_addStandOption(standNamed("A2").id, seen, g_weekSlot, false));
            lf_leaveParkAirport();
        }
    };
    const auto kept = [](const pugi::xml_document& doc) {
        std::vector<std::string> texts;
        for (const auto& n : doc.child("parameters").children("parameter")) {
            if (std::string_view(n.attribute("name").value()).starts_with("Qf_"))
                texts.push_back(std::string(n.attribute("name").value()) + "=" + n.attribute("value").value());
        }
        for (const auto& pos : doc.child("parkpositions").children("parkpos")) {
            for (const auto& o : pos.children("opt")) {
                texts.push_back(std::string(pos.attribute("id").value()) + " " + o.attribute("reg").value() + " day " +
                                o.attribute("day").value() + " " + o.attribute("hh").value());
            }
        }
        return texts;
    };

    visitThreeTimes(false);
    pugi::xml_document withoutFakes;
    ASSERT_TRUE(withoutFakes.load_file(learnedFile().c_str()));
    visitThreeTimes(true);
    pugi::xml_document withFakes;
    ASSERT_TRUE(withFakes.load_file(learnedFile().c_str()));
    EXPECT_EQ(test::readFile(learnedFile()).find("REGFAKE"), std::string::npos);
    // The user's own option and the three learned ones, rated alike.
    EXPECT_EQ(kept(withFakes), kept(withoutFakes));
    EXPECT_EQ(kept(withFakes),
              (std::vector<std::string>{"Qf_real=64", "Qf_soft=0", "A1 HB-JUS day 1 20", "A2 HB-JL1 day 1 11",
                                        "A2 HB-JL2 day 2 12", "A2 HB-JL3 day 3 13"}));
}

TEST_F(StaticAirport, TheAirportsEntryMovesToTheFrontWithTheStandTheUserIsAt) {
    writeAirport("", stand("A1", 1, "") + stand("B2", 2, ""), "");
    g_parkAirports = {{"EGLL", "", 51.47, -0.45, 0.0}, {"LSZH", "A1", 47.45, 8.55, 0.0}};
    // The user stands at B2: the airport's one entry comes first with it.
    userOnGroundKnown = true;
    port.onGround = true;
    UserAcState user;
    user.latitude = 47.452;
    user.longitude = 8.55;
    gf_setUserAcCopy(user);
    ASSERT_EQ(lf_readParkedFile(), "");
    ASSERT_EQ(g_parkAirports.size(), 2u);
    EXPECT_EQ(g_parkAirports.front().code, "LSZH");
    EXPECT_EQ(g_parkAirports.front().reservedStand, "B2");
    EXPECT_EQ(g_reservedStand, "B2");
    EXPECT_TRUE(g_mainWindowState.reservedStandOk.load());
    EXPECT_EQ(test::readFile(g_parkAirportsFile), "LSZH,B2\n");
    lf_showParkingParams();
    EXPECT_TRUE(standNamed("B2").reserved);
    // Airborne: the entry keeps its stand.
    g_parkAirports = {{"EGLL", "", 51.47, -0.45, 0.0}, {"LSZH", "A1", 47.45, 8.55, 0.0}};
    port.onGround = false;
    ASSERT_EQ(lf_readParkedFile(), "");
    ASSERT_EQ(g_parkAirports.size(), 2u);
    EXPECT_EQ(g_parkAirports.front().reservedStand, "A1");
    EXPECT_EQ(g_reservedStand, "A1");
    userOnGroundKnown = false;
    g_parkAirports.clear();
    g_reservedStand.clear();
}

TEST_F(StaticAirport, FilesThatGiveNoStands) {
    gf_setParkAirport(Airport{"LSZX", "", 47.0, 8.0, 1000.0});
    EXPECT_EQ(lf_readParkedFile().rfind("lf_readParkedFile LSZX", 0), 0u);
    gf_setParkAirport(Airport{"LSZH", "ZRH", 47.45, 8.55, 1416.0});
    writeAirport("", "", "");
    EXPECT_EQ(lf_readParkedFile(), "no stands found");
    test::writeFile(g_myThirdpartyFolder / "LSZH.xml", "<meta><parameters>");
    EXPECT_NE(lf_readParkedFile(), "");
    EXPECT_TRUE(g_stands.empty());
}

}  // namespace
}  // namespace skh
