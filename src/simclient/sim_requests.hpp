#pragma once
// What the traffic control hands to the simulator side: requests to create
// AI aircraft and the per-frame positions of the live ones.
#include <cstdint>
#include <string>
#include <string_view>

#include "simconnect/sc_types.hpp"

namespace skh {

// A request to create one AI aircraft.
struct AddRequest {
    SIMCONNECT_DATA_INITPOSITION initPos{};  // degrees; airspeed always 0
    std::string callsign;                    // sent as the tail number
    std::string_view title;                  // into the livery title set, which outlives every request
    std::uint32_t actNumber = 0;             // live aircraft above 10000, static ones at most 10000
};

// One AI object's position as written to the simulator every frame.
struct AiPositionBlock {
    double latitude = 0.0;       // degrees
    double longitude = 0.0;      // degrees
    double pitch = 0.0;          // radians, negative nose up
    double bank = 0.0;           // radians
    double trueHeading = 0.0;    // radians
    double altitude = 0.0;       // feet
    double verticalSpeed = 0.0;  // feet per second
    double trueAirspeed = 0.0;   // knots
};
static_assert(sizeof(AiPositionBlock) == 64);

struct PositionUpdate {
    AiPositionBlock block;
    std::uint32_t objectId = 0;
};

}  // namespace skh
