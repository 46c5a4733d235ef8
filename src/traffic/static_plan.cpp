#include "traffic/static_plan.hpp"

#include <algorithm>
#include <cmath>
#include <exception>

#include "aircraft/flight_ident.hpp"
#include "airports/airport.hpp"
#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/stand_locations.hpp"
#include "foundation/format.hpp"
#include "foundation/hash.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/parameters.hpp"
#include "foundation/text.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "traffic/live_update.hpp"
#include "traffic/park_airports.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_learning.hpp"
#include "traffic/stand_lookup.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/static_parking.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

std::vector<ParkPos> g_parkPositions;
std::int32_t g_realFitReached = 0;
std::int32_t g_softFitReached = -1;
std::vector<ParkedLive> g_parkedLive;
bool g_learnSoftSwitchedOff = false;

namespace {

constexpr const char* kDayNames[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::int32_t kCoupledWindowHeavy = 14;
constexpr std::int32_t kCoupledWindow = 10;
// From this quality of real learning at an airport of this many stands, soft
// guesses would only blur what is known.
constexpr std::int32_t kEnoughRealQuality = 45;
constexpr std::size_t kEnoughStands = 20;

// Callsigns noted since the last plan, and those the plan in use took over.
TextSet g_coupledPending;
TextSet g_coupledInUse;

// Half spans by type (nm), built once per pass, and the active static
// aircraft standing at each stand id, once per round.
TextMap<double> g_spanOfType;
std::vector<const StaticAc*> g_staticAtStand;
std::vector<std::size_t> g_pickWork;

double lf_spanOf(const std::string& type) {
    const auto it = g_spanOfType.find(type);
    if (it != g_spanOfType.end()) return it->second;
    const double span = gf_wingspanOf(type);
    g_spanOfType.emplace(type, span);
    return span;
}

void lf_indexStaticsAtStands() {
    g_staticAtStand.assign(g_stands.size() + 1, nullptr);
    for (const StaticAc& st : g_staticAc) {
        if (st.status == AcStatus::active && st.standId != 0 && st.standId < g_staticAtStand.size() &&
            g_staticAtStand[st.standId] == nullptr)
            g_staticAtStand[st.standId] = &st;
    }
}

const StaticAc* lf_staticAt(std::uint32_t standId) {
    return standId < g_staticAtStand.size() ? g_staticAtStand[standId] : nullptr;
}

std::uint64_t lf_packWeekSlot(std::int64_t weekday, std::int64_t slot) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(slot)) << 32) | static_cast<std::uint32_t>(weekday);
}

std::uint64_t lf_slotBit(std::int32_t slot) { return std::uint64_t{1} << slot; }

std::int64_t lf_plannedCount() {
    return std::count_if(g_stands.begin(), g_stands.end(), [](const Stand& s) { return s.planned; });
}

bool lf_randomOn() { return RANDOM.value.load(); }

// Uniform shuffle with the traffic control's random draw.
template <class T>
void lf_shuffle(std::vector<T>& v) {
    auto& draw = gf_trafficServices().randomBelow;
    for (std::size_t i = v.size(); i > 1; --i) {
        const auto j = static_cast<std::size_t>(draw(static_cast<std::int64_t>(i)) % i);
        std::swap(v[i - 1], v[j]);
    }
}

bool lf_staysIntoNextSlot(const Stand& stand, const StandOption& option, std::uint64_t dayAndSlot) {
    if (option.secondCallsign.empty()) return true;
    const std::int32_t s = gf_slotOf(dayAndSlot);
    if (s + 1 < kDaySlots) return (option.halfHours & lf_slotBit(s + 1)) != 0;
    const std::int32_t d = gf_weekdayOf(dayAndSlot);
    return lf_seenFirstThing(stand, option.airline, option.type, d == 7 ? 1 : d + 1);
}

