#pragma once
// The main loop: a poll every 10 ms on the start-up worker thread while the
// run lasts; every poll the traffic step, every simulated second the slower
// work, and while the flight is paused only the simulator events.
#include <atomic>
#include <cstdint>

#include "app/pacing.hpp"

namespace skh {

// The user's RANGE value, kept while the automatic range is in force.
extern std::atomic<std::int32_t> g_manualRange;

// Polls until a stop flag is set.
void lf_mainLoop(const Clock& clock);

// One poll; false when the run is to end.
bool lf_simTick();
void lf_handleFlightNotRunning();
void lf_secondTick();
void lf_periodicSummaries(const SecondActions& actions);
void lf_enableAfterReservedStand();
// The requests of the main window's handlers, done on this thread.
void lf_handleUiRequests();

// RANGE from the user aircraft while the automatic range is in force: 10 nm
// on the ground, 100 above AR_ABOVE_HEIGHT, 40 above AIRP_HEIGHT, else by the
// distance to the first park airport.
void gf_updateAutoRange();
// The automatic range comes into force: RANGE is kept as the user's range
// (any thread; the automatic value is the main loop's to set).
void gf_keepManualRange();
// The automatic range ends: the user's range comes back at once (any thread).
void gf_restoreManualRange();
// AUTO_RANGE switched on: the user's range is kept and RANGE set from the
// user aircraft; switched off: the user's range comes back (the run's thread).
void gf_switchAutoRange(bool on);
// The same switch made by an airport's learned file, which also sets the
// controls the AUTO_RANGE check box sets when the user clicks it.
void gf_learnedAutoRange(bool on);

// The live and parked counts of the board, repainted when they changed.
void lf_updateCountsIfChanged();

// The status line's busy state while static parking is calculated: the ten
// parking controls are disabled.
void gf_setBusy();
void gf_clearBusy();

}  // namespace skh
