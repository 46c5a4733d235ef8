#include "traffic/static_parking.hpp"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "airports/airport.hpp"
#include "airports/park_airport_load.hpp"
#include "foundation/format.hpp"
#include "foundation/geo.hpp"
#include "foundation/log.hpp"
#include "foundation/main_window_state.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "traffic/intake.hpp"
#include "traffic/live_update.hpp"
#include "traffic/removal.hpp"
#include "traffic/sim_port.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_learning.hpp"
#include "traffic/stand_side.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

std::vector<WantedStatic> g_keptStatics;
std::vector<StaticRemoval> g_staticRemovals;
std::uint32_t g_staticActCounter = 0;

namespace {

StaticParkingCalls g_calls;

constexpr std::uint32_t kLastStaticAct = kMaxStaticActNumber - 1;
constexpr std::int64_t kMsPerMinute = 60000;
constexpr std::int64_t kMaxParkedMinutes = 90;
constexpr std::int64_t kMaxParkedMinutesHeavy = 180;

bool lf_detail() { return LOG.value.load(); }

// An aircraft on its way out no longer holds its stand.
bool lf_leaving(const StaticAc& ac) {
    return ac.status == AcStatus::removingfromsim || ac.removeWhenCreated != 0 || ac.dropUnsent != 0 ||
           ac.dropQueued != 0;
}

bool lf_isParkedLive(const LiveAc& ac) { return ac.status == AcStatus::active && ac.moveState == AcState::parked; }

std::int64_t lf_msParked(const LiveAc& ac) {
    return ac.parkedAtMs == 0 ? 0 : std::max<std::int64_t>(gf_trafficServices().steadyMs() - ac.parkedAtMs, 0);
}

std::string lf_plannedText(const ParkPos& p) {
    return skh::format("{:3} {:4} {}", p.airline, p.type, p.callsign.empty() ? p.registration : p.callsign);
}

// The next free act number of a static aircraft, 1 .. 9999.
std::uint32_t lf_nextStaticAct() {
    for (std::uint32_t tries = 0; tries < kLastStaticAct; ++tries) {
        g_staticActCounter = g_staticActCounter % kLastStaticAct + 1;
        if (gf_findStaticByAct(g_staticActCounter) == nullptr) return g_staticActCounter;
    }
    throw std::runtime_error("every static act number is in use");
}

// A live or static aircraft at the stand or an adjacent one: no static
// aircraft there. True (logged with LOG) when one stands there.
bool lf_standBlocked(const Stand& stand, const ParkPos& p) {
    const auto near = [&](std::uint32_t id) {
        return id != 0 &&
               (id == stand.id || std::find(stand.adjacent.begin(), stand.adjacent.end(), id) != stand.adjacent.end());
    };
    for (const LiveAc& ac : g_liveAc) {
        if ((ac.moveState != AcState::parked && ac.moveState != AcState::parking) || lf_leaving(ac) ||
            !near(ac.standId))
            continue;
        if (lf_detail()) {
            if (ac.standId == stand.id) {
                gf_log(skh::format("{:8}: no static parking for {}, live aircraft {} standing here", stand.name,
                                   lf_plannedText(p), ac.callsign));
            } else {
                gf_log(
                    skh::format("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly "
                                "colliding",
                                stand.name, lf_plannedText(p), ac.callsign, gf_standNameOf(ac.standId)));
            }
        }
        return true;
    }
    for (const StaticAc& st : g_staticAc) {
        if (lf_leaving(st) || !near(st.standId)) continue;
        if (lf_detail()) {
            gf_log(
                skh::format("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                            stand.name, lf_plannedText(p), st.callsign, gf_standNameOf(st.standId)));
        }
        return true;
    }
    return false;
}

void lf_placeStatic(const ParkPos& p) {
    // The stand first: its neighbours are only known through it.
    const Stand* stand = gf_standById(p.standId);
    if (stand == nullptr) {
        gf_logWarning(skh::format("stand with id {} not found", p.standId));
        return;
    }
    if (lf_standBlocked(*stand, p)) return;
    const std::uint64_t now = g_weekSlot.load();
    if (!lf_isValidWeekSlot(now)) throw std::runtime_error(skh::format("no valid time of the week: {:x}", now));
    const std::uint32_t act = lf_nextStaticAct();
    IdentStrings id;
    id.airline = p.airline;
    id.type = p.type;
    id.callsign = p.callsign.empty() ? skh::format("{}{}*", p.airline, act) : lf_detcs(p);
    id.secondCallsign = p.callsign;
    id.extraCallsign = p.secondCallsign;
    id.registration = p.registration;
    StaticAc st(FlightIdent(std::move(id)), stand->lat, stand->lon, stand->heading, stand->id, stand->cargo ? 1 : 0);
    st.actNumber = act;
    if (!gf_trafficServices().matchStaticLivery(st, stand->cargo, stand->name)) return;
    st.parkedSince = lf_weekSlotBefore(now, p.fitOffset);
    st.status = AcStatus::adding2sim;
    AddRequest r;
    r.initPos.Latitude = stand->lat;
    r.initPos.Longitude = stand->lon;
    r.initPos.Altitude = gf_parkAirport().elevation;
    r.initPos.Pitch = 0.0;
    r.initPos.Bank = 0.0;
    r.initPos.Heading = stand->heading * RAD2DEG;
    r.initPos.OnGround = 1;
    r.initPos.Airspeed = 0;
    r.callsign = st.callsign;
    r.title = st.liveryTitle;
    r.actNumber = act;
    g_staticAc.push_back(std::move(st));
    g_staticCreateQueue.push_back(std::move(r));
}

WantedStatic lf_wanted(const StaticAc& st) {
    WantedStatic w;
    w.callsign = st.callsign;
    w.secondCallsign = st.secondCallsign;
    w.extraCallsign = st.extraCallsign;
    w.registration = st.registration;
    w.airline = st.airline;
    w.type = st.type;
    w.placed = st.parkedSince;
    w.standId = st.standId;
    return w;
}

void lf_toRemoval(const StaticAc& st) { g_staticRemovals.push_back({st.callsign, st.standId}); }

std::ptrdiff_t lf_planIndexAt(std::uint32_t standId) {
    const auto it = std::find_if(g_parkPositions.begin(), g_parkPositions.end(),
                                 [&](const ParkPos& p) { return p.standId == standId; });
    return it == g_parkPositions.end() ? -1 : it - g_parkPositions.begin();
}

// Whether the option of a kept aircraft's arrival callsign ends with this
// half-hour, so that it is re-created under its departure callsign.
bool lf_departsNow(const WantedStatic& w, std::uint64_t now) {
    const Stand* stand = gf_standById(w.standId);
    if (stand == nullptr) return false;
    std::string_view cs = w.callsign;
    if (!cs.empty() && cs.back() == '*') cs.remove_suffix(1);
    const std::int32_t d = gf_weekdayOf(now);
    const std::int32_t s = gf_slotOf(now);
    for (const StandOption& o : stand->options) {
        if (o.seq == 0 || static_cast<std::int32_t>(o.weekday) != d || o.callsign != cs || o.airline != w.airline ||
            o.type != w.type)
            continue;
        if (s + 1 < kDaySlots) return (o.halfHours & (std::uint64_t{1} << (s + 1))) == 0;
        return !lf_seenFirstThing(*stand, w.airline, w.type, d == 7 ? 1 : d + 1);
    }
    return false;
}

void lf_adjust() {
    const std::uint64_t now = lf_logDayAndTime();
    lf_takeOverCoupledCallsigns();
    lf_setParkingBusy(true);
    gf_setBoard(g_mainWindowState.softPositionsUsed, false);
    g_staticRemovals.clear();
    g_keptStatics.clear();
    g_parkedLive.clear();
    g_parkPositions.clear();
    // Options skipped by the last plan may be chosen again; their sequence
    // numbers stay (a withdrawn option keeps its 0).
    for (Stand& s : g_stands) {
        for (StandOption& o : s.options) o.skip = false;
    }
    lf_clearPlanMarks();
    lf_markReservedStands();
    if (!lf_isValidWeekSlot(now)) throw std::runtime_error(skh::format("no valid time of the week: {:x}", now));
    const std::int64_t wanted = lf_wantedStaticCount();
    lf_collectWantedStands();
    if (wanted >= 1 && static_cast<std::int64_t>(g_parkedLive.size()) > wanted) {
        const auto excess = static_cast<std::size_t>(static_cast<std::int64_t>(g_parkedLive.size()) - wanted);
        gf_setStatusMessage(skh::format("Parking adjustments: {} more live ac than wanted", excess), true);
        lf_removeLiveParked(excess);
        lf_collectWantedStands();
    }
    for (const ParkedLive& p : g_parkedLive) {
        if (Stand* stand = gf_standById(p.standId)) lf_markPlanned(*stand);
    }
    const auto present = static_cast<std::int64_t>(g_parkedLive.size());
    if (wanted != present) lf_fitBothModes(now, wanted, present);
    lf_reviewStaticAircraft(now);
    for (const WantedStatic& w : g_keptStatics) {
        if (w.departing == 0) continue;
        ParkPos p;
        p.standId = w.standId;
        // How long it has stood: its placing time stays, and it sorts with
        // the fits of that age.
        p.fitOffset = static_cast<std::uint32_t>(lf_isValidWeekSlot(w.placed) ? lf_elapsedSlots(w.placed, now) : 0);
        p.airline = w.airline;
        p.type = w.type;
        p.callsign = w.secondCallsign;
        p.secondCallsign = w.extraCallsign;
        p.registration = w.registration;
        p.stays = 0;
        g_parkPositions.push_back(std::move(p));
        g_staticRemovals.push_back({w.callsign, w.standId});
    }
    std::erase_if(g_keptStatics, [](const WantedStatic& w) { return w.departing != 0; });
    lf_trimToWanted(wanted);
    lf_sortPlanBestLast();
    gf_setStatusMessage(skh::format("Parking adjustments: {} to be removed, {} to be added", g_staticRemovals.size(),
                                    g_parkPositions.size()),
                        true);
    for (const StaticRemoval& r : g_staticRemovals) {
        if (r.standId == 0) continue;
        for (StaticAc& st : g_staticAc) {
            if (st.standId == r.standId && (st.status == AcStatus::active || st.status == AcStatus::removingfromsim))
                removeAircraftFromSim(st);
        }
    }
    g_staticRemovals.clear();
    if (!g_parkPositions.empty()) lf_setParkingBusy(true);
}

}  // namespace

void gf_setStaticParkingCalls(StaticParkingCalls calls) { g_calls = std::move(calls); }

StaticParkingHooks gf_staticParkingHooks() {
    StaticParkingHooks h;
    h.planPlaced = [] { return g_parkPositions.empty(); };
    h.refreshAverageFits = [] {
        gf_avgStaticParkTime(true);
        gf_avgLiveParkTime(true);
    };
    h.startCalculation = [] { gf_clearStaticParkingWork(); };
    h.readParkedFile = [] { return lf_readParkedFile(); };
    h.showParkingParams = [] { lf_showParkingParams(); };
    h.leaveParkAirport = [] { lf_leaveParkAirport(); };
    h.removeGroundTraffic = [] { gf_removeGroundTraffic(); };
    h.clearReservedStand = [] { gf_clearReservedStand(); };
    return h;
}

void lf_setParkingBusy(bool on) {
    if (g_calls.setBusy) g_calls.setBusy(on);
}

void lf_reserveStaticParking() {
    g_parkPositions.reserve(512);
    g_keptStatics.reserve(256);
    g_staticRemovals.reserve(256);
    g_parkedLive.reserve(64);
}

void gf_clearStaticParkingWork() {
    g_parkPositions.clear();
    g_keptStatics.clear();
    g_staticRemovals.clear();
    g_parkedLive.clear();
    lf_clearCoupledCallsigns();
    g_learnSoftSwitchedOff = false;
    g_realFitReached = 0;
    g_softFitReached = -1;
    gf_setBoard(g_mainWindowState.maxParkCount, 0);
    gf_setBoard(g_mainWindowState.maxParkPercent, 0);
    gf_setBoard(g_mainWindowState.softPositionsUsed, false);
    gf_setBoard(g_mainWindowState.staticAvgFit, -1.0f);
}

void gf_restartStaticParking() {
    lf_setParkingBusy(true);
    g_keptStatics.clear();
    g_staticRemovals.clear();
    g_parkedLive.clear();
}

// ---- Placing --------------------------------------------------------------------------

bool lf_staticPlanPending() { return !g_parkPositions.empty() && !g_stands.empty(); }

void lf_staticParking() {
    if (g_parkPositions.empty()) return;
    const ParkPos p = std::move(g_parkPositions.back());
    g_parkPositions.pop_back();
    try {
        lf_placeStatic(p);
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{} exception: {}, {} at {} not placed", "lf_staticParking", e.what(),
                                  lf_plannedText(p), gf_standNameOf(p.standId)));
    }
}

