#include "app/pacing.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "support/fake_clock.hpp"

namespace skh {
namespace {

using namespace std::chrono_literals;

TEST(SecondActions, TheScheduleOfTheSlowerWork) {
    struct Case {
        std::int32_t t;
        bool quarter, autoRange, nextRenewal, renewal, daily, parking, readers, duplicates;
    };
    const Case cases[] = {
        {1, false, false, false, false, false, false, false, false},
        {15, true, false, false, false, false, false, false, false},
        {16, false, false, false, false, false, true, false, false},
        {30, true, true, false, false, false, false, false, false},
        {59, false, false, false, false, false, false, true, false},
        {61, false, false, false, false, false, false, false, true},
        {240, true, true, true, false, false, false, false, false},    // also 16: skipped
        {885, true, false, false, false, false, false, false, false},  // also 59: skipped
        {900, true, true, true, false, false, false, false, false},
        {976, false, false, false, false, false, true, false, true},  // 16 x 61
        {1200, true, true, true, true, false, false, false, false},
        {3599, false, false, false, false, false, false, true, true},  // 59 x 61
        {86400, true, true, true, true, true, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        const SecondActions a = secondActions(c.t);
        EXPECT_EQ(a.quarterMinute, c.quarter);
        EXPECT_EQ(a.autoRange, c.autoRange);
        EXPECT_EQ(a.nextRenewal, c.nextRenewal);
        EXPECT_EQ(a.renewal, c.renewal);
        EXPECT_EQ(a.daily, c.daily);
        EXPECT_EQ(a.staticParking, c.parking);
        EXPECT_EQ(a.readerCheck, c.readers);
        EXPECT_EQ(a.duplicateStatic, c.duplicates);
    }
}

TEST(PollPacer, KeepsTheGridCatchesUpAndRebases) {
    test::FakeClock fake;
    const Clock clock = fake.clock();
    PollPacer pacer(clock);
    const SteadyTime t0 = fake.now();
    pacer.start();
    const auto never = [] { return false; };

    // Idle: every poll sleeps to the next 10 ms mark; no drift after 1000.
    for (int i = 0; i < 1000; ++i) pacer.waitForNextPoll(never);
    EXPECT_EQ(fake.now() - t0, 10000ms);
    EXPECT_EQ(fake.sleeps().size(), 1000u);

    // A poll that takes 35 ms: the next three run at once, then the grid holds.
    fake.advance(35ms);
    const auto slept = fake.sleeps().size();
    for (int i = 0; i < 3; ++i) pacer.waitForNextPoll(never);
    EXPECT_EQ(fake.sleeps().size(), slept);
    EXPECT_EQ(fake.now() - t0, 10035ms);
    pacer.waitForNextPoll(never);
    EXPECT_EQ(fake.now() - t0, 10040ms);  // back on the grid
    pacer.waitForNextPoll(never);
    EXPECT_EQ(fake.now() - t0, 10050ms);

    // Less than a whole millisecond left: no sleep.
    fake.advance(9500us);
    pacer.waitForNextPoll(never);
    EXPECT_EQ(fake.now() - t0, 10059500us);

    // The per-second data re-bases the grid on the moment it is seen.
    fake.advance(3ms);  // 10062.5: the grid was at 10070
    pacer.waitForNextPoll([] { return true; });
    EXPECT_EQ(pacer.deadline() - t0, 10080ms);
    fake.advance(17ms);  // a late poll with data: a new grid from now, no catching up
    pacer.waitForNextPoll([] { return true; });
    EXPECT_EQ(pacer.deadline() - t0, 10097ms);
}

}  // namespace
}  // namespace skh
