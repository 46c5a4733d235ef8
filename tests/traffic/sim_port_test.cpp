// The SimClient's side of the simulator port on a connection without
// transport: the direct calls the traffic control makes and the position
// swap of a poll while the Frame drain holds the queues.
#include "traffic/sim_port.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "simclient/simclient_fixture.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {
namespace {

class SimClientPort : public test::UnattachedRun {
protected:
    void SetUp() override {
        UnattachedRun::SetUp();
        gf_setSimPort(nullptr);
        gf_resetTraffic();
    }
    void TearDown() override {
        gf_resetTraffic();
        UnattachedRun::TearDown();
    }
    std::vector<test::DecodedRequest> sent() { return test::takeSent(handle); }
};

class SimClientPortThreaded : public SimClientPort {};

TEST_F(SimClientPort, DirectCallsGoOutAsTheirRequests) {
    SimPort& port = gf_simPort();
    ASSERT_TRUE(port.requestWithinRange(74080));
    ASSERT_TRUE(port.requestStaticCg(1005));
    ASSERT_TRUE(port.toggleAllLights(1005));
    ASSERT_TRUE(port.setControlBlock(1005, {100.0, -100.0, -100.0}));
    ASSERT_TRUE(port.setFlightPlan(1005, "C:\\orig_dest\\1005.pln"));
    const auto out = sent();
    ASSERT_EQ(test::kindsOf(out),
              (std::vector<ScRequestId>{ScRequestId::RequestDataOnSimObjectType, ScRequestId::RequestDataOnSimObject,
                                        ScRequestId::TransmitClientEvent, ScRequestId::SetDataOnSimObject,
                                        ScRequestId::AISetAircraftFlightPlan}));
    EXPECT_EQ(out[0].values, (std::vector<std::uint32_t>{101, 404, 74080, 2}));
    EXPECT_EQ(out[1].values[0], 102u);
    EXPECT_EQ(out[1].values[1], 405u);
    EXPECT_EQ(out[1].values[2], 1005u);
    EXPECT_EQ(out[2].values, (std::vector<std::uint32_t>{1005, 214, 0, 301, 0}));
    ASSERT_EQ(out[3].data.size(), 24u);
    double spoilers = 0;
    std::memcpy(&spoilers, out[3].data.data(), 8);
    EXPECT_EQ(spoilers, 100.0);
    EXPECT_EQ(out[4].texts.at(0), "C:\\orig_dest\\1005.pln");

    // After a failed request nothing more is asked, and nothing counts as failed.
    simRequestFailed = true;
    EXPECT_TRUE(port.requestWithinRange(74080));
    EXPECT_TRUE(port.requestFailed());
    EXPECT_TRUE(sent().empty());

    // Nor while a user error of the SimClient thread shows: its connection
    // is closed on purpose, and the run waits for the user.
    simRequestFailed = false;
    g_simUserError = 71;
    EXPECT_TRUE(port.requestFailed());
    EXPECT_TRUE(port.requestWithinRange(74080));
    EXPECT_TRUE(port.toggleAllLights(1005));
    EXPECT_TRUE(sent().empty());
    g_simUserError = 0;
}

TEST_F(SimClientPortThreaded, ABusyDrainAtALowFrameRateCostsOnePollOfPositions) {
    LiveAc ac;
    ac.status = AcStatus::active;
    ac.actNumber = 30001;
    PosSample far;
    far.dueTick = 2000000000;
    ac.stream = {far, far};
    ac.pos.latitude = 47.0;
    LiveAc& added = lf_appendLiveAc(std::move(ac));
    lf_setObjectId(added, 1005);
    simFrameRate = 30.0f;
    {
        std::unique_lock busy(simQueueMutex);
        std::thread(gf_updateAllLiveAc).join();
        EXPECT_TRUE(positionBuffers.back.empty());
        EXPECT_TRUE(positionBuffers.front.empty());
    }
    // The next poll gets through.
    gf_updateAllLiveAc();
    const std::lock_guard lock(simQueueMutex);
    ASSERT_EQ(positionBuffers.front.size(), 1u);
    EXPECT_EQ(positionBuffers.front[0].objectId, 1005u);
    EXPECT_EQ(positionBuffers.front[0].block.latitude, 47.0);
}

}  // namespace
}  // namespace skh
