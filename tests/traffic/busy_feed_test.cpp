// A busy hub: 600 aircraft circling in range, each reporting every 2 s, 300
// samples a second, more than two a poll. Every aircraft must be kept, with
// the intake keeping up, and with an intake that cannot (the queue bounded).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/geo.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic_fixture.hpp"

namespace skh {
namespace {

using test::TrafficTest;

class BusyFeed : public TrafficTest {
protected:
    static constexpr std::uint32_t kFleet = 600;
    static constexpr int kReportEveryPolls = 200;
    static constexpr std::uint32_t kFirstAct = 20001;

    std::size_t queueMost = 0;
    std::size_t adopted = 0;

    // Aircraft i circles at 250 kt, 3 nm round its own centre, well away
    // from the user's level; a third of the fleet reports in each poll.
    static TrafficSample report(std::uint32_t i, int poll) {
        const double seconds = poll / 100.0;
        const double bearing = 0.023 * seconds + 0.37 * i;
        const GeoPos centre{47.2 + 0.05 * (i % 25), 8.2 + 0.05 * (i / 25)};
        const GeoPos at = gf_destinationPoint(centre, bearing, 18000.0);
        return sample(kFirstAct + i, "BH" + std::to_string(i), "A320", at.lat, at.lon, 8000.0 + 20.0 * (i % 100), 250.0,
                      std::fmod(bearing * RAD2DEG + 90.0, 360.0), 1000.0 + seconds);
    }

    // Runs the polls with the fleet reporting, and the simulator adopting
    // every creation it is handed.
    void fly(int pollCount) {
        for (int poll = 0; poll < pollCount; ++poll) {
            for (std::uint32_t i = static_cast<std::uint32_t>(poll % kReportEveryPolls); i < kFleet;
                 i += kReportEveryPolls)
                push(report(i, poll));
            queueMost = std::max(queueMost, gf_trafficQueueSize());
            polls(1);
            for (; adopted < port.creates.size(); ++adopted)
                adopt(port.creates[adopted].actNumber, 5000 + static_cast<std::uint32_t>(adopted));
        }
    }

    // After `seconds` of the feed.
    void expectEveryAircraftKept(int seconds) {
        std::size_t missing = 0, active = 0;
        for (std::uint32_t i = 0; i < kFleet; ++i) {
            const LiveAc* ac = live(kFirstAct + i);
            if (ac == nullptr || ac->dropUnsent != 0 || ac->dropQueued != 0) {
                ++missing;
            } else if (ac->status == AcStatus::active) {
                ++active;
            }
        }
        EXPECT_EQ(missing, 0u);
        const auto& dropped = g_trafficCounts.dropped;
        EXPECT_EQ(std::count(dropped.begin(), dropped.end(), 0u), static_cast<std::ptrdiff_t>(dropped.size()))
            << gf_trafficCountsText();
        EXPECT_TRUE(port.removes.empty());
        // Two creations a second from the first due sample on (30 s): all
        // of them adopted and active but the last few.
        EXPECT_GE(port.creates.size(), static_cast<std::size_t>(2 * (seconds - 32)));
        EXPECT_GE(active + 6, port.creates.size());
    }

    std::size_t behindLines() const {
        const auto lines = log.lines();
        return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("Traffic intake falls behind") != std::string::npos;
        }));
    }
};

TEST_F(BusyFeed, ThreeHundredSamplesASecondKeepEveryAircraft) {
    fly(9000);
    EXPECT_LE(queueMost, 100u);  // what arrives in a poll is taken in it
    expectEveryAircraftKept(90);
    EXPECT_EQ(behindLines(), 0u);
}

TEST_F(BusyFeed, AnIntakeThatFallsBehindKeepsEveryAircraftAndSaysSoOnce) {
    // The intake's clock runs a whole budget between two looks: two samples
    // a poll, 200 a second, fewer than arrive.
    std::int64_t us = 0;
    gf_trafficServices().steadyUs = [&us] { return us += kIntakeBudgetUs; };
    fly(6000);
    EXPECT_EQ(queueMost, kTrafficQueueLimit);
    EXPECT_GT(gf_trafficSamplesDropped(), 3000u);
    expectEveryAircraftKept(60);
    ASSERT_EQ(behindLines(), 1u);
    EXPECT_TRUE(log.contains("300 samples arrived and 200 were taken in the last 100 polls")) << log.text();
}

}  // namespace
}  // namespace skh
