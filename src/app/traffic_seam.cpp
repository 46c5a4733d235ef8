#include "app/traffic_seam.hpp"

#include "aircraft/liveries.hpp"
#include "foundation/constants.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "traffic/flight_plans.hpp"
#include "traffic/intake.hpp"
#include "traffic/live_update.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/per_second_work.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/traffic_counts.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"
#include "traffic/user_stand.hpp"

namespace skh::seam {

void gf_scanLiveries() { skh::gf_scanLiveries(); }

// The add-on airports scan, the park airports and the static parking are
// not called yet: no airport is scanned or parked.
void gf_scanAddonAirports() {}
void lf_readMyParkAirports() {}
void gf_addParkAirport(const std::string& /*code*/, GeoPos /*position*/) {}

void gf_makeFlightPlanFolder() {
    if (!skh::gf_makeFlightPlanFolder()) gf_logWarning(skh::format("Could not create {}", g_flightPlanFolder.string()));
}
void gf_removeFlightPlanFolder() { (void)skh::gf_removeFlightPlanFolder(); }

void gf_reserveTrafficContainers() { skh::gf_reserveTrafficContainers(); }
void gf_initInUseTitles() { skh::gf_initInUseTitles(); }
void gf_resetTraffic() { skh::gf_resetTraffic(); }
void gf_clearStaticParkingWork() {}

void lf_handleAddingStack() { skh::lf_handleAddingStack(); }

void lf_processSimEvents() { skh::lf_processSimEvents(); }

void gf_userStandWork() { skh::gf_userStandWork(); }

void gf_handleNewArrival(std::uint64_t weekSlot) { skh::gf_handleNewArrival(weekSlot); }
void gf_removeAllStaticAc() { skh::gf_removeAllStaticAc(); }
std::size_t gf_listLiveAcNames() { return skh::gf_listLiveAcNames(); }
bool gf_avoidUserCollision() { return skh::gf_avoidUserCollision(); }
void gf_avoidStaticCollisions() {}
void gf_removeBlockedLiveAc(const std::string& callsign) { skh::gf_removeBlockedLiveAc(callsign); }
void gf_clearReservedStand() { skh::gf_clearReservedStand(); }
void gf_handleStaticParking(bool /*firstCall*/) {}
void gf_removeDuplicateStatic() { skh::gf_removeDuplicateStatic(); }
void gf_restartStaticParking() {}
void gf_parkingAdjustments() {}
bool gf_checkParkAirports(bool /*reread*/, std::string& /*message*/) { return false; }

bool gf_firstParkAirport(GeoPos& position) {
    if (g_parkAirports.empty()) return false;
    position = GeoPos{g_parkAirports.front().lat, g_parkAirports.front().lon};
    return true;
}

bool gf_parkAirportLoaded() { return false; }
void gf_markApfParamsChanged() {}

std::uint64_t gf_activeLiveCount() { return skh::gf_activeLiveCount(); }
std::uint64_t gf_avgLiveParkTime(bool refresh) { return skh::gf_avgLiveParkTime(refresh); }
std::uint64_t gf_avgStaticParkTime(bool /*refresh*/) { return 0; }

void gf_logNoMatch() { skh::gf_logNoMatch(); }
void gf_logMatchingSummary() { skh::gf_logMatchingSummary(); }
// The matching statistics are kept for the whole process for now.
void gf_clearMatchingStatistics() {}

void gf_setParkedNavLights(bool on) { skh::gf_setParkedNavLights(on); }
void gf_limitLiveCount() { skh::gf_limitLiveCount(); }
void gf_refreshAcList() { skh::gf_refreshAcList(); }

void gf_saveLearnedParking() {}
void gf_removeGroundTraffic() {}
void gf_clearRunCallsigns() { skh::gf_clearRunCallsigns(); }
void gf_logTrafficCounts() { skh::gf_logTrafficCounts(); }

}  // namespace skh::seam
