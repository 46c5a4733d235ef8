// The SimClient thread against the fake simulator over loopback TCP: the
// set-up, an AI aircraft's life from its queued creation to its removal, the
// user aircraft's data, a wrong simulator, and every way a run ends from the
// simulator's side.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <thread>

#include "airports/stand.hpp"
#include "platform/window.hpp"
#include "simclient/sim_client.hpp"
#include "simclient/sim_ids.hpp"
#include "simconnect/simconnect.hpp"
#include "support/fake_simulator.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"
#include "traffic/stand_lookup.hpp"
#include "traffic/user_stand.hpp"
#include "simclient_fixture.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
using test::FakeRequest;
using test::FakeSimOptions;
using test::FakeSimulator;
using test::waitUntil;

class SimClientThreaded : public ::testing::Test {
protected:
    void SetUp() override {
        test::resetRun();
        g_simOpenRetryMs = 20;
    }
    void TearDown() override {
        stopThread();
        if (sim) {
            for (const auto& error : sim->protocolErrors()) ADD_FAILURE() << error;
        }
        g_stands.clear();
        gf_clearNearestStandCache();
        g_simOpenRetryMs = 100;
        test::resetRun();
    }
    void startThread() {
        thread = std::jthread([this](std::stop_token stop) {
            gf_simClientThread(stop);
            finished = true;
        });
    }
    void start(FakeSimOptions options = {}) {
        sim = std::make_unique<FakeSimulator>(std::move(options));
        env.pointAtIpv4(*sim);
        startThread();
    }
    // Until the set-up is through, the simulator runs and the connection is
    // there for the main loop.
    void connect(FakeSimOptions options = {}) {
        start(std::move(options));
        ASSERT_TRUE(sim->waitForRequests(ScRequestId::SetNotificationGroupPriority, 1, 20s));
        ASSERT_TRUE(waitUntil([] { return simRunning.load() && handle() != nullptr; }));
    }
    void stopThread() {
        if (!thread.joinable()) return;
        thread.request_stop();
        thread.join();
    }
    static HANDLE handle() {
        const std::lock_guard lock(simQueueMutex);
        return simConnectHandle;
    }
    // Collects SimEvents until one of the kind has come.
    std::optional<SimEvent> waitForEvent(SimEventKind kind) {
        std::optional<SimEvent> found;
        waitUntil([&] {
            for (const SimEvent& e : gf_takeSimEvents()) {
                if (e.kind == kind && !found) found = e;
            }
            return found.has_value();
        });
        return found;
    }
    void expectSimulatorGone() {
        ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
        EXPECT_TRUE(g_stopRequested);
        EXPECT_EQ(g_appState.load(), AppState::SimWasClosed);
        EXPECT_EQ(g_restartDelay.load(), 0);
        EXPECT_FALSE(simRunning);
        EXPECT_FALSE(g_mainWindowState.simConnectConnected);
        EXPECT_EQ(handle(), nullptr);
        EXPECT_TRUE(g_parkStandUpdateWanted);
    }

    test::ScTestEnv env;
    test::ScopedLog log;
    std::unique_ptr<FakeSimulator> sim;
    std::jthread thread;
    std::atomic<bool> finished{false};
};

