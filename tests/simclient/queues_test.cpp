// The request queues and the Frame drain on a connection without transport:
// what goes out on a frame and in which order, what waits for a later one,
// and what a failed request does to the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <thread>

#include "foundation/main_window_state.hpp"
#include "simclient/sim_handlers.hpp"
#include "simclient/sim_ids.hpp"
#include "simconnect/simconnect.hpp"
#include "support/sc_test_env.hpp"
#include "support/test_env.hpp"
#include "simclient_fixture.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
using test::DecodedRequest;

class SimQueues : public test::UnattachedRun {
protected:
    void failTransport() {
        lf_scTransportFailed(static_cast<ScConnection*>(handle), ScFailureKind::PeerClosed, 0, kStatusPeerClosed);
    }

    // Why a request fails decides how the run ends: a request the client
    // cannot make (here: the connection already taken back) is a request
    // error with a restart; a transport that has failed is the simulator
    // gone, however soon the SimClient thread's dispatch would say so.
    struct Failure {
        const char* what;
        bool transportFailed;
        AppState ending;
        int restartDelay;
    };
    static constexpr Failure kFailures[] = {
        {"no connection", false, AppState::SimConnectError, 9},
        {"the simulator gone", true, AppState::SimWasClosed, 0},
    };
    // A fresh run whose requests then fail for the reason given.
    void failRequests(const Failure& f) {
        TearDown();
        SetUp();
        gf_clearStatusMessage();
        simRunning = true;
        if (f.transportFailed) {
            failTransport();
        } else {
            const std::lock_guard lock(simQueueMutex);
            simConnectHandle = nullptr;
        }
        m_logged = log.lines().size();
    }
    void expectRunEnding(const Failure& f) {
        EXPECT_TRUE(simRequestFailed);
        EXPECT_EQ(simRunning.load(), !f.transportFailed);
        EXPECT_TRUE(g_stopRequested);
        EXPECT_EQ(g_appState.load(), f.ending);
        EXPECT_EQ(g_restartDelay.load(), f.restartDelay);
        EXPECT_EQ(gf_statusText(), f.transportFailed ? "" : "SimConnect request error");
        const auto lines = log.lines();
        const bool gone = std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(m_logged), lines.end(), [](auto& l) {
            return l.ends_with(" Flight Simulator no longer connected, Skyhaven_P3D will stop ...");
        });
        EXPECT_EQ(gone, f.transportFailed) << log.text();
    }
    std::size_t m_logged = 0;
    std::vector<DecodedRequest> drain() {
        lf_drainQueues();
        return test::takeSent(handle);
    }
    static AddRequest request(const std::string& callsign, std::string_view title, std::uint32_t act) {
        AddRequest r;
        r.initPos = {47.5, 8.5, 1400.0, 0.0, 0.0, 270.0, 1, 0};
        r.callsign = callsign;
        r.title = title;
        r.actNumber = act;
        return r;
    }
};

// The same, with a second thread standing in for the main loop.
class SimQueuesThreaded : public SimQueues {};

TEST_F(SimQueues, OneFrameSendsPositionsEventsCreationsAndRemovalsInThatOrder) {
    AiPositionBlock block{47.1, 8.1, -0.05, 0.1, 3.0, 2500.0, 5.0, 150.0};
    positionBuffers.back = {{block, 0}, {block, 2}, {block, 1001}};
    ASSERT_TRUE(gf_swapPositionBuffers());
    gf_queueEvent({1001, EVENT_GEAR_SET, 1});
    gf_queueCreate(request("SWR123", "Airbus A320 Swiss", 0x4B1805));
    gf_queueRemove(1002);
    gf_queueRemove(2);  // the user's own id

    const auto sent = drain();
    // Objects 0 and 2 (the user's) are never positioned, the user never removed.
    ASSERT_EQ(test::kindsOf(sent), (std::vector<ScRequestId>{ScRequestId::SetDataOnSimObject,
                                                            ScRequestId::TransmitClientEvent,
                                                            ScRequestId::AICreateNonATCAircraft,
                                                            ScRequestId::AIRemoveObject}));
    EXPECT_EQ(sent[0].values[0], DEFINITION_AI_POSITION);
    EXPECT_EQ(sent[0].values[1], 1001u);
    EXPECT_EQ(sent[0].values[3], 1u);   // one unit
    EXPECT_EQ(sent[0].values[4], 64u);  // of 64 bytes
    ASSERT_EQ(sent[0].data.size(), 64u);
    EXPECT_EQ(std::memcmp(sent[0].data.data(), &block, 64), 0);
    EXPECT_EQ(sent[1].values, (std::vector<std::uint32_t>{1001, EVENT_GEAR_SET, 1, GROUP_AI, 0}));
    EXPECT_EQ(sent[2].texts, (std::vector<std::string>{"Airbus A320 Swiss", "SWR123"}));
    const double heading = sent[2].initPos.Heading;  // a packed field: read by value
    EXPECT_EQ(heading, 270.0);
    EXPECT_EQ(sent[2].values.back(), REQUEST_CREATE_AI);
    EXPECT_EQ(sent[3].values, (std::vector<std::uint32_t>{1002, REQUEST_REMOVE_AI}));
    EXPECT_TRUE(log.contains("===> SimConnect call to remove ac with objectid 2"));

    // The creation is recorded under its send id for the simulator's answers.
    ASSERT_EQ(sentPackets.size(), 1u);
    EXPECT_EQ(sentPackets[0].sendId, sent[2].sendId);
    EXPECT_EQ(sentPackets[0].actNumber, 0x4B1805u);
    EXPECT_EQ(sentPackets[0].callsign, "SWR123");

    // Everything was taken: the next frame sends nothing.
    EXPECT_TRUE(drain().empty());
}

