#pragma once
// Fake parked aircraft: with PARK_FAKE on, every stand of the park airport
// gets one made-up soft occupant for the current weekday and half-hour, so
// the static parking has something to place where nothing was learned yet.
// Main loop only (it changes g_stands during the airport load).
#include <cstdint>
#include <string_view>
#include <vector>

#include "airports/stand.hpp"

namespace skh {

// One candidate occupant: airline ("PVT" private, "ZZZ" unknown) and type.
struct FakeCandidate {
    std::string_view airline;
    std::string_view type;
};

// The candidates for a stand, by precedence: helipad, cargo, ramp, then the
// region (the first letter of the airport's code), else the last row. Rows
// marked sized keep only the types that fit the stand.
struct FakeRow {
    const FakeCandidate* first;
    std::size_t count;
    bool sized;
};
FakeRow lf_fakeRowFor(const Stand& stand, std::string_view airportCode);

// Appends to every stand one soft option (FAKEn/REGFAKEn, n counting from 1
// over the stands that got one) for the weekday and slot of `weekdayAndSlot`
// (gf_weekdayAndSlot form), marked fake so that no stand file keeps it. With
// RANDOM on a fitting candidate is drawn, else the first one is taken. Throws
// std::out_of_range for a slot outside 0..47 and gsl::narrowing_error from
// the size test; options added before stay.
void lf_addFakeParked(std::string_view airportCode, std::vector<Stand>& stands, std::uint64_t weekdayAndSlot);

}  // namespace skh