void lf_dropPlannedParkings(std::uint32_t standId) {
    if (standId == 0) return;
    std::erase_if(g_parkPositions, [&](const ParkPos& p) { return p.standId == standId; });
}

std::string lf_staticCallsign(std::string_view callsign) {
    while (!callsign.empty() && callsign.back() == '_') callsign.remove_suffix(1);
    std::string out(callsign);
    if (out.empty() || out.back() != '*') out += '*';
    return out;
}

std::string lf_detcs(const ParkPos& p) {
    const std::string* first = p.stays != 0 ? &p.callsign : &p.secondCallsign;
    const std::string* other = p.stays != 0 ? &p.secondCallsign : &p.callsign;
    if (first->empty()) first = other;
    if (first->empty()) {
        gf_logWarning(skh::format("{} callsign is empty..", "lf_detcs"));
        return {};
    }
    return lf_staticCallsign(*first);
}

void lf_sortPlanBestLast() {
    std::stable_sort(g_parkPositions.begin(), g_parkPositions.end(),
                     [](const ParkPos& a, const ParkPos& b) { return a.fitOffset > b.fitOffset; });
}

// ---- The adjustment -------------------------------------------------------------------

void gf_parkingAdjustments() {
    try {
        lf_adjust();
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{} exception: {}", "gf_parkingAdjustments", e.what()));
        g_staticRemovals.clear();
    }
}

