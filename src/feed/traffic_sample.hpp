#pragma once
// One accepted traffic line as the feed hands it to the traffic control.
#include <cstdint>
#include <optional>
#include <string>

namespace skh {

// The identity texts shared by a traffic sample and an aircraft's identity;
// moved, never copied, from the sample to the aircraft.
struct IdentStrings {
    std::string airline;         // derived later by the traffic control
    std::string type;            // aircraft type code
    std::string origin;          // origin airport
    std::string destination;     // destination airport
    std::string callsign;
    std::string secondCallsign;  // filled later
    std::string extraCallsign;    // filled later
    std::string registration;
    std::uint8_t flag = 0;
};

// One received position.
struct PosSample {
    double lat = 0.0;          // degrees
    double lon = 0.0;          // degrees
    double altitude = 0.0;     // feet; exactly 0 means on the ground
    double groundSpeed = 0.0;  // knots
    double track = 0.0;        // degrees
    double verticalSpeed = 0.0;
    double trueAirspeed = 0.0;  // knots
    std::int32_t dueTick = 0;   // the trafficTick from which the sample may be used
    std::uint8_t airborne = 0;
    std::uint8_t consumed = 0;
    // At the previous sample's position (within 1e-8 degrees), or made to
    // stand by the traffic control; set there, never by the feed.
    std::uint8_t stationary = 0;
    std::uint8_t trueHeadingTaken = 0;
    std::optional<double> bank;         // radians
    std::optional<double> trueHeading;  // radians
};

struct TrafficSample {
    IdentStrings ident;
    PosSample pos;
    double timestamp = 0.0;      // as received
    std::uint32_t actNumber = 0;  // above 10000
};

}  // namespace skh
