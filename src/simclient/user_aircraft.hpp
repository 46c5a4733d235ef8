#pragma once
// The user's aircraft as the simulator reports it once a second, and the main
// loop's copy of it that the RealTraffic link sends on.
#include <cstdint>

namespace skh {

struct UserAcState {
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees
    double pitch = 0.0;      // radians
    double bank = 0.0;       // radians
    double trueHeading = 0.0;  // radians
    double altitude = 0.0;     // feet
    double altitudeAboveGround = 0.0;  // feet
    double groundVelocity = 0.0;       // knots
    std::int64_t zuluTime = 0;         // seconds of the day
    std::int64_t zuluDayOfYear = 0;
    std::int64_t zuluYear = 0;
    std::int64_t lightStates = 0;
};

// The main loop's copy, refreshed every 100 polls; read by other threads
// too, so it is only reached through these two calls.
UserAcState gf_userAcCopy();
void gf_setUserAcCopy(const UserAcState& state);

}  // namespace skh