// An active static aircraft at an adjacent stand would touch an aircraft of
// this type here.
bool lf_collidesWithAdjacentStatic(const Stand& stand, const std::string& type) {
    double span = -1.0;
    for (const std::uint32_t id : stand.adjacent) {
        const StaticAc* st = lf_staticAt(id);
        if (st == nullptr) continue;
        if (span < 0.0) span = lf_spanOf(type);
        if (st->wingspan + span > gf_distanceNm({st->standLat, st->standLon}, {stand.lat, stand.lon})) return true;
    }
    return false;
}

bool lf_optionPasses(const StandOption& o, std::uint32_t mode, bool anyWeekday, std::int64_t weekday,
                     std::uint64_t bit) {
    if (o.seq == 0 || o.skip) return false;
    if (mode == kRealOptions && o.real != 1) return false;
    if (mode == kSoftOptions && o.real != 0) return false;
    if (!anyWeekday && static_cast<std::int64_t>(o.weekday) != weekday) return false;
    return (o.halfHours & bit) != 0;
}

// With a choice: the option of the static aircraft already standing here
// first, else a random order. Needs the round's index of the statics.
void lf_pickCandidate(std::vector<std::size_t>& picks, const Stand& stand) {
    if (const StaticAc* here = lf_staticAt(stand.id)) {
        for (std::size_t i = 0; i < picks.size(); ++i) {
            const StandOption& o = stand.options[picks[i]];
            const bool sameCallsign = (!o.callsign.empty() && gf_wildcardEqual(o.callsign, here->callsign)) ||
                                      (!o.secondCallsign.empty() && gf_wildcardEqual(o.secondCallsign, here->callsign));
            if (sameCallsign && o.airline == here->airline && o.type == here->type) {
                std::swap(picks[0], picks[i]);
                return;
            }
        }
    }
    lf_shuffle(picks);
}

bool lf_planHas(const std::vector<ParkPos>& list, const std::string& registration, const std::string& cs,
                const std::string& cs2) {
    return std::any_of(list.begin(), list.end(), [&](const ParkPos& p) {
        if (!registration.empty() && p.registration == registration) return true;
        return !p.callsign.empty() && (p.callsign == cs || p.callsign == cs2);
    });
}

}  // namespace

// ---- Coupled callsigns --------------------------------------------------------

void lf_noteCoupledCallsign(const std::string& callsign) {
    if (!callsign.empty()) g_coupledPending.insert(callsign);
}

void lf_takeOverCoupledCallsigns() {
    g_coupledInUse.clear();
    g_coupledInUse.swap(g_coupledPending);
}

bool lf_callsignInCoupledMap(const std::string& callsign) {
    if (callsign.empty() || g_coupledInUse.empty()) return false;
    return g_coupledInUse.count(callsign) != 0 || g_coupledInUse.count(callsign + "_") != 0;
}

void lf_clearCoupledCallsigns() {
    g_coupledPending.clear();
    g_coupledInUse.clear();
}

// ---- Week slots -------------------------------------------------------------------

bool lf_seenFirstThing(const Stand& stand, const std::string& airline, const std::string& type, std::int32_t weekday) {
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return o.seq != 0 && static_cast<std::int32_t>(o.weekday) == weekday && o.airline == airline &&
               o.type == type && (o.halfHours & 1u) != 0;
    });
}

bool lf_isValidWeekSlot(std::uint64_t weekSlot) {
    const std::int32_t d = gf_weekdayOf(weekSlot);
    const std::int32_t s = gf_slotOf(weekSlot);
    return d >= 1 && d <= 7 && s >= 0 && s < kDaySlots;
}

std::int32_t lf_weekSlotIndex(std::uint64_t weekSlot) {
    return (gf_weekdayOf(weekSlot) - 1) * kDaySlots + gf_slotOf(weekSlot);
}

std::uint64_t lf_weekSlotBefore(std::uint64_t weekSlot, std::int64_t n) {
    std::int64_t k = (static_cast<std::int64_t>(lf_weekSlotIndex(weekSlot)) - n) % kWeekSlots;
    if (k < 0) k += kWeekSlots;
    return lf_packWeekSlot(k / kDaySlots + 1, k % kDaySlots);
}

