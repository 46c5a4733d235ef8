#include "app/traffic_seam.hpp"

#include "aircraft/liveries.hpp"
#include "feed/realtraffic_link.hpp"
#include "feed/traffic_queue.hpp"
#include "simclient/sim_events.hpp"
#include "simclient/sim_queues.hpp"
#include "simclient/user_aircraft.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/user_stand.hpp"

namespace skh::seam {

namespace {

// The user position goes to RealTraffic and is refreshed every 100 polls.
constexpr std::uint32_t kUserPositionPolls = 100;
constexpr int kSamplesPerPoll = 2;

}  // namespace

void gf_scanLiveries() { skh::gf_scanLiveries(); }

// Without the traffic control no airport is scanned or parked and no
// aircraft is placed: these calls have nothing to do yet.
void gf_scanAddonAirports() {}
void lf_readMyParkAirports() {}
void gf_addParkAirport(const std::string& /*code*/, GeoPos /*position*/) {}
void gf_makeFlightPlanFolder() {}
void gf_removeFlightPlanFolder() {}

void gf_reserveTrafficContainers() {}
void gf_initInUseTitles() { skh::gf_initInUseTitles(); }
void gf_resetTraffic() {
    gf_clearTrafficQueue();
    g_qnh = kStandardQnh;
}
void gf_clearStaticParkingWork() {}

void lf_handleAddingStack() {
    lf_processSimEvents();
    (void)gf_swapPositionBuffers();
    // Samples are taken at the driver's pace so the queue does not grow; with
    // no traffic control they place nothing.
    TrafficSample sample;
    for (int i = 0; i < kSamplesPerPoll && gf_popTrafficSample(sample); ++i) {
    }
    if (trafficTick.load() % kUserPositionPolls == 0) {
        gf_sendUserPosition();
        gf_setUserAcCopy(gf_requestUserPosition());
    }
    trafficTick.fetch_add(1);
}

void lf_processSimEvents() { (void)gf_takeSimEvents(); }

void gf_userStandWork() { skh::gf_userStandWork(); }

void gf_handleNewArrival(std::uint64_t /*weekSlot*/) {}
void gf_removeAllStaticAc() {}
std::size_t gf_listLiveAcNames() { return 0; }
bool gf_avoidUserCollision() { return false; }
void gf_avoidStaticCollisions() {}
void gf_removeBlockedLiveAc(const std::string& /*callsign*/) {}
void gf_clearReservedStand() {}
void gf_handleStaticParking(bool /*firstCall*/) {}
void gf_removeDuplicateStatic() {}
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

std::uint64_t gf_activeLiveCount() { return 0; }
std::uint64_t gf_avgLiveParkTime(bool /*refresh*/) { return 0; }
std::uint64_t gf_avgStaticParkTime(bool /*refresh*/) { return 0; }

void gf_logNoMatch() { skh::gf_logNoMatch(); }
void gf_logMatchingSummary() { skh::gf_logMatchingSummary(); }
// The matching statistics are kept for the whole process for now.
void gf_clearMatchingStatistics() {}

void gf_setParkedNavLights(bool /*on*/) {}
void gf_limitLiveCount() {}
void gf_refreshAcList() {}

void gf_saveLearnedParking() {}
void gf_removeGroundTraffic() {}
void gf_clearRunCallsigns() {}

}  // namespace skh::seam
