// The SimClient thread reports the user aircraft and asks for the stand work
// while the main loop reloads the stands, reorders the park airports and
// writes their file: nothing of the stands or the list is touched by the
// SimClient side (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "airports/airport.hpp"
#include "airports/stand.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/main_window_state.hpp"
#include "simclient/sim_state.hpp"
#include "simclient/user_aircraft.hpp"
#include "support/test_env.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/user_stand.hpp"

namespace skh {
namespace {

namespace fs = std::filesystem;

TEST(ParkAirportsThreaded, TheSimClientSideOnlyAsksWhileTheMainLoopChangesEverything) {
    test::TempDir dir;
    test::ScopedCwd cwd(dir.path());
    test::ScopedLog log;
    fs::create_directories(g_myThirdpartyFolder);
    const auto savedAirports = g_airports;
    g_airports = {{"EGKK", "LGW", 51.15, -0.19, 202}, {"EGLL", "LHR", 51.47, -0.45, 83}};
    test::writeFile(g_parkAirportsFile, "EGLL\nEGKK\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    gf_setParkAirport(g_airports[1]);

    std::atomic<bool> stop{false};
    std::thread simClient([&] {
        // What the handlers do with each user report and flight event.
        for (int i = 0; i < 4000 && !stop.load(); ++i) {
            UserAcState s;
            s.latitude = 51.47 + (i % 3) * 0.0001;
            s.longitude = -0.45;
            {
                const std::lock_guard lock(simQueueMutex);
                g_userAcState = s;
            }
            userOnGround = true;
            userOnGroundKnown = true;
            g_userStandCheckWanted = true;
            if (i % 7 == 0) g_parkStandUpdateWanted = true;
            std::this_thread::yield();
        }
    });
    // The main loop: the stand work, stands reloaded, the list re-sorted and written.
    for (int i = 0; i < 150; ++i) {
        gf_setUserAcCopy(gf_userAcState());
        gf_userStandWork();
        g_stands = {gf_makeStand(skh::format("S{}", i % 5), {}, 51.47, -0.45, 0.0, 30.0, false, false, false),
                    gf_makeStand("B", {}, 51.4701, -0.45, 0.0, 30.0, false, false, false)};
        gf_standsChanged();
        g_parkAirports.sort([](const ParkAirportEntry& a, const ParkAirportEntry& b) { return a.code > b.code; });
        if (g_parkAirports.front().code != "EGLL") g_parkAirports.reverse();
        gf_updateMyParkAirports();
        if (i % 30 == 0) {
            ASSERT_TRUE(lf_readMyParkAirports());
        }
    }
    stop = true;
    simClient.join();
    gf_userStandWork();
    const std::string text = test::readFile(g_parkAirportsFile);
    EXPECT_TRUE(text.rfind("EGKK\nEGLL", 0) == 0) << text;

    g_stands.clear();
    g_parkAirports.clear();
    g_airports = savedAirports;
    gf_clearParkAirport();
    userOnGround = false;
    userOnGroundKnown = false;
    g_userStandCheckWanted = false;
    g_parkStandUpdateWanted = false;
    g_mainWindowState.userStand.set("");
}

}  // namespace
}  // namespace skh
