#pragma once
// The steps of the livery matching behind gf_matchLiveryForSpawn and
// gf_matchLivery (liveries.hpp), from the most exact evidence to the loosest:
// 1 registration, 2 airline and type, 3 similar type of the airline,
// 4 generic ("ZZZ") livery of the type, 5 any airline's livery of the type,
// 6 any livery of a similar type. Main loop thread only.
#include <array>
#include <cstdint>
#include <string_view>

#include "aircraft/flight_ident.hpp"
#include "aircraft/livery_index.hpp"

namespace skh {

// Live matches per step (index step - 1) since the last summary was cleared.
extern std::array<std::int32_t, 6> g_matchesAtStep;

bool lf_matchRegcode(FlightIdent& ac);
// One index (0 passenger, 1 cargo) by airline and type.
bool lf_lookupIndex(FlightIdent& ac, std::string_view airline, std::string_view type, int index);
// The aircraft's own kind first; a cargo aircraft then the passenger index.
bool lf_lookupKey(FlightIdent& ac, std::string_view airline, std::string_view type);
bool lf_matchAirlineModel(FlightIdent& ac);
// The type alone, in the index of the aircraft's own kind.
bool lf_lookupModel(FlightIdent& ac, std::string_view type);
bool lf_matchSimilarModel(FlightIdent& ac, std::string_view airline, std::string_view type);
// Steps 4 to 6 without the airline; `step` gets the step that matched, or 0.
bool lf_matchAnyAirline(FlightIdent& ac, int& step);
void lf_pickTitle(FlightIdent& ac, const TitleViews& candidates);
// Counts and logs a live match; false (title cleared) for a refused title.
bool lf_recordMatch(FlightIdent& ac, int step);

// Zeroes the counters: after the daily summary and the one at closing.
void gf_resetMatchCounters();

}  // namespace skh
