#pragma once
// The stop state of a run and small services of the application layer that
// lower layers use.
#include <atomic>
#include <cstdint>
#include <string>

#include "foundation/upcalls.hpp"

namespace skh {

// The closing step decided on an in-process restart: the next start-up skips
// the data-set download.
extern std::atomic<bool> g_restartRequested;

// The main window's close button: the close and stop flags are set without
// the first-reason test; USER CLOSED SIM only when no reason is set yet.
void gf_requestClose();

// A setting that needs a restart (a new install path, some check boxes):
// NEW SETTINGS with the delay unless a stop is under way. It also replaces
// a start-up's user error, whose run waits for the window to be closed, so
// a typed install path restarts at once.
bool gf_requestNewSettings(int restartDelaySeconds);

// A start-up failure the user must act on: SYSTEM ERROR whatever was set
// before, without touching the stop flag or the delay.
void gf_setSystemError();

// Clears the stop flags and the reason before an in-process restart.
void gf_resetStopState();

}  // namespace skh
