#pragma once
// Where the traffic feed meets the traffic control: the queue of accepted
// traffic samples with its intake flag, the poll counter that dates them,
// the callsigns heard while a static-parking calculation collects them, and
// the QNH.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>

#include "feed/traffic_sample.hpp"

namespace skh {

// Guards the queue of traffic samples (kept in traffic_queue.cpp) and
// trafficAccepted.
extern std::mutex trafficMutex;
extern bool trafficAccepted;

// The most samples the queue holds: two seconds of a feed of 1,000 a
// second. The intake normally empties it every poll; only a main loop held
// up for seconds, or a feed faster than the intake, fills it.
inline constexpr std::size_t kTrafficQueueLimit = 2000;

// Main-loop polls (one every 10 ms while the simulator runs).
extern std::atomic<std::uint32_t> trafficTick;

// A sample is used 30 s (of 10-ms polls) after it arrived.
inline constexpr std::uint32_t kTrafficDelayTicks = 3000;

// Samples queued since the process started (for the closing step's summary).
extern std::atomic<std::uint64_t> g_trafficSamplesQueued;

// Under trafficMutex: when intake is open, dates the sample trafficTick +
// kTrafficDelayTicks, clears its consumed flag and moves it onto the back of
// the queue (true); otherwise the sample is discarded (false). A full queue
// first drops the second oldest sample of the oldest aircraft with more than
// one waiting (this one counted, and dropped when it is that sample): every
// aircraft's oldest still reaches the intake. When each aircraft has only
// one, the oldest goes.
bool gf_pushTrafficSample(TrafficSample&& sample);
// Takes the front sample; false when the queue is empty.
bool gf_popTrafficSample(TrafficSample& out);
std::size_t gf_trafficQueueSize();
// Samples a full queue dropped since it was last cleared.
std::uint64_t gf_trafficSamplesDropped();
void gf_setTrafficAccepted(bool accepted);
// Empties the queue and sets its dropped count back to 0.
void gf_clearTrafficQueue();

// Callsigns heard by the Traffic Reader while collectCallsigns is set.
class HeardCallsigns {
public:
    void add(std::string_view callsign);
    void clear();
    bool contains(std::string_view callsign) const;
    std::size_t size() const;
    // Hands the collected set over and leaves this one empty.
    std::unordered_set<std::string> take();

private:
    mutable std::mutex m_mutex;
    std::unordered_set<std::string> m_set;
};

extern std::atomic<bool> collectCallsigns;
extern HeardCallsigns heardCallsigns;

// The QNH in hPa, read by the movement code.
extern std::atomic<std::int32_t> g_qnh;
inline constexpr std::int32_t kStandardQnh = 1013;

}  // namespace skh
