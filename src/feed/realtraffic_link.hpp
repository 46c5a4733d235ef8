#pragma once
// The TCP server through which RealTraffic, running on this PC, learns the
// user's position: the handshake that asks for its version and level, the
// user position ("Qs121"), the simulator time ("Qs123") and "exit". Text
// lines ended by CR LF; one client at a time; loopback only.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh {

extern std::atomic<platform::Socket> g_rtListenSocket;
extern std::atomic<platform::Socket> g_rtClientSocket;
extern std::atomic<bool> g_rtConnected;

// How long the handshake waits for the whole version reply, and the longest
// slice of the start-up wait for RealTraffic between two looks at the stop
// flags (milliseconds; tests shorten them).
extern std::atomic<int> g_rtReplyTimeoutMs;
extern std::atomic<int> g_rtAcceptSliceMs;

// Opens the listening socket on 127.0.0.1 at the port (a text, the value of
// PORT_NUMBER); throws std::runtime_error.
void lf_listenTcp(const std::string& port);
// The port the listening socket is bound to, 0 when there is none.
int gf_rtListenPort();

// Accepts RealTraffic's connection when none is open, waiting at most
// timeoutMs (0: only a connection already waiting); true when connected now.
bool waitForClient(int timeoutMs = 0);

// The start-up handshake: waits (in slices that watch the stop flags) until
// RealTraffic connects, asks for its version and reads the reply.
void lf_waitForRealTraffic();

// Reads the reply to "Qs999=version": the edition, and whether RealTraffic
// follows the simulator's time (level 2).
void lf_readRealTrafficVersion(const std::string& reply);

// Receives the version reply until a whole JSON value has arrived, the peer
// closed, or g_rtReplyTimeoutMs passed.
std::string lf_receiveVersionReply();

// One receive of up to 16384 bytes; empty on a closed link, an error or a
// full buffer (each logged).
std::string receive();

// Sends one line; false after a failure, which closes the client socket.
bool sendDataPacket(std::string_view line);

// The "Qs121" line of a user aircraft state; nothing when a value is not a
// finite number.
std::optional<std::string> gf_formatQs121(const UserAcState& user);

// Sends the user position, or, when RealTraffic is not connected and the run
// is not ending, accepts its new connection without waiting. A failed send
// is a lost link: the live aircraft leave the simulator and the link is reset.
void gf_sendUserPosition();

// Sends the simulator's time (seconds since 1970) when connected; a failed
// send is a lost link, as for the user position.
void gf_sendQs123(std::int64_t seconds);

// The link reset: traffic time, heard callsigns and the readers' state.
void lf_resetRealTrafficLink();

// The RealTraffic steps of starting a run: when RealTraffic is on this PC and
// AEROWINX is off, listen on PORT_NUMBER, wait for the handshake and send the
// simulator time at level 2; otherwise show RealTraffic as connected at once.
// Throws std::runtime_error when the port cannot be opened.
void gf_connectRealTraffic(std::int64_t simSeconds);

// The end of a run: "exit" when connected, then both sockets closed.
void gf_closeRealTrafficLink();

}  // namespace skh
