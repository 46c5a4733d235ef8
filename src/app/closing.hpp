#pragma once
// The end of every run: the closing step stops and joins the run's threads,
// saves what must survive and decides between an in-process restart (after a
// countdown) and quitting; a system error first waits for the user to close
// the window.
#include "app/pacing.hpp"

namespace skh {

// QuitFailed: quit after a fatal error; the program ends with a failure
// status however the user closed it.
enum class ClosingOutcome { Restart, Quit, QuitFailed };

// The closing step, on the start-up worker after the run has ended (or the
// start-up failed). The caller posts the window message the outcome asks for.
ClosingOutcome lf_closingDown(const Clock& clock);

// Counts down g_restartDelay seconds on the status line; false when the user
// closed the window meanwhile.
bool lf_restartCountdown(const Clock& clock);

// Puts everything a run changed back to the state of a fresh process before
// an in-process restart.
void lf_resetSession();

// Ends the run's threads: the readers and the SimClient thread are stopped
// and joined, so their ports and the connection are free afterwards. True
// when the readers had been started.
bool lf_stopRunThreads();

}  // namespace skh