TEST_F(SimQueues, FlapsAreSentBetweenTwoReleasesOfTheAiControl) {
    gf_queueEvent({5, EVENT_FLAPS_SET, 8191});
    const auto sent = drain();
    ASSERT_EQ(test::kindsOf(sent),
              (std::vector<ScRequestId>{ScRequestId::AIReleaseControl, ScRequestId::TransmitClientEvent,
                                        ScRequestId::AIReleaseControl}));
    EXPECT_EQ(sent[0].values, (std::vector<std::uint32_t>{5, REQUEST_RELEASE_CONTROL}));
    EXPECT_EQ(sent[2].values, (std::vector<std::uint32_t>{5, REQUEST_RELEASE_CONTROL}));
}

TEST_F(SimQueues, LightsAreQueuedInTheirFixedOrder) {
    const std::uint32_t values[7] = {1, 2, 3, 4, 5, 6, 7};
    gf_queueLights(1005, values);
    gf_queueCabinLights(1005, 0);
    const auto sent = drain();
    const std::uint32_t order[] = {EVENT_NAV_LIGHTS_SET,  EVENT_BEACON_LIGHTS_SET, EVENT_LANDING_LIGHTS_SET,
                                   EVENT_TAXI_LIGHTS_SET, EVENT_STROBES_SET,       EVENT_LOGO_LIGHTS_SET,
                                   EVENT_CABIN_LIGHTS_SET, EVENT_CABIN_LIGHTS_SET};
    ASSERT_EQ(sent.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(sent[i].values[1], order[i]) << i;
        EXPECT_EQ(sent[i].values[2], i < 7 ? i + 1 : 0u) << i;
    }
}

TEST_F(SimQueuesThreaded, ABusyMutexSendsNothingAndLosesNothing) {
    positionBuffers.back = {{AiPositionBlock{}, 1001}};
    gf_swapPositionBuffers();
    gf_queueEvent({1001, EVENT_STROBES_SET, 1});
    gf_queueCreate(request("DLH4", "B738 Lufthansa", 20001));
    gf_queueRemove(1003);
    {
        const std::lock_guard busy(simQueueMutex);  // the main loop is in the middle of something
        std::thread(lf_drainQueues).join();
    }
    EXPECT_TRUE(test::takeSent(handle).empty());
    EXPECT_EQ(drain().size(), 4u);
}

TEST_F(SimQueues, AFailedCreationStopsTheRunAndLaterFramesDiscardEverything) {
    for (const Failure& f : kFailures) {
        SCOPED_TRACE(f.what);
        failRequests(f);
        gf_queueCreate(request("SWR123", "Airbus A320 Swiss", 0x4B1805));
        lf_drainQueues();
        expectRunEnding(f);
        EXPECT_TRUE(sentPackets.empty());

        positionBuffers.back = {{AiPositionBlock{}, 1001}};
        gf_swapPositionBuffers();
        gf_queueEvent({1001, EVENT_STROBES_SET, 1});
        gf_queueCreate(request("DLH4", "B738 Lufthansa", 20001));
        gf_queueRemove(1003);
        lf_drainQueues();
        const std::lock_guard lock(simQueueMutex);
        EXPECT_TRUE(positionBuffers.front.empty());
        EXPECT_TRUE(clientEventQueue.empty());
        EXPECT_TRUE(simCreateQueue.empty());
        EXPECT_TRUE(simRemoveQueue.empty());
    }
}

TEST_F(SimQueues, TheFirstStopReasonWinsOverARequestError) {
    gf_requestStop(AppState::NewFlight, 30);
    gf_requestError();
    EXPECT_TRUE(simRequestFailed);
    EXPECT_EQ(g_appState.load(), AppState::NewFlight);
    EXPECT_EQ(g_restartDelay.load(), 30);
}

