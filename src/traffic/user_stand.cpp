#include "traffic/user_stand.hpp"

#include "airports/airport.hpp"
#include "foundation/main_window_state.hpp"
#include "platform/window.hpp"
#include "simclient/sim_state.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/stand_lookup.hpp"
#include "simclient/user_aircraft.hpp"

namespace skh {

void lf_updateParkStand() {
    if (!userOnGroundKnown.load() || gf_userAcCopy().groundVelocity > 2.0) return;
    const UserAcState user = gf_userAcState();
    const std::string name = gf_nearestStandName(user.latitude, user.longitude);
    if (name.empty() || g_parkAirports.empty()) return;
    ParkAirportEntry& first = g_parkAirports.front();
    if (first.code != gf_parkAirport().icao || first.reservedStand == name) return;
    first.reservedStand = name;
    gf_updateMyParkAirports();
}

void gf_userStandWork() {
    if (g_userStandCheckWanted.exchange(false)) {
        const UserAcState user = gf_userAcState();
        const std::string name = gf_nearestStandName(user.latitude, user.longitude);
        // The window's text is the stand last named.
        gf_setBoard(g_mainWindowState.userStand, name);
    }
    if (g_parkStandUpdateWanted.exchange(false)) lf_updateParkStand();
}

}  // namespace skh
