// What the simulator sends, handed to the dispatch callback as it would come
// out of SimConnect_CallDispatch: the check of the simulator, exceptions,
// events, the user aircraft's data, adoption of created objects, and input
// that is malformed or out of place.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

#include "aircraft/dbase.hpp"
#include "foundation/errors.hpp"
#include "platform/window.hpp"
#include "simclient/sim_handlers.hpp"
#include "simclient/sim_ids.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"
#include "simclient_fixture.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

void dispatch(const Bytes& m) { lf_dispatch(m.data(), static_cast<std::uint32_t>(m.size()), nullptr); }

std::string userErrorOf(const Bytes& m) {
    try {
        dispatch(m);
    } catch (const UserErrorException& e) {
        return e.what();
    }
    return {};
}

class SimHandlers : public test::UnattachedRun {
protected:
    void TearDown() override {
        gf_clearDbase();
        UnattachedRun::TearDown();
    }
    // The user aircraft's first report: its position becomes known, its object id 1.
    void userAt(double lat, double lon) {
        test::UserData u;
        u.lat = lat;
        u.lon = lon;
        dispatch(test::userStateMessage(u));
    }
    void announce(std::uint32_t objectId) {
        dispatch(test::scObjectAddRemoveMessage(EVENT_OBJECT_ADDED, objectId, ScSimObjectType::Aircraft));
    }
};

TEST_F(SimHandlers, TheOpenReplyNamesTheSimulatorAndChecksItsVersion) {
    struct Case {
        const char* name;  // as sent, Windows-1252
        std::array<std::uint32_t, 4> version;
        const char* installPath;
        std::uint32_t major;
        const char* shown;  // the simulator text, empty when not shown
        const char* error;  // the user error, empty when accepted
    };
    const Case cases[] = {
        {"Lockheed Martin\xAE Prepar3D\xAE v5", {5, 3, 17, 1}, "D:\\P3D V5", 0,
         "Lockheed Martin Prepar3D v5 (5.3.17.1)", ""},
        {"Lockheed Martin\xAE Prepar3D\xAE v5", {5, 3, 17, 1}, "D:\\Sim", 5, "Lockheed Martin Prepar3D v5 (5.3.17.1)",
         ""},
        {"Lockheed Martin Prepar3D v6", {6, 0, 21, 0}, "", 6, "Lockheed Martin Prepar3D v6 (6.0.21.0)", ""},
        {"Lockheed Martin Prepar3D v6", {6, 0, 21, 0}, "D:\\Prepar3D v5", 5, "Lockheed Martin Prepar3D v6 (6.0.21.0)",
         "78: wrong P3D version 'Lockheed Martin Prepar3D v6 (6.0.21.0)' connects ... ?)"},
        {"Lockheed Martin Prepar3D V5", {5, 0, 0, 0}, "D:\\Prepar3D v5", 5, "Lockheed Martin Prepar3D V5 (5.0.0.0)",
         "78: wrong P3D version 'Lockheed Martin Prepar3D V5 (5.0.0.0)' connects ... ?)"},
        {"KittyHawk", {1, 0, 0, 0}, "D:\\Prepar3D v5", 5, "", "78: KittyHawk, (MSFS) not being P3D connects ... ?"},
        {"Sun\x99Rise", {1, 0, 0, 0}, "D:\\Prepar3D v5", 5, "", "78: SunRise, (MSFS) not being P3D connects ... ?"},
    };
    for (const Case& c : cases) {
        test::resetRun();
        SIM_INSTALL_PATH.value.set(c.installPath);
        simMajorVersion = c.major;
        platform::enableWindow(platform::createControl(platform::ControlKind::Edit, ALL_INSTALL_PATH.controlId, u"",
                                                       0, 0, 10, 10),
                               false);
        const std::string error = userErrorOf(test::scOpenMessage(c.name, c.version, {5, 0, 0, 0}));
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_TRUE(g_mainWindowState.simConnectConnected) << c.name;
        EXPECT_EQ(g_mainWindowState.simulatorName.get(), c.shown) << c.name;
        platform::ControlState control;
        ASSERT_TRUE(platform::controlState(platform::getDlgItem(ALL_INSTALL_PATH.controlId), control));
        // The install path can be corrected when the version is wrong.
        EXPECT_EQ(control.enabled, std::string(c.error).find("wrong P3D") != std::string::npos) << c.name;
    }
    platform::destroyAllControls();
    EXPECT_TRUE(log.contains("Lockheed Martin Prepar3D v5 (5.3.17.1) connected"));
}

