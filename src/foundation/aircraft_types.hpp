#pragma once
// Size categories of aircraft types and the type facts that the simulator
// side needs of the user's aircraft. The aircraft database (aircraft/)
// defines the functions; they are declared here so that lower layers can ask
// without depending on it.
#include <cstdint>
#include <string_view>

namespace skh {

using AircraftCategory = std::int32_t;
enum : AircraftCategory {
    CatLight = 0,
    CatBuzjets = 1,
    CatLarge = 2,
    CatHeavy = 3,
    CatHighPerf = 4,
    CatRotorcraft = 5
};

const char* gf_categoryName(AircraftCategory c);
AircraftCategory gf_sizeCategory(std::string_view type);
// Half the type's wingspan in nm; the category's mean for an unknown type.
double gf_wingspanOf(std::string_view type);
// The largest half wingspan of the database, nm.
double gf_maxWingspanNm();

}  // namespace skh
