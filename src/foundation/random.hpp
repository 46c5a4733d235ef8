#pragma once
// Random choices (switched off by the RANDOM setting, which makes every choice
// the first one) and the throttle of parallel scan tasks.
#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace skh {

std::uint64_t gf_randomIndex(std::int64_t n);  // 0 .. n-1
// The calling thread's generator (seeded once from std::random_device), for
// shuffles of other lists; gf_seedRandom makes it repeatable (tests).
std::mt19937& gf_randomEngine();
void gf_seedRandom(std::uint32_t seed);
void gf_shuffle(std::vector<std::string>& list);
// value +/- percent of itself, the sign drawn at random; not switched off by RANDOM.
double gf_randomSpread(double value, double percent);

extern std::int32_t g_maxTasks;
extern std::atomic<std::int32_t> g_activeTasks;

// Sets g_maxTasks to the processor count (at least 1) and g_activeTasks to 0.
void gf_initTaskThrottle();
// Returns when fewer than g_maxTasks tasks run; the caller then takes the
// slot with gf_takeTaskSlot (or increments g_activeTasks itself).
void gf_waitForTaskSlot();
void gf_takeTaskSlot();
void gf_releaseTaskSlot();

// Releases a task slot when the task's scope ends, however it ends.
class TaskSlotGuard {
public:
    TaskSlotGuard() = default;
    TaskSlotGuard(const TaskSlotGuard&) = delete;
    TaskSlotGuard& operator=(const TaskSlotGuard&) = delete;
    ~TaskSlotGuard() { gf_releaseTaskSlot(); }
};

}  // namespace skh