TEST_F(SimClientThreaded, TheSetUpDeclaresEverythingOnceInItsOrder) {
    connect();
    ASSERT_TRUE(sim->waitForRequests(ScRequestId::SetNotificationGroupPriority, 1, 20s));
    const auto requests = sim->requests();
    ASSERT_EQ(requests.size(), 74u);
    std::vector<std::pair<std::uint32_t, std::string>> subscriptions, mappings;
    std::vector<std::tuple<std::uint32_t, std::string, std::string, std::uint32_t>> datums;
    std::vector<std::uint32_t> group;
    std::size_t i = 0;
    EXPECT_EQ(requests[i++].id, ScRequestId::Open);
    for (; i < requests.size() && requests[i].id == ScRequestId::SubscribeToSystemEvent; ++i)
        subscriptions.emplace_back(requests[i].values[0], requests[i].texts[0]);
    for (; i < requests.size() && requests[i].id == ScRequestId::AddToDataDefinition; ++i) {
        const FakeRequest& r = requests[i];
        datums.emplace_back(r.values[0], r.texts[0], r.texts[1], r.values[1]);
        EXPECT_EQ(r.epsilon, 0.0f);
        EXPECT_EQ(r.values[2], 0xFFFFFFFFu);  // datum id
    }
    for (; i < requests.size() && requests[i].id == ScRequestId::MapClientEventToSimEvent; ++i)
        mappings.emplace_back(requests[i].values[0], requests[i].texts[0]);
    for (; i < requests.size() && requests[i].id == ScRequestId::AddClientEventToNotificationGroup; ++i) {
        EXPECT_EQ(requests[i].values[0], 301u);
        EXPECT_EQ(requests[i].values[2], 1u);  // maskable
        group.push_back(requests[i].values[1]);
    }
    ASSERT_EQ(i, 73u);
    EXPECT_EQ(requests[i].id, ScRequestId::SetNotificationGroupPriority);
    EXPECT_EQ(requests[i].values, (std::vector<std::uint32_t>{301, 1}));

    EXPECT_EQ(subscriptions, (std::vector<std::pair<std::uint32_t, std::string>>{
                                 {201, "Sim"}, {202, "ObjectAdded"}, {203, "ObjectRemoved"},
                                 {205, "PositionChanged"}, {206, "FlightLoaded"}, {204, "Frame"}}));
    const std::vector<std::tuple<std::uint32_t, std::string, std::string, std::uint32_t>> expectedDatums = {
        {407, "TITLE", "", 11},
        {408, "ATC MODEL", "", 6},
        {409, "SIM ON GROUND", "Bool", 2},
        {402, "Plane Latitude", "degree", 4},
        {402, "Plane Longitude", "degree", 4},
        {402, "Plane Pitch degrees", "radians", 4},
        {402, "Plane Bank degrees", "radians", 4},
        {402, "Plane Heading degrees true", "radians", 4},
        {402, "Plane Altitude", "feet", 4},
        {402, "Vertical Speed", "feet per second", 4},
        {402, "Airspeed True", "knots", 4},
        {403, "Plane Latitude", "degree", 4},
        {403, "Plane Longitude", "degree", 4},
        {403, "Plane Pitch degrees", "radians", 4},
        {403, "Plane Bank degrees", "radians", 4},
        {403, "Plane Heading degrees true", "radians", 4},
        {403, "Plane Altitude", "feet", 4},
        {403, "Plane Alt Above Ground", "feet", 4},
        {403, "Ground Velocity", "knots", 4},
        {403, "ZULU TIME", "Seconds", 2},
        {403, "ZULU DAY OF YEAR", "Number", 2},
        {403, "ZULU YEAR", "Number", 2},
        {403, "LIGHT STATES", "Mask", 2},
        {405, "Static CG to Ground", "feet", 4},
        {405, "Static Pitch", "radians", 4},
        {406, "Light On States", "Mask", 2},
        {404, "Plane Alt Above Ground", "feet", 4},
        {404, "Ground Altitude", "feet", 4},
        {404, "SIM ON GROUND", "Bool", 2},
        {404, "ATC ID", "", 6},
        {401, "SPOILERS HANDLE POSITION", "percent", 4},
        {401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 4},
        {401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", 4},
    };
    EXPECT_EQ(datums, expectedDatums);
    EXPECT_EQ(mappings, (std::vector<std::pair<std::uint32_t, std::string>>{
                            {220, "GEAR_SET"},
                            {221, "ENGINE_AUTO_START"},
                            {222, "ENGINE_AUTO_SHUTDOWN"},
                            {223, "THROTTLE_SET"},
                            {218, "FLAPS_SET"},
                            {219, "SPOILERS_SET"},
                            {208, "NAV_LIGHTS_SET"},
                            {207, "BEACON_LIGHTS_SET"},
                            {211, "LANDING_LIGHTS_SET"},
                            {209, "TAXI_LIGHTS_SET"},
                            {210, "STROBES_SET"},
                            {213, "LOGO_LIGHTS_SET"},
                            {212, "CABIN_LIGHTS_SET"},
                            {214, "ALL_LIGHTS_TOGGLE"},
                            {215, "FREEZE_LATITUDE_LONGITUDE_SET"},
                            {216, "FREEZE_ALTITUDE_SET"},
                            {217, "FREEZE_ATTITUDE_SET"}}));
    EXPECT_EQ(group, (std::vector<std::uint32_t>{208, 207, 211, 209, 210, 213, 212, 214, 218, 219, 220, 222, 223,
                                                 215, 216, 217}));

    EXPECT_TRUE(log.contains("Waiting for Prepar3Dv5 ..."));
    EXPECT_TRUE(g_mainWindowState.simConnectConnected);
    EXPECT_TRUE(g_mainWindowState.simulatorRunning);
    EXPECT_EQ(g_mainWindowState.simulatorName.get(), "Lockheed Martin Prepar3D v5 (5.3.12.28584)");
}

TEST_F(SimClientThreaded, AnAiAircraftIsCreatedAdoptedPositionedAndRemoved) {
    connect();
    static const std::string title = "Airbus A320 Swiss International";
    AddRequest request;
    request.initPos = {47.46, 8.55, 1416.0, 0.0, 0.0, 90.0, 1, 0};
    request.callsign = "SWR123";
    request.title = title;
    request.actNumber = 0x4B1805;
    gf_queueCreate(request);
    sim->sendFrame();
    ASSERT_TRUE(waitUntil([&] { return !sim->objectsWithAtcId("SWR123").empty(); }));
    const std::uint32_t oid = sim->objectsWithAtcId("SWR123")[0].id;
    EXPECT_EQ(std::get<std::string>(sim->object(oid)->values.at("TITLE")), title);

    // The main loop asks for the aircraft within range; the answer adopts it.
    {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(simConnectHandle, REQUEST_WITHIN_RANGE,
                                                        DEFINITION_WITHIN_RANGE,
                                                        static_cast<std::uint32_t>(RANGE.value.load()) * 1852,
                                                        ScSimObjectType::Aircraft),
                  kScOk);
    }
    const auto created = waitForEvent(SimEventKind::objectCreated);
    ASSERT_TRUE(created);
    EXPECT_EQ(created->objectId, oid);
    EXPECT_EQ(created->actNumber, 0x4B1805u);
    EXPECT_TRUE(waitUntil([&] { return sim->object(oid)->releases == 1; }));
    // The freeze events go out with the next frame.
    sim->sendFrame();
    ASSERT_TRUE(waitUntil([&] { return sim->object(oid)->events.size() == 3; }));
    const auto events = sim->object(oid)->events;
    EXPECT_EQ(events[0].event, "FREEZE_LATITUDE_LONGITUDE_SET");
    EXPECT_EQ(events[1].event, "FREEZE_ALTITUDE_SET");
    EXPECT_EQ(events[2].event, "FREEZE_ATTITUDE_SET");
    for (const auto& e : events) {
        EXPECT_EQ(e.data, 1u);
        EXPECT_EQ(e.group, 301u);
    }

    // The main loop's flight plans: a refused one is only logged.
    sim->failNext(ScRequestId::AISetAircraftFlightPlan, 23);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(simConnectHandle, oid, "orig_dest\\LSZH_EDDF", REQUEST_FLIGHT_PLAN),
                  kScOk);
    }
    ASSERT_TRUE(waitUntil([&] { return sim->object(oid)->flightPlan == "orig_dest\\LSZH_EDDF"; }));
    ASSERT_TRUE(waitUntil([&] { return log.contains("===> SimConnect exception: load flight plan failed"); }));

    // Every poll's positions reach the object with the next frame.
    for (int step = 1; step <= 3; ++step) {
        AiPositionBlock block{47.46 + 0.01 * step, 8.55, -0.05, 0.0, 1.5, 1416.0 + 100.0 * step, 10.0, 140.0};
        // A poll that finds the SimClient thread holding the queue lock drops
        // its positions (at low frame rates); the next poll sends them again.
        ASSERT_TRUE(waitUntil([&] {
            positionBuffers.back.push_back({block, oid});
            return gf_swapPositionBuffers();
        }));
        sim->sendFrame();
        ASSERT_TRUE(waitUntil([&] {
            const auto o = sim->object(oid);
            return std::get<double>(o->values.at("PLANE LATITUDE")) == block.latitude &&
                   std::get<double>(o->values.at("PLANE ALTITUDE")) == block.altitude;
        })) << step;
    }

    gf_queueRemove(oid);
    sim->sendFrame();
    const auto removed = waitForEvent(SimEventKind::objectRemoved);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->objectId, oid);
    EXPECT_FALSE(sim->object(oid));
    EXPECT_FALSE(g_stopRequested);
}

