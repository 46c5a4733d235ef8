#pragma once
// A clock for the run's waits that never sleeps: time moves only when the
// code under test sleeps (or the test advances it), and every sleep is
// recorded. A hook runs on each sleep, so a test can act "meanwhile".
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/pacing.hpp"

namespace skh::test {

class FakeClock {
public:
    FakeClock() : m_now(SteadyTime{} + std::chrono::hours(1)) {}

    Clock clock() {
        return Clock{[this] { return now(); }, [this](SteadyTime until) { sleepUntil(until); }};
    }
    SteadyTime now() const {
        const std::lock_guard lock(m_mutex);
        return m_now;
    }
    void advance(SteadyClock::duration d) {
        const std::lock_guard lock(m_mutex);
        m_now += d;
    }
    std::vector<SteadyClock::duration> sleeps() const {
        const std::lock_guard lock(m_mutex);
        return m_sleeps;
    }
    // Runs after each sleep, with the number of sleeps so far.
    void onSleep(std::function<void(std::size_t)> hook) { m_hook = std::move(hook); }

private:
    void sleepUntil(SteadyTime until) {
        std::size_t count = 0;
        {
            const std::lock_guard lock(m_mutex);
            m_sleeps.push_back(until - m_now);
            if (until > m_now) m_now = until;
            count = m_sleeps.size();
        }
        if (m_hook) m_hook(count);
    }

    mutable std::mutex m_mutex;
    SteadyTime m_now;
    std::vector<SteadyClock::duration> m_sleeps;
    std::function<void(std::size_t)> m_hook;
};

// Real time, run faster: a sleep lasts 1/factor of what was asked and the
// clock then shows the whole time asked as passed. For whole runs against
// the fakes, whose own threads run in real time.
class FastClock {
public:
    explicit FastClock(double factor) : m_factor(factor) {}

    Clock clock() {
        return Clock{[this] { return now(); }, [this](SteadyTime until) { sleepUntil(until); }};
    }
    SteadyTime now() const { return SteadyClock::now() + SteadyClock::duration(m_offset.load()); }
    // The sleeps asked for (virtual time).
    std::vector<SteadyClock::duration> sleeps() const {
        const std::lock_guard lock(m_mutex);
        return m_sleeps;
    }

private:
    void sleepUntil(SteadyTime until) {
        const auto asked = until - now();
        if (asked <= SteadyClock::duration::zero()) return;
        const auto real = std::chrono::duration_cast<SteadyClock::duration>(asked / m_factor);
        std::this_thread::sleep_for(real);
        m_offset.fetch_add((asked - real).count());
        const std::lock_guard lock(m_mutex);
        if (asked >= std::chrono::milliseconds(100)) m_sleeps.push_back(asked);
    }

    double m_factor;
    std::atomic<SteadyClock::rep> m_offset{0};
    mutable std::mutex m_mutex;
    std::vector<SteadyClock::duration> m_sleeps;  // the long ones only: the poll sleeps are many
};

}  // namespace skh::test
