#include "traffic/stand_options.hpp"

#include <cmath>
#include <exception>
#include <stdexcept>
#include <string>

#include "aircraft/dbase.hpp"
#include "foundation/format.hpp"
#include "foundation/log.hpp"

namespace skh {

namespace {

constexpr std::uint32_t kSlotsPerDay = 48;

std::uint64_t lf_slotBit(std::uint32_t slot) {
    if (slot >= kSlotsPerDay) throw std::out_of_range("invalid bitset position");
    return std::uint64_t{1} << slot;
}

std::string_view lf_withoutGhostMark(std::string_view callsign) {
    if (!callsign.empty() && callsign.back() == '_') callsign.remove_suffix(1);
    return callsign;
}

StandOption* lf_optionWithSeq(std::vector<StandOption>& options, std::uint32_t seq) {
    for (StandOption& o : options) {
        if (o.seq == seq) return &o;
    }
    return nullptr;
}

}  // namespace

bool lf_optionMatches(std::string_view callsign, std::string_view airline, std::string_view type,
                      const StandOption& option) {
    if (option.seq == 0 || option.real != 1) return false;
    if (!callsign.empty() && (option.callsign == callsign || option.secondCallsign == callsign)) return true;
    return !type.empty() && option.airline == airline && option.type == type;
}

bool lf_optionSeenAround(std::uint32_t weekday, std::uint32_t slot, std::string_view registration,
                         const StandOption& option) {
    if (option.seq == 0 || option.real != 1 || slot >= kSlotsPerDay) return false;
    if (option.weekday != weekday || option.registration != registration) return false;
    const std::uint64_t around =
        lf_slotBit((slot + kSlotsPerDay - 1) % kSlotsPerDay) | lf_slotBit(slot) | lf_slotBit((slot + 1) % kSlotsPerDay);
    return (option.halfHours & around) != 0;
}

std::pair<std::uint32_t, bool> lf_insertStandOption(std::vector<StandOption>& options, const IdentStrings& aircraft,
                                                    std::string_view registration, std::uint32_t weekday,
                                                    std::uint32_t slot, std::uint32_t origin, std::uint32_t real) {
    if (registration.empty()) return {0, false};
    const std::string_view callsign = lf_withoutGhostMark(aircraft.callsign);
    const std::uint64_t hours = lf_slotBit(slot);
    for (const StandOption& o : options) {
        if (o.registration == registration && o.weekday == weekday && o.halfHours == hours && o.callsign == callsign) {
            return {0, false};
        }
    }
    StandOption o;
    if (const auto record = gf_findDbaseRecord(registration)) {
        o.airline = record->opr.empty() ? record->airl : record->opr;
        o.type = record->type;
    } else {
        o.airline = aircraft.airline;
        o.type = aircraft.type;
    }
    o.registration = registration;
    o.callsign = callsign;
    o.halfHours = hours;
    o.seq = options.empty() ? 1 : options.back().seq + 1;
    o.weekday = weekday;
    o.origin = origin;
    o.real = real;
    options.push_back(std::move(o));
    return {options.back().seq, true};
}

void lf_makeStandOption(std::vector<StandOption>& options, std::uint32_t seq, std::string_view callsign) {
    callsign = lf_withoutGhostMark(callsign);
    StandOption* o = lf_optionWithSeq(options, seq);
    if (o == nullptr || callsign.empty()) return;
    if (o->callsign.empty()) {
        o->callsign = callsign;
    } else if (o->callsign != callsign) {
        o->secondCallsign = callsign;
    }
}

bool updateOptions(std::vector<StandOption>& options, const std::vector<std::uint32_t>& slots, std::uint32_t seq) {
    StandOption* o = lf_optionWithSeq(options, seq);
    if (o == nullptr) return false;
    try {
        for (auto it = slots.rbegin(); it != slots.rend(); ++it) o->halfHours |= lf_slotBit(*it);
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{} exception:{}", "updateOptions", e.what()));
        return false;
    }
    return true;
}

bool updateOptionsWrapped(std::vector<StandOption>& options, const std::vector<std::uint32_t>& slots,
                          std::uint32_t first, std::uint32_t second) {
    StandOption* before = lf_optionWithSeq(options, first);
    StandOption* after = lf_optionWithSeq(options, second);
    if (before == nullptr || after == nullptr) return false;
    try {
        std::size_t i = 0;
        bool dayEnded = false;
        for (; i < slots.size() && !dayEnded; ++i) {
            before->halfHours |= lf_slotBit(slots[i]);
            dayEnded = slots[i] == kSlotsPerDay - 1;
        }
        for (; i + 1 < slots.size(); ++i) after->halfHours |= lf_slotBit(slots[i]);
    } catch (const std::exception& e) {
        gf_logRaw(skh::format("{} exception:{}", "updateOptionsWrapped", e.what()));
        return false;
    }
    return true;
}

void lf_buildOptionList(std::vector<StandOption>& options, std::uint32_t fromSlot, std::string_view callsign,
                        std::uint32_t toSlot, std::uint32_t first, std::uint32_t second) {
    std::vector<std::uint32_t> slots{fromSlot};
    // A slot out of the day stays in the list for updateOptionsWrapped to report.
    if (fromSlot < kSlotsPerDay && toSlot < kSlotsPerDay) {
        for (std::uint32_t s = fromSlot; s != toSlot;) {
            s = (s + 1) % kSlotsPerDay;
            slots.push_back(s);
        }
    } else {
        slots.push_back(toSlot);
    }
    updateOptionsWrapped(options, slots, first, second);
    lf_makeStandOption(options, first, callsign);
    lf_makeStandOption(options, second, callsign);
}

}  // namespace skh