std::string lf_slotHours(std::int64_t halfHours) {
    return gf_float2string(static_cast<float>(halfHours) * 0.5f + 0.5f);
}

// ---- The plan ------------------------------------------------------------------------

std::uint64_t lf_logDayAndTime() {
    const std::uint64_t now = g_weekSlot.load();
    const std::int32_t d = gf_weekdayOf(now);
    gf_log(skh::format("\n{} (utc) It is day {} ({}), {} hours", gf_timeOfDay(), d,
                       d >= 1 && d <= 7 ? kDayNames[d - 1] : "???", lf_slotHours(gf_slotOf(now))));
    return now;
}

void lf_clearPlanMarks() {
    for (Stand& s : g_stands) {
        s.planned = false;
        s.reserved = false;
        s.adjacentTaken = false;
    }
}

void lf_markPlanned(Stand& stand) {
    stand.planned = true;
    for (const std::uint32_t id : stand.adjacent) {
        if (Stand* other = gf_standById(id)) other->adjacentTaken = true;
    }
}

void lf_markReservedStands() {
    const std::string atUser = gf_nearestStandName(g_userAc.latitude, g_userAc.longitude);
    for (Stand& s : g_stands) {
        if ((!g_reservedStand.empty() && s.name == g_reservedStand) || (!atUser.empty() && s.name == atUser))
            s.reserved = true;
    }
}

std::string lf_readParkedFile() {
    const char* const fn = "lf_readParkedFile";
    g_stands.clear();
    gf_standsChanged();
    const std::string code = gf_parkAirport().icao;
    std::string reference;
    try {
        reference = gf_getStockAirportFile(code);
    } catch (const std::exception& e) {
        return skh::format("{} {}: {}", fn, code, e.what());
    }
    if (reference.empty()) return skh::format("{} {} not found", fn, code);
    if (reference.find("unknown") != std::string::npos)
        return skh::format("{} {} has publisher:{}, {}", fn, code, "unknown", reference);
    g_apfInfo = ApfInfo{};
    if (std::string error = gf_readApf(reference, g_apfInfo, g_qualityFactors); !error.empty()) return error;

    const platform::WindowHandle learnSoftBox = LEARN_SOFT.hwnd.load();
    g_learnSoftSwitchedOff = false;
    if (gf_qfReal(g_qualityFactors) >= kEnoughRealQuality && g_stands.size() >= kEnoughStands) {
        g_softLearningAllowed = false;
        if (LEARN_SOFT.value.load()) {
            LEARN_SOFT.value = false;
            gf_showBoolParameter(LEARN_SOFT);
            if (learnSoftBox != 0) platform::enableWindow(learnSoftBox, false);
            g_learnSoftSwitchedOff = true;
        }
    } else {
        g_softLearningAllowed = true;
        if (learnSoftBox != 0) platform::enableWindow(learnSoftBox, true);
    }
    gf_takeReservedStandAtLoad();
    g_stands.shrink_to_fit();
    gf_setBoard(g_mainWindowState.reservedStandOk, !g_reservedStand.empty());
    gf_setBoard(g_parkBoard.airportName, g_apfInfo.name);
    gf_setBoard(g_mainWindowState.parkFileOk, true);
    return {};
}

std::int64_t lf_wantedStaticCount() {
    const std::int32_t max = MAX_PARK_SEL.value.load();
    if (max <= 0) {
        gf_setBoard(g_mainWindowState.maxParkCount, 0);
        gf_setBoard(g_mainWindowState.maxParkPercent, parking_percentage.value.load());
        return 0;
    }
    const std::int32_t custom = CUSTOM_PARKING_PERCENTAGE.value.load();
    const std::int64_t p = custom >= 0 ? custom : parking_percentage.value.load();
    const auto s = static_cast<std::int64_t>(g_stands.size());
    std::int64_t n = 1;
    if (s > 1 && (s > 3 || p >= 50)) n = gf_roundToInt32(static_cast<double>(p * s) / 100.0);
    const std::int64_t wanted = std::min<std::int64_t>(max, n);
    gf_setBoard(g_mainWindowState.maxParkCount, wanted);
    // No stands, no share of them.
    gf_setBoard(g_mainWindowState.maxParkPercent,
                s > 0 ? gf_roundToInt32(static_cast<double>(wanted) * 100.0 / static_cast<double>(s)) : 0);
    return wanted;
}