TEST_F(SimHandlers, AnEmptySimulatorNameIsOnlyLogged) {
    EXPECT_EQ(userErrorOf(test::scOpenMessage("", {5, 0, 0, 0}, {5, 0, 0, 0})), "");
    EXPECT_FALSE(g_mainWindowState.simConnectConnected);
    EXPECT_TRUE(log.contains("! Simulator name empty?"));
}

TEST_F(SimHandlers, ExceptionsAreReportedByTheirNumber) {
    sentPackets = {{40, 12345, "SWR123", 0}, {41, 0, "DLH4", 0}};
    dispatch(test::scExceptionMessage(22, 99, 0));  // a send id that is not recorded
    EXPECT_EQ(sentPackets.size(), 2u);
    EXPECT_TRUE(gf_takeSimEvents().empty());
    dispatch(test::scExceptionMessage(22, 40, 0));
    ASSERT_EQ(sentPackets.size(), 1u);
    EXPECT_EQ(sentPackets[0].callsign, "DLH4");
    auto events = gf_takeSimEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SimEventKind::createFailed);
    EXPECT_EQ(events[0].actNumber, 12345u);
    EXPECT_EQ(events[0].objectId, 0u);
    dispatch(test::scExceptionMessage(22, 41, 0));  // act number 0: recorded, never reported
    EXPECT_TRUE(sentPackets.empty());
    EXPECT_TRUE(gf_takeSimEvents().empty());

    EXPECT_EQ(userErrorOf(test::scExceptionMessage(5, 0, 7)), "95: SimConnect Version Mismatch, dwIndex: 7");
    dispatch(test::scExceptionMessage(11, 0, 0));
    EXPECT_EQ(gf_statusText(), "SimConnect: too many objects (max 1000)");
    dispatch(test::scExceptionMessage(23, 0, 0));
    dispatch(test::scExceptionMessage(42, 0, 0));
    EXPECT_TRUE(log.contains("===> SimConnect exception: load flight plan failed"));
    EXPECT_TRUE(log.contains("===> SIMCONNECT_EXCEPTION #42"));

    // An unrecognised id is worth a warning only once the user aircraft is known.
    dispatch(test::scExceptionMessage(3, 0, 0));
    EXPECT_FALSE(log.contains("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
    userAt(47.0, 8.0);
    dispatch(test::scExceptionMessage(3, 0, 0));
    EXPECT_TRUE(log.contains("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
}

TEST_F(SimHandlers, TheSimEventRunsTheSimulatorAndItsLamp) {
    dispatch(test::scEventMessage(kScUnused, EVENT_SIM, 1));
    EXPECT_TRUE(simRunning);
    EXPECT_TRUE(g_mainWindowState.simulatorRunning);
    dispatch(test::scEventMessage(kScUnused, EVENT_SIM, 0));
    EXPECT_FALSE(simRunning);
    EXPECT_FALSE(g_mainWindowState.simulatorRunning);
    dispatch(test::scEventMessage(kScUnused, 299, 1));  // not ours
    EXPECT_FALSE(g_stopRequested);
}

TEST_F(SimHandlers, ANewFlightStopsTheRunAndAsksForTheParkStand) {
    const Bytes triggers[] = {
        test::scEventMessage(kScUnused, EVENT_POSITION_CHANGED, 0),
        test::scEventMessage(kScUnused, EVENT_FLIGHT_LOADED, 0),
        test::scFilenameMessage(EVENT_FLIGHT_LOADED, "C:\\Flights\\KSEA.fxml", 0),
    };
    for (const Bytes& m : triggers) {
        test::resetRun();
        dispatch(m);
        EXPECT_TRUE(g_stopRequested);
        EXPECT_EQ(g_appState.load(), AppState::NewFlight);
        EXPECT_EQ(g_restartDelay.load(), 30);
    }
    EXPECT_TRUE(g_parkStandUpdateWanted);  // the file event
    // The first reason wins.
    test::resetRun();
    gf_requestStop(AppState::UserClosedSim, 0);
    dispatch(triggers[0]);
    EXPECT_EQ(g_appState.load(), AppState::UserClosedSim);
}

TEST_F(SimHandlers, EveryFrameDrainsAndEveryThirtiethStoresTheFrameRate) {
    for (int frame = 1; frame <= 60; ++frame) {
        gf_queueEvent({1001, EVENT_STROBES_SET, 1});
        dispatch(test::scFrameMessage(EVENT_FRAME, static_cast<float>(frame), 1.0f));
        EXPECT_EQ(test::takeSent(handle).size(), 1u) << frame;
        if (frame == 29) {
            EXPECT_EQ(simFrameRate.load(), 0.0f);
        }
        if (frame == 30 || frame == 59) {
            EXPECT_EQ(simFrameRate.load(), 30.0f);
        }
    }
    EXPECT_EQ(simFrameRate.load(), 60.0f);
}

TEST_F(SimHandlers, TheGroundStateCountsOnceTheUserPositionIsKnown) {
    const auto onGround = [](std::int64_t v) {
        test::WireWriter w;
        w.i64(v);
        return test::scObjectDataMessage(false, 108, 1, 409, 0, 0, 0, 1, w.bytes());
    };
    dispatch(onGround(1));
    EXPECT_TRUE(g_userDataReady.exchange(false));
    EXPECT_FALSE(userOnGroundKnown);
    userAt(47.0, 8.0);
    dispatch(onGround(0x100000001));  // the low 32 bits count
    EXPECT_TRUE(userOnGroundKnown);
    EXPECT_TRUE(userOnGround);
    dispatch(onGround(0x100000000));
    EXPECT_FALSE(userOnGround);
    EXPECT_TRUE(g_userDataReady);
}

TEST_F(SimHandlers, UserDataIsStoredAndATeleportStopsTheRun) {
    test::UserData u;
    u.lat = 47.4647;
    u.lon = 8.5492;
    u.altitude = -12.0;
    u.groundVelocity = 3.5;
    dispatch(test::userStateMessage(u, 7));
    const UserAcState s = gf_userAcState();
    EXPECT_EQ(s.latitude, 47.4647);
    EXPECT_EQ(s.altitude, 0.0);  // never below the sea
    EXPECT_EQ(s.groundVelocity, 3.5);
    EXPECT_EQ(userObjectId.load(), 7u);
    EXPECT_TRUE(g_userStandCheckWanted);
    EXPECT_FALSE(g_stopRequested);  // the first position after a reset is no teleport

    u.lat += 9.9 / 60.0;  // 9.9 nm north
    dispatch(test::userStateMessage(u, 7));
    EXPECT_FALSE(g_stopRequested);
    u.lat += 10.5 / 60.0;
    dispatch(test::userStateMessage(u, 7));
    EXPECT_TRUE(g_stopRequested);
    EXPECT_EQ(g_appState.load(), AppState::NewFlight);
    EXPECT_EQ(g_restartDelay.load(), 30);
}

TEST_F(SimHandlers, TheSimulatorTimeIsTakenWhenRealTrafficFollowsIt) {
    test::UserData u;
    u.zuluTime = 3600;
    u.dayOfYear = 60;
    u.year = 2000;
    dispatch(test::userStateMessage(u));
    EXPECT_EQ(simEpochSeconds.load(), 0);
    g_rtProfessional = true;
    dispatch(test::userStateMessage(u));
    EXPECT_EQ(simEpochSeconds.load(), 951786000);  // 29 February 2000, 01:00 UTC

    struct Case {
        std::int64_t time, day, year, expected;
    };
    const Case cases[] = {
        {0, 1, 1970, 0},
        {0, 32, 1970, 2678400},
        {0, 1, 2024, 1704067200},
        {86399, 366, 2024, 1735689599},
        {0, 1, 1969, -31536000},
        {0, 1, 65536 + 1970, 0},  // the year is taken as a 16-bit number
    };
    for (const Case& c : cases)
        EXPECT_EQ(gf_simEpochSeconds(c.time, c.day, c.year), c.expected) << c.year << " " << c.day;
}

TEST_F(SimHandlers, ASimulatorTimeOutOfRangeLeavesTheLastOneAsItWas) {
    g_rtProfessional = true;
    test::UserData u;
    u.zuluTime = 3600;
    u.dayOfYear = 60;
    u.year = 2000;
    dispatch(test::userStateMessage(u));
    ASSERT_EQ(simEpochSeconds.load(), 951786000);

    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::pair<std::int64_t, std::int64_t> bad[] = {{kMax, 1}, {kMin, 1}, {-1, 1}, {86401, 1},
                                                         {0, kMax}, {0, kMin}, {0, 0},  {0, 367}};
    for (const auto& [time, day] : bad) {
        u.zuluTime = time;
        u.dayOfYear = day;
        dispatch(test::userStateMessage(u));
        EXPECT_EQ(simEpochSeconds.load(), 951786000) << time << " " << day;
        EXPECT_FALSE(gf_simEpochSeconds(time, day, 2000).has_value()) << time << " " << day;
    }
    // The rest of the report is still taken.
    EXPECT_EQ(gf_userAcState().zuluDayOfYear, 367);
    g_rtProfessional = false;
}

TEST_F(SimHandlers, TheUserTitleIsShownCutTo48Characters) {
    const auto title = [](const std::string& text) {
        test::WireWriter w;
        w.stringV(text);
        return test::scObjectDataMessage(false, 106, 1, 407, 0, 0, 0, 1, w.bytes());
    };
    const std::string sixty = "Boeing 787-10 Dreamliner Singapore Airlines 9V-SCA (1234567)";
    ASSERT_EQ(sixty.size(), 60u);
    dispatch(title(sixty));
    EXPECT_EQ(userTitle.get(), sixty.substr(0, 48));
    EXPECT_EQ(g_mainWindowState.userAircraftTitle.get(), sixty.substr(0, 48));
    EXPECT_TRUE(log.contains("          SimConnect: User aircraft title: " + sixty.substr(0, 48) + "\n"));
    // Characters, not bytes: "\xE9" is é.
    dispatch(title(std::string(47, 'x').append("\xE9\xE9")));
    EXPECT_EQ(userTitle.get(), std::string(47, 'x').append("\xC3\xA9"));
    dispatch(title(""));
    EXPECT_TRUE(log.contains("! Title of your aircraft is empty?"));
}

TEST_F(SimHandlers, TheUserModelGivesTheWingspanAndClass) {
    g_wingspans = {{"E190", 0.0155}, {"A320", 0.0193}, {"B738", 0.0193}, {"A388", 0.0430}};
    g_maxWingspan = 0.0430;
    g_largeTypes = {"A320", "B738"};
    const auto model = [](const std::string& text) {
        test::WireWriter w;
        w.fixed(text, 32);
        return test::scObjectDataMessage(false, 107, 1, 408, 0, 0, 0, 1, w.bytes());
    };
    struct Case {
        const char* title;
        const char* model;
        double wingspan;
        bool lamp;
        std::int32_t category;
        const char* report;
    };
    const Case cases[] = {
        {"", "B738", 0.0193, true, CatLarge,
         "SimConnect: User aircraft model: B738, half wing span: 35.7 meter, category: Large"},
        {"", "A388", 0.0430, true, CatLight,
         "SimConnect: User aircraft model: A388, half wing span: 79.6 meter, category: Light"},
        {"", "camerapod", 0.0155, true, CatLight, "SimConnect: User aircraft model: camerapod\n"},
        {"Aerosoft A320 Lufthansa", "Airbus A320-214", 0.0193, true, CatLarge,
         "SimConnect: User aircraft model deduced from title: A320, half wing span: 35.7 meter, category: Large"},
        {"My own glider", "Glider 2000", 0.0430, false, CatLight,
         "SimConnect: User aircraft model: Glider 2000, category: Light"},
    };
    for (const Case& c : cases) {
        test::resetRun();
        userTitle.set(c.title);
        dispatch(model(c.model));
        EXPECT_DOUBLE_EQ(userWingspan.load(), c.wingspan) << c.model;
        EXPECT_TRUE(userWingspanKnown) << c.model;
        EXPECT_EQ(g_mainWindowState.userWingspanKnown.load(), c.lamp) << c.model;
        EXPECT_EQ(userCategory.load(), c.category) << c.model;
        EXPECT_TRUE(log.contains(c.report)) << c.model;
        EXPECT_EQ(gf_statusText() ==
                      "User aircraft wing span unknown, max is taken instead, please report in my Forum!",
                  !c.lamp)
            << c.model;
    }
    EXPECT_EQ(userErrorOf(model("")),
              "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
}

class SimAdoption : public SimHandlers {
protected:
    void SetUp() override {
        SimHandlers::SetUp();
        userAt(47.0, 8.0);  // user object 1
        gf_takeSimEvents();
        test::takeSent(handle);
    }
};

TEST_F(SimAdoption, ANewObjectIsAdoptedByItsAtcIdReleasedAndFrozen) {
    sentPackets = {{10, 0x4B1805, "SWR123", 0}, {11, 77, "SWR123*", 0}};
    announce(1005);
    announce(1006);
    // While creations wait, each new object is asked for once: it may lie
    // outside the range around the user.
    const auto asked = test::takeSent(handle);
    ASSERT_EQ(asked.size(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(asked[i].id, ScRequestId::RequestDataOnSimObject);
        EXPECT_EQ(asked[i].values,
                  (std::vector<std::uint32_t>{REQUEST_NEW_OBJECT, DEFINITION_WITHIN_RANGE, 1005 + i,
                                              static_cast<std::uint32_t>(ScPeriod::Once), 0, 0, 0, 0}));
    }
    dispatch(test::withinRangeMessage(1005, 1200.0, 1400.0, 0, "SWR123"));      // in range
    dispatch(test::withinRangeMessage(1006, 0.0, 1400.0, 1, "SWR123*", true));  // only by its own answer

    const auto sent = test::takeSent(handle);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].id, ScRequestId::AIReleaseControl);
    EXPECT_EQ(sent[0].values, (std::vector<std::uint32_t>{1005, REQUEST_RELEASE_CONTROL}));
    EXPECT_EQ(sent[1].values, (std::vector<std::uint32_t>{1006, REQUEST_RELEASE_CONTROL}));
    {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(clientEventQueue.size(), 6u);
        const std::uint32_t freezes[] = {EVENT_FREEZE_LATITUDE_LONGITUDE_SET, EVENT_FREEZE_ALTITUDE_SET,
                                         EVENT_FREEZE_ATTITUDE_SET};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(clientEventQueue[i].objectId, 1005u);
            EXPECT_EQ(clientEventQueue[i].eventId, freezes[i]);
            EXPECT_EQ(clientEventQueue[i].value, 1u);
        }
    }
    const auto events = gf_takeSimEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, SimEventKind::objectCreated);
    EXPECT_EQ(events[0].objectId, 1005u);
    EXPECT_EQ(events[0].actNumber, 0x4B1805u);
    EXPECT_EQ(events[0].b, 1200.0);
    EXPECT_EQ(events[1].kind, SimEventKind::staticObjectCreated);
    EXPECT_EQ(events[1].actNumber, 77u);
    EXPECT_EQ(events[1].b, 0.0);
    EXPECT_TRUE(sentPackets.empty());
    EXPECT_TRUE(newObjectIds.empty());

    // Known now: the next answers are ground reports, nothing is adopted twice.
    dispatch(test::withinRangeMessage(1005, 10.0, 1400.0, 1, "SWR123", true));
    EXPECT_TRUE(gf_takeSimEvents().empty());
    dispatch(test::withinRangeMessage(1005, 10.0, 1400.0, 1, "SWR123"));
    EXPECT_TRUE(test::takeSent(handle).empty());
    ASSERT_EQ(gf_takeSimEvents().at(0).kind, SimEventKind::groundReport);
}

TEST_F(SimAdoption, AnObjectOfSomebodyElseIsOnlyLogged) {
    sentPackets = {{10, 20001, "SWR123", 0}};
    announce(1005);
    EXPECT_EQ(test::kindsOf(test::takeSent(handle)), std::vector<ScRequestId>{ScRequestId::RequestDataOnSimObject});
    dispatch(test::withinRangeMessage(1005, 0.0, 1400.0, 1, "EZY99", true));
    EXPECT_TRUE(test::takeSent(handle).empty());
    EXPECT_TRUE(gf_takeSimEvents().empty());
    EXPECT_EQ(sentPackets.size(), 1u);
    EXPECT_TRUE(log.contains(
        "just spawned, but not by Skyhaven_P3D, oid: 1005, callsign 'EZY99', altaboveGnd:0 ft, onground:1, "
        "gnd_alt:1400 ft"));
    // With no creation waiting, a new object is not asked for.
    sentPackets.clear();
    announce(1008);
    EXPECT_TRUE(test::takeSent(handle).empty());
}

TEST_F(SimAdoption, KnownAircraftLowDownGiveGroundReports) {
    struct Case {
        double aboveGround;
        const char* atcId;
        bool report;
    };
    const Case cases[] = {{100.0, "SWR123", true}, {2500.0, "SWR123", true}, {3000.0, "SWR123", false},
                          {0.0, "ABC*", false},    {0.0, "", false}};
    for (const Case& c : cases) {
        dispatch(test::withinRangeMessage(1010, c.aboveGround, 1416.0, 1, c.atcId));
        const auto events = gf_takeSimEvents();
        ASSERT_EQ(events.size(), c.report ? 1u : 0u) << c.aboveGround << c.atcId;
        if (!c.report) continue;
        EXPECT_EQ(events[0].kind, SimEventKind::groundReport);
        EXPECT_EQ(events[0].objectId, 1010u);
        EXPECT_EQ(events[0].actNumber, 1u);
        EXPECT_EQ(events[0].a, 1416.0);
        EXPECT_EQ(events[0].b, c.aboveGround);
    }
    // The user and older objects, and other requests, are never reported.
    dispatch(test::withinRangeMessage(1, 0.0, 1416.0, 1, "N737SK"));
    Bytes other = test::withinRangeMessage(1010, 0.0, 1416.0, 1, "SWR123");
    other[12] = std::byte{102};
    dispatch(other);
    EXPECT_TRUE(gf_takeSimEvents().empty());
}

TEST_F(SimAdoption, ARemovedObjectIsReportedAndForgotten) {
    announce(1005);
    announce(1005);  // once is enough
    announce(1);     // the user's own
    dispatch(test::scObjectAddRemoveMessage(EVENT_OBJECT_ADDED, 1007, ScSimObjectType::Boat));
    EXPECT_EQ(newObjectIds, (std::vector<std::uint32_t>{1005}));

    // Records of creations not yet answered stay, however old: the object
    // may still be announced.
    const std::int64_t now = gf_steadyMs();
    sentPackets = {{10, 20001, "OLD1", now - 3600 * 1000}, {11, 20002, "NEW1", now}};
    dispatch(test::scObjectAddRemoveMessage(EVENT_OBJECT_REMOVED, 1005, ScSimObjectType::Aircraft));
    EXPECT_TRUE(newObjectIds.empty());
    ASSERT_EQ(sentPackets.size(), 2u);
    const auto events = gf_takeSimEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SimEventKind::objectRemoved);
    EXPECT_EQ(events[0].objectId, 1005u);

    // Its id coming back for an aircraft of another program adopts nothing.
    dispatch(test::withinRangeMessage(1005, 0.0, 1416.0, 1, "NEW1"));
    EXPECT_TRUE(test::takeSent(handle).empty());
    EXPECT_EQ(gf_takeSimEvents().at(0).kind, SimEventKind::groundReport);
}