// What the traffic control will meet: live and static creations adopted as
// the simulator announces them, a refused title, the static centre of
// gravity, ground reports on flat terrain and a removal by the simulator.
TEST_F(SimClientThreaded, TheSimulatorSideOfTheTrafficGivesTheEventsTheTrafficControlExpects) {
    connect();
    static const std::string known = "Airbus A320 Swiss International";
    static const std::string unknown = "No Such Livery";
    sim->refuseTitle(unknown);
    auto create = [](std::uint32_t act, const std::string& callsign, const std::string& title, double altitude,
                     bool onGround) {
        AddRequest request;
        request.initPos = {47.46, 8.55, altitude, 0.0, 0.0, 90.0, onGround ? 1u : 0u, 0};
        request.callsign = callsign;
        request.title = title;
        request.actNumber = act;
        gf_queueCreate(request);
    };
    create(0x4B1805, "SWR123", known, 1416.0, true);  // live, at the gate
    create(42, "STATIC42", known, 1416.0, true);      // static
    create(0x4B1806, "SWR456", known, 5000.0, false);  // live, in the air
    create(0x4B1807, "BAD1", unknown, 1416.0, true);
    sim->sendFrame();
    ASSERT_TRUE(sim->waitForRequests(ScRequestId::AICreateNonATCAircraft, 4, 20s));
    ASSERT_TRUE(waitUntil([&] { return sim->aiObjectIds().size() == 3; }));
    auto requestWithinRange = [] {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(simConnectHandle, REQUEST_WITHIN_RANGE,
                                                        DEFINITION_WITHIN_RANGE, 40 * 1852, ScSimObjectType::Aircraft),
                  kScOk);
    };
    // Adopted as they are announced, without a request for the aircraft in range.
    std::vector<SimEvent> events;
    ASSERT_TRUE(waitUntil([&] {
        for (const SimEvent& e : gf_takeSimEvents()) events.push_back(e);
        return events.size() >= 4;
    }));
    std::map<std::uint32_t, SimEvent> byAct;
    for (const SimEvent& e : events) byAct[e.actNumber] = e;
    ASSERT_EQ(byAct.size(), 4u);
    EXPECT_EQ(byAct[0x4B1807].kind, SimEventKind::createFailed);
    EXPECT_EQ(byAct[0x4B1807].objectId, 0u);
    EXPECT_EQ(byAct[0x4B1805].kind, SimEventKind::objectCreated);
    EXPECT_EQ(byAct[0x4B1805].objectId, 1000u);
    EXPECT_EQ(byAct[0x4B1805].b, 0.0);  // on the ground
    EXPECT_EQ(byAct[42].kind, SimEventKind::staticObjectCreated);
    EXPECT_EQ(byAct[42].objectId, 1001u);
    EXPECT_EQ(byAct[0x4B1806].kind, SimEventKind::objectCreated);
    EXPECT_EQ(byAct[0x4B1806].b, 5000.0 - 1416.0 - 9.0);

    // The static aircraft's centre of gravity, asked once.
    {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_STATIC_CG, DEFINITION_STATIC_CG, 1001,
                                                    ScPeriod::Once, 0, 0, 0, 0),
                  kScOk);
    }
    const auto cg = waitForEvent(SimEventKind::staticCgReport);
    ASSERT_TRUE(cg);
    EXPECT_EQ(cg->objectId, 1001u);
    EXPECT_EQ(cg->a, 9.0);
    EXPECT_EQ(cg->b, 0.005);

    // Known aircraft now give ground reports: on the ground, and low in the air.
    AiPositionBlock low{47.47, 8.55, 0.0, 0.0, 0.0, 1416.0 + 9.0 + 1000.0, 0.0, 150.0};
    positionBuffers.back.push_back({low, 1002});
    ASSERT_TRUE(gf_swapPositionBuffers());
    sim->sendFrame();
    ASSERT_TRUE(waitUntil([&] { return sim->lastPositions()[1002].altitude == low.altitude; }));
    requestWithinRange();
    std::map<std::uint32_t, SimEvent> reports;
    ASSERT_TRUE(waitUntil([&] {
        for (const SimEvent& e : gf_takeSimEvents()) {
            if (e.kind == SimEventKind::groundReport) reports[e.objectId] = e;
        }
        return reports.size() == 3;
    }));
    EXPECT_EQ(reports[1000].actNumber, 1u);  // SIM ON GROUND
    EXPECT_EQ(reports[1000].a, 1416.0);
    EXPECT_EQ(reports[1002].actNumber, 0u);
    EXPECT_EQ(reports[1002].b, 1000.0);

    sim->removeObject(1000);
    const auto removed = waitForEvent(SimEventKind::objectRemoved);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->objectId, 1000u);
    EXPECT_TRUE(sim->lastPositions()[1000].removed);
    EXPECT_FALSE(g_stopRequested);
}