void lf_showParkingParams() {
    const std::uint64_t now = lf_logDayAndTime();
    gf_setStatusMessage("Making changes to airport parking parameters is disabled while static parking takes place ...",
                        false);
    g_parkPositions.clear();
    g_keptStatics.clear();
    g_parkedLive.clear();
    gf_setBoard(g_mainWindowState.staticAvgFit, -1.0f);
    gf_setBoard(g_mainWindowState.liveAvgFit, -1.0f);
    g_liveParkHours = -1.0;
    gf_setBoard(g_mainWindowState.softPositionsUsed, false);
    lf_takeOverCoupledCallsigns();
    lf_clearPlanMarks();
    lf_markReservedStands();
    try {
        if (!lf_isValidWeekSlot(now)) throw std::runtime_error(skh::format("no valid time of the week: {:x}", now));
        const std::int64_t wanted = lf_wantedStaticCount();
        if (wanted > 0) lf_fitBothModes(now, wanted, 0);
        std::stable_sort(g_parkPositions.begin(), g_parkPositions.end(),
                         [](const ParkPos& a, const ParkPos& b) { return a.fitOffset < b.fitOffset; });
        if (static_cast<std::int64_t>(g_parkPositions.size()) > wanted)
            g_parkPositions.resize(static_cast<std::size_t>(std::max<std::int64_t>(wanted, 0)));
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{} exception: {}", "lf_showParkingParams", e.what()));
        g_parkPositions.clear();
    }
    if (g_parkPositions.empty()) {
        gf_log("no parking positions found");
        lf_setParkingBusy(false);
        return;
    }
    const auto size = static_cast<std::int64_t>(g_parkPositions.size());
    const std::int64_t share =
        g_stands.empty() ? 0
                         : gf_roundToInt32(static_cast<double>(size) * 100.0 / static_cast<double>(g_stands.size()));
    gf_log(skh::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", size, share,
                       parking_percentage.value.load(), lf_slotHours(MAX_FIT.value.load())));
    lf_sortPlanBestLast();
    lf_setParkingBusy(true);
}

void lf_fitBothModes(std::uint64_t dayAndSlot, std::int64_t wanted, std::int64_t present) {
    g_realFitReached = 0;
    g_softFitReached = -1;
    lf_fitOneMode(dayAndSlot, wanted, present, kRealOptions);
    const bool softAllowed = PARK_SOFT.value.load() || PARK_FAKE.value.load();
    if (wanted > static_cast<std::int64_t>(g_parkPositions.size()) + present && softAllowed)
        lf_fitOneMode(dayAndSlot, wanted, present, kSoftOptions);
}