TEST_F(SimQueues, AFailedRemovalStopsTheRun) {
    for (const Failure& f : kFailures) {
        SCOPED_TRACE(f.what);
        failRequests(f);
        gf_queueRemove(1003);
        lf_drainQueues();
        EXPECT_TRUE(log.contains("!SimConnect call to remove AI ac from sim failed, id 1003?"));
        expectRunEnding(f);
    }
}

// The main loop's once-a-second requests meet the simulator's going as often
// as the SimClient thread does: the run ends the same either way.
TEST_F(SimQueues, TheMainLoopsRequestsEndTheRunAsTheirFailureSays) {
    for (const Failure& f : kFailures) {
        SCOPED_TRACE(f.what);
        failRequests(f);
        gf_requestUserPosition();
        EXPECT_TRUE(log.contains("SimConnect request user ac position fails"));
        expectRunEnding(f);
    }
}

TEST_F(SimQueues, AFailedClientEventIsReportedAndTheOthersStillGo) {
    failTransport();
    gf_queueEvent({1001, EVENT_STROBES_SET, 1});
    gf_queueEvent({1001, EVENT_FLAPS_SET, 1});
    lf_drainQueues();
    EXPECT_TRUE(log.contains("SimConnect TransmitClientEvent: 210 fails"));
    EXPECT_TRUE(log.contains("SimConnect TransmitClientEvent: 218 fails"));
    EXPECT_FALSE(g_stopRequested);  // only reported
}

TEST_F(SimQueues, LongCallsignsAreCutAndOverlongTitlesFailOnlyThatAircraft) {
    const std::string title255(255, 'T');
    const std::string title256(256, 'T');
    gf_queueCreate(request("CALLSIGN12345", title255, 30001));
    gf_queueCreate(request("DLH4", title256, 30002));
    const auto sent = drain();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].texts[0], title255);
    EXPECT_EQ(sent[0].texts[1], "CALLSIGN123");
    ASSERT_EQ(sentPackets.size(), 1u);
    EXPECT_EQ(sentPackets[0].callsign, "CALLSIGN123");  // what the simulator will report as ATC id

    // The run goes on; the aircraft is reported as not creatable.
    EXPECT_FALSE(simRequestFailed);
    EXPECT_FALSE(g_stopRequested);
    const auto events = gf_takeSimEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SimEventKind::createFailed);
    EXPECT_EQ(events[0].actNumber, 30002u);
}

TEST_F(SimQueues, TheOldestUnansweredCreationIsGivenUpWhenTheRecordsAreFull) {
    const std::int64_t now = gf_steadyMs();
    for (std::uint32_t i = 0; i < kMaxSentPackets; ++i) {
        // The oldest record sits in the middle: the list is not kept in order.
        sentPackets.push_back({i + 1, 40000 + i, "CS" + std::to_string(i), i == 100 ? now - 100000 : now});
    }
    gf_queueCreate(request("NEWEST", "Airbus A320 Swiss", 50001));
    drain();
    ASSERT_EQ(sentPackets.size(), kMaxSentPackets);
    EXPECT_TRUE(std::none_of(sentPackets.begin(), sentPackets.end(),
                             [](const SentPacket& p) { return p.actNumber == 40100; }));
    EXPECT_TRUE(std::any_of(sentPackets.begin(), sentPackets.end(),
                            [](const SentPacket& p) { return p.callsign == "NEWEST"; }));
    const auto events = gf_takeSimEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SimEventKind::createFailed);
    EXPECT_EQ(events[0].actNumber, 40100u);
    EXPECT_EQ(events[0].reserved, kCreateGivenUp);  // not a refusal of its livery
    EXPECT_TRUE(log.contains("creation of hexid:40100, callsign: CS100 never answered, given up"));
}

TEST_F(SimQueues, TailNumbersAreSentInTheSimulatorsCodePage) {
    EXPECT_EQ(gf_tailNumberOf("D-\xC3\x84" "BCD"), "D-\xC4" "BCD");  // Ä is one byte there
    EXPECT_EQ(gf_tailNumberOf("\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"), "\xC4\xC4\xC4\xC4\xC4\xC4");
    EXPECT_EQ(gf_tailNumberOf("ABCDEFGHIJKLMNOP"), "ABCDEFGHIJK");
    EXPECT_EQ(gf_tailNumberOf(""), "");
}

TEST_F(SimQueues, RemoveQueuedCreateTakesEveryRequestOfTheCallsign) {
    std::deque<AddRequest> waiting;
    for (const char* cs : {"A1", "B2", "A1", "C3", "D4"}) waiting.push_back(request(cs, "t", 20000));
    EXPECT_FALSE(gf_removeQueuedCreate(waiting, ""));
    EXPECT_FALSE(gf_removeQueuedCreate(waiting, "a1"));  // byte for byte
    EXPECT_TRUE(gf_removeQueuedCreate(waiting, "A1"));
    ASSERT_EQ(waiting.size(), 3u);
    EXPECT_EQ(waiting[0].callsign, "B2");
    EXPECT_EQ(waiting[1].callsign, "C3");
    EXPECT_EQ(waiting[2].callsign, "D4");
}

