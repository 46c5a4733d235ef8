#pragma once
// Everything the simulator sends, handled on the SimClient thread: the open
// reply with the check of the simulator, exceptions, system events, the
// Frame (which drains the request queues), the user aircraft's data, and the
// aircraft within range and the new objects asked for one by one, by which
// the objects the program created are adopted. Reports to the traffic
// control go out as SimEvents.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace skh {

// The dispatch callback given to SimConnect_CallDispatch.
void lf_dispatch(const std::byte* message, std::uint32_t size, void* context);

// Set by the simulator's quit message; the dispatch loop then ends.
bool lf_quitReceived();

// Clears what belongs to one connection: the creations sent and the objects
// announced (their ids mean nothing to another connection), the frame
// counter and the quit flag. At every successful open.
void lf_resetConnectionState();

// Forgets the previous user position, so the first one of a new run is never
// taken for a teleport.
void lf_resetUserTracking();

// The simulator's UTC time in seconds since 1970 from ZULU TIME (seconds of
// the day), ZULU DAY OF YEAR (1 for 1 January) and ZULU YEAR; nothing when the
// time of day is outside 0..86400 or the day outside 1..366 (the values come
// from the simulator and must not overflow the arithmetic).
std::optional<std::int64_t> gf_simEpochSeconds(std::int64_t zuluTime, std::int64_t dayOfYear, std::int64_t year);

}  // namespace skh
