#include "feed/traffic_queue.hpp"

#include <algorithm>
#include <deque>
#include <unordered_map>

namespace skh {

namespace {

// The queue, all under trafficMutex: the samples, and beside them in the
// same order small slots that the search of a full queue runs through. A
// sample given up stays in place, marked, until it reaches the front or the
// queue is compacted, so that a drop moves nothing.
struct Slot {
    std::uint32_t act = 0;
    bool dropped = false;
};
std::deque<TrafficSample> g_samples;
std::deque<Slot> g_slots;
std::size_t g_waiting = 0;  // the samples not dropped
// Waiting samples per act number: tells a full queue which aircraft have
// more than one.
std::unordered_map<std::uint32_t, std::uint32_t> g_waitingPerAct;
// Written under trafficMutex; read by the main loop without it.
constinit std::atomic<std::uint64_t> g_samplesDropped{0};

void lf_countOut(std::uint32_t act) {
    const auto it = g_waitingPerAct.find(act);
    if (it != g_waitingPerAct.end() && --it->second == 0) g_waitingPerAct.erase(it);
}

void lf_markDropped(Slot& slot) {
    slot.dropped = true;
    --g_waiting;
    lf_countOut(slot.act);
    g_samplesDropped.fetch_add(1, std::memory_order_relaxed);
}

// Makes room in the full queue, the sample to come already counted. The
// oldest aircraft with more than one sample waiting gives up its second
// oldest: its oldest, like every aircraft's, still reaches the intake, so
// none is starved of positions. With one sample each, the oldest goes.
// False when the sample to come is the one given up.
bool lf_dropForRoom() {
    const auto begin = g_slots.begin(), end = g_slots.end();
    const auto first = std::find_if(begin, end, [](const Slot& slot) {
        if (slot.dropped) return false;
        const auto it = g_waitingPerAct.find(slot.act);
        return it != g_waitingPerAct.end() && it->second >= 2;
    });
    if (first == end) {
        lf_markDropped(*std::find_if(begin, end, [](const Slot& slot) { return !slot.dropped; }));
        return true;
    }
    const std::uint32_t act = first->act;
    const auto second =
        std::find_if(std::next(first), end, [act](const Slot& slot) { return !slot.dropped && slot.act == act; });
    if (second != end) {
        lf_markDropped(*second);
        return true;
    }
    lf_countOut(act);
    g_samplesDropped.fetch_add(1, std::memory_order_relaxed);
    return false;
}

// Takes the given-up samples out once they are as many as the waiting ones.
void lf_compact() {
    if (g_slots.size() < 2 * kTrafficQueueLimit) return;
    std::deque<TrafficSample> samples;
    std::deque<Slot> slots;
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        if (g_slots[i].dropped) continue;
        samples.push_back(std::move(g_samples[i]));
        slots.push_back(g_slots[i]);
    }
    g_samples.swap(samples);
    g_slots.swap(slots);
}

}  // namespace

std::mutex trafficMutex;
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
    ++g_waitingPerAct[sample.actNumber];
    if (g_waiting >= kTrafficQueueLimit) {
        if (!lf_dropForRoom()) return true;
        lf_compact();
    }
    sample.pos.dueTick = static_cast<std::int32_t>(trafficTick.load(std::memory_order_relaxed) + kTrafficDelayTicks);
    sample.pos.consumed = 0;
    g_slots.push_back({sample.actNumber, false});
    g_samples.push_back(std::move(sample));
    ++g_waiting;
    return true;
}

bool gf_popTrafficSample(TrafficSample& out) {
    const std::lock_guard lock(trafficMutex);
    while (!g_slots.empty() && g_slots.front().dropped) {
        g_slots.pop_front();
        g_samples.pop_front();
    }
    if (g_slots.empty()) return false;
    out = std::move(g_samples.front());
    g_samples.pop_front();
    g_slots.pop_front();
    --g_waiting;
    lf_countOut(out.actNumber);
    return true;
}

std::size_t gf_trafficQueueSize() {
    const std::lock_guard lock(trafficMutex);
    return g_waiting;
}

std::uint64_t gf_trafficSamplesDropped() { return g_samplesDropped.load(std::memory_order_relaxed); }

void gf_setTrafficAccepted(bool accepted) {
    const std::lock_guard lock(trafficMutex);
    trafficAccepted = accepted;
}

void gf_clearTrafficQueue() {
    const std::lock_guard lock(trafficMutex);
    g_samples.clear();
    g_slots.clear();
    g_waiting = 0;
    g_waitingPerAct.clear();
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