bool lf_fitOneMode(std::uint64_t dayAndSlot, std::int64_t wanted, std::int64_t present, std::uint32_t mode) {
    if (wanted == 0) return true;
    const bool soft = mode == kSoftOptions;
    const std::int64_t before = lf_plannedCount();
    std::vector<ParkPos> candidates;
    std::int32_t round = 0;
    const bool ok = lf_fitParkedPositions(dayAndSlot, mode, wanted, candidates, round);
    (soft ? g_softFitReached : g_realFitReached) = round;
    const std::int64_t found = lf_plannedCount() - before;
    if (soft && found > 0) gf_setBoard(g_mainWindowState.softPositionsUsed, true);
    if (found >= 1) {
        const std::string day =
            WEEK.value.load() ? std::string(", week") : skh::format(", day {}", gf_weekdayOf(dayAndSlot));
        const std::int32_t s = gf_slotOf(dayAndSlot);
        gf_log(skh::format("{} {} position{} found, Max fit={} hours{}, hh:{} or {} hrs, fit: {} hour", found,
                           soft ? "soft" : "real", gf_plural(found), lf_slotHours(MAX_FIT.value.load()), day, s,
                           lf_slotHours(s), lf_slotHours(round)));
    }
    if (!ok) return false;
    const std::int64_t e = static_cast<std::int64_t>(g_parkPositions.size()) + present - wanted;
    if (lf_randomOn()) lf_shuffle(candidates);
    if (e >= 1 && e <= static_cast<std::int64_t>(candidates.size()))
        candidates.resize(candidates.size() - static_cast<std::size_t>(e));
    if (e >= 1 && e <= static_cast<std::int64_t>(g_parkPositions.size()))
        g_parkPositions.resize(g_parkPositions.size() - static_cast<std::size_t>(e));
    g_parkPositions.insert(g_parkPositions.end(), std::make_move_iterator(candidates.begin()),
                           std::make_move_iterator(candidates.end()));
    return true;
}

bool lf_fitParkedPositions(std::uint64_t dayAndSlot, std::uint32_t mode, std::int64_t wanted,
                           std::vector<ParkPos>& candidates, std::int32_t& round) {
    g_spanOfType.clear();
    const std::int32_t maxFit = std::clamp(MAX_FIT.value.load(), 0, kDaySlots - 1);
    for (std::int32_t n = 0; n <= maxFit; ++n) {
        round = n;
        lf_searchStands(dayAndSlot, mode, n, candidates);
        if (lf_plannedCount() >= wanted) return true;
        g_parkPositions.insert(g_parkPositions.end(), std::make_move_iterator(candidates.begin()),
                               std::make_move_iterator(candidates.end()));
        candidates.clear();
    }
    return false;
}

void lf_searchStands(std::uint64_t dayAndSlot, std::uint32_t mode, std::int32_t n, std::vector<ParkPos>& candidates) {
    const std::int32_t d = gf_weekdayOf(dayAndSlot);
    try {
        if (!lf_isValidWeekSlot(dayAndSlot) || n < 0 || n >= kDaySlots)
            throw std::out_of_range(skh::format("no round {} of slot {}", n, gf_slotOf(dayAndSlot)));
        std::int32_t t = gf_slotOf(dayAndSlot) - n;
        std::int64_t targetDay = d;
        if (t < 0) {
            t += kDaySlots;
            targetDay = d == 1 ? 7 : d - 1;
        }
        const std::uint64_t bit = lf_slotBit(t);
        const bool anyWeekday = WEEK.value.load();
        const bool helicopters = HELICOPTERS.value.load();
        lf_indexStaticsAtStands();
        for (Stand& stand : g_stands) {
            if (stand.planned || stand.reserved || stand.adjacentTaken) continue;
            if (stand.helipad && !helicopters) continue;
            g_pickWork.clear();
            for (std::size_t i = 0; i < stand.options.size(); ++i) {
                const StandOption& o = stand.options[i];
                if (!lf_optionPasses(o, mode, anyWeekday, targetDay, bit)) continue;
                if (lf_collidesWithAdjacentStatic(stand, o.type)) continue;
                g_pickWork.push_back(i);
            }
            if (g_pickWork.empty()) continue;
            if (g_pickWork.size() >= 2 && lf_randomOn()) lf_pickCandidate(g_pickWork, stand);
            StandOption& option = stand.options[g_pickWork.front()];
            if (lf_identityInUse(option, candidates)) {
                option.skip = true;
                continue;
            }
            ParkPos p;
            p.standId = stand.id;
            p.fitOffset = static_cast<std::uint32_t>(n);
            p.airline = option.airline;
            p.type = option.type;
            p.callsign = option.callsign;
            p.secondCallsign = option.secondCallsign;
            p.registration = option.registration;
            p.stays = lf_staysIntoNextSlot(stand, option, dayAndSlot) ? 1 : 0;
            candidates.push_back(std::move(p));
            lf_markPlanned(stand);
        }
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: day: {}, offset {}: {}", "lf_searchStands", d, n, e.what()));
    }
}

