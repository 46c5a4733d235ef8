// Stand files of any bytes through the readers: as an archived file, then
// merged as a learned file into what was read. Every stand that gets through
// has finite coordinates on the globe, a radius of at least 0.1 m and a normalised
// heading; every option a weekday up to 7 and hours of one day; and the
// stands survive a learned save and a read.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "airports/learned_stands.hpp"
#include "airports/stand_file.hpp"
#include "foundation/geo.hpp"

namespace {

void checkStands(const std::vector<skh::Stand>& stands) {
    for (const skh::Stand& s : stands) {
        if (!(std::isfinite(s.lat) && std::fabs(s.lat) <= 90.0 && std::isfinite(s.lon) && std::fabs(s.lon) <= 180.0)) {
            std::abort();
        }
        if (!(s.radius >= 0.1 * skh::kNmPerMetre && s.radius <= 1000.0 * skh::kNmPerMetre)) std::abort();
        if (!(s.heading >= 0.0 && s.heading < skh::TWO_PI)) std::abort();
        if (s.name.empty() || s.name.size() > 128) std::abort();
        for (const skh::StandOption& o : s.options) {
            if (o.weekday > 7 || (o.halfHours >> 48) != 0 || o.seq == 0) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) return 0;
    std::vector<skh::Stand> stands;
    try {
        skh::gf_readStandList(doc, 1, stands, skh::StandLists::First);
    } catch (const std::runtime_error&) {
        // a repeated name: the stands before it stay
    }
    checkStands(stands);
    for (pugi::xml_node pos = doc.child("parkpositions").child("parkpos"); pos; pos = pos.next_sibling("parkpos")) {
        for (skh::Stand& s : stands) {
            if (skh::lf_readParkposOptions(pos.attribute("id").value(), pos, s)) break;
        }
    }
    checkStands(stands);
    (void)skh::gf_qualityFactors(stands);

    skh::AirportFileData file;
    file.stands = stands;
    skh::g_apfHandmade = true;  // every stand written in full
    pugi::xml_document written;
    if (!skh::gf_buildAirportDocument(written, file, skh::kLearnedSave)) std::abort();
    std::vector<skh::Stand> back;
    skh::gf_readStandList(written, 1, back, skh::StandLists::First);
    if (back.size() != stands.size()) std::abort();
    return 0;
}
