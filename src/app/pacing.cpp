#include "app/pacing.hpp"

#include <thread>

namespace skh {

namespace {

// Replaced only while no run is under way (tests).
Clock g_runClock = gf_steadyClock();

bool multipleOf(std::int32_t t, std::int32_t n) { return t % n == 0; }

}  // namespace

Clock gf_steadyClock() {
    return Clock{[] { return SteadyClock::now(); },
                 [](SteadyTime until) {
                     // Whole milliseconds, rounded up, at most a day per sleep.
                     constexpr Millis kDay{24 * 3600 * 1000};
                     for (;;) {
                         const auto left = until - SteadyClock::now();
                         if (left <= SteadyClock::duration::zero()) return;
                         std::this_thread::sleep_for(std::min(std::chrono::ceil<Millis>(left), kDay));
                     }
                 }};
}

const Clock& gf_runClock() { return g_runClock; }

void gf_setRunClock(Clock clock) { g_runClock = std::move(clock); }

void PollPacer::waitForNextPoll(const std::function<bool()>& userDataReady) {
    const auto left = std::chrono::duration_cast<Millis>(m_deadline - m_clock.now());
    if (left >= Millis(1)) m_clock.sleepUntil(m_deadline);
    if (userDataReady()) m_deadline = m_clock.now();
    m_deadline += kPeriod;
}

SecondActions secondActions(std::int32_t t) {
    SecondActions a;
    if (multipleOf(t, 15)) {
        a.quarterMinute = true;
        a.autoRange = multipleOf(t, 30);
        a.nextRenewal = multipleOf(t, 60);
        a.renewal = multipleOf(t, 1200);
        a.daily = multipleOf(t, 86400);
    } else {
        a.staticParking = multipleOf(t, 16);
        a.readerCheck = multipleOf(t, 59);
        a.duplicateStatic = multipleOf(t, 61);
    }
    return a;
}

}  // namespace skh
