#pragma once
// What the SimClient keeps of the simulator for the rest of the program: the
// connection handle, the simulator's running state, the user aircraft's
// data, ground state, title and wingspan, and the simulator's time and frame
// rate. The SimClient thread writes these; other threads read them, so each
// is an atomic or is guarded by simQueueMutex.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "foundation/parameters.hpp"
#include "simconnect/sc_types.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh {

// Guards the request queues, the position-buffer swap and every SimConnect
// call made outside the SimClient thread's own set-up and dispatch. The
// Frame drain only tries it. Taken after simEventMutex where both are held.
extern std::mutex simQueueMutex;

// The connection of the run, guarded by simQueueMutex: published after the
// set-up and taken back (null) before the SimClient thread closes it, so a
// request made later fails cleanly instead of reaching a freed connection.
// Atomic only so that gf_requestError, called with or without the mutex, may
// ask whether its transport has failed.
extern std::atomic<HANDLE> simConnectHandle;

extern std::atomic<bool> simRunning;            // the simulator reports the flight running

// The number of the user error that ended the SimClient thread (wrong
// simulator, version mismatch, no usable user aircraft), 0 while there is
// none. The thread closed the connection on purpose and left the run alone:
// the user must act. Meanwhile requests are skipped quietly instead of
// failing the run. Set by the SimClient thread, cleared by gf_resetSimClient.
extern std::atomic<int> g_simUserError;
// True while such a user error shows; the main loop skips its simulator work.
bool gf_simUserErrorShown();
extern std::atomic<std::uint32_t> userObjectId;  // objects at or below it are never ours; 2 after a reset

// The last user aircraft data (request 109), guarded by simQueueMutex.
extern UserAcState g_userAcState;
// A copy of g_userAcState taken under simQueueMutex.
UserAcState gf_userAcState();

extern std::atomic<bool> userOnGround;
extern std::atomic<bool> userOnGroundKnown;
extern std::atomic<bool> g_userDataReady;  // set by each once-per-second answer; the main loop clears it

extern SharedText userTitle;  // at most 48 characters
extern std::atomic<double> userWingspan;  // half span, nm
extern std::atomic<bool> userWingspanKnown;
extern std::atomic<std::int32_t> userCategory;  // an AircraftCategory

extern std::atomic<std::int64_t> simEpochSeconds;  // the simulator's UTC time, seconds since 1970
extern std::atomic<float> simFrameRate;

// The stand work for the user's aircraft belongs to the main loop, which owns
// the stands and the park airports; the SimClient thread only asks for it.
extern std::atomic<bool> g_userStandCheckWanted;   // new user data arrived: name the stand
extern std::atomic<bool> g_parkStandUpdateWanted;  // flight loaded, file event, thread end: reserve the stand

// The user position counts as known when |latitude| or |longitude| exceeds 0.0001.
bool gf_userPositionKnown(double latitude, double longitude);

// The simulator side's part of the reset before a new run (the SimClient
// thread must not be running): handle, flags, queues, user data, the main
// window's simulator texts and lamps; userObjectId becomes 2.
void gf_resetSimClient();

}  // namespace skh
