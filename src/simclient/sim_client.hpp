#pragma once
// The SimClient thread: the program's only link to the simulator. It waits
// until the simulator accepts a connection, declares once what the program
// will ask for and send, and then dispatches the simulator's messages every
// millisecond until its stop is requested, the simulator quits or the
// connection fails.
#include <atomic>
#include <stop_token>

#include "simconnect/sc_types.hpp"

namespace skh {

// The thread body; the run starts it after gf_initQueues and stops it with
// a stop request on its thread object.
void gf_simClientThread(std::stop_token stop);

// The declarations of one connection: system events, data definitions,
// client events, their notification group and its priority.
void lf_setupSimConnect(HANDLE h);
void lf_addToGroup(HANDLE h, std::uint32_t clientEventId);

// The simulator has gone (it quit, or the connection failed): the flight is
// no longer running and the run ends as the simulator closed.
void lf_simGone();

// Milliseconds between two attempts to open the connection.
extern std::atomic<int> g_simOpenRetryMs;

}  // namespace skh
