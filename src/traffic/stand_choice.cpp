#include "traffic/stand_choice.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "airports/airport.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/time_text.hpp"
#include "traffic/ground_manoeuvres.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_learning.hpp"
#include "traffic/stand_lookup.hpp"
#include "traffic/stand_options.hpp"
#include "traffic/static_plan.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

namespace {

constexpr double kNmPerDegree = 60.0;
constexpr std::size_t kSmallAirportStands = 10;
constexpr double kSpawnAirportNm = 5.0;        // born standing only this close to the park airport
constexpr double kSpawnMovingSpeedKt = 5.0;    // a moving newcomer faster than this is no parked one
constexpr double kSpawnMovingSpanNm = 0.0189;  // 35 m: the most a parked newcomer's samples may wander
constexpr double kSamePositionDeg = 1e-8;

// A stand cannot be nearer than its difference in latitude; the haversine
// is computed only for stands that pass this cheap test.
bool lf_latitudeWithin(const Stand& s, GeoPos p, double nm) { return std::fabs(s.lat - p.lat) * kNmPerDegree <= nm; }

bool lf_hasMatchingOption(const Stand& s, const FlightIdent& a) {
    if (a.callsign.empty()) return false;
    return std::any_of(s.options.begin(), s.options.end(),
                       [&](const StandOption& o) { return lf_optionMatches(a.callsign, a.airline, a.type, o); });
}

// The stands an aircraft kind may use.
enum class StandKind { Helipad, Ramp, Cargo, NotHelipad, PlainRamp, PlainGate };

bool lf_isKind(const Stand& s, StandKind kind) {
    switch (kind) {
        case StandKind::Helipad:
            return s.helipad;
        case StandKind::Ramp:
            return s.ramp;
        case StandKind::Cargo:
            return s.cargo && !s.helipad;
        case StandKind::NotHelipad:
            return !s.helipad;
        case StandKind::PlainRamp:
            return s.ramp && !s.cargo && !s.helipad;
        case StandKind::PlainGate:
            return !s.ramp && !s.cargo && !s.helipad;
    }
    return false;
}

bool lf_freeAt(const Stand& s, std::uint32_t weekday, std::uint64_t slotBit) {
    return std::none_of(s.options.begin(), s.options.end(), [&](const StandOption& o) {
        return o.seq != 0 && o.weekday == weekday && (o.halfHours & slotBit) != 0;
    });
}

struct Candidate {
    std::size_t index = 0;
    std::int32_t sizeClass = 0;
    std::uint32_t matching = 0;
};

struct Pass {
    StandKind kind;
    bool sizeTest;
};

// One pass over the stands of a kind that are free at the slot: the size
// pass keeps stands of the best size class so far, the fallback any size.
void lf_collect(const Pass& pass, std::uint32_t weekday, std::uint64_t slotBit, const FlightIdent& a,
                std::vector<Candidate>& candidates) {
    const double w = a.wingspan;
    const double step = lf_sizeStep(w);
    std::int32_t best = 100;
    for (std::size_t i = 0; i < g_stands.size(); ++i) {
        const Stand& s = g_stands[i];
        if (!lf_isKind(s, pass.kind)) continue;
        std::int32_t sizeClass = 0;
        if (pass.sizeTest) {
            if (s.radius < w - kOversizeNm) continue;
            sizeClass = gf_roundToInt32((s.radius - w) / step);
            if (sizeClass > best || !lf_freeAt(s, weekday, slotBit)) continue;
            best = sizeClass;
        } else {
            if (!lf_freeAt(s, weekday, slotBit)) continue;
            sizeClass = gf_roundToInt32(std::fabs(w - s.radius));
        }
        candidates.push_back({i, sizeClass, lf_hasMatchingOption(s, a) ? 1u : 0u});
    }
}

std::vector<Pass> lf_passesFor(const FlightIdent& a) {
    if (a.category == CatRotorcraft) {
        return {
            {StandKind::Helipad, true}, {StandKind::Ramp, true}, {StandKind::Helipad, false}, {StandKind::Ramp, false}};
    }
    if (a.cargo != 0) {
        return {{StandKind::Cargo, true},
                {StandKind::Cargo, false},
                {StandKind::NotHelipad, true},
                {StandKind::NotHelipad, false}};
    }
    if (a.category == CatLight || a.category == CatBuzjets || a.airline == "PVT") {
        return {{StandKind::PlainRamp, true}, {StandKind::PlainRamp, false}};
    }
    // Gates first at US airports and mostly elsewhere; ramps first otherwise.
    const bool gateFirst = gf_parkAirport().icao.rfind('K', 0) == 0 || gf_trafficServices().randomBelow(10) < 9;
    const StandKind first = gateFirst ? StandKind::PlainGate : StandKind::PlainRamp;
    const StandKind second = gateFirst ? StandKind::PlainRamp : StandKind::PlainGate;
    return {{first, true}, {first, false}, {second, true}, {second, false}};
}

// A live aircraft of another callsign parked or pushing back at a neighbour
// of the stand, too close to stand beside the newcomer.
bool lf_neighbourTooClose(const Stand& stand, const LiveAc& ac) {
    for (const std::uint32_t adjacentId : stand.adjacent) {
        for (const LiveAc& other : g_liveAc) {
            if (other.standId != adjacentId || other.status != AcStatus::active || other.callsign == ac.callsign) {
                continue;
            }
            if (other.moveState != AcState::parked && other.moveState != AcState::pushing_back) continue;
            const double d = gf_distanceNm(GeoPos{other.standLat, other.standLon}, GeoPos{stand.lat, stand.lon});
            if (d <= 1.1 * (other.wingspan + ac.wingspan)) return true;
        }
    }
    return false;
}

void lf_takeStand(LiveAc& ac, const Stand& s) {
    ac.standLat = s.lat;
    ac.standLon = s.lon;
    ac.standHeading = s.heading;
    ac.standId = s.id;
    ac.standCargo = s.cargo ? 1 : 0;
}

}  // namespace