void lf_reviewStaticAircraft(std::uint64_t dayAndSlot) {
    const std::int32_t recent = std::min(std::max(g_realFitReached, g_softFitReached), kDaySlots - 1);
    for (const StaticAc& st : g_staticAc) {
        if (st.status != AcStatus::active) continue;
        // Its live counterpart is on the way.
        if (lf_callsignInCoupledMap(st.secondCallsign) || lf_callsignInCoupledMap(st.extraCallsign)) {
            lf_toRemoval(st);
            continue;
        }
        const std::ptrdiff_t here = st.standId == 0 ? -1 : lf_planIndexAt(st.standId);
        if (here >= 0) {
            const ParkPos& p = g_parkPositions[static_cast<std::size_t>(here)];
            const bool same = p.airline == st.airline && p.type == st.type &&
                              ((!p.callsign.empty() && p.callsign + "*" == st.callsign) ||
                               (!p.secondCallsign.empty() && p.secondCallsign + "*" == st.callsign));
            if (same) {
                g_parkPositions.erase(g_parkPositions.begin() + here);
                g_keptStatics.push_back(lf_wanted(st));
            } else {
                lf_keepOrReplaceStatic(st, static_cast<std::size_t>(here), dayAndSlot);
            }
            continue;
        }
        const Stand* stand = gf_standById(st.standId);
        bool decided = false;
        if (stand != nullptr) {
            for (const std::uint32_t adj : stand->adjacent) {
                const std::ptrdiff_t i = lf_planIndexAt(adj);
                const Stand* other = gf_standById(adj);
                if (i < 0 || other == nullptr) continue;
                const double span = gf_wingspanOf(g_parkPositions[static_cast<std::size_t>(i)].type);
                if (span + st.wingspan > gf_distanceNm({st.standLat, st.standLon}, {other->lat, other->lon})) {
                    lf_keepOrReplaceStatic(st, static_cast<std::size_t>(i), dayAndSlot);
                    decided = true;
                    break;
                }
            }
        }
        if (decided) continue;
        if (lf_optionSeenRecently(st, dayAndSlot, recent)) {
            g_keptStatics.push_back(lf_wanted(st));
        } else {
            lf_toRemoval(st);
        }
    }
    // Trimming takes from the end: the earliest placed go first.
    std::stable_sort(g_keptStatics.begin(), g_keptStatics.end(), [&](const WantedStatic& a, const WantedStatic& b) {
        return lf_elapsedSlots(a.placed, dayAndSlot) < lf_elapsedSlots(b.placed, dayAndSlot);
    });
    for (WantedStatic& w : g_keptStatics) {
        if (w.extraCallsign.empty() || !(w.secondCallsign.empty() || gf_contains(w.callsign, w.secondCallsign)))
            continue;
        if (lf_departsNow(w, dayAndSlot)) w.departing = 1;
    }
}

