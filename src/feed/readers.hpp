#pragma once
// The two RealTraffic readers of a run and the watchdog that shows in the
// main window whether their streams still flow.
#include <cstdint>

#include "feed/qnh_reader.hpp"
#include "feed/traffic_reader.hpp"

namespace skh {

inline constexpr std::uint16_t kTrafficPort = 49005;
inline constexpr std::uint16_t kQnhPort = 49004;

extern TrafficReader g_trafficReader;
extern QnhReader g_qnhReader;

// Thread bodies of the readers.
void lf_trafficReaderThread(std::uint16_t port);
void lf_qnhReaderThread(std::uint16_t port);

// Start a reader's thread on a port (0: any free port; see boundPort).
void gf_startTrafficReader(std::uint16_t port = kTrafficPort);
void gf_startQnhReader(std::uint16_t port = kQnhPort);
// Sets both stop flags; each reader ends within one wait.
void gf_stopReaders();
// Waits for both reader threads, so that their ports are free again.
void gf_joinReaders();

// The watchdog, run by the main loop: a lamp turns stale when its reader
// took no datagram since the last check and active again when it does.
// Does nothing while RealTraffic is not connected.
void gf_checkReaderActivity();

// The readers' part of a RealTraffic link reset: stop flags cleared, the QNH
// Reader's last value and counters back to start, both lamps to be shown
// active again by the watchdog.
void gf_resetReadersForLink();

}  // namespace skh
