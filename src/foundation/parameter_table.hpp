#pragma once
// Every setting of the program, one global object per key.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "foundation/parameters.hpp"

namespace skh {

// Bools
extern BoolParameter RANDOM;
extern BoolUiParameter AEROWINX, AFG_AUTOMATIC, COLLISION_USER_AIR, COLLISION_USER_GND, COLLISION_LIVE_PARKED_GND,
    SUPPRESS_STUB, LOG, ALWAYS_ON_TOP, SCAN_LIVERIES, LIG_AUTOMATIC, LIG_PRIORITIZE, AIRBORNE_ONLY, SCAN_AIRPORTS,
    LIGHT_AIRCRAFT, HELICOPTERS, HIGH_PERF_AIRCRAFT, NAV_LIGHTS_WHILE_PARKED, AUTO_RANGE, LEARN_SOFT,
    STRAIGHT_PBS_ONLY, PARK_SOFT, PARK_FAKE, WEEK, INITIAL_LOAD_ONLY, GUID_CHANGES;

// Integers without a control
extern IntParameter CUSTOM_PARKING_PERCENTAGE, MAIN_WINDOW_X, MAIN_WINDOW_Y, LATERAL_RANGE, AIRPORT_RANGE,
    AUTO_RANGE_ABOVE_HEIGHT, AIRPORT_HEIGHT, LAST_EPOCH_TIME, HOLDING_THRESHOLD_METERS, MAX_HOLDING_MINUTES,
    CUSTOM_MAX_PARK, MAX_LIVE, P3D_VERSION;

// Integers with a control
extern IntChoiceParameter MATCHING_DEPTH, RANGE;
extern IntUiParameter MAX_FIT;
extern IntChoiceParameter AR_ABOVE_HEIGHT, MAX_PARK_SEL, MAX_LIVE_SEL, AIRP_RANGE, AIRP_HEIGHT, parking_percentage;

extern FloatChoiceParameter MAX_FIT_FL;

// Strings
extern StringParameter PROGRAM_VERSION, SIM_INSTALL_PATH, PORT_NUMBER;
extern StringParameter lfolder0, lfolder1, lfolder2, lfolder3, lfolder4, lfolder5, lfolder6, lfolder7, lfolder8,
    lfolder9;
extern StringParameter afolder0, afolder1, afolder2, afolder3, afolder4, afolder5, afolder6, afolder7, afolder8,
    afolder9;
extern StringParameter PROGRAM_INSTALL_PATH, AIG_VERSION, DBASE_VERSION, AIRPORTS_VERSION;
extern StringUiParameter DESTINATION, BLOCK_CALLSIGN, ALL_INSTALL_PATH;
extern ListParameter CALLSIGN_2_OBJECTID;

// The folder keys in number order.
extern const std::array<StringParameter*, 10> g_liveryFolderParams;
extern const std::array<StringParameter*, 10> g_airportFolderParams;

// Push buttons
extern ActionButton g_flushStaticButton, g_unblockButton, g_callsignToObjectIdButton, g_blockButton, g_reReadButton;

// Items of the meta block of generated XML files; never stored.
extern StringParameter author, date, version, copyright, MSFS, P3D;

// Keys of the per-airport settings of the airport files.
extern const std::string g_keyLateralRange, g_keyAutoRange, g_keyInitialLoadOnly, g_keyParkSoft, g_keyParkFake,
    g_keyParkingPercentage, g_keyMaxFit, g_keyWeek, g_keyLearnSoft, g_keyMaxLive;

// The current traffic range; set by gf_setRangeSelection.
extern std::atomic<double> g_rangeNm;
extern std::atomic<std::uint32_t> g_rangeMetres;

}  // namespace skh
