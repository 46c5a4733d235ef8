#include "app/traffic_seam.hpp"

#include "aircraft/liveries.hpp"
#include "airports/airport_list.hpp"
#include "airports/airport_scan.hpp"
#include "airports/park_airport_load.hpp"
#include "app/main_loop.hpp"
#include "feed/realtraffic_link.hpp"
#include "feed/traffic_queue.hpp"
#include "foundation/main_window_state.hpp"
#include "simclient/sim_events.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/user_aircraft.hpp"
#include "traffic/flight_plans.hpp"
#include "traffic/intake.hpp"
#include "traffic/live_update.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/per_second_work.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_learning.hpp"
#include "traffic/traffic_driver.hpp"
#include "traffic/traffic_state.hpp"
#include "traffic/user_stand.hpp"

namespace skh::seam {

void gf_scanLiveries() { skh::gf_scanLiveries(); }

void gf_scanAddonAirports() { skh::gf_scanAddonAirports(); }
void lf_readMyParkAirports() { (void)skh::lf_readMyParkAirports(); }
void gf_addParkAirport(const std::string& code, GeoPos position) { skh::gf_addParkAirport(code, position); }
void gf_makeFlightPlanFolder() { (void)skh::gf_makeFlightPlanFolder(); }
void gf_removeFlightPlanFolder() { (void)skh::gf_removeFlightPlanFolder(); }

void gf_reserveTrafficContainers() {
    skh::gf_reserveTrafficContainers();
    // The main window's part of what the park airports ask; the static
    // parking adds its own part here when it comes.
    StaticParkingHooks hooks;
    hooks.busy = [] { return g_mainWindowState.parkingBusy.load(); };
    hooks.setBusy = [](bool on) {
        if (on) {
            skh::gf_setBusy();
        } else {
            skh::gf_clearBusy();
        }
    };
    hooks.closestAirport = [](GeoPos position) { return gf_closestAirport(position); };
    hooks.clearReservedStand = [] { skh::gf_clearReservedStand(); };
    gf_setStaticParkingHooks(std::move(hooks));
}
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
void gf_removeBlockedLiveAc(const std::string& callsign) { skh::gf_removeBlockedLiveAc(callsign); }
void gf_clearReservedStand() { skh::gf_clearReservedStand(); }
void gf_removeDuplicateStatic() { skh::gf_removeDuplicateStatic(); }

void gf_handleStaticParking(bool firstCall) { skh::gf_handleStaticParking(firstCall); }

void gf_avoidStaticCollisions() { skh::gf_avoidStaticCollisionsOnGround(); }

// The static parking is not built yet: no static aircraft is planned or
// placed, so there is nothing to renew or adjust.
void gf_restartStaticParking() {}
void gf_parkingAdjustments() {}
bool gf_checkParkAirports(bool reread, std::string& message) { return skh::gf_checkParkAirports(reread, message); }

bool gf_firstParkAirport(GeoPos& position) {
    if (g_parkAirports.empty()) return false;
    position = GeoPos{g_parkAirports.front().lat, g_parkAirports.front().lon};
    return true;
}

bool gf_parkAirportLoaded() { return g_parkAirportLoaded.load(); }
void gf_markApfParamsChanged() { g_apfParamsChanged = true; }

std::uint64_t gf_activeLiveCount() { return skh::gf_activeLiveCount(); }
std::uint64_t gf_avgLiveParkTime(bool refresh) { return skh::gf_avgLiveParkTime(refresh); }
// No static aircraft without the static parking.
std::uint64_t gf_avgStaticParkTime(bool /*refresh*/) { return 0; }

void gf_logNoMatch() { skh::gf_logNoMatch(); }
void gf_logMatchingSummary() { skh::gf_logMatchingSummary(); }
// The matching statistics are kept for the whole process for now.
void gf_clearMatchingStatistics() {}

void gf_setParkedNavLights(bool on) { skh::gf_setParkedNavLights(on); }
void gf_limitLiveCount() { skh::gf_limitLiveCount(); }
void gf_refreshAcList() { skh::gf_refreshAcList(); }

void gf_saveLearnedParking() { (void)skh::lf_saveLearnedParking(); }
// The removal of the aircraft on the ground comes with the static parking.
void gf_removeGroundTraffic() {}
void gf_clearRunCallsigns() { skh::gf_clearRunCallsigns(); }

}  // namespace skh::seam
