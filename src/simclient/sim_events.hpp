#pragma once
// Reports from the SimClient thread to the main loop, queued under
// simEventMutex. Where both are held, simEventMutex is taken before
// simQueueMutex.
#include <cstdint>
#include <mutex>
#include <vector>

namespace skh {

enum class SimEventKind : std::uint32_t {
    objectCreated = 0,        // a live aircraft's object was adopted
    staticObjectCreated = 1,  // a static aircraft's object was adopted
    objectRemoved = 2,
    groundReport = 3,
    staticCgReport = 4,
    blocked = 5,  // never pushed by the simulator side
    createFailed = 6,
};

// The third value of a createFailed event that the simulator did not refuse:
// the creation was never answered and its record was given up.
inline constexpr std::uint32_t kCreateGivenUp = 1;

struct SimEvent {
    std::uint32_t objectId = 0;   // 0 for createFailed
    std::uint32_t actNumber = 0;  // for a ground report the SIM ON GROUND value
    std::uint32_t reserved = 0;   // createFailed: kCreateGivenUp, or 0 for a refusal
    SimEventKind kind = SimEventKind::objectCreated;
    double a = 0.0;  // ground altitude (ground report), static CG height (feet)
    double b = 0.0;  // altitude above ground (feet), static pitch (radians)
};

extern std::mutex simEventMutex;
extern std::vector<SimEvent> g_simEvents;  // guarded by simEventMutex

// Appends one event under simEventMutex.
void gf_pushSimEvent(const SimEvent& event);
// Takes every queued event, in order (the main loop's side).
std::vector<SimEvent> gf_takeSimEvents();

}  // namespace skh
