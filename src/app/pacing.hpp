#pragma once
// Time as the run sees it: a clock that can be replaced in tests, the 10 ms
// pacing of the main loop, and which slow work a simulated second runs.
#include <chrono>
#include <cstdint>
#include <functional>

namespace skh {

using SteadyClock = std::chrono::steady_clock;
using SteadyTime = SteadyClock::time_point;
using Millis = std::chrono::milliseconds;

struct Clock {
    std::function<SteadyTime()> now;
    // Returns once `now` has reached the time.
    std::function<void(SteadyTime)> sleepUntil;

    void sleepFor(SteadyClock::duration d) const { sleepUntil(now() + d); }
};

// The steady clock; its sleeps end once the time is reached.
Clock gf_steadyClock();

// The clock every wait of the start-up, the run and the closing step uses.
const Clock& gf_runClock();
void gf_setRunClock(Clock clock);  // tests, while no run is under way

// The poll grid of the main loop: an absolute deadline advanced by the
// period, independent of how long a poll takes. A late poll is followed by
// polls without sleep until the grid has caught up with the clock, unless
// the per-second user data re-bases the grid on the current time first.
class PollPacer {
public:
    static constexpr Millis kPeriod{10};

    explicit PollPacer(const Clock& clock) : m_clock(clock) {}

    void start() { m_deadline = m_clock.now() + kPeriod; }
    // Waits for the next poll: sleeps when at least a whole millisecond is
    // left, re-bases when userDataReady() says so, advances the deadline.
    void waitForNextPoll(const std::function<bool()>& userDataReady);
    SteadyTime deadline() const { return m_deadline; }

private:
    const Clock& m_clock;
    SteadyTime m_deadline{};
};

// What the per-second work does in second t of the run (t >= 1). A multiple
// of 15 runs only the 15-second work (with its 30-, 60-, 1200- and
// 86400-second parts); the 16-, 59- and 61-second actions run only in the
// other seconds.
struct SecondActions {
    bool quarterMinute = false;    // 15: time to RealTraffic, reserved stand, re-read, summaries
    bool autoRange = false;        // 30
    bool nextRenewal = false;      // 60: minutes to the next renewal for the board
    bool renewal = false;          // 1200: unmatched types, static parking renewal
    bool daily = false;            // 86400: matching summary, second counter back to 0
    bool staticParking = false;    // 16
    bool readerCheck = false;      // 59
    bool duplicateStatic = false;  // 61
};
SecondActions secondActions(std::int32_t t);

}  // namespace skh
