#pragma once
// The stands (parking positions) of the current park airport. The airport
// subsystem fills the list when it loads an airport; until then it is empty.
// Used on the main loop's thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace skh {

struct Stand {
    std::string name;
    double lat = 0.0;      // degrees
    double lon = 0.0;      // degrees
    double heading = 0.0;  // radians
    double radius = 0.0;   // nm
    std::uint32_t id = 0;  // 1-based place in g_stands
};

extern std::vector<Stand> g_stands;

}  // namespace skh
