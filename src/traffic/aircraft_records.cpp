#include "traffic/aircraft_records.hpp"

#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace skh {

namespace {

template <class E>
std::string lf_nameOf(const std::unordered_map<E, std::string>& table, E value) {
    const auto it = table.find(value);
    if (it == table.end()) throw std::out_of_range("invalid unordered_map<K, T> key");
    return it->second;
}

}  // namespace

std::string gf_moveStateName(AcState state) {
    static const std::unordered_map<AcState, std::string> kNames{{AcState::pushing_back, "pushing_back"},
                                                                 {AcState::pushed_back, "pushed_back"},
                                                                 {AcState::taxi, "taxi"},
                                                                 {AcState::take_off, "take_off"},
                                                                 {AcState::flying, "flying"},
                                                                 {AcState::parking, "parking"},
                                                                 {AcState::parked, "parked"},
                                                                 {AcState::birth, "birth"}};
    return lf_nameOf(kNames, state);
}

std::string gf_statusName(AcStatus status) {
    static const std::unordered_map<AcStatus, std::string> kNames{{AcStatus::buffer, "buffer"},
                                                                  {AcStatus::adding2sim, "adding2sim"},
                                                                  {AcStatus::active, "active"},
                                                                  {AcStatus::liveryrespawn, "liveryrespawn"},
                                                                  {AcStatus::removingfromsim, "removingfromsim"}};
    return lf_nameOf(kNames, status);
}

StaticAc::StaticAc(FlightIdent&& ident, double lat, double lon, double heading, std::uint32_t stand, std::uint8_t cargo)
    : standLat(lat), standLon(lon), standHeading(heading), standId(stand), standCargo(cargo) {
    moveFlightIdent(*this, ident);
}

LiveAc::LiveAc(const PosSample& first, FlightIdent&& ident, double timestamp)
    : StaticAc(std::move(ident), 0.0, 0.0, 0.0, 0, 0), lastTimestamp(timestamp) {
    stream.push_back(first);
}

void lf_setMoveState(LiveAc& ac, AcState state) {
    if (ac.moveState == state) return;
    ac.prevMoveState = ac.moveState;
    ac.moveState = state;
}

}  // namespace skh