TEST_F(SimClientThreaded, TheUserAircraftReportsEverySecondAndATeleportStopsTheRun) {
    connect();
    {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(SimConnect_RequestDataOnSimObject(simConnectHandle, REQUEST_USER_ON_GROUND,
                                                    DEFINITION_USER_ON_GROUND, kScObjectIdUser, ScPeriod::Second, 0,
                                                    0, 0, 0),
                  kScOk);
    }
    gf_requestUserTitleModel();
    ASSERT_TRUE(waitUntil([] { return userTitle.get() == "Default User Aircraft" && userWingspanKnown.load(); }));
    EXPECT_EQ(g_mainWindowState.userAircraftTitle.get(), "Default User Aircraft");
    gf_requestUserPosition();
    ASSERT_TRUE(waitUntil([] { return gf_userAcState().latitude == 47.4647; }));
    EXPECT_EQ(gf_userAcState().zuluYear, 2024);
    // The handler takes the object id after it has published the position.
    EXPECT_TRUE(waitUntil([] { return userObjectId.load() == 1u; })) << userObjectId.load();

    // Once per simulated second.
    g_userDataReady = false;
    sim->tickSecond();
    ASSERT_TRUE(waitUntil([] { return g_userDataReady.load(); }));
    EXPECT_TRUE(userOnGroundKnown);
    EXPECT_TRUE(userOnGround);

    // The main loop names the stand the user stands at.
    g_stands = {{"B34", 47.4647, 8.5492, 0.0, 0.02, 1}};
    gf_userStandWork();
    EXPECT_EQ(g_mainWindowState.userStand.get(), "B34");

    sim->teleportUser(10.5);
    gf_requestUserPosition();
    ASSERT_TRUE(waitUntil([] { return g_stopRequested.load(); }));
    EXPECT_EQ(g_appState.load(), AppState::NewFlight);
    EXPECT_EQ(g_restartDelay.load(), 30);
    EXPECT_TRUE(log.contains("Teleport"));
    EXPECT_FALSE(finished);  // the thread goes on until the run stops it
}

