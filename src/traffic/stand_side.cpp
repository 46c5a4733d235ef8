#include "traffic/stand_side.hpp"

#include <algorithm>

namespace skh {

std::string lf_standNameOf(std::uint32_t standId) {
    if (standId == 0) return "sid==0?";
    const Stand* stand = lf_findStandById(standId);
    return stand != nullptr ? stand->name : "sid==?";
}

Stand* lf_findStandByName(const std::string& name) {
    const auto it = std::find_if(g_stands.begin(), g_stands.end(), [&](const Stand& s) { return s.name == name; });
    return it == g_stands.end() ? nullptr : &*it;
}

Stand* lf_findStandById(std::uint32_t standId) {
    if (standId == 0) return nullptr;
    // Ids are 1-based places; a list that was edited is searched.
    if (standId <= g_stands.size() && g_stands[standId - 1].id == standId) return &g_stands[standId - 1];
    const auto it = std::find_if(g_stands.begin(), g_stands.end(), [&](const Stand& s) { return s.id == standId; });
    return it == g_stands.end() ? nullptr : &*it;
}

// The stand choice, the marks and the learning come with the stands work;
// until then no aircraft is born on a stand and nothing is learned.
std::uint8_t lf_standCargoOf(const Stand& /*stand*/) { return 0; }
std::optional<Stand> lf_chooseSpawnStand(LiveAc& /*ac*/) { return std::nullopt; }
void lf_markStandTaken(LiveAc& /*ac*/) {}
void lf_standFreed(std::uint32_t /*standId*/) {}
bool lt_addStandOption(std::uint32_t /*standId*/, const LiveAc& /*ac*/, std::uint32_t /*mode*/,
                       std::uint64_t /*weekSlot*/, bool /*fill*/) {
    return false;
}
void lf_learnSoftOnLeave(LiveAc& /*ac*/, bool /*notFlying*/) {}
void lf_checkMaxPark() {}
bool lf_staticPlanPending() { return false; }
void lf_staticParking() {}
void lf_dropPlannedParkings(std::uint32_t /*standId*/) {}
void try2Park(LiveAc& /*ac*/, bool /*wide*/) {}
bool lf_standOccupied(std::uint32_t /*standId*/) { return false; }
bool lf_parkStandsLoaded() { return !g_stands.empty(); }
void lf_reserveStandContainers() {}
void lf_resetStandState() {}

}  // namespace skh
