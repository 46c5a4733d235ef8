#include "traffic/stand_learning.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "airports/airport.hpp"
#include "airports/learned_stands.hpp"
#include "airports/park_airport_load.hpp"
#include "airports/stand_locations.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/text.hpp"
#include "foundation/time_text.hpp"
#include "foundation/upcalls.hpp"
#include "platform/window.hpp"
#include "traffic/live_update.hpp"
#include "traffic/stand_choice.hpp"
#include "traffic/stand_options.hpp"
#include "traffic/traffic_state.hpp"

namespace skh {

std::atomic<std::int32_t> g_learnedChanges{0};
bool g_softLearningAllowed = true;

namespace {

constexpr std::uint32_t kSlotsPerDay = 48;
constexpr std::int32_t kSlotsPerWeek = 7 * 48;
constexpr std::int32_t kCargoWindow = 12;
constexpr std::int32_t kHeavyWindow = 8;
constexpr std::int32_t kOtherWindow = 6;
constexpr double kSoftLearningNm = 5.0;
constexpr double kSoftLearningFt = 2500.0;

StandBySize g_standBySize = lf_chooseStandBySize;

struct DaySlot {
    std::uint32_t weekday;
    std::uint32_t slot;
};

DaySlot lf_daySlot(std::uint64_t weekSlot) {
    const std::int32_t d = gf_weekdayOf(weekSlot);
    const std::int32_t s = gf_slotOf(weekSlot);
    if (d < 1 || d > 7 || s < 0 || s >= static_cast<std::int32_t>(kSlotsPerDay)) {
        throw std::out_of_range(skh::format("invalid weekday {} or slot {}", d, s));
    }
    return {static_cast<std::uint32_t>(d), static_cast<std::uint32_t>(s)};
}

std::uint64_t lf_bit(std::uint32_t slot) { return std::uint64_t{1} << slot; }

bool lf_isKind(const StandOption& o, bool real) { return (o.real == 1) == real; }

// The learned option (not from the archived file) of this kind, weekday and
// identity: the one that has the slot when there is one, else the first.
StandOption* lf_learnedOption(Stand& stand, bool real, std::uint32_t weekday, const std::string& identity,
                              std::uint32_t slot) {
    StandOption* first = nullptr;
    for (StandOption& o : stand.options) {
        if (o.origin != 0 || !lf_isKind(o, real) || o.weekday != weekday || o.registration != identity) continue;
        if ((o.halfHours & lf_bit(slot)) != 0) return &o;
        if (first == nullptr) first = &o;
    }
    return first;
}

// An option of the archived file of this kind, weekday and identity that
// lacks the slot: such a record is not extended.
bool lf_archivedWithout(const Stand& stand, bool real, std::uint32_t weekday, const std::string& identity,
                        std::uint32_t slot) {
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return o.origin == 1 && lf_isKind(o, real) && o.weekday == weekday && o.registration == identity &&
               (o.halfHours & lf_bit(slot)) == 0;
    });
}

std::optional<std::uint32_t> lf_insert(Stand& stand, const FlightIdent& a, const std::string& identity, DaySlot now,
                                       bool real) {
    const auto [seq, ok] = lf_insertStandOption(stand.options, a, identity, now.weekday, now.slot, 0, real ? 1u : 0u);
    if (!ok) return std::nullopt;
    return seq;
}

Stand* lf_standWithId(std::uint32_t id) {
    if (Stand* s = gf_standById(id)) return s;
    const auto it = std::find_if(g_stands.begin(), g_stands.end(), [&](const Stand& s) { return s.id == id; });
    return it == g_stands.end() || id == 0 ? nullptr : &*it;
}

bool lf_logFailure(const char* fn, std::uint64_t weekSlot, const std::exception& e) {
    gf_logWarning(skh::format("{}: hh_now: {}, {}", fn, gf_slotOf(weekSlot), e.what()));
    return false;
}

}  // namespace

void lf_countChange() {
    g_learnedChanges.fetch_add(1);
    platform::invalidateMainWindow();
}

std::string lf_learningIdentity(const FlightIdent& a) { return a.registration.empty() ? a.callsign : a.registration; }

std::int32_t lf_elapsedSlots(std::uint64_t from, std::uint64_t to) {
    std::int32_t elapsed = (gf_weekdayOf(to) - gf_weekdayOf(from)) * static_cast<std::int32_t>(kSlotsPerDay) +
                           gf_slotOf(to) - gf_slotOf(from);
    if (elapsed < 0) elapsed += kSlotsPerWeek;
    return elapsed;
}

