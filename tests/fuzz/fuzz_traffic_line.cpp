// Traffic lines of any bytes through the Traffic Reader's datagram path. The
// first byte picks the parser's surroundings (park airport, airborne-only,
// callsign collection, range). Every field is also read by the number reader
// and by std::from_chars, which must agree.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "airports/airport.hpp"
#include "feed/number_text.hpp"
#include "feed/readers.hpp"
#include "foundation/parameter_table.hpp"
#include "foundation/upcalls.hpp"
#include "feed/traffic_queue.hpp"

namespace {

void checkNumberReader(std::string_view field) {
    double expected = 0.0;
    const auto r = std::from_chars(field.data(), field.data() + field.size(), expected);
    double got = 0.0;
    const bool ok = skh::gf_readDouble(field, got);
    if (ok != (r.ec == std::errc{})) std::abort();
    if (ok && !std::isnan(expected) && std::memcmp(&got, &expected, sizeof got) != 0) std::abort();
}

void checkSample(const skh::TrafficSample& s) {
    const auto& p = s.pos;
    if (!(std::isfinite(p.lat) && std::fabs(p.lat) <= 90.0 && std::isfinite(p.lon) && std::fabs(p.lon) <= 180.0)) {
        std::abort();
    }
    const double values[] = {p.altitude, p.groundSpeed, p.track, p.verticalSpeed, p.trueAirspeed, s.timestamp};
    for (const double v : values) {
        if (!std::isfinite(v)) std::abort();
    }
    if (p.altitude < 0.0 || s.actNumber <= 10000 || s.ident.registration.size() > 12) std::abort();
    if (p.trueHeading && !(*p.trueHeading > 0.0 && *p.trueHeading <= skh::TWO_PI)) std::abort();
    if (p.bank && !std::isfinite(*p.bank)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t setting = data[0];
    const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);

    skh::g_rtOnThisPc = (setting & 1) != 0;
    skh::AIRBORNE_ONLY.value = (setting & 2) != 0;
    skh::collectCallsigns = (setting & 4) != 0;
    skh::g_rangeNm = (setting & 8) != 0 ? 40.0 : 20000.0;
    if ((setting & 16) != 0) {
        skh::gf_setParkAirport(skh::Airport{"LSZH", "ZRH", 47.46, 8.56, 1416.0});
        skh::gf_setParkElevation(1416.0);
    } else {
        skh::gf_clearParkAirport();
        skh::gf_setParkElevation(std::nullopt);
    }
    skh::g_trafficReader.setUserPos(47.46, 8.56);
    skh::gf_setTrafficAccepted(true);

    skh::g_trafficReader.handleDatagram(line);

    skh::TrafficSample sample;
    while (skh::gf_popTrafficSample(sample)) checkSample(sample);
    if (!std::isfinite(skh::g_trafficTime.load())) std::abort();
    skh::heardCallsigns.clear();

    std::size_t start = 0;
    while (start <= line.size()) {
        const std::size_t comma = line.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
        checkNumberReader(line.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
