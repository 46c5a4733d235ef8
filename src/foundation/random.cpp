#include "foundation/random.hpp"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "foundation/parameter_table.hpp"

namespace skh {

std::int32_t g_maxTasks = 1;
std::atomic<std::int32_t> g_activeTasks{0};

std::mt19937& gf_randomEngine() {
    thread_local std::mt19937 e{std::random_device{}()};
    return e;
}

void gf_seedRandom(std::uint32_t seed) { gf_randomEngine().seed(seed); }

std::uint64_t gf_randomIndex(std::int64_t n) {
    if (!RANDOM.value.load() || n < 2) return 0;
    return static_cast<std::uint64_t>(gf_randomEngine()()) % static_cast<std::uint64_t>(n);
}

void gf_shuffle(std::vector<std::string>& list) {
    if (RANDOM.value.load() && list.size() > 1) std::shuffle(list.begin(), list.end(), gf_randomEngine());
}

double gf_randomSpread(double value, double percent) {
    const double sign = (gf_randomEngine()() & 1u) == 0 ? 1.0 : -1.0;
    if (percent <= 0.0) return value;
    return value + sign * value * percent / 100.0;
}

void gf_initTaskThrottle() {
    const unsigned n = std::thread::hardware_concurrency();
    g_maxTasks = n == 0 ? 1 : static_cast<std::int32_t>(std::min(n, 1024u));
    g_activeTasks = 0;
}

void gf_waitForTaskSlot() {
    // Whatever set the limit, one task may always run.
    const std::int32_t limit = std::max<std::int32_t>(g_maxTasks, 1);
    while (g_activeTasks.load() >= limit) {
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + std::chrono::microseconds(10));
    }
}

void gf_takeTaskSlot() { g_activeTasks.fetch_add(1); }

void gf_releaseTaskSlot() { g_activeTasks.fetch_sub(1); }

}  // namespace skh