bool lf_fillStayWindow(std::uint64_t now, Stand& stand, std::uint64_t recorded, const FlightIdent& a,
                       const std::string& identity, bool real) {
    const DaySlot n = lf_daySlot(now);
    const DaySlot r = lf_daySlot(recorded);
    if (n.weekday == r.weekday && n.slot == r.slot) return true;
    const std::int32_t elapsed = lf_elapsedSlots(recorded, now);
    const std::int32_t window = a.cargo != 0 ? kCargoWindow : a.category == CatHeavy ? kHeavyWindow : kOtherWindow;
    if (elapsed < 1 || elapsed >= window) return false;
    // The option that holds the recorded half-hour.
    const auto it = std::find_if(stand.options.begin(), stand.options.end(), [&](const StandOption& o) {
        return o.origin == 0 && lf_isKind(o, real) && o.weekday == r.weekday && o.registration == identity &&
               (o.halfHours & lf_bit(r.slot)) != 0;
    });
    if (it == stand.options.end()) return false;
    const std::uint32_t recordedSeq = it->seq;
    if (n.weekday != r.weekday) {
        const auto seq = lf_insert(stand, a, identity, n, real);
        if (!seq) return false;
        lf_buildOptionList(stand.options, r.slot, a.callsign, n.slot, recordedSeq, *seq);
    } else {
        std::vector<std::uint32_t> slots;
        for (std::uint32_t s = r.slot; s <= n.slot; ++s) slots.push_back(s);
        if (!updateOptions(stand.options, slots, recordedSeq)) return false;
        lf_makeStandOption(stand.options, recordedSeq, a.callsign);
    }
    ActSlotMap& acts = real ? stand.realActs : stand.softActs;
    if (auto entry = acts.find(a.actNumber); entry != acts.end()) entry->second = now;
    return true;
}

bool lt_addStandOption(std::uint32_t standId, const FlightIdent& a, std::uint64_t weekSlot, bool fill) {
    try {
        const std::string identity = lf_learningIdentity(a);
        Stand* stand = lf_standWithId(standId);
        if (identity.empty() || stand == nullptr) return false;
        const DaySlot now = lf_daySlot(weekSlot);
        if (lf_archivedWithout(*stand, true, now.weekday, identity, now.slot)) return false;
        StandOption* learned = lf_learnedOption(*stand, true, now.weekday, identity, now.slot);
        const auto entry = stand->realActs.find(a.actNumber);
        const bool recordedElsewhere = entry != stand->realActs.end() && entry->second != weekSlot;
        if (learned != nullptr && (learned->halfHours & lf_bit(now.slot)) != 0) {
            // Seen in this half-hour already.
        } else if (!fill) {
            bool stored = true;
            if (learned != nullptr) {
                learned->halfHours |= lf_bit(now.slot);
            } else {
                stored = lf_insert(*stand, a, identity, now, true).has_value();
            }
            // The arrival is kept so that the departure fills the stay, also
            // where an option of an earlier week took this half-hour.
            if (stored) stand->realActs[a.actNumber] = weekSlot;
        } else {
            // Leaving: the stay since the recorded arrival, else the half-hour alone.
            if (!recordedElsewhere || !lf_fillStayWindow(weekSlot, *stand, entry->second, a, identity, true)) {
                lf_insert(*stand, a, identity, now, true);
            }
            if (entry != stand->realActs.end()) stand->realActs.erase(a.actNumber);
        }
        lf_countChange();
        return true;
    } catch (const std::exception& e) {
        return lf_logFailure("lt_addStandOption", weekSlot, e);
    }
}

bool lt_addSoftStandOption(std::uint32_t standId, const FlightIdent& a, bool departure, std::uint64_t weekSlot,
                           bool fill) {
    try {
        const std::string identity = lf_learningIdentity(a);
        Stand* stand = lf_standWithId(standId);
        if (identity.empty() || stand == nullptr) return false;
        const DaySlot now = lf_daySlot(weekSlot);
        if (lf_archivedWithout(*stand, false, now.weekday, identity, now.slot)) return false;
        StandOption* learned = lf_learnedOption(*stand, false, now.weekday, identity, now.slot);
        if (learned == nullptr) {
            if (lf_insert(*stand, a, identity, now, false)) stand->softActs[a.actNumber] = weekSlot;
        } else if ((learned->halfHours & lf_bit(now.slot)) != 0) {
            // Seen in this half-hour already.
        } else if (!departure && !fill) {
            learned->halfHours |= lf_bit(now.slot);
        } else {
            const auto entry = stand->softActs.find(a.actNumber);
            if (entry == stand->softActs.end()) {
                if (lf_insert(*stand, a, identity, now, false) && !fill) stand->softActs[a.actNumber] = weekSlot;
            } else if (entry->second != weekSlot &&
                       !lf_fillStayWindow(weekSlot, *stand, entry->second, a, identity, false) && fill) {
                lf_insert(*stand, a, identity, now, false);
            }
            if (fill) stand->softActs.erase(a.actNumber);
        }
        lf_countChange();
        return true;
    } catch (const std::exception& e) {
        return lf_logFailure("lt_addStandOption", weekSlot, e);
    }
}

