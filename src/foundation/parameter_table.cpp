#include "foundation/parameter_table.hpp"

#include <vector>

namespace skh {

namespace {

const std::vector<std::int32_t> kMatchingDepthChoices{1, 2, 3, 4};
const std::vector<std::int32_t> kRangeChoices{2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18, 20, 25, 30, 35, 40, 50, 65, 80, 100};
const std::vector<std::int32_t> kAboveHeightChoices{18000, 21000, 24000, 27000, 30000, 33000,
                                                   36000, 39000, 42000, 45000, 48000};
const std::vector<std::int32_t> kMaxAircraftChoices{0, 10, 25, 50, 75, 100, 500};
const std::vector<std::int32_t> kAirportRangeChoices{5, 10, 15, 20, 25, 30};
const std::vector<std::int32_t> kAirportHeightChoices{2000, 4000, 6000, 8000, 10000, 12000,
                                                     14000, 16000, 18000, 36000, 48000};
const std::vector<std::int32_t> kPercentChoices = [] {
    std::vector<std::int32_t> v;
    for (int p = 0; p <= 100; p += 5) v.push_back(p);
    return v;
}();
const std::vector<float> kMaxFitChoices{0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, 4.5f, 5.0f,
                                        6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 12.0f, 15.0f, 18.0f, 21.0f, 24.0f};

}  // namespace

BoolParameter RANDOM("RANDOM", true);
BoolUiParameter AEROWINX("AEROWINX", false, 32775, 203);
BoolUiParameter AFG_AUTOMATIC("AFG_AUTOMATIC", true, 32802, 175);
BoolUiParameter COLLISION_USER_AIR("COLLISION_USER_AIR", true, 32833, 287);
BoolUiParameter COLLISION_USER_GND("COLLISION_USER_GND", true, 32834, 287);
BoolUiParameter COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, 32835, 287);
BoolUiParameter SUPPRESS_STUB("SUPPRESS_STUB", true, 32800, 147);
BoolUiParameter LOG("LOG", true, 32779, 147);
BoolUiParameter ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, 32771, 147);
BoolUiParameter SCAN_LIVERIES("SCAN_LIVERIES", true, 32797, 147);
BoolUiParameter LIG_AUTOMATIC("LIG_AUTOMATIC", true, 32798, 147);
BoolUiParameter LIG_PRIORITIZE("LIG_PRIORITIZE", false, 32799, 147);
BoolUiParameter AIRBORNE_ONLY("AIRBORNE_ONLY", false, 32821, 231);
BoolUiParameter SCAN_AIRPORTS("SCAN_AIRPORTS", true, 32801, 175);
BoolUiParameter LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, 32809, 203);
BoolUiParameter HELICOPTERS("HELICOPTERS", true, 32810, 203);
BoolUiParameter HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, 32811, 203);
BoolUiParameter NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, 32778, 175);
BoolUiParameter AUTO_RANGE("AUTO_RANGE", true, 32819, 231);
BoolUiParameter LEARN_SOFT("LEARN_SOFT", true, 32777, 175);
BoolUiParameter STRAIGHT_PBS_ONLY("STRAIGHT_PBS_ONLY", false, 32856, 315);
BoolUiParameter PARK_SOFT("PARK_SOFT", true, 32851, 371);
BoolUiParameter PARK_FAKE("PARK_FAKE", false, 32852, 371);
BoolUiParameter WEEK("WEEK", false, 32854, 371);
BoolUiParameter INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, 32850, 371);
BoolUiParameter GUID_CHANGES("GUID_CHANGES", true, 32773, 203);

IntParameter CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE", -1, -1, 100);
IntParameter MAIN_WINDOW_X("MAIN_WINDOW_X", 400, -30000, 30000);
IntParameter MAIN_WINDOW_Y("MAIN_WINDOW_Y", 20, -30000, 30000);
IntParameter LATERAL_RANGE("LATERAL_RANGE", 40, 2, 100);
IntParameter AIRPORT_RANGE("AIRPORT_RANGE", 20, 8, 30);
IntParameter AUTO_RANGE_ABOVE_HEIGHT("AUTO_RANGE_ABOVE_HEIGHT", 49000, 18000, 49000);
IntParameter AIRPORT_HEIGHT("AIRPORT_HEIGHT", 18000, 2000, 45000);
IntParameter LAST_EPOCH_TIME("LAST_EPOCH_TIME:", 0, 0, 2147483647);
IntParameter HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS", 250, 10, 4000);
IntParameter MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", 20, 1, 60);
IntParameter CUSTOM_MAX_PARK("CUSTOM_MAX_PARK", -1, -1, 500);
IntParameter MAX_LIVE("MAX_LIVE", -1, -1, 300);
IntParameter P3D_VERSION("P3D_VERSION", 5, 5, 6);

