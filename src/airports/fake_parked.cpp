#include "airports/fake_parked.hpp"

#include <array>
#include <stdexcept>

#include "foundation/aircraft_types.hpp"
#include "foundation/format.hpp"
#include "foundation/random.hpp"
#include "foundation/time_text.hpp"

namespace skh {

namespace {

constexpr std::array<FakeCandidate, 1> kHelipad{{{"PVT", "EC35"}}};
constexpr std::array<FakeCandidate, 5> kCargo{
    {{"FDX", "C208"}, {"FDX", "B752"}, {"FDX", "B763"}, {"UPS", "A306"}, {"DHK", "B763"}}};
constexpr std::array<FakeCandidate, 19> kRamp{{{"PVT", "C172"},
                                               {"PVT", "C206"},
                                               {"PVT", "P28A"},
                                               {"PVT", "PC12"},
                                               {"PVT", "C550"},
                                               {"PVT", "TBM9"},
                                               {"PVT", "LJ25"},
                                               {"PVT", "GLF6"},
                                               {"PVT", "FA6X"},
                                               {"PVT", "FA8X"},
                                               {"PVT", "GLF4"},
                                               {"PVT", "GLF5"},
                                               {"PVT", "LJ60"},
                                               {"PVT", "DHC7"},
                                               {"PVT", "DH8A"},
                                               {"PVT", "DH8C"},
                                               {"PVT", "E550"},
                                               {"PVT", "CL30"},
                                               {"PVT", "GA6C"}}};
constexpr std::array<FakeCandidate, 4> kRegionC{{{"ACA", "B789"}, {"ACA", "B38M"}, {"ROU", "A321"}, {"JZA", "CRJ9"}}};
constexpr std::array<FakeCandidate, 7> kRegionE{{{"KLM", "B77W"},
                                                 {"SAS", "A320"},
                                                 {"EZY", "A320"},
                                                 {"RYR", "B738"},
                                                 {"DLH", "A320"},
                                                 {"KLM", "B738"},
                                                 {"BAW", "A21N"}}};
// FFT A320 twice: drawn twice as often.
constexpr std::array<FakeCandidate, 10> kRegionK{{{"UAL", "B77W"},
                                                  {"DAL", "B739"},
                                                  {"JBU", "BCS3"},
                                                  {"FFT", "A320"},
                                                  {"UAL", "B78X"},
                                                  {"UAL", "B738"},
                                                  {"AAL", "B738"},
                                                  {"SKW", "E75L"},
                                                  {"SWA", "B737"},
                                                  {"FFT", "A320"}}};
constexpr std::array<FakeCandidate, 3> kRegionR{{{"ANA", "A20N"}, {"JAL", "A35K"}, {"JAL", "B738"}}};
constexpr std::array<FakeCandidate, 3> kRegionZ{{{"CSA", "A320"}, {"CES", "A333"}, {"CES", "A321"}}};
constexpr std::array<FakeCandidate, 1> kElsewhere{{{"ZZZ", "B738"}}};

template <std::size_t N>
FakeRow lf_row(const std::array<FakeCandidate, N>& row, bool sized) {
    return FakeRow{row.data(), N, sized};
}

constexpr std::uint32_t kSlotsPerDay = 48;

}  // namespace

FakeRow lf_fakeRowFor(const Stand& stand, std::string_view airportCode) {
    if (stand.helipad) return lf_row(kHelipad, false);
    if (stand.cargo) return lf_row(kCargo, true);
    if (stand.ramp) return lf_row(kRamp, true);
    switch (airportCode.empty() ? '\0' : airportCode.front()) {
        case 'C':
            return lf_row(kRegionC, true);
        case 'E':
            return lf_row(kRegionE, true);
        case 'K':
            return lf_row(kRegionK, true);
        case 'R':
            return lf_row(kRegionR, true);
        case 'Z':
            return lf_row(kRegionZ, true);
        default:
            return lf_row(kElsewhere, false);
    }
}

void lf_addFakeParked(std::string_view airportCode, std::vector<Stand>& stands, std::uint64_t weekdayAndSlot) {
    const std::int32_t weekday = gf_weekdayOf(weekdayAndSlot);
    const std::int32_t slot = gf_slotOf(weekdayAndSlot);
    if (slot < 0 || slot >= static_cast<std::int32_t>(kSlotsPerDay)) throw std::out_of_range("invalid bitset position");
    const std::uint64_t hours = std::uint64_t{1} << slot;
    std::uint32_t n = 1;
    std::vector<const FakeCandidate*> fitting;
    fitting.reserve(kRamp.size());
    for (Stand& stand : stands) {
        const FakeRow row = lf_fakeRowFor(stand, airportCode);
        fitting.clear();
        for (std::size_t i = 0; i < row.count; ++i) {
            const FakeCandidate& c = row.first[i];
            if (!row.sized || lf_radiusStepFits(stand, gf_wingspanOf(c.type))) fitting.push_back(&c);
        }
        if (fitting.empty()) continue;
        const FakeCandidate& chosen = *fitting[gf_randomIndex(static_cast<std::int64_t>(fitting.size()))];
        StandOption o;
        o.airline = chosen.airline;
        o.type = chosen.type;
        o.registration = skh::format("REGFAKE{}", n);
        o.callsign = skh::format("FAKE{}", n);
        o.halfHours = hours;
        o.seq = stand.options.empty() ? 1 : stand.options.back().seq + 1;
        o.weekday = static_cast<std::uint32_t>(weekday);
        o.origin = 1;
        o.real = 0;
        o.fake = true;
        stand.options.push_back(std::move(o));
        ++n;
    }
}

}  // namespace skh
