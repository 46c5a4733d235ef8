#pragma once
// Flight plans of live aircraft: a small AceXML file per object in the
// folder orig_dest of the settings folder, handed to the simulator when the
// object is adopted; the folder goes with everything in it at the end of a
// run.
#include <cstdint>
#include <filesystem>
#include <string>

#include "traffic/aircraft_records.hpp"

namespace skh {

// Sets g_flightPlanFolder and creates it (and the settings folder) when
// missing; whether it exists. A status query that fails for another reason
// than a missing path throws std::filesystem::filesystem_error.
bool gf_makeFlightPlanFolder();
// "{}.pln" of the object id.
std::string gf_flightPlanFileName(std::uint32_t objectId);
// Writes the eight lines of the plan; false when the file cannot be written.
bool gf_writeFlightPlan(const std::filesystem::path& path, const FlightIdent& ac);
// Writes and sends the plan of an adopted live aircraft whose origin and
// destination are known.
void lf_createAiFlightPlan(LiveAc& ac);
// Deletes the plan of an aircraft that leaves the simulator.
void lf_removeFlightPlanFile(const LiveAc& ac);
// Removes the folder with its files; a missing folder counts as removed.
bool gf_removeFlightPlanFolder();

// An airport ident that may stand in the plan: 1 to 8 letters or digits.
bool lf_isPlanAirport(const std::string& ident);

}  // namespace skh
