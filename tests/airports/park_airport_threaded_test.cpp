// The window paints the park airport while the main loop chooses it, gives
// it up and sets its elevation at the load: every read is one whole airport
// (run under ThreadSanitizer, which also reports any read without the lock).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "airports/airport.hpp"
#include "support/test_env.hpp"

namespace skh {
namespace {

TEST(ParkAirportThreaded, ReadersSeeOneWholeAirportWhileTheMainLoopChangesIt) {
    const Airport zurich{"LSZH", "ZRH", 47.4647, 8.5492, 1416.0};
    const Airport heathrow{"EGLL", "LHR", 51.4775, -0.4614, 83.0};
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::thread painter([&] {
        while (!stop.load()) {
            const Airport a = gf_parkAirport();
            const bool whole = a.icao.empty()     ? a.iata.empty() && a.lat == 0.0
                               : a.icao == "LSZH" ? a.iata == "ZRH" && a.lat == zurich.lat
                                                  : a.icao == "EGLL" && a.iata == "LHR" && a.lat == heathrow.lat;
            if (!whole) ++torn;
            ++reads;
        }
    });
    ASSERT_TRUE(test::waitUntil([&] { return reads.load() > 0; }));
    for (int i = 0; i < 3000; ++i) {
        Airport next = i % 2 == 0 ? zurich : heathrow;
        gf_setParkAirport(next);
        next.elevation += 1.0;  // the load sets the elevation from the file
        gf_setParkAirport(next);
        if (i % 3 == 0) gf_clearParkAirport();
    }
    const int before = reads.load();
    EXPECT_TRUE(test::waitUntil([&] { return reads.load() > before; }));
    stop = true;
    painter.join();
    gf_clearParkAirport();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace skh