TEST_F(SimClientThreaded, AWrongSimulatorIsReportedWithItsUserError) {
    struct Case {
        const char* name;
        const char* error;
    };
    const Case cases[] = {
        {"KittyHawk", "78: KittyHawk, (MSFS) not being P3D connects ... ?"},
        {"Lockheed Martin Prepar3D v6", "78: wrong P3D version 'Lockheed Martin Prepar3D v6 (5.3.12.28584)' connects ... ?)"},
    };
    for (const Case& c : cases) {
        test::resetRun();
        finished = false;
        platform::enableWindow(platform::createControl(platform::ControlKind::Edit, ALL_INSTALL_PATH.controlId, u"",
                                                       0, 0, 10, 10),
                               false);
        FakeSimOptions options;
        options.applicationName = c.name;
        start(options);
        ASSERT_TRUE(waitUntil([this] { return finished.load(); })) << c.name;
        EXPECT_EQ(gf_errorText(), c.error);
        EXPECT_TRUE(sim->waitForDisconnect(20s));
        EXPECT_FALSE(g_stopRequested);  // the user must act; the run waits
        EXPECT_EQ(g_simUserError.load(), 78);
        EXPECT_FALSE(simRunning);
        EXPECT_EQ(handle(), nullptr);
        platform::ControlState control;
        ASSERT_TRUE(platform::controlState(platform::getDlgItem(ALL_INSTALL_PATH.controlId), control));
        EXPECT_EQ(control.enabled, std::string(c.error).find("wrong P3D") != std::string::npos);
        thread.join();
        sim.reset();
    }
    platform::destroyAllControls();
}