void lf_keepOrReplaceStatic(const StaticAc& st, std::size_t planIndex, std::uint64_t dayAndSlot) {
    const ParkPos& p = g_parkPositions[planIndex];
    // The plan's aircraft was seen later than this one was placed: it takes over.
    const std::int32_t standing = lf_isValidWeekSlot(st.parkedSince) ? lf_elapsedSlots(st.parkedSince, dayAndSlot) : 0;
    if (static_cast<std::int64_t>(p.fitOffset) < standing) {
        lf_toRemoval(st);
        return;
    }
    g_parkPositions.erase(g_parkPositions.begin() + static_cast<std::ptrdiff_t>(planIndex));
    g_keptStatics.push_back(lf_wanted(st));
}

void lf_trimToWanted(std::int64_t wanted) {
    std::int64_t excess =
        static_cast<std::int64_t>(g_parkPositions.size() + g_keptStatics.size() + g_parkedLive.size()) - wanted;
    for (; excess > 0; --excess) {
        if (!g_parkPositions.empty()) {
            g_parkPositions.pop_back();
        } else if (!g_keptStatics.empty()) {
            g_staticRemovals.push_back({g_keptStatics.back().callsign, g_keptStatics.back().standId});
            g_keptStatics.pop_back();
        } else if (!g_parkedLive.empty()) {
            const ParkedLive& p = g_parkedLive.back();
            for (LiveAc& ac : g_liveAc) {
                if (ac.callsign == p.callsign && ac.standId == p.standId && lf_isParkedLive(ac)) {
                    removeAircraftFromSim(ac);
                    break;
                }
            }
            g_parkedLive.pop_back();
        } else {
            break;
        }
    }
}

