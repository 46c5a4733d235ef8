#include "simclient/sim_events.hpp"

namespace skh {

std::mutex simEventMutex;
std::vector<SimEvent> g_simEvents;

void gf_pushSimEvent(const SimEvent& event) {
    const std::lock_guard lock(simEventMutex);
    g_simEvents.push_back(event);
}

std::vector<SimEvent> gf_takeSimEvents() {
    std::vector<SimEvent> taken;
    const std::lock_guard lock(simEventMutex);
    taken.swap(g_simEvents);
    return taken;
}

}  // namespace skh
