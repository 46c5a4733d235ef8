#pragma once
// UTC time texts, and the weekday and half-hour slot of the time source (the
// latest RealTraffic timestamp when RealTraffic follows the simulator's time,
// else the PC clock).
#include <atomic>
#include <cstdint>
#include <string>

namespace skh {

// Seconds since 1970 of the time source.
std::int64_t gf_timeSourceNow();

// "Www Mmm dd hh:mm:ss yyyy", or "Invalid time".
std::string gf_timeText(std::int64_t seconds);
std::string gf_utcTimeOfDay();  // hh:mm:ss of the PC clock
std::string gf_dateText();      // "Mmm dd, yyyy" of the PC clock
std::string gf_timeOfDay();     // hh:mm:ss of the time source

// Weekday (1 Monday .. 7 Sunday) in the low 32 bits, half-hour slot (0..47)
// in the high 32 bits; -1 for a part that cannot be computed.
std::uint64_t gf_weekdayAndSlot();
// The same for a given time (one reading of the clock for both parts).
std::uint64_t gf_weekdayAndSlotAt(std::int64_t seconds);

// The weekday and half-hour slot of the run, refreshed by the start-up and
// once per simulated second by the main loop; read by the traffic control.
extern std::atomic<std::uint64_t> g_weekSlot;

inline std::int32_t gf_weekdayOf(std::uint64_t weekdayAndSlot) {
    return static_cast<std::int32_t>(weekdayAndSlot & 0xFFFFFFFFu);
}
inline std::int32_t gf_slotOf(std::uint64_t weekdayAndSlot) {
    return static_cast<std::int32_t>(weekdayAndSlot >> 32);
}

}  // namespace skh
