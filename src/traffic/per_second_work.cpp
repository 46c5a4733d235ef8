#include "traffic/per_second_work.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/geo.hpp"
#include "foundation/parameter_table.hpp"
#include "simclient/sim_ids.hpp"
#include "simclient/sim_state.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_event_handling.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr double kFeetPerNm = 6076.11549;

// The user's position at the last check against the static aircraft; none
// (never equal to a position) before the first.
constexpr GeoPos kNoUserGroundPos{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
GeoPos g_lastUserGroundPos = kNoUserGroundPos;

double lf_signedAngle(double rad) {
    rad = std::fmod(rad, TWO_PI);
    if (rad > M_PI) rad -= TWO_PI;
    if (rad < -M_PI) rad += TWO_PI;
    return rad;
}

bool lf_avoidInTheAir(const UserAcState& user) {
    const GeoPos userPos{user.latitude, user.longitude};
    for (LiveAc& ac : g_liveAc) {
        if (ac.status != AcStatus::active) continue;
        const GeoPos acPos{ac.pos.latitude, ac.pos.longitude};
        const double d = gf_distanceNm(userPos, acPos);
        const double bearing = gf_bearingRad(userPos, acPos);
        // Something on the runway ahead of a user about to land.
        if (ac.onGround != 0 && user.altitudeAboveGround <= 500.0 && d <= 1.0 && user.altitudeAboveGround < 500.0 &&
            std::fabs(std::sin(bearing - user.trueHeading)) * d * kFeetPerNm <= 50.0) {
            removeAircraftFromSim(ac);
            return true;
        }
        // An aircraft whose track passes close to the user.
        if (d <= 4.0 && std::fabs(ac.pos.altitude - user.altitude) < 1000.0 &&
            std::fabs(std::sin(lf_signedAngle(ac.pos.trueHeading - bearing))) * d * kFeetPerNm <= 700.0) {
            removeAircraftFromSim(ac);
            return true;
        }
    }
    return false;
}

bool lf_avoidOnTheGround(const UserAcState& user) {
    const GeoPos userPos{user.latitude, user.longitude};
    const double span = userWingspan.load();
    for (LiveAc& ac : g_liveAc) {
        if (ac.onGround == 0 || ac.status != AcStatus::active) continue;
        if ((span + ac.wingspan) * 1.15 >= gf_distanceNm(userPos, {ac.pos.latitude, ac.pos.longitude})) {
            removeAircraftFromSim(ac);
            return true;
        }
    }
    if (std::fabs(userPos.lat - g_lastUserGroundPos.lat) < 1e-8 &&
        std::fabs(userPos.lon - g_lastUserGroundPos.lon) < 1e-8)
        return false;
    g_lastUserGroundPos = userPos;
    for (StaticAc& st : g_staticAc) {
        if (st.status == AcStatus::active &&
            (span + st.wingspan) * 1.1 >= gf_distanceNm(userPos, {st.standLat, st.standLon})) {
            removeAircraftFromSim(st);
            return true;
        }
    }
    return false;
}

}  // namespace

void gf_handleNewArrival(std::uint64_t weekSlot) {
    if (g_coupledSearchActs.empty()) return;
    const std::uint32_t act = g_coupledSearchActs.front();
    g_coupledSearchActs.erase(g_coupledSearchActs.begin());
    LiveAc* ac = gf_findLiveByAct(act);
    if (ac == nullptr) return;
    if (ac->flag == 0) {
        lf_searchForCoupledCsAroundThisTime(*ac, weekSlot);
        ac->flag = 1;
    }
    gf_removeDuplicateStatics(*ac, ac->onGround != 0);
}

bool gf_avoidUserCollision() {
    const bool onGround = gf_simPort().userOnGround();
    if (!onGround && COLLISION_USER_AIR.value.load()) return lf_avoidInTheAir(g_userAc);
    if (onGround && COLLISION_USER_GND.value.load()) return lf_avoidOnTheGround(g_userAc);
    return false;
}

void gf_removeBlockedLiveAc(const std::string& callsign) {
    if (callsign.empty()) return;
    const auto it = std::find_if(g_liveAc.begin(), g_liveAc.end(), [&](const LiveAc& ac) {
        return ac.callsign == callsign && ac.status == AcStatus::active;
    });
    if (it != g_liveAc.end()) removeAircraftFromSim(*it);
}

void gf_removeDuplicateStatic() {
    if (g_staticAc.empty()) return;
    for (const LiveAc& ac : g_liveAc) {
        if (ac.onGround == 0 || ac.status != AcStatus::active) continue;
        const std::string starred = ac.callsign + "*";
        for (StaticAc& st : g_staticAc) {
            const bool same =
                st.callsign == starred || (!ac.registration.empty() && st.registration == ac.registration);
            if (same && st.status == AcStatus::active) {
                removeAircraftFromSim(st);
                return;
            }
        }
    }
}

std::uint64_t gf_activeLiveCount() {
    return static_cast<std::uint64_t>(std::count_if(g_liveAc.begin(), g_liveAc.end(), [](const LiveAc& ac) {
        return ac.status == AcStatus::active && ac.moveState != AcState::parked;
    }));
}

void gf_setParkedNavLights(bool on) {
    const std::uint32_t value = on ? 1 : 0;
    for (const StaticAc& st : g_staticAc) {
        if (st.status == AcStatus::active) lf_sendEvent(st, EVENT_NAV_LIGHTS_SET, value);
    }
    for (const LiveAc& ac : g_liveAc) {
        if (ac.status == AcStatus::active && ac.moveState == AcState::parked)
            lf_sendEvent(ac, EVENT_NAV_LIGHTS_SET, value);
    }
}

void gf_clearRunCallsigns() { g_removedGhosts.clear(); }

void gf_resetUserGroundCheck() { g_lastUserGroundPos = kNoUserGroundPos; }

}  // namespace skh