void gf_setStandBySize(StandBySize choose) { g_standBySize = std::move(choose); }

void lf_learnSoftOnLeave(const FlightIdent& a, GeoPos position, double heightAboveGround, std::uint32_t standId,
                         bool notFlying) {
    const Airport park = gf_parkAirport();
    if (!LEARN_SOFT.value.load() || !g_softLearningAllowed || park.icao.empty() || standId != 0) return;
    if (gf_distanceNm(position, GeoPos{park.lat, park.lon}) > kSoftLearningNm) return;
    if (!notFlying && heightAboveGround >= kSoftLearningFt) return;
    const std::uint64_t now = g_weekSlot;
    // A stay recorded at some stand earlier is widened to now.
    for (Stand& stand : g_stands) {
        const auto entry = stand.softActs.find(a.actNumber);
        if (entry == stand.softActs.end() || entry->second == now) continue;
        if (lt_addSoftStandOption(stand.id, a, true, now, !notFlying)) {
            lf_noteActSlot(now, a.actNumber, true);
            return;
        }
    }
    if (!lf_noteActSlot(now, a.actNumber, false)) return;
    const std::string identity = lf_learningIdentity(a);
    const std::uint32_t weekday = static_cast<std::uint32_t>(gf_weekdayOf(now));
    const std::uint32_t slot = static_cast<std::uint32_t>(gf_slotOf(now));
    for (const Stand& stand : g_stands) {
        for (const StandOption& o : stand.options) {
            if (lf_optionSeenAround(weekday, slot, identity, o)) return;
        }
    }
    Stand* chosen = g_standBySize ? g_standBySize(now, a, true) : nullptr;
    if (chosen == nullptr) return;
    if (!lt_addSoftStandOption(chosen->id, a, false, now, !notFlying)) {
        const auto it = std::find_if(g_actSlots.begin(), g_actSlots.end(),
                                     [&](const ActSlot& e) { return e.actNumber == a.actNumber; });
        if (it != g_actSlots.end()) {
            *it = g_actSlots.back();
            g_actSlots.pop_back();
        }
    }
}

bool lf_saveLearnedParking() {
    const std::string code = gf_parkAirport().icao;
    // The file is replaced by what is in memory: only the park airport's own
    // stands may take its place, never an airport chosen but not yet loaded
    // or the stands of the one before.
    if (!g_parkAirportLoaded.load() || code.empty() || code != g_apfAirport) {
        gf_logWarning(skh::format("{}: the stands of '{}' are not loaded, its learned file is kept as it is",
                                  "lf_saveLearnedParking", code));
        return false;
    }
    AirportFileData data;
    data.ident = code;
    data.name = g_apfInfo.name;
    data.publisher = g_apfInfo.publisher;
    data.altitude = g_apfInfo.altitude;
    std::string shown;
    bool saved = false;
    try {
        if (g_apfHandmade) {
            data.stands = g_stands;
            // The hand-made file's quality counts only what it keeps.
            for (Stand& s : data.stands) std::erase_if(s.options, [](const StandOption& o) { return o.fake; });
            const std::uint64_t qf = gf_qualityFactors(data.stands);
            data.qfReal = gf_qfReal(qf);
            data.qfSoft = gf_qfSoft(qf);
        } else {
            for (const Stand& s : g_stands) {
                const bool learned = std::any_of(s.options.begin(), s.options.end(),
                                                 [](const StandOption& o) { return o.origin != 1 && o.seq != 0; });
                if (!s.manual && !learned && !s.radiusChanged && !s.cargoChanged) continue;
                Stand copy = s;
                std::erase_if(copy.options, [](const StandOption& o) { return o.origin == 1; });
                data.stands.push_back(std::move(copy));
            }
        }
        const auto path = gf_learnedSavePath(data.ident, data.publisher);
        if (path) {
            shown = *gf_learnedFolderText(data.publisher) + "\\" + lf_xmlFileName(data.ident);
            saved = gf_writeLearnedFile(data, *path);
        }
    } catch (const std::exception& e) {
        gf_logWarning(skh::format("{}: {}", "lf_saveLearnedParking", e.what()));
    }
    // Logged directly: the closing step saves while the ordinary log writer
    // is silent.
    std::string outcome;
    if (!saved) {
        outcome = skh::format("{} saving '{}' did not succeed", gf_utcTimeOfDay(), shown);
    } else {
        const std::int32_t changes = g_learnedChanges.load();
        outcome = skh::format("{}{} '{}' saved with {} update{} {}", gf_utcTimeOfDay(),
                              g_apfHandmade ? " handmade" : "", shown, changes, gf_plural32(changes),
                              g_apfParamsChanged.load() ? "and one or more parameter changes" : "");
    }
    gf_setStatusMessage(outcome, false);
    gf_logRaw(outcome);
    return saved;
}

}  // namespace skh
