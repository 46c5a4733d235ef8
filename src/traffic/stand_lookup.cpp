#include "traffic/stand_lookup.hpp"

#include <cmath>

#include "airports/stand.hpp"
#include "foundation/geo.hpp"
#include "traffic/sim_port.hpp"

namespace skh {

namespace {

struct Cache {
    bool valid = false;
    std::uint64_t generation = 0;  // of g_stands
    GeoPos pos;
    std::string name;
};
Cache g_cache;

}  // namespace

std::string gf_nearestStandName(double lat, double lon) {
    if (g_stands.empty() || !gf_simPort().userOnGround()) return {};
    if (g_cache.valid && g_cache.generation == g_standsGeneration && std::fabs(g_cache.pos.lat - lat) < 1e-8 &&
        std::fabs(g_cache.pos.lon - lon) < 1e-8)
        return g_cache.name;
    const GeoPos p{lat, lon};
    double best = 900.0;
    const Stand* nearest = nullptr;
    for (const Stand& s : g_stands) {
        // No stand is nearer than its difference in latitude (60 nm a degree),
        // and only one within kStandCatchNm is ever answered.
        if (std::fabs(s.lat - lat) * 60.0 > kStandCatchNm) continue;
        const double d = gf_distanceNm(p, GeoPos{s.lat, s.lon});
        if (d < best) {
            best = d;
            nearest = &s;
        }
    }
    g_cache.valid = true;
    g_cache.generation = g_standsGeneration;
    g_cache.pos = p;
    g_cache.name = nearest != nullptr && best <= kStandCatchNm ? nearest->name : std::string();
    return g_cache.name;
}

void gf_clearNearestStandCache() { g_cache = Cache{}; }

}  // namespace skh
