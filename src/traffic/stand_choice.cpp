#include "traffic/stand_choice.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "airports/airport.hpp"
#include "airports/learned_stands.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/random.hpp"
#include "foundation/time_text.hpp"
#include "traffic/stand_options.hpp"

namespace skh {

namespace {

constexpr double kNmPerDegree = 60.0;
constexpr std::uint32_t kSlotsPerDay = 48;
constexpr std::size_t kSmallAirportStands = 10;

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
    const bool gateFirst = gf_parkAirport().icao.rfind('K', 0) == 0 || gf_randomIndex(10) < 9;
    const StandKind first = gateFirst ? StandKind::PlainGate : StandKind::PlainRamp;
    const StandKind second = gateFirst ? StandKind::PlainRamp : StandKind::PlainGate;
    return {{first, true}, {first, false}, {second, true}, {second, false}};
}

}  // namespace

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
        gf_countLearnedUpdate();
    }
    return chosen;
}

Stand* lf_chooseStandBySize(std::uint64_t weekSlot, const FlightIdent& a, bool allowNext) {
    auto weekday = static_cast<std::uint32_t>(gf_weekdayOf(weekSlot));
    auto slot = static_cast<std::uint32_t>(gf_slotOf(weekSlot));
    if (slot >= kSlotsPerDay || weekday < 1 || weekday > 7) return nullptr;
    std::vector<Candidate> candidates;
    candidates.reserve(256);
    for (const Pass& pass : lf_passesFor(a)) {
        lf_collect(pass, weekday, std::uint64_t{1} << slot, a, candidates);
        if (!candidates.empty()) break;
    }
    if (candidates.empty()) {
        if (!allowNext || g_stands.size() > kSmallAirportStands) return nullptr;
        if (++slot == kSlotsPerDay) {
            slot = 0;
            weekday = weekday == 7 ? 1 : weekday + 1;
        }
        return lf_chooseStandBySize(weekday | std::uint64_t{slot} << 32, a, false);
    }
    if (RANDOM.value.load()) std::shuffle(candidates.begin(), candidates.end(), gf_randomEngine());
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
        if (x.matching != y.matching) return x.matching > y.matching;
        return x.sizeClass < y.sizeClass;
    });
    return &g_stands[candidates.front().index];
}

}  // namespace skh