TEST_F(SimQueues, TheSwapHandsOverTheNewestPositionsOnly) {
    positionBuffers.back = {{AiPositionBlock{1.0}, 1001}};
    ASSERT_TRUE(gf_swapPositionBuffers());
    EXPECT_TRUE(positionBuffers.back.empty());
    // No frame came in between: the next poll's positions replace these.
    positionBuffers.back = {{AiPositionBlock{2.0}, 1001}};
    ASSERT_TRUE(gf_swapPositionBuffers());
    EXPECT_TRUE(positionBuffers.back.empty());
    const auto sent = drain();
    ASSERT_EQ(sent.size(), 1u);
    double lat = 0;
    std::memcpy(&lat, sent[0].data.data(), 8);
    EXPECT_EQ(lat, 2.0);
}

TEST_F(SimQueuesThreaded, ABusySwapAtALowFrameRateDropsThePoll) {
    simFrameRate = 30.0f;
    positionBuffers.back = {{AiPositionBlock{3.0}, 1001}};
    {
        std::unique_lock busy(simQueueMutex);
        std::thread([] { EXPECT_FALSE(gf_swapPositionBuffers()); }).join();
    }
    EXPECT_TRUE(positionBuffers.back.empty());
    EXPECT_TRUE(drain().empty());
}

TEST_F(SimQueues, InitReservesWithoutDroppingAndClearsTheFailure) {
    gf_queueCreate(request("A1", "t", 20000));
    simRequestFailed = true;
    gf_initQueues(6);
    EXPECT_EQ(simMajorVersion.load(), 6u);
    EXPECT_FALSE(simRequestFailed);
    const std::lock_guard lock(simQueueMutex);
    EXPECT_EQ(simCreateQueue.size(), 1u);
    EXPECT_GE(simCreateQueue.capacity(), 256u);
    EXPECT_GE(simRemoveQueue.capacity(), 256u);
    EXPECT_GE(positionBuffers.front.capacity(), 256u);
    EXPECT_GE(positionBuffers.back.capacity(), 256u);
}

TEST_F(SimQueues, UserRequestsAskOnceAndReturnTheLastData) {
    {
        const std::lock_guard lock(simQueueMutex);
        g_userAcState.latitude = 51.5;
    }
    EXPECT_EQ(gf_requestUserPosition().latitude, 51.5);
    gf_requestUserTitleModel();
    const auto sent = test::takeSent(handle);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].values, (std::vector<std::uint32_t>{109, 403, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(sent[1].values, (std::vector<std::uint32_t>{106, 407, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(sent[2].values, (std::vector<std::uint32_t>{107, 408, 0, 1, 0, 0, 0, 0}));

    // After a failure the position is no longer asked for, but still returned.
    simRequestFailed = true;
    EXPECT_EQ(gf_requestUserPosition().latitude, 51.5);
    EXPECT_TRUE(test::takeSent(handle).empty());
}

TEST_F(SimQueues, FailedUserRequestsAreEachReported) {
    failTransport();
    gf_requestUserTitleModel();
    EXPECT_TRUE(log.contains("SimConnect request user ac title fails"));
    EXPECT_TRUE(log.contains("SimConnect reques user ac model fails"));
    EXPECT_TRUE(simRequestFailed);
}

TEST_F(SimQueues, RequestsWithoutAConnectionFailCleanly) {
    {
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = nullptr;  // the SimClient thread has closed it
    }
    gf_requestUserPosition();
    EXPECT_TRUE(log.contains("SimConnect request user ac position fails"));
    EXPECT_TRUE(simRequestFailed);
    EXPECT_EQ(g_appState.load(), AppState::SimConnectError);
}

TEST_F(SimQueuesThreaded, TheSwapWaitsForTheMutexAtHighFrameRates) {
    simFrameRate = 60.0f;
    positionBuffers.back = {{AiPositionBlock{4.0}, 1001}};
    std::atomic<bool> holding{false};
    std::thread holder([&] {
        const std::lock_guard busy(simQueueMutex);
        holding = true;
        std::this_thread::sleep_for(20ms);
    });
    while (!holding) std::this_thread::yield();
    EXPECT_TRUE(gf_swapPositionBuffers());
    holder.join();
    {
        const std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(positionBuffers.front.size(), 1u);
        EXPECT_EQ(positionBuffers.front[0].block.latitude, 4.0);
    }
}

}  // namespace
}  // namespace skh