IntChoiceParameter MATCHING_DEPTH("MATCHING_DEPTH", 4, kMatchingDepthChoices, 32808, 203);
IntChoiceParameter RANGE("RANGE", 40, kRangeChoices, 32818, 231);
IntUiParameter MAX_FIT("MAX_FIT", 47, 0, 47, 32853, 371);
IntChoiceParameter AR_ABOVE_HEIGHT("AR_ABOVE_HEIGHT", 48000, kAboveHeightChoices, 32820, 231);
IntChoiceParameter MAX_PARK_SEL("MAX_PARK_SEL", 500, kMaxAircraftChoices, 32846, 315);
IntChoiceParameter MAX_LIVE_SEL("MAX_LIVE_SEL", 500, kMaxAircraftChoices, 32847, 315);
IntChoiceParameter AIRP_RANGE("AIRP_RANGE", 20, kAirportRangeChoices, 32840, 343);
IntChoiceParameter AIRP_HEIGHT("AIRP_HEIGHT", 18000, kAirportHeightChoices, 32841, 343);
IntChoiceParameter parking_percentage("parking_percentage", 0, kPercentChoices, 32848, 371);

FloatChoiceParameter MAX_FIT_FL("MAX_FIT_FL", 21.0f, kMaxFitChoices, 32855, 371);

StringParameter PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter SIM_INSTALL_PATH("SIM_INSTALL_PATH", "");
StringParameter PORT_NUMBER("PORT_NUMBER", "10747");
StringParameter lfolder0("lfolder0", ""), lfolder1("lfolder1", ""), lfolder2("lfolder2", ""),
    lfolder3("lfolder3", ""), lfolder4("lfolder4", ""), lfolder5("lfolder5", ""), lfolder6("lfolder6", ""),
    lfolder7("lfolder7", ""), lfolder8("lfolder8", ""), lfolder9("lfolder9", "");
StringParameter afolder0("afolder0", ""), afolder1("afolder1", ""), afolder2("afolder2", ""),
    afolder3("afolder3", ""), afolder4("afolder4", ""), afolder5("afolder5", ""), afolder6("afolder6", ""),
    afolder7("afolder7", ""), afolder8("afolder8", ""), afolder9("afolder9", "");
StringParameter PROGRAM_INSTALL_PATH("PROGRAM_INSTALL_PATH", "");
StringParameter AIG_VERSION("AIG_VERSION", "");
StringParameter DBASE_VERSION("DBASE_VERSION", "");
StringParameter AIRPORTS_VERSION("AIRPORTS_VERSION", "");
StringUiParameter DESTINATION("DESTINATION", "", 32839, 343);
StringUiParameter BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", 32828, 259);
StringUiParameter ALL_INSTALL_PATH("ALL_INSTALL_PATH", "", 32788, 119);
ListParameter CALLSIGN_2_OBJECTID("CALLSIGN_2_OBJECTID", "", 32831, 259);

const std::array<StringParameter*, 10> g_liveryFolderParams{&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                                                            &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};
const std::array<StringParameter*, 10> g_airportFolderParams{&afolder0, &afolder1, &afolder2, &afolder3, &afolder4,
                                                             &afolder5, &afolder6, &afolder7, &afolder8, &afolder9};

ActionButton g_flushStaticButton("Flush static", 32858, 369);
ActionButton g_unblockButton("Unblock", 32829, 257);
ActionButton g_callsignToObjectIdButton("cs->oid:", 32830, 257);
ActionButton g_blockButton("Block", 32832, 257);
ActionButton g_reReadButton("Re-read", 32838, 341);

StringParameter author("author", "");
StringParameter date("date", "");
StringParameter version("version", "");
StringParameter copyright("copyright", "Copyright (c) the Skyhaven_P3D developers. All rights reserved.");
StringParameter MSFS("MSFS", "");
StringParameter P3D("P3D", "");

const std::string g_keyLateralRange = LATERAL_RANGE.name;
const std::string g_keyAutoRange = AUTO_RANGE.name;
const std::string g_keyInitialLoadOnly = INITIAL_LOAD_ONLY.name;
const std::string g_keyParkSoft = PARK_SOFT.name;
const std::string g_keyParkFake = PARK_FAKE.name;
const std::string g_keyParkingPercentage = parking_percentage.name;
const std::string g_keyMaxFit = MAX_FIT.name;
const std::string g_keyWeek = WEEK.name;
const std::string g_keyLearnSoft = LEARN_SOFT.name;
const std::string g_keyMaxLive = MAX_LIVE.name;

std::atomic<double> g_rangeNm{static_cast<double>(RANGE.defaultValue)};
std::atomic<std::uint32_t> g_rangeMetres{static_cast<std::uint32_t>(RANGE.defaultValue) * 1852u};

}  // namespace skh