// A user error closes the connection on purpose: the run goes on showing it,
// and what the main loop asks meanwhile neither fails nor restarts the run.
TEST_F(SimClientThreaded, AUserErrorClosesTheConnectionWithoutARestartLoop) {
    connect();
    sim->setValue(1, "ATC MODEL", std::string());  // an aircraft.cfg without atc_model=
    gf_requestUserTitleModel();
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    EXPECT_EQ(gf_errorText(), "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
    EXPECT_EQ(g_simUserError.load(), 71);
    EXPECT_TRUE(gf_simUserErrorShown());
    EXPECT_TRUE(sim->waitForDisconnect(20s));
    EXPECT_TRUE(simRunning);  // left as it was

    // The main loop's next requests, every second for a while.
    for (int second = 0; second < 3; ++second) {
        gf_requestUserPosition();
        gf_requestUserTitleModel();
        {
            const std::lock_guard lock(simQueueMutex);
            if (SimConnect_RequestDataOnSimObjectType(simConnectHandle, REQUEST_WITHIN_RANGE, DEFINITION_WITHIN_RANGE,
                                                      1852, ScSimObjectType::Aircraft) < 0)
                gf_requestError();
        }
    }
    EXPECT_FALSE(g_stopRequested);
    EXPECT_EQ(g_appState.load(), AppState::NotYetSet);
    EXPECT_FALSE(simRequestFailed);
    EXPECT_FALSE(log.contains("SimConnect request"));
    EXPECT_EQ(gf_errorText().substr(0, 4), "71: ");

    gf_resetSimClient();  // the next run starts clean
    EXPECT_FALSE(gf_simUserErrorShown());
}

TEST_F(SimClientThreaded, TheSimulatorQuittingEndsTheRun) {
    connect();
    sim->quit();
    expectSimulatorGone();
    EXPECT_TRUE(log.contains("Flight Simulator no longer connected, Skyhaven_P3D will stop ..."));
    // The main loop's requests now fail cleanly; the first stop reason stays.
    gf_requestUserPosition();
    EXPECT_TRUE(simRequestFailed);
    EXPECT_EQ(g_appState.load(), AppState::SimWasClosed);
}

TEST_F(SimClientThreaded, ALostConnectionEndsTheRun) {
    connect();
    sim->closeClients();
    expectSimulatorGone();
}

TEST_F(SimClientThreaded, AQuitInTheMiddleOfTheSetUpEndsTheRun) {
    FakeSimOptions options;
    options.quitAfterRequests = 20;
    start(options);
    expectSimulatorGone();
    EXPECT_LT(sim->requestCount(), 74u);
}

TEST_F(SimClientThreaded, TheStopFlagAloneKeepsDispatchingTheStopRequestEndsIt) {
    connect();
    gf_requestStop(AppState::UserClosedSim, 0);
    sim->setSimRunning(false);
    ASSERT_TRUE(waitUntil([] { return !simRunning.load(); }));  // still dispatching
    EXPECT_FALSE(finished);
    thread.request_stop();
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    EXPECT_TRUE(sim->waitForDisconnect(20s));
    EXPECT_EQ(handle(), nullptr);
    EXPECT_EQ(g_appState.load(), AppState::UserClosedSim);
}

TEST_F(SimClientThreaded, WithoutASimulatorItWaitsAndRetriesUntilStopped) {
    env.writeConfig(test::ScTestEnv::Folder::Documents, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=1\n");
    startThread();
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(finished);
    thread.request_stop();
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    const std::string text = log.text();
    const std::string waiting = "Waiting for Prepar3Dv5 ...";
    ASSERT_NE(text.find(waiting), std::string::npos);
    EXPECT_EQ(text.find(waiting, text.find(waiting) + 1), std::string::npos);  // shown once
    EXPECT_FALSE(g_mainWindowState.simConnectConnected);
    EXPECT_TRUE(g_parkStandUpdateWanted);
    EXPECT_FALSE(log.contains("SimConnect closed ok"));  // nothing to close
    EXPECT_EQ(gf_errorText(), "");
}

TEST_F(SimClientThreaded, AnUnknownSimulatorVersionEndsTheThreadBeforeTheFirstOpen) {
    SIM_INSTALL_PATH.value.set("D:\\Sim");
    P3D_VERSION.value = 4;
    start();
    ASSERT_TRUE(waitUntil([this] { return finished.load(); }));
    P3D_VERSION.value = 5;
    EXPECT_EQ(sim->clientCount(), 0u);
    EXPECT_EQ(gf_errorText().substr(0, 4), "77: ");
    EXPECT_FALSE(g_stopRequested);
}

TEST_F(SimClientThreaded, BadInputFromTheSimulatorIsSkipped) {
    FakeSimOptions options;
    // Out of order: a frame, a removal and an answer before the open reply.
    options.beforeOpenReply = {test::scFrameMessage(EVENT_FRAME, 30.0f, 1.0f),
                               test::scObjectAddRemoveMessage(EVENT_OBJECT_REMOVED, 5555, ScSimObjectType::Aircraft),
                               test::withinRangeMessage(6666, 0.0, 400.0, 1, "EARLY1")};
    connect(options);
    for (const ScRecvId id : {ScRecvId::Exception, ScRecvId::Open, ScRecvId::Event, ScRecvId::EventObjectAddRemove,
                              ScRecvId::EventFilename, ScRecvId::EventFrame, ScRecvId::SimObjectData,
                              ScRecvId::SimObjectDataByType})
        sim->sendTooShort(id);
    sim->sendUnknownId(99);
    sim->sendException(22, 424242, 0);  // a creation nobody sent
    test::FakeObject ghost;
    ghost.id = 99999;
    ghost.values["ATC ID"] = std::string("GHOST1");
    ghost.values["PLANE ALT ABOVE GROUND"] = 0.0;
    sim->sendObjectDataFor(ghost, REQUEST_WITHIN_RANGE, DEFINITION_WITHIN_RANGE, true);  // an unknown object
    test::FakeObject user;
    user.id = 1;
    user.values["PLANE LATITUDE"] = 1e308 * 10;  // not a number the program can use
    sim->sendObjectDataFor(user, REQUEST_USER_STATE, DEFINITION_USER_STATE, false);
    sim->setSimRunning(false);
    ASSERT_TRUE(waitUntil([] { return !simRunning.load(); }));  // all of it dispatched, the thread alive
    EXPECT_FALSE(finished);
    EXPECT_FALSE(g_stopRequested);
    EXPECT_EQ(gf_userAcState().latitude, 0.0);
    EXPECT_TRUE(log.contains("! Unknown Dispatch dwID 99"));
    // The unknown objects are taken for aircraft of others.
    std::vector<SimEventKind> kinds;
    for (const SimEvent& e : gf_takeSimEvents()) kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<SimEventKind>{SimEventKind::objectRemoved, SimEventKind::groundReport,
                                                SimEventKind::groundReport}));
}

}  // namespace
}  // namespace skh
