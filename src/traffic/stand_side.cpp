#include "traffic/stand_side.hpp"

#include <algorithm>

#include "airports/airport.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "platform/window.hpp"
#include "traffic/stand_learning.hpp"

namespace skh {

std::int32_t g_cargoChangedStands = 0;

Stand* lf_findStandByName(const std::string& name) {
    const auto it = std::find_if(g_stands.begin(), g_stands.end(), [&](const Stand& s) { return s.name == name; });
    return it == g_stands.end() ? nullptr : &*it;
}

void lf_markStandTaken(LiveAc& ac) {
    Stand* stand = gf_standById(ac.standId);
    if (stand == nullptr) return;
    stand->occupied = true;
    stand->occupant = ac.actNumber;
    if (ac.standCargo != 0 || ac.cargo == 0 || !stand->cargo) return;
    stand->cargo = false;
    stand->cargoChanged = true;
    ++g_cargoChangedStands;
    platform::invalidateMainWindow();
    gf_logWarning(skh::format("{} stand: {}, cargo attribute set to false, {} parked here", gf_parkAirport().icao,
                              stand->name, gf_acDescription(ac)));
}

void lf_releaseStandMark(const StaticAc& ac) {
    if (!gf_isLiveAct(ac.actNumber)) return;
    // By the holder, not by the record's stand id: the id may have been
    // cleared or changed since, and the stand given to another aircraft.
    for (Stand& stand : g_stands) {
        if (!stand.occupied || stand.occupant != ac.actNumber) continue;
        stand.occupied = false;
        stand.occupant = 0;
    }
}

bool lt_addStandOption(std::uint32_t standId, const LiveAc& ac, std::uint32_t /*mode*/, std::uint64_t weekSlot,
                       bool fill) {
    return lt_addStandOption(standId, static_cast<const FlightIdent&>(ac), weekSlot, fill);
}
void lf_learnSoftOnLeave(LiveAc& ac, bool notFlying) {
    lf_learnSoftOnLeave(ac, GeoPos{ac.pos.latitude, ac.pos.longitude}, ac.heightAboveGround, ac.standId, notFlying);
}
bool lf_standOccupied(std::uint32_t standId) {
    const Stand* stand = gf_standById(standId);
    return stand != nullptr && stand->occupied;
}
bool lf_parkStandsLoaded() { return !g_stands.empty(); }
void lf_resetStandState() { g_cargoChangedStands = 0; }

}  // namespace skh
