#include "app/traffic_seam.hpp"

#include "aircraft/liveries.hpp"
#include "aircraft/livery_match.hpp"
#include "airports/airport_list.hpp"
#include "airports/airport_scan.hpp"
#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "app/main_loop.hpp"
#include "app/run_state.hpp"
#include "app/startup.hpp"
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
#include "traffic/static_parking.hpp"
#include "traffic/traffic_counts.hpp"
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
    // The static parking's part of what the park airports ask, and the main
    // window's; the static parking's own asks of the window and the run.
    const auto setBusy = [](bool on) {
        if (on) {
            skh::gf_setBusy();
        } else {
            skh::gf_clearBusy();
        }
    };
    StaticParkingHooks hooks = skh::gf_staticParkingHooks();
    hooks.busy = [] { return g_mainWindowState.parkingBusy.load(); };
    hooks.setBusy = setBusy;
    hooks.closestAirport = [](GeoPos position) { return gf_closestAirport(position); };
    gf_setStaticParkingHooks(std::move(hooks));
    gf_setStaticParkingCalls({setBusy, [] { return static_cast<std::int32_t>(g_maxLiveAtStart); }});
    // What an airport's learned file switches is applied as the commands do.
    gf_setLearnedSettingsHooks({[](bool on) { skh::gf_learnedAutoRange(on); },
                                [](std::int32_t halfHours) { return skh::lf_snapFloatStep(halfHours); }});
}
void gf_initInUseTitles() { skh::gf_initInUseTitles(); }
void gf_resetTraffic() { skh::gf_resetTraffic(); }
void gf_clearStaticParkingWork() { skh::gf_clearStaticParkingWork(); }

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

void gf_restartStaticParking() { skh::gf_restartStaticParking(); }
void gf_parkingAdjustments() {
    if (!g_stands.empty()) skh::gf_parkingAdjustments();
}
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
std::uint64_t gf_avgStaticParkTime(bool refresh) { return skh::gf_avgStaticParkTime(refresh); }

void gf_logNoMatch() { skh::gf_logNoMatch(); }
void gf_logMatchingSummary() { skh::gf_logMatchingSummary(); }
void gf_clearMatchingStatistics() { skh::gf_resetMatchCounters(); }

void gf_setParkedNavLights(bool on) { skh::gf_setParkedNavLights(on); }
void gf_limitLiveCount() { skh::gf_limitLiveCount(); }
void gf_refreshAcList() { skh::gf_refreshAcList(); }

// Leaving the park airport afterwards finds nothing pending: one save.
void gf_saveLearnedParking() { (void)skh::lf_saveLearnedIfPending(); }
void gf_removeGroundTraffic() { skh::gf_removeGroundTraffic(); }
void gf_clearRunCallsigns() { skh::gf_clearRunCallsigns(); }
void gf_logTrafficCounts() { skh::gf_logTrafficCounts(); }

}  // namespace skh::seam
