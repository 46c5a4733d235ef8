#pragma once
// The state of a run that the start-up worker, the main loop and the closing
// step share, and the requests the main window raises for the main loop.
// Unless said otherwise a value is touched only on the start-up worker
// thread (which runs the start-up, the run, the main loop and the closing).
#include <atomic>
#include <cstdint>
#include <thread>

#include "foundation/geo.hpp"

namespace skh {

// The SimClient thread of the run; a new run stops and joins the previous
// one, the closing step stops and joins it.
extern std::jthread g_simClientJThread;

extern std::atomic<std::int32_t> g_secondTick;  // seconds of the run; keys the slower work (the window reads it)
extern bool g_flightPaused;                  // the flight stopped running and has not resumed
extern bool g_renewalPending;                // first renewal phase done, second due
extern GeoPos g_lastUserGroundPos;           // user position at the last static collision check
extern std::uint32_t g_maxLiveAtStart;       // MAX_LIVE_SEL at start-up
extern std::int32_t g_rangeAtStart;          // RANGE at start-up
extern bool g_startupDone;                   // the aircraft database is read in this process
extern std::uint64_t g_queuedAtReaderStart;  // traffic samples queued before this run's readers started

// Raised by the main window (UI thread) or the periodic work, consumed by
// the per-second work.
extern std::atomic<bool> g_renewalRequested;
extern std::atomic<bool> g_flushStaticRequested;
extern std::atomic<bool> g_listNamesRequested;
extern std::atomic<bool> g_blockRequested;
extern std::atomic<bool> g_rereadRequested;

}  // namespace skh
