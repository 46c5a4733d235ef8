// BGL scenery files of any bytes through the airport reader and the quick
// test. Every stand that comes out must be usable: a valid position, a finite
// heading in (0, 2 pi], a radius inside the accepted range and a name unique
// within its airport; an airport read means the quick test saw one.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "airports/bgl_reader.hpp"
#include "foundation/geo.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    skh::BglBytes bytes(file);
    const skh::BglFileCheck check = skh::lf_checkBglFile(bytes);
    std::size_t airports = 0;
    std::size_t lines = 0;
    skh::BglBytes again(file);
    skh::lf_readBglAirports(again, "fuzz.bgl",
                            {[&](skh::BglAirport& a) {
                                 ++airports;
                                 if (a.ident.size() != 4) std::abort();
                                 std::set<std::string> names;
                                 for (const skh::BglStand& s : a.stands) {
                                     if (!names.insert(s.name).second) std::abort();
                                     if (!skh::lf_isValidBglPosition(s.lat, s.lon)) std::abort();
                                     if (!(std::isfinite(s.heading) && s.heading > 0.0 && s.heading <= skh::TWO_PI)) {
                                         std::abort();
                                     }
                                     if (!(s.radiusM > 0.0 && s.radiusM < 200.0)) std::abort();
                                 }
                             },
                             [&](std::string) { ++lines; }});
    if (airports > 0 && !check.hasAirports) std::abort();
    if (!check.problem.empty() && lines == 0) std::abort();
    return 0;
}