bool lf_identityInUse(const StandOption& option, const std::vector<ParkPos>& candidates) {
    const std::string& reg = option.registration;
    const std::string& cs = option.callsign;
    const std::string& cs2 = option.secondCallsign;
    const auto sameCallsign = [&](const std::string& x) { return !x.empty() && (x == cs || x == cs2); };
    const auto sameIdentity = [&](const FlightIdent& f) {
        return sameCallsign(f.secondCallsign) || (!reg.empty() && f.registration == reg);
    };
    // This round's candidates count as planned: one round must not plan an
    // identity twice either.
    if (lf_planHas(g_parkPositions, reg, cs, cs2) || lf_planHas(candidates, reg, cs, cs2)) return true;
    if (lf_callsignInCoupledMap(cs) || lf_callsignInCoupledMap(cs2)) return true;
    for (const StaticAc& st : g_staticAc) {
        if (sameIdentity(st) || sameCallsign(st.extraCallsign)) return true;
    }
    for (const LiveAc& ac : g_liveAc) {
        if (sameIdentity(ac) || sameCallsign(ac.callsign)) return true;
    }
    return std::any_of(g_parkedLive.begin(), g_parkedLive.end(),
                       [&](const ParkedLive& p) { return sameCallsign(p.callsign); });
}

// ---- Coupled callsign of a live aircraft ------------------------------------------------

void lf_searchForCoupledCsAroundThisTime(LiveAc& ac, std::uint64_t weekSlot) {
    try {
        if (!lf_isValidWeekSlot(weekSlot)) return;
        const std::int32_t w = ac.category == CatHeavy ? kCoupledWindowHeavy : kCoupledWindow;
        const std::int32_t s = gf_slotOf(weekSlot);
        const std::int32_t d = gf_weekdayOf(weekSlot);
        std::uint64_t mask = 0;
        for (std::int32_t i = std::max(0, s - w); i <= std::min(s + w, kDaySlots - 1); ++i) mask |= lf_slotBit(i);
        std::string_view cs = ac.callsign;
        if (!cs.empty() && cs.back() == '_') cs.remove_suffix(1);
        if (cs.empty()) return;
        for (const Stand& stand : g_stands) {
            for (const StandOption& o : stand.options) {
                if (o.seq == 0 || static_cast<std::int32_t>(o.weekday) != d || (o.halfHours & mask) == 0) continue;
                if (o.airline != ac.airline || o.secondCallsign.empty()) continue;
                if (o.callsign != cs && o.secondCallsign != cs) continue;
                ac.secondCallsign = o.callsign;
                ac.extraCallsign = o.secondCallsign;
                lf_noteCoupledCallsign(ac.callsign);
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what()));
    }
}

// ---- Average fit ---------------------------------------------------------------------------

std::size_t gf_avgStaticParkTime(bool update) {
    const std::uint64_t now = g_weekSlot.load();
    std::size_t count = 0;
    std::int64_t sum = 0;
    for (const StaticAc& st : g_staticAc) {
        if (st.status != AcStatus::active && st.status != AcStatus::removingfromsim) continue;
        ++count;
        if (update && lf_isValidWeekSlot(st.parkedSince) && lf_isValidWeekSlot(now))
            sum += lf_elapsedSlots(st.parkedSince, now);
    }
    if (update && !WEEK.value.load()) {
        const float fit =
            count == 0 ? 0.0f : static_cast<float>(static_cast<double>(sum) / (2.0 * static_cast<double>(count)) + 0.5);
        gf_setBoard(g_mainWindowState.staticAvgFit, fit);
    }
    return count;
}

}  // namespace skh