bool lf_optionSeenRecently(const StaticAc& st, std::uint64_t dayAndSlot, std::int32_t n) {
    const Stand* stand = gf_standById(st.standId);
    if (stand == nullptr) return false;
    const std::int32_t s = gf_slotOf(dayAndSlot);
    const std::int32_t d = gf_weekdayOf(dayAndSlot);
    // The slots the plan searched back over: those before slot 0 are the
    // last ones of the day before (Sunday before Monday).
    std::uint64_t today = 0;
    std::uint64_t dayBefore = 0;
    for (std::int32_t t = s - std::clamp(n, 0, kDaySlots - 1); t <= s; ++t) {
        if (t >= 0) {
            today |= std::uint64_t{1} << t;
        } else {
            dayBefore |= std::uint64_t{1} << (t + kDaySlots);
        }
    }
    const std::int32_t previousDay = d == 1 ? 7 : d - 1;
    const bool anyWeekday = WEEK.value.load();
    return std::any_of(stand->options.begin(), stand->options.end(), [&](const StandOption& o) {
        if (o.registration != st.registration || o.airline != st.airline || o.type != st.type) return false;
        if (anyWeekday) return (o.halfHours & (today | dayBefore)) != 0;
        const auto weekday = static_cast<std::int32_t>(o.weekday);
        return (weekday == d && (o.halfHours & today) != 0) ||
               (weekday == previousDay && (o.halfHours & dayBefore) != 0);
    });
}

// ---- Parked live aircraft and the maximum of parked aircraft --------------------------------

void lf_collectWantedStands() {
    g_parkedLive.clear();
    const bool keepAll = INITIAL_LOAD_ONLY.value.load();
    for (LiveAc& ac : g_liveAc) {
        if (!lf_isParkedLive(ac) || ac.standId == 0) continue;
        const std::int64_t minutes = lf_msParked(ac) / kMsPerMinute;
        const std::int64_t limit = ac.category == CatHeavy ? kMaxParkedMinutesHeavy : kMaxParkedMinutes;
        if (!keepAll && minutes > limit) {
            if (lf_detail())
                gf_log(skh::format("{:8}: {} parked {} minutes, removed", gf_standNameOf(ac.standId),
                                   gf_acDescription(ac), minutes));
            removeAircraftFromSim(ac);
            continue;
        }
        g_parkedLive.push_back({ac.callsign, ac.standId, minutes});
    }
    std::stable_sort(g_parkedLive.begin(), g_parkedLive.end(),
                     [](const ParkedLive& a, const ParkedLive& b) { return a.minutesParked < b.minutesParked; });
}

void lf_listParkedLive(std::vector<std::pair<std::uint32_t, std::int64_t>>& list) {
    list.clear();
    for (const LiveAc& ac : g_liveAc) {
        if (lf_isParkedLive(ac)) list.emplace_back(ac.actNumber, lf_msParked(ac) / 1000);
    }
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
}

void lf_removeLiveParked(std::size_t count) {
    std::vector<std::pair<std::uint32_t, std::int64_t>> list;
    lf_listParkedLive(list);
    for (std::size_t i = 0; i < count && i < list.size(); ++i) {
        LiveAc* ac = gf_findLiveByAct(list[i].first);
        if (ac == nullptr) continue;
        gf_log(skh::format("live parked {} at {} removed", gf_acDescription(*ac), gf_standNameOf(ac->standId)));
        removeAircraftFromSim(*ac);
    }
}

