#pragma once
// Puts every piece of state the feed shares with the rest of the program back
// to a known start, so tests run alone or together in one process.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "airports/airport.hpp"
#include "app/app_state.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/upcalls.hpp"
#include "feed/readers.hpp"
#include "feed/realtraffic_link.hpp"
#include "foundation/parameter_table.hpp"
#include "support/fake_realtraffic.hpp"
#include "support/test_env.hpp"
#include "feed/live_removal.hpp"
#include "feed/traffic_queue.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh::test {

inline void resetFeedState() {
    gf_closeRealTrafficLink();
    gf_stopReaders();
    gf_joinReaders();
    gf_resetStopState();
    gf_clearErrorMessage();
    g_trafficTime = 0.0;
    g_rtProfessional = false;
    g_rtOnThisPc = true;
    g_runStarting = false;
    g_rtReplyTimeoutMs = 2000;
    g_rtAcceptSliceMs = 1000;
    g_mainWindowState.trafficLamp = LampOff;
    g_mainWindowState.weatherLamp = LampOff;
    g_mainWindowState.realTrafficConnected = false;
    g_mainWindowState.realTrafficEdition.set("");
    g_mainWindowState.qnhShown = 1013;
    gf_clearTrafficQueue();
    gf_setTrafficAccepted(true);
    trafficTick = 0;
    collectCallsigns = false;
    heardCallsigns.clear();
    g_qnh = kStandardQnh;
    g_qnhReader.lastQnh = kStandardQnh;
    for (UdpReader* r : {static_cast<UdpReader*>(&g_trafficReader), static_cast<UdpReader*>(&g_qnhReader)}) {
        r->stopFlag = false;
        r->datagramCounter = 0;
        r->lastCounter = 0;
        r->shownActive = false;
        r->setWaitTimeoutMs(20);
        r->logUnloggedBadDatagrams();  // each test's bad lines are logged from the first
    }
    g_trafficReader.setUserPos(kDefaultLat, kDefaultLon);
    gf_clearParkAirport();
    gf_setParkElevation(std::nullopt);
    AIRBORNE_ONLY.value = false;
    AEROWINX.value = false;
    g_rangeNm = 40.0;
    gf_setLiveRemovalHook({});
    gf_setUserAcCopy(UserAcState{});
}

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override { resetFeedState(); }
    void TearDown() override { resetFeedState(); }
    ScopedLog log;
};

}  // namespace skh::test
