// The client against the fake simulator over real sockets: open handshake,
// requests on the wire, received messages in any chunking, transport
// failures and their codes, closing and the release of the connection.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/net.hpp"
#include "simconnect/connection.hpp"
#include "simconnect/messages.hpp"
#include "simconnect/simconnect.hpp"
#include "support/fake_simulator.hpp"
#include "support/sc_test_env.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::FakeSimulator;
using test::ScCollector;
using test::ScTestEnv;

class ScTransportThreaded : public ::testing::Test {
protected:
    void open(const std::string& extraConfig = "") {
        env.pointAtIpv4(sim, extraConfig);
        ASSERT_EQ(SimConnect_Open(&handle, "Skyhaven_P3D", nullptr, 0, &event, 0), kScOk);
        ASSERT_NE(handle, nullptr);
        ASSERT_TRUE(sim.waitForRequests(ScRequestId::Open, 1, 20s));
        // the open reply
        ASSERT_EQ(collector.pumpFor(handle, 1), kScOk);
        collector.messages.clear();
    }
    void TearDown() override {
        if (handle != nullptr) {
            EXPECT_EQ(SimConnect_Close(handle), kScOk);
        }
        EXPECT_EQ(gf_scConnectionCount(), 0);
        EXPECT_EQ(gf_scLiveConnectionObjects(), 0);
        EXPECT_EQ(gf_scLiveTransports(), 0);
        for (const auto& error : sim.protocolErrors()) ADD_FAILURE() << error;
    }

    ScTestEnv env;
    FakeSimulator sim;
    ScEvent event;
    HANDLE handle = nullptr;
    ScCollector collector;
};

TEST_F(ScTransportThreaded, OpenSendsTheOpenPacketAndReceivesTheSimulatorsNameInUtf8) {
    env.pointAtIpv4(sim);
    ASSERT_EQ(SimConnect_Open(&handle, "Skyhaven_P3D", nullptr, 0, &event, 0), kScOk);
    ASSERT_TRUE(sim.waitForRequests(ScRequestId::Open, 1, 20s));
    const auto open = sim.requestsOf(ScRequestId::Open).at(0);
    test::WireWriter golden;
    golden.u32(296).u32(35).u32(0xF0000001u).u32(1).fixed("Skyhaven_P3D", 256);
    golden.u32(0).u32(0x50334400u).u32(5).u32(3).u32(0).u32(0);
    EXPECT_EQ(test::hexOf(open.packet), test::hexOf(golden.bytes()));
    EXPECT_TRUE(event.wait(20s));  // the event is set for the reply
    ASSERT_EQ(collector.pumpFor(handle, 1), kScOk);
    ASSERT_EQ(collector.messages.size(), 1u);
    const ScMessage m = gf_scDecodeMessage(collector.messages[0]);
    const auto* reply = std::get_if<ScRecvOpen>(&m);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->applicationName, "Lockheed Martin\xC2\xAE Prepar3D\xC2\xAE v5");
    EXPECT_EQ(reply->applicationVersion[0], 5u);
}

TEST_F(ScTransportThreaded, RequestsReachTheSimulatorInOrderWithConsecutiveSendIds) {
    open();
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 201, "Sim"), kScOk);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 204, "Frame"), kScOk);
    ASSERT_EQ(SimConnect_AddToDataDefinition(handle, 409, "SIM ON GROUND", "Bool", ScDatumType::Int64, 0, kScUnused),
              kScOk);
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(handle, 108, 409, kScObjectIdUser, ScPeriod::Once, 0, 0, 0, 0), kScOk);
    ASSERT_TRUE(sim.waitForRequests(ScRequestId::RequestDataOnSimObject, 1, 20s));
    const auto requests = sim.requests();
    ASSERT_EQ(requests.size(), 5u);
    for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(requests[i].sendId, i + 1);
    std::uint32_t last = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(handle, &last), kScOk);
    EXPECT_EQ(last, 5u);

    // "Sim" answers at once with the state; the data request with the user's datum.
    ASSERT_EQ(collector.pumpFor(handle, 2), kScOk);
    ASSERT_EQ(collector.ids(), (std::vector<std::uint32_t>{4, 8}));
    const auto sim0 = std::get<ScRecvEvent>(gf_scDecodeMessage(collector.messages[0]));
    EXPECT_EQ(sim0.eventId, 201u);
    EXPECT_EQ(sim0.data, 1u);
    const auto data = std::get<ScRecvObjectData>(gf_scDecodeMessage(collector.messages[1]));
    EXPECT_EQ(data.requestId, 108u);
    ScDataReader reader(data.data);
    std::int64_t onGround = 0;
    EXPECT_TRUE(reader.readInt64(onGround));
    EXPECT_EQ(onGround, 1);

    collector.messages.clear();
    sim.sendFrame(25.0f, 1.0f);
    ASSERT_EQ(collector.pumpFor(handle, 1), kScOk);
    const auto frame = std::get<ScRecvFrame>(gf_scDecodeMessage(collector.messages.at(0)));
    EXPECT_EQ(frame.event.eventId, 204u);
    EXPECT_FLOAT_EQ(frame.frameRate, 25.0f);
}

