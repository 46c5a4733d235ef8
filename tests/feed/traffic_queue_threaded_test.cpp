// The traffic queue when it is full: what it gives up, and the reader
// thread filling it while the main loop empties it.
#include <atomic>
#include <thread>
#include <vector>

#include "feed_fixture.hpp"

namespace skh::test {
namespace {

TrafficSample sampleOf(std::uint32_t act, double timestamp = 0.0) {
    TrafficSample s;
    s.actNumber = act;
    s.timestamp = timestamp;
    return s;
}

// The acts and timestamps in the order the queue hands them out.
std::vector<std::pair<std::uint32_t, double>> drain() {
    std::vector<std::pair<std::uint32_t, double>> out;
    TrafficSample s;
    while (gf_popTrafficSample(s)) out.emplace_back(s.actNumber, s.timestamp);
    return out;
}

// Fills the queue up to its limit with aircraft that have one sample each.
void fillWithSingles(std::uint32_t firstAct) {
    for (std::uint32_t act = firstAct; gf_trafficQueueSize() < kTrafficQueueLimit; ++act)
        gf_pushTrafficSample(sampleOf(act));
}

using TrafficQueue = FeedTest;
using TrafficQueueThreaded = FeedTest;

TEST_F(TrafficQueue, AFullQueueKeepsEveryAircraftsOldestSample) {
    using Out = std::pair<std::uint32_t, double>;
    struct Case {
        const char* label;
        std::vector<std::uint32_t> before;  // pushed first, then singles up to the limit
        bool takeFirst;                     // the first of them is taken before the others are pushed
        std::vector<std::uint32_t> next;    // pushed into the full queue, one after the other
        std::vector<Out> front;             // the first handed out afterwards
        Out last;                           // the last handed out
    };
    // Act 7's samples carry timestamps 1, 2, 3 in the order pushed; those pushed into the full queue 9, 10.
    const Case cases[] = {
        {"the oldest aircraft with more gives its second", {7, 7, 7}, false, {100}, {{7, 1.0}, {7, 3.0}}, {100, 9.0}},
        {"an aircraft's second sample gives way to its first", {7}, false, {7}, {{7, 1.0}, {50000, 0.0}}, {51998, 0.0}},
        // The sample given up no longer counts as waiting: the new aircraft's
        // only sample goes in, and the oldest of the singles makes room.
        {"a new aircraft after a sample given up", {7}, false, {7, 100}, {{50000, 0.0}, {50001, 0.0}}, {100, 10.0}},
        {"with one sample each the oldest goes", {}, false, {100}, {{50001, 0.0}, {50002, 0.0}}, {100, 9.0}},
        {"a sample taken no longer counts", {7, 7}, true, {100}, {{50000, 0.0}, {50001, 0.0}}, {100, 9.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        gf_clearTrafficQueue();
        double t = 0.0;
        for (const std::uint32_t act : c.before) {
            gf_pushTrafficSample(sampleOf(act, ++t));
            if (c.takeFirst && t == 1.0) {
                ASSERT_EQ(drain(), (std::vector<Out>{{act, 1.0}}));
            }
        }
        fillWithSingles(50000);
        double late = 8.0;
        for (const std::uint32_t act : c.next) ASSERT_TRUE(gf_pushTrafficSample(sampleOf(act, ++late)));
        EXPECT_EQ(gf_trafficQueueSize(), kTrafficQueueLimit);
        EXPECT_EQ(gf_trafficSamplesDropped(), c.next.size());
        const auto out = drain();
        ASSERT_EQ(out.size(), kTrafficQueueLimit);
        EXPECT_EQ(std::vector(out.begin(), out.begin() + 2), c.front);
        EXPECT_EQ(out.back(), c.last);
    }
    gf_clearTrafficQueue();
    EXPECT_EQ(gf_trafficSamplesDropped(), 0u);
}

// Three times the limit from the reader thread while the main loop takes a
// sample whenever the queue is full: nothing is lost unaccounted, the limit
// holds, and each aircraft's samples come out in the order they went in.
TEST_F(TrafficQueueThreaded, TheReaderFillsItWhileTheMainLoopTakes) {
    constexpr std::uint32_t kActs = 300;
    constexpr std::size_t kPushes = 3 * kTrafficQueueLimit;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (std::size_t i = 0; i < kPushes; ++i)
            gf_pushTrafficSample(sampleOf(10001 + static_cast<std::uint32_t>(i % kActs), static_cast<double>(i)));
        done = true;
    });
    std::vector<std::pair<std::uint32_t, double>> taken;
    std::size_t most = 0;
    TrafficSample s;
    while (!done.load()) {
        const std::size_t size = gf_trafficQueueSize();
        most = std::max(most, size);
        if (size == kTrafficQueueLimit && gf_popTrafficSample(s)) taken.emplace_back(s.actNumber, s.timestamp);
    }
    reader.join();
    for (const auto& x : drain()) taken.push_back(x);
    EXPECT_LE(most, kTrafficQueueLimit);
    EXPECT_EQ(taken.size() + gf_trafficSamplesDropped(), kPushes);
    std::vector<double> last(kActs, -1.0);
    std::size_t disordered = 0;
    for (const auto& [act, t] : taken) {
        double& l = last[act - 10001];
        if (t <= l) ++disordered;
        l = t;
    }
    EXPECT_EQ(disordered, 0u);
}

}  // namespace
}  // namespace skh::test
