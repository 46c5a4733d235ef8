#pragma once
// The numbers the program uses when it talks to the simulator: system event
// ids, client event ids and their notification group, data definition ids
// and request ids; and the declarations the SimClient makes once per
// connection, in the order it makes them.
#include <array>
#include <cstdint>

#include "simconnect/sc_types.hpp"

namespace skh {

// System events.
enum : std::uint32_t {
    EVENT_SIM = 201,
    EVENT_OBJECT_ADDED = 202,
    EVENT_OBJECT_REMOVED = 203,
    EVENT_FRAME = 204,
    EVENT_POSITION_CHANGED = 205,
    EVENT_FLIGHT_LOADED = 206,
};

// Client events, each mapped to the simulator event of the same name.
enum : std::uint32_t {
    EVENT_BEACON_LIGHTS_SET = 207,
    EVENT_NAV_LIGHTS_SET = 208,
    EVENT_TAXI_LIGHTS_SET = 209,
    EVENT_STROBES_SET = 210,
    EVENT_LANDING_LIGHTS_SET = 211,
    EVENT_CABIN_LIGHTS_SET = 212,
    EVENT_LOGO_LIGHTS_SET = 213,
    EVENT_ALL_LIGHTS_TOGGLE = 214,
    EVENT_FREEZE_LATITUDE_LONGITUDE_SET = 215,
    EVENT_FREEZE_ALTITUDE_SET = 216,
    EVENT_FREEZE_ATTITUDE_SET = 217,
    EVENT_FLAPS_SET = 218,
    EVENT_SPOILERS_SET = 219,
    EVENT_GEAR_SET = 220,
    EVENT_ENGINE_AUTO_START = 221,
    EVENT_ENGINE_AUTO_SHUTDOWN = 222,
    EVENT_THROTTLE_SET = 223,
};

// Every client event is transmitted with this group; its priority is the highest.
inline constexpr std::uint32_t GROUP_AI = 301;
inline constexpr std::uint32_t GROUP_AI_PRIORITY = 1;

// Data definitions.
enum : std::uint32_t {
    DEFINITION_AI_CONTROL = 401,    // spoilers handle, throttle levers 1 and 2 (24 bytes)
    DEFINITION_AI_POSITION = 402,   // AiPositionBlock (64 bytes)
    DEFINITION_USER_STATE = 403,    // UserAcState (96 bytes)
    DEFINITION_WITHIN_RANGE = 404,  // aircraft within range
    DEFINITION_STATIC_CG = 405,     // static centre of gravity of a created object
    DEFINITION_LIGHT_ON = 406,      // declared only
    DEFINITION_USER_TITLE = 407,
    DEFINITION_USER_MODEL = 408,
    DEFINITION_USER_ON_GROUND = 409,
};

// Requests.
enum : std::uint32_t {
    REQUEST_WITHIN_RANGE = 101,
    REQUEST_STATIC_CG = 102,
    REQUEST_RELEASE_CONTROL = 103,
    REQUEST_CREATE_AI = 104,
    REQUEST_REMOVE_AI = 105,
    REQUEST_USER_TITLE = 106,
    REQUEST_USER_MODEL = 107,
    REQUEST_USER_ON_GROUND = 108,
    REQUEST_USER_STATE = 109,
    REQUEST_FLIGHT_PLAN = 110,
    // A new object asked for once (definition 404) while creations wait:
    // an object out of range is identified all the same.
    REQUEST_NEW_OBJECT = 111,
};

struct SystemEventSubscription {
    std::uint32_t id;
    const char* name;
};

struct DatumDeclaration {
    std::uint32_t definition;
    const char* name;
    const char* units;  // null: none
    ScDatumType type;
};

struct ClientEventMapping {
    std::uint32_t id;
    const char* event;
};

// In the order of the set-up: "Frame" last, so no drain runs before the rest
// of the declarations have been sent.
inline constexpr std::array<SystemEventSubscription, 6> kSystemEvents{{
    {EVENT_SIM, "Sim"},
    {EVENT_OBJECT_ADDED, "ObjectAdded"},
    {EVENT_OBJECT_REMOVED, "ObjectRemoved"},
    {EVENT_POSITION_CHANGED, "PositionChanged"},
    {EVENT_FLIGHT_LOADED, "FlightLoaded"},
    {EVENT_FRAME, "Frame"},
}};

inline constexpr std::array<DatumDeclaration, 33> kDataDefinitions{{
    {DEFINITION_USER_TITLE, "TITLE", nullptr, ScDatumType::StringV},
    {DEFINITION_USER_MODEL, "ATC MODEL", nullptr, ScDatumType::String32},
    {DEFINITION_USER_ON_GROUND, "SIM ON GROUND", "Bool", ScDatumType::Int64},
    {DEFINITION_AI_POSITION, "Plane Latitude", "degree", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Plane Longitude", "degree", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Plane Pitch degrees", "radians", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Plane Bank degrees", "radians", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Plane Heading degrees true", "radians", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Plane Altitude", "feet", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Vertical Speed", "feet per second", ScDatumType::Float64},
    {DEFINITION_AI_POSITION, "Airspeed True", "knots", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Latitude", "degree", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Longitude", "degree", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Pitch degrees", "radians", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Bank degrees", "radians", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Heading degrees true", "radians", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Altitude", "feet", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Plane Alt Above Ground", "feet", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "Ground Velocity", "knots", ScDatumType::Float64},
    {DEFINITION_USER_STATE, "ZULU TIME", "Seconds", ScDatumType::Int64},
    {DEFINITION_USER_STATE, "ZULU DAY OF YEAR", "Number", ScDatumType::Int64},
    {DEFINITION_USER_STATE, "ZULU YEAR", "Number", ScDatumType::Int64},
    {DEFINITION_USER_STATE, "LIGHT STATES", "Mask", ScDatumType::Int64},
    {DEFINITION_STATIC_CG, "Static CG to Ground", "feet", ScDatumType::Float64},
    {DEFINITION_STATIC_CG, "Static Pitch", "radians", ScDatumType::Float64},
    {DEFINITION_LIGHT_ON, "Light On States", "Mask", ScDatumType::Int64},
    {DEFINITION_WITHIN_RANGE, "Plane Alt Above Ground", "feet", ScDatumType::Float64},
    {DEFINITION_WITHIN_RANGE, "Ground Altitude", "feet", ScDatumType::Float64},
    {DEFINITION_WITHIN_RANGE, "SIM ON GROUND", "Bool", ScDatumType::Int64},
    {DEFINITION_WITHIN_RANGE, "ATC ID", nullptr, ScDatumType::String32},
    {DEFINITION_AI_CONTROL, "SPOILERS HANDLE POSITION", "percent", ScDatumType::Float64},
    {DEFINITION_AI_CONTROL, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", ScDatumType::Float64},
    {DEFINITION_AI_CONTROL, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", ScDatumType::Float64},
}};

inline constexpr std::array<ClientEventMapping, 17> kClientEvents{{
    {EVENT_GEAR_SET, "GEAR_SET"},
    {EVENT_ENGINE_AUTO_START, "ENGINE_AUTO_START"},
    {EVENT_ENGINE_AUTO_SHUTDOWN, "ENGINE_AUTO_SHUTDOWN"},
    {EVENT_THROTTLE_SET, "THROTTLE_SET"},
    {EVENT_FLAPS_SET, "FLAPS_SET"},
    {EVENT_SPOILERS_SET, "SPOILERS_SET"},
    {EVENT_NAV_LIGHTS_SET, "NAV_LIGHTS_SET"},
    {EVENT_BEACON_LIGHTS_SET, "BEACON_LIGHTS_SET"},
    {EVENT_LANDING_LIGHTS_SET, "LANDING_LIGHTS_SET"},
    {EVENT_TAXI_LIGHTS_SET, "TAXI_LIGHTS_SET"},
    {EVENT_STROBES_SET, "STROBES_SET"},
    {EVENT_LOGO_LIGHTS_SET, "LOGO_LIGHTS_SET"},
    {EVENT_CABIN_LIGHTS_SET, "CABIN_LIGHTS_SET"},
    {EVENT_ALL_LIGHTS_TOGGLE, "ALL_LIGHTS_TOGGLE"},
    {EVENT_FREEZE_LATITUDE_LONGITUDE_SET, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {EVENT_FREEZE_ALTITUDE_SET, "FREEZE_ALTITUDE_SET"},
    {EVENT_FREEZE_ATTITUDE_SET, "FREEZE_ATTITUDE_SET"},
}};

// ENGINE_AUTO_START stays out of the group.
inline constexpr std::array<std::uint32_t, 16> kGroupEvents{{
    EVENT_NAV_LIGHTS_SET, EVENT_BEACON_LIGHTS_SET, EVENT_LANDING_LIGHTS_SET, EVENT_TAXI_LIGHTS_SET,
    EVENT_STROBES_SET, EVENT_LOGO_LIGHTS_SET, EVENT_CABIN_LIGHTS_SET, EVENT_ALL_LIGHTS_TOGGLE,
    EVENT_FLAPS_SET, EVENT_SPOILERS_SET, EVENT_GEAR_SET, EVENT_ENGINE_AUTO_SHUTDOWN,
    EVENT_THROTTLE_SET, EVENT_FREEZE_LATITUDE_LONGITUDE_SET, EVENT_FREEZE_ALTITUDE_SET,
    EVENT_FREEZE_ATTITUDE_SET,
}};

}  // namespace skh