void lf_checkMaxPark(std::uint32_t extra) {
    const std::int32_t max = g_mainWindowState.maxParkCount.load();
    if (max < 1) return;
    LiveAc* longest = nullptr;
    std::int64_t longestMs = 0;
    std::int64_t live = extra;
    for (LiveAc& ac : g_liveAc) {
        if (!lf_isParkedLive(ac)) continue;
        ++live;
        const std::int64_t ms = lf_msParked(ac);
        if (longest == nullptr || ms > longestMs) {
            longest = &ac;
            longestMs = ms;
        }
    }
    const std::uint64_t now = g_weekSlot.load();
    StaticAc* earliest = nullptr;
    std::int64_t statics = 0;
    for (StaticAc& st : g_staticAc) {
        if (st.status != AcStatus::active && st.status != AcStatus::removingfromsim) continue;
        ++statics;
        if (st.status != AcStatus::active) continue;
        if (earliest == nullptr || lf_elapsedSlots(st.parkedSince, now) > lf_elapsedSlots(earliest->parkedSince, now))
            earliest = &st;
    }
    if (!INITIAL_LOAD_ONLY.value.load() && live > max && longest != nullptr) {
        gf_log(skh::format("{:8}: {} live max park exceeded, removed", gf_standNameOf(longest->standId),
                           longest->callsign));
        removeAircraftFromSim(*longest);
    }
    if (statics + live > max && earliest != nullptr) {
        gf_log(skh::format("{:8}: {} static max park exceeded, removed", gf_standNameOf(earliest->standId),
                           earliest->callsign));
        removeAircraftFromSim(*earliest);
    }
}

// ---- Leaving the park airport ------------------------------------------------------------

void gf_removeGroundTraffic() {
    g_parkPositions.clear();
    gf_removeAllStaticAc();
    for (LiveAc& ac : g_liveAc) {
        switch (ac.moveState) {
            case AcState::pushing_back:
            case AcState::pushed_back:
            case AcState::taxi:
            case AcState::take_off:
            case AcState::parked:
                break;
            default:
                continue;  // flying, driving to its stand, or not yet placed
        }
        ac.standLat = 0.0;
        ac.standLon = 0.0;
        ac.standHeading = 0.0;
        ac.standId = 0;
        removeAircraftFromSim(ac);
    }
    lf_compactLiveAc();
    lf_leaveParkAirport();
    if (g_calls.maxLiveAtStart) {
        const std::int32_t atStart = g_calls.maxLiveAtStart();
        if (MAX_LIVE_SEL.value.load() != atStart) {
            MAX_LIVE_SEL.value = atStart;
            gf_showIntParameter(MAX_LIVE_SEL);
            gf_limitLiveCount();
        }
    }
}

bool lf_saveLearnedIfPending() {
    const bool pending = g_learnSoftSwitchedOff || g_learnedChanges.load() > 0 || g_apfParamsChanged.load();
    if (!g_parkAirportLoaded.load() || !pending) return false;
    const bool saved = lf_saveLearnedParking();
    // Tried once: a second try would only write the same again.
    g_learnedChanges = 0;
    g_apfParamsChanged = false;
    g_learnSoftSwitchedOff = false;
    return saved;
}

void lf_leaveParkAirport() {
    lf_saveLearnedIfPending();
    g_learnSoftSwitchedOff = false;
    g_apfHandmade = false;
    gf_setBoard(g_parkBoard.handmade, false);
    g_parkAirportLoaded = false;
    gf_setBoard(g_mainWindowState.parkFileOk, false);
    gf_setBoard(g_rtTrafficWeek, 0);
    for (const platform::WindowHandle h : {parking_percentage.hwnd.load(), g_flushStaticButton.hwnd.load()}) {
        if (h != 0) platform::enableWindow(h, false);
    }
    gf_clearParkAirport();
    g_reservedStand.clear();
    gf_setBoard(g_parkBoard.reservedStand, std::string());
    gf_setBoard(g_mainWindowState.reservedStandOk, false);
    g_staticRemovals.clear();
    g_parkPositions.clear();
    g_stands.clear();
    g_apfInfo = ApfInfo{};
    g_apfAirport.clear();
    gf_standsChanged();
    // Aircraft still driving to a stand would otherwise take the stand of
    // the same id at the next park airport.
    gf_releaseLiveStands();
    gf_setBoard(g_parkBoard.airportName, std::string());
    platform::invalidateMainWindow();
}

}  // namespace skh
