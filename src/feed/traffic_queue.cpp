#include "feed/traffic_queue.hpp"

#include <algorithm>
#include <unordered_map>

namespace skh {

namespace {

// Samples in the queue per act number, under trafficMutex: tells a full
// queue which aircraft have newer samples waiting.
std::unordered_map<std::uint32_t, std::uint32_t> g_queuedPerAct;
// Written under trafficMutex; read by the main loop without it.
constinit std::atomic<std::uint64_t> g_samplesDropped{0};

void lf_countTaken(std::uint32_t act) {
    const auto it = g_queuedPerAct.find(act);
    if (it != g_queuedPerAct.end() && --it->second == 0) g_queuedPerAct.erase(it);
}

// Makes room in the full queue: an old sample of an aircraft with a newer
// one costs nothing but a position, while an aircraft's only sample may be
// what keeps it alive.
void lf_dropForRoom() {
    auto victim = std::find_if(g_trafficQueue.begin(), g_trafficQueue.end(), [](const TrafficSample& s) {
        const auto it = g_queuedPerAct.find(s.actNumber);
        return it != g_queuedPerAct.end() && it->second >= 2;
    });
    if (victim == g_trafficQueue.end()) victim = g_trafficQueue.begin();
    lf_countTaken(victim->actNumber);
    g_trafficQueue.erase(victim);
    g_samplesDropped.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

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
    // Counted first, so that an older sample of the same aircraft may go.
    ++g_queuedPerAct[sample.actNumber];
    if (g_trafficQueue.size() >= kTrafficQueueLimit) lf_dropForRoom();
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
    lf_countTaken(out.actNumber);
    return true;
}

std::size_t gf_trafficQueueSize() {
    const std::lock_guard lock(trafficMutex);
    return g_trafficQueue.size();
}

std::uint64_t gf_trafficSamplesDropped() { return g_samplesDropped.load(std::memory_order_relaxed); }

void gf_setTrafficAccepted(bool accepted) {
    const std::lock_guard lock(trafficMutex);
    trafficAccepted = accepted;
}

void gf_clearTrafficQueue() {
    const std::lock_guard lock(trafficMutex);
    g_trafficQueue.clear();
    g_queuedPerAct.clear();
    g_samplesDropped.store(0, std::memory_order_relaxed);
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
