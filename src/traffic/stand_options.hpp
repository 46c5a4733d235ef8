#pragma once
// The questions that the stand choice, the learning of stands and the fake
// parked aircraft ask of a stand's options, and the ways they change them.
// Pure functions on the option vector of one stand. Slots are the half-hours
// of the day, 0 to 47; an option is valid when its sequence number is not 0.
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/stand.hpp"
#include "feed/traffic_sample.hpp"

namespace skh {

// A valid real option flown under this callsign (as first or second
// callsign), or by this airline with this type. An empty callsign or type
// matches nothing.
bool lf_optionMatches(std::string_view callsign, std::string_view airline, std::string_view type,
                      const StandOption& option);
// A valid real option of this weekday and registration seen in the slot or
// next to it (47 and 1 are next to 0).
bool lf_optionSeenAround(std::uint32_t weekday, std::uint32_t slot, std::string_view registration,
                         const StandOption& option);
// lf_radiusStepFits, the size test of a type against a stand, is with the
// stand records (the fake parked aircraft of the airport load use it too).

// Appends an option for `registration` (the aircraft's identity for learning)
// at a weekday and slot: the callsign without a trailing "_", airline and
// type from the aircraft database when it knows the registration, else from
// the aircraft. Returns (sequence number, true); (0, false) for an empty
// registration or when the same registration, weekday, hours and callsign
// are there already. Throws std::out_of_range for a slot of 48 or more.
std::pair<std::uint32_t, bool> lf_insertStandOption(std::vector<StandOption>& options, const IdentStrings& aircraft,
                                                    std::string_view registration, std::uint32_t weekday,
                                                    std::uint32_t slot, std::uint32_t origin, std::uint32_t real);
// Couples a callsign (trailing "_" cut) to the option with that sequence
// number: it becomes the callsign of an option without one, else the second
// callsign when it differs from the first.
void lf_makeStandOption(std::vector<StandOption>& options, std::uint32_t seq, std::string_view callsign);
// Sets every slot of the list on the option with that sequence number; false
// when there is none, or (logged) for a slot of 48 or more.
bool updateOptions(std::vector<StandOption>& options, const std::vector<std::uint32_t>& slots, std::uint32_t seq);
// The same across midnight: the slots up to 47 go to the first option, the
// rest but the last (the new option has it already) to the second.
bool updateOptionsWrapped(std::vector<StandOption>& options, const std::vector<std::uint32_t>& slots,
                          std::uint32_t first, std::uint32_t second);
// Fills the slots from `fromSlot` to `toSlot` across the day change and
// couples the callsign to both options.
void lf_buildOptionList(std::vector<StandOption>& options, std::uint32_t fromSlot, std::string_view callsign,
                        std::uint32_t toSlot, std::uint32_t first, std::uint32_t second);

}  // namespace skh