TEST_F(SimAdoption, TheStaticCentreOfGravityIsReported) {
    test::WireWriter w;
    w.f64(6.5).f64(-0.02);
    dispatch(test::scObjectDataMessage(false, 102, 1005, 405, 0, 0, 0, 2, w.bytes()));
    const auto events = gf_takeSimEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SimEventKind::staticCgReport);
    EXPECT_EQ(events[0].objectId, 1005u);
    EXPECT_EQ(events[0].a, 6.5);
    EXPECT_EQ(events[0].b, -0.02);
}

TEST_F(SimHandlers, MalformedAndUnknownMessagesAreSkipped) {
    userAt(47.0, 8.0);
    const UserAcState before = gf_userAcState();
    announce(1005);
    sentPackets = {{10, 20001, "SWR123", 0}};
    // Every kind cut 4 bytes short of its layout, and data blocks too short for their definition.
    for (const ScRecvId id : {ScRecvId::Exception, ScRecvId::Open, ScRecvId::Event, ScRecvId::EventObjectAddRemove,
                              ScRecvId::EventFilename, ScRecvId::EventFrame, ScRecvId::SimObjectData,
                              ScRecvId::SimObjectDataByType}) {
        const std::uint32_t minimum = gf_scMinimumSize(static_cast<std::uint32_t>(id));
        dispatch(test::scMessage(id, Bytes(minimum - 16)));
    }
    Bytes user = test::userStateMessage(test::UserData{});
    user.resize(user.size() - 8);
    user[0] = static_cast<std::byte>(user.size());
    dispatch(user);
    Bytes range = test::withinRangeMessage(1005, 0.0, 0.0, 1, "SWR123");
    range.resize(range.size() - 4);  // the ATC id field cut
    range[0] = static_cast<std::byte>(range.size());
    dispatch(range);
    test::UserData nan;
    nan.lat = std::numeric_limits<double>::quiet_NaN();
    dispatch(test::userStateMessage(nan));
    dispatch(test::scMessage(static_cast<ScRecvId>(77), Bytes(8)));
    dispatch(test::scMessage(static_cast<ScRecvId>(16), Bytes(8)));
    dispatch(test::scAssignedObjectIdMessage(104, 1005));

    EXPECT_EQ(gf_userAcState().latitude, before.latitude);
    EXPECT_EQ(newObjectIds, (std::vector<std::uint32_t>{1005}));  // still waiting for a whole answer
    EXPECT_EQ(sentPackets.size(), 1u);
    EXPECT_TRUE(gf_takeSimEvents().empty());
    EXPECT_TRUE(test::takeSent(handle).empty());
    EXPECT_FALSE(g_stopRequested);
    EXPECT_TRUE(log.contains("! Unknown Dispatch dwID 77"));
    EXPECT_FALSE(log.contains("! Unknown Dispatch dwID 16"));
    EXPECT_FALSE(log.contains("! Unknown Dispatch dwID 12"));
}

