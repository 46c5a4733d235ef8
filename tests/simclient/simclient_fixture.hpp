#pragma once
// Shared helpers of the SimClient tests: the state of a fresh run, the data
// blocks the simulator answers with, and the packets a connection sent.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/sim_state.hpp"
#include "simconnect/connection.hpp"
#include "simclient/sim_events.hpp"
#include "simconnect/simconnect.hpp"
#include "support/sc_test_env.hpp"
#include "support/sc_wire.hpp"
#include "support/test_env.hpp"

namespace skh::test {

// The simulator side and the stop state as at the start of a run.
inline void resetRun() {
    gf_resetSimClient();
    gf_resetStopState();
    gf_takeSimEvents();
    gf_clearErrorMessage();
    gf_initQueues(5);
    SIM_INSTALL_PATH.value.set("D:\\Prepar3D v5");
    g_rtProfessional = false;
}

// The data of definition 403.
struct UserData {
    double lat = 47.4647, lon = 8.5492, pitch = 0, bank = 0, heading = 0, altitude = 1416, aboveGround = 0,
           groundVelocity = 0;
    std::int64_t zuluTime = 0, dayOfYear = 1, year = 2024, lights = 0;
};

inline Bytes userStateMessage(const UserData& u, std::uint32_t objectId = 1) {
    WireWriter w;
    w.f64(u.lat).f64(u.lon).f64(u.pitch).f64(u.bank).f64(u.heading).f64(u.altitude).f64(u.aboveGround);
    w.f64(u.groundVelocity).i64(u.zuluTime).i64(u.dayOfYear).i64(u.year).i64(u.lights);
    return scObjectDataMessage(false, 109, objectId, 403, 0, 0, 0, 12, w.bytes());
}

// One answer to request 101 (definition 404, by type), or with `newObject`
// the answer to request 111 about one new object.
inline Bytes withinRangeMessage(std::uint32_t objectId, double aboveGround, double groundAltitude,
                                std::int64_t onGround, const std::string& atcId, bool newObject = false) {
    WireWriter w;
    w.f64(aboveGround).f64(groundAltitude).i64(onGround).fixed(atcId, 32);
    return scObjectDataMessage(!newObject, newObject ? 111 : 101, objectId, 404, 0, 1, 1, 4, w.bytes());
}

// The packets a transport-less connection has queued, decoded.
inline std::vector<DecodedRequest> takeSent(HANDLE h) {
    std::vector<DecodedRequest> out;
    for (const auto& block : gf_scTakeOutgoing(h)) {
        DecodedRequest r;
        std::string error;
        EXPECT_TRUE(decodeRequest(block.bytes, r, error)) << error;
        out.push_back(std::move(r));
    }
    return out;
}

inline std::vector<ScRequestId> kindsOf(const std::vector<DecodedRequest>& requests) {
    std::vector<ScRequestId> kinds;
    for (const auto& r : requests) kinds.push_back(r.id);
    return kinds;
}

// A run whose connection has no transport: what it sends stays queued for
// takeSent.
class UnattachedRun : public ::testing::Test {
protected:
    void SetUp() override {
        resetRun();
        handle = gf_scOpenUnattached();
        const std::lock_guard lock(simQueueMutex);
        simConnectHandle = handle;
    }
    void TearDown() override {
        resetRun();
        SimConnect_Close(handle);
    }

    ScTestEnv env;
    ScopedLog log;
    HANDLE handle = nullptr;
};

}  // namespace skh::test
