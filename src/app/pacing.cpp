#include "app/pacing.hpp"

#include <thread>

namespace skh {

namespace {

// Replaced only while no run is under way (tests).
Clock g_runClock = gf_steadyClock();

bool multipleOf(std::int32_t t, std::int32_t n) { return t % n == 0; }

}  // namespace

Clock gf_steadyClock() {
    // The steady clock sleeps to the moment asked for, finer than the whole
    // milliseconds of the 1 ms timer resolution the loop asks for.
    return Clock{[] { return SteadyClock::now(); },
                 [](SteadyTime until) {
                     while (SteadyClock::now() < until) std::this_thread::sleep_until(until);
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