bool lf_isUsersStand(const Stand& stand) {
    // The loaded airport's reserved stand, whichever entry the list has first
    // (a typed destination or a re-read moves another one to the front).
    if (!g_reservedStand.empty() && g_reservedStand == stand.name) return true;
    const std::string userStand = gf_nearestStandName(g_userAc.latitude, g_userAc.longitude);
    return !userStand.empty() && userStand == stand.name;
}

void try2Park(LiveAc& ac, bool wide) {
    if (ac.stream.empty()) {
        gf_logWarning(skh::format("{} empty sz?", "try2Park"));
        return;
    }
    const PosSample& newest = ac.stream.back();
    if (std::fabs(newest.lat - ac.lastParkAttemptLat) <= kSamePositionDeg &&
        std::fabs(newest.lon - ac.lastParkAttemptLon) <= kSamePositionDeg) {
        return;
    }
    ac.lastParkAttemptLat = newest.lat;
    ac.lastParkAttemptLon = newest.lon;
    Stand* stand = lf_findFreeStand(GeoPos{newest.lat, newest.lon}, ac, wide ? kStandCatchNm : kTightParkNm, wide);
    if (stand == nullptr || lf_isUsersStand(*stand)) return;
    lf_removeStandOccupant(stand->id, ac);
    for (const std::uint32_t adjacentId : stand->adjacent) lf_removeAdjacentLive(adjacentId, *stand, ac);
    lf_makeWay(ac, *stand);
    lf_takeStand(ac, *stand);
    ac.stream.resize(1);
    lf_setMoveState(ac, AcState::parking);
    PosSample at = ac.stream.front();
    at.lat = stand->lat;
    at.lon = stand->lon;
    drive2Stand(ac, at);
}

