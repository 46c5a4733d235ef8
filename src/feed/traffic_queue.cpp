#include "feed/traffic_queue.hpp"

namespace skh {

std::mutex trafficMutex;
std::deque<TrafficSample> g_trafficQueue;
bool trafficAccepted = false;
constinit std::atomic<std::uint32_t> trafficTick{0};
constinit std::atomic<bool> collectCallsigns{false};
HeardCallsigns heardCallsigns;
constinit std::atomic<std::int32_t> g_qnh{kStandardQnh};

constinit std::atomic<std::uint64_t> g_trafficSamplesQueued{0};

bool gf_pushTrafficSample(TrafficSample&& sample) {
    const std::lock_guard lock(trafficMutex);
    if (!trafficAccepted) return false;
    g_trafficSamplesQueued.fetch_add(1, std::memory_order_relaxed);
    sample.pos.dueTick = static_cast<std::int32_t>(trafficTick.load(std::memory_order_relaxed) + kTrafficDelayTicks);
    sample.pos.consumed = 0;
    g_trafficQueue.push_back(std::move(sample));
    return true;
}

bool gf_popTrafficSample(TrafficSample& out) {
    const std::lock_guard lock(trafficMutex);
    if (g_trafficQueue.empty()) return false;
    out = std::move(g_trafficQueue.front());
    g_trafficQueue.pop_front();
    return true;
}

std::size_t gf_trafficQueueSize() {
    const std::lock_guard lock(trafficMutex);
    return g_trafficQueue.size();
}

void gf_setTrafficAccepted(bool accepted) {
    const std::lock_guard lock(trafficMutex);
    trafficAccepted = accepted;
}

void gf_clearTrafficQueue() {
    const std::lock_guard lock(trafficMutex);
    g_trafficQueue.clear();
}

void HeardCallsigns::add(std::string_view callsign) {
    const std::lock_guard lock(m_mutex);
    m_set.emplace(callsign);
}

void HeardCallsigns::clear() {
    const std::lock_guard lock(m_mutex);
    m_set.clear();
}

bool HeardCallsigns::contains(std::string_view callsign) const {
    const std::lock_guard lock(m_mutex);
    return m_set.find(std::string(callsign)) != m_set.end();
}

std::size_t HeardCallsigns::size() const {
    const std::lock_guard lock(m_mutex);
    return m_set.size();
}

std::unordered_set<std::string> HeardCallsigns::take() {
    const std::lock_guard lock(m_mutex);
    std::unordered_set<std::string> out;
    out.swap(m_set);
    return out;
}

}  // namespace skh
