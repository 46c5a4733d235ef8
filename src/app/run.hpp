#pragma once
// A run: one connection to the simulator, from the start of the SimClient
// thread through the RealTraffic link and the readers to the end of the main
// loop.
#include <cstdint>

#include "app/pacing.hpp"

namespace skh {

// One run; returns when the main loop ends or the start of the run failed.
void lf_runSession(const Clock& clock);

// Waits until the simulator runs and reports the user aircraft; false when a
// stop flag ended the wait.
bool lf_requestUserAircraft(const Clock& clock);

// Waits up to 15 s for the first time over the RealTraffic link; logs "No
// traffic in this region?" when none came.
void lf_warnNoTraffic(const Clock& clock);

// The simulator's time (seconds since 1970) from the latest user data; 0
// when it is not known.
std::int64_t lf_simSeconds();

// Hands the user aircraft's position to the Traffic Reader, which accepts
// traffic around it.
void lf_copyUserPosToReader();

// UDP ports of the readers; SKYHAVEN_TRAFFIC_PORT and SKYHAVEN_QNH_PORT
// replace them (tests: 0 takes any free port).
std::uint16_t lf_trafficPort();
std::uint16_t lf_qnhPort();

}  // namespace skh