std::optional<Stand> lf_chooseSpawnStand(LiveAc& ac) {
    const Airport park = gf_parkAirport();
    if (g_stands.empty() || park.icao.empty() || ac.stream.empty()) return std::nullopt;
    PosSample& front = ac.stream.front();
    if (gf_distanceNm(GeoPos{front.lat, front.lon}, GeoPos{park.lat, park.lon}) > kSpawnAirportNm) {
        return std::nullopt;
    }
    GeoPos p{front.lat, front.lon};
    const bool moving = front.stationary == 0;
    if (moving) {
        const PosSample& newest = ac.stream.back();
        if (ac.stream.size() > 1 && ac.stream[1].groundSpeed > kSpawnMovingSpeedKt) return std::nullopt;
        if (gf_distanceNm(p, GeoPos{newest.lat, newest.lon}) > kSpawnMovingSpanNm) return std::nullopt;
        p = GeoPos{newest.lat, newest.lon};
    }
    Stand* stand = lf_findFreeStand(p, ac, kStandCatchNm, !moving);
    if (stand == nullptr || lf_isUsersStand(*stand)) return std::nullopt;
    if (!lf_freeStandForLive(stand->id, ac.callsign)) {
        ac.dropUnsent = 1;
        return std::nullopt;
    }
    if (lf_neighbourTooClose(*stand, ac)) return std::nullopt;
    lf_makeWay(ac, *stand);
    if (moving) {
        front.stationary = 1;
        front.groundSpeed = 0.0;
    }
    return *stand;
}

void gf_releaseLiveStands() {
    for (LiveAc& ac : g_liveAc) {
        if (ac.standId == 0) continue;
        ac.standId = 0;
        ac.standLat = 0.0;
        ac.standLon = 0.0;
        ac.standHeading = 0.0;
        ac.standCargo = 0;
        if (ac.moveState == AcState::parking) lf_setMoveState(ac, AcState::taxi);
    }
    gf_clearNearestStandCache();
}

Stand* lf_findFreeStand(GeoPos p, const FlightIdent& a, double maxNm, bool allowMatch) {
    const double searched = allowMatch ? std::max(maxNm, kOptionMatchNm) : maxNm;
    Stand* taken = nullptr;
    bool takenTooSmall = false;
    double bestTaken = maxNm;
    Stand* match = nullptr;
    double bestMatch = kOptionMatchNm;
    for (Stand& s : g_stands) {
        if (s.occupied || !lf_latitudeWithin(s, p, searched)) continue;
        const double d = gf_distanceNm(p, GeoPos{s.lat, s.lon});
        const bool fits = a.wingspan - s.radius <= kOversizeNm;
        if (d <= bestTaken && (taken == nullptr || d < bestTaken) && (fits || d <= kTightParkNm)) {
            taken = &s;
            bestTaken = d;
            takenTooSmall = !fits;
            allowMatch = false;  // a stand at the position ends the search for a matching one
        } else if (allowMatch && fits && d <= bestMatch && (match == nullptr || d < bestMatch) &&
                   lf_hasMatchingOption(s, a)) {
            match = &s;
            bestMatch = d;
        }
    }
    Stand* chosen = taken != nullptr ? taken : match;
    if (chosen == nullptr || chosen->helipad != (a.category == CatRotorcraft)) return nullptr;
    if (chosen == taken && takenTooSmall) {
        chosen->radius = a.wingspan - kOneMetreNm;
        chosen->radiusChanged = true;
        lf_countChange();
    }
    return chosen;
}

Stand* lf_chooseStandBySize(std::uint64_t weekSlot, const FlightIdent& a, bool allowNext) {
    if (!lf_isValidWeekSlot(weekSlot)) return nullptr;
    const auto weekday = static_cast<std::uint32_t>(gf_weekdayOf(weekSlot));
    const auto slot = static_cast<std::uint32_t>(gf_slotOf(weekSlot));
    std::vector<Candidate> candidates;
    candidates.reserve(256);
    for (const Pass& pass : lf_passesFor(a)) {
        lf_collect(pass, weekday, std::uint64_t{1} << slot, a, candidates);
        if (!candidates.empty()) break;
    }
    if (candidates.empty()) {
        if (!allowNext || g_stands.size() > kSmallAirportStands) return nullptr;
        return lf_chooseStandBySize(lf_weekSlotBefore(weekSlot, -1), a, false);
    }
    if (RANDOM.value.load()) std::shuffle(candidates.begin(), candidates.end(), gf_randomEngine());
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
        if (x.matching != y.matching) return x.matching > y.matching;
        return x.sizeClass < y.sizeClass;
    });
    return &g_stands[candidates.front().index];
}

}  // namespace skh
