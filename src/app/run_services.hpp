#pragma once
// Services of the run that the subsystems below call: a worker thread that
// has failed ends the run, and the flag that tells that a run is waiting for
// RealTraffic to connect.
#include <atomic>
#include <string>

namespace skh {

// Shows and logs "The {} has stopped with error: {}"; unless a stop is
// already under way, ends the run with READER ERROR and a restart in 15 s.
void gf_showThreadStopped(const std::string& threadName, const std::string& errorText);

// Set while a run waits for RealTraffic's first connection; cleared by the
// handshake.
extern std::atomic<bool> g_runStarting;

}  // namespace skh
