// Airport list elements of any bytes: every airport read must hold finite
// numbers within their ranges, and the number reader must agree with
// std::from_chars wherever the text is a plain decimal.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "airports/airport_list.hpp"

namespace {

bool plainDecimal(std::string_view s) {
    if (s.empty() || s.size() > 40) return false;
    for (const char c : s) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) return false;
    }
    return s.find('-', 1) == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const skh::AirportNumber n = skh::lf_readAirportNumber(text, -90.0, 90.0);
    if (n.ok && !(std::isfinite(n.value) && n.value >= -90.0 && n.value <= 90.0)) std::abort();
    if (!n.ok && n.error == nullptr) std::abort();
    if (plainDecimal(text)) {
        double expected = 0.0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
        if (r.ec == std::errc() && r.ptr == text.data() + text.size() && std::fabs(expected) <= 90.0 &&
            (!n.ok || n.value != expected)) {
            std::abort();
        }
    }

    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) return 0;
    std::vector<skh::Airport> list;
    for (const pugi::xml_node a : doc.child("airports").children("airport")) {
        skh::lf_addAirport(a, a.attribute("code").value(), list);
    }
    for (const skh::Airport& a : list) {
        if (!(std::fabs(a.lat) <= 90.0 && std::fabs(a.lon) <= 180.0 && std::isfinite(a.elevation))) std::abort();
    }
    return 0;
}
