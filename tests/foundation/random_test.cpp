#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"

namespace skh {
namespace {

TEST(Random, OffMakesEveryChoiceTheFirst) {
    RANDOM.value = false;
    for (std::int64_t n : {0, 1, 2, 50}) EXPECT_EQ(gf_randomIndex(n), 0u);
    std::vector<std::string> list{"a", "b", "c", "d"};
    gf_shuffle(list);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b", "c", "d"}));
    RANDOM.value = true;
}

TEST(Random, IndicesStayInRangeAndVary) {
    EXPECT_EQ(gf_randomIndex(1), 0u);
    EXPECT_EQ(gf_randomIndex(0), 0u);
    EXPECT_EQ(gf_randomIndex(-5), 0u);
    std::set<std::uint64_t> seen;
    for (int i = 0; i < 500; ++i) {
        const auto v = gf_randomIndex(5);
        ASSERT_LT(v, 5u);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 5u);
}

TEST(Random, SpreadIsPlusOrMinusThePercentage) {
    RANDOM.value = false;  // the spread ignores the setting
    std::set<double> seen;
    for (int i = 0; i < 200; ++i) {
        const double v = gf_randomSpread(100.0, 10.0);
        ASSERT_TRUE(v == 110.0 || v == 90.0) << v;
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(gf_randomSpread(100.0, 0.0), 100.0);
    EXPECT_EQ(gf_randomSpread(100.0, -5.0), 100.0);
    RANDOM.value = true;
}

TEST(TaskThrottleThreaded, AFifthTaskWaitsForAFreeSlot) {
    gf_initTaskThrottle();
    EXPECT_GE(g_maxTasks, 1);
    g_maxTasks = 4;
    for (int i = 0; i < 4; ++i) gf_takeTaskSlot();
    std::atomic<bool> started{false};
    std::thread fifth([&] {
        gf_waitForTaskSlot();
        gf_takeTaskSlot();
        started = true;
        TaskSlotGuard guard;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(started.load());
    { TaskSlotGuard release; }  // one running task ends
    fifth.join();
    EXPECT_TRUE(started.load());
    EXPECT_EQ(g_activeTasks.load(), 3);

    // A limit of 0 or below still lets one task run at a time.
    for (int limit : {0, -1}) {
        g_maxTasks = limit;
        while (g_activeTasks.load() > 0) gf_releaseTaskSlot();
        auto first = std::async(std::launch::async, [] { gf_waitForTaskSlot(); });
        EXPECT_EQ(first.wait_for(std::chrono::seconds(20)), std::future_status::ready) << limit;
        g_maxTasks = 1;  // lets a waiter that hung go
    }
    gf_initTaskThrottle();
}

}  // namespace
}  // namespace skh
