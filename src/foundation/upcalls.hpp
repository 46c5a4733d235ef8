#pragma once
// State and services that the foundation uses but that upper layers own: the
// stop state and the status line of the application (app/), and the traffic
// time source of the RealTraffic feed (feed/). Declared here so the
// foundation depends on nothing above it.
#include <atomic>
#include <cstdint>
#include <string>

namespace skh {

// Why a run ends.
enum class AppState : std::uint32_t {
    NotYetSet = 0,
    SimWasClosed = 1,
    NewFlight = 2,
    NewSettings = 3,
    UserClosedSim = 4,
    SimConnectError = 5,
    ReaderError = 6,
    SystemError = 7,
};
const char* gf_appStateName(AppState state);

extern std::atomic<bool> g_stopRequested;   // the run is being stopped (first reason wins)
extern std::atomic<bool> g_closeRequested;  // the user closed the main window
extern std::atomic<AppState> g_appState;
extern std::atomic<int> g_restartDelay;     // seconds before an in-process restart

// Ends the run with a reason unless a stop is already under way (the first
// reason wins); true when this call set it. The reason and the delay are
// stored before the stop flag, so whoever sees the flag finds them.
bool gf_requestStop(AppState reason, int restartDelaySeconds);

// A stop of the run or the close of the window is under way: long work ends early.
inline bool gf_stopUnderWay() { return g_stopRequested.load() || g_closeRequested.load(); }

// The main window's status line.
void gf_setStatusMessage(const std::string& text, bool log);
void gf_clearStatusMessage();
void gf_setErrorMessage(const std::string& text);
// After a fatal error on the error line, which stays until the user closes
// the program: without a window on a display, the console says how to close
// it.
void gf_sayHowToCloseAfterError();

// Shows and logs "The {} has stopped with error: {}"; unless a stop is
// already under way, ends the run with READER ERROR and a restart in 15 s.
void gf_showThreadStopped(const std::string& threadName, const std::string& errorText);

// The simulator has gone: unless a stop is already under way, logs it and
// ends the run with SIM WAS CLOSED and no restart delay.
void gf_simNoLongerConnected();

// Set while a run waits for RealTraffic's first connection; cleared by the
// handshake.
extern std::atomic<bool> g_runStarting;

// The range the user chose: RANGE, or while the automatic range is in force
// the value it replaced.
std::int32_t gf_userRange();

// The RANGE choice for a distance in nm and the AIRP_HEIGHT choice for an
// altitude in feet (used when old settings are migrated).
std::int32_t lf_snapRangeStep(std::int32_t nm);
std::int32_t lf_snapAltitudeStep(std::int32_t feet);

// "5" or "6": the simulator's major version from the install path, else from
// the hidden setting P3D_VERSION; throws UserErrorException 77.
std::string gf_getP3DVersion();

// Time source of the RealTraffic feed: the timestamp of the latest traffic
// line (seconds since 1970, as received) and whether the handshake reported
// a RealTraffic edition that follows the simulator's time.
extern std::atomic<double> g_trafficTime;
extern std::atomic<bool> g_rtProfessional;

}  // namespace skh