TEST_F(SimHandlers, TheQuitMessageStopsTheSimulatorAndEndsTheDispatch) {
    dispatch(test::scEventMessage(kScUnused, EVENT_SIM, 1));
    dispatch(test::scQuitMessage());
    EXPECT_FALSE(simRunning);
    EXPECT_TRUE(lf_quitReceived());
    lf_resetConnectionState();
    EXPECT_FALSE(lf_quitReceived());
}

// The main loop takes simEventMutex before simQueueMutex; adoption must never
// hold simQueueMutex while it waits for simEventMutex.
class SimHandlersThreaded : public SimHandlers {};

TEST_F(SimHandlersThreaded, AdoptionReleasesTheQueueMutexBeforeItReports) {
    userAt(47.0, 8.0);
    sentPackets = {{10, 20001, "SWR123", 0}};
    announce(1005);
    std::unique_lock events(simEventMutex);
    std::atomic<bool> done{false};
    std::thread simClient([&] {
        dispatch(test::withinRangeMessage(1005, 0.0, 1400.0, 1, "SWR123"));
        done = true;
    });
    // The release and the freeze events are queued; then simQueueMutex must be free.
    EXPECT_TRUE(test::waitUntil([] {
        std::unique_lock lock(simQueueMutex, std::try_to_lock);
        return lock.owns_lock() && clientEventQueue.size() == 3;
    }));
    EXPECT_FALSE(done);
    events.unlock();
    simClient.join();
    EXPECT_EQ(gf_takeSimEvents().size(), 1u);
}

}  // namespace
}  // namespace skh