TEST_F(ScTransportThreaded, MessagesArriveWholeWhateverTheChunking) {
    open();
    const Bytes quit = test::scQuitMessage();
    const Bytes event = test::scEventMessage(1, 2, 3);
    // one message over three reads, then two messages in one read
    sim.sendRaw(event, {5, 9});
    sim.sendRaw(test::concat({quit, event}));
    ASSERT_EQ(collector.pumpFor(handle, 3), kScOk);
    EXPECT_EQ(collector.ids(), (std::vector<std::uint32_t>{4, 3, 4}));
}

TEST_F(ScTransportThreaded, PeerCloseFailsTheTransportAfterTheQueuedMessages) {
    open();
    sim.sendRaw(test::scQuitMessage());
    ASSERT_TRUE(event.wait(20s));
    sim.closeClients();
    const HRESULT rc = collector.pump(handle, [] { return false; }, 20s);
    EXPECT_EQ(rc, kStatusPeerClosed);
    EXPECT_EQ(collector.ids(), (std::vector<std::uint32_t>{3}));  // delivered before the failure is reported
    // From now on every request returns the stored code and queues nothing.
    EXPECT_EQ(SimConnect_TransmitClientEvent(handle, 1000, 207, 1, 301, 0), kStatusPeerClosed);
    EXPECT_EQ(SimConnect_CallDispatch(handle, nullptr, nullptr), kStatusPeerClosed);
    auto* c = lf_scFindConnection(handle);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->failureKind, ScFailureKind::PeerClosed);
}

TEST_F(ScTransportThreaded, ConnectionResetIsAFailureOfKindFive) {
    open();
    sim.resetClients();
    EXPECT_EQ(collector.pump(handle, [] { return false; }, 20s), kStatusConnectionReset);
    EXPECT_EQ(lf_scFindConnection(handle)->failureKind, ScFailureKind::Disconnected);
}

TEST_F(ScTransportThreaded, ReceiveLimitFailsALargerMessageUnlessTheConfigurationRaisesIt) {
    const Bytes big = test::scObjectDataMessage(false, 1, 1, 1, 0, 0, 0, 0, Bytes(50000 - 40));
    open();
    sim.sendRaw(big);
    EXPECT_EQ(collector.pump(handle, [] { return false; }, 20s), kScAbort);
    EXPECT_EQ(lf_scFindConnection(handle)->failureKind, ScFailureKind::TooLarge);
    EXPECT_EQ(SimConnect_Close(handle), kScOk);
    handle = nullptr;

    open("MaxReceiveSize=65536\n");
    sim.sendRaw(big, {1000, 20000});
    ASSERT_EQ(collector.pumpFor(handle, 1), kScOk);
    EXPECT_EQ(collector.messages.at(0).size(), 50000u);
}

TEST_F(ScTransportThreaded, MalformedSizeFailsTheTransportAndLaterRequestsReturnItsCode) {
    open();
    sim.sendRaw(test::bytesOf(std::string("\x02\x00\x00\x00", 4)));
    EXPECT_EQ(collector.pump(handle, [] { return false; }, 20s), kScAbort);
    EXPECT_EQ(SimConnect_AIRemoveObject(handle, 1000, 105), kScAbort);
    EXPECT_EQ(lf_scFindConnection(handle)->failureKind, ScFailureKind::BadSize);
}

TEST_F(ScTransportThreaded, CloseSendsWhatIsQueuedAndReleasesEverything) {
    open();
    const int startups = platform::wsaStartupCount();
    EXPECT_TRUE(gf_scWinsockStarted());
    for (std::uint32_t i = 0; i < 50; ++i) ASSERT_EQ(SimConnect_AIReleaseControl(handle, 1000 + i, 103), kScOk);
    ASSERT_EQ(SimConnect_Close(handle), kScOk);
    handle = nullptr;
    // Sent before the transport closed, so all of them arrive.
    EXPECT_TRUE(sim.waitForRequests(ScRequestId::AIReleaseControl, 50, 20s));
    EXPECT_TRUE(sim.waitForDisconnect(20s));
    EXPECT_FALSE(gf_scWinsockStarted());
    EXPECT_EQ(platform::wsaStartupCount(), startups - 1);
    EXPECT_EQ(SimConnect_Close(handle), kScFail);
}

TEST_F(ScTransportThreaded, RepeatedConnectsKeepTheSocketLibraryBalanced) {
    const int before = platform::wsaStartupCount();
    for (int i = 0; i < 3; ++i) {
        open();
        EXPECT_EQ(platform::wsaStartupCount(), before + 1);
        ASSERT_EQ(SimConnect_Close(handle), kScOk);
        handle = nullptr;
        EXPECT_EQ(platform::wsaStartupCount(), before);
    }
}

TEST_F(ScTransportThreaded, ClosedConnectionIsFreedOnlyAfterItsLastPendingIo) {
    open();
    ScConnection* c = lf_scFindConnection(handle);
    lf_scAddRef(c);  // stands for a read that has not completed yet
    gf_scTimings().cleanupSteps = 2;  // close would wait for it in vain
    ASSERT_EQ(SimConnect_Close(handle), kScOk);
    handle = nullptr;
    EXPECT_EQ(gf_scConnectionCount(), 0);
    EXPECT_EQ(gf_scLiveConnectionObjects(), 1);
    EXPECT_EQ(c->state.load(), 0);
    lf_scRelease(c);
    EXPECT_EQ(gf_scLiveConnectionObjects(), 0);
}

TEST_F(ScTransportThreaded, ClosingOneOfTwoConnectionsLeavesTheOtherWorking) {
    open();
    HANDLE second = nullptr;
    ASSERT_EQ(SimConnect_Open(&second, "second", nullptr, 0, nullptr, 0), kScOk);
    ASSERT_EQ(SimConnect_Close(handle), kScOk);
    handle = second;
    // No cleanup wait while a connection is left: the close itself has ended
    // the closed one's reader and writer, so its object is gone already.
    EXPECT_EQ(gf_scLiveConnectionObjects(), 1);
    EXPECT_EQ(gf_scLiveTransports(), 1);
    EXPECT_TRUE(gf_scWinsockStarted());  // a connection is left
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(handle, 204, "Frame"), kScOk);
    ASSERT_TRUE(sim.waitForRequests(ScRequestId::SubscribeToSystemEvent, 1, 20s));
    EXPECT_EQ(sim.requestsOf(ScRequestId::SubscribeToSystemEvent).at(0).client, 2u);
}

TEST_F(ScTransportThreaded, OpenWithATooLongNameClosesTheConnectionAgain) {
    env.pointAtIpv4(sim);
    const std::string name(256, 'n');
    HANDLE h = reinterpret_cast<HANDLE>(1);
    EXPECT_EQ(SimConnect_Open(&h, name.c_str(), nullptr, 0, nullptr, 0), kScTextTooLong);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(gf_scConnectionCount(), 0);
    EXPECT_EQ(SimConnect_Open(nullptr, "x", nullptr, 0, nullptr, 0), kScInvalidArg);
    EXPECT_EQ(SimConnect_Open(&h, nullptr, nullptr, 0, nullptr, 0), kScInvalidArg);
}

}  // namespace
}  // namespace skh
